#include "script/script_engine.h"

#include "core/timer_list.h"
#include "platform/kernel/wide.h"

#include "script/script_compiler.h"
#include "script/script_interp.h"
#include "script/script_names.h"

using namespace scr;

// ---------------------------------------------------------------- value lists

ScriptValueList::~ScriptValueList() {
    Clear();
}

void ScriptValueList::SetHeap(ScriptHeap* heap) {
    if (heap == heap_) return;
    Clear();
    heap_ = heap;
}

bool ScriptValueList::Append(ScriptValue value) {
    if (!heap_) return false;
    heap_->AddRef(value);
    values_.push_back(value);
    return true;
}

bool ScriptValueList::AppendObject(ScriptObject* object, int index) {
    if (!heap_ || index < 0 || index > 4096) return false;
    ScriptValue v;
    if (heap_->NewObject(object, &v)) return false;
    if (static_cast<std::size_t>(index) >= values_.size())
        values_.resize(static_cast<std::size_t>(index) + 1, ScriptValues::kUndefined);
    heap_->Release(values_[index]);
    values_[index] = v;
    return true;
}

ScriptObject* ScriptValueList::LastObject() const {
    if (!heap_) return nullptr;
    for (std::size_t i = values_.size(); i-- > 0;) {
        if (ScriptObject* o = heap_->GetObject(values_[i])) return o;
    }
    return nullptr;
}

bool ScriptValueList::CopyFrom(const ScriptValueList& other) {
    if (&other == this) return true;
    Clear();
    heap_ = other.heap_;
    for (ScriptValue v : other.values_) Append(v);
    return true;
}

void ScriptValueList::Clear() {
    std::vector<ScriptValue> old;
    old.swap(values_);
    if (heap_) {
        for (ScriptValue v : old) heap_->Release(v);
    }
}

// ---------------------------------------------------------------- contexts

// Made and destroyed with the timers below, where their state is a complete type.

bool ScriptContext::Create() {
    bool hadGlobal = global_.IsObj();
    ClearGlobal();
    global_ = Val::Object(new Obj(OK::Plain, heap_));
    // Closures and self-referring objects of the old document form cycles: free them now.
    if (hadGlobal) heap_->CollectCycles();
    return true;
}

void ScriptContext::ClearGlobal() {
    if (global_.IsObj()) global_.o->props.Clear();
}

ScriptValue ScriptContext::Global() {
    return heap_->Wrap(global_);
}

// ---------------------------------------------------------------- errors

