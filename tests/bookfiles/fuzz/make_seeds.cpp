// Writes the seed corpora of the book-file fuzz targets, built by the fixture writers.
//   make_bookfiles_seeds FOLDER
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/book_compressors.h"
#include "support/bookfiles/index_fixture.h"
#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/sorted_record_database.h"
#include "bookfiles/palm_database.h"

namespace {

void Seed(const std::string& folder, const std::string& target, const std::string& name,
          const Bytes& bytes) {
    std::string dir = folder + "/" + target;
    std::string command = "mkdir -p '" + dir + "'";
    if (std::system(command.c_str()) != 0) return;
    WriteFileBytes(dir + "/" + name, bytes);
}

BookBuilder Rich(std::uint32_t compression, std::uint32_t codePage) {
    BookBuilder b;
    b.compression = compression;
    b.codePage = codePage;
    b.trailingFlags = codePage == 65001 ? 0b101 : 0;
    b.dictionary = {"the", "reader", "the reader"};
    b.nestDictionary = true;
    std::string s = SampleText(5000);
    b.text = codePage == 65002 ? Utf16Le(std::u16string(s.begin(), s.end())) : ToBytes(s);
    b.exth = {{100, ToBytes("Author")}, {201, Bytes{0, 0, 0, 1}}};
    b.fullName = "Full Name";
    b.targets = {BookTargetSpec{2, 5, {-1, -1, -1, -1}, "start", "", ""}};
    Bytes tree = TreeNode(1, 0, 100, 0xFFFFFFFF, 1, 3);
    Bytes leaf = TreeNode(2, 1, 30, 0xFFFFFFFF);
    tree.insert(tree.end(), leaf.begin(), leaf.end());
    b.framesets = {FramesetSpec{0, tree, {1, 0}}};
    b.resources = {ToBytes("GIF89a")};
    b.indexTables = {{0, "words"}};
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::string folder = argv[1];
    int n = 0;
    for (std::uint32_t compression : {1u, 2u, 3u}) {
        for (std::uint32_t codePage : {1252u, 65001u, 65002u}) {
            BookBuilder b = Rich(compression, codePage);
            PdbBuilder db = b.BuildDatabase();
            Bytes file = db.Build();
            std::string name = "book" + std::to_string(n++);
            Seed(folder, "fuzz_bookfiles_book_document", name, file);
            Seed(folder, "fuzz_bookfiles_palm_database", name, file);
            Seed(folder, "fuzz_bookfiles_book_header", name, db.records[0].bytes);
            if (compression == 2)
                Seed(folder, "fuzz_bookfiles_palm_doc", name, db.records[1].bytes);
            if (compression == 3) {
                HuffTables t =
                    HuffCompress({ToBytes(SampleText(3000))}, {"the", "the reader"}, true);
                Bytes joined;
                PutU16(joined, static_cast<std::uint32_t>(t.huff.size()));
                PutU16(joined, static_cast<std::uint32_t>(t.cdics[0].size()));
                joined.insert(joined.end(), t.huff.begin(), t.huff.end());
                joined.insert(joined.end(), t.cdics[0].begin(), t.cdics[0].end());
                joined.insert(joined.end(), t.records[0].begin(), t.records[0].end());
                Seed(folder, "fuzz_bookfiles_huff_cdic", name, joined);
            }
        }
    }
    BookBuilder doc;
    doc.palmDoc = true;
    doc.compression = 2;
    doc.text = ToBytes(SampleText(6000));
    Seed(folder, "fuzz_bookfiles_book_document", "palmdoc", doc.Build());

    for (std::uint32_t codePage : {1252u, 65001u, 65002u}) {
        PdbBuilder db;
        IndexWriter w = SampleDictionary(codePage);
        w.recordLimit = 96;
        w.alphabet = {'a', 'e', 's', 't'};
        w.maxEdits = 2;
        if (codePage == 1252) {
            w.flags = 1;
            w.weights.assign(128, 1);
            w.ligatures.push_back({0xE6, 'a', 'e'});
        }
        IndexWriter::Entry e{"more", {{22, {1}}, {25, {2, 3, 4}}}, {{11, w.AddText("text")}}};
        w.Add(e);
        std::uint32_t id = 0;
        AddIndexTable(w, &db, &id);
        IndexWriter inflex = SampleDictionary(codePage);
        AddIndexTable(inflex, &db, &id);
        Seed(folder, "fuzz_bookfiles_index_table", "index" + std::to_string(codePage), db.Build());
    }
    AnnotationFile* side = new AnnotationFile;
    if (side->OpenInMemory(nullptr, 0, 0) == 0) {
        std::int32_t a = side->AddBookmark(4, 100, 200, 1, 2, 15, 5);
        std::int32_t b = side->AddBookmark(2, 50, 60, 1, 2, 32, 5);
        side->SetBookmarkText(a, u"text", 4);
        side->SetBookmarkNote(b, u"note", 4);
        side->SetLinkedBookmark(b, a + 1);
        side->SetReadingPosition(1, 2, "EBAR", 4);
        side->SetAuthor(u"author", 6);
        Bytes bytes;
        side->Database()->Serialize(&bytes);
        Seed(folder, "fuzz_bookfiles_record_store", "side", bytes);
    }
    side->Release();
    ConfigurationStore config;
    if (config.OpenInMemory(nullptr, 0, 0) == 0) {
        config.SetText(252, u"oeb:book", 8);
        config.AddCategoryRecord(u"Fiction", 7);
        Bytes bytes;
        config.Database()->Serialize(&bytes);
        Seed(folder, "fuzz_bookfiles_record_store", "config", bytes);
    }
    SortedRecordDatabase forms;
    if (forms.OpenInMemory(nullptr, 0, 0) == 0) {
        std::unique_ptr<SortedRecordWriter> w = forms.OpenEntry(SortedRecordItem{u"a", u"", 1, 2});
        w->AppendPair(u"name", 4, u"value", 5);
        w->SetFlag();
        w->Finish();
        Bytes bytes;
        forms.Database()->Serialize(&bytes);
        Seed(folder, "fuzz_bookfiles_record_store", "forms", bytes);
    }
    return 0;
}
