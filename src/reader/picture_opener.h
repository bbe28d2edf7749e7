// Opens the pictures an HTML page names by SRC, through the document loader. A picture is read
// only from the page's own folder or a folder below it, and only when it is small enough to
// draw: anything else gives no picture (the layout then leaves the place empty).
#pragma once

#include <cstdint>

#include "document/location/location.h"
#include "layout/inline_objects.h"

class DocumentLoader;

class LoaderPictureOpener final : public ImageDataOpener {
public:
    // Larger files are not read: their decoded bitmaps would not fit the device either.
    static constexpr uint32_t kMaxPictureBytes = 8u << 20;

    // Neither is owned; the document's location is read at each open. Null turns it off.
    void Attach(DocumentLoader* loader, const Location* document) {
        loader_ = loader;
        document_ = document;
    }
    DataHandle* OpenImageData(const Location& location) override;

    // Whether a picture file lies in the document's folder or below it (letters compared
    // without case, either slash); false when either is no file.
    static bool InDocumentFolder(const Location& picture, const Location& document);

private:
    DocumentLoader* loader_ = nullptr;
    const Location* document_ = nullptr;
};
