// folivant_samples DEVICE_ROOT SAMPLES_FOLDER: fills a sample device for tools/run, once. Makes the
// program folder and, in the books folder, a book with metadata, a cover and pictures, a book of
// pictures, a PalmDOC book, two HTML pages (one with a form, one with a picture in a folder beside
// it) and a plain-text file from the texts in resources/samples, two small dictionaries of the
// story's words (English, and English to French) and a short audio book of two tones. Files already there are left alone, so a user's
// changes survive the next run; a sample made once is not made again (its name is kept in the
// program folder), so a book the user deleted stays deleted.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "core/file.h"
#include "core/text.h"
#include "platform/kernel/device.h"
#include "platform/storage/files.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/media/image/picture_fixtures.h"
#include "support/media/sound_fixtures.h"

namespace fs = std::filesystem;

namespace {
bool ReadText(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The samples made on an earlier run, one name a line: the user may have deleted them since.
std::set<std::string> made;

std::set<std::string> ReadMade(const fs::path& record) {
    std::set<std::string> names;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.insert(line);
    return names;
}

bool WriteMade(const fs::path& record) {
    const fs::path temp = record.string() + ".part";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const std::string& name : made) out << name << '\n';
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(temp, record, error);
    return !error;
}

// Through the device, so the books land where the program looks for them. Written to a
// temporary name and renamed, so an interrupted run leaves no half file.
bool WriteOnce(const Text& folder, const char* name, const std::vector<std::uint8_t>& bytes) {
    Text path(folder), temp;
    if (!path.AppendAscii("\\") || !path.AppendAscii(name)) return false;
    if (made.count(name)) return true;
    made.insert(name);
    if (Files::Exists(path)) return true;
    if (!temp.Assign(path) || !temp.AppendAscii(".part")) return false;
    {
        File file;
        if (!file.Open(temp, File::kCreateForWriting)) return false;
        if (file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size())
            return false;
    }
    String from, to;
    if (!temp.ToWide(from) || !path.ToWide(to)) return false;
    std::u16string a(from.Data(), static_cast<size_t>(from.Length()));
    std::u16string b(to.Data(), static_cast<size_t>(to.Length()));
    return MoveFileW(a.c_str(), b.c_str()) != FALSE;
}


// A picture of horizontal bands in the given colours.
std::vector<std::uint8_t> Picture(std::uint32_t w, std::uint32_t h,
                                  const std::vector<std::uint32_t>& bands) {
    std::vector<std::uint8_t> pixels;
    pixels.reserve(static_cast<size_t>(w) * h * 3);
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint32_t c = bands[y * bands.size() / h];
        for (std::uint32_t x = 0; x < w; ++x) {
            pixels.push_back(static_cast<std::uint8_t>(c >> 16));
            pixels.push_back(static_cast<std::uint8_t>(c >> 8));
            pixels.push_back(static_cast<std::uint8_t>(c));
        }
    }
    return fvt::test::WriteJpeg(w, h, 3, pixels, 85);
}

std::vector<std::uint8_t> LighthouseBook(const std::string& html) {
    BookBuilder book;
    book.text = ToBytes(html);
    book.compression = 2;
    book.fullName = "The Lighthouse Keeper";
    book.databaseName = "The Lighthouse Keeper";
    // Record 0: the cover (night sky over the sea); 1: a picture of the lamp room.
    book.resources.push_back(Picture(160, 240, {0x101838, 0x203060, 0xF0E080, 0x203060, 0x0A3050}));
    book.resources.push_back(Picture(120, 80, {0xE8E0C8, 0xC09040, 0x604020}));
    auto u32 = [](std::uint32_t v) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(v >> 24),
                                         static_cast<std::uint8_t>(v >> 16),
                                         static_cast<std::uint8_t>(v >> 8),
                                         static_cast<std::uint8_t>(v)};
    };
    book.exth = {{Exth::kAuthor, ToBytes("The Folivant developers")},
                 {Exth::kText101, ToBytes("Folivant samples")},
                 {Exth::kCoverOffset, u32(0)}};
    return book.Build();
}

