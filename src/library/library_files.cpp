// Classifying a file for the catalogue and reading a Palm book's header for its entry.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "bookfiles/book_text.h"
#include "bookfiles/palm_database.h"
#include "core/code_pages.h"
#include "core/file.h"
#include "core/html.h"
#include "core/resources.h"
#include "library/library.h"

namespace {

constexpr uint32_t kOpenReadOnly = 41;
constexpr uint32_t kDamagedTitle = 5523;

// The file name's parts: the name without folder and extension, and the extension.
void SplitFileName(const Text& path, std::u16string& stem, std::u16string& extension) {
    String s;
    path.ToWide(s);
    std::u16string w(s.Data(), static_cast<size_t>(s.Length()));
    size_t slash = w.find_last_of(u"\\/");
    std::u16string name = slash == std::u16string::npos ? w : w.substr(slash + 1);
    size_t dot = name.find_last_of(u'.');
    stem = dot == std::u16string::npos ? name : name.substr(0, dot);
    extension = dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
    for (char16_t& c : extension)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
}

// Header and metadata strings are in the book's own code page: 1252, UTF-8 or UTF-16 (whose
// bytes hold zeros, so a byte text would end after its first letter). A name padded with zeros
// ends at the first zero character.
bool DecodeBytes(const uint8_t* bytes, size_t n, uint32_t codePage, Text& out) {
    out.Clear();
    if (n == 0) return true;
    const uint32_t cp = BookText::IsSupported(codePage) ? codePage : CodePages::kWindows1252;
    std::u16string wide(n + 1, u'\0');
    const size_t units = BookText::Decode(cp, bytes, n, wide.data(), wide.size(), nullptr);
    wide.resize(std::min(units, wide.size()));
    const size_t end = wide.find(u'\0');
    if (end != std::u16string::npos) wide.resize(end);
    if (wide.empty()) return true;
    return out.FromWide(wide.data(), static_cast<int32_t>(wide.size()));
}

}  // namespace

bool Library::ReadBookHeader(const PalmDatabase* database, HeaderInfo& out) {
    out = HeaderInfo();
    if (!database || database->GetRecordCount() == 0) return false;
    uint32_t length = 0;
    const uint8_t* record0 = database->GetRecord(0, &length);
    if (!record0) return false;
    int32_t level = 0, type = -1, position = -1;
    if (!CheckBookHeader(database, record0, length, &level, &type, &position)) return false;
    out.type = type;
    ByteSpan r{record0, length};
    if (position >= 0) {
        BookHeader header;
        // Every field below is read only where it lies inside record 0.
        if (header.Parse(r, true)) {
            if (level >= 1) out.textLength = header.textLength;
            if (level >= 2) out.uniqueId = header.uniqueId;
            if (level >= 3) {
                out.dictionaryIndex = header.tables[0];
                if (out.dictionaryIndex == kBookNone) {
                    out.languagePair = LibraryBook::kNoLanguagePair;
                } else {
                    out.languagePair = 0;
                    // A byte each: wider values would spill into the other language.
                    if ((header.inputLanguage & 0x80000000u) == 0)
                        out.languagePair = static_cast<uint16_t>(
                            ((header.inputLanguage & 0xFF) << 8) | (header.outputLanguage & 0xFF));
                }
                out.locale = static_cast<uint16_t>(header.locale & 0xFFFF);
                ByteSpan name;
                if (header.FullName(r, &name))
                    DecodeBytes(name.data, name.size, header.codePage, out.fullName);
            }
        }
    }
    const char* dbName = database->GetName();
    size_t n = 0;
    while (n < 32 && dbName[n]) ++n;
    DecodeBytes(reinterpret_cast<const uint8_t*>(dbName), n, CodePages::kWindows1252,
                out.databaseName);
    return true;
}

