// Dialog and control tests: a window test whose answers never wait for a person, and helpers to
// make controls and templates.
#pragma once

#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_template.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {

class DialogTest : public WindowTest {
protected:
    explicit DialogTest(const std::string& profile = "clock = virtual\n") : WindowTest(profile) {}
    void SetUp() override {
        WindowTest::SetUp();
        fvt::SetAnswersFromUser(false);
        fvt::ClearAnswers();
    }
    void TearDown() override {
        fvt::ClearAnswers();
        WindowTest::TearDown();
    }

    HWND Control(HWND parent, const WCHAR* cls, DWORD style, int id, int x = 10, int y = 10,
                 int w = 100, int h = 20, const WCHAR* text = u"") {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                               reinterpret_cast<void*>(static_cast<UINT_PTR>(id)), nullptr,
                               nullptr);
    }
    // WM_COMMAND notices (id, code) the parent received, in order.
    std::vector<std::pair<int, int>> Commands() {
        std::vector<std::pair<int, int>> out;
        for (auto& r : Log())
            if (r.message == WM_COMMAND)
                out.emplace_back(LOWORD(r.wParam), HIWORD(r.wParam));
        return out;
    }
};

inline std::u16string TextOf(HWND hwnd) {
    WCHAR buffer[1024] = {};
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

}  // namespace fvt::test
