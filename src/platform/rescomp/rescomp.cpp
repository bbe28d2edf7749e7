// The resource compiler: turns the program's resource sources into one C++ source holding the
// string table and the binary resources.
//
//   rescomp <resources folder> <output.cpp> [function name, default CompiledResources]
//
// strings.en.txt / strings.fr.txt: UTF-8, one string a line: decimal id, TAB, text (escapes \n,
// \t, \\); blank lines and lines starting with '#' are skipped. French ids are the English ones;
// they are stored at id + 1000. A missing file is an empty table. Any error names the file and
// line and fails the build.
//
// icons/<id>-<size>.png: the sizes of one icon make a group-icon directory with its images (see
// ReadIcons). A missing folder means no icons.
//
// dialogs.txt and menus.txt: dialog templates (RT_DIALOG) and menus (RT_MENU) in the records
// that src/platform/dialog/dialog_template.h and src/platform/menu/menu_resource.cpp read. A
// text is #<string id> (taken in the system's language when used) or "quoted"; see ReadDialogs
// and ReadMenus for the lines.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/utf.h"

namespace {

namespace fs = std::filesystem;

struct Text {
    unsigned id;
    bool french;
    std::u32string text;
};

struct Binary {
    unsigned type;
    unsigned id;
    std::vector<unsigned char> data;
};

struct Output {
    std::map<unsigned, Text> strings;
    std::map<std::pair<unsigned, unsigned>, Binary> binaries;
    std::vector<std::string> errors;
};

// Strict: a resource source with bytes that are not UTF-8 fails the build.
bool DecodeUtf8(const std::string& in, std::u32string& out) {
    out.clear();
    const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
    for (size_t i = 0; i < in.size();) {
        std::uint32_t cp;
        bool valid;
        i += static_cast<size_t>(fvt::utf::DecodeUtf8(p + i, in.size() - i, cp, &valid));
        if (!valid) return false;
        out.push_back(cp);
    }
    return true;
}

void ReadStrings(const fs::path& file, bool french, Output& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;  // no table yet
    std::string line;
    int number = 0;
    auto error = [&](const std::string& message) {
        out.errors.push_back(file.string() + ":" + std::to_string(number) + ": " + message);
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab > 5) {
            error("expected a decimal id, a TAB and the text");
            continue;
        }
        unsigned id = 0;
        bool digits = true;
        for (size_t i = 0; i < tab; ++i) {
            if (line[i] < '0' || line[i] > '9')
                digits = false;
            else
                id = id * 10 + static_cast<unsigned>(line[i] - '0');
        }
        if (!digits || id == 0 || id + (french ? 1000 : 0) > 65535) {
            error("bad string id");
            continue;
        }
        std::string raw = line.substr(tab + 1), text;
        bool ok = true;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                text += raw[i];
                continue;
            }
            char next = i + 1 < raw.size() ? raw[++i] : '\0';
            if (next == 'n')
                text += '\n';
            else if (next == 't')
                text += '\t';
            else if (next == '\\')
                text += '\\';
            else
                ok = false;
        }
        if (!ok) {
            error("unknown escape (only \\n, \\t and \\\\ are allowed)");
            continue;
        }
        Text entry{id + (french ? 1000 : 0), french, {}};
        if (!DecodeUtf8(text, entry.text)) {
            error("text is not UTF-8");
            continue;
        }
        if (out.strings.count(entry.id)) {
            error("id " + std::to_string(id) + " is defined twice");
            continue;
        }
        out.strings[entry.id] = std::move(entry);
    }
}

// Icons: resources/icons/<id>-<size>.png, square PNG images. Each id becomes a group-icon
// directory (RT_GROUP_ICON: u16 0, u16 1, u16 count, then 14-byte entries: width, height,
// colours, 0, u16 planes, u16 bits, u32 bytes, u16 icon id) with its images, smallest first, as
// icon resources (RT_ICON) holding the PNG bytes. Other files in the folder are not icons.
constexpr unsigned kGroupIcon = 14;
constexpr unsigned kIcon = 3;

unsigned ReadBE32(const std::vector<unsigned char>& d, size_t at) {
    return (unsigned(d[at]) << 24) | (unsigned(d[at + 1]) << 16) | (unsigned(d[at + 2]) << 8) |
           unsigned(d[at + 3]);
}

