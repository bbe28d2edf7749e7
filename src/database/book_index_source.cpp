#include "database/book_index_source.h"

#include <algorithm>
#include <new>
#include <string>

#include "database/resource.h"

namespace {

void ToString(const std::u16string& s, String& out) {
    out.Release();
    out.AppendChars(s.data(), static_cast<int32_t>(s.size()));
}

// What key bytes sort by in the table: their weights, or the bytes themselves.
void SortSequence(const IndexKeyOrder& order, const std::uint8_t* bytes, std::size_t length,
                  std::vector<uint32_t>& out) {
    if (order.flags & 1) {
        order.Weigh(bytes, length, false, &out);
    } else {
        out.assign(bytes, bytes + length);
    }
}

// The same for one character; false when the table's code page cannot hold it.
bool CharSequence(const IndexKeyOrder& order, char16_t c, std::vector<uint32_t>& out) {
    std::string bytes;
    if (!Keys::Encode(order.codePage, &c, 1, &bytes)) return false;
    SortSequence(order, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
    return true;
}

}  // namespace

BookIndexSource* BookIndexSource::Open(PalmDatabase* database, uint32_t table,
                                       uint32_t inflectionTable, uint32_t namingTable) {
    if (!database) return nullptr;
    auto s = RefPtr<BookIndexSource>::Adopt(new (std::nothrow) BookIndexSource());
    if (!s || !s->own_.Open(database, table, inflectionTable, namingTable)) return nullptr;
    return s.TakePointer();
}

BookIndexSource* BookIndexSource::FromHandle(DataHandle* handle) {
    RefPtr<DataHandle> holder = RefPtr<DataHandle>::Adopt(handle);
    if (!holder) return nullptr;
    const IndexTableHandle* tables = holder->GetIndexTables();
    BookIndexSource* s = tables ? new (std::nothrow) BookIndexSource() : nullptr;
    if (!s) return nullptr;
    s->tables_ = tables;
    s->holder_ = std::move(holder);
    return s;
}

BookIndexSource::~BookIndexSource() = default;

uint32_t BookIndexSource::EntryCount() const {
    return Table().GetEntryCount();
}

bool BookIndexSource::Key(uint32_t entry, String& out) const {
    IndexPosition p;
    std::u16string key;
    if (!Table().PositionFromEntry(entry, &p) || !Table().GetEntryKey(p, &key)) return false;
    ToString(key, out);
    return true;
}

int32_t BookIndexSource::LowerBound(const String& key) const {
    IndexPosition p;
    if (!Table().Lookup(key.Data(), static_cast<size_t>(key.Length()), &p,
                        IndexTable::kModeNearest))
        return -1;
    int32_t e = Table().EntryFromPosition(p);
    return e >= 0 ? e : -1;
}

bool BookIndexSource::PrefixRuns(const String& prefix, EntryRuns& out) const {
    out.clear();
    const IndexTable& table = Table();
    const IndexKeyOrder& order = table.Order();
    // Each prefix letter may stand in either case, and each case sorts by its own sequence (of
    // weights, or of bytes): the keys that begin with one spelling lie together, and the runs
    // of the spellings are found letter by letter, a run narrowed to the keys whose sequence
    // goes on with the letter's. Spellings no key has end at once.
    struct Run {
        int32_t first, end;
        std::vector<uint32_t> start;  // the sequence every key of the run begins with
    };
    std::vector<Run> runs = {{0, static_cast<int32_t>(table.GetEntryCount()), {}}};
    std::vector<uint32_t> seq, letter, wanted;
    auto sequenceOf = [&](int32_t entry, std::vector<uint32_t>& sequence) {
        IndexPosition p;
        ByteSpan key;
        if (!table.PositionFromEntry(static_cast<uint32_t>(entry), &p) ||
            !table.GetEntryKeyBytes(p, &key))
            return false;
        SortSequence(order, key.data, key.size, sequence);
        return true;
    };
    // The first entry of [lo, hi) whose sequence, cut to the wanted length, is not before the
    // wanted one (after: past it).
    auto bound = [&](int32_t lo, int32_t hi, bool after, int32_t& at) {
        while (lo < hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            if (!sequenceOf(mid, seq)) return false;
            if (seq.size() > wanted.size()) seq.resize(wanted.size());
            if (after ? !(wanted < seq) : seq < wanted)
                lo = mid + 1;
            else
                hi = mid;
        }
        at = lo;
        return true;
    };
    for (int32_t i = 0; i < prefix.Length() && !runs.empty(); ++i) {
        const char16_t c = prefix[i];
        char16_t other = c;
        if (c >= u'a' && c <= u'z') other = static_cast<char16_t>(c - 32);
        if (c >= u'A' && c <= u'Z') other = static_cast<char16_t>(c + 32);
        std::vector<std::vector<uint32_t>> spellings;
        for (const char16_t v : {c, other}) {
            if (!CharSequence(order, v, letter)) return false;
            if (spellings.empty() || spellings[0] != letter) spellings.push_back(letter);
        }
        std::vector<Run> next;
        for (const Run& run : runs) {
            for (const std::vector<uint32_t>& spelling : spellings) {
                wanted = run.start;
                wanted.insert(wanted.end(), spelling.begin(), spelling.end());
                int32_t first = 0, end = 0;
                if (!bound(run.first, run.end, false, first) || !bound(first, run.end, true, end))
                    return false;
                if (first < end) next.push_back({first, end, wanted});
            }
        }
        runs.swap(next);
    }
    // Runs of spellings one of which begins the other's sequence may overlap: joined.
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.first < b.first; });
    for (const Run& run : runs) {
        if (!out.empty() && run.first <= out.back().second)
            out.back().second = std::max(out.back().second, run.end);
        else
            out.emplace_back(run.first, run.end);
    }
    return true;
}

