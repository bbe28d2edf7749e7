// A list view that shows a line of text while it has no row ("There is no reading list"), so
// that an empty list reads as empty rather than as a box left unfinished. The control's window
// procedure is hooked while both the hook object and the control live; either may go first.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

class EmptyListText {
public:
    EmptyListText() = default;
    EmptyListText(const EmptyListText&) = delete;
    EmptyListText& operator=(const EmptyListText&) = delete;
    ~EmptyListText();

    // Hooks `list` (again after a dialog re-created it) to paint the string `stringId`.
    void Attach(HWND list, uint32_t stringId);

private:
    static LRESULT Proc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
    void Paint(HWND list) const;

    HWND list_ = nullptr;
    WNDPROC previous_ = nullptr;
    uint32_t text_ = 0;
};