void Put16(std::vector<unsigned char>& d, unsigned v) {
    d.push_back(static_cast<unsigned char>(v & 0xFF));
    d.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& d, unsigned v) {
    Put16(d, v & 0xFFFF);
    Put16(d, v >> 16);
}

void ReadIcons(const fs::path& folder, Output& out) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    std::map<unsigned, std::map<unsigned, std::vector<unsigned char>>> icons;  // id => size => png
    std::vector<fs::path> files;
    for (auto& entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (auto& path : files) {
        if (path.extension() != ".png") continue;
        auto error = [&](const std::string& message) {
            out.errors.push_back(path.string() + ": " + message);
        };
        std::string stem = path.stem().string();
        size_t dash = stem.find('-');
        unsigned id = 0, size = 0;
        bool ok = dash != std::string::npos && dash > 0 && dash < 6 && dash + 1 < stem.size() &&
                  stem.size() - dash - 1 < 4;
        for (size_t i = 0; ok && i < stem.size(); ++i) {
            if (i == dash) continue;
            if (stem[i] < '0' || stem[i] > '9')
                ok = false;
            else if (i < dash)
                id = id * 10 + unsigned(stem[i] - '0');
            else
                size = size * 10 + unsigned(stem[i] - '0');
        }
        if (!ok || id == 0 || id > 65535 || size == 0 || size > 256) {
            error("expected <id>-<size>.png");
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<unsigned char> png((std::istreambuf_iterator<char>(in)), {});
        static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (png.size() < 33 || std::memcmp(png.data(), signature, 8) != 0 ||
            ReadBE32(png, 12) != 0x49484452 /* IHDR */) {
            error("not a PNG image");
            continue;
        }
        if (ReadBE32(png, 16) != size || ReadBE32(png, 20) != size) {
            error("image is not " + std::to_string(size) + "x" + std::to_string(size));
            continue;
        }
        icons[id][size] = std::move(png);
    }
    unsigned nextImage = 1;
    for (auto& [id, sizes] : icons) {
        if (nextImage + sizes.size() > 65535) {
            out.errors.push_back(folder.string() + ": too many icon images");
            return;
        }
        Binary group{kGroupIcon, id, {}};
        Put16(group.data, 0);
        Put16(group.data, 1);
        Put16(group.data, static_cast<unsigned>(sizes.size()));
        for (auto& [size, png] : sizes) {
            unsigned imageId = nextImage++;
            group.data.push_back(static_cast<unsigned char>(size == 256 ? 0 : size));
            group.data.push_back(static_cast<unsigned char>(size == 256 ? 0 : size));
            group.data.push_back(0);  // colours: a true-colour image
            group.data.push_back(0);
            Put16(group.data, 1);   // planes
            Put16(group.data, 32);  // bits per pixel
            Put32(group.data, static_cast<unsigned>(png.size()));
            Put16(group.data, imageId);
            out.binaries[{kIcon, imageId}] = Binary{kIcon, imageId, png};
        }
        out.binaries[{kGroupIcon, id}] = std::move(group);
    }
}

// The words of a line; a "quoted" word keeps its blanks (\" and \\ escape).
bool SplitWords(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string w;
        if (line[i] == '"') {
            w = "\"";
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '\\' && i < line.size()) {
                    w += line[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    w += c;
                }
            }
            if (!closed) return false;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
        }
        words.push_back(w);
    }
    return true;
}

