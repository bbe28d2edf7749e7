// A book resource that counts the designations it is asked to open, so that tests can tell
// that a query really went to the book.
#pragma once

#include "document/sources/book_resource.h"

namespace fixtures {

class CountingBook : public BookResource {
public:
    DataHandle* OpenDataByName(const String& name, const DbValue* base) override {
        ++opened;
        return BookResource::OpenDataByName(name, base);
    }

    int opened = 0;
};

}  // namespace fixtures
