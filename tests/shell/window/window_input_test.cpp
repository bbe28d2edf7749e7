// Typing, boxes, long lists and sliders in a real window: X test events into the reader's SDL
// window under a private Xvfb, as a person's keyboard and mouse send them. What the person did is
// read from the device's files and from what the driver script writes once they are done.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "shell/program_runs.h"
#include "shell/window/window_session.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/audio_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kBook = {"\\storage\\eBooks\\tuning.prc"};

// Plain paragraphs, with one line of punctuation and an accented word in the middle.
void WriteTuningBook(const TempDevice& device) {
    std::string html = "<html><body>";
    for (int i = 0; i < 30; ++i) {
        if (i == 17)
            html += "<p>Tuning: a fifth is the ratio 3/2, so don't let the caf&eacute; band "
                    "forget it.</p>";
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(160, static_cast<std::uint32_t>(i + 5)) + "</p>";
    }
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Tuning";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/tuning.prc", std::string(bytes.begin(), bytes.end()));
}

// `text` as the side file stores it: UTF-16, low byte first.
std::string Utf16Le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

class WindowInput : public WindowSessionTest {
protected:
    // A library of two text books, Alpha and Beta.
    void WriteAlphaAndBeta() const {
        device_.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
        device_.WriteHost("storage/eBooks/Beta.txt", "The second book.\n");
    }
    // Delete took Alpha: gone from the list and the device, Beta left.
    void ExpectAlphaDeleted() const {
        const std::string list = ReadFile(Out("list.txt"));
        EXPECT_EQ(list.find("Alpha"), std::string::npos) << list;
        EXPECT_NE(list.find("Beta"), std::string::npos) << list;
        EXPECT_FALSE(device_.HostExists("storage/eBooks/Alpha.txt"));
    }
    // The steps that read what the person left, run once they are done.
    std::string Readings() const {
        return "pagetext " + Out("page.txt") + "\nlisttext " + Out("list.txt") + "\nlistshown " +
               Out("shown.txt") + "\nshelllog " + Out("log.txt");
    }
};

// 1. A note and a search typed on the keyboard keep their punctuation, shifted characters and
// accented and Cyrillic letters: the side file holds the note as typed, and Find finds a line
// that only its punctuation matches.
TEST_F(WindowInput, PunctuationShiftedKeysAndAccentsReachANoteAndFind) {
    WriteTuningBook(device_);
    const std::u16string note = u"A fifth: ratio 3/2, \"don't\"; caf\u00e9? \u0436_=!";
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    // Two words selected from the keyboard, and their pop-up: Lookup, Copy, Highlight, Add note.
    ASSERT_TRUE(person.Press("9"));
    person.PressOnly("Return");  // the selection starts here
    ASSERT_TRUE(person.Press("Right"));
    ASSERT_TRUE(person.Press("Return"));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(person.Press("Down"));
    ASSERT_TRUE(person.Press("Return"));
    person.Type("A fifth: ratio 3/2, \"don't\"; caf\xc3\xa9? \xd0\xb6_=!");
    ASSERT_TRUE(person.Press("F1"));  // OK
    // Find... is the fifth item of the page's menu.
    ASSERT_TRUE(person.ChooseFromMenu(5));
    person.Type("3/2, so don't let the caf\xc3\xa9");
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    const std::string side = device_.ReadHost("storage/eBooks/tuning.fvt");
    EXPECT_NE(side.find(Utf16Le(note)), std::string::npos) << "the note was not stored as typed";
    EXPECT_NE(ReadFile(Out("page.txt")).find("ratio 3/2, so don't"), std::string::npos)
        << ReadFile(Out("page.txt"));
}

// Opens the library's Delete confirmation for the selected book: the library's menu holds Filter
// by, Reading list, Sort by, eBookstore, Options..., Properties..., Delete.
bool OpenDeleteBox(WindowSession& person) {
    return person.ChooseFromMenu(7);
}

