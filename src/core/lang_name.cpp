#include "core/lang_name.h"

#include <cstring>

#include "core/string.h"
#include "core/text.h"

namespace {

struct Row {
    const char* name;
    uint16_t code;
};

// clang-format off
const Row kRows[] = {
    // Primary languages.
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"rm", 0x17}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E},
    {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24},
    {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2A}, {"hy", 0x2B},
    {"az", 0x2C}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36}, {"ka", 0x37}, {"fo", 0x38},
    {"hi", 0x39}, {"ms", 0x3E}, {"kk", 0x3F}, {"sw", 0x41}, {"gl", 0x56},
    // Regional forms.
    {"en-us", 0x0409}, {"en-gb", 0x0809}, {"en-au", 0x0C09}, {"en-ca", 0x1009},
    {"en-nz", 0x1409}, {"en-ie", 0x1809}, {"fr-fr", 0x040C}, {"fr-be", 0x080C},
    {"fr-ca", 0x0C0C}, {"fr-ch", 0x100C}, {"de-de", 0x0407}, {"de-ch", 0x0807},
    {"de-at", 0x0C07}, {"es-es", 0x0C0A}, {"es-mx", 0x080A}, {"it-it", 0x0410},
    {"it-ch", 0x0810}, {"pt-br", 0x0416}, {"pt-pt", 0x0816}, {"zh-tw", 0x0404},
    {"zh-cn", 0x0804}, {"zh-hk", 0x0C04}, {"zh-sg", 0x1004}, {"nl-nl", 0x0413},
    {"nl-be", 0x0813}, {"ja-jp", 0x0411}, {"ko-kr", 0x0412}, {"ru-ru", 0x0419},
    {"sv-se", 0x041D}, {"nb", 0x0414}, {"nb-no", 0x0414}, {"nn", 0x0814}, {"nn-no", 0x0814},
    {"da-dk", 0x0406}, {"fi-fi", 0x040B}, {"pl-pl", 0x0415}, {"el-gr", 0x0408},
};
// clang-format on

uint16_t FindNormalised(const char* name) {
    for (const Row& r : kRows)
        if (std::strcmp(r.name, name) == 0) return r.code;
    return 0;
}

// Lower-cases into buf; false when the name is too long or not ASCII.
template <typename Next>
bool Normalise(char* buf, size_t cap, Next next) {
    size_t n = 0;
    uint32_t c;
    while (next(c)) {
        if (c >= 0x80 || n + 1 >= cap) return false;
        if (c >= 'A' && c <= 'Z') c += 32;
        if (c == '_') c = '-';
        buf[n++] = static_cast<char>(c);
    }
    buf[n] = 0;
    return true;
}

}  // namespace

uint16_t LangName::Find(const char* name) {
    if (!name) return 0;
    char buf[16];
    const char* p = name;
    if (!Normalise(buf, sizeof(buf), [&](uint32_t& c) {
            if (!*p) return false;
            c = static_cast<unsigned char>(*p++);
            return true;
        }))
        return 0;
    return FindNormalised(buf);
}

uint16_t LangName::Find(const String& name) {
    char buf[16];
    int32_t i = 0;
    if (!Normalise(buf, sizeof(buf), [&](uint32_t& c) {
            if (i >= name.Length()) return false;
            c = name.At(i++);
            return true;
        }))
        return 0;
    return FindNormalised(buf);
}

uint16_t LangName::Find(const Text& name) {
    char buf[16];
    TextReader r(name);
    if (!Normalise(buf, sizeof(buf), [&](uint32_t& c) { return r.Next(c); })) return 0;
    return FindNormalised(buf);
}

const char* LangName::Name(uint16_t code) {
    for (const Row& r : kRows)
        if ((r.code & 0x3FF) == (code & 0x3FF)) return r.name;
    return nullptr;
}

const char* LangName::ExactName(uint16_t code) {
    for (const Row& r : kRows)
        if (r.code == code) return r.name;
    return nullptr;
}
