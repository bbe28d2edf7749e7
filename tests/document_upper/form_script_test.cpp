// Forms driven by real scripts: the owner runs handler texts through the script engine with
// the form or the control as `this`, as the document controller does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "graphics/controls/text_entry_control.h"
#include "script/script_test_util.h"
#include "support/document/markup_page.h"

namespace {

constexpr uint32_t kTagForm = 81;
constexpr uint32_t kTagInput = 82;

struct ScriptOwner : FormListOwner {
    ScriptRun run;
    std::vector<std::string> links;
    bool RunHandler(ScriptObject* self, const String& script, uint32_t, String* result) override {
        ScriptValue v;
        run.heap.NewObject(self, &v);
        run.Run(A(std::u16string(script.Data(), static_cast<size_t>(script.Length()))), v);
        run.heap.Release(v);
        if (result) *result = String(U(run.result).c_str());
        return run.rc == 0;
    }
    bool OpenLink(const String& text, bool) override {
        links.push_back(A(std::u16string(text.Data(), static_cast<size_t>(text.Length()))));
        return true;
    }
    int32_t MessageBoxById(int32_t, int32_t, uint32_t) override { return 0; }
    TimerList* Timers() override { return nullptr; }
};

struct ScriptedPage {
    explicit ScriptedPage(const std::u16string& markup) : page(markup) {
        list.SetOwner(&owner);
        uint32_t at = 0;
        if (To(kTagForm, 0, at)) {
            String name;
            tokens.GetAttributeText(kAttrName, name);
            form = list.GetOrCreateForm(name, tokens, at, 3);
        }
        for (int i = 0; form && To(kTagInput, i, at); ++i) {
            if (FormControl* c = form->Build(tokens, at, nullptr)) controls.push_back(c);
        }
    }
    ~ScriptedPage() {
        for (FormControl* c : controls) c->Release();
    }
    bool To(uint32_t id, int n, uint32_t& at) { return page.To(id, n, &at); }
    TextEntryControl* Entry(size_t i) { return dynamic_cast<TextEntryControl*>(controls.at(i)); }

    MarkupPage page;
    HtmlTokenizer& tokens = page.tokens;
    ScriptOwner owner;
    FormList list;
    Form* form = nullptr;
    std::vector<FormControl*> controls;
};

std::string N(const String& s) {
    return A(std::u16string(s.Data(), static_cast<size_t>(s.Length())));
}

}  // namespace

TEST(FormScripts, ASubmitButtonsClickSubmitsThroughTheScriptAndResets) {
    ScriptedPage p(
        u"<form name=f action=r.htm><input name=q value=a>"
        u"<input type=submit onclick=ignored()></form>");
    ASSERT_EQ(p.controls.size(), 2u);
    p.Entry(0)->RestoreState(String(u"typed"));
    p.controls[1]->Fire(kFormEventClick, 0, nullptr);
    EXPECT_EQ(p.owner.run.rc, 0) << p.owner.run.Message();
    ASSERT_EQ(p.owner.links.size(), 1u);
    EXPECT_EQ(p.owner.links[0], "r.htm?q=typed");
    EXPECT_EQ(N(p.Entry(0)->Value()), "a");  // form.submit() resets after submitting
}

TEST(FormScripts, HandlersReachFieldsByNameAndAFalseOnSubmitCancels) {
    ScriptedPage p(
        u"<form name=f action=r.htm onsubmit=\"q.value == 'ok'\"><input name=q "
        u"onchange=\"form.q.value = 'ok'\"></form>");
    ASSERT_EQ(p.controls.size(), 1u);
    ScriptValue v;
    p.owner.run.heap.NewObject(p.form, &v);
    p.owner.run.Run("this.name", v);
    EXPECT_EQ(p.owner.run.result, "f");
    p.owner.run.Run("this.submit()", v);
    EXPECT_TRUE(p.owner.links.empty());  // the handler answered false
    p.controls[0]->Fire(kFormEventChange, 0, nullptr);
    EXPECT_EQ(N(p.Entry(0)->Value()), "ok");
    p.owner.run.Run("this.submit()", v);
    ASSERT_EQ(p.owner.links.size(), 1u);
    EXPECT_EQ(p.owner.links[0], "r.htm?q=ok");
    p.owner.run.heap.Release(v);
}
