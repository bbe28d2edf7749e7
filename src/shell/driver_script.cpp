#include "shell/driver_script.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/charset.h"
#include "core/text.h"
#include "layout/block_contents.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "layout/table_scroll.h"
#include "layout/table_views.h"
#include "library_ui/library_list_windows.h"
#include "platform/controls/controls.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/window_layer.h"
#include "reader/actions.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_views.h"
#include "reader/reader_window.h"
#include "shell/app_shell.h"
#include "shell/main_frame.h"
#include "shell_ui/list_window.h"
#include "shell_ui/soft_key_bar.h"

namespace {
// The words of a step, split at white space (as a stream reads them), one after the other.
class Words {
public:
    explicit Words(std::string_view line) : rest_(line) {}
    bool Next(std::string_view& word) {
        std::size_t from = 0;
        while (from < rest_.size() && Blank(rest_[from])) ++from;
        std::size_t to = from;
        while (to < rest_.size() && !Blank(rest_[to])) ++to;
        word = rest_.substr(from, to - from);
        rest_.remove_prefix(to);
        return !word.empty();
    }
    bool Next(std::string& word) {
        std::string_view w;
        if (!Next(w)) return false;
        word.assign(w);
        return true;
    }
    // What the words read so far leave of the line.
    std::string_view Rest() const { return rest_; }

private:
    static bool Blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
    std::string_view rest_;
};

bool ReadNumber(Words& words, long& out) {
    std::string word;
    if (!words.Next(word)) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(word.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

struct VerbName {
    const char* name;
    DriverAction::Verb verb;
    // numbers that follow; -1: one word follows; -2: the rest of the line; -3: a number or a name
    int numbers;
};

constexpr VerbName kVerbs[] = {
    {"tap", DriverAction::kTap, 2},         {"down", DriverAction::kDown, 2},
    {"move", DriverAction::kMove, 2},       {"up", DriverAction::kUp, 2},
    {"key", DriverAction::kKey, 1},         {"char", DriverAction::kChar, -1},
    {"button", DriverAction::kButton, 1},   {"softkey", DriverAction::kSoftKey, 1},
    {"insert-card", DriverAction::kInsertCard, -2},
    {"remove-card", DriverAction::kRemoveCard, -2},
    {"rotate", DriverAction::kRotate, 1},   {"advance", DriverAction::kAdvance, 1},
    {"idle", DriverAction::kIdle, 0},       {"screenshot", DriverAction::kScreenshot, -2},
    {"quit", DriverAction::kQuit, 0},       {"answer", DriverAction::kAnswer, 1},
    {"answer-file", DriverAction::kAnswerFile, -2},
    {"menu", DriverAction::kMenu, -3},       {"text", DriverAction::kText, -2},
    {"pagetext", DriverAction::kPageText, -2},
    {"screenshot-box", DriverAction::kScreenshotBox, -2},
    {"answer-tap", DriverAction::kAnswerTap, 2}, {"answer-key", DriverAction::kAnswerKey, 1},
    {"shelllog", DriverAction::kShellLog, -2},
    {"listtext", DriverAction::kListText, -2},
    {"wait-file", DriverAction::kWaitFile, -2},
    {"listshown", DriverAction::kListShown, -2},
};

std::u16string Wide(const std::string& s) {
    // Card names and paths are taken as Latin-1.
    return std::u16string(s.begin(), s.end());
}

std::u16string FromUtf8(const std::string& s) {
    Text text;
    String wide;
    if (!text.AssignUtf8(s.c_str(), s.size()) || !text.ToWide(wide)) return Wide(s);
    return std::u16string(wide.Data(), static_cast<size_t>(wide.Length()));
}

std::string failure;

// A `text` or `screenshot-box` line waits in the answer queue until a box takes it; it fails
// when the dialog has no focused text field, when the box cannot be saved or is not laid out
// cleanly, or when no box ever comes.
struct PendingText {
    enum State { kWaiting, kFilled, kNoField, kFailed };
    int line = 0;
    std::shared_ptr<State> state;
    std::shared_ptr<std::string> why = std::make_shared<std::string>();
};
std::vector<PendingText> pendingTexts;

bool IsEdit(HWND window) {
    WCHAR name[16] = {};
    if (GetClassNameW(window, name, 16) <= 0) return false;
    std::u16string n(name);
    for (char16_t& c : n)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return n == WC_EDIT;
}

// Types the text into the dialog's focused field as a person would: all of it selected, then
// replaced by the characters typed, which wait in the queue as a person's keys do when they come
// faster than the program takes them.
bool FillFocusedField(HWND dialog, const std::u16string& text) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(dialog, focus) || !IsEdit(focus)) return false;
    SendMessageW(focus, EM_SETSEL, 0, -1);
    SendMessageW(focus, WM_CLEAR, 0, 0);
    for (char16_t c : text) fvt::Character(static_cast<WCHAR>(c));
    return true;
}

void QueueText(int line, const std::string& utf8) {
    auto state = std::make_shared<PendingText::State>(PendingText::kWaiting);
    pendingTexts.push_back(PendingText{line, state});
    const std::u16string text = FromUtf8(utf8);
    // The box then waits for the answer that closes it.
    fvt::QueueAnswer(fvt::Answer{-1, {}, [state, text](HWND box) {
                                     *state = FillFocusedField(box, text) ? PendingText::kFilled
                                                                          : PendingText::kNoField;
                                 }});
}

// Saves the box as it is shown, once it has been painted, and checks that its controls neither
// overlap nor cut their text.
void QueueBoxScreenshot(int line, const std::string& path) {
    PendingText pending{line, std::make_shared<PendingText::State>(PendingText::kWaiting)};
    pendingTexts.push_back(pending);
    fvt::QueueAnswer(fvt::Answer{-1, {}, [pending, path](HWND box) {
                                     *pending.state = PendingText::kFilled;
                                     if (!fvt::SaveScreenshot(path)) {
                                         *pending.state = PendingText::kFailed;
                                         *pending.why = "the screenshot cannot be written to " + path;
                                         return;
                                     }
                                     const std::vector<std::string> problems =
                                         fvt::DialogLayoutProblems(box);
                                     if (problems.empty()) return;
                                     *pending.state = PendingText::kFailed;
                                     *pending.why = "the box saved as " + path + " is not laid out cleanly:";
                                     for (const std::string& p : problems) *pending.why += " " + p + ";";
                                 }});
}

// The line of a text no dialog field took (0: none). With `ended`, a text still waiting failed
// too: the script is over and no dialog came for it.
int FailedText(bool ended) {
    for (const PendingText& p : pendingTexts) {
        if (*p.state == PendingText::kFailed) {
            failure = *p.why;
            return p.line;
        }
        if (*p.state == PendingText::kNoField) {
            failure = "the open dialog has no focused text field";
            return p.line;
        }
        if (ended && *p.state == PendingText::kWaiting) {
            failure = "no box came for this line";
            return p.line;
        }
    }
    return 0;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& line : lines) out << line << '\n';
    out.close();
    return !out.fail();
}

