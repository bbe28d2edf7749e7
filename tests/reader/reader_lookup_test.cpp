// The reader controller's dictionary look-ups over fixture dictionary books on a device, opened
// through a real document loader: the choice of what is shown (purchase hint, "Sorry, can't
// help.", the entry itself, the lookup page, the results pop-up), the search history, the
// release of every dictionary book, links performed after the event, and the tap menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/resources.h"
#include "database/history_table.h"
#include "document/markup/link_target.h"
#include "document/sources/document_loader.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/text_box.h"
#include "graphics/widgets/text_popup_window.h"
#include "paths/app_paths.h"
#include "reader/dictionary_catalogue.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/reader_lookup.h"
#include "reader/text_popup_adapter.h"
#include "controller_fixture.h"
#include "layout/page_view.h"
#include "lookup_books.h"
#include "reader/page_view_host.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
    return out;
}

// Dictionaries by device path, found for every language pair; counts its refreshes.
class FakeCatalogue final : public DictionaryCatalogue {
public:
    void Refresh() override { ++refreshes; }
    std::uint32_t Generation() const override { return generation; }
    bool FindDictionaries(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::vector<std::uint32_t>* out) override {
        ++finds;
        for (std::uint32_t i = 0; i < paths.size(); ++i) out->push_back(i);
        return !paths.empty();
    }
    bool GetPath(std::uint32_t i, String& out) override {
        if (i >= paths.size()) return false;
        out = String(paths[i].c_str());
        return true;
    }
    bool GetDatabaseName(std::uint32_t i, String& out) override {
        out = String(name.c_str());
        return i < paths.size();
    }
    std::unique_ptr<DictionaryCatalogue> ForFile(const String&) override { return nullptr; }
    std::vector<std::u16string> paths;
    std::u16string name = u"Dict";
    std::uint32_t generation = 1;
    int refreshes = 0;
    int finds = 0;
};

// A pop-up that records its runs and the kinds of the links they carry.
class RecordingPopup final : public TextPopup {
public:
    explicit RecordingPopup(std::vector<std::string>* runs) : runs_(runs) { runs_->clear(); }
    bool AddText(const String& text, uint32_t flags) override {
        runs_->push_back(Narrow(text) + "|" + std::to_string(flags));
        return true;
    }
    bool AddLink(const String&, uint32_t, uint32_t, uint32_t, int32_t) override { return true; }
    bool AddTarget(const String& text, uint32_t flags, LinkTarget* target) override {
        runs_->push_back("link " + std::to_string(target->kind) + " " + Narrow(text) + "|" +
                         std::to_string(flags) + "|" + std::to_string(target->number));
        return true;
    }
    bool ShowAt(const Rect&, Point, uint32_t) override { return true; }
    void Hide() override {}

private:
    std::vector<std::string>* runs_;
};

class RecordingFactory final : public TextPopupFactory {
public:
    std::unique_ptr<TextPopup> CreateTextPopup(DrawingSurface*) override {
        ++made;
        return std::make_unique<RecordingPopup>(&runs);
    }
    std::vector<std::string> runs;
    int made = 0;
};

class ReaderLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        device_.WriteHost("books/en.prc",
                          (fvt::test::DictionaryBook({{u"bank", "a river side"},
                                          {u"bank", "a money house"},
                                          {u"mouse", "a small animal"},
                                          {u"walk", "to go on foot"}},
                                         9, 9)));
        device_.WriteHost("books/fr.prc", (fvt::test::DictionaryBook({{u"walk", "marcher"}}, 9, 12)));
        loader_ = std::make_unique<DocumentLoader>(5);
        loader_->SetOptions(&paths_, nullptr, nullptr);
        controller_.SetTimerHost(&host_);
        controller_.SetDocumentLoader(loader_.get());
        controller_.SetDrawingSurface(&surface_);
        controller_.SetPopupFactory(&popups_);
        controller_.SetDocumentController(&doc_);
        controller_.Lookups().SetDictionaries(&catalogue_);
        controller_.SetPopupRect(Rect{0, 20, 200, 200}, true);
    }
    void TearDown() override {
        controller_.HidePopupPage();
        controller_.SetDrawingSurface(nullptr);
        Resources::FlushCache();
    }
    bool Look(const char16_t* word, int32_t id = 45) {
        return controller_.LookupSelection(String(word), Point{5, 50}, String(), 9, 0, id, false);
    }

    // The first run of the pop-up shown.
    std::u16string EntryText() {
        TextPopup* popup = controller_.PagePopup();
        TextPopupWindow* window = popup ? popup->PopupWindow() : nullptr;
        const String* run = window ? window->Box()->RunText(0) : nullptr;
        return run ? U16(*run) : std::u16string();
    }

    fvt::test::TempDevice device_;
    AppPaths paths_{Text(), nullptr};
    std::unique_ptr<DocumentLoader> loader_;
    fvt::test::ManualTimerHost host_;
    fvt::test::FakeDocumentController doc_;
    DrawingSurface surface_{nullptr};
    RecordingFactory popups_;
    FakeCatalogue catalogue_;
    ReaderController controller_;
};

TEST_F(ReaderLookupTest, NoDictionaryShowsThePurchaseHintOrOnlyNoMatchWhenQuiet) {
    ASSERT_FALSE(Look(u"walk", 46));
    ASSERT_EQ(popups_.runs.size(), 3u);
    EXPECT_EQ(popups_.runs[0], "Do you have a translation dictionary?|129");
    EXPECT_FALSE(controller_.LookupSelection(String(u"walk"), Point{}, String(), 9, 0, 45, true));
    EXPECT_EQ(popups_.runs, (std::vector<std::string>{"No matching entry|0"}));
}

TEST_F(ReaderLookupTest, OneMatchOpensTheEntryAndRemembersItInTheSearchHistory) {
    WidgetTextPopupFactory widgets(nullptr);
    controller_.SetPopupFactory(&widgets);
    catalogue_.paths = {u"\\books\\en.prc"};
    ASSERT_TRUE(Look(u"mice"));  // found through the inflection table
    // The entry's own text, in a pop-up that keeps the book.
    EXPECT_EQ(EntryText(), u"a small animal");
    HistoryTable* history = controller_.Lookups().SearchHistory();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->Count(), 1u);
    String book;
    uint32_t table = 0, entry = 0;
    ASSERT_TRUE(history->GetRow(0, book, table, entry));
    EXPECT_NE(U16(book).find(u"en.prc"), std::u16string::npos);
    // The pop-up holds the dictionary; every reference to it goes with the pop-up (the
    // history's own database stays).
    const uint32_t withPopup = loader_->CachedCount();
    controller_.HidePopupPage();
    EXPECT_EQ(loader_->CachedCount(), withPopup - 1);
}

TEST_F(ReaderLookupTest, SeveralMatchesOfOneDictionaryGiveTheLookupPage) {
    catalogue_.paths = {u"\\books\\en.prc"};
    ASSERT_TRUE(Look(u"bank"));
    const std::vector<std::string>& r = popups_.runs;
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[0], "Multiple matches:|2");
    EXPECT_EQ(r[1], "\n  |0");
    EXPECT_EQ(r[2].substr(0, 12), "link 8 bank|");  // kind 8: the entry by number
    EXPECT_EQ(r[3], "\n  |0");
    EXPECT_EQ(r[4].substr(0, 12), "link 8 bank|");
    EXPECT_EQ(r[5].substr(0, 21), "link 4 manual search|");
    EXPECT_NE(r[2], r[4]);  // two entries
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 0u);  // nothing opened yet
}

TEST_F(ReaderLookupTest, AMissingDictionaryCannotHelp) {
    catalogue_.paths = {u"\\books\\gone.prc"};
    EXPECT_FALSE(Look(u"walk"));
    EXPECT_EQ(popups_.runs, (std::vector<std::string>{"Sorry, can't help.|128"}));
    EXPECT_EQ(loader_->CachedCount(), 0u);
}

