// Form controls in the flow, measured with the box font (6 pixels a character): the layout asks
// its form list for each control and places it inline like a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/markup/token_source.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "layout/layout_forms.h"
#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

constexpr uint32_t kFormAction = 100;  // ACTION

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

// A control that measures only with the graphics context, as the native controls do.
class ContextControl : public InlineObject {
public:
    bool Draw(GraphicsContext* /*gc*/, const Rect& /*area*/, const Rect* /*clip*/) override {
        return true;
    }
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override {
        if (!gc) return false;
        size = Size{40, 14};
        flagA = 0;
        flagB = 1;
        baseline = 3;
        minimum = size;
        return true;
    }
    bool MeasureSimple(Size& /*size*/, uint8_t& /*flag*/) override { return false; }
    bool IsControl() override { return true; }
};

class FakeForms : public PageFormList {
public:
    void RestoreValues(AreaArray& /*marks*/) override {}
    InlineObject* BuildControl(TokenSource& source, const FormControlRequest& request) override {
        ++asked;
        last = request;
        lastName = request.formName ? *request.formName : String(u"<none>");
        if (request.formElement) request.formElement->GetAttributeText(kFormAction, action);
        if (request.style3) std::copy(request.style3, request.style3 + 3, style);
        // Like the form builder, a SELECT is read through its end tag.
        if (readContent) source.SkipElement();
        if (measureWithContext) return new ContextControl();
        return noControl ? nullptr : new FixedControl();
    }
    bool noControl = false;
    int asked = 0;
    bool readContent = false;
    bool measureWithContext = false;
    FormControlRequest last;
    String lastName;
    String action;
    uint8_t style[3] = {};
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
    // The text style in force at the first run with that text.
    const PositionRecord* StyleAt(const std::string& text) {
        BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
        BlockCursor c;
        c.Init(&b, true);
        const PositionRecord* style = nullptr;
        for (; !c.AtEnd(); c.Next()) {
            if (c.Kind() == kItemStyleChange) style = b.Style(c.counts[kItemStyleChange]);
            if (c.Kind() != kItemTextRun) continue;
            std::u16string wide(text.begin(), text.end());
            if (b.Run(c.counts[kItemTextRun])->text ==
                String(wide.data(), static_cast<int32_t>(wide.size())))
                return style;
        }
        return nullptr;
    }
    const InlineBox* FirstBox() { return host->FirstObject(0); }
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

TEST_F(FormControls, ANamedFormIsFoundByItsNameWithTheFormElementsAttributes) {
    auto pages = Pages(
        u"<form name=\"order\" action=\"send.html\">ab <b><input type=\"text\"></b></form>"
        u"<form><input type=\"text\"></form>");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(forms.asked, 2);
    // The second form has no name: it is found by the control's position.
    EXPECT_EQ(forms.lastName, String(u"<none>"));
    EXPECT_EQ(forms.last.formElement, nullptr);
    EXPECT_EQ(forms.action, String(u"send.html"));
    EXPECT_EQ(forms.last.defaultWidth, 128);
    EXPECT_GT(forms.last.position, 0u);
}

TEST_F(FormControls, TheControlGetsTheTextStyleInForce) {
    Pages(u"<form name=\"f\"><b>x <input type=\"text\"></b></form>");
    EXPECT_EQ(forms.lastName, String(u"f"));
    EXPECT_GT(forms.last.formPosition, 0u);
    EXPECT_LT(forms.last.formPosition, forms.last.position);
    EXPECT_EQ(static_cast<int8_t>(forms.style[0]), -12);  // 12 pixels
    EXPECT_EQ(forms.style[1] & 1, 1);                     // bold
}

TEST_F(FormControls, AControlThatMeasuresWithTheContextSitsOnTheBaseline) {
    forms.measureWithContext = true;
    auto pages = Pages(u"ab <input type=\"text\"> cd");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"ab [40x14] cd"}));
    const InlineBox* b = FirstBox();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->descent, 3);
    // 11 pixels above the baseline and 3 below it, with one pixel of spacing each way: the
    // line is 16 high (the box font's text needs 9 and 3), the control's bottom at 12 + 3.
    EXPECT_EQ(pages[0].lineBoxes[0].height, 16);
    EXPECT_EQ(b->rect.y + b->rect.height - pages[0].lineBoxes[0].y, 15);
}

