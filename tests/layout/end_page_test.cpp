// End in an HTML file read from its first page (no checkpoint kept): the page shown is the last
// page paging forward reaches, with the open elements paging forward gives it,
// when listings, tables and lists stay open across long stretches and many elements open and
// close far before the end. The reading notes the elements far from its target and makes their
// entries only where wanted; that builds the stack making every entry as it reads does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/markup_engine.h"
#include "support/layout/paging_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

const char16_t* const kWords[] = {u"stream", u"buffer", u"the",   u"callback", u"is",
                                  u"called", u"with",   u"an",    u"error",    u"when",
                                  u"a",      u"socket", u"emits", u"data",     u"encoding"};

std::u16string Words(uint32_t& r, int n) {
    return fvt::test::PseudoWords(kWords, r, n);
}

std::u16string Num(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// An API reference's markup: most positions are tags. Sections of headings with anchors, short
// paragraphs of code and links, highlighted listings, tables of options, lists whose items and
// paragraphs leave their end tags out (the nesting rules close them), comments and references;
// a division open from the start, and near the end a listing, a table and a list each longer
// than the spacing of the replay's checkpoints, the text ending inside the list.
std::u16string Reference(int sections) {
    uint32_t r = 11;
    std::u16string h =
        u"<html><head><title>API</title><script>if (a < b) { x = \"</p>\"; }</script>"
        u"<style>code { color: red }</style></head><body><div id=\"content\" class=\"api\">";
    auto listing = [&](int lines) {
        std::u16string s = u"<pre class=\"with-58-chars\"><code class=\"language-js\">";
        for (int l = 0; l < lines; ++l)
            s += u"<span class=\"hljs-keyword\">const</span> { " + Words(r, 2) +
                 u" } = <span class=\"hljs-built_in\">require</span>(<span "
                 u"class=\"hljs-string\">'node:" +
                 Words(r, 1) + u"'</span>);\n\t" + Words(r, 3) + u"\n";
        return s + u"</code></pre>";
    };
    auto table = [&](int rows) {
        std::u16string s = u"<table><tbody><tr><th>Option</th><th>Meaning</th></tr>";
        for (int row = 0; row < rows; ++row)
            s += u"<tr><td><code>opt" + Num(row) + u"</code></td><td>" + Words(r, 6) +
                 u" <a href=\"#opt" + Num(row) + u"\">more</a></td></tr>";
        return s + u"</tbody></table>";
    };
    for (int c = 1; c <= sections; ++c) {
        h += u"<section><h3 id=\"s" + Num(c) + u"\"><span><a class=\"mark\" href=\"#s" + Num(c) +
             u"\">#</a></span>stream." + Words(r, 1) + u"()</h3><!-- " + Words(r, 4) + u" -->";
        h += u"<div class=\"api_metadata\"><span>Added in: v" + Num(c) + u".0</span></div>";
        h += u"<ul><li><code>options</code> <a href=\"#o\" class=\"type\">&lt;Object&gt;</a>" +
             Words(r, 6) + u"<ul><li><code>" + Words(r, 1) + u"</code> &amp; " + Words(r, 5) +
             u"<li><code>" + Words(r, 1) + u"</code> " + Words(r, 4) + u"</ul>";
        h += u"<li>Returns: <code>&lt;boolean&gt;</code></ul>";
        h += u"<p>" + Words(r, 12) + u" <code>" + Words(r, 1) + u"</code> " + Words(r, 9) +
             u"<p><em>" + Words(r, 8) + u"</em> " + Words(r, 6);
        h += listing(3);
        h += table(3);
        h += u"</section>\n";
    }
    h += listing(260);
    h += table(180);
    h += u"<ul>";
    for (int i = 0; i < 220; ++i)
        h += u"<li><a href=\"#e" + Num(i) + u"\"><code>entry" + Num(i) + u"</code></a> " +
             Words(r, 7);
    return h + u"<li>The last entry.";
}

using Engine = fvt::test::MarkupEngine<MemoryDocument>;

std::unique_ptr<Engine> NewEngine(const std::u16string& html, fvt::test::ContextCanvas* canvas) {
    return std::make_unique<Engine>(html, canvas, 4096, 240);
}

// What a page shows and the state it starts from.
struct Shown {
    uint32_t start = PageLayout::kNone;
    std::vector<std::string> lines;
    std::vector<uint8_t> scanState;
};

Shown Take(Engine& e) {
    Shown s;
    s.start = e.layout->CurrentPageStart();
    s.lines = e.Lines();
    if (PageRecord* record = e.Current())
        s.scanState.assign(record->scanState.Data(),
                           record->scanState.Data() + record->scanState.Size());
    return s;
}

class EndPage : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        fvt::test::WindowTest::SetUp();
        canvas_ = fvt::test::NewContextCanvas(200, 240);
        html_ = Reference(150);
    }
    void TearDown() override {
        PageLayout::noteFarElements = true;
        fvt::test::DeleteContextCanvas(canvas_);
        fvt::test::WindowTest::TearDown();
    }
    fvt::test::ContextCanvas* canvas_ = nullptr;
    std::u16string html_;
};

