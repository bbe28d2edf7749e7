// The reader controller's windows: pop-ups, the soft-key bars and list windows it switches
// between, the window title, the position bar, and the link the widgets call it through.
#include <algorithm>
#include <cstdint>
#include <string>

#include "bookfiles/annotation_file.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "document/location/location.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/position_bar.h"
#include "graphics/widgets/text_popup_window.h"
#include "platform/window/window.h"
#include "reader/book_actions.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

namespace {

constexpr const char* kCaptionSuffix = " - Folivant Reader";
constexpr const char* kProductCaption = "Folivant Reader";
// View modes of the document controller that pick a bar other than the reader bar.
constexpr uint32_t kPageMode = 1;
constexpr uint32_t kZoomMode = 3;
constexpr uint32_t kAudioMode = 6;
constexpr uint32_t kNoViewMode = 7;
// The buttons a message box answers with.
constexpr int32_t kButtonOk = 1;
constexpr int32_t kButtonCancel = 2;

String ResString(uint32_t id) {
    const char16_t* units = LoadResString(id);
    return String(units ? units : u"");
}

Point Centre(const Rect& r) {
    return Point{r.x + r.width / 2, r.y + r.height / 2};
}

}  // namespace

// ---- Pop-ups ---------------------------------------------------------------------------------

Rect ReaderController::CentredPopupArea() const {
    Size client;
    if ((popupRect_.width <= 0 || popupRect_.height <= 0) && surface_ &&
        surface_->GetClientSize(client, false))
        return Rect{0, 0, client.width, client.height};
    return popupRect_;
}

bool ReaderController::ShowBusyPopup(uint32_t stringId) {
    return ShowBusyPopupText(ResString(stringId));
}

bool ReaderController::ShowBusyPopupText(const String& text) {
    HideBusyPopup();
    if (!popupFactory_ || !surface_) return false;
    // Before the window has given its pop-up rectangle (a book's script flashing a text while
    // the book opens) the text would sit in an empty box at the corner: the window takes it.
    Rect area = popupRect_;
    Size client;
    if ((area.width <= 0 || area.height <= 0) && surface_->GetClientSize(client, false))
        area = Rect{0, 0, client.width, client.height};
    std::unique_ptr<TextPopup> popup = popupFactory_->CreateTextPopup(surface_);
    if (!popup || !popup->AddText(text, kBusyTextFlags) ||
        !popup->ShowAt(area, Centre(area), TextPopup::kCentred))
        return false;
    busyPopup_ = std::move(popup);
    // Seen before the slow work starts: nothing repaints until it ends.
    surface_->FlushDisplay();
    if (surface_->Window()) UpdateWindow(surface_->Window());
    return true;
}

void ReaderController::HideBusyPopup() {
    timers_.Stop(this, busyTimer_);
    std::unique_ptr<TextPopup> popup = std::move(busyPopup_);
    if (!popup) return;
    Rect covered{};
    if (TextPopupWindow* window = popup->PopupWindow()) covered = window->Rectangle();
    popup->Hide();
    // The pixels put back under it date from before the page gave the focus to the message: the
    // page paints that part again as it now stands (a focused link's mark included).
    if (surface_ && !covered.IsEmpty()) surface_->InvalidateRect(&covered);
}

void ReaderController::BusyCallback::Notify() {
    if (show_)
        owner_->ShowBusyPopup(kBusyString);
    else
        owner_->HideBusyPopup();
}

bool ReaderController::ShowTextFor(uint32_t stringId, uint32_t milliseconds) {
    return ShowBusyText(ResString(stringId), milliseconds);
}

bool ReaderController::ShowBusyText(const String& text, uint32_t milliseconds) {
    if (!ShowBusyPopupText(text)) {
        if (!shell_) return false;
        shell_->ShowText(text, milliseconds);
        return true;
    }
    // Hidden by the timer, never by waiting: a book that flashes messages in a loop must not
    // freeze the reader. A timer that cannot start leaves the text up until the next one.
    if (milliseconds > 0) timers_.StartOnce(this, milliseconds, busyTimer_, true);
    return true;
}

