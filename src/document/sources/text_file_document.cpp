#include "document/sources/text_file_document.h"

#include <algorithm>
#include <cstring>

#include "core/charset.h"
#include "core/file.h"
#include "document/sources/code_page.h"

namespace {

bool IsAscii(const uint8_t* bytes, uint32_t n) {
    uint32_t i = 0;
    for (uint64_t w; n - i >= 8; i += 8) {
        std::memcpy(&w, bytes + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < n; ++i)
        if (bytes[i] & 0x80) return false;
    return true;
}

}  // namespace

TextFileDocument::~TextFileDocument() { Close(); }

bool TextFileDocument::Open(File* file, const String& name, uint32_t codePage,
                            uint32_t requestedCodePage, bool ownsFile, uint32_t start,
                            uint32_t length) {
    file_ = file;
    if (ownedFile_.get() != file)
        ownedFile_.reset(ownsFile ? file : nullptr);
    else if (!ownsFile)
        (void)ownedFile_.release();  // the caller keeps it from now on
    start_ = start;
    int64_t fileSize = file ? file->Size() : -1;
    uint32_t size = fileSize < 0 ? 0 : fileSize > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(fileSize);
    if (length == 0xFFFFFFFFu) length = size > start ? size - start : 0;
    byteLength_ = length;
    sourceCodePage_ = codePage;
    bigEndian_ = false;
    uint8_t mark[3] = {0, 0, 0};
    if (byteLength_ >= 2 && ReadBytes(start_, mark, byteLength_ >= 3 ? 3 : 2)) {
        if (byteLength_ >= 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
            sourceCodePage_ = CodePages::kUtf8;
            start_ += 3;
            byteLength_ -= 3;
        } else if (mark[0] == 0xFF && mark[1] == 0xFE) {
            sourceCodePage_ = CodePages::kUtf16;
            start_ += 2;
            byteLength_ -= 2;
        } else if (mark[0] == 0xFE && mark[1] == 0xFF) {
            sourceCodePage_ = CodePages::kUtf16;
            bigEndian_ = true;
            start_ += 2;
            byteLength_ -= 2;
        }
    }
    outputCodePage_ = CodePage::Choose(sourceCodePage_, requestedCodePage);
    title_.Assign(name);
    doubleByte_ = outputCodePage_ == CodePages::kUtf16 && convert_ &&
                  MaxBytesPerChar(static_cast<int>(sourceCodePage_)) == 2;
    trailAt_.reset();
    trailCount_ = 0;
    if (doubleByte_) {
        for (int b = 0; b < 256; ++b)
            leadByte_[b] =
                Charset::IsLeadByte(static_cast<int>(sourceCodePage_), static_cast<uint8_t>(b));
        uint32_t n = byteLength_ / pageSize_ + 1;
        trailAt_.reset(new (std::nothrow) int8_t[n]);
        if (trailAt_) {
            std::memset(trailAt_.get(), -1, n);
            trailCount_ = n;
        }
    }
    return true;
}

void TextFileDocument::Close() {
    pages_.clear();
    ownedFile_.reset();
    file_ = nullptr;
}

bool TextFileDocument::ReadBytes(uint32_t offset, uint8_t* buffer, uint32_t n) {
    if (!file_ || !file_->Seek(offset)) return false;
    return file_->Read(buffer, n) == n;
}

uint32_t TextFileDocument::LeadRun(const uint8_t* bytes, uint32_t n) const {
    uint32_t run = 0;
    while (run < n && leadByte_[bytes[n - 1 - run]]) ++run;
    return run;
}

// Whether the byte at k * pageSize_ is the second half of a character that begins on the page
// before. A byte that cannot begin a pair ends a character, so only the run of lead-valued bytes
// just before the boundary decides: an odd run leaves its last byte waiting for a partner.
// before: the page before the boundary when the caller holds it.
bool TextFileDocument::TrailAtBoundary(uint32_t k, const uint8_t* before) {
    if (k == 0) return false;
    if (k < trailCount_ && trailAt_[k] >= 0) return trailAt_[k] != 0;
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t j = k;
    bool trail = false;
    while (true) {
        const uint8_t* bytes = j == k ? before : nullptr;
        if (!bytes) {
            if (!buffer) buffer.reset(new (std::nothrow) uint8_t[pageSize_]);
            if (!buffer || !ReadBytes(start_ + (j - 1) * pageSize_, buffer.get(), pageSize_))
                return false;  // not remembered: a later read may do better
            bytes = buffer.get();
        }
        uint32_t run = LeadRun(bytes, pageSize_);
        if (run < pageSize_) {
            trail = (run & 1) != 0;
            break;
        }
        // A page of lead-valued bytes only pairs up evenly: its end answers as its start.
        --j;
        if (j == 0) break;
        if (j < trailCount_ && trailAt_[j] >= 0) {
            trail = trailAt_[j] != 0;
            break;
        }
    }
    for (uint32_t i = j; i <= k && i < trailCount_; ++i) trailAt_[i] = trail ? 1 : 0;
    return trail;
}

bool TextFileDocument::Multibyte() const {
    return CodePage::NeedsConversion(sourceCodePage_, outputCodePage_, convert_);
}

uint32_t TextFileDocument::LivePageCount() const {
    uint32_t n = 0;
    for (const Page& p : pages_) n += p.uses > 0;
    return n;
}

TextFileDocument::Page* TextFileDocument::LivePageAt(uint32_t position) {
    // Readers ask about the page they read in over and over, while markup whose text others
    // still hold keeps hundreds of pages live: the last page found is tried first.
    auto holds = [position](const Page& p) {
        return p.uses > 0 && position >= p.start && position - p.start < p.span;
    };
    if (lastFound_ < pages_.size() && holds(pages_[lastFound_])) return &pages_[lastFound_];
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (holds(pages_[i])) {
            lastFound_ = i;
            return &pages_[i];
        }
    }
    return nullptr;
}

