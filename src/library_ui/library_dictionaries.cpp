#include "library_ui/library_dictionaries.h"

#include <new>

LibraryDictionaries::LibraryDictionaries(Library& library) : library_(library) {
    library_.AddListener(this);
}

LibraryDictionaries::LibraryDictionaries(std::unique_ptr<Library> own)
    : own_(std::move(own)), library_(*own_) {}

LibraryDictionaries::~LibraryDictionaries() {
    if (!own_) library_.RemoveListener(this);
}

void LibraryDictionaries::Refresh() {
    const int32_t before = library_.GetBookCount();
    library_.Refresh();
    if (library_.GetBookCount() != before) ++generation_;
}

bool LibraryDictionaries::FindDictionaries(std::uint32_t language, std::uint32_t second,
                                           std::uint32_t output, std::uint32_t mode,
                                           std::vector<std::uint32_t>* out) {
    std::vector<int32_t> found;
    if (!out || !library_.FindDictionaries(language, second, output, found, mode)) return false;
    for (int32_t i : found) out->push_back(static_cast<std::uint32_t>(i));
    return true;
}

bool LibraryDictionaries::GetPath(std::uint32_t dictionary, String& out) {
    return library_.GetBookValue(static_cast<int32_t>(dictionary), out);
}

bool LibraryDictionaries::GetDatabaseName(std::uint32_t dictionary, String& out) {
    return library_.GetBookString(static_cast<int32_t>(dictionary), out);
}

std::unique_ptr<DictionaryCatalogue> LibraryDictionaries::ForFile(const String& path) {
    auto own = std::make_unique<Library>(nullptr);
    Text file;
    if (!file.FromWide(path.Data(), path.Length())) return nullptr;
    // Added or not, the look-up goes on with dictionary 0 (which then fails to open).
    own->AddFile(file, true);
    // The constructor that takes the library over is the class's own.
    return std::unique_ptr<DictionaryCatalogue>(new LibraryDictionaries(std::move(own)));
}
