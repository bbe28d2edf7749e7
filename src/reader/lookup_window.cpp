#include "reader/lookup_window.h"

#include <algorithm>
#include <new>
#include <string>

#include "bookfiles/index_table.h"
#include "core/byte_stream.h"
#include "core/color.h"
#include "core/lang_name.h"
#include "core/resources.h"
#include "database/db_table.h"
#include "database/history_table.h"
#include "database/resource.h"
#include "database/table_record_set.h"
#include "document/sources/document_loader.h"
#include "document/sources/index_table_data_handle.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/input_event.h"
#include "media/image/icon_image.h"
#include "reader/document_controller.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"

namespace {

constexpr uint32_t kWhite = Color::Pack(255, 255, 255);
constexpr uint32_t kBlack = Color::Pack(0, 0, 0);
constexpr uint32_t kGrey = Color::Pack(127, 127, 127);
constexpr int32_t kMargin = 3;
// Strings.
constexpr uint32_t kVocabularyCaption = 5218;
constexpr uint32_t kAddQuestion = 5096;
constexpr uint32_t kDeleteQuestion = 5278;
constexpr uint32_t kDeleted = 5109;
constexpr uint32_t kNotFoundQuestion = 5110;
constexpr uint32_t kNotFoundCaption = 5111;
constexpr uint32_t kAdded = 5116;
constexpr uint32_t kAlreadyThere = 5117;
constexpr uint32_t kNoDictionary = 5118;
constexpr uint32_t kReadOnly = 5236;
constexpr uint32_t kSearchHistoryTitle = 5150;
constexpr uint32_t kStatusMs = 1500;
constexpr uint32_t kNoDictionaryMs = 1000;
// Events of the word list: delete the row, cycle its mark.
constexpr uint32_t kEventDelete = 20;
constexpr uint32_t kEventMark = 23;
constexpr uint32_t kTagPosition = 1;

String Res(uint32_t id) { return Lookup::ResourceText(id); }

std::u16string U16(const String& s) { return Lookup::Wide(s); }

void Box(GraphicsContext& gc, const Rect& r, const String& text, const FontStyle& font) {
    if (r.IsEmpty()) return;
    gc.SetBrushColor(kWhite);
    gc.SetPenColor(kGrey);
    gc.DrawRectangle(r, true);
    FontStyle styled = font;
    styled.flags = static_cast<uint8_t>(styled.flags | FontStyle::kUnderline);
    gc.SetFontStyle(styled);
    gc.SetTextColor(kBlack);
    const int32_t fit = gc.FitCount(text.Data(), text.Length(), r.width - 2 * kMargin);
    Size s{};
    gc.MeasureText(text.Data(), fit, s);
    gc.DrawText(text.Data(), fit, Point{r.x + std::max(kMargin, (r.width - s.width) / 2), r.y + kMargin});
}

}  // namespace

// ---- LookupWindow ----------------------------------------------------------------------------

LookupWindow::LookupWindow(DocumentController* document, ReaderController* reader)
    : document_(document), reader_(reader) {
    list_ = std::make_unique<ListControl>(nullptr, reader ? &reader->Timers() : nullptr,
                                          IconHost{});
    list_->SetClient(this);
    list_->SetParent(this);
}

LookupWindow::~LookupWindow() {
    list_->SetClient(nullptr);
    list_->Detach();
    list_.reset();
}

void LookupWindow::SetRecordSet(RecordSet* set, const RecordPosition& position) {
    set_.Assign(set);
    list_->SetRowSource(set);
    if (set && !position.afterLast && !position.beforeFirst) list_->ShowRecord(nullptr, position, true);
    UpdateTitle();
}

void LookupWindow::SetStatusTextById(uint32_t id) { status_ = Res(id); }

void LookupWindow::ShowEntry(const RecordPosition& row) {
    shownRow_ = row.afterLast || row.beforeFirst ? -1 : static_cast<int32_t>(row.value);
    Layout();
    list_->ShowRecord(nullptr, row, true);
    Redraw(nullptr);
}

bool LookupWindow::HasOtherTable() {
    String name;
    return set_ && set_->GetTableName(name, true);
}

