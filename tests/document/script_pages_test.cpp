// Server-side script pages: the script a page compiles to, the page objects, redirects and
// the error report, served from pages kept inside a book.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "document/sources/document_loader.h"
#include "document/sources/script_pages.h"
#include "script/script_code.h"
#include "script/script_engine.h"
#include "support/bookfiles/book_builder.h"
#include "support/document/document_text.h"
#include "support/platform/temp_device.h"

namespace {

std::u16string W(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

String S(const std::string& s) {
    std::u16string w = W(s);
    return String(w.data(), static_cast<int32_t>(w.size()));
}

std::string N(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
    return out;
}

std::string Compiled(const std::string& page, bool* ok = nullptr) {
    ScriptPageCompiler c;
    bool done = c.CompileText(S(page));
    if (ok) *ok = done;
    std::string out = N(c.GetScript());
    for (const String& l : c.Literals()) out += "|" + N(l);
    return out;
}

TEST(ScriptPageCompiling, LiteralsAndExpressionsBecomeWriteCalls) {
    bool ok = false;
    EXPECT_EQ(Compiled("<%@Language=Javascript%>a<%=1+1%>b", &ok),
              "Response.Write (__litteralstr 0);Response.Write (__litteralstr 1);"
              "Response.Write ( 1+1);Response.Write (__litteralstr 2);||a|b");
    EXPECT_TRUE(ok);
    // Statements go in as they are; the empty text between two blocks is a literal too.
    EXPECT_EQ(Compiled("<%@Language=Javascript%><% var n = 2 %>", &ok),
              "Response.Write (__litteralstr 0);Response.Write (__litteralstr 1); var n = 2 ||");
    EXPECT_TRUE(ok);
    // A comment at the end of an expression takes the closing ");" with it (the line count
    // matters more); the script then does not compile, and the page reports it.
    EXPECT_EQ(Compiled("<%@Language=Javascript%><%=x // c%>"),
              "Response.Write (__litteralstr 0);Response.Write (__litteralstr 1);"
              "Response.Write ( x // c);||");
}

TEST(ScriptPageCompiling, LineBreaksInLiteralsKeepTheLines) {
    std::string script = Compiled("<%@Language=Javascript%>a\nb\nc\nd");
    EXPECT_NE(script.find("__litteralstr 1);\r\n\r\n\r\n|"), std::string::npos);
    std::string many = Compiled("<%@Language=Javascript%>" + std::string(20, '\n'));
    size_t pairs = 0;
    for (size_t at = many.find("\r\n"); at != std::string::npos; at = many.find("\r\n", at + 2))
        ++pairs;
    EXPECT_EQ(pairs, 20u);
}

TEST(ScriptPageCompiling, TheDirectiveComesFirstExactly) {
    bool ok = false;
    Compiled("<% @Language=Javascript %>x", &ok);
    EXPECT_TRUE(ok);
    Compiled("<%@language=javascript%>x", &ok);
    EXPECT_FALSE(ok);
    Compiled("<% var a %><%@Language=Javascript%>", &ok);
    EXPECT_FALSE(ok);
    // No blocks at all: not a script page, wherever the text ends.
    Compiled("<html>plain</html>", &ok);
    EXPECT_FALSE(ok);
    Compiled("", &ok);
    EXPECT_FALSE(ok);
    // Ending inside a block.
    Compiled("<%@Language=Javascript%>a<%=1", &ok);
    EXPECT_FALSE(ok);
    Compiled("<%@Language=Javascript%>a<%", &ok);
    EXPECT_FALSE(ok);
}

struct Page {
    std::string name;
    uint32_t kind;
    std::string text;
};

// A book whose text is a short front page followed by the pages, each an object target of
// its kind over its text range.
std::string BookOf(const std::vector<Page>& pages) {
    BookBuilder b;
    std::string text = "<html><body>front</body></html>";
    for (const Page& p : pages) {
        BookTargetSpec t;
        t.kind = BookDocument::kTargetObject;
        t.name = p.name;
        t.position = static_cast<int32_t>(text.size());
        text += p.text;
        t.numbers[0] = static_cast<int32_t>(text.size());
        t.numbers[1] = 0;
        t.numbers[2] = static_cast<int32_t>(p.kind);
        b.targets.push_back(t);
    }
    b.text = ToBytes(text);
    Bytes bytes = b.Build();
    return std::string(bytes.begin(), bytes.end());
}

struct ServedPages : ::testing::Test {
    void Book(const std::vector<Page>& pages) { device.WriteHost("b/s.prc", BookOf(pages)); }
    // The text of the page served at the path inside the book, or "<none>".
    std::string Serve(const std::string& inner, Location* where = nullptr) {
        Location l;
        if (!l.Resolve(S("\\b\\s.prc\\" + inner), nullptr)) return "<bad>";
        Resource* r = loader.Open(l, nullptr, nullptr);
        if (where) where->CopyFrom(l);
        if (!r) return "<none>";
        std::u16string text = DocumentText(*r->GetDocument());
        std::string out(text.begin(), text.end());
        r->Release();
        return out;
    }
    fvt::test::TempDevice device;
    DocumentLoader loader{5};
};

TEST_F(ServedPages, APageShowsWhatItWrites) {
    Book({{"dir/page.asp", 2, "<%@Language=Javascript%>a<%=1+1%>b"}});
    EXPECT_EQ(Serve("dir\\page.asp"), "a2b");
    EXPECT_EQ(loader.CachedCount(), 0u);
}

TEST_F(ServedPages, TheRequestAndServerObjects) {
    Book({{"q.asp", 2,
           "<%@Language=Javascript%>[<%=Request.QueryString(\"b\")%>]"
           "[<%=Request.QueryString(\"zz\")%>][<%=Server.HTMLEncode('<a&\"b\">')%>]"
           "[<%=Server.URLEncode('a b/c')%>][<%=Response.ContentType%>][<%=Response.Buffer%>]"
           "[<%=Response.Status%>][<%=Session.LCID%>][<%=Server.ScriptTimeout%>]"
           "<% Frameset.Use('f'); Response.AddHeader('a','b'); Response.AppendToLog('x');"
           " Response.Flush() %>."}});
    EXPECT_EQ(Serve("q.asp?a=1&b=x%20y"),
              "[x y][][&lt;a&amp;&quot;b&quot;&gt;][a%20b%2Fc][text/html][true][1][0][0].");
}

TEST_F(ServedPages, RedirectsToTheSamePageRunItAgain) {
    Book({{"p.asp", 2,
           "<%@Language=Javascript%>first<% if (Request.QueryString('a') == '1')"
           " Response.Redirect('p.asp?a=2') %>run <%=Request.QueryString('a')%>"}});
    Location where;
    // Only the second run's output.
    EXPECT_EQ(Serve("p.asp?a=1", &where), "firstrun 2");
    EXPECT_NE(N(where.GetText()).find("p.asp?a=2"), std::string::npos);
}

TEST_F(ServedPages, RedirectsElsewhereOpenTheOtherPage) {
    Book({{"p.asp", 2, "<%@Language=Javascript%>lost<% Response.Redirect('o.asp?x=3') %>"},
          {"o.asp", 2, "<%@Language=Javascript%>other <%=Request.QueryString('x')%>"}});
    EXPECT_EQ(Serve("p.asp"), "other 3");
}

TEST_F(ServedPages, EndlessRedirectsStopWithAReport) {
    Book({{"p.asp", 2, "<%@Language=Javascript%>x<% Response.Redirect('p.asp?n=1') %>"},
          {"a.asp", 2, "<%@Language=Javascript%><% Response.Redirect('b.asp') %>"},
          {"b.asp", 2, "<%@Language=Javascript%><% Response.Redirect('a.asp') %>"}});
    std::string page = Serve("p.asp");
    EXPECT_NE(page.find("Too many redirects"), std::string::npos) << page;
    // Two pages sending to each other: the loader's lookups are bounded too.
    EXPECT_EQ(Serve("a.asp"), "<none>");
}

TEST_F(ServedPages, ARedirectThatLeadsNowhereIsReported) {
    Book({{"r.asp", 2, "<%@Language=Javascript%>kept<% Response.Redirect('http://far/x') %>"}});
    Location where;
    std::string page = Serve("r.asp", &where);
    EXPECT_EQ(page.rfind("kept></table>Error: Bad redirect: http://far/x", 0), 0u)
        << page;
    // The location stays the page's own.
    EXPECT_NE(N(where.GetText()).find("r.asp"), std::string::npos);
}

TEST_F(ServedPages, RunTimeErrorsKeepTheOutputAndReport) {
    Book({{"e.asp", 2, "<%@Language=Javascript%>kept<% nosuch() %>never"},
          {"w.asp", 2, "<%@Language=Javascript%>a<% Response.Write(1, 2) %>"},
          {"end.asp", 2, "<%@Language=Javascript%>a<% Response.End() %>b"},
          {"lt.asp", 2, "<%@Language=Javascript%><% nosuch<1 %>"}});
    std::string page = Serve("e.asp");
    EXPECT_EQ(page.rfind("kept></table>Error: Member Unknown", 0), 0u) << page;
    EXPECT_NE(page.find("<br/><b>Script</b>: \\b\\s.prc\\e.asp"), std::string::npos) << page;
    EXPECT_NE(Serve("w.asp").find("Bad parameter count"), std::string::npos);
    EXPECT_EQ(Serve("end.asp"), "a");
    // The report's own texts are HTML text.
    std::string lt = Serve("lt.asp");
    EXPECT_EQ(lt.find("<1"), std::string::npos) << lt;
}

// The page is shown from its BODY on: the report opens one only where the page did not write
// text before it, and closes a head the page left open.
TEST_F(ServedPages, TheReportOpensABodyOnlyWhereNothingWrittenIsLostByIt) {
    Book({{"body.asp", 2, "<%@Language=Javascript%><html><BODY>kept<% nosuch() %>"},
          {"head.asp", 2, "<%@Language=Javascript%><html><head><title>t</title><% nosuch() %>"},
          {"none.asp", 2, "<%@Language=Javascript%><% nosuch() %>"}});
    EXPECT_EQ(Serve("body.asp").rfind("<html><BODY>kept><html><body></table>Error", 0), 0u);
    const std::string head = Serve("head.asp");
    EXPECT_NE(head.find("</title>><body></table>Error"), std::string::npos) << head;
    EXPECT_EQ(Serve("none.asp").rfind("><html><body></table>Error", 0), 0u);
}

TEST_F(ServedPages, PagesThatDoNotCompileGiveNothing) {
    Book({{"bad.asp", 2, "no directive <% x %>"}, {"open.asp", 2, "<%@Language=Javascript%><%"}});
    EXPECT_EQ(Serve("bad.asp"), "<none>");
    EXPECT_EQ(Serve("open.asp"), "<none>");
}

TEST_F(ServedPages, SerialisedUnitsRunToo) {
    ScriptCode unit;
    unit.AddString(u"unit says ", 10, true);
    std::u16string script = u"Response.Write (__litteralstr 0);Response.Write(6*7)";
    ScriptError err;
    ASSERT_TRUE(ScriptEngine::Compile(script.data(), static_cast<uint32_t>(script.size()), &unit,
                                      &err));
    std::u16string written;
    ASSERT_TRUE(unit.Write(&written));
    std::string ascii(written.begin(), written.end());
    Book({{"u.asp", 3, ascii}, {"cut.asp", 3, ascii.substr(0, ascii.size() / 2)},
          {"odd.asp", 7, "x"}});
    EXPECT_EQ(Serve("u.asp"), "unit says 42");
    EXPECT_EQ(Serve("cut.asp"), "<none>");
    // Another kind below 32 is a position inside the book, not a page.
    Location where;
    EXPECT_EQ(Serve("odd.asp", &where).rfind("<html>", 0), 0u);
    EXPECT_EQ(N(where.Anchor()).rfind("##-pos", 0), 0u);
}

TEST(ScriptPageResources, ErrorsWithoutASource) {
    Location l;
    bool redirected = true;
    int error = 0;
    EXPECT_EQ(ScriptPages::ServeScriptPage(nullptr, l, 2, 0, 1, redirected, error), nullptr);
    EXPECT_FALSE(redirected);
    EXPECT_EQ(error, 15);
}

}  // namespace
