#include "reader/picture_opener.h"

#include "core/char_props.h"
#include "core/path.h"
#include "core/ref_counted.h"
#include "database/resource.h"
#include "document/sources/document_loader.h"

namespace {

// The file name of a file location with one kind of slash, lower-cased.
bool FoldedFileName(const Location& location, String& out) {
    if (!location.IsFileKind() || !location.ToString(out, false) || out.IsEmpty()) return false;
    String folded;
    for (int32_t i = 0; i < out.Length(); ++i) {
        char16_t c = out[i] == u'/' ? u'\\' : CharProps::ToLower(out[i]);
        if (!folded.AppendChar(c)) return false;
    }
    out = folded;
    return true;
}

}  // namespace

bool LoaderPictureOpener::InDocumentFolder(const Location& picture, const Location& document) {
    String doc, pic;
    if (!FoldedFileName(document, doc) || !FoldedFileName(picture, pic)) return false;
    int32_t folder = doc.Length();
    while (folder > 0 && doc[folder - 1] != u'\\') --folder;
    if (pic.Length() <= folder || Path::HasParentPart(pic)) return false;
    for (int32_t i = 0; i < folder; ++i)
        if (pic[i] != doc[i]) return false;
    return true;
}

DataHandle* LoaderPictureOpener::OpenImageData(const Location& location) {
    if (!loader_ || !document_ || !InDocumentFolder(location, *document_)) return nullptr;
    Location target;
    target.CopyFrom(location);
    // Quietly: a missing picture is no error worth a message box.
    uint8_t saved[2];
    loader_->SetFlags(0, 0, saved);
    auto data = RefPtr<DataHandle>::Adopt(loader_->OpenLocation(target, document_));
    loader_->RestoreFlags(saved);
    if (!data || data->GetSize() > kMaxPictureBytes) return nullptr;
    return data.TakePointer();  // the caller's reference
}