bool Number(const std::string& w, long long lo, long long hi, long long& out) {
    if (w.empty()) return false;
    char* end = nullptr;
    long long v = std::strtoll(w.c_str(), &end, 0);
    if (*end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// A text word: #<id>, "literal", or nothing (empty).
bool PutText(std::vector<unsigned char>& d, const std::string* word) {
    if (!word) {
        Put16(d, 0);
        return true;
    }
    if (!word->empty() && (*word)[0] == '#') {
        long long id = 0;
        if (!Number(word->substr(1), 1, 65535, id)) return false;
        Put16(d, 0xFFFF);
        Put16(d, static_cast<unsigned>(id));
        return true;
    }
    if (word->empty() || (*word)[0] != '"') return false;
    std::u32string text;
    if (!DecodeUtf8(word->substr(1), text)) return false;
    std::vector<unsigned> units;
    for (char32_t c : text) {
        char16_t pair[2];
        int n = fvt::utf::EncodeUtf16(c, pair);
        for (int k = 0; k < n; ++k) units.push_back(pair[k]);
    }
    if (units.size() >= 0xFFFF) return false;
    Put16(d, static_cast<unsigned>(units.size()));
    for (unsigned u : units) Put16(d, u);
    return true;
}

void PutAscii(std::vector<unsigned char>& d, const std::string& s) {
    Put16(d, static_cast<unsigned>(s.size()));
    for (char c : s) Put16(d, static_cast<unsigned char>(c));
}

constexpr unsigned kDialog = 5;
constexpr unsigned kMenu = 4;

// Reads a file's meaningful lines as words; errors name the file and line.
template <class Handle>
void ReadLines(const fs::path& file, Output& out, Handle handle) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    std::string line;
    int number = 0;
    std::vector<std::string> words;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        auto error = [&](const std::string& message) {
            out.errors.push_back(file.string() + ":" + std::to_string(number) + ": " + message);
        };
        if (!SplitWords(line, words)) {
            error("unclosed quote");
            continue;
        }
        if (words.empty() || words[0][0] == '#') continue;
        handle(words, error);
    }
    handle(std::vector<std::string>{"<end of file>"}, [&](const std::string& message) {
        out.errors.push_back(file.string() + ": " + message);
    });
}

// dialogs.txt:
//   dialog ID STYLE X Y CX CY [caption]      starts a template (style as a number, 0x.. allowed)
//   font POINTS FACE                         its font (default 8 Tahoma)
//   control CLASS ID STYLE X Y CX CY [text]  any control
//   label ID X Y CX CY text                  STATIC 0x50020000
//   check ID X Y CX CY text                  automatic check box 0x50010003
//   checkm ID X Y CX CY text                 the same on several lines 0x50012003
//   spinner ID UPDOWN X Y CX CY              list box 0x50010101 and its up-down 0x50000277
//   end                                      ends the template
// Positions are dialog units. The title control 1091 is written as a control like any other.
void ReadDialogs(const fs::path& file, Output& out) {
    struct Item {
        std::string cls;
        long long id, style, x, y, cx, cy;
        bool hasText;
        std::string text;
    };
    bool open = false;
    long long id = 0, style = 0, x = 0, y = 0, cx = 0, cy = 0, points = 8;
    std::string face = "Tahoma", caption;
    bool hasCaption = false;
    std::vector<Item> items;
    ReadLines(file, out, [&](const std::vector<std::string>& w, auto error) {
        // `count` positions or sizes from word `from` on.
        auto nums = [&](size_t from, size_t count, std::vector<long long>& v) {
            v.clear();
            for (size_t i = from; i < from + count; ++i) {
                long long n = 0;
                if (i >= w.size() || !Number(w[i], -32768, 32767, n)) return false;
                v.push_back(n);
            }
            return true;
        };
        std::vector<long long> v;
        const std::string& verb = w[0];
        if (verb == "<end of file>") {
            if (open) error("template " + std::to_string(id) + " has no end");
            return;
        }
        if (verb == "dialog") {
            if (open) return error("dialog inside a dialog");
            if (w.size() < 7 || !Number(w[1], 1, 65535, id) || !Number(w[2], 0, 0xFFFFFFFFLL, style) ||
                !nums(3, 4, v))
                return error("expected dialog ID STYLE X Y CX CY [caption]");
            x = v[0], y = v[1], cx = v[2], cy = v[3];
            hasCaption = w.size() > 7;
            caption = hasCaption ? w[7] : "";
            points = 8;
            face = "Tahoma";
            items.clear();
            open = true;
            return;
        }
        if (!open) return error("'" + verb + "' outside a dialog");
        auto item = [&](const std::string& cls, long long itemId, long long itemStyle, size_t at,
                        const std::string* text) {
            std::vector<long long> r;
            if (!nums(at, 4, r)) return false;
            items.push_back(Item{cls, itemId, itemStyle, r[0], r[1], r[2], r[3], text != nullptr,
                                 text ? *text : ""});
            return true;
        };
        long long itemId = 0;
        if (verb == "font") {
            if (w.size() != 3 || !Number(w[1], 1, 72, points)) return error("expected font POINTS FACE");
            face = w[2];
        } else if (verb == "control") {
            long long st = 0;
            if (w.size() < 8 || !Number(w[2], 0, 65535, itemId) || !Number(w[3], 0, 0xFFFFFFFFLL, st) ||
                !item(w[1], itemId, st, 4, w.size() > 8 ? &w[8] : nullptr))
                return error("expected control CLASS ID STYLE X Y CX CY [text]");
        } else if (verb == "label" || verb == "check" || verb == "checkm") {
            long long st = verb == "label" ? 0x50020000 : verb == "check" ? 0x50010003 : 0x50012003;
            if (w.size() != 7 || !Number(w[1], 0, 65535, itemId) || !item(verb == "label" ? "STATIC" : "BUTTON", itemId, st, 2, &w[6]))
                return error("expected " + verb + " ID X Y CX CY text");
        } else if (verb == "spinner") {
            long long ud = 0;
            if (w.size() != 7 || !Number(w[1], 0, 65535, itemId) || !Number(w[2], 0, 65535, ud) ||
                !item("LISTBOX", itemId, 0x50010101, 3, nullptr))
                return error("expected spinner ID UPDOWN X Y CX CY");
            items.push_back(Item{"msctls_updown32", ud, 0x50000277, 0, 0, 0, 0, false, ""});
        } else if (verb == "end") {
            Binary b{kDialog, static_cast<unsigned>(id), {}};
            Put32(b.data, 0x474C4446);
            Put32(b.data, 0);
            Put32(b.data, static_cast<unsigned>(style));
            Put32(b.data, 0);
            for (long long n : {x, y, cx, cy}) Put16(b.data, static_cast<unsigned>(n & 0xFFFF));
            Put16(b.data, static_cast<unsigned>(points));
            PutAscii(b.data, face);
            if (!PutText(b.data, hasCaption ? &caption : nullptr)) return error("bad caption");
            Put16(b.data, static_cast<unsigned>(items.size()));
            for (const Item& it : items) {
                Put32(b.data, static_cast<unsigned>(it.style));
                Put32(b.data, 0);
                for (long long n : {it.x, it.y, it.cx, it.cy}) Put16(b.data, static_cast<unsigned>(n & 0xFFFF));
                Put16(b.data, static_cast<unsigned>(it.id));
                PutAscii(b.data, it.cls);
                if (!PutText(b.data, it.hasText ? &it.text : nullptr)) return error("bad text in dialog " + std::to_string(id));
            }
            auto size = static_cast<unsigned>(b.data.size());
            for (int i = 0; i < 4; ++i) b.data[4 + static_cast<size_t>(i)] = static_cast<unsigned char>(size >> (8 * i));
            if (out.binaries.count({kDialog, b.id})) return error("dialog " + std::to_string(id) + " is defined twice");
            out.binaries[{kDialog, b.id}] = std::move(b);
            open = false;
        } else {
            error("unknown line '" + verb + "'");
        }
    });
}

