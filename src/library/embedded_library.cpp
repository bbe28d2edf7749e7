#include "library/embedded_library.h"

#include <string>

#include "bookfiles/annotation_file.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "library/library_text.h"

EmbeddedLibrary::EmbeddedLibrary(DocumentLoader& loader)
    : loader_(loader), library_(std::make_unique<Library>(this)) {
    loader_.SetCatalogue(this);
    // The global reading lists live in the application's configuration store.
    library_->SetConfiguration(loader_.Configuration());
}

EmbeddedLibrary::~EmbeddedLibrary() {
    if (loader_.Catalogue() == this) loader_.SetCatalogue(nullptr);
    library_.reset();
}

void EmbeddedLibrary::AddLocation(const Text& path) {
    // The card's name is its folder without the leading and trailing backslashes.
    String wide;
    path.ToWide(wide);
    int32_t start = wide.Length() > 0 && wide.At(0) == u'\\' ? 1 : 0;
    int32_t end = wide.Length();
    while (end > start && wide.At(end - 1) == u'\\') --end;
    Text name;
    name.FromWide(wide.Data() + start, end - start);
    library_->AddLocation(path, name);
}

void EmbeddedLibrary::RemoveLocation(const Text& path) {
    library_->RemoveLocation(path);
}

void EmbeddedLibrary::RefreshLocation(const Text& path) {
    library_->OnMediaInserted(path);
}

void EmbeddedLibrary::RefreshLocationBooks(const Text& path) {
    library_->OnMediaRemoved(path);
}

void EmbeddedLibrary::Refresh() {
    library_->Refresh();
}

bool EmbeddedLibrary::FindBookByName(const String& name, Text& path) {
    String found;
    if (!library_->FindBookByName(name, found)) return false;
    path.Clear();
    return path.FromString(found);
}

void EmbeddedLibrary::UpdateFromAnnotationFile(AnnotationFile* file) {
    if (!file) return;
    const std::string& book = file->BookPath();
    Text path;
    if (book.empty() || !path.AssignUtf8(book.data(), book.size())) return;
    library_->NoteSideFileSaved(path);
}

const AppPaths* EmbeddedLibrary::Paths() const {
    return loader_.Paths();
}

AnnotationFile* EmbeddedLibrary::FindOpenSideFile(const Text& bookPath) {
    std::string path = library_text::Utf8Path(bookPath);
    return path.empty() ? nullptr : loader_.FindAnnotationFile(path);
}

bool EmbeddedLibrary::TestOpenBook(const Text& bookPath, uint8_t flag) {
    Location location;
    String path;
    if (!bookPath.ToWide(path) || !location.Resolve(path, nullptr)) return false;
    uint8_t saved[2];
    loader_.SetFlags(0, flag, saved);
    RefPtr<Resource> resource = RefPtr<Resource>::Adopt(loader_.Open(location, nullptr, nullptr));
    loader_.RestoreFlags(saved);
    return static_cast<bool>(resource);
}
