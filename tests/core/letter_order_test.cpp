// The order of sorted lists: letters as the reader's languages order them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/letter_order.h"

namespace {

Text T(const char* utf8) {
    Text t;
    t.AssignUtf8(utf8);
    return t;
}

std::vector<std::string> Sorted(std::vector<std::string> words) {
    std::stable_sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        return CompareByLetters(T(a.c_str()), T(b.c_str())) < 0;
    });
    return words;
}

TEST(LetterOrder, AccentedCapitalsSortWithTheirPlainLettersNotAfterZ) {
    EXPECT_EQ(Sorted({"Zebra", "\xc3\x89" "clair", "Eagle", "Ewe", "\xc3\x8e" "les", "Ivoire",
                      "\xc3\x91" "and\xc3\xba", "Nube", "\xc3\x9c" "ber", "Uva"}),
              (std::vector<std::string>{"Eagle", "\xc3\x89" "clair", "Ewe", "\xc3\x8e" "les",
                                        "Ivoire", "\xc3\x91" "and\xc3\xba", "Nube",
                                        "\xc3\x9c" "ber", "Uva", "Zebra"}));
}

TEST(LetterOrder, LigaturesSortAsTheirLetters) {
    // Œ as OE, Æ as AE, ß as SS.
    EXPECT_EQ(Sorted({"Ofelia", "\xc5\x92" "uvres", "Oeil", "Adam", "\xc3\x86" "sop", "Afar"}),
              (std::vector<std::string>{"Adam", "\xc3\x86" "sop", "Afar", "Oeil",
                                        "\xc5\x92" "uvres", "Ofelia"}));
    EXPECT_EQ(CompareByLetters(T("Stra\xc3\x9f" "e"), T("Strasse")), 1);  // after, as an accent
    EXPECT_LT(CompareByLetters(T("Stra\xc3\x9f" "e"), T("Strast")), 0);
}

TEST(LetterOrder, TextsEqualButForAccentsOrCaseKeepOneOrder) {
    EXPECT_LT(CompareByLetters(T("cote"), T("c\xc3\xb4t\xc3\xa9")), 0);  // plain letters first
    EXPECT_LT(CompareByLetters(T("rose"), T("Rose")), 0);               // then small ones
    EXPECT_EQ(CompareByLetters(T("Rose"), T("Rose")), 0);
    EXPECT_LT(CompareByLetters(T("Ros"), T("rose")), 0);  // a shorter text first
    EXPECT_GT(CompareByLetters(T(""), T("")), -1);
    EXPECT_LT(CompareByLetters(T(""), T("a")), 0);
}

}  // namespace
