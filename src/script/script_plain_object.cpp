#include "script/script_plain_object.h"

#include "script/script_interp.h"
#include "script/script_names.h"

// ---------------------------------------------------------------- ScriptPlainObject

ScriptPlainObject::~ScriptPlainObject() {
    Clear();
    ScriptHeap::DetachObject(heap_, this);
}

void ScriptPlainObject::Clear() {
    std::vector<std::pair<std::uint32_t, ScriptValue>> old;
    old.swap(props_);
    if (heap_) {
        for (auto& p : old) heap_->Release(p.second);
    }
}

void ScriptPlainObject::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else if (props_.empty()) {
        heap_ = nullptr;  // kept while properties live in that heap
    }
}

int ScriptPlainObject::Find(std::uint32_t key) const {
    for (std::size_t i = 0; i < props_.size(); ++i) {
        if (props_[i].first == key) return static_cast<int>(i);
    }
    return -1;
}

int ScriptPlainObject::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref,
                               bool create) {
    if (ref->IsBound() || name.key == 0) return Done(err, ScriptErrors::kMemberUnknown);
    if (Find(name.key) < 0) {
        if (!create || !heap_) return Done(err, ScriptErrors::kMemberUnknown);
        props_.emplace_back(name.key, ScriptValues::kUndefined);
    }
    return BindMember(err, ref, static_cast<std::int32_t>(name.key));
}

int ScriptPlainObject::MemberAt(int* err, int index, ScriptMemberRef* ref, ScriptName* name) {
    if (index < 0 || index >= PropertyCount() || !heap_)
        return Done(err, ScriptErrors::kMemberUnknown);
    std::uint32_t key = props_[index].first;
    if (ref) {
        ref->object = this;
        ref->index = -1;
        ref->code = static_cast<std::int32_t>(key);
    }
    if (name) {
        const std::u16string& t = heap_->KeyText(key);
        name->chars = t.data();
        name->length = static_cast<std::uint32_t>(t.size());
        name->id = heap_->KeyVocabulary(key);
        name->key = key;
    }
    return Done(err, 0);
}

int ScriptPlainObject::Call(int* err, ScriptMemberRef*, int, const ScriptValue*, ScriptValue*) {
    return Done(err, ScriptErrors::kInvalidType);
}

int ScriptPlainObject::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                ScriptValue value) {
    int i = ref->code > 0 ? Find(static_cast<std::uint32_t>(ref->code)) : -1;
    if (i < 0 || !heap) return Done(err, ScriptErrors::kCannotSet);
    heap->AddRef(value);
    heap->Release(props_[i].second);
    props_[i].second = value;
    return Done(err, 0);
}

int ScriptPlainObject::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                ScriptValue* result) {
    int i = ref->code > 0 ? Find(static_cast<std::uint32_t>(ref->code)) : -1;
    if (i < 0 || !heap) return Done(err, ScriptErrors::kCannotGet);
    heap->AddRef(props_[i].second);
    *result = props_[i].second;
    return Done(err, 0);
}

// ---------------------------------------------------------------- ScriptReaderObject

namespace {

using namespace ScriptNames::Ids;

bool IsNumberOrTimerFunction(int id) {
    return (id >= 246 && id <= 249) || (id >= 253 && id <= 256);
}

// Codes of the reader object's own members live above the vocabulary's user range marker.
constexpr std::int32_t kOwn = 0x40000000;

int NewText(ScriptHeap* heap, const std::u16string& t, ScriptValue* out) {
    return heap->NewStringChars(t.data(), static_cast<std::uint32_t>(t.size()), out);
}

}  // namespace

