#include "document/sources/layout_services.h"

#include <memory>

#include "database/resource.h"
#include "document/markup/token_source.h"

namespace {

// Resources sit below the document model and ask for searchers through their own hook.
Searcher* SearcherFromLayout(DocumentSource* document, bool indexed) {
    LayoutEngineFactory* factory = LayoutEngineFactory::installed;
    return factory ? factory->CreateSearcher(document, indexed) : nullptr;
}

}  // namespace

void LayoutEngineFactory::Install(LayoutEngineFactory* factory) {
    installed = factory;
    Resource::searcherFactory = factory ? SearcherFromLayout : nullptr;
}

bool LayoutEngineFactory::FinishLayout(TokenSource* made, DocumentSource* document,
                                       BookLayoutTraits* traits, bool displayOption,
                                       TokenSource*& source, PageLayout** layout) {
    std::unique_ptr<TokenSource> ownedSource(made);
    std::unique_ptr<BookLayoutTraits> ownedTraits(traits);
    source = nullptr;
    if (layout) *layout = nullptr;
    if (!ownedSource) return false;
    PageLayout* pl = nullptr;
    LayoutEngineFactory* factory = installed;
    if (layout) {
        pl = factory ? factory->CreatePageLayout(traits) : nullptr;
        if (!pl) return false;
        // The page layout has the traits now.
        ownedTraits.release();
        if (!displayOption) factory->SetPlainTextOption(pl, false);
    }
    made->Attach(document, 0);
    if (pl) factory->SetSource(pl, made);
    source = ownedSource.release();
    if (layout) *layout = pl;
    return true;
}

void LayoutEngineFactory::DestroyLayout(TokenSource* source, PageLayout* layout) {
    if (layout && installed) installed->DestroyPageLayout(layout);
    std::unique_ptr<TokenSource> owned(source);
    if (owned) owned->Start(0, true);
}