bool ReaderController::ShowNotePopup(int32_t index, Point anchor) {
    AnnotationFile* file = document_ ? document_->CurrentAnnotationFile() : nullptr;
    if (!file || index < 0 || !popupFactory_ || !surface_) return false;
    uint32_t length = 0;
    const char16_t* units = file->GetBookmarkText(index, &length);
    if (!units || length == 0) return false;
    HidePopupPage();
    // Its Edit and Delete links are performed by the controller, after the tap that chose them.
    std::unique_ptr<TextPopup> popup = popupFactory_->CreateTextPopupFor(surface_, LinkPerformer());
    if (!popup) return false;
    const String note(units, static_cast<int32_t>(length));
    if (!popup->AddText(note, kNoteTextFlags) ||
        !popup->AddLink(ResString(kEditString), kNoteLinkFlags, ReaderObjects::kBookmarks,
                        ReaderMethods::kEditAnnotation, index) ||
        !popup->AddText(String(u" - "), kNoteSeparatorFlags) ||
        !popup->AddLink(ResString(kDeleteString), kNoteLinkFlags, ReaderObjects::kBookmarks,
                        ReaderMethods::kRemove, index) ||
        !popup->ShowAt(popupRect_, anchor, TextPopup::kAtAnchor))
        return false;
    pagePopup_ = std::move(popup);
    return true;
}

bool ReaderController::ShowPopupPage(const String& text, uint32_t placement, Point anchor) {
    if (!popupFactory_ || !surface_) return false;
    HidePopupPage();
    std::unique_ptr<TextPopup> popup = popupFactory_->CreateTextPopup(surface_);
    if (!popup || !popup->AddText(text, 0)) return false;
    Rect area = popupRect_;
    if (placement == TextPopup::kCentred) {
        Size client;
        if (surface_->GetClientSize(client, false)) area = Rect{0, 0, client.width, client.height};
        anchor = Centre(area);
    } else {
        placement = TextPopup::kAtAnchor;
    }
    if (!popup->ShowAt(area, anchor, placement)) return false;
    pagePopup_ = std::move(popup);
    return true;
}

void ReaderController::HidePopupPage() {
    std::unique_ptr<TextPopup> popup = std::move(pagePopup_);
    if (popup) popup->Hide();
}

// ---- Bars and list windows -------------------------------------------------------------------

bool ReaderController::CreateViewWindows() {
    if (!viewFactory_) return false;
    using F = ReaderViewFactory;
    zoomBar_ = viewFactory_->CreateBar(F::Bar::kZoom, this);
    audioBar_ = viewFactory_->CreateBar(F::Bar::kAudio, this);
    readerBar_ = viewFactory_->CreateBar(F::Bar::kReader, this);
    const bool showReader = !(GetSettings() && GetSettings()->fullScreen);
    ShowBars(showReader, false, false);
    HWND parent = surface_ ? surface_->Window() : nullptr;
    annotationsWindow_ = viewFactory_->CreateListWindow(F::List::kAnnotations, this, parent);
    library_ = viewFactory_->CreateListWindow(F::List::kLibrary, this, parent);
    return zoomBar_ && audioBar_ && readerBar_ && annotationsWindow_ && library_;
}

void ReaderController::ShowBars(bool reader, bool audio, bool zoom) {
    if (readerBar_) readerBar_->Show(reader);
    if (audioBar_) audioBar_->Show(audio);
    if (zoomBar_) zoomBar_->Show(zoom);
}

void ReaderController::ToggleFullScreen(bool persist, bool activate) {
    HWND window = surface_ ? surface_->Window() : nullptr;
    if (!window) return;
    const uint32_t mode = document_ ? document_->ViewMode() : kNoViewMode;
    if (fullScreen_ && mode == kNoViewMode) return;
    const bool on = !fullScreen_;
    if (persist && GetSettings()) GetSettings()->fullScreen = on ? 1 : 0;
    if (readerBar_) readerBar_->OverrideLeftKey(on);
    const bool stored = GetSettings() && GetSettings()->fullScreen != 0;
    if (!(mode != kNoViewMode && !persist && on != stored)) {
        if (zoomBar_) zoomBar_->Show(mode == kZoomMode && !on);
        // The audio view keeps its own bar.
        if (readerBar_)
            readerBar_->Show(mode != kZoomMode && mode != kNoViewMode && mode != kAudioMode && !on);
    }
    // The window's new size lays the page out again: no line stays under a bar.
    if (shell_) shell_->SetFullScreen(on);
    fullScreen_ = on;
    if (activate) {
        SetForegroundWindow(window);
        SetFocus(window);
    }
}

void ReaderController::ShowLibrary() {
    InputPanel::Show(false);
    // The list takes the window: a scroll going on would move its picture, and it would hold
    // the backlight and its timer for a page nobody sees.
    if (surface_) surface_->DisplayCommand(Cmd::kStopAutoScroll);
    const Location* location = GetCurrentLocation();
    String fileName;
    if (location && location->ToString(fileName, false)) libraryBook_.Assign(fileName);
    if (annotationsWindow_) annotationsWindow_->Show(false);
    ShowBars(false, false, false);
    viewState_ = kOtherViewState;
    UpdatePositionBar();
    if (library_) {
        library_->Refresh(libraryBook_);
        library_->Show(true);
    }
    String caption;
    caption.AppendAscii(kProductCaption);
    SetCaption(caption);
}

