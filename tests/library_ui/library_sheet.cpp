// librarysheet LANG OUT-PREFIX: puts sample books on a fresh device in the language LANG ("en"
// or "fr"), shows the library view with covers, dates and a storage card, then in list mode
// sorted by rating, the delete question and the annotations list, and writes each screen as
// OUT-PREFIX-<name>.png, so that what a user sees can be looked at in both languages.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/dates.h"
#include "core/file.h"
#include "core/resources.h"
#include "library_ui/annotation_list_window.h"
#include "library_ui/book_properties_dialog.h"
#include "library_ui/reading_lists_dialog.h"
#include "library_ui/library_view.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/window/window_layer.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/library/library_fixture.h"
#include "support/media/image/picture_fixtures.h"
#include "support/reader/reader_fakes.h"

namespace {

bool Shot(const std::string& path) {
    fvt::RunUntilIdle();
    HDC dc = GdiCreateScreenDC();
    if (!dc) return false;
    bool ok = GdiSavePng(dc, path.c_str());
    DeleteDC(dc);
    std::printf("%s\n", path.c_str());
    return ok;
}

BookBuilder Book(const std::string& title, uint32_t type, const std::string& author, uint8_t r,
                 uint8_t g, uint8_t b, uint32_t id) {
    BookBuilder book = fvt::test::MakeBook(title, type, id);
    book.text = ToBytes(SampleText(2000 + 700 * title.size(), id));
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < 100; ++y)
        for (uint32_t x = 0; x < 60; ++x) {
            bool band = y > 30 && y < 50;
            pixels.push_back(band ? 255 : r);
            pixels.push_back(band ? 255 : g);
            pixels.push_back(band ? 255 : b);
        }
    book.resources.push_back(fvt::test::WriteJpeg(60, 100, 3, pixels));
    book.exth = {{100, ToBytes(author)}, {202, {0, 0, 0, 0}}};
    return book;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "fr") != 0)) {
        std::fprintf(stderr, "usage: librarysheet en|fr OUT-PREFIX\n");
        return 2;
    }
    std::string prefix = argv[2];
    std::string profile = std::string("language = ") + argv[1] +
                          "\ncards = Storage Card\nclock = virtual\nnow = 2024-05-20T12:00:00Z\n";
    fvt::test::LibraryDevice dev(profile);
    if (!dev.ok()) return 1;
    fvt::SetAnswersFromUser(false);
    dev.PutBook("eBooks/voyage.prc", Book("Le Tour du monde", 1, "Jules Verne", 30, 90, 160, 11));
    dev.PutBook("eBooks/daily.prc", Book("Morning Herald", 300, "Herald Staff", 160, 40, 40, 12));
    dev.PutBook("storage/eBooks/memo.prc", Book("Meeting notes", 600, "Office", 40, 140, 60, 13));
    dev.PutBook("Storage Card/eBooks/poems.prc", Book("Collected Poems", 1, "Emily Dickinson", 120, 60, 140, 14));
    dev.PutBook("Storage Card/eBooks/talk.prc", Book("Talking Book", 4, "Narrator", 200, 140, 30, 15));

    ConfigurationStore store;
    if (store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1) != 0) return 1;
    Library library(&dev.host);
    library.SetConfiguration(&store);
    library.Refresh();
    ReaderSettings settings;
    settings.Load(true);
    settings.SetConfigurationStore(&store);
    settings.thumbnails = 1;
    fvt::test::FakeDocumentController document;
    ReaderController controller;
    controller.SetDocumentController(&document);
    controller.SetSettings(&settings);

    const uint32_t now = static_cast<uint32_t>(CalendarToUnix(2024, 5, 20, 12));
    auto set = [&](const char16_t* path, uint32_t rating, uint32_t daysAgo) {
        LibraryBook* b = nullptr;
        if (!library.FindBookByPath(fvt::test::Dev(path), &b)) return;
        b->SetRating(rating);
        b->SetLastRead(daysAgo ? now - daysAgo * 86400 : 0);
    };
    set(u"\\eBooks\\voyage.prc", 4, 1);
    set(u"\\eBooks\\daily.prc", 2, 0);
    set(u"\\storage\\eBooks\\memo.prc", 0, 40);
    set(u"\\Storage Card\\eBooks\\poems.prc", 5, 70);

    GetDesktopWindow();
    RECT work = fvt::WorkArea();
    HWND frame = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, work.left, work.top,
                                 work.right - work.left, work.bottom - work.top, nullptr, nullptr,
                                 nullptr, nullptr);
    bool ok = true;
    {
        LibraryView view(&controller, &library, nullptr);
        if (!view.Create(frame, settings.thumbnails != 0)) return 1;
        view.Show(true);
        ok = Shot(prefix + "-covers.png") && ok;
        view.Show(false);
    }
    settings.thumbnails = 0;
    {
        LibraryView view(&controller, &library, nullptr);
        if (!view.Create(frame, settings.thumbnails != 0)) return 1;
        view.Show(true);
        view.OnCommand(40062);  // sorted by rating: the stars show
        view.SelectIndex(1);
        ok = Shot(prefix + "-rating.png") && ok;
        view.OnCommand(40034);  // by last read: relative dates
        ok = Shot(prefix + "-lastread.png") && ok;
        fvt::Answer answer;
        answer.value = IDCANCEL;
        answer.action = [&](HWND) { ok = Shot(prefix + "-delete.png") && ok; };
        fvt::QueueAnswer(answer);
        view.OnCommand(40023);
        // The Reading list page before there is any list.
        if (LibraryRow* row = view.SelectedRow()) {
            ReadingListDialog none(row, &library);
            fvt::Answer a;
            a.value = IDCANCEL;
            a.action = [&ok, &prefix](HWND) { ok = Shot(prefix + "-noreadinglist.png") && ok; };
            fvt::QueueAnswer(a);
            none.Run(frame, &controller, false);
        }
        // The dialogs of the selected book and of the reading lists.
        library.CreateCategory(fvt::test::Dev(u"Travel"));
        library.CreateCategory(fvt::test::Dev(u"Classics"));
        view.OnCommand(40030);
        view.SelectIndex(0);
        if (LibraryRow* row = view.SelectedRow()) {
            row->book->AddCategory(fvt::test::Dev(u"Classics"), true);
            auto shoot = [&](const std::string& name) {
                fvt::Answer a;
                a.value = IDCANCEL;
                a.action = [&ok, name, &prefix](HWND) { ok = Shot(prefix + name) && ok; };
                fvt::QueueAnswer(a);
            };
            BookPropertiesDialog properties(row);
            shoot("-properties.png");
            properties.Run(frame, &controller, false);
            ReadingListDialog lists(row, &library);
            shoot("-readinglist.png");
            lists.Run(frame, &controller, false);
            ReadingListsEditDialog edit(&library);
            shoot("-editlists.png");
            edit.Run(frame, &controller, false);
        }
        view.Show(false);
    }
    AnnotationFile* side = new AnnotationFile();
    if (side->OpenOrCreate("\\eBooks\\voyage.prc", "Book", 4, 0, 1, 1) == 0) {
        auto add = [&](uint32_t kind, uint32_t start, const std::u16string& text) {
            int32_t i = side->AddBookmark(kind, start, start + 10, 0, 0, 0, 0);
            if (i >= 0) side->SetBookmarkText(i, text.data(), static_cast<uint32_t>(text.size()));
        };
        add(1, 100, u"Chapitre premier");
        add(4, 900, u"Phileas Fogg and his servant");
        add(2, 1500, u"Check the route through Suez");
        add(32, 2400, u"See the map");
        document.annotations = side;
        AnnotationListWindow annotations(&controller, nullptr);
        if (annotations.Create(frame)) {
            annotations.Refill();
            annotations.Show(true);
            ok = Shot(prefix + "-annotations.png") && ok;
            annotations.Show(false);
        }
    }
    side->Release();
    DestroyWindow(frame);
    fvt::RunUntilIdle();
    Resources::FlushCache();
    return ok ? 0 : 1;
}
