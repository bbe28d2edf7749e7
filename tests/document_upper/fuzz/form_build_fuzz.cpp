// Forms built from arbitrary markup, as the page layout builds them: each FORM element makes (or
// finds) its form, and every control element in it is built. A built control's state saves and
// restores into a control of the same element; the form list's state saves and reads back.
// Nothing may crash or leak.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "graphics/controls/form_control.h"
#include "platform/window/window.h"
#include "support/document/memory_document.h"
#include "support/platform/temp_device.h"

namespace {

constexpr uint32_t kTagForm = 81;
constexpr size_t kMaxInput = 1024;

struct Owner : FormListOwner {
    bool RunHandler(ScriptObject*, const String&, uint32_t, String* result) override {
        if (result) *result = String(u"true");
        return true;
    }
    bool OpenLink(const String&, bool) override { return true; }
    int32_t MessageBoxById(int32_t, int32_t, uint32_t) override { return 1; }
    TimerList* Timers() override { return nullptr; }
};

bool Ready() {
    // Never destroyed (libFuzzer ends without destructors): the device layer removes its folder.
    static auto* device = new fvt::test::TempDevice();
    static bool shown = (GetDesktopWindow(), true);
    return device->ok() && shown;
}

std::u16string MarkupFrom(const uint8_t* data, size_t size) {
    static const char16_t* const kPieces[] = {
        u"<form",    u"</form>",   u"<input",    u"<select",   u"</select>", u"<option",
        u"<textarea", u"</textarea>", u"<p>",    u"<table><tr><td>", u"</table>", u">",
        u"/>",       u" name=",    u" type=",    u" value=",   u" size=",    u" maxlength=",
        u" checked", u" selected", u" multiple", u" tabindex=", u" onclick=", u" onchange=",
        u" action=", u" method=",  u" persistent", u" readonly", u"text",    u"password",
        u"checkbox", u"radio",     u"hidden",    u"submit",    u"reset",     u"index",
        u"\"a\"",    u"'b'",       u"\"x y\"",   u"1",         u"-1",        u"40",
        u"4294967295", u" ",       u"word",      u"&amp;",     u"\u00E9",    u"=",
    };
    constexpr size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    std::u16string text = u"<html><body>";
    for (size_t i = 0; i < size; ++i) text += kPieces[data[i] % kCount];
    return text;
}

// Walks the page: forms at their FORM tags, controls at every other tag a form builds.
void BuildAll(DocumentSource& doc, FormList& list, std::vector<FormControl*>& built) {
    HtmlTokenizer t(true);
    t.Attach(&doc, 0);
    t.Start(0, false);
    Form* form = nullptr;
    for (uint32_t i = 0; i < 100000; ++i) {
        const uint32_t k = t.NextToken();
        if (k == kTokenEnd) return;
        if (k != kTokenTag) continue;
        bool isEnd = false, isEmpty = false;
        const uint32_t id = t.GetTag(isEnd, isEmpty);
        if (isEnd) continue;
        uint32_t position = 0;
        t.GetPosition(position);
        if (id == kTagForm) {
            String name;
            t.GetAttributeText(kAttrName, name);
            form = list.GetOrCreateForm(name, t, position, 7);
            continue;
        }
        if (!form) form = list.FindByPosition(position, 7);
        if (!form) continue;
        if (FormControl* control = form->Build(t, position, nullptr)) built.push_back(control);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Ready()) return 0;
    if (size > kMaxInput) size = kMaxInput;
    const std::u16string text = MarkupFrom(data, size);
    MemoryDocument doc(text, 64);
    Owner owner;
    ByteStream saved;
    {
        FormList list;
        list.SetOwner(&owner);
        std::vector<FormControl*> built;
        BuildAll(doc, list, built);
        for (FormControl* control : built) {
            String state;
            if (control->SaveState(state)) control->RestoreState(state);
        }
        list.SaveState(saved, false);
        for (FormControl* control : built) control->Release();
    }
    {
        // A second layout of the page over the saved state.
        FormList list;
        list.SetOwner(&owner);
        ByteStream again;
        again.WriteBytes(saved.Data(), saved.Size());
        list.RestoreState(again);
        std::vector<FormControl*> built;
        BuildAll(doc, list, built);
        for (FormControl* control : built) control->Release();
    }
    if (doc.LivePages() != 0) __builtin_trap();
    return 0;
}
