// The reader tests' document controller over the fixture books, under a reader controller, for
// the windows and dialogs that read the open book's layout.
#pragma once

#include "reader/controller_fixture.h"
#include "reader/reader_controller.h"

namespace fvt::test {

class BookControllerTest : public ControllerFixture {
protected:
    BookControllerTest() { reader.SetDocumentController(controller.get()); }
    ~BookControllerTest() override { reader.SetDocumentController(nullptr); }
    // Book A: thirty long paragraphs, each starting "Paragraph N".
    bool OpenLongBook() { return Open(u"\\books\\a.prc"); }

    ReaderController reader;
};

}  // namespace fvt::test
