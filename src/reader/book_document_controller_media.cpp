// The document controller's picture and sound side: the audio page ("$audio") over the window's
// playlist, whose tracks and pictures come from the current book, its place in the side file
// and the history, the view commands of the image and audio pages, and a tap on a reduced
// picture of the text page, which opens it full screen.
#include <cstring>
#include <new>

#include "bookfiles/annotation_file.h"
#include "database/resource.h"
#include "document/sources/book_resource.h"
#include "document/sources/document_loader.h"
#include "document/sources/text_file_resource.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "layout/block_contents.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/audio_player_view.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_wiring.h"
#include "reader/book_picture.h"
#include "reader/reader_controller.h"
#include "reader/record_set_page.h"
#include "reader/sound_list.h"

// The window's playlist and the audio page over it. Tracks open through the document loader
// relative to the book shown; pictures are the book's image records by number.
class BookDocumentController::AudioParts final : public SoundTrackOpener,
                                                 public AudioViewPictures {
public:
    explicit AudioParts(BookDocumentController& owner) : owner_(owner) {
        sounds.SetOpener(this);
    }

    AudioSource* OpenSoundTrack(const String& url) override {
        if (!owner_.loader_) return nullptr;
        DataHandle* handle = owner_.loader_->OpenString(url, owner_.resource_ ? &owner_.location_
                                                                              : nullptr);
        AudioSource* source = nullptr;
        // The handle goes in every case; only Ogg data becomes a source.
        if (!BookResource::OpenAudio(handle, source)) return nullptr;
        return source;
    }

    DrawablePicture* OpenTrackPicture(uint32_t number) override {
        if (!owner_.resource_ || number > INT32_MAX) return nullptr;
        ImageObject* image = ImageObject::FromRecord(owner_.resource_, &owner_.location_,
                                                     static_cast<int32_t>(number));
        if (!image) return nullptr;
        auto* picture = new (std::nothrow) BookPicture(image);
        if (!picture) image->Release();
        return picture;
    }

    SoundList sounds;
    std::unique_ptr<AudioPlayerView> view;
    // Views replaced while one of their own handlers may still run: freed at the next
    // navigation.
    std::vector<std::unique_ptr<AudioPlayerView>> retired;

private:
    BookDocumentController& owner_;
};

void BookDocumentController::AudioPartsDeleter::operator()(AudioParts* parts) const {
    delete parts;
}

AudioPlayerView* BookDocumentController::AudioView() const {
    return audio_ ? audio_->view.get() : nullptr;
}

namespace {
// What a tapped picture asks to open.
class TappedObjectHost final : public InlineObjectHost {
public:
    bool OpenLink(const String& location) override {
        link = location;
        return true;
    }
    String link;
};
}  // namespace

// --- the playlist -----------------------------------------------------------------------------

bool BookDocumentController::PlaySoundList(const String& text, bool paused) {
    if (!reader_) return false;
    if (!audio_) {
        audio_.reset(new (std::nothrow) AudioParts(*this));
        if (!audio_) return false;
    }
    Location base;
    if (resource_) base.CopyFrom(location_);
    return ::PlaySoundList(*reader_, audio_->sounds, text, base, paused);
}

void BookDocumentController::StopSound() {
    if (reader_ && audio_) ::StopSound(*reader_, audio_->sounds);
}

void BookDocumentController::ReleaseSound() {
    if (!audio_) return;
    LeaveAudio();
    audio_->retired.clear();
    if (reader_) {
        ::StopSound(*reader_, audio_->sounds);
        // The player must not keep a playlist that goes with this controller.
        reader_->SetTrackList(nullptr);
    }
    audio_.reset();
}

// --- the audio page ---------------------------------------------------------------------------

bool BookDocumentController::ShowAudio() {
    if (!resource_ || !reader_) return false;
    if (!audio_) {
        audio_.reset(new (std::nothrow) AudioParts(*this));
        if (!audio_) return false;
    }
    std::unique_ptr<AudioPlayerView> view(new (std::nothrow) AudioPlayerView(
        reader_, this, &audio_->sounds, &reader_->Timers()));
    if (!view) return false;
    LeaveAudio();
    view->SetPictures(audio_.get());
    view->SetBase(location_);
    if (surface_ && layoutGc_ == surface_ && !ShowOverPage(*view)) return false;
    view->SetCurrent(true);
    audio_->view = std::move(view);
    return true;
}

bool BookDocumentController::ShowOverPage(Node& view) {
    if (!view.SetParent(surface_)) return false;
    Rect area = viewport_;
    SurfaceViewport(area);
    Rect placed;
    view.AdjustRect(placed, area);
    view.Focus();
    return true;
}

Node* BookDocumentController::ViewOverPage() const {
    switch (view_) {
        case kCoverView: return cover_.get();
        case kImageView: return image_.get();
        case kAudioView: return audio_ ? audio_->view.get() : nullptr;
        case kRecordSetView: return records_.Page() ? &records_.Page()->ViewNode() : nullptr;
        default: return nullptr;
    }
}

