#include "document/sources/text_file_resource.h"

#include <gtest/gtest.h>

#include "core/charset.h"
#include "core/text.h"
#include "document/sources/code_page.h"
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

// Files without a byte-order mark: an HTML file's declared charset is honoured (either form
// of the META tag), UTF-8 bytes are read as UTF-8, and everything else stays 1252.
TEST(TextFileResources, UnmarkedFilesAreReadInTheirDeclaredOrEvidentCodePage) {
    DeviceFiles files;
    struct Case {
        const char* name;
        std::string bytes;
        uint32_t kind;
        const char* tokens;
    } cases[] = {
        {"meta.htm", "<html><head><meta charset=\"utf-8\"></head><body>stra\xC3\x9F" "e</body></html>",
         1, "<HTML><HEAD><META/></HEAD><BODY>'stra\\u223e'</BODY></HTML>$"},
        {"equiv.htm",
         "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">"
         "</head><body>stra\xC3\x9F" "e</body></html>",
         1, "<HTML><HEAD><META/></HEAD><BODY>'stra\\u223e'</BODY></HTML>$"},
        // Undeclared, but the bytes say UTF-8.
        {"plain.htm", "<html><body>caf\xC3\xA9</body></html>", 1,
         "<HTML><BODY>'caf\\u233'</BODY></HTML>$"},
        {"utf8.txt", "stra\xC3\x9F" "e", 2, "<HTML><BODY>'stra\\u223e'</BODY></HTML>$"},
        // Not UTF-8: 1252 as before.
        {"latin.txt", "caf\xE9 \xC3", 2, "<HTML><BODY>'caf\\u233'_'\\u195'</BODY></HTML>$"},
        {"latin.htm", "<html><body>caf\xE9</body></html>", 1,
         "<HTML><BODY>'caf\\u233'</BODY></HTML>$"},
        // A declaration wins over what the bytes look like.
        {"declared.htm",
         "<html><head><meta charset='windows-1252'></head><body>caf\xC3\xA9</body></html>", 1,
         "<HTML><HEAD><META/></HEAD><BODY>'caf\\u195\\u169'</BODY></HTML>$"},
    };
    for (const Case& c : cases) {
        TextFileResource* r = Open(files, c.name, c.bytes, c.kind);
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_EQ(ReadAll(r), c.tokens) << c.name;
        r->Release();
    }
    // A declaration after the first kilobyte is not looked for; one of another code page
    // the program knows is honoured.
    std::string late = "<html><head><title>" + std::string(1100, 'x') +
                       "</title><meta charset=\"windows-1251\"></head><body>\xC0</body></html>";
    TextFileResource* r = Open(files, "late.htm", late, 1);
    ASSERT_NE(r, nullptr);
    EXPECT_NE(ReadAll(r).find("'\\u192'"), std::string::npos);
    r->Release();
    if (IsKnownCodePage(1251)) {
        r = Open(files, "cyrillic.htm",
                 "<html><head><meta charset=\"windows-1251\"></head><body>\xC0</body></html>", 1);
        ASSERT_NE(r, nullptr);
        EXPECT_NE(ReadAll(r).find("'\\u1040'"), std::string::npos);
        r->Release();
    }
}

// The UTF-8 check passes over plain ASCII in long strides: a character of two bytes, a lone
// high byte or a sequence cut short is seen wherever it lies in the run, also when it spans two
// blocks fed one after the other.
TEST(Utf8Checks, EveryPlaceInALongAsciiRunIsLookedAt) {
    auto check = [](const std::string& bytes, size_t split) {
        CodePage::Utf8Check c;
        const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
        if (c.Feed(b, split)) c.Feed(b + split, bytes.size() - split);
        return c.IsUtf8();
    };
    const std::string run(100, 'a');
    for (size_t at = 0; at < run.size(); ++at) {
        std::string good = run, lone = run, cut = run;
        good.replace(at, 2, "\xC3\xA9");
        lone[at] = '\xE9';
        cut.replace(at, 2, "\xE2\x82");  // three bytes begun, two given
        for (size_t split : {size_t{0}, at, at + 1, size_t{64}}) {
            EXPECT_TRUE(check(good, split)) << "e acute at " << at << ", split at " << split;
            EXPECT_FALSE(check(lone, split)) << "a lone byte at " << at << ", split at " << split;
            EXPECT_FALSE(check(cut, split)) << "a cut sequence at " << at << ", split " << split;
        }
    }
    EXPECT_FALSE(check(run, 50)) << "ASCII alone is not evidence of UTF-8";
}

// A character outside the basic plane is one character: a surrogate pair, in UTF-8 with and
// without a mark, and in UTF-16.
TEST(TextFileResources, CharactersOutsideTheBasicPlaneAreOnePair) {
    DeviceFiles files;
    const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600
    const char* pair = "<HTML><BODY>'a\\u55357\\u56832b'</BODY></HTML>$";
    for (const std::string& bytes : {"a" + emoji + "b", "\xEF\xBB\xBF" "a" + emoji + "b"}) {
        TextFileResource* r = Open(files, "emoji.txt", bytes, 2);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(ReadAll(r), pair);
        r->Release();
    }
    TextFileResource* r =
        Open(files, "emoji16.txt", std::string("\xFF\xFE" "a\0\x3D\xD8\x00\xDE" "b\0", 10), 2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ReadAll(r), pair);
    r->Release();
    r = Open(files, "emoji.htm", "<html><body>a" + emoji + "b</body></html>", 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ReadAll(r), pair);
    r->Release();
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

// Characters outside the basic plane on every side of the document's page boundaries: each is
// one pair, none is lost or doubled, whether the file is read from its start or from a
// position in the middle.
TEST(TextFileResources, PairsAcrossPageBoundariesAreReadOnce) {
    DeviceFiles files;
    std::string bytes;
    int emoji = 0;
    while (bytes.size() < 3 * 4096 + 64) {
        bytes += "ab ";
        // Words of 7 and of 20 (longer than a token: it is cut, but never inside a pair).
        for (int k = 0; k < 7; ++k, ++emoji) bytes += "\xF0\x9F\x98\x80";
        bytes += ' ';
        for (int k = 0; k < 20; ++k, ++emoji) bytes += "\xF0\x9F\x98\x80";
        bytes += ' ';
    }
    TextFileResource* r = Open(files, "pairs.txt", bytes, 2);
    ASSERT_NE(r, nullptr);
    std::string tokens = ReadAll(r);
    auto count = [&](const std::string& what) {
        int n = 0;
        for (size_t at = tokens.find(what); at != std::string::npos; at = tokens.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\\u55357\\u56832"), emoji);
    EXPECT_EQ(count("\\u65533"), 0);
    EXPECT_EQ(count("\\u55357"), emoji);
    r->Release();
}