TEST_F(ReaderLookupTest, NothingMatchedOffersAManualSearchInEachDictionary) {
    catalogue_.paths = {u"\\books\\en.prc", u"\\books\\fr.prc"};
    EXPECT_FALSE(Look(u"zebra"));
    const std::vector<std::string>& r = popups_.runs;
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].substr(0, 7), "link 4 ");
    EXPECT_EQ(r[2].substr(0, 8), "link 4 \n");  // later titles start a new line
    EXPECT_EQ(loader_->CachedCount(), 0u);
}

TEST_F(ReaderLookupTest, MatchesInTwoDictionariesGiveTheResultsPopup) {
    WidgetTextPopupFactory widgets(nullptr);
    controller_.SetPopupFactory(&widgets);
    catalogue_.paths = {u"\\books\\en.prc", u"\\books\\fr.prc"};
    ASSERT_TRUE(Look(u"walk"));
    TextPopupWindow* window = controller_.PagePopup()->PopupWindow();
    ASSERT_NE(window, nullptr);
    TextBox* box = window->Box();
    ASSERT_EQ(box->LinkCount(), 2);  // one line per dictionary
    EXPECT_EQ(U16(*box->RunText(0)), u"Matches in multiple dictionaries:");
    // The books are not kept by a results pop-up: its links open them again.
    EXPECT_EQ(loader_->CachedCount(), 0u);
}

TEST_F(ReaderLookupTest, AWordListLookupNamesEachDictionaryByItsEscapedDatabaseName) {
    WidgetTextPopupFactory widgets(nullptr);
    controller_.SetPopupFactory(&widgets);
    catalogue_.paths = {u"\\books\\en.prc", u"\\books\\fr.prc"};
    catalogue_.name = u"My Dict$1&2";
    ASSERT_TRUE(controller_.Lookups().LookupForWordList(String(u"walk"), 9));
    TextPopupWindow* window = controller_.PagePopup()->PopupWindow();
    ASSERT_NE(window, nullptr);
    TextBox* box = window->Box();
    ASSERT_EQ(box->LinkCount(), 2);
    // The name goes into "oeb:redirect?title=" links: its '$' and '&' must not end the field.
    for (int32_t i = 0; i < 2; ++i) {
        Area* area = box->LinkArea(i);
        ASSERT_TRUE(area && area->link);
        EXPECT_EQ(U16(area->link->text), u"My%20Dict%241%262");
    }
}

TEST_F(ReaderLookupTest, ChoosingADictionaryIsKeptUntilTheLibraryChanges) {
    catalogue_.paths = {u"\\books\\en.prc"};
    EXPECT_TRUE(controller_.Lookups().CanLookUp(45));
    EXPECT_TRUE(controller_.Lookups().CanLookUp(45));
    EXPECT_EQ(catalogue_.refreshes, 1);
    EXPECT_EQ(catalogue_.finds, 1);
    catalogue_.paths.clear();
    ++catalogue_.generation;
    EXPECT_FALSE(controller_.Lookups().CanLookUp(45));
    EXPECT_EQ(catalogue_.refreshes, 2);
    EXPECT_FALSE(controller_.Lookups().CanLookUp(48));
}

TEST_F(ReaderLookupTest, LookupCommandTakesTheSelectionElseTheLastWord) {
    catalogue_.paths = {u"\\books\\en.prc"};
    EXPECT_FALSE(controller_.LookupCommand(45));  // nothing selected, no last word
    EXPECT_EQ(popups_.made, 0);
    controller_.Lookups().SetLastWord(String(u"mouse"), 9);
    EXPECT_TRUE(controller_.LookupCommand(45));
    doc_.selection = u"bank";
    doc_.selStart = 1;
    doc_.selEnd = 5;
    EXPECT_TRUE(controller_.LookupCommand(45));
    EXPECT_EQ(popups_.runs[0], "Multiple matches:|2");
}

