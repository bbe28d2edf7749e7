// A small book database for query tests, kept apart from the database headers (whose byte
// streams and the fixture writers both name "Bytes").
#pragma once

#include <cstdint>
#include <vector>

// A Palm database whose one index table "words" holds apple, bank and banker with tag 1 =
// 100, 200, 300; its header record goes to table.
std::vector<std::uint8_t> WordBookBytes(std::uint32_t* table);
