// Host objects for the tests, shaped like the reader's: a controller that keeps the selected
// reader object in the reference's index, a script-page host, and a form with controls.
#pragma once

#include <string>
#include <vector>

#include "script/script_engine.h"
#include "script/script_names.h"
#include "support/script/print_host.h"

// Records every call as "object.method(args)", text arguments quoted, numeric ones bare.
class TestController : public ScriptObject {
public:
    std::vector<std::string> log;
    ScriptHeap* heap = nullptr;
    std::string location = "oeb:book?p=1";
    std::string hash;

    int Kind() override { return ScriptKinds::kController; }
    void Notify(int event, ScriptHeap* h) override { heap = event == 0 ? h : nullptr; }

    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override {
        if (ref->IsBound()) return Done(err, 4);
        int id = name.id;
        int selected = ref->index;
        if (id >= 23 && id <= 33) {
            if (!ObjectAllowed(selected, id)) return Done(err, 4);
            ref->object = this;
            ref->index = id;
            return Done(err, 0);
        }
        if (id >= 34 && id <= 37 && selected == -1) {
            ref->code = id;
            return Done(err, 0);
        }
        int kind = selected == -1 ? 25 : selected;
        if (!MethodAllowed(id, kind)) return Done(err, 4);
        ref->object = this;
        ref->index = kind;
        ref->code = id;
        return Done(err, 0);
    }
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override {
        if (ref->code == 159 || ref->code == 30 || ref->code == 282) return Done(err, 9);
        std::string rec = Name(ref->index) + "." + Name(ref->code) + "(";
        for (int i = 0; i < argc; ++i) {
            std::u16string t;
            int rc = heap->ToText(stack[i], &t);
            if (rc) return Done(err, rc);
            std::uint32_t tag = ScriptValues::Tag(stack[i]);
            bool numeric = tag != ScriptTag::kObject && tag != ScriptTag::kString;
            if (i) rec += ",";
            rec += numeric ? PrintHost::ToUtf8(t) : "'" + PrintHost::ToUtf8(t) + "'";
        }
        log.push_back(rec + ")");
        *result = ScriptValues::kUndefined;
        if (ref->code == 92) *result = ScriptValues::kTrue;  // goto_checkpoint
        return Done(err, 0);
    }
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue* result) override {
        if (ref->code >= 34 && ref->code <= 37) return Done(err, h->NewNumber(ref->code, result));
        if (ref->code == 159 && ref->index == 29) {
            std::u16string t = PrintHost::FromUtf8(location);
            return Done(err,
                        h->NewStringChars(t.data(), static_cast<std::uint32_t>(t.size()), result));
        }
        return Done(err, 7);
    }
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue value) override {
        if (ref->index == 30 || (ref->code == 30 && ref->index == 29)) {
            std::u16string t;
            h->ToText(value, &t);
            hash = PrintHost::ToUtf8(t);
            return Done(err, 0);
        }
        return Done(err, 6);
    }

private:
    static std::string Name(int id) {
        if (id < 0) return "window";
        std::u16string t;
        return Script::TokenName(static_cast<std::uint32_t>(id), &t) ? PrintHost::ToUtf8(t) : "?";
    }
    static bool ObjectAllowed(int selected, int id) {
        if (selected == -1) return id != 30;
        if (selected == 25) return id == 23 || id == 26 || id == 29 || id == 31 || id == 32;
        if (selected == 23) return id == 24 || id == 28 || id == 29;
        if (selected == 29) return id == 30;
        return false;
    }
    static bool MethodAllowed(int id, int kind) {
        switch (id) {
            case 46:
            case 48:
            case 65:
            case 69:
            case 70:
            case 95:
                return kind == 25;
            case 47:
                return kind == 25 || kind == 23;
            case 50:
            case 51:
            case 52:
            case 53:
                return kind == 23;
            case 57:
            case 74:
                return kind == 27 || kind == 24;
            case 77:
            case 78:
                return kind == 27;
            case 61:
            case 92:
            case 113:
            case 282:
                return kind == 26;
            case 159:
                return kind == 29 || kind == 28;
            case 30:
                return kind == 29;
            default:
                return false;
        }
    }
};

