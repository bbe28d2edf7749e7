#include "shell/host_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Links = std::vector<std::string>;

TEST(LinkedFiles, PicturesStyleSheetsAndPagesBesideThePageAreFound) {
    EXPECT_EQ(HostImport::LinkedFiles("<p><img src=\"pics/a.png\"><link rel=stylesheet "
                                      "href='style.css'><a HREF=next.html>next</a>"
                                      "<body background=\"bg.gif\"><object data=\"o.bin\">"),
              (Links{"pics/a.png", "style.css", "next.html", "bg.gif", "o.bin"}));
}

TEST(LinkedFiles, AddressesAnchorsAndAbsolutePathsAreNotFiles) {
    EXPECT_EQ(HostImport::LinkedFiles("<a href=\"http://example.org/a.png\">"
                                      "<a href=\"mailto:x@y\"><a href=\"#top\"><img src=\"/etc/passwd\">"
                                      "<img src=\"oeb:fvt_iconlib$3\"><a href=\"\">"),
              Links{});
}

TEST(LinkedFiles, FragmentsQueriesAndEscapesAreTakenOff) {
    EXPECT_EQ(HostImport::LinkedFiles("<a href=\"ch%201.html#sec2\"><a href=\"a.html?x=1&amp;y=2\">"
                                      "<img src=\"x&amp;y.png\">"),
              (Links{"ch 1.html", "a.html", "x&y.png"}));
}

TEST(LinkedFiles, DotPartsAreResolvedAndClimbingIsKept) {
    EXPECT_EQ(HostImport::LinkedFiles("<img src=\"./a/../b/./c.png\"><img src=\"../up/d.png\">"
                                      "<img src=\"a/../../e.png\"><img src=\"..\">"),
              (Links{"b/c.png", "../up/d.png", "../e.png"}));
}

TEST(LinkedFiles, EachFileOnceAndNothingFromCommentsOrText) {
    EXPECT_EQ(HostImport::LinkedFiles("src=\"text.png\" <!-- <img src=\"hidden.png\"> -->"
                                      "<img src=a.png><img alt=\"x > y\" src=\"a.png\">"
                                      "<img title='src=b.png' src='c.png'>"),
              (Links{"a.png", "c.png"}));
}

TEST(LinkedFiles, OnlyTheLinkAttributesThemselvesInAnyCaseAndDeclarationsAreTags) {
    EXPECT_EQ(HostImport::LinkedFiles("<!DOCTYPE html><img srcset=\"big.png 2x\" SrC=\"a.png\">"
                                      "<a hrefs=\"b.html\" data-x=\"c.bin\" BackGround=\"d.gif\">"
                                      "<!x src=\"e.png\"><!-x href=f.html><object DATA=g.bin>"
                                      "<img xsrc=\"h.png\" sr=\"i.png\">"),
              (Links{"a.png", "d.gif", "e.png", "f.html", "g.bin"}));
}

TEST(LinkedFiles, UnfinishedMarkupEndsTheScan) {
    EXPECT_EQ(HostImport::LinkedFiles("<img src=\"a.png"), Links{"a.png"});
    EXPECT_EQ(HostImport::LinkedFiles("<img src="), Links{});
    EXPECT_EQ(HostImport::LinkedFiles("<!-- <img src=\"a.png\">"), Links{});
}

TEST(HtmlNames, OnlyPageExtensionsAreHtml) {
    EXPECT_TRUE(HostImport::IsHtmlName("Page.HTML"));
    EXPECT_TRUE(HostImport::IsHtmlName("a.htm"));
    EXPECT_FALSE(HostImport::IsHtmlName("a.prc"));
    EXPECT_FALSE(HostImport::IsHtmlName("html"));
}

}  // namespace
