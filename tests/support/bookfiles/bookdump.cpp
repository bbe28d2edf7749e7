// bookdump: a developer's view of a Palm database or book.
//   bookdump FILE          the database header, the record list, the book's header and metadata
//   bookdump --text FILE   exactly the book's text, as UTF-8
//   bookdump --index N FILE  the entries of the index table whose header is record N
//   bookdump --store FILE  the tagged records of a side file or store
//   bookdump --query TEXT FILE  the entries a query over the book's tables matches, in order:
//                          the entry number and the entry as a list shows it, one per line; a
//                          query that does not compile prints its code, position and message
//                          (exit status 1)
//   bookdump --lookup WORD FILE  WORD looked up in the book's dictionary as a tap does: one line
//                          per result, "exact", "inflected" or "candidate", the entry number and
//                          its key, in the order the reader shows them
//   bookdump --lookup WORD --index N FILE  WORD by key only in the table whose header is record
//                          N: the first entry at or after it (-1 none) and "match" or "no match"
// FILE is a host path, read as it is; its folder is left untouched. A file that cannot be
// opened prints its error code and meaning on stderr; exit status 1.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "bookfiles/book_error.h"
#include "bookfiles/byte_order.h"
#include "bookfiles/index_table.h"
#include "bookfiles/index_table_handle.h"
#include "bookfiles/palm_database.h"
#include "core/text.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "document/sources/book_resource.h"

namespace {

// Writes the UTF-8 of the UTF-16 units at o, which has room for three bytes a unit; an unpaired
// surrogate becomes U+FFFD. The end of what was written.
char* PutUtf8(char* o, const char16_t* s, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        // Eight plain ASCII units at a time: most books are mostly ASCII.
        if (i + 8 <= n) {
            std::uint64_t a, b;
            std::memcpy(&a, s + i, 8);
            std::memcpy(&b, s + i + 4, 8);
            if (((a | b) & 0xFF80FF80FF80FF80ull) == 0) {
                for (int k = 0; k < 8; ++k) o[k] = static_cast<char>(s[i + k]);
                o += 8;
                i += 8;
                continue;
            }
        }
        std::uint32_t c = s[i++];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i < n && s[i] >= 0xDC00 && s[i] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return o;
}

void AppendUtf8(std::string& out, const char16_t* s, std::size_t n) {
    std::size_t at = out.size();
    out.resize(at + 3 * n);
    out.resize(static_cast<std::size_t>(PutUtf8(out.data() + at, s, n) - out.data()));
}

std::string Utf8(const char16_t* s, std::size_t n) {
    std::string out;
    AppendUtf8(out, s, n);
    return out;
}

std::string Code(std::uint32_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>(v >> shift);
        s += (c >= 32 && c < 127) ? c : '.';
    }
    return s;
}

// The file is read on the host, never through a device over its folder: opening a device
// there would leave the device's own folders beside the user's file.
int ReadHostFile(const char* path, std::vector<std::uint8_t>* out) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kBookNotFound : kBookCannotOpen;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        out->resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < out->size()) {
            ssize_t n = ::read(fd, out->data() + done, out->size() - done);
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            if (ok) done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return ok ? 0 : kBookCannotOpen;
}

int Fail(const char* path, int code) {
    std::fprintf(stderr, "bookdump: %s: error %d: %s\n", path, code, BookErrorMeaning(code));
    return 1;
}

// Page by page, converted and written as it is read: memory stays at a page and a buffer
// whatever the book's length.
int DumpText(BookDocument& book) {
    // Written out in pieces of about 64 KB; a page's UTF-8 is at most three bytes a unit.
    constexpr std::size_t kFlush = 1u << 16;
    std::vector<char> out(kFlush + 3 * (BookDocument::kPageSize + 16) + 8);
    std::size_t used = 0;
    char16_t carry = 0;  // a high surrogate that ended the previous page
    bool ok = true;
    for (std::uint32_t position = 0; position < book.GetLength();) {
        PageBuffer page;
        if (!book.ReadPage(position, page, 0, 0)) break;
        const char16_t* text = page.text;
        std::size_t n = std::min<std::size_t>(page.length, BookDocument::kPageSize + 16);
        char* o = out.data() + used;
        if (carry && n > 0) {
            // Joined with the low half that opens this page, else replaced on its own.
            char16_t pair[2] = {carry, text[0]};
            bool joined = text[0] >= 0xDC00 && text[0] < 0xE000;
            o = PutUtf8(o, pair, joined ? 2 : 1);
            if (joined) {
                ++text;
                --n;
            }
            carry = 0;
        }
        if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00) {
            carry = text[n - 1];
            --n;
        }
        o = PutUtf8(o, text, n);
        used = static_cast<std::size_t>(o - out.data());
        position = page.start + page.spanLength;
        book.ReleasePage(page.pageId);
        if (used >= kFlush) {
            ok = ok && std::fwrite(out.data(), 1, used, stdout) == used;
            used = 0;
        }
    }
    if (carry) used = static_cast<std::size_t>(PutUtf8(out.data() + used, &carry, 1) - out.data());
    ok = ok && std::fwrite(out.data(), 1, used, stdout) == used;
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
}

