// stringsheet LANG OUT.png [--size WxH]: draws a sample of the program's strings and icons in the
// language LANG ("en" or "fr") onto the device screen and writes the screen as a PNG, so that the
// two languages can be looked at side by side.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gdi.h"
#include "platform/kernel/device.h"
#include "platform/kernel/system_time.h"
#include "platform/resources/device_resources.h"

namespace {

// Menu commands, library columns and messages, each with the icon that goes with it in the
// program (0 where there is none).
struct Sample {
    UINT id;
    UINT icon;
};
constexpr Sample kSamples[] = {
    {5063, 151}, {5002, 202}, {5084, 180}, {5086, 182}, {5093, 194}, {5004, 153},
    {5204, 154}, {5202, 199}, {5128, 152}, {5335, 150}, {5402, 200}, {5043, 201},
    {5135, 205}, {5448, 179}, {5020, 149}, {5005, 155}, {5210, 208}, {5156, 129},
    {5158, 130}, {5034, 236}, {5099, 0},
};

int Fail(const char* why) {
    std::fprintf(stderr, "stringsheet: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "fr") != 0)) {
        std::fprintf(stderr, "usage: stringsheet en|fr OUT.png [DEVICE-FOLDER]\n");
        return 2;
    }
    std::string root = argc > 3 ? argv[3] : std::string(argv[2]) + ".device";
    std::string profile = std::string("language = ") + argv[1] + "\n";
    if (!fvt::OpenDevice(root, profile)) return Fail("cannot open the device folder");
    const UINT offset = (GetSystemDefaultLangID() & 0x3FF) == LANG_FRENCH ? 1000 : 0;

    HDC dc = GdiCreateScreenDC();
    if (!dc) return Fail("no screen");
    const int width = GetDeviceCaps(dc, HORZRES);
    const int height = GetDeviceCaps(dc, VERTRES);
    RECT all = {0, 0, width, height};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);

    LOGFONTW face = {};
    face.lfHeight = -11;
    face.lfWeight = 400;
    std::memcpy(face.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    HFONT font = CreateFontIndirectW(&face);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));

    const int row = 17;
    int y = 2;
    int missing = 0;
    for (const Sample& sample : kSamples) {
        if (y + row > height) break;
        const WCHAR* text = nullptr;
        int length = LoadStringW(nullptr, sample.id + offset, reinterpret_cast<LPWSTR>(&text), 0);
        if (length <= 0 || !text) {
            ++missing;
            continue;
        }
        if (sample.icon) {
            HICON icon = static_cast<HICON>(
                LoadImageW(nullptr, MAKEINTRESOURCEW(sample.icon), IMAGE_ICON, 16, 16, 0));
            if (icon) {
                DrawIconEx(dc, 3, y, icon, 16, 16, 0, nullptr, DI_NORMAL);
                DestroyIcon(icon);
            } else {
                ++missing;
            }
        }
        RECT line = {23, y, width - 2, y + row};
        DrawTextW(dc, text, length, &line,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        y += row;
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteObject(white);

    bool saved = GdiSavePng(dc, argv[2]);
    DeleteDC(dc);
    fvt::CloseDevice();
    if (!saved) return Fail("cannot write the picture");
    if (missing) return Fail("some strings or icons are missing");
    return 0;
}