bool LookupWindow::CurrentRow(int32_t& row) const {
    RecordPosition position;
    if (list_->GetCurrentItemExtent(position) && !position.afterLast && !position.beforeFirst) {
        row = static_cast<int32_t>(position.value);
        return true;
    }
    const int32_t count = set_ ? static_cast<int32_t>(set_->Count()) : 0;
    if (shownRow_ < 0 || shownRow_ >= count) return false;
    row = shownRow_;
    return true;
}

bool LookupWindow::SaveState(ByteStream& out) {
    const uint8_t tag[4] = {'L', 'I', 'S', 'T'};
    return out.PutBytes(tag, 4) && list_->SaveState(out);
}

bool LookupWindow::RestoreState(ByteStream& in) {
    uint8_t tag[4] = {};
    if (in.Remaining() < 4 + 12 || !in.GetBytes(tag, 4)) return false;
    if (tag[0] != 'L' || tag[1] != 'I' || tag[2] != 'S' || tag[3] != 'T') return false;
    return list_->RestoreState(in);
}

bool LookupWindow::IsEnabled(int32_t id) {
    if (id == Cmd::kFind || id == Cmd::kAnnotations || id == Cmd::kToggleBookmark ||
        id == Cmd::kGoToPage || id == Cmd::kFirstPage || id == Cmd::kContents)
        return false;
    if ((id >= Cmd::kWindowPartFirst && id <= Cmd::kWindowPartLast) ||
        (id >= Cmd::kDeleteHighlight && id <= Cmd::kModify) ||
        (id >= Cmd::kEditNote && id <= Cmd::kSetLinkTarget))
        return false;
    return !(id >= Cmd::kStartAutoScroll && id <= Cmd::kToggleAutoScroll);
}

bool LookupWindow::RunCommand(int32_t id) {
    switch (id) {
        case Cmd::kBack: {
            // Back replaces this window: nothing of it is touched afterwards.
            DocumentController* document = document_;
            if (document) document->HistoryBack();
            return true;
        }
        case Cmd::kFullScreen:
            if (reader_) reader_->PostCommand(Cmd::kFullScreen);
            return true;
        case Cmd::kNextPage: case Cmd::kPreviousPage: case Cmd::kScrollForward:
        case Cmd::kScrollBack: case Cmd::kScrollForwardThree: case Cmd::kScrollBackThree:
        case Cmd::kResetList:
            status_.SetEmpty();
            Layout();
            list_->ExecuteCommand(static_cast<uint32_t>(id), 0);
            Redraw(nullptr);
            return true;
        case Cmd::kShowStatus:
            if (!status_.IsEmpty() && reader_) {
                reader_->ShowBusyText(status_, kStatusMs);
                status_.SetEmpty();
            }
            return true;
        default:
            return false;
    }
}

bool LookupWindow::Show(bool show) {
    shown_ = show;
    list_->Show(show);
    if (show) Refresh();
    return true;
}

void LookupWindow::Refresh() {
    UpdateTitle();
    Layout();
    Redraw(nullptr);
}

bool LookupWindow::HandleEvent(InputEvent& event) {
    if (event.IsPen()) {
        // A tap on a row opens it (the list control itself steps only by keys).
        if (event.code != kPenUp) return event.code == kPenDown;
        for (int32_t i = 0;; ++i) {
            const ListControl::RowRecord* row = list_->Row(i);
            if (!row) return false;
            const Rect& r = row->rowArea;
            if (event.point.x < r.x || event.point.x >= r.Right() || event.point.y < r.y ||
                event.point.y >= r.Bottom())
                continue;
            // Opening may replace this window: nothing of it is touched afterwards.
            OnActivate(row->position);
            return true;
        }
    }
    const uint32_t command = event.Command();
    if (command != kNoCommand && command != 0) {
        RunCommand(static_cast<int32_t>(command));
        return true;
    }
    return Widget::HandleEvent(event) || list_->HandleEvent(event);
}

void LookupWindow::ExecuteCommand(uint32_t command, uint32_t) {
    RunCommand(static_cast<int32_t>(command));
}

void LookupWindow::OnFocusChanged(bool gained) {
    if (gained) list_->Focus();
}

Rect& LookupWindow::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    out = in;
    Layout();
    return out;
}

