#include "reader/document_view_script.h"

#include "database/index_query.h"
#include "script/script_engine.h"

namespace {

using namespace ReaderObjects;

constexpr int32_t kFirstObject = 23;
constexpr int32_t kLastObject = 33;
constexpr uint32_t kLanguageId = 105;
constexpr uint32_t kTextId = 158;
constexpr uint32_t kHrefId = 159;
constexpr uint32_t kSearchId = 56;
constexpr uint32_t kLengthId = 282;
constexpr uint32_t kAddEntryToWordList = 112;

bool IsObjectKind(int32_t id) {
    return id >= kFirstObject && id <= kLastObject;
}

bool IsBuiltinFunction(uint32_t id) {
    return (id >= 246 && id <= 249) || (id >= 253 && id <= 256);
}

bool IsBullet(uint32_t id) {
    return id >= 34 && id <= 37;
}

bool IsDatabaseName(uint32_t id) {
    return id == ScriptNames::Ids::kSqlExecute || id == ScriptNames::Ids::kOpenDatabase ||
           (id >= 38 && id <= 41);
}

}  // namespace

bool DocumentViewScript::ObjectAllowed(int32_t selected, uint32_t object) {
    switch (selected) {
        case -1:
            return object != kHash;
        case kWindow:
            return object == kDocument || object == kHistory || object == kLocation ||
                   object == kVoice || object == kIndex;
        case kDocument:
            return object == kBookmarks || object == kSelection || object == kLocation;
        case kLocation:
            return object == kHash;
        default:
            return false;
    }
}

bool DocumentViewScript::MethodAllowed(uint32_t m, uint32_t kind) {
    switch (m) {
        case 47:
            return kind == kWindow || kind == kDocument;
        case 56:
            return kind == kDocument || kind == kLocation;
        case 57:
        case 74:
            return kind == kCart || kind == kBookmarks;
        case 58:
        case 59:
        case 60:
        case 63:
            return kind == kBookmarks;
        case 61:
        case 62:
        case 91:
        case 92:
        case 113:
        case kLengthId:
            return kind == kHistory;
        case 77:
        case 78:
        case 99:
            return kind == kCart;
        case 81:
        case 82:
        case 83:
        case 84:
        case kLanguageId:
        case kTextId:
            return kind == kSelection;
        case 101:
        case 102:
        case 103:
            return kind == kVoice;
        case 106:
            return kind == kIndex;
        case 114:
            return kind == kLocation;
        case kHrefId:
            return kind == kLocation || kind == kSelection;
        default:
            break;
    }
    if ((m >= 50 && m <= 55) || m == 88) return kind == kDocument;
    if ((m >= 116 && m <= 118) || (m >= 132 && m <= 135)) return kind == kAudio;
    bool window = m == 46 || m == 48 || m == 49 || (m >= 64 && m <= 72) || m == 76 || m == 79 ||
                  (m >= 85 && m <= 87) || m == 89 || m == 90 || (m >= 93 && m <= 97) || m == 100 ||
                  m == 107 || (m >= 109 && m <= 112) || m == 115 || m == 130 || m == 131 ||
                  IsBuiltinFunction(m);
    return window && kind == kWindow;
}

int DocumentViewScript::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref,
                                bool create) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    uint32_t id = name.id;
    int32_t selected = ref->index;
    bool ours = selected == -1 || IsObjectKind(selected);
    if (ours && IsObjectKind(static_cast<int32_t>(id))) {
        if (!ObjectAllowed(selected, id)) return Done(err, ScriptErrors::kMemberUnknown);
        ref->object = this;
        ref->index = static_cast<int32_t>(id);
        // A hash ends its path and is assigned to: bind it.
        ref->code = id == kHash ? static_cast<int32_t>(id) : 0;
        return Done(err, 0);
    }
    if (!ours) return ScriptReaderObject::Resolve(err, name, ref, create);
    uint32_t kind = selected == -1 ? kWindow : static_cast<uint32_t>(selected);
    bool window = kind == kWindow;
    if (window && (IsBuiltinFunction(id) || id == ScriptNames::Ids::kAppVersion)) {
        ref->index = -1;
        return ScriptReaderObject::Resolve(err, name, ref, create);
    }
    if (id != 0 && MethodAllowed(id, kind)) {
        ref->object = this;
        ref->code = static_cast<int32_t>(id);
        ref->index = static_cast<int32_t>(kind);
        return Done(err, 0);
    }
    if (window && IsBullet(id)) {
        ref->object = this;
        ref->code = static_cast<int32_t>(id);
        ref->index = kWindow;
        return Done(err, 0);
    }
    if (window && database_ && IsDatabaseName(id)) {
        ref->index = -1;
        return database_->Resolve(err, name, ref, create);
    }
    if (!window) return Done(err, ScriptErrors::kMemberUnknown);
    ref->index = -1;
    return ScriptReaderObject::Resolve(err, name, ref, create);
}

