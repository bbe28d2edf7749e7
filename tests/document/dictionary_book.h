// A small dictionary book for the loader's list and history tests, built where the fixture
// writers' names do not meet the database headers'.
#pragma once

#include <cstdint>
#include <string>

// Table 0 (also the default) "words": apple (tag 1 = 10), bank (tag 1 = 20, tag 5 -> its headword "Bank
// (money)" in the naming table), cat (tag 22 -> apple). Full name "Little Dictionary", an
// object target "cover" of record 1. The table's record number goes to `words`.
std::string DictionaryBookBytes(std::uint32_t* words = nullptr);
