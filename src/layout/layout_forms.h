// The page layout's form list over a window's FormList: a control element finds its form by
// the NAME of the FORM around it (made on first sight), or by its own position in the book's
// forms table; the form learns where its controls live and builds the control in the text's
// style.
#pragma once

#include "layout/page_layout.h"

class FormList;

class LayoutFormList final : public PageFormList {
public:
    explicit LayoutFormList(FormList& forms) : forms_(forms) {}
    void RestoreValues(AreaArray& marks) override;
    InlineObject* BuildControl(TokenSource& source, const FormControlRequest& request) override;
    // Every form whose controls live under `parent` forgets it (the node is going).
    void ForgetControlParent(const Node* parent);
    // The name an unnamed FORM element takes from its text position.
    static bool UnnamedFormName(uint32_t position, String& out);

private:
    FormList& forms_;
};
