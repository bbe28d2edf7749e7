#include "bookfiles/sorted_record_database.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kFdat = FourCC("FDAT");
constexpr std::uint32_t kComplete = 1;
FormCartFactory g_cartFactory = nullptr;

void PutU32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    std::size_t at = b.size();
    b.resize(at + 4);
    BigEndian::PutU32(b.data() + at, v);
}

void PutText(std::vector<std::uint8_t>& b, const std::u16string& s) {
    std::size_t at = b.size();
    b.resize(at + 2);
    BigEndian::PutU16(b.data() + at, static_cast<std::uint32_t>(s.size() * 2));
    for (char16_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c >> 8));
        b.push_back(static_cast<std::uint8_t>(c));
    }
    while (b.size() % 4) b.push_back(0);
}

bool ReadText(const ByteSpan& d, std::uint32_t* at, std::u16string* out) {
    std::uint32_t n = d.U16At(*at, 0xFFFFFFFF);
    if (n == 0xFFFFFFFF || n % 2 || !d.Holds(*at + 2, n)) return false;
    out->clear();
    for (std::uint32_t i = 0; i < n; i += 2) {
        out->push_back(static_cast<char16_t>((d.data[*at + 2 + i] << 8) | d.data[*at + 3 + i]));
    }
    *at = (*at + 2 + n + 3) & ~3u;
    return true;
}

}  // namespace

SortedRecordDatabase::~SortedRecordDatabase() = default;

int SortedRecordDatabase::OpenDefault(const char* path, bool create) {
    int rc = Open(path, false, create);
    if (rc == 0) db_->SetAttributes(db_->GetAttributes() & ~PalmDatabase::kAttrBackup);
    return rc;
}

int SortedRecordDatabase::Validate() {
    // Submissions left unfinished by an interrupted run are dropped; damaged records are kept
    // but never read.
    if (readOnly_) return 0;
    for (std::uint32_t i = RecordCount(); i-- > 0;) {
        Head h;
        if (ReadHead(i, &h) && !(h.flags & kComplete)) DeleteRecord(i);
    }
    return 0;
}

bool SortedRecordDatabase::ReadHead(std::uint32_t index, Head* out) const {
    ByteSpan d;
    if (TagOf(index) != kFdat || !GetData(index, &d)) return false;
    std::uint32_t at = 0;
    if (!ReadText(d, &at, &out->key) || !ReadText(d, &at, &out->second) || !d.Holds(at, 24))
        return false;
    out->value1 = d.U32At(at);
    out->value2 = d.U32At(at + 4);
    out->submission = d.U32At(at + 8);
    out->chunk = d.U32At(at + 12);
    out->flags = d.U32At(at + 16);
    std::uint32_t p = d.U32At(at + 20);
    if (!d.Holds(at + 24, p)) return false;
    out->payload = ByteSpan{d.data + at + 24, p};
    return true;
}

int SortedRecordDatabase::Compare(const Head& a, const Head& b) {
    // Code-unit order of the texts is the byte order of their big-endian form.
    if (a.key != b.key) return a.key < b.key ? -1 : 1;
    if (a.second != b.second) return a.second < b.second ? -1 : 1;
    const std::uint32_t x[] = {a.value1, a.value2, a.submission, a.chunk};
    const std::uint32_t y[] = {b.value1, b.value2, b.submission, b.chunk};
    for (int i = 0; i < 4; ++i) {
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

std::uint32_t SortedRecordDatabase::Insert(const Head& head, const std::uint8_t* payload,
                                           std::uint32_t length) {
    std::vector<std::uint8_t> b;
    PutText(b, head.key);
    PutText(b, head.second);
    for (std::uint32_t v : {head.value1, head.value2, head.submission, head.chunk, head.flags,
                            length}) {
        PutU32(b, v);
    }
    b.insert(b.end(), payload, payload + length);
    std::uint32_t at = 0xFFFF;
    for (std::uint32_t i = 0; i < RecordCount(); ++i) {
        Head h;
        if (ReadHead(i, &h) && Compare(head, h) < 0) {
            at = i;
            break;
        }
    }
    std::int32_t index = WriteRecord(kFdat, b.data(), static_cast<std::uint32_t>(b.size()), at);
    return index < 0 ? 0 : RefOf(static_cast<std::uint32_t>(index));
}

std::unique_ptr<SortedRecordWriter> SortedRecordDatabase::OpenEntry(const SortedRecordItem& item) {
    if (!IsOpen() || IsReadOnly()) return nullptr;
    std::uint32_t next = 0;
    for (std::uint32_t i = 0; i < RecordCount(); ++i) {
        Head h;
        if (ReadHead(i, &h) && h.key == item.key && h.second == item.second &&
            h.value1 == item.value1 && h.value2 == item.value2 && h.submission >= next) {
            next = h.submission + 1;
        }
    }
    return std::unique_ptr<SortedRecordWriter>(new SortedRecordWriter(this, item, next));
}

std::uint32_t SortedRecordDatabase::SubmissionCount(const SortedRecordItem& item) const {
    std::vector<std::uint32_t> seen;
    for (std::uint32_t i = 0; i < RecordCount(); ++i) {
        Head h;
        if (ReadHead(i, &h) && (h.flags & kComplete) && h.key == item.key &&
            h.second == item.second && h.value1 == item.value1 && h.value2 == item.value2 &&
            std::find(seen.begin(), seen.end(), h.submission) == seen.end()) {
            seen.push_back(h.submission);
        }
    }
    return static_cast<std::uint32_t>(seen.size());
}

bool SortedRecordDatabase::ReadSubmission(const SortedRecordItem& item, std::uint32_t submission,
                                          std::u16string* out) const {
    out->clear();
    std::vector<std::uint8_t> bytes;
    std::uint32_t expected = 0;
    for (std::uint32_t i = 0; i < RecordCount(); ++i) {
        Head h;
        if (!ReadHead(i, &h) || !(h.flags & kComplete) || h.key != item.key ||
            h.second != item.second || h.value1 != item.value1 || h.value2 != item.value2 ||
            h.submission != submission) {
            continue;
        }
        if (h.chunk != expected++) return false;  // a chunk is missing
        bytes.insert(bytes.end(), h.payload.data, h.payload.data + h.payload.size);
    }
    if (expected == 0 || bytes.size() % 2) return false;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        out->push_back(static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]));
    return true;
}

