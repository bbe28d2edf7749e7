// A reader controller over a real book document controller that lays out on a context canvas,
// with the document-controller test books on the given device (tests/reader/controller_books),
// for the windows and dialogs that read the open book's layout.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "document/sources/document_loader.h"
#include "library/paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "reader/controller_books.h"
#include "reader/reader_controller.h"
#include "support/layout/context_canvas.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

class BookControllerFixture {
public:
    explicit BookControllerFixture(const TempDevice& device) {
        canvas = NewContextCanvas(240, 320);
        loader = std::make_unique<DocumentLoader>(7);
        loader->SetOptions(&paths, nullptr, nullptr);
        WriteControllerBooks(device);
        document.reset(static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        document->SetDocumentLoader(loader.get());
        document->SetLayoutGraphics(CanvasContext(canvas), Rect{0, 0, 240, 320});
        reader.SetDocumentController(document.get());
    }
    ~BookControllerFixture() {
        reader.SetDocumentController(nullptr);
        document.reset();
        loader.reset();
        DeleteContextCanvas(canvas);
    }
    BookControllerFixture(const BookControllerFixture&) = delete;
    BookControllerFixture& operator=(const BookControllerFixture&) = delete;
    // Book A: thirty long paragraphs, each starting "Paragraph N".
    bool OpenLongBook() { return document->ActivateLink(String(u"\\books\\a.prc")); }

    BookDocumentControllerFactory factory;
    ContextCanvas* canvas = nullptr;
    AppPaths paths{Text(), nullptr};
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> document;
    ReaderController reader;
};

// The fixture on a device of its own.
class BookControllerTest : public ::testing::Test {
protected:
    TempDevice device;
    BookControllerFixture book{device};
    BookDocumentController* document = book.document.get();
    ReaderController& reader = book.reader;
};

}  // namespace fvt::test