// 2. The confirmation of Delete takes the keyboard: Tab moves from Cancel to OK, drawn focused,
// and Enter presses it: the book is gone from the list and the device.
TEST_F(WindowInput, DeleteIsConfirmedByTabAndEnterInItsBox) {
    WriteAlphaAndBeta();
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(OpenDeleteBox(person));
    const WindowPicture cancelFocused = person.Picture();
    ASSERT_TRUE(person.Press("Tab"));  // OK is drawn focused now
    EXPECT_NE(person.Picture(), cancelFocused);
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    ExpectAlphaDeleted();
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("=> 1\n", log.find("MessageBox ")), std::string::npos) << log;
}

// 2. Right moves from Cancel to OK as Tab does: Enter then deletes the book.
TEST_F(WindowInput, DeleteIsConfirmedByRightAndEnterInItsBox) {
    WriteAlphaAndBeta();
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(OpenDeleteBox(person));
    ASSERT_TRUE(person.Press("Right"));
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    ExpectAlphaDeleted();
}

// 2. Escape is the box's Cancel and Left goes back from OK to Cancel: the book stays.
TEST_F(WindowInput, InTheBoxLeftGoesBackToCancelAndEscapeKeepsTheBook) {
    device_.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(OpenDeleteBox(person));
    const WindowPicture cancelFocused = person.Picture();
    ASSERT_TRUE(person.Press("Right"));
    ASSERT_TRUE(person.Press("Left"));
    EXPECT_EQ(person.Picture(), cancelFocused);
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_TRUE(OpenDeleteBox(person));
    ASSERT_TRUE(person.Press("Tab"));
    ASSERT_TRUE(person.Press("Escape"));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("list.txt")).find("Alpha"), std::string::npos);
    EXPECT_TRUE(device_.HostExists("storage/eBooks/Alpha.txt"));
}

// 3. The Enter that opens the Library options page does not tick or untick its first box: OK
// keeps text books listed.
TEST_F(WindowInput, EnterThatOpensTheLibraryPageLeavesItsBoxesAsTheyWere) {
    device_.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.ChooseFromMenu(5));                          // Options...
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(person.Press("Down"));  // Library
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_TRUE(person.Press("Return"));  // the page's OK
    ASSERT_TRUE(person.Press("F1"));      // the list's OK
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("list.txt")).find("Alpha"), std::string::npos)
        << ReadFile(Out("list.txt"));
}

// The library on a device of 300 text books, "Book 001" to "Book 300".
void WriteShelf(const TempDevice& device) {
    for (int i = 1; i <= 300; ++i) {
        std::string number = std::to_string(i);
        number.insert(0, 3 - number.size(), '0');
        device.WriteHost("storage/eBooks/Book " + number + ".txt",
                         "The text of book " + number + ".\n");
    }
}

// The rows `listshown` wrote to `path`, without their marks, and the index of the marked one
// among them (-1: none).
std::vector<std::string> ShownRows(const std::string& path, int* selected) {
    std::vector<std::string> rows;
    *selected = -1;
    for (const std::string& line : ReadLines(path)) {
        if (line.rfind("> ", 0) == 0) *selected = static_cast<int>(rows.size());
        rows.push_back(line.substr(2));
    }
    return rows;
}

// 4. End, then PageUp, select the last row and then the row a screenful above it.
TEST_F(WindowInput, EndAndPageUpMoveTheSelectionByTheScreenful) {
    WriteShelf(device_);
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.Press("End"));
    ASSERT_TRUE(person.Press("Prior"));
    ASSERT_EQ(person.Finish().status, 0);
    const std::vector<std::string> all = ReadLines(Out("list.txt"));
    ASSERT_EQ(all.size(), 300u);
    int selected = -1;
    const std::vector<std::string> shown = ShownRows(Out("shown.txt"), &selected);
    ASSERT_GT(shown.size(), 5u);
    ASSERT_GE(selected, 0) << ReadFile(Out("shown.txt"));
    // A screenful is the rows shown less the one kept from the screen before.
    EXPECT_EQ(shown[static_cast<size_t>(selected)], all[300 - shown.size()]);
    EXPECT_EQ(ReadFile(Out("page.txt")), "");
}

