// The list pop-up: sharing its space between heading, list and footer, the "LTTS" state record
// (round trip and malformed records), and activating a row (save, close, perform, clear, even
// when the action deletes the pop-up).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/list_popup.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::A;
using fvt::test::S;

class Host : public PopupHost {
public:
    void PerformAction(LinkTarget* target, Point) override {
        calls.push_back("perform " + A(target->text) + " " + std::to_string(target->number));
        if (onPerform) onPerform();
    }
    int8_t FontSize() override { return -12; }
    uint8_t DisplayFace() override { return 1; }
    bool GetPopupArea(Rect& out) override {
        out = area;
        return true;
    }
    void KeepPopupState(ByteStream& state) override {
        calls.push_back("keep");
        kept.CopyFrom(state);
    }
    void ClearPopupState() override { calls.push_back("clear"); }

    Rect area{0, 0, 240, 200};
    std::vector<std::string> calls;
    ByteStream kept;
    std::function<void()> onPerform;
};

class ListPopupTest : public fvt::test::SurfaceTest {
protected:
    void TearDown() override {
        delete popup;
        SurfaceTest::TearDown();
    }
    ListPopup* Make(uint32_t flags = 0) {
        auto* p =
            new ListPopup(surface.get(), &host, flags, nullptr, nullptr, IconHost{nullptr, 96});
        p->SetStyles(-12, 1);
        return p;
    }
    static PopupRows* Rows(int n, bool links = true) {
        auto* rows = new PopupRows;
        for (int i = 0; i < n; ++i) {
            SortedRecordSet::Row row;
            row.first = S(("word " + std::to_string(i)).c_str());
            row.second = S("dict");
            row.firstNumber = static_cast<uint16_t>(i);
            row.secondNumber = 7;
            LinkTarget* t = nullptr;
            if (links && i % 2 == 0) {
                t = new LinkTarget;
                t->kind = kLinkRecordRow;
                t->text = S(("entry" + std::to_string(i)).c_str());
                t->number = static_cast<uint32_t>(100 + i);
            }
            rows->AddLinkedRow(row, t);
            if (t) t->Release();
        }
        return rows;
    }
    void Fill(ListPopup* p, int n, const char* heading, const char* footer) {
        PopupRows* rows = Rows(n);
        p->SetRecordSet(rows);
        rows->Release();
        p->SetHeading(S(heading));
        p->SetFooter(S(footer));
        p->SetAnchor(Point{30, 40}, false);
    }
    Rect RectOf(Node* n) {
        Rect r{};
        n->GetRect(r);
        return r;
    }

    Host host;
    ListPopup* popup = nullptr;
};

// --- Space --------------------------------------------------------------------------------

TEST_F(ListPopupTest, HeadingListAndFooterStackInsideTheFrame) {
    GdiUseSyntheticFonts(false);
    popup = Make(ListPopup::kStyleFour);
    Fill(popup, 3, "Results", "three found");
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle(), head = RectOf(popup->HeadingBox()),
         list = RectOf(popup->ListPart()), foot = RectOf(popup->FooterBox());
    EXPECT_EQ(head.y, r.y + 1);
    EXPECT_GT(head.height, 0);
    EXPECT_EQ(list.y, head.Bottom());
    EXPECT_EQ(foot.y, list.Bottom());
    EXPECT_EQ(foot.Bottom(), r.Bottom() - 1);
    EXPECT_EQ(r.x, 30);
    Snapshot("list_popup_en");
}

TEST_F(ListPopupTest, AnEmptyHeadingTakesNoHeight) {
    popup = Make();
    Fill(popup, 3, "", "");
    ASSERT_TRUE(popup->Show(true));
    Rect list = RectOf(popup->ListPart());
    EXPECT_EQ(list.y, popup->Rectangle().y + 1);
    EXPECT_EQ(list.Bottom(), popup->Rectangle().Bottom() - 1);
}

TEST_F(ListPopupTest, TheListGivesUpSpaceFirst) {
    host.area = Rect{0, 0, 240, 150};
    popup = Make();
    Fill(popup, 40, "Results", "many found");
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle();
    EXPECT_LE(r.height, 150 - 2 * ListPopup::kAreaInset);
    EXPECT_GT(RectOf(popup->HeadingBox()).height, 0);
    EXPECT_GT(RectOf(popup->FooterBox()).height, 0);
}

TEST_F(ListPopupTest, BoxesVanishWhenTheListCannotMakeRoom) {
    host.area = Rect{0, 0, 120, 110};
    popup = Make();
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "heading ";
    Fill(popup, 1, longText.c_str(), longText.c_str());
    ASSERT_TRUE(popup->Show(true));
    Rect list = RectOf(popup->ListPart());
    EXPECT_GT(list.height, 0);
    EXPECT_EQ(list.y, popup->Rectangle().y + 1);
    EXPECT_EQ(list.Bottom(), popup->Rectangle().Bottom() - 1);
}

