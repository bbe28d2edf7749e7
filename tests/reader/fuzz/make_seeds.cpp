// Writes the seed corpus of the settings fuzz target: global configuration stores built by the
// fixture writer (the default record, a short one, and one with odd key and choice bytes).
//   make_reader_seeds FOLDER
#include <cstdio>
#include <string>

#include "bookfiles/configuration_store.h"
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
    return 0;
}
