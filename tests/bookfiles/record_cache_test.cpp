// The one-record cache of a record source, and the book's section lookup that uses it.
#include "bookfiles/record_cache.h"

#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/palm_database.h"
#include "support/bookfiles/pdb_builder.h"

namespace {

// A record source over a built database that counts the records it hands out.
class CountingSource : public PalmDatabase {
public:
    explicit CountingSource(const Bytes& bytes) : bytes_(bytes) {
        int error = 0;
        inner_.reset(PalmDatabase::OpenView(bytes_.data(), bytes_.size(), &error));
    }
    bool IsReadOnly() const override { return true; }
    std::uint32_t GetRecordCount() const override { return inner_->GetRecordCount(); }
    const std::uint8_t* GetRecord(std::uint32_t index, std::uint32_t* length) const override {
        ++fetches;
        return inner_->GetRecord(index, length);
    }
    std::uint32_t GetUniqueId(std::uint32_t index) const override {
        return inner_->GetUniqueId(index);
    }
    std::uint8_t GetRecordAttributes(std::uint32_t index) const override {
        return inner_->GetRecordAttributes(index);
    }
    mutable int fetches = 0;

private:
    Bytes bytes_;
    std::unique_ptr<PalmDatabase> inner_;
};

Bytes ThreeRecords(const char* first) {
    PdbBuilder b;
    b.Add(ToBytes(first));
    b.Add(ToBytes(""));
    b.Add(ToBytes("two!"));
    return b.Build();
}

TEST(RecordCache, KeepsOneRecordUntilAnotherIsAsked) {
    CountingSource source(ThreeRecords("zero"));
    RecordCache cache;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_TRUE(cache.Fetch(&source, 2, &data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), "two!");
    const std::uint8_t* again = nullptr;
    ASSERT_TRUE(cache.Fetch(&source, 2, &again, &size));
    EXPECT_EQ(again, data);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(source.fetches, 1);

    // Another index replaces it, an empty record included.
    ASSERT_TRUE(cache.Fetch(&source, 1, &data, &size));
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(cache.Holds(&source, 1));
    EXPECT_FALSE(cache.Holds(&source, 2));
    ASSERT_TRUE(cache.Fetch(&source, 2, &data, &size));
    EXPECT_EQ(source.fetches, 3);

    // The same index of another source is that source's record.
    CountingSource other(ThreeRecords("0000"));
    ASSERT_TRUE(cache.Fetch(&other, 0, &data, &size));
    ASSERT_TRUE(cache.Fetch(&source, 0, &data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), "zero");
}

TEST(RecordCache, AFailedFetchKeepsNothing) {
    CountingSource source(ThreeRecords("zero"));
    RecordCache cache;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_TRUE(cache.Fetch(&source, 0, &data, &size));
    EXPECT_FALSE(cache.Fetch(&source, 7, &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(cache.Holds(&source, 7));
    EXPECT_FALSE(cache.Holds(&source, 0));
    // Asking again does not answer from the record let go.
    EXPECT_FALSE(cache.Fetch(&source, 7, &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(cache.Fetch(nullptr, 0, &data, &size));
    EXPECT_EQ(data, nullptr);
    ASSERT_TRUE(cache.Fetch(&source, 0, &data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), "zero");
    cache.Clear();
    EXPECT_FALSE(cache.Holds(&source, 0));
}

}  // namespace
