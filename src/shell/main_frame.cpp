#include "shell/main_frame.h"

#include "bookfiles/annotation_file.h"
#include "core/file.h"
#include "core/optional_api.h"
#include "core/text.h"
#include "document/location/location.h"
#include "core/platform_helpers.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/core/command_ids.h"
#include "layout/page_view.h"
#include "platform/controls/controls.h"
#include "platform/dialog/dialog.h"
#include "platform/gdi.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "reader/book_document_controller.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "shell/native_control.h"
#include "shell/program_status.h"

namespace {
bool IsBargeInMessage(UINT message) {
    return (message >= 0x100 && message <= 0x108) || (message >= 0x201 && message <= 0x20A);
}

// A notice's item as text; empty when there is none.
String NoticeItem(DWORD_PTR item) {
    const auto* chars = reinterpret_cast<const char16_t*>(item);
    return chars ? String(chars) : String();
}
}  // namespace

bool LinkForArgument(const String& argument, String& link) {
    // A file's name may hold '#', '?', '$' or '%': read as a link it would lose them, so an
    // existing file becomes a file location first, its name escaped.
    Text path;
    if (!path.FromString(argument) || !Files::Exists(path)) return false;
    String escaped(argument);
    Location location;
    return escaped.UriEscape(true, true) && location.Parse(escaped, true) &&
           location.ToString(link, true);
}

MainFrame::MainFrame(ReaderWindow* readerWindow) : readerWindow_(readerWindow) {}

MainFrame::~MainFrame() = default;

void MainFrame::SetReaderWindow(ReaderWindow* window) {
    readerWindow_.reset(window);
}

bool MainFrame::Create(const RECT* area, const String* caption, bool layout, bool topmost,
                       HWND parent) {
    layoutEnabled_ = layout;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    if (area && area->right - area->left > 0 && area->bottom - area->top > 0) {
        x = area->left;
        y = area->top;
        width = area->right - area->left;
        height = area->bottom - area->top;
    }
    window_ = CreateWindowExW(0, kClassName, u"", style_, x, y, width, height, parent, nullptr,
                              nullptr, this);
    if (!window_) return false;
    if (caption) SetCaption(*caption);
    if (topmost) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, 19);
    // The surface, the controller's timers and the display surface (with the page's size)
    // take the window.
    if (readerWindow_) readerWindow_->AttachToWindow(window_);
    return true;
}

void MainFrame::SetCaption(const String& caption) {
    std::u16string text(caption.Data(), static_cast<size_t>(caption.Length()));
    if (window_) SetWindowTextW(window_, text.c_str());
}

bool MainFrame::ShowAndStart(const String* commandLine, bool maximise, bool noDefault) {
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    const bool given = commandLine && !commandLine->IsEmpty();
    // A window that wants no default view counts as started: its opener fills it.
    bool started = !given && noDefault;
    // The last book is reopened only when no document is named.
    if (document && !started) started = document->Start(given || noDefault);
    if (document && given) {
        String link;
        started = document->ActivateLink(LinkForArgument(*commandLine, link) ? link : *commandLine);
    }
    // The book the program was started with failed (the user was told): the run failed.
    if (document && given && !started) NoteProgramFailure();
    if (document && !started) document->ActivateLink(String(u"oeb:library"));
    if (window_) {
        ShowWindow(window_, maximise ? SW_SHOWMAXIMIZED : SW_SHOW);
        UpdateWindow(window_);
    }
    return true;
}

void MainFrame::ShowAndFocus(bool show) {
    if (!window_) return;
    ShowWindow(window_, show ? SW_SHOW : SW_HIDE);
    if (show) SetFocus(window_);
}

void MainFrame::Move(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // The corners are inclusive.
    if (window_) MoveWindow(window_, left, top, right - left + 1, bottom - top + 1, TRUE);
}

void MainFrame::Destroy() {
    if (cardNoticesRegistered_ && window_) OptionalApi::SHChangeNotifyDeregister(window_);
    cardNoticesRegistered_ = false;
    OnWindowState(0);
    // A removed card's books are released when its timer runs; a frame going away takes its
    // list with it.
    notedPaths_.clear();
    readerWindow_.reset();
}

