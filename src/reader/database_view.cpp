#include "reader/database_view.h"

#include <algorithm>

#include "core/byte_stream.h"
#include "core/resources.h"
#include "database/history_table.h"
#include "database/index_query.h"
#include "database/query_text.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/input_event.h"

namespace {

constexpr uint32_t kTargetTag = 1;
constexpr uint32_t kStyleTag = 4;
constexpr uint32_t kLinkTag = 22;
constexpr uint32_t kOtherLinkTag = 25;
constexpr uint32_t kOtherBookTag = 41;
constexpr uint32_t kTableNumberBits = 0x3FF;
constexpr uint32_t kLookupFlags = 0xFF;
constexpr uint32_t kNoHelpId = 5112;
constexpr uint32_t kInflections = 0x1 | 0x2;
constexpr uint32_t kSpelling = 0x4;
constexpr uint32_t kSpellCorrectionId = 5114;
constexpr uint32_t kMostCandidates = 6;
constexpr uint32_t kMatchingWordsHint = 5345;
constexpr uint32_t kSimilarWordsHint = 5346;

bool FirstValue(const IndexSource& table, uint32_t entry, uint32_t tag, uint32_t& value) {
    std::vector<uint32_t> values;
    if (!table.TagValues(entry, tag, values) || values.empty()) return false;
    value = values[0];
    return true;
}

bool SameIgnoringCase(const String& a, const String& b) {
    return DatabaseViewText::SameSearchText(a, b, 0);
}

// Events 11 to 16 (page, line and screen moves) run the commands 66 to 71 in the same order.
constexpr int32_t kFirstMoveEvent = kKeyPageDown;
constexpr int32_t kLastMoveEvent = kKeyScreenUp;

// The focus moves (1035-1038): the selection moves row by row.
bool IsFocusMove(int32_t event) {
    return event == kKeyFocusNext || event == kKeyFocusPrevious || event == kKeyFocusNextLine ||
           event == kKeyFocusPreviousLine;
}

}  // namespace

DatabaseView::~DatabaseView() {
    // A search that did not lead anywhere is remembered for the next view.
    const LevelState& level = Current();
    if (remembered_ && rememberOnClose_ && !level.search.search.IsEmpty() && LevelSource()) {
        remembered_->text = level.search.search;
        remembered_->inputMode = flags_ & kInputModeBits;
        remembered_->table =
            tableNumber_ >= 0 ? static_cast<uint32_t>(tableNumber_) & kTableNumberBits : 0;
    }
    ReleaseSources();
}

void DatabaseView::ReleaseSources() {
    table_.Reset();
    keyTable_.Reset();
    plan_.Reset();
    keys_.clear();
    keysEntry_ = -1;
    levels_.assign(3, LevelState());
    level_ = 0;
    rows_.clear();
    noMatch_ = false;
    recordSetOnly_ = false;
}

void DatabaseView::SetRowsPerPage(uint32_t rows) {
    // The pane takes the lower 40% of the view.
    SetRowsPerPage(rows, rows * 6 / 10);
}

void DatabaseView::SetRowsPerPage(uint32_t rows, uint32_t rowsWithPreview) {
    fullRows_ = std::max<uint32_t>(rows, 1);
    previewRows_ = std::clamp<uint32_t>(rowsWithPreview, 1, fullRows_);
    ApplyRows();
}

void DatabaseView::ApplyRows() {
    rowsPerPage_ = previewShown_ ? previewRows_ : fullRows_;
    Layout();
}

void DatabaseView::PaintPreview(GraphicsContext& gc, const Rect& area) {
    if (previewShown_ && host_) host_->PaintPreview(gc, area);
}

void DatabaseView::SetSearchField(SearchField* field) {
    field_ = field;
    if (!field_) return;
    field_->SetInputMode(flags_ & kInputModeBits);
    ShowTextInField();
}

void DatabaseView::ShowTextInField() {
    if (!field_) return;
    settingText_ = true;
    field_->SetText(Current().search.search);
    settingText_ = false;
}

DatabaseView::Result DatabaseView::ClearField() {
    String current;
    if (!field_ || !field_->GetText(current) || current.IsEmpty()) return Result::kIgnored;
    settingText_ = true;
    field_->SetText(String());
    settingText_ = false;
    if (remembered_) remembered_->Clear();
    // Positioned as for an empty text, with nothing selected.
    Current().search.search = String();
    Type(kRefreshEvent);
    Current().search.selected = -1;
    Layout();
    return Result::kHandled;
}

void DatabaseView::ClosePreview() {
    if (!previewShown_) return;
    previewShown_ = false;
    previewPosition_ = -1;
    ApplyRows();
    if (host_) host_->HidePreview();
}

