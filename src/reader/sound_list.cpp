#include "reader/sound_list.h"

#include <algorithm>

#include "core/charset.h"
#include "document/location/location.h"
#include "reader/position_formatter.h"
#include "reader/reader_controller.h"

void SoundList::Clear() {
    items_.clear();
    text_.SetEmpty();
}

bool SoundList::Parse(const String& text, const Location& base) {
    Clear();
    text_ = text;
    const int32_t n = text.Length();
    int32_t p = 0;
    while (p < n) {
        int32_t end = p;
        while (end < n && text.At(end) != u';') ++end;
        int32_t bar = p;
        while (bar < end && text.At(bar) != u'|') ++bar;
        Item item;
        String relative;
        relative.AssignSub(text, p, bar - p);
        if (bar < end) item.title.AssignSub(text, bar + 1, end - bar - 1);
        Location resolved;
        if (!resolved.ResolveAgainst(relative, base) || !resolved.ToStringWithAnchor(item.url))
            return false;
        items_.push_back(std::move(item));
        p = end + 1;
    }
    return true;
}

void SoundList::GetTitle(uint32_t index, String& title) {
    if (index < items_.size())
        title = items_[index].title;
    else
        title.SetEmpty();
}

AudioSource** SoundList::OpenTrack(AudioSource** source, uint32_t index) {
    *source = nullptr;
    if (index < items_.size() && opener_) *source = opener_->OpenSoundTrack(items_[index].url);
    return source;
}

bool SoundSeekSeconds(uint32_t length, uint32_t part, uint32_t whole, uint32_t& seconds) {
    if (whole == 0 || length == AudioPlayer::kUnknownLength) return false;
    // Large lengths divide first so that length × part cannot wrap.
    if (length >= 0x100001)
        seconds = static_cast<uint32_t>(uint64_t{length / whole} * part);
    else
        seconds = static_cast<uint32_t>(uint64_t{length} * part / whole);
    return true;
}

namespace AudioViewState {

bool Write(ByteStream& s, const String& playlist) {
    const size_t units = static_cast<size_t>(playlist.Length());
    std::vector<uint8_t> utf8(units * 3 + 1);
    const int32_t n = Utf8::EncodeFromUtf16(playlist.Data(), units, utf8.data(), utf8.size());
    if (n < 0) return false;
    const uint32_t head[3] = {kTag, kVersion, static_cast<uint32_t>(n)};
    return s.WriteWords32BE(head, 3) && s.WriteBytes(utf8.data(), static_cast<size_t>(n)) &&
           s.PadToAlignment(4);
}

bool Read(ByteStream& s, String& playlist) {
    const uint32_t start = s.ReadPosition();
    if (s.Remaining() < 12) return false;
    uint32_t head[3] = {};
    s.ReadWords32BE(head, 3);
    const uint32_t n = head[2];
    if (head[0] != kTag || head[1] != kVersion || n > s.Remaining()) {
        s.SetReadPosition(start);
        return false;
    }
    std::vector<uint8_t> utf8(n);
    std::vector<char16_t> units(Utf8::MaxUtf16Units(n) + 1);
    int32_t count = 0;
    if (!s.ReadBytes(utf8.data(), n) ||
        (count = Utf8::DecodeToUtf16(utf8.data(), n, units.data(), units.size())) < 0) {
        s.SetReadPosition(start);
        return false;
    }
    // A record at the very end of a stream may lack its padding.
    s.Skip(std::min<uint32_t>((4 - (n & 3)) & 3, s.Remaining()));
    playlist.AssignChars(units.data(), count);
    return true;
}

}  // namespace AudioViewState

bool FormatTimeLine(Text& out, uint32_t length, uint32_t position) {
    return TimeFormatter::Instance().Format(out, length, position);
}

bool PlaySoundList(ReaderController& controller, SoundList& list, const String& text,
                   const Location& base, bool paused) {
    const bool parsed = list.Parse(text, base);
    controller.SetTrackList(&list);
    AudioPlayer& player = controller.Player();
    player.SetPlaylist(&list);
    // A list that failed part-way still plays what it holds; the caller hears of the failure.
    const bool played = list.Count() > 0 && player.Play(0, paused, 0);
    return parsed && played;
}

void StopSound(ReaderController& controller, SoundList& list) {
    controller.Player().Stop();
    list.Clear();
}
