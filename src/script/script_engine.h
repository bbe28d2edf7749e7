// Compiling and running scripts.
//
// How scripts reach host objects (every ScriptObject follows this protocol)
// --------------------------------------------------------------------------
// A member path `base.n1.n2...nk` on a native object, and a bare name tried on a host, is
// resolved one name at a time with one ScriptMemberRef that starts as
// {object = the native object, index = -1, code = 0, flag = 0}. For each name the engine calls
// `ref.object->Resolve(err, name, &ref, create)`; create is set only for the last name of an
// assignment target (plain or compound). After a successful step the reference is either
//   - bound (code != 0; the host also sets index: -1 for a member of the object itself, >= 0 for
//     an element or property slot of its own): GetValue, SetValue and Call then go to ref.object;
//   - unbound (code 0): the host either forwarded the lookup to another object by changing
//     ref.object (a control's "form" -> its form, a form list -> a form, a form -> a control),
//     or recorded path state in ref.index (the reader controller keeps the selected object kind
//     there, -1 meaning none) and may have put the object that will answer into ref.object.
// Before the next name, a bound reference is turned into a value with GetValue; when that value
// is a native object, a fresh reference on it continues the path, and any other value continues
// with the engine's own member handling ("abc".length). An unbound reference is handed on as it
// is to the next Resolve.
// At the end of the path:
//   - bound: the operation itself (GetValue, SetValue or Call with the arguments);
//   - unbound with index -1: the value is ref.object itself (a call gives 9, an assignment 6);
//   - unbound with another index: GetValue decides (hosts normally answer 7).
// Resolve answers 4 for a name it does not know; for a bare name the engine then tries the next
// place (see the lookup order below), so 4 from every place becomes "Error: Member Unknown: NAME".
// Index -2 and the flag are never produced by the engine; hosts treat -2 like -1 for reads.
// Values passed to Call and SetValue are borrowed; results of Call and GetValue are owned by the
// engine (one reference each). A host may run other scripts, close the document or abort the
// running context during a call: the engine checks the context after every host call.
//
// Bare names are looked up in this order: function locals and captured locals; the members of
// the run's native this-object (widget handlers), without the create flag; "event" for the
// run's first argument; the context's global object; the engine's built-ins; the context's host
// objects from the last appended to the first. An assignment to a name found nowhere creates a
// property of the global object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/script_code.h"
#include "script/script_error.h"
#include "script/script_heap.h"
#include "script/script_object.h"
#include "script/script_value.h"

class TimerList;
class ScriptContext;
namespace scr {
class Interp;
class Val;
int StartTimer(Interp& in, int argc, Val* args, bool repeating, Val* out);
int StopTimer(Interp& in, int argc, Val* args, Val* out);
}  // namespace scr

// A list of script values owned by the list (one reference each).
class ScriptValueList {
public:
    ScriptValueList() = default;
    explicit ScriptValueList(ScriptHeap* heap) : heap_(heap) {}
    ~ScriptValueList();
    ScriptValueList(const ScriptValueList&) = delete;
    ScriptValueList& operator=(const ScriptValueList&) = delete;

    void SetHeap(ScriptHeap* heap);
    ScriptHeap* Heap() const { return heap_; }
    // Adds a reference of its own to value.
    bool Append(ScriptValue value);
    // Puts a native object at entry index (appending empty entries before it when needed).
    bool AppendObject(ScriptObject* object, int index);
    // The native object of the last entry that holds one, or null.
    ScriptObject* LastObject() const;
    bool CopyFrom(const ScriptValueList& other);
    void Clear();
    int Count() const { return static_cast<int>(values_.size()); }
    ScriptValue At(int i) const {
        return i >= 0 && i < Count() ? values_[i] : ScriptValues::kUndefined;
    }

private:
    ScriptHeap* heap_ = nullptr;
    std::vector<ScriptValue> values_;
};