void DumpDatabase(const PalmDatabase& db) {
    std::printf("name: %s\ntype: %s\ncreator: %s\nattributes: 0x%04X\nrecords: %u\n", db.GetName(),
                Code(db.GetType()).c_str(), Code(db.GetCreator()).c_str(), db.GetAttributes(),
                db.GetRecordCount());
    for (std::uint32_t i = 0; i < db.GetRecordCount(); ++i) {
        std::uint32_t length = 0;
        const std::uint8_t* data = db.GetRecord(i, &length);
        std::printf("  record %u: %u bytes, id %u, attributes 0x%02X", i, length, db.GetUniqueId(i),
                    db.GetRecordAttributes(i));
        if (length >= 4) std::printf(", starts \"%s\"", Code(BigEndian::U32(data)).c_str());
        std::printf("\n");
    }
}

void DumpBook(BookDocument& book) {
    const BookHeader& h = book.Header();
    std::u16string title;
    book.GetTitleText(&title);
    std::printf(
        "title: %s\nkind: %d\ntype: %d\ncompression: %u\ntext length: %u\ntext records: %u\n"
        "record size: %u\ncode page: %u\nunique id: %u\nversion: %u\nflags: 0x%X\n"
        "trailing flags: 0x%X\nfirst resource: %u\n",
        Utf8(title.data(), title.size()).c_str(), book.GetBookKind(), h.type, h.compression,
        h.textLength, h.textRecordCount, h.recordSize, book.GetTextCodePage(), h.uniqueId,
        h.version, h.flags, h.trailingFlags, book.GetRecordOffset() + 1);
    for (int i = 0; i < BookHeader::kTableFields; ++i) {
        if (h.tables[i] != kBookNone) std::printf("table field %d: record %u\n", i, h.tables[i]);
    }
    for (const ExthRecord& r : book.Metadata()) {
        std::u16string text;
        std::printf("exth %u (%u bytes)", r.type, r.data.size);
        if (r.data.size == 4 && r.type >= 200) {
            std::printf(": %u", BigEndian::U32(r.data.data));
        } else {
            book.DecodeBytes(&text, r.data.data, r.data.size);
            std::printf(": %s", Utf8(text.data(), text.size()).c_str());
        }
        std::printf("\n");
    }
    for (std::uint32_t kind : {0u, 2u, 3u, 4u, 5u, 7u, 8u}) {
        BookTarget t;
        for (std::uint32_t i = 0; book.GetTarget(i, kind, &t); ++i) {
            std::printf("target kind %u: \"%s\" = \"%s\" at %d\n", kind,
                        Utf8(t.name.data(), t.name.size()).c_str(),
                        Utf8(t.value.data(), t.value.size()).c_str(), t.position);
        }
    }
}

int DumpIndex(PalmDatabase& db, std::uint32_t table) {
    IndexTable t;
    if (!t.Open(&db, table)) {
        std::printf("record %u is no readable index table\n", table);
        return 1;
    }
    std::u16string name;
    t.GetName(&name);
    std::printf("index table %u \"%s\": %u entries, code page %u, language %u\n", table,
                Utf8(name.data(), name.size()).c_str(), t.GetEntryCount(), t.GetCodePage(),
                t.GetLanguage());
    IndexEntryReader reader;
    reader.Open(&t);
    for (std::uint32_t n = 0; n < t.GetEntryCount(); ++n) {
        IndexPosition p;
        std::u16string key;
        if (!t.PositionFromEntry(n, &p)) continue;
        if (!t.GetEntryKey(p, &key) || reader.Seek(p) != 0) {
            std::printf("%u (%u,%u): unreadable\n", n, p.record, p.entry);
            continue;
        }
        std::printf("%u (%u,%u) %s", n, p.record, p.entry, Utf8(key.data(), key.size()).c_str());
        std::uint32_t tag = 0, count = 0, v = 0;
        while (reader.ReadNextTag(&tag, &count) == 0) {
            std::printf(" %u=", tag);
            for (bool first = true; reader.ReadNumber(&v) == 0; first = false)
                std::printf(first ? "%u" : ",%u", v);
        }
        std::printf("\n");
    }
    return 0;
}

