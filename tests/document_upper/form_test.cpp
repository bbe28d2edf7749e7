#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bookfiles/sorted_record_database.h"
#include "core/byte_stream.h"
#include "core/string_pool.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/token_dump.h"
#include "document_upper/forms/focus_order.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/controls/index_field_control.h"
#include "graphics/controls/select_control.h"
#include "graphics/controls/text_entry_control.h"
#include "script/script_names.h"
#include "support/document/markup_page.h"
#include "support/platform/temp_device.h"

namespace {

constexpr uint32_t kTagForm = 81;
constexpr uint32_t kTagInput = 82;
constexpr uint32_t kTagSelect = 84;

std::string N(const String& s) {
    return Narrow(s);
}

using Page = MarkupPage;

struct Owner : FormListOwner {
    std::vector<std::string> handlers;
    std::vector<std::string> links;
    std::vector<int32_t> messages;
    std::string answer = "true";
    std::function<void()> during;  // what the handler does besides answering
    bool RunHandler(ScriptObject*, const String& script, uint32_t, String* result) override {
        handlers.push_back(N(script));
        if (during) during();
        if (result) *result = String(std::u16string(answer.begin(), answer.end()).c_str());
        return true;
    }
    bool OpenLink(const String& text, bool) override {
        links.push_back(N(text));
        return true;
    }
    int32_t MessageBoxById(int32_t, int32_t textId, uint32_t) override {
        messages.push_back(textId);
        return 1;
    }
    TimerList* Timers() override { return nullptr; }
};

// A form list with one form made from the page's first FORM element.
struct Fixture {
    explicit Fixture(std::u16string markup) : page(std::move(markup)) {
        list.SetOwner(&owner);
        uint32_t at = 0;
        if (page.To(kTagForm, 0, &at)) {
            String name;
            page.tokens.GetAttributeText(kAttrName, name);
            form = list.GetOrCreateForm(name, page.tokens, at, 7);
        }
    }
    ~Fixture() {
        for (FormControl* c : built) c->Release();
    }
    FormControl* Build(uint32_t tag, int n) {
        uint32_t at = 0;
        if (!page.To(tag, n, &at)) return nullptr;
        FormControl* c = form->Build(page.tokens, at, nullptr);
        if (c) built.push_back(c);
        return c;
    }
    Page page;
    Owner owner;
    FormList list;
    Form* form = nullptr;
    std::vector<FormControl*> built;
};

TextEntryControl* Entry(FormControl* c) {
    return dynamic_cast<TextEntryControl*>(c);
}

}  // namespace

TEST(FormBuild, InputTypesMakeTheirControlsOrNothing) {
    Fixture f(
        u"<form name=f><input name=a><input type=password name=p><input type=checkbox "
        u"name=c value=on checked><input type=image><input type=file><input type=bogus>"
        u"<input type=hidden name=h value=secret></form>");
    ASSERT_NE(f.form, nullptr);
    TextEntryControl* a = Entry(f.Build(kTagInput, 0));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetControlType(), 2);
    String s;
    EXPECT_FALSE(f.Build(kTagInput, 1)->SaveState(s));  // a password saves nothing
    auto* c = dynamic_cast<CheckBoxControl*>(f.Build(kTagInput, 2));
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->IsOn());
    EXPECT_EQ(N(c->ValueText()), "on");
    EXPECT_EQ(f.Build(kTagInput, 3), nullptr);
    EXPECT_EQ(f.Build(kTagInput, 4), nullptr);
    EXPECT_EQ(f.Build(kTagInput, 5), nullptr);
    // A hidden field works with no resource behind the list.
    auto* h = dynamic_cast<IndexFieldControl*>(f.Build(kTagInput, 6));
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(h->GetSubmitValue(0, s));
    EXPECT_EQ(N(s), "secret");
    EXPECT_EQ(f.form->FieldCount(), 4);
}

TEST(FormBuild, SignedSizesAreTakenAsTheirNumberNotAsAFlagWord) {
    Fixture f(u"<form name=f><input size=+3><input size=-2><input size=99999></form>");
    EXPECT_EQ(Entry(f.Build(kTagInput, 0))->SizeInChars(), 3u);
    EXPECT_EQ(Entry(f.Build(kTagInput, 1))->SizeInChars(), 12u);  // left at its default
    EXPECT_LE(Entry(f.Build(kTagInput, 2))->SizeInChars(), 256u);
}