void ReaderController::ShowAnnotations() {
    InputPanel::Show(false);
    if (surface_) surface_->DisplayCommand(Cmd::kStopAutoScroll);
    if (library_) library_->Show(false);
    ShowBars(false, false, false);
    viewState_ = kOtherViewState;
    UpdatePositionBar();
    if (annotationsWindow_) {
        annotationsWindow_->Refresh(String());
        annotationsWindow_->Show(true);
    }
}

void ReaderController::ShowReaderView() {
    InputPanel::Show(false);
    if (library_) library_->Show(false);
    if (annotationsWindow_) annotationsWindow_->Show(false);
    // The position bar goes with a page of text (pictures, covers and audio have none).
    const uint32_t mode = document_ ? document_->ViewMode() : kNoViewMode;
    OnViewChanged(nullptr, mode == kPageMode ? kReadingState : kOtherViewState);
}

void ReaderController::UpdateWindowTitle() {
    const uint32_t mode = document_ ? document_->ViewMode() : kNoViewMode;
    const bool full = GetSettings() && GetSettings()->fullScreen;
    // In full screen only the zoom and audio bars show; the reader bar gives way.
    ShowBars(mode != kZoomMode && mode != kAudioMode && mode != kNoViewMode && !full,
             mode == kAudioMode, mode == kZoomMode);
    if (GetSettings() && full != fullScreen_) {
        if (shell_ && shell_->SetFullScreen(full)) fullScreen_ = full;
    }
    String caption;
    if (document_) document_->GetTitle(caption);
    // A page without a title (a generated list, a query) is captioned by the program alone.
    caption.AppendAscii(caption.IsEmpty() ? kProductCaption : kCaptionSuffix);
    SetCaption(caption);
    if (surface_ && surface_->Window()) SetFocus(surface_->Window());
}

HWND ReaderController::CaptionWindow() const {
    // The surface draws into its frame window; the main window only stands in without one.
    if (surface_ && surface_->Window()) return surface_->Window();
    return mainWindow_;
}

void ReaderController::SetCaption(const String& caption) {
    HWND window = CaptionWindow();
    if (!window) return;
    const std::u16string text(caption.Data(), static_cast<size_t>(caption.Length()));
    SetWindowTextW(window, text.c_str());
}

bool ReaderController::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
    // Each window may close the other (or this controller's window) while it handles it.
    ListIterator guard;
    guard.Attach(&guards_);
    if (library_ && library_->RouteMessage(message, wParam, lParam, result)) return true;
    if (!guard.IsAlive()) return true;
    return annotationsWindow_ && annotationsWindow_->RouteMessage(message, wParam, lParam, result);
}

bool ReaderController::RouteCommand(int32_t id) {
    ListIterator guard;
    guard.Attach(&guards_);
    ReaderListWindow* lists[] = {library_.get(), annotationsWindow_.get()};
    for (ReaderListWindow* list : lists) {
        if (list && list->RouteCommand(id)) return true;
        if (!guard.IsAlive()) return true;
    }
    ReaderBar* bars[] = {audioBar_.get(), readerBar_.get(), zoomBar_.get()};
    for (ReaderBar* bar : bars) {
        if (bar && bar->RouteCommand(id)) return true;
        if (!guard.IsAlive()) return true;
    }
    return false;
}

void ReaderController::LayoutListWindows(const Rect& r) {
    if (library_) library_->Layout(r);
    if (annotationsWindow_) annotationsWindow_->Layout(r);
}

void ReaderController::FocusActiveList() {
    if (library_ && library_->IsVisible()) {
        library_->Focus();
    } else if (annotationsWindow_ && annotationsWindow_->IsVisible()) {
        annotationsWindow_->Focus();
    } else if (shell_) {
        shell_->ActivateFindDialog();
    }
}

void ReaderController::UpdateMenuBars() {
    if (readerBar_) readerBar_->UpdateItems();
    if (audioBar_) audioBar_->UpdateItems();
    if (zoomBar_) zoomBar_->UpdateItems();
}

void ReaderController::UpdateShownMenuBars() {
    // A hidden bar is brought up to date as it is shown.
    for (ReaderBar* bar : {readerBar_.get(), audioBar_.get(), zoomBar_.get()})
        if (bar && bar->IsVisible()) bar->UpdateShownItems();
}

void ReaderController::OnMenuOpening() {
    for (ReaderBar* bar : {readerBar_.get(), audioBar_.get(), zoomBar_.get()})
        if (bar && bar->IsVisible()) bar->OnMenuOpening();
}

