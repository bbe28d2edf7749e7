#include "script/script_heap.h"

#include <cmath>
#include <cstring>

#include "script/script_names.h"

namespace scr {

void InstallBuiltins(ScriptHeap* heap);  // script_builtins.cpp
void DateToText(double time, U16* out);  // script_builtins.cpp
bool ArrayJoin(ArrayObj* a, const U16& sep, U16* out, int depth);

// ---- property tables ----

Val* PropTable::Find(std::uint32_t key) {
    if (index_) {
        auto it = index_->find(key);
        return it == index_->end() ? nullptr : &items_[it->second].second;
    }
    for (auto& item : items_) {
        if (item.first == key) return &item.second;
    }
    return nullptr;
}

Val* PropTable::Ensure(std::uint32_t key) {
    if (Val* v = Find(key)) return v;
    if (items_.size() >= kMaxArrayLength) return nullptr;
    items_.emplace_back(key, Val());
    if (index_) {
        (*index_)[key] = static_cast<std::uint32_t>(items_.size() - 1);
    } else if (items_.size() > 8) {
        Reindex();
    }
    return &items_.back().second;
}

bool PropTable::Remove(std::uint32_t key) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].first == key) {
            Val dropped = std::move(items_[i].second);
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            if (index_) Reindex();
            return true;
        }
    }
    return false;
}

void PropTable::Clear() {
    std::vector<std::pair<std::uint32_t, Val>> tmp;
    tmp.swap(items_);
    index_.reset();
}

void PropTable::Reindex() {
    if (items_.size() <= 8) {
        index_.reset();
        return;
    }
    if (!index_) index_ = std::make_unique<std::unordered_map<std::uint32_t, std::uint32_t>>();
    index_->clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        (*index_)[items_[i].first] = static_cast<std::uint32_t>(i);
    }
}

// ---- objects ----

Obj::Obj(OK k, ScriptHeap* h) : kind(k), heap(h) {
    h->LinkObj(this);
}

Obj::~Obj() {
    heap->UnlinkObj(this);
}

void ReleaseObj(Obj* o) {
    if (--o->refs == 0) o->heap->DisposeObj(o);
}

HostObj::~HostObj() {
    heap->ForgetHost(this);
}

}  // namespace scr

using namespace scr;

ScriptHeap::ScriptHeap() {
    cells_.reserve(64);
    cells_.emplace_back();  // index 0 is never a cell: object payload 0 means null
    keyText_.resize(ScriptNames::kFirstDynamicId);
    for (int i = 0; i < ScriptNames::Count(); ++i) {
        std::uint16_t id = ScriptNames::IdAt(i);
        U16 text(ScriptNames::TextAt(i));
        if (keyText_[id].empty()) keyText_[id] = text;
        keyOf_.emplace(text, id);
    }
    keyText_[ScriptNames::kGlobalRecordSet] = Ascii("__global_recordset");
    keyOf_.emplace(keyText_[ScriptNames::kGlobalRecordSet], ScriptNames::kGlobalRecordSet);
    keyText_[ScriptNames::kWidgetEvent] = Ascii("__widget_event");
    keyOf_.emplace(keyText_[ScriptNames::kWidgetEvent], ScriptNames::kWidgetEvent);
    InstallBuiltins(this);
}

ScriptHeap::~ScriptHeap() {
    closing_ = true;
    for (auto& c : cells_) c.v.Clear();
    builtins.Clear();
    protoObject.Clear();
    protoString.Clear();
    protoNumber.Clear();
    protoBoolean.Clear();
    protoArray.Clear();
    protoDate.Clear();
    protoFunction.Clear();
    // What is left lives in cycles (or is held by forgotten handles): pin, empty, free.
    std::vector<Obj*> rest;
    for (Obj* o = allObjs_; o; o = o->nextAll) rest.push_back(o);
    for (Obj* o : rest) ++o->refs;
    for (Obj* o : rest) o->ClearRefs();
    for (Obj* o : rest) delete o;
}

