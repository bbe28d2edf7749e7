// The factory of the reader's document controllers, with the reader's own page layout engine.
#include "reader/book_document_controller_factory.h"

#include <memory>

#include "database/resource.h"
#include "document/sources/layout_services.h"
#include "layout/page_layout.h"
#include "layout/searcher.h"
#include "reader/book_action_bridge.h"
#include "reader/book_document_controller.h"

namespace {

class OwningPageLayout final : public PageLayout {
public:
    explicit OwningPageLayout(std::unique_ptr<BookLayoutTraits> traits)
        : PageLayout(traits.get()), traits_(std::move(traits)) {}

private:
    std::unique_ptr<BookLayoutTraits> traits_;
};

class ReaderLayoutEngine final : public LayoutEngineFactory {
public:
    // The layout owns the traits it is made with; DestroyPageLayout takes it back.
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        return std::make_unique<OwningPageLayout>(std::unique_ptr<BookLayoutTraits>(traits))
            .release();
    }
    void SetSource(PageLayout* layout, TokenSource* source) override { layout->SetSource(source); }
    void SetPlainTextOption(PageLayout*, bool) override {}
    void DestroyPageLayout(PageLayout* layout) override {
        std::unique_ptr<PageLayout> owned(layout);
        if (owned) owned->Clear();
    }
    Searcher* CreateSearcher(DocumentSource* document, bool indexed) override {
        return Searcher::Create(document, indexed).release();
    }
};

}  // namespace

BookDocumentControllerFactory::BookDocumentControllerFactory() {
    if (!LayoutEngineFactory::installed) {
        engine_ = std::make_unique<ReaderLayoutEngine>();
        LayoutEngineFactory::Install(engine_.get());
    }
}

BookDocumentControllerFactory::~BookDocumentControllerFactory() {
    if (engine_ && LayoutEngineFactory::installed == engine_.get()) LayoutEngineFactory::Install(nullptr);
}

DocumentController* BookDocumentControllerFactory::CreateDocumentController(ScriptHeap* heap) {
    auto controller = std::make_unique<BookDocumentController>(heap);
    if (speechClients_) controller->Speech().SetClients(speechClients_);
    controller->Records().SetSearchFields(searchFields_);
    return controller.release();  // the window's
}
