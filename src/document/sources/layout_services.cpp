#include "document/sources/layout_services.h"

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
    source = nullptr;
    if (layout) *layout = nullptr;
    if (!made) {
        delete traits;
        return false;
    }
    PageLayout* pl = nullptr;
    LayoutEngineFactory* factory = installed;
    if (layout) {
        pl = factory ? factory->CreatePageLayout(traits) : nullptr;
        if (!pl) {
            delete traits;
            delete made;
            return false;
        }
        if (!displayOption) factory->SetPlainTextOption(pl, false);
    } else {
        delete traits;
    }
    made->Attach(document, 0);
    if (pl) factory->SetSource(pl, made);
    source = made;
    if (layout) *layout = pl;
    return true;
}

void LayoutEngineFactory::DestroyLayout(TokenSource* source, PageLayout* layout) {
    if (layout && installed) installed->DestroyPageLayout(layout);
    if (source) {
        source->Start(0, true);
        delete source;
    }
}