TEST(FormBuild, TabIndexMinusOneClosesScriptAccess) {
    Fixture f(u"<form name=f><input tabindex=-1><input tabindex=4></form>");
    uint32_t a = 0, b = 0;
    EXPECT_FALSE(f.Build(kTagInput, 0)->GetScriptHandles(a, b));
    FormControl* open = f.Build(kTagInput, 1);
    ASSERT_TRUE(open->GetScriptHandles(a, b));
    EXPECT_EQ(a, f.form->FormId() + 0x80000000u);
    EXPECT_EQ(b, 4u - 0x40000000u);
}

TEST(FormBuild, ASecondLayoutKeepsTheControlAndTheUsersInput) {
    Fixture f(u"<form name=f><input name=q value=start></form>");
    TextEntryControl* first = Entry(f.Build(kTagInput, 0));
    ASSERT_NE(first, nullptr);
    first->RestoreState(String(u"typed"));
    FormControl* again = f.Build(kTagInput, 0);
    EXPECT_EQ(again, first);
    EXPECT_EQ(N(Entry(again)->Value()), "typed");
    EXPECT_EQ(f.form->FieldCount(), 1);
    // The page went (its cache let go of the control); the next layout gets the text back.
    f.built.clear();
    again->Release();
    first->Release();
    EXPECT_EQ(f.form->FieldAt(0)->control, nullptr);
    TextEntryControl* third = Entry(f.Build(kTagInput, 0));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(N(third->Value()), "typed");
    EXPECT_EQ(f.form->FieldCount(), 1);
}

TEST(FormBuild, ThousandsOfControlsAreAllBuilt) {
    std::u16string markup = u"<form name=big>";
    for (int i = 0; i < 2000; ++i)
        markup += u"<input name=f" + std::u16string(1, u'a' + i % 26) + u">";
    markup += u"</form>";
    Fixture f(markup);
    ASSERT_NE(f.form, nullptr);
    f.page.tokens.Start(0, false);
    int made = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        uint32_t k = f.page.tokens.NextToken();
        if (k == kTokenEnd) break;
        bool e = false, m = false;
        if (k != kTokenTag || f.page.tokens.GetTag(e, m) != kTagInput || e) continue;
        uint32_t at = 0;
        f.page.tokens.GetPosition(at);
        FormControl* c = f.form->Build(f.page.tokens, at, nullptr);
        if (!c) continue;
        f.built.push_back(c);
        ++made;
    }
    EXPECT_EQ(made, 2000);
    EXPECT_EQ(f.form->FieldCount(), 2000);
}

TEST(FormBuild, ANewControlForTheSameFieldTakesTheOldOnesState) {
    Fixture f(u"<form name=f><input name=q value=start></form>");
    TextEntryControl* old = Entry(f.Build(kTagInput, 0));
    old->RestoreState(String(u"typed"));
    auto* fresh = new TextEntryControl(nullptr);
    ASSERT_TRUE(f.form->AddControl(fresh, String(u"q"), f.form->FieldAt(0)->id, false));
    EXPECT_EQ(N(fresh->Value()), "typed");
    EXPECT_EQ(old->Form(), nullptr);
    EXPECT_EQ(f.form->FieldAt(0)->control, fresh);
    // The page lets go of both; the old one held the new one for the scripts it had.
    f.built.clear();
    old->Release();
    fresh->Release();
    // The page let go of the new control: the field keeps the text.
    EXPECT_EQ(f.form->FieldAt(0)->control, nullptr);
    EXPECT_EQ(N(f.form->FieldAt(0)->currentState), "typed");
}

TEST(FormSelect, OptionsLabelsValuesAndTheLastSelected) {
    Page p(
        u"<select size=+4><option value=1>One<option selected>Two  words</option>"
        u"<option></option><option selected value=x>Four</select><p>after");
    ASSERT_TRUE(p.To(kTagSelect, 0));
    SelectSpec spec;
    ASSERT_TRUE(spec.Read(p.tokens));
    EXPECT_EQ(spec.rows, 4u);
    ASSERT_EQ(spec.options.Count(), 4);  // the tokenizer closes an OPTION the next one opens
    EXPECT_EQ(N(spec.options[0].label), "One");
    EXPECT_EQ(N(spec.options[0].value), "1");
    EXPECT_EQ(N(spec.options[1].label), "Two words");
    EXPECT_EQ(N(spec.options[1].value), "Two words");
    EXPECT_EQ(N(spec.options[2].label), " ");
    EXPECT_EQ(N(spec.options[2].value), " ");
    EXPECT_EQ(N(spec.options[3].value), "x");
    EXPECT_EQ(spec.selected, 3);
}

