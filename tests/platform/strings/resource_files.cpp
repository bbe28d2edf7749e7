#include "platform/strings/resource_files.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fvt_test {

// String ids named by the program's code.
const std::vector<int> kReferencedStringIds = {
    5002, 5004, 5005, 5008, 5011, 5012, 5013, 5014, 5015, 5017, 5018, 5019, 5020, 5021, 5026, 5028,
    5029, 5032, 5034, 5037, 5038, 5042, 5043, 5044, 5045, 5046, 5048, 5049, 5051, 5052, 5053, 5054,
    5055, 5059, 5060, 5061, 5063, 5064, 5065, 5066, 5067, 5068, 5069, 5070, 5071, 5072, 5073, 5074,
    5075, 5076, 5077, 5078, 5079, 5082, 5083, 5084, 5086, 5087, 5088, 5089, 5090, 5091, 5093, 5094,
    5095, 5096, 5098, 5099, 5100, 5101, 5102, 5103, 5104, 5105, 5108, 5109, 5110, 5111, 5112, 5114,
    5115, 5116, 5117, 5118, 5120, 5121, 5122, 5128, 5135, 5136, 5137, 5139, 5140, 5145, 5146, 5147,
    5148, 5150, 5151, 5152, 5153, 5155, 5156, 5157, 5158, 5159, 5160, 5161, 5162, 5163, 5191, 5193,
    5194, 5196, 5197, 5198, 5199, 5201, 5202, 5204, 5206, 5207, 5208, 5209, 5210, 5211, 5214, 5216,
    5217, 5218, 5221, 5222, 5226, 5227, 5228, 5235, 5236, 5238, 5239, 5240, 5241, 5242, 5243, 5251,
    5258, 5263, 5265, 5266, 5267, 5268, 5269, 5270, 5271, 5272, 5273, 5274, 5276, 5278, 5280, 5281,
    5282, 5283, 5284, 5286, 5288, 5289, 5297, 5299, 5300, 5307, 5308, 5309, 5310, 5311, 5312, 5313,
    5314, 5315, 5316, 5317, 5318, 5319, 5320, 5321, 5322, 5332, 5334, 5335, 5336, 5337, 5338, 5340,
    5341, 5342, 5343, 5345, 5346, 5347, 5350, 5351, 5352, 5354, 5365, 5366, 5367, 5368, 5374, 5375,
    5379, 5381, 5382, 5383, 5386, 5387, 5388, 5390, 5391, 5392, 5393, 5394, 5395, 5396, 5397, 5399,
    5400, 5401, 5402, 5404, 5405, 5408, 5409, 5413, 5416, 5417, 5422, 5424, 5425, 5426, 5427, 5428,
    5429, 5430, 5432, 5433, 5434, 5435, 5436, 5441, 5443, 5445, 5448, 5461, 5462, 5463, 5464, 5465,
    5466, 5467, 5468, 5469, 5470, 5471, 5472, 5473, 5474, 5475, 5476, 5477, 5478, 5479, 5480, 5481,
};

// Icon ids named by the program's code: the program icon, rating stars, library rows, toolbar
// actions, annotation kinds, storages, table arrows, check boxes and radio buttons, list arrows,
// cart pages.
const std::vector<int> kReferencedIconIds = {
    126, 127, 129, 130, 137, 138, 139, 140, 141, 142, 143, 149, 150, 151, 152, 153,
    154, 155, 179, 180, 181, 182, 194, 195, 196, 197, 198, 199, 200, 201, 202, 205,
    208, 212, 213, 222, 223, 226, 227, 228, 229, 233, 234, 235, 236, 237, 238, 239, 240, 242,
};

std::filesystem::path SourceRoot() {
    const char* root = std::getenv("FOLIVANT_TEST_SOURCE");
    return root ? std::filesystem::path(root) : std::filesystem::path();
}

namespace {

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || s.size() - i <= size_t(extra)) {
            return false;
        }
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

