// Submission of a form and the state records of forms.
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/sorted_record_database.h"
#include "core/byte_stream.h"
#include "core/string_pool.h"
#include "document/location/location.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"

namespace {

constexpr int32_t kStringValidated = 5048;
constexpr int32_t kStringInformation = 5019;
constexpr uint32_t kMessageOk = 0x40;  // information icon, OK button

enum StateTag : uint8_t { kFirst = 0, kNext = 1, kEnd = 2 };

std::u16string U16(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

bool StartsWithNoCase(const String& s, const char* prefix) {
    int32_t n = 0;
    for (; prefix[n]; ++n) {
        if (n >= s.Length()) return false;
        char16_t c = s[n];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(prefix[n])) return false;
    }
    return true;
}

// Web addresses are no location the reader opens: such a form goes to the form-data store.
bool IsStoreAction(const String& action) {
    if (StartsWithNoCase(action, "http:") || StartsWithNoCase(action, "https:")) return true;
    Location location;
    return !location.Resolve(action, nullptr);
}

bool Escape(const String& in, String& out) {
    out = in;
    return out.UriEscape(true, true);
}

}  // namespace

bool Form::Submit() {
    if (!formList_) return false;
    FormListOwner* owner = formList_->Owner();
    bool store = IsStoreAction(action_);
    std::unique_ptr<SortedRecordWriter> writer;
    if (store) {
        SortedRecordDatabase* db = formList_->FormDataStore();
        if (!db) return false;
        SortedRecordItem item;
        item.key = U16(action_);
        item.value1 = method_;
        item.value2 = encodingType_;
        writer = db->OpenEntry(item);
        if (!writer) return false;
    }
    std::vector<String> pairs;
    bool silent = false;
    bool ok = true;
    for (int32_t i = 0; ok && i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        FormControl* control = e->control;
        if (!control) {
            String name = e->name;
            control = formList_->CreateTableControl(*this, name, e->id);
            if (!control) {
                ok = false;
                break;
            }
            e = fields_.Get(i);
        }
        if (!control->IsOn()) continue;
        String value;
        if (!control->GetSubmitValue(static_cast<int32_t>(encodingType_), value)) {
            ok = false;
            break;
        }
        if (e->name.EqualsAscii("fvtrdr_silent") && value.EqualsAscii("yes")) {
            silent = true;
            continue;
        }
        if (store) {
            ok = writer->AppendPair(e->name.Data(), static_cast<size_t>(e->name.Length()),
                                    value.Data(), static_cast<size_t>(value.Length()));
            continue;
        }
        String name, escaped, pair;
        ok = Escape(e->name, name) && Escape(value, escaped) && pair.Append(name) &&
             pair.AppendChar(u'=') && pair.Append(escaped);
        if (ok) pairs.push_back(pair);
    }
    if (!ok) {
        // Unfinished: the store drops what was written for this submission.
        if (writer) writer->Finish();
        return false;
    }
    if (store) {
        writer->SetFlag();
        bool finished = writer->Finish();
        writer.reset();
        if (!finished) return false;
        if (!silent && owner)
            owner->MessageBoxById(kStringInformation, kStringValidated, kMessageOk);
        return true;
    }
    String query;
    if (!query.AssignChars(action_.Data(), action_.Length())) return false;
    int32_t mark = -1;
    char16_t joiner = action_.FindChar(u'?', mark) ? u'&' : u'?';
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (!query.AppendChar(i == 0 ? joiner : u'&') || !query.Append(pairs[i])) return false;
    }
    if (owner) owner->OpenLink(query, false);
    return true;
}

bool Form::SaveState(ByteStream& stream, bool lengthPrefixed) {
    uint32_t at = stream.Size();
    if (lengthPrefixed) stream.WriteWord32BE(0);
    uint32_t start = stream.Size();
    StringPool pool(stream);
    pool.WriteString(name_);
    bool first = true;
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->control) {
            String live;
            if (e->control->SaveState(live)) e->currentState = live;
        }
    }
    // Fields of one name (a radio group) are restored by their order: when one of them
    // changed, all of them are written.
    auto groupChanged = [this](const String& name) {
        for (int32_t k = 0; k < fields_.Count(); ++k) {
            const FormFieldEntry* f = fields_.Get(k);
            if (f->name == name && !(f->currentState == f->defaultState)) return true;
        }
        return false;
    };
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->name.IsEmpty() || !groupChanged(e->name)) continue;
        pool.PutTag(first ? kFirst : kNext);
        first = false;
        pool.WriteString(e->name);
        pool.PutTag(kFirst);
        pool.WriteString(String(u"state"));
        pool.WriteString(e->currentState);
        pool.PutTag(kEnd);
    }
    pool.PutTag(kEnd);
    if (lengthPrefixed) {
        stream.PatchWord32BE(at, stream.Size() - start);
        stream.PadToAlignment(4);
    }
    return stream.Ok();
}

