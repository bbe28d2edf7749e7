#include "support/bookfiles/index_writer.h"

#include <algorithm>
#include <numeric>

#include "bookfiles/byte_order.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::uint32_t v) {
    std::size_t at = b.size();
    b.resize(at + 4);
    BigEndian::PutU32(b.data() + at, v);
}
void Put16(Bytes& b, std::uint32_t v) {
    std::size_t at = b.size();
    b.resize(at + 2);
    BigEndian::PutU16(b.data() + at, v);
}
void PutTag(Bytes& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}
void PadTo4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
void PutVarNumber(Bytes& b, std::uint32_t v) {
    while (v >= 0x80) {
        b.push_back(static_cast<std::uint8_t>(v & 0x7F));
        v >>= 7;
    }
    b.push_back(static_cast<std::uint8_t>(v | 0x80));
}

}  // namespace

bool IndexWriter::Add(const std::u16string& key,
                      std::vector<std::pair<std::uint8_t, std::vector<std::uint32_t>>> tags) {
    Entry e;
    if (!Keys::Encode(codePage, key.data(), key.size(), &e.key)) return false;
    e.tags = std::move(tags);
    entries_.push_back(std::move(e));
    return true;
}

std::size_t IndexWriter::AddText(const std::string& bytes) {
    texts_.push_back(bytes);
    return texts_.size() - 1;
}

