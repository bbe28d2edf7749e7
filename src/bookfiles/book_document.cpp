#include "bookfiles/book_document.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "bookfiles/book_error.h"
#include "bookfiles/book_text.h"
#include "bookfiles/palm_database.h"
#include "bookfiles/palm_doc.h"
#include "bookfiles/trailing_entries.h"

namespace {

constexpr std::uint32_t kBook = FourCC("BOOK");
constexpr std::uint32_t kFolv = FourCC("FOLV");
constexpr std::uint32_t kText = FourCC("TEXt");
constexpr std::uint32_t kRead = FourCC("REAd");

// Room for a page's characters plus a character completed past its end.
constexpr std::uint32_t kPageUnits = BookDocument::kPageSize + 8;

bool SameName(const std::u16string& s, const char16_t* name, std::uint32_t length) {
    return s.size() == length && std::equal(s.begin(), s.end(), name);
}

char16_t LowerAscii(char16_t c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

}  // namespace

struct BookDocument::Page {
    std::uint32_t start = 0;
    std::uint32_t spanLength = 0;
    std::vector<char16_t> text;
    std::uint32_t length = 0;
    std::vector<std::uint32_t> positions;  // UTF-8 books: the source position of every unit
    std::uint32_t uses = 0;
    std::uint16_t id = 0;
};

BookDocument::BookDocument() = default;

BookDocument::~BookDocument() {
    Close();
}

void BookDocument::SetHostInterfaces(BookHostInterface* before, BookHostInterface* after) {
    before_ = before;
    after_ = after;
}

void BookDocument::Close() {
    pages_.clear();
    targets_.clear();
    targetsLoaded_ = false;
    exth_.clear();
    huff_.reset();
    cachedRecord_ = 0;
    framesetCache_.Clear();
    sniffedKind_ = 0;
    if (ownedSource_) ownedSource_->Close();
    ownedSource_.reset();
    source_ = nullptr;
    record0_ = ByteSpan{};
    header_ = BookHeader();
}

namespace {

// The text length of a PalmDOC book whose header lost it: full records before the last one,
// then what the last one decodes to. 0 when the last record gives nothing.
std::uint32_t DocTextLengthFromRecords(PalmDatabase* source, const BookHeader& header,
                                       std::uint32_t unitSize) {
    constexpr std::uint32_t kRecord = BookDocument::kRecordBytes;
    std::uint32_t length = 0;
    const std::uint8_t* last = source->GetRecord(header.textRecordCount, &length);
    if (!last || length == 0) return 0;
    std::size_t produced = 0;
    if (header.compression == 2) {
        std::vector<std::uint8_t> out(kRecord);
        PalmDoc::Decompress(last, length, out.data(), out.size(), &produced);
    } else {
        produced = std::min<std::uint32_t>(length, kRecord);
    }
    if (produced == 0) return 0;
    const std::uint64_t bytes =
        std::uint64_t(header.textRecordCount - 1) * kRecord + produced;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes / unitSize, 0xFFFFFFF0u));
}

// Whether an uncompressed PalmDOC book's text records before the last hold less than a whole
// record each time (the records' own lengths tell without decoding them).
bool ShortDocRecords(PalmDatabase* source, const BookHeader& header) {
    if (header.compression != 1) return false;
    for (std::uint32_t k = 1; k < header.textRecordCount; ++k) {
        std::uint32_t length = 0;
        if (source->GetRecord(k, &length) && length < BookDocument::kRecordBytes) return true;
    }
    return false;
}

}  // namespace

