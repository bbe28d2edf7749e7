// The memory information dialog's data: the library's storages with their space and the books
// it lists, on a device with a storage card.
#include <gtest/gtest.h>

#include "library_ui/memory_info_state.h"
#include "support/library/library_fixture.h"

namespace fvt::test {
namespace {

Bytes Book(const char* title, size_t textBytes) {
    BookBuilder book;
    book.fullName = title;
    const std::string text = SampleText(textBytes);
    book.text.assign(text.begin(), text.end());
    return book.Build();
}

TEST(LibraryMemoryState, StoragesAndBooksComeFromTheLibrary) {
    LibraryDevice dev;
    ASSERT_TRUE(dev.ok());
    const Bytes a = Book("A", 3000), c = Book("C", 9000);
    dev.PutBytes("storage/eBooks/a.prc", a);
    dev.PutBytes("Storage Card/eBooks/c.prc", c);
    dev.PutText("storage/eBooks/notes.txt", "twelve bytes");
    Library library{&dev.host};
    ASSERT_TRUE(library.Refresh());
    LibraryMemoryState state(nullptr, &library);

    ASSERT_EQ(state.StorageCount(), 2);
    String name;
    uint64_t freeBytes = 0, totalBytes = 0;
    ASSERT_TRUE(state.StorageInfo(1, name, freeBytes, totalBytes));
    EXPECT_EQ(std::u16string(name.Data(), static_cast<size_t>(name.Length())), u"Storage Card");
    EXPECT_GT(totalBytes, 0u);
    EXPECT_LE(freeBytes, totalBytes);
    ASSERT_TRUE(state.StorageInfo(0, name, freeBytes, totalBytes));
    EXPECT_GT(totalBytes, 0u);
    EXPECT_FALSE(state.StorageInfo(2, name, freeBytes, totalBytes));

    uint32_t count = 0;
    uint64_t bytes = 0;
    state.BookTotals(count, bytes);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes, a.size() + c.size() + 12u);
}

TEST(LibraryMemoryState, WithoutALibraryNothingIsListed) {
    LibraryMemoryState state(nullptr, nullptr);
    EXPECT_EQ(state.StorageCount(), 0);
    String name;
    uint64_t freeBytes = 1, totalBytes = 1;
    EXPECT_FALSE(state.StorageInfo(0, name, freeBytes, totalBytes));
    uint32_t count = 7;
    uint64_t bytes = 7;
    state.BookTotals(count, bytes);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(bytes, 0u);
}

}  // namespace
}  // namespace fvt::test