void DumpStore(PalmDatabase& db) {
    for (std::uint32_t i = 0; i < db.GetRecordCount(); ++i) {
        std::uint32_t length = 0;
        const std::uint8_t* r = db.GetRecord(i, &length);
        ByteSpan s{r, length};
        std::uint32_t l = s.U32At(4);
        char tag[5] = {};
        for (int k = 0; k < 4 && k < static_cast<int>(length); ++k)
            tag[k] = r[k] >= 0x20 && r[k] < 0x7F ? static_cast<char>(r[k]) : '?';
        std::printf("%u id %06x %s length %u%s", i, db.GetUniqueId(i), tag, l,
                    length < 8 || l > length - 8 ? " (damaged)" : "");
        if (s.TagAt(0, "BKMK") && length >= 56) {
            std::printf(" kind %u range %u-%u style %08x refs %x %x %x %x link %x", s.U32At(8),
                        s.U32At(12), s.U32At(16), s.U32At(28), s.U32At(36), s.U32At(40),
                        s.U32At(44), s.U32At(48), s.U32At(32));
        }
        std::printf("\n");
    }
}

// The book resource of a host file, viewing `bytes`, which must outlive it; the exit status of a
// failure (its line printed), else 0.
int OpenBook(const char* path, std::vector<std::uint8_t>* bytes, BookResource** book) {
    int error = ReadHostFile(path, bytes);
    if (error) return Fail(path, error);
    PalmDatabase* db = PalmDatabase::OpenView(bytes->data(), bytes->size(), &error);
    if (!db) return Fail(path, error);
    const int rc = BookResource::Create(db, 1252, 65002, *book);
    return rc ? Fail(path, rc) : 0;
}

// Compiles the query over the book resource and prints its matches. The file is read from the
// host directly: no device is opened in its folder, which stays as it was.
int DumpQuery(const char* path, const char* text) {
    std::vector<std::uint8_t> bytes;
    BookResource* book = nullptr;
    if (int failed = OpenBook(path, &bytes, &book)) return failed;
    String query;
    Text utf8;
    if (!utf8.AssignUtf8(text) || !query.AssignFromText(utf8)) {
        book->Release();
        std::fprintf(stderr, "%s: the query is not UTF-8\n", path);
        return 1;
    }
    IndexQuery* q = new IndexQuery();
    SqlParser parser(book);
    int rc = parser.Compile(query, *q);
    if (rc) {
        const SqlError& e = parser.LastError();
        std::printf("error %d at %u: %s\n", e.code ? e.code : rc, e.position, e.message.c_str());
        q->Release();
        book->Release();
        return 1;
    }
    for (RecordPosition p = q->Next(RecordPosition::At(-1)); p.IsRow(); p = q->Next(p)) {
        String shown;
        q->GetDisplayText(p, shown);
        Text out;
        std::string line;
        if (out.FromString(shown) && out.ConvertTo(65001))
            line.assign(reinterpret_cast<const char*>(out.Bytes()),
                        static_cast<std::size_t>(out.ByteLength()));
        std::printf("%d\t%s\n", q->EntryAt(p), line.c_str());
    }
    q->Release();
    book->Release();
    return 0;
}

bool WordArgument(const char* utf8, std::u16string* out) {
    Text text;
    String word;
    if (!text.AssignUtf8(utf8) || !word.AssignFromText(text) || word.IsEmpty()) return false;
    out->assign(word.Data(), static_cast<std::size_t>(word.Length()));
    return true;
}

void PrintHit(const char* kind, const IndexTable& table, IndexPosition p) {
    std::u16string key;
    table.GetEntryKey(p, &key);
    std::printf("%s %d %s\n", kind, table.EntryFromPosition(p),
                Utf8(key.data(), key.size()).c_str());
}

// The table a book names for a designation, as the reader asks for it; null when it has none.
DataHandle* NamedTable(BookResource* book, const char16_t* designation) {
    const String name(designation);
    return DataHandle::AsIndexTable(book->OpenDataByName(name, nullptr));
}

