// The cases of ReaderController::OnCommand, one function per group of command ids.
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "document/location/location.h"
#include "graphics/core/drawing_surface.h"
#include "paths/app_paths.h"
#include "platform/window/window.h"
#include "reader/document_controller.h"
#include "reader/reader_command_ids.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/ui_metric_ids.h"

namespace {

constexpr uint32_t kLinkNotification = 53;
constexpr uint32_t kLinkHelpText = 5151;
constexpr uint32_t kAddLinkCaption = 5093;
constexpr uint32_t kBookstoreUrlString = 5153;
constexpr const char16_t* kMakerUrl = u"http://www.folivant.example/en/handheld";
constexpr uint32_t kPositionNoteMs = 3000;

// Whether the current document is one of the reader's own pages (kinds 0 and 2, and the
// built-in pages such as the library).
bool IsInternalDocument(const DocumentController* document) {
    const Location* location = document ? document->CurrentLocation() : nullptr;
    return location && (location->IsInternal() || location->IsBuiltInPage());
}

}  // namespace

bool ReaderController::OpenUrl(const char16_t* url) {
    return document_ && document_->ActivateLink(String(url));
}

bool ReaderController::RunNavigationCommand(int32_t id) {
    switch (id) {
        case Cmd::kLibrary:
            OpenUrl(u"oeb:library");
            return true;
        case Cmd::kViewRequest:
            if (document_) document_->ViewRequest(69, 23);
            return true;
        case Cmd::kBackToOtherDocument:
            if (document_) document_->BackToOtherDocument();
            return true;
        case Cmd::kHelp:
            OpenUrl(AppPaths::kHelpUrl);
            return true;
        case Cmd::kAnnotations:
            if (document_ && !IsInternalDocument(document_)) OpenUrl(u"oeb:bookmarks");
            return true;
        case Cmd::kCover:
            OpenUrl(u"$cover");
            return true;
        case Cmd::kStart:
            if (!document_) return true;
            document_->OpenReference(String(u"start"));
            if (document_ && document_->AskToGoOn()) document_->StepForward();
            return true;
        case Cmd::kFirstPage:
            if (document_) document_->GoToFirstPage();
            return true;
        case Cmd::kForward:
            if (document_ && document_->AskToGoOn()) document_->StepForward();
            return true;
        case Cmd::kContents:
            ContentsCommand();
            return true;
        case Cmd::kFileOpen: {
            String path;
            if (shell_ && shell_->ChooseFile(path) && document_) document_->ActivateLink(path);
            return true;
        }
        case Cmd::kImageMode:
            if (document_) document_->OpenSelectedImage();
            return true;
        case Cmd::kWordList:
        case Cmd::kSearchHistory: {
            if (!document_) return true;
            Location location;
            bool words = id == Cmd::kWordList;
            if (location.Parse(String(words ? u"oeb:database?name=folivant_wordlist"
                                            : u"oeb:database?name=folivant_history"),
                               true))
                document_->OpenWithQuery(location, words ? 109 : 115, 25);
            return true;
        }
        default:
            return false;
    }
}

bool ReaderController::ContentsCommand() {
    if (!document_) return false;
    const Location* current = document_->CurrentLocation();
    if (current && !current->IsInternal()) {
        return document_->OpenReference(String(u"toc")) ||
               document_->OpenReference(String(u"start"));
    }
    String stored;
    Location book;
    if (GetSettings() && GetSettings()->GetLastBookLocation(stored) && book.Parse(stored, true) &&
        document_->OpenWithQuery(book, 54, 23))
        return true;
    return OpenUrl(u"oeb:library");
}