bool BookIndexSource::TagValues(uint32_t entry, uint32_t tag, std::vector<uint32_t>& out) const {
    out.clear();
    IndexPosition p;
    IndexEntryReader r;
    uint32_t count = 0;
    if (!Table().PositionFromEntry(entry, &p) || !r.Open(&Table()) || r.Seek(p) != 0) return false;
    return r.FindTag(tag, &count, &out) == 0 && count > 0;
}

bool BookIndexSource::Headword(uint32_t entry, String& out) const {
    IndexPosition p;
    std::u16string text;
    if (!Table().PositionFromEntry(entry, &p)) return false;
    IndexLookup lookup(&Table(), tables_->FindNamingTable());
    if (!lookup.Resolve(&text, p, nullptr)) return false;
    ToString(text, out);
    return true;
}

bool BookIndexSource::Name(String& out) const {
    std::u16string name;
    if (!Table().GetName(&name)) return false;
    ToString(name, out);
    return !out.IsEmpty();
}

int32_t BookIndexSource::TableNumber() const {
    const IndexTable& table = Table();
    return table.IsOpen() && table.GetTableId() <= INT32_MAX
               ? static_cast<int32_t>(table.GetTableId())
               : -1;
}

uint32_t BookIndexSource::Language() const {
    return Table().GetLanguage();
}

bool BookIndexSource::InflectedForms(uint32_t entry, String& out) const {
    out.Release();
    std::vector<uint32_t> forms;
    if (!TagValues(entry, 40, forms)) return false;
    std::u16string key;
    for (uint32_t f : forms) {
        if (!tables_->GetInflectionEntryKey(f, &key)) continue;
        if (!out.IsEmpty()) out.AppendAscii(", ");
        out.AppendChars(key.data(), static_cast<int32_t>(key.size()));
    }
    return !out.IsEmpty();
}

bool BookIndexSource::EntryText(uint32_t entry, String& out) const {
    out.Release();
    IndexPosition p;
    IndexEntryReader r;
    std::u16string text;
    if (!Table().PositionFromEntry(entry, &p) || !r.Open(&Table()) || r.Seek(p) != 0) return false;
    if (!r.ReadTagText(8, &text) && !r.ReadTagText(6, &text)) return false;
    ToString(text, out);
    return true;
}

bool BookIndexSource::InflectionEntries(const String& word, std::vector<uint32_t>& out) const {
    out.clear();
    const IndexTable* inflex = tables_->FindInflectionTable();
    IndexPosition p;
    if (!inflex || word.IsEmpty() ||
        !inflex->Lookup(word.Data(), static_cast<std::size_t>(word.Length()), &p,
                        IndexTable::kModeFoldCase)) {
        return false;
    }
    // Every form with the key found (a form may belong to several words), each entry once.
    IndexEntryReader r;
    std::u16string first, key;
    if (!r.Open(inflex) || !inflex->GetEntryKey(p, &first)) return false;
    for (std::uint32_t guard = 0; guard < inflex->GetEntryCount(); ++guard) {
        std::vector<std::uint32_t> entries;
        std::uint32_t count = 0;
        if (r.Seek(p) == 0 && r.FindTag(1, &count, &entries) == 0) {
            for (std::uint32_t e : entries) {
                if (e < EntryCount() && std::find(out.begin(), out.end(), e) == out.end())
                    out.push_back(e);
            }
        }
        if (inflex->StepEntry(&p, 1) != 0 || !inflex->GetEntryKey(p, &key) || key != first) break;
    }
    return !out.empty();
}

bool BookIndexSource::SpellingCandidates(const String& word, uint32_t limit,
                                         std::vector<uint32_t>& out) const {
    out.clear();
    std::vector<IndexPosition> found;
    IndexTable::FindCandidatesForWord(Table(), word.Data(), static_cast<std::size_t>(word.Length()),
                                      &found, limit);
    for (const IndexPosition& p : found) {
        const std::int32_t e = Table().EntryFromPosition(p);
        if (e >= 0) out.push_back(static_cast<uint32_t>(e));
    }
    return !out.empty();
}

IndexSource* BookIndexResolver::OpenIndex(const String& designation) {
    auto open = [&](uint32_t record) -> IndexSource* {
        return BookIndexSource::Open(database_, record, inflection_, naming_);
    };
    if (designation.CompareN(u"tableid=", 8, true) == 0) {
        String digits;
        digits.AssignSub(designation, 8, -1);
        uint32_t n = 0;
        if (!digits.ParseUnsigned(10, n) || n >= tables_.size()) return nullptr;
        return open(tables_[n]);
    }
    if (designation.CompareN(u"special_table=default", 21) == 0)
        return tables_.empty() ? nullptr : open(tables_[0]);
    if (designation.CompareN(u"table=", 6, true) != 0) return nullptr;
    String wanted;
    wanted.AssignSub(designation, 6, -1);
    for (uint32_t record : tables_) {
        RefPtr<IndexSource> s = RefPtr<IndexSource>::Adopt(open(record));
        String name;
        if (s && s->Name(name) && name == wanted) return s.TakePointer();
    }
    return nullptr;
}

IndexSource* ResourceIndexResolver::OpenIndex(const String& designation) {
    if (!resource_ || designation.IsEmpty()) return nullptr;
    return BookIndexSource::FromHandle(
        DataHandle::AsIndexTable(resource_->OpenDataByName(designation, nullptr)));
}