int DumpLookup(const char* path, const char* utf8) {
    std::u16string word;
    if (!WordArgument(utf8, &word)) {
        std::printf("%s: the word is empty or not UTF-8\n", path);
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    BookResource* book = nullptr;
    if (int failed = OpenBook(path, &bytes, &book)) return failed;
    DataHandle* main = NamedTable(book, u"special_table=default");
    const IndexTableHandle* tables = main ? main->GetIndexTables() : nullptr;
    if (!tables) {
        if (main) main->Release();
        book->Release();
        std::printf("%s: the book has no dictionary index\n", path);
        return 1;
    }
    const IndexTable& table = tables->Table();
    const std::uint32_t language = table.GetLanguage() & 0x3FF;
    if (language == 4 || language == 17 || language == 18) {
        // Chinese, Japanese and Korean go through the key table, never the ending rules.
        DataHandle* keys = NamedTable(book, u"special_table=lookup_key");
        const IndexTableHandle* keyTables = keys ? keys->GetIndexTables() : nullptr;
        std::vector<LookupMatch> matches;
        bool exact = false;
        tables->RunLookup(word.data(), word.size(), &matches,
                          keyTables ? &keyTables->Table() : nullptr, 0, &exact, true);
        for (const LookupMatch& m : matches)
            PrintHit(m.exact ? "exact" : "candidate", table, m.position);
        if (keys) keys->Release();
    } else {
        std::vector<IndexPosition> exact, all;
        tables->LookupWord(word.data(), word.size(), &exact, 0, 0, false);
        for (const IndexPosition& p : exact) PrintHit("exact", table, p);
        const bool wildcard = word.find_first_of(u"?*\uFF1F\uFF0A") != std::u16string::npos;
        if (!wildcard) tables->LookupWord(word.data(), word.size(), &all, 0, 0, true);
        for (const IndexPosition& p : all) {
            if (std::find(exact.begin(), exact.end(), p) == exact.end())
                PrintHit("inflected", table, p);
        }
        if (all.empty() && exact.empty()) {
            std::vector<IndexPosition> candidates;
            IndexTable::FindCandidatesForWord(table, word.data(), word.size(), &candidates, 6);
            for (const IndexPosition& p : candidates) PrintHit("candidate", table, p);
        }
    }
    main->Release();
    book->Release();
    return 0;
}

int DumpKeyLookup(PalmDatabase& db, std::uint32_t header, const char* path, const char* utf8) {
    std::u16string word;
    IndexTable table;
    if (!WordArgument(utf8, &word)) {
        std::printf("%s: the word is empty or not UTF-8\n", path);
        return 1;
    }
    if (!table.Open(&db, header)) {
        std::printf("record %u is no readable index table\n", header);
        return 1;
    }
    IndexPosition p;
    const bool after = table.Lookup(word.data(), word.size(), &p, IndexTable::kModeNearest);
    IndexPosition same;
    const bool match = table.Lookup(word.data(), word.size(), &same, 0);
    std::printf("%d %s\n", after ? table.EntryFromPosition(p) : -1, match ? "match" : "no match");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool textOnly = argc == 3 && std::strcmp(argv[1], "--text") == 0;
    bool store = argc == 3 && std::strcmp(argv[1], "--store") == 0;
    bool index = argc == 4 && std::strcmp(argv[1], "--index") == 0;
    bool query = argc == 4 && std::strcmp(argv[1], "--query") == 0;
    bool lookup = argc == 4 && std::strcmp(argv[1], "--lookup") == 0;
    bool keyLookup =
        argc == 6 && std::strcmp(argv[1], "--lookup") == 0 && std::strcmp(argv[3], "--index") == 0;
    if (!(argc == 2 || textOnly || store || index || query || lookup || keyLookup)) {
        std::fprintf(stderr,
                     "usage: bookdump [--text | --store | --index N | --query TEXT | "
                     "--lookup WORD [--index N]] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    if (query) return DumpQuery(path, argv[2]);
    if (lookup) return DumpLookup(path, argv[2]);
    std::vector<std::uint8_t> bytes;
    int error = ReadHostFile(path, &bytes);
    if (error) return Fail(path, error);
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    if (!db) return Fail(path, error);
    if (keyLookup) {
        return DumpKeyLookup(*db, static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10)),
                             path, argv[2]);
    }
    if (index) return DumpIndex(*db, static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    if (!textOnly) DumpDatabase(*db);
    if (store) {
        DumpStore(*db);
        return 0;
    }
    BookDocument book;
    int rc = book.Open(db.get(), 0, 1252, 65002);
    if (rc) {
        if (textOnly) return Fail(path, rc);
        std::printf("not a readable book: error %d: %s\n", rc, BookErrorMeaning(rc));
        return 0;
    }
    if (textOnly) return DumpText(book);
    DumpBook(book);
    return 0;
}
