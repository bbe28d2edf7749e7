// The drawing layer's own calls, beyond the handheld system's interface: the screen framebuffer
// and DCs on it for the window layer, PNG output, and the test mode's box font.
#pragma once

#include <memory>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/region.h"
#include "platform/gdi/surface.h"

// A DC drawing into the whole screen framebuffer; DeleteDC frees it. The window layer sets its
// origin (device (0, 0) in screen pixels) and visible region (screen pixels; null = all).
HDC GdiCreateScreenDC();
HDC GdiCreateSurfaceDC(std::shared_ptr<gdi::Surface> surface);
// A screen DC for one paint, as GdiCreateScreenDC makes it (the thread's last one given back,
// when there is one); GdiGiveBackScreenDC ends its use, as DeleteDC would, keeping it for the next.
HDC GdiTakeScreenDC();
BOOL GdiGiveBackScreenDC(HDC dc);
BOOL GdiSetDCOrigin(HDC dc, int x, int y);
BOOL GdiSetDCVisibleRegion(HDC dc, HRGN region);
// The same from rectangles, without region objects: the region holds what adding each
// rectangle in turn to an empty region (CombineRgn, RGN_OR) gives.
BOOL GdiSetDCVisibleRects(HDC dc, const gdi::RectList& rects);

// The framebuffer, sized by the device profile ("screen", "depth" keys) and made again when the
// device is reopened or the screen turned; DCs made before keep drawing into the old one.
std::shared_ptr<gdi::Surface> GdiScreenSurface();
// Turning the screen: the new size until the device is reopened.
BOOL GdiSetScreenSize(int width, int height);
std::shared_ptr<gdi::Surface> GdiDCSurface(HDC dc);
std::shared_ptr<gdi::Surface> GdiBitmapSurface(HBITMAP bitmap);

// Writes what a DC draws into (or a bitmap) as a PNG; the file is replaced atomically.
BOOL GdiSavePng(HGDIOBJ dcOrBitmap, const char* path);
bool GdiSaveSurfacePng(const gdi::Surface& surface, const char* path);

// An icon from 0xAARRGGBB pixels, rows top first (for icon resources).
HICON GdiCreateIconFromPixels(int width, int height, const std::uint32_t* argb);

// The box font: chosen by this face name, or for every font while synthetic fonts are on.
constexpr const WCHAR* kGdiTestFontFace = u"Folivant Test Box";
void GdiUseSyntheticFonts(bool on);
// Drop cached glyph images, or every realised font with its glyphs; fonts stay usable and are
// realised again at their next use. Not to be called while another thread draws text.
void GdiFlushGlyphCache();
void GdiFlushFontCache();
// Moves on whenever any DC's text colour, background colour or mode, or selected objects are
// set (SetTextColor, SetBkColor, SetBkMode, SelectObject, RestoreDC), and when a DC is made or
// deleted. Who remembers what it set in a DC knows the DC still holds it while this stays put.
unsigned GdiDcStateGeneration();
// Changes whenever fonts may be realised anew (and their metrics with them).
unsigned GdiFontGeneration();