// Where the scroll bar's thumb is: the first run of rows, a few long, of the picture's column `x`
// in the thumb's grey (a one-pixel line elsewhere in that grey is not it).
void FindThumb(const WindowPicture& picture, int x, int* top, int* bottom) {
    *top = *bottom = -1;
    for (int y = 0; y < picture.height; ++y) {
        int end = y;
        while (end < picture.height && picture.At(x, end) == 0x808080) ++end;
        if (end - y >= 4) {
            *top = y;
            *bottom = end - 1;
            return;
        }
        y = end;
    }
}

// 4. PageDown selects the last row of the screen; a click on the scroll bar below the thumb shows
// the next screenful without opening a book; the wheel scrolls; the thumb dragged to the bottom
// shows the last rows. The selection stays where the keys left it.
TEST_F(WindowInput, TheScrollBarPagesAndDragsAndTheWheelScrollsWithoutOpeningABook) {
    WriteShelf(device_);
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.Press("Next"));
    const WindowPicture start = person.Picture();
    const int bar = start.width - 4;
    int top = -1, bottom = -1;
    FindThumb(start, bar, &top, &bottom);
    ASSERT_GE(top, 0) << "no scroll bar";
    ASSERT_TRUE(person.Tap(bar, bottom + 40));  // below the thumb: the next screenful
    ASSERT_TRUE(person.Wheel(-1));              // three rows on
    int movedTop = -1, movedBottom = -1;
    FindThumb(person.Picture(), bar, &movedTop, &movedBottom);
    ASSERT_GT(movedTop, top);
    person.Drag(bar, (movedTop + movedBottom) / 2, bar, start.height - 2);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), "") << "a book was opened";
    const std::vector<std::string> all = ReadLines(Out("list.txt"));
    ASSERT_EQ(all.size(), 300u);
    int selected = -1;
    const std::vector<std::string> shown = ShownRows(Out("shown.txt"), &selected);
    ASSERT_GT(shown.size(), 5u);
    // The last screenful, and the row PageDown selected is not on it.
    EXPECT_EQ(shown.back(), all.back());
    EXPECT_EQ(shown.front(), all[300 - shown.size()]);
    EXPECT_EQ(selected, -1) << ReadFile(Out("shown.txt"));
}

// A book whose first line is a link to its audio page of one tone.
bool WriteToneBook(const TempDevice& device) {
    const auto& tones = fixtures::Tones();
    if (!tones.ready) return false;
    BookBuilder book;
    const std::string html =
        "<html><body><p><a onclick=\"audio.show('#$1|A tone')\">LISTEN LISTEN LISTEN LISTEN</a>"
        "</p><p>One tone.</p></body></html>";
    book.text.assign(html.begin(), html.end());
    book.databaseName = "Tone";
    book.fullName = "Tone";
    book.resources = {tones.mono.ogg};
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/tone.prc", std::string(bytes.begin(), bytes.end()));
    return true;
}

// Opens the Volume box from the audio page's menu (Open, Navigate, Play, Back, Forward, Volume).
bool OpenVolume(WindowSession& person) {
    return person.ChooseFromMenu(6);
}

