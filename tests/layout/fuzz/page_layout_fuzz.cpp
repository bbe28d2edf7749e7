// Lays out arbitrary markup page by page (tables allowed, nested too, small columns) and
// checks the promises of the page layout: every page but the last ends strictly after it
// starts and where the next one starts, the block contents stay consistent, and the whole
// text is reached within a bounded number of pages. Form controls come from a form list that
// reads a SELECT or TEXTAREA through its end tag, as the form builder does.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "document/markup/html_tokenizer.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/page_walk.h"

namespace {

class Control : public InlineObject {
public:
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return true; }
    bool MeasureSimple(Size& size, uint8_t& flag) override {
        size = Size{30, 12};
        flag = 0;
        return true;
    }
};

class Forms : public PageFormList {
public:
    void RestoreValues(AreaArray&) override {}
    InlineObject* BuildControl(TokenSource& source, const FormControlRequest& request) override {
        bool isEnd = false, isEmpty = false;
        source.GetTag(isEnd, isEmpty);
        if (!isEmpty) source.SkipElement();
        // Some elements find no form.
        return request.position % 3 == 0 ? nullptr : new Control();
    }
};

// Each page copies what is left of its block and the open elements, so a long text in a narrow
// column costs far more than its length: under the sanitizers one long input took as long as
// hundreds of short ones. 191 characters hold nested tables, forms and long words.
constexpr size_t kMaxInput = 384;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (size > kMaxInput) size = kMaxInput;
    // The first bytes choose the column; the rest is the text, two bytes a character.
    int32_t width = 8 + data[0] % 200;
    int32_t height = 8 + data[1] % 200;
    std::u16string text;
    for (size_t i = 2; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    MemoryDocument doc(text, 64);
    HtmlTokenizer tokenizer(true);
    tokenizer.Attach(&doc, 0);
    tokenizer.SetTableNeedsInline(false);
    tokenizer.SetNoNestedTable(false);
    PageLayout layout;
    LayoutSettings settings;
    settings.baseFontSize = 4 + data[0] % 12;
    layout.SetSource(&tokenizer);
    layout.Configure(settings);
    Forms forms;
    if (data[1] & 1) layout.SetFormList(&forms);
    Rect column{0, 0, width, height};
    layout.SetColumns(&column, 1);

    WalkEveryPage(layout, text.size() + 2);
    return 0;
}