bool Form::RestoreState(ByteStream& stream) {
    StringPool pool(stream);
    String name;
    if (!pool.ReadString(name)) return false;
    uint8_t tag = 0;
    // The n-th record of a name goes to the n-th field of that name.
    std::vector<String> seen;
    // A tag that is not 0, 1 or 2 ends the reading with false, like a short stream.
    for (;;) {
        if (!pool.GetTag(tag)) return false;
        if (tag == kEnd) break;
        String field;
        if (!pool.ReadString(field)) return false;
        int32_t nth = 0;
        for (const String& s : seen) nth += s == field ? 1 : 0;
        seen.push_back(field);
        FormFieldEntry* entry = nullptr;
        for (int32_t i = 0, n = 0; i < fields_.Count() && !entry; ++i) {
            if (!(fields_.Get(i)->name == field)) continue;
            if (n++ == nth) entry = fields_.Get(i);
        }
        if (!entry) {
            FormFieldEntry fresh;
            fresh.name = field;
            fresh.owned = 1;
            int32_t at = fields_.Append(fresh);
            if (at < 0) return false;
            entry = fields_.Get(at);
        }
        for (;;) {
            if (!pool.GetTag(tag)) return false;
            if (tag == kEnd) break;
            String key;
            if (!pool.ReadString(key)) return false;
            if (!key.EqualsAscii("state")) continue;
            String state;
            if (!pool.ReadString(state)) return false;
            entry->currentState = state;
            if (entry->control) entry->pending = 1;
        }
    }
    return stream.Ok();
}

bool FormList::SaveState(ByteStream& stream, bool clearAfter) {
    if (forms_.Count() == 0) return false;  // the caller keeps the block it has
    uint32_t countAt = stream.Size();
    stream.WriteWord32BE(0);
    uint32_t count = 0;
    for (int32_t i = 0; i < forms_.Count();) {
        Form* form = forms_.Get(i)->form;
        if (form->IsPersistent() && !form->Name().IsEmpty() && !form->IsUnchanged()) {
            form->SaveState(stream, true);
            ++count;
        }
        if (clearAfter)
            DestroyAt(i);
        else
            ++i;
    }
    for (int32_t i = 0; i < savedStates_.Count(); ++i) {
        stream.WriteBlock(savedStates_.Get(i)->record);
        ++count;
    }
    if (clearAfter) savedStates_.Clear();
    stream.PatchWord32BE(countAt, count);
    return stream.Ok();
}

bool FormList::RestoreState(ByteStream& stream) {
    savedStates_.Clear();
    uint32_t n = 0;
    if (!stream.ReadWord32BE(n)) return false;
    // Every record takes at least its length word: a count beyond that is a corrupt stream.
    if (n > stream.Remaining() / 4 || !savedStates_.Reserve(static_cast<int32_t>(n))) return false;
    for (uint32_t i = 0; i < n; ++i) {
        SavedFormState* saved = savedStates_.AppendNew();
        if (!saved) return false;
        if (!stream.ReadBlock(saved->record)) {
            savedStates_.Remove(savedStates_.Count() - 1, 1);
            return false;
        }
        StringPool pool(saved->record);
        // A record whose name cannot be read is kept out; those read before it stay.
        if (!pool.ReadString(saved->name) || !saved->record.SetReadPosition(0)) {
            savedStates_.Remove(savedStates_.Count() - 1, 1);
            return false;
        }
    }
    // Forms already made take theirs now; their live controls get them with the next marks.
    for (int32_t i = 0; i < forms_.Count(); ++i) TakeSavedState(*forms_.Get(i)->form);
    return stream.Ok();
}

void FormList::TakeSavedState(Form& form) {
    for (int32_t i = 0; i < savedStates_.Count(); ++i) {
        SavedFormState* saved = savedStates_.Get(i);
        if (saved->name != form.Name()) continue;
        saved->record.SetReadPosition(0);
        form.RestoreState(saved->record);
        savedStates_.Remove(i, 1);
        return;
    }
}