void LookupWindow::Layout() {
    int32_t line = 16;
    if (DrawScope scope{this}) {
        scope.Context()->SetFontStyle(font_);
        line = std::max(1, scope.Context()->FontAscent() + scope.Context()->FontDescent());
    }
    const int32_t boxHeight = line + 2 * kMargin;
    int32_t top = rect_.y, bottom = rect_.Bottom();
    titleRect_ = title_.IsEmpty() ? Rect{} : Rect{rect_.x, top, rect_.width, boxHeight};
    if (!title_.IsEmpty()) top += boxHeight;
    statusRect_ = status_.IsEmpty() ? Rect{} : Rect{rect_.x, bottom - boxHeight, rect_.width, boxHeight};
    if (!status_.IsEmpty()) bottom -= boxHeight;
    listRect_ = Rect{rect_.x, top, rect_.width, std::max(0, bottom - top)};
    Rect placed;
    list_->AdjustRect(placed, listRect_);
}

void LookupWindow::Redraw(const Rect* area) {
    if (rect_.IsEmpty() || (area && !Rect::Intersects(*area, rect_))) return;
    {
        DrawScope scope(this);
        if (!scope) return;
        GraphicsContext& gc = *scope.Context();
        Box(gc, titleRect_, title_, font_);
        Box(gc, statusRect_, status_, font_);
        gc.MarkChanged(&rect_);
    }
    list_->Redraw(area);
}

void LookupWindow::OnActivate(const RecordPosition& position) {
    if (position.afterLast || position.beforeFirst) return;
    OpenRow(static_cast<int32_t>(position.value));
}

// ---- WordListWindow --------------------------------------------------------------------------

WordListWindow::WordListWindow(DocumentController* document, ReaderController* reader,
                               DocumentLoader* loader)
    : LookupWindow(document, reader), loader_(loader) {}

WordListWindow::~WordListWindow() {
    // Every change was saved when it was made; this is the last chance for one that failed.
    if (DbTable* table = Table())
        if (Database* db = table->Owner(); db && !Database::Save(db)) db->NoteUnsaved();
}

DbTable* WordListWindow::Table() const {
    auto* set = dynamic_cast<TableRecordSet*>(set_.Get());
    return set ? set->Table() : nullptr;
}

void WordListWindow::UpdateTitle() {
    String name;
    const bool named = set_ && set_->GetTableName(name, false);
    const std::u16string wide = U16(name);
    const WordLists::Title t = WordLists::WordListTitle(named ? &wide : nullptr);
    title_ = Res(static_cast<uint32_t>(t.stringId));
    if (!t.suffix.empty()) {
        title_.AppendAscii(" ");
        title_.AppendChars(t.suffix.data(), static_cast<int32_t>(t.suffix.size()));
    }
}

String WordListWindow::LanguageCode() {
    String name, code;
    if (set_ && set_->GetTableName(name, false) && name.Length() >= 5) code.AssignSub(name, 3, 2);
    return code;
}

void WordListWindow::AddEntry(const VocabularyEntry& entry) {
    word_ = entry;
    AddCurrentWord();
}

bool WordListWindow::AddToWordList(const VocabularyEntry& entry, uint32_t) {
    word_ = entry;
    return AddCurrentWord();
}

bool WordListWindow::Save() {
    bool report = false;
    if (saver_.Save(Table(), &report)) return true;
    // A medium that refuses the list is said once, not after every word.
    if (report) SetStatusTextById(kReadOnly);
    return false;
}