// 5. The Volume box takes the arrows and End: the slider moves, and the volume with it, so the
// box opened again shows the slider where the keys left it.
TEST_F(WindowInput, TheVolumeBoxMovesTheVolumeByTheArrowKeys) {
    if (!WriteToneBook(device_)) GTEST_SKIP() << fixtures::Tones().why;
    WindowSession person(server_, device_, {"\\storage\\eBooks\\tone.prc"}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.Tap(60, 46));  // the audio page
    ASSERT_TRUE(OpenVolume(person));
    const WindowPicture full = person.Picture();
    ASSERT_TRUE(person.Press("Left"));
    ASSERT_TRUE(person.Press("Left"));
    const WindowPicture lower = person.Picture();
    ASSERT_TRUE(person.Press("Return"));  // OK
    ASSERT_TRUE(OpenVolume(person));
    EXPECT_EQ(person.Picture(), lower);
    ASSERT_TRUE(person.Press("End"));
    EXPECT_EQ(person.Picture(), full);
    ASSERT_TRUE(person.Press("Escape"));
    ASSERT_EQ(person.Finish().status, 0);
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("=> 40088"), std::string::npos) << log;
}

// 6. In full screen, Back shows the library; there F1 ("Read") opens the book again, in full
// screen, and so does Enter after Back once more.
TEST_F(WindowInput, AfterFullScreenAndBackReadAndEnterOpenTheBookInFullScreen) {
    WriteTuningBook(device_);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture normal = person.Picture();
    const std::uint32_t bar = normal.At(2, normal.height - 2);
    ASSERT_TRUE(person.Press("F2"));
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(person.Press("Down"));  // Display
    ASSERT_TRUE(person.Press("Right"));                             // Fullscreen
    ASSERT_TRUE(person.Press("Return"));
    const WindowPicture full = person.Picture();
    ASSERT_NE(full.At(2, full.height - 2), bar);
    ASSERT_TRUE(person.Press("Escape"));  // Back: the library
    ASSERT_TRUE(person.Press("F1"));      // Read
    EXPECT_EQ(person.Picture(), full);
    ASSERT_TRUE(person.Press("Escape"));
    ASSERT_TRUE(person.Press("Return"));
    EXPECT_EQ(person.Picture(), full);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("page.txt")), "");
    EXPECT_EQ(ReadFile(Out("list.txt")), "");
}

// Selects the first two words of the page from the keyboard and opens their pop-up (Lookup,
// Copy, Highlight, Add note, ...).
void SelectTwoWords(WindowSession& person) {
    ASSERT_TRUE(person.Press("9"));
    person.PressOnly("Return");
    ASSERT_TRUE(person.Press("Right"));
    ASSERT_TRUE(person.Press("Return"));
}

// 7. Copy in a selection's pop-up puts its words where text fields paste from: Ctrl+V in Add
// note writes them into the note. The desktop's clipboard holds them too.
TEST_F(WindowInput, CopiedWordsArePastedByCtrlVAndReachTheDesktop) {
    WriteTuningBook(device_);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    SelectTwoWords(person);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(person.Press("Down"));  // Copy
    ASSERT_TRUE(person.Press("Return"));
    const std::string copied = person.DesktopClipboard();
    EXPECT_EQ(copied.rfind("Paragraph", 0), 0u) << copied;
    SelectTwoWords(person);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(person.Press("Down"));  // Add note
    ASSERT_TRUE(person.Press("Return"));
    person.PressWith("Control_L", "v");
    ASSERT_TRUE(person.Press("F1"));  // OK
    ASSERT_EQ(person.Finish().status, 0);
    const std::string side = device_.ReadHost("storage/eBooks/tuning.fvt");
    std::u16string note;
    for (char c : std::string("Paragraph 0")) note.push_back(static_cast<char16_t>(c));
    EXPECT_NE(side.find(Utf16Le(note)), std::string::npos) << "nothing was pasted into the note";
}

