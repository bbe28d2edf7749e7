// Form::Build: the control for an INPUT or SELECT element of a page.
#include <new>

#include "core/color.h"
#include "core/resources.h"
#include "document/markup/attribute_value.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/token_source.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "document_upper/forms/form_markup.h"
#include "graphics/controls/button_control.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/controls/index_field_control.h"
#include "graphics/controls/select_control.h"
#include "graphics/controls/text_entry_control.h"
#include "graphics/core/node.h"
#include "paths/app_paths.h"

using namespace FormMarkup;

namespace {

enum InputType : uint32_t {
    kText = 30,
    kPassword = 31,
    kCheckBox = 32,
    kRadio = 33,
    kSubmit = 34,
    kImage = 35,
    kReset = 36,
    kButton = 37,
    kHidden = 38,
    kFile = 39,
};

constexpr uint32_t kStringReset = 5045;
constexpr uint32_t kStringSubmit = 5046;
constexpr uint32_t kMaxTextWidth = 256;  // characters

// SIZE and TABINDEX may carry a sign: the relative form is taken as its signed number.
int64_t SignedValue(uint32_t v) {
    if (v & AttributeValue::kRelativeNumber) return AttributeValue::RelativeNumber(v);
    return v;
}

bool Has(TokenSource& source, uint32_t id) {
    String ignored;
    return source.GetAttributeText(id, ignored);
}

// The control's node goes under the page's node for the form's controls.
void PlaceUnder(FormControl* control, Node* parent) {
    Node* node = control->GetNode();
    Widget* w = parent ? parent->AsWidget() : nullptr;
    if (node && w) node->SetParent(w);
}

}  // namespace

bool SelectSpec::Read(TokenSource& source) {
    bool isEnd = false, isEmpty = false;
    source.GetTag(isEnd, isEmpty);
    uint32_t v = 0;
    if (source.GetAttributeValue(kAttrSize, v)) {
        int64_t n = SignedValue(v);
        rows = n < 0 ? 1 : static_cast<uint32_t>(n > kMaxRows ? kMaxRows : n);
    }
    if (source.GetAttributeValue(kAttrWidth, v) && Length::IsSet(v) && Length::Value(v) > 0) {
        // A packed length: its number, within reason.
        int32_t n = Length::Value(v);
        width = static_cast<uint32_t>(n > static_cast<int32_t>(kMaxTextWidth) ? kMaxTextWidth : n);
        hasWidth = true;
    }
    if (isEmpty) {
        String src;
        // Exactly "sql:" in lower case; anything else gives no query.
        if (source.GetAttributeText(kAttrSrc, src) && src.CompareN(u"sql:", 4, true) == 0) {
            String rest;
            rest.AssignSub(src, 4, src.Length() - 4);
            query = rest;
        }
        return true;
    }
    String text;
    String value;
    bool inOption = false, hasValue = false;
    int32_t marked = -1;
    for (;;) {
        uint32_t kind = source.NextToken();
        if (kind == kTokenContinue) continue;
        if (kind == kTokenText) {
            if (inOption && !text.Append(source.Text())) return false;
            continue;
        }
        if (kind == kTokenSpace) {
            if (inOption && !text.AppendChar(u' ')) return false;
            continue;
        }
        if (kind != kTokenTag) break;
        bool e = false, m = false;
        uint32_t id = source.GetTag(e, m);
        if (id == kTagSelect && e) break;
        if (id != kTagOption) continue;
        if (!e) {
            inOption = true;
            text.SetEmpty();
            hasValue = source.GetAttributeText(kAttrValue, value);
            if (Has(source, kAttrSelected)) marked = options.Count();
            if (!m) continue;
        }
        if (!inOption) continue;
        Option option;
        if (text.IsEmpty() && !text.AppendChar(u' ')) return false;
        option.label = text;
        option.value = hasValue ? value : text;
        if (option.value.IsEmpty() && !option.value.AppendChar(u' ')) return false;
        if (options.Append(option) < 0) return false;
        text = String();
        inOption = false;
        hasValue = false;
    }
    selected = marked < 0 ? 0 : marked;
    return true;
}

