// The script-name vocabulary: keywords, reader object names, method and property names.
// The ids are shared with host objects and command records, so they never change.
#include "script/script_names.h"

#include <cstring>

namespace {

struct NameEntry {
    std::uint16_t id;
    const char16_t* text;
};

// Sorted by id; 74 and 113 carry two spellings each (the lower-case one first).
const NameEntry kNames[] = {
    {1, u"break"},
    {2, u"else"},
    {3, u"switch"},
    {4, u"case"},
    {5, u"return"},
    {6, u"continue"},
    {7, u"for"},
    {8, u"void"},
    {9, u"default"},
    {10, u"do"},
    {11, u"if"},
    {12, u"while"},
    {13, u"this"},
    {14, u"new"},
    {15, u"delete"},
    {16, u"typeof"},
    {17, u"function"},
    {18, u"var"},
    {19, u"true"},
    {20, u"false"},
    {21, u"__litteralstr"},
    {23, u"document"},
    {24, u"bookmarks"},
    {25, u"window"},
    {26, u"history"},
    {27, u"cart"},
    {28, u"selection"},
    {29, u"location"},
    {30, u"hash"},
    {31, u"voice"},
    {32, u"index"},
    {33, u"audio"},
    {34, u"BUL_CROSS_RED"},
    {35, u"BUL_CHECK_GREEN"},
    {36, u"BUL_BLUE"},
    {37, u"BUL_HOSPITAL"},
    {38, u"TYPE_STRING"},
    {39, u"TYPE_POOLED_STRING"},
    {40, u"TYPE_UBYTE"},
    {41, u"TYPE_UINT"},
    {43, u"navigator"},
    {44, u"device"},
    {46, u"open"},
    {47, u"close"},
    {48, u"increase_font"},
    {49, u"decrease_font"},
    {50, u"goto_page"},
    {51, u"goto_page_relative"},
    {52, u"goto_first_page"},
    {53, u"goto_last_page"},
    {54, u"goto_toc"},
    {55, u"goto_guide"},
    {56, u"search"},
    {57, u"add"},
    {58, u"display_list"},
    {59, u"previous"},
    {60, u"next"},
    {61, u"back"},
    {62, u"forward"},
    {63, u"goto"},
    {64, u"browse"},
    {65, u"display_tip"},
    {66, u"play_music"},
    {67, u"start_recorder"},
    {68, u"play_music_ex"},
    {69, u"index_search"},
    {70, u"move_table"},
    {71, u"display_bookmark_tip"},
    {72, u"filtered_index_search"},
    {73, u"edit"},
    {74, u"remove"},
    {74, u"Remove"},
    {76, u"dial"},
    {77, u"reset"},
    {78, u"submit"},
    {79, u"cond_index_search"},
    {81, u"copy"},
    {82, u"highlight"},
    {83, u"annotate"},
    {84, u"lookup"},
    {85, u"start_popup_viewer"},
    {86, u"start_external_app"},
    {87, u"open_sync"},
    {88, u"goto_random_entry"},
    {89, u"send_to_pda"},
    {90, u"start_web_browser"},
    {91, u"set_checkpoint"},
    {92, u"goto_checkpoint"},
    {93, u"rearrange"},
    {94, u"register"},
    {95, u"alert"},
    {96, u"sql_search"},
    {97, u"sql_bullet_search"},
    {98, u"sql_execute"},
    {99, u"export"},
    {100, u"scroll"},
    {101, u"read"},
    {102, u"say"},
    {103, u"system_play"},
    {104, u"appVersion"},
    {105, u"language"},
    {106, u"seek"},
    {107, u"current_index_entry"},
    {108, u"OpenDatabase"},
    {109, u"display_wordlist"},
    {110, u"flash_message"},
    {111, u"add_to_wordlist"},
    {112, u"add_entry_to_wordlist"},
    {113, u"clear"},
    {113, u"Clear"},
    {114, u"replace"},
    {115, u"display_search_history"},
    {116, u"play"},
    {117, u"stop"},
    {118, u"set_volume"},
    {119, u"encodeURI"},
    {120, u"decodeURI"},
    {121, u"encodeURIComponent"},
    {122, u"decodeURIComponent"},
    {123, u"platform"},
    {124, u"screenWidth"},
    {125, u"screenHeight"},
    {126, u"hasPointer"},
    {127, u"hasNumericKeyboard"},
    {128, u"hasFullKeyboard"},
    {129, u"getenv"},
    {130, u"ideogram_search"},
    {131, u"debug_alert"},
    {132, u"pause"},
    {133, u"resume"},
    {134, u"show"},
    {135, u"goto_track"},
    {136, u"gramgrp"},
    {137, u"orth"},
    {139, u"format"},
    {140, u"Formatted"},
    {141, u"MoveNext"},
    {142, u"MovePrevious"},
    {143, u"BOF"},
    {144, u"EOF"},
    {145, u"MoveFirst"},
    {146, u"MoveLast"},
    {147, u"anchor"},
    {148, u"url"},
    {149, u"AddNew"},
    {150, u"Delete"},
    {151, u"FindFirst"},
    {152, u"FindNext"},
    {153, u"MoveRandom"},
    {154, u"Infl"},
    {155, u"Value"},
    {156, u"Count"},
    {157, u"Fields"},
    {158, u"text"},
    {159, u"href"},
    {160, u"OpenTable"},
    {161, u"AddField"},
    {162, u"RemoveField"},
    {163, u"CreateTable"},
    {164, u"DropTable"},
    {165, u"CloseTable"},
    {166, u"Save"},
    {167, u"abs"},
    {168, u"acos"},
    {169, u"asin"},
    {170, u"atan"},
    {171, u"ceil"},
    {172, u"cos"},
    {173, u"exp"},
    {174, u"floor"},
    {175, u"log"},
    {176, u"round"},
    {177, u"sin"},
    {178, u"sqrt"},
    {179, u"tan"},
    {180, u"max"},
    {181, u"atan2"},
    {182, u"min"},
    {183, u"pow"},
    {184, u"random"},
    {185, u"toString"},
    {186, u"charAt"},
    {187, u"charCodeAt"},
    {188, u"indexOf"},
    {189, u"lastIndexOf"},
    {190, u"slice"},
    {191, u"split"},
    {192, u"substring"},
    {193, u"fold"},
    {194, u"toLowerCase"},
    {195, u"toUpperCase"},
    {196, u"fromCharCode"},
    {198, u"toUTCString"},
    {199, u"toDateString"},
    {200, u"toLocaleString"},
    {201, u"toLocaleDateString"},
    {202, u"toTimeString"},
    {203, u"toLocaleTimeString"},
    {205, u"getTime"},
    {206, u"getFullYear"},
    {207, u"getMonth"},
    {208, u"getDate"},
    {209, u"getHours"},
    {210, u"getMinutes"},
    {211, u"getSeconds"},
    {212, u"getMilliseconds"},
    {213, u"getDay"},
    {214, u"getUTCFullYear"},
    {215, u"getUTCMonth"},
    {216, u"getUTCDate"},
    {217, u"getUTCHours"},
    {218, u"getUTCMinutes"},
    {219, u"getUTCSeconds"},
    {220, u"getUTCMilliseconds"},
    {221, u"getUTCDay"},
    {222, u"getTimeZoneOffset"},
    {225, u"setTime"},
    {226, u"setFullYear"},
    {227, u"setMonth"},
    {228, u"setDate"},
    {229, u"setHours"},
    {230, u"setMinutes"},
    {231, u"setSeconds"},
    {232, u"setMilliseconds"},
    {233, u"setUTCFullYear"},
    {234, u"setUTCMonth"},
    {235, u"setUTCDate"},
    {236, u"setUTCHours"},
    {237, u"setUTCMinutes"},
    {238, u"setUTCSeconds"},
    {239, u"setUTCMilliseconds"},
    {241, u"parse"},
    {242, u"UTC"},
    {243, u"valueOf"},
    {245, u"eval"},
    {246, u"parseInt"},
    {247, u"parseFloat"},
    {248, u"isNaN"},
    {249, u"isFinite"},
    {250, u"NaN"},
    {251, u"Infinity"},
    {252, u"undefined"},
    {253, u"setTimeout"},
    {254, u"clearTimeout"},
    {255, u"setInterval"},
    {256, u"clearInterval"},
    {257, u"scrollIntoView"},
    {258, u"hasFocus"},
    {259, u"focus"},
    {260, u"blur"},
    {261, u"Array"},
    {262, u"Math"},
    {263, u"Number"},
    {264, u"String"},
    {265, u"Boolean"},
    {266, u"Date"},
    {267, u"Object"},
    {269, u"E"},
    {270, u"LN10"},
    {271, u"LN2"},
    {272, u"LOG10E"},
    {273, u"LOG2E"},
    {274, u"PI"},
    {275, u"SQRT1_2"},
    {276, u"SQRT2"},
    {277, u"options"},
    {278, u"checked"},
    {279, u"value"},
    {280, u"name"},
    {281, u"type"},
    {282, u"length"},
    {283, u"selectedIndex"},
    {284, u"form"},
    {285, u"source"},
    {286, u"recordset"},
    {289, u"Response"},
    {290, u"Server"},
    {291, u"Request"},
    {292, u"Session"},
    {293, u"Frameset"},
    {296, u"Contents"},
    {297, u"QueryString"},
    {298, u"Write"},
    {299, u"HTMLEncode"},
    {300, u"URLEncode"},
    {301, u"End"},
    {302, u"Redirect"},
    {303, u"Use"},
    {304, u"Flush"},
    {305, u"ServerVariables"},
    {306, u"RemoveAll"},
    {307, u"AppendToLog"},
    {308, u"AddHeader"},
    {309, u"Timeout"},
    {310, u"SessionID"},
    {311, u"Buffer"},
    {312, u"ContentType"},
    {313, u"Status"},
    {314, u"ScriptTimeout"},
    {315, u"CodePage"},
    {316, u"LCID"},
};

constexpr int kNameCount = sizeof(kNames) / sizeof(kNames[0]);
static_assert(kNameCount == 301, "the vocabulary has 301 names");

std::uint32_t Length16(const char16_t* s) {
    std::uint32_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Sorted index over the names for an exact binary search (code-unit order).
struct SortedIndex {
    std::uint16_t order[kNameCount];
    SortedIndex() {
        for (int i = 0; i < kNameCount; ++i) order[i] = static_cast<std::uint16_t>(i);
        // Insertion sort once at start-up; 301 entries.
        for (int i = 1; i < kNameCount; ++i) {
            std::uint16_t v = order[i];
            int j = i - 1;
            while (j >= 0 && Less(kNames[v].text, kNames[order[j]].text)) {
                order[j + 1] = order[j];
                --j;
            }
            order[j + 1] = v;
        }
    }
    static bool Less(const char16_t* a, const char16_t* b) {
        while (*a && *a == *b) ++a, ++b;
        return *a < *b;
    }
};

int Compare(const char16_t* chars, std::uint32_t count, const char16_t* name) {
    for (std::uint32_t i = 0; i < count; ++i) {
        char16_t c = name[i];
        if (c == 0) return 1;  // the name is a proper prefix of chars
        if (chars[i] != c) return chars[i] < c ? -1 : 1;
    }
    return name[count] == 0 ? 0 : -1;
}

const SortedIndex& Index() {
    static const SortedIndex index;
    return index;
}

}  // namespace

namespace ScriptNames {

std::uint16_t Find(const char16_t* chars, std::uint32_t count) {
    if (!chars || count == 0 || count > 32) return 0;
    // Every name is plain ASCII: a unit from 0x80 up can never match, whatever its low byte.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (chars[i] >= 0x80) return 0;
    }
    const SortedIndex& index = Index();
    int lo = 0, hi = kNameCount - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        const NameEntry& e = kNames[index.order[mid]];
        int c = Compare(chars, count, e.text);
        if (c == 0) return e.id;
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return 0;
}

const char16_t* Text(std::uint32_t id) {
    if (id == 0 || id > kLastId) return nullptr;
    // Ids rise with the table order; the first entry of a shared id is the lower-case spelling.
    int lo = 0, hi = kNameCount - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (kNames[mid].id < id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    if (lo < kNameCount && kNames[lo].id == id) return kNames[lo].text;
    return nullptr;
}

std::uint32_t TextLength(std::uint32_t id) {
    const char16_t* t = Text(id);
    return t ? Length16(t) : 0;
}

int Count() {
    return kNameCount;
}

std::uint16_t IdAt(int i) {
    return (i >= 0 && i < kNameCount) ? kNames[i].id : 0;
}

const char16_t* TextAt(int i) {
    return (i >= 0 && i < kNameCount) ? kNames[i].text : nullptr;
}

}  // namespace ScriptNames
