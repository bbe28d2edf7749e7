#include "reader/reader_command_ids.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(MenuTables, ReaderFrameHoldsItsPairs) {
    const Commands::MenuCommand expected[] = {
        {40167, 23},  {40093, 1},   {40041, 6},  {40075, 0},  {40076, 15}, {40040, 7},  {40078, 4},
        {40168, 113}, {40079, 16},  {40048, 10}, {40092, 20}, {40090, 21}, {40089, 23}, {40082, 11},
        {40083, 12},  {40170, 114}, {40084, 55}, {40100, 9},  {40025, 8},  {40080, 52}, {40085, 74},
        {40173, 75},  {40172, 115}, {40035, 5},  {50018, 18}, {50019, 19}, {50067, 67}, {50066, 66},
        {50024, 24},  {50011, 11},  {50022, 22}, {40103, 57}, {40104, 59}, {40105, 63}, {40106, 58},
        {40107, 60},  {40108, 61},  {40193, 62},
    };
    ASSERT_EQ(std::size(expected), Commands::kReaderMenuCount);
    for (size_t i = 0; i < Commands::kReaderMenuCount; ++i) {
        EXPECT_EQ(Commands::kReaderMenu[i].item, expected[i].item) << i;
        EXPECT_EQ(Commands::kReaderMenu[i].command, expected[i].command) << i;
    }
}

TEST(MenuTables, AudioFrameHoldsItsPairs) {
    const Commands::MenuCommand expected[] = {
        {40093, 1}, {40041, 6}, {40075, 0}, {40076, 15},  {40040, 7},   {40048, 10},  {40089, 23},
        {40100, 9}, {40025, 8}, {40035, 5}, {40175, 116}, {40174, 118}, {40087, 117}, {40088, 119},
    };
    ASSERT_EQ(std::size(expected), Commands::kAudioMenuCount);
    for (size_t i = 0; i < Commands::kAudioMenuCount; ++i) {
        EXPECT_EQ(Commands::kAudioMenu[i].item, expected[i].item) << i;
        EXPECT_EQ(Commands::kAudioMenu[i].command, expected[i].command) << i;
    }
}

TEST(MenuTables, ItemsAreUniqueWithinATable) {
    std::set<uint32_t> seen;
    for (const auto& pair : Commands::kReaderMenu) EXPECT_TRUE(seen.insert(pair.item).second);
    seen.clear();
    for (const auto& pair : Commands::kAudioMenu) EXPECT_TRUE(seen.insert(pair.item).second);
}

TEST(MenuTables, LookupFindsAnItemAndRefusesOthers) {
    EXPECT_EQ(
        Commands::CommandForMenuItem(Commands::kReaderMenu, Commands::kReaderMenuCount, 40089), 23);
    EXPECT_EQ(Commands::CommandForMenuItem(Commands::kAudioMenu, Commands::kAudioMenuCount, 40175),
              116);
    EXPECT_EQ(Commands::CommandForMenuItem(Commands::kAudioMenu, Commands::kAudioMenuCount, 40082),
              -1);
}

TEST(TapActions, CommandsGiveTheirValuesAndViewCommands) {
    const uint32_t values[10] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9};
    for (int32_t cmd = 56; cmd <= 65; ++cmd) {
        uint32_t action = 99;
        int32_t view = 99;
        ASSERT_TRUE(Commands::TapActionForCommand(cmd, action, view)) << cmd;
        EXPECT_EQ(action, values[cmd - 56]) << cmd;
        int32_t expected = cmd == 65 ? -1 : cmd == 59 ? 87 : 40;
        EXPECT_EQ(view, expected) << cmd;
    }
}

TEST(TapActions, OtherIdsAreNotTapActions) {
    uint32_t action = 7;
    int32_t view = 7;
    EXPECT_FALSE(Commands::TapActionForCommand(55, action, view));
    EXPECT_FALSE(Commands::TapActionForCommand(66, action, view));
    EXPECT_EQ(action, 7u);
}

TEST(TapActions, StoredValuesChooseTheTapCommand) {
    EXPECT_EQ(Commands::CommandForTapAction(1), 42);
    EXPECT_EQ(Commands::CommandForTapAction(2), 45);
    EXPECT_EQ(Commands::CommandForTapAction(3), 43);
    EXPECT_EQ(Commands::CommandForTapAction(4), 44);
    EXPECT_EQ(Commands::CommandForTapAction(5), 53);
    EXPECT_EQ(Commands::CommandForTapAction(6), 54);
    EXPECT_EQ(Commands::CommandForTapAction(7), 49);
    EXPECT_EQ(Commands::CommandForTapAction(8), 41);
    EXPECT_EQ(Commands::CommandForTapAction(9), Commands::kTapResetOnly);
    EXPECT_EQ(Commands::CommandForTapAction(0), -1);
    EXPECT_EQ(Commands::CommandForTapAction(10), -1);
    EXPECT_EQ(Commands::CommandForTapAction(0xFFFFFFFFu), -1);
}

TEST(TapActions, EveryTapValueRoundTripsThroughItsCommand) {
    // A value a menu stores must be one the tap handler understands.
    for (int32_t cmd = 57; cmd <= 64; ++cmd) {
        uint32_t action = 0;
        int32_t view = 0;
        ASSERT_TRUE(Commands::TapActionForCommand(cmd, action, view));
        EXPECT_GE(Commands::CommandForTapAction(action), 0) << cmd;
    }
}

TEST(Ranges, WindowPartDisplayAndViewIds) {
    for (int32_t id : {26, 39, 91, 100, 103, 105}) EXPECT_TRUE(Commands::IsWindowPartRange(id));
    for (int32_t id : {25, 40, 90, 101, 102, 106}) EXPECT_FALSE(Commands::IsWindowPartRange(id));
    for (int32_t id : {74, 82}) EXPECT_TRUE(Commands::IsDisplayCommand(id));
    for (int32_t id : {73, 83}) EXPECT_FALSE(Commands::IsDisplayCommand(id));
    for (int32_t id : {13, 23, 87, 90, 110, 112}) EXPECT_TRUE(Commands::IsViewCommand(id));
    for (int32_t id : {0, 22, 108, 113}) EXPECT_FALSE(Commands::IsViewCommand(id));
}

TEST(TapPopup, OffersItsTenCommandsWithTheirStrings) {
    ASSERT_EQ(Commands::kTapPopupCount, 10u);
    EXPECT_EQ(Commands::kTapPopup[0].command, 45);
    EXPECT_EQ(Commands::kTapPopup[0].stringId, 5091u);
    EXPECT_EQ(Commands::kTapPopup[6].command, 16);
    EXPECT_EQ(Commands::kTapPopup[6].stringId, 5002u);
    EXPECT_EQ(Commands::kTapPopup[9].command, 48);
    EXPECT_EQ(Commands::kTapPopup[9].stringId, 5089u);
}

}  // namespace
