// Stand-ins for what the reader core asks of later parts: a document controller that records
// the calls it gets, the shell's dialogs and functions, and window timers fired by hand.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "core/string.h"
#include "core/text.h"
#include "core/timer_list.h"
#include "document/location/location.h"
#include "reader/document_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_window.h"

namespace fvt::test {

inline std::u16string U16(const String& s) {
    return std::u16string(s.Data(), s.Length());
}

// An ASCII text as a std::string (for paths and names in messages).
inline std::string Narrow(const Text& t) {
    String wide;
    t.ToWide(wide);
    std::string out;
    for (int32_t i = 0; i < wide.Length(); ++i) out += static_cast<char>(wide[i]);
    return out;
}

// Timers that fire only when the test says so.
class ManualTimerHost : public TimerHost {
public:
    bool SetTimer(uintptr_t id, uint32_t) override {
        ++started;
        if (failNext > 0) {
            --failNext;
            return false;
        }
        live.push_back(id);
        return true;
    }
    void KillTimer(uintptr_t id) override {
        for (size_t i = 0; i < live.size(); ++i)
            if (live[i] == id) live.erase(live.begin() + static_cast<std::ptrdiff_t>(i--));
    }
    // Fires every live timer once, as the message loop would.
    void FireAll(TimerList& list) {
        std::vector<uintptr_t> due = live;
        for (uintptr_t id : due) list.Dispatch(id);
    }
    std::vector<uintptr_t> live;
    int started = 0;
    int failNext = 0;
};

class FakeDocumentController : public DocumentController {
public:
    ~FakeDocumentController() override {
        if (destroyed) *destroyed = true;
    }
    void SetLogDatabase(SortedRecordDatabase* l) override { log = l; }
    void SetDocumentLoader(DocumentLoader* l) override { loader = l; }
    void SetSettings(ReaderSettings* s) override { settings = s; }
    void SetDrawingSurface(DrawingSurface* s) override { surface = s; }
    void SetReaderController(ReaderController* c) override { controller = c; }
    void SetReaderWindow(ReaderWindow* w) override { window = w; }
    void SetEventSink(AppShellEvents*, uint32_t) override {}
    void Shutdown() override { calls.push_back("Shutdown"); }
    bool ExecuteCommand(int32_t id) override {
        executed.push_back(id);
        if (onExecute) onExecute(id);
        return true;
    }
    void NotifyCommand(int32_t id) override { notified.push_back(id); }
    uint32_t ViewMode() const override { return viewMode; }
    bool ActivateLink(const String& url) override {
        links.push_back(U16(url));
        return true;
    }
    bool OpenWithQuery(const Location& l, uint32_t first, uint32_t second) override {
        String s;
        l.ToString(s, true);
        opened.push_back(U16(s) + u"|" + std::u16string(1, char16_t(u'0' + first % 10)));
        queries.push_back({first, second});
        return openSucceeds;
    }
    bool ViewRequest(uint32_t first, uint32_t second) override {
        queries.push_back({first, second});
        return true;
    }
    bool OpenReference(const String& name) override {
        references.push_back(U16(name));
        return referenceSucceeds;
    }
    bool BackToOtherDocument() override { return Call("Back"); }
    bool GoToFirstPage() override { return Call("FirstPage"); }
    bool StepForward() override { return Call("Forward"); }
    bool AskToGoOn() override {
        calls.push_back("Ask");
        return goOn;
    }
    const Location* CurrentLocation() const override { return hasLocation ? &location : nullptr; }
    bool ChangeFontSize(int32_t step) override {
        sizeSteps.push_back(step);
        return true;
    }
    void SaveViewState() override { calls.push_back("SaveViewState"); }
    void ResetViewElement() override { calls.push_back("Reset"); }
    bool GetSelection(String& text, uint32_t& start, uint32_t& end) override {
        text.AssignChars(selection.data(), static_cast<int32_t>(selection.size()));
        start = selStart;
        end = selEnd;
        return selStart < selEnd;
    }
    int64_t CurrentPageValue() override { return pageValue; }
    bool AnnotationStartText(uint32_t, uint32_t, uint32_t, String& out) override {
        out.AssignChars(startText.data(), static_cast<int32_t>(startText.size()));
        return true;
    }
    AnnotationFile* CurrentAnnotationFile() override { return annotations; }
    void ReloadAnnotations() override { calls.push_back("Reload"); }
    void NotifyAnnotationChanged(int32_t index) override { changed.push_back(index); }
    bool PageRange(uint32_t& start, uint32_t& end) override {
        start = pageStart;
        end = pageEnd;
        return pageEnd != 0;
    }
    bool PageBookmarkText(String& out) override {
        out.AssignChars(pageText.data(), static_cast<int32_t>(pageText.size()));
        return !pageText.empty();
    }
    void DeleteHighlightsInSelection() override { calls.push_back("DeleteHighlights"); }
    void EnterLinkSourceMode() override { calls.push_back("LinkSource"); }
    bool AddLinkToSelection() override {
        calls.push_back("LinkTarget");
        return linkAdded;
    }
    bool OpenSelectedImage() override { return Call("Image"); }
    bool Lookup(int32_t command) override {
        lookups.push_back(command);
        return true;
    }
    bool PositionText(String& out) override {
        if (position.empty()) return false;
        out.AssignChars(position.data(), static_cast<int32_t>(position.size()));
        return true;
    }
    bool Reload() override { return Call("ReloadDocument"); }
    bool GetTitle(String& out) override {
        out.AssignChars(title.data(), static_cast<int32_t>(title.size()));
        return !title.empty();
    }
    // The widgets' questions (the link face).
    bool GetViewRect(Rect& out) override {
        out = view;
        return hasView;
    }
    bool PageStep(int32_t, int32_t, int32_t) override { return Call("PageStep"); }
    uint32_t DocumentLength() override { return length; }
    int32_t GetPageNumber() override { return pageNumber; }