void BookDocumentController::FitViewOverPage() {
    // A size change lays the surface's children out one after another, and the page element
    // before this view takes the whole area: the view is given the surface's area again here,
    // before it is drawn.
    Node* view = ViewOverPage();
    Rect now, shown;
    if (!view || !surface_ || layoutGc_ != surface_ || view->Parent() != surface_ ||
        !SurfaceViewport(now))
        return;
    if (view->GetRect(shown) && !RectDiffers(now, shown)) return;
    Rect placed;
    view->AdjustRect(placed, now);
}

void BookDocumentController::LeaveAudio() {
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
    if (pageView_ && pageView_->Parent()) pageView_->Focus();
}

void BookDocumentController::FreeRetiredAudio() {
    if (audio_) audio_->retired.clear();
}

bool BookDocumentController::ShowSoundList(const String& text) {
    if (!resource_) return false;
    FreeRetired();
    bool pushed = false;
    PushHistoryAndNotify(pushed);
    if (!OpenLocation(String(u"$audio"), false, true) || !AudioView()) {
        if (pushed) history_.Entries().UndoPush();
        return false;
    }
    // The list's tracks are loaded paused, as the page always starts.
    bool playing = AudioView()->SetSoundList(text);
    Invalidate(true);
    return playing;
}

bool BookDocumentController::IsMediaFile(Resource* document) {
    auto* file = dynamic_cast<TextFileResource*>(document);
    return file && file->ContentKind() == TextFileResource::kPictureOrSound;
}

bool BookDocumentController::IsSoundFile(Resource* document) {
    DataHandle* handle = document ? document->OpenDataByIndex(0, nullptr) : nullptr;
    if (!handle) return false;
    uint8_t magic[4] = {};
    uint32_t got = 0;
    bool ogg = handle->Read(0, magic, 4, got) && got == 4 && std::memcmp(magic, "OggS", 4) == 0;
    handle->Release();
    return ogg;
}

bool BookDocumentController::PlayOwnSound() {
    AudioPlayerView* view = AudioView();
    if (!view || !view->SoundListText().IsEmpty()) return false;
    // The file's one track, titled with the file's name.
    String name, text;
    location_.ToString(name, false);
    int32_t cut = name.Length();
    while (cut > 0 && name[cut - 1] != u'\\' && name[cut - 1] != u'/') --cut;
    text.AppendAscii("#$0|");
    String title;
    title.AssignSub(name, cut, name.Length() - cut);
    text.Append(title);
    return view->SetSoundList(text);
}

bool BookDocumentController::SaveAudioState(HistoryEntry& entry) {
    AudioPlayerView* view = AudioView();
    if (!view) return true;
    uint32_t track = 0, seconds = 0;
    if (!view->SaveState(track, seconds, entry.state)) return false;
    entry.viewWord = track;
    entry.viewPosition = static_cast<int32_t>(seconds);
    return true;
}

bool BookDocumentController::RestoreAudioState(HistoryEntry& entry, ByteStream& stream) {
    AudioPlayerView* view = AudioView();
    if (!view) return false;
    uint32_t seconds = entry.viewPosition < 0 ? 0 : static_cast<uint32_t>(entry.viewPosition);
    return view->RestoreState(entry.viewWord, seconds, stream);
}

bool BookDocumentController::WriteAudioPosition() {
    AudioPlayerView* view = AudioView();
    // A page with no playlist (its restore failed) leaves the stored place alone.
    if (!sideFile_.File() || !view || view->SoundListText().IsEmpty()) return false;
    HistoryEntry entry;
    if (!HistoryState::WriteHeader(entry.state, {}) || !SaveAudioState(entry)) return false;
    return sideFile_.WriteAudioPlace(entry, true);
}

bool BookDocumentController::RestoreAudioPosition() {
    if (!sideFile_.File() || !AudioView()) return false;
    uint32_t track = 0, seconds = 0;
    std::vector<uint8_t> state;
    // The side file calls a place of two zero words none, but the first track at its start is
    // a place like any other: what decides is whether a playlist was stored.
    sideFile_.File()->GetAudioPosition(&track, &seconds, &state);
    if (state.empty()) return false;
    HistoryEntry entry;
    entry.location.CopyFrom(location_);
    entry.location.SetAnchor(current_);
    entry.viewWord = track;
    entry.viewPosition = static_cast<int32_t>(seconds > INT32_MAX ? 0 : seconds);
    if (!entry.state.WriteBytes(state.data(), state.size())) return false;
    bool restored = RestoreHistoryState(entry);
    Invalidate(true);
    return restored;
}

// --- the cover and the picture pages -------------------------------------------------------

