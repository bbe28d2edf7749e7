#include "document/sources/book_resource.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "bookfiles/palm_database.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/book_page_layout.h"
#include "document/sources/index_table_data_handle.h"
#include "document/sources/layout_services.h"
#include "document/sources/record_data_handle.h"
#include "media/audio/audio_source.h"
#include "media/audio/vorbis_source.h"

namespace {

// The records an object target covers, read as one run of bytes. Found only by its
// designation: a request for one of its records must not get the whole run.
class RecordRunDataHandle : public DataHandle {
public:
    RecordRunDataHandle(Resource* owner, PalmDatabase* source, uint32_t first, uint32_t count,
                        const String& name)
        : DataHandle(owner), source_(source), name_(name) {
        uint64_t total = 0;
        try {
            for (uint32_t i = 0; i < count; ++i) {
                starts_.push_back(static_cast<uint32_t>(total));
                total += source_->GetRecordLength(first + i);
                if (total > 0xFFFFFFFFu) total = 0xFFFFFFFFu;
            }
        } catch (const std::bad_alloc&) {
            // Out of memory: a handle that is not valid and reads nothing.
            starts_.clear();
            total = 0;
        }
        first_ = first;
        length_ = static_cast<uint32_t>(total);
    }
    bool IsValid() override { return !starts_.empty(); }
    int32_t CompareId(int32_t) override { return 1; }
    int32_t CompareName(const String& name) override { return name_.CompareWith(name); }
    bool GetData(const uint8_t*& data, uint32_t& length) override {
        data = nullptr;
        length = 0;
        if (buffer_.empty() && length_) {
            std::vector<uint8_t> b;
            if (!Reserve(b) || !ReadRaw(0, b.data(), length_)) return false;
            buffer_ = std::move(b);
        }
        data = buffer_.data();
        length = length_;
        return true;
    }
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return length_; }
    bool ReadRaw(uint32_t offset, void* destination, uint32_t count) override {
        if (offset > length_ || count > length_ - offset) return false;
        auto* out = static_cast<uint8_t*>(destination);
        for (size_t i = 0; i < starts_.size() && count > 0; ++i) {
            uint32_t end = i + 1 < starts_.size() ? starts_[i + 1] : length_;
            if (offset >= end) continue;  // before the offset, or an empty record
            uint32_t n = end - offset < count ? end - offset : count;
            uint32_t got = 0;
            if (!source_->ReadRecord(first_ + static_cast<uint32_t>(i), offset - starts_[i], out,
                                     n, &got) ||
                got != n)
                return false;
            out += n;
            offset += n;
            count -= n;
        }
        return count == 0;
    }
    void DropData() override { std::vector<uint8_t>().swap(buffer_); }

private:
    bool Reserve(std::vector<uint8_t>& b) {
        try {
            b.resize(length_);
        } catch (...) {
            return false;
        }
        return true;
    }

    PalmDatabase* source_;
    String name_;
    uint32_t first_ = 0;
    uint32_t length_ = 0;
    std::vector<uint32_t> starts_;
    std::vector<uint8_t> buffer_;
};

// A data handle seen as the compressed bytes of a sound. Reads may come from the wave
// driver's thread; DataHandle::Read takes its offset, so there is no shared position.
class HandleAudioData : public AudioData {
public:
    explicit HandleAudioData(DataHandle* handle) : handle_(handle) {}
    bool IsValid() override { return handle_->IsValid(); }
    bool Read(uint64_t offset, void* destination, uint32_t count, uint32_t* got) override {
        *got = 0;
        if (offset > 0xFFFFFFFFu) return false;
        uint32_t n = 0;
        bool ok = handle_->Read(static_cast<uint32_t>(offset), destination, count, n);
        *got = n;
        return ok;
    }
    bool GetLength(uint64_t* length) override {
        uint32_t n = 0;
        if (!handle_->GetLength(n)) return false;
        *length = n;
        return true;
    }
    void AddRef() override { count_.fetch_add(1, std::memory_order_relaxed); }
    void Release() override {
        if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

private:
    ~HandleAudioData() override = default;

    RefPtr<DataHandle> handle_;
    std::atomic<uint32_t> count_{1};
};

bool StartsWith(const String& s, const char16_t* prefix, int32_t n) {
    return s.CompareN(prefix, n, true) == 0;
}

}  // namespace

