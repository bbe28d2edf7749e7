// The document controller's picture and sound side: the audio page ("$audio") over the window's
// playlist, whose tracks and pictures come from the current book, its place in the side file,
// the view shown over the page, and a tap on a reduced picture of the text page, which opens it
// full screen.
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
#include "reader/book_picture.h"
#include "reader/image_view.h"
#include "reader/reader_controller.h"
#include "reader/record_set_page.h"
#include "reader/sound_list.h"

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

// --- the audio page ---------------------------------------------------------------------------

Node* BookDocumentController::ViewOverPage() const {
    switch (view_) {
        case kCoverView:
            return views_.Cover();
        case kImageView:
            return views_.Picture();
        case kAudioView:
            return views_.AudioView();
        case kRecordSetView:
            return records_.Page() ? &records_.Page()->ViewNode() : nullptr;
        default: return nullptr;
    }
}

bool BookDocumentController::ShowSoundList(const String& text) {
    if (!resource_.Get()) return false;
    FreeRetired();
    bool pushed = false;
    PushHistoryAndNotify(pushed);
    if (!OpenLocation(String(u"$audio"), false, true) || !views_.AudioView()) {
        if (pushed) history_.Entries().UndoPush();
        return false;
    }
    // The list's tracks are loaded paused, as the page always starts.
    bool playing = views_.AudioView()->SetSoundList(text);
    Invalidate(true);
    return playing;
}

bool BookDocumentController::PlayOwnSound() {
    AudioPlayerView* view = views_.AudioView();
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

bool BookDocumentController::RestoreAudioPosition() {
    if (!sideFile_.File() || !views_.AudioView()) return false;
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

// --- view commands and taps -------------------------------------------------------------------

void BookDocumentController::ShowBarOfView() {
    const uint32_t mode = ViewMode();
    if (mode == barMode_) return;
    barMode_ = mode;
    // Without a document the library or the annotations list has the window and its bars.
    if (reader_ && resource_.Get()) reader_->UpdateWindowTitle();
}

bool BookDocumentController::ActivateObjectAt(Point p) {
    if (view_ != kTextPage || !page_.Layout()) return false;
    PageSlot* slot = page_.Layout()->CurrentPageSlot();
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
