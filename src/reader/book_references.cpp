// The book's named references and '#' anchors.
#include "reader/book_references.h"

#include "bookfiles/document_source.h"
#include "core/string.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/markup/html_tokenizer.h"
#include "reader/anchor_names.h"

namespace {
// Where a guide reference leads: its link, else a text position of this book.
void ReferenceLink(const TargetRecord& record, String& link) {
    link.Assign(record.extra.IsEmpty() ? record.value : record.extra);
    if (link.IsEmpty() && record.position >= 0) {
        link.AppendAscii("##-pos");
        link.AppendUnsigned(static_cast<uint32_t>(record.position), 10);
    }
}
}  // namespace

bool BookReferences::LookupReference(const char16_t* name, int32_t length, String& link) {
    Resource* resource = host_.Book();
    DocumentSource* document = resource ? resource->GetDocument() : nullptr;
    if (!document) return false;
    TargetRecord record;
    if (!document->FindMetadata(name, length, 2, record)) return false;
    ReferenceLink(record, link);
    return true;
}

BookReferences::AnchorTarget BookReferences::ResolveAnchorName(const String& anchor, String& link,
                                                               uint32_t& position) {
    String marked;
    if (!Location::GetAnchorPart(anchor, marked) || marked.Length() < 2) return kAnchorNone;
    String name;
    name.AssignSub(marked, 1, marked.Length() - 1);
    // The book's target records first (under the bare name, or as the link wrote it), then the
    // names and ids of the markup itself.
    if (LookupReference(name.Data(), name.Length(), link) ||
        LookupReference(marked.Data(), marked.Length(), link))
        return kAnchorReference;
    Resource* resource = host_.Book();
    DocumentSource* document = resource ? resource->GetDocument() : nullptr;
    if (dynamic_cast<HtmlTokenizer*>(host_.PageSource()) && FindAnchorName(document, name, position))
        return kAnchorInText;
    return kAnchorNone;
}

bool BookReferences::AnchorFound(const String& anchor) {
    // Only a name after '#' in the text page can miss; positions and generated pages are
    // checked where they open.
    if (!host_.TextPageShown() || !Location::HasAnchor(anchor) ||
        Location::HasPositionAnchor(anchor) || Location::HasDollar(anchor))
        return true;
    String link;
    uint32_t position = 0;
    return ResolveAnchorName(anchor, link, position) != kAnchorNone;
}

bool BookReferences::RunReferenceLink(const String& link) {
    if (link.IsEmpty()) return false;
    int64_t position = Location::GetAnchorPosition(link);
    if (position >= 0 && position <= UINT32_MAX)
        return host_.GoToTextPosition(static_cast<uint32_t>(position));
    return host_.FollowLink(link);
}

bool BookReferences::RunReference(const char16_t* name, int32_t length) {
    String link;
    return LookupReference(name, length, link) && RunReferenceLink(link);
}

bool BookReferences::RunGuideEntry(uint32_t index) {
    Resource* resource = host_.Book();
    DocumentSource* document = resource ? resource->GetDocument() : nullptr;
    TargetRecord record;
    if (!document || !document->GetMetadata(index, 2, record)) return false;
    String link;
    ReferenceLink(record, link);
    return RunReferenceLink(link);
}
