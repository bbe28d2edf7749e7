#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/handles.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/modules.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/resources/device_resources.h"
#include "support/platform/temp_device.h"

namespace {

MENUITEMINFOW Info(UINT mask) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    return info;
}

std::u16string ItemText(HMENU menu, UINT item, BOOL byPosition) {
    WCHAR buffer[64] = {};
    MENUITEMINFOW info = Info(MIIM_STRING);
    info.dwTypeData = buffer;
    info.cch = 64;
    if (!GetMenuItemInfoW(menu, item, byPosition, &info)) return u"<none>";
    return buffer;
}

// File (Open 101, a "Recent" pop-up holding 201 and 202, a separator, Exit 102).
struct SampleMenus {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU recent = CreatePopupMenu();
    SampleMenus() {
        AppendMenuW(recent, MF_STRING, 201, u"a.prc");
        AppendMenuW(recent, MF_STRING | MF_GRAYED, 202, u"b.prc");
        AppendMenuW(file, MF_STRING, 101, u"Open");
        AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), u"Recent");
        AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(file, MF_STRING | MF_CHECKED, 102, u"Exit");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
    }
    ~SampleMenus() { DestroyMenu(bar); }
};

TEST(MenuHandles, BadDestroyedAndForeignHandlesAreRefused) {
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(DestroyMenu(menu));
    HMENU reused = CreatePopupMenu();  // may take the same slot
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HMENU bad :
         {HMENU{nullptr}, menu, reinterpret_cast<HMENU>(0x1234), reinterpret_cast<HMENU>(event)}) {
        SetLastError(0);
        EXPECT_EQ(GetMenuItemCount(bad), -1);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
        EXPECT_FALSE(DestroyMenu(bad));
        MENUITEMINFOW info = Info(MIIM_ID);
        EXPECT_FALSE(SetMenuItemInfoW(bad, 0, TRUE, &info));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    }
    EXPECT_EQ(GetMenuItemCount(reused), 0);
    EXPECT_FALSE(CloseHandle(reused));  // not a kernel object to close
    EXPECT_TRUE(DestroyMenu(reused));
    EXPECT_TRUE(CloseHandle(event));
}

TEST(MenuHandles, DestroyFreesEverySubMenuOnce) {
    size_t before = fvt::OpenHandleCount();
    HMENU recentCopy;
    {
        SampleMenus m;
        // The same pop-up twice, and a pop-up destroyed on its own beforehand.
        AppendMenuW(m.bar, MF_POPUP, reinterpret_cast<UINT_PTR>(m.recent), u"Again");
        HMENU gone = CreatePopupMenu();
        AppendMenuW(m.bar, MF_POPUP, reinterpret_cast<UINT_PTR>(gone), u"Gone");
        ASSERT_TRUE(DestroyMenu(gone));
        EXPECT_EQ(GetSubMenu(m.bar, 2), nullptr);  // now a plain item
        EXPECT_EQ(fvt::OpenHandleCount(), before + 3);
        recentCopy = m.recent;
    }
    EXPECT_EQ(fvt::OpenHandleCount(), before);
    EXPECT_EQ(GetMenuItemCount(recentCopy), -1);
}

