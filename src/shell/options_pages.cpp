#include "shell/options_pages.h"

#include "bookfiles/configuration_store.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "graphics/core/bitmap_font.h"
#include "graphics/core/command_ids.h"
#include "library/library.h"
#include "paths/app_paths.h"
#include "platform/gdi.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell_ui/dialog_helpers.h"

// The 16 named colours of the layout engine (its header clashes with the library's containers).
int32_t PaletteIndexOfColour(uint32_t colour);
uint32_t PaletteColour(int32_t index);

namespace OptionRules {

int32_t TapActionRow(uint32_t tapAction) {
    switch (tapAction) {
        case 1: case 2: case 3: case 4: return static_cast<int32_t>(tapAction);
        case 7: return 5;
        case 9: return 6;
        default: return 0;
    }
}

int32_t TapActionCommand(int32_t row) {
    static constexpr int32_t kCommands[7] = {
        Cmd::kTapShowsPopup, Cmd::kTapHighlights, Cmd::kTapLooksUp,   Cmd::kTapAddsNote,
        Cmd::kTapModifies,   Cmd::kTapCopies,     Cmd::kTapResetsView};
    return row >= 0 && row < 7 ? kCommands[row] : Cmd::kTapShowsPopup;
}

int32_t FontSizeRow(int32_t s, int32_t lo, int32_t n, int32_t d, int32_t hi) {
    if (s == lo) return 0;
    if (s <= n - d) return 1;
    if (s <= n) return 2;
    if (s <= n + d) return 3;
    return s <= hi ? 4 : -1;
}

bool FontSizeOfRow(int32_t row, int32_t lo, int32_t n, int32_t d, int32_t hi, int32_t& out) {
    const int32_t sizes[5] = {lo, n - d, n, n + d, hi};
    if (row < 0 || row > 4) return false;
    out = sizes[row] < lo ? lo : sizes[row] > hi ? hi : sizes[row];
    return true;
}

int32_t OrientationCommand(int32_t row) {
    switch (row) {
        case 1: return Cmd::kQuarterRightOrientation;
        case 2: return Cmd::kQuarterLeftOrientation;
        case 3: return Cmd::kHalfTurnOrientation;
        default: return Cmd::kNormalOrientation;
    }
}

uint32_t LibraryMask(bool text, bool html, bool palmDoc) {
    return 8u | (text ? 2u : 0u) | (html ? 1u : 0u) | (palmDoc ? 4u : 0u);
}

std::vector<uint32_t> LibraryToggles(uint32_t viewMask, uint32_t newMask) {
    std::vector<uint32_t> out;
    for (uint32_t bit : {2u, 1u, 4u}) {
        if ((viewMask ^ newMask) & bit) out.push_back(bit);
    }
    if (!(viewMask & 8u)) out.push_back(8u);
    return out;
}

void AssignButton(uint32_t (&pending)[HardwareButtons::kButtonCount], int32_t button,
                  uint32_t command) {
    if (button < 0 || button >= HardwareButtons::kButtonCount) return;
    const bool had = pending[button] == command;
    for (uint32_t& p : pending) {
        if (p == command) p = OptionsSheet::kNoCommand;
    }
    pending[button] = had ? OptionsSheet::kNoCommand : command;
}

uint32_t ActionBitOf(uint32_t command) {
    for (const ButtonAction& a : HardwareButtons::kActions) {
        if (a.command == command) return a.actionBit;
    }
    return ReaderSettings::kUnassignedKey;
}

uint32_t CommandOfBit(uint32_t bit) {
    for (const ButtonAction& a : HardwareButtons::kActions) {
        if (a.actionBit == bit) return a.command;
    }
    return OptionsSheet::kNoCommand;
}

}  // namespace OptionRules

