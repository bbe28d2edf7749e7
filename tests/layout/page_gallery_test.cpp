// Pages as a reader sees them: English and French chapters with headings, paragraphs, lists,
// a picture, a rule and a table are laid out and painted, and written as PNGs beside the build
// (layout-pages/) so that they can be looked at. The test checks that every page paints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "layout/inline_objects.h"
#include "support/layout/layout_host.h"
#include "support/layout/picture_data.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class Pictures : public ImageDataOpener {
public:
    DataHandle* OpenImageData(const Location&) override {
        return new fvt::test::PictureHandle(fvt::test::GifOfSize(120, 60));
    }
};

constexpr char16_t kEnglish[] =
    u"<html><body><h2>Chapter One</h2>"
    u"<p width=\"2em\">It was a bright cold day in April, and the clocks were striking "
    u"thirteen. The hallway smelt of boiled cabbage and old rag mats.</p>"
    u"<p align=\"center\">A centred line of text.</p>"
    u"<ul><li>First item of a list</li><li>Second item, a little longer than the first"
    u"</li></ul>"
    u"<p>A picture follows: <img src=\"pic.gif\"> and then the text goes on after it.</p>"
    u"<hr>"
    u"<table border=\"1\"><tr><td>Name</td><td>Value</td></tr>"
    u"<tr><td>Width</td><td>240 pixels</td></tr><tr><td>Height</td><td>320</td></tr></table>"
    u"<p align=\"justify\">Justified text spreads its spaces so that every line but the last "
    u"reaches the right margin, which is how most books are set.</p>"
    u"</body></html>";

constexpr char16_t kFrench[] =
    u"<html><body><h2>Chapitre premier</h2>"
    u"<p width=\"2em\">Longtemps, je me suis couch\u00e9 de bonne heure. Parfois, \u00e0 peine "
    u"ma bougie \u00e9teinte, mes yeux se fermaient si vite que je n\u2019avais pas le temps "
    u"de me dire\u00a0: \u00ab\u00a0Je m\u2019endors.\u00a0\u00bb</p>"
    u"<p>Et, une demi-heure apr\u00e8s, la pens\u00e9e qu\u2019il \u00e9tait temps de "
    u"chercher le sommeil m\u2019\u00e9veillait\u00a0; je voulais poser le volume que je "
    u"croyais avoir encore dans les mains et souffler ma lumi\u00e8re.</p>"
    u"<blockquote>\u00ab\u00a0Une citation, plus \u00e9troite que le texte.\u00a0\u00bb"
    u"</blockquote></body></html>";

class PageGallery : public fvt::test::WindowTest {};

TEST_F(PageGallery, EnglishAndFrenchPagesPaint) {
    Pictures pictures;
    struct Sample {
        const char16_t* html;
        const char* name;
    } samples[] = {{kEnglish, "english"}, {kFrench, "french"}};
    std::string folder = fvt::test::PagesFolder();
    for (const Sample& s : samples) {
        // FOLIVANT_LAYOUT_REAL_FONTS=1 draws with a system face, for reading the pages.
        LayoutHost host(s.html, 240, 320, 12, std::getenv("FOLIVANT_LAYOUT_REAL_FONTS") != nullptr);
        host.Settings().opener = &pictures;
        host.Reconfigure();
        std::vector<LaidOutPage> pages;
        ASSERT_TRUE(host.Paginate(pages)) << s.name;
        ASSERT_GE(pages.size(), 1u);
        for (size_t i = 0; i < pages.size(); ++i) {
            std::string path = folder + "/" + s.name + "-" + std::to_string(i + 1) + ".png";
            EXPECT_TRUE(host.SavePagePng(i, path)) << path;
        }
    }
}

}  // namespace
