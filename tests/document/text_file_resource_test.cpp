#include "document/sources/text_file_resource.h"

#include <gtest/gtest.h>

#include "core/charset.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "support/document/device_files.h"
#include "token_dump.h"

namespace {

TextFileResource* Open(DeviceFiles& files, const std::string& name, const std::string& bytes,
                       uint32_t kind, uint32_t codePage = 1252) {
    std::u16string path = files.Write(name, bytes);
    Location l;
    EXPECT_TRUE(l.Parse(String(path.c_str()), false));
    return TextFileResource::Create(l, kind, codePage, 65002);
}

std::string ReadAll(Resource* r) {
    TokenSource* ts = nullptr;
    EXPECT_TRUE(r->CreateLayout(ts, nullptr));
    if (!ts) return "";
    ts->Start(0, false);
    std::string s = DumpTokens(*ts);
    r->DestroyLayout(ts, nullptr);
    return s;
}

TEST(TextFileResources, HtmlAndPlainTextFilesReadToTheEnd) {
    DeviceFiles files;
    TextFileResource* html = Open(files, "a.htm",
                                  "<html><body><p>Caf\xE9 &amp; <b>bar</b></p></body></html>", 1);
    ASSERT_NE(html, nullptr);
    EXPECT_FALSE(html->IsBinary());
    EXPECT_EQ(html->GetDocument()->GetKind(), 2u);
    EXPECT_EQ(ReadAll(html),
              "<HTML><BODY><P>'Caf\\u233'_'&'_<B>'bar'</B></P></BODY></HTML>$");
    String title;
    EXPECT_TRUE(html->GetTitle(title));
    EXPECT_EQ(Narrow(title), "a.htm");
    html->Release();

    TextFileResource* text = Open(files, "b.txt", "one  two\r\nthree", 2);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetDocument()->GetKind(), 1u);
    EXPECT_EQ(ReadAll(text),
              "<HTML><BODY>'one'' '_'two'<BR/>'three'</BODY></HTML>$");
    EXPECT_EQ(text->OpenDataByIndex(0, nullptr), nullptr);
    text->Release();
}

TEST(TextFileResources, AnHtmlFilesTablesReachTheLayoutWithTheirRowsAndCells) {
    DeviceFiles files;
    // A plain TABLE, as any HTML file writes it: its rows and cells come through (implicit
    // ends included), so the cells are not run together. A TABLE inside a cell comes through
    // inside the cell (left out, its rows would close the outer table's cell and row).
    TextFileResource* r = Open(files, "t.html",
                               "<html><body><table><tr><td>a<td>b</tr><tr><th>c<table><tr><td>d"
                               "</table></table><p>e</p></body></html>",
                               1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ReadAll(r),
              "<HTML><BODY><TABLE><TR><TD>'a'</TD><TD>'b'</TD></TR><TR><TH>'c'<TABLE><TR>"
              "<TD>'d'</TD></TR></TABLE></TH></TR></TABLE><P>'e'</P></BODY></HTML>$");
    r->Release();
}

TEST(TextFileResources, ShiftJisTextAskedForExplicitly) {
    if (!IsKnownCodePage(932)) GTEST_SKIP() << "no Shift-JIS converter";
    // Words of ten katakana U+30A2 (83 41) and a space: the last character of word 194
    // straddles byte 4096.
    std::string bytes = "ab ";
    int words = 0;
    for (; bytes.size() < 9000; ++words) {
        for (int i = 0; i < 10; ++i) bytes += "\x83\x41";
        bytes += " ";
    }
    bytes += "z";
    ASSERT_EQ(static_cast<uint8_t>(bytes[4095]), 0x83);
    DeviceFiles files;
    TextFileResource* r = Open(files, "j.txt", bytes, 2, 932);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetDocument()->GetCodePage(), 65002u);
    std::string dump = ReadAll(r);
    r->Release();
    // Each katakana once (they come as tokens of their own), nothing replaced.
    size_t count = 0;
    for (size_t at = dump.find("'\\u12450'"); at != std::string::npos;
         at = dump.find("'\\u12450'", at + 1))
        ++count;
    EXPECT_EQ(count, static_cast<size_t>(words) * 10);
    EXPECT_EQ(dump.find("65533"), std::string::npos);
    EXPECT_EQ(dump.rfind("<HTML><BODY>'ab'_'\\u12450'", 0), 0u);
    const std::string end = "_'z'</BODY></HTML>$";
    EXPECT_EQ(dump.substr(dump.size() - end.size()), end);
    EXPECT_EQ(dump.find("'A'"), std::string::npos);
}

