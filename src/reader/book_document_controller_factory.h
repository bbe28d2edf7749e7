// The factory of the reader's document controllers.
#pragma once

#include <memory>

#include "reader/document_controller.h"

class LayoutEngineFactory;
class SearchFieldFactory;
class SpeechClientFactory;

// Makes the reader's document controllers. While no other page layout engine is installed it
// installs the reader's own (plain page layouts, which keep their book's traits).
class BookDocumentControllerFactory : public DocumentControllerFactory {
public:
    BookDocumentControllerFactory();
    ~BookDocumentControllerFactory();
    BookDocumentControllerFactory(const BookDocumentControllerFactory&) = delete;
    BookDocumentControllerFactory& operator=(const BookDocumentControllerFactory&) = delete;
    DocumentController* CreateDocumentController(ScriptHeap* heap) override;
    // Every controller made from now on speaks through these clients.
    void SetSpeechClients(SpeechClientFactory* clients) { speechClients_ = clients; }
    // ... and types into these search fields on record-set pages.
    void SetSearchFields(SearchFieldFactory* fields) { searchFields_ = fields; }

private:
    std::unique_ptr<LayoutEngineFactory> engine_;
    SpeechClientFactory* speechClients_ = nullptr;
    SearchFieldFactory* searchFields_ = nullptr;
};