FormControl* Form::Build(TokenSource& source, uint32_t position, const uint8_t* style3) {
    int32_t p = static_cast<int32_t>(position);
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->id != p || !e->control || e->owned) continue;
        // Laid out again: the same element keeps its control and what the user left in it.
        source.SkipElement();
        return RefPtr<FormControl>(e->control).TakePointer();
    }
    bool isEnd = false, isEmpty = false;
    uint32_t tag = source.GetTag(isEnd, isEmpty);
    String name;
    source.GetAttributeText(kAttrName, name);
    uint32_t v = 0;
    bool scriptAccess = true;
    int32_t formIndex = -1;
    if (source.GetAttributeValue(kAttrTabIndex, v)) {
        int64_t n = SignedValue(v);
        if (n == -1)
            scriptAccess = false;
        else
            formIndex = static_cast<int32_t>(n);
    }
    bool readOnly = Has(source, kAttrReadOnly);
    String onChange, onClick, onLoad;
    source.GetAttributeText(kAttrOnChange, onChange);
    source.GetAttributeText(kAttrOnClick, onClick);
    source.GetAttributeText(kAttrOnLoad, onLoad);

    RefPtr<FormControl> control;
    bool hidden = false;
    if (tag == kTagInput) {
        String typeText;
        uint32_t type = kText;
        if (source.GetAttributeText(kAttrType, typeText)) {
            uint32_t id = 0;
            if (!KeywordTree::FindValueKeyword(typeText.Data(), typeText.Length(), &id) || id == 0)
                return nullptr;
            type = id;
        }
        String value;
        source.GetAttributeText(kAttrValue, value);
        switch (type) {
            case kText:
            case kPassword: {
                auto* t = new (std::nothrow)
                    TextEntryControl(formList_ ? formList_->GetOwnerContext() : nullptr);
                if (!t) return nullptr;
                t->SetValue(value);
                if (type == kPassword) t->SetPassword();
                if (Has(source, kAttrDisabled)) t->SetEnabled(false);
                if (source.GetAttributeValue(kAttrSize, v)) {
                    int64_t n = SignedValue(v);
                    if (n > 0)
                        t->SetSize(static_cast<uint32_t>(n > kMaxTextWidth ? kMaxTextWidth : n));
                }
                if (source.GetAttributeValue(kAttrBorder, v)) t->SetFramed(v != 0);
                if (source.GetAttributeValue(kAttrMaxLength, v)) t->SetMaxLength(v);
                String restrict;
                if (source.GetAttributeText(kAttrInputRestrict, restrict))
                    t->SetInputMode(restrict);
                control = RefPtr<FormControl>::Adopt(t);
                break;
            }
            case kCheckBox:
            case kRadio: {
                IconHost icons = formList_ ? formList_->UiContext() : IconHost{};
                auto* c = new (std::nothrow) CheckBoxControl(icons);
                if (!c) return nullptr;
                if (Has(source, kAttrChecked)) c->SetState(CheckBoxControl::kChecked);
                c->SetValueText(value);
                c->SetRadio(type == kRadio);
                control = RefPtr<FormControl>::Adopt(c);
                break;
            }
            case kSubmit:
            case kReset:
            case kButton: {
                auto* b = new (std::nothrow) ButtonControl(nullptr);
                if (!b) return nullptr;
                if (type == kSubmit) onClick = String(u"form.submit()");
                if (type == kReset) onClick = String(u"form.reset()");
                String label = value;
                if (label.IsEmpty() && type != kButton)
                    Resources::LoadString(label, type == kSubmit ? kStringSubmit : kStringReset);
                b->SetLabel(label);
                uint32_t face = 0, text = 0;
                UiColors::Get(face, 21);
                UiColors::Get(text, 22);
                b->SetFrameColours(face, Color::kNone);
                b->SetTextColour(text);
                b->SetEnabled(true);
                control = RefPtr<FormControl>::Adopt(b);
                break;
            }
            case kHidden: {
                auto* h = new (std::nothrow)
                    IndexFieldControl(formList_ ? formList_->OwnerResource() : nullptr);
                if (!h) return nullptr;
                h->SetSource(value);
                control = RefPtr<FormControl>::Adopt(h);
                hidden = true;
                break;
            }
            default:  // IMAGE, FILE and other keywords make nothing
                return nullptr;
        }
    } else if (tag == kTagSelect) {
        control = RefPtr<FormControl>::Adopt(BuildSelect(source));
        if (!control) return nullptr;
    } else {
        if (tag != kTagLabel) source.SkipElement();
        return nullptr;
    }

    bool ok = (onChange.IsEmpty() || control->SetHandler(kFormEventChange, onChange)) &&
              (onClick.IsEmpty() || control->SetHandler(kFormEventClick, onClick)) &&
              (onLoad.IsEmpty() || control->SetHandler(kFormEventLoad, onLoad));
    if (!ok) return nullptr;
    control->SetStyle(style3);
    control->SetScriptAccess(scriptAccess ? 1 : 0);
    control->SetFormIndex(formIndex);
    if (readOnly) control->SetReadOnly(true);
    if (!hidden) PlaceUnder(control.Get(), controlParent_);
    if (!AddControl(control.Get(), name, p, false)) return nullptr;
    return control.TakePointer();
}

FormControl* Form::BuildSelect(TokenSource& source) {
    SelectSpec spec;
    if (!spec.Read(source)) return nullptr;
    FormListOwner* owner = formList_ ? formList_->Owner() : nullptr;
    IconHost icons = formList_ ? formList_->UiContext() : IconHost{};
    auto select = RefPtr<SelectControl>::Adopt(new (std::nothrow) SelectControl(
        layoutContext_, owner ? owner->Paths() : nullptr,
        formList_ ? formList_->GetOwnerContext() : nullptr, icons));
    if (!select) return nullptr;
    select->SetRows(static_cast<int32_t>(spec.rows));
    if (spec.hasWidth) select->SetColumns(static_cast<int32_t>(spec.width));
    select->SetQueryResource(formList_ ? formList_->OwnerResource() : nullptr);
    select->SetQuery(spec.query);
    for (int32_t i = 0; i < spec.options.Count(); ++i) {
        const SelectSpec::Option& o = spec.options[i];
        if (!select->AddOption(o.label, o.value)) return nullptr;
    }
    if (spec.selected < spec.options.Count())
        select->SelectOption(static_cast<uint32_t>(spec.selected), true);
    return select.TakePointer();
}