int BookResource::Create(PalmDatabase* source, uint32_t codePage, uint32_t fallbackCodePage,
                         BookResource*& out, BookHostInterface* before,
                         BookHostInterface* after) {
    out = nullptr;
    std::unique_ptr<PalmDatabase> owned(source);
    if (!owned) return 11;
    auto r = RefPtr<BookResource>::Adopt(new (std::nothrow) BookResource());
    if (!r) return 12;
    r->book_.SetHostInterfaces(before, after);
    int rc = r->book_.Open(owned.get(), 1, codePage, fallbackCodePage);
    // The book keeps its source only once it opened.
    if (rc != 0) return rc;
    owned.release();
    out = r.TakePointer();
    return 0;
}

BookResource::~BookResource() {
    book_.Close();
}

DataHandle* BookResource::MakeTableHandle(uint32_t table) {
    auto handle =
        RefPtr<IndexTableDataHandle>::Adopt(new (std::nothrow) IndexTableDataHandle(this));
    if (!handle) return nullptr;
    AddHandle(handle.Get());
    return handle->OpenInBook(book_, table) ? handle.TakePointer() : nullptr;
}

DataHandle* BookResource::OpenHeaderTable(uint32_t field, uint32_t* id) {
    uint32_t table = 0;
    if (!book_.OpenHeaderRecord(static_cast<int>(field), &table)) return nullptr;
    if (id) *id = table;
    return MakeTableHandle(table);
}

DataHandle* BookResource::OpenTableByNumber(uint32_t n) {
    uint32_t table = 0;
    return book_.OpenTableByNumber(n, &table) ? MakeTableHandle(table) : nullptr;
}

DataHandle* BookResource::OpenTableByName(const String& name, uint32_t flag) {
    uint32_t table = 0;
    return book_.OpenTableByName(name.Data(), static_cast<uint32_t>(name.Length()), flag, &table)
               ? MakeTableHandle(table)
               : nullptr;
}

DataHandle* BookResource::OpenDataByIndex(int32_t index, const DbValue* /*base*/) {
    uint32_t record = 0;
    if (!book_.GetDataRecord(index, &record)) return nullptr;
    PalmDatabase* db = book_.NextRecord();
    // A record handle found by its index; run handles and tables never answer an id.
    if (DataHandle* found = FindHandleById(static_cast<int32_t>(record))) return found;
    auto* h = new (std::nothrow) RecordDataHandle(this, db, record, 0, String());
    if (!h) return nullptr;
    AddHandle(h);
    return h;
}

DataHandle* BookResource::OpenDataByName(const String& designation, const DbValue* /*base*/) {
    // Unnamed record handles must not answer an empty designation.
    if (designation.Length() == 0) return nullptr;
    if (DataHandle* found = FindHandleByName(designation)) return found;
    return OpenDesignated(designation);
}

DataHandle* BookResource::OpenDesignated(const String& designation) {
    String value;
    int32_t eq = designation.IndexOf(u'=');
    if (eq < designation.Length()) value.AssignSub(designation, eq + 1, designation.Length() - eq - 1);

    DataHandle* handle = nullptr;
    if (StartsWith(designation, u"table=", 6)) {
        handle = OpenTableByName(value, 0);
    } else if (StartsWith(designation, u"key_table", 9)) {
        handle = OpenTableByName(value, 2);
    } else if (StartsWith(designation, u"tableid=", 8)) {
        uint32_t n = 0;
        if (!value.ParseUnsigned(10, n)) return nullptr;
        handle = OpenTableByNumber(n);
    } else if (StartsWith(designation, u"special_table=", 14)) {
        static const struct {
            const char16_t* name;
            uint32_t field;
        } kFields[] = {
            {u"naming", 6}, {u"default", 0}, {u"lookup_key", 8}, {u"inflex", 5}, {u"forms", 4}};
        for (const auto& f : kFields) {
            if (value == String(f.name)) {
                uint32_t id = 0;
                handle = OpenHeaderTable(f.field, &id);
                break;
            }
        }
    } else if (StartsWith(designation, u"eo=", 3)) {
        return OpenObject(designation, value);
    } else {
        return nullptr;
    }
    if (handle) static_cast<IndexTableDataHandle*>(handle)->SetName(designation);
    return handle;
}

