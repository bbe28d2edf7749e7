#include "bookfiles/index_table.h"

#include <algorithm>
#include <cstring>

#include "bookfiles/palm_database.h"
#include "core/char_props.h"
#include "core/charset.h"

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint32_t kHeaderMin = 68;
constexpr std::uint32_t kDataHead = 24;
// Bounds that keep a damaged table from asking for absurd work.
constexpr std::uint32_t kMaxAlphabet = 256;
constexpr std::size_t kMaxCandidateWord = 64;
// Look-ups one spelling search may make: two edits over a large alphabet grow quadratically.
constexpr std::size_t kCandidateBudget = 100000;

bool IsKeyCodePage(std::uint32_t cp) {
    return cp == CodePages::kWindows1252 || cp == CodePages::kUtf8 || cp == CodePages::kUtf16;
}

int CountTrailingZeros(std::uint32_t v) {
    int n = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++n;
    }
    return n;
}

}  // namespace

int Keys::CompareBytes(const std::uint8_t* a, std::size_t aLength, const std::uint8_t* b,
                       std::size_t bLength) {
    std::size_t n = aLength < bLength ? aLength : bLength;
    int c = n ? std::memcmp(a, b, n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

bool Keys::Encode(std::uint32_t codePage, const char16_t* chars, std::size_t length,
                  std::string* out) {
    out->clear();
    if (codePage == CodePages::kUtf16) {
        out->reserve(length * 2);
        for (std::size_t i = 0; i < length; ++i) {
            out->push_back(static_cast<char>(chars[i] >> 8));
            out->push_back(static_cast<char>(chars[i] & 0xFF));
        }
        return true;
    }
    if (codePage == CodePages::kUtf8) {
        out->resize(length * 3 + 4);
        std::int32_t n = Utf8::EncodeFromUtf16(
            chars, length, reinterpret_cast<std::uint8_t*>(out->data()), out->size());
        if (n < 0) return false;
        out->resize(static_cast<std::size_t>(n));
        return true;
    }
    out->reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        int b = Cp1252::FromUnicode(chars[i]);
        if (b < 0) return false;  // no key holds a character the code page lacks
        out->push_back(static_cast<char>(b));
    }
    return true;
}

bool Keys::Decode(std::uint32_t codePage, const std::uint8_t* bytes, std::size_t length,
                  std::u16string* out) {
    out->clear();
    if (codePage == CodePages::kUtf16) {
        out->reserve(length / 2);
        for (std::size_t i = 0; i + 1 < length; i += 2) {
            out->push_back(static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]));
        }
        return true;
    }
    if (codePage == CodePages::kUtf8) {
        out->resize(length + 1);
        std::int32_t n = Utf8::DecodeToUtf16(bytes, length, out->data(), out->size());
        if (n < 0) return false;
        out->resize(static_cast<std::size_t>(n));
        return true;
    }
    out->reserve(length);
    for (std::size_t i = 0; i < length; ++i) out->push_back(Cp1252::ToUnicode(bytes[i]));
    return true;
}

void IndexKeyOrder::Weigh(const std::uint8_t* key, std::size_t length, bool foldCase,
                          std::vector<std::uint32_t>* out) const {
    std::u16string chars;
    Keys::Decode(codePage, key, length, &chars);
    out->clear();
    const bool weighted = (flags & 1) != 0;
    auto put = [&](char16_t c) {
        if (foldCase) c = CharProps::ToLower(c);
        if (!weighted) {
            out->push_back(c);
        } else if (c < weights.size()) {
            if (weights[c] != 0) out->push_back(weights[c]);
        } else {
            out->push_back(0x10000u + c);
        }
    };
    for (char16_t c : chars) {
        bool expanded = false;
        if (weighted) {
            for (const Ligature& l : ligatures) {
                if (l.ligature == c) {
                    put(l.first);
                    put(l.second);
                    expanded = true;
                    break;
                }
            }
        }
        if (!expanded) put(c);
    }
}

