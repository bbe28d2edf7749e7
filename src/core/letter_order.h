// The order of texts a person reads a sorted list in: letters compared as the reader's languages
// (English, French) order them, an accented letter with its plain one (É with E), a ligature as
// its letters (Œ as OE, Æ as AE, ß as SS), without regard to case. Texts that differ only there
// are told apart after: the plain letter first, then the small one.
#pragma once

#include "core/text.h"

#include <string>

// Negative, 0 or positive, as `a` sorts before, with or after `b`.
int CompareByLetters(const Text& a, const Text& b);

// The text folded once for sorting many: two texts' keys, compared as strings of code points,
// are in the order CompareByLetters gives the texts.
std::u32string LetterOrderKey(const Text& t);
