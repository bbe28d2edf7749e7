// The document loader: the cache, the recent list, opening by kind and by file type, database
// names, file links through books, failure messages and side files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "core/file.h"
#include "core/text.h"
#include "document/sources/book_resource.h"
#include "document/sources/document_loader.h"
#include "document/sources/loader_services.h"
#include "document/sources/text_file_resource.h"
#include "paths/app_paths.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

namespace {

Text T(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
    return out;
}

class FakeMessages : public LoaderMessages {
public:
    void ShowMessage(uint32_t id) override { messages.push_back(id); }
    std::vector<uint32_t> messages;
};

class FakeCatalogue : public LoaderCatalogue {
public:
    void AddLocation(const Text&) override { log += "add;"; }
    void RemoveLocation(const Text&) override { log += "remove;"; }
    void RefreshLocation(const Text&) override { log += "refresh-location;"; }
    void RefreshLocationBooks(const Text&) override { log += "refresh-books;"; }
    void Refresh() override { log += "refresh;"; }
    bool FindBookByName(const String& name, Text& path) override {
        log += "find " + Narrow(name) + ";";
        if (!(name == String(u"Known Book"))) return false;
        return path.FromWide(u"\\books\\known.txt");
    }
    void UpdateFromAnnotationFile(AnnotationFile*) override { log += "update;"; }
    std::string log;
};

std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

BookTargetSpec Object(const char* name, uint32_t kind, int32_t first, int32_t end, int32_t flag) {
    BookTargetSpec t;
    t.kind = BookDocument::kTargetObject;
    t.name = name;
    t.position = first;
    t.numbers[0] = end;
    t.numbers[1] = flag;
    t.numbers[2] = static_cast<int32_t>(kind);
    return t;
}

struct LoaderTest : ::testing::Test {
    LoaderTest() {
        EXPECT_TRUE(device.ok());
        loader = new DocumentLoader(7);
        loader->SetOptions(&paths, nullptr, nullptr);
        loader->SetCatalogue(&catalogue);
        loader->SetMessages(&host);
        device.WriteHost("books/a.htm", "<p>a</p>");
        device.WriteHost("books/b.txt", "plain");
        device.WriteHost("books/C.TXT", "shouting");
        device.WriteHost("books/known.txt", "known");
        device.WriteHost("books/a.doc", "doc");
        BookBuilder b;
        b.text = ToBytes("<html><body>book text</body></html>");
        b.resources = {ToBytes("first"), ToBytes("second")};
        b.targets = {Object("dir/page.htm", 1, 12, 20, 0), Object("dir/one.gif", 40, 1, 2, 0),
                     Object("dir/two.ogg", 40, 0, 2, 0)};
        device.WriteHost("books/book.prc", Str(b.Build()));
        BookBuilder g;
        g.text = ToBytes("<html><body>generated</body></html>");
        g.type = 774;
        device.WriteHost("books/g.fvg", Str(g.Build()));
    }
    ~LoaderTest() override { delete loader; }

    Resource* Open(const char16_t* text, uint8_t* handled = nullptr, Location* out = nullptr) {
        Location l;
        if (!l.Resolve(String(text), nullptr)) return nullptr;
        Resource* r = loader->Open(l, nullptr, handled);
        if (out) out->CopyFrom(l);
        return r;
    }

    fvt::test::TempDevice device;
    AppPaths paths{Text(), nullptr};
    FakeMessages host;
    FakeCatalogue catalogue;
    DocumentLoader* loader = nullptr;
};

TEST_F(LoaderTest, ASecondOpenWhileHeldGivesTheSameResource) {
    Resource* a = Open(u"\\books\\a.htm");
    ASSERT_NE(a, nullptr);
    Resource* again = Open(u"\\books\\a.htm#here");  // the anchor does not count
    EXPECT_EQ(again, a);
    EXPECT_EQ(a->RefCount(), 2u);
    EXPECT_EQ(loader->CachedCount(), 1u);
    again->Release();
    a->Release();
    EXPECT_EQ(loader->CachedCount(), 0u);
    Resource* fresh = Open(u"\\books\\a.htm");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->RefCount(), 1u);
    fresh->Release();
}

