// Device paths: backslash-separated, rooted at "\". Joining, and narrowing a Text's view to
// the parts of a path.
#pragma once

class String;
class Text;

namespace Path {
// Joins child to base in place: with baseIsFile the base's last part is dropped first; each
// leading ".." part of child climbs one folder of base (never above the root); one '\' joins
// the two. '/' counts as a separator too. 0 on success, -1 when memory runs out.
int Append(String& base, const String& child, bool baseIsFile);
int Append(Text& base, const Text& child, bool baseIsFile);
// A part that is exactly "..", with '\' or '/' between parts: a path from untrusted data that
// could climb out of the folder it is meant to stay in.
bool HasParentPart(const String& path);
// At least one character long and starting with '\'.
bool StartsWithBackslash(const String& path);
bool StartsWithBackslash(const Text& path);

// Narrow a path's view: the folder before the last separator (empty when none), the file name
// after it, the file name without its extension, and the text after the last '.' of the file
// name (empty when none).
void FolderPart(Text& path);
void FileName(Text& path);
void Stem(Text& path);
void Extension(Text& path);
// The same narrowings under their older names.
inline void Split(Text& path, int, int) {
    Stem(path);
}
inline void ToBackslashesTrim(Text& path, int) {
    Extension(path);
}
}  // namespace Path