int BookDocument::Open(PalmDatabase* source, int ownsSource, std::uint32_t codePage,
                       std::uint32_t /*requestedCodePage*/) {
    Close();
    if (!source) return kBookNotFound;
    std::uint32_t recordCount = source->GetRecordCount();
    if (recordCount == 0) return kBookCannotOpen;
    bool isBook = source->GetType() == kBook && source->GetCreator() == kFolv;
    bool isDoc = source->GetType() == kText && source->GetCreator() == kRead;
    if (!isBook && !isDoc) return kBookBadVersion;

    std::uint32_t length = 0;
    const std::uint8_t* data = source->GetRecord(0, &length);
    ByteSpan record0{data, length};
    std::int32_t level = 0, type = -1, position = -1;
    if (!CheckBookHeader(source, data, length, &level, &type, &position)) {
        // A FOLV header with an unknown version is a book this reader does not know.
        return isBook && record0.TagAt(16, "FOLV") ? kBookBadVersion : kBookCorrupt;
    }
    if (isBook && position < 0) return kBookCorrupt;
    BookHeader header;
    if (!header.Parse(record0, isBook)) return kBookCorrupt;

    // A newer reader is asked for only where the header says so: a scheme or reader version
    // number this reader lacks, in a header that is otherwise whole. Numbers no header would
    // hold, or a header that does not add up, are damage.
    auto plausible = [](std::uint32_t n) { return n <= 0xFF; };
    bool newer = false;
    if (header.compression < 1 || header.compression > 3 || (header.compression == 3 && !isBook)) {
        if (header.compression == 0 || !plausible(header.compression)) return kBookCorrupt;
        newer = true;
    }
    if (header.encryption != 0) {
        if (!plausible(header.encryption)) return kBookCorrupt;
        newer = true;
    }
    if (header.minimumVersion > 1) {
        if (!plausible(header.minimumVersion)) return kBookCorrupt;
        newer = true;
    }
    std::uint32_t textCodePage = header.codePage ? header.codePage : codePage;
    if (textCodePage == 0) textCodePage = CodePages::kWindows1252;
    const bool knownCodePage = BookText::IsSupported(textCodePage);
    if (!knownCodePage) {
        if (textCodePage > 0xFFFF) return kBookCorrupt;
        newer = true;
    }
    std::uint32_t unitSize = knownCodePage ? BookText::UnitSize(textCodePage) : 1;
    if (header.textRecordCount > recordCount - 1) return kBookCorrupt;
    if (newer) return kBookNewerReader;
    if (header.recordSize * unitSize != kRecordBytes) return kBookRecordSize;
    if (std::uint64_t(header.textLength) * unitSize >
        std::uint64_t(header.textRecordCount) * kRecordBytes) {
        return kBookCorrupt;
    }
    // Trailing-entry flags that the first text record cannot carry would blank every page: the
    // book is damaged, not empty.
    if (header.isFolv && header.trailingFlags != 0 && header.textRecordCount > 0) {
        std::uint32_t firstLength = 0;
        const std::uint8_t* first = source->GetRecord(1, &firstLength);
        TrailingEntries entries;
        if (!first || !StripTrailingEntries(first, firstLength, header.trailingFlags,
                                            textCodePage == CodePages::kUtf8, &entries)) {
            return kBookCorrupt;
        }
    }
    // A PalmDOC header that counts no text before records of text: the length is read from the
    // records (every one but the last holds a full record of text).
    if (isDoc && header.textLength == 0 && header.textRecordCount > 0) {
        header.textLength = DocTextLengthFromRecords(source, header, unitSize);
        if (header.textLength == 0) return kBookCorrupt;
    } else if (isDoc && header.textRecordCount > 0 && ShortDocRecords(source, header)) {
        // Records shorter than the record size the header states: each is read in its place
        // and padded, so the text goes on to what the last record holds, wherever the header
        // says it ends (else End would show padding, or never reach the last words).
        const std::uint32_t fromRecords = DocTextLengthFromRecords(source, header, unitSize);
        if (fromRecords > 0) header.textLength = fromRecords;
    }

    std::unique_ptr<HuffCdicDecoder> huff;
    if (header.compression == 3) {
        std::uint32_t first = header.huffRecord;
        std::uint32_t count = header.huffRecordCount;
        if (count == 0 || first == 0 || first >= recordCount || count > recordCount - first) {
            return kBookCorrupt;
        }
        huff.reset(new (std::nothrow) HuffCdicDecoder);
        if (!huff) return kBookNoMemory;
        bool notify = source->WantsBusyNotice();
        if (notify && before_) before_->Notify();
        std::vector<ByteSpan> cdics;
        std::uint32_t huffLength = 0;
        const std::uint8_t* huffData = source->GetRecord(first, &huffLength);
        for (std::uint32_t i = 1; i < count; ++i) {
            std::uint32_t n = 0;
            const std::uint8_t* p = source->GetRecord(first + i, &n);
            cdics.push_back(ByteSpan{p, n});
        }
        bool loaded = huff->Load(ByteSpan{huffData, huffLength}, cdics);
        if (notify && after_) after_->Notify();
        if (!loaded) return kBookCorrupt;
    }

    header_ = header;
    record0_ = record0;
    level_ = level;
    textCodePage_ = textCodePage;
    unitSize_ = unitSize;
    huff_ = std::move(huff);
    std::uint32_t firstResource = header.firstResource;
    if (firstResource == kBookNone || firstResource == 0)
        firstResource = header.textRecordCount + 1;
    firstResource_ = firstResource;
    std::uint32_t shift = header.framesetShift ? header.framesetShift : 16;
    framesetShift_ = shift;
    hasFrameset_ = isBook && level >= 4 && header.framesetRecord != kBookNone &&
                   header.framesetRecord != 0 && header.framesetRecordCount > 0 && shift >= 8 &&
                   shift <= 24 && header.framesetRecord < recordCount &&
                   header.framesetRecordCount <= recordCount - header.framesetRecord;
    ReadExth(record0, header, &exth_);
    recordBuffer_.assign(kRecordBytes + 8, 0);
    source_ = source;
    if (ownsSource) ownedSource_.reset(source);
    return kBookOk;
}

const std::uint8_t* BookDocument::Record(std::uint32_t index, std::uint32_t* length) const {
    *length = 0;
    return source_ ? source_->GetRecord(index, length) : nullptr;
}

