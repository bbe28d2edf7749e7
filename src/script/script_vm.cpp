#include <algorithm>
#include <cmath>
#include <cstring>

#include "script/script_interp.h"
#include "script/script_names.h"

namespace scr {

namespace {
constexpr std::uint32_t kStackCapacity = 1u << 16;
constexpr std::uint32_t kMinStackSlots = 1024;

std::uint32_t StackSlots(const ScriptContext* c) {
    return c ? std::max(c->stackSlots, kMinStackSlots) : kStackCapacity;
}

inline double NumOf(const Val& v) {
    return v.t == VT::Word ? static_cast<double>(v.w) : v.n;
}
inline bool IsNumeric(const Val& v) {
    return v.t == VT::Num || v.t == VT::Word;
}

bool HostTarget(const Val& v, ScriptMemberRef* ref) {
    if (v.t != VT::Obj) return false;
    if (v.o->kind == OK::Host) {
        *ref = ScriptMemberRef();
        ref->object = static_cast<HostObj*>(v.o)->target;
        return true;
    }
    if (v.o->kind == OK::Ref) {
        *ref = static_cast<RefObj*>(v.o)->ref;
        return true;
    }
    return false;
}

ScriptObject* TargetOf(const Val& v) {
    return v.t == VT::Obj && v.o->kind == OK::Host ? static_cast<HostObj*>(v.o)->target : nullptr;
}

}  // namespace

Interp::Interp(ScriptContext* c, ScriptHeap* h)
    : ctx(c),
      heap(h),
      budget(c ? c->instructionBudget : 20'000'000),
      stack_(new Val[StackSlots(c)]),
      capacity_(StackSlots(c)) {
    abortAtStart_ = c ? c->AbortGeneration() : 0;
    // Frames never move: the loop keeps a pointer to the current one across nested calls.
    maxDepth_ =
        c ? std::min<std::uint32_t>(std::max<std::uint32_t>(c->maxCallDepth, 1), 10000) : 200;
    frames_.reserve(maxDepth_ + 1);
    eventKey_ = heap->InternAscii("event");
}

Interp::~Interp() = default;

int Interp::Fail(int code) {
    if (!errCode) {
        errCode = code;
        if (!frames_.empty()) {
            Frame& f = frames_.back();
            errLine = LineAt(*f.f, f.pc ? f.pc - 1 : 0);
        }
    }
    return code;
}

int Interp::FailMember(int code, std::uint32_t key) {
    if (!errCode) errMember = heap->KeyText(key);
    return Fail(code);
}

int Interp::FailText(int code, const U16& member) {
    if (!errCode) errMember = member;
    return Fail(code);
}

ScriptName Interp::NameOf(std::uint32_t key) const {
    ScriptName n;
    const U16& t = heap->KeyText(key);
    n.chars = t.data();
    n.length = static_cast<std::uint32_t>(t.size());
    n.id = heap->KeyVocabulary(key);
    n.key = key;
    return n;
}

const std::uint32_t* Interp::KeysFor(const UnitData& u) {
    if (u.keysHeap != heap || u.keys.size() != u.names.size()) {
        u.keys.resize(u.names.size());
        for (std::size_t i = 0; i < u.names.size(); ++i) {
            u.keys[i] =
                heap->Intern(u.names[i].data(), static_cast<std::uint32_t>(u.names[i].size()));
        }
        u.keysHeap = heap;
    }
    return u.keys.data();
}

bool Interp::MakeString(U16&& s, Val* out) {
    if (s.size() > kMaxStringUnits) {
        Fail(ScriptErrors::kOutOfMemory);
        return false;
    }
    *out = Val::NewStr(std::move(s));
    return true;
}

Val Interp::NewPlain() {
    Obj* o = new Obj(OK::Plain, heap);
    return Val::Object(o);
}

Val Interp::NewArray(std::vector<Val> items) {
    ArrayObj* a = new ArrayObj(heap);
    a->items = std::move(items);
    return Val::Object(a);
}

// ---------------------------------------------------------------- conversions

bool Interp::ToBool(const Val& v) {
    switch (v.t) {
        case VT::Undef:
        case VT::Null:
            return false;
        case VT::Bool:
            return v.b;
        case VT::Num:
            return !(v.n == 0 || std::isnan(v.n));
        case VT::Word:
            return v.w != 0;
        case VT::Str:
            return !v.s->text.empty();
        case VT::Obj:
            return !(v.o->kind == OK::Host && !static_cast<HostObj*>(v.o)->target);
    }
    return false;
}

int Interp::ToPrimitive(const Val& v, int hint, Val* out) {
    if (v.t != VT::Obj) {
        *out = v;
        return 0;
    }
    Obj* o = v.o;
    if (o->kind == OK::Host) {
        ScriptObject* t = static_cast<HostObj*>(o)->target;
        if (!t) {
            *out = Val::Null();
            return 0;
        }
        ScriptValue r = ScriptValues::kUndefined;
        int err = 0;
        t->DefaultValue(&err, heap, hint == 0 ? 0 : 1, &r);
        if (err) return Fail(err);
        heap->Unwrap(r, out);
        heap->Release(r);
        if (out->IsObj()) *out = Val::NewStr(Ascii("[object]"));
        return CheckAbort();
    }
    if (o->kind == OK::Date && hint != 0) {
        U16 t;
        DateToText(static_cast<DateObj*>(o)->time, &t);
        *out = Val::NewStr(std::move(t));
        return 0;
    }
    if (o->kind == OK::Date) {
        *out = Val::Num(static_cast<DateObj*>(o)->time);
        return 0;
    }
    // Script-defined valueOf/toString on the object itself take part.
    std::uint32_t order[2] = {243 /* valueOf */, 185 /* toString */};
    if (hint == 1) std::swap(order[0], order[1]);
    for (std::uint32_t key : order) {
        Val* f = o->props.Find(key);
        if (f && f->IsObj() && f->o->kind == OK::Function) {
            Val fn = *f;
            Val r;
            int rc = CallValue(fn, v, 0, nullptr, &r);
            if (rc) return rc;
            if (!r.IsObj()) {
                *out = std::move(r);
                return 0;
            }
        }
    }
    U16 t;
    if (o->kind == OK::Array) {
        if (!ArrayJoin(static_cast<ArrayObj*>(o), Ascii(","), &t, 0))
            return Fail(ScriptErrors::kOutOfMemory);
    } else {
        BasicToText(heap, v, &t);
    }
    return MakeString(std::move(t), out) ? 0 : errCode;
}

int Interp::ToStr(const Val& v, U16* out) {
    out->clear();
    if (v.t == VT::Str) {
        *out = v.s->text;
        return 0;
    }
    if (v.t != VT::Obj) {
        BasicToText(heap, v, out);
        return 0;
    }
    Val p;
    int rc = ToPrimitive(v, 1, &p);
    if (rc) return rc;
    BasicToText(heap, p, out);
    return 0;
}

int Interp::ToNum(const Val& v, double* out) {
    if (PrimitiveToNumber(v, out)) return 0;
    Val p;
    int rc = ToPrimitive(v, 0, &p);
    if (rc) return rc;
    if (p.IsObj()) {
        *out = std::nan("");
        return 0;
    }
    return ToNum(p, out);
}

namespace {

const Val kNullVal = Val::Null();

// A native object that was destroyed without successor reads as null.
bool IsDetached(const Val& v) {
    return v.t == VT::Obj && v.o->kind == OK::Host && !static_cast<HostObj*>(v.o)->target;
}

bool StrictEquals(const Val& a0, const Val& b0) {
    const Val& a = IsDetached(a0) ? kNullVal : a0;
    const Val& b = IsDetached(b0) ? kNullVal : b0;
    if (IsNumeric(a) && IsNumeric(b)) return NumOf(a) == NumOf(b);
    if (a.t != b.t) return false;
    switch (a.t) {
        case VT::Undef:
        case VT::Null:
            return true;
        case VT::Bool:
            return a.b == b.b;
        case VT::Str:
            return a.s == b.s || a.s->text == b.s->text;
        case VT::Obj:
            if (a.o == b.o) return true;
            if (a.o->kind == OK::Host && b.o->kind == OK::Host)
                return static_cast<HostObj*>(a.o)->target == static_cast<HostObj*>(b.o)->target;
            return false;
        default:
            return false;
    }
}

}  // namespace

// ---------------------------------------------------------------- engine properties

int Interp::GetProp(const Val& obj, std::uint32_t key, Val* out) {
    const Val* proto = nullptr;
    switch (obj.t) {
        case VT::Undef:
        case VT::Null:
            return FailMember(ScriptErrors::kInvalidType, key);
        case VT::Str:
            if (key == 282) {
                *out = Val::Num(static_cast<double>(obj.s->text.size()));
                return 0;
            }
            proto = &heap->protoString;
            break;
        case VT::Num:
        case VT::Word:
            proto = &heap->protoNumber;
            break;
        case VT::Bool:
            proto = &heap->protoBoolean;
            break;
        case VT::Obj: {
            Obj* o = obj.o;
            if (o->kind == OK::Array && key == 282) {
                *out = Val::Num(static_cast<double>(static_cast<ArrayObj*>(o)->items.size()));
                return 0;
            }
            if (Val* v = o->props.Find(key)) {
                *out = *v;
                return 0;
            }
            switch (o->kind) {
                case OK::Array:
                    proto = &heap->protoArray;
                    break;
                case OK::Date:
                    proto = &heap->protoDate;
                    break;
                case OK::Function:
                case OK::Native:
                    proto = &heap->protoFunction;
                    break;
                default:
                    proto = &heap->protoObject;
                    break;
            }
            break;
        }
    }
    if (proto && proto->IsObj()) {
        if (Val* v = proto->o->props.Find(key)) {
            *out = *v;
            return 0;
        }
        if (proto != &heap->protoObject && heap->protoObject.IsObj()) {
            if (Val* v = heap->protoObject.o->props.Find(key)) {
                *out = *v;
                return 0;
            }
        }
    }
    out->Clear();
    return 0;
}

int Interp::SetProp(const Val& obj, std::uint32_t key, const Val& v) {
    if (obj.t == VT::Undef || obj.t == VT::Null) return FailMember(ScriptErrors::kCannotSet, key);
    if (obj.t != VT::Obj) return 0;  // properties of primitives are not kept
    Obj* o = obj.o;
    if (o->kind == OK::Array && key == 282) {
        double d;
        int rc = ToNum(v, &d);
        if (rc) return rc;
        if (d < 0 || d != std::floor(d) || d > kMaxArrayLength)
            return Fail(ScriptErrors::kOutOfMemory);
        static_cast<ArrayObj*>(o)->items.resize(static_cast<std::size_t>(d));
        return 0;
    }
    Val* slot = o->props.Ensure(key);
    if (!slot) return Fail(ScriptErrors::kOutOfMemory);
    *slot = v;
    return 0;
}

int Interp::KeyOf(const Val& k, std::uint32_t* key) {
    U16 t;
    int rc = ToStr(k, &t);
    if (rc) return rc;
    *key = heap->Intern(t.data(), static_cast<std::uint32_t>(t.size()));
    return 0;
}

// ---------------------------------------------------------------- host objects

int Interp::CheckAbort() {
    if (ctx && ctx->AbortGeneration() != abortAtStart_) return Fail(ScriptErrors::kStopped);
    return 0;
}

// What a host object's get or call gave back: its failure (`rc`, else `err`), or the value it
// returned, unwrapped into `out`. Releases the returned handle either way.
int Interp::TakeHostResult(int rc, int err, ScriptValue result, Val* out) {
    if (!rc) rc = err;
    if (rc) {
        heap->Release(result);
        return Fail(rc);
    }
    heap->Unwrap(result, out);
    heap->Release(result);
    return CheckAbort();
}

int Interp::HostGet(ScriptMemberRef& ref, Val* out) {
    if (!ref.object) return Fail(ScriptErrors::kInvalidReference);
    ScriptValue r = ScriptValues::kUndefined;
    int err = 0;
    int rc = ref.object->GetValue(&err, &ref, heap, &r);
    return TakeHostResult(rc, err, r, out);
}

int Interp::HostSet(ScriptMemberRef& ref, const Val& v) {
    if (!ref.object) return Fail(ScriptErrors::kInvalidReference);
    ScriptValue h = heap->Wrap(v);
    int err = 0;
    int rc = ref.object->SetValue(&err, &ref, heap, h);
    heap->Release(h);
    if (!rc) rc = err;
    if (rc) return Fail(rc);
    return CheckAbort();
}

int Interp::HostCall(ScriptMemberRef& ref, int argc, Val* args, Val* out) {
    if (!ref.object) return Fail(ScriptErrors::kInvalidReference);
    ScriptValue local[8];
    std::vector<ScriptValue> many;
    ScriptValue* handles = local;
    if (argc > 8) {
        many.resize(argc);
        handles = many.data();
    }
    for (int i = 0; i < argc; ++i) handles[i] = heap->Wrap(args[i]);
    ScriptValue r = ScriptValues::kUndefined;
    int err = 0;
    int rc = ref.object->Call(&err, &ref, argc, handles, &r);
    for (int i = 0; i < argc; ++i) heap->Release(handles[i]);
    return TakeHostResult(rc, err, r, out);
}

int Interp::FinishPath(ScriptMemberRef& ref, bool cont, Val* out) {
    if (ref.IsBound()) return HostGet(ref, out);
    if (ref.index == -1) {
        *out = heap->WrapNative(ref.object);
        return 0;
    }
    if (cont) {
        *out = Val::Object(new RefObj(heap, ref));
        return 0;
    }
    return HostGet(ref, out);
}

int Interp::TryHostName(ScriptObject* host, std::uint32_t key, bool create, ScriptMemberRef* ref) {
    *ref = ScriptMemberRef();
    ref->object = host;
    int err = 0;
    ScriptName name = NameOf(key);
    int rc = host->Resolve(&err, name, ref, create);
    if (!rc) rc = err;
    return rc;
}

int Interp::GetMember(const Val& obj, std::uint32_t key, bool cont, Val* out) {
    ScriptMemberRef ref;
    if (HostTarget(obj, &ref)) {
        if (!ref.object) return FailMember(ScriptErrors::kInvalidType, key);
        int err = 0;
        ScriptName name = NameOf(key);
        int rc = ref.object->Resolve(&err, name, &ref, false);
        if (!rc) rc = err;
        if (rc) return FailMember(rc, key);
        rc = CheckAbort();
        if (rc) return rc;
        rc = FinishPath(ref, cont, out);
        if (rc && !errMember.size()) errMember = heap->KeyText(key);
        return rc;
    }
    return GetProp(obj, key, out);
}

int Interp::SetMember(const Val& obj, std::uint32_t key, const Val& v) {
    ScriptMemberRef ref;
    if (HostTarget(obj, &ref)) {
        if (!ref.object) return FailMember(ScriptErrors::kInvalidType, key);
        int err = 0;
        ScriptName name = NameOf(key);
        int rc = ref.object->Resolve(&err, name, &ref, true);
        if (!rc) rc = err;
        if (rc) return FailMember(rc, key);
        if (!ref.IsBound() && ref.index == -1) return FailMember(ScriptErrors::kCannotSet, key);
        rc = HostSet(ref, v);
        if (rc && !errMember.size()) errMember = heap->KeyText(key);
        return rc;
    }
    return SetProp(obj, key, v);
}

int Interp::LookupName(std::uint32_t key, bool cont, Val* out) {
    ScriptMemberRef ref;
    if (ScriptObject* t = TargetOf(runThis_)) {
        int rc = TryHostName(t, key, false, &ref);
        if (rc == 0) return CheckAbort() ? errCode : FinishPath(ref, cont, out);
        if (rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
    }
    if (key == eventKey_ && !event_.IsUndef()) {
        *out = event_;
        return 0;
    }
    if (ctx && ctx->GlobalVal().IsObj()) {
        if (Val* v = ctx->GlobalVal().o->props.Find(key)) {
            *out = *v;
            return 0;
        }
    }
    if (Val* v = heap->builtins.o->props.Find(key)) {
        *out = *v;
        return 0;
    }
    if (ctx) {
        ScriptValueList& hosts = ctx->Hosts();
        for (int i = hosts.Count() - 1; i >= 0; --i) {
            ScriptObject* h = heap->GetObject(hosts.At(i));
            if (!h) continue;
            int rc = TryHostName(h, key, false, &ref);
            if (rc == 0) return CheckAbort() ? errCode : FinishPath(ref, cont, out);
            if (rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
        }
    }
    return FailMember(ScriptErrors::kMemberUnknown, key);
}

int Interp::StoreName(std::uint32_t key, const Val& v) {
    ScriptMemberRef ref;
    if (ScriptObject* t = TargetOf(runThis_)) {
        int rc = TryHostName(t, key, false, &ref);
        if (rc == 0 && ref.IsBound()) return HostSet(ref, v);
        if (rc && rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
    }
    if (!ctx || !ctx->GlobalVal().IsObj()) return FailMember(ScriptErrors::kCannotSet, key);
    Obj* g = ctx->GlobalVal().o;
    if (Val* slot = g->props.Find(key)) {
        *slot = v;
        return 0;
    }
    if (!heap->builtins.o->props.Find(key)) {
        ScriptValueList& hosts = ctx->Hosts();
        for (int i = hosts.Count() - 1; i >= 0; --i) {
            ScriptObject* h = heap->GetObject(hosts.At(i));
            if (!h) continue;
            int rc = TryHostName(h, key, false, &ref);
            if (rc == 0 && ref.IsBound()) return HostSet(ref, v);
            if (rc && rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
        }
    }
    Val* slot = g->props.Ensure(key);
    if (!slot) return Fail(ScriptErrors::kOutOfMemory);
    *slot = v;
    return 0;
}

// ---------------------------------------------------------------- calls

int Interp::PushFrame(FunctionObj* fo, const Val& thisv, std::uint32_t argsAt, int argc,
                      std::uint32_t retSp, bool construct) {
    const FuncProto& f = fo->unit->funcs[fo->fn];
    if (frames_.size() >= maxDepth_) return Fail(ScriptErrors::kTooDeep);
    std::uint32_t top =
        argsAt + std::max<std::uint32_t>(f.locals, static_cast<std::uint32_t>(argc));
    if (static_cast<std::uint64_t>(top) + f.maxStack + 4 > capacity_)
        return Fail(ScriptErrors::kTooDeep);
    Frame fr;
    fr.unit = fo->unit;
    fr.f = &f;
    fr.keys = KeysFor(*fo->unit);
    fr.pc = 0;
    fr.base = argsAt;
    fr.retSp = retSp;
    fr.thisv = thisv;
    fr.construct = construct;
    Val* args = &stack_[argsAt];
    if (f.usesEnv) {
        EnvObj* env = new EnvObj(heap, f.locals);
        env->parent = fo->env;
        for (std::uint32_t i = 0; i < f.params && i < static_cast<std::uint32_t>(argc); ++i)
            env->slots[i] = std::move(args[i]);
        for (int i = 0; i < argc; ++i) args[i].Clear();
        fr.env = Val::Object(env);
        sp_ = argsAt;
    } else {
        fr.env = fo->env;
        std::uint32_t end = std::max<std::uint32_t>(f.locals, static_cast<std::uint32_t>(argc));
        for (std::uint32_t i = f.params; i < end; ++i) args[i].Clear();
        sp_ = argsAt + f.locals;
    }
    if (construct) fr.completion = thisv;
    frames_.push_back(std::move(fr));
    return 0;
}

// Calls callee with the argc arguments at stack_[argsAt]. A script function gets a frame
// (pushed = true; the result comes later); anything else answers in *out at once.
int Interp::PushCall(const Val& callee, const Val& thisv, std::uint32_t argsAt, int argc,
                     std::uint32_t retSp, bool construct, bool* pushed, Val* out) {
    *pushed = false;
    if (callee.t == VT::Obj) {
        Obj* o = callee.o;
        if (o->kind == OK::Function) {
            int rc = PushFrame(static_cast<FunctionObj*>(o), thisv, argsAt, argc, retSp, construct);
            if (!rc) *pushed = true;
            return rc;
        }
        if (o->kind == OK::Native) {
            NativeObj* n = static_cast<NativeObj*>(o);
            // A native call costs 16 instructions; at least one is always left over, so the
            // countdown in the main loop reaches zero instead of passing it.
            if (budget <= 16) {
                budget = 0;
                return Fail(ScriptErrors::kTooLong);
            }
            budget -= 16;
            Val self = callee;
            constructing = construct;
            int rc = n->fn(*this, self, construct ? Val() : thisv, argc, &stack_[argsAt], out);
            constructing = false;
            if (rc) return Fail(rc);
            return 0;
        }
    }
    if (!errCode) errMember.clear();
    return Fail(ScriptErrors::kInvalidType);
}

int Interp::CallName(std::uint32_t key, int argc, std::uint32_t argsAt, bool* pushed, Val* out) {
    *pushed = false;
    ScriptMemberRef ref;
    Val* args = &stack_[argsAt];
    auto onHost = [&](ScriptMemberRef& r) -> int {
        int rc = CheckAbort();
        if (rc) return rc;
        if (r.IsBound()) return HostCall(r, argc, args, out);
        if (r.index == -1) return FailMember(ScriptErrors::kInvalidType, key);
        Val fn;
        rc = HostGet(r, &fn);
        if (rc) return rc;
        return PushCall(fn, Val(), argsAt, argc, argsAt, false, pushed, out);
    };
    if (ScriptObject* t = TargetOf(runThis_)) {
        int rc = TryHostName(t, key, false, &ref);
        if (rc == 0) return onHost(ref);
        if (rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
    }
    Val fn;
    bool found = false;
    if (key == eventKey_ && !event_.IsUndef()) {
        fn = event_;
        found = true;
    } else if (ctx && ctx->GlobalVal().IsObj()) {
        if (Val* v = ctx->GlobalVal().o->props.Find(key)) {
            fn = *v;
            found = true;
        }
    }
    if (!found) {
        if (Val* v = heap->builtins.o->props.Find(key)) {
            fn = *v;
            found = true;
        }
    }
    if (!found && ctx) {
        ScriptValueList& hosts = ctx->Hosts();
        for (int i = hosts.Count() - 1; i >= 0; --i) {
            ScriptObject* h = heap->GetObject(hosts.At(i));
            if (!h) continue;
            int rc = TryHostName(h, key, false, &ref);
            if (rc == 0) return onHost(ref);
            if (rc != ScriptErrors::kMemberUnknown) return FailMember(rc, key);
        }
    }
    if (!found) return FailMember(ScriptErrors::kMemberUnknown, key);
    int rc = PushCall(fn, Val(), argsAt, argc, argsAt, false, pushed, out);
    if (rc && errMember.empty()) errMember = heap->KeyText(key);
    return rc;
}

int Interp::CallValue(const Val& fn, const Val& thisv, int argc, Val* args, Val* out) {
    if (sp_ + argc + 8 > capacity_) return Fail(ScriptErrors::kTooDeep);
    std::uint32_t at = sp_;
    for (int i = 0; i < argc; ++i) stack_[sp_++] = args[i];
    bool pushed = false;
    std::size_t depth = frames_.size();
    int rc = PushCall(fn, thisv, at, argc, at, false, &pushed, out);
    if (!rc && pushed) rc = Execute(depth, out);
    if (!pushed) {
        while (sp_ > at) stack_[--sp_].Clear();
    }
    return rc;
}

int Interp::RunUnit(std::shared_ptr<const UnitData> unit, const Val& thisv, const Val& event,
                    Val* result) {
    runThis_ = thisv;
    thisIsHost_ = TargetOf(thisv) != nullptr;
    event_ = event;
    errUnit = unit->unitName;
    return RunNested(std::move(unit), thisv, result);
}

int Interp::RunNested(std::shared_ptr<const UnitData> unit, const Val& thisv, Val* result) {
    if (unit->funcs.empty()) return Fail(ScriptErrors::kSyntax);
    if (frames_.size() >= maxDepth_) return Fail(ScriptErrors::kTooDeep);
    const FuncProto& f = unit->funcs[0];
    if (static_cast<std::uint64_t>(sp_) + f.maxStack + 4 > capacity_)
        return Fail(ScriptErrors::kTooDeep);
    Frame fr;
    fr.unit = unit;
    fr.f = &f;
    fr.keys = KeysFor(*unit);
    fr.pc = 0;
    fr.base = sp_;
    fr.retSp = sp_;
    fr.thisv = thisv;
    fr.top = true;
    std::size_t depth = frames_.size();
    frames_.push_back(std::move(fr));
    std::uint32_t spAtEntry = sp_;
    int rc = Execute(depth, result);
    if (rc) {
        // Unwind whatever the failing run left.
        while (frames_.size() > depth) frames_.pop_back();
        while (sp_ > spAtEntry) stack_[--sp_].Clear();
    }
    return rc;
}

// ---------------------------------------------------------------- the loop

int Interp::Execute(std::size_t stopDepth, Val* result) {
    Frame* fr = &frames_.back();
    const std::uint8_t* code = fr->f->code.data();
    const std::uint32_t* keys = fr->keys;
    std::uint32_t pc = fr->pc;
    Val* st = stack_.get();
    int rc = 0;
    Val tmp;

#define SP sp_
#define TOP st[SP - 1]
#define SYNC() (fr->pc = pc)
#define FAILRC(x)          \
    do {                   \
        SYNC();            \
        rc = (x);          \
        if (rc) goto fail; \
    } while (0)
#define RELOAD()                   \
    do {                           \
        fr = &frames_.back();      \
        code = fr->f->code.data(); \
        keys = fr->keys;           \
        pc = fr->pc;               \
    } while (0)

    for (;;) {
        if (budget <= 1) {
            budget = 0;
            SYNC();
            rc = Fail(ScriptErrors::kTooLong);
            goto fail;
        }
        --budget;
        std::uint8_t op = code[pc++];
        switch (op) {
            case OP_UNDEF:
                st[SP++].Clear();
                break;
            case OP_NULL:
                st[SP++] = Val::Null();
                break;
            case OP_TRUE:
                st[SP++] = Val::Bool(true);
                break;
            case OP_FALSE:
                st[SP++] = Val::Bool(false);
                break;
            case OP_THIS:
                st[SP++] = fr->thisv;
                break;
            case OP_POP:
                st[--SP].Clear();
                break;
            case OP_DUP:
                st[SP] = st[SP - 1];
                ++SP;
                break;
            case OP_DUP2:
                st[SP] = st[SP - 2];
                st[SP + 1] = st[SP - 1];
                SP += 2;
                break;
            case OP_ROT3: {  // a b c -> c a b
                Val c = std::move(st[SP - 1]);
                st[SP - 1] = std::move(st[SP - 2]);
                st[SP - 2] = std::move(st[SP - 3]);
                st[SP - 3] = std::move(c);
                break;
            }
            case OP_ROT4: {  // a b c d -> d a b c
                Val d = std::move(st[SP - 1]);
                st[SP - 1] = std::move(st[SP - 2]);
                st[SP - 2] = std::move(st[SP - 3]);
                st[SP - 3] = std::move(st[SP - 4]);
                st[SP - 4] = std::move(d);
                break;
            }
            case OP_ADD: {
                Val& a = st[SP - 2];
                Val& b = st[SP - 1];
                if (a.t == VT::Num && b.t == VT::Num) {
                    a.n += b.n;
                    --SP;
                    break;
                }
                if (a.t == VT::Str && b.t == VT::Str) {
                    if (a.s->text.size() + b.s->text.size() > kMaxStringUnits)
                        FAILRC(Fail(ScriptErrors::kOutOfMemory));
                    if (a.s->refs == 1) {
                        a.s->text += b.s->text;  // sole holder: append in place
                    } else {
                        U16 s = a.s->text + b.s->text;
                        a = Val::NewStr(std::move(s));
                    }
                    st[--SP].Clear();
                    break;
                }
                SYNC();
                Val pa, pb;
                FAILRC(ToPrimitive(a, -1, &pa));
                FAILRC(ToPrimitive(b, -1, &pb));
                if (pa.t == VT::Str || pb.t == VT::Str) {
                    U16 x, y;
                    FAILRC(ToStr(pa, &x));
                    FAILRC(ToStr(pb, &y));
                    if (x.size() + y.size() > kMaxStringUnits)
                        FAILRC(Fail(ScriptErrors::kOutOfMemory));
                    x += y;
                    a = Val::NewStr(std::move(x));
                } else {
                    double x, y;
                    FAILRC(ToNum(pa, &x));
                    FAILRC(ToNum(pb, &y));
                    a = Val::Num(x + y);
                }
                st[--SP].Clear();
                break;
            }
            case OP_SUB:
            case OP_MUL:
            case OP_DIV:
            case OP_MOD:
            case OP_SHL:
            case OP_SHR:
            case OP_USHR:
            case OP_BAND:
            case OP_BOR:
            case OP_BXOR: {
                Val& a = st[SP - 2];
                Val& b = st[SP - 1];
                double x, y;
                if (a.t == VT::Num && b.t == VT::Num) {
                    x = a.n;
                    y = b.n;
                } else {
                    SYNC();
                    FAILRC(ToNum(a, &x));
                    FAILRC(ToNum(b, &y));
                }
                double r;
                switch (op) {
                    case OP_SUB:
                        r = x - y;
                        break;
                    case OP_MUL:
                        r = x * y;
                        break;
                    case OP_DIV:
                        r = x / y;
                        break;
                    case OP_MOD:
                        r = std::fmod(x, y);
                        break;
                    case OP_SHL:
                        r = static_cast<double>(
                            static_cast<std::int32_t>(ToUint32(x) << (ToUint32(y) & 31)));
                        break;
                    case OP_SHR:
                        r = static_cast<double>(ToInt32(x) >> (ToUint32(y) & 31));
                        break;
                    case OP_USHR:
                        r = static_cast<double>(ToUint32(x) >> (ToUint32(y) & 31));
                        break;
                    case OP_BAND:
                        r = static_cast<double>(ToInt32(x) & ToInt32(y));
                        break;
                    case OP_BOR:
                        r = static_cast<double>(ToInt32(x) | ToInt32(y));
                        break;
                    default:
                        r = static_cast<double>(ToInt32(x) ^ ToInt32(y));
                        break;
                }
                a = Val::Num(r);
                st[--SP].Clear();
                break;
            }
            case OP_EQ:
            case OP_NE: {
                Val& a = st[SP - 2];
                Val& b = st[SP - 1];
                bool eq;
                if (a.t == VT::Num && b.t == VT::Num) {
                    eq = a.n == b.n;
                } else {
                    SYNC();
                    Val x = IsDetached(a) ? Val::Null() : a, y = IsDetached(b) ? Val::Null() : b;
                    for (int guard = 0;; ++guard) {
                        if (IsNumeric(x) && IsNumeric(y)) {
                            eq = NumOf(x) == NumOf(y);
                            break;
                        }
                        if (x.t == y.t || guard > 4) {
                            eq = StrictEquals(x, y);
                            break;
                        }
                        if (x.IsNullish() && y.IsNullish()) {
                            eq = true;
                            break;
                        }
                        if (x.IsNullish() || y.IsNullish()) {
                            eq = false;
                            break;
                        }
                        if (x.t == VT::Bool) {
                            x = Val::Num(x.b ? 1 : 0);
                            continue;
                        }
                        if (y.t == VT::Bool) {
                            y = Val::Num(y.b ? 1 : 0);
                            continue;
                        }
                        if (IsNumeric(x) && y.t == VT::Str) {
                            y = Val::Num(StringToNumber(y.s->text));
                            continue;
                        }
                        if (x.t == VT::Str && IsNumeric(y)) {
                            x = Val::Num(StringToNumber(x.s->text));
                            continue;
                        }
                        if (x.t == VT::Obj && y.t != VT::Obj) {
                            Val p;
                            FAILRC(ToPrimitive(x, -1, &p));
                            x = p;
                            continue;
                        }
                        if (y.t == VT::Obj && x.t != VT::Obj) {
                            Val p;
                            FAILRC(ToPrimitive(y, -1, &p));
                            y = p;
                            continue;
                        }
                        eq = false;
                        break;
                    }
                }
                a = Val::Bool(op == OP_EQ ? eq : !eq);
                st[--SP].Clear();
                break;
            }
            case OP_SEQ:
            case OP_SNE: {
                bool eq = StrictEquals(st[SP - 2], st[SP - 1]);
                st[SP - 2] = Val::Bool(op == OP_SEQ ? eq : !eq);
                st[--SP].Clear();
                break;
            }
            case OP_LT:
            case OP_GT:
            case OP_LE:
            case OP_GE: {
                Val& a = st[SP - 2];
                Val& b = st[SP - 1];
                bool r;
                if (a.t == VT::Num && b.t == VT::Num) {
                    double x = a.n, y = b.n;
                    r = op == OP_LT ? x < y : op == OP_GT ? x > y : op == OP_LE ? x <= y : x >= y;
                } else {
                    SYNC();
                    Val pa, pb;
                    FAILRC(ToPrimitive(a, 0, &pa));
                    FAILRC(ToPrimitive(b, 0, &pb));
                    if (pa.t == VT::Str && pb.t == VT::Str) {
                        int c = pa.s->text.compare(pb.s->text);
                        r = op == OP_LT   ? c < 0
                            : op == OP_GT ? c > 0
                            : op == OP_LE ? c <= 0
                                          : c >= 0;
                    } else {
                        double x, y;
                        FAILRC(ToNum(pa, &x));
                        FAILRC(ToNum(pb, &y));
                        r = op == OP_LT   ? x < y
                            : op == OP_GT ? x > y
                            : op == OP_LE ? x <= y
                                          : x >= y;
                    }
                }
                a = Val::Bool(r);
                st[--SP].Clear();
                break;
            }
            case OP_NEG:
            case OP_POS:
            case OP_TONUM:
            case OP_BITNOT:
            case OP_INC:
            case OP_DEC: {
                Val& a = TOP;
                double x;
                if (a.t == VT::Num) {
                    x = a.n;
                } else {
                    SYNC();
                    FAILRC(ToNum(a, &x));
                }
                switch (op) {
                    case OP_NEG:
                        x = -x;
                        break;
                    case OP_BITNOT:
                        x = static_cast<double>(~ToInt32(x));
                        break;
                    case OP_INC:
                        x += 1;
                        break;
                    case OP_DEC:
                        x -= 1;
                        break;
                    default:
                        break;
                }
                a = Val::Num(x);
                break;
            }
            case OP_NOT:
                TOP = Val::Bool(!ToBool(TOP));
                break;
            case OP_TYPEOF:
                TOP = Val::NewStr(Ascii(TypeName(TOP)));
                break;
            case OP_VOID:
                TOP.Clear();
                break;
            case OP_GET_INDEX: {
                Val& obj = st[SP - 2];
                Val& k = st[SP - 1];
                if (obj.t == VT::Obj && obj.o->kind == OK::Array && k.t == VT::Num) {
                    auto& items = static_cast<ArrayObj*>(obj.o)->items;
                    double d = k.n;
                    if (d >= 0 && d < static_cast<double>(items.size()) && d == std::floor(d)) {
                        obj = Val(items[static_cast<std::size_t>(d)]);
                        st[--SP].Clear();
                        break;
                    }
                }
                if (obj.t == VT::Str && k.t == VT::Num) {
                    double d = k.n;
                    const U16& s = obj.s->text;
                    if (d >= 0 && d < static_cast<double>(s.size()) && d == std::floor(d)) {
                        obj = Val::NewStr(U16(1, s[static_cast<std::size_t>(d)]));
                        st[--SP].Clear();
                        break;
                    }
                }
                SYNC();
                std::uint32_t key;
                FAILRC(KeyOf(k, &key));
                Val out;
                FAILRC(GetMember(obj, key, false, &out));
                obj = std::move(out);
                st[--SP].Clear();
                break;
            }
            case OP_SET_INDEX: {
                Val& obj = st[SP - 3];
                Val& k = st[SP - 2];
                Val& v = st[SP - 1];
                SYNC();
                if (obj.t == VT::Obj && obj.o->kind == OK::Array && k.t == VT::Num && k.n >= 0 &&
                    k.n == std::floor(k.n)) {
                    auto& items = static_cast<ArrayObj*>(obj.o)->items;
                    if (k.n >= kMaxArrayLength) FAILRC(Fail(ScriptErrors::kOutOfMemory));
                    std::size_t i = static_cast<std::size_t>(k.n);
                    if (i >= items.size()) items.resize(i + 1);
                    items[i] = v;
                } else {
                    std::uint32_t key;
                    FAILRC(KeyOf(k, &key));
                    FAILRC(SetMember(obj, key, v));
                }
                obj = std::move(v);
                st[--SP].Clear();
                st[--SP].Clear();
                break;
            }
            case OP_DEL_INDEX: {
                Val& obj = st[SP - 2];
                SYNC();
                std::uint32_t key;
                FAILRC(KeyOf(st[SP - 1], &key));
                bool done = false;
                if (obj.t == VT::Obj && obj.o->kind != OK::Host && obj.o->kind != OK::Ref) {
                    if (obj.o->kind == OK::Array) {
                        double d = StringToNumber(heap->KeyText(key));
                        auto& items = static_cast<ArrayObj*>(obj.o)->items;
                        if (d >= 0 && d < static_cast<double>(items.size()) && d == std::floor(d)) {
                            items[static_cast<std::size_t>(d)].Clear();
                            done = true;
                        }
                    }
                    if (!done) done = obj.o->props.Remove(key) || true;
                }
                obj = Val::Bool(done);
                st[--SP].Clear();
                break;
            }
            case OP_RESULT:
                fr->completion = std::move(st[--SP]);
                break;
            case OP_NEW_OBJECT:
                st[SP++] = NewPlain();
                break;
            case OP_NUM:
                st[SP++] = Val::Num(fr->unit->numbers[ReadU32(code + pc)]);
                pc += 4;
                break;
            case OP_INT:
                st[SP++] =
                    Val::Num(static_cast<double>(static_cast<std::int32_t>(ReadU32(code + pc))));
                pc += 4;
                break;
            case OP_STR: {
                const U16& s = fr->unit->strings[ReadU32(code + pc)];
                pc += 4;
                st[SP++] = Val::NewStr(s);
                break;
            }
            case OP_DECL_NAME: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                if (ctx && ctx->GlobalVal().IsObj()) {
                    Obj* g = ctx->GlobalVal().o;
                    if (!g->props.Find(key) && !g->props.Ensure(key))
                        FAILRC(Fail(ScriptErrors::kOutOfMemory));
                }
                break;
            }
            case OP_GET_NAME: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                bool cont = code[pc + 4] != 0;
                pc += 5;
                Val* v = nullptr;
                if (ctx && !thisIsHost_ && ctx->GlobalVal().IsObj())
                    v = ctx->GlobalVal().o->props.Find(key);
                if (v && key != eventKey_) {
                    st[SP++] = *v;
                    break;
                }
                SYNC();
                Val out;
                FAILRC(LookupName(key, cont, &out));
                st[SP++] = std::move(out);
                break;
            }
            case OP_SET_NAME: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                SYNC();
                FAILRC(StoreName(key, TOP));
                break;
            }
            case OP_TYPEOF_NAME: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                SYNC();
                Val out;
                int r = LookupName(key, false, &out);
                if (r == ScriptErrors::kMemberUnknown || r == ScriptErrors::kCannotGet) {
                    // unknown: "undefined"; a host member without a value (a method): "object"
                    errCode = 0;
                    errMember.clear();
                    if (r == ScriptErrors::kCannotGet)
                        out = Val::Null();
                    else
                        out.Clear();
                } else if (r) {
                    FAILRC(r);
                }
                st[SP++] = Val::NewStr(Ascii(TypeName(out)));
                break;
            }
            case OP_DEL_NAME: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                bool done =
                    ctx && ctx->GlobalVal().IsObj() && ctx->GlobalVal().o->props.Remove(key);
                st[SP++] = Val::Bool(done);
                break;
            }
            case OP_GET_MEMBER: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                bool cont = code[pc + 4] != 0;
                pc += 5;
                Val& obj = TOP;
                if (obj.t == VT::Obj && obj.o->kind != OK::Host && obj.o->kind != OK::Ref &&
                    obj.o->kind != OK::Array) {
                    if (Val* v = obj.o->props.Find(key)) {
                        obj = Val(*v);
                        break;
                    }
                }
                SYNC();
                Val out;
                FAILRC(GetMember(obj, key, cont, &out));
                obj = std::move(out);
                break;
            }
            case OP_SET_MEMBER: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                SYNC();
                FAILRC(SetMember(st[SP - 2], key, st[SP - 1]));
                st[SP - 2] = std::move(st[SP - 1]);
                --SP;
                break;
            }
            case OP_INIT_PROP: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                Val& obj = st[SP - 2];
                if (obj.t == VT::Obj && obj.o->kind == OK::Plain) {
                    Val* slot = obj.o->props.Ensure(key);
                    if (!slot) FAILRC(Fail(ScriptErrors::kOutOfMemory));
                    *slot = std::move(st[SP - 1]);
                }
                st[--SP].Clear();
                break;
            }
            case OP_DEL_MEMBER: {
                std::uint32_t key = keys[ReadU32(code + pc)];
                pc += 4;
                Val& obj = TOP;
                bool done = obj.t == VT::Obj && obj.o->kind != OK::Host && obj.o->kind != OK::Ref &&
                            (obj.o->props.Remove(key) || true);
                obj = Val::Bool(done);
                break;
            }
            case OP_JMP: {
                std::uint32_t target = ReadU32(code + pc);
                pc = target;
                break;
            }
            case OP_JF:
            case OP_JT: {
                std::uint32_t target = ReadU32(code + pc);
                pc += 4;
                bool t = ToBool(st[SP - 1]);
                st[--SP].Clear();
                if (t == (op == OP_JT)) pc = target;
                break;
            }
            case OP_JF_KEEP:
            case OP_JT_KEEP: {
                std::uint32_t target = ReadU32(code + pc);
                pc += 4;
                bool t = ToBool(TOP);
                if (t == (op == OP_JT_KEEP))
                    pc = target;
                else
                    st[--SP].Clear();
                break;
            }
            case OP_CLOSURE: {
                std::uint32_t fi = ReadU32(code + pc);
                pc += 4;
                FunctionObj* fo = new FunctionObj(heap, fr->unit, fi);
                fo->env = fr->env;
                st[SP++] = Val::Object(fo);
                break;
            }
            case OP_ARRAY: {
                std::uint32_t n = ReadU32(code + pc);
                pc += 4;
                std::vector<Val> items(n);
                for (std::uint32_t i = 0; i < n; ++i) items[i] = std::move(st[SP - n + i]);
                SP -= n;
                st[SP++] = NewArray(std::move(items));
                break;
            }
            case OP_GET_LOCAL: {
                std::uint32_t i = ReadU16(code + pc);
                pc += 2;
                st[SP] = st[fr->base + i];
                ++SP;
                break;
            }
            case OP_TAKE_LOCAL: {  // the local is about to be overwritten: move, do not share
                std::uint32_t i = ReadU16(code + pc);
                pc += 2;
                st[SP] = std::move(st[fr->base + i]);
                ++SP;
                break;
            }
            case OP_SET_LOCAL: {
                std::uint32_t i = ReadU16(code + pc);
                pc += 2;
                st[fr->base + i] = TOP;
                break;
            }
            case OP_GET_ENV:
            case OP_SET_ENV: {
                std::uint32_t d = code[pc];
                std::uint32_t i = ReadU16(code + pc + 1);
                pc += 3;
                Val* e = &fr->env;
                while (d-- && e->IsObj()) e = &static_cast<EnvObj*>(e->o)->parent;
                if (!e->IsObj() || e->o->kind != OK::Env ||
                    i >= static_cast<EnvObj*>(e->o)->slots.size())
                    FAILRC(Fail(ScriptErrors::kInvalidReference));
                Val& slot = static_cast<EnvObj*>(e->o)->slots[i];
                if (op == OP_GET_ENV)
                    st[SP++] = slot;
                else
                    slot = TOP;
                break;
            }
            case OP_CALL:
            case OP_NEW:
            case OP_CALL_INDEX:
            case OP_CALL_NAME:
            case OP_CALL_MEMBER: {
                int argc;
                std::uint32_t key = 0;
                if (op == OP_CALL_NAME || op == OP_CALL_MEMBER) {
                    key = keys[ReadU32(code + pc)];
                    argc = code[pc + 4];
                    pc += 5;
                } else {
                    argc = code[pc];
                    pc += 1;
                }
                SYNC();
                std::uint32_t argsAt = SP - argc;
                bool pushed = false;
                Val out;
                std::uint32_t retSp;
                if (op == OP_CALL_NAME) {
                    retSp = argsAt;
                    FAILRC(CallName(key, argc, argsAt, &pushed, &out));
                } else if (op == OP_CALL || op == OP_NEW) {
                    retSp = argsAt - 1;
                    Val callee = st[retSp];
                    if (op == OP_NEW) {
                        Val obj;
                        if (callee.IsObj() && callee.o->kind == OK::Native &&
                            static_cast<NativeObj*>(callee.o)->constructor) {
                            FAILRC(
                                PushCall(callee, Val(), argsAt, argc, retSp, true, &pushed, &out));
                        } else if (callee.IsObj() && callee.o->kind == OK::Function) {
                            obj = NewPlain();
                            FAILRC(PushCall(callee, obj, argsAt, argc, retSp, true, &pushed, &out));
                        } else {
                            FAILRC(Fail(ScriptErrors::kInvalidType));
                        }
                    } else {
                        FAILRC(PushCall(callee, Val(), argsAt, argc, retSp, false, &pushed, &out));
                    }
                } else {
                    // method call: base (and key) below the arguments
                    std::uint32_t baseAt = argsAt - (op == OP_CALL_INDEX ? 2 : 1);
                    retSp = baseAt;
                    Val base = st[baseAt];
                    if (op == OP_CALL_INDEX) FAILRC(KeyOf(st[argsAt - 1], &key));
                    ScriptMemberRef ref;
                    if (HostTarget(base, &ref)) {
                        if (!ref.object) FAILRC(FailMember(ScriptErrors::kInvalidType, key));
                        int err = 0;
                        ScriptName name = NameOf(key);
                        int r = ref.object->Resolve(&err, name, &ref, false);
                        if (!r) r = err;
                        if (r) FAILRC(FailMember(r, key));
                        FAILRC(CheckAbort());
                        if (ref.IsBound()) {
                            int r2 = HostCall(ref, argc, &st[argsAt], &out);
                            if (r2 && errMember.empty()) errMember = heap->KeyText(key);
                            FAILRC(r2);
                        } else if (ref.index == -1) {
                            FAILRC(FailMember(ScriptErrors::kInvalidType, key));
                        } else {
                            Val fn;
                            FAILRC(HostGet(ref, &fn));
                            FAILRC(PushCall(fn, Val(), argsAt, argc, retSp, false, &pushed, &out));
                        }
                    } else {
                        Val fn;
                        FAILRC(GetProp(base, key, &fn));
                        if (!(fn.IsObj() &&
                              (fn.o->kind == OK::Function || fn.o->kind == OK::Native)))
                            FAILRC(FailMember(fn.IsUndef() ? ScriptErrors::kMemberUnknown
                                                           : ScriptErrors::kInvalidType,
                                              key));
                        FAILRC(PushCall(fn, base, argsAt, argc, retSp, false, &pushed, &out));
                    }
                }
                if (pushed) {
                    RELOAD();
                    break;
                }
                while (SP > retSp) st[--SP].Clear();
                st[SP++] = std::move(out);
                break;
            }
            case OP_RET:
            case OP_RET_UNDEF: {
                Val r;
                if (op == OP_RET)
                    r = std::move(st[--SP]);
                else if (fr->top || fr->construct)
                    r = std::move(fr->completion);
                if (fr->construct && !r.IsObj()) r = fr->completion;
                std::uint32_t retSp = fr->retSp;
                while (SP > retSp) st[--SP].Clear();
                frames_.pop_back();
                if (frames_.size() == stopDepth) {
                    if (result) *result = std::move(r);
                    return 0;
                }
                st[SP++] = std::move(r);
                RELOAD();
                break;
            }
            default:
                SYNC();
                rc = Fail(ScriptErrors::kInvalidReference);
                goto fail;
        }
    }
fail:
    if (!rc) rc = errCode ? errCode : ScriptErrors::kInvalidReference;
    if (!errCode) errCode = rc;
    return rc;
#undef SP
#undef TOP
#undef SYNC
#undef FAILRC
#undef RELOAD
}

}  // namespace scr
