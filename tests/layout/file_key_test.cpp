// Files without a key of their own (text and HTML) keep their reading position: a page state
// saved from one opening is accepted by the next, through the key the file's resource gives.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "document/location/location.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "document/sources/text_file_resource.h"
#include "layout/page_layout.h"
#include "support/document/device_files.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"

namespace {

// Makes real engines; each keeps the traits it was made with.
class EngineFactory : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        PageLayout* layout = new PageLayout(traits);
        traits_[layout] = traits;
        return layout;
    }
    void SetSource(PageLayout* layout, TokenSource* source) override { layout->SetSource(source); }
    void SetPlainTextOption(PageLayout*, bool) override {}
    void DestroyPageLayout(PageLayout* layout) override {
        delete traits_[layout];
        traits_.erase(layout);
        delete layout;
    }
    Searcher* CreateSearcher(DocumentSource*, bool) override { return nullptr; }

private:
    std::map<PageLayout*, BookLayoutTraits*> traits_;
};

std::string Story() {
    std::string out;
    for (int i = 0; i < 500; ++i) out += (i % 5 == 0) ? "chapitre " : "the reader turns ";
    return out;
}

// One opening of the file: its resource, its token source and an engine over them.
struct Opening {
    Opening(const std::u16string& path, uint32_t kind) {
        Location l;
        EXPECT_TRUE(l.Parse(String(path.c_str()), false));
        resource = TextFileResource::Create(l, kind, 1252, 65002);
        if (!resource || !resource->CreateLayout(source, &layout)) return;
        layout->SetContentLayout(&content);
        layout->Configure(fvt::test::SettingsAt(12));
        layout->SetViewport(Rect{0, 0, 120, 60});
        started = layout->Start() && layout->GoToPage(1);
    }
    ~Opening() {
        if (resource) {
            resource->DestroyLayout(source, layout);
            resource->Release();
        }
    }
    TextFileResource* resource = nullptr;
    TokenSource* source = nullptr;
    PageLayout* layout = nullptr;
    WordPageLayout content;
    bool started = false;
};

struct Installed {
    Installed() { LayoutEngineFactory::Install(&factory); }
    ~Installed() { LayoutEngineFactory::Install(nullptr); }
    EngineFactory factory;
};

void SaveAndReopen(const char* name, const std::string& bytes, uint32_t kind) {
    Installed installed;
    DeviceFiles files;
    std::u16string path = files.Write(name, bytes);
    ByteStream saved;
    uint32_t number = 0, start = 0;
    {
        Opening first(path, kind);
        ASSERT_TRUE(first.started);
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(first.layout->GoToPosition(first.layout->CurrentPageStart(),
                                                   PageStepCode::kNextPage));
        ASSERT_TRUE(first.layout->SaveCurrentPageState(number, start, saved));
        ASSERT_GT(start, 0u);
    }
    Opening again(path, kind);
    ASSERT_TRUE(again.started);
    ASSERT_NE(again.layout->CurrentPageStart(), start);
    EXPECT_TRUE(again.layout->RestorePageState(number, start, saved));
    EXPECT_EQ(again.layout->CurrentPageStart(), start);
}

TEST(FileKeys, ATextFilesSavedPageIsAcceptedAfterReopening) {
    SaveAndReopen("story.txt", Story(), TextFileResource::kPlainText);
}

TEST(FileKeys, AnHtmlFilesSavedPageIsAcceptedAfterReopening) {
    SaveAndReopen("story.htm", "<html><body><p>" + Story() + "</p></body></html>",
                  TextFileResource::kHtml);
}

TEST(FileKeys, AnotherFilesSavedPageIsRefused) {
    Installed installed;
    DeviceFiles files;
    std::u16string a = files.Write("a.txt", Story());
    std::u16string b = files.Write("b.txt", Story());
    ByteStream saved;
    uint32_t number = 0, start = 0;
    {
        Opening first(a, TextFileResource::kPlainText);
        ASSERT_TRUE(first.started);
        ASSERT_TRUE(
            first.layout->GoToPosition(first.layout->CurrentPageStart(), PageStepCode::kNextPage));
        ASSERT_TRUE(
            first.layout->GoToPosition(first.layout->CurrentPageStart(), PageStepCode::kNextPage));
        ASSERT_TRUE(first.layout->SaveCurrentPageState(number, start, saved));
    }
    Opening other(b, TextFileResource::kPlainText);
    ASSERT_TRUE(other.started);
    uint32_t shown = other.layout->CurrentPageStart();
    EXPECT_FALSE(other.layout->RestorePageState(number, start, saved));
    EXPECT_EQ(other.layout->CurrentPageStart(), shown);
}

}  // namespace