void MainFrame::OnCreate() {
    OnWindowState(1);
    if (readerWindow_) {
        if (DrawingSurface* surface = readerWindow_->Surface()) surface->SetWindow(window_);
    }
    SHCHANGENOTIFYENTRY entry{kCardNoticeMask, nullptr, FALSE};
    cardNoticesRegistered_ = OptionalApi::SHChangeNotifyRegister(window_, &entry) != FALSE;
    // Task bar, input-panel button and start icon shown.
    OptionalApi::SHFullScreen(window_, 21);
    // The bars and list windows live in this window: the surface must know it first.
    if (ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr)
        controller->CreateViewWindows();
}

KeyContext MainFrame::MakeKeyContext() const {
    KeyContext context;
    context.shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    context.ctrl = (GetKeyState(VK_LCONTROL) & 0x8000) != 0 ||
                   (GetKeyState(VK_RCONTROL) & 0x8000) != 0 ||
                   (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    // The page turns in the display surface; the device's own rotation already turns the keys.
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    DisplayLink* display = surface ? surface->Display() : nullptr;
    context.orientation = display && display->IsActive() ? display->Orientation() : 0;
    static thread_local uint32_t keys[ReaderSettings::kKeyCount];
    ReaderSettings* settings = readerWindow_ ? readerWindow_->Settings() : nullptr;
    if (settings) {
        for (int i = 0; i < ReaderSettings::kKeyCount; ++i) keys[i] = settings->GetKey(i);
        context.keyTable = keys;
        context.tapAction = settings->tapAction;
        // Word 60 holds the arrow mode; a stored 0 reads as 1.
        context.arrowMode = settings->arrowMode;
        // On a page without a focused link Enter has nothing else to do: it is how a device
        // with keys only goes to full screen and back (a focused link takes Enter first).
        context.enterTogglesFullScreen = true;
    }
    return context;
}

void MainFrame::SendKeyEvent(InputEvent& event) {
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    if (surface) surface->HandleEvent(event);
}

namespace {
// The book's key names by index: "key0".."key9", "key_help", "key_say", "key_prev", "key_next".
constexpr uint32_t kBookKeyPrevious = 12;
constexpr uint32_t kBookKeyNext = 13;
}  // namespace

// A book may bind the digits ("key0".."key9"), PageUp ("key_prev") and PageDown ("key_next")
// to links of its own. On a page they run those instead of the reader's own keys; a text field,
// a list or a pop-up keeps its keys.
bool MainFrame::RunBookKey(uint32_t index) {
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (!surface || !controller) return false;
    const InputState state = surface->CurrentInputState();
    if (state != InputState::kReading && state != InputState::kLinkFocus) return false;
    auto* book = dynamic_cast<BookDocumentController*>(controller->GetDocumentController());
    return book && book->OnHardwareKey(index);
}

void MainFrame::OnKey(uint32_t vk) {
    // In full screen the soft-key bar is hidden, so its keys reach the window itself: either
    // soft key ends full screen, as the bar's overridden key would.
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if ((vk == VK_F1 || vk == VK_F2) && controller && controller->IsFullScreen()) {
        if (services_) services_->ToggleFullScreen();
        return;
    }
    if ((vk == VK_PRIOR && RunBookKey(kBookKeyPrevious)) || (vk == VK_NEXT && RunBookKey(kBookKeyNext)))
        return;
    InputEvent event;
    if (KeyTranslation::KeyDown(vk, MakeKeyContext(), event)) SendKeyEvent(event);
}

void MainFrame::OnPaint() {
    if (layoutPending_) {
        layoutPending_ = false;
        if (readerWindow_ && readerWindow_->Core()) readerWindow_->Core()->OnDeferredRepaint();
        InvalidateRect(window_, nullptr, TRUE);
        return;
    }
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    if (surface && surface->ChildCount() > 0) {
        surface->OnPaint();
        return;
    }
    // No view yet: the window shows the empty page in the reader's page colour.
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window_, &ps);
    if (!dc) return;
    uint32_t colour = 0xFFFFFF;
    if (ReaderSettings* settings = readerWindow_ ? readerWindow_->Settings() : nullptr)
        settings->GetBackgroundColour(colour);
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
    }
    EndPaint(window_, &ps);
}