// ---- View changes and the position bar -------------------------------------------------------

void ReaderController::OnViewChanged(const ReaderView* view, int32_t state) {
    viewState_ = state;
    barSuppressed_ = view && view->HidesPositionBar();
    UpdatePositionBar();
    if (HWND window = CaptionWindow()) ShowDoneButton(window, state == kDoneState);
    if (readerBar_) readerBar_->UpdateItems();
    if (audioBar_) audioBar_->UpdateItems();
    UpdateWindowTitle();
    if (surface_) {
        Size client;
        if (surface_->GetClientSize(client, false))
            SetPopupRect(Rect{0, 0, client.width, client.height}, true);
    }
}

void ReaderController::UpdatePositionBar() {
    const bool wanted = viewState_ == kReadingState && !barSuppressed_;
    const bool wasShown = positionBar_ && positionBar_->IsVisible();
    if (!wanted || !surface_) {
        positionBar_.reset();
    } else {
        if (!positionBar_) positionBar_ = std::make_unique<PositionBar>(&link_);
        const ReaderSettings* settings = GetSettings();
        positionBar_->SetVisible(settings && settings->progressBar != 0);
    }
    const bool shown = positionBar_ && positionBar_->IsVisible();
    if (!surface_ || shown == wasShown) return;
    // The bar takes its strip off the page (or gives it back): the page is laid out again in
    // what is left, so no line lies under the bar.
    surface_->OnSize();
    surface_->InvalidateRect(nullptr);
}

void ReaderController::OnDeactivate() {
    if (positionBar_) {
        const ReaderSettings* settings = GetSettings();
        positionBar_->SetVisible(settings && settings->progressBar != 0);
        positionBar_->Refresh();
    }
    UpdateMenuBars();
}

void ReaderController::UpdateViewState() {
    UpdatePositionBar();
    RefreshSurface();
}

// ---- Screen orientation ----------------------------------------------------------------------

bool ReaderController::SetDisplayOrientation(int code) {
    if (!SetScreenOrientation(code)) return false;
    if (GetSettings()) GetSettings()->orientation = 0;
    return true;
}

bool ReaderController::RotateToNextOrientation() {
    int code = GetScreenOrientation();
    if (code < 0 || code > 3) code = 0;
    // The display may refuse some orientations: the next one after it is tried, up to all four.
    for (int i = 0; i < 4; ++i) {
        code = DisplaySurface::NextOrientation(code);
        if (SetDisplayOrientation(code)) return true;
    }
    return false;
}

// ---- The widgets' link -----------------------------------------------------------------------

DocumentControllerLink* ReaderController::Link::GetDocumentController() {
    return owner_->document_;
}

DrawingSurface* ReaderController::Link::GetSurface() {
    return owner_->surface_;
}

void ReaderController::Link::GetCommandStates(bool& first, bool& second, bool& third) {
    owner_->GetCommandStates(first, second, third);
}

void ReaderController::Link::SetPopupRect(const Rect& r, bool forced) {
    owner_->SetPopupRect(r, forced);
}

int32_t ReaderController::Link::MessageBoxById(int32_t captionId, int32_t textId,
                                               uint32_t style) {
    if (textId < 0) return kButtonCancel;
    // Style 0 is the plain information box.
    const uint32_t flags = style == 0 ? 64 : style;
    return owner_->ShowMessageFlags(captionId, ResString(static_cast<uint32_t>(textId)), flags)
               ? kButtonOk
               : kButtonCancel;
}

void ReaderController::Link::OnCommand(uint32_t command, uint32_t) {
    owner_->OnCommand(static_cast<int32_t>(command), false);
}

bool ReaderController::Link::RotateToNextOrientation() {
    return owner_->RotateToNextOrientation();
}

bool ReaderController::Link::SetDisplayOrientation(int orientation) {
    return owner_->SetDisplayOrientation(orientation);
}

bool ReaderController::Link::DisplaySurfaceAllowed() {
    // The back-buffered surface is how this reader turns the page; it needs the settings.
    return owner_->GetSettings() != nullptr;
}

void ReaderController::Link::SetOrientationSetting(int orientation) {
    owner_->settingsCommands_.SetOrientation(orientation);
}

uint32_t ReaderController::Link::GetTextColour() {
    return owner_->settingsCommands_.TextColour();
}

uint32_t ReaderController::Link::GetBackgroundColour() {
    return owner_->settingsCommands_.BackgroundColour();
}

int8_t ReaderController::Link::PositionBarFontSize() {
    return owner_->settingsCommands_.PositionBarFontSize();
}

const AppPaths* ReaderController::Link::Paths() {
    return owner_->paths_;
}
