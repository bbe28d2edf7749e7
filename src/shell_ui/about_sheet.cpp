#include "shell_ui/about_sheet.h"

#include "shell_ui/dialog_helpers.h"

namespace {
constexpr uint32_t kSheetTitle = 5083;
constexpr uint32_t kProductLine = 5258;
constexpr uint32_t kVersionString = 5173;
constexpr uint32_t kCreditsString = 5174;
constexpr int32_t kMargin = 6;
}  // namespace

AboutPage::AboutPage() {
    template_ = 171;
    title_ = 5422;
}

void AboutPage::OnInit() {
    SetItemFont(font_, 1071);
    SetItemTextRes(1115, kVersionString);
    SetItemTextRes(1093, kProductLine);
    RunLayout();
}

void AboutPage::OnLayout(int32_t, int32_t, int32_t right, int32_t) {
    for (int32_t id : {1071, 1115, 1093}) {
        RECT r = GetItemRect(window_, id);
        MoveWindowTo(GetItem(id), r.left, r.top, right - kMargin, r.bottom);
    }
}

CreditsPage::CreditsPage() {
    template_ = 174;
    title_ = 5341;
}

void CreditsPage::OnInit() {
    SetItemTextRes(1075, kCreditsString);
    RunLayout();
}

void CreditsPage::OnLayout(int32_t left, int32_t, int32_t right, int32_t bottom) {
    RECT title = GetItemRect(window_, kTitleItem);
    MoveWindowTo(GetItem(1075), left + kMargin, title.bottom + kMargin + 6, right - kMargin, bottom - kMargin);
}

AboutSheet::AboutSheet() {
    AddPage(std::make_unique<AboutPage>());
    AddPage(std::make_unique<CreditsPage>());
    SetSheetTitle(kSheetTitle);
}

bool AboutSheet::Show(HWND owner, ReaderController* controller) {
    return FirstPage() && FirstPage()->Run(owner, controller, true);
}