int IndexKeyOrder::Compare(const std::uint8_t* a, std::size_t aLength, const std::uint8_t* b,
                           std::size_t bLength, bool foldCase) const {
    if (!(flags & 1) && !foldCase) return Keys::CompareBytes(a, aLength, b, bLength);
    std::vector<std::uint32_t> wa, wb;
    Weigh(a, aLength, foldCase, &wa);
    Weigh(b, bLength, foldCase, &wb);
    if (std::lexicographical_compare(wa.begin(), wa.end(), wb.begin(), wb.end())) return -1;
    if (std::lexicographical_compare(wb.begin(), wb.end(), wa.begin(), wa.end())) return 1;
    // Case-insensitive searches treat keys that differ only in case as equal.
    return foldCase ? 0 : Keys::CompareBytes(a, aLength, b, bLength);
}

bool IndexTable::Record(std::uint32_t relative, ByteSpan* out) const {
    if (relative == 0 || relative == kNone || !database_) return false;
    std::uint64_t absolute = static_cast<std::uint64_t>(table_) + relative;
    if (absolute >= database_->GetRecordCount()) return false;
    std::uint32_t length = 0;
    const std::uint8_t* data = database_->GetRecord(static_cast<std::uint32_t>(absolute), &length);
    if (!data) return false;
    *out = ByteSpan{data, length};
    return true;
}

