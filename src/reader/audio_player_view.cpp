#include "reader/audio_player_view.h"

#include <algorithm>
#include <new>

#include "bookfiles/annotation_file.h"
#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "graphics/widgets/status_panel.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/sound_list.h"

namespace {

constexpr int32_t kPictureTop = 15;
constexpr int32_t kPictureInset = 4;
constexpr int32_t kShadow = 4;

// The ids the audio frame's bars may offer while this view shows.
constexpr uint32_t kEnabled[] = {
    Cmd::kLibrary,
    Cmd::kProperties,
    Cmd::kBackToOtherDocument,
    Cmd::kHelp,
    Cmd::kOptions,
    Cmd::kAbout,
    Cmd::kOnlineBookstore,
    Cmd::kExit,
    Cmd::kZoomIn,
    Cmd::kZoomOut,
    Cmd::kContents,
    Cmd::kFullScreen,
    Cmd::kRotate,
    Cmd::kReservedCommand83,
    Cmd::kMakerPage,
    Cmd::kReservedCommand88,
    Cmd::kReservedCommand89,
    Cmd::kPlayerPosition,
    Cmd::kPlayerTrackChanging,
    Cmd::kPlayerPlayingChanged,
    Cmd::kZoomNormal,
    Cmd::kNextTrack,
    Cmd::kPlayPause,
    Cmd::kPrevTrack,
};

uint32_t Grey(int32_t y, int32_t height) {
    const uint32_t g = height > 0 ? static_cast<uint32_t>(std::clamp(y, 0, height) * 120 / height)
                                  : 0;
    const uint32_t b = g * 140 / 120;
    return g | g << 8 | b << 16;
}

}  // namespace

AudioPlayerView::AudioPlayerView(ReaderController* controller, DocumentController* document,
                                 SoundList* list, TimerList* timers)
    : controller_(controller),
      document_(document),
      list_(list),
      panel_(std::make_unique<StatusPanel>(timers)) {
    panel_->SetMargin(10, false);
    panel_->SetSpacing(8, false);
    panel_->SetTextStyle(FontStyle{-12, 0, 1}, false);
    panel_->SetParent(this);
}

AudioPlayerView::~AudioPlayerView() {
    SetCurrent(false);
    picture_.Reset();
    if (panel_) panel_->Detach();
}

void AudioPlayerView::SetBase(const Location& base) {
    base_.CopyFrom(base);
}

bool AudioPlayerView::SetSoundList(const String& text) {
    text_ = text;
    if (!controller_ || !list_) return false;
    return PlaySoundList(*controller_, *list_, text, base_, true);
}

void AudioPlayerView::SetCurrent(bool current) {
    if (current == current_) return;
    current_ = current;
    if (current) {
        PickPicture();
        Layout();
        return;
    }
    painted_ = false;
    if (controller_ && list_) StopSound(*controller_, *list_);
}

String AudioPlayerView::JoinLabel(const String& author, const String& title) {
    String out = author;
    if (author.Length() > 0 && title.Length() > 0) out.AppendChars(u" - ", 3);
    out.Append(title);
    return out;
}

void AudioPlayerView::UpdateTrackTitle() {
    String title;
    if (list_ && controller_) list_->GetTitle(controller_->Player().GetTrack(), title);
    panel_->SetSecondLabel(title, laidOut_);
}

void AudioPlayerView::UpdateTimeLine() {
    uint32_t position = 0, length = AudioPlayer::kUnknownLength;
    if (controller_) {
        position = controller_->Player().GetPosition();
        length = controller_->Player().GetLength();
        // The last track played to its end: it stands at its end.
        if (length == AudioPlayer::kUnknownLength && controller_->PlaylistEnded())
            position = length = knownLength_;
    }
    knownLength_ = length;
    Text line;
    String wide;
    if (FormatTimeLine(line, length, position) && line.ToWide(wide))
        panel_->SetThirdLabelText(wide, laidOut_);
    if (length != AudioPlayer::kUnknownLength) panel_->SetProgress(position, length, laidOut_);
}

void AudioPlayerView::Layout() {
    if (!laidOut_ || !current_) return;
    String author, title;
    if (document_) {
        if (AnnotationFile* side = document_->CurrentAnnotationFile()) {
            uint32_t n = 0;
            const char16_t* chars = side->GetAuthor(&n);
            if (chars) author.AssignChars(chars, static_cast<int32_t>(n));
        }
        document_->GetTitle(title);
    }
    if (ReaderSettings* settings = controller_ ? controller_->GetSettings() : nullptr) {
        uint32_t colour = 0;
        settings->GetTextColour(colour);
        panel_->SetTextColor(colour, false);
    }
    panel_->SetFirstLabel(JoinLabel(author, title), false);
    UpdateTrackTitle();
    UpdateTimeLine();
    const int32_t width = rect_.width * 9 / 10;
    const int32_t height = std::min(panel_->MeasureHeight(width), rect_.height);
    panelRect_ = Rect{rect_.x + (rect_.width - width) / 2, rect_.Bottom() - height, width, height};
    Rect placed;
    panel_->AdjustRect(placed, panelRect_);
    pictureRect_ = Rect{rect_.x, rect_.y + kPictureTop, rect_.width,
                        rect_.height - height - kPictureTop};
    FitPicture();
}

