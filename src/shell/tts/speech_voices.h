// The espeak-ng voice for a book's language: a Windows language id (its primary language, the
// low ten bits) to the name of a voice; English where espeak-ng has none.
#pragma once

#include <cstdint>

namespace tts {

inline const char* VoiceForLanguage(uint32_t language) {
    struct Pair {
        uint32_t id;
        const char* voice;
    };
    static constexpr Pair kVoices[] = {
        {0x01, "ar"}, {0x02, "bg"}, {0x03, "ca"}, {0x04, "cmn"}, {0x05, "cs"}, {0x06, "da"},
        {0x07, "de"}, {0x08, "el"}, {0x09, "en"}, {0x0A, "es"},  {0x0B, "fi"}, {0x0C, "fr"},
        {0x0D, "he"}, {0x0E, "hu"}, {0x0F, "is"}, {0x10, "it"},  {0x11, "ja"}, {0x12, "ko"},
        {0x13, "nl"}, {0x14, "nb"}, {0x15, "pl"}, {0x16, "pt"},  {0x18, "ro"}, {0x19, "ru"},
        {0x1A, "hr"}, {0x1B, "sk"}, {0x1C, "sq"}, {0x1D, "sv"},  {0x1E, "th"}, {0x1F, "tr"},
        {0x20, "ur"}, {0x21, "id"}, {0x22, "uk"}, {0x23, "be"},  {0x24, "sl"}, {0x25, "et"},
        {0x26, "lv"}, {0x27, "lt"}, {0x29, "fa"}, {0x2A, "vi"},  {0x2B, "hy"}, {0x2D, "eu"},
        {0x2F, "mk"}, {0x36, "af"}, {0x37, "ka"}, {0x39, "hi"},  {0x3E, "ms"}, {0x41, "sw"},
        {0x52, "cy"}, {0x3C, "ga"},
    };
    const uint32_t primary = language & 0x3FF;
    for (const Pair& p : kVoices)
        if (p.id == primary) return p.voice;
    return "en";
}

}  // namespace tts
