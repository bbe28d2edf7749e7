// pagedump [--size WxH] [--font box|system] [--backward] [--text] [--png DIR] FILE
//
// Paginates a FOLV or PalmDOC book, an HTML file or a text file as the reader does, from the
// first page to the last (or with --backward from the last to the first by backward steps).
// --text prints each page's lines in page order, a form feed line after each page; --png
// writes DIR/page-0001.png, ... drawn as on screen. "pages: N" goes to standard error. Exit 1
// with one line on standard error when the file cannot be opened or a step does not move.
// The file is read on the host; its folder is left as it was.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/book_page_layout.h"
#include "layout/page_canvas.h"
#include "media/image/icon_image.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/platform/temp_device.h"

namespace {

struct Options {
    int width = 240;
    int height = 320;
    bool realFonts = true;
    bool backward = false;
    bool text = false;
    std::string pngDir;
    std::string file;
};

int Fail(const std::string& what) {
    std::fprintf(stderr, "pagedump: %s\n", what.c_str());
    return 1;
}

bool ParseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width < 16 ||
                o.height < 16 || o.width > 4096 || o.height > 4096)
                return false;
        } else if (a == "--font" && hasValue) {
            std::string f = argv[++i];
            if (f != "box" && f != "system") return false;
            o.realFonts = f == "system";
        } else if (a == "--backward") {
            o.backward = true;
        } else if (a == "--text") {
            o.text = true;
        } else if (a == "--png" && hasValue) {
            o.pngDir = argv[++i];
        } else if (i == argc - 1 && a.rfind("--", 0) != 0) {
            o.file = a;
        } else {
            return false;
        }
    }
    return !o.file.empty();
}

// UTF-8 when the bytes are valid UTF-8, else Latin-1.
std::u16string Decode(const std::vector<uint8_t>& b) {
    std::u16string out;
    size_t i = 0;
    while (i < b.size()) {
        uint32_t c = b[i], n = 0;
        if (c >= 0xF0 && c < 0xF8)
            n = 3, c &= 7;
        else if (c >= 0xE0)
            n = 2, c &= 15;
        else if (c >= 0xC0)
            n = 1, c &= 31;
        else if (c >= 0x80)
            break;
        if (i + n >= b.size() + (n ? 0 : 1)) break;
        bool ok = true;
        for (uint32_t k = 1; k <= n; ++k) {
            ok = ok && i + k < b.size() && (b[i + k] & 0xC0) == 0x80;
            if (ok) c = c << 6 | (b[i + k] & 0x3F);
        }
        if (!ok) break;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += n + 1;
    }
    if (i == b.size()) return out;
    out.clear();
    for (uint8_t c : b) out.push_back(c);
    return out;
}

bool EndsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

// What one opened file gives the layout.
struct Opened {
    std::vector<uint8_t> bytes;
    std::unique_ptr<PalmDatabase> db;
    BookDocument book;
    std::unique_ptr<MemoryDocument> memory;
    std::unique_ptr<TokenSource> source;
    std::unique_ptr<BookPageLayoutTraits> traits;
};

bool Open(const std::string& path, Opened& o, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened";
        return false;
    }
    o.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    int code = 0;
    o.db.reset(PalmDatabase::OpenView(o.bytes.data(), o.bytes.size(), &code));
    DocumentSource* doc = nullptr;
    bool markup = EndsWith(path, ".htm") || EndsWith(path, ".html");
    if (o.db) {
        if (int rc = o.book.Open(o.db.get(), 0, 1252, 65002)) {
            error = path + ": not a readable book (error " + std::to_string(rc) + ")";
            return false;
        }
        doc = &o.book;
        markup = o.book.GetKind() == 2;
        o.traits = std::make_unique<BookPageLayoutTraits>(&o.book);
    } else {
        o.memory = std::make_unique<MemoryDocument>(Decode(o.bytes));
        doc = o.memory.get();
    }
    if (markup) {
        auto html = std::make_unique<HtmlTokenizer>(true);
        if (o.db && o.book.GetBookKind() >= 2) html->SetTableNeedsInline(false);
        o.source = std::move(html);
    } else {
        o.source = std::make_unique<PlainTextTokenSource>();
    }
    if (!o.source->Attach(doc, 0)) {
        error = path + ": the text cannot be read";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options))
        return Fail(
            "usage: pagedump [--size WxH] [--font box|system] [--backward] [--text] "
            "[--png DIR] FILE");
    Opened opened;
    std::string error;
    if (!Open(options.file, opened, error)) return Fail(error);

    fvt::test::TempDevice device;  // the device layer runs in a folder of its own
    if (!device.ok()) return Fail("the device layer cannot be started");
    fvt::test::ContextCanvas* canvas =
        fvt::test::NewContextCanvas(options.width, options.height, options.realFonts);
    GraphicsPageCanvas pageCanvas(fvt::test::CanvasContext(canvas));
    pageCanvas.SetIconHost(IconHost{nullptr, 96});  // the program's arrows, as the reader's
    PageLayout layout(opened.traits.get());
    LayoutSettings settings;
    layout.SetSource(opened.source.get());
    layout.SetGraphics(fvt::test::CanvasContext(canvas));
    layout.Configure(settings);
    layout.SetCanvas(&pageCanvas);
    layout.SetViewport(Rect{0, 0, options.width, options.height});

    std::vector<uint32_t> starts;
    int rc = 0;
    if (!layout.Start() || !layout.GoToPage(options.backward ? PageLayout::kNone : 1)) {
        rc = Fail(options.file + ": no first page");
    } else {
        starts.push_back(layout.CurrentPageStart());
        int32_t step = options.backward ? -1 : 2;
        while (layout.CanStep(step) && layout.GoToPosition(layout.CurrentPageStart(), step)) {
            uint32_t now = layout.CurrentPageStart();
            if (options.backward ? now >= starts.back() : now <= starts.back()) {
                rc = Fail(options.file + ": a page step did not move");
                break;
            }
            starts.push_back(now);
        }
        if (rc == 0 && options.backward && starts.back() != layout.FirstPageStart() &&
            starts.back() > layout.FirstPageStart())
            rc = Fail(options.file + ": the backward steps ended before the first page");
    }
    if (options.backward) starts.assign(starts.rbegin(), starts.rend());

    for (size_t i = 0; rc == 0 && i < starts.size(); ++i) {
        if (!layout.GoToPositionAsPageStart(starts[i]) && starts[i] != layout.CurrentPageStart()) {
            rc = Fail(options.file + ": page " + std::to_string(i + 1) + " cannot be shown");
            break;
        }
        int32_t slot = -1;
        if (!layout.LayoutPageAt(starts[i], false, &slot) || slot < 0) {
            rc = Fail(options.file + ": page " + std::to_string(i + 1) + " cannot be laid out");
            break;
        }
        if (!options.pngDir.empty()) {
            fvt::test::ClearCanvas(canvas);
            layout.DrawPage(false, starts[i]);
            char name[32];
            std::snprintf(name, sizeof name, "/page-%04zu.png", i + 1);
            if (!fvt::test::SaveCanvasPng(canvas, options.pngDir + name)) {
                rc = Fail(options.pngDir + name + ": cannot be written");
                break;
            }
        }
        if (options.text) {
            for (const std::string& line : fvt::test::LineTexts(layout.Slot(slot).contents))
                std::printf("%s\n", line.c_str());
            std::printf("\f\n");
        }
    }
    layout.SetCanvas(nullptr);
    fvt::test::DeleteContextCanvas(canvas);
    std::fprintf(stderr, "pages: %zu\n", starts.size());
    return rc;
}
