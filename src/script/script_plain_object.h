// Native objects that keep script values: ScriptPlainObject holds properties set by scripts
// (user properties); ScriptReaderObject is the base of the reader controller's script face with
// the navigator and device members and the number and timer functions of `window`.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "script/script_engine.h"

class ScriptPlainObject : public ScriptObject {
public:
    ScriptPlainObject() = default;
    ~ScriptPlainObject() override;

    int Kind() override { return ScriptKinds::kPlainObject; }
    // Binds a property it has (code = the name's interned id, index -1); with create, makes it.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int MemberAt(int* err, int index, ScriptMemberRef* ref, ScriptName* name) override;
    // Properties hold values, not methods: calling one gives 9.
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

    // Drops every property.
    void Clear();
    int PropertyCount() const { return static_cast<int>(props_.size()); }
    ScriptHeap* Heap() const { return heap_; }

protected:
    ScriptHeap* heap_ = nullptr;

private:
    int Find(std::uint32_t key) const;
    std::vector<std::pair<std::uint32_t, ScriptValue>> props_;
};

class ScriptReaderObject : public ScriptPlainObject {
public:
    // The context whose timers and built-ins `window` functions use.
    void SetContext(ScriptContext* context) { context_ = context; }
    ScriptContext* Context() const { return context_; }

    int Kind() override { return ScriptKinds::kReaderObject; }
    // navigator and device start paths (unbound, index = their id); their members, appVersion
    // and the number and timer functions bind; anything else is a user property.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    // 4 for members that are not its own (the controller's commands).
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;

    // Device facts; the reader overrides them with the real ones.
    virtual void AppVersion(std::u16string* out) { *out = u"1.0"; }
    virtual void Language(std::u16string* out) { *out = u"en"; }
    virtual void Platform(std::u16string* out) { *out = u"PocketPC"; }
    virtual int ScreenWidth() { return 240; }
    virtual int ScreenHeight() { return 320; }
    virtual bool HasPointer() { return true; }
    virtual bool HasNumericKeyboard() { return false; }
    virtual bool HasFullKeyboard() { return false; }

private:
    ScriptContext* context_ = nullptr;
};

namespace ScriptEngine {
// Runs one of the engine's built-in global functions (parseInt, setTimeout, ...) by its
// vocabulary id: 0, an error code, or 4 when the id is no built-in function.
int CallBuiltin(ScriptContext* context, ScriptHeap* heap, std::uint32_t id, int argc,
                const ScriptValue* args, ScriptValue* result);
}  // namespace ScriptEngine