TEST_F(EndPage, IsTheLastPagePagingForwardReaches) {
    // Far more positions than a replay reads closely before its target, most of them tags.
    ASSERT_GT(html_.size(), 200000u);
    auto forward = NewEngine(html_, canvas_);
    ASSERT_TRUE(forward->started && forward->layout->GoToPage(1));
    int pages = 1;
    while (
        forward->layout->CanStep(PageStepCode::kNextPage) &&
        forward->layout->GoToPosition(forward->layout->CurrentPageStart(), PageStepCode::kNextPage))
        ++pages;
    ASSERT_GT(pages, 300);
    const Shown last = Take(*forward);
    PageRecord* lastRecord = forward->Current();
    ASSERT_TRUE(lastRecord);
    // The list, the division, BODY and HTML stand open there.
    EXPECT_GE(lastRecord->elements.Count(), 4u);

    auto end = NewEngine(html_, canvas_);
    ASSERT_TRUE(end->started && end->layout->GoToPage(PageLayout::kNone));
    const Shown shown = Take(*end);
    EXPECT_EQ(shown.start, last.start);
    EXPECT_EQ(shown.lines, last.lines);
    PageRecord* endRecord = end->Current();
    ASSERT_TRUE(endRecord);
    EXPECT_TRUE(endRecord->elements.Equals(lastRecord->elements));
    EXPECT_FALSE(end->layout->CanStep(PageStepCode::kNextPage));
}

// End, a PageUp from it, and Go to page inside the long listing and inside the long table: the
// same pages and states whether the reading notes the far elements or makes every entry.
TEST_F(EndPage, NotingFarElementsBuildsTheStackMakingEveryEntryBuilds) {
    struct Jumped {
        std::vector<Shown> shown;
        std::vector<std::unique_ptr<Engine>> engines;
    };
    auto jumps = [&](bool note) {
        PageLayout::noteFarElements = note;
        Jumped j;
        j.engines.push_back(NewEngine(html_, canvas_));
        Engine& end = *j.engines.back();
        if (!end.started || !end.layout->GoToPage(PageLayout::kNone)) return j;
        j.shown.push_back(Take(end));
        if (end.layout->GoToPosition(end.layout->CurrentPageStart(), PageStepCode::kPageEndingHere))
            j.shown.push_back(Take(end));
        for (const char16_t* inside : {u"hljs-string\">'node:", u"<td><code>opt150"}) {
            j.engines.push_back(NewEngine(html_, canvas_));
            Engine& go = *j.engines.back();
            const uint32_t at = static_cast<uint32_t>(html_.rfind(inside));
            if (!go.started || !go.layout->GoToPageContaining(at)) return j;
            j.shown.push_back(Take(go));
        }
        return j;
    };
    Jumped every = jumps(false);
    Jumped noted = jumps(true);
    ASSERT_EQ(every.shown.size(), 4u);
    ASSERT_EQ(noted.shown.size(), every.shown.size());
    for (size_t i = 0; i < every.shown.size(); ++i) {
        EXPECT_GT(every.shown[i].start, 100000u) << "jump " << i;
        EXPECT_FALSE(every.shown[i].lines.empty()) << "jump " << i;
        EXPECT_EQ(noted.shown[i].start, every.shown[i].start) << "jump " << i;
        EXPECT_EQ(noted.shown[i].lines, every.shown[i].lines) << "jump " << i;
        EXPECT_EQ(noted.shown[i].scanState, every.shown[i].scanState) << "jump " << i;
    }
    for (size_t e = 0; e < every.engines.size(); ++e) {
        PageRecord* a = every.engines[e]->Current();
        PageRecord* b = noted.engines[e]->Current();
        ASSERT_TRUE(a && b) << "engine " << e;
        // A listing, a table and the list keep their elements, attributes and styles.
        EXPECT_GE(a->elements.Count(), 4u) << "engine " << e;
        EXPECT_TRUE(a->elements.Equals(b->elements)) << "engine " << e;
    }
}

}  // namespace
