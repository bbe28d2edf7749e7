// Stand-ins for the reader and document controllers that the display surface and the widgets
// call, recording what they are asked.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/core/graphics_context.h"
#include "graphics/core/reader_links.h"

namespace fvt::test {

class FakeDocumentController : public DocumentControllerLink {
public:
    bool GetViewRect(Rect& out) override {
        out = view;
        return hasView;
    }
    bool PageStep(int32_t how, int32_t count, int32_t flags) override {
        calls.push_back("step " + std::to_string(how) + " " + std::to_string(count) + " " +
                        std::to_string(flags));
        if (stepsLeft == 0) return false;
        if (stepsLeft > 0) --stepsLeft;
        // The next page's lines.
        if (spans.size() > 1) spans.erase(spans.begin());
        if (onStep) onStep();
        return true;
    }
    bool GetPageTextSpan(int32_t& top, int32_t& bottom) override {
        if (spans.empty()) return false;
        top = spans.front().first;
        bottom = spans.front().second;
        return true;
    }
    void Scroll(int32_t pixels, int32_t mode) override {
        calls.push_back("scroll " + std::to_string(pixels) + " " + std::to_string(mode));
    }
    void Refresh() override {
        calls.push_back("refresh");
        if (onRefresh) onRefresh();
    }
    void HistoryBack() override { calls.push_back("back"); }
    uint32_t DocumentLength() override { return length; }
    int32_t GetPageStart() override { return pageStart; }
    int32_t GetPageNumber() override { return pageNumber; }
    AnnotationFile* GetAnnotationFile() override { return annotations; }

    Rect view{};
    bool hasView = true;
    // Each page's lines (top of the first, bottom of the last, from the view's top), the page
    // shown first; none: unknown.
    std::vector<std::pair<int32_t, int32_t>> spans;
    int stepsLeft = -1;  // negative: every step succeeds
    uint32_t length = 0;
    int32_t pageStart = 0;
    int32_t pageNumber = 0;
    AnnotationFile* annotations = nullptr;
    std::function<void()> onStep;
    std::function<void()> onRefresh;
    std::vector<std::string> calls;
};

class FakeReaderController : public ReaderControllerLink {
public:
    DocumentControllerLink* GetDocumentController() override { return document; }
    DrawingSurface* GetSurface() override { return surface; }
    void GetCommandStates(bool& first, bool& second, bool& third) override {
        first = rotationAllowed;
        second = false;
        third = rotationAllowed;
    }
    void SetPopupRect(const Rect& r, bool forced) override {
        popupRects.push_back(r);
        (void)forced;
    }
    int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) override {
        (void)captionId;
        (void)style;
        messages.push_back(textId);
        return 1;
    }
    void OnCommand(uint32_t command, uint32_t argument) override {
        commands.push_back(command);
        (void)argument;
    }
    bool RotateToNextOrientation() override { return systemRotates; }
    bool SetDisplayOrientation(int orientation) override {
        (void)orientation;
        return systemRotates;
    }
    bool DisplaySurfaceAllowed() override { return surfaceAllowed; }
    void SetOrientationSetting(int orientation) override { orientationSetting = orientation; }
    uint32_t GetTextColour() override { return textColour; }
    uint32_t GetBackgroundColour() override { return backgroundColour; }
    int8_t PositionBarFontSize() override { return fontSize; }
    const AppPaths* Paths() override { return nullptr; }

    DocumentControllerLink* document = nullptr;
    DrawingSurface* surface = nullptr;
    bool rotationAllowed = true;
    bool systemRotates = false;
    bool surfaceAllowed = true;
    int orientationSetting = -1;
    uint32_t textColour = 0;
    uint32_t backgroundColour = 0xFFFFFF;
    int8_t fontSize = -10;
    std::vector<Rect> popupRects;
    std::vector<int32_t> messages;
    std::vector<uint32_t> commands;
};

// A picture of one colour (r | g << 8 | b << 16) that remembers where it was drawn; a size
// query that fails when answers is false.
class SolidPicture : public DrawablePicture {
public:
    SolidPicture(int32_t w, int32_t h, uint32_t colour = 0x00FF00, bool answers = true)
        : w_(w), h_(h), colour_(colour), answers_(answers) {}
    bool GetSize(int32_t& width, int32_t& height, uint32_t& extra) override {
        width = w_;
        height = h_;
        extra = 0;
        return answers_;
    }
    bool Draw(GraphicsContext& gc, const Rect& r, uint32_t) override {
        gc.SetPenColor(colour_);
        gc.SetBrushColor(colour_);
        gc.DrawRectangle(r, true);
        drawnAt = r;
        return true;
    }
    Rect drawnAt{};

private:
    int32_t w_, h_;
    uint32_t colour_;
    bool answers_;
};

}  // namespace fvt::test