void ScriptHeap::LinkObj(Obj* o) {
    o->nextAll = allObjs_;
    if (allObjs_) allObjs_->prevAll = o;
    allObjs_ = o;
    ++liveObjects_;
}

void ScriptHeap::UnlinkObj(Obj* o) {
    if (o->prevAll)
        o->prevAll->nextAll = o->nextAll;
    else
        allObjs_ = o->nextAll;
    if (o->nextAll) o->nextAll->prevAll = o->prevAll;
    --liveObjects_;
}

void ScriptHeap::DisposeObj(Obj* o) {
    if (closing_) return;  // the destructor frees what is left
    // Iterative, so that long chains of objects cannot exhaust the native stack.
    disposeQueue_.push_back(o);
    if (disposing_) return;
    disposing_ = true;
    while (!disposeQueue_.empty()) {
        Obj* x = disposeQueue_.back();
        disposeQueue_.pop_back();
        delete x;
    }
    disposing_ = false;
}

void ScriptHeap::ForgetHost(HostObj* h) {
    ScriptObject* target = h->target;
    if (!target) return;
    auto range = natives_.equal_range(target);
    int remaining = 0;
    for (auto it = range.first; it != range.second;) {
        if (it->second == h) {
            it = natives_.erase(it);
        } else {
            ++remaining;
            ++it;
        }
    }
    if (remaining == 0) target->Notify(1, this);
}

ScriptValue ScriptHeap::Alloc(Val v) {
    std::uint32_t index;
    if (freeHead_) {
        index = freeHead_;
        freeHead_ = cells_[index].nextFree;
    } else {
        if (cells_.size() >= (1u << 27)) return ScriptValues::kNoValue;
        index = static_cast<std::uint32_t>(cells_.size());
        cells_.emplace_back();
    }
    Cell& c = cells_[index];
    c.refs = 1;
    c.nextFree = 0;
    std::uint32_t tag = v.t == VT::Num    ? ScriptTag::kNumber
                        : v.t == VT::Str  ? ScriptTag::kString
                        : v.t == VT::Word ? ScriptTag::kWord
                                          : ScriptTag::kObject;
    c.v = std::move(v);
    ++liveCells_;
    return (index << 4) | tag;
}

ScriptHeap::Cell* ScriptHeap::CellOf(ScriptValue h) {
    if (h == ScriptValues::kNoValue) return nullptr;
    std::uint32_t tag = h & 15;
    if (tag != ScriptTag::kNumber && tag != ScriptTag::kObject && tag != ScriptTag::kWord &&
        tag != ScriptTag::kString)
        return nullptr;
    std::uint32_t index = h >> 4;
    if (index == 0 || index >= cells_.size()) return nullptr;
    Cell& c = cells_[index];
    return c.refs ? &c : nullptr;
}

ScriptValue ScriptHeap::Wrap(const Val& v) {
    switch (v.t) {
        case VT::Undef:
            return ScriptValues::kUndefined;
        case VT::Null:
            return ScriptValues::kNull;
        case VT::Bool:
            return v.b ? ScriptValues::kTrue : ScriptValues::kFalse;
        default:
            return Alloc(v);
    }
}

bool ScriptHeap::Unwrap(ScriptValue h, Val* out) {
    if (h == ScriptValues::kNoValue || h == ScriptValues::kUndefined) {
        out->Clear();
        return true;
    }
    if (h == ScriptValues::kNull) {
        *out = Val::Null();
        return true;
    }
    if ((h & 15) == ScriptTag::kBoolean) {
        if (h != ScriptValues::kTrue && h != ScriptValues::kFalse) return false;
        *out = Val::Bool(h == ScriptValues::kTrue);
        return true;
    }
    Cell* c = CellOf(h);
    if (!c) {
        out->Clear();
        return false;
    }
    *out = c->v;
    return true;
}

void ScriptHeap::AddRef(ScriptValue value) {
    if (Cell* c = CellOf(value)) ++c->refs;
}

void ScriptHeap::Release(ScriptValue value) {
    Cell* c = CellOf(value);
    if (!c || --c->refs) return;
    Val dropped = std::move(c->v);
    std::uint32_t index = value >> 4;
    c->nextFree = freeHead_;
    freeHead_ = index;
    --liveCells_;
}