uint16_t TextFileDocument::NewPageId() {
    // Skips 0 and every id still held, so that ids stay unique after the counter wraps.
    while (true) {
        uint16_t id = nextPageId_++;
        if (nextPageId_ == 0) nextPageId_ = 1;
        if (id == 0) continue;
        bool used = false;
        for (const Page& p : pages_) used = used || (p.uses > 0 && p.id == id);
        if (!used) return id;
    }
}

bool TextFileDocument::ReadPage(uint32_t position, PageBuffer& out, uint32_t section,
                                uint32_t flag) {
    if (section != 0 || flag != 0) return false;
    uint32_t units = Units();
    if (position >= units) return false;
    if (Page* live = LivePageAt(position)) {
        ++live->uses;
        out = PageBuffer{live->start, live->text.get(), live->length, live->start, 0, live->span,
                         live->id};
        return true;
    }
    uint32_t pageStart = position & ~(pageSize_ - 1);
    bool utf8 = sourceCodePage_ == CodePages::kUtf8;
    uint32_t extra = utf8 ? 3 : doubleByte_ ? 1 : 0;
    uint32_t count = std::min<uint32_t>(pageSize_ + extra, units - pageStart);
    uint32_t unitBytes = sourceCodePage_ == CodePages::kUtf16 ? 2 : 1;
    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[count * unitBytes + 4]);
    if (!raw || !ReadBytes(start_ + pageStart * unitBytes, raw.get(), count * unitBytes))
        return false;
    uint32_t span = std::min(count, pageSize_);
    uint32_t inBytes = count * unitBytes;
    if (utf8 && count > pageSize_) {
        // Extend over the continuation bytes of a character that straddles the page end.
        uint32_t end = pageSize_;
        while (end < count && (raw[end] & 0xC0) == 0x80) ++end;
        inBytes = end;
    }
    uint32_t skip = 0;
    if (doubleByte_) {
        // A character cut by the page end is finished here and skipped by the next page.
        inBytes = std::min(count, pageSize_);
        if (count > pageSize_ && TrailAtBoundary(pageStart / pageSize_ + 1, raw.get()))
            inBytes = pageSize_ + 1;
        if (TrailAtBoundary(pageStart / pageSize_, nullptr)) skip = 1;
    }
    Page page;
    page.start = pageStart;
    page.span = span;
    bool multi = Multibyte();
    size_t cap = inBytes + 4;
    page.text.reset(new (std::nothrow) char16_t[cap]);
    if (!page.text) return false;
    if (outputCodePage_ == sourceCodePage_ && !bigEndian_ && sourceCodePage_ == CodePages::kUtf16) {
        std::memcpy(page.text.get(), raw.get(), count * 2);
        page.length = count;
    } else if (multi && utf8 && IsAscii(raw.get(), inBytes)) {
        // UTF-8 of ASCII alone (most pages of markup): a byte a character, one a position.
        for (uint32_t i = 0; i < inBytes; ++i) page.text[i] = raw[i];
        page.length = inBytes;
    } else {
        if (multi) {
            page.map.reset(new (std::nothrow) uint32_t[cap]);
            if (!page.map) return false;
        }
        // A fresh converter for every page: a page that starts inside a character skips its
        // tail, which the previous page already gave.
        CharsetState state{};
        page.length = CodePage::Decode(page.text.get(), cap, raw.get() + skip, inBytes - skip,
                                       sourceCodePage_, bigEndian_, outputCodePage_, &state,
                                       convert_, page.map.get());
        if (page.length == 0) return false;
        // The skipped half maps to the page's first character.
        if (skip && page.map)
            for (uint32_t i = 0; i < page.length; ++i) page.map[i] += skip;
        // A page of one byte a character (most pages of markup, even in UTF-8) needs no map:
        // its positions are found without a search.
        if (page.map && skip == 0) {
            uint32_t i = 0;
            while (i < page.length && page.map[i] == i) ++i;
            if (i == page.length) page.map.reset();
        }
    }
    page.uses = 1;
    page.id = NewPageId();
    Page* slot = nullptr;
    for (Page& p : pages_)
        if (p.uses == 0) slot = &p;
    if (!slot) {
        pages_.emplace_back();
        slot = &pages_.back();
    }
    *slot = std::move(page);
    out = PageBuffer{slot->start, slot->text.get(), slot->length, slot->start, 0, slot->span,
                     slot->id};
    return true;
}

