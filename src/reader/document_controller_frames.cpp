// The page of a document controller as its frames see it: its link areas, the first or last
// link taking the focus, and the page laid out anew in a frame's rectangle.
#include <new>

#include <vector>

#include "bookfiles/document_source.h"
#include "bookfiles/packed_tree.h"
#include "core/byte_stream.h"
#include "core/platform_helpers.h"
#include "database/resource.h"
#include "document/markup/link_target.h"
#include "document/markup/token_source.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/area.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

BookDocumentController& BookDocumentController::LinkController() {
    BookDocumentController* owner = frames_.OwnerController();
    return owner && frames_.ShowsOwnerBook() ? *owner : *this;
}

bool BookDocumentController::FocusPageLink(bool forward) {
    if (!page_.Layout() || view_ != kTextPage || !page_.View() ||
        !page_.View()->Parent())
        return false;
    AreaArray* marks = nullptr;
    if (!page_.Layout()->GetCurrentBlockMarks(marks) || !marks) return false;
    int32_t n = marks->Count();
    int32_t found = -1;
    for (int32_t k = 0; k < n && found < 0; ++k) {
        int32_t i = forward ? k : n - 1 - k;
        Area* area = marks->At(i);
        if (area && area->link) found = i;
    }
    if (found < 0) return false;
    page_.Layout()->SetCurrentMark(static_cast<uint32_t>(found), false, true);
    page_.View()->Focus();
    if (surface_) surface_->InvalidateRect(nullptr);
    return true;
}