// Response/Request of a script page: Response.Write appends to out, End stops the script.
class TestPageHost : public ScriptObject {
public:
    std::string out;
    int ended = 0;
    ScriptHeap* heap = nullptr;
    void Notify(int event, ScriptHeap* h) override { heap = event == 0 ? h : nullptr; }
    int Kind() override { return ScriptKinds::kPageHost; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override {
        if (ref->IsBound()) return Done(err, 4);
        if (ref->index == -1 && (name.id == 289 || name.id == 291 || name.id == 290)) {
            ref->index = name.id;
            return Done(err, 0);
        }
        bool ok = (ref->index == 289 && (name.id == 298 || name.id == 301 || name.id == 312)) ||
                  (ref->index == 291 && name.id == 297);
        if (!ok) return Done(err, 4);
        ref->code = name.id;
        return Done(err, 0);
    }
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override {
        *result = ScriptValues::kUndefined;
        if (ref->code == 298) {
            if (argc != 1) return Done(err, 13);
            std::u16string t;
            heap->ToText(stack[0], &t);
            out += PrintHost::ToUtf8(t);
            return Done(err, 0);
        }
        if (ref->code == 301) {
            ended = 1;
            return Done(err, 28);
        }
        return Done(err, 9);
    }
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue* result) override {
        if (ref->code == 312) return Done(err, h->NewStringAscii("text/html", result));
        return Done(err, 7);
    }
};

class TestForm;

class TestControl : public ScriptObject {
public:
    TestForm* form = nullptr;
    std::string value;
    ScriptHeap* heap = nullptr;
    int notified0 = 0, notified1 = 0;
    ~TestControl() override { ScriptHeap::ReplaceObject(heap, this, successor); }
    ScriptObject* successor = nullptr;
    int Kind() override { return ScriptKinds::kFormControl; }
    void Notify(int event, ScriptHeap* h) override {
        if (event == 0) {
            heap = h;
            ++notified0;
        } else {
            heap = nullptr;
            ++notified1;
        }
    }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue*,
             ScriptValue* result) override {
        if (argc != 0 || ref->index != -1) return Done(err, 4);
        *result = ScriptValues::kUndefined;
        return Done(err, ref->code == 259 || ref->code == 260 ? 0 : 9);
    }
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue* result) override {
        if (ref->code == 279) {
            std::u16string t = PrintHost::FromUtf8(value);
            return Done(err,
                        h->NewStringChars(t.data(), static_cast<std::uint32_t>(t.size()), result));
        }
        if (ref->code == 258) return Done(err, h->NewBoolean(false, result));
        return Done(err, 7);
    }
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue v) override {
        if (ref->code != 279) return Done(err, 6);
        std::u16string t;
        h->ToText(v, &t);
        value = PrintHost::ToUtf8(t);
        return Done(err, 0);
    }
};

class TestForm : public ScriptObject {
public:
    std::string name = "f1";
    std::vector<std::pair<std::string, TestControl*>> fields;
    int submits = 0, resets = 0;
    ScriptHeap* heap = nullptr;
    ~TestForm() override { ScriptHeap::DetachObject(heap, this); }
    int Kind() override { return ScriptKinds::kForm; }
    void Notify(int event, ScriptHeap* h) override { heap = event == 0 ? h : nullptr; }
    int Resolve(int* err, const ScriptName& n, ScriptMemberRef* ref, bool create) override {
        if (ref->IsBound()) return Done(err, 4);
        if (n.id == 77 || n.id == 78 || n.id == 280) {
            return BindMember(err, ref, n.id);
        }
        for (auto& f : fields) {
            if (n.Equals(PrintHost::FromUtf8(f.first).data(),
                         static_cast<std::uint32_t>(f.first.size()))) {
                ref->object = f.second;
                ref->index = -1;
                return Done(err, 0);
            }
        }
        if (create) {
            ref->object = this;
            ref->code = -2;
            return Done(err, 0);
        }
        return Done(err, 4);
    }
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue*,
             ScriptValue* result) override {
        *result = ScriptValues::kUndefined;
        if (ref->code != 77 && ref->code != 78) return Done(err, 9);
        if (argc != 0) return Done(err, 13);
        ++(ref->code == 78 ? submits : resets);
        return Done(err, 0);
    }
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* h, ScriptValue* result) override {
        if (ref->code == 280) return Done(err, h->NewStringAscii(name.c_str(), result));
        if (ref->code == -2) {
            *result = ScriptValues::kUndefined;
            return Done(err, 0);
        }
        return Done(err, 7);
    }
};

inline int TestControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, 4);
    if (name.id >= 257 && name.id <= 260) {
        return BindMember(err, ref, name.id);
    }
    if (name.id == 279) {
        return BindMember(err, ref, 279);
    }
    if (name.id == 284 && form) {
        ref->object = static_cast<ScriptObject*>(form);
        ref->index = -1;
        return Done(err, 0);
    }
    return Done(err, 4);
}
