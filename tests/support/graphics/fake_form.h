// A stand-in for the form that owns controls: it records what the controls tell it and runs
// their handler scripts for real on a script heap, with the control as `this` (so "form.submit()"
// and "this.checked" work as in a page). A hook may run after each handler (to destroy the
// control, for instance).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graphics/controls/form_control.h"
#include "script/script_engine.h"
#include "support/script/print_host.h"

namespace fvt::test {

// Texts for control tests: a String from ASCII, and a String as UTF-8.
inline String S(const char* ascii) {
    String s;
    s.AppendAscii(ascii);
    return s;
}
inline std::string A(const String& s) {
    return PrintHost::ToUtf8(std::u16string(s.Data(), s.Data() + s.Length()));
}

class FakeForm : public FormLink, public ScriptObject {
public:
    struct HandlerRun {
        FormControl* control;
        std::string script;
        uint32_t eventId;
        uint32_t argument;
        bool hadRect;
        Rect rect;
        int result;
    };

    FakeForm() { context.Hosts().AppendObject(&printer, 0); }
    ~FakeForm() override { ScriptHeap::DetachObject(scriptHeap, this); }

    // FormLink.
    uint32_t FormId() override { return id; }
    ScriptObject* FormScriptObject() override { return this; }
    void RunHandler(FormControl* control, const String& script, uint32_t eventId, uint32_t argument,
                    const Rect* rect) override {
        HandlerRun run{
            control,
            PrintHost::ToUtf8(std::u16string(script.Data(), script.Data() + script.Length())),
            eventId,
            argument,
            rect != nullptr,
            rect ? *rect : Rect{},
            0};
        if (runScripts) run.result = RunOn(control, run.script);
        runs.push_back(run);
        if (afterHandler) afterHandler(control);
    }
    bool SubmitIfAutomatic(FormControl* /*control*/) override {
        ++submitAsks;
        if (onSubmit) onSubmit();
        return autoSubmit;
    }
    void RemoveControl(FormControl* control) override { removed.push_back(control); }
    void OnControlChanged(FormControl* /*control*/, uint32_t code) override {
        changes.push_back(code);
    }
    Node* ControlParent() override { return controlParent; }

    // Runs a script with the control as `this` (none when null); the run's error code.
    int RunOn(ScriptObject* self, const std::string& text) {
        ScriptCode unit;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"handler", &err))
            return ScriptErrors::kSyntax;
        ScriptValue v = ScriptValues::kUndefined;
        if (self) heap.NewObject(self, &v);
        ScriptValue r = ScriptValues::kUndefined;
        int rc = ScriptEngine::Run(&context, &unit, nullptr, v, &r, &err);
        std::u16string t;
        heap.ToText(r, &t);
        lastResult = PrintHost::ToUtf8(t);
        heap.Release(r);
        heap.Release(v);
        return rc;
    }

    // Script face: "submit()", "reset()" and "name".
    int Kind() override { return ScriptKinds::kForm; }
    void Notify(int event, ScriptHeap* h) override { scriptHeap = event == 0 ? h : nullptr; }
    int Resolve(int* e, const ScriptName& n, ScriptMemberRef* ref, bool) override {
        if (ref->IsBound()) return Done(e, 4);
        if (n.id == 77 || n.id == 78 || n.id == 280) return BindMember(e, ref, n.id);
        return Done(e, 4);
    }
    int Call(int* e, ScriptMemberRef* ref, int argc, const ScriptValue*,
             ScriptValue* result) override {
        *result = ScriptValues::kUndefined;
        if (ref->code != 77 && ref->code != 78) return Done(e, 9);
        if (argc != 0) return Done(e, 13);
        ++(ref->code == 78 ? scriptSubmits : scriptResets);
        return Done(e, 0);
    }
    int GetValue(int* e, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue* result) override {
        if (ref->code == 280) return Done(e, h->NewStringAscii("f1", result));
        return Done(e, 7);
    }

    ScriptHeap heap;
    std::string out;
    PrintHost printer{&out};
    ScriptContext context{&heap};
    ScriptError err;
    std::string lastResult;

    uint32_t id = 7;
    bool runScripts = true;
    bool autoSubmit = false;
    Node* controlParent = nullptr;
    ScriptHeap* scriptHeap = nullptr;
    int submitAsks = 0;
    int scriptSubmits = 0;
    int scriptResets = 0;
    std::function<void()> onSubmit;
    std::function<void(FormControl*)> afterHandler;
    std::vector<HandlerRun> runs;
    std::vector<FormControl*> removed;
    std::vector<uint32_t> changes;
};

}  // namespace fvt::test
