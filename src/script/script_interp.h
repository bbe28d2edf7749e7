// The interpreter: one per Run, so that a host may start another run on the same heap.
#pragma once

#include <memory>
#include <vector>

#include "script/script_bytecode.h"
#include "script/script_engine.h"
#include "script/script_internal.h"

namespace scr {

struct RefObj : Obj {  // an unbound host reference carrying path state between two names
    ScriptMemberRef ref;
    RefObj(ScriptHeap* h, const ScriptMemberRef& r) : Obj(OK::Ref, h), ref(r) {}
};

class Interp {
public:
    Interp(ScriptContext* ctx, ScriptHeap* heap);
    ~Interp();

    int RunUnit(std::shared_ptr<const UnitData> unit, const Val& thisv, const Val& event,
                Val* result);
    // Runs another unit's top level inside this run (eval).
    int RunNested(std::shared_ptr<const UnitData> unit, const Val& thisv, Val* result);
    // Calls a function value (script or built-in) from native code.
    int CallValue(const Val& fn, const Val& thisv, int argc, Val* args, Val* out);

    // Conversions that may run script code (toString/valueOf of objects).
    int ToPrimitive(const Val& v, int hint, Val* out);  // hint 1 string, 0 number, -1 default
    int ToStr(const Val& v, U16* out);
    int ToNum(const Val& v, double* out);
    static bool ToBool(const Val& v);

    int Fail(int code);
    int FailMember(int code, std::uint32_t key);
    int FailText(int code, const U16& member);

    // Property access on engine values (no hosts).
    int GetProp(const Val& obj, std::uint32_t key, Val* out);
    int SetProp(const Val& obj, std::uint32_t key, const Val& v);
    Val NewPlain();
    Val NewArray(std::vector<Val> items);
    bool MakeString(U16&& s, Val* out);  // false (error 1 recorded) past the size limit

    ScriptContext* ctx;
    ScriptHeap* heap;
    int errCode = 0;
    U16 errMember;
    std::uint32_t errLine = 0;
    U16 errUnit;
    std::uint64_t budget;
    bool constructing = false;  // set while a built-in runs for `new`

private:
    struct Frame {
        std::shared_ptr<const UnitData> unit;
        const FuncProto* f;
        const std::uint32_t* keys;
        std::uint32_t pc;
        std::uint32_t base;   // first local
        std::uint32_t retSp;  // where the result goes
        Val thisv;
        Val env;
        Val completion;
        bool construct = false;
        bool top = false;
    };

    int Execute(std::size_t stopDepth, Val* result);
    int PushCall(const Val& callee, const Val& thisv, std::uint32_t argsAt, int argc,
                 std::uint32_t retSp, bool construct, bool* pushed, Val* out);
    int PushFrame(FunctionObj* fo, const Val& thisv, std::uint32_t argsAt, int argc,
                  std::uint32_t retSp, bool construct);
    const std::uint32_t* KeysFor(const UnitData& u);
    ScriptName NameOf(std::uint32_t key) const;

    // Host paths.
    int HostStep(const Val& base, std::uint32_t key, bool create, ScriptMemberRef* ref,
                 bool* isHost);
    int FinishPath(ScriptMemberRef& ref, bool cont, Val* out);
    int HostGet(ScriptMemberRef& ref, Val* out);
    int HostSet(ScriptMemberRef& ref, const Val& v);
    int HostCall(ScriptMemberRef& ref, int argc, Val* args, Val* out);
    int TakeHostResult(int rc, int err, ScriptValue result, Val* out);
    int CheckAbort();
    int LookupName(std::uint32_t key, bool cont, Val* out);
    int CallName(std::uint32_t key, int argc, std::uint32_t argsAt, bool* pushed, Val* out);
    int StoreName(std::uint32_t key, const Val& v);
    int TryHostName(ScriptObject* host, std::uint32_t key, bool create, ScriptMemberRef* ref);
    int GetMember(const Val& obj, std::uint32_t key, bool cont, Val* out);
    int SetMember(const Val& obj, std::uint32_t key, const Val& v);
    int KeyOf(const Val& k, std::uint32_t* key);

    std::unique_ptr<Val[]> stack_;
    std::uint32_t capacity_;
    std::uint32_t sp_ = 0;
    std::vector<Frame> frames_;
    std::uint32_t maxDepth_ = 200;
    Val runThis_;
    bool thisIsHost_ = false;
    Val event_;
    std::uint32_t abortAtStart_;
    std::uint32_t eventKey_;
};

// Built-ins (script_builtins.cpp).
void InstallBuiltins(ScriptHeap* heap);
bool ArrayJoin(ArrayObj* a, const U16& sep, U16* out, int depth);
void DateToText(double time, U16* out);
bool BasicToText(ScriptHeap* heap, const Val& v, U16* out);

}  // namespace scr
