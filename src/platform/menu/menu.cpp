#include "platform/menu/menu.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/last_error.h"

namespace {

using fvt::Fail;
using fvt::KernelObject;
using fvt::ObjectKind;

struct Item {
    UINT type = MFT_STRING;
    UINT state = 0;
    UINT id = 0;
    HMENU subMenu = nullptr;
    DWORD_PTR data = 0;
    std::u16string text;
};

class MenuObject : public KernelObject {
public:
    explicit MenuObject(bool popup) : KernelObject(ObjectKind::Menu), popup(popup) {}
    bool popup;  // made by CreatePopupMenu (a bar otherwise)
    std::vector<Item> items;
};

using MenuPtr = std::shared_ptr<MenuObject>;

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;
constexpr UINT kKnownMasks =
    MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA | MIIM_STRING;

// Every menu is changed under this one lock: a command search crosses menus.
std::mutex& MenuLock() {
    static std::mutex* lock = new std::mutex;  // menus may be destroyed during exit
    return *lock;
}

MenuPtr Lookup(HMENU menu) {
    auto object = fvt::LookupHandleAs<MenuObject>(reinterpret_cast<HANDLE>(menu), ObjectKind::Menu);
    if (!object) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return object;
}

// A live sub-menu, without touching the last error (a destroyed sub-menu leaves a plain item).
MenuPtr LiveSubMenu(const Item& item) {
    if (!item.subMenu) return nullptr;
    DWORD saved = GetLastError();
    MenuPtr sub =
        fvt::LookupHandleAs<MenuObject>(reinterpret_cast<HANDLE>(item.subMenu), ObjectKind::Menu);
    SetLastError(saved);
    return sub;
}

std::u16string TextOf(LPCWSTR text) {
    std::u16string out;
    if (text)
        while (*text) out.push_back(*text++);
    return out;
}

struct Reached {
    HMENU handle;
    MenuPtr menu;
};

// Every menu reachable from root through sub-menus, root first, each once.
std::vector<Reached> Reachable(HMENU rootHandle, const MenuPtr& root) {
    std::vector<Reached> found{{rootHandle, root}};
    std::unordered_set<MenuObject*> seen{root.get()};
    for (size_t i = 0; i < found.size(); ++i) {
        for (const Item& item : found[i].menu->items) {
            MenuPtr sub = LiveSubMenu(item);
            if (sub && seen.insert(sub.get()).second) found.push_back({item.subMenu, sub});
        }
    }
    return found;
}

// Attaching `sub` under `parent` must not close a loop.
bool WouldLoop(const MenuPtr& parent, HMENU subHandle, const MenuPtr& sub) {
    for (const Reached& r : Reachable(subHandle, sub))
        if (r.menu == parent) return true;
    return false;
}

struct Where {
    MenuPtr menu;
    size_t index = 0;
};

bool FindByCommand(const MenuPtr& root, UINT id, Where& out) {
    struct Frame {
        MenuPtr menu;
        size_t next;
    };
    std::vector<Frame> stack{{root, 0}};
    // Menus hold a handful of sub-menus, and the reader looks up every item of its bar after
    // each page turn: a short list beats a hash set's allocations.
    std::vector<MenuObject*> seen{root.get()};
    auto firstVisit = [&seen](MenuObject* m) {
        if (std::find(seen.begin(), seen.end(), m) != seen.end()) return false;
        seen.push_back(m);
        return true;
    };
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.menu->items.size()) {
            stack.pop_back();
            // Back from a sub-menu that did not hold the id: its pop-up item may.
            if (!stack.empty()) {
                Frame& parent = stack.back();
                if (parent.menu->items[parent.next - 1].id == id) {
                    out = {parent.menu, parent.next - 1};
                    return true;
                }
            }
            continue;
        }
        size_t i = top.next++;
        const Item& item = top.menu->items[i];
        MenuPtr sub = LiveSubMenu(item);
        if (sub && firstVisit(sub.get())) {
            stack.push_back({sub, 0});
            continue;
        }
        if (item.id == id) {
            out = {top.menu, i};
            return true;
        }
    }
    return false;
}

// The item addressed in `menu`; false with the last error set.
bool Locate(HMENU menu, UINT item, bool byPosition, Where& out) {
    MenuPtr m = Lookup(menu);
    if (!m) return false;
    if (byPosition) {
        if (item >= m->items.size()) return Fail(ERROR_MENU_ITEM_NOT_FOUND, false);
        out = {m, item};
        return true;
    }
    if (!FindByCommand(m, item, out)) return Fail(ERROR_MENU_ITEM_NOT_FOUND, false);
    return true;
}