// The global object with its timers.
class ScriptGlobal {
public:
    // Timers run on the given list; without one, setTimeout and friends answer 0. Handlers run
    // in the context with `this` = the global object, each with a fresh instruction budget; a
    // string handler is compiled once. The owner is recorded for the caller's bookkeeping.
    static void SetTimerOwner(ScriptContext* context, TimerList* timers, void* owner);
    static int TimerCount(ScriptContext* context);
    // Stops every timer handler of the context.
    static void ClearHandlers(ScriptContext* context);
};

// Where scripts run: a heap, a fresh global object, and the host objects of a document.
// A context must outlive the runs in it: a host that wants to close a document during a call
// uses Abort (and ClearGlobal, the global object's Clear) and destroys the context afterwards.
class ScriptContext {
public:
    explicit ScriptContext(ScriptHeap* heap);
    ~ScriptContext();
    ScriptContext(const ScriptContext&) = delete;
    ScriptContext& operator=(const ScriptContext&) = delete;

    // Makes a fresh global object (the old one's properties are dropped).
    bool Create();
    ScriptHeap* Heap() const { return heap_; }
    ScriptValueList& Hosts() { return hosts_; }
    // The global object as a value (a reference owned by the context).
    ScriptValue Global();
    // Drops the properties of the global object.
    void ClearGlobal();
    // Stops the running script at the next host call return (quietly, code 28).
    void Abort() { ++abortGeneration_; }
    std::uint32_t AbortGeneration() const { return abortGeneration_; }

    // Limits for runaway scripts. A new context takes the default budget (the fuzz targets
    // lower it, so that a loop costs them little).
    static inline std::uint64_t defaultInstructionBudget = 20'000'000;
    std::uint64_t instructionBudget = defaultInstructionBudget;
    std::uint32_t maxCallDepth = 200;
    // Value stack slots of a run; a run that needs more fails as too deep. Setting a large
    // stack up is most of what a short run costs, so the fuzz targets take a smaller one.
    static inline std::uint32_t defaultStackSlots = 1u << 16;
    std::uint32_t stackSlots = defaultStackSlots;
    // Instructions the last Run on this context executed (for measurements).
    std::uint64_t instructionsUsed = 0;
    // Timer handlers whose text did not compile or whose run failed (they fail quietly).
    std::uint32_t failedTimerRuns = 0;

    // ---- engine side
    scr::Val& GlobalVal() { return global_; }
    struct TimerState;
    std::unique_ptr<TimerState> timers;

private:
    ScriptHeap* heap_;
    scr::Val global_;
    ScriptValueList hosts_;
    std::uint32_t abortGeneration_ = 0;
};

namespace ScriptEngine {

// Compiles text into the unit (keeping string constants already added). False on a syntax error,
// with the error's message and line in err.
bool Compile(const char16_t* text, std::uint32_t length, ScriptCode* unit, ScriptError* err);
bool CompileText(const std::u16string& text, ScriptCode* unit, const std::u16string& name,
                 ScriptError* err);
bool CompileText(const String& text, ScriptCode* unit, const String& name, ScriptError* err);

// Runs a unit in a context. args (may be null): args[0] is visible as "event". thisValue is
// `this` of the top level; when it is a native object its members are visible as bare names.
// Result: 0, a run-time error code, or 28 when the script was stopped (End, Redirect, Abort).
// *result (may be null) receives the value of a top-level return or of the last expression
// statement; the caller owns it.
int Run(ScriptContext* context, ScriptCode* unit, ScriptValueList* args, ScriptValue thisValue,
        ScriptValue* result, ScriptError* err);

// Runs a unit with one native host object as its whole global context.
int RunWithHost(ScriptHeap* heap, ScriptCode* unit, ScriptObject* host, ScriptValue* result,
                ScriptError* err);

// Calls a function of the context's global object by name: 0 done, 4 not found, 11 failed.
int CallFunction(ScriptContext* context, const std::u16string& name, ScriptValueList* args,
                 ScriptValue* result, ScriptError* err = nullptr);

}  // namespace ScriptEngine

namespace Script {
// The text of a vocabulary id, or false for unnamed ids.
bool TokenName(std::uint32_t id, std::u16string* out);
bool TokenName(std::uint32_t id, String* out);
}  // namespace Script
