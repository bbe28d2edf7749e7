#include "support/bookfiles/book_builder.h"

#include <algorithm>

#include "support/bookfiles/book_compressors.h"

namespace {

std::uint32_t Utf8Length(std::uint8_t b) {
    if (b < 0x80) return 1;
    if (b >= 0xC0 && b < 0xE0) return 2;
    if (b >= 0xE0 && b < 0xF0) return 3;
    if (b >= 0xF0 && b < 0xF8) return 4;
    return 1;
}

}  // namespace

std::string SampleText(std::size_t n, std::uint32_t seed) {
    static const char* words[] = {"the",   "reader", "turns", "a",     "page",  "of",    "book",
                                  "light", "falls",  "on",    "quiet", "words", "and",   "every",
                                  "line",  "holds",  "its",   "place", "while", "night", "goes"};
    std::string s;
    std::uint32_t x = seed;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 21];
        s += ((x >> 8) % 13 == 0) ? ".\n" : " ";
    }
    s.resize(n);
    return s;
}

Bytes TreeNode(std::uint16_t flags, std::uint16_t number, std::uint32_t payload,
               std::uint32_t nameOffset, std::uint16_t childCount, std::uint16_t childWords) {
    Bytes b;
    PutU16(b, flags);
    PutU16(b, number);
    PutU32(b, payload);
    PutU32(b, nameOffset);
    if (flags & 1) {
        PutU16(b, childCount);
        PutU16(b, childWords);
    }
    return b;
}

