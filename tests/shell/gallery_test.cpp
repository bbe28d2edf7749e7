// The screen gallery: the program, run headless on the sample device with the box font (so that
// the fonts installed here do not matter) and a fixed clock, is driven through the screens a
// person reaches, in English and French, on the small and the high-resolution screen. Every
// screen is saved under the build folder (gallery/<language>-<dpi>/<name>.png) and compared with
// its golden in tests/shell/gallery: a changed pixel fails. Every box, dialog and pop-up menu is
// also checked by the driver as it is saved: controls that overlap, or text cut off inside its
// control, stop the run.
//
// After a change that is meant to alter screens, look at the new pictures, then write them as the
// goldens with FOLIVANT_GALLERY_UPDATE=1 (see the README).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "program_runs.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

namespace fs = std::filesystem;

struct Screen {
    const char* language;
    const char* profile;  // the device's screen
    const char* name;     // folder of the pictures
    int scale;            // of the taps, given on the small screen
};

// One run of the program: the book it opens (none: the library) and its steps, where "@" stands
// for the folder the pictures go to.
struct Visit {
    const char* book;
    const char* steps;
    bool damagedBook = false;  // the device also holds "Broken Book.prc", which cannot be read
};

// Answers are queued before the step that opens the box they answer. Taps are given on the small
// screen; on the high-resolution one, whose screens are the same laid out twice as large, they are
// doubled.
const Visit kVisits[] = {
    {nullptr,
     "idle\n"
     "screenshot @/library.png\n"
     "screenshot-box @/library-menu.png\nanswer 0\nsoftkey 2\nidle\n"
     // The menu's first item opens "Filter by", its third "Sort by".
     "answer-key 0x28\nanswer-key 0x0d\nscreenshot-box @/library-filter.png\nanswer 0\nsoftkey 2\n"
     "idle\nanswer-key 0x28\nanswer-key 0x28\nanswer-key 0x28\nanswer-key 0x0d\n"
     "screenshot-box @/library-sort.png\n"
     "answer 0\nsoftkey 2\nidle\n"
     // Its second item, "Reading list", whose sub-menu opens on the left with long labels.
     "answer-key 0x28\nanswer-key 0x28\nanswer-key 0x0d\n"
     "screenshot-box @/library-reading-list.png\nanswer 0\nsoftkey 2\nidle\n"
     "screenshot-box @/about.png\nanswer 2\nmenu 40040\nidle\n"
     "screenshot-box @/library-options.png\nanswer 2\nmenu 40041\nidle\n"
     "screenshot-box @/properties-sheet.png\nanswer 1\n"
     "screenshot-box @/properties.png\nanswer 2\nanswer 2\nmenu 40022\nidle\n"
     "screenshot-box @/reading-lists.png\nanswer 2\nmenu 40074\nidle\n"
     "screenshot-box @/delete.png\nanswer 7\nmenu 40023\nidle\n"
     "quit\n"},
    // A damaged book, the library's fifth row: opening it says so.
    {nullptr,
     "idle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x28\nidle\n"
     "screenshot @/library-damaged.png\n"
     "screenshot-box @/damaged.png\nanswer 1\nkey 0x0d\nidle\n"
     "quit\n",
     true},
    {"\\storage\\eBooks\\The Lighthouse Keeper.prc",
     "idle\n"
     "screenshot @/cover.png\n"
     "key 0x22\nidle\n"
     "screenshot @/page.png\n"
     "screenshot-box @/reader-menu.png\nanswer 0\nsoftkey 2\nidle\n"
     "screenshot-box @/goto.png\nanswer 2\nmenu 40092\nidle\n"
     "screenshot-box @/find.png\nanswer 2\nmenu 40078\nidle\n"
     // The options sheet, then each of its pages by its number key.
     "screenshot-box @/options.png\n"
     "answer-key 0x31\nscreenshot-box @/options-general.png\nanswer 2\n"
     "answer-key 0x32\nscreenshot-box @/options-fonts.png\nanswer 2\n"
     "answer-key 0x33\nscreenshot-box @/options-colors.png\nanswer 2\n"
     "answer-key 0x34\nscreenshot-box @/options-display.png\nanswer 2\n"
     "answer-key 0x35\nscreenshot-box @/options-buttons.png\nanswer 2\n"
     "answer-key 0x36\nscreenshot-box @/options-library.png\nanswer 2\n"
     "answer 2\nmenu 40041\nidle\n"
     // The page's first two words selected by keys; their pop-up, then a note on them.
     "char 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n"
     "screenshot @/selection.png\n"
     "screenshot-box @/selection-menu.png\nanswer 50043\n"
     "screenshot-box @/note.png\nanswer 2\nkey 0x0d\nidle\n"
     "menu 40079\nidle\n"
     "screenshot @/bookmark.png\n"
     "menu 40076\nidle\n"
     "screenshot @/annotations.png\n"
     // Back on the page by the list's Open, Add link on its first words: the notice says how to
     // finish the link, to its end.
     "softkey 1\nidle\nchar 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n"
     "answer 50053\nkey 0x0d\nidle\nscreenshot @/add-link.png\n"
     "quit\n"},
    // Look-ups: a word of one dictionary ("evening"), of both ("lamp"), of none ("Marta"), whose
    // pop-up offers the dictionaries' index pages. A tap on the soft-key bar's middle closes a
// pop-up (and the menu it opens closes unanswered).
    {"\\storage\\eBooks\\The Lighthouse Keeper.prc",
     "idle\nkey 0x22\nidle\n"
     "screenshot-box @/tap-menu.png\nanswer 50045\ntap 75 85\nidle\n"
     "screenshot @/lookup-one.png\ntap 120 300\nidle\n"
     "answer 50045\ntap 65 238\nidle\nscreenshot @/lookup-several.png\ntap 120 300\nidle\n"
     "answer 50045\ntap 30 100\nidle\nscreenshot @/lookup-none.png\n"
     "tap 140 158\nidle\nscreenshot @/index.png\n"
     "quit\n"},
    {"\\storage\\eBooks\\Lighthouse Glossary.prc", "idle\nscreenshot @/glossary.png\nquit\n"},
    {"\\storage\\eBooks\\Birds of the Shore.prc",
     "idle\nscreenshot @/pictures.png\nkey 0x22\nidle\nscreenshot @/pictures-page.png\n"
     // The first picture in a view of its own, then zoomed in.
     "tap 120 210\nidle\nscreenshot @/image.png\n"
     "menu 40082\nidle\nscreenshot @/image-zoomed.png\n"
     "quit\n"},
    {"\\storage\\eBooks\\Notes on Reading.html",
     "idle\nscreenshot @/html.png\nmenu 40172\nidle\nkey 0x22\nidle\nscreenshot @/progress-bar.png\n"
     "quit\n"},
    // The audio page, behind the book's first link, and its volume box.
    {"\\storage\\eBooks\\Two Bells.prc",
     "idle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\n"
     "screenshot @/audio.png\n"
     "screenshot-box @/audio-menu.png\nanswer 0\nsoftkey 2\nidle\n"
     "screenshot-box @/volume.png\nanswer 2\nmenu 40088\nidle\n"
     "quit\n"},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The steps with the coordinates of their taps and pen moves multiplied by `scale`.
std::string Scaled(const std::string& steps, int scale) {
    std::istringstream in(steps);
    std::string out, line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string verb;
        int x = 0, y = 0;
        if (scale != 1 && words >> verb &&
            (verb == "tap" || verb == "down" || verb == "move" || verb == "up" ||
             verb == "answer-tap") &&
            words >> x >> y)
            line = verb + " " + std::to_string(x * scale) + " " + std::to_string(y * scale);
        out += line + "\n";
    }
    return out;
}

