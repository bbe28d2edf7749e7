// Writes the seed corpus of the settings fuzz target: global configuration stores built by the
// fixture writer (the default record, a short one, and one with odd key and choice bytes), and
// stores the reader itself saved with settings a person chose (fonts, colours, keys, the last
// book, the library's place).
//   make_reader_seeds FOLDER
#include <cstdio>
#include <string>

#include "bookfiles/configuration_store.h"
#include "core/text.h"
#include "reader/reader_settings.h"
#include "support/bookfiles/pdb_builder.h"

namespace {

Bytes Store(uint32_t size, void (*edit)(uint8_t*)) {
    uint8_t main[ConfigurationStore::kMainSize];
    ConfigurationStore::DefaultMain(main);
    if (edit) edit(main);
    PdbBuilder b;
    b.name = ConfigurationStore::kFileName;
    b.type = "GPAR";
    Bytes rec = ToBytes("GPAR");
    PutU32(rec, size);
    rec.insert(rec.end(), main, main + size);
    b.Add(rec);
    return b.Build();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_reader_seeds FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    WriteFileBytes(folder + "/default.fvt", Store(ConfigurationStore::kMainSize, nullptr));
    WriteFileBytes(folder + "/short.fvt", Store(16, nullptr));
    WriteFileBytes(folder + "/odd.fvt", Store(ConfigurationStore::kMainSize, [](uint8_t* m) {
                       m[259] = 31;
                       m[260] = 40;
                       m[256] = 0x90;
                       m[8] = m[9] = m[10] = m[11] = 0;
                       m[63] = 0;
                   }));
    // As the reader writes them: through its settings and the store's own writer.
    for (int variant = 0; variant < 3; ++variant) {
        ConfigurationStore store;
        if (store.OpenInMemory(nullptr, 0, 0) != 0) return 1;
        ReaderSettings settings;
        settings.SetConfigurationStore(&store);
        if (!settings.Load(false)) return 1;
        if (variant > 0) {
            settings.SetColours(0x102030, 0xC00000, 0xF0F0E0, 0x0000FF, 0x00FFFF);
            Text face;
            face.FromWide(variant == 1 ? u"DejaVu Serif" : u"\\Program Files\\font.prc");
            settings.SetFontFace(face, variant == 2);
            settings.SetMargins(6 * variant, 3 * variant);
            settings.SetFontSize(variant == 1 ? 14 : 7);
            for (int k = 0; k < ReaderSettings::kKeyCount; ++k)
                settings.SetKey(k, variant == 1 ? 1u << k : 0x30000u);
            settings.SetLastBook(String(u"\\storage\\eBooks\\Tide Tables.prc#12"));
            Text list;
            list.FromWide(u"Fiction");
            settings.SetLibraryPosition(6, 3, variant == 1, list);
        }
        if (!settings.Save()) return 1;
        Bytes bytes;
        store.Database()->Serialize(&bytes);
        WriteFileBytes(folder + "/saved" + std::to_string(variant) + ".fvt", bytes);
    }
    return 0;
}