void DatabaseView::UpdatePreview(int32_t event) {
    if (!previewEnabled_ || !name_.IsEmpty()) return;
    // An open pane stays on the last level while there is a text to show for, no native
    // field, or the focus moves.
    const bool focusMove = IsFocusMove(event);
    if (!IsLastLevel() || noMatch_ ||
        (previewShown_ && field_ && SearchText().IsEmpty() && !focusMove)) {
        ClosePreview();
        return;
    }
    int32_t selected = Current().search.selected;
    if (selected < 0 || static_cast<size_t>(selected) >= rows_.size()) return;
    if (!previewShown_) {
        previewShown_ = true;
        const uint32_t covered = fullRows_ - previewRows_;
        ApplyRows();
        // The list moves up by what the pane covers, so that the selected row stays in view
        // (the paging events keep their new page as it is).
        if (event != kKeyPageDown && event != kKeyLineDown && covered > 0 &&
            static_cast<uint32_t>(selected) >= previewRows_) {
            int32_t top = Current().top;
            uint32_t moved = 0;
            for (; moved < covered; ++moved) {
                const int32_t next = NextEntry(top);
                if (next < 0) break;
                top = next;
            }
            Current().top = top;
            Current().search.selected = selected - static_cast<int32_t>(moved);
            Layout();
            selected = Current().search.selected;
        }
        if (selected < 0 || static_cast<size_t>(selected) >= rows_.size()) return;
    }
    IndexSource* source = LevelSource();
    if (!source) return;
    const uint32_t entry = !plan_ && level_ == 2 ? keys_[rows_[static_cast<size_t>(selected)]]
                                                 : rows_[static_cast<size_t>(selected)];
    const int64_t position = EntryTarget(*source, entry);
    if (position < 0 || position == previewPosition_) return;
    previewPosition_ = position;
    if (host_) host_->ShowPreview(source, entry, position);
}

bool DatabaseView::AttachRecordSet(IndexSource* set) {
    ReleaseSources();
    entryMode_ = false;
    if (!set) return false;
    table_ = RefPtr<IndexQuery>::Adopt(IndexQuery::FromTable(set));
    if (!table_) return false;
    recordSetOnly_ = true;
    level_ = 0;
    ResetLevel();
    return true;
}

bool DatabaseView::AttachSource(IndexSource* table, IndexSource* keyTable, uint32_t keyTag) {
    ReleaseSources();
    entryMode_ = false;
    if (!table) return false;
    table_ = RefPtr<IndexQuery>::Adopt(IndexQuery::FromTable(table));
    if (!table_) return false;
    keyTable_ = RefPtr<IndexSource>(keyTable);
    keyTag_ = keyTag;
    level_ = 1;
    ResetLevel();
    return true;
}

bool DatabaseView::ShowEntry(IndexSource* table, IndexSource* keyTable, uint32_t keyTag,
                             uint32_t entry) {
    if (!keyTable || !AttachSource(table, keyTable, keyTag)) return false;
    entryMode_ = true;
    Current().chosen = static_cast<int32_t>(entry);
    int32_t toOpen = -1;
    return Descend(entry, toOpen);
}

bool DatabaseView::SetSource(IndexQuery* plan, const String& titleTemplate,
                             const String& queryText) {
    ReleaseSources();
    entryMode_ = false;
    if (!plan) return false;
    plan_ = RefPtr<IndexQuery>(plan);
    titleTemplate_ = titleTemplate;
    queryText_ = queryText;
    levels_.assign(static_cast<size_t>(plan->ActiveLeafCount()) + 1, LevelState());
    level_ = 0;
    ResetLevel();
    return true;
}

void DatabaseView::SetName(const String& name) {
    if (name.IsEmpty()) return;
    name_ = name;
    String global(name);
    global.AppendAscii("(__global_recordset)");
    globalName_ = global;
}

void DatabaseView::SetSearchText(const String& text) {
    const uint32_t at = plan_ || recordSetOnly_ ? level_ : (entryMode_ ? 2 : 1);
    if (at >= levels_.size()) return;
    levels_[at].search.search = text;
    typeAhead_.Expire();
    if (at != level_) return;
    ShowTextInField();
    HandleEvent(kRefreshEvent);
}

uint32_t DatabaseView::LastLevel() const {
    if (plan_) return static_cast<uint32_t>(plan_->ActiveLeafCount());
    if (recordSetOnly_) return 0;
    return keyTable_ && !entryMode_ ? 2 : 1;
}

bool DatabaseView::IsLastLevel() const { return level_ >= LastLevel(); }

