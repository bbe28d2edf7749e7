#include "reader/command_ids.h"

namespace Commands {

bool IsWindowPartRange(int32_t id) {
    return (id >= Cmd::kWindowPartFirst && id <= Cmd::kWindowPartLast) ||
           (id >= Cmd::kWindowPart2First && id <= Cmd::kWindowPart2Last) ||
           (id >= Cmd::kWindowPart3First && id <= Cmd::kWindowPart3Last);
}

bool IsViewCommand(int32_t id) {
    static constexpr int32_t kViewIds[] = {13, 14, 23, 40,  66,  67,  73,  85,  86, 87,
                                           88, 89, 90, 106, 107, 109, 110, 111, 112};
    for (int32_t v : kViewIds)
        if (v == id) return true;
    return false;
}

bool IsDisplayCommand(int32_t id) {
    return id >= Cmd::kDisplayFirst && id <= Cmd::kDisplayLast;
}

const MenuCommand kReaderMenu[kReaderMenuCount] = {
    {40167, 23},  {40093, 1},   {40041, 6},  {40075, 0},  {40076, 15}, {40040, 7},  {40078, 4},
    {40168, 113}, {40079, 16},  {40048, 10}, {40092, 20}, {40090, 21}, {40089, 23}, {40082, 11},
    {40083, 12},  {40170, 114}, {40084, 55}, {40100, 9},  {40025, 8},  {40080, 52}, {40085, 74},
    {40173, 75},  {40172, 115}, {40035, 5},  {50018, 18}, {50019, 19}, {50067, 67}, {50066, 66},
    {50024, 24},  {50011, 11},  {50022, 22}, {40103, 57}, {40104, 59}, {40105, 63}, {40106, 58},
    {40107, 60},  {40108, 61},  {40193, 62},
};

const MenuCommand kAudioMenu[kAudioMenuCount] = {
    {40093, 1}, {40041, 6}, {40075, 0}, {40076, 15},  {40040, 7},   {40048, 10},  {40089, 23},
    {40100, 9}, {40025, 8}, {40035, 5}, {40175, 116}, {40174, 118}, {40087, 117}, {40088, 119},
};

int32_t CommandForMenuItem(const MenuCommand* table, std::size_t count, uint32_t item) {
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].item == item) return table[i].command;
    return -1;
}

const PopupEntry kTapPopup[kTapPopupCount] = {
    {45, 5091}, {49, 5087}, {42, 5086}, {41, 5088}, {43, 5084},
    {44, 5090}, {16, 5002}, {53, 5093}, {54, 5094}, {48, 5089},
};

bool TapActionForCommand(int32_t command, uint32_t& action, int32_t& viewCommand) {
    // Commands 56-65 in order; 58 and 59 swap their values.
    static constexpr uint32_t kValues[10] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9};
    if (command < Cmd::kTapActionFirst || command > Cmd::kTapActionLast) return false;
    action = kValues[command - Cmd::kTapActionFirst];
    if (command == Cmd::kTapActionLast)
        viewCommand = -1;
    else
        viewCommand = command == 59 ? Cmd::kViewCommand87 : Cmd::kViewCommand40;
    return true;
}

int32_t CommandForTapAction(uint32_t action) {
    switch (action) {
        case 1:
            return Cmd::kHighlight;
        case 2:
            return Cmd::kLookup;
        case 3:
            return Cmd::kAddNote;
        case 4:
            return Cmd::kModify;
        case 5:
            return Cmd::kAddLink;
        case 6:
            return Cmd::kSetLinkTarget;
        case 7:
            return Cmd::kCopy;
        case 8:
            return Cmd::kDeleteHighlight;
        case 9:
            return kTapResetOnly;
        default:
            return -1;
    }
}

}  // namespace Commands
