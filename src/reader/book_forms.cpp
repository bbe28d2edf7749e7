#include "reader/book_forms.h"

#include <new>

#include "core/byte_stream.h"
#include "core/platform_helpers.h"
#include "layout/layout_forms.h"
#include "media/image/icon_image.h"
#include "reader/book_side_file.h"

BookForms::BookForms(FormListOwner& owner)
    : layoutForms_(std::make_unique<LayoutFormList>(forms_)) {
    forms_.SetOwner(&owner);
    // The forms' check boxes and drop-down arrows are icons: in the screen's size, as the
    // controls drawn with the page's text are.
    IconHost formIcons;
    formIcons.dpi = IsHighResolution() ? 192 : 96;
    forms_.SetUiContext(formIcons);
}

BookForms::~BookForms() = default;

bool BookForms::Restore(Resource* book, const BookSideFile& side) {
    if (noForms_) return true;
    forms_.OpenFormsTable(book);
    if (!side.File()) return true;
    ByteStream stream;
    return side.ReadFormBlock(stream) && forms_.RestoreState(stream);
}

bool BookForms::Save(BookSideFile& side) {
    if (noForms_ || !side.File()) return true;
    ByteStream stream;
    // No form made: the stored block stays as it is.
    if (!forms_.SaveState(stream, false)) return true;
    if (!stream.Ok()) return false;
    return side.WriteFormBlock(stream);
}

void BookForms::CloseBook(const Resource* book, uint32_t documentKey) {
    if (!noForms_) forms_.Clear(documentKey ? documentKey : 0xFFFFFFFFu);
    // The list's forms table is the book's: holding it would keep the closed book open. The
    // values were written before.
    if (forms_.OwnerResource() == book) forms_.Clear(0);
}

void BookForms::ForgetControlParent(const Node* parent) {
    if (parent && layoutForms_) layoutForms_->ForgetControlParent(parent);
}