void AppendUtf8(std::string& out, const String& text) {
    // A character UTF-8 cannot hold (a lone surrogate) comes out as '?'; the rest stays.
    Text utf8;
    if (!utf8.FromString(text)) return;
    utf8.ConvertTo(CodePages::kUtf8);
    if (utf8.CodePage() != CodePages::kUtf8) return;
    out.append(reinterpret_cast<const char*>(utf8.Bytes()), static_cast<size_t>(utf8.ByteLength()));
}

// The program's own loop while the script runs: what is queued is handled, a modeless dialog
// taking its keys first, as the message loop does.
void RunProgramUntilIdle() {
    MSG msg;
    for (int handled = 0; handled < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
         ++handled) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // left for the message loop
            return;
        }
        if (fvt::TakeModelessDialogKey(msg)) continue;
        if (TakeSpeechBargeIn(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs the program until the file exists, taking the input a window gets meanwhile; once it is
// there, what came before it is taken too. Bounded, so that a script never waits for ever.
bool WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (access(path.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        fvt::PumpDisplay();
        RunProgramUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fvt::PumpDisplay();
    RunProgramUntilIdle();
    return true;
}

// The reader window's bar in front, as the action table names it; false when the bar in front
// is another's (the library's, the annotations list's, a dialog's), whose items have no actions.
bool ReaderBarInFront(Actions::Bar& out) {
    HWND main = FindWindowW(MainFrame::kClassName, nullptr);
    auto* frame =
        main ? reinterpret_cast<MainFrame*>(GetWindowLongPtrW(main, GWL_USERDATA)) : nullptr;
    ReaderWindow* window = frame ? frame->GetReaderWindow() : nullptr;
    ReaderController* controller = window ? window->Controller() : nullptr;
    const HWND front = fvt::ActiveMenuBar();
    if (!controller || !front) return false;
    const std::pair<ReaderBar*, Actions::Bar> bars[] = {
        {controller->GetReaderBar(), Actions::kReaderBar},
        {controller->GetAudioBar(), Actions::kAudioBar},
        {controller->GetZoomBar(), Actions::kZoomBar}};
    for (const auto& [bar, kind] : bars) {
        auto* soft = dynamic_cast<SoftKeyBar*>(bar);
        if (soft && soft->Window() == front) {
            out = kind;
            return true;
        }
    }
    return false;
}

// `menu NAME`: the item of the reader's bar in front that asks for the action of that name.
bool ChooseAction(const std::string& name) {
    const Action* action = Actions::FindByName(name);
    if (!action) {
        failure = "no action is named " + name;
        return false;
    }
    Actions::Bar bar;
    if (!ReaderBarInFront(bar)) {
        failure = "the menu bar in front is not a reader's: choose its items by number";
        return false;
    }
    uint32_t items[4] = {};
    const std::size_t n = Actions::ItemsFor(bar, action->id, items, std::size(items));
    for (std::size_t i = 0; i < n; ++i)
        if (fvt::ChooseMenuBarItem(items[i])) return true;
    failure = "the menu bar has no item for " + name;
    return false;
}

// False (with the reason) when the action cannot be done.
bool Perform(const DriverAction& a, int line) {
    const int x = static_cast<int>(a.x), y = static_cast<int>(a.y);
    switch (a.verb) {
        case DriverAction::kNone: break;
        case DriverAction::kTap: fvt::Tap(x, y); break;
        case DriverAction::kDown: fvt::PenDown(x, y); break;
        case DriverAction::kMove: fvt::PenMove(x, y); break;
        case DriverAction::kUp: fvt::PenUp(x, y); break;
        case DriverAction::kKey: fvt::Key(static_cast<UINT>(a.x)); break;
        case DriverAction::kChar: fvt::Character(static_cast<WCHAR>(a.text[0])); break;
        case DriverAction::kButton: fvt::HardwareButton(x); break;
        case DriverAction::kSoftKey: fvt::SoftKey(x); break;
        case DriverAction::kInsertCard: fvt::InsertCard(Wide(a.text)); break;
        case DriverAction::kRemoveCard: fvt::RemoveCard(Wide(a.text)); break;
        case DriverAction::kRotate: fvt::RotateScreen(x); break;
        case DriverAction::kAdvance: fvt::RunClockFor(static_cast<uint64_t>(a.x)); break;
        case DriverAction::kIdle: break;
        case DriverAction::kScreenshot:
            if (fvt::SaveScreenshot(a.text)) break;
            failure = "the screenshot cannot be written to " + a.text;
            return false;
        case DriverAction::kPageText:
            if (WriteLines(a.text, DriverScript::ShownPageLines())) break;
            failure = "the page text cannot be written to " + a.text;
            return false;
        case DriverAction::kListText:
            if (WriteLines(a.text, DriverScript::ShownListRows())) break;
            failure = "the list's rows cannot be written to " + a.text;
            return false;
        case DriverAction::kListShown:
            if (WriteLines(a.text, DriverScript::OnScreenListRows())) break;
            failure = "the list's rows cannot be written to " + a.text;
            return false;
        case DriverAction::kQuit: {
            // Closing the main window saves what the program keeps; without one, end the loop.
            HWND main = FindWindowW(MainFrame::kClassName, nullptr);
            if (main)
                PostMessageW(main, WM_CLOSE, 0, 0);
            else
                PostQuitMessage(0);
            break;
        }
        case DriverAction::kAnswer:
            fvt::QueueAnswer(fvt::Answer{static_cast<int>(a.x), {}, {}});
            break;
        case DriverAction::kAnswerFile: fvt::QueueAnswer(fvt::Answer{-1, Wide(a.text), {}}); break;
        case DriverAction::kText: QueueText(line, a.text); break;
        case DriverAction::kScreenshotBox: QueueBoxScreenshot(line, a.text); break;
        case DriverAction::kAnswerTap:
            fvt::QueueAnswer(fvt::Answer{-1, {}, [x, y](HWND) { fvt::Tap(x, y); }});
            break;
        case DriverAction::kAnswerKey: {
            const UINT vk = static_cast<UINT>(a.x);
            fvt::QueueAnswer(fvt::Answer{-1, {}, [vk](HWND) { fvt::Key(vk); }});
            break;
        }
        case DriverAction::kShellLog: {
            std::ofstream out(a.text, std::ios::binary | std::ios::trunc);
            for (const std::string& entry : fvt::ShellLog()) out << entry << '\n';
            out.close();
            if (out) break;
            failure = "the shell log cannot be written to " + a.text;
            return false;
        }
        case DriverAction::kWaitFile:
            if (WaitForFile(a.text)) break;
            failure = "no file " + a.text + " came";
            return false;
        case DriverAction::kMenu:
            if (!a.text.empty()) return ChooseAction(a.text);
            if (fvt::ChooseMenuBarItem(static_cast<UINT>(a.x))) break;
            failure = "the menu bar has no item " + std::to_string(a.x);
            return false;
    }
    return true;
}

// A modeless dialog (Find) has no loop of its own that takes answers: the shown one takes them
// here, after each step, as a modal dialog does when idle.
HWND ShownModelessDialog() {
    HWND active = GetActiveWindow();
    WCHAR name[16] = {};
    if (!active || !IsWindowVisible(active) || !IsWindowEnabled(active) ||
        GetClassNameW(active, name, 16) <= 0)
        return nullptr;
    std::u16string cls(name);
    for (char16_t& c : cls)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return cls == u"dialog" ? active : nullptr;
}

void ServeModelessDialog() {
    for (int rounds = 0; rounds < 16 && fvt::PendingAnswers() > 0; ++rounds) {
        HWND dialog = ShownModelessDialog();
        if (!dialog) return;
        fvt::Answer a;
        if (!fvt::TakeAnswer(a)) return;
        if (a.action) a.action(dialog);
        if (a.value >= 0 && IsWindow(dialog))
            SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(a.value ? a.value : IDOK), 0);
        fvt::RunUntilIdle();
    }
}

// The script's lines and the next one to run.
struct ScriptLines {
    std::vector<std::string> lines;
    size_t next = 0;
    bool typing = false;  // the box shown takes the steps that follow
};

// A dialog that has taken every answer waiting takes the script's next steps when they type into
// it as a person does: a `char` step, then further `char`, `idle` and `answer` steps, until one
// of another kind, which leaves the box to its default.
bool TypeIntoBox(ScriptLines& script) {
    if (script.next >= script.lines.size()) return false;
    DriverAction a;
    if (!DriverScript::ParseLine(script.lines[script.next], a)) return false;
    const bool typed = a.verb == DriverAction::kChar;
    if (!typed &&
        (!script.typing || (a.verb != DriverAction::kIdle && a.verb != DriverAction::kAnswer)))
        return false;
    ++script.next;
    script.typing = true;
    if (typed) {
        const WCHAR c = static_cast<WCHAR>(a.text[0]);
        fvt::QueueAnswer(fvt::Answer{-1, {}, [c](HWND) { fvt::Character(c); }});
    } else if (a.verb == DriverAction::kAnswer) {
        fvt::QueueAnswer(fvt::Answer{static_cast<int>(a.x), {}, {}});
    }
    return true;
}

// The rest of the line after the verb, without its surrounding blanks.
bool RestOfLine(const Words& words, std::string& out) {
    const std::string_view rest = words.Rest();
    const size_t first = rest.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const size_t last = rest.find_last_not_of(" \t\r");
    out.assign(rest.substr(first, last - first + 1));
    return true;
}
}  // namespace

namespace DriverScript {
bool ParseLine(const std::string& line, DriverAction& out) {
    out = DriverAction{};
    Words words(line);
    std::string_view verb;
    if (!words.Next(verb) || verb[0] == '#') return true;
    for (const VerbName& v : kVerbs) {
        if (verb != v.name) continue;
        out.verb = v.verb;
        if (v.numbers == -2) return RestOfLine(words, out.text);
        if (v.numbers == -3) {
            if (!words.Next(out.text)) return false;
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(out.text.c_str(), &end, 0);
            if (errno == 0 && end && *end == '\0' && !out.text.empty()) {
                out.x = n;
                out.text.clear();
            }
            std::string_view extra;
            return !words.Next(extra) || extra[0] == '#';
        }
        if (v.numbers == -1) {
            if (!words.Next(out.text)) return false;
        } else {
            if (v.numbers >= 1 && !ReadNumber(words, out.x)) return false;
            if (v.numbers >= 2 && !ReadNumber(words, out.y)) return false;
        }
        std::string_view extra;
        return !words.Next(extra) || extra[0] == '#';
    }
    return false;
}

int Run(std::istream& in) {
    failure.clear();
    pendingTexts.clear();
    ScriptLines script;
    for (std::string line; std::getline(in, line);) script.lines.push_back(line);
    fvt::SetAnswerSource([&script] { return TypeIntoBox(script); });
    struct SourceReset {
        ~SourceReset() { fvt::SetAnswerSource(nullptr); }
    } reset;
    // The first step, like every later one, comes after the work queued before it: the opening
    // of the book given on the command line lays out and draws its page from the queue.
    RunProgramUntilIdle();
    while (script.next < script.lines.size()) {
        const int number = static_cast<int>(++script.next);
        script.typing = false;
        DriverAction action;
        if (!ParseLine(script.lines[script.next - 1], action)) {
            failure = "cannot be read";
            return number;
        }
        if (!Perform(action, number)) return number;
        RunProgramUntilIdle();
        ServeModelessDialog();
        if (int bad = FailedText(false)) return bad;
    }
    return FailedText(true);
}

int RunFromEnvironment() {
    if (!Driven()) return 0;
    std::ifstream in(std::getenv("FOLIVANT_DRIVER"));
    if (!in) {
        failure = "the script cannot be read";
        return -1;
    }
    return Run(in);
}

bool Driven() {
    const char* path = std::getenv("FOLIVANT_DRIVER");
    return path && *path;
}

const std::string& FailureReason() { return failure; }

void SetFailure(const std::string& reason) { failure = reason; }

std::vector<std::string> ShownPageLines() {
    std::vector<std::string> lines;
    HWND main = FindWindowW(MainFrame::kClassName, nullptr);
    auto* frame = main ? reinterpret_cast<MainFrame*>(GetWindowLongPtrW(main, GWL_USERDATA))
                       : nullptr;
    ReaderWindow* window = frame ? frame->GetReaderWindow() : nullptr;
    auto* book = window ? dynamic_cast<BookDocumentController*>(window->Document()) : nullptr;
    if (!book || book->CurrentView() != BookDocumentController::kTextPage) return lines;
    // The library and the annotations list cover the page when they show.
    if (ReaderController* controller = window->Controller()) {
        for (ReaderListWindow* list :
             {controller->GetLibraryView(), controller->GetAnnotationsWindow()})
            if (list && list->IsVisible()) return lines;
    }
    PositionViewElement* view = book->Page().View();
    PageLayout* layout = view ? view->Layout() : nullptr;
    PageSlot* slot = layout ? layout->CurrentPageSlot() : nullptr;
    if (!slot) return lines;
    // Text runs and inline objects by line; a space mark with a width between two runs is a
    // space.
    BlockContents& block = slot->contents;
    bool open = false, space = false;
    // A line of a scrolled table is shown only when it lies wholly within the table's view.
    int32_t depth = 0;
    const TableRecord* table = nullptr;
    int32_t shiftY = 0;
    // Across a table wider than its view, only the words drawn show: those the view holds whole.
    Rect across{};
    std::vector<size_t> cut;  // lines with words the view does not hold
    auto notShown = [&] {
        if (cut.empty() || cut.back() != lines.size() - 1) cut.push_back(lines.size() - 1);
    };
    BlockCursor c;
    c.Init(&block, true);
    for (; !c.AtEnd(); c.Next()) {
        switch (c.Kind()) {
            case kItemTable:
                if (depth++ > 0) break;
                table = block.Table(c.counts[kItemTable]);
                shiftY = 0;
                if (table && slot->record)
                    for (const TableScrollEntry& e : slot->record->tables)
                        if (e.position == block.PositionAt(c)) shiftY = e.y;
                // As the painter draws it: only a scrollable table is clipped to its view.
                across = Rect{};
                if (Rect left, right; table && slot->record && slot->drawn &&
                                      TableScroll::IsScrollable(*table) &&
                                      (!layout->TableScrollRects(table->box, across, left, right) ||
                                       table->content.width <= across.width))
                    across = Rect{};
                break;
            case kItemLine: {
                const LineRecord* line = block.Line(c.counts[kItemLine]);
                open = line->height > 0;
                if (open && depth > 0 && table && shiftY >= 0 &&
                    table->content.height > table->box.height) {
                    int32_t top = line->y - shiftY;
                    open = top >= table->box.y &&
                           top + line->height <= table->box.y + table->box.height;
                }
                space = false;
                if (open) lines.emplace_back();
                break;
            }
            case kItemFlowMark: {
                const FlowMark* m = block.Mark(c.counts[kItemFlowMark]);
                if (open && m->type == kMarkSpace && m->width > 0) space = true;
                if (m->type == kMarkTableEnd && depth > 0 && --depth == 0) table = nullptr;
                break;
            }
            case kItemTextRun: {
                if (!open) break;
                const TextRun* run = block.Run(c.counts[kItemTextRun]);
                if (table && across.width > 0 &&
                    !TableViews::WordShows(run->x, run->x + run->width, across.x, across.width)) {
                    notShown();
                    break;
                }
                if (space && !lines.back().empty()) lines.back() += ' ';
                space = false;
                AppendUtf8(lines.back(), run->text);
                // Soft hyphens (U+00AD) are break points and are never shown as such.
                for (size_t at; (at = lines.back().find("\xC2\xAD")) != std::string::npos;)
                    lines.back().erase(at, 2);
                break;
            }
            case kItemInlineBox: {
                const InlineBox* b = open ? block.Object(c.counts[kItemInlineBox]) : nullptr;
                if (!b || !b->object || b->rect.width <= 0) break;
                if (table && across.width > 0 &&
                    !Rect::Intersects(b->rect, Rect{across.x, b->rect.y, across.width, 1})) {
                    notShown();
                    break;
                }
                if (space && !lines.back().empty()) lines.back() += ' ';
                space = false;
                lines.back() += "[" + std::to_string(b->rect.width) + "x" +
                                std::to_string(b->rect.height) + "]";
                break;
            }
            default: break;
        }
    }
    // A line of which no word shows is not on the screen.
    for (auto it = cut.rbegin(); it != cut.rend(); ++it)
        if (*it < lines.size() && lines[*it].empty()) lines.erase(lines.begin() + *it);
    return lines;
}

namespace {
// The list window the main window shows, or none.
ListWindow* ShownList() {
    HWND main = FindWindowW(MainFrame::kClassName, nullptr);
    auto* frame =
        main ? reinterpret_cast<MainFrame*>(GetWindowLongPtrW(main, GWL_USERDATA)) : nullptr;
    ReaderWindow* window = frame ? frame->GetReaderWindow() : nullptr;
    ReaderController* controller = window ? window->Controller() : nullptr;
    if (!controller) return nullptr;
    for (ReaderListWindow* shown :
         {controller->GetLibraryView(), controller->GetAnnotationsWindow()}) {
        ListWindow* list = shown && shown->IsVisible() ? ListWindowOf(shown) : nullptr;
        if (list) return list;
    }
    return nullptr;
}

std::string RowText(ListWindow* list, int32_t i) {
    ListItem* item = list->GetItemData(i);
    if (!item) return {};
    Text text;
    item->GetText(text, 0);
    std::string row = std::to_string(item->iconIndex) + "\t";
    String wide;
    if (text.ToWide(wide)) AppendUtf8(row, wide);
    return row;
}
}  // namespace

std::vector<std::string> ShownListRows() {
    std::vector<std::string> rows;
    if (ListWindow* list = ShownList())
        for (int32_t i = 0; i < list->GetItemCount(); ++i)
            if (list->GetItemData(i)) rows.push_back(RowText(list, i));
    return rows;
}

std::vector<std::string> OnScreenListRows() {
    std::vector<std::string> rows;
    ListWindow* list = ShownList();
    if (!list || !list->List()) return rows;
    const HWND view = list->List();
    const auto top = static_cast<int32_t>(SendMessageW(view, LVM_GETTOPINDEX, 0, 0));
    const auto page = static_cast<int32_t>(SendMessageW(view, LVM_GETCOUNTPERPAGE, 0, 0));
    const auto selected = static_cast<int32_t>(
        SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    for (int32_t i = top; i < top + page && i < list->GetItemCount(); ++i)
        rows.push_back((i == selected ? "> " : "  ") + RowText(list, i));
    return rows;
}
}  // namespace DriverScript