int32_t DatabaseView::LevelTableNumber() const {
    // A query's level lists a table of the query's own choosing.
    if (plan_) {
        IndexSource* source = LevelSource();
        return source ? source->TableNumber() : -1;
    }
    if (level_ >= 2) return -1;
    return tableNumber_ >= 0 ? tableNumber_ : static_cast<int32_t>(HistoryTable::kDefaultTable);
}

bool DatabaseView::SearchFieldOn() const {
    const bool last = IsLastLevel();
    return !((!last && (flags_ & kSearchOffBeforeLast)) || (last && (flags_ & kSearchOffOnLast)));
}

bool DatabaseView::RowsShown() const {
    const bool last = IsLastLevel();
    const bool gated = (!last && (flags_ & kBlankBeforeLast)) || (last && (flags_ & kBlankOnLast));
    return !(gated && DatabaseViewText::IsBlankSearch(SearchText()));
}

IndexSource* DatabaseView::LevelSource() const {
    if (plan_) {
        return static_cast<int32_t>(level_) < plan_->ActiveLeafCount()
                   ? plan_->ActiveLeaf(static_cast<int32_t>(level_))
                   : plan_->ResultSource();
    }
    if (level_ == 2) return keyTable_.Get();
    return table_ ? table_->ResultSource() : nullptr;
}

// Level 2 of a plain view steps through the key list by index; every other level through the
// plan's matches (a plain table's plan passes every entry).
int32_t DatabaseView::FirstEntry() const {
    if (!plan_ && level_ == 2) return keys_.empty() ? -1 : 0;
    IndexQuery* q = plan_ ? plan_.Get() : table_.Get();
    if (!q) return -1;
    const int32_t e = q->First(plan_ ? static_cast<int32_t>(level_) : 0);
    return e < 0 ? -1 : e;
}

int32_t DatabaseView::NextEntry(int32_t entry) const {
    if (entry < 0) return -1;
    if (!plan_ && level_ == 2)
        return static_cast<size_t>(entry) + 1 < keys_.size() ? entry + 1 : -1;
    IndexQuery* q = plan_ ? plan_.Get() : table_.Get();
    if (!q) return -1;
    const int32_t e = q->NextMatch(plan_ ? static_cast<int32_t>(level_) : 0, entry);
    return e < 0 ? -1 : e;
}

int32_t DatabaseView::PreviousEntry(int32_t entry) const {
    if (entry <= 0) return -1;
    if (!plan_ && level_ == 2) return entry - 1;
    IndexQuery* q = plan_ ? plan_.Get() : table_.Get();
    if (!q) return -1;
    const int32_t e = q->PreviousMatch(plan_ ? static_cast<int32_t>(level_) : 0, entry);
    return e < 0 ? -1 : e;
}

bool DatabaseView::EntryKey(int32_t entry, String& out) const {
    if (entry < 0) return false;
    IndexSource* source = LevelSource();
    if (!source) return false;
    if (!plan_ && level_ == 2) {
        if (static_cast<size_t>(entry) >= keys_.size()) return false;
        return source->Key(keys_[static_cast<size_t>(entry)], out);
    }
    return source->Key(static_cast<uint32_t>(entry), out);
}

int32_t DatabaseView::LookupEntry(const String& text, bool& exact) const {
    exact = false;
    int32_t found = -1;
    if (!plan_ && level_ == 2) {
        // The key list is short and not in key order: the first key that starts with the text.
        for (size_t i = 0; i < keys_.size() && found < 0; ++i) {
            String key;
            if (!EntryKey(static_cast<int32_t>(i), key) || key.Length() < text.Length()) continue;
            String head;
            head.AssignSub(key, 0, text.Length());
            if (SameIgnoringCase(head, text)) found = static_cast<int32_t>(i);
        }
    } else {
        IndexQuery* q = plan_ ? plan_.Get() : table_.Get();
        if (!q) return -1;
        found = q->LookupKey(plan_ ? static_cast<int32_t>(level_) : 0, text);
        if (found < 0) return -1;
    }
    String key;
    if (found >= 0 && EntryKey(found, key)) {
        exact = SameIgnoringCase(key, text);
        if (!exact && key.Length() >= text.Length()) {
            String head;
            head.AssignSub(key, 0, text.Length());
            exact = SameIgnoringCase(head, text);
        }
    }
    return found;
}

void DatabaseView::ResetLevel() {
    LevelState& l = Current();
    l.top = FirstEntry();
    l.search.selected = -1;
    l.search.search = String();
    noMatch_ = l.top < 0 && (plan_ || level_ == 2);
    Layout();
    ShowTextInField();
}

