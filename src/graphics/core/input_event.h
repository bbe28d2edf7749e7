// The event record that nodes receive (built by the main window procedure and the drawing
// surface). A key event carries either a code or a key row: twelve codes, one per input state of
// the drawing surface. The surface stamps the column of its current state into the record before
// the event enters the tree, so `Code()` gives the code a node should act on; nodes that read a
// fixed column of their own (list, check box, select) use `CodeAt`.
#pragma once

#include <cstdint>

#include "core/geometry.h"

// Key codes of events and key rows.
enum KeyCode : uint32_t {
    kKeyNone = 0,  // a key row's state that the key means nothing in
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    // The diagonals of the image view's keypad.
    kKeyUpLeft = 5,
    kKeyDownLeft = 6,
    kKeyUpRight = 7,
    kKeyDownRight = 8,
    kKeyPageDown = 11,
    kKeyPageUp = 12,
    kKeyLineDown = 13,
    kKeyLineUp = 14,
    kKeyScreenDown = 15,
    kKeyScreenUp = 16,
    kKeyHome = 17,
    kKeyEnd = 18,
    kKeyBackspace = 19,
    kKeyDelete = 20,
    kKeyFaster = 21,
    kKeySlower = 22,
    kKeyActivate = 23,
    kKeyClose = 24,
    kKeyCharacter = 25,
    kKeyCommand = 26,
    kKeyShift = 0x100,
    kKeyCtrl = 0x200,
    kKeyTab = 0x400,
    kKeyModifiers = 0x700,
    // Shift and a direction (257-260): the focus box moves and extends the selection.
    kKeyExtendUp = kKeyShift | kKeyUp,
    kKeyExtendDown = kKeyShift | kKeyDown,
    kKeyExtendLeft = kKeyShift | kKeyLeft,
    kKeyExtendRight = kKeyShift | kKeyRight,
    // Ctrl and a direction (513-516): the page's scrollable tables move.
    kKeyScrollTableUp = kKeyCtrl | kKeyUp,
    kKeyScrollTableDown = kKeyCtrl | kKeyDown,
    kKeyScrollTableLeft = kKeyCtrl | kKeyLeft,
    kKeyScrollTableRight = kKeyCtrl | kKeyRight,
    // Tab and a paging code (1035-1038): focus moves, the link focus of a page or the selected
    // row of a list; the line forms go less far when they run past the end.
    kKeyFocusNext = kKeyTab | kKeyPageDown,
    kKeyFocusPrevious = kKeyTab | kKeyPageUp,
    kKeyFocusNextLine = kKeyTab | kKeyLineDown,
    kKeyFocusPreviousLine = kKeyTab | kKeyLineUp,
    // Pen events: their low byte matches no key code and they carry no modifier bits, so a
    // node that looks only at keys never mistakes them.
    kPenDown = 0x10F0,
    kPenMove = 0x10F1,
    kPenUp = 0x10F2,
};

constexpr uint32_t kNoCommand = 0xFFFFFF;
constexpr int kKeyRowColumns = 12;

// The drawing surface's input states; each reads its own column of a key row. The values are
// the column numbers.
enum class InputState : uint8_t {
    kReading = 0,        // a page: up and down turn pages, Enter runs its command
    kLinkFocus = 1,      // a page with a focused link or mark: Enter activates it
    kPopup = 2,          // a pop-up or menu: plain directions, Esc closes
    kAutoScroll = 3,     // auto-scroll running: up and right faster, down and left slower
    kButton = 4,         // a push button or check box has focus: Enter and Space activate
    kTextEntry = 5,      // a text entry has focus: characters, Backspace, caret moves
    kSelectList = 6,     // the list part of a select control
    kList = 7,           // a list control (lookup lists)
    kPagedList = 8,      // a list control that turns pages at its ends (library-like lists)
    kSearchList = 9,     // a list that takes typed characters as a search
    kImageView = 10,     // a picture: keypad digits move, + and - zoom
    kDirectional = 11,   // other views that take the four plain directions
};

struct InputEvent {
    static constexpr uint32_t kHasRow = 1;        // `row` holds a key row
    static constexpr uint32_t kHasSecondRow = 2;  // `secondRow` replaces the command

    uint32_t flags = 0;
    uint32_t code = 0;
    const uint32_t* row = nullptr;
    uint32_t command = kNoCommand;
    const uint32_t* secondRow = nullptr;
    uint16_t character = 0;
    // Pen events: the point in the coordinates of the node receiving the event.
    Point point{};
    // The column of the surface's input state (set by the surface).
    uint8_t column = 0;

    static InputEvent Key(uint32_t code, uint32_t command = kNoCommand, uint16_t character = 0) {
        InputEvent e;
        e.code = code;
        e.command = command;
        e.character = character;
        return e;
    }
    static InputEvent Row(const uint32_t* row, uint32_t command = kNoCommand,
                          uint16_t character = 0) {
        InputEvent e;
        e.flags = kHasRow;
        e.row = row;
        e.command = command;
        e.character = character;
        return e;
    }
    static InputEvent Pen(uint32_t code, Point p) {
        InputEvent e;
        e.code = code;
        e.point = p;
        return e;
    }

    // The code in the stamped column (a row), or the plain code.
    uint32_t Code() const { return CodeAt(column); }
    uint32_t CodeAt(int col) const {
        if (!(flags & kHasRow)) return code;
        if (!row || col < 0 || col >= kKeyRowColumns) return 0;
        return row[col];
    }
    // The command, or the second row's entry in the stamped column.
    uint32_t Command() const {
        if (!(flags & kHasSecondRow)) return command;
        if (!secondRow || column >= kKeyRowColumns) return kNoCommand;
        return secondRow[column];
    }
    bool IsPen() const {
        return !(flags & kHasRow) && (code == kPenDown || code == kPenMove || code == kPenUp);
    }
};
