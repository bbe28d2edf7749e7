// A book's cover thumbnail as a bitmap for a list cell: its picture record (the first image
// record + the thumbnail offset) decoded (JPEG, GIF or BMP) and scaled to fit the cell.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "platform/gdi.h"

// Null when the book has no such record or the picture cannot be read; the size of the bitmap
// goes to width and height.
HBITMAP MakeThumbnail(const Text& bookPath, uint16_t thumbnailOffset, int cellWidth,
                      int cellHeight, int& width, int& height);
// The same from a picture's bytes.
HBITMAP MakeThumbnailFromPicture(const uint8_t* bytes, uint32_t length, int cellWidth,
                                 int cellHeight, int& width, int& height);
