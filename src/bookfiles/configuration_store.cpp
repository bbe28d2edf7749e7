#include "bookfiles/configuration_store.h"

#include <array>
#include <cstring>
#include <vector>

#include "bookfiles/database_file.h"
#include "core/code_pages.h"

namespace {

constexpr std::uint32_t kGpar = FourCC("GPAR");
constexpr std::uint32_t kData = FourCC("DATA");
constexpr std::uint32_t kCate = FourCC("CATE");

std::vector<std::uint8_t> Utf16Le(const char16_t* text, std::uint32_t length) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(length) * 2);
    for (std::uint32_t i = 0; i < length; ++i) {
        b[2 * i] = static_cast<std::uint8_t>(text[i]);
        b[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return b;
}

}  // namespace

void ConfigurationStore::DefaultMain(std::uint8_t out[kMainSize]) {
    std::memset(out, 0, kMainSize);
    auto word = [&](std::uint32_t at, std::uint32_t v) { BigEndian::PutU32(out + at, v); };
    auto colour = [&](std::uint32_t at, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        word(at, r | (g << 8) | (static_cast<std::uint32_t>(b) << 16));
    };
    word(8, 0xFFFFFFFF);  // margins keep their default
    word(12, CodePages::kUtf16);
    colour(16, 255, 255, 255);
    colour(20, 0, 0, 0);
    colour(24, 0, 85, 170);
    out[29] = 1;  // justify
    word(kVersionOffset, kFormatVersion);
    word(56, 0xFFFFFFFF);
    word(60, 1);
    colour(72, 255, 255, 155);
    colour(76, 255, 0, 0);
    word(92, 1);
    word(96, 0x0020284F);
    out[256] = 1;  // lookup choice
    for (std::uint32_t k = 259; k <= 262; ++k) out[k] = 0xFF;
    word(264, 15);
    for (std::uint32_t k = 284; k <= 291; ++k) out[k] = 0xFF;
    word(312, 1);
}

int ConfigurationStore::OpenDefault(const char* path, bool create) {
    return Open(path, false, create);
}

bool ConfigurationStore::InitialiseNew() {
    std::uint8_t main[kMainSize];
    DefaultMain(main);
    return WriteRecord(kGpar, main, kMainSize, 0) == 0;
}

bool ConfigurationStore::FieldsInRange() const {
    ByteSpan d;
    if (!GetData(0, &d)) return false;
    // Fields beyond a short record read as their defaults, which are in range.
    auto word = [&](std::uint32_t at, auto inRange) {
        return !d.Holds(at, 4) || inRange(d.U32At(at));
    };
    auto byte = [&](std::uint32_t at, auto inRange) {
        return !d.Holds(at, 1) || inRange(d.data[at]);
    };
    auto flag = [](std::uint32_t v) { return v <= 1; };
    auto lowByte = [](std::uint32_t v) { return v <= 0xFF; };
    auto colour = [](std::uint32_t v) { return (v >> 24) == 0 || v == 0xFF000000u; };
    auto margin = [](std::uint32_t v) { return v <= 0xFFFF || v == 0xFFFFFFFFu; };
    // The run marker is 0 or 1: anything else would keep the last book shut with no word.
    if (!word(300, flag)) return false;
    for (std::uint32_t at : {16u, 20u, 24u, 72u, 76u})
        if (!word(at, colour)) return false;
    for (std::uint32_t at : {0u, 4u, 268u, 272u, 308u, 312u})
        if (!word(at, lowByte)) return false;
    if (!word(8, margin) || !word(56, margin)) return false;
    if (!word(80, [](std::uint32_t v) { return v <= 3; })) return false;  // orientation
    // File types: the library's mask, read as its low byte.
    if (!word(264, lowByte)) return false;
    // The library's view kind is one of its eight.
    if (!word(296, [](std::uint32_t v) { return (v >> 16) <= 7; })) return false;
    for (std::uint32_t at : {28u, 29u, 30u, 31u, 68u, 69u, 257u, 258u})
        if (!byte(at, flag)) return false;
    // Texts: a reference to nothing, a half unit or a control character is damage (the last
    // book would silently give way to the library).
    for (std::uint32_t at : {32u, 36u, 52u, 64u, 100u, 252u}) {
        if (!d.Holds(at, 4) || d.U32At(at) == kNoRef) continue;
        ByteSpan text;
        if (!ReadSubRecord(0, at, kData, &text) || text.size % 2 != 0) return false;
        if (at == 64) continue;  // a path as bytes, whatever they hold
        for (std::uint32_t i = 0; i < text.size; i += 2)
            if ((text.data[i] | text.data[i + 1] << 8) < 0x20) return false;
    }
    return true;
}

int ConfigurationStore::Validate() {
    ByteSpan d;
    if (TagOf(0) != kGpar || !GetData(0, &d) || d.size < 4) return 10;
    std::uint32_t version = d.U32At(kVersionOffset, 0);
    if (version > kFormatVersion) return 13;
    if (!FieldsInRange()) return 10;
    if ((d.size < kMainSize || version < kFormatVersion) && !readOnly_) {
        // An older store: keep what it holds and give the newer fields their defaults.
        std::uint8_t main[kMainSize];
        DefaultMain(main);
        std::uint32_t keep = d.size < kMainSize ? d.size : kMainSize;
        std::memcpy(main, d.data, keep);
        BigEndian::PutU32(main + kVersionOffset, kFormatVersion);
        std::vector<std::uint8_t> grown(main, main + kMainSize);
        if (d.size > kMainSize) grown.insert(grown.end(), d.data + kMainSize, d.data + d.size);
        if (!ReplaceData(0, grown.data(), static_cast<std::uint32_t>(grown.size()))) return 10;
    }
    return 0;
}

