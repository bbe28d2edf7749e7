#include <gtest/gtest.h>

#include <cstring>

#include "platform/storage/registry.h"
#include "support/platform/temp_device.h"

namespace {

bool Opens(LPCWSTR sub) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, sub, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::u16string ReadString(HKEY root, LPCWSTR sub, LPCWSTR name) {
    HKEY key;
    if (RegOpenKeyExW(root, sub, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
    WCHAR buffer[128];
    DWORD size = sizeof buffer, type = 0;
    LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return u"<no value>";
    return buffer;
}

}  // namespace

TEST(Registry, DefaultHasHtmButNotWma) {
    fvt::test::TempDevice device;
    EXPECT_TRUE(Opens(u".htm"));
    EXPECT_TRUE(Opens(u".HTM"));
    EXPECT_FALSE(Opens(u".wma"));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".htm", nullptr), u"htmlfile");
    EXPECT_NE(ReadString(HKEY_CLASSES_ROOT, u"htmlfile\\Shell\\Open\\Command", u""), u"<no value>");
}

TEST(Registry, ProfileSwitchesTheAssociations) {
    fvt::test::TempDevice device("wma_association = 1\nhtm_association = 0\n");
    EXPECT_TRUE(Opens(u".wma"));
    EXPECT_FALSE(Opens(u".htm"));
}

TEST(Registry, ValuesSurviveARestartOfTheDevice) {
    fvt::test::TempDevice device;
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Folivant\\Reader", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const char16_t text[] = u"tab\there\nnew line \u00e9";
    ASSERT_EQ(
        RegSetValueExW(key, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
        ERROR_SUCCESS);
    DWORD number = 0xDEADBEEF;
    ASSERT_EQ(RegSetValueExW(key, u"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_TRUE(fvt::OpenDevice(device.root()));  // a restart on the same root
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, u"software\\FOLIVANT\\reader", u"name"), text);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Folivant\\Reader", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = 4;
    EXPECT_EQ(
        RegQueryValueExW(key, u"Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 0xDEADBEEFu);
    RegCloseKey(key);
}

TEST(Registry, SizesAndShortBuffers) {
    fvt::test::TempDevice device;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u".htm", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof(u"htmlfile"));
    BYTE small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof(u"htmlfile"));
    EXPECT_EQ(RegQueryValueExW(key, u"absent", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"y"), 4),
              ERROR_ACCESS_DENIED);  // opened for reading
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST(Registry, DeletingAKeyTakesItsSubKeysAndLeavesOpenHandlesHarmless) {
    fvt::test::TempDevice device;
    HKEY key, sub;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                    nullptr);
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    EXPECT_EQ(RegDeleteKeyW(key, u"B"), ERROR_SUCCESS);
    HKEY probe;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"A\\B\\C", 0, KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExW(sub, u"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"y"), 4),
              ERROR_BADKEY);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_INVALID_PARAMETER);
    RegCloseKey(sub);
    RegCloseKey(key);
}

TEST(Registry, CorruptLinesInTheFileAreSkipped) {
    fvt::test::TempDevice device;
    device.WriteHost(".folivant-registry",
                     "K\tHKEY_CLASSES_ROOT\\.txt\nV\t\t1\t7400780074000000\nV\tbroken\t1\tzz\n"
                     "garbage line\nV\tx\t99\t00\n");
    ASSERT_TRUE(fvt::OpenDevice(device.root()));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".txt", nullptr), u"txt");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".txt", u"broken"), u"<no value>");
}