TEST_F(LoaderTest, FileByTypeAndFileShareTheCache) {
    Location byType;
    ASSERT_TRUE(byType.Resolve(String(u"\\books\\b.txt"), nullptr));
    byType.SetKind(Location::kFileByType);
    Resource* r = loader->Open(byType, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    Resource* same = Open(u"\\books\\b.txt");
    EXPECT_EQ(same, r);
    same->Release();
    r->Release();
}

TEST_F(LoaderTest, ExtensionsChooseTheResource) {
    Resource* txt = Open(u"\\books\\C.TXT");
    ASSERT_NE(txt, nullptr);
    auto* file = dynamic_cast<TextFileResource*>(txt);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->ContentKind(), TextFileResource::kPlainText);
    txt->Release();
    Resource* html = Open(u"\\books\\a.htm");
    ASSERT_NE(html, nullptr);
    EXPECT_EQ(dynamic_cast<TextFileResource*>(html)->ContentKind(), TextFileResource::kHtml);
    html->Release();
    uint8_t handled = 9;
    EXPECT_EQ(Open(u"\\books\\a.doc", &handled), nullptr);
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(host.messages.empty());
    Resource* book = Open(u"\\books\\book.prc");
    ASSERT_NE(book, nullptr);
    EXPECT_NE(dynamic_cast<BookResource*>(book), nullptr);
    book->Release();
    // The reader's own book types become internal locations, kept off the recent list.
    Location g;
    Resource* generated = Open(u"\\books\\g.fvg", nullptr, &g);
    ASSERT_NE(generated, nullptr);
    EXPECT_EQ(g.Kind(), Location::kInternal);
    for (const Location& l : loader->GetRecentList()) EXPECT_NE(l.Kind(), Location::kInternal);
    // Cached under its file all the same: found again, and its file is in use.
    Resource* again = Open(u"\\books\\g.fvg");
    EXPECT_EQ(again, generated);
    if (again) again->Release();
    EXPECT_TRUE(loader->IsFileInUse(T(u"\\books\\g.fvg"), true));
    generated->Release();
}

TEST_F(LoaderTest, PathsCannotLeaveTheDevice) {
    device.WriteHost("../outside.txt", "secret");
    EXPECT_EQ(Open(u"\\..\\outside.txt"), nullptr);
    EXPECT_EQ(Open(u"\\books\\..\\..\\outside.txt"), nullptr);
    EXPECT_EQ(Open(u"\\books\\book.prc\\..\\..\\..\\outside.txt"), nullptr);
}

TEST_F(LoaderTest, BuiltInPagesAndEmptyLocationsGiveNothing) {
    EXPECT_EQ(Open(u"oeb:library"), nullptr);
    EXPECT_EQ(Open(u"oeb:about"), nullptr);
    EXPECT_EQ(loader->CachedCount(), 0u);
}

TEST_F(LoaderTest, MissingBooksAreReportedOnceAndOnlyWhenAsked) {
    uint8_t handled = 0;
    EXPECT_EQ(Open(u"\\books\\missing.prc", &handled), nullptr);
    EXPECT_EQ(handled, 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], 5479u);
    uint8_t saved[2];
    loader->SetFlags(0, 0, saved);
    handled = 0;
    EXPECT_EQ(Open(u"\\books\\missing.prc", &handled), nullptr);
    EXPECT_EQ(handled, 1);
    loader->RestoreFlags(saved);
    EXPECT_EQ(loader->ReportFailures(), 1);
    EXPECT_EQ(host.messages.size(), 1u);
    // A corrupt book names its fault.
    device.WriteHost("books/bad.prc", std::string(100, 'x'));
    EXPECT_EQ(Open(u"\\books\\bad.prc", &handled), nullptr);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1], 5478u);
    EXPECT_EQ(DocumentLoader::MessageForCode(13), 5032u);
    EXPECT_EQ(DocumentLoader::MessageForCode(3), 0u);
}

TEST_F(LoaderTest, RecentListKeepsTheLastSixDistinctLocations) {
    const char* names[] = {"r1", "r2", "r3", "r4", "r5", "r6", "r7"};
    std::vector<Resource*> held;
    for (const char* n : names) {
        device.WriteHost(std::string("books/") + n + ".txt", n);
        std::u16string path = u"\\books\\";
        for (const char* c = n; *c; ++c) path += static_cast<char16_t>(*c);
        path += u".txt";
        held.push_back(Open(path.c_str()));
        if (std::string(n) == "r3") {
            // Reopening an entry already listed does not move it (a new object: r1 was let go).
            held.back()->Release();
            held.back() = Open(u"\\books\\r1.txt");
        }
        if (std::string(n) == "r1") {
            held.back()->Release();
            held.back() = nullptr;
        }
    }
    const auto& recent = loader->GetRecentList();
    ASSERT_EQ(recent.size(), 6u);
    EXPECT_EQ(Narrow(recent.front().GetText()), "\\books\\r2.txt");
    EXPECT_EQ(Narrow(recent.back().GetText()), "\\books\\r7.txt");
    for (Resource* r : held)
        if (r) r->Release();
}

