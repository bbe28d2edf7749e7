// A small form as a reader sees it, in English and French: a text entry, a password field, a
// check box and the submit and reset buttons with their labels from the string table. The
// pictures are kept with FOLIVANT_SNAPSHOTS set; the checks are on what must show.
#include <gtest/gtest.h>

#include "core/resources.h"
#include "graphics/controls/button_control.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/controls/text_entry_control.h"
#include "media/image/icon_image.h"
#include "paths/app_paths.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::S;

class ControlsLook : public fvt::test::SurfaceTest {
protected:
    explicit ControlsLook(const std::string& profile = "clock = virtual\n")
        : SurfaceTest(profile) {}

    void Place(FormControl* c, Node* node, const Rect& r) {
        c->SetRect(r, UiColour(21));
        node->SetParent(surface.get());
        node->Show(true);
        controls.push_back(c);
    }
    static uint32_t UiColour(uint32_t id) {
        uint32_t c = 0;
        UiColors::Get(c, id);
        return c;
    }
    // Draws the form; the submit button's rectangle.
    Rect DrawForm(const char* name) {
        GdiUseSyntheticFonts(false);
        auto* text = new TextEntryControl(nullptr);
        text->RestoreState(S("Ada Lovelace"));
        Place(text, text, Rect{10, 10, 140, 22});
        auto* password = new TextEntryControl(nullptr);
        password->SetPassword();
        password->RestoreState(S("secret"));
        Place(password, password, Rect{10, 40, 140, 22});
        auto* box = new CheckBoxControl(IconHost{nullptr, 96});
        box->SetState(CheckBoxControl::kChecked);
        Place(box, box, Rect{10, 70, 16, 16});
        String submitLabel, resetLabel;
        Resources::LoadString(submitLabel, 5046);
        Resources::LoadString(resetLabel, 5045);
        auto* submit = new ButtonControl;
        submit->SetLabel(submitLabel);
        submit->SetTextColour(UiColour(22));
        Rect submitRect = Measured(submit, 10, 100);
        Place(submit, submit, submitRect);
        auto* reset = new ButtonControl;
        reset->SetLabel(resetLabel);
        Place(reset, reset, Measured(reset, submitRect.Right() + 6, 100));
        text->Focus();
        Repaint();
        Snapshot(name);
        return submitRect;
    }
    Rect Measured(ButtonControl* b, int32_t x, int32_t y) {
        DrawScope scope(surface.get());
        Size size{}, minimum{};
        uint8_t a = 0, flagB = 0;
        uint32_t baseline = 0;
        b->Measure(size, a, scope.Context(), flagB, baseline, minimum);
        return Rect{x, y, size.width, size.height};
    }
    void TearDown() override {
        for (FormControl* c : controls) c->Release();
        SurfaceTest::TearDown();
    }
    std::vector<FormControl*> controls;
};

TEST_F(ControlsLook, EnglishForm) {
    Rect submit = DrawForm("controls_en");
    EXPECT_GT(CountPixels(submit, UiColour(21)), submit.width * submit.height / 3);
    EXPECT_GT(CountPixels(submit, 0), 10);  // the label's ink
}

class ControlsLookFrench : public ControlsLook {
protected:
    ControlsLookFrench() : ControlsLook("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(ControlsLookFrench, FrenchLabelsFitTheirButtons) {
    String label;
    ASSERT_TRUE(Resources::LoadString(label, 5046));
    EXPECT_FALSE(label.EqualsAscii("Submit"));
    Rect submit = DrawForm("controls_fr");
    EXPECT_GT(CountPixels(submit, 0), 10);
}

}  // namespace
