// The form-data store ("folvbook.fvl", type "LogF", creator "FOLV"): every form submission is
// written as "FDAT" records, kept sorted by (key, second text, two values, submission, chunk),
// holding "name=value" pairs as UTF-16 big-endian texts. A submission that is not marked
// complete when it is finished is removed again. The metadata items and the cart live in
// memory only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/record_store.h"

struct SortedRecordItem {
    std::u16string key;
    std::u16string second;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
};

class SortedRecordDatabase;

class SortedRecordWriter {
public:
    ~SortedRecordWriter();
    // Appends name, "=", value and a terminating U+0000; false on failure.
    bool AppendPair(const char16_t* name, std::size_t nameLength, const char16_t* value,
                    std::size_t valueLength);
    // Marks the submission complete: Finish keeps it.
    void SetFlag() { complete_ = true; }
    // Writes what is pending; without the flag, removes every record of the submission.
    bool Finish();
    std::uint32_t Submission() const { return submission_; }

private:
    friend class SortedRecordDatabase;
    SortedRecordWriter(SortedRecordDatabase* db, SortedRecordItem item, std::uint32_t submission)
        : db_(db), item_(std::move(item)), submission_(submission) {}
    bool WriteChunk(std::size_t bytes);

    SortedRecordDatabase* db_;
    SortedRecordItem item_;
    std::uint32_t submission_;
    std::uint32_t chunk_ = 0;
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint32_t> written_;  // unique ids of this submission's records
    bool complete_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

// The shopping cart of form pages; made by the forms code through a registered factory.
class FormCart {
public:
    virtual ~FormCart() = default;
};
using FormCartFactory = FormCart* (*)(const char16_t* name, std::size_t length);

class SortedRecordDatabase : public RecordStoreBase {
public:
    static constexpr const char* kFileName = "folvbook.fvl";
    static constexpr std::uint32_t kChunkBytes = 4096;

    struct Item {
        std::u16string name, value;
        std::uint32_t kind = 2;
    };

    SortedRecordDatabase() = default;
    ~SortedRecordDatabase() override;

    // Opens (creating when missing) the store; clears the backup attribute. 0 or an error code.
    int OpenDefault(const char* path, bool create) override;
    bool InitialiseNew() override { return true; }

    // A writer for a new submission of the entry, or null when the store is not open.
    std::unique_ptr<SortedRecordWriter> OpenEntry(const SortedRecordItem& item);
    // The complete submissions of an entry, their pairs joined as written ("a=1\0b=2\0").
    std::uint32_t SubmissionCount(const SortedRecordItem& item) const;
    bool ReadSubmission(const SortedRecordItem& item, std::uint32_t submission,
                        std::u16string* out) const;

    // The one cart: made on first use with that name, the same one afterwards.
    static void SetCartFactory(FormCartFactory factory);
    FormCart* GetFormStore(const char16_t* name, std::size_t length);

    // Metadata items of the current document.
    void AddItem(const std::u16string& name, const std::u16string& value, std::uint32_t kind = 2);
    // A space-separated list of names, each added with an empty value.
    void AddItemList(const char16_t* text, std::size_t length);
    void ClearItems() { items_.clear(); }
    const std::vector<Item>& Items() const { return items_; }

protected:
    const char* StoreType() const override { return "LogF"; }
    int Validate() override;
    std::string NewStoreName() const override { return "FolivantForms"; }

private:
    friend class SortedRecordWriter;
    struct Head {
        std::u16string key, second;
        std::uint32_t value1 = 0, value2 = 0, submission = 0, chunk = 0, flags = 0;
        ByteSpan payload;
    };
    bool ReadHead(std::uint32_t index, Head* out) const;
    static int Compare(const Head& a, const Head& b);
    // Writes a record in sorted place; its unique id, or 0.
    std::uint32_t Insert(const Head& head, const std::uint8_t* payload, std::uint32_t length);

    std::vector<Item> items_;
    std::unique_ptr<FormCart> cart_;
};
