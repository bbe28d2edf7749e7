#include "document/sources/layout_services.h"

#include "database/resource.h"

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
