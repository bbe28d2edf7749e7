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
#include "reader/page_presentation.h"
#include "reader/file_messages.h"
#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/file.h"
#include "database/database_object.h"
#include "database/index_query.h"
#include "database/sql_parser.h"
#include "document/forms/form.h"
#include "document/markup/html_tokenizer.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_database_opener.h"
#include "graphics/widgets/cover_view.h"
#include "graphics/widgets/list_popup.h"
#include "graphics/core/command_ids.h"
#include "layout/inline_objects.h"
#include "layout/layout_forms.h"
#include "layout/page_canvas.h"
#include "layout/searcher.h"
#include "media/image/icon_image.h"
#include "platform/window/window.h"
#include "platform/shell/shell.h"
#include "reader/anchor_names.h"
#include "reader/book_action_bridge.h"
#include "reader/book_picture.h"
#include "reader/image_view.h"
#include "reader/opening_rules.h"
#include "reader/reader_host.h"
#include "reader/reader_views.h"
#include "script/script_engine.h"
#include "script/script_heap.h"
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

AreaArray* BookDocumentController::PageLinkAreas() {
    AreaArray* marks = nullptr;
    if (!page_.Layout() || view_ != kTextPage ||
        !page_.Layout()->GetCurrentBlockMarks(marks))
        return nullptr;
    return marks;
}