void MainFrame::RestartCardTimer() {
    KillTimer(window_, kCardTimer);
    SetTimer(window_, kCardTimer, kCardTimerMs, nullptr);
}

void MainFrame::OnTimer(UINT_PTR id) {
    if (id == kCardTimer) {
        KillTimer(window_, kCardTimer);
        ReaderSettings* settings = readerWindow_ ? readerWindow_->Settings() : nullptr;
        const bool showLibrary = settings && settings->releaseOnCardChange;
        std::vector<String> paths;
        paths.swap(notedPaths_);
        for (const String& path : paths) {
            // Books on a card that is gone are always let go: their mapped file has no medium.
            if (services_) services_->ReleaseBooksUnder(path);
            if (showLibrary && services_) services_->ShowLibrary(path);
        }
        return;
    }
    // The device must not suspend while the surface animates.
    SystemIdleTimerReset();
    if (id == DisplaySurface::kTimerId && readerWindow_) {
        DisplaySurface& display = readerWindow_->Display();
        if (display.IsTimerRunning()) {
            display.ScrollStep();
            return;
        }
    }
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (controller) controller->Timers().Dispatch(id);
}

void MainFrame::OnSize() {
    if (!layoutEnabled_ || !window_) return;
    RECT client{};
    GetClientRect(client);
    Rect panel{};
    bool panelUp = false;
    if (InputPanel::GetInfo(&panel)) {
        POINT origin{0, 0};
        ClientToScreen(window_, &origin);
        const int32_t panelTop = panel.y - origin.y;
        if (panelTop > client.top && panelTop < client.bottom) {
            client.bottom = panelTop;
            panelUp = true;
        }
    }
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (controller) controller->LayoutListWindows(Rect::FromWinRect(client));
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    if (!surface) return;
    surface->OnSize();
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        surface->DisplayCommand(Cmd::kStopAutoScroll);
        surface->ResizeDisplay(width, height);
        InvalidateRect(window_, nullptr, TRUE);
    }
    // What is typed goes where it can be seen: a field under the panel comes up.
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    if (panelUp && document) document->KeepFocusAbove(client.bottom);
}

bool MainFrame::GetClientRect(RECT& out) const {
    return window_ && ::GetClientRect(window_, &out) != FALSE;
}

void MainFrame::OnCardNotice(FILECHANGENOTIFY* notice) {
    if (!notice) return;
    const FILECHANGEINFO& info = notice->fci;
    String item = NoticeItem(info.dwItem1);
    // Path A always ends in exactly one backslash, so a prefix test stops at the folder's end.
    String pathA(item);
    if (pathA.Length() > 0 && pathA[pathA.Length() - 1] == u'\\')
        pathA.AssignSub(item, 0, item.Length() - 1);
    pathA.AppendChar(u'\\');
    switch (info.wEventId) {
        case SHCNE_MEDIAINSERTED:
            if (services_) services_->OnMediaInserted(pathA);
            OnTimer(kCardTimer);
            break;
        case SHCNE_MEDIAREMOVED:
            if (services_) services_->OnMediaRemoved(pathA);
            RestartCardTimer();
            notedPaths_.push_back(pathA);
            break;
        case SHCNE_DRIVEREMOVED:
            if (services_) services_->OnDriveRemoved(pathA);
            RestartCardTimer();
            notedPaths_.push_back(pathA);
            break;
        case SHCNE_DRIVEADD: {
            String pathB(item);
            if (pathB.Length() > 0 && pathB[0] == u'\\') pathB.AssignSub(item, 1, item.Length() - 1);
            if (services_) services_->OnDriveAdded(pathA, pathB);
            OnTimer(kCardTimer);
            break;
        }
        default:
            break;
    }
}