// The pixels that differ; -1 when the sizes differ or a picture cannot be read.
long Differences(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return -1;
    long n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

// Runs every visit on a fresh sample device and saves its screens in `out`; the names of the
// pictures saved, in the order the steps took them. `boxFont`: every text in the box font (the
// compared screens); otherwise in the fonts installed, for a person to read.
std::vector<std::string> DrawScreens(const Screen& screen, const fs::path& out, bool boxFont) {
    fs::remove_all(out);
    fs::create_directories(out);
    std::vector<std::string> env = {
        std::string("FOLIVANT_LANGUAGE=") + screen.language,
        std::string("FOLIVANT_SCREEN=") + screen.profile,
        "FOLIVANT_CLOCK=virtual",
        "FOLIVANT_NOW=2026-03-01T10:00:00Z",
        "FOLIVANT_DISK=64000000/128000000",
    };
    if (boxFont) env.push_back("FOLIVANT_FONTS=box");
    std::vector<std::string> pictures;
    for (const Visit& visit : kVisits) {
        // A fresh sample device for every run: what one run stores does not change the next.
        TempDevice device;
        EXPECT_TRUE(device.ok());
        if (!device.ok()) break;
        EXPECT_EQ(RunProgram(
                      {.program = FOLIVANT_SAMPLES, .args = {device.root(), FOLIVANT_SAMPLE_TEXTS}})
                      .status,
                  0);
        // The books' dates show in the library and their properties: one fixed date for all
        // (1 February 2026), so that the pictures do not change with the day they are made.
        const timespec when[2] = {{1769904000, 0}, {1769904000, 0}};
        for (const auto& entry : fs::recursive_directory_iterator(device.root()))
            if (entry.is_regular_file()) utimensat(AT_FDCWD, entry.path().c_str(), when, 0);
        if (visit.damagedBook)
            device.WriteHost("storage/eBooks/Broken Book.prc", std::string(3000, '\x5a'));
        const std::string steps = Scaled(Replace(visit.steps, "@", out.string()), screen.scale);
        std::vector<std::string> args;
        if (visit.book) args.push_back(visit.book);
        EXPECT_EQ(RunSteps(device, args, steps, env).status, 0)
            << (visit.book ? visit.book : "library") << ": "
            << ReadFile(device.outside() + "/errors.txt");
        for (const std::string& line : ReadLines(device.outside() + "/steps.txt")) {
            const size_t at = line.find(out.string() + "/");
            if (at != std::string::npos) pictures.push_back(line.substr(at + out.string().size() + 1));
        }
    }
    return pictures;
}

class Gallery : public ::testing::TestWithParam<Screen> {};

TEST_P(Gallery, EveryScreenMatchesItsGolden) {
    const Screen& screen = GetParam();
    const fs::path out = fs::path(FOLIVANT_GALLERY_OUT) / screen.name;
    const fs::path golden = fs::path(FOLIVANT_GALLERY_GOLDEN) / screen.name;
    const char* update = std::getenv("FOLIVANT_GALLERY_UPDATE");
    const bool updating = update && *update && std::string(update) != "0";
    for (const std::string& name : DrawScreens(screen, out, true)) {
        const fs::path shot = out / name;
        ASSERT_TRUE(IsPng(shot.string())) << name << " was not saved";
        if (updating) {
            fs::create_directories(golden);
            fs::copy_file(shot, golden / name, fs::copy_options::overwrite_existing);
            continue;
        }
        ASSERT_TRUE(fs::exists(golden / name))
            << name << " has no golden; look at " << shot << " and write the goldens";
        const long changed = Differences(ReadPicture(shot.string()), ReadPicture((golden / name).string()));
        EXPECT_EQ(changed, 0) << name << " differs from its golden (" << changed
                              << " pixels; -1: another size); see " << shot;
    }
}

// The same screens drawn with the installed fonts (gallery/<language>-<dpi>-fonts/), for a person
// to read the words and judge the wraps; they depend on the fonts, so no golden holds them. The
// driver still checks every box as it is saved, so a label that does not fit in the real font
// fails here.
TEST_P(Gallery, EveryScreenIsDrawnWithTheInstalledFonts) {
    const Screen& screen = GetParam();
    const fs::path out = fs::path(FOLIVANT_GALLERY_OUT) / (std::string(screen.name) + "-fonts");
    const std::vector<std::string> pictures = DrawScreens(screen, out, false);
    EXPECT_FALSE(pictures.empty());
    for (const std::string& name : pictures)
        EXPECT_TRUE(IsPng((out / name).string())) << name << " was not saved";
}

INSTANTIATE_TEST_SUITE_P(Screens, Gallery,
                         ::testing::Values(Screen{"en", "240x320@96", "en-96", 1},
                                           Screen{"fr", "240x320@96", "fr-96", 1},
                                           Screen{"en", "480x640@192", "en-192", 2},
                                           Screen{"fr", "480x640@192", "fr-192", 2}),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace
}  // namespace fvt::test