int ScriptHeap::NewBoolean(bool value, ScriptValue* out) {
    if (!out) return ScriptErrors::kOutOfMemory;
    *out = value ? ScriptValues::kTrue : ScriptValues::kFalse;
    return 0;
}

static int Stored(ScriptValue h, ScriptValue* out) {
    if (!out) return ScriptErrors::kOutOfMemory;
    *out = h;
    return h == ScriptValues::kNoValue ? ScriptErrors::kOutOfMemory : 0;
}

int ScriptHeap::NewNumber(double value, ScriptValue* out) {
    return Stored(Alloc(Val::Num(value)), out);
}

int ScriptHeap::NewWord(std::uint32_t value, ScriptValue* out) {
    return Stored(Alloc(Val::Word(value)), out);
}

int ScriptHeap::NewStringChars(const char16_t* chars, std::uint32_t count, ScriptValue* out) {
    if (count > kMaxStringUnits) return ScriptErrors::kOutOfMemory;
    return Stored(Alloc(Val::NewStr(chars ? U16(chars, count) : U16())), out);
}

int ScriptHeap::NewString(const String& text, ScriptValue* out) {
    return NewStringChars(text.Data(), static_cast<std::uint32_t>(text.Length()), out);
}

int ScriptHeap::ToString(ScriptValue value, String* out) {
    if (!out) return ScriptErrors::kOutOfMemory;
    std::u16string t;
    int rc = ToText(value, &t);
    if (rc) return rc;
    return out->AssignChars(t.data(), static_cast<std::int32_t>(t.size()))
               ? 0
               : ScriptErrors::kOutOfMemory;
}

int ScriptHeap::NewStringAscii(const char* text, ScriptValue* out) {
    return Stored(Alloc(Val::NewStr(Ascii(text ? text : ""))), out);
}

Val ScriptHeap::WrapNative(ScriptObject* object) {
    if (!object) return Val::Null();
    auto it = natives_.find(object);
    if (it != natives_.end()) return Val::Object(it->second);
    HostObj* h = new HostObj(this, object);
    natives_.emplace(object, h);
    Val v = Val::Object(h);
    object->Notify(0, this);
    return v;
}

int ScriptHeap::NewObject(ScriptObject* object, ScriptValue* out) {
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!object) {
        *out = ScriptValues::kNull;
        return 0;
    }
    return Stored(Alloc(WrapNative(object)), out);
}

int ScriptHeap::NewPlainObject(ScriptValue* out) {
    Obj* o = new Obj(OK::Plain, this);
    return Stored(Alloc(Val::Object(o)), out);
}

int ScriptHeap::NewArray(ScriptValue* out) {
    Obj* o = new ArrayObj(this);
    return Stored(Alloc(Val::Object(o)), out);
}

void ScriptHeap::ReplaceObject(ScriptObject* old, ScriptObject* replacement) {
    if (!old || old == replacement) return;
    std::vector<HostObj*> moved;
    auto range = natives_.equal_range(old);
    for (auto it = range.first; it != range.second; ++it) moved.push_back(it->second);
    if (moved.empty()) return;
    natives_.erase(old);
    bool hadCell = replacement && natives_.find(replacement) != natives_.end();
    for (HostObj* h : moved) {
        h->target = replacement;
        if (replacement) natives_.emplace(replacement, h);
    }
    if (replacement && !hadCell) replacement->Notify(0, this);
}

