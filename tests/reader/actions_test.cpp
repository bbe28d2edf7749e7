// The action table: every way of asking for a command (a bar's item, a keypad key, a hardware
// button, a book script's call, the driver's name) finds an action there, and the reader
// controller takes every action's command.
#include "reader/actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "core/resources.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/book_action_host_fake.h"
#include "support/reader/reader_fakes.h"

namespace {

TEST(ActionTable, NoTwoActionsShareAnIdANameAKeyOrAButtonBit) {
    std::set<int32_t> ids;
    std::set<std::string> names;
    std::set<char16_t> keys;
    uint32_t bits = 0;
    int32_t last = -1;
    for (const Action& a : Actions::kTable) {
        EXPECT_TRUE(ids.insert(a.id).second) << a.id;
        EXPECT_TRUE(names.insert(a.name).second) << a.name;
        EXPECT_GT(a.id, last) << a.name << ": the table is kept in id order";
        last = a.id;
        if (a.key) {
            EXPECT_TRUE(keys.insert(a.key).second) << a.name;
        }
        EXPECT_EQ(a.buttonBit & (a.buttonBit - 1), 0u) << a.name << ": one bit";
        EXPECT_EQ(bits & a.buttonBit, 0u) << a.name;
        bits |= a.buttonBit;
        // The driver's names: lower case words joined by hyphens.
        for (const char* c = a.name; *c; ++c)
            EXPECT_TRUE((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '-')
                << a.name;
        EXPECT_EQ(Actions::FindByName(a.name), &a);
        EXPECT_EQ(Actions::Find(a.id), &a);
    }
    // The Buttons page offers 17 actions.
    EXPECT_EQ(__builtin_popcount(bits), 17);
    EXPECT_EQ(Actions::FindByName("Library"), nullptr);
    EXPECT_EQ(Actions::FindByName(""), nullptr);
    EXPECT_EQ(Actions::Find(Cmd::kLast + 1), nullptr);
}

// Menu items bound to a command the controller has no case for (kept for their stored number).
bool IsReservedItem(uint32_t item) {
    return item == MenuItem::kReservedItem40080;
}

TEST(ActionTable, EveryItemOfTheBarsAsksForAnAction) {
    struct Bar {
        Actions::Bar bar;
        const Commands::MenuCommand* items;
        std::size_t count;
    };
    const Bar bars[] = {{Actions::kReaderBar, Commands::kReaderMenu, Commands::kReaderMenuCount},
                        {Actions::kAudioBar, Commands::kAudioMenu, Commands::kAudioMenuCount},
                        {Actions::kZoomBar, Commands::kZoomMenu, Commands::kZoomMenuCount}};
    for (const Bar& b : bars) {
        std::set<uint32_t> seen;
        for (std::size_t i = 0; i < b.count; ++i) {
            const Commands::MenuCommand& pair = b.items[i];
            EXPECT_TRUE(seen.insert(pair.item).second) << pair.item;
            EXPECT_EQ(Actions::CommandForItem(b.bar, pair.item), pair.command);
            if (IsReservedItem(pair.item)) continue;
            const Action* action = Actions::Find(pair.command);
            ASSERT_NE(action, nullptr) << "item " << pair.item << " asks for " << pair.command;
            // The driver's `menu NAME` finds the item again from the action.
            uint32_t items[4] = {};
            const std::size_t n = Actions::ItemsFor(b.bar, action->id, items, 4);
            EXPECT_NE(std::find(items, items + n, pair.item), items + n) << action->name;
        }
    }
    // One number, two bars, two actions: the text's Zoom in, and the picture's over it.
    EXPECT_EQ(Actions::CommandForItem(Actions::kReaderBar, MenuItem::kZoomIn), Cmd::kZoomIn);
    EXPECT_EQ(Actions::CommandForItem(Actions::kZoomBar, MenuItem::kZoomIn), Cmd::kImageZoomIn);
    EXPECT_EQ(Actions::CommandForItem(Actions::kAudioBar, MenuItem::kZoomIn), -1);
}

TEST(ActionTable, KeysButtonsAndPopUpsFindTheirActions) {
    EXPECT_EQ(Actions::ForKey(u'1')->id, Cmd::kLibrary);
    EXPECT_EQ(Actions::ForKey(u'5')->id, Cmd::kImageZoomIn);
    EXPECT_EQ(Actions::ForKey(u'#')->id, Cmd::kRotate);
    EXPECT_EQ(Actions::ForKey(u'9'), nullptr);  // the default tap action's, chosen in the settings
    EXPECT_EQ(Actions::ForKey(0), nullptr);
    // The tap pop-up shows each command under its action's label.
    for (const Commands::PopupEntry& e : Commands::kTapPopup) {
        const Action* action = Actions::Find(e.command);
        ASSERT_NE(action, nullptr) << e.command;
        EXPECT_EQ(e.stringId, action->labelId);
        EXPECT_NE(e.stringId, 0u);
    }
    EXPECT_EQ(MenuItem::PopupItem(Cmd::kNextPage), 50066u);
}

// Book scripts' calls without arguments run their action's command.
TEST(ActionTable, EveryScriptCallRunsItsAction) {
    int calls = 0;
    for (const Action& a : Actions::kTable) {
        if (a.script.objectKind == 0) continue;
        ++calls;
        EXPECT_EQ(Actions::ForScript(a.script.objectKind, a.script.methodId), &a) << a.name;
        fvt_test::RecordingActionHost host;
        CommandRecord record(a.script.methodId, a.script.objectKind);
        EXPECT_EQ(RunReaderCommand(record, host, nullptr, nullptr), 1u) << a.name;
        EXPECT_EQ(host.Last(), "RunCommand " + std::to_string(a.id)) << a.name;
    }
    EXPECT_EQ(calls, 9);
    EXPECT_EQ(Actions::CommandForScript(ReaderObjects::kHistory, ReaderMethods::kHistoryBack), -1);
}

class ActionsOfTheController : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        controller_ = std::make_unique<ReaderController>();
        controller_->SetTimerHost(&host_);
        controller_->SetShell(&shell_);
        settings_.Load(true);
        controller_->SetSettings(&settings_);
        controller_->InitPopupCallbacks();
    }
    void TearDown() override { Resources::FlushCache(); }

    fvt::test::TempDevice device_;
    fvt::test::ManualTimerHost host_;
    fvt::test::FakeShell shell_;
    ReaderSettings settings_;
    std::unique_ptr<ReaderController> controller_;
};

// Without a document the commands find nothing to act on, but each is taken: it has a case, or
// goes on to the view or the display surface.
TEST_F(ActionsOfTheController, TakesEveryActionsCommand) {
    for (const Action& a : Actions::kTable)
        EXPECT_TRUE(controller_->OnCommand(a.id, true)) << a.name;
    for (int32_t id : {-1, 52, 68, 83, 108, 121, 50013})
        EXPECT_FALSE(controller_->OnCommand(id, true)) << id;
}

}  // namespace