void DatabaseView::Layout() {
    rows_.clear();
    int32_t e = Current().top;
    if (!RowsShown()) e = -1;
    while (e >= 0 && rows_.size() < rowsPerPage_) {
        rows_.push_back(static_cast<uint32_t>(e));
        e = NextEntry(e);
    }
    endsOnPage_ = e < 0;
    int32_t& selected = Current().search.selected;
    if (selected < -1) selected = -1;
    if (selected >= static_cast<int32_t>(rows_.size())) selected = rows_.empty() ? -1 : 0;
}

bool DatabaseView::RowText(uint32_t row, String& out) const {
    if (row >= rows_.size()) return false;
    const int32_t e = static_cast<int32_t>(rows_[row]);
    IndexSource* source = LevelSource();
    if (!source) return false;
    const uint32_t entry = !plan_ && level_ == 2 ? keys_[rows_[row]] : rows_[row];
    if (source->Headword(entry, out)) return true;
    return EntryKey(e, out);
}

uint32_t DatabaseView::RowStyle(uint32_t row) const {
    IndexSource* source = LevelSource();
    if (row >= rows_.size() || !source) return 0;
    const uint32_t entry = !plan_ && level_ == 2 ? keys_[rows_[row]] : rows_[row];
    uint32_t style = 0;
    FirstValue(*source, entry, kStyleTag, style);
    return style;
}

bool DatabaseView::RowExpandable(uint32_t row) const {
    return row < rows_.size() && !(RowStyle(row) & kLeaf) && !IsLastLevel();
}

bool DatabaseView::BuildTitle(std::vector<DatabaseViewText::TitleRun>& runs) const {
    runs.clear();
    if (plan_) {
        if (titleTemplate_.IsEmpty()) return true;
        std::vector<String> keys;
        for (uint32_t i = 0; i < level_; ++i) {
            String key;
            IndexSource* leaf = plan_->ActiveLeaf(static_cast<int32_t>(i));
            if (leaf && levels_[i].chosen >= 0)
                leaf->Key(static_cast<uint32_t>(levels_[i].chosen), key);
            keys.push_back(key);
        }
        return DatabaseViewText::BuildQueryTitle(titleTemplate_, level_, keys, runs);
    }
    DatabaseViewText::TitleRun run;
    if (level_ < 2) {
        run.text = titleTemplate_;
        runs.push_back(run);
        return true;
    }
    String key;
    if (table_ && keysEntry_ >= 0)
        table_->ResultSource()->Key(static_cast<uint32_t>(keysEntry_), key);
    static const char16_t kKey[] = u"%key";
    int32_t from = 0;
    for (;;) {
        const int32_t at = keyTemplate_.Find(kKey, 4, from);
        DatabaseViewText::TitleRun plain;
        plain.text.AssignSub(keyTemplate_, from, at - from);
        if (!plain.text.IsEmpty()) runs.push_back(plain);
        if (at >= keyTemplate_.Length()) break;
        DatabaseViewText::TitleRun k;
        k.text = key;
        k.emphasised = true;
        runs.push_back(k);
        from = at + 4;
    }
    return true;
}

DatabaseView::Result DatabaseView::HandleEvent(int32_t event) {
    const Result r = HandleEventInner(event);
    if (r != Result::kReplaced) UpdatePreview(event);
    return r;
}

DatabaseView::Result DatabaseView::ExecuteCommand(int32_t id) {
    const Result r = ExecuteCommandInner(id);
    if (r != Result::kReplaced) UpdatePreview(0);
    return r;
}

bool DatabaseView::SelectRow(int32_t row) {
    if (settingText_ || row < 0 || row >= static_cast<int32_t>(rows_.size())) return false;
    Current().search.selected = row;
    UpdatePreview(kKeyFocusNext);
    return true;
}

DatabaseView::Result DatabaseView::HandleEventInner(int32_t event) {
    // The change notice of the view's own write into its field.
    if (settingText_) return Result::kIgnored;
    lastCommand_ = 0;
    // After a "No matching entry" screen any user input goes back; the refresh the view sends
    // itself does not, so setting a search text never replaces the view under its caller.
    if (noMatch_ && event != kRefreshEvent) {
        noMatch_ = false;
        return ExecuteCommandInner(Cmd::kBack);
    }
    if (event == kEnterEvent) return Enter();
    if (event == kClearEvent) return ClearField();
    if (event >= kFirstMoveEvent && event <= kLastMoveEvent)
        return ExecuteCommandInner(Cmd::kNextPage + event - kFirstMoveEvent);
    if (IsFocusMove(event)) {
        int32_t& selected = Current().search.selected;
        const int32_t rows = static_cast<int32_t>(rows_.size());
        if (event == kKeyFocusNext || event == kKeyFocusNextLine) {
            if (selected + 1 < rows) {
                ++selected;
            } else if (MoveForward(event == kKeyFocusNext ? static_cast<uint32_t>(rows - 1) : 0)) {
                Current().search.selected =
                    event == kKeyFocusNext ? 0 : static_cast<int32_t>(rows_.size()) - 1;
            }
        } else if (selected > 0) {
            --selected;
        } else if (MoveBack(event == kKeyFocusPrevious ? rowsPerPage_ : 1)) {
            Current().search.selected =
                event == kKeyFocusPrevious ? static_cast<int32_t>(rows_.size()) - 1 : 0;
        }
        return Result::kHandled;
    }
    return Type(event);
}