const std::uint8_t* BookDocument::TextRecord(std::uint32_t k, std::uint32_t* length) {
    std::uint64_t textBytes = std::uint64_t(header_.textLength) * unitSize_;
    std::uint64_t before = std::uint64_t(k - 1) * kRecordBytes;
    std::uint32_t expected =
        before >= textBytes
            ? 0
            : static_cast<std::uint32_t>(std::min<std::uint64_t>(kRecordBytes, textBytes - before));
    *length = expected;
    if (cachedRecord_ == k) return recordBuffer_.data();

    std::uint32_t rawLength = 0;
    const std::uint8_t* raw = Record(k, &rawLength);
    std::size_t produced = 0;
    std::uint8_t* out = recordBuffer_.data();
    TrailingEntries entries;
    std::uint32_t trailing = header_.isFolv ? header_.trailingFlags : 0;
    if (raw && StripTrailingEntries(raw, rawLength, trailing, textCodePage_ == CodePages::kUtf8,
                                    &entries)) {
        switch (header_.compression) {
            case 1:
                produced = std::min<std::uint32_t>(entries.textLength, expected);
                std::memcpy(out, raw, produced);
                break;
            case 2:
                PalmDoc::Decompress(raw, entries.textLength, out, kRecordBytes, &produced);
                break;
            case 3:
                if (huff_) huff_->Decode(raw, entries.textLength, out, kRecordBytes, &produced);
                break;
        }
    }
    // Short or damaged records are padded with spaces so that later positions stay aligned.
    if (produced > expected) produced = expected;
    for (std::size_t i = produced; i < expected; ++i) {
        out[i] = (unitSize_ == 2 && (i & 1)) ? 0 : ' ';
    }
    cachedRecord_ = k;
    return out;
}

// Hands `visit` the decompressed text bytes from byteStart to byteEnd, one run per record; stops
// at a record shorter than the positions say.
template <typename Visit>
void BookDocument::ForEachTextRun(std::uint64_t byteStart, std::uint64_t byteEnd, Visit visit) {
    for (std::uint64_t at = byteStart; at < byteEnd;) {
        std::uint32_t k = static_cast<std::uint32_t>(at / kRecordBytes) + 1;
        std::uint32_t inRecord = static_cast<std::uint32_t>(at % kRecordBytes);
        std::uint32_t length = 0;
        const std::uint8_t* text = TextRecord(k, &length);
        if (inRecord >= length) break;
        std::uint32_t take =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(length - inRecord, byteEnd - at));
        visit(text + inRecord, take);
        at += take;
    }
}

bool BookDocument::BuildPage(Page* page, std::uint32_t pageStart) {
    std::uint32_t pageEnd =
        std::min<std::uint64_t>(std::uint64_t(pageStart) + kPageSize, header_.textLength);
    std::uint64_t byteStart = std::uint64_t(pageStart) * unitSize_;
    std::uint64_t byteEnd = std::uint64_t(pageEnd) * unitSize_;
    if (unitSize_ == 1 && textCodePage_ != CodePages::kUtf8 && textCodePage_ != CodePages::kUtf16) {
        // One byte, one character: decoded straight from the records, no gathered copy.
        page->text.resize(kPageUnits);
        page->positions.clear();
        std::size_t units = 0;
        ForEachTextRun(byteStart, byteEnd, [&](const std::uint8_t* run, std::uint32_t size) {
            units += BookText::Decode(textCodePage_, run, size, page->text.data() + units,
                                      kPageUnits - units, nullptr);
        });
        page->start = pageStart;
        page->spanLength = pageEnd - pageStart;
        page->length = static_cast<std::uint32_t>(units);
        return units > 0;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(byteEnd - byteStart) + 4);
    ForEachTextRun(byteStart, byteEnd, [&](const std::uint8_t* run, std::uint32_t size) {
        bytes.insert(bytes.end(), run, run + size);
    });
    std::size_t skip = 0;
    if (textCodePage_ == CodePages::kUtf8) {
        // The first bytes may finish a character of the previous page; that page reads them.
        if (pageStart > 0) {
            while (skip < 3 && skip < bytes.size() && (bytes[skip] & 0xC0) == 0x80) ++skip;
        }
        // Complete the last character from the bytes that follow the page.
        if (pageEnd < header_.textLength) {
            std::uint32_t k = static_cast<std::uint32_t>(byteEnd / kRecordBytes) + 1;
            std::uint32_t inRecord = static_cast<std::uint32_t>(byteEnd % kRecordBytes);
            std::uint32_t length = 0;
            const std::uint8_t* text = TextRecord(k, &length);
            for (std::uint32_t i = 0; i < 3 && inRecord + i < length; ++i) {
                if ((text[inRecord + i] & 0xC0) != 0x80) break;
                bytes.push_back(text[inRecord + i]);
            }
        }
    }
    page->text.resize(kPageUnits);
    std::uint32_t* positions = nullptr;
    if (textCodePage_ == CodePages::kUtf8) {
        page->positions.resize(kPageUnits + 1);
        positions = page->positions.data();
    } else {
        page->positions.clear();
    }
    std::size_t units = BookText::Decode(textCodePage_, bytes.data() + skip, bytes.size() - skip,
                                         page->text.data(), kPageUnits, positions);
    if (positions) {
        for (std::size_t i = 0; i <= units; ++i)
            positions[i] += pageStart + static_cast<std::uint32_t>(skip);
        page->positions.resize(units + 1);
    }
    page->start = pageStart;
    page->spanLength = pageEnd - pageStart;
    page->length = static_cast<std::uint32_t>(units);
    return units > 0;
}