TEST_F(ListPopupTest, ACentredPopupIsCentredOnItsAnchor) {
    popup = Make();
    Fill(popup, 3, "Results", "");
    popup->SetAnchor(Point{120, 100}, true);
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle();
    EXPECT_NEAR(r.x + r.width / 2, 120, 1);
    EXPECT_NEAR(r.y + r.height / 2, 100, 1);
}

// --- State record -----------------------------------------------------------------------------

TEST_F(ListPopupTest, StateRoundTripsAnchorFlagsTextsRowsAndCurrentRow) {
    popup = Make(ListPopup::kStyleFour);
    Fill(popup, 30, "Results", "thirty found");
    ASSERT_TRUE(popup->Show(true));
    ListControl* list = popup->ListPart()->List();
    InputEvent down = InputEvent::Key(kKeyLineDown);
    ASSERT_TRUE(list->HandleEvent(down));
    ASSERT_TRUE(list->HandleEvent(down));
    InputEvent next = InputEvent::Key(ListControl::kKeyItemNext);
    list->HandleEvent(next);
    RecordPosition current;
    ASSERT_TRUE(list->GetCurrentItemExtent(current));
    ByteStream s;
    ASSERT_TRUE(popup->WriteState(s));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Data()), 12), "LTTSLTTSLTTS");

    ListPopup* back = Make();
    ASSERT_TRUE(back->RestoreState(s));
    EXPECT_EQ(back->Anchor(), (Point{30, 40}));
    EXPECT_FALSE(back->IsCentred());
    EXPECT_EQ(back->Flags(), ListPopup::kStyleFour);
    EXPECT_EQ(A(back->HeadingText()), "Results");
    EXPECT_EQ(A(back->FooterText()), "thirty found");
    PopupRows* rows = back->ListPart()->RowSource();
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->RowCount(), 30);
    EXPECT_EQ(A(rows->RowAt(5)->first), "word 5");
    EXPECT_EQ(rows->GetSecondNumber(5), 7);
    LinkTarget* t = rows->GetLinkTarget(RecordPosition::At(4));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, static_cast<uint32_t>(kLinkRecordRow));
    EXPECT_EQ(A(t->text), "entry4");
    EXPECT_EQ(t->number, 104u);
    t->Release();
    EXPECT_EQ(rows->GetLinkTarget(RecordPosition::At(5)), nullptr);
    EXPECT_EQ(back->ListPart()->List()->TopPosition().Get(), 2);
    ASSERT_TRUE(back->Show(true));
    RecordPosition restored;
    ASSERT_TRUE(back->ListPart()->List()->GetCurrentItemExtent(restored));
    EXPECT_EQ(restored.Get(), current.Get());
    delete back;
}

TEST_F(ListPopupTest, AnUnboundedPopupSavesNothing) {
    popup = Make(ListPopup::kUnbounded);
    Fill(popup, 3, "x", "");
    ByteStream s;
    EXPECT_FALSE(popup->WriteState(s));
    EXPECT_FALSE(popup->SaveState());
    EXPECT_EQ(popup->MaxRect(), (Rect{0, 0, 16384, 16384}));
}

ByteStream Header(uint32_t h, uint32_t f) {
    ByteStream s;
    s.WriteBytes("LTTSLTTSLTTS", 12);
    uint32_t words[6] = {10, 20, 0, 0, h, f};
    for (uint32_t w : words) {
        uint8_t b[4] = {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                        static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 24)};
        s.WriteBytes(b, 4);
    }
    return s;
}

void Word(ByteStream& s, uint32_t w) {
    uint8_t b[4] = {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                    static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 24)};
    s.WriteBytes(b, 4);
}

TEST_F(ListPopupTest, ShortOrForeignRecordsAreRefused) {
    popup = Make();
    ByteStream shortOne;
    shortOne.WriteBytes("LTTSLTTSLTTS", 12);
    Word(shortOne, 1);
    EXPECT_FALSE(popup->RestoreState(shortOne));
    ByteStream foreign = Header(0, 0);
    foreign.MutableData()[0] = 'X';
    Word(foreign, 0);
    EXPECT_FALSE(popup->RestoreState(foreign));
}

TEST_F(ListPopupTest, HugeLengthsAndCountsFailWithoutReadingOn) {
    popup = Make();
    ByteStream hugeHeading = Header(0x80000001u, 0);
    Word(hugeHeading, 0);
    EXPECT_FALSE(popup->RestoreState(hugeHeading));
    ByteStream hugeCount = Header(0, 0);
    Word(hugeCount, 0x7FFFFFFFu);
    Word(hugeCount, 0);
    EXPECT_FALSE(popup->RestoreState(hugeCount));
    ByteStream hugeRow = Header(0, 0);
    Word(hugeRow, 1);
    Word(hugeRow, 0);
    Word(hugeRow, 5);
    Word(hugeRow, 0xFFFFFFF0u);
    Word(hugeRow, 0);
    Word(hugeRow, 0);
    Word(hugeRow, 0);
    EXPECT_FALSE(popup->RestoreState(hugeRow));
}