DatabaseView::Result DatabaseView::Type(int32_t event) {
    if (!SearchFieldOn() && (flags_ & kIgnoreTypingWhenOff)) return Result::kHandled;
    const bool control = (event & 0xFFFF) < 0x20;
    if (!field_ && control && event != DatabaseViewText::TypeAhead::kBackspaceEvent &&
        event != kRefreshEvent)
        return Result::kIgnored;
    LevelState& l = Current();
    String text;
    if (event == kRefreshEvent) {
        text = l.search.search;
    } else if (field_) {
        // The field has applied the key already: its text is the new text.
        if (!field_->GetText(text)) text = String();
    } else if (!typeAhead_.Edit(event, l.search.search, text)) {
        return Result::kHandled;
    }
    if (event != kRefreshEvent && DatabaseViewText::SameSearchText(text, l.search.search, flags_))
        return Result::kHandled;
    l.search.search = text;
    String position = text;
    bool cut = false;
    if (flags_ & DatabaseViewText::kWildcardQuery) {
        const int32_t at = DatabaseViewText::FindWildcard(text);
        if (at >= 0) {
            position.AssignSub(text, 0, at);
            cut = true;
        }
    }
    bool exact = false;
    const int32_t found = LookupEntry(position, exact);
    // The look-up succeeds when the entry found begins with the text: a text that only falls
    // between two keys selects nothing, so Enter runs the look-up strategies on it.
    const bool ok = found >= 0 && exact;
    if (found >= 0) l.top = found;
    l.search.selected = ok && !cut && !text.IsEmpty() ? 0 : -1;
    Layout();
    return Result::kHandled;
}

bool DatabaseView::MoveForward(uint32_t afterRow) {
    if (endsOnPage_ || afterRow >= rows_.size()) return false;
    const int32_t next = NextEntry(static_cast<int32_t>(rows_[afterRow]));
    if (next < 0 || next == Current().top) return false;
    Current().top = next;
    Layout();
    return true;
}

bool DatabaseView::MoveBack(uint32_t count) {
    int32_t top = Current().top;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t previous = PreviousEntry(top);
        if (previous < 0) break;
        top = previous;
    }
    if (top == Current().top || top < 0) return false;
    Current().top = top;
    Layout();
    return true;
}

uint32_t DatabaseView::HintId() const {
    if (!hints_ || !name_.IsEmpty() || noMatch_ || Selected() >= 0) return 0;
    if (lastCommand_ == Cmd::kNextPage || lastCommand_ == Cmd::kPreviousPage) return 0;
    const String& text = SearchText();
    const bool wildcard = DatabaseViewText::FindWildcard(text) >= 0;
    const uint32_t lookup = flags_ & 0xF;
    if (lookup == DatabaseViewText::kWildcardQuery) return wildcard ? kMatchingWordsHint : 0;
    if (!(lookup & 0x7) || text.IsEmpty()) return 0;
    // Nothing to hint while the text still leads to the top entry.
    String key;
    if (EntryKey(TopEntry(), key) && key.Length() >= text.Length()) {
        String head;
        head.AssignSub(key, 0, text.Length());
        if (SameIgnoringCase(head, text)) return 0;
    }
    return wildcard ? kMatchingWordsHint : kSimilarWordsHint;
}

