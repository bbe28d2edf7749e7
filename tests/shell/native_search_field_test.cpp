// A record-set page typed into through the window's own edit control: the control is placed on
// the page's field box, what is typed there positions the list, and the page's own writes (a
// level's text) show in it.
#include "shell/native_search_field.h"

#include <gtest/gtest.h>

#include <memory>

#include "../database/fake_index.h"
#include "reader/record_set_page.h"
#include "platform/controls/controls.h"
#include "shell/native_control.h"
#include "support/graphics/surface_test.h"

namespace fvt::test {
namespace {

class Owner : public RecordSetPageOwner {
public:
    NativeSearchFields fields;
    void PostHistoryBack() override {}
    bool OpenEntryPosition(IndexSource*, uint32_t, int64_t) override { return false; }
    bool OpenDocumentLocation(const String&) override { return false; }
    void ShowPopupText(const String&) override {}
    std::unique_ptr<SearchField> MakeSearchField(Node* owner) override {
        return fields.MakeSearchField(owner);
    }
};

class NativeSearchFieldTest : public SurfaceTest {
protected:
    void SetUp() override {
        SurfaceTest::SetUp();
        book.tables.push_back(new FakeIndex({"apple", "bank", "cat", "dog"}, "words"));
        String location;
        page = RecordSetPage::Open(String(u"fvtindex&0"), &book, &owner, location);
        ASSERT_TRUE(page);
        page->Show(surface.get(), Rect{0, 0, 240, 200});
        fvt::RunUntilIdle();
        edit = GetWindow(hwnd, GW_CHILD);
    }
    void TearDown() override {
        page.reset();
        SurfaceTest::TearDown();
    }
    // The user's typing: the control's text changes and the main window passes its notice.
    void TypeInControl(const char16_t* text) {
        SetWindowTextW(edit, text);
        const WPARAM change = static_cast<WPARAM>(EN_CHANGE) << 16 | 1;
        NativeControl::RouteCommand(change, reinterpret_cast<LPARAM>(edit));
    }
    std::u16string ControlText() {
        WCHAR buffer[64] = {};
        const int n = GetWindowTextW(edit, buffer, 64);
        return std::u16string(buffer, static_cast<size_t>(n));
    }

    FakeBook book;
    Owner owner;
    std::unique_ptr<RecordSetPage> page;
    HWND edit = nullptr;
};

TEST_F(NativeSearchFieldTest, TheControlSitsOnTheFieldBoxAndItsTextPositionsTheList) {
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(page->View().Field(), nullptr);
    RECT r{};
    GetWindowRect(edit, &r);
    EXPECT_GT(r.right - r.left, 20);
    EXPECT_LE(r.right - r.left, 300);
    TypeInControl(u"ca");
    EXPECT_TRUE(page->View().SearchText() == String(u"ca"));
    EXPECT_EQ(page->View().TopEntry(), 2);
    EXPECT_EQ(page->View().Selected(), 0);
    // The page's own write shows in the control and is not taken as typing.
    page->View().SetSearchText(String(u"do"));
    EXPECT_EQ(ControlText(), u"do");
    EXPECT_EQ(page->View().TopEntry(), 3);
}

TEST_F(NativeSearchFieldTest, ALeftPageHidesItsControl) {
    ASSERT_NE(edit, nullptr);
    page->Hide();
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_EQ(page->View().Field(), nullptr);
    // The page goes with its control.
    page.reset();
    EXPECT_EQ(GetWindow(hwnd, GW_CHILD), nullptr);
}

}  // namespace
}  // namespace fvt::test
