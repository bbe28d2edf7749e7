#include "document_upper/forms/form_list.h"

#include <new>
#include <string>

#include "bookfiles/index_table.h"
#include "database/resource.h"
#include "document/sources/index_table_data_handle.h"
#include "document_upper/forms/form.h"
#include "graphics/controls/index_field_control.h"
#include "script/script_heap.h"

namespace {

constexpr uint32_t kPositionLinkTag = 21;

}  // namespace

FormList::FormList() = default;

FormList::~FormList() {
    Clear(0);
    forms_.Destroy();
    savedStates_.Destroy();
    ScriptHeap::DetachObject(heap_, this);
}

TimerList* FormList::GetOwnerContext() const {
    return owner_ ? owner_->Timers() : nullptr;
}

Form* FormList::At(int32_t i) const {
    const FormSlot* s = forms_.Get(i);
    return s ? s->form : nullptr;
}

void FormList::OpenFormsTable(Resource* ownerResource) {
    formsTable_.Reset();
    ownerResource_.Assign(ownerResource);
    if (!ownerResource_) return;
    DataHandle* handle = ownerResource_->OpenDataByName(String(u"special_table=forms"), nullptr);
    formsTable_ =
        RefPtr<IndexTableDataHandle>::Adopt(handle ? IndexTableDataHandle::From(handle) : nullptr);
}

void FormList::DestroyAt(int32_t i) {
    std::unique_ptr<Form> form(forms_.Get(i)->form);
    forms_.Remove(i, 1);
}

void FormList::Clear(uint32_t documentKey) {
    if (documentKey == 0) {
        // From the end: a form's going may run nothing of ours, but keep indexes stable anyway.
        while (forms_.Count() > 0) DestroyAt(forms_.Count() - 1);
        formsTable_.Reset();
        ownerResource_.Reset();
        return;
    }
    for (int32_t i = forms_.Count() - 1; i >= 0; --i) {
        Form* form = forms_.Get(i)->form;
        if (form->DocumentKey() != static_cast<int32_t>(documentKey)) continue;
        if (form->IsPersistent()) {
            form->ForgetControlParent();
            continue;
        }
        DestroyAt(i);
    }
}

int32_t FormList::FindByName(const String& name) const {
    for (int32_t i = 0; i < forms_.Count(); ++i)
        if (forms_.Get(i)->form->Name() == name) return i;
    return -1;
}

Form* FormList::Append(std::unique_ptr<Form> form) {
    FormSlot slot;
    slot.form = form.get();
    slot.serial = nextSerial_;
    if (forms_.Count() >= kMaxForms || forms_.Append(slot) < 0) return nullptr;
    form->SetSerial(nextSerial_++);
    return form.release();
}

Form* FormList::GetOrCreateForm(const String& name, TokenSource& source, uint32_t position,
                                int32_t documentKey) {
    int32_t i = FindByName(name);
    if (i >= 0) {
        Form* form = forms_.Get(i)->form;
        if (form->DocumentKey() == -1) form->SetDocumentKey(documentKey);
        return form;
    }
    std::unique_ptr<Form> made(new (std::nothrow) Form);
    if (!made || !made->SetName(this, name) || !made->InitFromTag(source, position)) return nullptr;
    Form* form = Append(std::move(made));
    if (!form) return nullptr;
    form->SetDocumentKey(documentKey);
    TakeSavedState(*form);
    return form;
}

bool FormList::LookupEntry(const String& key, IndexPosition& out) const {
    if (!formsTable_) return false;
    return formsTable_->Table().Lookup(key.Data(), static_cast<size_t>(key.Length()), &out, 0);
}

Form* FormList::FindByPosition(uint32_t position, int32_t documentKey) {
    if (!formsTable_) return nullptr;
    for (int32_t i = 0; i < forms_.Count(); ++i) {
        Form* form = forms_.Get(i)->form;
        if (form->TextStart() <= position && position < form->TextEnd()) {
            if (form->DocumentKey() == -1) form->SetDocumentKey(documentKey);
            return form;
        }
    }
    String key;
    if (!key.AppendUnsigned(position, 10)) return nullptr;
    IndexPosition entry;
    if (!LookupEntry(key, entry)) return nullptr;
    Form* form = CreateFromEntry(entry, true);
    if (form && form->DocumentKey() == -1) form->SetDocumentKey(documentKey);
    return form;
}