namespace {

int32_t lastPage = 0;

String ResText(uint32_t id) {
    const char16_t* text = LoadResString(id);
    return text ? String(text) : String();
}

void AddRows(DialogPage& page, int32_t list, std::initializer_list<uint32_t> ids) {
    for (uint32_t id : ids) page.ListAdd(list, ResText(id));
}

// Every options page records itself as the page to start from next time.
class IndexedPage : public OptionPage {
public:
    IndexedPage(ReaderController* controller, uint32_t templateId, uint32_t title, int32_t index)
        : controller_(controller), index_(index) {
        template_ = templateId;
        title_ = title;
    }
    ~IndexedPage() override {
        if (labelFont_) DeleteObject(labelFont_);
    }
    void OnActivate() override { OptionsSheet::SetLastPage(index_); }

protected:
    ReaderSettings* Settings() const {
        return controller_ ? controller_->GetSettings() : nullptr;
    }
    void RunCommand(int32_t command) {
        if (controller_) controller_->OnCommand(command, false);
    }
    // The page's labels in bold, at the size of the page's other texts so that they keep to
    // their one line.
    void BoldLabels(std::initializer_list<int32_t> ids) {
        if (!labelFont_) {
            auto ordinary = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
            LOGFONTW record{};
            if (ordinary && GetObjectW(ordinary, sizeof record, &record) == sizeof record) {
                record.lfWeight = FW_BOLD;
                labelFont_ = CreateFontIndirectW(&record);
            }
        }
        HFONT font = labelFont_ ? labelFont_ : font_;
        for (int32_t id : ids) SetItemFont(font, id);
    }
    ReaderController* controller_;
    int32_t index_;
    HFONT labelFont_ = nullptr;
};

class GeneralPage final : public IndexedPage {
public:
    GeneralPage(ReaderController* c, Library* dictionaries)
        : IndexedPage(c, 111, 5342, 0), dictionaries_(dictionaries) {}

protected:
    void OnInit() override {
        BoldLabels({1036, 1111});
        ReaderSettings* s = Settings();
        ListClear(1110);
        AddRows(*this, 1110, {5227, 5086, 5091, 5084, 5090, 5087, 5251});
        ListSetSel(1110, OptionRules::TapActionRow(s ? s->tapAction : 0));
        SetChecked(1037, s && s->libraryAtStart);
        SetChecked(1034, s && s->touchPageTurn);
        FillDictionaries();
    }
    bool OnOk() override {
        ReaderSettings* s = Settings();
        const int32_t row = ListGetSel(1002);
        // Only a changed choice is written: OK alone never forgets the chosen dictionary.
        if (filled_ && row >= 0 && row != initialRow_ && row < static_cast<int32_t>(paths_.size()) &&
            s && s->Store()) {
            const String& path = paths_[static_cast<size_t>(row)];
            s->Store()->SetBlob64(path.Data(), static_cast<uint32_t>(path.Length()) * 2u);
        }
        if (s) s->libraryAtStart = IsChecked(1037) ? 1 : 0;
        RunCommand(OptionRules::TapActionCommand(ListGetSel(1110)));
        if (s) s->touchPageTurn = IsChecked(1034) ? 1 : 0;
        if (controller_ && controller_->GetDocumentController())
            controller_->GetDocumentController()->ResetViewElement();
        return true;
    }

private:
    void ListClear(int32_t id) { SendItemMessage(id, LB_RESETCONTENT, 0, 0); }
    // Rows keep the paths they had when filled, so a card change meanwhile cannot shift them.
    void FillDictionaries() {
        ListClear(1002);
        paths_.clear();
        ListAdd(1002, ResText(5367));
        paths_.emplace_back();
        String stored;
        ReaderSettings* s = Settings();
        if (s && s->Store()) {
            uint32_t bytes = 0;
            const uint8_t* data = s->Store()->GetBlob64(&bytes);
            if (data && bytes >= 2) {
                stored.AssignChars(reinterpret_cast<const char16_t*>(data),
                                   static_cast<int32_t>(bytes / 2));
            }
        }
        initialRow_ = 0;
        if (dictionaries_) {
            dictionaries_->Refresh();
            for (int32_t i = 0; i < dictionaries_->GetBookCount(); ++i) {
                Text name;
                String path;
                if (!dictionaries_->GetBookName(i, name) || !dictionaries_->GetBookValue(i, path))
                    continue;
                String wide;
                name.ToWide(wide);
                ListAdd(1002, wide);
                if (!stored.IsEmpty() && SameText(path, stored))
                    initialRow_ = static_cast<int32_t>(paths_.size());
                paths_.push_back(path);
            }
        }
        ListSetSel(1002, initialRow_);
        filled_ = true;
    }
    static bool SameText(const String& a, const String& b) {
        Text x, y;
        return x.FromString(a) && y.FromString(b) && x.Equals(y, false, false);
    }
    Library* dictionaries_;
    std::vector<String> paths_;
    int32_t initialRow_ = 0;
    bool filled_ = false;
};

class ColorsPage final : public IndexedPage {
    static constexpr int32_t kNamedColourCount = 16;
    static constexpr uint32_t kCustomColourString = 5940;

public:
    explicit ColorsPage(ReaderController* c) : IndexedPage(c, 112, 5338, 2) {
        if (ReaderSettings* s = Settings()) {
            s->GetBackgroundColour(background);
            s->GetTextColour(text);
            s->GetHighlightColour(highlight);
            s->GetModifyColour(modify);
            s->GetHyperlinkColour(link);
        }
    }
    uint32_t text = 0, highlight = 0, modify = 0, background = 0xFFFFFF, link = 0;

protected:
    void OnInit() override {
        BoldLabels({1039, 1040, 1041, 1042, 1099});
        const std::pair<int32_t, uint32_t> lists[5] = {
            {1065, text}, {1064, highlight}, {1062, modify}, {1067, background}, {1098, link}};
        for (const auto& [id, colour] : lists) {
            for (uint32_t s = 5064; s <= 5079; ++s) ListAdd(id, ResText(s));
            int32_t row = PaletteIndexOfColour(colour);
            // A colour outside the named sixteen (the reader's own defaults) is shown as such,
            // never as an empty value; choosing it keeps the colour.
            if (row < 0) {
                ListAdd(id, ResText(kCustomColourString));
                row = kNamedColourCount;
            }
            ListSetSel(id, row);
        }
    }
    bool OnOk() override {
        ReaderSettings* s = Settings();
        if (!s) return true;
        // A list left without a choice keeps its colour (the defaults are not named colours).
        auto pick = [this](int32_t id, uint32_t old) {
            const int32_t row = ListGetSel(id);
            return row >= 0 && row < kNamedColourCount ? PaletteColour(row) : old;
        };
        s->SetColours(pick(1065, text), pick(1098, link), pick(1067, background),
                      pick(1062, modify), pick(1064, highlight));
        return true;
    }
};

class FontsPage final : public IndexedPage {
public:
    FontsPage(ReaderController* c, ColorsPage* colours)
        : IndexedPage(c, 114, 5347, 1), colours_(colours) {}
    ~FontsPage() override {
        if (preview_) DeleteObject(preview_);
        if (pen_) DeleteObject(pen_);
    }

protected:
    void OnInit() override {
        BoldLabels({1056, 1057, 1068});
        ReaderSettings* s = Settings();
        Text face;
        if (s) s->GetFontFace(face, false);
        HDC dc = GetDC(window_);
        EnumFontFamiliesW(dc, nullptr, &FontsPage::AddFace, reinterpret_cast<LPARAM>(this));
        ReleaseDC(window_, dc);
        AddFontDatabases();
        int32_t row = -1;
        // With the bitmap profile on, its font database is the face shown.
        Text database;
        if (s && s->ProfileFlag() != 0 && s->GetFontFace(database, true)) {
            for (int32_t i = 0; i < static_cast<int32_t>(paths_.size()) && row < 0; ++i) {
                Text t;
                const std::u16string& path = paths_[static_cast<size_t>(i)];
                if (!path.empty() && t.FromWide(path.c_str()) && t.Equals(database, false, false))
                    row = i;
            }
        }
        for (int32_t i = 0; i < static_cast<int32_t>(faces_.size()) && row < 0; ++i) {
            if (!paths_[static_cast<size_t>(i)].empty()) continue;
            Text t;
            const std::u16string& name = faces_[static_cast<size_t>(i)];
            t.FromWide(name.data(), static_cast<int32_t>(name.size()));
            if (t.Equals(face, false, false)) row = i;
        }
        const char16_t* fallback = GetPlatformType() == 2 ? u"Nina" : u"Tahoma";
        for (int32_t i = 0; i < static_cast<int32_t>(faces_.size()) && row < 0; ++i) {
            if (faces_[static_cast<size_t>(i)] == fallback) row = i;
        }
        ListSetSel(1004, row < 0 ? 0 : row);
        AddRows(*this, 1060, {5055, 5053, 5052, 5051, 5054});
        if (s) {
            const int32_t r = OptionRules::FontSizeRow(s->FontSize(), s->MinFontSize(),
                                                       s->DefaultFontSize(), SizeStep(),
                                                       s->MaxFontSize());
            if (r >= 0) ListSetSel(1060, r);
            SetChecked(1058, s->clearType != 0);
            SetChecked(1059, s->underlineLinks != 0);
        }
        pen_ = CreatePen(PS_SOLID, 0, 0xC0C0C0);
        RebuildPreview();
    }
    void OnCommand(WPARAM wParam, LPARAM) override {
        const int32_t id = LOWORD(wParam);
        if (id == 1004 || id == 1058 || id == 1060) RebuildPreview();
    }
    bool OnStaticColour(HDC dc, HWND control) override {
        if (!colours_ || control != GetItem(1063)) return false;
        SetTextColor(dc, colours_->text);
        SetBkColor(dc, colours_->background);
        return true;
    }
    void OnPaint(HDC dc) override {
        HWND label = GetItem(1068);
        if (!pen_ || !label) return;
        RECT r{}, page{};
        GetWindowRect(label, &r);
        POINT p{r.left, r.bottom};
        ScreenToClient(window_, &p);
        GetClientRect(window_, &page);
        HGDIOBJ old = SelectObject(dc, pen_);
        MoveToEx(dc, 8, p.y + 4, nullptr);
        LineTo(dc, page.right - 8, p.y + 4);
        SelectObject(dc, old);
    }
    // The face is stored on OK only: opening the page or Cancel never changes it.
    // A font database's row selects the bitmap profile and a family's the system one, before
    // the size, so that the size chosen with it is that profile's.
    bool OnOk() override {
        ReaderSettings* s = Settings();
        if (!s) return true;
        const int32_t row = ListGetSel(1004);
        if (row >= 0 && row < static_cast<int32_t>(faces_.size()) &&
            !faces_[static_cast<size_t>(row)].empty()) {
            const std::u16string& path = paths_[static_cast<size_t>(row)];
            const std::u16string& name = path.empty() ? faces_[static_cast<size_t>(row)] : path;
            Text face;
            if (face.FromWide(name.data(), static_cast<int32_t>(name.size()))) {
                s->SetFontFace(face, !path.empty());
                s->SelectProfile(!path.empty());
            }
        }
        int32_t size = 0;
        if (OptionRules::FontSizeOfRow(ListGetSel(1060), s->MinFontSize(), s->DefaultFontSize(),
                                       SizeStep(), s->MaxFontSize(), size))
            s->SetFontSize(size);
        s->SetClearTypeFlag(IsChecked(1058) ? 1 : 0);
        s->underlineLinks = IsChecked(1059) ? 1 : 0;
        return true;
    }

private:
    static int AddFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
        auto* page = reinterpret_cast<FontsPage*>(data);
        const std::u16string name(font->lfFaceName);
        page->ListAdd(1004, String(name.c_str()));
        page->faces_.push_back(name);
        page->paths_.emplace_back();
        return 1;
    }
    // The font databases beside the program (where its own "folvtype.prc" is), by file title.
    void AddFontDatabases() {
        Text folder;
        if (!AppPaths::GetModuleDirectory(folder) || !folder.WideCStr()) return;
        const std::u16string base(folder.WideCStr());
        for (const std::u16string& file : BitmapFont::FindDatabases(base)) {
            const std::u16string title = file.substr(0, file.size() - 4);  // less ".prc"
            ListAdd(1004, String(title.c_str()));
            faces_.push_back(title);
            paths_.push_back(base + file);
        }
    }
    void RebuildPreview() {
        if (preview_) {
            SendItemMessage(1063, WM_SETFONT, 0, 0);
            DeleteObject(preview_);
        }
        const int32_t row = ListGetSel(1004);
        const char16_t* face = row >= 0 && row < static_cast<int32_t>(faces_.size())
                                   ? faces_[static_cast<size_t>(row)].c_str()
                                   : nullptr;
        // A font database is previewed by its name only.
        const char16_t* shown = face;
        if (face && !paths_[static_cast<size_t>(row)].empty()) face = nullptr;
        // The preview shows the size the size row stands for, as the page will draw it.
        int32_t size = 0;
        if (ReaderSettings* s = Settings()) {
            if (!OptionRules::FontSizeOfRow(ListGetSel(1060), s->MinFontSize(),
                                            s->DefaultFontSize(), SizeStep(), s->MaxFontSize(),
                                            size))
                size = s->FontSize();
            HDC dc = GetDC(window_);
            const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
            if (dc) ReleaseDC(window_, dc);
            if (dpi > 96) size = size * dpi / 96;
        }
        preview_ = CreateUiFont(window_, size, face, false, IsChecked(1058), false, false);
        SendItemMessage(1063, WM_SETFONT, reinterpret_cast<WPARAM>(preview_), 1);
        // The face shows itself.
        SetItemText(1063, String(shown ? shown : u"Tahoma"));
    }
    // The settings' step between the named sizes beside "Normal".
    int32_t SizeStep() const {
        const ReaderSettings* s = Settings();
        return s && s->fontSizeStep ? s->fontSizeStep : 1;
    }
    ColorsPage* colours_;
    std::vector<std::u16string> faces_;
    std::vector<std::u16string> paths_;  // a font database's path, empty for a family
    HFONT preview_ = nullptr;
    HPEN pen_ = nullptr;
};