DatabaseView::Result DatabaseView::ExecuteCommandInner(int32_t id) {
    lastCommand_ = id;
    int32_t& selected = Current().search.selected;
    switch (id) {
        case Cmd::kBack:
            // Back hides the pane first.
            ClosePreview();
            return Back();
        case Cmd::kNextPage:
            if (!rows_.empty() && MoveForward(static_cast<uint32_t>(rows_.size()) - 1))
                Current().search.selected = -1;
            return Result::kHandled;
        case Cmd::kScrollForward:
        case Cmd::kScrollForwardThree: {
            const uint32_t step = id == Cmd::kScrollForward ? 1 : 3;
            if (id == Cmd::kScrollForwardThree && rows_.size() <= 2) return Result::kHandled;
            if (MoveForward(step - 1) && selected >= 0)
                selected = std::max(selected - static_cast<int32_t>(step), 0);
            return Result::kHandled;
        }
        case Cmd::kPreviousPage:
            if (MoveBack(rowsPerPage_)) Current().search.selected = -1;
            return Result::kHandled;
        case Cmd::kScrollBack:
        case Cmd::kScrollBackThree: {
            const int32_t before = Current().top;
            if (!MoveBack(id == Cmd::kScrollBack ? 1 : 3) || selected < 0) return Result::kHandled;
            int32_t moved = 0;
            for (int32_t e = Current().top; e >= 0 && e != before; e = NextEntry(e)) ++moved;
            selected = std::min(selected + moved, static_cast<int32_t>(rows_.size()) - 1);
            return Result::kHandled;
        }
        default: return IsCommandEnabled(id) ? Result::kIgnored : Result::kHandled;
    }
}

DatabaseView::Result DatabaseView::Back() {
    if (!plan_ && level_ == 2 && !entryMode_) {
        keys_.clear();
        keysEntry_ = -1;
        noMatch_ = false;
        level_ = 1;
        Layout();
        ShowTextInField();
        return Result::kHandled;
    }
    if (plan_ && level_ > 0) {
        --level_;
        noMatch_ = false;
        Layout();
        ShowTextInField();
        return Result::kHandled;
    }
    // The controller replaces this view: nothing of it is read after the call.
    DatabaseViewHost* host = host_;
    if (host) {
        host->HideInputPanel();
        host->PassBack();
    }
    return Result::kReplaced;
}

bool DatabaseView::Descend(uint32_t entry, int32_t& toOpen) {
    toOpen = -1;
    if (plan_) {
        plan_->EvaluateLeaf(static_cast<int32_t>(level_), entry);
        Current().chosen = static_cast<int32_t>(entry);
        ++level_;
        ResetLevel();
        return true;
    }
    if (!table_ || !keyTable_) return false;
    std::vector<uint32_t> values;
    table_->ResultSource()->TagValues(entry, keyTag_, values);
    keys_.clear();
    for (uint32_t v : values)
        if (v < keyTable_->EntryCount()) keys_.push_back(v);
    keysEntry_ = static_cast<int32_t>(entry);
    levels_[1].chosen = static_cast<int32_t>(entry);
    level_ = 2;
    ResetLevel();
    if (keys_.size() == 1) {
        String own;
        String key;
        if (table_->ResultSource()->Key(entry, own) && keyTable_->Key(keys_[0], key) &&
            own == key)
            toOpen = 0;
    }
    return true;
}

int64_t DatabaseView::LinkedEntry(const IndexSource& table, uint32_t entry) {
    uint32_t linked = 0;
    if (FirstValue(table, entry, kLinkTag, linked) ||
        FirstValue(table, entry, kOtherLinkTag, linked)) {
        if (linked >= table.EntryCount()) return -1;
        return linked;
    }
    return entry;
}

int64_t DatabaseView::EntryTarget(const IndexSource& table, uint32_t entry) {
    const int64_t linked = LinkedEntry(table, entry);
    uint32_t position = 0;
    if (linked < 0 || !FirstValue(table, static_cast<uint32_t>(linked), kTargetTag, position))
        return -1;
    return position;
}

DatabaseView::Result DatabaseView::OpenEntry(uint32_t row) {
    if (row >= rows_.size()) return Result::kIgnored;
    int32_t levelEntry = static_cast<int32_t>(rows_[row]);
    if (RowExpandable(row)) {
        int32_t toOpen = -1;
        if (!Descend(static_cast<uint32_t>(levelEntry), toOpen)) return Result::kHandled;
        if (toOpen < 0) return Result::kHandled;
        levelEntry = toOpen;
    }
    IndexSource* source = LevelSource();
    if (!source) return Result::kHandled;
    const uint32_t entry = !plan_ && level_ == 2 ? keys_[static_cast<size_t>(levelEntry)]
                                                 : static_cast<uint32_t>(levelEntry);
    const int64_t position = EntryTarget(*source, entry);
    if (position < 0) return Result::kHandled;
    // A named view's row is handed to the book's script, which does with it what the book
    // wants: over the query's own matches on its last level, else over the level's table.
    if (!globalName_.IsEmpty()) return RunEntryScript(*source, entry);
    // Other entries may name another book.
    const int64_t linked = LinkedEntry(*source, entry);
    uint32_t otherBook = 0;
    const bool elsewhere =
        linked >= 0 && FirstValue(*source, static_cast<uint32_t>(linked), kOtherBookTag, otherBook);
    // Opening replaces this view: everything it needs is in locals.
    DatabaseViewHost* host = host_;
    if (!host) return Result::kHandled;
    rememberOnClose_ = false;
    // Held while the view that gave it may go.
    RefPtr<IndexSource> held(source);
    const bool opened = elsewhere ? host->OpenEntryInBook(otherBook, position, entry)
                                  : host->OpenEntryTarget(held.Get(), entry, position);
    if (opened) return Result::kReplaced;
    // Not replaced: the view is still the caller's.
    rememberOnClose_ = true;
    return Result::kHandled;
}