TEST_F(ListPopupTest, ARecordCutInItsRowsKeepsTheRowsRead) {
    ListPopup* source = Make();
    Fill(source, 4, "H", "F");
    ByteStream whole;
    ASSERT_TRUE(source->WriteState(whole));
    delete source;
    ByteStream cut;
    cut.WriteBytes(whole.Data(), whole.Size() - 30);
    popup = Make();
    EXPECT_FALSE(popup->RestoreState(cut));
    ASSERT_NE(popup->ListPart()->RowSource(), nullptr);
    EXPECT_EQ(popup->ListPart()->RowSource()->RowCount(), 3);
    EXPECT_EQ(A(popup->HeadingText()), "H");
}

TEST_F(ListPopupTest, ACurrentRowOutsideTheRowsRestoresWithoutSelection) {
    for (uint32_t current : {0xFFFFFFFFu, 4u, 400u}) {
        ByteStream s = Header(0, 0);
        Word(s, 2);
        for (int i = 0; i < 2; ++i) {
            Word(s, 0);
            Word(s, 0xFFFFFFFFu);
            Word(s, 0);
            Word(s, 2);
            Word(s, 0);
            s.WriteBytes("a\0b\0", 4);
        }
        Word(s, 0);
        Word(s, current);
        ListPopup* p = Make();
        EXPECT_TRUE(p->RestoreState(s)) << current;
        EXPECT_FALSE(p->ListPart()->IsRestorePending()) << current;
        delete p;
    }
}

// --- Keys and activation ----------------------------------------------------------------------

TEST_F(ListPopupTest, ActivationSavesClosesPerformsThenClears) {
    popup = Make();
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    popup->ListPart()->OnActivate(RecordPosition::At(2));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"keep", "perform entry2 102", "clear"}));
    EXPECT_FALSE(popup->IsShown());
    EXPECT_GT(host.kept.Size(), 36u);
}

TEST_F(ListPopupTest, ARowWithoutLinkDoesNothing) {
    popup = Make();
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    popup->ListPart()->OnActivate(RecordPosition::At(1));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(popup->IsShown());
}

TEST_F(ListPopupTest, FlagsFourAndThirtyTwoLeaveTheViewStateAlone) {
    popup = Make(ListPopup::kNoSaveOnActivate);
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    popup->ListPart()->OnActivate(RecordPosition::At(0));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"perform entry0 100", "clear"}));
    host.calls.clear();
    delete popup;
    popup = Make(ListPopup::kUnbounded);
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    popup->ListPart()->OnActivate(RecordPosition::At(0));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"perform entry0 100"}));
}

TEST_F(ListPopupTest, AnActionThatDeletesThePopupIsSafe) {
    popup = Make();
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    host.onPerform = [this] {
        delete popup;
        popup = nullptr;
    };
    // Showing focused the list, which made its first row (a linked one) current.
    RecordPosition current;
    ASSERT_TRUE(popup->ListPart()->List()->GetCurrentItemExtent(current));
    EXPECT_EQ(current.Get(), 0);
    InputEvent go = InputEvent::Key(kKeyActivate);
    EXPECT_TRUE(popup->ListPart()->HandleEvent(go));
    EXPECT_EQ(popup, nullptr);
    EXPECT_EQ(host.calls.back(), "clear");
}

TEST_F(ListPopupTest, OtherKeysCloseThePopup) {
    popup = Make();
    Fill(popup, 3, "Results", "");
    ASSERT_TRUE(popup->Show(true));
    InputEvent left = InputEvent::Key(kKeyLeft);
    EXPECT_TRUE(popup->ListPart()->HandleEvent(left));
    EXPECT_FALSE(popup->IsShown());
}

// --- Rows and their links ------------------------------------------------------------------

TEST(PopupRowsTest, LinksFollowTheirRowsWhenSortedAndGoWithTheRows) {
    auto* rows = new PopupRows;
    const char* words[3] = {"pear", "apple", "fig"};
    LinkTarget* made[3] = {};
    for (int i = 0; i < 3; ++i) {
        SortedRecordSet::Row row;
        row.first = S(words[i]);
        made[i] = new LinkTarget;  // the test keeps this first reference
        made[i]->text = S(words[i]);
        ASSERT_TRUE(rows->AddLinkedRow(row, i == 2 ? nullptr : made[i]));
    }
    rows->SortByFirstText();
    std::vector<std::string> seen;
    for (int32_t i = 0; i < 3; ++i) {
        LinkTarget* t = rows->GetLinkTarget(RecordPosition::At(i));
        seen.push_back(A(rows->RowAt(i)->first) + "=" + (t ? A(t->text) : "none"));
        if (t) t->Release();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"apple=apple", "fig=none", "pear=pear"}));
    EXPECT_EQ(made[0]->RefCount(), 2);
    rows->Release();
    for (LinkTarget* t : made) {
        EXPECT_EQ(t->RefCount(), 1);
        t->Release();
    }
}

}  // namespace