// Record 1: the cover; 2: the bay at low tide, wider than a page (shown reduced, opens full
// screen when tapped); 3: a small curlew beside the text.
std::vector<std::uint8_t> ShoreBook(const std::string& html) {
    BookBuilder book;
    book.text = ToBytes(html);
    book.compression = 2;
    book.fullName = "Birds of the Shore";
    book.databaseName = "Birds of the Shore";
    book.resources.push_back(Picture(160, 240, {0x90B8D8, 0xC8D8E8, 0x6080A0, 0xB09870}));
    book.resources.push_back(
        Picture(640, 200, {0xA8C8E0, 0xD0E0F0, 0x5878A0, 0x8C7858, 0x6C5C44}));
    book.resources.push_back(Picture(48, 48, {0xE8E0D0, 0x806040, 0xE8E0D0}));
    book.exth = {{Exth::kAuthor, ToBytes("The Folivant developers")},
                 {Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    return book.Build();
}

// An open book (two pages of grey lines either side of the spine), for the HTML page that
// names it by SRC from a folder beside it.
std::vector<std::uint8_t> OpenBookPicture() {
    fvt::test::BmpSpec bmp;
    bmp.width = 96;
    bmp.height = 48;
    bmp.palette = {{0xFF, 0xFF, 0xFF}, {0xF4, 0xEC, 0xD8}, {0x60, 0x58, 0x50}, {0x8C, 0x50, 0x28}};
    for (int y = 0; y < bmp.height; ++y) {
        for (int x = 0; x < bmp.width; ++x) {
            std::uint8_t c = 0;
            if (y >= 4 && y < 44 && x >= 4 && x < 92) {
                bool spine = x >= 46 && x < 50;
                bool line = (y - 10) % 6 == 0 && y < 40 && ((x >= 10 && x < 42) || (x >= 54 && x < 86));
                c = spine ? 3 : (line ? 2 : 1);
            }
            bmp.pixels.push_back(c);
        }
    }
    return fvt::test::WriteBmp(bmp);
}

// Bell-like tone: a pitch and its octave, fading out.
std::vector<std::int16_t> Bell(double hz, double seconds) {
    const std::uint32_t rate = 22050;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double fade = 1.0 - t / seconds;
        const double v = std::sin(2 * M_PI * hz * t) + 0.4 * std::sin(4 * M_PI * hz * t);
        samples[i] = static_cast<std::int16_t>(9000 * fade * v);
    }
    return samples;
}

// Two tracks (Ogg Vorbis records 2 and 3, encoded with oggenc) behind a link of its first page;
// record 1 is its cover. Empty when the tones cannot be encoded.
std::vector<std::uint8_t> BellsBook(const std::string& html) {
    fixtures::TempFolder folder;
    std::vector<std::uint8_t> low, high;
    std::string why;
    if (!fixtures::EncodeVorbis(folder.File("low.ogg"), 22050, 1, Bell(440, 4), &why) ||
        !fixtures::EncodeVorbis(folder.File("high.ogg"), 22050, 1, Bell(660, 4), &why) ||
        !fixtures::ReadFileBytes(folder.File("low.ogg"), &low) ||
        !fixtures::ReadFileBytes(folder.File("high.ogg"), &high)) {
        std::fprintf(stderr, "folivant_samples: no audio book: %s\n", why.c_str());
        return {};
    }
    BookBuilder book;
    book.text = ToBytes(html);
    book.compression = 2;
    book.fullName = "Two Bells";
    book.databaseName = "Two Bells";
    book.resources.push_back(Picture(160, 240, {0x283848, 0xC8A040, 0x283848}));
    book.resources.push_back(low);
    book.resources.push_back(high);
    book.exth = {{Exth::kAuthor, ToBytes("The Folivant developers")},
                 {Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    return book.Build();
}

std::vector<std::uint8_t> GardenBook(const std::string& text) {
    BookBuilder book;
    book.palmDoc = true;
    book.compression = 2;
    book.databaseName = "A Small Garden";
    book.text = ToBytes(text);
    return book.Build();
}
// Dictionaries of words of the sample story (English, and English to French).
std::vector<std::uint8_t> EnglishGlossary() {
    return DictionaryBook(DictionarySpec{
        "Lighthouse Glossary", 9, 9,
        {{u"lamp", "A device that gives light, here the great light at the top of the tower."},
         {u"lens", "A shaped piece of glass that gathers the lamp's light into a beam."},
         {u"step", "One stair of a flight; the lighthouse has a hundred and twelve."},
         {u"wick", "The cord of an oil lamp that draws up the fuel and carries the flame."},
         {u"reef", "A ridge of rock or sand just below the surface of the sea."},
         {u"harbour", "A sheltered stretch of water where boats may lie safely."},
         {u"beam", "A ray of light sent out in one direction."},
         {u"tiller", "The bar by which a small boat is steered."},
         {u"evening", "The close of the day, from sunset to nightfall."},
         {u"keeper", "One who tends a lighthouse and keeps its light burning."}},
        {{u"steps", u"step"}, {u"lamps", u"lamp"}, {u"beams", u"beam"}}});
}

std::vector<std::uint8_t> FrenchGlossary() {
    return DictionaryBook(DictionarySpec{
        "Glossaire anglais-francais", 9, 12,
        {{u"lamp", "lampe (n. f.) : appareil qui donne de la lumi&egrave;re."},
         {u"lens", "lentille (n. f.) : verre taill&eacute; qui concentre la lumi&egrave;re."},
         {u"beam", "faisceau (n. m.) : rayon de lumi&egrave;re."},
         {u"keeper", "gardien (n. m.) : celui qui veille sur le phare."},
         {u"harbour", "port (n. m.) : abri pour les bateaux."}},
        {{u"lamps", u"lamp"}, {u"beams", u"beam"}}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: folivant_samples DEVICE_ROOT SAMPLES_FOLDER\n");
        return 2;
    }
    const fs::path samples = argv[2];
    Text books, program;
    if (!fvt::OpenDevice(argv[1], {}, true) || !program.AssignAscii("\\Program Files\\Folivant") ||
        !Folders::Ensure(program) || !Folders::Books(books)) {
        std::fprintf(stderr, "folivant_samples: cannot prepare the device at %s\n", argv[1]);
        return 1;
    }
    // Beside the device's program folder, as the host sees it.
    const fs::path record = fs::path(argv[1]) / "Program Files" / "Folivant" / "samples made.txt";
    made = ReadMade(record);
    std::string lighthouse, garden, reading, walk, shore, log, bells;
    if (!ReadText(samples / "lighthouse.html", lighthouse) ||
        !ReadText(samples / "garden.txt", garden) || !ReadText(samples / "reading.html", reading) ||
        !ReadText(samples / "walk.txt", walk) || !ReadText(samples / "shore.html", shore) ||
        !ReadText(samples / "reading-log.html", log) || !ReadText(samples / "bells.html", bells)) {
        std::fprintf(stderr, "folivant_samples: sample texts missing in %s\n", samples.c_str());
        return 1;
    }
    const bool ok = WriteOnce(books, "The Lighthouse Keeper.prc", LighthouseBook(lighthouse)) &&
                    WriteOnce(books, "A Small Garden.pdb", GardenBook(garden)) &&
                    WriteOnce(books, "Notes on Reading.html", ToBytes(reading)) &&
                    WriteOnce(books, "An Evening Walk.txt", ToBytes(walk)) &&
                    WriteOnce(books, "Birds of the Shore.prc", ShoreBook(shore)) &&
                    WriteOnce(books, "A Reading Log.html", ToBytes(log)) &&
                    WriteOnce(books, "Lighthouse Glossary.prc", EnglishGlossary()) &&
                    WriteOnce(books, "Glossaire anglais-francais.prc", FrenchGlossary());
    Text pictures(books);
    const bool pictured = pictures.AppendAscii("\\pictures") && Folders::Ensure(pictures) &&
                          WriteOnce(pictures, "open-book.bmp", OpenBookPicture());
    // Without oggenc the other samples still come.
    Text bellsPath(books);
    if (bellsPath.AppendAscii("\\Two Bells.prc") && !made.count("Two Bells.prc") &&
        !Files::Exists(bellsPath)) {
        const std::vector<std::uint8_t> bellsBook = BellsBook(bells);
        if (!bellsBook.empty()) WriteOnce(books, "Two Bells.prc", bellsBook);
    }
    if (!ok || !pictured || !WriteMade(record)) {
        std::fprintf(stderr, "folivant_samples: cannot write the sample books\n");
        return 1;
    }
    return 0;
}
