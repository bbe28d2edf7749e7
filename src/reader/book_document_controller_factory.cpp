// The factory of the reader's document controllers, with the reader's own page layout engine.
#include "reader/book_document_controller_factory.h"

#include "reader/book_document_controller.h"
#include "reader/page_presentation.h"
#include "reader/file_messages.h"
#include <new>
#include "bookfiles/annotation_file.h"
#include "core/byte_stream.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/document_source.h"
#include "core/file.h"
#include "database/database_object.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "document/forms/form.h"
#include "document/markup/html_tokenizer.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_database_opener.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "graphics/widgets/list_popup.h"
#include "graphics/core/command_ids.h"
#include "layout/inline_objects.h"
#include "layout/layout_forms.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "layout/searcher.h"
#include "media/image/icon_image.h"
#include "core/platform_helpers.h"
#include "platform/window/window.h"
#include "platform/shell/shell.h"
#include "reader/anchor_names.h"
#include "reader/book_action_bridge.h"
#include "reader/book_picture.h"
#include "reader/image_view.h"
#include "reader/opening_rules.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "reader/reader_views.h"
#include "script/script_engine.h"
#include "script/script_heap.h"

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