bool IndexTable::Open(PalmDatabase* database, std::uint32_t table) {
    *this = IndexTable();
    if (!database || table >= database->GetRecordCount()) return false;
    std::uint32_t length = 0;
    const std::uint8_t* data = database->GetRecord(table, &length);
    ByteSpan head{data, length};
    if (!data || !head.TagAt(0, "INDX") || head.U32At(8, 1) != 0) return false;
    std::uint32_t headLength = head.U32At(4);
    if (headLength < kHeaderMin || headLength > length) return false;
    std::uint32_t recordCount = head.U32At(12);
    std::uint32_t codePage = head.U32At(20);
    if (!IsKeyCodePage(codePage)) return false;
    if (recordCount >= database->GetRecordCount() - table) return false;

    database_ = database;
    table_ = table;
    entryCount_ = head.U32At(16);
    language_ = head.U32At(24) & 0xFFFF;
    order_.codePage = codePage;
    order_.flags = head.U32At(60);
    firstText_ = head.U32At(44);
    textCount_ = head.U32At(48);
    std::uint32_t nameOffset = head.U32At(52), nameLength = head.U32At(56);
    if (nameLength && head.Holds(nameOffset, nameLength)) {
        name_.assign(reinterpret_cast<const char*>(data + nameOffset), nameLength);
    }
    bool ok = true;

    // Tag layout.
    std::uint32_t tagx = head.U32At(28);
    if (tagx != 0) {
        std::uint32_t tagxLength = head.U32At(tagx + 4);
        controlBytes_ = head.U32At(tagx + 8, 99);
        if (!head.TagAt(tagx, "TAGX") || tagxLength < 12 || (tagxLength - 12) % 4 ||
            !head.Holds(tagx, tagxLength) || controlBytes_ > 4) {
            ok = false;
        }
        for (std::uint32_t at = tagx + 12; ok && at < tagx + tagxLength; at += 4) {
            TagLayout t{data[at], data[at + 1], data[at + 2], data[at + 3], 0, 0};
            std::uint32_t m = t.mask;
            if (t.perValue == 0 || t.control >= controlBytes_ || m == 0) {
                ok = false;
                break;
            }
            t.shift = static_cast<std::uint8_t>(CountTrailingZeros(m));
            std::uint32_t bits = m >> t.shift;
            if (bits & (bits + 1)) {  // not one run of bits
                ok = false;
                break;
            }
            t.allOnes = static_cast<std::uint8_t>(bits);
            tags_.push_back(t);
        }
    }

    // Directory and data records.
    std::uint32_t directory = head.U32At(64);
    if (ok && recordCount && !head.Holds(directory, recordCount * 8)) ok = false;
    std::uint32_t expected = 0;
    for (std::uint32_t r = 1; ok && r <= recordCount; ++r) {
        DataRecord d;
        std::uint32_t at = directory + (r - 1) * 8;
        d.first = head.U32At(at);
        std::uint32_t keyAt = head.U32At(at + 4);
        if (!Record(r, &d.bytes) || !d.bytes.TagAt(0, "INDX") || d.bytes.U32At(8) != 1 ||
            d.first != expected || !head.Holds(keyAt, 1) ||
            !head.Holds(keyAt + 1, data[keyAt])) {
            ok = false;
            break;
        }
        d.lastKey = ByteSpan{data + keyAt + 1, data[keyAt]};
        d.count = d.bytes.U32At(12);
        d.idxt = d.bytes.U32At(16);
        if (d.count == 0 || d.idxt < kDataHead || !d.bytes.TagAt(d.idxt, "IDXT") ||
            !d.bytes.Holds(d.idxt + 4, d.count * 2) || d.count > 0xFFFF) {
            ok = false;
            break;
        }
        expected += d.count;
        records_.push_back(d);
    }
    if (!ok || expected != entryCount_) {
        *this = IndexTable();
        return false;
    }

    // Optional tables; one with a bad size is left out rather than failing the index.
    ByteSpan extra;
    if ((order_.flags & 1) && Record(head.U32At(32), &extra) && extra.TagAt(0, "ORDT")) {
        std::uint32_t size = extra.U32At(4), m = extra.U32At(8);
        if (size <= extra.size && m <= 0x10000 && 12 + 2ull * m <= size) {
            order_.weights.resize(m);
            for (std::uint32_t i = 0; i < m; ++i) order_.weights[i] = extra.U16At(12 + 2 * i);
        }
    }
    if ((order_.flags & 1) && Record(head.U32At(36), &extra) && extra.TagAt(0, "LIGT")) {
        std::uint32_t size = extra.U32At(4), n = extra.U32At(8);
        if (size <= extra.size && n <= 0x10000 && 12 + 6ull * n <= size) {
            for (std::uint32_t i = 0; i < n; ++i) {
                std::uint32_t at = 12 + 6 * i;
                order_.ligatures.push_back({static_cast<std::uint16_t>(extra.U16At(at)),
                                            static_cast<std::uint16_t>(extra.U16At(at + 2)),
                                            static_cast<std::uint16_t>(extra.U16At(at + 4))});
            }
        }
    }
    if (Record(head.U32At(40), &extra) && extra.TagAt(0, "SPL ")) {
        std::uint32_t size = extra.U32At(4), a = extra.U32At(8);
        if (size <= extra.size && a > 0 && a <= kMaxAlphabet && 16 + 2ull * a <= size) {
            for (std::uint32_t i = 0; i < a; ++i) {
                alphabet_.push_back(static_cast<std::uint16_t>(extra.U16At(12 + 2 * i)));
            }
            maxEdits_ = extra.U32At(12 + 2 * a);
            if (maxEdits_ < 1 || maxEdits_ > 2) {
                alphabet_.clear();
                maxEdits_ = 0;
            }
        }
    }
    return true;
}

bool IndexTable::GetName(std::u16string* out) const {
    return IsOpen() && !name_.empty() &&
           Keys::Decode(CodePages::kUtf8, reinterpret_cast<const std::uint8_t*>(name_.data()),
                        name_.size(), out);
}

std::int32_t IndexTable::EntryFromPosition(IndexPosition p) const {
    if (p.record == 0 && p.entry == 0) return -2;
    if (p.record == 0 || p.record > records_.size()) return -1;
    const DataRecord& d = records_[p.record - 1];
    if (p.entry >= d.count) return -1;
    return static_cast<std::int32_t>(d.first + p.entry);
}

bool IndexTable::PositionFromEntry(std::uint32_t entry, IndexPosition* out) const {
    if (entry >= entryCount_ || records_.empty()) return false;
    auto it = std::upper_bound(records_.begin(), records_.end(), entry,
                               [](std::uint32_t v, const DataRecord& d) { return v < d.first; });
    if (it == records_.begin()) return false;
    --it;
    if (entry - it->first >= it->count) return false;
    out->record = static_cast<std::uint32_t>(it - records_.begin()) + 1;
    out->entry = entry - it->first;
    return true;
}

