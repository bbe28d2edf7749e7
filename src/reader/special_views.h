// The views a controller shows in its text page's place: the book's cover, a picture of the
// book full screen, and the audio page over the window's playlist (whose tracks and pictures
// come from the book shown). A view that is left may be the one whose keys left it: it goes out
// of the window's tree at once and is freed at the next navigation. The book, the window and the
// text page are asked for through SpecialViewsHost.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"

class AudioPlayerView;
class BookSideFile;
class ByteStream;
class CoverView;
class DocumentLoader;
class DrawSurface;
class DrawingSurface;
class ImageView;
class Location;
class Node;
class ReaderControllerLink;
class ReaderSettings;
class Resource;
class SoundList;
class String;
struct HistoryEntry;

class SpecialViewsHost {
public:
    // The book shown and its location; null without one.
    virtual Resource* Book() = 0;
    virtual const Location& BookLocation() = 0;
    virtual DocumentLoader* Loader() = 0;
    virtual ReaderSettings* Settings() = 0;
    // What the cover's keys reach; null outside a window.
    virtual ReaderControllerLink* CoverLink() = 0;
    // The picture page of that record over the surface; null outside a window.
    virtual std::unique_ptr<ImageView> MakeImageView(DrawSurface* surface, int32_t record) = 0;
    // The window's player: whether there is one, the audio page over the playlist (null
    // without a player), the playlist played on it, and the player stopped (`release`: it
    // also lets go of the playlist, which is about to go).
    virtual bool HasPlayer() = 0;
    virtual std::unique_ptr<AudioPlayerView> MakeAudioView(SoundList& sounds) = 0;
    virtual bool PlaySounds(SoundList& sounds, const String& text, const Location& base,
                            bool paused) = 0;
    virtual void StopSounds(SoundList& sounds, bool release) = 0;
    // The window's surface when the page is drawn on it; null outside a window.
    virtual DrawingSurface* WindowSurface() = 0;
    // The page's viewport, and the surface's client area (false before the window has a size).
    virtual Rect Viewport() = 0;
    virtual bool ClientArea(Rect& out) = 0;
    // The number of the page shown; -1 without one.
    virtual int32_t ShownPageNumber() = 0;
    // The text page takes the keys back (a view over it was left).
    virtual void FocusTextPage() = 0;

protected:
    ~SpecialViewsHost() = default;
};

class SpecialViews {
public:
    explicit SpecialViews(SpecialViewsHost& host);
    ~SpecialViews();
    SpecialViews(const SpecialViews&) = delete;
    SpecialViews& operator=(const SpecialViews&) = delete;

    // The cover page (a CoverView over the cover picture); outside a window it counts as shown.
    // False when a window cannot show it.
    bool ShowCover();
    void LeaveCover();
    CoverView* Cover() const { return cover_.get(); }

    // The picture of that record full screen; false when it cannot be loaded. Outside a window
    // nothing is drawn and the picture counts as shown.
    bool ShowImage(int32_t record);
    void LeaveImage();
    ImageView* Picture() const { return image_.get(); }

    // A picture or a sound file opened by itself (no text page), and whether it is a sound.
    static bool IsMediaFile(Resource* document);
    static bool IsSoundFile(Resource* document);

    // The audio page over the window's playlist; null outside it.
    AudioPlayerView* AudioView() const;
    // The audio page, made for "$audio"; left (and parked) when another view replaces it.
    bool ShowAudio();
    void LeaveAudio();
    // The window's playlist, its tracks opened from the book: plays the first track (paused or
    // not); false when the list or the play failed.
    bool PlaySoundList(const String& text, bool paused);
    void StopSound();
    // Stops the player and takes the playlist off it (the controller goes).
    void ReleaseSound();

    // The audio page's place (track, second and playlist) in a history entry.
    bool SaveAudioState(HistoryEntry& entry);
    bool RestoreAudioState(HistoryEntry& entry, ByteStream& stream);
    // The audio page's place written to the book's side file; false without one.
    bool SaveAudioPlace(BookSideFile& side);
    // View commands of the audio page (audio) or the picture; false when it has no such one.
    bool MediaCommandEnabled(bool audio, int32_t id) const;
    bool ExecuteMediaCommand(bool audio, int32_t id);
    // Places a view over the page anew when the surface's area changed (the screen turned).
    void FitOverPage(Node* view);

    // Puts a page of its own over the text page, at the surface's size, with the keys.
    bool ShowOverPage(Node& view);
    // The views left since the last navigation go.
    void FreeRetired();

private:
    bool WriteAudioPlace(BookSideFile& side);

    class AudioParts;

    SpecialViewsHost& host_;
    std::unique_ptr<CoverView> cover_;
    std::vector<std::unique_ptr<CoverView>> retiredCovers_;
    std::unique_ptr<ImageView> image_;
    std::vector<std::unique_ptr<ImageView>> retiredImages_;
    // The playlist and the audio page, with what opens their tracks and pictures.
    std::unique_ptr<AudioParts> audio_;
};