DataHandle* BookResource::OpenObject(const String& designation, const String& path) {
    uint32_t five[5] = {};
    if (!FindTarget(path, five)) return nullptr;
    // The numbers come from the book: the run must be non-empty and inside the book.
    int32_t first = static_cast<int32_t>(five[2]);
    int32_t end = static_cast<int32_t>(five[3]);
    if (first < 0 || end <= first) return nullptr;
    uint32_t firstRecord = 0, lastRecord = 0;
    if (!book_.GetDataRecord(first + 1, &firstRecord) || !book_.GetDataRecord(end, &lastRecord))
        return nullptr;
    auto* h = new (std::nothrow) RecordRunDataHandle(
        this, book_.NextRecord(), firstRecord, lastRecord - firstRecord + 1, designation);
    if (!h) return nullptr;
    AddHandle(h);
    return h;
}

bool BookResource::FindTarget(const String& path, uint32_t* five) {
    String name;
    int32_t cut = path.IndexOf(u'?');
    name.AssignSub(path, 0, cut);
    if (!name.UriEscape(false, false)) return false;
    name.ReplaceChar(u'\\', u'/');
    TargetRecord record;
    if (!book_.FindMetadata(name.Data(), name.Length(), BookDocument::kTargetObject, record))
        return false;
    five[0] = static_cast<uint32_t>(record.numbers[2]);
    five[1] = static_cast<uint32_t>(record.numbers[1]);
    five[2] = static_cast<uint32_t>(record.position);
    five[3] = static_cast<uint32_t>(record.numbers[0]);
    five[4] = static_cast<uint32_t>(record.numbers[3]);
    return true;
}

bool BookResource::CreateLayout(TokenSource*& source, PageLayout** layout) {
    uint32_t kind = book_.GetKind();
    std::unique_ptr<TokenSource> ts;
    if (kind == 1) {
        ts.reset(new (std::nothrow) PlainTextTokenSource());
    } else if (kind == 2) {
        auto* html = new (std::nothrow) HtmlTokenizer(true);
        if (html && book_.GetBookKind() >= 2) html->SetTableNeedsInline(false);
        // A table inside a cell is laid out within it, never dropped with its text.
        if (html) html->SetNoNestedTable(false);
        ts.reset(html);
    }
    BookPageLayoutTraits* traits = nullptr;
    if (ts && layout) {
        traits = new (std::nothrow) BookPageLayoutTraits(&book_);
        if (!traits) ts.reset();
    }
    uint32_t type = book_.GetDocumentType();
    bool option = kind != 1 && !(type >= kInternalTypeFirst && type <= kInternalTypeLast);
    return LayoutEngineFactory::FinishLayout(ts.release(), &book_, traits, option, source, layout);
}

void BookResource::DestroyLayout(TokenSource* source, PageLayout* layout) {
    LayoutEngineFactory::DestroyLayout(source, layout);
}

bool BookResource::OpenAudio(DataHandle* handle, AudioSource*& source) {
    RefPtr<DataHandle> held = RefPtr<DataHandle>::Adopt(handle);
    if (!held) return false;
    uint8_t magic[4] = {};
    uint32_t got = 0;
    if (!held->Read(0, magic, 4, got) || got != 4 || std::memcmp(magic, "OggS", 4) != 0)
        return false;
    auto data = RefPtr<HandleAudioData>::Adopt(new (std::nothrow) HandleAudioData(held.Get()));
    VorbisSource* vorbis = data ? new (std::nothrow) VorbisSource(data.Get()) : nullptr;
    if (!vorbis) return false;
    // The source made replaces the one the caller held.
    RefPtr<AudioSource> replaced = RefPtr<AudioSource>::Adopt(source);
    source = vorbis;
    return true;
}
