// Stand-ins for the bars, list windows and text pop-ups that later layers give the reader
// controller: each writes what it is asked into one shared log, in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/string.h"
#include "reader/reader_views.h"
#include "support/reader/reader_fakes.h"

namespace fvt::test {

using ViewLog = std::vector<std::string>;

inline std::string Ascii(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
    return out;
}

class FakeBar : public ReaderBar {
public:
    FakeBar(std::string name, ViewLog* log) : name_(std::move(name)), log_(log) {}
    ~FakeBar() override { log_->push_back(name_ + " gone"); }
    void Show(bool show) override { visible = show; }
    bool IsVisible() const override { return visible; }
    void UpdateItems() override { log_->push_back(name_ + " items"); }
    bool RouteCommand(int32_t id) override {
        log_->push_back(name_ + " cmd " + std::to_string(id));
        return id == takes;
    }
    bool visible = false;
    int32_t takes = -1;

private:
    std::string name_;
    ViewLog* log_;
};

class FakeListWindow : public ReaderListWindow {
public:
    FakeListWindow(std::string name, ViewLog* log) : name_(std::move(name)), log_(log) {}
    ~FakeListWindow() override { log_->push_back(name_ + " gone"); }
    void Show(bool show) override { visible = show; }
    bool IsVisible() const override { return visible; }
    bool RouteMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        log_->push_back(name_ + " msg " + std::to_string(message));
        if (message != takesMessage) return false;
        result = 7;
        return true;
    }
    bool RouteCommand(int32_t id) override {
        log_->push_back(name_ + " cmd " + std::to_string(id));
        if (onCommand) onCommand(id);
        return id == takes;
    }
    void Layout(const Rect& r) override { laidOut = r; }
    void Focus() override { log_->push_back(name_ + " focus"); }
    void Refresh(const String& fileName) override {
        log_->push_back(name_ + " refresh " + Ascii(fileName));
    }
    bool visible = false;
    int32_t takes = -1;
    UINT takesMessage = 0;
    Rect laidOut{};
    std::function<void(int32_t)> onCommand;

private:
    std::string name_;
    ViewLog* log_;
};

class FakeViewFactory : public ReaderViewFactory {
public:
    std::unique_ptr<ReaderBar> CreateBar(Bar kind, ReaderController*) override {
        static const char* names[] = {"reader", "audio", "zoom"};
        auto bar = std::make_unique<FakeBar>(names[static_cast<int>(kind)], &log);
        bars[static_cast<int>(kind)] = bar.get();
        return bar;
    }
    std::unique_ptr<ReaderListWindow> CreateListWindow(List kind, ReaderController*,
                                                       HWND p) override {
        parent = p;
        if (failLists) return nullptr;
        auto list =
            std::make_unique<FakeListWindow>(kind == List::kLibrary ? "library" : "notes", &log);
        (kind == List::kLibrary ? library : notes) = list.get();
        return list;
    }
    FakeBar* bars[3] = {};
    FakeListWindow* library = nullptr;
    FakeListWindow* notes = nullptr;
    HWND parent = nullptr;
    bool failLists = false;
    ViewLog log;
};

// A pop-up that records its runs ("text|flags", "link|flags|kind|method|argument").
class FakeTextPopup : public TextPopup {
public:
    explicit FakeTextPopup(ViewLog* log, int id) : log_(log), id_(id) {}
    ~FakeTextPopup() override { log_->push_back("popup " + std::to_string(id_) + " gone"); }
    bool AddText(const String& text, uint32_t flags) override {
        runs.push_back(Ascii(text) + "|" + std::to_string(flags));
        return true;
    }
    bool AddLink(const String& text, uint32_t flags, uint32_t kind, uint32_t method,
                 int32_t argument) override {
        runs.push_back("link " + Ascii(text) + "|" + std::to_string(flags) + "|" +
                       std::to_string(kind) + "|" + std::to_string(method) + "|" +
                       std::to_string(argument));
        return true;
    }
    bool ShowAt(const Rect& a, Point p, uint32_t placement) override {
        area = a;
        anchor = p;
        this->placement = placement;
        shown = true;
        log_->push_back("popup " + std::to_string(id_) + " shown");
        return true;
    }
    void Hide() override {
        shown = false;
        log_->push_back("popup " + std::to_string(id_) + " hidden");
    }
    std::vector<std::string> runs;
    Rect area{};
    Point anchor{};
    uint32_t placement = 99;
    bool shown = false;

private:
    ViewLog* log_;
    int id_;
};

class FakePopupFactory : public TextPopupFactory {
public:
    std::unique_ptr<TextPopup> CreateTextPopup(DrawingSurface* s) override {
        surface = s;
        if (fail) return nullptr;
        auto popup = std::make_unique<FakeTextPopup>(&log, ++made);
        last = popup.get();
        return popup;
    }
    DrawingSurface* surface = nullptr;
    FakeTextPopup* last = nullptr;
    int made = 0;
    bool fail = false;
    ViewLog log;
};

}  // namespace fvt::test