bool WordListWindow::AddCurrentWord() {
    DbTable* table = Table();
    if (!table || word_.orth.IsEmpty() || !reader_) return false;
    const String& shown = word_.formatted.IsEmpty() ? word_.orth : word_.formatted;
    bool add = false;
    if (!word_.dict.IsEmpty()) {
        add = reader_->MessageBoxByIdArgs(kVocabularyCaption, kAddQuestion, MessageKind::kQuestion,
                                          &shown, 1);
    } else {
        const String code = LanguageCode();
        const std::u16string wide = U16(code);
        const std::string narrow(wide.begin(), wide.end());
        const uint16_t language = code.Length() == 2 ? LangName::Find(narrow.c_str()) : 0;
        if (language != 0 && reader_->Lookups().LookupForWordList(word_.orth, language)) return false;
        add = reader_->MessageBoxByIdArgs(kNotFoundCaption, kNotFoundQuestion,
                                          MessageKind::kQuestion, &word_.orth, 1);
    }
    if (!add) return false;
    if (table->Owner() && table->Owner()->IsReadOnly()) {
        SetStatusTextById(kReadOnly);
        Refresh();
        return false;
    }
    const int32_t row = WordList::AddRow(table, word_);
    if (row < 0) return false;
    SetStatusTextById(kAdded);
    Save();
    UpdateTitle();
    ShowEntry(RecordPosition::At(row));
    return true;
}

bool WordListWindow::AskWord() {
    if (!reader_ || !Table()) return false;
    String text;
    const uint32_t mode = LanguageCode() == String(u"ja") ? 17 : 9;
    if (!reader_->AskText(text, mode) || text.IsEmpty()) return false;
    VocabularyEntry probe;
    probe.orth = text;
    const int32_t found = WordList::FindRow(probe, Table());
    String formatted;
    const int32_t column = Table()->FindColumn(String(u"formatted"));
    if (found >= 0 && (column < 0 || !Table()->GetText(found, column, formatted) || formatted.IsEmpty())) {
        SetStatusTextById(kAlreadyThere);
        ShowEntry(RecordPosition::At(found));
        return false;
    }
    word_ = VocabularyEntry();
    word_.orth = text;
    return AddCurrentWord();
}

bool WordListWindow::DeleteCurrentRow() {
    int32_t row = -1;
    DbTable* table = Table();
    if (!table || !reader_ || !CurrentRow(row)) return false;
    String word;
    if (!WordList::RowWord(table, row, word)) return false;
    if (!reader_->MessageBoxByIdArgs(kVocabularyCaption, kDeleteQuestion, MessageKind::kQuestion,
                                     &word, 1))
        return false;
    if (!table->DeleteRecord(row)) return false;
    Save();
    const int32_t count = table->RowCount();
    SetStatusTextById(kDeleted);
    if (count > 0) ShowEntry(RecordPosition::At(std::min(row, count - 1)));
    else Refresh();
    return true;
}

bool WordListWindow::SetCurrentMark(int mark) {
    int32_t row = -1;
    if (!CurrentRow(row) || !WordList::SetMark(Table(), row, mark)) return false;
    Save();
    Redraw(nullptr);
    return true;
}

bool WordListWindow::RunCommand(int32_t id) {
    switch (id) {
        case Cmd::kAddWordToList: return AddCurrentWord();
        case Cmd::kSetRowMark0: case Cmd::kSetRowMark1: case Cmd::kSetRowMark2:
            return SetCurrentMark(id - Cmd::kSetRowMark0);
        case Cmd::kCycleRowMark: return SetCurrentMark(-1);
        case Cmd::kDeleteRow: return DeleteCurrentRow();
        case Cmd::kAskWord: return AskWord();
        default: return LookupWindow::RunCommand(id);
    }
}

bool WordListWindow::HandleEvent(InputEvent& event) {
    const uint32_t code = event.Code();
    if (code == kEventDelete) return DeleteCurrentRow() || true;
    if (code == kEventMark) return SetCurrentMark(-1) || true;
    return LookupWindow::HandleEvent(event);
}