TEST(TextFileResources, BinaryFileNamedHtmlEndsCleanly) {
    DeviceFiles files;
    std::string junk;
    for (int i = 0; i < 20000; ++i) junk.push_back(static_cast<char>((i * 7919) & 0xFF));
    TextFileResource* r = Open(files, "junk.html", junk, 1);
    ASSERT_NE(r, nullptr);
    std::string s = ReadAll(r);
    EXPECT_EQ(s.back(), '$');
    r->Release();
}

// A stand-in for the page layout: records what the resource asks of it. Layouts and searchers
// are only handed around, so addresses of its own stand for them.
class RecordingFactory : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        // The engine keeps the traits; a file's traits carry only its key.
        if (traits) {
            key = traits->DocumentKey();
            EXPECT_TRUE(traits->SourceFlag());
            delete traits;
        }
        log += "layout;";
        return reinterpret_cast<PageLayout*>(&layout);
    }
    void SetSource(PageLayout* l, TokenSource* source) override {
        EXPECT_EQ(l, reinterpret_cast<PageLayout*>(&layout));
        given = source;
        log += "source;";
    }
    void SetPlainTextOption(PageLayout*, bool) override { log += "option;"; }
    void DestroyPageLayout(PageLayout* l) override {
        EXPECT_EQ(l, reinterpret_cast<PageLayout*>(&layout));
        // A layout lets go of its token source while clearing: it must still be there.
        uint32_t position = 0;
        if (given) given->GetPosition(position);
        log += "destroy;";
    }
    Searcher* CreateSearcher(DocumentSource* document, bool indexed) override {
        searched = document;
        log += indexed ? "indexed searcher;" : "plain searcher;";
        return reinterpret_cast<Searcher*>(&searcher);
    }
    std::string log;
    uint32_t key = 0;
    TokenSource* given = nullptr;
    DocumentSource* searched = nullptr;
    int layout = 0, searcher = 0;
};

struct InstalledFactory {
    InstalledFactory() { LayoutEngineFactory::Install(&factory); }
    ~InstalledFactory() { LayoutEngineFactory::Install(nullptr); }
    RecordingFactory factory;
};

TEST(ContentResourceLayouts, LayoutIsMadeAndFedThroughTheInstalledEngine) {
    DeviceFiles files;
    TextFileResource* r = Open(files, "l.htm", "<p>x</p>", 1);
    ASSERT_NE(r, nullptr);
    {
        InstalledFactory installed;
        TokenSource* ts = nullptr;
        PageLayout* layout = nullptr;
        ASSERT_TRUE(r->CreateLayout(ts, &layout));
        ASSERT_NE(ts, nullptr);
        EXPECT_EQ(layout, reinterpret_cast<PageLayout*>(&installed.factory.layout));
        EXPECT_EQ(installed.factory.given, ts);
        EXPECT_EQ(ts->Source(), r->GetDocument());
        r->DestroyLayout(ts, layout);
        EXPECT_EQ(installed.factory.log, "layout;source;destroy;");
        EXPECT_EQ(installed.factory.key, r->DocumentKey());
    }
    // Without a layout engine a layout cannot be had, but the token source alone can.
    TokenSource* ts = reinterpret_cast<TokenSource*>(1);
    PageLayout* layout = reinterpret_cast<PageLayout*>(1);
    EXPECT_FALSE(r->CreateLayout(ts, &layout));
    EXPECT_EQ(ts, nullptr);
    EXPECT_EQ(layout, nullptr);
    ASSERT_TRUE(r->CreateLayout(ts, nullptr));
    r->DestroyLayout(ts, nullptr);
    r->Release();
}