TEST_F(LoaderTest, DatabaseNamesOpenFilesInTheDatabaseFolder) {
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"oeb:database?name=Books"), nullptr));
    Resource* r = loader->Open(l, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetKind(), 1u);
    // Cached under the file's location, which the caller's location now names (a file
    // never saved yet gives a new database).
    EXPECT_TRUE(l.IsFileKind());
    EXPECT_EQ(Narrow(l.GetText()), "%5Cstorage%5CeBooks%5Cdatabase%5CBooks.ebase");
    Location cached;
    static_cast<DbValue&>(cached).Copy(r->GetLocation());
    EXPECT_EQ(Narrow(cached.GetText()), "%5Cstorage%5CeBooks%5Cdatabase%5CBooks.ebase");
    Resource* again = Open(u"oeb:database?name=Books");
    EXPECT_EQ(again, r);
    again->Release();
    r->Release();
}

TEST_F(LoaderTest, DatabaseNamesCannotLeaveTheFolder) {
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"oeb:database?name=..%5C..%5Cbooks%5Cevil"), nullptr));
    Resource* r = loader->Open(l, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    Text path;
    ASSERT_TRUE(l.ToFileName(path));
    String wide;
    path.ToWide(wide);
    EXPECT_EQ(Narrow(wide).rfind("\\storage\\eBooks\\database\\", 0), 0u) << Narrow(wide);
    EXPECT_EQ(Narrow(wide).find(".."), std::string::npos);
    r->Release();
    // No letter or digit: nothing.
    EXPECT_EQ(Open(u"oeb:database?name=..%5C"), nullptr);
}

TEST_F(LoaderTest, RedirectsFindBooksThroughTheCatalogue) {
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"oeb:library?title=Known%20Book"), nullptr));
    EXPECT_EQ(l.Kind(), Location::kRedirect);
    Resource* r = loader->Open(l, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(catalogue.log, "refresh;find Known Book;");
    EXPECT_EQ(l.Kind(), Location::kFile);
    r->Release();
    EXPECT_EQ(Open(u"oeb:library?title=Nobody"), nullptr);
    // No name: nothing to resolve.
    EXPECT_EQ(Open(u"oeb:redirect?cat=x"), nullptr);
}

TEST_F(LoaderTest, SubPathsAreDecodedOnce) {
    Location l;
    ASSERT_TRUE(
        l.Resolve(String(u"oeb:library?name=Known%20Book&subpath=a%2523b&param=x%3D1%23y"), nullptr));
    ASSERT_TRUE(loader->OpenDatabaseByName(l, nullptr));
    Text path;
    ASSERT_TRUE(l.ToFileName(path));
    String wide;
    path.ToWide(wide);
    EXPECT_EQ(Narrow(wide), "\\books\\known.txt\\a%23b");
    String query;
    ASSERT_TRUE(l.GetQuery(query, false));
    EXPECT_EQ(Narrow(query), "x=1%23y");
    EXPECT_EQ(l.Anchor().Length(), 0);
}

TEST_F(LoaderTest, FileLinksResolveInsideBooks) {
    Location l;
    Resource* book = Open(u"\\books\\book.prc\\dir\\page.htm", nullptr, &l);
    ASSERT_NE(book, nullptr);
    EXPECT_NE(dynamic_cast<BookResource*>(book), nullptr);
    EXPECT_EQ(Narrow(l.Anchor()), "##-pos12");
    // The book was registered under its own location by the nested open.
    EXPECT_EQ(loader->CachedCount(), 1u);
    Resource* direct = Open(u"\\books\\book.prc");
    EXPECT_EQ(direct, book);
    direct->Release();
    Resource* one = Open(u"\\books\\book.prc\\dir\\one.gif", nullptr, &l);
    EXPECT_EQ(one, book);
    EXPECT_EQ(Narrow(l.Anchor()), "$2");
    one->Release();
    Resource* two = Open(u"\\books\\book.prc%5cdir%5Ctwo.ogg?x", nullptr, &l);
    EXPECT_EQ(two, book);
    EXPECT_EQ(Narrow(l.Anchor()), "$eo=dir%5Ctwo.ogg");
    two->Release();
    EXPECT_EQ(Open(u"\\books\\book.prc\\dir\\nothing.htm"), nullptr);
    EXPECT_EQ(Open(u"\\nowhere\\at\\all.htm"), nullptr);
    book->Release();
}