bool BookDocument::ReadPage(std::uint32_t position, PageBuffer& out, std::uint32_t section,
                            std::uint32_t flag) {
    if (!source_ || section != 0 || flag != 0 || position >= header_.textLength) return false;
    std::uint32_t pageStart = position & ~(kPageSize - 1);
    Page* page = nullptr;
    for (auto& p : pages_) {
        if (p->uses > 0 && p->start == pageStart) {
            page = p.get();
            break;
        }
    }
    if (!page) {
        for (auto& p : pages_) {
            if (p->uses == 0) {
                page = p.get();
                break;
            }
        }
        if (!page) {
            std::unique_ptr<Page> fresh(new (std::nothrow) Page);
            if (!fresh) return false;
            pages_.push_back(std::move(fresh));
            page = pages_.back().get();
        }
        if (!BuildPage(page, pageStart)) return false;
        // Page ids are never 0 and never shared by live pages.
        for (;;) {
            std::uint16_t id = nextPageId_++;
            if (nextPageId_ == 0) nextPageId_ = 1;
            if (id == 0) continue;
            bool used = false;
            for (auto& p : pages_) used = used || (p->uses > 0 && p->id == id);
            if (!used) {
                page->id = id;
                break;
            }
        }
    }
    ++page->uses;
    out.start = page->start;
    out.text = page->text.data();
    out.length = page->length;
    out.baseStart = page->start;
    out.reserved = 0;
    out.spanLength = page->spanLength;
    out.pageId = page->id;
    return true;
}

void BookDocument::ReleasePage(std::uint16_t pageId) {
    if (pageId == 0) return;
    bool anyLive = false;
    for (auto& p : pages_) {
        if (p->uses > 0 && p->id == pageId) {
            if (--p->uses == 0) p->id = 0;
        }
        anyLive = anyLive || p->uses > 0;
    }
    if (!anyLive) pages_.clear();
}

std::uint32_t BookDocument::LivePageCount() const {
    std::uint32_t n = 0;
    for (auto& p : pages_) n += p->uses > 0;
    return n;
}

bool BookDocument::PagePositions(std::uint32_t pageStart, const std::vector<std::uint32_t>*& out,
                                 std::vector<std::uint32_t>& scratch) {
    for (auto& p : pages_) {
        if (p->uses > 0 && p->start == pageStart && !p->positions.empty()) {
            out = &p->positions;
            return true;
        }
    }
    PageBuffer page;
    if (!ReadPage(pageStart, page, 0, 0)) return false;
    bool ok = false;
    for (auto& p : pages_) {
        if (p->uses > 0 && p->id == page.pageId && !p->positions.empty()) {
            scratch = p->positions;
            out = &scratch;
            ok = true;
            break;
        }
    }
    ReleasePage(page.pageId);  // may drop every page: only the copy is used
    return ok;
}

std::uint32_t BookDocument::Advance(std::uint32_t position, std::int32_t count, std::uint32_t) {
    const std::uint32_t length = header_.textLength;
    auto bytes = [length](std::uint32_t from, std::int64_t n) {
        std::int64_t t = std::int64_t(from) + n;
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(t, 0, length));
    };
    if (textCodePage_ != CodePages::kUtf8) return bytes(position, count);
    // Page by page: a page's map gives the byte position of each of its characters, and one
    // entry more, its end.
    std::uint32_t at = std::min(position, length);
    std::int64_t left = count;
    std::vector<std::uint32_t> scratch;
    const std::vector<std::uint32_t>* pageMap = nullptr;
    for (std::uint32_t pages = 0; pages <= length / kPageSize + 1; ++pages) {
        if (left >= 0 && at >= length) return length;
        if (left < 0 && at == 0) return 0;
        // Going back from a page's first character continues in the page before.
        bool back = left < 0 && at % kPageSize == 0;
        std::uint32_t pageStart = (back ? at - 1 : at) & ~(kPageSize - 1);
        if (!PagePositions(pageStart, pageMap, scratch) || pageMap->size() < 2)
            return bytes(at, left);
        const std::vector<std::uint32_t>& map = *pageMap;
        std::int64_t units = static_cast<std::int64_t>(map.size()) - 1;
        std::int64_t index = std::lower_bound(map.begin(), map.end() - 1, at) - map.begin();
        std::int64_t target = index + left;
        if (target >= 0 && target <= units) return map[static_cast<std::size_t>(target)];
        if (target > units) {
            left = target - units;
            at = map.back();
        } else {
            left = target;
            at = pageStart;
        }
    }
    return bytes(at, left);
}