// menus.txt:
//   menu ID                 starts a menu; its top-level items are a bar's buttons
//   item ID text            a command
//   popup ID text ... end   a sub-menu (ID: the bar button's command; 0 inside menus)
//   separator
//   end                     ends the menu
void ReadMenus(const fs::path& file, Output& out) {
    struct Node {
        unsigned flags = 0, id = 0;
        std::string text;
        std::vector<Node> children;
    };
    std::vector<Node> stack;
    unsigned menuId = 0;
    std::function<bool(std::vector<unsigned char>&, const std::vector<Node>&)> write =
        [&](std::vector<unsigned char>& d, const std::vector<Node>& nodes) {
            Put16(d, static_cast<unsigned>(nodes.size()));
            for (const Node& n : nodes) {
                Put16(d, n.flags);
                Put16(d, n.id);
                if (!PutText(d, n.text.empty() ? nullptr : &n.text)) return false;
                if ((n.flags & 0x10) && !write(d, n.children)) return false;
            }
            return true;
        };
    ReadLines(file, out, [&](const std::vector<std::string>& w, auto error) {
        const std::string& verb = w[0];
        long long n = 0;
        if (verb == "<end of file>") {
            if (!stack.empty()) error("menu " + std::to_string(menuId) + " has no end");
            return;
        }
        if (verb == "menu") {
            if (!stack.empty()) return error("menu inside a menu");
            if (w.size() != 2 || !Number(w[1], 1, 65535, n)) return error("expected menu ID");
            menuId = static_cast<unsigned>(n);
            stack.assign(1, Node{});
            return;
        }
        if (stack.empty()) return error("'" + verb + "' outside a menu");
        if (verb == "item" || verb == "popup") {
            if (w.size() != 3 || !Number(w[1], 0, 65535, n)) return error("expected " + verb + " ID text");
            Node node{verb == "popup" ? 0x10u : 0u, static_cast<unsigned>(n), w[2], {}};
            if (verb == "popup")
                stack.push_back(node);
            else
                stack.back().children.push_back(node);
        } else if (verb == "separator") {
            stack.back().children.push_back(Node{0x800, 0, "", {}});
        } else if (verb == "end") {
            Node done = stack.back();
            stack.pop_back();
            if (!stack.empty()) {
                stack.back().children.push_back(done);
                return;
            }
            Binary b{kMenu, menuId, {}};
            if (!write(b.data, done.children)) return error("bad text in menu " + std::to_string(menuId));
            if (out.binaries.count({kMenu, menuId})) return error("menu " + std::to_string(menuId) + " is defined twice");
            out.binaries[{kMenu, menuId}] = std::move(b);
        } else {
            error("unknown line '" + verb + "'");
        }
    });
}

