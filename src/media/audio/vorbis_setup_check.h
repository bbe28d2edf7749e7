// A look at a Vorbis stream's set-up header before the decoder plays it. Tremor opens a stream
// whose codebooks are malformed (no dimension, or codeword lengths that do not make a whole
// prefix code) without complaint, keeps such a book empty and then divides by its dimension
// while decoding, which stops the program; such a stream is refused here instead.
#pragma once

#include <cstdint>
#include <vector>

#include "media/audio/audio_source.h"

// The checksum of an Ogg page of size bytes (its own checksum field read as zero).
std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size);

// False when a Vorbis set-up packet among the header pages of the link that starts at or just
// after offset (in any of its logical streams) holds a codebook VorbisCodebooksAreSafe refuses.
// The read is bounded; what cannot be read is left to the decoder (true).
bool VorbisLinkHeadersAreSafe(AudioData* data, std::uint64_t offset);

// False when the set-up packet holds a codebook of dimension 0, or one whose codeword lengths
// over- or under-fill the code (a book of a single entry excepted). A packet this check cannot
// follow to its end is left to the decoder's own judgement (true).
bool VorbisCodebooksAreSafe(const std::vector<std::uint8_t>& packet);
