// The factory of the reader's document controllers, with the reader's own page layout engine.
#include "reader/book_document_controller_factory.h"

#include <new>

#include "database/resource.h"
#include "document/sources/layout_services.h"
#include "layout/page_layout.h"
#include "layout/searcher.h"
#include "reader/book_action_bridge.h"
#include "reader/book_document_controller.h"

namespace {

class OwningPageLayout final : public PageLayout {
public:
    explicit OwningPageLayout(BookLayoutTraits* traits) : PageLayout(traits), traits_(traits) {}

private:
    std::unique_ptr<BookLayoutTraits> traits_;
};

class ReaderLayoutEngine final : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        auto* layout = new (std::nothrow) OwningPageLayout(traits);
        if (!layout) delete traits;
        return layout;
    }
    void SetSource(PageLayout* layout, TokenSource* source) override { layout->SetSource(source); }
    void SetPlainTextOption(PageLayout*, bool) override {}
    void DestroyPageLayout(PageLayout* layout) override {
        if (!layout) return;
        layout->Clear();
        delete layout;
    }
    Searcher* CreateSearcher(DocumentSource* document, bool indexed) override {
        return Searcher::Create(document, indexed);
    }
};

}  // namespace

BookDocumentControllerFactory::BookDocumentControllerFactory() {
    if (!LayoutEngineFactory::installed) {
        engine_.reset(new (std::nothrow) ReaderLayoutEngine());
        if (engine_) LayoutEngineFactory::Install(engine_.get());
    }
}

BookDocumentControllerFactory::~BookDocumentControllerFactory() {
    if (engine_ && LayoutEngineFactory::installed == engine_.get()) LayoutEngineFactory::Install(nullptr);
}

DocumentController* BookDocumentControllerFactory::CreateDocumentController(ScriptHeap* heap) {
    auto* controller = new (std::nothrow) BookDocumentController(heap);
    if (controller && speechClients_) controller->Speech().SetClients(speechClients_);
    if (controller) controller->Records().SetSearchFields(searchFields_);
    return controller;
}
