// The global configuration store ("FVT_global_configuration.fvt", type "GPAR", creator
// "FOLV"): record 0 "GPAR" holds the settings as big-endian words and bytes at fixed offsets,
// texts live in "DATA" sub-records, and reading lists are "CATE" records in creation order.
#pragma once

#include <cstdint>
#include <string>

#include "bookfiles/record_store.h"

class ConfigurationStore : public RecordStoreBase {
public:
    static constexpr std::uint32_t kFormatVersion = 1;
    static constexpr std::uint32_t kMainSize = 316;
    static constexpr std::uint32_t kVersionOffset = 40;
    static constexpr const char* kFileName = "FVT_global_configuration.fvt";
    // What GetText252 gives when no book location was stored.
    static constexpr const char16_t* kDefaultBookLocation = u"oeb:redirect?title=Interactions";

    // create 0: the file must exist (an older main record is upgraded in place); create 1: a
    // missing file is made and a damaged one set aside and made afresh. 0 or an error code.
    int OpenDefault(const char* path, bool create) override;
    bool InitialiseNew() override;

    // The settings: a field beyond the stored record (an older store, also when opened
    // read-only and so not upgraded) reads as its default.
    std::uint32_t GetWord(std::uint32_t offset) const;
    std::uint8_t GetByte(std::uint32_t offset) const;
    int SetWord(std::uint32_t offset, std::uint32_t value);
    int SetByte(std::uint32_t offset, std::uint8_t value);
    // Texts (UTF-16 units in a sub-record named by the word at `offset`); null when none.
    const char16_t* GetText(std::uint32_t offset, std::uint32_t* length) const;
    int SetText(std::uint32_t offset, const char16_t* text, std::uint32_t length);

    // The dictionary path (text 64) as bytes; null when none. Null or 0 bytes clear it.
    const std::uint8_t* GetBlob64(std::uint32_t* byteLength) const;
    int SetBlob64(const void* bytes, std::uint32_t byteLength);
    // The last book's location (text 252), or the built-in default; 0 on success.
    int GetText252(std::u16string* out) const;
    std::uint32_t GetRunMarker() const { return GetWord(300); }
    int SetRunMarker(std::uint32_t value) { return SetWord(300, value); }
    // The run marker set and written at once: when the file holds what the store holds, only
    // the marker's word is written, in place; else the whole store is. 0 or non-zero.
    [[nodiscard]] int WriteRunMarker(std::uint32_t value);
    bool TrustsCache() const { return static_cast<std::int32_t>(GetWord(304)) > 0; }

    // Reading lists: exact UTF-16 comparison, length included; index or -1.
    std::int32_t FindCategoryRecord(const char16_t* name, std::uint32_t length) const;
    std::int32_t AddCategoryRecord(const char16_t* name, std::uint32_t length);
    int RenameCategoryRecord(std::int32_t index, const char16_t* name, std::uint32_t length);
    std::uint32_t CategoryCount() const;

    // The default main record, as written for a new store.
    static void DefaultMain(std::uint8_t out[kMainSize]);

protected:
    const char* StoreType() const override { return "GPAR"; }
    int Validate() override;

private:
    std::uint8_t MainByte(std::uint32_t offset) const;
    // Whether every field the reader relies on holds a value it could have written.
    bool FieldsInRange() const;
};