bool Library::ReadBookExtras(const PalmDatabase* database, LibraryBook& book) {
    uint32_t length = 0;
    const uint8_t* record0 = database ? database->GetRecord(0, &length) : nullptr;
    if (!record0) return false;
    ByteSpan r{record0, length};
    BookHeader header;
    std::vector<ExthRecord> records;
    if (!header.Parse(r, true) || !ReadExth(r, header, &records)) return false;
    if (book.GetAuthor().IsEmpty()) {
        if (const ExthRecord* author = FindExth(records, Exth::kAuthor)) {
            Text text;
            if (DecodeBytes(author->data.data, author->data.size, header.codePage, text))
                book.SetAuthorField(text);
        }
    }
    // 0xFFFF and above mean none: kept to 16 bits they would name a wrong record.
    uint32_t value = 0;
    book.SetCoverOffset(ExthNumber(records, Exth::kCoverOffset, &value) && value < 0xFFFF
                            ? static_cast<uint16_t>(value)
                            : LibraryBook::kNoImage);
    book.SetThumbnailOffset(ExthNumber(records, Exth::kThumbnailOffset, &value) && value < 0xFFFF
                                ? static_cast<uint16_t>(value)
                                : LibraryBook::kNoImage);
    book.SetFakeCover(ExthNumber(records, Exth::kFakeCover, &value) && value > 0);
    return true;
}

LibraryBook* Library::AddUnreadable(const Text& path) {
    if (!Files::Exists(path)) return nullptr;
    auto book = std::make_unique<LibraryBook>(this, path);
    book->SetType(LibraryBook::kTypeUnknownBook);
    book->SetLanguagePair(0);
    String wide;
    path.ToWide(wide);
    int32_t slash = wide.Length();
    while (slash > 0 && wide[slash - 1] != u'\\') --slash;
    // "Name.prc (damaged)": the whole file name, so that two such files are told apart.
    String name;
    name.AssignSub(wide, slash, wide.Length() - slash);
    const char16_t* pattern = LoadResString(kDamagedTitle);
    String shown;
    for (const char16_t* c = pattern ? pattern : u"%1"; *c; ++c) {
        if (c[0] == u'%' && c[1] == u'1') {
            shown.Append(name);
            ++c;
        } else {
            shown.AppendChar(*c);
        }
    }
    Text title;
    title.FromWide(shown.Data(), shown.Length());
    book->SetTitle(title, false);
    book->SetCreated(FileTimeUnixSecondsEx(path));
    // Opening it tells the user what is wrong with it; no side file is made beside it.
    book->SetOpenable(false);
    LibraryBook* added = book.release();
    InsertBook(added);
    return added;
}

LibraryBook* Library::AddFile(const Text& path, bool checkExists) {
    if (path.IsEmpty()) return nullptr;
    LibraryBook* known = nullptr;
    if (FindBookByPath(path, &known)) {
        known->SetPresent(!checkExists || Files::Exists(known->GetPath()));
        PlaceInLocation(known, false);
        return known;
    }
    std::u16string stem, extension;
    SplitFileName(path, stem, extension);
    if (extension == u"txt" || extension == u"html" || extension == u"htm") {
        if (!Files::Exists(path)) return nullptr;
        auto book = std::make_unique<LibraryBook>(this, path);
        book->SetType(extension == u"txt" ? LibraryBook::kTypeText : LibraryBook::kTypeHtml);
        book->SetLanguagePair(0);
        Text title;
        title.FromWide(stem.data(), static_cast<int32_t>(stem.size()));
        book->SetTitle(title, false);
        book->SetCreated(FileTimeUnixSecondsEx(path));
        book->LoadSideFileInfo();
        LibraryBook* added = book.release();
        InsertBook(added);
        return added;
    }
    if (extension != u"prc" && extension != u"pdb" && extension != u"folv") return nullptr;

    int error = 0;
    std::unique_ptr<PalmDatabase> database(
        PalmDatabase::Open(path, kOpenReadOnly, nullptr, nullptr, &error));
    // A damaged book is still the user's file: it is listed, never silently dropped.
    if (!database) return error == 11 ? nullptr : AddUnreadable(path);
    HeaderInfo info;
    if (!ReadBookHeader(database.get(), info)) return AddUnreadable(path);
    auto book = std::make_unique<LibraryBook>(this, path);
    book->SetType(info.type == -1 ? LibraryBook::kTypeUnknownBook : info.type);
    book->SetLanguagePair(info.languagePair);
    Text title = info.fullName.IsEmpty() ? info.databaseName : info.fullName;
    Html::DecodeEntities(title);
    book->SetTitle(title, false);
    String name;
    info.databaseName.ToWide(name);
    book->SetDatabaseName(name);
    book->SetUniqueId(info.uniqueId);
    book->SetCreated(FileTimeUnixSecondsEx(path));
    ReadBookExtras(database.get(), *book);
    database->Close();
    database.reset();
    book->LoadSideFileInfo();
    LibraryBook* added = book.release();
    InsertBook(added);
    return added;
}
