// The dictionaries a look-up may search: the library's books that declare an input and an
// output language. The library sits above the reader, so it implements this; the reader opens
// the books it names through its document loader.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"
#include "graphics/core/command_ids.h"

class DictionaryCatalogue {
public:
    // FindDictionaries modes, as the look-up commands give them.
    static constexpr std::uint32_t kAnyDictionary = Cmd::kLookup;
    static constexpr std::uint32_t kBilingual = Cmd::kLookupBilingual;
    static constexpr std::uint32_t kMonolingual = Cmd::kLookupMonolingual;

    virtual ~DictionaryCatalogue() = default;

    // Brings the catalogue up to date with the storage.
    virtual void Refresh() = 0;
    // Counts up whenever the set of books may have changed (cards, scans), so that an answer
    // about the dictionaries can be kept until then.
    virtual std::uint32_t Generation() const = 0;
    // Appends the dictionaries for a word's language and a second language (low ten bits of
    // each; 0 any), in search order: output language `output` first, then monolingual, then
    // the other bilingual ones. False when none was appended.
    virtual bool FindDictionaries(std::uint32_t language, std::uint32_t second,
                                  std::uint32_t output, std::uint32_t mode,
                                  std::vector<std::uint32_t>* out) = 0;
    // The dictionary's file path and its database name; false for an unknown index.
    virtual bool GetPath(std::uint32_t dictionary, String& out) = 0;
    virtual bool GetDatabaseName(std::uint32_t dictionary, String& out) = 0;
    // A catalogue of that one file, as dictionary 0, private to one look-up: it never writes
    // the library's cache. Its dictionary 0 is missing when the file is not a dictionary.
    virtual std::unique_ptr<DictionaryCatalogue> ForFile(const String& path) = 0;
};