namespace Script {

std::u16string ErrorText(int code, const std::u16string& member) {
    const char* text;
    switch (code) {
        case ScriptErrors::kOutOfMemory:
            text = "Error: Out of memory";
            break;
        case ScriptErrors::kMemberUnknown:
            text = "Error: Member Unknown: ";
            break;
        case ScriptErrors::kCannotSet:
            text = "Error: Could not set value of object";
            break;
        case ScriptErrors::kCannotGet:
            text = "Error: Could not get value of object";
            break;
        case ScriptErrors::kInvalidType:
            text = "Error: Invalid type for requested action";
            break;
        case ScriptErrors::kSyntax:
            text = "Error: Syntax error";
            break;
        case ScriptErrors::kBadParameterCount:
            text = "Error: Bad parameter count";
            break;
        case ScriptErrors::kQuerySyntax:
            text = "Error: Query error 19";
            break;
        case ScriptErrors::kQueryName:
            text = "Error: Query error 20";
            break;
        case ScriptErrors::kInvalidReference:
            text = "Error: Invalid reference";
            break;
        case ScriptErrors::kTooLong:
            text = "Error: Script too long";
            break;
        case ScriptErrors::kTooDeep:
            text = "Error: Too much recursion";
            break;
        default:
            text = nullptr;
            break;
    }
    std::u16string r;
    if (text) {
        AppendAscii(&r, text);
    } else {
        AppendAscii(&r, "Error: ");
        NumberToString(code, &r);
    }
    if (code == ScriptErrors::kMemberUnknown) r += member;
    return r;
}

void EscapeStringLiteral(const std::u16string& text, std::u16string* out) {
    out->clear();
    out->reserve(text.size() + 8);
    for (char16_t c : text) {
        switch (c) {
            case '\'':
                out->append(u"\\'");
                break;
            case '"':
                out->append(u"\\\"");
                break;
            case '\\':
                out->append(u"\\\\");
                break;
            case '\r':
                out->append(u"\\r");
                break;
            case '\n':
                out->append(u"\\n");
                break;
            default:
                out->push_back(c);
                break;
        }
    }
}

bool EscapeStringLiteral(const String& text, String* out) {
    std::u16string in(text.Data(), static_cast<std::size_t>(text.Length())), esc;
    EscapeStringLiteral(in, &esc);
    return out->AssignChars(esc.data(), static_cast<std::int32_t>(esc.size()));
}

bool TokenName(std::uint32_t id, String* out) {
    const char16_t* t = ScriptNames::Text(id);
    if (!t) {
        if (out) out->SetEmpty();
        return false;
    }
    return !out || out->AssignChars(t, static_cast<std::int32_t>(ScriptNames::TextLength(id)));
}

bool TokenName(std::uint32_t id, std::u16string* out) {
    const char16_t* t = ScriptNames::Text(id);
    if (!t) {
        if (out) out->clear();
        return false;
    }
    if (out) *out = t;
    return true;
}

}  // namespace Script

void ScriptError::Compose(const std::u16string& detail) {
    message = Script::ErrorText(code, member);
    if (!detail.empty()) {
        message += u": ";
        message += detail;
    }
    if (line) {
        message += u" (line ";
        NumberToString(line, &message);
        message += u")";
    }
}

std::string ScriptError::MessageUtf8() const {
    return fvt::WideToUtf8(message);
}

// ---------------------------------------------------------------- engine