int DocumentViewScript::BuildRecord(ScriptHeap* heap, ScriptMemberRef* ref, int argc,
                                    const ScriptValue* stack, CommandRecord& record) {
    record.objectKind = static_cast<uint32_t>(ref->index);
    record.methodId = static_cast<uint32_t>(ref->code);
    for (int i = 0; i < argc; ++i) {
        ScriptValue v = stack[i];
        uint32_t tag = ScriptValues::Tag(v);
        bool last = i == argc - 1;
        if (last && record.methodId == kAddEntryToWordList && record.objectKind == kWindow &&
            tag == ScriptTag::kObject) {
            ScriptObject* object = heap->GetObject(v);
            if (object && object->Kind() == IndexRecordSetObject::kKind) {
                // An entry of a record set gives the word list its seven values.
                IndexRecordSetObject::WordListRecord w;
                if (!static_cast<IndexRecordSetObject*>(object)->GetWordListRecord(w))
                    return ScriptErrors::kCannotGet;
                bool ok = record.AppendText(w.orth) && record.AppendText(w.language) &&
                          record.AppendText(w.databaseName) && record.AppendText(w.tableName) &&
                          record.AppendNumber(w.entry) && record.AppendText(w.formatted) &&
                          record.AppendText(w.shortId);
                if (!ok) return ScriptErrors::kOutOfMemory;
                continue;
            }
        }
        String text;
        int code = heap->ToString(v, &text);
        if (code != 0) return code;
        uint8_t numeric = tag == ScriptTag::kObject || tag == ScriptTag::kString ? 0 : 1;
        if (record.arguments.Append(text, numeric) < 0) return ScriptErrors::kOutOfMemory;
    }
    return 0;
}

int DocumentViewScript::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                             ScriptValue* result) {
    int code = ScriptReaderObject::Call(err, ref, argc, stack, result);
    if (code != ScriptErrors::kMemberUnknown) return code;
    if (ref->code >= static_cast<int32_t>(ScriptNames::kFirstDynamicId))
        return Done(err, ScriptErrors::kInvalidType);
    if (!IsObjectKind(ref->index) || !host_ || !heap_)
        return Done(err, ScriptErrors::kMemberUnknown);
    CommandRecord record;
    code = BuildRecord(heap_, ref, argc, stack, record);
    if (code != 0) return Done(err, code);
    ScriptValue out = ScriptValues::kNoValue;
    RunReaderCommand(record, *host_, heap_, &out);
    if (result) {
        *result = out == ScriptValues::kNoValue ? ScriptHeap::NewUndefined() : out;
    } else if (out != ScriptValues::kNoValue) {
        heap_->Release(out);
    }
    return Done(err, 0);
}

int DocumentViewScript::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                 ScriptValue value) {
    if (ref->object == this && ref->index == kHash && ref->code == kHash) {
        String name;
        int code = heap->ToString(value, &name);
        if (code != 0) return Done(err, code);
        if (host_) host_->GoToReference(name);
        return Done(err, 0);
    }
    return ScriptReaderObject::SetValue(err, ref, heap, value);
}

int DocumentViewScript::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                 ScriptValue* result) {
    uint32_t id = static_cast<uint32_t>(ref->code);
    if (ref->object != this || !IsObjectKind(ref->index) || ref->code == 0)
        return ScriptReaderObject::GetValue(err, ref, heap, result);
    uint32_t kind = static_cast<uint32_t>(ref->index);
    if (IsBullet(id)) return Done(err, heap->NewNumber(id, result));
    if (kind == kSelection) {
        if (id != kLanguageId && id != kTextId) return Done(err, ScriptErrors::kCannotGet);
        String text, language;
        if (!host_ || !host_->GetSelectionOrLastWord(text, language)) {
            *result = ScriptHeap::NewNull();
            return Done(err, 0);
        }
        return Done(err, heap->NewString(id == kTextId ? text : language, result));
    }
    if (kind == kLocation) {
        String href, query;
        if ((id != kHrefId && id != kSearchId) || !host_ ||
            !host_->CurrentLocationText(href, query))
            return Done(err, ScriptErrors::kCannotGet);
        return Done(err, heap->NewString(id == kHrefId ? href : query, result));
    }
    if (kind == kHistory && id == kLengthId)
        return Done(err, heap->NewNumber(host_ ? host_->HistoryPosition() : 0, result));
    if (kind == kHash) return Done(err, ScriptErrors::kCannotGet);
    return ScriptReaderObject::GetValue(err, ref, heap, result);
}

void DocumentViewScript::Notify(int event, ScriptHeap* heap) {
    ScriptReaderObject::Notify(event, heap);
    // The database host answers through this object's values; it needs the same heap.
    if (database_) database_->Notify(event, heap);
}

int DispatchWidgetEvent(DocumentScriptHost& host, ScriptContext* context, ScriptObject* widget,
                        const String& handler, String* result) {
    if (result) result->SetEmpty();
    if (!context) return ScriptErrors::kInvalidType;
    ScriptHeap* heap = context->Heap();
    std::weak_ptr<void> alive = host.Lifetime();
    bool guarded = !alive.expired();
    uint32_t mode = host.HistoryMode();
    if (mode == 0) host.SetHistoryMode(2);
    auto restore = [&] {
        // A handler that navigated may have closed the window and its controller.
        if (guarded && !alive.expired() && mode != 2) host.SetHistoryMode(mode);
    };

    ScriptValue self = ScriptHeap::NewNull();
    if (widget && heap->NewObject(widget, &self) != 0) self = ScriptHeap::NewNull();
    ScriptValue event = ScriptHeap::NewNull();
    ScriptValueList args(heap);
    if (heap->NewPlainObject(&event) == 0) {
        args.Append(event);
        heap->Release(event);
    }

    ScriptCode unit;
    ScriptError error;
    String name;
    name.AppendAscii("__widget_event");
    if (!ScriptEngine::CompileText(handler, &unit, name, &error)) {
        heap->Release(self);
        restore();
        host.ShowScriptError();
        return ScriptErrors::kSyntax;
    }
    ScriptValue value = ScriptHeap::NewUndefined();
    int code = ScriptEngine::Run(context, &unit, &args, self, &value, &error);
    restore();
    if (result) {
        std::u16string text;
        if (code == 0 && heap->ToResultText(value, &text) == 0)
            result->AssignChars(text.data(), static_cast<int32_t>(text.size()));
    }
    heap->Release(value);
    heap->Release(self);
    return code == ScriptErrors::kStopped ? 0 : code;
}
