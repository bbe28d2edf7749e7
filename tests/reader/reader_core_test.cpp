// Start-up and shut-down of the reader core and its windows: the stores made or set aside, the
// main window and its wiring, the window list, and what is saved on the way out.
#include "reader/reader_core.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bookfiles/configuration_store.h"
#include "core/resources.h"
#include "graphics/core/drawing_surface.h"
#include "paths/app_paths.h"
#include "platform/storage/files.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

using fvt::test::Narrow;

class ReaderCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        core_.SetHost(nullptr, &shell_);
        core_.SetDocumentControllerFactory(&factory_);
    }
    void TearDown() override {
        core_.Close();
        Resources::FlushCache();
    }
    // The host file of a device path.
    std::string Host(const Text& devicePath) {
        std::string p = Narrow(devicePath);
        for (char& c : p)
            if (c == '\\') c = '/';
        while (!p.empty() && p[0] == '/') p.erase(0, 1);
        return device_.Host(p);
    }
    std::string ConfigHostPath() {
        std::unique_ptr<AppPaths> paths;
        EXPECT_EQ(0, AppPaths::Create(nullptr, paths));
        Text t;
        EXPECT_TRUE(paths && paths->GlobalConfigFile(t));
        return Host(t);
    }
    int Start(bool withStore = true) {
        if (core_.Open(withStore) != 0) return 1;
        return core_.CreateLoader(0);
    }

    fvt::test::TempDevice device_;
    fvt::test::FakeShell shell_;
    fvt::test::FakeFactory factory_;
    ReaderCore core_;
};

TEST_F(ReaderCoreTest, FirstStartCreatesTheConfigurationFile) {
    std::string config = ConfigHostPath();
    ASSERT_FALSE(std::filesystem::exists(config));
    ASSERT_EQ(0, Start());
    EXPECT_TRUE(std::filesystem::exists(config));
    ASSERT_NE(core_.Store(), nullptr);
    EXPECT_NE(core_.LogDatabase(), nullptr);
    EXPECT_NE(core_.Heap(), nullptr);
    EXPECT_NE(core_.Loader(), nullptr);
    EXPECT_TRUE(shell_.messages.empty());  // nothing was set aside
}

TEST_F(ReaderCoreTest, MainWindowIsNamedAndWiredTogether) {
    ASSERT_EQ(0, Start());
    ReaderWindow* main = core_.MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(core_.WindowCount(), 1);
    std::u16string name = U16(main->Name());
    ASSERT_GT(name.size(), 4u);
    EXPECT_EQ(name.substr(0, 4), u"main");
    for (char16_t c : name.substr(4))
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << char(c);

    ASSERT_NE(factory_.last, nullptr);
    fvt::test::FakeDocumentController* doc = factory_.last;
    EXPECT_EQ(factory_.lastHeap, core_.Heap());
    EXPECT_EQ(doc->window, main);
    EXPECT_EQ(doc->controller, main->Controller());
    EXPECT_EQ(doc->settings, main->Settings());
    EXPECT_EQ(doc->surface, main->Surface());
    EXPECT_EQ(doc->loader, core_.Loader());
    EXPECT_EQ(doc->log, core_.LogDatabase());
    EXPECT_EQ(main->Controller()->GetDocumentController(), doc);
    EXPECT_EQ(main->Controller()->GetDrawingSurface(), main->Surface());
    EXPECT_EQ(main->Settings()->Store(), core_.Store());
}

TEST_F(ReaderCoreTest, PopupRectangleReachesTheWindowsSurface) {
    ASSERT_EQ(0, Start());
    ReaderWindow* main = core_.MainWindow();
    Rect r{0, 20, 240, 280};
    main->Controller()->SetPopupRect(r, true);
    EXPECT_EQ(main->Surface()->VisibleArea(), r);
    main->Controller()->LockPopupRect();
    main->Controller()->SetPopupRect(Rect{1, 1, 2, 2}, false);
    EXPECT_EQ(main->Surface()->VisibleArea(), r);
}