IndexPosition IndexTable::First() const {
    IndexPosition p;
    if (entryCount_) p = IndexPosition{1, 0};
    return p;
}

int IndexTable::StepEntry(IndexPosition* position, int step) const {
    std::int32_t n = EntryFromPosition(*position);
    std::int64_t target;
    if (n == -2) {
        target = static_cast<std::int64_t>(step) - 1;
    } else if (n < 0) {
        return 1;
    } else {
        target = static_cast<std::int64_t>(n) + step;
    }
    if (target < 0 || target >= entryCount_) return 1;
    return PositionFromEntry(static_cast<std::uint32_t>(target), position) ? 0 : 1;
}

bool IndexTable::GetEntryBytes(IndexPosition p, ByteSpan* out) const {
    if (EntryFromPosition(p) < 0) return false;
    const DataRecord& d = records_[p.record - 1];
    std::uint32_t start = d.bytes.U16At(d.idxt + 4 + 2 * p.entry);
    std::uint32_t end = p.entry + 1 < d.count ? d.bytes.U16At(d.idxt + 6 + 2 * p.entry) : d.idxt;
    if (start < kDataHead || start >= end || end > d.idxt) return false;
    *out = ByteSpan{d.bytes.data + start, end - start};
    return true;
}

bool IndexTable::GetEntryKeyBytes(IndexPosition p, ByteSpan* out) const {
    ByteSpan entry;
    if (!GetEntryBytes(p, &entry)) return false;
    std::uint32_t k = entry.data[0];
    if (k == 0 || !entry.Holds(1, k)) return false;
    *out = ByteSpan{entry.data + 1, k};
    return true;
}

bool IndexTable::GetEntryKey(IndexPosition p, std::u16string* out) const {
    ByteSpan key;
    return GetEntryKeyBytes(p, &key) && Keys::Decode(order_.codePage, key.data, key.size, out);
}

bool IndexTable::GetEntryText(std::uint32_t record, std::uint32_t offset,
                              std::u16string* out) const {
    if (!IsOpen() || textCount_ == 0 || record < firstText_ || record - firstText_ >= textCount_)
        return false;
    ByteSpan text;
    if (!Record(record, &text)) return false;
    std::uint32_t n = text.U16At(offset, kNone);
    if (n == kNone || !text.Holds(offset + 2, n)) return false;
    return Keys::Decode(order_.codePage, text.data + offset + 2, n, out);
}

int IndexTable::CompareWith(const DataRecord& r, std::uint32_t e, const std::uint8_t* key,
                            std::size_t length, bool foldCase, bool* bad) const {
    ByteSpan k;
    IndexPosition p{static_cast<std::uint32_t>(&r - records_.data()) + 1, e};
    if (!GetEntryKeyBytes(p, &k)) {
        *bad = true;
        return 0;
    }
    return order_.Compare(k.data, k.size, key, length, foldCase);
}

bool IndexTable::LookupBytes(const std::uint8_t* key, std::size_t length, IndexPosition* out,
                             std::uint32_t mode) const {
    if (!IsOpen() || records_.empty() || length == 0) return false;
    const bool fold = (mode & kModeFoldCase) != 0;
    // The first record whose last key is not before the query.
    std::size_t lo = 0, hi = records_.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        const ByteSpan& last = records_[mid].lastKey;
        if (order_.Compare(last.data, last.size, key, length, fold) < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    bool bad = false;
    for (; lo < records_.size(); ++lo) {
        const DataRecord& d = records_[lo];
        std::uint32_t a = 0, b = d.count;
        while (a < b) {
            std::uint32_t mid = (a + b) / 2;
            if (CompareWith(d, mid, key, length, fold, &bad) < 0) {
                a = mid + 1;
            } else {
                b = mid;
            }
            if (bad) return false;
        }
        if (a == d.count) continue;  // a directory key out of step with the record
        IndexPosition p{static_cast<std::uint32_t>(lo) + 1, a};
        if (!(mode & kModeNearest) && CompareWith(d, a, key, length, fold, &bad) != 0) return false;
        if (bad) return false;
        *out = p;
        return true;
    }
    return false;
}

bool IndexTable::Lookup(const char16_t* key, std::size_t length, IndexPosition* out,
                        std::uint32_t mode) const {
    if (!IsOpen() || !key || length == 0) return false;
    std::string bytes;
    if (!Keys::Encode(order_.codePage, key, length, &bytes)) return false;
    return LookupBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out,
                       mode);
}

