// What the cover, picture and audio pages ask of the document controller: a private part of the
// controller, included only by its own source files. It reads the book, the window and the page;
// the audio page reports to the controller through its document interface.
#pragma once

#include <memory>

#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/audio_player_view.h"
#include "reader/book_document_controller.h"
#include "reader/image_view.h"
#include "reader/reader_controller.h"
#include "reader/sound_list.h"

class BookDocumentController::ViewsSide final : public SpecialViewsHost {
public:
    ViewsSide(DocumentController& document, const DocumentWindowLinks& window,
              const RefPtr<Resource>& book, const Location& location, PagePresentation& page)
        : document_(document), window_(window), book_(book), location_(location), page_(page) {}

    Resource* Book() override { return book_.Get(); }
    const Location& BookLocation() override { return location_; }
    DocumentLoader* Loader() override { return window_.Loader(); }
    ReaderSettings* Settings() override { return window_.Settings(); }
    ReaderControllerLink* CoverLink() override {
        return window_.Reader() ? window_.Reader()->GetLink() : nullptr;
    }
    std::unique_ptr<ImageView> MakeImageView(DrawSurface* surface, int32_t record) override {
        return std::make_unique<ImageView>(surface, window_.Reader(), record);
    }
    bool HasPlayer() override { return window_.Reader() != nullptr; }
    std::unique_ptr<AudioPlayerView> MakeAudioView(SoundList& sounds) override {
        ReaderController* reader = window_.Reader();
        if (!reader) return nullptr;
        return std::make_unique<AudioPlayerView>(reader, &document_, &sounds, &reader->Timers());
    }
    bool PlaySounds(SoundList& sounds, const String& text, const Location& base,
                    bool paused) override {
        ReaderController* reader = window_.Reader();
        return reader && ::PlaySoundList(*reader, sounds, text, base, paused);
    }
    void StopSounds(SoundList& sounds, bool release) override {
        ReaderController* reader = window_.Reader();
        if (!reader) return;
        ::StopSound(*reader, sounds);
        if (release) reader->SetTrackList(nullptr);
    }
    DrawingSurface* WindowSurface() override {
        DrawingSurface* surface = window_.Surface();
        return surface && page_.Gc() == surface ? surface : nullptr;
    }
    Rect Viewport() override { return page_.Viewport(); }
    bool ClientArea(Rect& out) override { return page_.SurfaceViewport(out); }
    int32_t ShownPageNumber() override { return page_.Layout() ? page_.PageNumber() : -1; }
    void FocusTextPage() override {
        if (page_.View() && page_.View()->Parent()) page_.View()->Focus();
    }

private:
    DocumentController& document_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    const Location& location_;
    PagePresentation& page_;
};
