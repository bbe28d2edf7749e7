#include "document/sources/generated_page.h"

#include <new>

#include "core/lang_name.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"

namespace {

enum : uint16_t {
    kTagTitleAttr = 5,
    kAttrFilepos = 59,
    kTagReference = 64,
    kTagMetadata = 65,
    kAttrType = 66,
    kTagGuide = 67,
    kAttrHref = 97,
    kAttrOnclick = 117,
    kTagDcTitle = 118,
    kTagDcLanguage = 119,
};

// Bounds the header scan whatever the page holds.
constexpr uint32_t kMaxScanTokens = 1u << 20;

bool Number(const String& text, int32_t& out) {
    String t = text;
    t.Trim(true, true);
    return t.ParseSigned(10, out);
}

}  // namespace

void GeneratedPage::Attach(PageProducer* producer, DocumentSource* underlying, bool takeOver) {
    underlying_ = underlying;
    producer_.reset(producer);
    if (!producer_) return;
    title_ = producer_->GetTitle();
    if (title_.Length() > 0 && underlying_) {
        TargetRecord rec;
        if (underlying_->FindMetadata(title_.Data(), title_.Length(), 0, rec))
            targetPosition_ = rec.position;
    }
    if (takeOver) {
        // A producer that keeps answering "more" without adding anything is stopped too.
        while (producer_ && Pull()) {
        }
        producer_.reset();
        ownsChunks_ = true;
    }
}

bool GeneratedPage::Pull() {
    if (!producer_) return false;
    std::vector<String> fresh;
    bool more = producer_->Produce(fresh);
    uint32_t before = totalLength_;
    Append(fresh);
    // A producer that says there is more but gives nothing, or only empty text without end,
    // would be asked for ever: it is done.
    idlePulls_ = totalLength_ > before ? 0 : idlePulls_ + 1;
    if (!more || fresh.empty() || idlePulls_ > kMaxIdlePulls || chunks_.size() >= kMaxChunks)
        producer_.reset();
    return !fresh.empty();
}

void GeneratedPage::Append(std::vector<String>& fresh) {
    // Small chunks are joined (only new ones: a chunk already read is never changed).
    String pending;
    auto flush = [&] {
        if (pending.Length() == 0 || chunks_.size() >= kMaxChunks) return;
        uint64_t total = uint64_t(totalLength_) + uint32_t(pending.Length());
        if (total >= 0xFFFFFFFFu) return;
        try {
            chunks_.push_back(pending);
        } catch (const std::bad_alloc&) {
            return;
        }
        totalLength_ = static_cast<uint32_t>(total);
        pending.Release();
    };
    for (String& c : fresh) {
        if (c.Length() == 0) continue;
        if (pending.Length() > 0 && pending.Length() + c.Length() > kChunkTarget) flush();
        if (pending.Length() == 0) {
            pending = c;
        } else if (!pending.Append(c)) {
            flush();
            pending = c;
        }
    }
    flush();
}

bool GeneratedPage::ReadPage(uint32_t position, PageBuffer& out, uint32_t section,
                             uint32_t flag) {
    if (section != 0) {
        if (!underlying_ || !underlying_->ReadPage(position, out, section, flag)) return false;
        out.pageId = static_cast<uint16_t>(65535 - out.pageId);
        return true;
    }
    if (flag) return false;
    while (producer_ && position >= totalLength_)
        if (!Pull()) break;
    if (position >= totalLength_ || chunks_.empty()) return false;
    uint32_t start = 0, index = 0;
    if (position >= lastStart_ && lastIndex_ < chunks_.size()) {
        start = lastStart_;
        index = lastIndex_;
    }
    while (index < chunks_.size() && position - start >= uint32_t(chunks_[index].Length())) {
        start += static_cast<uint32_t>(chunks_[index].Length());
        ++index;
    }
    if (index >= chunks_.size()) return false;
    const String& chunk = chunks_[index];
    uint32_t length = static_cast<uint32_t>(chunk.Length());
    out = PageBuffer{start, chunk.Data(), length, start, 0, length,
                     static_cast<uint16_t>(index + 1)};
    lastStart_ = start;
    lastIndex_ = index;
    return true;
}

void GeneratedPage::ReleasePage(uint16_t pageId) {
    if (pageId <= chunks_.size()) return;
    if (underlying_) underlying_->ReleasePage(static_cast<uint16_t>(65535 - pageId));
}

uint32_t GeneratedPage::Advance(uint32_t position, int32_t count, uint32_t mode) {
    if (mode != 0 && underlying_) return underlying_->Advance(position, count, mode);
    return position + static_cast<uint32_t>(count);
}

int32_t GeneratedPage::Distance(uint32_t from, uint32_t to, uint32_t mode) {
    if (mode != 0 && underlying_) return underlying_->Distance(from, to, mode);
    return static_cast<int32_t>(to - from);
}

bool GeneratedPage::OnePositionPerCharacter(uint32_t mode) {
    return mode == 0 || !underlying_ || underlying_->OnePositionPerCharacter(mode);
}

uint32_t GeneratedPage::GetLength() {
    if (producer_) return 0xFFFFFFFFu;
    return chunks_.empty() ? 0 : totalLength_;
}