namespace ScriptEngine {

bool Compile(const char16_t* text, std::uint32_t length, ScriptCode* unit, ScriptError* err) {
    if (!unit) return false;
    UnitData* u = unit->Mutable();
    CompileResult r = CompileUnit(text, length, u);
    if (r.ok) {
        if (err) err->Clear();
        return true;
    }
    if (err) {
        err->Clear();
        err->code = ScriptErrors::kSyntax;
        err->unitName = u->unitName;
        err->line = r.line;
        err->column = r.column;
        err->Compose(r.message);
    }
    return false;
}

bool CompileText(const std::u16string& text, ScriptCode* unit, const std::u16string& name,
                 ScriptError* err) {
    if (!unit) return false;
    unit->SetName(name);
    return Compile(text.data(), static_cast<std::uint32_t>(text.size()), unit, err);
}

bool CompileText(const String& text, ScriptCode* unit, const String& name, ScriptError* err) {
    if (!unit) return false;
    unit->SetName(std::u16string(name.Data(), static_cast<std::size_t>(name.Length())));
    return Compile(text.Data(), static_cast<std::uint32_t>(text.Length()), unit, err);
}

namespace {

int Finish(Interp& in, int rc, ScriptError* err) {
    if (err) {
        err->Clear();
        if (rc && rc != ScriptErrors::kStopped) {
            err->code = rc;
            err->unitName = in.errUnit;
            err->line = in.errLine;
            err->member = in.errMember;
            err->Compose(rc == ScriptErrors::kSyntax ? in.errMember : std::u16string());
        } else {
            err->code = rc;
        }
    }
    return rc;
}

}  // namespace

int Run(ScriptContext* context, ScriptCode* unit, ScriptValueList* args, ScriptValue thisValue,
        ScriptValue* result, ScriptError* err) {
    if (result) *result = ScriptValues::kUndefined;
    if (!context || !unit || !unit->IsCompiled()) {
        if (err) {
            err->Clear();
            err->code = ScriptErrors::kSyntax;
            err->Compose();
        }
        return ScriptErrors::kSyntax;
    }
    ScriptHeap* heap = context->Heap();
    Interp in(context, heap);
    Val thisv, event, out;
    heap->Unwrap(thisValue, &thisv);
    if (args && args->Count() > 0) heap->Unwrap(args->At(0), &event);
    int rc = in.RunUnit(unit->Data(), thisv, event, &out);
    context->instructionsUsed = context->instructionBudget - in.budget;
    if (!rc && result) *result = heap->Wrap(out);
    return Finish(in, rc, err);
}

namespace {
// A context whose only host is one native object (script pages).
}  // namespace

int RunWithHost(ScriptHeap* heap, ScriptCode* unit, ScriptObject* host, ScriptValue* result,
                ScriptError* err) {
    if (!heap) return ScriptErrors::kOutOfMemory;
    ScriptContext context(heap);
    if (host) context.Hosts().AppendObject(host, 0);
    int rc = Run(&context, unit, nullptr, ScriptValues::kUndefined, result, err);
    return rc;
}

int CallFunction(ScriptContext* context, const std::u16string& name, ScriptValueList* args,
                 ScriptValue* result, ScriptError* err) {
    if (result) *result = ScriptValues::kUndefined;
    if (!context || !context->GlobalVal().IsObj()) return ScriptErrors::kMemberUnknown;
    ScriptHeap* heap = context->Heap();
    std::uint32_t key = heap->Intern(name.data(), static_cast<std::uint32_t>(name.size()));
    Val* fn = context->GlobalVal().o->props.Find(key);
    if (!fn || !fn->IsObj() || (fn->o->kind != OK::Function && fn->o->kind != OK::Native))
        return ScriptErrors::kMemberUnknown;
    Val f = *fn;
    std::vector<Val> vals;
    if (args) {
        for (int i = 0; i < args->Count(); ++i) {
            Val v;
            heap->Unwrap(args->At(i), &v);
            vals.push_back(std::move(v));
        }
    }
    Interp in(context, heap);
    Val out;
    int rc =
        in.CallValue(f, context->GlobalVal(), static_cast<int>(vals.size()), vals.data(), &out);
    Finish(in, rc, err);
    if (rc) return rc == ScriptErrors::kStopped ? rc : ScriptErrors::kSyntax;
    if (result) *result = heap->Wrap(out);
    return 0;
}

}  // namespace ScriptEngine

// ---------------------------------------------------------------- timers

struct ScriptContext::TimerState {
    struct Timer : TimerCallback {
        TimerState* state = nullptr;
        std::int32_t id = -1;
        bool repeating = false;
        Val fn;
        std::shared_ptr<const UnitData> unit;
        void OnTimer(TimerList& list, std::int32_t timerId) override;
    };
    ScriptContext* ctx = nullptr;
    TimerList* list = nullptr;
    void* owner = nullptr;
    std::vector<std::shared_ptr<Timer>> timers;

    void StopAll() {
        std::vector<std::shared_ptr<Timer>> old;
        old.swap(timers);
        for (auto& t : old) {
            if (list && t->id >= 0) list->Stop(t.get(), t->id);
        }
    }
    std::shared_ptr<Timer> Take(std::int32_t id) {
        for (std::size_t i = 0; i < timers.size(); ++i) {
            if (timers[i]->id == id) {
                std::shared_ptr<Timer> t = timers[i];
                timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
                return t;
            }
        }
        return nullptr;
    }
};

// Here, where the timers' state is a complete type.
ScriptContext::ScriptContext(ScriptHeap* heap) : heap_(heap), hosts_(heap) {
    Create();
}

ScriptContext::~ScriptContext() {
    ScriptGlobal::ClearHandlers(this);
    timers.reset();
    ClearGlobal();
    global_.Clear();
    hosts_.Clear();
}

