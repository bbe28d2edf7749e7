// The form list's state stream comes from the book's side file. Arbitrary bytes are refused or
// kept; whatever was kept is written back as records that read again to the same records, and
// writing those back once more gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/byte_stream.h"
#include "document/markup/html_tokenizer.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "support/document/memory_document.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteStream in;
    in.WriteBytes(data, size);
    in.SetReadPosition(0);
    FormList list;
    list.RestoreState(in);

    // A form is needed for a save; it takes the first record of its name, if there is one.
    MemoryDocument doc(u"<html><body><form name=\"\x01\"></form>");
    HtmlTokenizer tokens(true);
    tokens.Attach(&doc, 0);
    tokens.Start(0, false);
    Check(list.GetOrCreateForm(String(u"\x01"), tokens, 0, 1) != nullptr);
    int32_t kept = list.SavedStateCount();  // a record of that name went to the form
    ByteStream out;
    Check(list.SaveState(out, false));
    out.SetReadPosition(0);
    FormList again;
    Check(again.RestoreState(out));
    Check(again.SavedStateCount() == kept);
    ByteStream twice;
    Check(again.GetOrCreateForm(String(u"\x01"), tokens, 0, 1) != nullptr);
    Check(again.SaveState(twice, false));
    if (again.SavedStateCount() == kept)  // no second record of the form's name was taken
        Check(twice.Size() == out.Size() && std::memcmp(twice.Data(), out.Data(), out.Size()) == 0);

    return 0;
}
