// Drawing calls with arbitrary arguments on DIB sections built from arbitrary headers: whatever
// the input, no call may read or write outside a surface.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    int Small() { return static_cast<int>(Byte()) - 64; }
    int Any() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return static_cast<int>(v);
    }
    int Coord() { return (Byte() & 0x80) ? Any() : Small(); }
};

// A DIB section from the first bytes of the input, kept small enough to draw over quickly.
HBITMAP MakeDib(Reader& in, HDC dc) {
    std::vector<std::uint8_t> header(4096, 0);
    std::size_t n = std::min<std::size_t>(in.Byte() * 8, in.size - in.pos);
    std::memcpy(header.data(), in.data + in.pos, n);
    in.pos += n;
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSize = std::max<DWORD>(info->bmiHeader.biSize % 128, 12);
    info->bmiHeader.biWidth %= 64;
    info->bmiHeader.biHeight %= 64;
    void* bits = nullptr;
    return CreateDIBSection(dc, info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    HDC dc = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(nullptr);
    HBITMAP dib = MakeDib(in, dc);
    HBITMAP plain = CreateCompatibleBitmap(nullptr, 16, 16);
    HGDIOBJ oldDib = dib ? SelectObject(dc, dib) : nullptr;
    HGDIOBJ oldPlain = SelectObject(other, plain);
    LOGFONTW lf{};
    lf.lfHeight = -9;
    std::memcpy(lf.lfFaceName, kGdiTestFontFace, 2 * 17);
    HFONT font = CreateFontIndirectW(&lf);
    SelectObject(dc, font);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    SelectObject(dc, pen);
    const WCHAR text[] = u"ab &c\tde\r\nfg h";
    for (int op = 0; op < 64 && in.More(); ++op) {
        int a = in.Coord(), b = in.Coord(), c = in.Coord(), d = in.Coord();
        RECT r{a, b, c, d};
        switch (in.Byte() % 16) {
            case 0:
                SetPixel(dc, a, b, static_cast<COLORREF>(c));
                break;
            case 1:
                MoveToEx(dc, a, b, nullptr), LineTo(dc, c, d);
                break;
            case 2:
                Rectangle(dc, a, b, c, d);
                break;
            case 3:
                Ellipse(dc, a, b, c, d);
                break;
            case 4:
                RoundRect(dc, a, b, c, d, in.Small(), in.Small());
                break;
            case 5:
                FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                break;
            case 6:
                BitBlt(dc, a, b, c, d, other, in.Coord(), in.Coord(), SRCCOPY);
                break;
            case 7:
                BitBlt(other, a, b, c, d, dc, in.Coord(), in.Coord(), in.Any());
                break;
            case 8:
                StretchBlt(dc, a, b, c, d, other, in.Small(), in.Small(), in.Coord(), in.Coord(),
                           SRCCOPY);
                break;
            case 9:
                TransparentImage(other, a, b, c, d, dc, in.Small(), in.Small(), in.Coord(),
                                 in.Coord(), RGB(0, 0, 0));
                break;
            case 10:
                ScrollDC(dc, in.Small(), in.Small(), &r, nullptr, nullptr, nullptr);
                break;
            case 11:
                ExtTextOutW(dc, a, b, in.Byte() & 6, &r, text, in.Byte() % 15, nullptr);
                break;
            case 12:
                DrawTextW(dc, text, in.Byte() % 15, &r, in.Any());
                break;
            case 13:
                IntersectClipRect(dc, a, b, c, d);
                break;
            case 14:
                SetViewportOrgEx(dc, in.Small(), in.Small(), nullptr);
                break;
            case 15:
                SetROP2(dc, in.Byte() % 18);
                break;
        }
    }
    if (dib) SelectObject(dc, oldDib);
    SelectObject(other, oldPlain);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(font);
    DeleteObject(pen);
    DeleteObject(dib);
    DeleteObject(plain);
    DeleteDC(dc);
    DeleteDC(other);
    return 0;
}