bool ReaderController::RunShellCommand(int32_t id) {
    switch (id) {
        case Cmd::kProperties: {
            const Location* location = GetCurrentLocation();
            String fileName;
            if (shell_ && location && location->ToString(fileName, false))
                shell_->ShowProperties(fileName);
            return true;
        }
        case Cmd::kFind:
            if (shell_) shell_->ShowFind();
            return true;
        case Cmd::kOptions:
            if (shell_) shell_->ShowOptions();
            return true;
        case Cmd::kAbout:
            if (shell_) shell_->ShowAbout();
            return true;
        case Cmd::kBeam: {
            const Location* location = GetCurrentLocation();
            String fileName;
            if (shell_ && location && location->ToString(fileName, false)) shell_->Beam(fileName);
            return true;
        }
        case Cmd::kOnlineBookstore: {
            const char16_t* url = LoadResString(kBookstoreUrlString);
            if (shell_ && url) shell_->OpenWithShell(String(url));
            return true;
        }
        case Cmd::kExit:
            if (mainWindow_) PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
            return true;
        case Cmd::kVoiceRecorder:
            if (shell_) shell_->StartRecorder(String(kRecordingPath));
            return true;
        case Cmd::kGoToPage:
            if (shell_) shell_->ShowGoToPage();
            return true;
        case Cmd::kFullScreen:
            if (shell_) shell_->ToggleFullScreen();
            return true;
        case Cmd::kMakerPage:
            if (shell_) shell_->OpenWithShell(String(kMakerUrl));
            return true;
        case Cmd::kFindDialog:
            if (shell_) shell_->ShowFindDialog();
            return true;
        case Cmd::kVolume:
            if (shell_) shell_->ShowVolume();
            return true;
        case Cmd::kCopy:
            CopyCommand();
            return true;
        case Cmd::kCopyPosition:
            CopyPositionCommand();
            return true;
        default:
            return false;
    }
}

bool ReaderController::CopyCommand() {
    if (!shell_) return false;
    String text;
    uint32_t start = 0, end = 0;
    if (!document_ || !document_->GetSelection(text, start, end) || text.IsEmpty())
        text.Assign(lookups_->LastWord());
    if (text.IsEmpty()) return false;
    return shell_->CopyToClipboard(text);
}

bool ReaderController::CopyPositionCommand() {
    if (!shell_) return false;
    String position;
    if (!document_ || !document_->PositionText(position)) {
        shell_->ShowText(String(u"No position information."), kPositionNoteMs);
        return false;
    }
    bool copied = shell_->CopyToClipboard(position);
    String note(u"position/GUID/title\ncopied to clipboard:\n");
    note.Append(position);
    shell_->ShowText(note, kPositionNoteMs);
    return copied;
}

bool ReaderController::RunAnnotationCommand(int32_t id) {
    switch (id) {
        case Cmd::kToggleBookmark:
            ToggleBookmarkAtPage();
            return true;
        case Cmd::kDeleteHighlight:
            if (document_) document_->DeleteHighlightsInSelection();
            return true;
        case Cmd::kHighlight:
            AddAnnotation(kHighlight);
            return true;
        case Cmd::kAddNote:
            AddAnnotation(kNote);
            return true;
        case Cmd::kModify:
            AddAnnotation(kModification);
            return true;
        case Cmd::kLookup:
        case Cmd::kLookupBilingual:
        case Cmd::kLookupMonolingual:
            LookupCommand(id);
            return true;
        case Cmd::kEditNote:
            EditAnnotationAt(kNote);
            return true;
        case Cmd::kEditModification:
            EditAnnotationAt(kModification);
            return true;
        case Cmd::kAddLink:
            AddLinkCommand();
            return true;
        case Cmd::kSetLinkTarget:
            if (document_ && document_->AddLinkToSelection() && linkNotificationShown_) {
                RemoveNotification(kLinkNotification);
                linkNotificationShown_ = false;
            }
            return true;
        default:
            return false;
    }
}

bool ReaderController::AddLinkCommand() {
    if (!document_) return false;
    document_->EnterLinkSourceMode();
    linkNotificationShown_ = ShowNotification(kLinkNotification, kLinkHelpText, kAddLinkCaption);
    if (!linkNotificationShown_ && shell_) {
        const char16_t* text = LoadResString(kLinkHelpText);
        shell_->ShowText(String(text ? text : u""), 0);
    }
    return true;
}

bool ReaderController::RunAudioCommand(int32_t id) {
    switch (id) {
        case Cmd::kNextTrack:
            StepTrack(1);
            return true;
        case Cmd::kPrevTrack:
            StepTrack(-1);
            return true;
        case Cmd::kPlayPause:
            // After the last track Play starts the list again from its first track.
            if (playlistEnded_ && tracks_ && tracks_->Count() > 0)
                player_.Play(0, false, 0);
            else if (player_.IsPlaying())
                player_.Pause();
            else
                player_.Restart();
            return true;
        default:
            return false;
    }
}

bool ReaderController::StepTrack(int32_t step) {
    uint32_t count = tracks_ ? tracks_->Count() : 0;
    if (count == 0) return false;
    bool paused = !player_.IsPlaying();
    int64_t next = static_cast<int64_t>(player_.GetTrack()) + step;
    // Past either end the user's step wraps round.
    if (next < 0 || next >= static_cast<int64_t>(count)) next = step > 0 ? 0 : count - 1;
    return player_.Play(static_cast<uint32_t>(next), paused, 0);
}