void WordListWindow::OpenRow(int32_t row) {
    DbTable* table = Table();
    if (!table || !loader_) return;
    const int32_t dictColumn = table->FindColumn(String(u"dict"));
    const int32_t orthColumn = table->FindColumn(String(u"orth"));
    String dict, orth, formatted;
    if (dictColumn < 0 || orthColumn < 0 || !table->IsTextColumn(dictColumn) ||
        !table->IsTextColumn(orthColumn) || !table->GetText(row, orthColumn, orth) || orth.IsEmpty())
        return;
    const int32_t formattedColumn = table->FindColumn(String(u"formatted"));
    if (formattedColumn >= 0) table->GetText(row, formattedColumn, formatted);
    uint32_t ent = 0;
    const int32_t entColumn = table->FindColumn(String(u"ent"));
    const bool hasEnt = entColumn >= 0 && table->GetNumber(row, entColumn, ent);
    table->GetText(row, dictColumn, dict);

    // The dictionary's table through the loader, without its messages.
    RefPtr<IndexTableDataHandle> handle;
    if (!dict.IsEmpty()) {
        uint8_t saved[2] = {};
        loader_->SetFlags(0, 0, saved);
        handle = RefPtr<IndexTableDataHandle>::Adopt(
            IndexTableDataHandle::From(loader_->OpenString(WordList::DictionaryTable(dict), nullptr)));
        loader_->RestoreFlags(saved);
    }
    String link;
    if (handle && handle->Table().IsOpen()) {
        const IndexTable& index = handle->Table();
        IndexLookup lookup(&index, handle->Tables().FindNamingTable());
        const std::u16string key = U16(orth), shown = U16(formatted);
        auto fits = [&](IndexPosition p) {
            std::u16string k, h;
            if (!lookup.Fetch(&k, p) || k != key) return false;
            return shown.empty() || (lookup.Resolve(&h, p, u"") && h == shown);
        };
        IndexPosition position;
        bool found = hasEnt && index.PositionFromEntry(ent, &position) && fits(position);
        if (!found && index.Lookup(key.data(), key.size(), &position, 0)) {
            // Entries with that key follow one another: the first that fits.
            for (int guard = 0; guard < 1000 && !found; ++guard) {
                std::u16string k;
                if (!lookup.Fetch(&k, position) || k != key) break;
                found = fits(position);
                if (!found && index.StepEntry(&position, 1) != 0) break;
            }
        }
        IndexEntryReader reader;
        std::vector<uint32_t> values;
        uint32_t count = 0;
        if (found && reader.Open(&index)) {
            IndexPosition target = position;
            const bool first = reader.FollowLink(&target, 25);
            const bool second = reader.FollowLink(&target, 22);
            if (!(first || second)) target = position;
            const int32_t entry = index.EntryFromPosition(position);
            if (reader.Seek(target) == 0 && reader.FindTag(kTagPosition, &count, &values) == 0 &&
                !values.empty() && entry >= 0) {
                String book;
                book.AssignSub(dict, 0, dict.IndexOf(u'$'));
                link = WordList::EntryLink(book, values.front(), index.GetTableId(),
                                           static_cast<uint32_t>(entry));
            }
        }
    }
    handle.Reset();
    if (link.IsEmpty()) {
        if (reader_) reader_->ShowTextFor(kNoDictionary, kNoDictionaryMs);
        return;
    }
    // The link replaces this window: nothing of it is touched afterwards.
    DocumentController* document = document_;
    if (document) document->ActivateLink(link);
}

// ---- SearchHistoryWindow ---------------------------------------------------------------------

SearchHistoryWindow::SearchHistoryWindow(DocumentController* document, ReaderController* reader,
                                         HistoryTable* history)
    : LookupWindow(document, reader), history_(history) {}

SearchHistoryWindow::~SearchHistoryWindow() {
    if (history_) history_->ReleaseCursors();
}

void SearchHistoryWindow::UpdateTitle() { title_ = Res(kSearchHistoryTitle); }

bool SearchHistoryWindow::Show(bool show) {
    if (!show && history_) history_->ReleaseCursors();
    return LookupWindow::Show(show);
}

bool SearchHistoryWindow::RunCommand(int32_t id) {
    if (id != Cmd::kClearSearchHistory) return LookupWindow::RunCommand(id);
    if (history_) {
        history_->Clear();
        if (!history_->Save()) history_->NoteUnsaved();
    }
    status_.SetEmpty();
    SetRecordSet(set_.Get(), RecordPosition::At(RecordPosition::kBeforeFirst));
    list_->ExecuteCommand(Cmd::kResetList, 0);
    Refresh();
    return true;
}

void SearchHistoryWindow::OpenRow(int32_t row) {
    String link;
    if (!history_ || !history_->GetFieldText(row, 2, link) || link.IsEmpty()) return;
    // The link replaces this window: nothing of it is touched afterwards.
    DocumentController* document = document_;
    if (document) document->ActivateLink(link);
}
