// The record-set view's list: the entries of a book index table, of one entry's keys in a key
// table, or of an index query's levels; type-ahead positioning, paging and focus movement, Back
// through the levels, descent into an entry and the target an entry opens. What the view asks of
// its document controller goes through DatabaseViewHost, so the view never outlives a call that
// may replace it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "reader/database_view_state.h"
#include "reader/reader_settings.h"
#include "reader/database_view_text.h"

class ByteStream;
class GraphicsContext;
struct Rect;
class IndexQuery;
class IndexRecordSet;
class IndexSource;

// The native edit field a record-set view may type into (the shell's control): the view reads
// the text from it and writes the level's text into it; its change notices reach the view as
// character events.
class SearchField {
public:
    virtual ~SearchField() = default;
    virtual void SetText(const String& text) = 0;
    virtual bool GetText(String& out) const = 0;
    // The field's box on the view; shown or hidden with the search field.
    virtual void Place(const Rect& box) = 0;
    virtual void Show(bool show) = 0;
    // The input-mode bits of the view's flags (0xF0000).
    virtual void SetInputMode(uint32_t bits) = 0;
};

// The owner of a record-set view (its document controller). Each call may replace the view: the
// view copies what it needs before calling and does not touch itself afterwards.
class DatabaseViewHost {
public:
    // History back (Back on the view's first level).
    virtual void PassBack() = 0;
    // Opens a text position of the table's book; the table and entry are for the search history.
    virtual bool OpenEntryTarget(IndexSource* table, uint32_t entry, int64_t position) = 0;
    // The entry's target lies in another book, the one the current document numbers `book`
    // (the entry's tag 41); the entry of the view's table goes to the search history. False
    // when that book does not open.
    virtual bool OpenEntryInBook(uint32_t /*book*/, int64_t /*position*/, uint32_t /*entry*/) {
        return false;
    }
    // Shows a query as a new query view (the wildcard lookup: request 96).
    virtual bool OpenQueryRequest(const String& query, const String& title, int32_t stateWord,
                                  const String& viewName, uint32_t flags) = 0;
    // A named view's row: the set, standing on the entry, becomes the book script's record
    // set while the script (the view's global name, a call of the function the view is named
    // after) runs; the entry goes to the search history. The set is borrowed. False when the
    // book has no script or the set cannot be handed to it.
    virtual bool RunEntryScript(IndexRecordSet* /*set*/, uint32_t /*entry*/,
                                const String& /*script*/) {
        return false;
    }
    // A text pop-up centred on the reader's pop-up rectangle.
    virtual void ShowPopupText(const String& text) = 0;
    // The preview pane: the entry's target shown under the list (ShowPreview again follows the
    // selection), closed, and painted into the pane's rectangle when the view is drawn.
    virtual void ShowPreview(IndexSource* /*table*/, uint32_t /*entry*/, int64_t /*position*/) {}
    virtual void HidePreview() {}
    virtual void PaintPreview(GraphicsContext& /*gc*/, const Rect& /*area*/) {}
    // Hides the input panel (Back out of the view, an entry opened).
    virtual void HideInputPanel() {}
    // The lookup page of several entries of the table, under the view's global name, as a
    // pop-up; false when it cannot be shown.
    virtual bool ShowLookupEntries(IndexSource*, const std::vector<uint32_t>&, const String&) {
        return false;
    }
    // The heading, then each entry's key as a link to that entry (under the view's global
    // name), as a pop-up; false when it cannot be shown.
    virtual bool ShowSpellingCandidates(IndexSource*, const String&, const std::vector<uint32_t>&,
                                        const String&) {
        return false;
    }

protected:
    ~DatabaseViewHost() = default;
};

class DatabaseView {
public:
    // Flags word bits.
    static constexpr uint32_t kSearchOffBeforeLast = 0x100;
    static constexpr uint32_t kBlankBeforeLast = 0x200;
    static constexpr uint32_t kNeverUnderline = 0x400;
    static constexpr uint32_t kSearchOffOnLast = 0x800;
    static constexpr uint32_t kBlankOnLast = 0x1000;
    static constexpr uint32_t kIgnoreTypingWhenOff = 0x2000;
    // Row style bits (tag 4).
    static constexpr uint32_t kBold = 1;
    static constexpr uint32_t kItalic = 2;
    static constexpr uint32_t kUnderline = 8;
    static constexpr uint32_t kLeaf = 16;
    static constexpr uint32_t kInputModeBits = 0xF0000;
    // Events.
    static constexpr int32_t kEnterEvent = 23;
    static constexpr int32_t kClearEvent = 24;
    static constexpr int32_t kRefreshEvent = 1039;