DatabaseView::Result DatabaseView::RunEntryScript(IndexSource& source, uint32_t entry) {
    RefPtr<IndexQuery> set =
        plan_ && static_cast<int32_t>(level_) == plan_->ActiveLeafCount()
            ? plan_
            : RefPtr<IndexQuery>::Adopt(IndexQuery::FromTable(&source));
    DatabaseViewHost* host = host_;
    if (!set) return Result::kHandled;
    const String script = globalName_;
    // The script may open another page, which replaces this view.
    rememberOnClose_ = false;
    const bool ran = host && host->RunEntryScript(set.Get(), entry, script);
    if (ran) return Result::kReplaced;
    rememberOnClose_ = true;
    return Result::kHandled;
}

DatabaseView::Result DatabaseView::Enter() {
    const int32_t selected = Current().search.selected;
    if (selected >= 0) return OpenEntry(static_cast<uint32_t>(selected));
    const String text = SearchText();
    if ((flags_ & kLookupFlags) == 0 || !SearchFieldOn() || text.IsEmpty())
        return Result::kHandled;
    // The wildcard lookup: a new query view over the matching keys.
    if ((flags_ & DatabaseViewText::kWildcardQuery) && DatabaseViewText::FindWildcard(text) >= 0) {
        DatabaseViewHost* host = host_;
        IndexSource* source = LevelSource();
        if (!host || !source) return Result::kHandled;
        String query;
        bool ok = false;
        if (!queryText_.IsEmpty()) {
            String word;
            for (int32_t i = 0; i < text.Length(); ++i) {
                char16_t c = text[i];
                if (c == u'?' || c == 0xFF1F) c = u'_';
                if (c == u'*' || c == 0xFF0A) c = u'%';
                word.AppendChar(c);
            }
            ok = QueryText::Refine(queryText_, word, query);
        } else {
            ok = tableNumber_ >= 0 &&
                 QueryText::MakeWildcardLookup(static_cast<uint32_t>(tableNumber_), text, query);
        }
        if (!ok) return Result::kHandled;
        String title;
        title.AppendAscii("PairFinder list:");
        const String viewName = name_;
        const int32_t stateWord = stateWord_;
        const uint32_t flags = 256 + (flags_ & kNeverUnderline);
        return host->OpenQueryRequest(query, title, stateWord, viewName, flags)
                   ? Result::kReplaced
                   : Result::kHandled;
    }
    // The exact key.
    if ((flags_ & DatabaseViewText::kExactKey) && !DatabaseViewText::SkipsExactKey(text)) {
        bool exact = false;
        const int32_t found = LookupEntry(text, exact);
        String key;
        if (found >= 0 && EntryKey(found, key) && key == text) return OpenTableEntry(found);
    }
    if (flags_ & kInflections) {
        const Result r = LookupInflections(text);
        if (r != Result::kIgnored) return r;
    }
    if (flags_ & kSpelling) {
        const Result r = SuggestSpellings(text);
        if (r != Result::kIgnored) return r;
    }
    String sorry;
    DatabaseViewHost* host = host_;
    if (host && Resources::LoadString(sorry, kNoHelpId)) host->ShowPopupText(sorry);
    return Result::kHandled;
}

DatabaseView::Result DatabaseView::OpenTableEntry(int32_t entry) {
    Current().top = entry;
    Current().search.selected = 0;
    Layout();
    return OpenEntry(0);
}

DatabaseView::Result DatabaseView::LookupInflections(const String& text) {
    IndexSource* source = LevelSource();
    std::vector<uint32_t> entries;
    if (!source || !source->InflectionEntries(text, entries)) return Result::kIgnored;
    if (entries.size() == 1) return OpenTableEntry(static_cast<int32_t>(entries[0]));
    DatabaseViewHost* host = host_;
    const String globalName = globalName_;
    return host && host->ShowLookupEntries(source, entries, globalName) ? Result::kHandled
                                                                        : Result::kIgnored;
}