TEST_F(FormControls, ASelectReadByItsControlClosesItsElement) {
    forms.readContent = true;
    auto pages = Pages(u"<b>x <select name=\"s\"><option>one</option></select> y</b> z");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"x [30x10] y z"}));
    const PositionRecord* y = StyleAt("y");
    const PositionRecord* z = StyleAt("z");
    ASSERT_NE(y, nullptr);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(y->style & 1, 1);
    EXPECT_EQ(z->style & 1, 0);  // the B element ended at its end tag
}

TEST_F(FormControls, WithoutAFormTheContentOfASelectIsNoText) {
    auto pages = Pages(
        u"a <select name=\"s\"><option>one</option><option>two</option></select> b "
        u"<textarea>typed</textarea> c",
        false);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a b c"}));
    forms.noControl = true;
    pages = Pages(u"a <select name=\"s\"><option>one</option></select> b");
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a b"}));
}

// The window's form list behind the layout.
class WindowForms : public fvt::test::WindowTest {
public:
    std::vector<LaidOutPage> Pages(const std::u16string& body) {
        host = std::make_unique<LayoutHost>(u"<html><body><div>" + body + u"</div></body></html>",
                                            240, 320, 12);
        host->Layout().SetFormList(&adapter);
        std::vector<LaidOutPage> pages;
        EXPECT_TRUE(host->Paginate(pages));
        return pages;
    }
    void TearDown() override {
        host.reset();
        list.Clear(0);
        WindowTest::TearDown();
    }
    FormList list;
    LayoutFormList adapter{list};
    std::unique_ptr<LayoutHost> host;
};

TEST_F(WindowForms, ANamedFormComesUpWithItsControlsOnThePage) {
    const std::u16string body =
        u"<form name=\"order\" action=\"send.html\">Name <input type=\"text\" name=\"who\" "
        u"size=\"5\"> <select name=\"size\"><option>small</option><option>large</option></select> "
        u"<input type=\"submit\" value=\"Go\"></form> after";
    auto pages = Pages(body);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lines.size(), 1u);
    const std::string& line = pages[0].lines[0];
    // Three controls, the options only inside the list.
    EXPECT_EQ(line.rfind("Name [", 0), 0u) << line;
    EXPECT_EQ(line.find("small"), std::string::npos) << line;
    EXPECT_NE(line.find("] after"), std::string::npos) << line;
    BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
    int controls = 0;
    for (int32_t i = 0; i < b.KindCount(kItemInlineBox); ++i)
        if (b.Object(i)->object && b.Object(i)->object->IsControl()) ++controls;
    EXPECT_EQ(controls, 3);
    // A text entry of five characters: five em widths (6 pixels) and its frame.
    EXPECT_EQ(line.rfind("Name [34x", 0), 0u) << line;

    ASSERT_EQ(list.Count(), 1);
    Form* form = list.At(0);
    EXPECT_EQ(form->Name(), String(u"order"));
    EXPECT_EQ(form->Action(), String(u"send.html"));
    EXPECT_EQ(form->FieldCount(), 3);
    // Laid out again, the same form keeps its fields.
    pages = Pages(body);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0)->FieldCount(), 3);
}

TEST_F(WindowForms, AFormThatCannotBeFoundPlacesNoControl) {
    // No FORM around the controls, and the page has no forms table to find one by position.
    auto pages = Pages(u"a <input type=\"text\"> b <select><option>x</option></select> c");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a b c"}));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(WindowForms, AFormWithoutANameIsNamedAfterItsPlace) {
    // Nameless, and no forms table to find it by position: the FORM element still makes the
    // form, named after its position, and its attributes are read.
    const std::u16string body =
        u"<form action=\"send.html\">a <input type=\"text\"> b "
        u"<select><option>x</option></select> c</form>";
    auto pages = Pages(body);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lines.size(), 1u);
    EXPECT_NE(pages[0].lines[0].find("] b ["), std::string::npos) << pages[0].lines[0];
    ASSERT_EQ(list.Count(), 1);
    Form* form = list.At(0);
    EXPECT_EQ(form->Action(), String(u"send.html"));
    EXPECT_EQ(form->FieldCount(), 2);
    String expected;
    ASSERT_TRUE(LayoutFormList::UnnamedFormName(form->TextStart(), expected));
    EXPECT_EQ(form->Name(), expected);
    // Laid out again: the same name finds the same form.
    Pages(body);
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
