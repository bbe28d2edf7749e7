#include "library_ui/library_list_windows.h"

#include <memory>

#include "core/string.h"
#include "core/text.h"
#include "library_ui/annotation_list_window.h"
#include "library_ui/library_view.h"

namespace {

// Commands reach a list window only while it shows: the annotation filters share their ids
// with the reader bar's items.
template <class Window>
class ListWindowAdapter final : public ReaderListWindow {
public:
    explicit ListWindowAdapter(std::unique_ptr<Window> w) : window(std::move(w)) {}
    void Show(bool show) override { window->Show(show); }
    bool IsVisible() const override { return window->IsShown(); }
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (!window->IsShown() || message != WM_COMMAND) return false;
        result = 0;
        return window->OnCommand(static_cast<uint32_t>(wParam & 0xFFFF));
    }
    bool RouteCommand(int32_t id) override {
        return window->IsShown() && id > 0 && window->OnCommand(static_cast<uint32_t>(id));
    }
    void Layout(const Rect& r) override { window->Layout(r.x, r.y, r.x + r.width, r.y + r.height); }
    void Focus() override { window->FocusIfVisible(); }
    void Refresh(const String& fileName) override;

    std::unique_ptr<Window> window;
};

template <>
void ListWindowAdapter<LibraryView>::Refresh(const String& fileName) {
    Text name;
    name.FromString(fileName);
    window->Refresh(name);
}

template <>
void ListWindowAdapter<AnnotationListWindow>::Refresh(const String&) {
    window->Refill();
}

}  // namespace

std::unique_ptr<ReaderListWindow> CreateLibraryListWindow(ReaderViewFactory::List kind,
                                                          ReaderController* controller,
                                                          HWND parent, Library* library,
                                                          LibraryViewServices* services) {
    if (kind == ReaderViewFactory::List::kLibrary) {
        auto view = std::make_unique<LibraryView>(controller, library, services);
        if (!view->Create(parent)) return nullptr;
        return std::make_unique<ListWindowAdapter<LibraryView>>(std::move(view));
    }
    auto window = std::make_unique<AnnotationListWindow>(controller, services);
    if (!window->Create(parent)) return nullptr;
    return std::make_unique<ListWindowAdapter<AnnotationListWindow>>(std::move(window));
}

LibraryView* LibraryViewOf(ReaderListWindow* window) {
    auto* adapter = dynamic_cast<ListWindowAdapter<LibraryView>*>(window);
    return adapter ? adapter->window.get() : nullptr;
}

ListWindow* ListWindowOf(ReaderListWindow* window) {
    if (LibraryView* view = LibraryViewOf(window)) return view;
    auto* adapter = dynamic_cast<ListWindowAdapter<AnnotationListWindow>*>(window);
    return adapter ? adapter->window.get() : nullptr;
}