TEST_F(ReaderLookupTest, PopupLinksRunAfterTheEventThatChoseThem) {
    catalogue_.paths = {u"\\books\\en.prc"};
    RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    link->kind = kLinkRecordRow;
    link->text = String(u"\\books\\en.prc");
    link->number = 3;  // "walk"
    WidgetTextPopupFactory widgets(nullptr);
    controller_.SetPopupFactory(&widgets);
    controller_.Lookups().PostLookupLink(link.Get(), Point{1, 2});
    EXPECT_EQ(controller_.PagePopup(), nullptr);  // not from inside the tap
    host_.FireAll(controller_.Timers());
    EXPECT_EQ(EntryText(), u"to go on foot");
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 1u);
}

TEST_F(ReaderLookupTest, ADefaultTapActionIsPostedNotRunInsideTheTap) {
    catalogue_.paths = {u"\\books\\en.prc"};
    ReaderSettings settings;
    settings.tapAction = 2;  // look the word up
    controller_.SetSettings(&settings);
    controller_.OnTapAction(0, 0, String(u"bank"), 9, Point{10, 40}, false);
    EXPECT_EQ(U16(controller_.Lookups().LastWord()), u"bank");
    EXPECT_EQ(popups_.made, 0);  // the page's tap handler is still running
    EXPECT_FALSE(controller_.Queue().IsEmpty());
    // The view is reset once the command has read the selection, not before.
    EXPECT_TRUE(doc_.calls.empty() || doc_.calls.back() != "Reset");
    host_.FireAll(controller_.Timers());
    EXPECT_EQ(popups_.made, 1);
    EXPECT_EQ(popups_.runs[0], "Multiple matches:|2");
    ASSERT_FALSE(doc_.calls.empty());
    EXPECT_EQ(doc_.calls.back(), "Reset");
    // A tap on a selection forgets the last word.
    settings.tapAction = 9;
    controller_.OnTapAction(3, 8, String(u"bank"), 9, Point{}, false);
    EXPECT_TRUE(controller_.Lookups().LastWord().IsEmpty());
    controller_.SetSettings(nullptr);
}

TEST_F(ReaderLookupTest, TheSearchHistoryIsThereAtTheNextRun) {
    std::filesystem::create_directories(device_.Host("Windows"));
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(AppPaths::Create(nullptr, paths), 0);
    WidgetTextPopupFactory widgets(nullptr);
    {
        DocumentLoader loader(7);
        loader.SetOptions(paths.get(), nullptr, nullptr);
        ReaderController first;
        first.SetDocumentLoader(&loader);
        first.SetDrawingSurface(&surface_);
        first.SetPopupFactory(&widgets);
        first.Lookups().SetDictionaries(&catalogue_);
        catalogue_.paths = {u"\\books\\en.prc"};
        ASSERT_TRUE(first.LookupSelection(String(u"walk"), Point{}, String(), 9, 0, 45, false));
        ASSERT_EQ(first.Lookups().SearchHistory()->Count(), 1u);
        first.HidePopupPage();
        first.SetDrawingSurface(nullptr);
    }
    DocumentLoader loader(8);
    loader.SetOptions(paths.get(), nullptr, nullptr);
    ReaderController next;
    next.SetDocumentLoader(&loader);
    ASSERT_NE(next.Lookups().SearchHistory(), nullptr);
    EXPECT_EQ(next.Lookups().SearchHistory()->Count(), 1u);
}

// A document controller whose links do not open.
class RefusingDocument final : public fvt::test::FakeDocumentController {
public:
    bool ActivateLink(const String& url) override {
        links.push_back(U16(url));
        return opens;
    }
    bool opens = false;
};