    bool Call(const char* name) {
        calls.push_back(name);
        return true;
    }

    SortedRecordDatabase* log = nullptr;
    DocumentLoader* loader = nullptr;
    ReaderSettings* settings = nullptr;
    DrawingSurface* surface = nullptr;
    ReaderController* controller = nullptr;
    ReaderWindow* window = nullptr;
    std::vector<int32_t> executed, notified, sizeSteps, lookups, changed;
    std::vector<std::string> calls;
    std::vector<std::u16string> links, opened, references;
    std::vector<std::pair<uint32_t, uint32_t>> queries;
    std::function<void(int32_t)> onExecute;
    uint32_t viewMode = 1;
    bool hasLocation = false;
    Location location;
    bool openSucceeds = true;
    bool referenceSucceeds = true;
    bool goOn = true;
    bool linkAdded = true;
    std::u16string selection, startText, position;
    uint32_t selStart = 0, selEnd = 0;
    int64_t pageValue = -1;
    uint32_t pageStart = 0, pageEnd = 0;
    std::u16string pageText;
    AnnotationFile* annotations = nullptr;
    bool* destroyed = nullptr;
    std::u16string title;
    Rect view{};
    bool hasView = false;
    uint32_t length = 0;
    int32_t pageNumber = 0;
};

class FakeFactory : public DocumentControllerFactory {
public:
    DocumentController* CreateDocumentController(ScriptHeap* heap) override {
        lastHeap = heap;
        ++made;
        if (fail) return nullptr;
        last = new FakeDocumentController();
        last->title = title;
        return last;
    }
    std::u16string title;
    ScriptHeap* lastHeap = nullptr;
    FakeDocumentController* last = nullptr;
    int made = 0;
    bool fail = false;
};

// Frames that own their reader windows, as the shell's will.
class FakeFrameHost : public ReaderFrameHost {
public:
    ~FakeFrameHost() {
        for (ReaderWindow* w : owned) delete w;
    }
    bool OpenFrame(ReaderWindow* window, const Rect* r, const String* caption, bool layout,
                   bool topmost) override {
        if (fail) return false;
        owned.push_back(window);
        captions.push_back(caption ? U16(*caption) : u"<none>");
        rects.push_back(r ? *r : Rect{-1, -1, -1, -1});
        flags.push_back((layout ? 1 : 0) | (topmost ? 2 : 0));
        return true;
    }
    bool CloseFrame(ReaderWindow* window) override {
        for (size_t i = 0; i < owned.size(); ++i) {
            if (owned[i] != window) continue;
            owned.erase(owned.begin() + static_cast<std::ptrdiff_t>(i));
            delete window;
            ++closed;
            return true;
        }
        return false;
    }
    std::vector<ReaderWindow*> owned;
    std::vector<std::u16string> captions;
    std::vector<Rect> rects;
    std::vector<int> flags;
    int closed = 0;
    bool fail = false;
};

class FakeShell : public ReaderShell {
public:
    bool MessageBox(const String* caption, const String& text, uint32_t flags) override {
        messages.push_back(U16(text));
        captions.push_back(caption ? U16(*caption) : u"<none>");
        messageFlags.push_back(flags);
        return answer;
    }
    bool AskText(String& text, uint32_t mode) override {
        asked.push_back(mode);
        if (!confirm) return false;
        text.AssignChars(reply.data(), static_cast<int32_t>(reply.size()));
        return true;
    }
    bool ShowFind() override { return Log("Find"); }
    bool ShowFindDialog() override { return Log("FindDialog"); }
    void HideFindDialog() override { Log("HideFind"); }
    bool ShowOptions() override { return Log("Options"); }
    bool ShowAbout() override { return Log("About"); }
    bool ShowGoToPage() override { return Log("GoToPage"); }
    bool ShowVolume() override { return Log("Volume"); }
    bool ChooseFile(String& path) override {
        Log("ChooseFile");
        if (chosen.empty()) return false;
        path.AssignChars(chosen.data(), static_cast<int32_t>(chosen.size()));
        return true;
    }
    bool ShowProperties(const String& f) override { return Log("Properties", f); }
    bool Beam(const String& p) override { return Log("Beam", p); }
    bool OpenWithShell(const String& u) override { return Log("Shell", u); }
    bool ToggleFullScreen() override { return Log("FullScreen"); }
    bool StartRecorder(const String& p) override { return Log("Recorder", p); }
    bool CopyToClipboard(const String& t) override {
        clipboard = U16(t);
        return Log("Copy");
    }
    void ShowText(const String& t, uint32_t) override { shown.push_back(U16(t)); }
    bool SetFullScreen(bool on) override { return Log(on ? "FullScreen on" : "FullScreen off"); }
    void ActivateFindDialog() override { Log("ActivateFind"); }

    bool Log(const char* what, const String& arg = String()) {
        std::string line = what;
        if (!arg.IsEmpty()) {
            line += " ";
            for (int32_t i = 0; i < arg.Length(); ++i) line += static_cast<char>(arg[i]);
        }
        log.push_back(line);
        return true;
    }
    // Entries of the log without the tool-panel hiding that precedes every direct command.
    std::vector<std::string> Actions() const {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l != "HideFind") out.push_back(l);
        return out;
    }

    std::vector<std::string> log;
    std::vector<std::u16string> messages, captions, shown;
    std::vector<uint32_t> messageFlags, asked;
    std::u16string clipboard, reply, chosen;
    bool answer = true;
    bool confirm = true;
};

}  // namespace fvt::test
