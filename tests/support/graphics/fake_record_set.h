// A record set held in memory for list tests: rows with a display text, a label, icon ids and
// row information, which a test may change (or cut short) while a list shows them. Count can be
// made unknown, as an index query's is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/record_set.h"

namespace fvt::test {

class FakeRecordSet : public OrdinalRecordSet {
public:
    struct Entry {
        std::string text;
        std::string label;
        uint32_t icons = 0;
        RowInfo info{};
    };

    // n rows "Row 0" .. "Row n-1".
    static FakeRecordSet* Numbered(uint32_t n) {
        auto* s = new FakeRecordSet;
        for (uint32_t i = 0; i < n; ++i) {
            Entry e;
            e.text = "Row " + std::to_string(i);
            s->entries.push_back(e);
        }
        return s;
    }

    bool GetDisplayText(const RecordPosition& pos, String& out) override {
        if (!Valid(pos)) return false;
        out.AppendAscii(entries[pos.value].text.c_str());
        return true;
    }
    bool GetText(const RecordPosition& pos, String& out) override {
        return GetDisplayText(pos, out);
    }
    void GetInfo(const RecordPosition& pos, RowInfo& out) override {
        out.Init();
        if (Valid(pos)) out = entries[pos.value].info;
    }
    uint32_t GetIcon(const RecordPosition& pos) override {
        return Valid(pos) ? entries[pos.value].icons : 0;
    }
    bool GetShortId(const RecordPosition& pos, String& out) override {
        if (!Valid(pos)) return false;
        out.AppendAscii(entries[pos.value].label.c_str());
        return true;
    }
    uint32_t PositionToEntry(const RecordPosition& pos) override {
        return static_cast<uint32_t>(pos.Get());
    }
    RecordPosition EntryToPosition(uint32_t entry) override {
        return RecordPosition::At(static_cast<int32_t>(entry));
    }
    uint32_t Count() override { return static_cast<uint32_t>(entries.size()); }
    uint32_t PositionToRow(const RecordPosition& pos) override { return pos.value; }

    // The stepping always uses the real size; only what Count reports can be hidden.
    RecordPosition Previous(const RecordPosition& pos) override {
        return OrdinalPrevious(pos, static_cast<uint32_t>(entries.size()));
    }
    RecordPosition Next(const RecordPosition& pos) override {
        return OrdinalNext(pos, static_cast<uint32_t>(entries.size()));
    }

    bool Valid(const RecordPosition& pos) const {
        return pos.IsRow() && pos.value < entries.size();
    }

    std::vector<Entry> entries;
};

// The same rows with a Count that is not known.
class UncountedRecordSet : public FakeRecordSet {
public:
    uint32_t Count() override { return 0xFFFFFFFFu; }
};

}  // namespace fvt::test