namespace {

// Conversions without running script code: hosts and plain reads use these.
bool BasicText(ScriptHeap* heap, const Val& v, U16* out, int depth) {
    switch (v.t) {
        case VT::Undef:
            AppendAscii(out, "undefined");
            return true;
        case VT::Null:
            AppendAscii(out, "null");
            return true;
        case VT::Bool:
            AppendAscii(out, v.b ? "true" : "false");
            return true;
        case VT::Num:
            NumberToString(v.n, out);
            return true;
        case VT::Word:
            NumberToString(static_cast<double>(v.w), out);
            return true;
        case VT::Str:
            out->append(v.s->text);
            return true;
        case VT::Obj:
            break;
    }
    Obj* o = v.o;
    switch (o->kind) {
        case OK::Array:
            return ArrayJoin(static_cast<ArrayObj*>(o), Ascii(","), out, depth + 1);
        case OK::Date:
            DateToText(static_cast<DateObj*>(o)->time, out);
            return true;
        case OK::Function:
        case OK::Native:
            AppendAscii(out, "function");
            return true;
        case OK::Host: {
            HostObj* h = static_cast<HostObj*>(o);
            if (!h->target) {
                AppendAscii(out, "null");
                return true;
            }
            ScriptValue r = ScriptValues::kUndefined;
            int err = 0;
            h->target->DefaultValue(&err, heap, 1, &r);
            if (err) return false;
            Val pv;
            heap->Unwrap(r, &pv);
            heap->Release(r);
            if (pv.IsObj()) {
                AppendAscii(out, "[object]");
                return true;
            }
            return BasicText(heap, pv, out, depth + 1);
        }
        default:
            AppendAscii(out, "[object Object]");
            return true;
    }
}

}  // namespace

namespace scr {
bool BasicToText(ScriptHeap* heap, const Val& v, U16* out) {
    return BasicText(heap, v, out, 0);
}
}  // namespace scr

int ScriptHeap::ToText(ScriptValue value, std::u16string* out) {
    Val v;
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!Unwrap(value, &v)) return ScriptErrors::kInvalidType;
    out->clear();
    return BasicText(this, v, out, 0) ? 0 : ScriptErrors::kCannotGet;
}

int ScriptHeap::ToResultText(ScriptValue value, std::u16string* out) {
    Val v;
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!Unwrap(value, &v)) return ScriptErrors::kInvalidType;
    out->clear();
    if (v.IsUndef()) return 0;
    if (v.IsStr()) {
        out->push_back('"');
        out->append(v.s->text);
        out->push_back('"');
        return 0;
    }
    return BasicText(this, v, out, 0) ? 0 : ScriptErrors::kCannotGet;
}

int ScriptHeap::ToBoolean(ScriptValue value, bool* out) {
    Val v;
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!Unwrap(value, &v)) return ScriptErrors::kInvalidType;
    switch (v.t) {
        case VT::Undef:
        case VT::Null:
            *out = false;
            break;
        case VT::Bool:
            *out = v.b;
            break;
        case VT::Num:
            *out = !(v.n == 0 || std::isnan(v.n));
            break;
        case VT::Word:
            *out = v.w != 0;
            break;
        case VT::Str:
            *out = !v.s->text.empty();
            break;
        case VT::Obj:
            *out = !(v.o->kind == OK::Host && !static_cast<HostObj*>(v.o)->target);
            break;
    }
    return 0;
}

int ScriptHeap::ToNumber(ScriptValue value, double* out) {
    Val v;
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!Unwrap(value, &v)) return ScriptErrors::kInvalidType;
    if (PrimitiveToNumber(v, out)) return 0;
    if (v.o->kind == OK::Date) {
        *out = static_cast<DateObj*>(v.o)->time;
        return 0;
    }
    U16 t;
    if (!BasicText(this, v, &t, 0)) return ScriptErrors::kCannotGet;
    *out = StringToNumber(t);
    return 0;
}

int ScriptHeap::ToInteger(ScriptValue value, std::int32_t* out) {
    double d = 0;
    if (!out) return ScriptErrors::kOutOfMemory;
    int rc = ToNumber(value, &d);
    if (rc) return rc;
    *out = ToInt32(d);
    return 0;
}

const char* ScriptHeap::TypeOf(ScriptValue value) {
    Val v;
    return Unwrap(value, &v) ? TypeName(v) : "undefined";
}

ScriptObject* ScriptHeap::GetObject(ScriptValue value) {
    Val v;
    if (!Unwrap(value, &v) || !v.IsObj() || v.o->kind != OK::Host) return nullptr;
    return static_cast<HostObj*>(v.o)->target;
}

