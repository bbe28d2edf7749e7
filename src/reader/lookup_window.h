// The windows over the rows of a database table: the vocabulary list (WordListWindow), where the
// reader opens a word's dictionary entry, marks, deletes and adds words, and the search history
// (SearchHistoryWindow), where an entry looked up before is opened again. Both are a LookupWindow:
// a title, a list control and a status line, filling the page.
//
// Re-entrancy: opening a row or going back replaces the window from inside its own handler. The
// handlers copy what they need first and touch nothing of the window after the call that
// navigates; the owner parks a replaced window and frees it later.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "database/record_set.h"
#include "graphics/core/node.h"
#include "graphics/widgets/list_control.h"
#include "reader/reader_lookup.h"
#include "reader/word_lists.h"

class ByteStream;
class DbTable;
class DocumentController;
class DocumentLoader;
class DrawingSurface;
class HistoryTable;
class ReaderController;

class LookupWindow : public Widget, protected ListClient {
public:
    static constexpr int32_t kWordListKind = 4;
    static constexpr int32_t kSearchHistoryKind = 5;
    // "LIST", then the list control's three words.
    static constexpr uint32_t kStateTag = 0x4C495354;

    LookupWindow(DocumentController* document, ReaderController* reader);
    ~LookupWindow() override;
    LookupWindow(const LookupWindow&) = delete;
    LookupWindow& operator=(const LookupWindow&) = delete;

    virtual int32_t ViewKind() const = 0;
    // Attaches the set (a reference is kept) and shows the row unless the position is before
    // the first or after the last; the title follows the set.
    void SetRecordSet(RecordSet* set, const RecordPosition& position);
    RecordSet* GetRecordSet() const { return set_.Get(); }
    virtual void UpdateTitle() { title_.SetEmpty(); }
    const String& Title() const { return title_; }
    void SetStatusTextById(uint32_t id);
    void SetStatusText(const String& text) { status_ = text; }
    const String& StatusText() const { return status_; }
    // Lays out and shows the row.
    void ShowEntry(const RecordPosition& row);
    // The set names a further table.
    bool HasOtherTable();
    // The row the list shows as current (before the list is laid out, the row last shown);
    // false when none.
    bool CurrentRow(int32_t& row) const;
    // Opens the row as the list's activation does.
    void ActivateRow(int32_t row) { OpenRow(row); }
    ListControl& List() { return *list_; }

    bool SaveState(ByteStream& out);
    // Needs "LIST" and the list control's twelve bytes; false (nothing changed) otherwise.
    bool RestoreState(ByteStream& in);

    // A reader command; false when the window does not take it.
    virtual bool RunCommand(int32_t id);
    static bool IsEnabled(int32_t id);

    // Node.
    bool Show(bool show) override;
    bool IsShown() const override { return shown_; }
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void ExecuteCommand(uint32_t command, uint32_t argument) override;
    bool IsCommandEnabled(uint32_t command, uint32_t) override {
        return IsEnabled(static_cast<int32_t>(command));
    }
    void OnFocusChanged(bool gained) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(rect_, area); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return -128; }

protected:
    // ListClient: the row the user activated.
    void OnActivate(const RecordPosition& position) override;
    bool ExecuteClientCommand(uint32_t) override { return false; }
    bool TranslateEvent(InputEvent&, uint32_t&) override { return false; }
    virtual void OpenRow(int32_t row) = 0;
    void Layout();
    void Refresh();

    DocumentController* document_;
    ReaderController* reader_;
    RefPtr<RecordSet> set_;
    std::unique_ptr<ListControl> list_;
    String title_;
    String status_;
    Rect rect_{};
    Rect titleRect_{};
    Rect listRect_{};
    Rect statusRect_{};
    FontStyle font_{-12, FontStyle::kPlain, 1};
    bool shown_ = false;
    int32_t shownRow_ = -1;
};

// The user's vocabulary list: table "wl_" + language code of the word-list database.
class WordListWindow final : public LookupWindow, public WordListAdder {
public:
    WordListWindow(DocumentController* document, ReaderController* reader, DocumentLoader* loader);
    ~WordListWindow() override;

    int32_t ViewKind() const override { return kWordListKind; }
    void UpdateTitle() override;
    DbTable* Table() const;
    // The two-letter code of the table's language ("" when the name is too short).
    String LanguageCode();

    // The word to add next (posted as command 92 by the page that asks for it).
    void AddEntry(const VocabularyEntry& entry);
    const VocabularyEntry& CurrentWord() const { return word_; }
    // Commands 92-99, then those of every window.
    bool RunCommand(int32_t id) override;
    bool HandleEvent(InputEvent& event) override;
    // WordListAdder: a by-name look-up result joins this list.
    bool AddToWordList(const VocabularyEntry& entry, uint32_t languageMask) override;

    // Adds the current word: asks first, or, without a dictionary, looks for it in the
    // dictionaries of the list's language. False when nothing was added.
    bool AddCurrentWord();
    bool DeleteCurrentRow();
    bool SetCurrentMark(int mark);

protected:
    void OpenRow(int32_t row) override;

private:
    bool Save();
    bool AskWord();

    DocumentLoader* loader_;
    VocabularyEntry word_;
    WordListSaver saver_;
};

// The history of entries looked up; a row opens its entry again.
class SearchHistoryWindow final : public LookupWindow {
public:
    SearchHistoryWindow(DocumentController* document, ReaderController* reader,
                        HistoryTable* history);
    ~SearchHistoryWindow() override;

    int32_t ViewKind() const override { return kSearchHistoryKind; }
    void UpdateTitle() override;
    bool Show(bool show) override;
    // 104 empties the history; others go to every window's commands.
    bool RunCommand(int32_t id) override;

protected:
    void OpenRow(int32_t row) override;

private:
    RefPtr<HistoryTable> history_;
};