// The new item of AppendMenuW/InsertMenuW; false with the last error set.
bool MakeItem(const MenuPtr& parent, UINT flags, UINT_PTR idNewItem, LPCWSTR text, Item& out) {
    if ((flags & ~(kStateBits | MF_POPUP | MF_SEPARATOR | MF_BYPOSITION)) != 0 ||
        ((flags & MF_POPUP) && (flags & MF_SEPARATOR)))
        return Fail(ERROR_INVALID_FLAGS, false);
    out.state = flags & kStateBits;
    if (flags & MF_SEPARATOR) {
        out.type = MFT_SEPARATOR;
        out.id = static_cast<UINT>(idNewItem);
        return true;
    }
    out.text = TextOf(text);
    if (flags & MF_POPUP) {
        HMENU subHandle = reinterpret_cast<HMENU>(idNewItem);
        MenuPtr sub = Lookup(subHandle);
        if (!sub) return false;
        if (WouldLoop(parent, subHandle, sub)) return Fail(ERROR_INVALID_PARAMETER, false);
        out.subMenu = subHandle;
        return true;
    }
    out.id = static_cast<UINT>(idNewItem);
    return true;
}

// Copies an item's text out as MENUITEMINFOW describes.
void CopyTextOut(const std::u16string& text, MENUITEMINFOW* info) {
    if (info->dwTypeData && info->cch > 0) {
        size_t n = text.size() < info->cch - 1 ? text.size() : info->cch - 1;
        text.copy(info->dwTypeData, n);
        info->dwTypeData[n] = 0;
    }
    info->cch = static_cast<UINT>(text.size());
}

HMENU Create(bool popup) {
    auto menu = std::make_shared<MenuObject>(popup);
    return reinterpret_cast<HMENU>(fvt::InsertHandle(menu));
}

}  // namespace

extern "C" HMENU CreateMenu() {
    return Create(false);
}

extern "C" HMENU CreatePopupMenu() {
    return Create(true);
}

extern "C" BOOL DestroyMenu(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuPtr m = Lookup(menu);
    if (!m) return FALSE;
    for (const Reached& r : Reachable(menu, m))
        fvt::RemoveHandle(reinterpret_cast<HANDLE>(r.handle), ObjectKind::Menu);
    return TRUE;
}

extern "C" BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR text) {
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuPtr m = Lookup(menu);
    Item item;
    if (!m || !MakeItem(m, flags & ~MF_BYPOSITION, idNewItem, text, item)) return FALSE;
    m->items.push_back(std::move(item));
    return TRUE;
}

extern "C" BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem,
                            LPCWSTR text) {
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuPtr m = Lookup(menu);
    if (!m) return FALSE;
    Where at;
    if (flags & MF_BYPOSITION) {
        at = {m, position < m->items.size() ? position : m->items.size()};
    } else if (!FindByCommand(m, position, at)) {
        return Fail(ERROR_MENU_ITEM_NOT_FOUND, FALSE);
    }
    Item item;
    if (!MakeItem(at.menu, flags, idNewItem, text, item)) return FALSE;
    at.menu->items.insert(at.menu->items.begin() + static_cast<std::ptrdiff_t>(at.index),
                          std::move(item));
    return TRUE;
}

