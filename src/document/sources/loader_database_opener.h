// Databases opened by name through the document loader.
#pragma once

#include "database/database_object.h"

class DocumentLoader;

// Databases by name through the loader, so that windows, scripts and the history table share
// the one cached database of each file.
class LoaderDatabaseOpener : public DatabaseOpener {
public:
    explicit LoaderDatabaseOpener(DocumentLoader* loader) : loader_(loader) {}
    Database* OpenDatabase(const String& name) override;

private:
    DocumentLoader* loader_;
};