void TextFileDocument::ReleasePage(uint16_t pageId) {
    if (pageId == 0) return;
    bool anyUsed = false;
    for (Page& p : pages_) {
        if (p.uses > 0 && p.id == pageId) {
            if (--p.uses == 0) {
                p.text.reset();
                p.map.reset();
                p.id = 0;
            }
            pageId = 0;  // one release per call
        }
        anyUsed = anyUsed || p.uses > 0;
    }
    if (!anyUsed) pages_.clear();
}

uint32_t TextFileDocument::Advance(uint32_t position, int32_t count, uint32_t /*mode*/) {
    if (!Multibyte()) return position + static_cast<uint32_t>(count);
    PageBuffer tmp;
    bool loaded = false;
    Page* p = LivePageAt(position);
    if (!p) {
        if (!ReadPage(position, tmp, 0, 0)) return position + static_cast<uint32_t>(count);
        loaded = true;
        p = LivePageAt(position);
    }
    uint32_t result;
    const uint32_t* map = p->map.get();
    uint32_t rel = position - p->start;
    uint32_t index = map ? static_cast<uint32_t>(std::lower_bound(map, map + p->length, rel) - map)
                         : std::min(rel, p->length);
    int64_t target = static_cast<int64_t>(index) + count;
    if (target < 0) result = p->start;
    else if (target >= p->length) result = p->start + p->span;
    else result = p->start + (map ? map[target] : static_cast<uint32_t>(target));
    if (loaded) ReleasePage(tmp.pageId);
    return result;
}

bool TextFileDocument::OnePositionPerCharacter(uint32_t /*mode*/) { return !Multibyte(); }

int32_t TextFileDocument::Distance(uint32_t from, uint32_t to, uint32_t /*mode*/) {
    if (!Multibyte()) return static_cast<int32_t>(to - from);
    if (to < from) return -Distance(to, from, 0);
    // Characters from the page holding from to the position to.
    PageBuffer tmp;
    bool loaded = false;
    Page* p = LivePageAt(from);
    if (!p) {
        if (!ReadPage(from, tmp, 0, 0)) return static_cast<int32_t>(to - from);
        loaded = true;
        p = LivePageAt(from);
    }
    const uint32_t* map = p->map.get();
    // Without a map a character is one position.
    auto index = [&](uint32_t rel) {
        return map ? static_cast<uint32_t>(std::lower_bound(map, map + p->length, rel) - map)
                   : std::min(rel, p->length);
    };
    uint32_t a = index(from - p->start);
    uint32_t b = to - p->start >= p->span ? p->length : index(to - p->start);
    if (loaded) ReleasePage(tmp.pageId);
    return static_cast<int32_t>(b - a);
}

bool TextFileDocument::GetMetadata(uint32_t index, uint32_t kind, TargetRecord& out) {
    if (index != 0 || kind != 3) return false;
    out.Init();
    out.kind = 3;
    out.name.AppendAscii("Title");
    out.value.Assign(title_);
    return true;
}