std::size_t IndexTable::FindCandidatesForWord(const IndexTable& table, const char16_t* word,
                                              std::size_t length, std::vector<IndexPosition>* out,
                                              std::size_t limit) {
    out->clear();
    if (!table.IsOpen() || table.alphabet_.empty() || !word || length == 0 ||
        length > kMaxCandidateWord || limit == 0) {
        return 0;
    }
    const std::u16string original(word, length);
    std::vector<std::uint32_t> seen;
    std::size_t budget = kCandidateBudget;
    auto edits = [&](const std::u16string& w, std::vector<std::u16string>* list) {
        for (std::size_t i = 0; i < w.size(); ++i) list->push_back(w.substr(0, i) + w.substr(i + 1));
        for (std::size_t i = 0; i + 1 < w.size(); ++i) {
            std::u16string t = w;
            std::swap(t[i], t[i + 1]);
            list->push_back(t);
        }
        for (std::size_t i = 0; i < w.size(); ++i) {
            for (char16_t c : table.alphabet_) {
                if (c == w[i]) continue;
                std::u16string t = w;
                t[i] = c;
                list->push_back(t);
            }
        }
        for (std::size_t i = 0; i <= w.size(); ++i) {
            for (char16_t c : table.alphabet_) list->push_back(w.substr(0, i) + c + w.substr(i));
        }
    };
    auto tryAll = [&](const std::vector<std::u16string>& list) {
        for (const std::u16string& c : list) {
            if (out->size() >= limit || budget == 0) return;
            if (c.empty() || c == original) continue;
            --budget;
            IndexPosition p;
            if (!table.Lookup(c.data(), c.size(), &p, kModeFoldCase)) continue;
            std::uint32_t n = static_cast<std::uint32_t>(table.EntryFromPosition(p));
            if (std::find(seen.begin(), seen.end(), n) != seen.end()) continue;
            seen.push_back(n);
            out->push_back(p);
        }
    };
    std::vector<std::u16string> first;
    edits(original, &first);
    tryAll(first);
    if (table.maxEdits_ >= 2) {
        for (const std::u16string& w : first) {
            if (out->size() >= limit || budget == 0) break;
            std::vector<std::u16string> second;
            edits(w, &second);
            tryAll(second);
        }
    }
    return out->size();
}

// Entry reader.

bool IndexEntryReader::Open(const IndexTable* table) {
    table_ = table && table->IsOpen() ? table : nullptr;
    onEntry_ = false;
    return table_ != nullptr;
}

namespace {
// The variable-length numbers of tag data: 7-bit groups, least significant first, the high bit
// marking the last byte; at most 5 bytes and 32 bits.
bool ReadVarNumber(const ByteSpan& s, std::uint32_t* at, std::uint32_t* out) {
    std::uint64_t v = 0;
    for (int i = 0; i < 5; ++i) {
        if (*at >= s.size) return false;
        std::uint8_t b = s.data[(*at)++];
        v |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
        if (b & 0x80) {
            if (v > 0xFFFFFFFFull) return false;
            *out = static_cast<std::uint32_t>(v);
            return true;
        }
    }
    return false;
}
}  // namespace