int32_t GeneratedPage::QueryNumber(uint32_t what) {
    switch (what) {
        case 2:
            Scan();
            return static_cast<int32_t>(entries_.size());
        case 3: return 1;
        case 4: return -1;
        default: return 0;
    }
}

bool GeneratedPage::GetMetadata(uint32_t index, uint32_t kind, TargetRecord& out) {
    Scan();
    if (kind == 2 && index < entries_.size()) {
        out = entries_[index];
        return true;
    }
    if (kind == 3 && index == 0 && title_.Length() > 0) {
        out.Init();
        out.kind = 3;
        out.name = String(u"Title");
        out.value = title_;
        return true;
    }
    return false;
}

bool GeneratedPage::FindMetadata(const char16_t* name, int32_t length, uint32_t kind,
                                 TargetRecord& out) {
    if (!underlying_) {
        out.Init();
        return false;
    }
    if (kind == 7) {
        // The fourth of the entry's numbers (after its position) must be set.
        return underlying_->FindMetadata(name, length, 7, out) && out.numbers[2] != 0;
    }
    return DocumentSource::FindMetadata(name, length, kind, out);
}

uint32_t GeneratedPage::GetLanguage() {
    Scan();
    if (language_ != 0) return language_;
    if (!languageKnown_ && underlying_) {
        language_ = static_cast<uint16_t>(underlying_->GetLanguage());
        languageKnown_ = true;
    }
    return language_;
}

uint32_t GeneratedPage::GetDocumentType() {
    return underlying_ ? underlying_->GetDocumentType() : 0;
}

bool GeneratedPage::GetInfo(String& out) {
    return underlying_ && underlying_->GetInfo(out);
}

bool GeneratedPage::PositionToRecord(uint32_t /*position*/, PackedTree* cursor, uint8_t* changed,
                                     int32_t previous, uint32_t* range2) {
    // The page stands for the underlying section that holds its target.
    if (!underlying_ || targetPosition_ < 0) return false;
    if (!underlying_->PositionToRecord(static_cast<uint32_t>(targetPosition_), cursor, nullptr,
                                       previous, range2))
        return false;
    if (changed) *changed = previous == -1 ? 1 : 0;
    return true;
}

void GeneratedPage::Scan() {
    // Set first: the tokenizer reads this page and may ask again.
    if (scanned_) return;
    scanned_ = true;
    title_.Release();
    HtmlTokenizer tokenizer(true);
    if (!tokenizer.Attach(this, 0)) return;
    bool inGuide = false, inTitle = false, inLanguage = false;
    String language;
    for (uint32_t n = 0; n < kMaxScanTokens; ++n) {
        uint32_t kind = tokenizer.NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenText) {
            if (inTitle) title_.Append(tokenizer.Text());
            if (inLanguage) language.Append(tokenizer.Text());
            continue;
        }
        if (kind == kTokenSpace) {
            if (inTitle) title_.AppendChar(u' ');
            continue;
        }
        if (kind != kTokenTag) continue;
        bool isEnd = false, isEmpty = false;
        uint32_t tag = tokenizer.GetTag(isEnd, isEmpty);
        if ((tag == kTagHead && isEnd) || (tag == kTagBody && !isEnd)) break;
        switch (tag) {
            case kTagGuide: inGuide = !isEnd && !isEmpty; break;
            case kTagDcTitle: inTitle = !isEnd && !isEmpty; break;
            case kTagDcLanguage:
                inLanguage = !isEnd && !isEmpty;
                if (isEnd) language_ = LangName::Find(language);
                break;
            case kTagReference: {
                if (!inGuide || isEnd) break;
                TargetRecord rec;
                rec.Init();
                rec.kind = 2;
                String filepos;
                tokenizer.GetAttributeText(kAttrType, rec.name);
                tokenizer.GetAttributeText(kTagTitleAttr, rec.value);
                if (tokenizer.GetAttributeText(kAttrFilepos, filepos) &&
                    Number(filepos, rec.position)) {
                } else if (tokenizer.GetAttributeText(kAttrHref, rec.extra) &&
                           rec.extra.Length() > 0) {
                    rec.position = -1;
                } else {
                    tokenizer.GetAttributeText(kAttrOnclick, rec.extra);
                    rec.position = -2;
                    if (rec.extra.Length() == 0) break;
                }
                try {
                    entries_.push_back(rec);
                } catch (const std::bad_alloc&) {
                    return;
                }
                break;
            }
            case kTagMetadata: {
                if (isEnd) break;
                String href, filepos;
                int32_t position = 0;
                if (!tokenizer.GetAttributeText(kAttrHref, href) ||
                    !tokenizer.GetAttributeText(kAttrFilepos, filepos) || !Number(filepos, position))
                    break;
                TargetRecord rec;
                rec.Init();
                rec.kind = 2;
                rec.name = String(u"eBook Info");
                rec.value = rec.name;
                rec.position = position;
                try {
                    entries_.push_back(rec);
                } catch (const std::bad_alloc&) {
                    return;
                }
                break;
            }
            default: break;
        }
    }
    tokenizer.Start(0, true);
}