bool Unescape(const std::string& raw, std::string& out) {
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (++i == raw.size()) return false;
        switch (raw[i]) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                return false;
        }
    }
    return true;
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

RgbaImage Fail(const std::string& why) {
    RgbaImage image;
    image.problem = why;
    return image;
}

}  // namespace

StringTable ReadStringTable(const std::filesystem::path& file) {
    StringTable table;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        table.problems.push_back("cannot read " + file.string());
        return table;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::string where = file.filename().string() + ":" + std::to_string(lineNumber) + ": ";
        if (!line.empty() && line.back() == '\r') {
            table.problems.push_back(where + "carriage return at the end of the line");
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        std::string idText = line.substr(0, tab);
        if (tab == std::string::npos || idText.empty() || idText.size() > 6 ||
            idText.find_first_not_of("0123456789") != std::string::npos) {
            table.problems.push_back(where + "not an id, a TAB and a text");
            continue;
        }
        int id = std::stoi(idText);
        std::string text;
        if (!Unescape(line.substr(tab + 1), text)) {
            table.problems.push_back(where + "unknown escape");
        } else if (text.empty()) {
            table.problems.push_back(where + "empty text");
        } else if (!IsValidUtf8(text)) {
            table.problems.push_back(where + "text is not UTF-8");
        } else if (!table.texts.emplace(id, text).second) {
            table.problems.push_back(where + "id " + idText + " given twice");
        }
    }
    return table;
}

RgbaImage ReadRgbaPng(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail("cannot read");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) {
        return Fail("no PNG signature");
    }
    RgbaImage image;
    std::vector<uint8_t> compressed;
    bool sawHeader = false, sawEnd = false;
    size_t pos = 8;
    while (!sawEnd) {
        if (bytes.size() - pos < 12) return Fail("truncated chunk");
        uint32_t length = Be32(&bytes[pos]);
        if (length > bytes.size() - pos - 12) return Fail("chunk runs past the end");
        const uint8_t* type = &bytes[pos + 4];
        const uint8_t* data = type + 4;
        uint32_t crc = crc32(0, type, length + 4);
        if (crc != Be32(data + length)) return Fail("bad chunk CRC");
        std::string name(reinterpret_cast<const char*>(type), 4);
        if (name == "IHDR") {
            if (length != 13) return Fail("bad IHDR");
            image.width = Be32(data);
            image.height = Be32(data + 4);
            if (data[8] != 8 || data[9] != 6) return Fail("not 8-bit RGBA");
            if (data[12] != 0) return Fail("interlaced");
            if (image.width == 0 || image.height == 0 || image.width > 256 || image.height > 256) {
                return Fail("unexpected size");
            }
            sawHeader = true;
        } else if (name == "IDAT") {
            compressed.insert(compressed.end(), data, data + length);
        } else if (name == "IEND") {
            sawEnd = true;
        }
        pos += length + 12;
    }
    if (!sawHeader) return Fail("no IHDR");
    size_t stride = size_t(image.width) * 4;
    std::vector<uint8_t> raw((stride + 1) * image.height);
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, compressed.data(), compressed.size()) != Z_OK ||
        rawSize != raw.size()) {
        return Fail("image data does not inflate to the image size");
    }
    image.pixels.resize(stride * image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* src = &raw[y * (stride + 1)];
        uint8_t* row = &image.pixels[y * stride];
        const uint8_t* up = y ? row - stride : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            int a = x >= 4 ? row[x - 4] : 0;
            int b = up ? up[x] : 0;
            int c = (up && x >= 4) ? up[x - 4] : 0;
            int predictor = 0;
            switch (src[0]) {
                case 0:
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4:
                    predictor = Paeth(a, b, c);
                    break;
                default:
                    return Fail("unknown row filter");
            }
            row[x] = uint8_t(src[1 + x] + predictor);
        }
    }
    image.ok = true;
    return image;
}

}  // namespace fvt_test
