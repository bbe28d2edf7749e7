// The script value heap: one per process. Values handed to hosts are 32-bit handles (index << 4
// | tag) into a table of reference-counted cells; the interpreter itself works on scr::Val.
//
// Ownership: New* results, and results of a host's Call/GetValue, carry one reference that the
// receiver owns and gives back with Release. Arguments and SetValue values are borrowed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "script/script_internal.h"
#include "script/script_names.h"
#include "script/script_object.h"
#include "script/script_value.h"

class ScriptHeap {
public:
    ScriptHeap();
    ~ScriptHeap();
    ScriptHeap(const ScriptHeap&) = delete;
    ScriptHeap& operator=(const ScriptHeap&) = delete;

    int NewBoolean(bool value, ScriptValue* out);
    int NewNumber(double value, ScriptValue* out);
    int NewWord(std::uint32_t value, ScriptValue* out);
    int NewString(const String& text, ScriptValue* out);
    int NewStringChars(const char16_t* chars, std::uint32_t count, ScriptValue* out);
    int NewStringAscii(const char* text, ScriptValue* out);
    // A handle for a native object; the first one made calls Notify(0, heap). The same object
    // always gets the same heap cell.
    int NewObject(ScriptObject* object, ScriptValue* out);
    // The same for a new object the caller owns alone, or holds the first reference to: the
    // heap takes it over when the call succeeds; on failure it is freed here.
    template <class T>
    int NewObject(std::unique_ptr<T> object, ScriptValue* out) {
        const int rc = NewObject(static_cast<ScriptObject*>(object.get()), out);
        if (rc == 0) object.release();
        return rc;
    }
    template <class T>
    int NewObject(RefPtr<T> object, ScriptValue* out) {
        const int rc = NewObject(static_cast<ScriptObject*>(object.Get()), out);
        if (rc == 0) object.TakePointer();
        return rc;
    }
    int NewPlainObject(ScriptValue* out);
    int NewArray(ScriptValue* out);
    static ScriptValue NewUndefined() { return ScriptValues::kUndefined; }
    static ScriptValue NewNull() { return ScriptValues::kNull; }

    void AddRef(ScriptValue value);
    void Release(ScriptValue value);
    static void AddRef(ScriptHeap* heap, ScriptValue value) {
        if (heap) heap->AddRef(value);
    }
    static void Release(ScriptHeap* heap, ScriptValue value) {
        if (heap) heap->Release(value);
    }

    int ToBoolean(ScriptValue value, bool* out);
    int ToNumber(ScriptValue value, double* out);
    int ToInteger(ScriptValue value, std::int32_t* out);
    int ToString(ScriptValue value, String* out);
    int ToText(ScriptValue value, std::u16string* out);
    // Text for a handler's result: strings in double quotes (so that only an empty string reads
    // as two quotes), booleans and numbers as text, undefined empty.
    int ToResultText(ScriptValue value, std::u16string* out);
    // "undefined", "boolean", "number", "string", "object" or "function".
    const char* TypeOf(ScriptValue value);
    // The native object behind a value, or null (also for engine objects and for null).
    ScriptObject* GetObject(ScriptValue value);
    bool IsValid(ScriptValue value);

    // Properties of a plain object value, for hosts and contexts.
    int SetProperty(ScriptValue object, const char16_t* name, std::uint32_t length,
                    ScriptValue value);
    int GetProperty(ScriptValue object, const char16_t* name, std::uint32_t length,
                    ScriptValue* out);

    // Every value that refers to `old` now refers to `replacement`, or reads as null when it is
    // null. The replacement is notified with 0 when it had no value yet.
    void ReplaceObject(ScriptObject* old, ScriptObject* replacement);
    // For a native object being destroyed: every reference to it becomes null.
    void DetachObject(ScriptObject* object) { ReplaceObject(object, nullptr); }
    static void ReplaceObject(ScriptHeap* heap, ScriptObject* old, ScriptObject* replacement) {
        if (heap) heap->ReplaceObject(old, replacement);
    }
    static void DetachObject(ScriptHeap* heap, ScriptObject* object) {
        if (heap) heap->ReplaceObject(object, nullptr);
    }

    // Live cells and objects, for tests of reference balance.
    std::size_t LiveCells() const { return liveCells_; }
    std::size_t LiveObjects() const { return liveObjects_; }
    std::size_t NativeCount() const { return natives_.size(); }
    // Drops the contents of every object that nothing outside the object graph holds: breaks
    // cycles made by closures and self-referring objects. Call between runs only.
    void CollectCycles();

    // ---- engine side ----
    ScriptValue Wrap(const scr::Val& v);  // new handle (0 on failure is never returned)
    bool Unwrap(ScriptValue h, scr::Val* out);
    std::uint32_t Intern(const char16_t* chars, std::uint32_t count);
    std::uint32_t InternAscii(const char* text);
    const scr::U16& KeyText(std::uint32_t key) const { return keyText_[key]; }
    std::uint16_t KeyVocabulary(std::uint32_t key) const {
        return key <= ScriptNames::kLastId ? static_cast<std::uint16_t>(key) : 0;
    }
    scr::Val WrapNative(ScriptObject* object);
    void LinkObj(scr::Obj* o);
    void UnlinkObj(scr::Obj* o);
    void DisposeObj(scr::Obj* o);
    void ForgetHost(scr::HostObj* h);

    // Built-in prototypes and the built-in globals (filled by the built-ins at start-up).
    scr::Val builtins;  // plain object: Math, String, parseInt, ...
    scr::Val protoObject, protoString, protoNumber, protoBoolean, protoArray, protoDate,
        protoFunction;

private:
    struct Cell {
        std::uint32_t refs = 0;
        std::uint32_t nextFree = 0;
        scr::Val v;
    };
    ScriptValue Alloc(scr::Val v);
    Cell* CellOf(ScriptValue h);

    std::vector<Cell> cells_;
    std::uint32_t freeHead_ = 0;
    std::size_t liveCells_ = 0;
    std::size_t liveObjects_ = 0;
    scr::Obj* allObjs_ = nullptr;
    std::vector<scr::Obj*> disposeQueue_;
    bool disposing_ = false;
    bool closing_ = false;
    std::vector<scr::U16> keyText_;
    std::unordered_map<scr::U16, std::uint32_t> keyOf_;
    std::unordered_multimap<ScriptObject*, scr::HostObj*> natives_;
};
