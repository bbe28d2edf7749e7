// A BookActionHost that writes each call into a log ("GoToPage 5") and answers true, with a
// policy whose answer a test sets; nothing reaches a real shell.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reader/document_view_script.h"

namespace fvt_test {

inline std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.At(i));
    return out;
}

inline String Wide(const char* text) {
    String s;
    s.AppendAscii(text);
    return s;
}

class RecordingPolicy : public ShellActionPolicy {
public:
    bool Allow(ShellAction action, const String& subject) override {
        asked.push_back(std::to_string(static_cast<int>(action)) + " " + Narrow(subject));
        return answer;
    }
    bool answer = true;
    std::vector<std::string> asked;
};

class RecordingActionHost : public DocumentScriptHost {
public:
    RecordingActionHost() : life_(std::make_shared<int>(0)) {}

    ShellActionPolicy* ShellPolicy() override { return policy; }
    std::weak_ptr<void> Lifetime() override { return life_; }
    // The controller's end (a navigation closed the window).
    void Destroy() { life_.reset(); }

    bool RunCommand(int32_t id) override { return Log("RunCommand " + std::to_string(id)); }
    bool ActivateLink(const String& url) override {
        Log("ActivateLink " + Narrow(url));
        if (onActivate) onActivate();
        return true;
    }
    bool OpenRequest(const String& location, const CommandRecord& r) override {
        std::string args;
        for (uint32_t i = 0; i < r.Count(); ++i)
            args += " " + Narrow(r.arguments.Get(i)->text) + (r.IsNumber(i) ? "#" : "");
        return Log("OpenRequest " + Narrow(location) + " " + std::to_string(r.methodId) + args);
    }
    bool ReopenWithRecord(const CommandRecord& r) override {
        return Log("ReopenWithRecord " + std::to_string(r.methodId));
    }
    bool GoToTextPosition(uint32_t p) override { return Log("GoToTextPosition " + N(p)); }
    bool DispatchWidgetEvent(const String& text, uint32_t arg, String*) override {
        return Log("DispatchWidgetEvent " + Narrow(text) + " " + N(arg));
    }
    bool OpenIndexEntry(uint32_t n, const String& t, uint32_t arg, const String& second) override {
        return Log("OpenIndexEntry " + N(n) + " " + Narrow(t) + " " + N(arg) + " " +
                   Narrow(second));
    }
    bool OpenLookupResult(const LinkTarget&, uint32_t arg, bool compact) override {
        return Log("OpenLookupResult " + N(arg) + (compact ? " compact" : ""));
    }
    bool AddToWordList(const WordListEntry& e) override {
        return Log("AddToWordList " + Narrow(e.key) + "|" + Narrow(e.headword) + "|" +
                   Narrow(e.link) + "|" + Narrow(e.shortName) + "|" + N(e.language) + "|" +
                   N(e.number));
    }
    bool BackToOtherDocument() override { return Log("BackToOtherDocument"); }
    bool GoToPage(uint32_t n) override { return Log("GoToPage " + N(n)); }
    bool StepPage(PageStepCode a, uint32_t mark) override {
        return Log("StepPage " + std::to_string(StepValue(a)) + " " + std::to_string(mark));
    }
    bool GoFirstPage() override { return Log("GoFirstPage"); }
    bool GoLastPage() override { return Log("GoLastPage"); }
    bool GoToContents() override { return Log("GoToContents"); }
    bool RunNamedAction(uint32_t n) override { return Log("RunNamedAction " + N(n)); }
    bool OpenRandomTableEntry(const String* name) override {
        return Log("OpenRandomTableEntry" + (name ? " " + Narrow(*name) : std::string()));
    }
    bool SelectionText(String& out) override {
        out = Wide("selected");
        return Log("SelectionText");
    }
    bool PreviousAnnotation() override { return Log("PreviousAnnotation"); }
    bool NextAnnotation() override { return Log("NextAnnotation"); }
    bool OpenAnnotationAt(const String& at, uint32_t n) override {
        return Log("OpenAnnotationAt " + Narrow(at) + " " + N(n));
    }
    bool EditAnnotation(uint32_t n) override { return Log("EditAnnotation " + N(n)); }
    bool DeleteAnnotation(uint32_t n) override { return Log("DeleteAnnotation " + N(n)); }
    bool OpenAnnotationLink(uint32_t n) override { return Log("OpenAnnotationLink " + N(n)); }
    bool OpenInTarget(const String& url, const String& target, const Rect& r, bool flag) override {
        return Log("OpenInTarget " + Narrow(url) + " " + Narrow(target) + " " +
                   std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) +
                   "," + std::to_string(r.height) + " " + (flag ? "1" : "0"));
    }
    bool CloseWindow() override { return Log("CloseWindow"); }
    bool ChangeFontSize(int32_t s) override { return Log("ChangeFontSize " + std::to_string(s)); }
    bool ShowPopupPage(const String& url, uint32_t k) override {
        return Log("ShowPopupPage " + Narrow(url) + " " + N(k));
    }
    bool PlayPlaylist(const String& f, bool rec) override {
        return Log("PlayPlaylist " + Narrow(f) + (rec ? " recorder" : ""));
    }
    bool StartRecorder() override { return Log("StartRecorder"); }
    bool SetPositionView(uint32_t n) override { return Log("SetPositionView " + N(n)); }
    bool SelectRange(uint32_t a, int32_t b) override {
        return Log("SelectRange " + N(a) + " " + std::to_string(b));
    }
    bool ShowNotePopup(uint32_t n) override { return Log("ShowNotePopup " + N(n)); }
    bool Dial(const String& t) override { return Log("Dial " + Narrow(t)); }
    bool OpenWithAssociatedApp(const String& f, bool point, uint32_t a, uint32_t b) override {
        return Log("OpenWithAssociatedApp " + Narrow(f) + (point ? " " + N(a) + " " + N(b) : ""));
    }
    bool OpenWithApplication(const String& f, const String& p) override {
        return Log("OpenWithApplication " + Narrow(f) + " [" + Narrow(p) + "]");
    }
    bool StartWebBrowser(const String& u) override { return Log("StartWebBrowser " + Narrow(u)); }
    bool TileWindows(uint32_t a, uint32_t b) override {
        return Log("TileWindows " + N(a) + " " + N(b));
    }
    bool ShowBusyText(const String& t, uint32_t ms) override {
        return Log("ShowBusyText " + Narrow(t) + " " + N(ms));
    }
    ScriptObject* OpenTableEntry(const String* name) override {
        Log("OpenTableEntry" + (name ? " " + Narrow(*name) : std::string()));
        return tableEntry;
    }
    uint32_t HistoryMode() override { return historyMode; }
    uint32_t BookLanguage() override { return bookLanguage; }
    void SetHistoryMode(uint32_t m) override {
        historyMode = m;
        Log("SetHistoryMode " + N(m));
    }
    bool HistoryBack() override { return Log("HistoryBack"); }
    bool HistoryForward() override { return Log("HistoryForward"); }
    bool SetCheckpoint() override { return Log("SetCheckpoint"); }
    bool HistoryToLast() override {
        Log("HistoryToLast");
        return checkpointFound;
    }
    bool ClearHistory() override { return Log("ClearHistory"); }
    bool AddToCart(const String& c, const String& i, const String& e) override {
        return Log("AddToCart [" + Narrow(c) + "] " + Narrow(i) + " [" + Narrow(e) + "]");
    }
    bool RemoveFromCart(const String& c, uint32_t n) override {
        return Log("RemoveFromCart [" + Narrow(c) + "] " + N(n));
    }
    bool ClearCart(const String& c) override { return Log("ClearCart [" + Narrow(c) + "]"); }
    bool SubmitInteractionsCart(const String& a, const String& b) override {
        return Log("SubmitInteractionsCart [" + Narrow(a) + "] [" + Narrow(b) + "]");
    }
    bool WriteCartXml(const String& c, const String& f) override {
        return Log("WriteCartXml [" + Narrow(c) + "] " + Narrow(f));
    }
    void SetSpeechLanguage(uint32_t n) override { Log("SetSpeechLanguage " + N(n)); }
    bool ReadAloud() override { return Log("ReadAloud"); }
    bool StartSpeech(const String& t) override { return Log("StartSpeech " + Narrow(t)); }
    bool ViewSearchText(const String& t) override { return Log("ViewSearchText " + Narrow(t)); }
    bool PlaySoundList(const String& t) override { return Log("PlaySoundList " + Narrow(t)); }
    bool StopSound() override { return Log("StopSound"); }
    bool SetSoundVolume(uint32_t n) override { return Log("SetSoundVolume " + N(n)); }
    bool PauseAudio() override { return Log("PauseAudio"); }
    bool ResumeAudio() override { return Log("ResumeAudio"); }
    bool PlayTrack(uint32_t n) override { return Log("PlayTrack " + N(n)); }

    bool GetSelectionOrLastWord(String& text, String& language) override {
        if (selection.empty()) return false;
        text = Wide(selection.c_str());
        language = Wide("en");
        return true;
    }
    bool CurrentLocationText(String& href, String& query) override {
        if (href_.empty()) return false;
        href = Wide(href_.c_str());
        size_t q = href_.find('?');
        query = Wide(q == std::string::npos ? "" : href_.c_str() + q + 1);
        return true;
    }
    int32_t HistoryPosition() override { return historyPosition; }
    bool GoToReference(const String& name) override { return Log("GoToReference " + Narrow(name)); }
    void ShowScriptError() override { Log("ShowScriptError"); }

    std::string Last() const { return log.empty() ? std::string() : log.back(); }

    std::vector<std::string> log;
    ShellActionPolicy* policy = nullptr;
    ScriptObject* tableEntry = nullptr;
    uint32_t historyMode = 0;
    uint32_t bookLanguage = 0;  // the book shown names none
    bool checkpointFound = true;
    std::string selection;
    std::string href_;
    int32_t historyPosition = 0;
    std::function<void()> onActivate;

private:
    static std::string N(uint32_t n) { return std::to_string(n); }
    bool Log(const std::string& line) {
        log.push_back(line);
        return true;
    }

    std::shared_ptr<int> life_;
};

}  // namespace fvt_test
