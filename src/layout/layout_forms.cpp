#include "layout/layout_forms.h"

#include "document/forms/form.h"
#include "document/forms/form_list.h"

void LayoutFormList::RestoreValues(AreaArray& marks) {
    forms_.RestoreValues(marks);
}

InlineObject* LayoutFormList::BuildControl(TokenSource& source, const FormControlRequest& request) {
    int32_t key = static_cast<int32_t>(request.documentKey);
    Form* form = request.formName && request.formElement
                     ? forms_.GetOrCreateForm(*request.formName, *request.formElement,
                                              request.formPosition, key)
                     : forms_.FindByPosition(request.position, key);
    if (!form) return nullptr;
    form->SetLayoutContext(request.surface, request.controlParent);
    return form->Build(source, request.position, request.style3);
}

void LayoutFormList::ForgetControlParent(const Node* parent) {
    if (!parent) return;
    for (int32_t i = 0; i < forms_.Count(); ++i) {
        Form* form = forms_.At(i);
        if (form && form->ControlParent() == parent) form->ForgetControlParent();
    }
}
