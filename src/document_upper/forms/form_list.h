// The forms of the pages a reader window shows, kept by its document controller: found or made
// as the page layout meets form controls, given their state back from the book's side file, and
// taken down when their document closes (persistent forms stay).
//
// State stream (all numbers big-endian): a count N, then N records, each a length L, L bytes of
// one form's state and zero bytes up to a multiple of 4. A record is a StringPool stream: the
// form name; per changed field tag 0 (first) or 1, its name, tag 0, "state", the state text,
// tag 2; finally tag 2. Records of forms not made yet are kept and written back unchanged.
#pragma once

#include <cstdint>
#include <memory>

#include "core/byte_stream.h"
#include "core/ref_counted.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "media/image/icon_image.h"
#include "script/script_object.h"

class AppPaths;
class AreaArray;
class Form;
class FormControl;
class IndexTableDataHandle;
class Resource;
class SortedRecordDatabase;
class TimerList;
class TokenSource;
struct IndexPosition;

// What the form list asks of its owner (the document controller).
class FormListOwner {
public:
    // Runs handler text with `self` (a form or a control) as this object; false when it could
    // not run. result (may be null) receives the handler's answer as text.
    virtual bool RunHandler(ScriptObject* self, const String& script, uint32_t argument,
                            String* result) = 0;
    // Opens the text as a link (relative to the current document unless absolute). The owner
    // queues the opening: the page, its forms and their controls outlive this call.
    virtual bool OpenLink(const String& text, bool absolute) = 0;
    virtual int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) = 0;
    // The window's timers, for the text entries' carets.
    virtual TimerList* Timers() = 0;
    // The application's paths, for the UI metrics of the select lists (null: normal screen).
    virtual const AppPaths* Paths() { return nullptr; }

protected:
    ~FormListOwner() = default;
};

struct SavedFormState {
    String name;
    ByteStream record;  // positioned at its start
};

class FormList : public ScriptObject {
public:
    // More forms than this on one list are refused (a page of thousands of FORM elements).
    static constexpr int32_t kMaxForms = 4096;

    FormList();
    ~FormList() override;

    void SetOwner(FormListOwner* owner) { owner_ = owner; }
    FormListOwner* Owner() const { return owner_; }
    void SetFormDataStore(SortedRecordDatabase* store) { formDataStore_ = store; }
    SortedRecordDatabase* FormDataStore() const { return formDataStore_; }
    void SetUiContext(const IconHost& context) { uiContext_ = context; }
    const IconHost& UiContext() const { return uiContext_; }
    TimerList* GetOwnerContext() const;

    // Keeps the page's resource and opens its "special_table=forms" table (none: null).
    void OpenFormsTable(Resource* ownerResource);
    Resource* OwnerResource() const { return ownerResource_.Get(); }
    const IndexTableDataHandle* FormsTable() const { return formsTable_.Get(); }
    // documentKey 0 destroys every form and forgets the resource and table; any other key
    // destroys that document's forms except the persistent ones.
    void Clear(uint32_t documentKey);

    Form* GetOrCreateForm(const String& name, TokenSource& source, uint32_t position,
                          int32_t documentKey);
    Form* FindByPosition(uint32_t position, int32_t documentKey);
    Form* CreateFromEntry(const IndexPosition& entry, bool followLink);
    int32_t FindByName(const String& name) const;
    int32_t Count() const { return forms_.Count(); }
    Form* At(int32_t i) const;

    FormControl* CreateTableControl(Form& form, const String& fieldName, int32_t id);
    FormControl* ReplaceWithTableControl(Form& form, const String& fieldName, int32_t controlType,
                                         int32_t id);
    bool RunHandler(Form& form, const String& script, String* result);
    void FireControlHandler(FormControl* control, uint32_t eventId, const String& script,
                            uint32_t argument);

    bool SaveState(ByteStream& stream, bool clearAfter);
    // Replaces the kept records by the stream's; forms already made take theirs at once. False
    // on a short or corrupt stream; the records read whole before the fault are kept.
    bool RestoreState(ByteStream& stream);
    void TakeSavedState(Form& form);
    int32_t SavedStateCount() const { return savedStates_.Count(); }
    // The page's new marks are built: states restored while their controls lived go in now.
    void RestoreValues(AreaArray& marks);

    // Script face: forms by name.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    struct FormSlot {
        Form* form = nullptr;
        uint32_t serial = 0;
    };
    // The list takes the form; null (and the form freed) when it is full.
    Form* Append(std::unique_ptr<Form> form);
    void DestroyAt(int32_t i);
    bool LookupEntry(const String& key, IndexPosition& out) const;
    FormControl* AddTableControl(Form& form, const String& fieldName, int32_t id,
                                 int32_t controlType, bool fromEntry);

    uint32_t nextSerial_ = 1;
    SegArray<FormSlot, 2> forms_;
    SegArray<SavedFormState, 2> savedStates_;
    SortedRecordDatabase* formDataStore_ = nullptr;
    IconHost uiContext_;
    FormListOwner* owner_ = nullptr;
    RefPtr<Resource> ownerResource_;
    RefPtr<IndexTableDataHandle> formsTable_;
    ScriptHeap* heap_ = nullptr;
};
