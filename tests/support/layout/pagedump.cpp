// pagedump [--size WxH] [--font box|system] [--backward] [--text] [--png DIR] FILE
//
// Paginates a FOLV or PalmDOC book, an HTML file or a text file as the reader does, from the
// first page to the last (or with --backward from the last to the first by the reader's PageUp
// steps; each page is printed as its step laid it out, in reading order).
// The file is opened as the reader opens it: a copy (with the files of its folder, for the
// pictures it names) in a temporary device's books folder, read by the document loader into
// the reader's own resource, whose layout is set up with the reader's settings and margins.
// --text prints each page's lines in page order, a form feed line after each page; --png
// writes DIR/page-0001.png, ... drawn as on screen (DIR is made when missing). "pages: N" goes
// to standard error. Exit 1 with one line on standard error when the file cannot be opened or
// a step does not move. The file's folder is left as it was.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/string.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "media/image/icon_image.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/picture_opener.h"
#include "reader/reader_settings.h"
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

// What one opened file gives the layout: the reader's own resource, opened by the document
// loader from a copy in the device's books folder, and the layout the resource makes.
struct Opened {
    DocumentLoader loader;
    Location location;
    Resource* resource = nullptr;
    TokenSource* source = nullptr;
    PageLayout* layout = nullptr;
    ReaderSettings settings;
    LoaderPictureOpener pictures;

    ~Opened() {
        if (resource) {
            resource->DestroyLayout(source, layout);
            resource->Release();
        }
    }
};

bool EndsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

bool IsPicture(const std::string& path) {
    for (const char* ext : {".gif", ".jpg", ".jpeg", ".png", ".bmp"})
        if (EndsWith(path, ext)) return true;
    return false;
}

std::string BaseName(const std::string& path) {
    size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool Open(const std::string& path, const fvt::test::TempDevice& device, Opened& o,
          std::string& error) {
    if (!std::ifstream(path, std::ios::binary)) {
        error = path + ": cannot be opened";
        return false;
    }
    // The pictures a page names lie beside it: the pictures of the file's folder, and of the
    // folders in it, come along.
    std::string name = BaseName(path);
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    const std::string books = "storage/eBooks/";
    std::error_code ignored;
    std::filesystem::create_directories(device.Host(books), ignored);
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it.depth() > 1) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ignored) || !IsPicture(it->path().string()) ||
            it->file_size(ignored) > LoaderPictureOpener::kMaxPictureBytes)
            continue;
        std::filesystem::path relative = std::filesystem::relative(it->path(), folder, ignored);
        if (relative.empty() || relative.filename() == name) continue;
        std::filesystem::create_directories(device.Host(books + relative.parent_path().string()),
                                            ignored);
        std::filesystem::copy_file(it->path(), device.Host(books + relative.string()),
                                   std::filesystem::copy_options::skip_existing, ignored);
    }
    // Copied by the system, not through this program's memory.
    std::error_code copied;
    std::filesystem::copy_file(path, device.Host(books + name),
                               std::filesystem::copy_options::overwrite_existing, copied);
    if (copied) {
        error = path + ": cannot be copied";
        return false;
    }
    std::u16string devicePath = u"\\storage\\eBooks\\";
    for (char c : name) devicePath += static_cast<char16_t>(static_cast<unsigned char>(c));
    if (!o.location.Parse(String(devicePath.c_str()), false)) {
        error = path + ": not a name the device can hold";
        return false;
    }
    uint8_t handled = 0;
    uint8_t saved[2];
    o.loader.SetFlags(0, 0, saved);  // no message boxes: failures are this tool's one line
    o.resource = o.loader.Open(o.location, nullptr, &handled);
    if (!o.resource) {
        error = path + ": not a readable book or file";
        return false;
    }
    if (!o.resource->CreateLayout(o.source, &o.layout) || !o.layout || !o.source) {
        error = path + ": the text cannot be read";
        return false;
    }
    return true;
}

