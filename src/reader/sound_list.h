// The sound playlist of a reader window and the audio view's saved state. A playlist is text of
// the form url|title;url|title whose URLs are resolved against the book; the player asks it for
// track titles and opens tracks through it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/byte_stream.h"
#include "core/string.h"
#include "media/audio/audio_player.h"

class Location;
class Text;

// Opens one track by its absolute URL (the document loader's side, made by the controller that
// owns the loader). Called on the GUI thread only.
class SoundTrackOpener {
public:
    // A new reference to an audio source for the URL, or null when it cannot be opened or is
    // not Ogg audio.
    virtual AudioSource* OpenSoundTrack(const String& url) = 0;

protected:
    ~SoundTrackOpener() = default;
};

class SoundList : public TrackList {
public:
    struct Item {
        String title;
        String url;  // absolute, with its anchor
    };

    void SetOpener(SoundTrackOpener* opener) { opener_ = opener; }
    // Clears the list and reads the text. An empty text gives an empty list and true. An entry
    // whose URL cannot be resolved stops the parse with false; the entries before it stay.
    bool Parse(const String& text, const Location& base);
    void Clear();
    const String& Text() const { return text_; }
    const Item* At(uint32_t index) const { return index < items_.size() ? &items_[index] : nullptr; }

    // TrackList.
    uint32_t Count() override { return static_cast<uint32_t>(items_.size()); }
    void GetTitle(uint32_t index, String& title) override;
    AudioSource** OpenTrack(AudioSource** source, uint32_t index) override;

private:
    std::vector<Item> items_;
    String text_;
    SoundTrackOpener* opener_ = nullptr;
};

// The second of the track at which a seek to part/whole of its length lands; false (no seek)
// when whole is 0 or the length is not known.
bool SoundSeekSeconds(uint32_t length, uint32_t part, uint32_t whole, uint32_t& seconds);

// The audio view's saved record: "AVSM", version 1, the playlist text as UTF-8 with its byte
// length, padded with zero bytes to a multiple of 4. Big-endian words.
namespace AudioViewState {
constexpr uint32_t kTag = 0x4156534D;  // "AVSM"
constexpr uint32_t kVersion = 1;
bool Write(ByteStream& s, const String& playlist);
// False, with nothing read and the text untouched, for a short record, another tag or
// version, or text that runs past the record.
bool Read(ByteStream& s, String& playlist);
}  // namespace AudioViewState

class ReaderController;

// The time line of the audio view: position and length as "mm:ss | mm:ss" ("N/A" for an
// unknown time).
bool FormatTimeLine(Text& out, uint32_t length, uint32_t position);

// The window's playlist on its player. PlaySoundList parses the text against the base, hands
// the list to the player and plays track 0 (paused or not); false when the parse or the play
// failed. StopSound stops the player and empties the list.
bool PlaySoundList(ReaderController& controller, SoundList& list, const String& text,
                   const Location& base, bool paused);
void StopSound(ReaderController& controller, SoundList& list);
