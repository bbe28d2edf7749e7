// Form controls in the flow, measured with the box font (6 pixels a character): the layout asks
// its form list for each control and places it inline like a picture.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class FixedControl : public InlineObject {
public:
    bool Draw(GraphicsContext* /*gc*/, const Rect& /*area*/, const Rect* /*clip*/) override {
        return true;
    }
    bool MeasureSimple(Size& size, uint8_t& flag) override {
        size = Size{30, 10};
        flag = 0;
        return true;
    }
};

class FakeForms : public PageFormList {
public:
    void RestoreValues(AreaArray& /*marks*/) override {}
    InlineObject* BuildControl(TokenSource& /*source*/, uint32_t /*position*/,
                               uint32_t /*documentKey*/) override {
        ++asked;
        return noControl ? nullptr : new FixedControl();
    }
    bool noControl = false;
    int asked = 0;
};

class FormControls : public fvt::test::WindowTest {
public:
    std::vector<LaidOutPage> Pages(const std::u16string& body, bool withForms = true) {
        host = std::make_unique<LayoutHost>(u"<html><body><div>" + body + u"</div></body></html>",
                                            240, 320, 12);
        if (withForms) host->Layout().SetFormList(&forms);
        std::vector<LaidOutPage> pages;
        EXPECT_TRUE(host->Paginate(pages));
        return pages;
    }
    const InlineBox* FirstBox() {
        BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
        for (int32_t i = 0; i < b.KindCount(kItemInlineBox); ++i)
            if (b.Object(i)->object && b.Object(i)->rect.width > 0) return b.Object(i);
        return nullptr;
    }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }
    FakeForms forms;
    std::unique_ptr<LayoutHost> host;
};

TEST_F(FormControls, AControlTakesItsBoxOnTheLineAndTextFlowsAfterIt) {
    auto pages = Pages(u"ab <input type=\"text\" name=\"q\"> cd");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"ab [30x10] cd"}));
    const InlineBox* b = FirstBox();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->rect.x, 18 + 1);  // "ab " then the one-pixel spacing
    EXPECT_EQ(b->rect.width, 30);
    EXPECT_EQ(b->rect.height, 10);
    EXPECT_GE(forms.asked, 1);
}

TEST_F(FormControls, SelectAndTextAreaArePlacedToo) {
    auto pages = Pages(u"a <select name=\"s\"></select> b <textarea name=\"t\"></textarea> c");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a [30x10] b [30x10] c"}));
}

TEST_F(FormControls, ANullControlPlacesNothing) {
    forms.noControl = true;
    auto pages = Pages(u"ab <input type=\"text\"> cd");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"ab cd"}));
    EXPECT_EQ(FirstBox(), nullptr);
    EXPECT_GE(forms.asked, 1);
}

TEST_F(FormControls, WithoutAFormListTheElementIsPassedOver) {
    auto pages = Pages(u"ab <input type=\"text\"> cd", false);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"ab cd"}));
    EXPECT_EQ(forms.asked, 0);
}

}  // namespace
