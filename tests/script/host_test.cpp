// Host objects: member paths, the texts the reader generates, error codes, and native objects
// that are replaced or destroyed while scripts still hold them.
#include <gtest/gtest.h>

#include "script_test_util.h"
#include "test_hosts.h"

namespace {

// The controller is a base listed first, so that it outlives the heap and context, which
// notify it as they go.
struct ControllerFirst {
    TestController controller;
};

struct ReaderRun : ControllerFirst, ScriptRun {
    ReaderRun() { context.Hosts().AppendObject(&controller, 1); }
    std::string Log() {
        std::string r;
        for (auto& l : controller.log) r += (r.empty() ? "" : ";") + l;
        controller.log.clear();
        return r;
    }
};

std::string Escaped(const std::string& s) {
    std::u16string out;
    Script::EscapeStringLiteral(U(s), &out);
    return A(out);
}

TEST(ScriptHostTest, PathsSelectReaderObjectsAndMethods) {
    ReaderRun r;
    ASSERT_TRUE(r.Run("document.goto_page(12); window.document.goto_first_page(); open('a.htm')"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.Log(), "document.goto_page(12);document.goto_first_page();window.open('a.htm')");
    ASSERT_TRUE(r.Run("window.open('x', ''); cart.remove('n', 2); cart.Remove(1)"));
    EXPECT_EQ(r.Log(), "window.open('x','');cart.remove('n',2);cart.remove(1)");
    // goto_page belongs to document only
    ASSERT_TRUE(r.Run("goto_page()"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);
    EXPECT_EQ(r.Message(), "Error: Member Unknown: goto_page (line 1)");
    // a refused object name in a path
    ASSERT_TRUE(r.Run("document.window.close()"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);
    EXPECT_EQ(r.Log(), "");
}

TEST(ScriptHostTest, HostPropertiesReadAndWrite) {
    ReaderRun r;
    EXPECT_EQ(r.Printed("print(location.href, window.location.href, BUL_BLUE + 1)"),
              "oeb:book?p=1 oeb:book?p=1 37");
    ASSERT_TRUE(r.Run("location.hash = 'part' + 2"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.controller.hash, "part2");
    ASSERT_TRUE(r.Run("var h = history.goto_checkpoint(); h"));
    EXPECT_EQ(r.result, "true");
    EXPECT_EQ(r.Log(), "history.goto_checkpoint()");
    // reading an object name alone has no value; a method has none either
    ASSERT_TRUE(r.Run("var d = document.goto_page"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotGet);
    ASSERT_TRUE(r.Run("location.href = 'x'"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotSet);
    EXPECT_EQ(r.Message(), "Error: Could not set value of object (line 1)");
    // the user's own globals shadow nothing of the host, and are found first
    ASSERT_TRUE(r.Run("function display_tip(t, n) { return 'mine'; } display_tip('a', 1)"));
    EXPECT_EQ(r.result, "mine");
    EXPECT_EQ(r.Log(), "");
}

TEST(ScriptHostTest, ArgumentsKeepTheirKinds) {
    ReaderRun r;
    ASSERT_TRUE(
        r.Run("move_table(12,-40); move_table(12,40); move_table(7); display_tip(0.5, true)"));
    EXPECT_EQ(r.Log(),
              "window.move_table(12,-40);window.move_table(12,40);window.move_table(7);"
              "window.display_tip(0.5,true)");
}

TEST(ScriptHostTest, EveryGeneratedTextRuns) {
    ReaderRun r;
    std::string ref = "book.htm#a'b\\c\"d\r\ne";
    std::string word = "l'été";
    std::string link =
        "window.open('" + Escaped(ref) + "','');index_search('','','" + Escaped(word) + "')";
    ASSERT_TRUE(r.Run(link)) << r.Message();
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.Log(), "window.open('" + ref + "','');window.index_search('','','" + word + "')");

    std::string tip = "say \"hi\"\nnow";
    ASSERT_TRUE(r.Run("display_tip(\"" + Escaped(tip) + "\",3)"));
    EXPECT_EQ(r.Log(), "window.display_tip('" + tip + "',3)");

    for (std::string t :
         {"document.goto_first_page()", "document.close()", "cart.submit('NAME','TITLE')",
          "cart.remove('NAME', 2)", "cart.reset('NAME')", "move_table(3)", "move_table(3,-40)",
          "move_table(3,40)", "bookmarks.add('x')"}) {
        ASSERT_TRUE(r.Run(t)) << t;
        EXPECT_EQ(r.rc, 0) << t << ": " << r.Message();
    }
    EXPECT_EQ(r.Log(),
              "document.goto_first_page();document.close();cart.submit('NAME','TITLE');"
              "cart.remove('NAME',2);cart.reset('NAME');window.move_table(3);"
              "window.move_table(3,-40);window.move_table(3,40);bookmarks.add('x')");
}

TEST(ScriptHostTest, BookScriptFunctionIsCalledWithTheGlobalRecordSet) {
    ReaderRun r;
    ASSERT_TRUE(r.Run("function showEntry(rs) { return 'entry ' + rs.orth; }"));
    ScriptValue rs, word;
    ASSERT_EQ(r.heap.NewPlainObject(&rs), 0);
    ASSERT_EQ(r.heap.NewStringAscii("cat", &word), 0);
    ASSERT_EQ(r.heap.SetProperty(rs, u"orth", 4, word), 0);
    ScriptValue g = r.context.Global();
    ASSERT_EQ(r.heap.SetProperty(g, u"__global_recordset", 18, rs), 0);
    ASSERT_TRUE(r.Run("showEntry(__global_recordset)"));
    EXPECT_EQ(r.result, "entry cat");
    // The same through CallFunction (a named function of the book's script).
    ScriptValueList args(&r.heap);
    args.Append(rs);
    ScriptValue out;
    EXPECT_EQ(ScriptEngine::CallFunction(&r.context, u"showEntry", &args, &out), 0);
    std::u16string t;
    r.heap.ToText(out, &t);
    EXPECT_EQ(A(t), "entry cat");
    EXPECT_EQ(ScriptEngine::CallFunction(&r.context, u"noSuch", &args, &out),
              ScriptErrors::kMemberUnknown);
    ASSERT_TRUE(r.Run("function broken() { return nope(); }"));
    EXPECT_EQ(ScriptEngine::CallFunction(&r.context, u"broken", &args, &out),
              ScriptErrors::kSyntax);
    for (ScriptValue v : {rs, word, g, out}) r.heap.Release(v);
}

TEST(ScriptHostTest, ScriptPageWritesLiteralsAndExpressions) {
    ScriptHeap heap;
    TestPageHost page;
    ScriptCode unit;
    // Literals are forced constants; the generated text refers to them by index.
    for (const char16_t* lit : {u"", u"a", u"b\r\n\r\n"}) {
        unit.AddString(lit, static_cast<std::uint32_t>(std::u16string(lit).size()), true);
    }
    EXPECT_EQ(unit.AddString(u"a", 1, true), 3);   // forced: a new index even when equal
    EXPECT_EQ(unit.AddString(u"a", 1, false), 1);  // shared
    std::u16string text =
        u"Response.Write (__litteralstr 0);Response.Write (__litteralstr 1);"
        u"Response.Write ( 1+1);Response.Write (__litteralstr 2);\r\n\r\n"
        u"Response.Write (Response.ContentType)";
    ScriptError err;
    ASSERT_TRUE(
        ScriptEngine::Compile(text.data(), static_cast<std::uint32_t>(text.size()), &unit, &err))
        << err.MessageUtf8();
    EXPECT_EQ(ScriptEngine::RunWithHost(&heap, &unit, &page, nullptr, &err), 0)
        << err.MessageUtf8();
    EXPECT_EQ(page.out, "a2b\r\n\r\ntext/html");
    // The same unit runs again from the start.
    page.out.clear();
    EXPECT_EQ(ScriptEngine::RunWithHost(&heap, &unit, &page, nullptr, &err), 0);
    EXPECT_EQ(page.out, "a2b\r\n\r\ntext/html");

    // Literal line breaks are repeated in the script, so error lines are the page's lines.
    ScriptCode lines;
    lines.AddString(u"a\r\nb\r\nc\r\n", 9, true);
    std::u16string page2 = u"Response.Write (__litteralstr 0);\r\n\r\n\r\nResponse.Write (oops);";
    ASSERT_TRUE(ScriptEngine::Compile(page2.data(), static_cast<std::uint32_t>(page2.size()),
                                      &lines, &err));
    EXPECT_EQ(ScriptEngine::RunWithHost(&heap, &lines, &page, nullptr, &err),
              ScriptErrors::kMemberUnknown);
    EXPECT_EQ(err.line, 4u);

    ScriptCode bad;
    bad.AddString(u"x", 1, true);
    std::u16string ref = u"Response.Write (__litteralstr 5);";
    EXPECT_FALSE(
        ScriptEngine::Compile(ref.data(), static_cast<std::uint32_t>(ref.size()), &bad, &err));
    EXPECT_EQ(err.code, ScriptErrors::kSyntax);
}

TEST(ScriptHostTest, PageEndStopsQuietlyAndRawBlocksNeedNoSemicolon) {
    ScriptHeap heap;
    TestPageHost page;
    ScriptCode unit;
    unit.AddString(u"x", 1, true);
    // "<% var n = 2 %>x<%=n%>" and an End in the middle
    std::u16string text =
        u" var n = 2 Response.Write (__litteralstr 0);Response.Write ( n);"
        u"Response.End(); Response.Write('never')";
    ScriptError err;
    ASSERT_TRUE(
        ScriptEngine::Compile(text.data(), static_cast<std::uint32_t>(text.size()), &unit, &err))
        << err.MessageUtf8();
    EXPECT_EQ(ScriptEngine::RunWithHost(&heap, &unit, &page, nullptr, &err),
              ScriptErrors::kStopped);
    EXPECT_EQ(page.out, "x2");
    EXPECT_EQ(page.ended, 1);
    EXPECT_TRUE(err.message.empty());
    // Write takes exactly one argument.
    std::u16string two = u"Response.Write(1, 2)";
    ScriptCode u2;
    ASSERT_TRUE(
        ScriptEngine::Compile(two.data(), static_cast<std::uint32_t>(two.size()), &u2, &err));
    EXPECT_EQ(ScriptEngine::RunWithHost(&heap, &u2, &page, nullptr, &err),
              ScriptErrors::kBadParameterCount);
    EXPECT_EQ(err.MessageUtf8(), "Error: Bad parameter count (line 1)");
}

struct FormRun : ScriptRun {
    TestForm form;
    TestControl* text = new TestControl;
    TestControl* button = new TestControl;
    FormRun() {
        text->form = &form;
        button->form = &form;
        text->value = "hello";
        form.fields = {{"field1", text}, {"go", button}};
    }
    ~FormRun() {
        delete text;
        delete button;
    }
    int RunOn(ScriptObject* self, const std::string& code) {
        ScriptValue v;
        heap.NewObject(self, &v);
        Run(code, v);
        heap.Release(v);
        return rc;
    }
};

TEST(ScriptHostTest, HandlersSeeTheirObjectsMembersAndForm) {
    FormRun r;
    EXPECT_EQ(r.RunOn(r.button, "form.submit()"), 0) << r.Message();
    EXPECT_EQ(r.RunOn(r.button, "this.form.reset()"), 0) << r.Message();
    EXPECT_EQ(r.form.submits, 1);
    EXPECT_EQ(r.form.resets, 1);
    EXPECT_EQ(r.RunOn(r.button, "form.field1.value = form.field1.value + '!'; form.name"), 0);
    EXPECT_EQ(r.text->value, "hello!");
    EXPECT_EQ(r.result, "f1");
    EXPECT_EQ(r.RunOn(r.text, "value = 'typed'; value"), 0) << r.Message();
    EXPECT_EQ(r.result, "typed");
    EXPECT_EQ(r.RunOn(r.button, "form.submit(1)"), ScriptErrors::kBadParameterCount);
    EXPECT_EQ(r.RunOn(r.button, "form.name()"), ScriptErrors::kInvalidType);
    EXPECT_EQ(r.RunOn(r.button, "form.field1()"), ScriptErrors::kInvalidType);
    EXPECT_EQ(r.RunOn(r.button, "form.field1 = 3"), ScriptErrors::kCannotSet);
    EXPECT_EQ(r.RunOn(r.button, "hasFocus = true"), ScriptErrors::kCannotSet);
    EXPECT_EQ(r.RunOn(r.button, "focus(2)"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(r.RunOn(r.button, "form.nothing"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(r.Message(), "Error: Member Unknown: nothing (line 1)");
    // creating a member makes the form's placeholder, which reads as undefined
    EXPECT_EQ(r.RunOn(r.button, "form.extra = 1"), ScriptErrors::kCannotSet);
    // the handler's own object is the value of `this`, and compares equal to its form's field
    EXPECT_EQ(r.RunOn(r.text, "this == form.field1"), 0);
    EXPECT_EQ(r.result, "true");
}

TEST(ScriptHostTest, ReplacedControlKeepsScriptReferencesWorking) {
    FormRun r;
    ASSERT_TRUE(r.Run("var keep;"));
    EXPECT_EQ(r.RunOn(r.button, "keep = form.field1; keep.value"), 0);
    EXPECT_EQ(r.result, "hello");
    EXPECT_EQ(r.text->notified0, 1);
    // Re-layout: a new control takes over, the old one is destroyed.
    TestControl* fresh = new TestControl;
    fresh->form = &r.form;
    fresh->value = "restored";
    r.text->successor = fresh;
    delete r.text;
    r.text = fresh;
    r.form.fields[0].second = fresh;
    EXPECT_EQ(fresh->notified0, 1);
    ASSERT_TRUE(r.Run("keep.value"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "restored");
    // A destroyed control without successor reads as null.
    TestControl* last = new TestControl;
    ASSERT_TRUE(r.Run("var k2 = keep;"));
    r.text->successor = nullptr;
    delete r.text;
    r.text = last;
    r.form.fields[0].second = last;
    ASSERT_TRUE(r.Run("keep === null || keep == null"));
    EXPECT_EQ(r.result, "true");
    ASSERT_TRUE(r.Run("keep.value"));
    EXPECT_EQ(r.rc, ScriptErrors::kInvalidType);
}

TEST(ScriptHostTest, NativeObjectsAreNotifiedOncePerHeapLife) {
    ScriptHeap heap;
    TestControl c;
    ScriptValue a, b;
    ASSERT_EQ(heap.NewObject(&c, &a), 0);
    ASSERT_EQ(heap.NewObject(&c, &b), 0);
    EXPECT_EQ(c.notified0, 1);
    EXPECT_EQ(heap.GetObject(a), &c);
    EXPECT_EQ(heap.GetObject(b), &c);
    heap.Release(a);
    EXPECT_EQ(c.notified1, 0);
    heap.Release(b);
    EXPECT_EQ(c.notified1, 1);
    EXPECT_EQ(heap.NativeCount(), 0u);
    // Replacing with an object that already has a value: both stay on the new one.
    TestControl d, e;
    ScriptValue vd, ve;
    heap.NewObject(&d, &vd);
    heap.NewObject(&e, &ve);
    heap.ReplaceObject(&d, &e);
    EXPECT_EQ(heap.GetObject(vd), &e);
    EXPECT_EQ(e.notified0, 1);
    heap.Release(vd);
    EXPECT_EQ(e.notified1, 0);
    heap.Release(ve);
    EXPECT_EQ(e.notified1, 1);
    d.heap = nullptr;
    e.heap = nullptr;
}

TEST(ScriptHostTest, HostCallMayAbortTheRunningScript) {
    struct Aborter : ScriptObject {
        ScriptContext* ctx = nullptr;
        int calls = 0;
        int Resolve(int* err, const ScriptName& n, ScriptMemberRef* ref, bool) override {
            if (!n.EqualsAscii("stop")) return Done(err, 4);
            ref->object = this;
            ref->code = 1;
            return Done(err, 0);
        }
        int Call(int* err, ScriptMemberRef*, int, const ScriptValue*, ScriptValue* r) override {
            ++calls;
            ctx->Abort();
            *r = ScriptValues::kUndefined;
            return Done(err, 0);
        }
    } host;
    ScriptRun r;
    host.ctx = &r.context;
    r.context.Hosts().AppendObject(&host, 1);
    ASSERT_TRUE(r.Run("var n = 0; while (true) { n++; stop(); }"));
    EXPECT_EQ(r.rc, ScriptErrors::kStopped);
    EXPECT_EQ(host.calls, 1);
    // The next run starts afresh.
    ASSERT_TRUE(r.Run("n"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "1");
}

TEST(ScriptHostTest, HostMayRunAnotherScriptDuringACall) {
    struct Nester : ScriptObject {
        ScriptContext* ctx = nullptr;
        int Resolve(int* err, const ScriptName& n, ScriptMemberRef* ref, bool) override {
            if (!n.EqualsAscii("inner")) return Done(err, 4);
            ref->object = this;
            ref->code = 1;
            return Done(err, 0);
        }
        int Call(int* err, ScriptMemberRef*, int, const ScriptValue*, ScriptValue* r) override {
            ScriptCode unit;
            ScriptEngine::CompileText(u"depth = depth + 1; 'in'", &unit, u"nested", nullptr);
            return Done(
                err, ScriptEngine::Run(ctx, &unit, nullptr, ScriptValues::kUndefined, r, nullptr));
        }
    } host;
    ScriptRun r;
    host.ctx = &r.context;
    r.context.Hosts().AppendObject(&host, 1);
    ASSERT_TRUE(r.Run("var depth = 0; var s = inner() + inner(); s + depth"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "inin2");
}

}  // namespace

namespace {

TEST(ScriptHostTest, UnboundPathsEndWithTheHostsAnswer) {
    ReaderRun r;
    // an object name alone: the host decides (it has no value)
    ASSERT_TRUE(r.Run("var d = document"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotGet);
    ASSERT_TRUE(r.Run("document()"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotGet);
    ASSERT_TRUE(r.Run("document = 3"));
    EXPECT_EQ(r.rc, 0);  // not a host member when assigned: becomes a global of the script
    ASSERT_TRUE(r.Run("document.goto_page(1)"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);  // the global shadows the host name now
    EXPECT_EQ(r.Log(), "");
    ASSERT_TRUE(r.Run("delete document; document['goto_page'](2)"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.Log(), "document.goto_page(2)");
}

TEST(ScriptHostTest, NativeValuesConvertThroughTheirDefaultValue) {
    ScriptRun r;
    TestControl c;
    ScriptValue v, w, g = r.context.Global();
    r.heap.NewObject(&c, &v);
    r.heap.NewWord(0xFFFF0001u, &w);
    r.heap.SetProperty(g, u"ctl", 3, v);
    r.heap.SetProperty(g, u"wd", 2, w);
    ASSERT_TRUE(
        r.Run("[typeof ctl, '' + ctl, ctl == ctl, typeof wd, wd + 1, wd == 4294901761].join()"));
    EXPECT_EQ(r.result, "object,[object],true,number,4294901762,true");
    for (ScriptValue x : {v, w, g}) r.heap.Release(x);
}

TEST(ScriptHostTest, FirstArgumentIsTheEvent) {
    ScriptRun r;
    ScriptValue ev, type;
    r.heap.NewPlainObject(&ev);
    r.heap.NewNumber(4, &type);
    r.heap.SetProperty(ev, u"type", 4, type);
    ScriptValueList args(&r.heap);
    args.Append(ev);
    ScriptCode unit;
    ASSERT_TRUE(ScriptEngine::CompileText(u"event.type * 10", &unit, u"__widget_event", nullptr));
    ScriptValue out;
    EXPECT_EQ(ScriptEngine::Run(&r.context, &unit, &args, ScriptValues::kUndefined, &out, &r.err),
              0);
    double d = 0;
    r.heap.ToNumber(out, &d);
    EXPECT_EQ(d, 40);
    for (ScriptValue x : {ev, type, out}) r.heap.Release(x);
}

TEST(ScriptHostTest, ValueListsHoldTheirOwnReferences) {
    ScriptHeap heap;
    TestControl a, b;
    {
        ScriptValueList list(&heap);
        EXPECT_TRUE(list.AppendObject(&a, 0));
        EXPECT_TRUE(list.AppendObject(&b, 2));
        EXPECT_EQ(list.Count(), 3);
        EXPECT_EQ(list.At(1), ScriptValues::kUndefined);
        EXPECT_EQ(list.LastObject(), &b);
        ScriptValueList copy;
        copy.CopyFrom(list);
        EXPECT_EQ(copy.LastObject(), &b);
        list.Clear();
        EXPECT_EQ(b.notified1, 0);  // the copy still holds it
        EXPECT_FALSE(list.AppendObject(&a, -1));
    }
    EXPECT_EQ(a.notified1, 1);
    EXPECT_EQ(b.notified1, 1);
    EXPECT_EQ(heap.LiveCells(), 0u);
    ScriptValueList none;
    EXPECT_FALSE(none.Append(ScriptValues::kTrue));
    EXPECT_EQ(none.LastObject(), nullptr);
}

}  // namespace
