#include "reader/special_views.h"

#include <cstring>
#include <memory>
#include <utility>

#include "core/ref_counted.h"
#include "database/resource.h"
#include "document/sources/book_resource.h"
#include "document/sources/document_loader.h"
#include "document/sources/text_file_resource.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "layout/inline_objects.h"
#include "reader/audio_player_view.h"
#include "reader/book_picture.h"
#include "reader/book_side_file.h"
#include "layout/page_view.h"
#include "reader/image_view.h"
#include "reader/navigation_history.h"
#include "reader/opening_rules.h"
#include "reader/reader_settings.h"
#include "reader/sound_list.h"

// The window's playlist and the audio page over it. Tracks open through the document loader
// relative to the book shown; pictures are the book's image records by number.
class SpecialViews::AudioParts final : public SoundTrackOpener,
                                                 public AudioViewPictures {
public:
    explicit AudioParts(SpecialViewsHost& owner) : owner_(owner) {
        sounds.SetOpener(this);
    }

    AudioSource* OpenSoundTrack(const String& url) override {
        DocumentLoader* loader = owner_.Loader();
        if (!loader) return nullptr;
        DataHandle* handle = loader->OpenString(url, owner_.Book() ? &owner_.BookLocation()
                                                                   : nullptr);
        AudioSource* source = nullptr;
        // The handle goes in every case; only Ogg data becomes a source.
        if (!BookResource::OpenAudio(handle, source)) return nullptr;
        return source;
    }

    DrawablePicture* OpenTrackPicture(uint32_t number) override {
        if (!owner_.Book() || number > INT32_MAX) return nullptr;
        auto image = RefPtr<ImageObject>::Adopt(ImageObject::FromRecord(
            owner_.Book(), &owner_.BookLocation(), static_cast<int32_t>(number)));
        if (!image) return nullptr;
        // The caller takes the picture's first reference.
        return new BookPicture(std::move(image));
    }

    SoundList sounds;
    std::unique_ptr<AudioPlayerView> view;
    // Views replaced while one of their own handlers may still run: freed at the next
    // navigation.
    std::vector<std::unique_ptr<AudioPlayerView>> retired;

private:
    SpecialViewsHost& owner_;
};

SpecialViews::SpecialViews(SpecialViewsHost& host) : host_(host) {}

SpecialViews::~SpecialViews() = default;

void SpecialViews::FreeRetired() {
    retiredCovers_.clear();
    retiredImages_.clear();
    if (audio_) audio_->retired.clear();
}

bool SpecialViews::ShowOverPage(Node& view) {
    DrawingSurface* surface = host_.WindowSurface();
    if (!surface || !view.SetParent(surface)) return false;
    Rect area = host_.Viewport();
    host_.ClientArea(area);
    Rect placed;
    view.AdjustRect(placed, area);
    view.Focus();
    return true;
}

// --- the cover ------------------------------------------------------------------------------

bool SpecialViews::ShowCover() {
    // Outside a window there is nothing to draw: the cover counts as shown.
    DrawingSurface* surface = host_.WindowSurface();
    if (!surface) return true;
    if (cover_) return true;
    Resource* book = host_.Book();
    if (!book) return false;
    int32_t record = OpeningRules::CoverRecord(book->GetDocument());
    auto image = RefPtr<ImageObject>::Adopt(
        record > 0 ? ImageObject::FromRecord(book, &host_.BookLocation(), record) : nullptr);
    if (!image) return false;
    cover_ = std::make_unique<CoverView>(surface, host_.CoverLink());
    // The cover takes the picture's first reference.
    if (cover_->SetPicture(new BookPicture(std::move(image)))) {  // true: no picture to show
        cover_.reset();
        return false;
    }
    // A book's cover sits on black.
    cover_->SetBackgroundColor(0);
    if (!cover_->SetParent(surface)) {
        cover_.reset();
        return false;
    }
    Rect placed;
    cover_->AdjustRect(placed, host_.Viewport());
    cover_->Focus();
    return true;
}