Form* FormList::CreateFromEntry(const IndexPosition& entry, bool followLink) {
    if (!formsTable_) return nullptr;
    const IndexTable& table = formsTable_->Table();
    IndexEntryReader reader;
    if (!reader.Open(&table)) return nullptr;
    IndexPosition at = entry;
    if (followLink) {
        if (reader.Seek(at) != 0 || !reader.FollowLink(&at, kPositionLinkTag)) return nullptr;
    }
    if (reader.Seek(at) != 0) return nullptr;
    std::u16string keyText;
    if (!table.GetEntryKey(at, &keyText)) return nullptr;
    String key;
    if (!key.AssignChars(keyText.data(), static_cast<int32_t>(keyText.size()))) return nullptr;
    int32_t i = FindByName(key);
    if (i >= 0) return forms_.Get(i)->form;
    std::unique_ptr<Form> made(new (std::nothrow) Form);
    if (!made || !made->InitFromEntry(table, at, reader) || !made->SetName(this, key))
        return nullptr;
    Form* form = Append(std::move(made));
    if (!form) return nullptr;
    TakeSavedState(*form);
    return form;
}

FormControl* FormList::AddTableControl(Form& form, const String& fieldName, int32_t id,
                                       int32_t controlType, bool fromEntry) {
    if (!formsTable_) return nullptr;
    IndexPosition entry;
    if (fromEntry) {
        String key = form.Name();
        if (!key.AppendChar(u'.') || !key.Append(fieldName) || !LookupEntry(key, entry))
            return nullptr;
    }
    auto control = RefPtr<IndexFieldControl>::Adopt(new (std::nothrow)
                                                        IndexFieldControl(ownerResource_.Get()));
    if (!control) return nullptr;
    if (fromEntry) {
        if (!control->LoadFromEntry(&formsTable_->Table(), entry)) return nullptr;
    } else {
        control->SetFieldType(controlType);
    }
    int32_t useId = id == -1 ? control->Id() : id;
    if (!form.AddControl(control.Get(), fieldName, useId, true)) return nullptr;
    // The form holds the new control's first reference from here.
    return control.TakePointer();
}

FormControl* FormList::CreateTableControl(Form& form, const String& fieldName, int32_t id) {
    return AddTableControl(form, fieldName, id, 0, true);
}

FormControl* FormList::ReplaceWithTableControl(Form& form, const String& fieldName,
                                               int32_t controlType, int32_t id) {
    return AddTableControl(form, fieldName, id, controlType, false);
}

bool FormList::RunHandler(Form& form, const String& script, String* result) {
    return owner_ && owner_->RunHandler(&form, script, 0, result);
}

void FormList::FireControlHandler(FormControl* control, uint32_t /*eventId*/, const String& script,
                                  uint32_t argument) {
    if (owner_) owner_->RunHandler(control, script, argument, nullptr);
}

void FormList::RestoreValues(AreaArray& /*marks*/) {
    // The marks' controls are the forms' live controls; states restored while they lived wait
    // in their entries.
    for (int32_t i = 0; i < forms_.Count(); ++i) forms_.Get(i)->form->ApplyPendingStates();
}

int FormList::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool /*create*/) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    String text = name.Text();
    int32_t i = FindByName(text);
    Form* form = i >= 0 ? forms_.Get(i)->form : nullptr;
    if (!form) {
        IndexPosition entry;
        if (!LookupEntry(text, entry)) return Done(err, ScriptErrors::kMemberUnknown);
        form = CreateFromEntry(entry, false);
        if (!form) return Done(err, ScriptErrors::kOutOfMemory);
    }
    ref->object = form;
    ref->index = -1;
    ref->code = 0;
    return Done(err, 0);
}

void FormList::Notify(int event, ScriptHeap* heap) {
    if (event == 0) heap_ = heap;
    if (event == 1) heap_ = nullptr;
}