PdbBuilder BookBuilder::BuildDatabase() {
    PdbBuilder db;
    db.name = databaseName;
    db.type = palmDoc ? "TEXt" : "BOOK";
    db.creator = palmDoc ? "REAd" : "FOLV";
    db.Add(Bytes());  // record 0, filled at the end

    // Text records of 4096 bytes each.
    std::uint32_t unit = codePage == 65002 ? 2 : 1;
    std::vector<Bytes> plain;
    std::vector<Bytes> carries;
    for (std::size_t at = 0; at < text.size(); at += 4096) {
        std::size_t n = std::min<std::size_t>(4096, text.size() - at);
        plain.emplace_back(text.begin() + at, text.begin() + at + n);
        Bytes carry;
        if (codePage == 65001 && (trailingFlags & 1)) {
            // The bytes of a character that continues into the next record.
            std::size_t end = at + n;
            std::size_t startOfLast = end;
            for (std::size_t back = 1; back <= 4 && back <= n; ++back) {
                if ((text[end - back] & 0xC0) != 0x80) {
                    startOfLast = end - back;
                    break;
                }
            }
            std::size_t full = startOfLast + Utf8Length(text[startOfLast]);
            if (startOfLast < end && full > end && full <= text.size()) {
                carry.assign(text.begin() + end, text.begin() + full);
            }
        }
        carries.push_back(carry);
    }
    std::vector<Bytes> stored;
    HuffTables huff;
    if (compression == 3) {
        huff = HuffCompress(plain, dictionary, nestDictionary);
        stored = huff.records;
    } else {
        for (const Bytes& p : plain)
            stored.push_back(compression == 2 ? PalmDocCompress(p.data(), p.size()) : p);
    }
    for (std::size_t i = 0; i < stored.size(); ++i) {
        Bytes r = stored[i];
        if (trailingFlags & 1) {
            r.insert(r.end(), carries[i].begin(), carries[i].end());
            r.push_back(static_cast<std::uint8_t>(carries[i].size()));
        }
        for (int bit = 1; bit < 16; ++bit) {
            if (!(trailingFlags & (1u << bit))) continue;
            // An extra entry of bit + 2 bytes: filler then its u16 size.
            for (int k = 0; k < bit; ++k) r.push_back(static_cast<std::uint8_t>(0xA0 + bit));
            PutU16(r, static_cast<std::uint32_t>(bit + 2));
        }
        db.Add(r);
    }
    std::uint32_t textRecords = static_cast<std::uint32_t>(stored.size());

    std::uint32_t huffRecord = 0, huffCount = 0;
    if (compression == 3) {
        huffRecord = db.Add(huff.huff);
        for (const Bytes& c : huff.cdics) db.Add(c);
        huffCount = 1 + static_cast<std::uint32_t>(huff.cdics.size());
    }

    tableRecords.clear();
    for (auto& [field, tableName] : indexTables) {
        Bytes indx;
        PutText(indx, "INDX");
        PutU32(indx, 68);
        PutU32(indx, 0);
        for (int k = 0; k < 10; ++k) PutU32(indx, 0);
        SetU32(indx, 52, 68);
        SetU32(indx, 56, static_cast<std::uint32_t>(tableName.size()));
        indx.resize(68);
        PutText(indx, tableName);
        std::uint32_t record = db.Add(indx);
        tableRecords.push_back(record);
        if (field >= 0 && field < 10) tables[field] = record;
    }

    std::uint32_t targetRecord = 0, targetCount = 0;
    if (!targets.empty()) {
        Bytes t;
        PutText(t, "TRGT");
        PutU32(t, 0);
        PutU32(t, static_cast<std::uint32_t>(targets.size()));
        for (const BookTargetSpec& target : targets) {
            PutU32(t, target.kind);
            PutU32(t, static_cast<std::uint32_t>(target.position));
            for (int k = 0; k < 4; ++k) PutU32(t, static_cast<std::uint32_t>(target.numbers[k]));
            for (const std::string* s : {&target.name, &target.value, &target.extra}) {
                PutU16(t, static_cast<std::uint32_t>(s->size()));
                PutText(t, *s);
            }
            while (t.size() % 4) t.push_back(0);
        }
        SetU32(t, 4, static_cast<std::uint32_t>(t.size()));
        targetRecord = db.Add(t);
        targetCount = 1;
    }

    std::uint32_t framesetRecord = 0xFFFFFFFF, framesetCount = 0;
    if (!framesets.empty()) {
        // One record of trees and entries; the index record refers into it.
        Bytes trees;
        std::uint32_t treeRecord = static_cast<std::uint32_t>(db.records.size()) + 1;
        std::vector<std::uint32_t> entryRefs;
        for (const FramesetSpec& f : framesets) {
            std::uint32_t rootOffset = static_cast<std::uint32_t>(trees.size());
            trees.insert(trees.end(), f.tree.begin(), f.tree.end());
            while (trees.size() % 4) trees.push_back(0);
            std::uint32_t entryOffset = static_cast<std::uint32_t>(trees.size());
            PutU32(trees, (treeRecord << framesetShift) | rootOffset);
            for (std::uint32_t v : f.values) PutU32(trees, v);
            entryRefs.push_back((treeRecord << framesetShift) | entryOffset);
        }
        Bytes index;
        PutU32(index, static_cast<std::uint32_t>(framesets.size()));
        for (std::size_t k = 0; k < framesets.size(); ++k) {
            PutU32(index, framesets[k].start);
            PutU32(index, entryRefs[k]);
        }
        framesetRecord = db.Add(index);
        db.Add(trees);
        framesetCount = 1;
    }

    firstResource = static_cast<std::uint32_t>(db.records.size());
    for (const Bytes& r : resources) db.Add(r);
    std::uint32_t lastResource =
        resources.empty() ? 0xFFFFFFFF : static_cast<std::uint32_t>(db.records.size() - 1);
    if (resources.empty()) firstResource = static_cast<std::uint32_t>(db.records.size());

    // Record 0.
    Bytes r0;
    PutU16(r0, compression);
    PutU16(r0, 0);
    PutU32(r0, static_cast<std::uint32_t>(text.size() / unit));
    PutU16(r0, textRecords);
    PutU16(r0, 4096 / unit);
    PutU16(r0, encryption);
    PutU16(r0, 0);
    if (!palmDoc) {
        Bytes h(std::max<std::uint32_t>(headerLength, 24), 0);
        h[0] = 'F';
        h[1] = 'O';
        h[2] = 'L';
        h[3] = 'V';
        std::uint32_t exthFlag = exth.empty() ? 0 : 1;
        auto set = [&](std::uint32_t offset, std::uint32_t v) {
            if (offset + 4 <= headerLength) SetU32(h, offset, v);
        };
        SetU32(h, 4, headerLength);
        set(8, type);
        set(12, codePage);
        set(16, uniqueId);
        set(20, version);
        for (int k = 0; k < 10; ++k) set(24 + 4 * k, tables[k]);
        set(76, locale);
        set(80, inputLanguage);
        set(84, outputLanguage);
        set(88, minimumVersion);
        set(92, flags | exthFlag);
        set(96, huffRecord);
        set(100, huffCount);
        set(104, targetRecord);
        set(108, targetCount);
        set(148, resources.empty() ? 0xFFFFFFFF : firstResource);
        set(152, lastResource);
        set(176, framesetRecord);
        set(180, trailingFlags);
        set(184, framesetShift);
        set(188, framesetCount);
        h.resize(headerLength);
        r0.insert(r0.end(), h.begin(), h.end());
        if (!exth.empty()) {
            Bytes block;
            PutText(block, "EXTH");
            PutU32(block, 0);
            PutU32(block, static_cast<std::uint32_t>(exth.size()));
            for (auto& [t, data] : exth) {
                PutU32(block, t);
                PutU32(block, static_cast<std::uint32_t>(data.size() + 8));
                block.insert(block.end(), data.begin(), data.end());
            }
            while (block.size() % 4) block.push_back(0);
            SetU32(block, 4, static_cast<std::uint32_t>(block.size()));
            r0.insert(r0.end(), block.begin(), block.end());
        }
        if (!fullName.empty() && headerLength >= 76) {
            SetU32(r0, 16 + 68, static_cast<std::uint32_t>(r0.size()));
            SetU32(r0, 16 + 72, static_cast<std::uint32_t>(fullName.size()));
            PutText(r0, fullName);
        } else if (headerLength >= 76) {
            SetU32(r0, 16 + 68, 0xFFFFFFFF);
            SetU32(r0, 16 + 72, 0);
        }
    }
    db.records[0].bytes = r0;
    return db;
}
