#include <png.h>

#include <cstring>
#include <vector>

#include "platform/gdi/gdi_layer.h"
#include "platform/kernel/device.h"
#include "platform/kernel/modules.h"
#include "platform/last_error.h"
#include "platform/resources/device_resources.h"

namespace fvt {

namespace {

constexpr size_t kGroupEntrySize = 14;

struct GroupEntry {
    int size;
    WORD imageId;
};

std::vector<GroupEntry> ReadGroup(const BYTE* data, DWORD size) {
    std::vector<GroupEntry> entries;
    if (size < 6) return entries;
    size_t count = data[4] | (data[5] << 8);
    for (size_t i = 0; i < count && 6 + (i + 1) * kGroupEntrySize <= size; ++i) {
        const BYTE* e = data + 6 + i * kGroupEntrySize;
        entries.push_back({e[0] == 0 ? 256 : e[0], static_cast<WORD>(e[12] | (e[13] << 8))});
    }
    return entries;
}

const BinaryResource* Find(WORD type, WORD id) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    return reinterpret_cast<const BinaryResource*>(found);
}

// PNG bytes to 0xAARRGGBB pixels, rows top first.
bool DecodePng(const BYTE* data, DWORD size, int& width, int& height,
               std::vector<std::uint32_t>& pixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;  // little-endian words 0xAARRGGBB
    pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

int SystemIconSize() {
    return 32 * Profile().dpi / 96;
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy,
                             UINT flags) {
    (void)flags;  // colour and size flags: icons are always full colour, 0 means the default
    if (type != IMAGE_ICON || !IS_INTRESOURCE(name) || cx < 0 || cy < 0 || cx > 1024 || cy > 1024) {
        return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    if (instance != nullptr && instance != ProgramInstance()) {
        return Fail(ERROR_RESOURCE_DATA_NOT_FOUND, HANDLE{nullptr});
    }
    auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    const BinaryResource* group = Find(RT_GROUP_ICON, id);
    if (!group) return nullptr;
    std::vector<GroupEntry> entries = ReadGroup(group->data, group->size);
    if (entries.empty()) return Fail(ERROR_INVALID_DATA, HANDLE{nullptr});
    if (cx == 0) cx = SystemIconSize();
    if (cy == 0) cy = SystemIconSize();
    // The exact size, else the smallest larger one, else the largest.
    const GroupEntry* best = nullptr;
    for (auto& e : entries) {
        bool better = !best || (best->size < cx ? e.size > best->size
                                                : (e.size >= cx && e.size < best->size));
        if (better) best = &e;
    }
    const BinaryResource* image = Find(RT_ICON, best->imageId);
    if (!image) return Fail(ERROR_INVALID_DATA, HANDLE{nullptr});
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!DecodePng(image->data, image->size, width, height, pixels)) {
        return Fail(ERROR_INVALID_DATA, HANDLE{nullptr});
    }
    if (width != cx || height != cy) {
        std::vector<std::uint32_t> scaled(static_cast<size_t>(cx) * cy);
        for (int y = 0; y < cy; ++y) {
            for (int x = 0; x < cx; ++x) {
                scaled[static_cast<size_t>(y) * cx + x] =
                    pixels[static_cast<size_t>(y * height / cy) * width + x * width / cx];
            }
        }
        pixels.swap(scaled);
    }
    return GdiCreateIconFromPixels(cx, cy, pixels.data());
}

extern "C" HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

extern "C" HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR) {
    return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HACCEL{nullptr});
}