TEST_F(ReaderCoreTest, ControllersAreFoundByTheirExactName) {
    ASSERT_EQ(0, Start());
    ReaderWindow* main = core_.MainWindow();
    EXPECT_EQ(core_.FindControllerByName(main->Name()), main->Document());
    String lower(u"main");
    std::u16string rest = U16(main->Name()).substr(4);
    bool hasLetter = false;
    for (char16_t c : rest) {
        hasLetter = hasLetter || (c >= u'A' && c <= u'F');
        lower.AppendChar(c >= u'A' && c <= u'F' ? static_cast<char16_t>(c + 32) : c);
    }
    if (hasLetter) {
        EXPECT_EQ(core_.FindControllerByName(lower), nullptr);
    }
    EXPECT_EQ(core_.FindControllerByName(String(u"main")), nullptr);
    EXPECT_EQ(core_.FindControllerByName(String(u"")), nullptr);
}

TEST_F(ReaderCoreTest, WithoutTheStoreSettingsTakeTheirDefaults) {
    ASSERT_EQ(0, Start(false));
    EXPECT_EQ(core_.Store(), nullptr);
    EXPECT_EQ(core_.LogDatabase(), nullptr);
    ReaderSettings* settings = core_.MainWindow()->Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->FontSize(), UiMetrics::Get(nullptr, 3));
    EXPECT_FALSE(std::filesystem::exists(ConfigHostPath()));
}

TEST_F(ReaderCoreTest, StoreOpenedLaterReachesEveryWindow) {
    ASSERT_EQ(0, Start(false));
    ASSERT_EQ(0, core_.OpenConfigurationStore());
    ASSERT_NE(core_.Store(), nullptr);
    EXPECT_EQ(core_.MainWindow()->Settings()->Store(), core_.Store());
    EXPECT_EQ(0, core_.OpenConfigurationStore());  // already open
}

TEST_F(ReaderCoreTest, DamagedConfigurationIsSetAsideAndTheUserTold) {
    std::string config = ConfigHostPath();
    std::filesystem::create_directories(std::filesystem::path(config).parent_path());
    std::ofstream(config, std::ios::binary) << "not a database at all, just some words";
    ASSERT_EQ(0, Start());
    EXPECT_TRUE(std::filesystem::exists(config + ".damaged"));
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_NE(shell_.messages[0].find(u"kept aside"), std::u16string::npos);
    EXPECT_EQ(shell_.messageFlags[0], 48u);
}