void ScriptContext::TimerState::Timer::OnTimer(TimerList&, std::int32_t timerId) {
    TimerState* s = state;
    // Keep this handler alive through its own run, which may clear the context's timers.
    std::shared_ptr<Timer> self;
    for (auto& t : s->timers) {
        if (t.get() == this) self = t;
    }
    if (!self) return;
    if (!repeating) s->Take(timerId);
    ScriptContext* ctx = s->ctx;
    Interp in(ctx, ctx->Heap());
    Val out;
    int rc;
    if (self->unit)
        rc = in.RunUnit(self->unit, ctx->GlobalVal(), Val(), &out);
    else
        rc = in.CallValue(self->fn, ctx->GlobalVal(), 0, nullptr, &out);
    if (rc && rc != ScriptErrors::kStopped) ++ctx->failedTimerRuns;
}

void ScriptGlobal::SetTimerOwner(ScriptContext* context, TimerList* timers, void* owner) {
    if (!context) return;
    ClearHandlers(context);
    if (!context->timers) {
        context->timers = std::make_unique<ScriptContext::TimerState>();
        context->timers->ctx = context;
    }
    context->timers->list = timers;
    context->timers->owner = owner;
}

void ScriptGlobal::ClearHandlers(ScriptContext* context) {
    if (context && context->timers) context->timers->StopAll();
}

int ScriptGlobal::TimerCount(ScriptContext* context) {
    return context && context->timers ? static_cast<int>(context->timers->timers.size()) : 0;
}

namespace scr {

int StartTimer(Interp& in, int argc, Val* args, bool repeating, Val* out) {
    *out = Val::Num(0);
    ScriptContext* ctx = in.ctx;
    if (!ctx || !ctx->timers || !ctx->timers->list || argc < 1) return 0;
    auto t = std::make_shared<ScriptContext::TimerState::Timer>();
    t->state = ctx->timers.get();
    t->repeating = repeating;
    if (args[0].IsObj() && (args[0].o->kind == OK::Function || args[0].o->kind == OK::Native)) {
        t->fn = args[0];
    } else {
        U16 text;
        int rc = in.ToStr(args[0], &text);
        if (rc) return rc;
        auto unit = std::make_shared<UnitData>();
        unit->unitName = Ascii("timer");
        if (!CompileUnit(text.data(), static_cast<std::uint32_t>(text.size()), unit.get()).ok) {
            ++ctx->failedTimerRuns;
            return 0;
        }
        t->unit = unit;
    }
    double ms = 0;
    if (argc > 1) {
        int rc = in.ToNum(args[1], &ms);
        if (rc) return rc;
    }
    if (!(ms >= 0)) ms = 0;
    if (ms > 2147483647.0) ms = 2147483647.0;
    if (repeating && ms < 10) ms = 10;
    bool ok =
        repeating
            ? ctx->timers->list->StartRepeating(t.get(), static_cast<std::uint32_t>(ms), t->id)
            : ctx->timers->list->StartOnce(t.get(), static_cast<std::uint32_t>(ms), t->id, false);
    if (!ok || t->id <= 0) return 0;
    ctx->timers->timers.push_back(t);
    *out = Val::Num(t->id);
    return 0;
}

int StopTimer(Interp& in, int argc, Val* args, Val* out) {
    out->Clear();
    ScriptContext* ctx = in.ctx;
    if (!ctx || !ctx->timers || argc < 1) return 0;
    double d = 0;
    int rc = in.ToNum(args[0], &d);
    if (rc) return rc;
    if (!(d > 0 && d < 2147483647.0)) return 0;
    std::shared_ptr<ScriptContext::TimerState::Timer> t =
        ctx->timers->Take(static_cast<std::int32_t>(d));
    if (t && ctx->timers->list && t->id >= 0) ctx->timers->list->Stop(t.get(), t->id);
    return 0;
}

}  // namespace scr