int ScriptReaderObject::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref,
                                bool create) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    int id = name.id;
    if (ref->index == -1 && (id == kNavigator || id == kDevice)) {
        ref->object = this;
        ref->index = id;
        return Done(err, 0);
    }
    bool own = false;
    if (ref->index == kNavigator)
        own = id == kAppVersion || id == kLanguage || id == kPlatform;
    else if (ref->index == kDevice)
        own = (id >= kScreenWidth && id <= kGetenv);
    else if (ref->index == -1)
        own = id == kAppVersion || IsNumberOrTimerFunction(id);
    if (own) {
        ref->object = this;
        ref->code = kOwn | id;
        ref->index = -1;
        return Done(err, 0);
    }
    if (ref->index != -1) return Done(err, ScriptErrors::kMemberUnknown);
    return ScriptPlainObject::Resolve(err, name, ref, create);
}

int ScriptReaderObject::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                             ScriptValue* result) {
    if (!(ref->code & kOwn)) {
        // user properties hold no methods; anything else is the subclass's
        return Done(err, ref->code >= static_cast<std::int32_t>(ScriptNames::kFirstDynamicId)
                             ? ScriptErrors::kInvalidType
                             : ScriptErrors::kMemberUnknown);
    }
    int id = ref->code & ~kOwn;
    if (id == kGetenv) {
        std::u16string name, value;
        if (argc < 1 || !heap_ || heap_->ToText(stack[0], &name))
            return Done(err, ScriptErrors::kBadParameterCount);
        if (name == u"language")
            Language(&value);
        else if (name == u"version")
            AppVersion(&value);
        else if (name == u"platform")
            Platform(&value);
        return Done(err, NewText(heap_, value, result));
    }
    if (IsNumberOrTimerFunction(id))
        return Done(err, ScriptEngine::CallBuiltin(context_, heap_, static_cast<std::uint32_t>(id),
                                                   argc, stack, result));
    return Done(err, ScriptErrors::kInvalidType);
}

int ScriptReaderObject::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                 ScriptValue* result) {
    if (!(ref->code & kOwn)) return ScriptPlainObject::GetValue(err, ref, heap, result);
    std::u16string t;
    switch (ref->code & ~kOwn) {
        case kAppVersion:
            AppVersion(&t);
            return Done(err, NewText(heap, t, result));
        case kLanguage:
            Language(&t);
            return Done(err, NewText(heap, t, result));
        case kPlatform:
            Platform(&t);
            return Done(err, NewText(heap, t, result));
        case kScreenWidth:
            return Done(err, heap->NewNumber(ScreenWidth(), result));
        case kScreenHeight:
            return Done(err, heap->NewNumber(ScreenHeight(), result));
        case kHasPointer:
            return Done(err, heap->NewBoolean(HasPointer(), result));
        case kHasNumericKeyboard:
            return Done(err, heap->NewBoolean(HasNumericKeyboard(), result));
        case kHasFullKeyboard:
            return Done(err, heap->NewBoolean(HasFullKeyboard(), result));
        default:
            return Done(err, ScriptErrors::kCannotGet);
    }
}

int ScriptReaderObject::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                 ScriptValue value) {
    if (ref->code & kOwn) return Done(err, ScriptErrors::kCannotSet);
    return ScriptPlainObject::SetValue(err, ref, heap, value);
}

namespace ScriptEngine {

int CallBuiltin(ScriptContext* context, ScriptHeap* heap, std::uint32_t id, int argc,
                const ScriptValue* args, ScriptValue* result) {
    if (!heap || !result) return ScriptErrors::kOutOfMemory;
    *result = ScriptValues::kUndefined;
    scr::Val* fn = heap->builtins.o->props.Find(id);
    if (!fn || !fn->IsObj() || fn->o->kind != scr::OK::Native) return ScriptErrors::kMemberUnknown;
    scr::Val f = *fn;
    std::vector<scr::Val> vals(static_cast<std::size_t>(argc > 0 ? argc : 0));
    for (int i = 0; i < argc; ++i) heap->Unwrap(args[i], &vals[i]);
    scr::Interp in(context, heap);
    scr::Val out;
    int rc = in.CallValue(f, scr::Val(), argc, vals.data(), &out);
    if (rc) return rc;
    *result = heap->Wrap(out);
    return 0;
}

}  // namespace ScriptEngine
