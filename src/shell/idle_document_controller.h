// The document controller the program starts with while the page view and the book-opening road
// are not part of it: it knows the location it was asked for and opens nothing, so the window
// comes up empty and every navigation reports that nothing was opened.
#pragma once

#include <vector>

#include "core/string.h"
#include "reader/document_controller.h"

class IdleDocumentController : public DocumentController {
public:
    void SetLogDatabase(SortedRecordDatabase*) override {}
    void SetDocumentLoader(DocumentLoader*) override {}
    void SetSettings(ReaderSettings*) override {}
    void SetDrawingSurface(DrawingSurface*) override {}
    void SetReaderController(ReaderController*) override {}
    void SetReaderWindow(ReaderWindow*) override {}
    void SetEventSink(AppShellEvents* sink, uint32_t cookie) override {
        sink_ = sink;
        cookie_ = cookie;
    }
    void Shutdown() override { sink_ = nullptr; }

    bool ExecuteCommand(int32_t) override { return false; }
    void NotifyCommand(int32_t id) override;
    uint32_t ViewMode() const override { return 7; }

    // Remembers the locations asked for; opens nothing.
    bool ActivateLink(const String& url) override {
        requested_.push_back(url);
        return false;
    }
    bool OpenWithQuery(const Location&, uint32_t, uint32_t) override { return false; }
    bool ViewRequest(uint32_t, uint32_t) override { return false; }
    bool OpenReference(const String&) override { return false; }
    bool BackToOtherDocument() override { return false; }
    bool GoToFirstPage() override { return false; }
    bool StepForward() override { return false; }
    bool AskToGoOn() override { return true; }
    const Location* CurrentLocation() const override { return nullptr; }
    bool ChangeFontSize(int32_t) override { return false; }
    void SaveViewState() override {}
    void ResetViewElement() override {}
    bool GetSelection(String& text, uint32_t& start, uint32_t& end) override {
        text.SetEmpty();
        start = end = 0;
        return false;
    }
    int64_t CurrentPageValue() override { return -1; }
    bool AnnotationStartText(uint32_t, uint32_t, uint32_t, String&) override { return false; }
    AnnotationFile* CurrentAnnotationFile() override { return nullptr; }
    void ReloadAnnotations() override {}
    void NotifyAnnotationChanged(int32_t) override {}
    bool PageRange(uint32_t& start, uint32_t& end) override {
        start = end = 0;
        return false;
    }
    bool PageBookmarkText(String&) override { return false; }
    void DeleteHighlightsInSelection() override {}
    void EnterLinkSourceMode() override {}
    bool AddLinkToSelection() override { return false; }
    bool OpenSelectedImage() override { return false; }
    bool Lookup(int32_t) override { return false; }
    bool PositionText(String&) override { return false; }
    bool Reload() override { return false; }

    const std::vector<String>& Requested() const { return requested_; }

private:
    AppShellEvents* sink_ = nullptr;
    uint32_t cookie_ = 0;
    std::vector<String> requested_;
};

class IdleDocumentControllerFactory : public DocumentControllerFactory {
public:
    DocumentController* CreateDocumentController(ScriptHeap*) override;
};