void MainFrame::EndOwnedDialogs() {
    // Dialogs end with Cancel; a message box (over the window or over one of its dialogs)
    // takes the close as its Cancel.
    for (HWND w = GetWindow(window_, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == window_) continue;
        bool owned = false;
        for (HWND o = GetWindow(w, GW_OWNER); o && !owned; o = GetWindow(o, GW_OWNER))
            owned = o == window_;
        if (owned && !EndDialog(w, IDCANCEL)) PostMessageW(w, WM_CLOSE, 0, 0);
    }
}

bool MainFrame::BackspaceInOwnEdit() {
    HWND focus = GetFocus();
    if (!focus || focus == window_) return false;
    if (SendMessageW(focus, NativeControl::kIdentityMessage, 0, 0) != NativeControl::kIdentity)
        return false;
    WCHAR className[16] = {};
    GetClassNameW(focus, className, 16);
    // The whole class name: "Editor" is not an edit field.
    String name(className);
    name.ToLower();
    if (!name.EqualsAscii("edit")) return false;
    DWORD start = 0, end = 0;
    SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    // Caret at the start with nothing selected: Back keeps its meaning (command 23).
    if (start == 0 && end == 0) return false;
    if (start == end) SendMessageW(focus, EM_SETSEL, start - 1, end);
    SendMessageW(focus, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u""));
    return true;
}

LRESULT MainFrame::OnHotKey(WPARAM wParam, LPARAM lParam) {
    // Each press arrives twice; the second carries the key-up mark and is dropped.
    if (LOWORD(static_cast<DWORD_PTR>(lParam)) & MOD_KEYUP) return 1;
    const UINT vk = HIWORD(static_cast<DWORD_PTR>(lParam));
    if (vk == VK_ESCAPE) {
        if (BackspaceInOwnEdit()) return DefWindowProcW(window_, WM_HOTKEY, wParam, lParam);
        // A pop-up shown over the page (an open drop-down list, a note) closes first, and the
        // page's focus box ends: the Back key leaves the page only when nothing covers it.
        DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
        // So does the focus box of a selection being made: its key row clears the box.
        auto* book = readerWindow_
                         ? dynamic_cast<BookDocumentController*>(readerWindow_->Document())
                         : nullptr;
        const bool selecting = book && book->CurrentView() == BookDocumentController::kTextPage &&
                               book->Page().View() && book->Page().View()->Mode() != kFocusNone;
        if (surface && (surface->HasShownPopup() ||
                        surface->CurrentInputState() == InputState::kPopup || selecting)) {
            InputEvent event;
            if (KeyTranslation::KeyDown(vk, MakeKeyContext(), event)) SendKeyEvent(event);
            return DefWindowProcW(window_, WM_HOTKEY, wParam, lParam);
        }
        // A text field of the page hands the keys back to the page; a second Escape leaves it.
        if (surface && book && book->CurrentView() == BookDocumentController::kTextPage &&
            surface->CurrentInputState() == InputState::kTextEntry && book->Page().View()) {
            book->Page().View()->Focus();
            return DefWindowProcW(window_, WM_HOTKEY, wParam, lParam);
        }
        ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
        if (controller) controller->OnCommand(Cmd::kBack, false);
    } else if (vk == VK_F1 || vk == VK_F2) {
        if (services_) services_->ToggleFullScreen();
    }
    return DefWindowProcW(window_, WM_HOTKEY, wParam, lParam);
}

void MainFrame::OnActivate(WPARAM wParam, LPARAM lParam) {
    const bool active = LOWORD(wParam) != 0 && HIWORD(wParam) == 0;
    ReaderSettings* settings = readerWindow_ ? readerWindow_->Settings() : nullptr;
    if (active) {
        KeyContext context = MakeKeyContext();
        if (settings) HardwareButtons::Register(window_, context.keyTable, true);
    } else {
        // The device may end a program in the background: the place in the book is kept now.
        if (DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr)
            document->SaveReadingPosition(false);
        HardwareButtons::UnregisterAll(window_);
    }
    if (LOWORD(wParam) == 0) {
        DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
        if (surface) {
            surface->SetActive(false);
            surface->DisplayCommand(Cmd::kStopAutoScrollKeep);
        }
        // Another program takes the screen: full screen ends and the open book's notes are
        // written, since the device may end this program while it is in the background.
        if (settings && settings->fullScreen && lParam == 0) {
            if (services_) services_->ToggleFullScreen();
            DocumentController* document = readerWindow_->Document();
            if (AnnotationFile* file = document ? document->CurrentAnnotationFile() : nullptr)
                file->Flush();
        }
    }
}