TEST(ContentResourceLayouts, SearchersByDocumentKind) {
    DeviceFiles files;
    TextFileResource* html = Open(files, "s.htm", "<p>x</p>", 1);
    TextFileResource* text = Open(files, "s.txt", "x", 2);
    ASSERT_TRUE(html && text);
    EXPECT_EQ(html->CreateSearcher(), nullptr);  // no layout engine yet
    {
        InstalledFactory installed;
        EXPECT_NE(html->CreateSearcher(), nullptr);
        EXPECT_EQ(installed.factory.searched, html->GetDocument());
        EXPECT_NE(text->CreateSearcher(), nullptr);
        EXPECT_EQ(installed.factory.log, "indexed searcher;plain searcher;");
    }
    EXPECT_EQ(text->CreateSearcher(), nullptr);
    html->Release();
    text->Release();
}

TEST(TextFileResources, MissingFileGivesNull) {
    DeviceFiles files;
    Location l;
    ASSERT_TRUE(l.Parse(String(u"\\nothing.txt"), false));
    EXPECT_EQ(TextFileResource::Create(l, 2, 1252, 65002), nullptr);
}

TEST(DataHandles, PictureFileHandleIsShared) {
    DeviceFiles files;
    TextFileResource* r = Open(files, "p.gif", "GIF89a-data", 3);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->IsBinary());
    DataHandle* a = r->OpenDataByIndex(0, nullptr);
    DataHandle* b = r->OpenDataByName(String(u"x"), nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->RefCount(), 2u);
    uint8_t buf[8];
    uint32_t got = 0;
    EXPECT_TRUE(a->Read(6, buf, 8, got));
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "-data");
    EXPECT_FALSE(a->Read(11, buf, 1, got));
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_TRUE(a->GetData(data, length));
    EXPECT_EQ(length, 11u);
    b->Release();
    // Not an index table: null, and the caller's reference is gone.
    r->AddRef();
    EXPECT_EQ(DataHandle::AsIndexTable(a), nullptr);
    EXPECT_EQ(r->HandleCount(), 0u);  // the handle went with its last reference
    EXPECT_EQ(r->RefCount(), 2u);
    r->Release();
    r->Release();
}

TEST(DataHandles, EmptyFile) {
    DeviceFiles files;
    TextFileResource* r = Open(files, "e.ogg", "", 3);
    ASSERT_NE(r, nullptr);
    DataHandle* h = r->OpenDataByIndex(0, nullptr);
    ASSERT_NE(h, nullptr);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    uint32_t length = 5;
    EXPECT_TRUE(h->GetData(data, length));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 0u);
    h->Release();
    r->Release();
}

TEST(FileKeys, AFileHasTheSameKeyOnEveryOpening) {
    DeviceFiles files;
    TextFileResource* a = Open(files, "same.txt", "Once upon a time", 2);
    TextFileResource* b = Open(files, "same.txt", "Once upon a time", 2);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->DocumentKey(), b->DocumentKey());
    a->Release();
    b->Release();
}

TEST(FileKeys, AnotherNameOrSizeGivesAnotherKey) {
    DeviceFiles files;
    TextFileResource* a = Open(files, "one.txt", "Once upon a time", 2);
    TextFileResource* b = Open(files, "two.txt", "Once upon a time", 2);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    uint32_t keyA = a->DocumentKey();
    EXPECT_NE(keyA, b->DocumentKey());
    a->Release();
    b->Release();
    TextFileResource* c = Open(files, "one.txt", "Once upon a time, longer", 2);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(keyA, c->DocumentKey());
    c->Release();
}

TEST(FileKeys, KeysAreNeverTheValuesThatMeanNone) {
    String empty;
    for (int64_t size = 0; size < 5000; ++size) {
        uint32_t k = TextFileResource::FileKey(empty, size);
        ASSERT_NE(k, 0u);
        ASSERT_LT(k, 0xFFFFFFFEu);
    }
}

}  // namespace
