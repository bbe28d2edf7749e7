// Menus from the compiled menu resources. A menu is a u16 item count, then per item: u16 flags
// (MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED), u16 id, text, and for a pop-up its own items.
#include "platform/kernel/system_time.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/menu/resource_blob.h"
#include "platform/resources/device_resources.h"

namespace fvt {

std::uint16_t ResourceReader::U16() {
    if (!ok_ || size_ - at_ < 2) {
        ok_ = false;
        return 0;
    }
    auto v = static_cast<std::uint16_t>(data_[at_] | (data_[at_ + 1] << 8));
    at_ += 2;
    return v;
}

std::uint32_t ResourceReader::U32() {
    std::uint32_t low = U16();
    return low | (static_cast<std::uint32_t>(U16()) << 16);
}

std::u16string ResourceReader::Text() {
    std::uint16_t n = U16();
    if (n == 0xFFFF) return LocalString(U16());
    std::u16string out;
    if (!ok_ || (size_ - at_) / 2 < n) {
        ok_ = false;
        return out;
    }
    for (std::uint16_t i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(U16()));
    return out;
}

std::u16string LocalString(UINT id) {
    bool french = (GetSystemDefaultLangID() & 0x3FF) == LANG_FRENCH;
    const StringResource* s = FindString(id + (french ? 1000 : 0));
    return s ? std::u16string(s->text, s->length) : std::u16string();
}

namespace {

constexpr int kMaxDepth = 8;

bool ReadItems(ResourceReader& in, HMENU menu, int depth) {
    std::uint16_t count = in.U16();
    for (std::uint16_t i = 0; i < count && in.ok(); ++i) {
        std::uint16_t flags = in.U16();
        std::uint16_t id = in.U16();
        std::u16string text = in.Text();
        if (!in.ok() || (flags & ~(MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_CHECKED)) != 0)
            return false;
        if (flags & MF_POPUP) {
            if (depth >= kMaxDepth) return false;
            HMENU sub = CreatePopupMenu();
            if (!sub) return false;
            if (!ReadItems(in, sub, depth + 1) ||
                !AppendMenuW(menu, flags, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
                DestroyMenu(sub);
                return false;
            }
            // The pop-up keeps the id of its bar button.
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID;
            info.wID = id;
            SetMenuItemInfoW(menu, static_cast<UINT>(GetMenuItemCount(menu) - 1), TRUE, &info);
        } else if (!AppendMenuW(menu, flags, id, text.c_str())) {
            return false;
        }
    }
    return in.ok();
}

}  // namespace

HMENU MenuFromResource(const BYTE* data, DWORD size) {
    ResourceReader in(data, size);
    HMENU menu = CreateMenu();
    if (!menu) return nullptr;
    if (!ReadItems(in, menu, 0) || !in.AtEnd()) {
        DestroyMenu(menu);
        return Fail(ERROR_RESOURCE_DATA_NOT_FOUND, HMENU{nullptr});
    }
    return menu;
}

}  // namespace fvt

extern "C" HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(RT_MENU));
    if (!found) return nullptr;
    HGLOBAL data = LoadResource(instance, found);
    return fvt::MenuFromResource(static_cast<const BYTE*>(LockResource(data)),
                                 SizeofResource(instance, found));
}
