// Row sets as list controls, query views and scripts walk them: a position record and the
// reference-counted row-set interface whose slot order list controls rely on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/ref_counted.h"
#include "core/string.h"

class LinkTarget;
class ScriptObject;

// A position in a record set: the value (a row ordinal, or an entry number for index sets), a
// second word, and the after-last and before-first flags at bytes 8 and 9.
struct RecordPosition {
    static constexpr int32_t kBeforeFirst = -1;
    static constexpr int32_t kAfterLast = -2;

    uint32_t value = 0;
    uint32_t second = 0;
    uint8_t afterLast = 0;
    uint8_t beforeFirst = 0;
    uint8_t reserved[2] = {};

    // -2 after the last row, -1 before the first, else the value.
    int32_t Get() const {
        if (afterLast) return kAfterLast;
        if (beforeFirst) return kBeforeFirst;
        return static_cast<int32_t>(value);
    }
    void Assign(int32_t v) {
        value = static_cast<uint32_t>(v);
        second = 0;
        afterLast = v == kAfterLast;
        beforeFirst = v == kBeforeFirst;
    }
    static RecordPosition At(int32_t v) {
        RecordPosition p;
        p.Assign(v);
        return p;
    }
    bool IsRow() const { return !afterLast && !beforeFirst; }
};
static_assert(sizeof(RecordPosition) == 12);
static_assert(offsetof(RecordPosition, afterLast) == 8);
static_assert(offsetof(RecordPosition, beforeFirst) == 9);

// How a list draws a row: bytes 0-2 font flag bits, byte 3 set when the row cannot be current,
// byte 4 small font.
struct RowInfo {
    uint8_t bytes[8] = {};
    void Init() {
        for (uint8_t& b : bytes) b = 0;
    }
};

class RecordSet : public RefCounted {
public:
    // From after-last the last row (before-first when empty); from the first row or
    // before-first, before-first.
    virtual RecordPosition Previous(const RecordPosition& pos) = 0;
    // From before-first the first row (after-last when empty); from the last row or after-last,
    // after-last.
    virtual RecordPosition Next(const RecordPosition& pos) = 0;
    virtual bool GetText(const RecordPosition& pos, String& out);
    virtual bool GetDisplayText(const RecordPosition& pos, String& out);
    virtual void GetInfo(const RecordPosition& pos, RowInfo& out);
    // Low 16 bits the icon resource id, high 16 bits an overlay; 0 none.
    virtual uint32_t GetIcon(const RecordPosition& pos);
    virtual bool GetShortId(const RecordPosition& pos, String& out);
    // A handle that survives in saved states, and back.
    virtual uint32_t PositionToEntry(const RecordPosition& pos);
    virtual RecordPosition EntryToPosition(uint32_t entry);
    // 0xFFFFFFFF when not known.
    virtual uint32_t Count();
    virtual uint32_t PositionToRow(const RecordPosition& pos);
    // A new script object at that position (one reference, the caller's), or null.
    virtual ScriptObject* MakeScriptObject(const RecordPosition& pos);
    // next false: the set's own table name. next true: a further table of the same database
    // whose name shares the first three characters (another word list).
    virtual bool GetTableName(String& out, bool next);
    virtual LinkTarget* GetLinkTarget(const RecordPosition& pos);

protected:
    ~RecordSet() override = default;
};

// Stepping over the ordinals 0 .. n - 1 with the contract of RecordSet::Previous / Next.
RecordPosition OrdinalPrevious(const RecordPosition& pos, uint32_t n);
RecordPosition OrdinalNext(const RecordPosition& pos, uint32_t n);

// The stepping of a set whose positions are the ordinals 0 .. Count() - 1.
class OrdinalRecordSet : public RecordSet {
public:
    RecordPosition Previous(const RecordPosition& pos) override;
    RecordPosition Next(const RecordPosition& pos) override;

protected:
    bool ValidRow(const RecordPosition& pos) { return pos.IsRow() && pos.value < Count(); }
};