void SpecialViews::LeaveCover() {
    if (!cover_) return;
    // The cover may be the caller (its keys leave it): out of the tree now, deleted later.
    cover_->Detach();
    try {
        retiredCovers_.push_back(std::move(cover_));
    } catch (const std::bad_alloc&) {
        cover_.reset();
    }
    cover_.reset();
    host_.FocusTextPage();
}

// --- the picture page -----------------------------------------------------------------------

namespace {

// A book picture's data as the image view reads it (the picture keeps its record open).
class ImageObjectData final : public ImageData {
public:
    explicit ImageObjectData(RefPtr<ImageObject> image) : image_(std::move(image)) {}
    ImageObjectData(const ImageObjectData&) = delete;
    ImageObjectData& operator=(const ImageObjectData&) = delete;

    bool OpenData(const uint8_t** bytes, uint32_t* length) override {
        DataHandle* source = image_->Source();
        return source && source->GetData(*bytes, *length) && *bytes;
    }
    void ReleaseData() override {
        if (DataHandle* source = image_->Source()) source->DropData();
    }

private:
    RefPtr<ImageObject> image_;
};

}  // namespace

bool SpecialViews::ShowImage(int32_t record) {
    Resource* book = host_.Book();
    if (!book) return false;
    auto picture = RefPtr<ImageObject>::Adopt(ImageObject::FromRecord(book, &host_.BookLocation(), record));
    if (!picture) return false;
    ImageObjectData data(std::move(picture));
    DrawingSurface* surface = host_.WindowSurface();
    if (!surface) return true;
    std::unique_ptr<ImageView> view = host_.MakeImageView(surface->AsDrawSurface(), record);
    if (!view || view->LoadImage(&data)) return false;  // true: not loaded
    LeaveImage();
    uint32_t background = 0xFFFFFF;
    if (ReaderSettings* settings = host_.Settings()) settings->GetBackgroundColour(background);
    view->SetBackgroundColor(background);
    const int32_t page = host_.ShownPageNumber();
    if (page >= 0) view->SetPageNumber(page);
    if (!ShowOverPage(*view)) return false;
    image_ = std::move(view);
    return true;
}

void SpecialViews::LeaveImage() {
    if (!image_) return;
    // The view may be the caller (its keys go back): deleted at the next navigation.
    image_->Detach();
    try {
        retiredImages_.push_back(std::move(image_));
    } catch (const std::bad_alloc&) {
        image_.reset();
    }
    image_.reset();
    host_.FocusTextPage();
}

// --- the playlist and the audio page --------------------------------------------------------

AudioPlayerView* SpecialViews::AudioView() const {
    return audio_ ? audio_->view.get() : nullptr;
}

bool SpecialViews::PlaySoundList(const String& text, bool paused) {
    if (!host_.HasPlayer()) return false;
    if (!audio_) audio_ = std::make_unique<AudioParts>(host_);
    Location base;
    if (host_.Book()) base.CopyFrom(host_.BookLocation());
    return host_.PlaySounds(audio_->sounds, text, base, paused);
}

void SpecialViews::StopSound() {
    if (audio_) host_.StopSounds(audio_->sounds, false);
}

void SpecialViews::ReleaseSound() {
    if (!audio_) return;
    LeaveAudio();
    audio_->retired.clear();
    // The player must not keep a playlist that goes with this controller.
    host_.StopSounds(audio_->sounds, true);
    audio_.reset();
}

bool SpecialViews::ShowAudio() {
    if (!host_.Book() || !host_.HasPlayer()) return false;
    if (!audio_) audio_ = std::make_unique<AudioParts>(host_);
    std::unique_ptr<AudioPlayerView> view = host_.MakeAudioView(audio_->sounds);
    if (!view) return false;
    LeaveAudio();
    view->SetPictures(audio_.get());
    view->SetBase(host_.BookLocation());
    if (host_.WindowSurface() && !ShowOverPage(*view)) return false;
    view->SetCurrent(true);
    audio_->view = std::move(view);
    return true;
}

