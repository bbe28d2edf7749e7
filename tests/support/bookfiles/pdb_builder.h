// Builds Palm database files in memory for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct PdbRecord {
    Bytes bytes;
    std::uint8_t attributes = 0;
    std::uint32_t uniqueId = 0;  // 0: numbered from 1 in order
};

struct PdbBuilder {
    std::string name = "Fixture";
    std::string type = "BOOK";
    std::string creator = "FOLV";
    std::uint16_t attributes = 0;
    std::uint32_t uniqueIdSeed = 0;
    std::vector<PdbRecord> records;

    std::uint32_t Add(Bytes bytes);
    Bytes Build() const;
};

// Helpers for building records.
void PutU16(Bytes& b, std::uint32_t v);
void PutU32(Bytes& b, std::uint32_t v);
void SetU32(Bytes& b, std::size_t offset, std::uint32_t v);
void SetU16(Bytes& b, std::size_t offset, std::uint32_t v);
void PutText(Bytes& b, const std::string& s);
Bytes ToBytes(const std::string& s);
// UTF-16 little-endian bytes of an ASCII/UTF-8 text.
Bytes Utf16Le(const std::u16string& s);
// Writes bytes to a file; false on failure.
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// A fresh temporary folder for one test.
std::string MakeTempFolder();
