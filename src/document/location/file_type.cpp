#include "document/location/file_type.h"

#include <memory>
#include <new>

namespace {

bool Add(TextList& list, const char16_t* ext) {
    Text t;
    return t.FromWide(ext) && list.Append(t) >= 0;
}

Text* Make(const char16_t* ext) {
    std::unique_ptr<Text> t(new (std::nothrow) Text());
    return t && t->FromWide(ext) ? t.release() : nullptr;
}

}  // namespace

bool FileType::IsBookFile(const Text& extension) {
    return extension.EqualsWide(u"prc") || extension.EqualsWide(u"pdb") ||
           extension.EqualsWide(u"folv");
}

bool FileType::IsPackageFile(const Text& extension) { return extension.EqualsWide(u"fvtkg"); }

bool ListBookExtensions(TextList& list) { return Add(list, u"prc") && Add(list, u"folv"); }

bool ListOpenableExtensions(TextList& list) {
    return ListBookExtensions(list) && Add(list, u"txt") && Add(list, u"html") &&
           Add(list, u"htm") && Add(list, u"pdb");
}

bool MakeLibraryListExtension(Text& out) { return out.FromWide(u"fvl"); }
bool MakeFeedExtension(Text& out) { return out.FromWide(u"folvfeed"); }
Text* MakePrcExtension() { return Make(u"prc"); }
Text* MakeBookExtension() { return Make(u"folv"); }