bool MainFrame::RouteToViewWindows(UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (!controller) return false;
    // A form's own control reports its changes under its own id, which is no command.
    HWND from = reinterpret_cast<HWND>(lParam);
    if (message == WM_COMMAND && from &&
        SendMessageW(from, NativeControl::kIdentityMessage, 0, 0) == NativeControl::kIdentity)
        return false;
    // A window may close this one while it handles the message: nothing of the frame is
    // touched after a window took it.
    if (controller->RouteMessage(message, wParam, lParam, result)) return true;
    if (message != WM_COMMAND) return false;
    // Menu items and soft keys carry the command id in the low word.
    if (!controller->RouteCommand(static_cast<int32_t>(LOWORD(wParam)))) return false;
    result = 0;
    return true;
}

bool MainFrame::FocusListWindow() {
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (!controller) return false;
    const ReaderListWindow* lists[] = {controller->GetLibraryView(),
                                       controller->GetAnnotationsWindow()};
    for (const ReaderListWindow* list : lists) {
        if (list && list->IsVisible()) {
            controller->FocusActiveList();
            return true;
        }
    }
    return false;
}

LRESULT MainFrame::OnPrivateMessage(UINT message) {
    if (message == kNothing) return 2;
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    switch (message) {
        case kPrivateState0: OnPrivateState(0); break;
        case kPrivateState1: OnPrivateState(1); break;
        case kRepaintNow:
            if (!surface) break;
            SendMessageW(window_, WM_PAINT, 0, 0);
            PostMessageW(window_, kAfterRepaint, 0, 0);
            break;
        case kAfterRepaint:
            if (!surface) break;
            if (readerWindow_->Display().IsScrolling() && readerWindow_->Display().IsActive())
                surface->DisplayCommand(Cmd::kStopAutoScrollKeep);
            else
                surface->DisplayCommand(Cmd::kStartAutoScroll);
            break;
        case kSpeakNextChunk:
            if (controller) controller->OnCommand(Cmd::kSpeakNextChunk, false);
            break;
        case kSpeechCallback:
            if (services_) services_->ToggleSpeech();
            break;
        case kShowBusy:
            if (controller) controller->ShowBusyPopup(ReaderController::kBusyString);
            break;
        case kHideBusy:
            if (controller) controller->HideBusyPopup();
            break;
        default: break;
    }
    return 1;
}

