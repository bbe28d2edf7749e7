#include "controller_books.h"

#include <string>

#include "bookfiles/book_document.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/layout/picture_data.h"
#include "support/platform/temp_device.h"

namespace fvt::test {
namespace {

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string LongHtml(int paragraphs) {
    std::string s = "<html><body>";
    for (int i = 0; i < paragraphs; ++i)
        s += "<p>Paragraph " + std::to_string(i) + " " +
             SampleText(300, static_cast<std::uint32_t>(i + 1)) + "</p>";
    return s + "</body></html>";
}

BookTargetSpec Guide(const char* name, std::int32_t position) {
    BookTargetSpec t;
    t.kind = BookDocument::kTargetGuide;
    t.name = name;
    t.position = position;
    return t;
}

Bytes Word(std::uint32_t v) {
    return Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                 static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

}  // namespace

void WriteControllerBooks(const TempDevice& device) {
    BookBuilder a;
    a.text = ToBytes(LongHtml(30));
    a.databaseName = "Book A";
    device.WriteHost("books/a.prc", Str(a.Build()));
    BookBuilder b;
    b.text = ToBytes(LongHtml(4));
    b.databaseName = "Book B";
    device.WriteHost("books/b.prc", Str(b.Build()));
    BookBuilder covered;
    covered.text = ToBytes(LongHtml(10));
    covered.resources = {GifOfSize(40, 60)};  // a red picture
    covered.exth = {{201, Word(0)}};
    device.WriteHost("books/covered.prc", Str(covered.Build()));
    BookBuilder started = covered;
    started.targets = {Guide("start", 2000)};
    device.WriteHost("books/started.prc", Str(started.Build()));
    BookBuilder tides;  // a table wider than the page, at its start, with a link in it
    tides.text = ToBytes(
        "<html><body><table border=\"1\"><tr><td><a href=\"b.prc\">Wednesday</a></td>"
        "<td>06:12-18:40</td>"
        "<td>06:58-19:21</td><td>springtide</td><td>northwesterly</td></tr></table>"
        "<p>After the table.</p></body></html>");
    tides.databaseName = "Tides";
    device.WriteHost("books/tides.prc", Str(tides.Build()));
}

void WritePlacesBook(const TempDevice& device) {
    std::uint32_t ids[2] = {};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes(LongHtml(30));
        b.tables[0] = ids[0];
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter places;
        places.name = "places";
        places.Add(u"first", {{1, {4000}}});
        places.Add(u"second", {{1, {4000}}});
        IndexWriter nowhere;
        nowhere.name = "nowhere";
        nowhere.Add(u"lost", {{3, {1}}});
        AddIndexTable(places, &pdb, &ids[0]);
        AddIndexTable(nowhere, &pdb, &ids[1]);
        bytes = pdb.Build();
    }
    device.WriteHost("books/places.prc", Str(bytes));
}

void WriteLinkedBook(const TempDevice& device) {
    BookBuilder b;
    std::string html = LongHtml(30);
    html.insert(html.find("<body>") + 6,
                "<p><a filepos=0000004000>Onwards</a></p><p><a href=\"b.prc\">Book B</a></p>");
    b.text = ToBytes(html);
    b.databaseName = "Linked";
    device.WriteHost("books/linked.prc", Str(b.Build()));
}

void WriteRequestsBook(const TempDevice& device, unsigned* tables) {
    std::uint32_t ids[2] = {};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes(LongHtml(30));
        b.databaseName = "Requests";
        b.tables[0] = ids[0];
        BookTargetSpec words;
        words.kind = BookDocument::kTargetTable;
        words.name = "words";
        words.position = static_cast<std::int32_t>(ids[0]);
        BookTargetSpec keys;
        keys.kind = BookDocument::kTargetKeyTable;
        keys.name = "bankkeys";
        keys.position = static_cast<std::int32_t>(ids[1]);
        keys.numbers[0] = 1;
        keys.numbers[1] = 7;
        BookTargetSpec chapter;
        chapter.kind = BookDocument::kTargetPosition;
        chapter.name = "chapter";
        chapter.position = 3000;
        b.targets = {words, keys, chapter, Guide("toc", 2500)};
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {{1, {4000}}});
        w.Add(u"bank", {{1, {5000}}, {7, {0, 1}}});
        w.Add(u"cat", {{1, {100}}, {41, {1}}});
        w.Add(u"dog", {{22, {0}}});
        IndexWriter k;
        k.name = "keys";
        k.Add(u"river bank", {{1, {4500}}, {4, {16}}});
        k.Add(u"savings bank", {{1, {4600}}, {4, {16}}});
        AddIndexTable(w, &pdb, &ids[0]);
        AddIndexTable(k, &pdb, &ids[1]);
        bytes = pdb.Build();
    }
    if (tables) {
        tables[0] = ids[0];
        tables[1] = ids[1];
    }
    device.WriteHost("books/requests.prc", Str(bytes));
}