bool BookDocument::OnePositionPerCharacter(std::uint32_t) {
    return textCodePage_ != CodePages::kUtf8;
}

std::int32_t BookDocument::Distance(std::uint32_t from, std::uint32_t to, std::uint32_t mode) {
    const std::uint32_t length = header_.textLength;
    if (textCodePage_ != CodePages::kUtf8)
        return static_cast<std::int32_t>(std::int64_t(to) - from);
    if (to < from) return -Distance(to, from, mode);
    to = std::min(to, length);
    std::int64_t count = 0;
    std::uint32_t at = std::min(from, length);
    std::vector<std::uint32_t> scratch;
    const std::vector<std::uint32_t>* pageMap = nullptr;
    for (std::uint32_t pages = 0; pages <= length / kPageSize + 1 && at < to; ++pages) {
        std::uint32_t pageStart = at & ~(kPageSize - 1);
        if (!PagePositions(pageStart, pageMap, scratch) || pageMap->size() < 2)
            return static_cast<std::int32_t>(count + (std::int64_t(to) - at));
        const std::vector<std::uint32_t>& map = *pageMap;
        auto end = map.end() - 1;
        std::int64_t a = std::lower_bound(map.begin(), end, at) - map.begin();
        if (to < map.back()) {
            // The first unit of the character that holds `to` (its first byte at or before
            // it); both halves of a surrogate pair carry that character's position.
            auto holder = std::upper_bound(map.begin(), end, to);
            if (holder == map.begin()) return static_cast<std::int32_t>(count);
            std::int64_t b = std::lower_bound(map.begin(), end, *(holder - 1)) - map.begin();
            return static_cast<std::int32_t>(count + std::max<std::int64_t>(0, b - a));
        }
        count += (end - map.begin()) - a;
        if (map.back() <= at) break;  // no progress: a damaged map
        at = map.back();
    }
    return static_cast<std::int32_t>(count);
}

bool BookDocument::GetNumberPair(std::uint16_t& input, std::uint16_t& output) {
    input = 0;
    output = 0;
    if (level_ < 3 || header_.inputLanguage == kBookNone || (header_.inputLanguage & 0x80000000u)) {
        return false;
    }
    input = header_.inputLanguage & 0x3FF;
    output = header_.outputLanguage & 0x3FF;
    return true;
}

bool BookDocument::GetRecordInfo(std::uint32_t& textLength, std::uint16_t* five) {
    if (!source_ || !five) return false;
    textLength = header_.textLength;
    five[0] = static_cast<std::uint16_t>(header_.textRecordCount);
    five[1] = static_cast<std::uint16_t>(header_.recordSize);
    five[2] = static_cast<std::uint16_t>(std::min<std::uint32_t>(firstResource_, 0xFFFF));
    five[3] = static_cast<std::uint16_t>(std::min<std::uint32_t>(header_.lastResource, 0xFFFF));
    five[4] = static_cast<std::uint16_t>(header_.compression);
    return true;
}

bool BookDocument::GetHeaderTriple(std::uint16_t& cover, std::uint16_t& thumbnail,
                                   std::uint8_t& fake) {
    std::uint32_t value = 0;
    cover =
        ExthNumber(exth_, Exth::kCoverOffset, &value) ? static_cast<std::uint16_t>(value) : 0xFFFF;
    thumbnail = ExthNumber(exth_, Exth::kThumbnailOffset, &value)
                    ? static_cast<std::uint16_t>(value)
                    : 0xFFFF;
    fake = ExthNumber(exth_, Exth::kFakeCover, &value) && value > 0 ? 1 : 0;
    return source_ != nullptr;
}

bool BookDocument::IsHeld() {
    return source_ && source_->IsHeld();
}
bool BookDocument::MayRelease() {
    return source_ && source_->MayRelease();
}

bool BookDocument::DecodeText(String& out, const std::uint8_t* bytes, std::uint32_t count) {
    std::u16string text;
    return DecodeBytes(&text, bytes, count) &&
           out.AssignChars(text.data(), static_cast<std::int32_t>(text.size()));
}

bool BookDocument::DecodeBytes(std::u16string* out, const std::uint8_t* bytes,
                               std::uint32_t count) const {
    out->clear();
    if (!bytes || count == 0) return true;
    out->resize(count + 1);
    std::size_t n =
        BookText::Decode(textCodePage_, bytes, count, out->data(), out->size(), nullptr);
    out->resize(n);
    return true;
}

bool BookDocument::GetTitleText(std::u16string* out) const {
    ByteSpan name;
    if (header_.FullName(record0_, &name) && name.size > 0)
        return DecodeBytes(out, name.data, name.size);
    return GetDatabaseNameText(out);
}

bool BookDocument::GetTitle(String& out) {
    std::u16string text;
    return GetTitleText(&text) &&
           out.AssignChars(text.data(), static_cast<std::int32_t>(text.size()));
}