bool BookDocumentController::ShowCover() {
    // Outside a window there is nothing to draw: the cover counts as shown.
    if (!surface_ || layoutGc_ != surface_) return true;
    if (cover_) return true;
    if (!resource_) return false;
    int32_t record = OpeningRules::CoverRecord(resource_->GetDocument());
    ImageObject* image = record > 0 ? ImageObject::FromRecord(resource_, &location_, record) : nullptr;
    if (!image) return false;
    auto* picture = new (std::nothrow) BookPicture(image);
    if (!picture) {
        image->Release();
        return false;
    }
    cover_.reset(new (std::nothrow) CoverView(surface_, reader_ ? reader_->GetLink() : nullptr));
    if (!cover_ || cover_->SetPicture(picture)) {  // true: no picture taken
        cover_.reset();
        return false;
    }
    // A book's cover sits on black.
    cover_->SetBackgroundColor(0);
    if (!cover_->SetParent(surface_)) {
        cover_.reset();
        return false;
    }
    Rect placed;
    cover_->AdjustRect(placed, viewport_);
    cover_->Focus();
    return true;
}

void BookDocumentController::LeaveCover() {
    if (!cover_) return;
    // The cover may be the caller (its keys leave it): out of the tree now, deleted later.
    cover_->Detach();
    try {
        retiredCovers_.push_back(std::move(cover_));
    } catch (const std::bad_alloc&) {
        cover_.reset();
    }
    cover_.reset();
    if (pageView_ && pageView_->Parent()) pageView_->Focus();
}

namespace {

// A book picture's data as the image view reads it (the picture keeps its record open).
class ImageObjectData final : public ImageData {
public:
    explicit ImageObjectData(ImageObject* image) : image_(image) {}
    ~ImageObjectData() { image_->Release(); }
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
    ImageObject* image_;
};

}  // namespace

bool BookDocumentController::ShowImage(int32_t record) {
    if (!resource_) return false;
    ImageObject* picture = ImageObject::FromRecord(resource_, &location_, record);
    if (!picture) return false;
    ImageObjectData data(picture);
    if (!surface_ || layoutGc_ != surface_) return true;
    std::unique_ptr<ImageView> view(new (std::nothrow)
                                        ImageView(surface_->AsDrawSurface(), reader_, record));
    if (!view || view->LoadImage(&data)) return false;  // true: not loaded
    LeaveImage();
    uint32_t background = 0xFFFFFF;
    if (settings_) settings_->GetBackgroundColour(background);
    view->SetBackgroundColor(background);
    if (layout_ && layout_->CurrentPageStart() != PageLayout::kNone)
        view->SetPageNumber(GetPageNumber());
    if (!ShowOverPage(*view)) return false;
    image_ = std::move(view);
    return true;
}

void BookDocumentController::LeaveImage() {
    if (!image_) return;
    // The view may be the caller (its keys go back): deleted at the next navigation.
    image_->Detach();
    try {
        retiredImages_.push_back(std::move(image_));
    } catch (const std::bad_alloc&) {
        image_.reset();
    }
    image_.reset();
    if (pageView_ && pageView_->Parent()) pageView_->Focus();
}

// --- view commands and taps -------------------------------------------------------------------

namespace {
Node* MediaView(BookDocumentController::View kind, AudioPlayerView* audio, ImageView* image) {
    if (kind == BookDocumentController::kAudioView) return audio;
    if (kind == BookDocumentController::kImageView) return image;
    return nullptr;
}
}  // namespace

bool BookDocumentController::MediaCommandEnabled(int32_t id) const {
    Node* view = MediaView(view_, AudioView(), image_.get());
    return id >= 0 && view && view->IsCommandEnabled(static_cast<uint32_t>(id), 0);
}

bool BookDocumentController::ExecuteMediaCommand(int32_t id) {
    if (!MediaCommandEnabled(id)) return false;
    Node* view = MediaView(view_, AudioView(), image_.get());
    const uint32_t command = static_cast<uint32_t>(id);
    // The view may replace itself (Back): nothing of it is touched afterwards.
    view->ExecuteCommand(command, 0);
    return true;
}

void BookDocumentController::ShowBarOfView() {
    const uint32_t mode = ViewMode();
    if (mode == barMode_) return;
    barMode_ = mode;
    // Without a document the library or the annotations list has the window and its bars.
    if (reader_ && resource_) reader_->UpdateWindowTitle();
}

bool BookDocumentController::ActivateObjectAt(Point p) {
    if (view_ != kTextPage || !layout_) return false;
    PageSlot* slot = layout_->CurrentPageSlot();
    if (!slot) return false;
    BlockContents& contents = slot->contents;
    const int32_t count = contents.KindCount(kItemInlineBox);
    TappedObjectHost host;
    for (int32_t k = 0; k < count && host.link.IsEmpty(); ++k) {
        InlineBox* box = contents.Object(k);
        if (!box || !box->object || !Rect::Contains(box->rect, p)) continue;
        box->object->Activate(&host);
    }
    // Opened once the page is no longer walked: the navigation may lay out another page.
    return !host.link.IsEmpty() && ActivateLink(host.link);
}