void SortedRecordDatabase::SetCartFactory(FormCartFactory factory) {
    g_cartFactory = factory;
}

FormCart* SortedRecordDatabase::GetFormStore(const char16_t* name, std::size_t length) {
    if (!cart_ && g_cartFactory) cart_.reset(g_cartFactory(name, length));
    return cart_.get();
}

void SortedRecordDatabase::AddItem(const std::u16string& name, const std::u16string& value,
                                   std::uint32_t kind) {
    items_.push_back(Item{name, value, kind});
}

void SortedRecordDatabase::AddItemList(const char16_t* text, std::size_t length) {
    std::u16string word;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i == length || text[i] == u' ') {
            if (!word.empty()) AddItem(word, std::u16string());
            word.clear();
        } else {
            word.push_back(text[i]);
        }
    }
}

// Writer.

SortedRecordWriter::~SortedRecordWriter() {
    if (!finished_) Finish();
}

bool SortedRecordWriter::WriteChunk(std::size_t bytes) {
    SortedRecordDatabase::Head h;
    h.key = item_.key;
    h.second = item_.second;
    h.value1 = item_.value1;
    h.value2 = item_.value2;
    h.submission = submission_;
    h.chunk = chunk_;
    std::uint32_t ref = db_->Insert(h, pending_.data(), static_cast<std::uint32_t>(bytes));
    if (ref == 0) return false;
    written_.push_back(ref);
    ++chunk_;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(bytes));
    return true;
}

bool SortedRecordWriter::AppendPair(const char16_t* name, std::size_t nameLength,
                                    const char16_t* value, std::size_t valueLength) {
    if (finished_ || failed_ || !db_->IsOpen() || (nameLength && !name) || (valueLength && !value))
        return false;
    auto put = [&](char16_t c) {
        pending_.push_back(static_cast<std::uint8_t>(c >> 8));
        pending_.push_back(static_cast<std::uint8_t>(c));
    };
    for (std::size_t i = 0; i < nameLength; ++i) put(name[i]);
    put(u'=');
    for (std::size_t i = 0; i < valueLength; ++i) put(value[i]);
    put(u'\0');
    while (pending_.size() >= SortedRecordDatabase::kChunkBytes) {
        if (!WriteChunk(SortedRecordDatabase::kChunkBytes)) {
            failed_ = true;
            return false;
        }
    }
    return true;
}

bool SortedRecordWriter::Finish() {
    if (finished_) return !failed_;
    finished_ = true;
    bool ok = !failed_ && db_->IsOpen();
    if (ok && (!pending_.empty() || chunk_ == 0)) ok = WriteChunk(pending_.size());
    if (ok && complete_) {
        for (std::uint32_t ref : written_) {
            std::int32_t i = db_->Resolve(ref, kFdat);
            SortedRecordDatabase::Head h;
            if (i < 0 || !db_->ReadHead(static_cast<std::uint32_t>(i), &h)) {
                ok = false;
                break;
            }
            // The flags word sits just before the payload length and the payload.
            ByteSpan data;
            db_->GetData(static_cast<std::uint32_t>(i), &data);
            std::uint32_t flagsAt = static_cast<std::uint32_t>(h.payload.data - data.data) - 8;
            if (!db_->WriteU32(static_cast<std::uint32_t>(i), flagsAt, kComplete)) ok = false;
        }
    }
    if (!ok || !complete_) {
        for (std::uint32_t ref : written_) {
            std::int32_t i = db_->Resolve(ref, kFdat);
            if (i >= 0) db_->DeleteRecord(static_cast<std::uint32_t>(i));
        }
        written_.clear();
        return ok;
    }
    return true;
}
