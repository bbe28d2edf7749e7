#include "support/bookfiles/pdb_builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::uint32_t PdbBuilder::Add(Bytes bytes) {
    records.push_back(PdbRecord{std::move(bytes), 0, 0});
    return static_cast<std::uint32_t>(records.size() - 1);
}

void PutU16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

void PutU32(Bytes& b, std::uint32_t v) {
    PutU16(b, v >> 16);
    PutU16(b, v & 0xFFFF);
}

void SetU32(Bytes& b, std::size_t offset, std::uint32_t v) {
    if (b.size() < offset + 4) b.resize(offset + 4);
    b[offset] = static_cast<std::uint8_t>(v >> 24);
    b[offset + 1] = static_cast<std::uint8_t>(v >> 16);
    b[offset + 2] = static_cast<std::uint8_t>(v >> 8);
    b[offset + 3] = static_cast<std::uint8_t>(v);
}

void SetU16(Bytes& b, std::size_t offset, std::uint32_t v) {
    if (b.size() < offset + 2) b.resize(offset + 2);
    b[offset] = static_cast<std::uint8_t>(v >> 8);
    b[offset + 1] = static_cast<std::uint8_t>(v);
}

void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Utf16Le(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return b;
}

Bytes PdbBuilder::Build() const {
    Bytes out(78, 0);
    for (std::size_t i = 0; i < name.size() && i < 31; ++i)
        out[i] = static_cast<std::uint8_t>(name[i]);
    SetU16(out, 32, attributes);
    for (int i = 0; i < 4; ++i) {
        out[60 + i] = i < static_cast<int>(type.size()) ? static_cast<std::uint8_t>(type[i]) : ' ';
        out[64 + i] =
            i < static_cast<int>(creator.size()) ? static_cast<std::uint8_t>(creator[i]) : ' ';
    }
    SetU32(out, 68, uniqueIdSeed ? uniqueIdSeed : static_cast<std::uint32_t>(records.size() + 1));
    SetU16(out, 76, static_cast<std::uint32_t>(records.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(78 + 8 * records.size() + 2);
    for (std::size_t i = 0; i < records.size(); ++i) {
        PutU32(out, offset);
        std::uint32_t id =
            records[i].uniqueId ? records[i].uniqueId : static_cast<std::uint32_t>(i + 1);
        out.push_back(records[i].attributes);
        out.push_back(static_cast<std::uint8_t>(id >> 16));
        out.push_back(static_cast<std::uint8_t>(id >> 8));
        out.push_back(static_cast<std::uint8_t>(id));
        offset += static_cast<std::uint32_t>(records[i].bytes.size());
    }
    out.push_back(0);
    out.push_back(0);
    for (const PdbRecord& r : records) out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    return out;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string MakeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fvtbookXXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    char* made = mkdtemp(buffer.data());
    return made ? std::string(made) : std::string();
}