    enum class Result { kIgnored, kHandled, kReplaced };

    DatabaseView() = default;
    ~DatabaseView();
    DatabaseView(const DatabaseView&) = delete;
    DatabaseView& operator=(const DatabaseView&) = delete;

    void SetHost(DatabaseViewHost* host) { host_ = host; }
    void SetFlags(uint32_t flags) { flags_ = flags; }
    uint32_t Flags() const { return flags_; }
    void SetStateWord(int32_t word) { stateWord_ = word; }
    // The number of the table shown, for the wildcard lookup's query; -1 for the book's default
    // table, which has no number of its own.
    void SetTableNumber(int32_t table) { tableNumber_ = table; }
    int32_t StateWord() const { return stateWord_; }
    int32_t TableNumber() const { return tableNumber_; }
    // The number of the table the current level lists: the plain view's own table on levels 0
    // and 1 (the search history's number for the default table when it has none), -1 elsewhere
    // (the key table, query levels).
    int32_t LevelTableNumber() const;
    // Where the request that made the view started (a text position, -1 none), and the two
    // extra texts it gave; kept for the creator.
    void SetStartPosition(int64_t position) { startPosition_ = position; }
    int64_t StartPosition() const { return startPosition_; }
    void SetExtraTexts(const String& first, const String& second) {
        extra_[0] = first;
        extra_[1] = second;
    }
    const String& ExtraText(uint32_t i) const { return extra_[i & 1]; }
    // Where the search typed in the view is remembered when the view closes (the reader
    // settings'); null remembers nothing.
    void SetRememberedSearch(RememberedSearch* remembered) { remembered_ = remembered; }
    // The number of rows that fit the list area, without and with the preview pane under it.
    void SetRowsPerPage(uint32_t rows);
    void SetRowsPerPage(uint32_t rows, uint32_t rowsWithPreview);

    // The preview pane (the reader shows previews, and the view has no name): on the last
    // level the selected entry's target is shown under the list and follows the selection.
    void SetPreviewEnabled(bool on) { previewEnabled_ = on; }
    bool PreviewShown() const { return previewShown_; }
    // The entry the pane shows, -1 none.
    int64_t PreviewPosition() const { return previewPosition_; }
    void PaintPreview(GraphicsContext& gc, const Rect& area);

    // The native field (not owned; null: the view keeps its own text). It gets the input mode
    // and the level's text at once.
    void SetSearchField(SearchField* field);
    SearchField* Field() const { return field_; }

    // A record set alone: the plain view's level 0, its only level.
    bool AttachRecordSet(IndexSource* set);
    // A plain table at level 1; with a key table, level 2 lists an entry's keys (keyTag values).
    bool AttachSource(IndexSource* table, IndexSource* keyTable, uint32_t keyTag);
    // As AttachSource, opened on one entry's keys (entry mode: Back leaves the view).
    bool ShowEntry(IndexSource* table, IndexSource* keyTable, uint32_t keyTag, uint32_t entry);
    // A query view: one level per active leaf, then the matches.
    bool SetSource(IndexQuery* plan, const String& titleTemplate, const String& queryText);
    void SetName(const String& name);
    // The header of a plain view: the title on levels 0 and 1, the key template ("%key" the
    // entry whose keys are listed) on level 2.
    void SetTemplates(const String& title, const String& keyTemplate) {
        titleTemplate_ = title;
        keyTemplate_ = keyTemplate;
    }
    // A plain view's title when it was given none (a page opened again from its link).
    void SetDefaultTitle(const String& title) {
        if (!plan_ && titleTemplate_.IsEmpty()) titleTemplate_ = title;
    }
    const String& Name() const { return name_; }
    const String& GlobalName() const { return globalName_; }
    void SetSearchText(const String& text);

    uint32_t Level() const { return level_; }
    bool IsLastLevel() const;
    bool SearchFieldOn() const;
    bool RowsShown() const;
    bool NoMatch() const { return noMatch_; }
    const String& SearchText() const { return Current().search.search; }
    int32_t Selected() const { return Current().search.selected; }
    // The top entry of the level (an entry of the level's table), -1 when none.
    int32_t TopEntry() const { return Current().top; }
    // The entries of the visible rows, and whether the list ends on this page.
    const std::vector<uint32_t>& Rows() const { return rows_; }
    bool ListEndsOnPage() const { return endsOnPage_; }
    // The row's display text and tag-4 style bits.
    bool RowText(uint32_t row, String& out) const;
    uint32_t RowStyle(uint32_t row) const;
    bool RowExpandable(uint32_t row) const;
    bool BuildTitle(std::vector<DatabaseViewText::TitleRun>& runs) const;
    // Hints under the list (when the reader shows previews and the view has no name).
    void SetHintsEnabled(bool enabled) { hints_ = enabled; }
    // The string id of the hint to show now, 0 for none.
    uint32_t HintId() const;

