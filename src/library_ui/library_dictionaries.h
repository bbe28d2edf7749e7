// The library's dictionaries as the reader's look-ups ask for them: the catalogue's books with a
// language pair, found for a word's languages, and a private catalogue of one file for a
// dictionary the settings name by path.
#pragma once

#include <cstdint>
#include <memory>

#include "library/library.h"
#include "reader/dictionary_catalogue.h"

class LibraryDictionaries final : public DictionaryCatalogue, private LibraryListener {
public:
    // Listens to the library (storage changes count as changes of the dictionaries).
    explicit LibraryDictionaries(Library& library);
    ~LibraryDictionaries() override;
    LibraryDictionaries(const LibraryDictionaries&) = delete;
    LibraryDictionaries& operator=(const LibraryDictionaries&) = delete;

    void Refresh() override;
    std::uint32_t Generation() const override { return generation_; }
    bool FindDictionaries(std::uint32_t language, std::uint32_t second, std::uint32_t output,
                          std::uint32_t mode, std::vector<std::uint32_t>* out) override;
    bool GetPath(std::uint32_t dictionary, String& out) override;
    bool GetDatabaseName(std::uint32_t dictionary, String& out) override;
    std::unique_ptr<DictionaryCatalogue> ForFile(const String& path) override;

private:
    // A catalogue made for one file: without a host it has no paths, so it never saves the
    // library cache over the program's.
    explicit LibraryDictionaries(std::unique_ptr<Library> own);

    void LocationAdded(const Text&, const Text&) override { ++generation_; }
    void LocationRemoved(const Text&) override { ++generation_; }
    void MediaInserted(const Text&) override { ++generation_; }
    void MediaRemoved(const Text&) override { ++generation_; }

    std::unique_ptr<Library> own_;
    Library& library_;
    std::uint32_t generation_ = 1;
};
