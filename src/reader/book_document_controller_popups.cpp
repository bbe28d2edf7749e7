// The list pop-ups over a page: the controller is their host, keeps their state records with the
// page's view state, and shows a kept one again when the page comes back.
#include <cstring>

#include <new>

#include "bookfiles/configuration_store.h"
#include "core/byte_stream.h"
#include "core/platform_helpers.h"
#include "graphics/widgets/list_popup.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "media/image/icon_image.h"
#include "reader/book_document_controller.h"
#include "reader/controller_sides.h"

ShownDocument::ShownDocument() = default;
ShownDocument::~ShownDocument() = default;

PopupHost& BookDocumentController::ListPopupHost() { return sides_->popup; }

bool BookDocumentController::RestoreListPopup() {
    listPopup_.reset();
    PositionViewElement* view = page_.View();
    if (!view || !surface_ || view_ != kTextPage) return false;
    const ByteStream& own = view->OwnState();
    const uint8_t* data = own.Data();
    const uint32_t size = own.Size();
    // The record starts at a word holding the marker three times.
    uint32_t at = 0;
    while (at + 12 <= size &&
           !(std::memcmp(data + at, "LTTS", 4) == 0 && std::memcmp(data + at + 4, "LTTS", 4) == 0 &&
             std::memcmp(data + at + 8, "LTTS", 4) == 0))
        at += 4;
    if (at + 12 > size) return false;
    ByteStream record;
    if (!record.WriteBytes(data + at, size - at)) return false;
    record.SetReadPosition(0);
    IconHost icons;
    icons.dpi = ::IsHighResolution() ? 192 : 96;
    auto popup = std::make_unique<ListPopup>(surface_, &ListPopupHost(), 0,
                                             reader_ ? reader_->GetLink()->Paths() : nullptr,
                                             reader_ ? &reader_->Timers() : nullptr, icons);
    // A short record still shows what was read.
    popup->RestoreState(record);
    if (!popup->Show(true)) return false;
    listPopup_ = std::move(popup);
    return true;
}