LRESULT MainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsBargeInMessage(message) && services_ && services_->IsSpeaking()) {
        services_->StopSpeech();
        return 1;
    }
    // Back and the soft keys come as hot keys: pressed while the book is read aloud they too
    // only stop the speech (the second message of the pair, the key's release, is dropped).
    if (message == WM_HOTKEY && !(LOWORD(static_cast<DWORD_PTR>(lParam)) & MOD_KEYUP) &&
        services_ && services_->IsSpeaking()) {
        services_->StopSpeech();
        return 1;
    }
    DrawingSurface* surface = readerWindow_ ? readerWindow_->Surface() : nullptr;
    switch (message) {
        case WM_SIZE:
            OnSize();
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_SETTINGCHANGE:
            // The input panel rose or fell: the page takes the rest of the screen, after the
            // event that moved the panel (a field taking the focus) has run its course.
            if (wParam == SPI_SETSIPINFO) PostMessageW(window_, WM_SIZE, 0, 0);
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_ACTIVATE:
            OnActivate(wParam, lParam);
            // The default handling gives the window the focus back (after a dialog, a box or a
            // pop-up): without it the keys go nowhere until the screen is tapped.
            DefWindowProcW(window_, message, wParam, 0);
            return 0;
        case WM_SETFOCUS:
            // A shown list window keeps the focus; the page gets its focused widget back.
            if (FocusListWindow()) return 0;
            if (surface) surface->OnWindowMessage(message, wParam, lParam);
            return 0;
        case WM_KILLFOCUS:
            if (surface) surface->OnWindowMessage(message, wParam, lParam);
            return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (RouteToViewWindows(message, wParam, lParam, result)) return result;
            return DefWindowProcW(window_, message, wParam, lParam);
        }
        case WM_PAINT:
            OnPaint();
            return 1;
        case WM_KEYDOWN:
            OnKey(static_cast<uint32_t>(wParam));
            return 0;
        case WM_KEYUP: {
            if (!(lParam & kKeyPreviousDown)) return DefWindowProcW(window_, message, wParam, lParam);
            InputEvent event;
            if (KeyTranslation::KeyUp(static_cast<uint32_t>(wParam), lParam, MakeKeyContext(), event))
                SendKeyEvent(event);
            return 0;
        }
        case WM_CHAR: {
            if (wParam >= '0' && wParam <= '9' && RunBookKey(static_cast<uint32_t>(wParam - '0')))
                return DefWindowProcW(window_, message, wParam, lParam);
            InputEvent event;
            if (KeyTranslation::Character(static_cast<char16_t>(wParam), MakeKeyContext(), event))
                SendKeyEvent(event);
            return DefWindowProcW(window_, message, wParam, lParam);
        }
        case WM_COMMAND: {
            LRESULT result = 0;
            if (RouteToViewWindows(message, wParam, lParam, result)) return result;
            if (NativeControl::RouteCommand(wParam, lParam)) return 1;
            if (OnCommand(wParam, lParam)) return 1;
            return DefWindowProcW(window_, message, wParam, lParam);
        }
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_INITMENUPOPUP: {
            ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
            if (controller) controller->OnActivate(false);
            if (surface) surface->DisplayCommand(Cmd::kStopAutoScrollKeep);
            if (controller) controller->OnMenuOpening();
            return 0;
        }
        case WM_CAPTURECHANGED:
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            if (surface && surface->OnWindowMessage(message, wParam, lParam)) return 0;
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_HOTKEY:
            return OnHotKey(wParam, lParam);
        case WM_CLOSE:
            // A modal dialog over the window holds the reader objects that closing deletes:
            // end it first, and close once the window is enabled again.
            if (!IsWindowEnabled(window_)) {
                EndOwnedDialogs();
                closePending_ = true;
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_ENABLE:
            if (wParam && closePending_) {
                closePending_ = false;
                PostMessageW(window_, WM_CLOSE, 0, 0);
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case ReaderController::kAudioNoticeMessage: {
            // The player's driver thread only posts this; its notices reach the views here.
            ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
            if (controller) controller->Player().DeliverNotices();
            return 0;
        }
        case WM_FILECHANGEINFO: {
            auto* notice = reinterpret_cast<FILECHANGENOTIFY*>(lParam);
            OnCardNotice(notice);
            // Every notice is freed, whatever was done with it.
            if (notice) OptionalApi::SHChangeNotifyFree(notice);
            return 0;
        }
        default:
            break;
    }
    if (message >= kPrivateState0 && message <= kNothing) return OnPrivateMessage(message);
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT MainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(window, GWL_USERDATA));
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        frame = create ? static_cast<MainFrame*>(create->lpCreateParams) : nullptr;
        if (frame) {
            frame->window_ = window;
            SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(frame));
            frame->OnCreate();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!frame) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_DESTROY) {
        // The window owns its frame: the frame goes with it.
        std::unique_ptr<MainFrame> owned(frame);
        KillTimer(window, kCardTimer);
        HardwareButtons::UnregisterAll(window);
        // Only the program's window gives the buttons' system functions back.
        if (frame->shellFlag_) HardwareButtons::RestoreFunctions();
        frame->Destroy();
        frame->window_ = nullptr;
        // Unbind first: nothing of the object may be reached once it is gone.
        SetWindowLongPtrW(window, GWL_USERDATA, 0);
        owned.reset();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return frame->HandleMessage(message, wParam, lParam);
}
