// Dialog templates and menu resources from arbitrary bytes: a record is refused or read whole,
// never read past its end; a template read back is written again the same way, and a menu
// read is a menu that can be walked and destroyed.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/dialog/dialog_template.h"
#include "platform/menu/menu.h"

namespace {

int Walk(HMENU menu, int depth) {
    if (depth > 16) __builtin_trap();  // deeper than the reader allows
    int items = 0;
    for (const auto& item : fvt::MenuItems(menu)) {
        ++items;
        if (item.subMenu) items += Walk(item.subMenu, depth + 1);
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 16)) return 0;
    // The bytes as a template body behind a true header.
    std::vector<BYTE> record(8 + size);
    const DWORD total = static_cast<DWORD>(record.size());
    const DWORD magic = fvt::kDialogTemplateMagic;
    for (int i = 0; i < 4; ++i) {
        record[static_cast<size_t>(i)] = static_cast<BYTE>(magic >> (8 * i));
        record[4 + static_cast<size_t>(i)] = static_cast<BYTE>(total >> (8 * i));
    }
    if (size) std::memcpy(record.data() + 8, data, size);
    fvt::DialogTemplate t;
    if (fvt::ParseDialogTemplate(record.data(), t)) {
        std::vector<BYTE> again = fvt::BuildDialogTemplate(t);
        fvt::DialogTemplate back;
        if (!fvt::ParseDialogTemplate(again.data(), back) || back.items.size() != t.items.size() ||
            back.caption != t.caption || back.style != t.style)
            __builtin_trap();
    }
    HMENU menu = fvt::MenuFromResource(data, static_cast<DWORD>(size));
    if (menu) {
        Walk(menu, 0);
        DestroyMenu(menu);
    }
    return 0;
}
