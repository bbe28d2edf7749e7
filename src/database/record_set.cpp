#include "database/record_set.h"

bool RecordSet::GetText(const RecordPosition&, String&) {
    return false;
}
bool RecordSet::GetDisplayText(const RecordPosition&, String&) {
    return false;
}
void RecordSet::GetInfo(const RecordPosition&, RowInfo& out) {
    out.Init();
}
uint32_t RecordSet::GetIcon(const RecordPosition&) {
    return 0;
}
bool RecordSet::GetShortId(const RecordPosition&, String&) {
    return false;
}

uint32_t RecordSet::PositionToEntry(const RecordPosition& pos) {
    return static_cast<uint32_t>(pos.Get());
}

RecordPosition RecordSet::EntryToPosition(uint32_t entry) {
    return RecordPosition::At(static_cast<int32_t>(entry));
}

uint32_t RecordSet::Count() {
    return 0xFFFFFFFFu;
}
uint32_t RecordSet::PositionToRow(const RecordPosition& pos) {
    return static_cast<uint32_t>(pos.Get());
}
ScriptObject* RecordSet::MakeScriptObject(const RecordPosition&) {
    return nullptr;
}
bool RecordSet::GetTableName(String&, bool) {
    return false;
}
LinkTarget* RecordSet::GetLinkTarget(const RecordPosition&) {
    return nullptr;
}

RecordPosition OrdinalRecordSet::Previous(const RecordPosition& pos) {
    return OrdinalPrevious(pos, Count());
}

RecordPosition OrdinalRecordSet::Next(const RecordPosition& pos) {
    return OrdinalNext(pos, Count());
}

RecordPosition OrdinalPrevious(const RecordPosition& pos, uint32_t n) {
    if (pos.afterLast)
        return RecordPosition::At(n == 0 ? RecordPosition::kBeforeFirst
                                         : static_cast<int32_t>(n - 1));
    if (pos.beforeFirst || pos.value == 0) return RecordPosition::At(RecordPosition::kBeforeFirst);
    // A position past a shrunken set steps to the last row.
    uint32_t v = pos.value > n ? n : pos.value;
    return v == 0 ? RecordPosition::At(RecordPosition::kBeforeFirst)
                  : RecordPosition::At(static_cast<int32_t>(v - 1));
}

RecordPosition OrdinalNext(const RecordPosition& pos, uint32_t n) {
    if (pos.afterLast) return RecordPosition::At(RecordPosition::kAfterLast);
    if (pos.beforeFirst) return RecordPosition::At(n == 0 ? RecordPosition::kAfterLast : 0);
    if (pos.value + 1 >= n) return RecordPosition::At(RecordPosition::kAfterLast);
    return RecordPosition::At(static_cast<int32_t>(pos.value + 1));
}
