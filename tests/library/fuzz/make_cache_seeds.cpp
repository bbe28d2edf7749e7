// Writes library caches built by the cache writer into the folder given, as fuzz seeds: text
// files, and books with ratings, reading lists and a damaged file.
#include <fstream>
#include <string>

#include "library/library_cache.h"
#include "support/library/library_fixture.h"

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    fvt::test::LibraryDevice dev;
    if (!dev.ok()) return 1;
    Library library(&dev.host);
    for (int books : {0, 1, 3, 40}) {
        for (int i = library.GetEntryCount(); i < books; ++i) {
            std::string name = "b" + std::to_string(i) + ".txt";
            dev.PutText("eBooks/" + name);
            LibraryBook* b = library.AddFile(fvt::test::Dev(u"\\eBooks\\" + std::u16string(name.begin(), name.end())), false);
            if (!b) return 1;
            std::u16string lists(u"One\0Two", 7);
            b->LoadCategories(lists.data(), i % 2 ? 7 : 0);
            b->SetTitle(fvt::test::Dev(std::u16string(size_t(i * 50), u't')), false);
        }
        if (LibraryCache().CreateAt(fvt::test::Dev(u"\\Windows\\seed.fvt"), library) != 0) return 1;
        std::ofstream(std::string(argv[1]) + "/cache" + std::to_string(books), std::ios::binary)
            << dev.device().ReadHost("Windows/seed.fvt");
    }
    // Books as a reader's library holds them: titles, authors and languages from their
    // headers, ratings and reading lists in their side files, one damaged file listed by name.
    for (int i = 0; i < 6; ++i) {
        std::string name = "book" + std::to_string(i) + ".prc";
        dev.PutBook("eBooks/" + name, fvt::test::MakeBook("Book &amp; number " + std::to_string(i)));
        LibraryBook* b = library.AddFile(
            fvt::test::Dev(u"\\eBooks\\" + std::u16string(name.begin(), name.end())), false);
        if (!b) return 1;
        b->SetRating(static_cast<uint32_t>(i % 6));
        std::u16string lists(u"Fiction\0Later", 13);
        b->LoadCategories(lists.data(), i % 2 ? 13 : 7);
    }
    dev.PutText("eBooks/damaged.prc", "not a book");
    if (!library.AddFile(fvt::test::Dev(u"\\eBooks\\damaged.prc"), false)) return 1;
    if (LibraryCache().CreateAt(fvt::test::Dev(u"\\Windows\\seed.fvt"), library) != 0) return 1;
    std::ofstream(std::string(argv[1]) + "/books", std::ios::binary)
        << dev.device().ReadHost("Windows/seed.fvt");
    return 0;
}
