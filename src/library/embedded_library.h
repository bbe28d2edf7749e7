// The catalogue as the document loader embeds it: the loader forwards storage-card notices,
// asks for books by name and reports side files that close (LoaderCatalogue); the catalogue
// asks the loader for the application's paths, the side file of an open book and trial opens
// (LibraryHost). The loader sits below the library, so the link between them lives here.
//
// Made after the loader and destroyed before it: destroying the catalogue writes the cache,
// which needs the loader's paths.
#pragma once

#include "document/sources/loader_services.h"
#include "library/library.h"

class DocumentLoader;

class EmbeddedLibrary final : public LoaderCatalogue, public LibraryHost {
public:
    // Registers with the loader as its catalogue.
    explicit EmbeddedLibrary(DocumentLoader& loader);
    // Unregisters, then the catalogue goes (writing its cache).
    ~EmbeddedLibrary();
    EmbeddedLibrary(const EmbeddedLibrary&) = delete;
    EmbeddedLibrary& operator=(const EmbeddedLibrary&) = delete;

    Library& Catalogue() { return *library_; }

    // LoaderCatalogue: drive added and removed, media inserted and removed.
    void AddLocation(const Text& path) override;
    void RemoveLocation(const Text& path) override;
    void RefreshLocation(const Text& path) override;
    void RefreshLocationBooks(const Text& path) override;
    void Refresh() override;
    bool FindBookByName(const String& name, Text& path) override;
    void UpdateFromAnnotationFile(AnnotationFile* file) override;

    // LibraryHost.
    const AppPaths* Paths() const override;
    AnnotationFile* FindOpenSideFile(const Text& bookPath) override;
    bool TestOpenBook(const Text& bookPath, uint8_t flag) override;

private:
    DocumentLoader& loader_;
    std::unique_ptr<Library> library_;
};
