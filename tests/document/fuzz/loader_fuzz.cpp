// The document loader over arbitrary files under every name it opens by: books, PalmDOC, table
// databases, generated pages, HTML, text, pictures and sounds. Whatever comes back is read to its
// end through its token source and its data handles; a failure is one of the loader's messages.
// Nothing may crash, and every resource goes from the cache when released.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text.h"
#include "document/markup/token_source.h"
#include "document/sources/document_loader.h"
#include "document/sources/loader_services.h"
#include "paths/app_paths.h"
#include "support/platform/temp_device.h"

namespace {

class Messages : public LoaderMessages {
public:
    void ShowMessage(uint32_t id) override {
        // The book-opening messages and "not enough memory".
        if (!(id == 5032 || id == 5034 || (id >= 5476 && id <= 5479))) __builtin_trap();
    }
};

fvt::test::TempDevice& Device() {
    // Never destroyed, as libFuzzer ends without destructors: the device layer removes its folder.
    static auto* device = new fvt::test::TempDevice();
    return *device;
}

const char* const kNames[] = {"a.prc", "a.pdb", "a.folv", "a.fvg", "a.ebase", "a.htm",
                              "a.html", "a.txt", "a.gif", "a.bmp", "a.ogg"};
constexpr size_t kNameCount = sizeof(kNames) / sizeof(kNames[0]);

void Drain(Resource* r) {
    TokenSource* source = nullptr;
    if (r->CreateLayout(source, nullptr) && source) {
        source->Start(0, false);
        for (uint32_t i = 0; i < 200000; ++i) {
            if (source->NextToken() == kTokenEnd) break;
            if (i % 64 == 0) source->ReleaseBuffers();
        }
        r->DestroyLayout(source, nullptr);
    }
    for (int32_t i = 0; i < 4; ++i) {
        DataHandle* handle = r->OpenDataByIndex(i, nullptr);
        if (!handle) continue;
        uint32_t length = 0, got = 0;
        uint8_t bytes[64];
        if (handle->GetLength(length) && length > 0)
            handle->Read(length > 64 ? length - 64 : 0, bytes, 64, got);
        handle->Release();
    }
}

void OpenAs(const char* name, const uint8_t* data, size_t size) {
    fvt::test::TempDevice& device = Device();
    device.WriteHost(std::string("books/") + name,
                     std::string(reinterpret_cast<const char*>(data), size));
    AppPaths paths{Text(), nullptr};
    Messages messages;
    DocumentLoader loader(7);
    loader.SetOptions(&paths, nullptr, nullptr);
    loader.SetMessages(&messages);
    std::u16string path = u"\\books\\";
    for (const char* c = name; *c; ++c) path.push_back(static_cast<char16_t>(*c));
    Location location;
    if (!location.Resolve(String(path.c_str()), nullptr)) return;
    uint8_t handled = 0;
    Resource* r = loader.Open(location, nullptr, &handled);
    if (r) {
        Drain(r);
        r->Release();
    }
    if (loader.CachedCount() != 0) __builtin_trap();
}

}  // namespace

// The bytes as a book (the seeds are books), then under the name their last byte chooses.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Device().ok() || size < 1) return 0;
    OpenAs("a.prc", data, size);
    const char* other = kNames[1 + data[size - 1] % (kNameCount - 1)];
    OpenAs(other, data, size);
    return 0;
}
