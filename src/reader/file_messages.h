// Messages that name a file: the device path as the user knows it ("\storage\eBooks\a.prc"),
// whole and unescaped, shortened in the middle only when longer than a message box can show.
#pragma once

#include <cstdint>

#include "core/string.h"

class Location;

namespace FileMessages {

// Longer paths lose their middle: about four lines of a message box on the smallest screen.
constexpr int32_t kPathMax = 120;

// `path` itself when it has at most `max` characters, else its head and tail around "...", the
// tail (the file's name) kept whole where it fits.
String ShortenMiddle(const String& path, int32_t max = kPathMax);

// What the user would call the location: a file's device path, else the address, unescaped.
String DisplayName(const Location& location);

// The text of string `textId` naming `path` (shortened): its "%1" takes the path and "%2" the
// reason on a line of its own (nothing without one); a text without "%1" gets the path on a
// line of its own below it.
String Format(uint32_t textId, const String& path, const String& reason = String());

}  // namespace FileMessages
