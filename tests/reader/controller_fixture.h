// A document controller over the fixture books on a temporary device, measuring its pages on
// a 240 x 320 canvas (the page layout engine installed by the controllers' factory).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/text.h"
#include "document/sources/document_loader.h"
#include "paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "controller_books.h"
#include "support/layout/context_canvas.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

inline std::u16string U(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

struct ControllerFixture : ::testing::Test {
    ControllerFixture() {
        EXPECT_TRUE(device.ok());
        canvas = NewContextCanvas(240, 320);
        loader = std::make_unique<DocumentLoader>(5);
        loader->SetOptions(&paths, nullptr, nullptr);
        WriteControllerBooks(device);
        controller.reset(static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        controller->SetDocumentLoader(loader.get());
        controller->Page().SetGraphics(CanvasContext(canvas), Rect{0, 0, 240, 320});
    }
    ~ControllerFixture() override {
        controller.reset();
        loader.reset();
        DeleteContextCanvas(canvas);
    }
    bool Open(const char16_t* url) { return controller->ActivateLink(String(url)); }

    TempDevice device;
    BookDocumentControllerFactory factory;  // installs the page layout engine
    ContextCanvas* canvas = nullptr;
    AppPaths paths{Text(), nullptr};
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
};

}  // namespace fvt::test