    // Input: characters, 19 (erase), 23 (Enter), 1035-1038 (focus), 11-16 (paging), 1039.
    Result HandleEvent(int32_t event);
    Result ExecuteCommand(int32_t id);
    // A visible row chosen by the pen becomes the selection.
    bool SelectRow(int32_t row);
    static bool IsCommandEnabled(int32_t id) { return DatabaseViewText::IsCommandEnabled(id); }
    // The type-ahead timer's expiry.
    void OnTypeAheadTimer() { typeAhead_.Expire(); }

    // Opens the row: descent below the last level, else its target through the host.
    Result OpenEntry(uint32_t row);
    // The entry's target text position: link tag 22 (or else 25) followed, then tag 1; -1.
    static int64_t EntryTarget(const IndexSource& table, uint32_t entry);
    // The entry a row opens: the one its link tag names (22 before 25), else itself; -1 when
    // the link leads outside the table.
    static int64_t LinkedEntry(const IndexSource& table, uint32_t entry);

    bool SaveState(ByteStream& out) const;
    bool RestoreState(ByteStream& in);

private:
    struct LevelState {
        int32_t top = -1;
        int32_t chosen = -1;
        DatabaseViewLevel search;  // selection and search text
    };

    LevelState& Current() { return levels_[level_]; }
    const LevelState& Current() const { return levels_[level_]; }
    IndexSource* LevelSource() const;
    int32_t FirstEntry() const;
    int32_t NextEntry(int32_t entry) const;
    int32_t PreviousEntry(int32_t entry) const;
    int32_t LookupEntry(const String& text, bool& exact) const;
    bool EntryKey(int32_t entry, String& out) const;
    void Layout();
    void ResetLevel();
    Result Type(int32_t event);
    Result HandleEventInner(int32_t event);
    Result ExecuteCommandInner(int32_t id);
    // After an event or command that kept the view: opens, follows or closes the preview.
    void UpdatePreview(int32_t event);
    void ClosePreview();
    void ApplyRows();
    // Writes the level's text into the native field (its change notice is not typing).
    void ShowTextInField();
    Result ClearField();
    Result Enter();
    // The inflection and spelling strategies; kIgnored when they do not handle the text.
    Result LookupInflections(const String& text);
    Result SuggestSpellings(const String& text);
    // Opens an entry of the level's table as the exact-key strategy does.
    Result OpenTableEntry(int32_t entry);
    Result RunEntryScript(IndexSource& source, uint32_t entry);
    Result Back();
    bool MoveForward(uint32_t afterRow);
    bool MoveBack(uint32_t count);
    bool Descend(uint32_t entry, int32_t& toOpen);
    void ReleaseSources();
    uint32_t LastLevel() const;

    DatabaseViewHost* host_ = nullptr;
    uint32_t flags_ = 0;
    int32_t stateWord_ = -1;
    int32_t tableNumber_ = -1;
    String name_;
    String globalName_;
    String titleTemplate_;
    String keyTemplate_;
    String queryText_;
    // Plain view: the table (level 1), the key table and the keys shown at level 2.
    RefPtr<IndexQuery> table_;
    RefPtr<IndexSource> keyTable_;
    uint32_t keyTag_ = 0;
    std::vector<uint32_t> keys_;
    int32_t keysEntry_ = -1;
    bool entryMode_ = false;
    // Query view.
    RefPtr<IndexQuery> plan_;
    std::vector<LevelState> levels_ = std::vector<LevelState>(3);
    uint32_t level_ = 0;
    uint32_t rowsPerPage_ = 1;
    std::vector<uint32_t> rows_;
    bool endsOnPage_ = true;
    bool noMatch_ = false;
    DatabaseViewText::TypeAhead typeAhead_;
    bool hints_ = false;
    int32_t lastCommand_ = 0;
    // Level 0 only: a record set without a table behind it.
    bool recordSetOnly_ = false;
    int64_t startPosition_ = -1;
    String extra_[2];
    RememberedSearch* remembered_ = nullptr;
    bool previewEnabled_ = false;
    bool previewShown_ = false;
    int64_t previewPosition_ = -1;
    uint32_t fullRows_ = 1;
    uint32_t previewRows_ = 1;
    SearchField* field_ = nullptr;
    // Set while the view writes into its own field.
    bool settingText_ = false;
    // Cleared while an opened entry replaces the view: the search led somewhere.
    bool rememberOnClose_ = true;
};
