// The forms of the pages a controller shows: the form list the page layout builds its controls
// into, and their values, which go to and from the open book's side file. What the forms ask
// (their handlers run as book scripts, the links they open, message boxes, timers) goes to the
// FormListOwner they are made with.
#pragma once

#include <cstdint>
#include <memory>

#include "document_upper/forms/form_list.h"

class BookSideFile;
class LayoutFormList;
class Node;
class Resource;
class SortedRecordDatabase;

class BookForms {
public:
    explicit BookForms(FormListOwner& owner);
    ~BookForms();
    BookForms(const BookForms&) = delete;
    BookForms& operator=(const BookForms&) = delete;

    FormList& List() { return forms_; }
    // What the page layout calls once a page's marks are built; null when it could not be made.
    LayoutFormList* ForLayout() const { return layoutForms_.get(); }
    // Submitted forms are kept in the log.
    void SetDataStore(SortedRecordDatabase* log) { forms_.SetFormDataStore(log); }
    // Set for documents whose form values are neither restored nor saved (a frame's).
    void SetNoForms(bool on) { noForms_ = on; }

    // A book became current: its values are read once its side file is known to be its own
    // (when the layout is made), or at once without a layout.
    void ExpectRestore() { restorePending_ = true; }
    bool RestorePending() {
        bool pending = restorePending_;
        restorePending_ = false;
        return pending;
    }
    // Opens the book's forms table and reads the values kept in its side file. Without a side
    // file there is nothing to read (true).
    bool Restore(Resource* book, const BookSideFile& side);
    // Writes the values into the side file; no form made leaves the stored block as it is.
    bool Save(BookSideFile& side);
    // The book closes: its document's forms go (persistent ones stay), and the list lets go of
    // the book's forms table. documentKey 0: the current document is unknown.
    void CloseBook(const Resource* book, uint32_t documentKey);
    // Forms whose controls live under a page element that is going forget it.
    void ForgetControlParent(const Node* parent);
    // Every form goes (the controller shuts down).
    void Clear() { forms_.Clear(0); }

private:
    FormList forms_;
    std::unique_ptr<LayoutFormList> layoutForms_;
    bool noForms_ = false;
    bool restorePending_ = false;
};