class DisplayPage final : public IndexedPage {
public:
    DisplayPage(ReaderController* c, bool pendingGiven, bool pending)
        : IndexedPage(c, 113, 5343, 3), pendingGiven_(pendingGiven), pending_(pending) {}

protected:
    void OnInit() override {
        BoldLabels({1055});
        ReaderSettings* s = Settings();
        uint32_t x = 0, y = 0;
        if (s) s->GetMargins(x, y);
        marginsShown_ = static_cast<int32_t>(x) > 1;
        SetChecked(1044, marginsShown_);
        AddRows(*this, 1003, {5309, 5310, 5308, 5307});
        ListSetSel(1003, CanRotateScreen() ? GetScreenOrientation()
                                           : static_cast<int32_t>(s ? s->orientation : 0));
        SetChecked(1053, s && s->alignment == 4);
        SetChecked(1054, pendingGiven_ ? pending_ : (s && s->fullScreen));
        SetChecked(1061, s && s->progressBar);
    }
    bool OnOk() override {
        ReaderSettings* s = Settings();
        if (!s) return true;
        s->alignment = IsChecked(1053) ? 4 : 1;
        // Margins change only with the check box, so custom margins survive OK.
        const bool shown = IsChecked(1044);
        if (shown != marginsShown_) {
            uint32_t x = 1, y = 1;
            if (shown) s->GetDefaultMargins(x, y);
            s->SetMargins(x, y);
        }
        s->fullScreen = IsChecked(1054) ? 1 : 0;
        s->progressBar = IsChecked(1061) ? 1 : 0;
        const int32_t row = ListGetSel(1003);
        s->orientation = row < 0 ? 0 : static_cast<uint32_t>(row);
        RunCommand(OptionRules::OrientationCommand(row));
        return true;
    }

private:
    bool pendingGiven_;
    bool pending_;
    bool marginsShown_ = false;
};

