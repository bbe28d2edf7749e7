// The fixture book of the audio-page tests (a file of its own: the book builder's byte type and
// the core's byte helpers share a name).
#pragma once

namespace fvt::test {
class TempDevice;

// books/talk.prc: a small picture (record 1) and one wider than a 240 x 320 page (record 2) at
// the start of its text, then two Ogg tracks (records 3 and 4: the mono and stereo tones).
// False when the tones could not be encoded.
bool WriteTalkBook(const TempDevice& device);
}  // namespace fvt::test
