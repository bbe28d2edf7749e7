// The driver script: what a line says, and what an unreadable line does to the run.
#include "shell/driver_script.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(DriverLines, VerbsAndTheirArguments) {
    DriverAction a;
    ASSERT_TRUE(DriverScript::ParseLine("tap 10 20", a));
    EXPECT_EQ(a.verb, DriverAction::kTap);
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 20);
    ASSERT_TRUE(DriverScript::ParseLine("  key 0x22", a));
    EXPECT_EQ(a.verb, DriverAction::kKey);
    EXPECT_EQ(a.x, 0x22);
    ASSERT_TRUE(DriverScript::ParseLine("screenshot /tmp/p1.png", a));
    EXPECT_EQ(a.verb, DriverAction::kScreenshot);
    EXPECT_EQ(a.text, "/tmp/p1.png");
    ASSERT_TRUE(DriverScript::ParseLine("remove-card Storage", a));
    EXPECT_EQ(a.verb, DriverAction::kRemoveCard);
    ASSERT_TRUE(DriverScript::ParseLine("idle", a));
    EXPECT_EQ(a.verb, DriverAction::kIdle);
    ASSERT_TRUE(DriverScript::ParseLine("quit # done", a));
    EXPECT_EQ(a.verb, DriverAction::kQuit);
}

TEST(DriverLines, AnswersAndMenus) {
    DriverAction a;
    ASSERT_TRUE(DriverScript::ParseLine("answer 2", a));
    EXPECT_EQ(a.verb, DriverAction::kAnswer);
    EXPECT_EQ(a.x, 2);
    ASSERT_TRUE(DriverScript::ParseLine("answer-file \\storage\\a.prc", a));
    EXPECT_EQ(a.verb, DriverAction::kAnswerFile);
    ASSERT_TRUE(DriverScript::ParseLine("menu 40010", a));
    EXPECT_EQ(a.verb, DriverAction::kMenu);
    EXPECT_EQ(a.x, 40010);
    EXPECT_TRUE(a.text.empty());
    EXPECT_FALSE(DriverScript::ParseLine("menu", a));
    // An action's name in place of the number; one word only.
    ASSERT_TRUE(DriverScript::ParseLine("menu zoom-in # the text's", a));
    EXPECT_EQ(a.verb, DriverAction::kMenu);
    EXPECT_EQ(a.text, "zoom-in");
    ASSERT_TRUE(DriverScript::ParseLine("menu 0x9C4A", a));
    EXPECT_EQ(a.x, 0x9C4A);
    EXPECT_TRUE(a.text.empty());
    EXPECT_FALSE(DriverScript::ParseLine("menu zoom in", a));
    ASSERT_TRUE(DriverScript::ParseLine("answer-tap 60 80", a));
    EXPECT_EQ(a.verb, DriverAction::kAnswerTap);
    EXPECT_EQ(a.y, 80);
    ASSERT_TRUE(DriverScript::ParseLine("answer-key 0x0d", a));
    EXPECT_EQ(a.verb, DriverAction::kAnswerKey);
    EXPECT_FALSE(DriverScript::ParseLine("answer-tap 60", a));
    ASSERT_TRUE(DriverScript::ParseLine("shelllog /tmp/a log.txt", a));
    EXPECT_EQ(a.text, "/tmp/a log.txt");
}

TEST(DriverRuns, MenuItemThatIsNotThereStopsTheRun) {
    std::istringstream in("advance 0\nmenu 40010\nquit\n");
    EXPECT_EQ(DriverScript::Run(in), 2);
}

TEST(DriverRuns, ANameNoActionBearsStopsTheRun) {
    std::istringstream in("advance 0\nmenu no-such-action\nquit\n");
    EXPECT_EQ(DriverScript::Run(in), 2);
    EXPECT_NE(DriverScript::FailureReason().find("no action is named no-such-action"),
              std::string::npos)
        << DriverScript::FailureReason();
}

// Names, paths and texts are the rest of the line, spaces and all.
TEST(DriverLines, NamesPathsAndTextsTakeTheRestOfTheLine) {
    DriverAction a;
    ASSERT_TRUE(DriverScript::ParseLine("screenshot /tmp/my shots/p 1.png  ", a));
    EXPECT_EQ(a.text, "/tmp/my shots/p 1.png");
    ASSERT_TRUE(DriverScript::ParseLine("answer-file \\storage\\eBooks\\The Lighthouse Keeper.prc", a));
    EXPECT_EQ(a.verb, DriverAction::kAnswerFile);
    EXPECT_EQ(a.text, "\\storage\\eBooks\\The Lighthouse Keeper.prc");
    ASSERT_TRUE(DriverScript::ParseLine("text Le phare #2\r", a));
    EXPECT_EQ(a.verb, DriverAction::kText);
    EXPECT_EQ(a.text, "Le phare #2");
    ASSERT_TRUE(DriverScript::ParseLine("pagetext /tmp/page.txt", a));
    EXPECT_EQ(a.verb, DriverAction::kPageText);
    ASSERT_TRUE(DriverScript::ParseLine("listtext /tmp/my rows.txt", a));
    EXPECT_EQ(a.verb, DriverAction::kListText);
    EXPECT_EQ(a.text, "/tmp/my rows.txt");
    ASSERT_TRUE(DriverScript::ParseLine("insert-card Storage Card", a));
    EXPECT_EQ(a.text, "Storage Card");
    EXPECT_FALSE(DriverScript::ParseLine("text   ", a));
    EXPECT_FALSE(DriverScript::ParseLine("pagetext", a));
    EXPECT_FALSE(DriverScript::ParseLine("listtext", a));
}

TEST(DriverLines, BlankAndCommentLinesDoNothing) {
    DriverAction a;
    ASSERT_TRUE(DriverScript::ParseLine("", a));
    EXPECT_EQ(a.verb, DriverAction::kNone);
    ASSERT_TRUE(DriverScript::ParseLine("   # tap 1 2", a));
    EXPECT_EQ(a.verb, DriverAction::kNone);
}

TEST(DriverLines, UnreadableLinesAreRefused) {
    DriverAction a;
    EXPECT_FALSE(DriverScript::ParseLine("jump 1", a));
    EXPECT_FALSE(DriverScript::ParseLine("tap 10", a));
    EXPECT_FALSE(DriverScript::ParseLine("tap ten 20", a));
    EXPECT_FALSE(DriverScript::ParseLine("key 12abc", a));
    EXPECT_FALSE(DriverScript::ParseLine("screenshot", a));
    EXPECT_FALSE(DriverScript::ParseLine("idle now", a));
    EXPECT_FALSE(DriverScript::ParseLine("key 99999999999999999999999", a));
}

TEST(DriverRuns, StopsAtTheFirstUnreadableLineWithItsNumber) {
    std::istringstream in("# start\nadvance 0\n\nbogus\nquit\n");
    EXPECT_EQ(DriverScript::Run(in), 4);
    std::istringstream fine("advance 0\nadvance 5\n");
    EXPECT_EQ(DriverScript::Run(fine), 0);
}

}  // namespace
