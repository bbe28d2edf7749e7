// The reader's file-name extensions (without the dot, compared without ASCII case).
#pragma once

#include "core/containers.h"
#include "core/text.h"

namespace FileType {
// "prc", "pdb" and "folv".
bool IsBookFile(const Text& extension);
// "fvtkg".
bool IsPackageFile(const Text& extension);
}  // namespace FileType

// Appends "prc" and "folv".
bool ListBookExtensions(TextList& list);
// The book extensions, then "txt", "html", "htm" and "pdb".
bool ListOpenableExtensions(TextList& list);
bool MakeLibraryListExtension(Text& out);
bool MakeFeedExtension(Text& out);
// New texts holding "prc" and "folv"; null when memory runs out.
Text* MakePrcExtension();
Text* MakeBookExtension();