TEST(MenuHandles, AMenuCannotContainItself) {
    SampleMenus m;
    EXPECT_FALSE(AppendMenuW(m.file, MF_POPUP, reinterpret_cast<UINT_PTR>(m.file), u"Self"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(InsertMenuW(m.recent, 0, MF_BYPOSITION | MF_POPUP,
                             reinterpret_cast<UINT_PTR>(m.bar), u"Loop"));
    MENUITEMINFOW info = Info(MIIM_SUBMENU | MIIM_ID);
    info.hSubMenu = m.file;
    info.wID = 999;
    EXPECT_FALSE(SetMenuItemInfoW(m.recent, 201, FALSE, &info));
    // Refused as a whole: the id is unchanged too.
    EXPECT_EQ(ItemText(m.bar, 201, FALSE), u"a.prc");
    EXPECT_EQ(GetMenuItemCount(m.recent), 2);
}

TEST(MenuItems, ByCommandSearchesSubMenus) {
    SampleMenus m;
    EXPECT_EQ(ItemText(m.bar, 202, FALSE), u"b.prc");
    // Insert before a nested command: lands in the menu holding it.
    ASSERT_TRUE(InsertMenuW(m.bar, 202, MF_BYCOMMAND | MF_STRING, 203, u"c.prc"));
    EXPECT_EQ(GetMenuItemCount(m.recent), 3);
    EXPECT_EQ(ItemText(m.recent, 1, TRUE), u"c.prc");
    EXPECT_EQ(GetMenuItemCount(m.bar), 1);
    // States by command, answering the previous state.
    EXPECT_EQ(EnableMenuItem(m.bar, 202, MF_ENABLED), static_cast<BOOL>(MF_GRAYED));
    EXPECT_EQ(EnableMenuItem(m.bar, 202, MF_GRAYED), static_cast<BOOL>(MF_ENABLED));
    EXPECT_EQ(CheckMenuItem(m.bar, 102, MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(m.bar, 102, MF_CHECKED), MF_UNCHECKED);
    SetLastError(0);
    EXPECT_EQ(EnableMenuItem(m.bar, 555, MF_GRAYED), -1);
    EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
    EXPECT_FALSE(InsertMenuW(m.bar, 555, MF_STRING, 1, u"x"));
    // A pop-up item answers its own id only when nothing inside it does.
    MENUITEMINFOW id = Info(MIIM_ID);
    id.wID = 201;
    ASSERT_TRUE(SetMenuItemInfoW(m.file, 1, TRUE, &id));
    EXPECT_EQ(ItemText(m.bar, 201, FALSE), u"a.prc");
    id.wID = 300;
    ASSERT_TRUE(SetMenuItemInfoW(m.file, 1, TRUE, &id));
    EXPECT_EQ(ItemText(m.bar, 300, FALSE), u"Recent");
}

TEST(MenuItems, PositionsAreBoundsChecked) {
    SampleMenus m;
    ASSERT_TRUE(InsertMenuW(m.file, 0, MF_BYPOSITION | MF_STRING, 100, u"New"));
    ASSERT_TRUE(InsertMenuW(m.file, 0xFFFFFFFF, MF_BYPOSITION | MF_STRING, 103, u"Last"));
    ASSERT_EQ(GetMenuItemCount(m.file), 6);
    EXPECT_EQ(ItemText(m.file, 0, TRUE), u"New");
    EXPECT_EQ(ItemText(m.file, 5, TRUE), u"Last");
    EXPECT_EQ(ItemText(m.file, 6, TRUE), u"<none>");
    EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
    EXPECT_EQ(GetSubMenu(m.file, 2), m.recent);
    EXPECT_EQ(GetSubMenu(m.file, 1), nullptr);
    EXPECT_EQ(GetSubMenu(m.file, -1), nullptr);
    EXPECT_EQ(CheckMenuItem(m.file, 6, MF_BYPOSITION | MF_CHECKED), static_cast<DWORD>(-1));
}

TEST(MenuItems, TextsAreCutToTheBufferAndTheirLengthReported) {
    SampleMenus m;
    WCHAR small[4] = {u'x', u'x', u'x', u'x'};
    MENUITEMINFOW info = Info(MIIM_STRING);
    info.dwTypeData = small;
    info.cch = 4;
    ASSERT_TRUE(GetMenuItemInfoW(m.file, 101, FALSE, &info));
    EXPECT_EQ(std::u16string(small), u"Ope");
    EXPECT_EQ(info.cch, 4u);  // the whole length: it did not fit
    info.dwTypeData = nullptr;
    info.cch = 0;
    ASSERT_TRUE(GetMenuItemInfoW(m.file, 102, FALSE, &info));
    EXPECT_EQ(info.cch, 4u);
    // The older form gives no text for a separator.
    info = Info(MIIM_TYPE);
    info.dwTypeData = small;
    info.cch = 4;
    ASSERT_TRUE(GetMenuItemInfoW(m.file, 2, TRUE, &info));
    EXPECT_EQ(info.fType, MFT_SEPARATOR);
    EXPECT_EQ(info.cch, 0u);
}

TEST(MenuItems, SettingFieldsAndRefusingBadRecords) {
    SampleMenus m;
    MENUITEMINFOW info = Info(MIIM_STRING | MIIM_DATA | MIIM_STATE);
    WCHAR text[] = u"Ouvrir";
    info.dwTypeData = text;
    info.dwItemData = 0x1234;
    info.fState = MFS_GRAYED | MFS_CHECKED;
    ASSERT_TRUE(SetMenuItemInfoW(m.bar, 101, FALSE, &info));
    EXPECT_EQ(ItemText(m.file, 0, TRUE), u"Ouvrir");
    MENUITEMINFOW back = Info(MIIM_DATA | MIIM_STATE | MIIM_ID);
    ASSERT_TRUE(GetMenuItemInfoW(m.file, 0, TRUE, &back));
    EXPECT_EQ(back.dwItemData, 0x1234u);
    EXPECT_EQ(back.fState, MFS_GRAYED | MFS_CHECKED);
    EXPECT_EQ(back.wID, 101u);
    info = Info(MIIM_STRING);  // a null text empties the item
    ASSERT_TRUE(SetMenuItemInfoW(m.file, 0, TRUE, &info));
    EXPECT_EQ(ItemText(m.file, 0, TRUE), u"");

    MENUITEMINFOW bad = Info(MIIM_STRING);
    bad.cbSize = sizeof(bad) - 4;
    EXPECT_FALSE(SetMenuItemInfoW(m.file, 0, TRUE, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetMenuItemInfoW(m.file, 0, TRUE, nullptr));
    bad = Info(MIIM_SUBMENU);
    bad.hSubMenu = reinterpret_cast<HMENU>(0x1234);
    EXPECT_FALSE(SetMenuItemInfoW(m.file, 0, TRUE, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    EXPECT_FALSE(AppendMenuW(m.file, 0x0100, 7, u"owner drawn"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    EXPECT_EQ(GetMenuItemCount(m.file), 4);
}

TEST(MenuItems, FoundByNameInTheSystemLibrary) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    HMODULE core = LoadLibraryW(u"coredll.dll");
    EXPECT_EQ(GetProcAddressW(core, u"SetMenuItemInfoW"),
              reinterpret_cast<FARPROC>(&SetMenuItemInfoW));
    FreeLibrary(core);
}

}  // namespace

namespace {

TEST(MenuEdits, RadioMarksMoveWithinTheRangeOnly) {
    fvt::test::TempDevice device;
    HMENU menu = CreatePopupMenu();
    for (UINT id = 1098; id <= 1100; ++id) AppendMenuW(menu, MF_STRING, id, u"x");
    AppendMenuW(menu, MF_STRING | MF_CHECKED, 2000, u"outside");
    ASSERT_TRUE(CheckMenuRadioItem(menu, 0, 2, 1, MF_BYPOSITION));
    MENUITEMINFOW info = Info(MIIM_STATE | MIIM_TYPE);
    ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &info));
    EXPECT_EQ(info.fState & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(info.fType & MFT_RADIOCHECK, MFT_RADIOCHECK);
    ASSERT_TRUE(CheckMenuRadioItem(menu, 1098, 1100, 1100, MF_BYCOMMAND));
    ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &info));
    EXPECT_EQ(info.fState & MF_CHECKED, 0u);
    ASSERT_TRUE(GetMenuItemInfoW(menu, 3, TRUE, &info));
    EXPECT_EQ(info.fState & MF_CHECKED, MF_CHECKED);  // past the range: untouched
    // The checked item must lie in the range.
    EXPECT_FALSE(CheckMenuRadioItem(menu, 0, 1, 2, MF_BYPOSITION));
    EXPECT_FALSE(CheckMenuRadioItem(menu, 2, 0, 1, MF_BYPOSITION));
    EXPECT_FALSE(CheckMenuRadioItem(menu, 0, 9, 1, MF_BYPOSITION));
    DestroyMenu(menu);
}

TEST(MenuEdits, DeleteDestroysTheSubMenuAndRemoveKeepsIt) {
    fvt::test::TempDevice device;
    HMENU menu = CreatePopupMenu();
    HMENU a = CreatePopupMenu();
    HMENU b = CreatePopupMenu();
    AppendMenuW(a, MF_STRING, 1, u"in a");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(a), u"A");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(b), u"B");
    AppendMenuW(menu, MF_STRING, 40042, u"RESCAN...");
    ASSERT_TRUE(RemoveMenu(menu, 1, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemCount(b), 0);  // still alive
    ASSERT_TRUE(DeleteMenu(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemCount(a), -1);  // destroyed with its item
    ASSERT_TRUE(DeleteMenu(menu, 40042, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    EXPECT_FALSE(DeleteMenu(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
    DestroyMenu(b);
    DestroyMenu(menu);
}

TEST(MenuResources, TheCompiledMenusHoldTheDesignsItems) {
    fvt::test::TempDevice device;
    HMENU reader = LoadMenuW(nullptr, MAKEINTRESOURCEW(103));
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(GetMenuItemCount(reader), 2);
    HMENU menu = GetSubMenu(reader, 1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(ItemText(menu, 3, TRUE), u"Navigate");
    EXPECT_EQ(ItemText(menu, 40078, FALSE), u"Find...");
    EXPECT_EQ(ItemText(GetSubMenu(menu, 8), 0, TRUE), u"Fullscreen");
    DestroyMenu(reader);
    // The audio menu's positions 0, 1 and 8 are the ones the program relabels.
    HMENU audio = LoadMenuW(nullptr, MAKEINTRESOURCEW(1116));
    ASSERT_NE(audio, nullptr);
    HMENU audioMenu = GetSubMenu(audio, 1);
    EXPECT_NE(GetSubMenu(audioMenu, 0), nullptr);
    EXPECT_NE(GetSubMenu(audioMenu, 1), nullptr);
    MENUITEMINFOW info = Info(MIIM_ID);
    ASSERT_TRUE(GetMenuItemInfoW(audioMenu, 8, TRUE, &info));
    EXPECT_EQ(info.wID, 40035u);
    DestroyMenu(audio);
    for (WORD id : {103, 104, 108, 109, 214, 505, 509, 1116, 7413, 7414}) {
        HMENU m = LoadMenuW(nullptr, MAKEINTRESOURCEW(id));
        EXPECT_NE(m, nullptr) << id;
        DestroyMenu(m);
    }
    EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(211)), nullptr);
}

TEST(MenuResources, AFrenchDeviceReadsFrenchTexts) {
    fvt::test::TempDevice device("language = fr\n");
    HMENU reader = LoadMenuW(nullptr, MAKEINTRESOURCEW(103));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ItemText(reader, 0, TRUE), u"Retour");
    DestroyMenu(reader);
}

TEST(MenuResources, DamagedRecordsAreRefused) {
    fvt::test::TempDevice device;
    // One item, a pop-up whose items run past the end.
    const BYTE cut[] = {1, 0, 0x10, 0, 0x34, 0x12, 0, 0, 5, 0};
    EXPECT_EQ(fvt::MenuFromResource(cut, sizeof cut), nullptr);
    const BYTE unknownFlag[] = {1, 0, 0x00, 0x40, 1, 0, 0, 0};
    EXPECT_EQ(fvt::MenuFromResource(unknownFlag, sizeof unknownFlag), nullptr);
    const BYTE trailing[] = {0, 0, 9};
    EXPECT_EQ(fvt::MenuFromResource(trailing, sizeof trailing), nullptr);
    const BYTE empty[] = {0, 0};
    HMENU none = fvt::MenuFromResource(empty, sizeof empty);
    EXPECT_EQ(GetMenuItemCount(none), 0);
    DestroyMenu(none);
    // Pop-ups nested without end.
    std::vector<BYTE> deep;
    for (int i = 0; i < 20; ++i) deep.insert(deep.end(), {1, 0, 0x10, 0, 0, 0, 0, 0});
    deep.insert(deep.end(), {0, 0});
    EXPECT_EQ(fvt::MenuFromResource(deep.data(), static_cast<DWORD>(deep.size())), nullptr);
}

}  // namespace