void AudioPlayerView::PickPicture() {
    picture_.Reset();
    shownPicture_ = 0;
    if (!pictures_) return;
    const uint32_t track = controller_ ? controller_->Player().GetTrack() : 0;
    for (uint32_t i = track + 1; i >= 1; --i) {
        if (DrawablePicture* p = pictures_->OpenTrackPicture(i)) {
            picture_ = RefPtr<DrawablePicture>::Adopt(p);
            shownPicture_ = i;
            break;
        }
    }
    FitPicture();
}

void AudioPlayerView::FitPicture() {
    pictureBox_ = Rect{};
    int32_t w = 0, h = 0;
    uint32_t extra = 0;
    if (!picture_ || !picture_->GetSize(w, h, extra) || w < 1 || h < 1) return;
    const Rect box{pictureRect_.x + kPictureInset, pictureRect_.y + kPictureInset,
                   pictureRect_.width - 2 * kPictureInset, pictureRect_.height - 2 * kPictureInset};
    if (box.IsEmpty()) return;
    // Shrunk to the box keeping its proportions, never enlarged, centred.
    int64_t fw = w, fh = h;
    if (fw > box.width) {
        fh = fh * box.width / fw;
        fw = box.width;
    }
    if (fh > box.height) {
        fw = fw * box.height / fh;
        fh = box.height;
    }
    const int32_t iw = static_cast<int32_t>(std::max<int64_t>(fw, 1));
    const int32_t ih = static_cast<int32_t>(std::max<int64_t>(fh, 1));
    pictureBox_ = Rect{box.x + (box.width - iw) / 2, box.y + (box.height - ih) / 2, iw, ih};
}

Rect& AudioPlayerView::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    laidOut_ = true;
    SetPlaced(true);
    Layout();
    out = Rect{in.x, in.y, 0, 0};
    return out;
}

bool AudioPlayerView::SeekTo(uint32_t part, uint32_t whole) {
    if (!controller_) return false;
    uint32_t seconds = 0;
    if (!SoundSeekSeconds(controller_->Player().GetLength(), part, whole, seconds)) return false;
    return controller_->Player().Seek(seconds);
}

bool AudioPlayerView::SaveState(uint32_t& track, uint32_t& seconds, ByteStream& s) {
    track = controller_ ? controller_->Player().GetTrack() : 0;
    seconds = controller_ ? controller_->Player().GetPosition() : 0;
    return AudioViewState::Write(s, text_);
}

bool AudioPlayerView::RestoreState(uint32_t track, uint32_t seconds, ByteStream& s) {
    String text;
    if (!AudioViewState::Read(s, text)) return false;
    SetSoundList(text);
    if (!controller_) return true;
    return controller_->Player().Play(track, true, seconds);
}

bool AudioPlayerView::HandleEvent(InputEvent& event) {
    if (event.IsPen()) return false;
    const uint32_t code = event.Code();
    if (code == kKeyActivate) {
        ExecuteCommand(Cmd::kPlayPause, 0);
        return true;
    }
    if (code == kKeyCommand) {
        const uint32_t command = event.Command();
        if (command != kNoCommand) ExecuteCommand(command, 0);
        return true;
    }
    return false;
}

void AudioPlayerView::ExecuteCommand(uint32_t command, uint32_t) {
    switch (command) {
        case Cmd::kBack: {
            // Going back replaces (deletes) this view: nothing of it is touched afterwards.
            DocumentController* document = document_;
            if (document) document->HistoryBack();
            return;
        }
        case Cmd::kPlayPause:
            if (!controller_) return;
            if (controller_->Player().IsPlaying())
                controller_->Player().Pause();
            else
                controller_->Player().Restart();
            return;
        case Cmd::kPlayerPosition:
            // Nothing to show while something drawn later covers the view.
            if (HitTestFollowing(rect_)) return;
            UpdateTimeLine();
            return;
        case Cmd::kPlayerTrackChanging:
            knownLength_ = AudioPlayer::kUnknownLength;
            UpdateTrackTitle();
            PickPicture();
            Redraw(nullptr);
            return;
        default: return;
    }
}

bool AudioPlayerView::IsCommandEnabled(uint32_t command, uint32_t) {
    return std::find(std::begin(kEnabled), std::end(kEnabled), command) != std::end(kEnabled);
}

void AudioPlayerView::Redraw(const Rect* area) {
    if (area && !Rect::Intersects(*area, rect_)) return;
    {
        DrawScope scope(this);
        GraphicsContext* gc = scope.Context();
        if (!gc) return;
        Rect clip = rect_;
        if (area) Rect::Intersect(*area, rect_, clip);
        gc->FillGradient(clip, Grey(clip.y - rect_.y, rect_.height),
                         Grey(clip.Bottom() - 1 - rect_.y, rect_.height), true);
        if (picture_ && !pictureBox_.IsEmpty()) {
            gc->SetPenColor(0);
            gc->SetBrushColor(0);
            gc->DrawRectangle(Rect{pictureBox_.x + kShadow, pictureBox_.y + kShadow,
                                   pictureBox_.width, pictureBox_.height},
                              true);
            picture_->Draw(*gc, pictureBox_, 0);
        }
    }
    panel_->Redraw(area);
    painted_ = true;
}
