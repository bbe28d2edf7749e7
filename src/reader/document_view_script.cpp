#include "reader/document_view_script.h"

#include "database/index_query.h"
#include "script/script_engine.h"

namespace {

using namespace ReaderObjects;
using namespace ReaderMethods;

constexpr int32_t kFirstObject = 23;
constexpr int32_t kLastObject = 33;
// A member path that has selected no reader object yet.
constexpr int32_t kNoObject = -1;

// The other script-name ids the reader objects answer, beside the method ids.
enum MemberId : uint32_t {
    // Properties.
    kSearchId = 56,  // location.search (the same id as document.search)
    kLanguageId = 105,
    kTextId = 158,
    kHrefId = 159,
    kLengthId = 282,
    // BUL_CROSS_RED .. BUL_HOSPITAL: reading one gives its id.
    kFirstBullet = 34,
    kLastBullet = 37,
    // TYPE_STRING .. TYPE_UINT: the database host's type constants.
    kFirstTypeConstant = 38,
    kLastTypeConstant = 41,
    // The engine's functions: parseInt .. isFinite and setTimeout .. clearInterval.
    kParseInt = 246,
    kIsFinite = 249,
    kSetTimeout = 253,
    kClearInterval = 256,
};

bool IsObjectKind(int32_t id) {
    return id >= kFirstObject && id <= kLastObject;
}

bool IsBuiltinFunction(uint32_t id) {
    return (id >= kParseInt && id <= kIsFinite) || (id >= kSetTimeout && id <= kClearInterval);
}

bool IsBullet(uint32_t id) {
    return id >= kFirstBullet && id <= kLastBullet;
}

bool IsDatabaseName(uint32_t id) {
    return id == ScriptNames::Ids::kSqlExecute || id == ScriptNames::Ids::kOpenDatabase ||
           (id >= kFirstTypeConstant && id <= kLastTypeConstant);
}

}  // namespace

bool DocumentViewScript::ObjectAllowed(int32_t selected, uint32_t object) {
    switch (selected) {
        case kNoObject:
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
        case kClose:
            return kind == kWindow || kind == kDocument;
        case kSearch:
            return kind == kDocument || kind == kLocation;
        case kAdd:
        case kRemove:
            return kind == kCart || kind == kBookmarks;
        case kDisplayAnnotationList:
        case kPreviousAnnotation:
        case kNextAnnotation:
        case kGoToAnnotation:
            return kind == kBookmarks;
        case kHistoryBack:
        case kHistoryForward:
        case kSetCheckpoint:
        case kGoToCheckpoint:
        case kClearHistory:
        case kLengthId:
            return kind == kHistory;
        case kResetCart:
        case kSubmitCart:
        case kExportCart:
            return kind == kCart;
        case kCopySelection:
        case kHighlightSelection:
        case kAnnotateSelection:
        case kLookUpSelection:
        case kLanguageId:
        case kTextId:
            return kind == kSelection;
        case kReadAloud:
        case kSay:
        case kSystemPlay:
            return kind == kVoice;
        case kSeekIndex:
            return kind == kIndex;
        case kReplaceLocation:
            return kind == kLocation;
        case kHrefId:
            return kind == kLocation || kind == kSelection;
        case kGoToPage:
        case kGoToPageRelative:
        case kGoToFirstPage:
        case kGoToLastPage:
        case kGoToContents:
        case kRunNamedAction:
        case kGoToRandomEntry:
            return kind == kDocument;
        case kPlaySounds:
        case kStopSound:
        case kSetVolume:
        case kPauseAudio:
        case kResumeAudio:
        case kShowAudioPlayer:
        case kGoToTrack:
            return kind == kAudio;
        case kOpen:
        case kIncreaseFont:
        case kDecreaseFont:
        case kBrowseFiles:
        case kDisplayTip:
        case kPlayMusic:
        case kStartRecorder:
        case kPlayMusicEx:
        case kIndexSearch:
        case kMoveTable:
        case kDisplayBookmarkTip:
        case kFilteredIndexSearch:
        case kDial:
        case kCondIndexSearch:
        case kStartPopupViewer:
        case kStartExternalApp:
        case kOpenSync:
        case kSendToPda:
        case kStartWebBrowser:
        case kRearrangeWindows:
        case kRegister:
        case kAlert:
        case kSqlSearch:
        case kSqlBulletSearch:
        case kScroll:
        case kCurrentIndexEntry:
        case kDisplayWordList:
        case kFlashMessage:
        case kAddToWordList:
        case kAddEntryToWordList:
        case kDisplaySearchHistory:
        case kIdeogramSearch:
        case kDebugAlert:
            return kind == kWindow;
        default:
            return IsBuiltinFunction(m) && kind == kWindow;
    }
}

int DocumentViewScript::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref,
                                bool create) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    uint32_t id = name.id;
    int32_t selected = ref->index;
    bool ours = selected == kNoObject || IsObjectKind(selected);
    if (ours && IsObjectKind(static_cast<int32_t>(id))) {
        if (!ObjectAllowed(selected, id)) return Done(err, ScriptErrors::kMemberUnknown);
        ref->object = this;
        ref->index = static_cast<int32_t>(id);
        // A hash ends its path and is assigned to: bind it.
        ref->code = id == kHash ? static_cast<int32_t>(id) : 0;
        return Done(err, 0);
    }
    if (!ours) return ScriptReaderObject::Resolve(err, name, ref, create);
    uint32_t kind = selected == kNoObject ? kWindow : static_cast<uint32_t>(selected);
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