bool ScriptHeap::IsValid(ScriptValue value) {
    Val v;
    return Unwrap(value, &v);
}

std::uint32_t ScriptHeap::Intern(const char16_t* chars, std::uint32_t count) {
    U16 key(chars, count);
    auto it = keyOf_.find(key);
    if (it != keyOf_.end()) return it->second;
    std::uint32_t id = static_cast<std::uint32_t>(keyText_.size());
    keyText_.push_back(key);
    keyOf_.emplace(std::move(key), id);
    return id;
}

std::uint32_t ScriptHeap::InternAscii(const char* text) {
    U16 t = Ascii(text);
    return Intern(t.data(), static_cast<std::uint32_t>(t.size()));
}

int ScriptHeap::SetProperty(ScriptValue object, const char16_t* name, std::uint32_t length,
                            ScriptValue value) {
    Val o, v;
    if (!Unwrap(object, &o) || !o.IsObj() || o.o->kind == OK::Host) return ScriptErrors::kCannotSet;
    if (!Unwrap(value, &v)) return ScriptErrors::kInvalidType;
    Val* slot = o.o->props.Ensure(Intern(name, length));
    if (!slot) return ScriptErrors::kOutOfMemory;
    *slot = std::move(v);
    return 0;
}

int ScriptHeap::GetProperty(ScriptValue object, const char16_t* name, std::uint32_t length,
                            ScriptValue* out) {
    Val o;
    if (!out) return ScriptErrors::kOutOfMemory;
    if (!Unwrap(object, &o) || !o.IsObj() || o.o->kind == OK::Host) return ScriptErrors::kCannotGet;
    Val* slot = o.o->props.Find(Intern(name, length));
    if (!slot) {
        *out = ScriptValues::kUndefined;
        return ScriptErrors::kMemberUnknown;
    }
    *out = Wrap(*slot);
    return *out == ScriptValues::kNoValue ? ScriptErrors::kOutOfMemory : 0;
}

void ScriptHeap::CollectCycles() {
    // Trial deletion: count the references each object receives from other objects; objects
    // whose count is fully explained by those are garbage unless reachable from one that is not.
    std::unordered_map<Obj*, std::uint32_t> internal;
    std::vector<Obj*> all;
    for (Obj* o = allObjs_; o; o = o->nextAll) {
        all.push_back(o);
        internal.emplace(o, 0);
    }
    auto forEachChild = [](Obj* o, auto&& fn) {
        for (std::size_t i = 0; i < o->props.Size(); ++i) fn(o->props.ValueAt(i));
        switch (o->kind) {
            case OK::Array:
                for (auto& v : static_cast<ArrayObj*>(o)->items) fn(v);
                break;
            case OK::Env:
                fn(static_cast<EnvObj*>(o)->parent);
                for (auto& v : static_cast<EnvObj*>(o)->slots) fn(v);
                break;
            case OK::Function:
                fn(static_cast<FunctionObj*>(o)->env);
                break;
            default:
                break;
        }
    };
    for (Obj* o : all) {
        forEachChild(o, [&](Val& v) {
            if (v.IsObj()) ++internal[v.o];
        });
    }
    std::unordered_map<Obj*, bool> live;
    std::vector<Obj*> stack;
    for (Obj* o : all) {
        if (o->refs > internal[o]) {
            live[o] = true;
            stack.push_back(o);
        }
    }
    while (!stack.empty()) {
        Obj* o = stack.back();
        stack.pop_back();
        forEachChild(o, [&](Val& v) {
            if (v.IsObj() && !live[v.o]) {
                live[v.o] = true;
                stack.push_back(v.o);
            }
        });
    }
    std::vector<Obj*> dead;
    for (Obj* o : all) {
        if (!live[o]) dead.push_back(o);
    }
    for (Obj* o : dead) ++o->refs;  // keep them while their contents are dropped
    for (Obj* o : dead) o->ClearRefs();
    for (Obj* o : dead) ReleaseObj(o);
}