std::uint8_t ConfigurationStore::MainByte(std::uint32_t offset) const {
    // What an upgrade would hold: the stored bytes, then the defaults of the newer fields. A
    // read-only open of an older store is not upgraded, so its reads fill in the same way.
    static const std::array<std::uint8_t, kMainSize> defaults = [] {
        std::array<std::uint8_t, kMainSize> main{};
        DefaultMain(main.data());
        return main;
    }();
    ByteSpan d;
    if (GetData(0, &d) && d.Holds(offset, 1)) return d.data[offset];
    return offset < kMainSize ? defaults[offset] : 0;
}

std::uint32_t ConfigurationStore::GetWord(std::uint32_t offset) const {
    ByteSpan d;
    if (GetData(0, &d) && d.Holds(offset, 4)) return d.U32At(offset);
    if (offset > 0xFFFFFFFFu - 4) return 0;
    std::uint32_t word = 0;
    for (std::uint32_t i = 0; i < 4; ++i) word = word << 8 | MainByte(offset + i);
    return word;
}

std::uint8_t ConfigurationStore::GetByte(std::uint32_t offset) const {
    return MainByte(offset);
}

int ConfigurationStore::SetWord(std::uint32_t offset, std::uint32_t value) {
    return offset + 4 <= kMainSize && WriteU32(0, offset, value) ? 0 : 1;
}

int ConfigurationStore::SetByte(std::uint32_t offset, std::uint8_t value) {
    ByteSpan d;
    if (offset >= kMainSize || !GetData(0, &d) || IsReadOnly()) return 1;
    std::uint32_t word = offset & ~3u;
    std::uint32_t v = GetWord(word);
    int shift = static_cast<int>(8 * (3 - (offset & 3)));
    v = (v & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(value) << shift);
    return SetWord(word, v);
}

const char16_t* ConfigurationStore::GetText(std::uint32_t offset, std::uint32_t* length) const {
    return ReadSubText(0, offset, kData, length);
}

int ConfigurationStore::SetText(std::uint32_t offset, const char16_t* text, std::uint32_t length) {
    if (offset + 4 > kMainSize || (length && !text)) return 1;
    std::vector<std::uint8_t> b = Utf16Le(text, length);
    return WriteSubRecord(0, offset, kData, b.data(), length * 2) ? 0 : 1;
}

const std::uint8_t* ConfigurationStore::GetBlob64(std::uint32_t* byteLength) const {
    *byteLength = 0;
    ByteSpan d;
    if (!ReadSubRecord(0, 64, kData, &d) || d.size == 0) return nullptr;
    *byteLength = d.size;
    return d.data;
}

int ConfigurationStore::SetBlob64(const void* bytes, std::uint32_t byteLength) {
    if (!bytes) byteLength = 0;
    return WriteSubRecord(0, 64, kData, bytes, byteLength) ? 0 : 1;
}

int ConfigurationStore::GetText252(std::u16string* out) const {
    std::uint32_t n = 0;
    const char16_t* t = GetText(252, &n);
    if (t && n) {
        out->assign(t, n);
    } else {
        out->assign(kDefaultBookLocation);
    }
    return 0;
}

int ConfigurationStore::WriteRunMarker(std::uint32_t value) {
    if (!IsOpen() || IsReadOnly()) return 1;
    if (dirty_ || GetPath().empty()) return SetRunMarker(value) == 0 ? Flush() : 1;
    if (GetRunMarker() == value) return 0;
    std::vector<std::uint8_t> before, after;
    const bool known = db_->Serialize(&before);
    if (SetRunMarker(value) != 0) return 1;
    if (known && db_->Serialize(&after) &&
        // Not flushed to the medium: a start waits for no disk. A killed reader's marker is in
        // the system's cache all the same; only a power cut can lose it, and then the next
        // start takes the run before as ended in order, or as not ended.
        DatabaseFile::PatchInPlace(GetPath().c_str(), before, after, false)) {
        dirty_ = false;
        return 0;
    }
    return Flush();
}

std::int32_t ConfigurationStore::FindCategoryRecord(const char16_t* name,
                                                    std::uint32_t length) const {
    for (std::int32_t i = FirstCategory(); i >= 0; i = NextCategory(i)) {
        std::uint32_t n = 0;
        const char16_t* t = ReadCategory(i, &n);
        if (n == length && (n == 0 || std::memcmp(t, name, n * 2) == 0)) return i;
    }
    return -1;
}

std::int32_t ConfigurationStore::AddCategoryRecord(const char16_t* name, std::uint32_t length) {
    if (length && !name) return -1;
    std::vector<std::uint8_t> b = Utf16Le(name, length);
    return WriteRecord(kCate, b.data(), length * 2);
}

int ConfigurationStore::RenameCategoryRecord(std::int32_t index, const char16_t* name,
                                             std::uint32_t length) {
    if (index < 0 || TagOf(static_cast<std::uint32_t>(index)) != kCate || (length && !name))
        return 1;
    std::vector<std::uint8_t> b = Utf16Le(name, length);
    return ReplaceData(static_cast<std::uint32_t>(index), b.data(), length * 2) ? 0 : 1;
}

std::uint32_t ConfigurationStore::CategoryCount() const {
    std::uint32_t n = 0;
    for (std::int32_t i = FirstCategory(); i >= 0; i = NextCategory(i)) ++n;
    return n;
}