// A configuration file of a version this reader cannot use (a newer reader's, or a version word
// that was damaged) is kept aside whole, as a damaged one is, and the reader starts with the
// defaults; the user is told once the main window exists.
TEST_F(ReaderCoreTest, NewerConfigurationIsKeptAsideAndTheDefaultsUsed) {
    {
        ASSERT_EQ(0, Start());
        core_.Store()->SetWord(ConfigurationStore::kVersionOffset, 99);
        core_.Close();
    }
    std::string config = ConfigHostPath();
    std::string before;
    {
        std::ifstream in(config, std::ios::binary);
        before.assign(std::istreambuf_iterator<char>(in), {});
    }
    ReaderCore again;
    again.SetDocumentControllerFactory(&factory_);
    EXPECT_EQ(0, again.Open(true));
    EXPECT_TRUE(again.StoreWasSetAside());
    ASSERT_NE(again.Store(), nullptr);
    EXPECT_EQ(again.Store()->GetWord(ConfigurationStore::kVersionOffset),
              ConfigurationStore::kFormatVersion);
    again.Close();
    std::ifstream in(config + ".damaged", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
}

TEST_F(ReaderCoreTest, MissingDocumentControllerFailsTheStart) {
    factory_.fail = true;
    ASSERT_EQ(0, core_.Open(true));
    EXPECT_EQ(1, core_.CreateLoader(0));
    core_.Close();  // what was made is freed (LeakSanitizer watches)
    EXPECT_EQ(core_.MainWindow(), nullptr);
    EXPECT_EQ(core_.WindowCount(), 0);
}

TEST_F(ReaderCoreTest, CloseSavesTheMainWindowsSettings) {
    ASSERT_EQ(0, Start());
    core_.MainWindow()->Settings()->tapAction = 7;
    core_.Close();
    ConfigurationStore store;
    Text path;
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(0, AppPaths::Create(nullptr, paths));
    ASSERT_TRUE(paths->GlobalConfigFile(path));
    String wide;
    path.ToWide(wide);
    std::string utf8 = Narrow(path);
    ASSERT_EQ(0, store.OpenDefault(utf8.c_str(), 0));
    EXPECT_EQ(store.GetWord(ReaderSettings::kTapAction), 7u);
}

TEST_F(ReaderCoreTest, OnlyTheMainWindowWritesTheGlobalSettings) {
    ASSERT_EQ(0, Start());
    auto* second = new ReaderWindow(&core_);
    ASSERT_EQ(0, second->Open(0));
    ASSERT_EQ(0, second->CreateController(nullptr));
    EXPECT_EQ(core_.WindowCount(), 2);
    core_.MainWindow()->Settings()->tapAction = 4;
    second->Settings()->tapAction = 6;  // a stale copy of the record
    core_.Close();                      // main first, then the second window
    EXPECT_EQ(core_.WindowCount(), 0);
    ReaderCore again;
    again.SetDocumentControllerFactory(&factory_);
    ASSERT_EQ(0, again.Open(true));
    ASSERT_EQ(0, again.CreateLoader(0));
    EXPECT_EQ(again.MainWindow()->Settings()->tapAction, 4u);
}

TEST_F(ReaderCoreTest, ClosingWindowsLeavesTheListInOrder) {
    ASSERT_EQ(0, Start());
    auto* a = new ReaderWindow(&core_);
    auto* b = new ReaderWindow(&core_);
    ASSERT_EQ(0, a->Open(0));
    ASSERT_EQ(0, b->Open(0));
    a->SetName(String(u"left"));
    b->SetName(String(u"right"));
    ASSERT_EQ(0, b->CreateController(nullptr));
    EXPECT_EQ(core_.FindControllerByName(String(u"right")), b->Document());
    EXPECT_EQ(core_.FindControllerByName(String(u"left")), nullptr);  // no controller yet
    delete a;
    EXPECT_EQ(core_.WindowCount(), 2);
    EXPECT_EQ(core_.WindowAt(1), b);
    ReaderWindow* main = core_.MainWindow();
    delete main;
    EXPECT_EQ(core_.MainWindow(), nullptr);
    EXPECT_EQ(core_.WindowCount(), 1);
    EXPECT_EQ(core_.WindowAt(0), b);
    // Shut-down closes what is still listed.
}

TEST_F(ReaderCoreTest, ClosingAWindowShutsItsDocumentControllerDown) {
    ASSERT_EQ(0, Start());
    bool destroyed = false;
    factory_.last->destroyed = &destroyed;
    core_.Close();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(core_.Loader(), nullptr);
    EXPECT_EQ(core_.Store(), nullptr);
    EXPECT_EQ(core_.Heap(), nullptr);
}

TEST_F(ReaderCoreTest, StartUpSweepsOnlyTheReadersTemporaryFiles) {
    char16_t buffer[260] = {};
    DWORD n = GetTempPathW(260, buffer);
    ASSERT_GT(n, 0u);
    Text temp;
    ASSERT_TRUE(temp.FromWide(buffer, static_cast<int32_t>(n)));
    std::string folder = Host(temp);
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/fvk123.tmp") << "x";
    std::ofstream(folder + "/fvq9.tmp") << "x";
    std::ofstream(folder + "/keep.tmp") << "x";
    std::ofstream(folder + "/fvk123.txt") << "x";
    std::filesystem::create_directories(folder + "/fvkdir.tmp");
    ASSERT_EQ(0, core_.Open(false));
    EXPECT_FALSE(std::filesystem::exists(folder + "/fvk123.tmp"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/fvq9.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/keep.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/fvk123.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/fvkdir.tmp"));
}

}  // namespace
