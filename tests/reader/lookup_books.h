// Fixture dictionary books for the reader's look-up tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fvt::test {

// A dictionary of (word, definition) pairs for a language pair: each entry's text is its
// definition in the book (tag 8; tag 1 where it starts), and "mice" is an inflected form of "mouse" when it is listed.
// The file's bytes.
std::string DictionaryBook(const std::vector<std::pair<std::u16string, std::string>>& words,
                           std::uint32_t input, std::uint32_t output, bool entryText = true);

}  // namespace fvt::test