std::string Literal(const std::u32string& text) {
    std::string out = "u\"";
    char buffer[16];
    for (char32_t c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            // Control characters cannot be universal names; three octal digits never run on.
            std::snprintf(buffer, sizeof buffer, "\\%03o", static_cast<unsigned>(c));
            out += buffer;
        } else if (c < 0x10000) {
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            std::snprintf(buffer, sizeof buffer, "\\U%08X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out + "\"";
}

size_t Utf16Length(const std::u32string& text) {
    size_t n = 0;
    for (char32_t c : text) n += c >= 0x10000 ? 2 : 1;
    return n;
}

std::string Generate(const Output& out, const std::string& function) {
    std::ostringstream s;
    s << "// Generated by rescomp from resources/. Do not edit.\n"
         "#include \"platform/resources/resource_table.h\"\n\n"
         "namespace fvt {\n\nnamespace {\n\n";
    s << "const StringResource kStrings[] = {\n";
    for (auto& [id, t] : out.strings) {
        s << "    {" << id << ", " << (t.french ? "true" : "false") << ", " << Literal(t.text)
          << ", " << Utf16Length(t.text) << "},\n";
    }
    s << "    {0, false, nullptr, 0}};\n\n";
    size_t index = 0;
    for (auto& [key, b] : out.binaries) {
        s << "const BYTE kData" << index++ << "[] = {";
        for (size_t i = 0; i < b.data.size(); ++i) {
            s << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(b.data[i]) << ",";
        }
        s << "};\n";
    }
    s << "const BinaryResource kBinaries[] = {\n";
    index = 0;
    for (auto& [key, b] : out.binaries) {
        s << "    {" << b.type << ", " << b.id << ", kData" << index++ << ", " << b.data.size()
          << "},\n";
    }
    s << "    {0, 0, nullptr, 0}};\n\n}  // namespace\n\n";
    s << "const ResourceTable& " << function
      << "() {\n"
         "    static const ResourceTable table = {kStrings, "
      << out.strings.size() << ", kBinaries, " << out.binaries.size()
      << "};\n    return table;\n}\n\n}  // namespace fvt\n";
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: rescomp <resources folder> <output.cpp> [function]\n");
        return 2;
    }
    fs::path folder = argv[1];
    Output out;
    ReadStrings(folder / "strings.en.txt", false, out);
    ReadStrings(folder / "strings.fr.txt", true, out);
    ReadIcons(folder / "icons", out);
    ReadDialogs(folder / "dialogs.txt", out);
    ReadMenus(folder / "menus.txt", out);
    for (auto& e : out.errors) std::fprintf(stderr, "%s\n", e.c_str());
    if (!out.errors.empty()) return 1;
    std::string text = Generate(out, argc == 4 ? argv[3] : "CompiledResources");
    // Rewritten only when it changes, so that an unchanged table rebuilds nothing.
    std::ifstream old(argv[2], std::ios::binary);
    std::string previous((std::istreambuf_iterator<char>(old)), {});
    if (previous == text) return 0;
    fs::path temp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream file(temp, std::ios::binary);
        file << text;
        if (!file.flush()) {
            std::fprintf(stderr, "rescomp: cannot write %s\n", temp.string().c_str());
            return 1;
        }
    }
    std::error_code ec;
    fs::rename(temp, argv[2], ec);
    if (ec) {
        std::fprintf(stderr, "rescomp: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
