// A graphics context drawing into a white 32-bit canvas, with the box font for every face. Kept
// apart from the layout's headers (the context's font record shares its name with the
// document's text record).
#pragma once

#include <string>

class GraphicsContext;

namespace fvt::test {

struct ContextCanvas;

// With realFonts, the device layer's system fonts instead of the box font (for looking).
ContextCanvas* NewContextCanvas(int width, int height, bool realFonts = false);
void DeleteContextCanvas(ContextCanvas* canvas);
GraphicsContext* CanvasContext(ContextCanvas* canvas);
void ClearCanvas(ContextCanvas* canvas);
bool SaveCanvasPng(ContextCanvas* canvas, const std::string& path);
// The pixels in the rectangle that are not white, and those of the colour r | g << 8 | b << 16.
int CanvasInk(ContextCanvas* canvas, int x, int y, int width, int height);
int CanvasCount(ContextCanvas* canvas, int x, int y, int width, int height, unsigned colour);
// The colour of one pixel (r | g << 8 | b << 16).
unsigned CanvasPixel(ContextCanvas* canvas, int x, int y);
// The canvas bitmap (an HBITMAP), for comparing with a golden.
void* CanvasBitmap(ContextCanvas* canvas);

}  // namespace fvt::test
