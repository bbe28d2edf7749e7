// A picture of a book (one of its image records) as a drawable picture of the reader's views: the
// cover page and the audio page draw it to the size they give it.
#pragma once

#include <utility>

#include "core/ref_counted.h"
#include "graphics/core/reader_links.h"
#include "layout/inline_objects.h"

class BookPicture final : public DrawablePicture {
public:
    explicit BookPicture(RefPtr<ImageObject> image) : image_(std::move(image)) {}
    bool GetSize(int32_t& width, int32_t& height, uint32_t& extra) override {
        width = image_->NaturalWidth();
        height = image_->NaturalHeight();
        extra = 0;
        return width > 0 && height > 0;
    }
    bool Draw(GraphicsContext& gc, const Rect& r, uint32_t /*flag*/) override {
        return image_->Draw(&gc, r, nullptr);
    }

private:
    ~BookPicture() override = default;
    RefPtr<ImageObject> image_;
};
