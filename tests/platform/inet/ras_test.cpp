#include <gtest/gtest.h>

#include <cstring>

#include "platform/inet/inet.h"
#include "platform/kernel/modules.h"
#include "support/platform/temp_device.h"

namespace {

RASDIALPARAMSW Params(const char16_t* entry) {
    RASDIALPARAMSW p;
    std::memset(&p, 0, sizeof p);
    p.dwSize = sizeof p;
    std::u16string name(entry);
    std::copy(name.begin(), name.end(), p.szEntryName);
    return p;
}

}  // namespace

TEST(DialUp, EntriesWithoutSavedParametersFail) {
    fvt::test::TempDevice device;
    RASDIALPARAMSW p = Params(u"folv");
    BOOL hasPassword = TRUE;
    EXPECT_EQ(RasGetEntryDialParams(nullptr, &p, &hasPassword), ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    p.dwSize = 12;
    EXPECT_EQ(RasGetEntryDialParams(nullptr, &p, &hasPassword), ERROR_INVALID_PARAMETER);
}

TEST(DialUp, ProfileEntriesDialAndHangUp) {
    fvt::test::TempDevice device("dialup = other; FOLV\n");
    RASDIALPARAMSW p = Params(u"folv");
    BOOL hasPassword = TRUE;
    EXPECT_EQ(RasGetEntryDialParams(nullptr, &p, &hasPassword), 0u);
    EXPECT_FALSE(hasPassword);
    size_t before = fvt::OpenRasConnectionCount();
    HRASCONN connection = nullptr;
    EXPECT_EQ(RasDial(nullptr, nullptr, &p, 0, nullptr, &connection), 0u);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(fvt::OpenRasConnectionCount(), before + 1);
    EXPECT_EQ(RasHangUp(connection), 0u);
    EXPECT_EQ(RasHangUp(connection), ERROR_NO_CONNECTION);
    EXPECT_EQ(fvt::OpenRasConnectionCount(), before);
}

TEST(DialUp, AFailedDialStillHandsBackAConnection) {
    fvt::test::TempDevice device("dialup = folv\ndialup_result = 678\n");
    RASDIALPARAMSW p = Params(u"folv");
    HRASCONN connection = nullptr;
    EXPECT_EQ(RasDial(nullptr, nullptr, &p, 0, nullptr, &connection), 678u);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(RasHangUp(connection), 0u);
}

TEST(DialUp, FoundByNameInTheRasModule) {
    fvt::test::TempDevice device;
    HMODULE ras = LoadLibraryW(u"ras.dll");
    ASSERT_NE(ras, nullptr);
    EXPECT_EQ(GetProcAddressW(ras, u"RasDial"), reinterpret_cast<FARPROC>(&RasDial));
    EXPECT_EQ(GetProcAddressW(ras, u"RasGetEntryDialParams"),
              reinterpret_cast<FARPROC>(&RasGetEntryDialParams));
    EXPECT_EQ(GetProcAddressW(ras, u"RasHangUp"), reinterpret_cast<FARPROC>(&RasHangUp));
    FreeLibrary(ras);
}