void SpecialViews::LeaveAudio() {
    if (!audio_ || !audio_->view) return;
    std::unique_ptr<AudioPlayerView> view = std::move(audio_->view);
    // Playback stops when the page goes; the view may be the caller, so it is deleted later.
    view->SetCurrent(false);
    view->Detach();
    try {
        audio_->retired.push_back(std::move(view));
    } catch (const std::bad_alloc&) {
        view.reset();
    }
    host_.FocusTextPage();
}

// --- the audio page's place and the media commands ---------------------------------------------

bool SpecialViews::SaveAudioState(HistoryEntry& entry) {
    AudioPlayerView* view = AudioView();
    if (!view) return true;
    uint32_t track = 0, seconds = 0;
    if (!view->SaveState(track, seconds, entry.state)) return false;
    entry.viewWord = track;
    entry.viewPosition = static_cast<int32_t>(seconds);
    return true;
}

bool SpecialViews::RestoreAudioState(HistoryEntry& entry, ByteStream& stream) {
    AudioPlayerView* view = AudioView();
    if (!view) return false;
    uint32_t seconds = entry.viewPosition < 0 ? 0 : static_cast<uint32_t>(entry.viewPosition);
    return view->RestoreState(entry.viewWord, seconds, stream);
}

bool SpecialViews::MediaCommandEnabled(bool audio, int32_t id) const {
    Node* view = audio ? static_cast<Node*>(AudioView()) : Picture();
    return id >= 0 && view && view->IsCommandEnabled(static_cast<uint32_t>(id), 0);
}

bool SpecialViews::ExecuteMediaCommand(bool audio, int32_t id) {
    if (!MediaCommandEnabled(audio, id)) return false;
    Node* view = audio ? static_cast<Node*>(AudioView()) : Picture();
    const uint32_t command = static_cast<uint32_t>(id);
    // The view may replace itself (Back): nothing of it is touched afterwards.
    view->ExecuteCommand(command, 0);
    return true;
}

void SpecialViews::FitOverPage(Node* view) {
    // A size change lays the surface's children out one after another, and the page element
    // before this view takes the whole area: the view is given the surface's area again here,
    // before it is drawn.
    DrawingSurface* surface = host_.WindowSurface();
    Rect now, shown;
    if (!view || !surface || view->Parent() != surface || !host_.ClientArea(now)) return;
    if (view->GetRect(shown) && !RectDiffers(now, shown)) return;
    Rect placed;
    view->AdjustRect(placed, now);
}

bool SpecialViews::IsMediaFile(Resource* document) {
    auto* file = dynamic_cast<TextFileResource*>(document);
    return file && file->ContentKind() == TextFileResource::kPictureOrSound;
}

bool SpecialViews::IsSoundFile(Resource* document) {
    auto handle = RefPtr<DataHandle>::Adopt(document ? document->OpenDataByIndex(0, nullptr) : nullptr);
    if (!handle) return false;
    uint8_t magic[4] = {};
    uint32_t got = 0;
    return handle->Read(0, magic, 4, got) && got == 4 && std::memcmp(magic, "OggS", 4) == 0;
}

bool SpecialViews::SaveAudioPlace(BookSideFile& side) {
    if (!side.File()) return false;
    if (WriteAudioPlace(side)) return true;
    // The audio page keeps its own place; what it last reported stays stored.
    return side.KeepAudioPlace();
}

bool SpecialViews::WriteAudioPlace(BookSideFile& side) {
    AudioPlayerView* view = AudioView();
    // A page with no playlist (its restore failed) leaves the stored place alone.
    if (!side.File() || !view || view->SoundListText().IsEmpty()) return false;
    HistoryEntry entry;
    if (!HistoryState::WriteHeader(entry.state, {}) || !SaveAudioState(entry)) return false;
    return side.WriteAudioPlace(entry, true);
}