int IndexEntryReader::Seek(IndexPosition position) {
    onEntry_ = false;
    fields_.clear();
    values_.clear();
    next_ = end_ = 0;
    nextField_ = 0;
    ByteSpan entry;
    if (!table_ || !table_->GetEntryBytes(position, &entry)) return 1;
    std::uint32_t at = 1 + entry.data[0];
    std::uint32_t c = table_->ControlBytes();
    if (!entry.Holds(at, c)) return 1;
    const std::uint8_t* control = entry.data + at;
    at += c;
    for (const IndexTable::TagLayout& t : table_->Tags()) {
        std::uint32_t f = (control[t.control] & t.mask) >> t.shift;
        if (f == 0) continue;
        std::uint32_t count = 0;
        if (f == t.allOnes) {
            if (!ReadVarNumber(entry, &at, &count)) return 1;
        } else {
            count = f * t.perValue;
        }
        // Every value takes a byte at least: a count beyond the bytes left is damage.
        if (count > entry.size - at) return 1;
        Field field{t.tag, static_cast<std::uint32_t>(values_.size()), count};
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t v = 0;
            if (!ReadVarNumber(entry, &at, &v)) return 1;
            values_.push_back(v);
        }
        fields_.push_back(field);
    }
    position_ = position;
    onEntry_ = true;
    return 0;
}

int IndexEntryReader::FindTag(std::uint32_t tag, std::uint32_t* count,
                              std::vector<std::uint32_t>* values) {
    if (count) *count = 0;
    next_ = end_ = 0;
    if (!onEntry_) return 1;
    for (const Field& f : fields_) {
        if (f.tag != tag) continue;
        if (count) *count = f.count;
        if (values) values->assign(values_.begin() + f.first, values_.begin() + f.first + f.count);
        next_ = f.first;
        end_ = f.first + f.count;
        return 0;
    }
    return 1;
}

int IndexEntryReader::ReadNumber(std::uint32_t* out) {
    if (next_ >= end_) return 1;
    *out = values_[next_++];
    return 0;
}

int IndexEntryReader::ReadNextTag(std::uint32_t* tag, std::uint32_t* count) {
    if (!onEntry_ || nextField_ >= fields_.size()) return 1;
    const Field& f = fields_[nextField_++];
    *tag = f.tag;
    *count = f.count;
    next_ = f.first;
    end_ = f.first + f.count;
    return 0;
}

bool IndexEntryReader::ReadTagText(std::uint32_t tag, std::u16string* out) {
    std::uint32_t count = 0, record = 0, offset = 0;
    if (FindTag(tag, &count, nullptr) != 0 || count < 2) return false;
    ReadNumber(&record);
    ReadNumber(&offset);
    return table_->GetEntryText(record, offset, out);
}

bool IndexEntryReader::FollowLink(IndexPosition* position, std::uint32_t tag) {
    std::uint32_t count = 0, value = 0;
    if (Seek(*position) != 0 || FindTag(tag, &count, nullptr) != 0 || ReadNumber(&value) != 0)
        return false;
    if (value >= table_->GetEntryCount()) return false;
    return table_->PositionFromEntry(value, position);
}

bool IndexEntryReader::FollowLinks25Else22(IndexPosition* position) {
    return FollowLink(position, 25) || FollowLink(position, 22);
}

// Lookup context.

bool IndexLookup::Fetch(std::u16string* out, IndexPosition position) {
    return table_ && table_->GetEntryKey(position, out);
}

bool IndexLookup::Resolve(std::u16string* out, IndexPosition position, const char16_t*) {
    if (!table_) return false;
    if (naming_ && naming_->IsOpen()) {
        IndexEntryReader reader;
        std::uint32_t count = 0, entry = 0;
        IndexPosition named;
        if (reader.Open(table_) && reader.Seek(position) == 0 &&
            reader.FindTag(5, &count, nullptr) == 0 && reader.ReadNumber(&entry) == 0 &&
            naming_->PositionFromEntry(entry, &named) && naming_->GetEntryKey(named, out)) {
            return true;
        }
    }
    return table_->GetEntryKey(position, out);
}

bool IndexLookup::Find(const char16_t* key, std::size_t length, IndexPosition* out) {
    return table_ && table_->Lookup(key, length, out, 0);
}