TEST(FormSelect, OnlyASelfClosingSelectTakesALowerCaseSqlQuery) {
    Page p(
        u"<select src=\"sql:select a\"/><select src=\"SQL:x\"/><select src=\"sql:y\">"
        u"<option>o</option></select>");
    SelectSpec a, b, c;
    ASSERT_TRUE(p.To(kTagSelect, 0));
    ASSERT_TRUE(a.Read(p.tokens));
    EXPECT_EQ(N(a.query), "select a");
    ASSERT_TRUE(p.To(kTagSelect, 1));
    ASSERT_TRUE(b.Read(p.tokens));
    EXPECT_TRUE(b.query.IsEmpty());
    ASSERT_TRUE(p.To(kTagSelect, 2));
    ASSERT_TRUE(c.Read(p.tokens));
    EXPECT_TRUE(c.query.IsEmpty());
    EXPECT_EQ(c.options.Count(), 1);
}

TEST(FormSelect, ASelectBecomesAControlWhoseChoiceIsSubmittedAndKept) {
    Fixture f(
        u"<form name=f action=r.htm><select name=s size=3><option value=a>A<option "
        u"selected value=b>B</select><select name=d><option>x</select></form>");
    auto* s = dynamic_cast<SelectControl*>(f.Build(kTagSelect, 0));
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->IsDropDownMode());
    String v;
    ASSERT_TRUE(s->GetSubmitValue(0, v));
    EXPECT_EQ(N(v), "b");
    auto* d = dynamic_cast<SelectControl*>(f.Build(kTagSelect, 1));
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->IsDropDownMode());
    EXPECT_EQ(f.Build(kTagSelect, 0), s);  // laid out again
    EXPECT_TRUE(f.form->Submit());
    EXPECT_EQ(f.owner.links.at(0), "r.htm?s=b&d=x");
    // The controls leave their form as the fixture goes: a select reads its list as it leaves.
}

