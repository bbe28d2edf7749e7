// The audio book view (view kind 6): the cover or a per-track picture over a dark gradient, and
// a status panel with author and title, the track's title and the time line. It plays the
// window's playlist through the reader controller's player; leaving it stops playback.
//
// Re-entrancy: Back replaces (deletes) this view; it is the handler's last step and nothing of
// the view is touched after it.
#pragma once

#include <cstdint>
#include <memory>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "document/location/location.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/node.h"
#include "graphics/core/reader_links.h"

class DocumentController;
class ReaderController;
class SoundList;
class StatusPanel;
class TimerList;

// The pictures of an audio book by number (the book's image records, opened by the controller
// that holds the book).
class AudioViewPictures {
public:
    // A new reference, or null when the book has no picture of that number.
    virtual DrawablePicture* OpenTrackPicture(uint32_t number) = 0;

protected:
    ~AudioViewPictures() = default;
};

class AudioPlayerView : public Widget {
public:
    static constexpr int32_t kViewKind = 6;

    AudioPlayerView(ReaderController* controller, DocumentController* document, SoundList* list,
                    TimerList* timers);
    ~AudioPlayerView() override;
    AudioPlayerView(const AudioPlayerView&) = delete;
    AudioPlayerView& operator=(const AudioPlayerView&) = delete;

    void SetPictures(AudioViewPictures* pictures) { pictures_ = pictures; }
    // Track URLs are resolved against the book's location.
    void SetBase(const Location& base);
    // Keeps the text and plays its first track, paused; false when the list or the play failed.
    bool SetSoundList(const String& text);
    void SetCurrent(bool current);
    bool IsCurrent() const { return current_; }

    // Seeks to part/whole of the track; false (no seek) for whole 0 or an unknown length.
    bool SeekTo(uint32_t part, uint32_t whole);

    // The "AVSM" record, with the current track and second beside it.
    bool SaveState(uint32_t& track, uint32_t& seconds, ByteStream& s);
    // Plays the saved list paused at the saved track and second. A bad record changes nothing.
    bool RestoreState(uint32_t track, uint32_t seconds, ByteStream& s);

    // Author and title joined by " - " (either alone when the other is empty).
    static String JoinLabel(const String& author, const String& title);
    // The picture number track index shows: the first existing one from index + 1 down to 1; 0
    // for none.
    uint32_t ShownPicture() const { return shownPicture_; }
    const Rect& PictureRect() const { return pictureRect_; }
    const Rect& PictureBox() const { return pictureBox_; }
    const Rect& PanelRect() const { return panelRect_; }
    const String& SoundListText() const { return text_; }
    StatusPanel& Panel() { return *panel_; }

    // Node.
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void ExecuteCommand(uint32_t command, uint32_t argument) override;
    bool IsCommandEnabled(uint32_t command, uint32_t argument) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(area, rect_); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return -128; }

private:
    void Layout();
    void PickPicture();
    void FitPicture();
    void UpdateTimeLine();
    void UpdateTrackTitle();

    ReaderController* controller_;
    DocumentController* document_;
    SoundList* list_;
    AudioViewPictures* pictures_ = nullptr;
    Location base_;
    bool current_ = false;
    bool laidOut_ = false;
    bool painted_ = false;
    RefPtr<DrawablePicture> picture_;
    uint32_t shownPicture_ = 0;
    // The track's length as last known: the player lets the track go when it has ended.
    uint32_t knownLength_ = 0xFFFFFFFFu;
    Rect rect_{};
    Rect pictureRect_{};
    Rect pictureBox_{};
    Rect panelRect_{};
    std::unique_ptr<StatusPanel> panel_;
    String text_;
};