const std::uint8_t* BookDocument::GetDatabaseNameBytes(std::uint32_t& length) {
    length = 0;
    if (!source_) return nullptr;
    // At most 32 bytes, cut at the first zero byte.
    const char* name = source_->GetName();
    length = static_cast<std::uint32_t>(strnlen(name, 32));
    return reinterpret_cast<const std::uint8_t*>(name);
}

bool BookDocument::GetDatabaseNameText(std::u16string* out) const {
    out->clear();
    if (!source_) return false;
    const char* name = source_->GetName();
    for (std::size_t i = 0; i < 32 && name[i]; ++i) {
        out->push_back(BookText::Decode1252(static_cast<std::uint8_t>(name[i])));
    }
    return true;
}

bool BookDocument::GetDatabaseName(String& out) {
    std::u16string text;
    return GetDatabaseNameText(&text) &&
           out.AssignChars(text.data(), static_cast<std::int32_t>(text.size()));
}

bool BookDocument::GetInfo(String& out) {
    out.SetEmpty();
    return source_ && out.AppendUnsigned(header_.uniqueId, 10);
}

std::uint32_t BookDocument::GetKind() {
    bool isHtml = false;
    if (DocumentSource::StartsWithHtmlTag(*this, isHtml)) return isHtml ? 2 : 1;
    return SniffKind();
}