bool IndexWriter::Build(std::vector<std::vector<std::uint8_t>>* records) {
    records->clear();
    if (recordLimit < 64 || recordLimit > 65000) return false;
    IndexKeyOrder order;
    order.codePage = codePage;
    order.flags = flags;
    order.weights = weights;
    order.ligatures = ligatures;

    std::vector<std::uint8_t> tagList;
    for (const Entry& e : entries_) {
        if (e.key.empty() || e.key.size() > 255) return false;
        for (const auto& t : e.tags) tagList.push_back(t.first);
        for (const auto& t : e.texts) {
            if (t.second >= texts_.size()) return false;
            tagList.push_back(t.first);
        }
    }
    std::sort(tagList.begin(), tagList.end());
    tagList.erase(std::unique(tagList.begin(), tagList.end()), tagList.end());
    if (tagList.size() > 16) return false;
    const std::uint32_t controlBytes = static_cast<std::uint32_t>((tagList.size() + 3) / 4);

    std::vector<std::uint32_t> sorted(entries_.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::string& ka = entries_[a].key;
        const std::string& kb = entries_[b].key;
        return order.Compare(reinterpret_cast<const std::uint8_t*>(ka.data()), ka.size(),
                             reinterpret_cast<const std::uint8_t*>(kb.data()), kb.size(),
                             false) < 0;
    });
    sortedNumbers_.assign(entries_.size(), 0);
    for (std::uint32_t i = 0; i < sorted.size(); ++i) sortedNumbers_[sorted[i]] = i;

    const std::uint32_t extras = (weights.empty() ? 0 : 1) + (ligatures.empty() ? 0 : 1) +
                                 (alphabet.empty() ? 0 : 1);
    std::vector<Bytes> data;
    std::vector<Bytes> textRecords;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
    std::vector<std::uint32_t> firsts;
    std::vector<std::string> lastKeys;
    std::uint32_t guess = 1;
    for (int round = 0; round < 16; ++round) {
        // Texts go after the data records and the optional tables.
        textRecords.clear();
        places.clear();
        std::uint32_t textBase = 1 + guess + extras;
        for (const std::string& t : texts_) {
            if (t.size() > 0xFFFF || t.size() + 2 > 65000) return false;
            if (textRecords.empty() || textRecords.back().size() + 2 + t.size() > 4096)
                textRecords.emplace_back();
            Bytes& r = textRecords.back();
            places.emplace_back(textBase + static_cast<std::uint32_t>(textRecords.size()) - 1,
                                static_cast<std::uint32_t>(r.size()));
            Put16(r, static_cast<std::uint32_t>(t.size()));
            r.insert(r.end(), t.begin(), t.end());
        }
        // Entries.
        data.clear();
        firsts.clear();
        lastKeys.clear();
        std::vector<Bytes> pending;
        auto closeRecord = [&]() {
            Bytes r;
            PutTag(r, "INDX");
            Put32(r, 24);
            Put32(r, 1);
            Put32(r, static_cast<std::uint32_t>(pending.size()));
            Put32(r, 0);
            Put32(r, 0);
            std::vector<std::uint32_t> offsets;
            for (const Bytes& e : pending) {
                offsets.push_back(static_cast<std::uint32_t>(r.size()));
                r.insert(r.end(), e.begin(), e.end());
            }
            PadTo4(r);
            BigEndian::PutU32(r.data() + 16, static_cast<std::uint32_t>(r.size()));
            PutTag(r, "IDXT");
            for (std::uint32_t o : offsets) Put16(r, o);
            PadTo4(r);
            data.push_back(std::move(r));
            pending.clear();
        };
        std::size_t pendingBytes = 0;
        for (std::uint32_t n = 0; n < sorted.size(); ++n) {
            const Entry& e = entries_[sorted[n]];
            std::vector<std::vector<std::uint32_t>> values(tagList.size());
            for (const auto& t : e.tags) {
                std::size_t i = std::lower_bound(tagList.begin(), tagList.end(), t.first) -
                                tagList.begin();
                values[i].insert(values[i].end(), t.second.begin(), t.second.end());
            }
            for (const auto& t : e.texts) {
                std::size_t i = std::lower_bound(tagList.begin(), tagList.end(), t.first) -
                                tagList.begin();
                values[i].push_back(places[t.second].first);
                values[i].push_back(places[t.second].second);
            }
            Bytes b;
            b.push_back(static_cast<std::uint8_t>(e.key.size()));
            b.insert(b.end(), e.key.begin(), e.key.end());
            std::size_t control = b.size();
            b.resize(b.size() + controlBytes, 0);
            for (std::size_t i = 0; i < tagList.size(); ++i) {
                std::size_t count = values[i].size();
                if (count == 0) continue;
                std::uint32_t field = count <= 2 ? static_cast<std::uint32_t>(count) : 3;
                b[control + i / 4] |= static_cast<std::uint8_t>(field << (2 * (i % 4)));
                if (field == 3) PutVarNumber(b, static_cast<std::uint32_t>(count));
                for (std::uint32_t v : values[i]) PutVarNumber(b, v);
            }
            if (b.size() + 40 > recordLimit) return false;
            if (!pending.empty() && 24 + pendingBytes + b.size() + 8 + 2 * (pending.size() + 1) >
                                        recordLimit) {
                closeRecord();
                pendingBytes = 0;
            }
            if (pending.empty()) firsts.push_back(n);
            pendingBytes += b.size();
            pending.push_back(std::move(b));
            if (lastKeys.size() < firsts.size()) lastKeys.emplace_back();
            lastKeys.back() = e.key;
        }
        if (!pending.empty()) closeRecord();
        std::uint32_t r = static_cast<std::uint32_t>(data.size());
        if (r == 0) r = 1;  // texts need a base even when the table is empty
        if (r == guess) break;
        guess = r;
        if (round == 15) return false;
    }

    // Header record.
    const std::uint32_t recordCount = static_cast<std::uint32_t>(data.size());
    const std::uint32_t base = 1 + std::max<std::uint32_t>(recordCount, 1);
    std::uint32_t next = base;
    std::uint32_t ordt = weights.empty() ? 0 : next++;
    std::uint32_t ligt = ligatures.empty() ? 0 : next++;
    std::uint32_t spl = alphabet.empty() ? 0 : next++;
    Bytes h;
    PutTag(h, "INDX");
    Put32(h, 68);
    Put32(h, 0);
    Put32(h, recordCount);
    Put32(h, static_cast<std::uint32_t>(entries_.size()));
    Put32(h, codePage);
    Put32(h, language);
    Put32(h, 0);  // TAGX offset, below
    Put32(h, ordt);
    Put32(h, ligt);
    Put32(h, spl);
    Put32(h, textRecords.empty() ? 0 : next);
    Put32(h, static_cast<std::uint32_t>(textRecords.size()));
    Put32(h, 0);  // name offset
    Put32(h, static_cast<std::uint32_t>(name.size()));
    Put32(h, flags);
    Put32(h, 0);  // directory offset
    BigEndian::PutU32(h.data() + 28, static_cast<std::uint32_t>(h.size()));
    PutTag(h, "TAGX");
    Put32(h, 12 + 4 * static_cast<std::uint32_t>(tagList.size()));
    Put32(h, controlBytes);
    for (std::size_t i = 0; i < tagList.size(); ++i) {
        h.push_back(tagList[i]);
        h.push_back(1);
        h.push_back(static_cast<std::uint8_t>(i / 4));
        h.push_back(static_cast<std::uint8_t>(3u << (2 * (i % 4))));
    }
    BigEndian::PutU32(h.data() + 52, static_cast<std::uint32_t>(h.size()));
    h.insert(h.end(), name.begin(), name.end());
    PadTo4(h);
    std::uint32_t directory = static_cast<std::uint32_t>(h.size());
    BigEndian::PutU32(h.data() + 64, directory);
    h.resize(h.size() + 8 * recordCount);
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        BigEndian::PutU32(h.data() + directory + 8 * r, firsts[r]);
        BigEndian::PutU32(h.data() + directory + 8 * r + 4, static_cast<std::uint32_t>(h.size()));
        h.push_back(static_cast<std::uint8_t>(lastKeys[r].size()));
        h.insert(h.end(), lastKeys[r].begin(), lastKeys[r].end());
    }
    PadTo4(h);

    records->push_back(std::move(h));
    for (Bytes& r : data) records->push_back(std::move(r));
    if (recordCount == 0) records->push_back(Bytes{});  // keeps the text numbering
    if (ordt) {
        Bytes b;
        PutTag(b, "ORDT");
        Put32(b, 0);
        Put32(b, static_cast<std::uint32_t>(weights.size()));
        for (std::uint16_t w : weights) Put16(b, w);
        PadTo4(b);
        BigEndian::PutU32(b.data() + 4, static_cast<std::uint32_t>(b.size()));
        records->push_back(std::move(b));
    }
    if (ligt) {
        Bytes b;
        PutTag(b, "LIGT");
        Put32(b, 0);
        Put32(b, static_cast<std::uint32_t>(ligatures.size()));
        for (const auto& l : ligatures) {
            Put16(b, l.ligature);
            Put16(b, l.first);
            Put16(b, l.second);
        }
        PadTo4(b);
        BigEndian::PutU32(b.data() + 4, static_cast<std::uint32_t>(b.size()));
        records->push_back(std::move(b));
    }
    if (spl) {
        Bytes b;
        PutTag(b, "SPL ");
        Put32(b, 0);
        Put32(b, static_cast<std::uint32_t>(alphabet.size()));
        for (std::uint16_t c : alphabet) Put16(b, c);
        Put32(b, maxEdits);
        PadTo4(b);
        BigEndian::PutU32(b.data() + 4, static_cast<std::uint32_t>(b.size()));
        records->push_back(std::move(b));
    }
    for (Bytes& r : textRecords) records->push_back(std::move(r));
    return true;
}