extern "C" int GetMenuItemCount(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuPtr m = Lookup(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

extern "C" HMENU GetSubMenu(HMENU menu, int position) {
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuPtr m = Lookup(menu);
    if (!m) return nullptr;
    if (position < 0 || static_cast<size_t>(position) >= m->items.size())
        return Fail(ERROR_MENU_ITEM_NOT_FOUND, HMENU{nullptr});
    const Item& item = m->items[static_cast<size_t>(position)];
    return LiveSubMenu(item) ? item.subMenu : nullptr;
}

extern "C" BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if (!info || info->cbSize != sizeof(MENUITEMINFOW) || (info->fMask & ~kKnownMasks) != 0)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Where at;
    if (!Locate(menu, item, byPosition != 0, at)) return FALSE;
    const Item& it = at.menu->items[at.index];
    if (info->fMask & MIIM_STATE) info->fState = it.state;
    if (info->fMask & MIIM_ID) info->wID = it.id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = LiveSubMenu(it) ? it.subMenu : nullptr;
    if (info->fMask & MIIM_DATA) info->dwItemData = it.data;
    if (info->fMask & MIIM_TYPE) info->fType = it.type;
    if (info->fMask & MIIM_STRING) {
        CopyTextOut(it.text, info);
    } else if (info->fMask & MIIM_TYPE) {
        // The older form: the text comes with the type, and only for string items.
        if (it.type == MFT_STRING) {
            CopyTextOut(it.text, info);
        } else {
            info->cch = 0;
        }
    }
    return TRUE;
}

extern "C" BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition,
                                 const MENUITEMINFOW* info) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if (!info || info->cbSize != sizeof(MENUITEMINFOW) || (info->fMask & ~kKnownMasks) != 0 ||
        ((info->fMask & MIIM_TYPE) && (info->fType & ~MFT_SEPARATOR) != 0) ||
        ((info->fMask & MIIM_STATE) && (info->fState & ~kStateBits) != 0))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Where at;
    if (!Locate(menu, item, byPosition != 0, at)) return FALSE;
    if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu) {
        MenuPtr sub = Lookup(info->hSubMenu);
        if (!sub) return FALSE;
        if (WouldLoop(at.menu, info->hSubMenu, sub)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    Item& it = at.menu->items[at.index];
    if (info->fMask & MIIM_TYPE) {
        it.type = info->fType;
        it.text = it.type == MFT_STRING ? TextOf(info->dwTypeData) : std::u16string();
    }
    if (info->fMask & MIIM_STRING) it.text = TextOf(info->dwTypeData);
    if (info->fMask & MIIM_STATE) it.state = info->fState;
    if (info->fMask & MIIM_ID) it.id = info->wID;
    if (info->fMask & MIIM_SUBMENU) it.subMenu = info->hSubMenu;  // a detached one stays alive
    if (info->fMask & MIIM_DATA) it.data = info->dwItemData;
    return TRUE;
}

extern "C" BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if ((flags & ~(MF_BYPOSITION | MF_GRAYED | MF_DISABLED)) != 0)
        return Fail(ERROR_INVALID_FLAGS, -1);
    Where at;
    if (!Locate(menu, item, (flags & MF_BYPOSITION) != 0, at)) return -1;
    UINT& state = at.menu->items[at.index].state;
    UINT previous = state & (MF_GRAYED | MF_DISABLED);
    state = (state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(previous);
}

extern "C" DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if ((flags & ~(MF_BYPOSITION | MF_CHECKED)) != 0)
        return Fail(ERROR_INVALID_FLAGS, static_cast<DWORD>(-1));
    Where at;
    if (!Locate(menu, item, (flags & MF_BYPOSITION) != 0, at)) return static_cast<DWORD>(-1);
    UINT& state = at.menu->items[at.index].state;
    DWORD previous = state & MF_CHECKED;
    state = (state & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

namespace {

// Removes the addressed item; with `destroy` its sub-menu goes too.
BOOL Remove(HMENU menu, UINT position, UINT flags, bool destroy) {
    HMENU doomed = nullptr;
    {
        std::lock_guard<std::mutex> guard(MenuLock());
        if ((flags & ~MF_BYPOSITION) != 0) return Fail(ERROR_INVALID_FLAGS, FALSE);
        Where at;
        if (!Locate(menu, position, (flags & MF_BYPOSITION) != 0, at)) return FALSE;
        auto it = at.menu->items.begin() + static_cast<std::ptrdiff_t>(at.index);
        if (destroy && LiveSubMenu(*it)) doomed = it->subMenu;
        at.menu->items.erase(it);
    }
    if (doomed) DestroyMenu(doomed);
    return TRUE;
}

}  // namespace

extern "C" BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if ((flags & ~MF_BYPOSITION) != 0) return Fail(ERROR_INVALID_FLAGS, FALSE);
    MenuPtr m = Lookup(menu);
    if (!m) return FALSE;
    Where a, b, c;
    bool byPosition = (flags & MF_BYPOSITION) != 0;
    if (!Locate(menu, first, byPosition, a) || !Locate(menu, last, byPosition, b) ||
        !Locate(menu, check, byPosition, c))
        return FALSE;
    // The three must share one menu, with the checked item inside the range.
    if (a.menu != b.menu || a.menu != c.menu || a.index > b.index || c.index < a.index ||
        c.index > b.index)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    for (size_t i = a.index; i <= b.index; ++i) {
        Item& it = a.menu->items[i];
        if (i == c.index) {
            it.state |= MF_CHECKED;
            it.type |= MFT_RADIOCHECK;
        } else {
            it.state &= ~MF_CHECKED;
            it.type &= ~MFT_RADIOCHECK;
        }
    }
    return TRUE;
}

extern "C" BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    return Remove(menu, position, flags, true);
}

extern "C" BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    return Remove(menu, position, flags, false);
}

std::vector<fvt::MenuItemView> fvt::MenuItems(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    std::vector<MenuItemView> out;
    DWORD saved = GetLastError();
    MenuPtr m = Lookup(menu);
    SetLastError(saved);
    if (!m) return out;
    for (const Item& it : m->items)
        out.push_back({it.type, it.state, it.id, LiveSubMenu(it) ? it.subMenu : nullptr, it.text});
    return out;
}
