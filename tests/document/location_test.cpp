#include "document/location/location.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "token_dump.h"

namespace {

String S(const char16_t* s) { return String(s); }

Location Parsed(const char16_t* s, bool encoded = true) {
    Location l;
    EXPECT_TRUE(l.Parse(S(s), encoded)) << Narrow(S(s));
    return l;
}

std::string Full(const Location& l) {
    String out;
    if (!l.ToString(out, true)) return "<none>";
    return Narrow(out);
}

TEST(LocationParse, InternalPages) {
    Location lib = Parsed(u"oeb:library");
    EXPECT_EQ(lib.Kind(), 8u);
    EXPECT_EQ(lib.ResourceId(), 1u);
    EXPECT_EQ(Full(lib), "<none>");  // built-in pages have no text form

    Location redirect = Parsed(u"oeb:library?title=Foo");
    EXPECT_EQ(redirect.Kind(), 4u);
    EXPECT_EQ(redirect.ResourceId(), 0u);
    EXPECT_EQ(Full(redirect), "oeb:redirect?title=Foo");

    Location icons = Parsed(u"oeb:fvt_iconlib");
    EXPECT_EQ(icons.Kind(), 0u);
    EXPECT_EQ(icons.ResourceId(), 6u);
    EXPECT_EQ(Full(icons), "oeb:fvt_iconlib");

    Location cart = Parsed(u"oeb:cart?name=x");
    EXPECT_EQ(cart.Kind(), 0u);
    EXPECT_EQ(cart.ResourceId(), 5u);
    EXPECT_EQ(Full(cart), "oeb:cart?name=x");
    EXPECT_EQ(Parsed(u"oeb:bookmarks").Kind(), 8u);
    EXPECT_EQ(Parsed(u"oeb:about").ResourceId(), 4u);
    EXPECT_EQ(Parsed(u"oeb:redirect").Kind(), 4u);
}

TEST(LocationParse, Databases) {
    Location w = Parsed(u"oeb:database?name=folivant_wordlist");
    EXPECT_EQ(w.Kind(), 5u);
    EXPECT_EQ(w.ResourceId(), 7u);
    EXPECT_EQ(Parsed(u"oeb:database?name=folivant_history").ResourceId(), 8u);
    // The whole text, anchor included, must match.
    Location x = Parsed(u"oeb:database?name=folivant_wordlist#x");
    EXPECT_EQ(x.Kind(), 5u);
    EXPECT_EQ(x.ResourceId(), 0u);
    EXPECT_EQ(Full(x), "oeb:database?name=folivant_wordlist");
}

TEST(LocationParse, FailuresLeaveTheLocationAlone) {
    Location l = Parsed(u"book.prc");
    l.SetAnchor(S(u"#a"));
    EXPECT_FALSE(l.Parse(S(u"oeb:Library"), true));
    EXPECT_FALSE(l.Parse(S(u"oeb:unknown?x=1"), true));
    EXPECT_FALSE(l.Parse(S(u"http://example.com/"), true));
    EXPECT_EQ(l.Kind(), 1u);
    EXPECT_EQ(Full(l), "book.prc");
    EXPECT_EQ(Narrow(l.Anchor()), "#a");
    EXPECT_FALSE(l.Resolve(S(u"oeb:nothing#b"), nullptr));
    EXPECT_EQ(Narrow(l.Anchor()), "#a");
}

TEST(LocationParse, FilesAndAddresses) {
    Location https = Parsed(u"https://example.com/x");
    EXPECT_EQ(https.Kind(), 1u);
    Location enc = Parsed(u"\\My Books\\a b.txt", false);
    EXPECT_EQ(Full(enc), "%5CMy%20Books%5Ca%20b.txt");
    String name;
    ASSERT_TRUE(enc.ToString(name, false));
    EXPECT_EQ(Narrow(name), "\\My Books\\a b.txt");
    Text t;
    EXPECT_TRUE(enc.ToFileName(t));
    EXPECT_EQ(t.CharCount(), 17);
}

TEST(LocationAnchors, ResolveTakesTheAnchor) {
    Location l;
    ASSERT_TRUE(l.Resolve(S(u"book.htm#part2"), nullptr));
    EXPECT_EQ(Full(l), "book.htm");
    EXPECT_EQ(Narrow(l.Anchor()), "#part2");
    String withAnchor;
    ASSERT_TRUE(l.ToStringWithAnchor(withAnchor));
    EXPECT_EQ(Narrow(withAnchor), "book.htm#part2");
    ASSERT_TRUE(l.Resolve(S(u"b.prc$12#x"), nullptr));
    EXPECT_EQ(Narrow(l.Anchor()), "$12#x");
}

TEST(LocationAnchors, Forms) {
    Location l = Parsed(u"book.prc");
    ASSERT_TRUE(l.SetDollarAnchor(42));
    int64_t v = 0;
    EXPECT_TRUE(l.GetDollarValue(v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(l.HasDollar());
    EXPECT_FALSE(l.HasAnchor());
    ASSERT_TRUE(l.SetEoAnchor(S(u"cover?x=1")));
    EXPECT_EQ(Narrow(l.Anchor()), "$eo=cover");
    EXPECT_TRUE(l.GetDollarValue(v));
    EXPECT_EQ(v, -1);
    // The largest position is a number, not "none".
    ASSERT_TRUE(l.SetDollarAnchor(4294967295u));
    EXPECT_TRUE(l.GetDollarValue(v));
    EXPECT_EQ(v, 4294967295LL);
    ASSERT_TRUE(l.SetPositionAnchor(1234));
    EXPECT_EQ(Narrow(l.Anchor()), "##-pos1234");
    EXPECT_TRUE(l.HasPositionAnchor());
    EXPECT_EQ(l.GetAnchorPosition(), 1234);
    EXPECT_EQ(Location::GetAnchorPosition(S(u"##-posx-pos5")), 5);
    EXPECT_EQ(Location::GetAnchorPosition(S(u"#pos5")), -1);
    String part;
    EXPECT_TRUE(Location::GetAnchorPart(S(u"$3#top"), part));
    EXPECT_EQ(Narrow(part), "#top");
    EXPECT_TRUE(Location::GetFullAnchor(S(u"x$3#top"), part));
    EXPECT_EQ(Narrow(part), "$3#top");
}

TEST(LocationAnchors, IconLibraryIds) {
    Location base = Parsed(u"\\storage\\eBooks\\page.html");
    Location icon;
    ASSERT_TRUE(icon.Resolve(S(u"oeb:fvt_iconlib$235"), &base));
    EXPECT_TRUE(icon.IsIconLibrary());
    EXPECT_TRUE(icon.IsInternal());
    EXPECT_EQ(icon.IconId(), 235);
    // No anchor, an anchor that is no number, an id past 16 bits, another internal page.
    for (const char16_t* s : {u"oeb:fvt_iconlib", u"oeb:fvt_iconlib$abc", u"oeb:fvt_iconlib$65536",
                              u"oeb:fvt_iconlib$-3", u"oeb:cart$235", u"pics/235.gif$235"}) {
        Location l;
        ASSERT_TRUE(l.Resolve(S(s), &base)) << Narrow(S(s));
        EXPECT_EQ(l.IconId(), -1) << Narrow(S(s));
    }
    ASSERT_TRUE(icon.Resolve(S(u"oeb:fvt_iconlib$65535"), nullptr));
    EXPECT_EQ(icon.IconId(), 65535);
}

TEST(LocationResolve, RelativeLinks) {
    Location base = Parsed(u"\\books\\dir\\page.htm");
    Location l;
    ASSERT_TRUE(l.ResolveAgainst(S(u"#top"), base));
    EXPECT_EQ(Full(l), Full(base));
    EXPECT_EQ(Narrow(l.Anchor()), "#top");

    ASSERT_TRUE(l.ResolveAgainst(S(u"other.htm?q=a b#x"), base));
    EXPECT_EQ(Full(l), "%5Cbooks%5Cdir%5Cother.htm?q=a b");
    EXPECT_EQ(Narrow(l.Anchor()), "#x");

    ASSERT_TRUE(l.ResolveAgainst(S(u"../up.htm"), base));
    EXPECT_EQ(Full(l), "%5Cbooks%5Cup.htm");

    // Climbing past the root stops there.
    ASSERT_TRUE(l.ResolveAgainst(S(u"../../../../x.htm"), base));
    EXPECT_EQ(Full(l), "%5Cx.htm");

    // A link beginning with a backslash (or a slash) is absolute.
    ASSERT_TRUE(l.ResolveAgainst(S(u"%5Cabs%5Cy.htm"), base));
    EXPECT_EQ(Full(l), "%5Cabs%5Cy.htm");
    ASSERT_TRUE(l.ResolveAgainst(S(u"/abs/z.htm"), base));
    EXPECT_EQ(Full(l), "/abs/z.htm");
}

TEST(LocationResolve, LinksInsideBookFiles) {
    Location base = Parsed(u"\\books\\a.prc\\chapter\\one.htm");
    Location l;
    // The base is cut back to the book file, which then stands for its folder.
    ASSERT_TRUE(l.ResolveAgainst(S(u"b.prc\\two.htm"), base));
    EXPECT_EQ(Full(l), "%5Cbooks%5Cb.prc%5Ctwo.htm");
    // Without ".prc" in the base the base is used as it is.
    Location plain = Parsed(u"\\books\\c.htm");
    ASSERT_TRUE(l.ResolveAgainst(S(u"d.prc"), plain));
    EXPECT_EQ(Full(l), "%5Cbooks%5Cd.prc");
}

TEST(LocationResolve, InternalBases) {
    Location base = Parsed(u"oeb:about");
    Location l;
    EXPECT_FALSE(l.ResolveAgainst(S(u"x.htm"), base));
    Location cart = Parsed(u"oeb:cart");
    ASSERT_TRUE(l.ResolveAgainst(S(u"x.htm"), cart));  // kind 0 bases take links as they are
    EXPECT_EQ(Full(l), "x.htm");
    String child;
    EXPECT_TRUE(l.ParseChild(S(u"y.htm#a"), Parsed(u"\\d\\p.htm"), child));
    EXPECT_EQ(Narrow(child), "%5Cd%5Cy.htm#a");
}

TEST(LocationCompare, KindsIdsAndTexts) {
    Location a = Parsed(u"x.txt");
    Location b = Parsed(u"x.txt");
    b.SetKind(3);
    EXPECT_EQ(Location::Compare(a, b), 0);
    EXPECT_EQ(Location::Compare(Parsed(u"oeb:cart"), Parsed(u"oeb:bookstore")), 1);
    EXPECT_EQ(Location::Compare(Parsed(u"a"), Parsed(u"ab")), -1);
    EXPECT_EQ(Location::Compare(Parsed(u"B"), Parsed(u"a")), -1);  // no case folding
    EXPECT_EQ(Location::Compare(Parsed(u"oeb:cart"), Parsed(u"x")), -1);
    a.SetAnchor(S(u"#1"));
    EXPECT_EQ(Location::Compare(a, b), 0);
    EXPECT_EQ(Location::CompareWithAnchor(a, b, S(u"#1")), 0);
    EXPECT_NE(Location::CompareWithAnchor(a, b, S(u"#2")), 0);
    EXPECT_TRUE(Location::EqualsString(a, b, S(u"#1")));
}

TEST(LocationParams, Rules) {
    std::vector<uint32_t> ids;
    std::vector<String> values;
    EXPECT_TRUE(Location::GetParams(S(u"?a=1&=2"), ids, values));
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(ids[0], 0u);
    ids.clear();
    values.clear();
    EXPECT_TRUE(Location::GetParams(S(u"?name=a&&cat=b"), ids, values));
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], 1u);
    EXPECT_EQ(Narrow(values[0]), "a");
    EXPECT_EQ(ids[1], 0u);
    EXPECT_EQ(Narrow(values[1]), "b");
    ids.clear();
    values.clear();
    EXPECT_TRUE(Location::GetParams(S(u"?title=a%20b&param=&subpath=x#y"), ids, values));
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(Narrow(values[0]), "a%20b");  // not decoded
    EXPECT_EQ(Narrow(values[1]), "");
    EXPECT_EQ(ids[2], 5u);
    EXPECT_EQ(Narrow(values[2]), "x");
    EXPECT_FALSE(Location::GetParams(S(u"nothing"), ids, values));
    String q;
    EXPECT_TRUE(Location::GetQuery(S(u"a?b=c"), q, true));
    EXPECT_EQ(Narrow(q), "?b=c");
}

TEST(LocationBuilders, DatabaseNames) {
    Location l = Parsed(u"x.txt");
    ASSERT_TRUE(l.SetDatabaseName(S(u"My List!")));
    EXPECT_EQ(l.Kind(), 5u);
    EXPECT_EQ(Full(l), "oeb:database?name=My_List_");
    Location m = Parsed(u"y.txt");
    EXPECT_FALSE(m.SetDatabaseName(S(u"!!!")));
    EXPECT_EQ(m.Kind(), 1u);
}

TEST(LocationBuilders, AnnotationCategories) {
    uint32_t c = 99;
    EXPECT_TRUE(Parsed(u"oeb:bookmarks?cat=FVT_highlights_3").GetAnnotationCategory(c));
    EXPECT_EQ(c, 10u);
    EXPECT_TRUE(Parsed(u"oeb:bookmarks?cat=other").GetAnnotationCategory(c));
    EXPECT_EQ(c, 0u);
    EXPECT_FALSE(Parsed(u"oeb:about?cat=FVT_all_").GetAnnotationCategory(c));
}

TEST(LocationBuilders, BookmarksPage) {
    Location l = Parsed(u"oeb:bookmarks?cat=FVT_all_");
    Location base = Parsed(u"\\b\\My Book.prc", false);
    Text name, cat;
    ASSERT_TRUE(l.MakeBookmarksLocation(&base, name, cat));
    EXPECT_EQ(Full(l), "oeb:bookmarks?cat=FVT_all_&name=%5Cb%5CMy%20Book.prc");
    Location none = Parsed(u"oeb:bookmarks");
    EXPECT_FALSE(none.MakeBookmarksLocation(nullptr, name, cat));
}

}  // namespace
