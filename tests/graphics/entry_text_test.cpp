// The text pop-up's entry builder over an index entry and a book text: text ranges with breaks,
// bold and italic, the "More" link of tag 6 entries, and ranges that overrun the text.
#include <gtest/gtest.h>

#include "bookfiles/index_table.h"
#include "bookfiles/palm_database.h"
#include "core/resources.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/text_popup_window.h"
#include "support/bookfiles/index_fixture.h"
#include "support/document/memory_document.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::A;
using fvt::test::S;

class EntryTextTest : public fvt::test::SurfaceTest {
protected:
    void TearDown() override {
        popup.reset();
        SurfaceTest::TearDown();
    }
    std::unique_ptr<TextPopupWindow> popup;
    std::vector<std::string> Runs() {
        std::vector<std::string> out;
        for (int32_t i = 0; i < popup->Box()->RunCount(); ++i)
            out.push_back(A(*popup->Box()->RunText(i)));
        return out;
    }
    void MakeEmpty() {
        popup = std::make_unique<TextPopupWindow>(surface.get(), nullptr, false, nullptr);
        popup->Box()->SetStyle(-12, 1);
    }
    // An index whose entry "word" carries the tags given, in a database the test keeps.
    bool OpenEntry(std::vector<std::pair<std::uint8_t, std::vector<std::uint32_t>>> tags) {
        pdb.Add(ToBytes("record zero"));
        IndexWriter w;
        if (!w.Add(u"word", tags)) return false;
        std::uint32_t id = 0;
        if (!AddIndexTable(w, &pdb, &id)) return false;
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        if (!db || !table.Open(db.get(), id) || !reader.Open(&table)) return false;
        return table.PositionFromEntry(0, &position);
    }

    PdbBuilder pdb;
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    IndexTable table;
    IndexEntryReader reader;
    IndexPosition position;
};

TEST_F(EntryTextTest, RangesKeepBreaksBoldAndItalic) {
    MakeEmpty();
    MemoryDocument doc(u"<html><body>Head <b>bold</b> plain<br>next<p>para</p>tail</body>");
    std::vector<uint32_t> ranges{12, 48};
    ASSERT_TRUE(popup->AddTextRanges(&doc, ranges));
    std::vector<std::string> runs = Runs();
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0], "Head ");
    EXPECT_EQ(runs[1], "bold");
    EXPECT_NE(runs[2].find("plain\nnext"), std::string::npos) << runs[2];
    EXPECT_NE(runs[2].find("\npara"), std::string::npos) << runs[2];
}

TEST_F(EntryTextTest, UnbalancedEndTagsAndWrappingRangesAreHarmless) {
    MakeEmpty();
    MemoryDocument doc(u"<html>a</i></i><i>b</i>c");
    std::vector<uint32_t> ranges{6, 0xFFFFFFF0u, 0xFFFFFF00u, 10, 6, 1};
    EXPECT_TRUE(popup->AddTextRanges(&doc, ranges));
    std::vector<std::string> runs = Runs();
    // The range past the text is skipped; the overlong one is cut at the text's end.
    EXPECT_EQ(runs, (std::vector<std::string>{"a", "b", "c\na"}));
    // The stray end tags ended no run: the count stayed at zero, so only "b" starts one.
}

TEST_F(EntryTextTest, TagSixTextGetsAMoreLinkAndTagEightDoesNot) {
    MemoryDocument doc(u"<html>the first sense</html>");
    ASSERT_TRUE(OpenEntry({{6, {6, 15}}, {1, {5}}}));
    MakeEmpty();
    ASSERT_TRUE(popup->AddEntryText(&doc, nullptr, S("dict"), position, reader));
    std::vector<std::string> runs = Runs();
    String more;
    ASSERT_TRUE(Resources::LoadString(more, TextPopupWindow::kMoreId));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], "the first sense");
    EXPECT_EQ(runs[1], "  ");
    EXPECT_EQ(runs[2], A(more));
    LinkTarget* t = popup->Box()->LinkArea(0) ? popup->Box()->LinkArea(0)->link.Get() : nullptr;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, static_cast<uint32_t>(kLinkNamedEntry));
    EXPECT_EQ(A(t->text), "dict");
    EXPECT_EQ(t->number, 5u);
}

TEST_F(EntryTextTest, TagEightTextHasNoMoreLink) {
    MemoryDocument doc(u"<html>the first sense</html>");
    ASSERT_TRUE(OpenEntry({{8, {6, 9}}, {1, {5}}}));
    MakeEmpty();
    ASSERT_TRUE(popup->AddEntryText(&doc, nullptr, S("dict"), position, reader));
    EXPECT_EQ(Runs(), std::vector<std::string>{"the first"});
}

TEST_F(EntryTextTest, AnUnreadableEntryAddsNothing) {
    MemoryDocument doc(u"<html>x</html>");
    ASSERT_TRUE(OpenEntry({{1, {5}}}));
    MakeEmpty();
    EXPECT_FALSE(popup->AddEntryText(&doc, nullptr, S("dict"), IndexPosition{}, reader));
    EXPECT_EQ(popup->Box()->RunCount(), 0);
}

}  // namespace