TEST(FormScript, MembersErrorsAndHandlerTruth) {
    Fixture f(u"<form name=f onsubmit=check()><input name=q></form>");
    f.Build(kTagInput, 0);
    ScriptMemberRef ref;
    ScriptName name;
    name.id = ScriptNames::Ids::kForm;  // any vocabulary name that is no member
    name.chars = u"nothing";
    name.length = 7;
    name.id = 0;
    int err = 0;
    EXPECT_EQ(f.form->Resolve(&err, name, &ref, false), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(f.form->Resolve(&err, name, &ref, true), 0);
    ScriptValue v;
    EXPECT_EQ(f.form->GetValue(&err, &ref, nullptr, &v), 0);
    EXPECT_EQ(f.form->Resolve(&err, name, &ref, true), ScriptErrors::kMemberUnknown);  // bound

    ScriptMemberRef field;
    name.chars = u"q";
    name.length = 1;
    ASSERT_EQ(f.form->Resolve(&err, name, &field, false), 0);
    EXPECT_EQ(field.object, f.form->FieldAt(0)->control);

    ScriptMemberRef submit;
    name.id = 78;
    ASSERT_EQ(f.form->Resolve(&err, name, &submit, false), 0);
    EXPECT_EQ(f.form->Call(&err, &submit, 1, nullptr, &v), ScriptErrors::kBadParameterCount);
    submit.code = 280;
    EXPECT_EQ(f.form->Call(&err, &submit, 0, nullptr, &v), ScriptErrors::kInvalidType);

    EXPECT_FALSE(Form::IsTrueResult(String(u"false")));
    EXPECT_FALSE(Form::IsTrueResult(String(u"0")));
    EXPECT_FALSE(Form::IsTrueResult(String(u"\"\"")));
    EXPECT_TRUE(Form::IsTrueResult(String(u"False")));
    EXPECT_TRUE(Form::IsTrueResult(String(u"")));
}

TEST(FormScript, ACancellingSubmitHandlerKeepsTheUsersInput) {
    Fixture f(u"<form name=f action=result.htm onsubmit=\"return ok()\"><input name=q></form>");
    TextEntryControl* q = Entry(f.Build(kTagInput, 0));
    q->RestoreState(String(u"typed"));
    f.owner.answer = "0";
    ScriptMemberRef submit;
    ScriptName name;
    name.id = 78;
    int err = 0;
    ScriptValue v;
    ASSERT_EQ(f.form->Resolve(&err, name, &submit, false), 0);
    EXPECT_EQ(f.form->Call(&err, &submit, 0, nullptr, &v), 0);
    EXPECT_TRUE(f.owner.links.empty());
    EXPECT_EQ(N(q->Value()), "typed");
    // Accepted: submitted, then reset.
    f.owner.answer = "1";
    EXPECT_EQ(f.form->Call(&err, &submit, 0, nullptr, &v), 0);
    ASSERT_EQ(f.owner.links.size(), 1u);
    EXPECT_EQ(f.owner.links[0], "result.htm?q=typed");
    EXPECT_EQ(N(q->Value()), "");
}

TEST(FormScript, AHandlerThatClosesTheDocumentEndsTheSubmissionQuietly) {
    Fixture f(
        u"<form name=f action=r.htm onsubmit=leave() onreset=leave()><input name=q>"
        u"</form>");
    FormControl* q = f.Build(kTagInput, 0);
    f.built.clear();
    f.owner.during = [&] { f.list.Clear(0); };
    ScriptMemberRef submit;
    ScriptName name;
    name.id = 78;
    int err = 0;
    ScriptValue v;
    Form* form = f.form;
    ASSERT_EQ(form->Resolve(&err, name, &submit, false), 0);
    EXPECT_EQ(form->Call(&err, &submit, 0, nullptr, &v), 0);  // returns without the form
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_TRUE(f.owner.links.empty());
    EXPECT_EQ(q->Form(), nullptr);
    q->Release();
}

TEST(FormScript, ResetWithoutAControlParentRestoresDefaults) {
    Fixture f(u"<form name=f><input name=q value=start></form>");
    TextEntryControl* q = Entry(f.Build(kTagInput, 0));
    q->RestoreState(String(u"typed"));
    f.form->ForgetControlParent();
    f.form->Reset();
    EXPECT_EQ(N(q->Value()), "start");
}

TEST(FormSubmit, QueriesKeepTheActionAndEncodeFields) {
    Fixture f(
        u"<form name=f action=\"page.htm?x=1\"><input name=a value=\"a b&c\">"
        u"<input type=checkbox name=c value=on><input type=submit></form>");
    f.Build(kTagInput, 0);
    f.Build(kTagInput, 1);
    f.Build(kTagInput, 2);
    EXPECT_TRUE(f.form->Submit());
    ASSERT_EQ(f.owner.links.size(), 1u);
    EXPECT_EQ(f.owner.links[0], "page.htm?x=1&a=a%20b%26c");

    Fixture empty(u"<form name=g action=result.htm></form>");
    EXPECT_TRUE(empty.form->Submit());
    EXPECT_EQ(empty.owner.links.at(0), "result.htm");
}

TEST(FormSubmit, WebActionsGoToTheStoreWithTheSilentFieldLeftOut) {
    fvt::test::TempDevice device;
    SortedRecordDatabase db;
    ASSERT_EQ(0, db.OpenDefault("\\folvbook.fvl", 1));
    for (const char16_t* action : {u"http://x/a", u"HTTPS://x/b"}) {
        std::u16string markup = std::u16string(u"<form name=f method=post action=\"") + action +
                                u"\"><input name=a value=1><input type=hidden "
                                u"name=fvtrdr_silent value=yes></form>";
        Fixture f(markup);
        f.list.SetFormDataStore(&db);
        f.Build(kTagInput, 0);
        f.Build(kTagInput, 1);
        EXPECT_TRUE(f.form->Submit());
        EXPECT_TRUE(f.owner.links.empty());
        EXPECT_TRUE(f.owner.messages.empty());  // silent
        SortedRecordItem item{action, u"", 0, 1};
        std::u16string pairs;
        ASSERT_TRUE(db.ReadSubmission(item, 0, &pairs));
        EXPECT_EQ(pairs, std::u16string(u"a=1\0", 4));
    }
    Fixture loud(
        u"<form name=f action=http://y><input type=hidden name=fvtrdr_silent "
        u"value=Yes></form>");
    loud.list.SetFormDataStore(&db);
    loud.Build(kTagInput, 0);
    EXPECT_TRUE(loud.form->Submit());
    EXPECT_EQ(loud.owner.messages, std::vector<int32_t>{5048});
    // Without a store the submission fails.
    Fixture none(u"<form name=f action=http://z></form>");
    EXPECT_FALSE(none.form->Submit());
}

namespace {

// A state stream of the list, read back word by word.
ByteStream Saved(FormList& list) {
    ByteStream s;
    EXPECT_TRUE(list.SaveState(s, false));
    s.SetReadPosition(0);
    return s;
}

}  // namespace

TEST(FormState, OnlyPersistentNamedChangedFormsLeaveRecords) {
    Fixture f(
        u"<form name=keep fvt:persistent><input name=a value=1><input name=b value=2>"
        u"</form><form name=loose><input name=c></form>");
    Entry(f.Build(kTagInput, 0))->RestoreState(String(u"changed"));
    uint32_t at = 0;
    ASSERT_TRUE(f.page.To(kTagForm, 1, &at));
    Form* loose = f.list.GetOrCreateForm(String(u"loose"), f.page.tokens, at, 7);
    ASSERT_TRUE(f.page.To(kTagInput, 2, &at));
    FormControl* c = loose->Build(f.page.tokens, at, nullptr);
    Entry(c)->RestoreState(String(u"x"));
    f.Build(kTagInput, 1);

    ByteStream s = Saved(f.list);
    uint32_t count = 0, length = 0;
    ASSERT_TRUE(s.ReadWord32BE(count));
    EXPECT_EQ(count, 1u);
    ASSERT_TRUE(s.ReadWord32BE(length));
    EXPECT_EQ(s.Size() % 4, 0u);

    // Reopened: the state reaches the control made for the field.
    s.SetReadPosition(0);
    Fixture g(u"<form name=keep fvt:persistent><input name=a value=1></form>");
    g.list.Clear(0);
    ASSERT_TRUE(g.list.RestoreState(s));
    EXPECT_EQ(g.list.SavedStateCount(), 1);
    uint32_t formAt = 0;
    ASSERT_TRUE(g.page.To(kTagForm, 0, &formAt));
    Form* keep = g.list.GetOrCreateForm(String(u"keep"), g.page.tokens, formAt, 7);
    EXPECT_EQ(g.list.SavedStateCount(), 0);
    g.form = keep;
    EXPECT_EQ(N(Entry(g.Build(kTagInput, 0))->Value()), "changed");
    c->Release();
}

TEST(FormState, RecordsOfFormsNotMadeAreWrittenBackByteForByte) {
    ByteStream record;
    StringPool pool(record);
    pool.WriteString(String(u"elsewhere"));
    pool.PutTag(0);
    pool.WriteString(String(u"f"));
    pool.PutTag(0);
    pool.WriteString(String(u"state"));
    pool.WriteString(String(u"v"));
    pool.PutTag(2);
    pool.PutTag(2);
    ByteStream in;
    in.WriteWord32BE(1);
    in.WriteBlock(record);
    in.SetReadPosition(0);

    Fixture f(u"<form name=f><input name=a></form>");
    ASSERT_TRUE(f.list.RestoreState(in));
    ByteStream out = Saved(f.list);
    ASSERT_EQ(out.Size(), in.Size());
    EXPECT_EQ(0, memcmp(out.Data(), in.Data(), in.Size()));

    // Cleared after the save: the forms go, and the kept records with them.
    ByteStream cleared;
    ASSERT_TRUE(f.list.SaveState(cleared, true));
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(f.list.SavedStateCount(), 0);

    // With no form at all nothing is written and the caller keeps its block.
    FormList empty;
    ByteStream nothing;
    EXPECT_FALSE(empty.SaveState(nothing, false));
    EXPECT_EQ(nothing.Size(), 0u);
}

TEST(FormState, CorruptStreamsAreRefusedKeepingTheRecordsBeforeTheFault) {
    FormList list;
    ByteStream huge;
    huge.WriteWord32BE(0x40000000u);
    huge.WriteWord32BE(0);
    huge.SetReadPosition(0);
    EXPECT_FALSE(list.RestoreState(huge));
    EXPECT_EQ(list.SavedStateCount(), 0);

    ByteStream rec;
    StringPool pool(rec);
    pool.WriteString(String(u"one"));
    pool.PutTag(2);
    ByteStream two;
    two.WriteWord32BE(2);
    two.WriteBlock(rec);
    two.WriteWord32BE(400);  // a second record that runs past the end
    two.WriteWord32BE(0);
    two.SetReadPosition(0);
    EXPECT_FALSE(list.RestoreState(two));
    EXPECT_EQ(list.SavedStateCount(), 1);

    ByteStream shortStream;
    shortStream.WriteByte(0);
    shortStream.SetReadPosition(0);
    EXPECT_FALSE(list.RestoreState(shortStream));
}

TEST(FormState, AStateRestoredUnderALiveControlWaitsForTheNewMarks) {
    Fixture f(u"<form name=keep fvt:persistent><input name=a value=1></form>");
    TextEntryControl* a = Entry(f.Build(kTagInput, 0));
    a->RestoreState(String(u"two"));
    ByteStream s;
    ASSERT_TRUE(f.list.SaveState(s, false));
    a->RestoreState(String(u"three"));
    s.SetReadPosition(0);
    // The side file is read after the page was laid out: the form takes its record at once.
    ASSERT_TRUE(f.list.RestoreState(s));
    EXPECT_EQ(f.list.SavedStateCount(), 0);
    EXPECT_EQ(N(a->Value()), "three");
    AreaArray marks;
    f.list.RestoreValues(marks);
    EXPECT_EQ(N(a->Value()), "two");
}

TEST(FormState, ARecordWithABadTagIsRefused) {
    Fixture f(u"<form name=keep><input name=a value=1></form>");
    ByteStream record;
    StringPool pool(record);
    pool.WriteString(String(u"keep"));
    pool.PutTag(7);
    record.SetReadPosition(0);
    EXPECT_FALSE(f.form->RestoreState(record));
}

TEST(FormLifetime, ClearingADocumentKeepsPersistentFormsAndDetachesPageControls) {
    Fixture f(
        u"<form name=keep fvt:persistent><input name=a></form><form name=go>"
        u"<input name=b></form>");
    FormControl* a = f.Build(kTagInput, 0);
    uint32_t at = 0;
    ASSERT_TRUE(f.page.To(kTagForm, 1, &at));
    Form* go = f.list.GetOrCreateForm(String(u"go"), f.page.tokens, at, 7);
    ASSERT_TRUE(f.page.To(kTagInput, 1, &at));
    FormControl* b = go->Build(f.page.tokens, at, nullptr);
    ASSERT_NE(b, nullptr);
    f.list.Clear(8);  // another document's key
    EXPECT_EQ(f.list.Count(), 2);
    f.list.Clear(7);
    EXPECT_EQ(f.list.Count(), 1);
    EXPECT_EQ(b->Form(), nullptr);  // the page still holds it; it left the form
    EXPECT_EQ(a->Form(), f.form);
    b->Release();
    f.list.Clear(0);
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(a->Form(), nullptr);
}

TEST(FormLifetime, ThousandsOfFormsStopAtTheCap) {
    Page p(u"<form name=x></form>");
    ASSERT_TRUE(p.To(kTagForm, 0));
    FormList list;
    int made = 0;
    for (int i = 0; i < FormList::kMaxForms + 10; ++i) {
        std::u16string name = u"f" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                              std::u16string(static_cast<size_t>(i / 26), u'z');
        if (list.GetOrCreateForm(String(name.data(), static_cast<int32_t>(name.size())), p.tokens,
                                 0, 1))
            ++made;
    }
    EXPECT_EQ(made, FormList::kMaxForms);
}

namespace {

struct Ordered : FocusOrderedLink {
    Ordered(uint32_t a, uint32_t b) : a(a), b(b) {}
    bool HasValue() const override { return false; }
    uint32_t Value() const override { return 0; }
    bool GetOrderKeys(uint32_t& first, uint32_t& second) override {
        first = a;
        second = b;
        return true;
    }
    uint32_t a, b;
};

}  // namespace

TEST(FocusOrder, ControlsSortByTheirHandlesOtherAreasKeepTheirPlace) {
    AreaArray areas;
    ASSERT_TRUE(areas.Reserve(4));
    // Handles of a form are large unsigned numbers: they sort as negative ones, before plain
    // areas.
    areas.At(0)->SetRect(Rect{0, 0, 1, 1});
    areas.At(1)->secondLink = RefPtr<AreaLinkValue>::Adopt(new Ordered(0x80000002u, 5));
    areas.At(1)->SetRect(Rect{1, 0, 1, 1});
    areas.At(2)->secondLink = RefPtr<AreaLinkValue>::Adopt(new Ordered(0x80000002u, 1));
    areas.At(2)->SetRect(Rect{2, 0, 1, 1});
    areas.At(3)->SetRect(Rect{3, 0, 1, 1});
    ASSERT_TRUE(SortFocusAreas(areas));
    Rect r;
    std::vector<int32_t> xs;
    for (int32_t i = 0; i < 4; ++i) {
        areas.At(i)->GetBounds(r);
        xs.push_back(r.x);
    }
    EXPECT_EQ(xs, (std::vector<int32_t>{2, 1, 0, 3}));
}
