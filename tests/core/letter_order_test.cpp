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

// A list sorts by keys folded once per text: every pair of texts must come out of the keys in
// the order the texts compare in, over accents, ligatures, case, a text that starts another,
// the empty text, characters past the basic plane and a U+0000.
TEST(LetterOrder, FoldedKeysOrderTextsAsTheirComparison) {
    const std::vector<std::string> texts = {
        "", "a", "A", "Rose", "rose", "Ros", "ROSE", "rose ", "cote", "c\xc3\xb4t\xc3\xa9",
        "C\xc3\xb4te", "Stra\xc3\x9f" "e", "Strasse", "Strast", "\xc5\x92" "uvres", "Oeuvres",
        "oe", "\xc3\x86" "sop", "Aesop", "\xc3\x89" "clair", "Eclair", "eclair", "Zebra",
        "\xf0\x9d\x90\x80" "x", "\xef\xbc\xa1", "\xe4\xb8\x80", std::string("a\0b", 3)};
    auto sign = [](int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; };
    for (const std::string& a : texts) {
        Text ta;
        ta.AssignUtf8(a.data(), a.size());
        const std::u32string ka = LetterOrderKey(ta);
        for (const std::string& b : texts) {
            Text tb;
            tb.AssignUtf8(b.data(), b.size());
            EXPECT_EQ(sign(ka.compare(LetterOrderKey(tb))), sign(CompareByLetters(ta, tb)))
                << "\"" << a << "\" against \"" << b << "\"";
        }
    }
}

}  // namespace