std::uint32_t BookDocument::SniffKind() {
    if (sniffedKind_) return static_cast<std::uint32_t>(sniffedKind_);
    sniffedKind_ = 1;
    PageBuffer page;
    if (!ReadPage(0, page, 0, 0)) return 1;
    const char16_t* p = page.text;
    const char16_t* end = p + page.length;
    auto startsWith = [&](const char* s) {
        const char16_t* q = p;
        for (; *s; ++s, ++q) {
            if (q >= end || LowerAscii(*q) != static_cast<char16_t>(*s)) return false;
        }
        return true;
    };
    auto skipPast = [&](const char* s) {
        std::size_t n = std::strlen(s);
        while (p < end && !startsWith(s)) ++p;
        p = p + n <= end ? p + n : end;
    };
    for (;;) {
        while (p < end && (*p == 0xFEFF || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
            ++p;
        if (startsWith("<!--")) {
            skipPast("-->");
        } else if (startsWith("<!") || startsWith("<?")) {
            skipPast(">");
        } else {
            break;
        }
    }
    if (startsWith("<html")) {
        const char16_t* after = p + 5;
        if (after >= end ||
            !((*after >= 'a' && *after <= 'z') || (*after >= 'A' && *after <= 'Z') ||
              (*after >= '0' && *after <= '9') || *after == '-' || *after == ':')) {
            sniffedKind_ = 2;
        }
    }
    ReleasePage(page.pageId);
    return static_cast<std::uint32_t>(sniffedKind_);
}

void BookDocument::LoadTargets() {
    if (targetsLoaded_ || !source_) return;
    targetsLoaded_ = true;
    std::uint32_t first = header_.targetRecord;
    std::uint32_t count = header_.targetRecordCount;
    std::uint32_t records = source_->GetRecordCount();
    if (first == 0 || first == kBookNone || first >= records) return;
    count = std::min(count, records - first);
    for (std::uint32_t r = 0; r < count; ++r) {
        std::uint32_t length = 0;
        const std::uint8_t* data = Record(first + r, &length);
        ByteSpan span{data, length};
        if (!span.TagAt(0, "TRGT")) continue;
        std::uint32_t declared = span.U32At(4);
        if (declared < span.size) span.size = declared;
        std::uint32_t entries = span.U32At(8);
        std::uint32_t at = 12;
        for (std::uint32_t e = 0; e < entries; ++e) {
            if (!span.Holds(at, 24)) break;
            BookTarget target;
            target.kind = span.U32At(at);
            target.position = static_cast<std::int32_t>(span.U32At(at + 4));
            for (int i = 0; i < 4; ++i)
                target.numbers[i] = static_cast<std::int32_t>(span.U32At(at + 8 + 4 * i));
            at += 24;
            std::u16string* texts[3] = {&target.name, &target.value, &target.extra};
            bool ok = true;
            for (std::u16string* text : texts) {
                if (!span.Holds(at, 2)) {
                    ok = false;
                    break;
                }
                std::uint32_t n = span.U16At(at);
                if (!span.Holds(at + 2, n)) {
                    ok = false;
                    break;
                }
                DecodeBytes(text, span.data + at + 2, n);
                at += 2 + n;
            }
            if (!ok) break;
            at = (at + 3) & ~3u;
            targets_.push_back(std::move(target));
        }
    }
}

bool BookDocument::GetTarget(std::uint32_t index, std::uint32_t kind, BookTarget* out) {
    *out = BookTarget();
    if (!source_) return false;
    if (kind == kTargetMetadata) {
        if (index == 0) {
            out->kind = kTargetMetadata;
            out->name = u"Title";
            GetTitleText(&out->value);
            return true;
        }
        --index;
    }
    LoadTargets();
    for (const BookTarget& target : targets_) {
        if (target.kind != kind) continue;
        if (index == 0) {
            *out = target;
            return true;
        }
        --index;
    }
    return false;
}

bool BookDocument::FindTarget(const char16_t* name, std::uint32_t length, std::uint32_t kind,
                              BookTarget* out) {
    for (std::uint32_t i = 0;; ++i) {
        if (!GetTarget(i, kind, out)) break;
        if (SameName(out->name, name, length)) return true;
    }
    *out = BookTarget();
    return false;
}

namespace {

bool ToRecord(const BookTarget& target, TargetRecord& out) {
    out.Init();
    out.kind = target.kind;
    out.position = target.position;
    for (int i = 0; i < 4; ++i) out.numbers[i] = target.numbers[i];
    return out.name.AssignChars(target.name.data(),
                                static_cast<std::int32_t>(target.name.size())) &&
           out.value.AssignChars(target.value.data(),
                                 static_cast<std::int32_t>(target.value.size())) &&
           out.extra.AssignChars(target.extra.data(),
                                 static_cast<std::int32_t>(target.extra.size()));
}

}  // namespace

bool BookDocument::GetMetadata(std::uint32_t index, std::uint32_t kind, TargetRecord& out) {
    BookTarget target;
    if (!GetTarget(index, kind, &target)) {
        out.Init();
        return false;
    }
    return ToRecord(target, out);
}

bool BookDocument::FindMetadata(const char16_t* name, std::int32_t length, std::uint32_t kind,
                                TargetRecord& out) {
    BookTarget target;
    if (length < 0 || !FindTarget(name, static_cast<std::uint32_t>(length), kind, &target)) {
        out.Init();
        return false;
    }
    return ToRecord(target, out);
}

std::int32_t BookDocument::QueryNumber(std::uint32_t what) {
    switch (what) {
        case 2: {
            LoadTargets();
            std::int32_t n = 0;
            for (const BookTarget& target : targets_) n += target.kind == kTargetGuide;
            return n;
        }
        case 3:
            return 1;
        case 4:
            return -1;
        default:
            return 0;
    }
}

bool BookDocument::GetDataRecord(std::int32_t index, std::uint32_t* record) const {
    if (!source_ || index <= 0) return false;
    std::uint64_t r = std::uint64_t(firstResource_) + std::uint32_t(index) - 1;
    if (r >= source_->GetRecordCount()) return false;
    *record = static_cast<std::uint32_t>(r);
    return true;
}

bool BookDocument::IsIndexHeader(std::uint32_t record) const {
    if (!source_ || record == 0 || record == kBookNone) return false;
    std::uint32_t length = 0;
    const std::uint8_t* data = Record(record, &length);
    ByteSpan span{data, length};
    return span.TagAt(0, "INDX") && span.U32At(8, 1) == 0;
}

bool BookDocument::HasHeaderField(int field) const {
    return field >= 0 && field < BookHeader::kTableFields && IsIndexHeader(header_.tables[field]);
}

bool BookDocument::OpenHeaderRecord(int field, std::uint32_t* table) const {
    if (!HasHeaderField(field)) return false;
    *table = header_.tables[field];
    return true;
}

bool BookDocument::OpenTableByNumber(std::uint32_t number, std::uint32_t* table) const {
    if (!IsIndexHeader(number)) return false;
    *table = number;
    return true;
}

bool BookDocument::OpenTableByName(const char16_t* name, std::uint32_t length, std::uint32_t flag,
                                   std::uint32_t* table) {
    if (!source_ || !name || length == 0) return false;
    BookTarget target;
    if (flag == 2 && FindTarget(name, length, kTargetKeyTable, &target) &&
        IsIndexHeader(static_cast<std::uint32_t>(target.position))) {
        *table = static_cast<std::uint32_t>(target.position);
        return true;
    }
    if (FindTarget(name, length, kTargetTable, &target) &&
        IsIndexHeader(static_cast<std::uint32_t>(target.position))) {
        *table = static_cast<std::uint32_t>(target.position);
        return true;
    }
    // The names the tables carry themselves (UTF-8 in their INDX header).
    for (int field = 0; field < BookHeader::kTableFields; ++field) {
        std::uint32_t id = header_.tables[field];
        if (!IsIndexHeader(id)) continue;
        std::uint32_t n = 0;
        const std::uint8_t* data = Record(id, &n);
        ByteSpan span{data, n};
        std::uint32_t offset = span.U32At(52), nameLength = span.U32At(56);
        if (!span.Holds(offset, nameLength)) continue;
        std::u16string decoded(nameLength + 1, u'\0');
        decoded.resize(BookText::Decode(CodePages::kUtf8, span.data + offset, nameLength,
                                        decoded.data(), decoded.size(), nullptr));
        if (SameName(decoded, name, length)) {
            *table = id;
            return true;
        }
    }
    return false;
}

bool BookDocument::GetInteractionTables(std::uint32_t tables[3]) const {
    const int fields[3] = {1, 3, 7};
    for (int i = 0; i < 3; ++i) {
        if (!OpenHeaderRecord(fields[i], &tables[i])) return false;
    }
    return true;
}

bool BookDocument::FramesetIndexRecord(std::uint32_t i, ByteSpan* pairs) {
    std::uint32_t length = 0;
    const std::uint8_t* data = nullptr;
    framesetCache_.Fetch(source_, header_.framesetRecord + i, &data, &length);
    if (!data || length < 4) {
        *pairs = ByteSpan{};
        return false;
    }
    *pairs = ByteSpan{data + 4, (length - 4) & ~7u};
    return true;
}

bool BookDocument::FindFramesetEntry(std::uint32_t position, FramesetEntry* entry) {
    *entry = FramesetEntry();
    if (!hasFrameset_) return false;
    // Pairs are sorted across records: find the last one whose start is at or before position.
    bool found = false;
    for (std::uint32_t r = 0; r < header_.framesetRecordCount; ++r) {
        ByteSpan pairs;
        if (!FramesetIndexRecord(r, &pairs) || pairs.size == 0) continue;
        std::uint32_t count = pairs.size / 8;
        if (pairs.U32At(0) > position) {
            if (found) {
                entry->next = pairs.U32At(0);
                return true;
            }
            return false;
        }
        std::uint32_t lo = 0, hi = count;  // first pair whose start is above position
        while (lo < hi) {
            std::uint32_t mid = (lo + hi) / 2;
            if (pairs.U32At(8 * mid) <= position)
                lo = mid + 1;
            else
                hi = mid;
        }
        found = true;
        entry->found = true;
        entry->start = pairs.U32At(8 * (lo - 1));
        entry->reference = pairs.U32At(8 * (lo - 1) + 4);
        if (lo < count) {
            entry->next = pairs.U32At(8 * lo);
            return true;
        }
    }
    if (found) entry->next = header_.textLength;
    return found;
}

bool BookDocument::RecordForPosition(std::uint32_t position, PackedTree* cursor,
                                     std::uint8_t* changed, std::int32_t previous,
                                     std::uint32_t* range) {
    if (!source_ || level_ < 4 || !hasFrameset_) return false;
    FramesetEntry entry;
    if (!FindFramesetEntry(position, &entry)) return false;
    std::uint32_t mask = (1u << framesetShift_) - 1;
    std::uint32_t entryLength = 0;
    const std::uint8_t* entryRecord = Record(entry.reference >> framesetShift_, &entryLength);
    std::uint32_t entryOffset = entry.reference & mask;
    ByteSpan entrySpan{entryRecord, entryLength};
    if (!entryRecord || !entrySpan.Holds(entryOffset, 8)) return false;
    std::uint32_t root = entrySpan.U32At(entryOffset);
    std::uint32_t treeLength = 0;
    const std::uint8_t* tree = Record(root >> framesetShift_, &treeLength);
    std::uint32_t rootOffset = root & mask;
    ByteSpan treeSpan{tree, treeLength};
    if (!tree || !treeSpan.Holds(rootOffset, 12)) return false;
    // A root with children must hold its whole child area inside the record.
    if ((treeSpan.U16At(rootOffset) & PackedTree::kHasChildren) &&
        (!treeSpan.Holds(rootOffset, 16) ||
         !treeSpan.Holds(rootOffset + 16, 4 * treeSpan.U16At(rootOffset + 14)))) {
        return false;
    }
    if (cursor) {
        cursor->source = this;
        cursor->textArea = tree;
        cursor->textEnd = tree + treeLength;
        cursor->node = tree + rootOffset;
        cursor->nodeEnd = tree + treeLength;
        cursor->value = entryRecord + entryOffset + 4;
        cursor->valueEnd = entryRecord + entryLength;
        cursor->hasExtraValues = false;
        cursor->remaining = 1;
    }
    if (changed) {
        FramesetEntry before;
        *changed = previous < 0 ||
                   !FindFramesetEntry(static_cast<std::uint32_t>(previous), &before) ||
                   before.start != entry.start;
    }
    if (range) {
        range[0] = entry.start;
        range[1] = entry.next;
    }
    return true;
}

std::int32_t BookDocument::SearchRange(std::uint32_t first, std::uint32_t last, bool backwards) {
    if (!source_ || !hasFrameset_) return -1;
    std::int32_t found = -1;
    for (std::uint32_t r = 0; r < header_.framesetRecordCount; ++r) {
        ByteSpan pairs;
        if (!FramesetIndexRecord(r, &pairs)) continue;
        for (std::uint32_t at = 0; at + 8 <= pairs.size; at += 8) {
            std::uint32_t start = pairs.U32At(at);
            if (start < first || start > last) continue;
            if (!backwards) return static_cast<std::int32_t>(start);
            found = static_cast<std::int32_t>(start);
        }
    }
    return found;
}

std::int32_t BookDocument::QueryPosition(std::uint32_t position, void*) {
    FramesetEntry entry;
    if (!FindFramesetEntry(position, &entry) || entry.start == 0) return 0;
    return SearchRange(0, entry.start - 1, true) >= 0 ? 1 : 0;
}
