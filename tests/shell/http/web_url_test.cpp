#include <gtest/gtest.h>

#include "shell/http/web_connector.h"
#include "shell/http/wide_text.h"
#include "support/platform/temp_device.h"

namespace {

Text T(const char16_t* s) {
    return web::ToText(s);
}

std::u16string Combined(const char16_t* base, const char16_t* relative, bool keepFragment,
                        bool toPath = false) {
    UrlPair pair{T(base), T(relative)};
    Text out;
    bool ok = toPath ? WebConnector::CombineUrlToPath(pair, out, keepFragment)
                     : WebConnector::CombineUrl(pair, out, keepFragment);
    return ok ? web::Wide(out) : u"<failed>";
}

class WebUrlTest : public ::testing::Test {
protected:
    fvt::test::TempDevice device_;
};

}  // namespace

TEST_F(WebUrlTest, HasSchemeWantsAnIdentifierAndAColon) {
    EXPECT_TRUE(WebConnector::HasScheme(T(u"http://h/")));
    EXPECT_TRUE(WebConnector::HasScheme(T(u"oeb:library")));
    EXPECT_TRUE(WebConnector::HasScheme(T(u"_x-1:y")));
    EXPECT_FALSE(WebConnector::HasScheme(T(u"1http://h/")));
    EXPECT_FALSE(WebConnector::HasScheme(T(u"\\My Documents\\a.htm")));
    EXPECT_FALSE(WebConnector::HasScheme(T(u"a b:c")));
    EXPECT_FALSE(WebConnector::HasScheme(T(u"noscheme")));
    EXPECT_FALSE(WebConnector::HasScheme(T(u"")));
}

TEST_F(WebUrlTest, CombineDropsTheFragmentUnlessKept) {
    EXPECT_EQ(Combined(u"http://h/a/b.htm", u"c.htm#part", false), u"http://h/a/c.htm");
    EXPECT_EQ(Combined(u"http://h/a/b.htm", u"c.htm#part", true), u"http://h/a/c.htm#part");
    EXPECT_EQ(Combined(u"", u"http://h/x", false), u"http://h/x");
    EXPECT_EQ(Combined(u"", u"relative.htm", false), u"<failed>");
}

TEST_F(WebUrlTest, MarkupAmpersandsBecomePlain) {
    EXPECT_EQ(Combined(u"http://h/", u"q?a=1&amp;b=2&AMP;c=3&ampx", false),
              u"http://h/q?a=1&b=2&c=3&ampx");
}

TEST_F(WebUrlTest, CombineToPathDecodesAndDropsTheFileScheme) {
    EXPECT_EQ(Combined(u"file://\\My Documents\\books\\a.htm", u"b%20c.htm#x", false, true),
              u"\\My Documents\\books\\b c.htm");
    EXPECT_EQ(Combined(u"FILE://\\x\\a.htm", u"b.htm", true, true), u"\\x\\b.htm");
    EXPECT_EQ(Combined(u"http://h/a/", u"b%20c.htm?p=1&amp;q=2", false, true),
              u"http://h/a/b c.htm?p=1&q=2");
}

TEST_F(WebUrlTest, CrackMapsSchemesToTheClientsCodes) {
    struct Case {
        const char16_t* url;
        int32_t scheme;
    } cases[] = {{u"http://h/", kSchemeHttp},     {u"https://h/", kSchemeHttps},
                 {u"ftp://h/", kSchemeFtp},       {u"gopher://h/", kSchemeGopher},
                 {u"mailto:a@b", kSchemeMailto},  {u"file:///a", kSchemeFile},
                 {u"news:comp.x", kSchemeNews},   {u"socks://h", kSchemeSocks},
                 {u"oeb:library", kSchemeUnknown}};
    for (auto& c : cases) {
        int32_t scheme = -5;
        Text host, path, user, password, extra;
        uint32_t port = 0;
        ASSERT_TRUE(
            WebConnector::CrackUrl(T(c.url), scheme, host, path, user, password, extra, port));
        EXPECT_EQ(scheme, c.scheme) << web::Wide(T(c.url)).size();
    }
    int32_t scheme = 0;
    Text host, path, user, password, extra;
    uint32_t port = 0;
    ASSERT_TRUE(WebConnector::CrackUrl(T(u"http://u:p@h.example:81/d/f.htm?q#f"), scheme, host,
                                       path, user, password, extra, port));
    EXPECT_EQ(web::Wide(host), u"h.example");
    EXPECT_EQ(web::Wide(path), u"/d/f.htm");
    EXPECT_EQ(web::Wide(user), u"u");
    EXPECT_EQ(web::Wide(password), u"p");
    EXPECT_EQ(web::Wide(extra), u"?q#f");
    EXPECT_EQ(port, 81u);
    EXPECT_FALSE(
        WebConnector::CrackUrl(T(u"not a url"), scheme, host, path, user, password, extra, port));
}

TEST_F(WebUrlTest, WithoutTheInternetLibraryNothingCombines) {
    fvt::test::TempDevice device("missing = wininet.dll\n");
    EXPECT_EQ(Combined(u"http://h/", u"a", false), u"<failed>");
    WebConnector client;
    EXPECT_EQ(client.GetConnectedState(), 0u);
    NullSink sink;
    WebResponse response;
    EXPECT_EQ(client.Download(UrlPair{Text(), T(u"http://127.0.0.1:1/")}, sink, response),
              kWebBadUrl);
}