TEST_F(LoaderTest, OpenLocationGivesTheAnchoredObject) {
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"\\books\\book.prc$1"), nullptr));
    DataHandle* h = loader->OpenLocation(l, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetSize(), 5u);
    DataHandle* byString = loader->OpenString(String(u"\\books\\book.prc$eo=dir/two.ogg"), nullptr);
    ASSERT_NE(byString, nullptr);
    EXPECT_EQ(byString->GetSize(), 11u);
    // The handles hold the book; the loader keeps it cached only while they do.
    EXPECT_EQ(loader->CachedCount(), 1u);
    byString->Release();
    h->Release();
    EXPECT_EQ(loader->CachedCount(), 0u);
    EXPECT_EQ(loader->OpenString(String(u"\\books\\book.prc"), nullptr), nullptr);
    EXPECT_EQ(loader->CachedCount(), 0u);
}

TEST_F(LoaderTest, IsFileInUseMatchesPathsWithoutCase) {
    Resource* r = Open(u"\\books\\a.htm");
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(loader->IsFileInUse(T(u"\\BOOKS\\A.HTM"), true));
    EXPECT_TRUE(loader->IsFileInUse(T(u"\\Books"), true));
    EXPECT_FALSE(loader->IsFileInUse(T(u"\\other"), true));
    // A text file does not keep its file held.
    EXPECT_FALSE(loader->IsFileInUse(T(u"\\books\\a.htm"), false));
    r->Release();
    EXPECT_FALSE(loader->IsFileInUse(T(u"\\books\\a.htm"), true));
}

TEST_F(LoaderTest, OneSideFilePerBookWhateverTheSpelling) {
    Resource* book = Open(u"\\books\\book.prc");
    ASSERT_NE(book, nullptr);
    book->AddRef();
    AnnotationFile* file = loader->OpenAnnotationFile(book);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(loader->SideFileCount(), 1u);
    AnnotationFile* same = loader->FindAnnotationFile("\\BOOKS\\Book.PRC");
    EXPECT_EQ(same, file);
    if (same) same->Release();
    EXPECT_EQ(loader->FindAnnotationFile("\\books\\other.prc"), nullptr);
    // Registering it again keeps one entry, and the loader took no reference.
    int32_t refs = file->RefCount();
    EXPECT_TRUE(loader->RegisterAnnotationFile(file, book));
    EXPECT_EQ(loader->SideFileCount(), 1u);
    EXPECT_EQ(file->RefCount(), refs);
    file->Release();
    // Closing told the catalogue and left the list.
    EXPECT_EQ(loader->SideFileCount(), 0u);
    EXPECT_EQ(catalogue.log, "update;");
    book->Release();
}

TEST_F(LoaderTest, ResourcesAndSideFilesMayOutliveTheLoader) {
    Resource* r = Open(u"\\books\\a.htm");
    Resource* book = Open(u"\\books\\book.prc");
    ASSERT_NE(r, nullptr);
    ASSERT_NE(book, nullptr);
    book->AddRef();
    AnnotationFile* file = loader->OpenAnnotationFile(book);
    ASSERT_NE(file, nullptr);
    device.WriteHost("Windows/FolivantAutogenCart.fvg", "old page");
    delete loader;
    loader = nullptr;
    // The generated pages went with the loader.
    EXPECT_FALSE(device.HostExists("Windows/FolivantAutogenCart.fvg"));
    // Their releases must not reach the freed loader (the sanitizer sees it if they do).
    r->Release();
    file->Release();
    book->Release();
}

TEST_F(LoaderTest, StorageNotificationsReachTheCatalogue) {
    loader->AddLocation(T(u"\\Card"));
    loader->RemoveLocation(T(u"\\Card"));
    loader->RefreshLocation(T(u"\\Card"));
    loader->RefreshLocationBooks(T(u"\\Card"));
    EXPECT_EQ(catalogue.log, "add;remove;refresh-location;refresh-books;");
}

}  // namespace