// A second start, headless, with Beta while the reader in the window shows what the person
// opened: the reader's window closes (bounded: one that keeps it never lets the picture change),
// the second runs, and the first ends well. The first's shell log.
std::string HandOverWhileShown(WindowSession& person, const TempDevice& device,
                               const std::string& secondErrors) {
    const WindowPicture shown = person.Picture();
    LaunchedProgram second = StartReader(device, {"\\storage\\eBooks\\Beta.txt"}, {},
                                         secondErrors, {"FOLIVANT_DISPLAY=headless"});
    EXPECT_TRUE(second.Started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (person.Picture() == shown && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    person.Settle();
    EXPECT_TRUE(second.Running()) << ReadFile(secondErrors);
    const ProgramResult first = person.Finish();
    EXPECT_EQ(first.status, 0) << first.Describe();
    EXPECT_TRUE(second.Running()) << ReadFile(secondErrors);
    return ReadFile(device.outside() + "/log.txt");
}

// 8. A second start while the reader shows a box hands the book over: the box is answered as by
// Escape (the book it asked about stays), the first reader's window closes, and the second runs.
TEST_F(WindowInput, ASecondStartWhileABoxIsOpenHandsTheBookOver) {
    WriteAlphaAndBeta();
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(OpenDeleteBox(person));
    const std::string log = HandOverWhileShown(person, device_, Out("second.txt"));
    EXPECT_NE(log.find("=> 2\n", log.find("MessageBox ")), std::string::npos) << log;
    EXPECT_TRUE(device_.HostExists("storage/eBooks/Alpha.txt"));
}

// 8. So does one while the reader shows a dialog: the dialog ends as by Escape.
TEST_F(WindowInput, ASecondStartWhileADialogIsOpenHandsTheBookOver) {
    WriteAlphaAndBeta();
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.ChooseFromMenu(5));  // Options...
    const std::string log = HandOverWhileShown(person, device_, Out("second.txt"));
    EXPECT_NE(log.find("=> 2\n", log.find("dialog ")), std::string::npos) << log;
}

// Where the mark of a note sits: the middle of the red pixels in the page's left margin, or
// {-1, -1} when there are none.
struct Spot {
    int x = -1, y = -1;
};
Spot NoteMark(const WindowPicture& picture, int margin) {
    long sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < margin; ++x) {
            const std::uint32_t p = picture.At(x, y);
            if ((p >> 16) > 0xC0 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60)
                sumX += x, sumY += y, ++count;
        }
    if (count == 0) return Spot{};
    return Spot{static_cast<int>(sumX / count), static_cast<int>(sumY / count)};
}

// 9. A note's mark in the margin looks as it did before its tap once the pop-up the tap opened
// has closed, by Escape or by a tap beside it; one Tab made the link focus still looks focused
// once the pop-up Enter opened has closed.
TEST_F(WindowInput, ANotesMarginMarkLooksAsBeforeOnceItsPopUpCloses) {
    WriteTuningBook(device_);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    SelectTwoWords(person);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(person.Press("Down"));  // Add note
    ASSERT_TRUE(person.Press("Return"));
    person.Type("A mark");
    ASSERT_TRUE(person.Press("F1"));  // OK
    const WindowPicture marked = person.Picture();
    const Spot mark = NoteMark(marked, 16);
    ASSERT_GE(mark.x, 0) << "no note mark in the margin";
    ASSERT_TRUE(person.Tap(mark.x, mark.y));  // the note's pop-up
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), marked) << "the page changed after Escape closed the pop-up";
    ASSERT_TRUE(person.Tap(mark.x, mark.y));
    ASSERT_TRUE(person.Tap(marked.width / 2, marked.height / 2));
    EXPECT_EQ(person.Picture(), marked) << "the page changed after a tap closed the pop-up";
    // From the keyboard the mark keeps the focus Tab gave it: drawn focused once the pop-up
    // Enter opened has closed.
    ASSERT_TRUE(person.Press("Tab"));
    const WindowPicture focused = person.Picture();
    ASSERT_NE(focused.At(mark.x, mark.y), marked.At(mark.x, mark.y)) << "Tab missed the mark";
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), focused) << "the mark lost its focus look";
    ASSERT_EQ(person.Finish().status, 0);
}

}  // namespace
}  // namespace fvt::test
