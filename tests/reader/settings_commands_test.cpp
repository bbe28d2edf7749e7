// The settings room alone: its commands and the answers it reads from the settings, with a fake
// of what it asks of the window.
#include "reader/settings_commands.h"

#include <gtest/gtest.h>

#include "reader/reader_command_ids.h"
#include "reader/reader_settings.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::FakeDocumentController;

class FakeSettingsHost final : public SettingsHost {
public:
    void ChangeFontSize(int32_t step) override {
        if (document) document->ChangeFontSize(step);
    }
    void SaveViewState() override {
        if (document) document->SaveViewState();
    }
    void RunViewCommand(int32_t id) override {
        if (document) document->ExecuteCommand(id);
    }
    const AppPaths* Paths() override { return nullptr; }
    void InvalidateSurface() override { ++invalidated; }
    void RefreshSurface() override { ++refreshed; }

    DocumentController* document = nullptr;
    int invalidated = 0;
    int refreshed = 0;
};

class SettingsCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { host_.document = &doc_; }

    FakeSettingsHost host_;
    FakeDocumentController doc_;
    ReaderSettings settings_;
    SettingsCommands room_{host_};
};

TEST_F(SettingsCommandsTest, OnlyItsOwnIdsAreTaken) {
    room_.SetSettings(&settings_);
    EXPECT_FALSE(room_.RunCommand(Cmd::kLibrary));
    EXPECT_FALSE(room_.RunCommand(Cmd::kNextTrack));
    EXPECT_FALSE(room_.RunCommand(Cmd::kCopy));
    EXPECT_TRUE(doc_.executed.empty());
    EXPECT_EQ(host_.refreshed, 0);
}

TEST_F(SettingsCommandsTest, WithoutSettingsTheTapActionStillSendsItsViewCommand) {
    // The view command belongs to the view, not to the stored value.
    EXPECT_TRUE(room_.RunCommand(57));
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{40}));
    EXPECT_TRUE(room_.RunCommand(Cmd::kProgressBar));
    EXPECT_EQ(host_.refreshed, 0);
    EXPECT_EQ(room_.TapAction(), 0u);
}

TEST_F(SettingsCommandsTest, ProgressBarRefreshesThePopupAreaEachTime) {
    room_.SetSettings(&settings_);
    room_.RunCommand(Cmd::kProgressBar);
    room_.RunCommand(Cmd::kProgressBar);
    EXPECT_EQ(settings_.progressBar, 0);
    EXPECT_EQ(host_.refreshed, 2);
}

TEST_F(SettingsCommandsTest, StyleWordsCarryTheColourAboveTheKindBits) {
    room_.SetSettings(&settings_);
    settings_.SetColours(0, 0, 0xFFFFFF, 0xFF123456, 0x00ABCDEF);
    EXPECT_EQ(room_.StyleFor(SettingsCommands::kHighlight), (0xABCDEFu << 8) | 15);
    // The colour's top byte never reaches the kind bits.
    EXPECT_EQ(room_.StyleFor(SettingsCommands::kModification), (0x123456u << 8) | 111);
    EXPECT_EQ(room_.StyleFor(SettingsCommands::kNote), 32u);
    EXPECT_EQ(room_.StyleFor(1), 0u);
}

TEST_F(SettingsCommandsTest, WithoutSettingsTheAnswersAreTheDefaults) {
    EXPECT_EQ(room_.StyleFor(SettingsCommands::kHighlight), 15u);
    EXPECT_EQ(room_.TextColour(), 0x000000u);
    EXPECT_EQ(room_.BackgroundColour(), 0xFFFFFFu);
    EXPECT_EQ(room_.PositionBarFontSize(), SettingsCommands::kPositionBarFontSize);
    room_.SetOrientation(2);  // nothing to store it in
}

TEST_F(SettingsCommandsTest, OrientationsOutsideTheFourCodesAreIgnored) {
    room_.SetSettings(&settings_);
    room_.SetOrientation(3);
    room_.SetOrientation(4);
    room_.SetOrientation(-1);
    EXPECT_EQ(settings_.orientation, 3u);
}

TEST_F(SettingsCommandsTest, ThePositionBarTakesThePageTextSize) {
    room_.SetSettings(&settings_);
    settings_.SetFontSize(settings_.MaxFontSize());
    EXPECT_EQ(room_.PositionBarFontSize(), settings_.MaxFontSize());
}

}  // namespace