// The reader's own layout settings, as the document controller gives them (defaults of a
// fresh device: no stored settings).
void Configure(Opened& o, int width, int height) {
    o.settings.Load(true);
    LayoutSettings settings;
    settings.baseFontSize = o.settings.FontSize();
    uint32_t colour = 0;
    settings.defaults.style.text.color = o.settings.GetTextColour(colour);
    settings.defaults.linkColor = o.settings.GetHyperlinkColour(colour);
    settings.defaults.underlineLinks = o.settings.underlineLinks != 0;
    settings.book = o.resource;
    settings.location = &o.location;
    o.pictures.Attach(&o.loader, &o.location);
    settings.opener = &o.pictures;
    settings.icons.dpi = 96;
    o.layout->Configure(settings);
    o.layout->SetViewport(Rect{0, 0, width, height});
    // The page view's margins: the reader's, or the narrow fixed ones when it has none.
    uint32_t h = 0, v = 0;
    o.settings.GetMargins(h, v);
    o.layout->SetColumnCount(1);
    if (h < 2 && v < 2)
        o.layout->SetMargins(1, 1, 1, 1, true);
    else
        o.layout->SetMargins(static_cast<int32_t>(h), static_cast<int32_t>(v),
                             static_cast<int32_t>(h), static_cast<int32_t>(v), false);
    o.layout->Relayout();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options))
        return Fail(
            "usage: pagedump [--size WxH] [--font box|system] [--backward] [--text] "
            "[--png DIR] FILE");
    fvt::test::TempDevice device;  // the device layer runs in a folder of its own
    if (!device.ok()) return Fail("the device layer cannot be started");
    if (!options.pngDir.empty()) {
        std::error_code made;
        std::filesystem::create_directories(options.pngDir, made);
        if (made) return Fail(options.pngDir + ": cannot be made");
    }
    BookDocumentControllerFactory engine;  // installs the reader's layout engine
    auto opened = std::make_unique<Opened>();
    std::string error;
    if (!Open(options.file, device, *opened, error)) return Fail(error);
    PageLayout& layout = *opened->layout;

    fvt::test::ContextCanvas* canvas =
        fvt::test::NewContextCanvas(options.width, options.height, options.realFonts);
    GraphicsPageCanvas pageCanvas(fvt::test::CanvasContext(canvas));
    pageCanvas.SetIconHost(IconHost{nullptr, 96});  // the program's arrows, as the reader's
    layout.SetGraphics(fvt::test::CanvasContext(canvas));
    Configure(*opened, options.width, options.height);
    layout.SetCanvas(&pageCanvas);

    // Each page is taken as its step shows it (going back, a page found by the step can differ
    // from one laid out later from its start), and numbered in reading order at the end.
    // Page texts are written as they come: to standard output going forward, and going back
    // to a scratch file, read back from the last page written to the first at the end (a
    // book's pages held until then took more memory than the rest of the run).
    std::vector<uint32_t> starts;
    std::vector<long> spooled;  // where each page's text begins in the scratch file
    std::FILE* spool = nullptr;
    if (options.text && options.backward) {
        spool = std::tmpfile();
        if (!spool) return Fail("a scratch file cannot be made");
    }
    std::vector<std::string> shots;
    int rc = 0;
    auto writeText = [&](std::FILE* out, const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            std::fputs(line.c_str(), out);
            std::fputc('\n', out);
        }
        std::fputs("\f\n", out);
    };
    auto take = [&]() {
        const uint32_t start = layout.CurrentPageStart();
        int32_t slot = -1;
        if (!layout.LayoutPageAt(start, false, &slot) || slot < 0) {
            rc = Fail(options.file + ": page " + std::to_string(starts.size() + 1) +
                      " cannot be laid out");
            return false;
        }
        starts.push_back(start);
        if (options.text) {
            if (spool) spooled.push_back(std::ftell(spool));
            writeText(spool ? spool : stdout, fvt::test::LineTexts(layout.Slot(slot).contents));
        }
        if (!options.pngDir.empty()) {
            fvt::test::ClearCanvas(canvas);
            layout.DrawPage(false, start);
            char name[32];
            std::snprintf(name, sizeof name, "/step-%04zu.png", starts.size());
            shots.push_back(options.pngDir + name);
            if (!fvt::test::SaveCanvasPng(canvas, shots.back())) {
                rc = Fail(shots.back() + ": cannot be written");
                return false;
            }
        }
        return true;
    };
    if (!layout.Start() || !layout.GoToPage(options.backward ? PageLayout::kNone : 1)) {
        rc = Fail(options.file + ": no first page");
    } else if (take()) {
        // PageUp is the reader's step -2: the page that ends where the current one starts.
        PageStepCode step =
            options.backward ? PageStepCode::kPageEndingHere : PageStepCode::kNextPage;
        while (layout.CanStep(step) && layout.GoToPosition(layout.CurrentPageStart(), step)) {
            uint32_t now = layout.CurrentPageStart();
            if (options.backward ? now >= starts.back() : now <= starts.back()) {
                rc = Fail(options.file + ": a page step did not move");
                break;
            }
            if (!take()) break;
        }
        if (rc == 0 && options.backward && starts.back() > layout.FirstPageStart())
            rc = Fail(options.file + ": the backward steps ended before the first page");
    }
    if (options.backward) {
        std::reverse(starts.begin(), starts.end());
        std::reverse(shots.begin(), shots.end());
    }
    for (size_t i = 0; i < shots.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/page-%04zu.png", i + 1);
        std::error_code moved;
        std::filesystem::rename(shots[i], options.pngDir + name, moved);
        if (moved && rc == 0) rc = Fail(options.pngDir + name + ": cannot be written");
    }
    if (spool) {
        // The pages in reading order: the last one spooled first.
        long end = std::ftell(spool);
        std::vector<char> buffer;
        for (size_t i = spooled.size(); i-- > 0;) {
            buffer.resize(static_cast<size_t>(end - spooled[i]));
            std::fseek(spool, spooled[i], SEEK_SET);
            size_t got = std::fread(buffer.data(), 1, buffer.size(), spool);
            std::fwrite(buffer.data(), 1, got, stdout);
            end = spooled[i];
        }
        std::fclose(spool);
    }
    layout.SetCanvas(nullptr);
    opened.reset();
    fvt::test::DeleteContextCanvas(canvas);
    // The pages go out before the count, also when both streams go to one pipe.
    std::fflush(stdout);
    std::fprintf(stderr, "pages: %zu\n", starts.size());
    return rc;
}