DatabaseView::Result DatabaseView::SuggestSpellings(const String& text) {
    IndexSource* source = LevelSource();
    std::vector<uint32_t> entries;
    if (!source || !source->SpellingCandidates(text, kMostCandidates, entries))
        return Result::kIgnored;
    String heading;
    DatabaseViewHost* host = host_;
    if (!host || !Resources::LoadString(heading, kSpellCorrectionId)) return Result::kIgnored;
    const String globalName = globalName_;
    return host->ShowSpellingCandidates(source, heading, entries, globalName) ? Result::kHandled
                                                                              : Result::kIgnored;
}

bool DatabaseView::SaveState(ByteStream& out) const {
    DatabaseViewState s;
    s.query = static_cast<bool>(plan_);
    s.level = level_;
    s.flags = flags_;
    s.stateWord = stateWord_;
    s.titleTemplate = titleTemplate_;
    auto position = [](int32_t entry) {
        IndexPosition p;
        if (entry >= 0) {
            p.record = 0;
            p.entry = static_cast<uint32_t>(entry);
        }
        return p;
    };
    if (plan_) {
        for (const LevelState& l : levels_) {
            DatabaseViewLevel r = l.search;
            r.top = position(l.top);
            r.chosen = position(l.chosen);
            s.levels.push_back(r);
        }
    } else {
        s.keyTemplate = keyTemplate_;
        // The first level's record holds level 0 of a record set alone.
        const LevelState& first = levels_[recordSetOnly_ ? 0 : 1];
        s.search1 = first.search.search;
        s.selected1 = first.search.selected;
        s.top1 = position(first.top);
        s.search2 = levels_[2].search.search;
        s.selected2 = levels_[2].search.selected;
        s.top2 = position(levels_[2].top);
        s.keysEntry = position(keysEntry_);
    }
    return s.Save(out, nullptr);
}

bool DatabaseView::RestoreState(ByteStream& in) {
    DatabaseViewState s;
    s.query = static_cast<bool>(plan_);
    if (!s.Restore(in, plan_ ? static_cast<uint32_t>(levels_.size()) : 0)) return false;
    auto entry = [](const IndexPosition& p) {
        return p.IsNone() || p.entry > 0x7FFFFFFF ? -1 : static_cast<int32_t>(p.entry);
    };
    flags_ = s.flags;
    stateWord_ = s.stateWord;
    // The header's title comes back with the view (after Back the view is made afresh).
    if (!s.titleTemplate.IsEmpty()) titleTemplate_ = s.titleTemplate;
    if (plan_) {
        // Each level's leaf is bound again to the entry chosen there.
        for (uint32_t i = 0; i < s.levels.size(); ++i) {
            LevelState& l = levels_[i];
            IndexSource* source = static_cast<int32_t>(i) < plan_->ActiveLeafCount()
                                      ? plan_->ActiveLeaf(static_cast<int32_t>(i))
                                      : plan_->ResultSource();
            const int32_t count = source ? static_cast<int32_t>(source->EntryCount()) : 0;
            auto checked = [&](const IndexPosition& p) {
                const int32_t e = entry(p);
                return e < count ? e : -1;
            };
            l.search = s.levels[i];
            l.top = checked(s.levels[i].top);
            l.chosen = checked(s.levels[i].chosen);
            if (i < s.level && l.chosen >= 0) plan_->EvaluateLeaf(static_cast<int32_t>(i),
                                                                   static_cast<uint32_t>(l.chosen));
        }
        level_ = s.level;
    } else {
        if (!table_) return false;
        keyTemplate_ = s.keyTemplate;
        level_ = recordSetOnly_ ? 0 : 1;
        LevelState& first = levels_[level_];
        first.search.search = s.search1;
        first.search.selected = s.selected1;
        const int32_t top1 = entry(s.top1);
        first.top = top1 >= 0 && static_cast<uint32_t>(top1) <
                                     table_->ResultSource()->EntryCount()
                        ? top1
                        : FirstEntry();
        if (!recordSetOnly_ && s.level == 2) level_ = 2;
        keys_.clear();
        keysEntry_ = -1;
        noMatch_ = false;
        const int32_t keysEntry = entry(s.keysEntry);
        if (level_ == 2) {
            int32_t toOpen = -1;
            const uint32_t count = table_->ResultSource()->EntryCount();
            if (keysEntry < 0 || static_cast<uint32_t>(keysEntry) >= count ||
                !Descend(static_cast<uint32_t>(keysEntry), toOpen))
                level_ = 1;
            levels_[2].search.search = s.search2;
            levels_[2].search.selected = s.selected2;
            const int32_t top2 = entry(s.top2);
            levels_[2].top = top2 >= 0 && static_cast<size_t>(top2) < keys_.size()
                                 ? top2
                                 : FirstEntry();
        }
    }
    if (Current().top < 0) Current().top = FirstEntry();
    Layout();
    ShowTextInField();
    return true;
}