std::uint32_t WriteFramedBook(const TempDevice& device) {
    std::string html = LongHtml(30);
    html.insert(html.find("<body>") + 6,
                "<p><a name=\"key1\" filepos=0000005000>Onwards</a></p>");
    std::uint32_t keys = static_cast<std::uint32_t>(html.find("<a name=\"key1\""));
    // From position 100: rows "title" at 300 (20 px), "main" the reading position (a share),
    // "foot" at 600 (30 px), and the key handlers' links.
    Bytes tree = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 4, 12);
    std::uint32_t names = static_cast<std::uint32_t>(tree.size()) + 48;
    auto append = [&tree](const Bytes& b) { tree.insert(tree.end(), b.begin(), b.end()); };
    append(TreeNode(0x0002, 1, 20, names));
    append(TreeNode(0x0002, 3, 1, names + 7));
    append(TreeNode(0x0002, 1, 30, names + 13));
    append(TreeNode(0x0014, 0, 0, names + 19));
    for (const char* n : {"title", "main", "foot", "keys"}) {
        PutU16(tree, static_cast<std::uint32_t>(std::string(n).size()));
        PutText(tree, n);
    }
    BookBuilder b;
    b.text = ToBytes(html);
    b.databaseName = "Framed";
    b.framesets = {FramesetSpec{100, tree, {4, 300, 0, 600, keys}}};
    device.WriteHost("books/framed.prc", Str(b.Build()));
    return keys;
}

std::uint32_t WriteFrameBarBook(const TempDevice& device, std::uint32_t* foot) {
    std::string html = LongHtml(30);
    html.insert(html.find("<body>") + 6,
                "<p><a filepos=0000005000>Onwards</a></p><p><a href=\"b.prc\">Book B</a></p>");
    auto bar = static_cast<std::uint32_t>(html.find("<p><a filepos"));
    auto second = static_cast<std::uint32_t>(html.find("<p><a href"));
    if (foot) *foot = second;
    Bytes tree = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 3, 9);
    std::uint32_t names = static_cast<std::uint32_t>(tree.size()) + 36;
    auto append = [&tree](const Bytes& b) { tree.insert(tree.end(), b.begin(), b.end()); };
    append(TreeNode(0x0002, 1, 40, names));
    append(TreeNode(0x0002, 3, 1, names + 5));
    append(TreeNode(0x0002, 1, 30, names + 11));
    for (const char* n : {"bar", "main", "foot"}) {
        PutU16(tree, static_cast<std::uint32_t>(std::string(n).size()));
        PutText(tree, n);
    }
    BookBuilder b;
    b.text = ToBytes(html);
    b.databaseName = "Frame bar";
    b.framesets = {FramesetSpec{100, tree, {3, bar, 0, second}}};
    device.WriteHost("books/framebar.prc", Str(b.Build()));
    return bar;
}

void WriteScriptLinkBook(const TempDevice& device) {
    BookBuilder b;
    std::string html = LongHtml(30);
    html.insert(html.find("<body>") + 6,
                "<p><a onclick=\"document.goto_last_page()\">To the end</a></p>");
    b.text = ToBytes(html);
    b.databaseName = "Scripted";
    device.WriteHost("books/scripted.prc", Str(b.Build()));
}

void WriteAccentedBook(const TempDevice& device, const std::string& paragraph) {
    BookBuilder b;
    b.codePage = 65001;
    b.text = ToBytes("<html><body><p>" + paragraph + "</p></body></html>");
    b.databaseName = "Accents";
    device.WriteHost("books/accents.prc", Str(b.Build()));
}

}  // namespace fvt::test
