#include "layout/layout_forms.h"

#include <string>

#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"

void LayoutFormList::RestoreValues(AreaArray& marks) {
    forms_.RestoreValues(marks);
}

bool LayoutFormList::UnnamedFormName(uint32_t position, String& out) {
    out.Release();
    const std::string text = "form@" + std::to_string(position);
    return out.AppendAscii(text.c_str());
}

InlineObject* LayoutFormList::BuildControl(TokenSource& source, const FormControlRequest& request) {
    int32_t key = static_cast<int32_t>(request.documentKey);
    Form* form = request.formName && request.formElement
                     ? forms_.GetOrCreateForm(*request.formName, *request.formElement,
                                              request.formPosition, key)
                     : forms_.FindByPosition(request.position, key);
    if (!form && !request.formName && request.unnamedForm) {
        // A FORM without NAME that no forms table knows: named after its place, which stays
        // the same from one run to the next, so that its kept values find it again.
        String name;
        if (!UnnamedFormName(request.formPosition, name)) return nullptr;
        form = forms_.GetOrCreateForm(name, *request.unnamedForm, request.formPosition, key);
    }
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