class ButtonsPage final : public IndexedPage {
public:
    explicit ButtonsPage(ReaderController* c) : IndexedPage(c, 147, 5387, 5) {
        for (uint32_t& p : pending_) p = OptionsSheet::kNoCommand;
    }

protected:
    void OnInit() override {
        BoldLabels({1094});
        HardwareButtons::Register(window_, nullptr, false);
        if (ReaderSettings* s = Settings()) {
            for (int32_t i = 0; i < ReaderSettings::kKeyCount; ++i)
                pending_[i] = OptionRules::CommandOfBit(s->GetKey(i));
        }
        uint32_t major = 0, minor = 0;
        const bool old = GetOsVersion(major, minor) && major * 100 + minor < 420;
        SendItemMessage(1094, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, old ? 0x10000020 : 0x30000020);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH;
        SendItemMessage(1094, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        column.fmt = 1;  // right-aligned
        SendItemMessage(1094, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
        for (int32_t i = 0; i < HardwareButtons::kActionCount; ++i) {
            const char16_t* text = LoadResString(HardwareButtons::kActions[i].stringId);
            std::u16string label = text ? text : u"";
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = label.data();
            SendItemMessage(1094, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        SizeColumns();
        Refresh();
        SetFocus(GetItem(1094));
        LVITEMW state{};
        state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendItemMessage(1094, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
    void OnFocus() override { SetFocus(GetItem(1094)); }
    void OnKey(UINT key) override {
        const int32_t row =
            static_cast<int32_t>(SendItemMessage(1094, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                 LVNI_SELECTED));
        if (row < 0 || row >= HardwareButtons::kActionCount) return;
        for (int32_t b = 0; b < HardwareButtons::kButtonCount; ++b) {
            if ((key & 0xFF) == HardwareButtons::kButtons[b].virtualKey) {
                OptionRules::AssignButton(pending_, b, HardwareButtons::kActions[row].command);
                Refresh();
                return;
            }
        }
    }
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
        HWND label = GetItem(1095);
        HWND list = GetItem(1094);
        if (!label || !list) return;
        RECT r{};
        GetWindowRect(label, &r);
        const int32_t h = r.bottom - r.top;
        // Below the page's title line, as on every other page.
        top = std::max(top, BelowTitleLine());
        MoveWindow(label, left + 6, top + 3, right - left - 12, h, TRUE);
        MoveWindow(list, left + 6, top + h + 3, right - left - 12, bottom - top - h - 3, TRUE);
        SizeColumns();
    }
    void OnCommand(WPARAM wParam, LPARAM) override {
        // Cancel lets the buttons go too, or the main window could not take them back.
        const UINT id = LOWORD(wParam);
        if (id == IDCANCEL || id == DialogPage::kCancelKey) HardwareButtons::UnregisterAll(window_);
    }
    bool OnOk() override {
        if (ReaderSettings* s = Settings()) {
            for (int32_t i = 0; i < ReaderSettings::kKeyCount; ++i)
                s->SetKey(i, OptionRules::ActionBitOf(pending_[i]));
        }
        HardwareButtons::UnregisterAll(window_);
        return true;
    }

private:
    // The application buttons are named in the device's language; keys by their own character.
    static std::u16string ButtonName(int32_t b) {
        std::u16string name = HardwareButtons::kButtons[b].name;
        const size_t space = name.find(u' ');
        if (space == std::u16string::npos) return name;
        const char16_t* format = LoadResString(5997);
        if (!format) return name;
        std::u16string text = format;
        const size_t mark = text.find(u"%1");
        if (mark == std::u16string::npos) return name;
        return text.replace(mark, 2, name.substr(space + 1));
    }
    void SizeColumns() {
        RECT client{};
        GetClientRect(GetItem(1094), &client);
        const int32_t digit = static_cast<int32_t>(
            SendItemMessage(1094, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(u"0")));
        // Room for the widest button name, so an assignment can be read.
        int32_t second = 2 * digit;
        for (int32_t b = 0; b < HardwareButtons::kButtonCount; ++b) {
            const std::u16string name = ButtonName(b);
            const int32_t w = static_cast<int32_t>(SendItemMessage(
                1094, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(name.c_str())));
            if (w + digit > second) second = w + digit;
        }
        // A list longer than its page keeps its scroll bar at the right: the names end before it.
        const auto rows = static_cast<int32_t>(SendItemMessage(1094, LVM_GETITEMCOUNT, 0, 0));
        const auto page = static_cast<int32_t>(SendItemMessage(1094, LVM_GETCOUNTPERPAGE, 0, 0));
        const int32_t bar = rows > page ? GetSystemMetrics(SM_CXVSCROLL) : 0;
        const int32_t first = client.right - bar - second;
        SendItemMessage(1094, LVM_SETCOLUMNWIDTH, 0, first);
        SendItemMessage(1094, LVM_SETCOLUMNWIDTH, 1, second);
    }
    void Refresh() {
        for (int32_t row = 0; row < HardwareButtons::kActionCount; ++row) {
            std::u16string name;
            for (int32_t b = 0; b < HardwareButtons::kButtonCount; ++b) {
                if (pending_[b] == HardwareButtons::kActions[row].command) {
                    name = ButtonName(b);
                    break;
                }
            }
            LVITEMW item{};
            item.iSubItem = 1;
            item.pszText = name.data();
            SendItemMessage(1094, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(&item));
        }
    }
    uint32_t pending_[HardwareButtons::kButtonCount];
};

class LibraryPage final : public IndexedPage {
public:
    LibraryPage(ReaderController* c, LibraryTypeToggles* toggles)
        : IndexedPage(c, 209, 5063, 6), toggles_(toggles) {}

protected:
    void OnInit() override {
        BoldLabels({1018});
        ReaderSettings* s = Settings();
        SetChecked(1119, s && s->thumbnails);
        ShowItem(1119, false);
        const uint32_t mask = s ? (s->fileTypes & 0xFF) : 15;
        SetChecked(1101, mask & 2);
        SetChecked(1102, mask & 1);
        SetChecked(1103, mask & 4);
    }
    bool OnOk() override {
        const uint32_t mask =
            OptionRules::LibraryMask(IsChecked(1101), IsChecked(1102), IsChecked(1103));
        if (toggles_) {
            for (uint32_t bit : OptionRules::LibraryToggles(toggles_->FileTypeMask(), mask))
                toggles_->ToggleFileType(bit);
        }
        if (ReaderSettings* s = Settings()) s->fileTypes = mask;
        return true;
    }

private:
    LibraryTypeToggles* toggles_;
};

}  // namespace

OptionsSheet::OptionsSheet(ReaderController* controller, Library* dictionaries,
                           LibraryTypeToggles* toggles, bool pendingGiven, bool pendingFullScreen) {
    SetSheetTitle(5135);
    // The fonts page shows the colours page's choices: made first, added after it.
    auto colours = std::make_unique<ColorsPage>(controller);
    AddPage(std::make_unique<GeneralPage>(controller, dictionaries));
    AddPage(std::make_unique<FontsPage>(controller, colours.get()));
    AddPage(std::move(colours));
    AddPage(std::make_unique<DisplayPage>(controller, pendingGiven, pendingFullScreen));
    AddPage(std::make_unique<ButtonsPage>(controller));
    AddPage(std::make_unique<LibraryPage>(controller, toggles));
    SetStartPage(lastPage);
}

int32_t OptionsSheet::LastPage() { return lastPage; }
void OptionsSheet::SetLastPage(int32_t index) { lastPage = index; }