TEST_F(ReaderLookupTest, AnEntryOpenedInItsBookJoinsTheHistoryOnlyWhenItOpened) {
    device_.WriteHost("books/places.prc",
                      fvt::test::DictionaryBook({{u"harbour", "a port"}}, 9, 9, false));
    catalogue_.paths = {u"\\books\\places.prc"};
    RefusingDocument document;
    controller_.SetDocumentController(&document);
    EXPECT_TRUE(Look(u"harbour"));
    ASSERT_EQ(document.links.size(), 1u);  // the entry's place in the dictionary book
    EXPECT_NE(document.links[0].find(u"##-pos"), std::u16string::npos);
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 0u);
    document.opens = true;
    EXPECT_TRUE(Look(u"harbour"));
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 1u);
    controller_.SetDocumentController(&doc_);
}

TEST(TapMenu, ItemsFollowWhatWasTapped) {
    using Lookup::TapFacts;
    auto ids = [](const TapFacts& f) {
        std::vector<int32_t> out;
        for (const Lookup::TapItem& item : Lookup::TapMenu(f)) out.push_back(item.command);
        return out;
    };
    TapFacts word;
    word.word = true;
    EXPECT_EQ(ids(word), (std::vector<int32_t>{45, 49}));
    TapFacts annotated = word;
    annotated.sideFile = annotated.range = annotated.highlight = annotated.bookmark = true;
    EXPECT_EQ(ids(annotated), (std::vector<int32_t>{45, 49, 42, 41, 43, 44, 16, 53}));
    EXPECT_EQ(Lookup::TapMenu(annotated)[6].stringId, 5228u);  // "Remove bookmark"
    TapFacts waiting;
    waiting.sideFile = waiting.range = waiting.waitingLink = waiting.image = true;
    EXPECT_EQ(ids(waiting), (std::vector<int32_t>{42, 43, 44, 16, 54, 48}));
    EXPECT_TRUE(ids(TapFacts{}).empty());
    EXPECT_EQ(Lookup::TapActionCommand(2), 45);
    EXPECT_EQ(Lookup::TapActionCommand(8), 41);
    EXPECT_EQ(Lookup::TapActionCommand(9), 0);
}

}  // namespace

namespace {

TEST(TapWord, PunctuationAroundTheTappedWordIsDropped) {
    EXPECT_EQ(U16(Lookup::TrimPunctuation(String(u"aloud,"))), u"aloud");
    EXPECT_EQ(U16(Lookup::TrimPunctuation(String(u"\u201Cclear,"))), u"clear");
    EXPECT_EQ(U16(Lookup::TrimPunctuation(String(u"keeper's"))), u"keeper's");
    EXPECT_EQ(U16(Lookup::TrimPunctuation(String(u"..."))), u"");
}

// A tap on the page's text gives the reader controller the word under it.
class TapOnPageTest : public fvt::test::ControllerFixture {};

TEST_F(TapOnPageTest, TheWordUnderATapBecomesTheLastWord) {
    ReaderController reader;
    ReaderSettings settings;
    settings.tapAction = 9;  // no pop-up menu: only the word is kept
    reader.SetSettings(&settings);
    controller->SetReaderController(&reader);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_NE(controller->Page().View(), nullptr);
    controller->PaintPage();  // as the window shows it
    bool found = false;
    for (int32_t y = 5; y < 300 && !found; y += 7) {
        ASSERT_TRUE(TapOnPage(*controller, Point{30, y}));
        found = !reader.Lookups().LastWord().IsEmpty();
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(U16(reader.Lookups().LastWord()).substr(0, 9), u"Paragraph");
    controller->SetReaderController(nullptr);
}

TEST_F(TapOnPageTest, LookupCommandsAreEnabledWhileADictionaryExists) {
    EXPECT_FALSE(controller->IsCommandEnabled(45));  // no reader controller
    ReaderController reader;
    FakeCatalogue catalogue;
    reader.Lookups().SetDictionaries(&catalogue);
    controller->SetReaderController(&reader);
    EXPECT_FALSE(controller->IsCommandEnabled(46));
    catalogue.paths = {u"\\books\\a.prc"};
    ++catalogue.generation;
    EXPECT_TRUE(controller->IsCommandEnabled(46));
    controller->SetReaderController(nullptr);
}

}  // namespace
