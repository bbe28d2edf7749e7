#include "reader/book_document_controller.h"

#include <new>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/document_source.h"
#include "core/file.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "database/database_object.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "document/markup/html_tokenizer.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_database_opener.h"
#include "document/sources/text_file_resource.h"
#include "document_upper/forms/form.h"
#include "graphics/controls/form_control.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "graphics/widgets/list_popup.h"
#include "layout/inline_objects.h"
#include "layout/layout_forms.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/searcher.h"
#include "media/image/icon_image.h"
#include "platform/shell/shell.h"
#include "platform/window/window.h"
#include "reader/anchor_names.h"
#include "reader/book_action_bridge.h"
#include "reader/book_picture.h"
#include "reader/controller_sides.h"
#include "reader/file_messages.h"
#include "reader/kept_checkpoints.h"
#include "reader/opening_rules.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "reader/reader_views.h"
#include "script/script_engine.h"
#include "script/script_heap.h"

namespace {
constexpr uint32_t kLibraryPage = 1;
constexpr uint32_t kBookmarksPage = 3;
// The settings flag that allows a book's side file.
constexpr int kSideFileFlag = 3;
constexpr uint32_t kCouldNotOpen = 5028;
constexpr uint32_t kUnknownFileType = 5532;
constexpr uint32_t kErrorCaption = 5018;
constexpr uint32_t kInformationCaption = 5019;
constexpr uint32_t kNoAnnotation = 5263;
constexpr uint32_t kFramesNotShown = 5534;
// Larger pages are not a frame set alone.
constexpr uint32_t kFramePageMax = 256 * 1024;

bool ShowLibraryOrBookmarks(ReaderController* reader, uint32_t id) {
    if (id != kLibraryPage && id != kBookmarksPage) return false;
    if (reader) {
        if (id == kLibraryPage)
            reader->ShowLibrary();
        else
            reader->ShowAnnotations();
    }
    return true;
}
}  // namespace

BookDocumentController::BookDocumentController(ScriptHeap* heap)
    : sides_(std::make_unique<Sides>(*this)),
      page_(sides_->page, viewHost_),
      records_(sides_->records),
      requests_(sides_->records),
      history_(sides_->navigation),
      scripting_(sides_->script, heap),
      forms_(sides_->script),
      speech_(sides_->speech),
      refs_(sides_->navigation),
      views_(sides_->views),
      frames_(sides_->frame) {
}

BookDocumentController::~BookDocumentController() { Shutdown(); }

void BookDocumentController::SetLogDatabase(SortedRecordDatabase* log) {
    log_ = log;
    forms_.SetDataStore(log);
}

void BookDocumentController::SetEventSink(AppShellEvents* sink, uint32_t cookie) {
    sink_ = sink;
    cookie_ = cookie;
}

bool BookDocumentController::Start(bool documentGiven) {
    bool opened = false;
    // A screen the device cannot turn is turned by the reader itself: the orientation the
    // reader left it in comes back (a device that turns its screen keeps it on its own).
    // Queued, so that it turns the window as shown, with its bars, as the menu's command does.
    if (reader_ && settings_ && !CanRotateScreen()) {
        const uint32_t o = settings_->orientation;
        reader_->PostCommand(o == 1   ? Cmd::kQuarterRightOrientation
                             : o == 2 ? Cmd::kQuarterLeftOrientation
                             : o == 3 ? Cmd::kHalfTurnOrientation
                                      : Cmd::kNormalOrientation);
    }
    if (!documentGiven) {
        bool lastRunEnded = runStore_ && runStore_->GetRunMarker() == 0;
        bool libraryWanted = settings_ && settings_->libraryAtStart != 0;
        // Marked before the reopen: a book that crashes the reader is not reopened next time.
        if (runStore_ && runStore_->WriteRunMarker(1) != 0) runStore_->NoteUnsaved();
        // Quietly, as from the library: a last book gone since leaves the library shown.
        if ((lastRunEnded || !runStore_) && !libraryWanted) opened = ReopenLastBook();
        if (!opened) opened = ActivateLink(String(u"oeb:library"));
    }
    if (runStore_ && runStore_->WriteRunMarker(1) != 0) runStore_->NoteUnsaved();
    return opened;
}

void BookDocumentController::Shutdown() {
    listPopup_.reset();
    if (runStore_) {
        // An orderly end: the next start may reopen the book.
        if (runStore_->WriteRunMarker(0) != 0) runStore_->NoteUnsaved();
        runStore_ = nullptr;
    }
    frames_.Destroy();
    CloseDocument();
    views_.ReleaseSound();
    forms_.Clear();  // lets the last page's resource go with the loader still there
    FreeRetired();
    page_.Shutdown();
    history_.Entries().Clear();
    scripting_.Shutdown();
    sink_ = nullptr;
    reader_ = nullptr;
}

// --- the current document -------------------------------------------------------------------

void BookDocumentController::PaintPage() {
    views_.FitOverPage(ViewOverPage());
    if (!page_.Layout() || view_ != kTextPage || !page_.Gc()) return;
    Rect now;
    const bool onSurface = page_.Gc() == surface_;
    if (frames_.Framed() && onSurface && page_.SurfaceViewport(now) &&
        RectDiffers(now, frames_.PageArea())) {
        frames_.LayOutFrames(now);  // the window changed size: the frames share the new area
    } else if (!frames_.Framed() && !frames_.IsFrame() && onSurface &&
               page_.SurfaceViewport(now) && RectDiffers(now, page_.Viewport())) {
        // The window changed size: the same text starts the page laid out anew.
        page_.Resize(now);
    }
    page_.Paint();
}

void BookDocumentController::KeepFocusAbove(int32_t top) {
    PageLayout* layout = page_.Layout();
    Node* node = surface_ ? surface_->FocusedDescendant() : nullptr;
    auto* control = dynamic_cast<FormControl*>(node);
    Rect r;
    if (!layout || view_ != kTextPage || !control || control->Id() < 0 || !node->GetRect(r))
        return;
    if (r.y + r.height <= top) return;
    // The page starts at the field, which then stands at its top, above the panel; it is
    // still the page the reader was on and keeps its number. The field leaves the tree with
    // the old page and comes back with the new one: it is held meanwhile, and takes the focus
    // again once the new page shows it.
    KeepAlive hold(control);
    if (!layout->GoToPositionAsPageStart(static_cast<uint32_t>(control->Id()),
                                         layout->CurrentPageNumber()))
        return;
    Invalidate(true);
    if (surface_->Window()) UpdateWindow(surface_->Window());
    if (!hold.Orphaned() && node->Parent() && !node->IsFocused()) node->Focus();
}

void BookDocumentController::ResetViewElement() {
    if (page_.View() && page_.Layout()) page_.View()->ClearFocus();
}

bool BookDocumentController::MarkWordAt(Point p) {
    if (!page_.View() || view_ != kTextPage || !page_.Layout()) return false;
    return page_.View()->MarkWordAt(p);
}

bool BookDocumentController::ShowFoundText(uint32_t start, uint32_t end) {
    if (!page_.Layout()) return false;
    // Found from the cover or a picture: the text is shown.
    if (view_ != kTextPage) OpenLocation(String(), false, true);
    if (view_ != kTextPage || !page_.Layout()->GoToFoundText(start)) return false;
    keepStoredPosition_ = false;
    // Drawn with the page at the next paint.
    if (page_.View()) page_.View()->ShowSelection(start, end);
    Invalidate(true);
    return true;
}

void BookDocumentController::FreeRetired() {
    frames_.FreeRetired();
    records_.FreeRetired();
    views_.FreeRetired();
    page_.FreeRetired();
}

bool BookDocumentController::SetDocument(Resource* document) {
    if (!document) return false;
    if (document == resource_.Get()) return true;
    CloseDocument();
    resource_ = RefPtr<Resource>(document);
    location_.Copy(document->GetLocation());
    location_.SetAnchor(String());
    current_.SetEmpty();
    view_ = kTextPage;
    keepStoredPosition_ = false;
    frames_.Forget();
    readyNoticePending_ = true;
    // Only a book file of the reader's own has a side file; the loader keeps the one registry.
    // A frame's controller shows part of the window's book: the side file is the window's.
    // The reader's settings may forbid side files altogether.
    bool sideFiles = !settings_ || settings_->flags[kSideFileFlag] != 0;
    if (sideFiles && loader_ && !frames_.IsFrame() && !location_.IsInternal() &&
        location_.Kind() != Location::kDatabase && document->GetKind() != 1) {
        sideFile_.Open(loader_, document);
    }
    if (settings_ && !frames_.IsFrame() && location_.IsFileKind()) {
        String text;
        // Stored at once: after a crash the settings still name the book last opened.
        if (location_.ToString(text, true) && !(text == settings_->LastBook())) {
            settings_->SetLastBook(text);
            if (!settings_->Save()) settings_->NoteUnsaved();
        }
    }
    // The book script's queries read the tables of the document shown.
    scripting_.SetQueryResource(document);
    forms_.ExpectRestore();
    page_.Make();
    if (forms_.RestorePending()) forms_.Restore(resource_.Get(), sideFile_);  // no layout yet
    return true;
}

bool BookDocumentController::KeptCheckpointsPath(Text& out) const {
    // A book file of the reader's own, shown whole (a frame shows part of the window's book).
    return resource_.Get() && resource_->GetDocument() && !frames_.IsFrame() && location_.IsFileKind() &&
           location_.ToFileName(out) && out.IsValid();
}

void BookDocumentController::CloseDocument() {
    speech_.Destroy();
    if (!resource_.Get()) return;
    SaveReadingPosition(true);
    Text bookPath;
    if (page_.Layout() && KeptCheckpointsPath(bookPath))
        if (!KeptCheckpoints::Save(bookPath, resource_->GetDocument(), *page_.Layout()))
            KeptCheckpoints::NoteUnsaved(bookPath);
    // This document's forms go (persistent ones stay); their values are in the side file.
    forms_.CloseBook(resource_.Get(), page_.Layout() ? page_.Layout()->CurrentDocumentKey() : 0);
    views_.LeaveCover();
    LeaveRecordSet();
    views_.LeaveImage();
    views_.LeaveAudio();
    // The book script's record set reads this book's tables. The window's script forgets the
    // book: its timers stop and its globals (entries of sql_execute among them, which hold the
    // book's tables) go.
    ClearGlobalRecordSet();
    if (!frames_.IsFrame() && location_.Kind() != Location::kDatabase) scripting_.ForgetBook();
    scripting_.SetQueryResource(nullptr);
    page_.Drop();
    // The side file always goes with its book, so that nothing writes into it afterwards.
    sideFile_.Close();
    resource_.Reset();
    location_.Clear();
    current_.SetEmpty();
    view_ = kTextPage;
    keepStoredPosition_ = false;
}

bool BookDocumentController::OpenLocation(const String& anchor, bool fresh, bool /*notify*/) {
    if (!resource_.Get()) return false;
    bool hasAnchor = !anchor.IsEmpty();
    // The text page asked for again without an anchor keeps its page.
    if (!fresh && !hasAnchor && view_ == kTextPage && current_.IsEmpty()) return true;
    // Leaving a page for another view keeps where the reader or listener was.
    if (view_ == kAudioView && !(anchor == current_)) {
        views_.SaveAudioPlace(sideFile_);
        views_.LeaveAudio();
    }
    if (view_ == kTextPage && hasAnchor && anchor[0] == u'$') SaveReadingPosition(false);
    if (view_ == kCoverView && !anchor.EqualsAscii("$cover")) views_.LeaveCover();
    if (view_ == kImageView && !(anchor == current_)) views_.LeaveImage();
    if (view_ == kRecordSetView || records_.ListPageShown()) {
        LeaveRecordSet();
        view_ = kTextPage;
    }
    if (hasAnchor && anchor.Length() > 4 && anchor[0] == u'$' && anchor[1] == u'f' &&
        anchor[2] == u'v' && anchor[3] == u't') {
        if (RecordRequests::IsListPageLink(anchor)) return OpenListLocation(anchor);
        if (!ShowRecordSet(anchor)) return false;
        current_.Assign(anchor);
        view_ = kRecordSetView;
        return true;
    }
    if (anchor.EqualsAscii("$cover")) {
        if (!OpeningRules::HasCover(resource_->GetDocument())) {
            current_.SetEmpty();
            view_ = kTextPage;
            return true;
        }
        // In a window a cover that cannot be shown gives way to the text.
        if (!views_.ShowCover()) {
            current_.SetEmpty();
            view_ = kTextPage;
            return true;
        }
        current_.Assign(anchor);
        view_ = kCoverView;
        return true;
    }
    if (OpeningRules::IsAudioAnchor(anchor)) {
        if (!(view_ == kAudioView && anchor == current_) && !views_.ShowAudio()) return false;
        current_.Assign(anchor);
        view_ = kAudioView;
        return true;
    }
    int64_t record = 0;
    if (Location::HasDollar(anchor) && Location::GetDollarValue(anchor, record)) {
        if (record < 0 || record > INT32_MAX) return false;
        if (!(view_ == kImageView && anchor == current_) &&
            !views_.ShowImage(static_cast<int32_t>(record)))
            return false;
        current_.Assign(anchor);
        view_ = kImageView;
        return true;
    }
    if (hasAnchor && anchor[0] == u'$') return false;  // an unknown generated page
    current_.SetEmpty();
    view_ = kTextPage;
    if (!hasAnchor || !page_.Layout()) return true;
    int64_t position = Location::GetAnchorPosition(anchor);
    if (position >= 0) return GoToPosition(static_cast<uint32_t>(position));
    String link;
    uint32_t named = 0;
    switch (refs_.ResolveAnchorName(anchor, link, named)) {
        case BookReferences::kAnchorReference: return ActivateLink(link);
        case BookReferences::kAnchorInText: return GoToPosition(named);
        default: return true;
    }
}

// --- generated pages ------------------------------------------------------------------------

bool BookDocumentController::ShowRecordSet(const String& anchor) {
    return resource_.Get() && records_.ShowLink(resource_.Get(), anchor, RecordPagePlace());
}

void BookDocumentController::LeaveRecordSet() {
    // The text page takes the keys back.
    if (records_.Leave(surface_) && page_.View() && page_.View()->Parent())
        page_.View()->Focus();
}

// --- opening --------------------------------------------------------------------------------

bool BookDocumentController::ActivateLink(const String& url) {
    if (OpeningRules::IsWebLink(url)) {
        std::u16string file(url.Data(), static_cast<size_t>(url.Length()));
        SHELLEXECUTEINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = u"open";
        info.lpFile = file.c_str();
        // Handed to the browser is a success: the caller must not undo anything.
        return ShellExecuteEx(&info) != 0;
    }
    Location target;
    if (!target.Resolve(url, resource_.Get() ? &location_ : nullptr)) return false;
    return NavigateTo(target);
}

bool DocumentController::OpenLibrary(const String& /*path*/, bool /*force*/) {
    return ActivateLink(String(u"oeb:library"));
}

bool BookDocumentController::OpenLibrary(const String& path, bool /*force*/) {
    // Shown over the library the book stays loaded: it is closed, or its file stays held.
    Text file;
    String shown, wanted(path);
    if (resource_.Get() && location_.ToFileName(file) && file.ToWide(shown) && shown.ToLower() &&
        wanted.ToLower() && shown == wanted)
        CloseDocument();
    return ActivateLink(String(u"oeb:library"));
}

bool BookDocumentController::OpenWithQuery(const Location& location, uint32_t first,
                                           uint32_t second) {
    if (first != 0 || second != 0) return false;
    Location target;
    target.CopyFrom(location);
    return NavigateTo(target);
}

bool BookDocumentController::NavigateTo(Location& location) {
    if (RecordRequests::IsListDatabase(location)) return OpenListDatabase(location);
    FreeRetired();
    Location remembered;
    if (resource_.Get()) remembered.CopyFrom(location_);
    uint32_t oldMode = history_.Entries().GetMode();
    bool setMode = oldMode == NavigationHistory::kRecord;
    if (setMode) history_.Entries().SetMode(NavigationHistory::kRecordNext);
    bool pushed = false;
    PushHistoryAndNotify(pushed);
    bool shown = false;
    uint8_t handled = 0;
    // The loader rewrites the location (a title becomes a file): a failure names what was
    // asked for.
    Location asked;
    asked.CopyFrom(location);
    if (location.IsBuiltInPage()) {
        shown = OpenBuiltInPage(location.ResourceId());
        handled = 1;
    } else if (loader_) {
        if (location.IsInternal()) CloseDocument();
        auto document = RefPtr<Resource>::Adopt(
            loader_->Open(location, resource_ ? &remembered : nullptr, &handled));
        if (document) {
            // A name found nowhere in the book shown ("#", a form sent to "#"): the page
            // stays, and nothing failed.
            if (document == resource_ && !refs_.AnchorFound(location.Anchor()))
                handled = 1;
            else
                shown = Show(document.Get(), location.Anchor(), true);
        }
    }
    if (setMode) history_.Entries().SetMode(oldMode);
    if (!shown) {
        if (!handled) ReportFailure(asked);
        // A failed open leaves the history as it was before.
        if (pushed) history_.Entries().UndoPush();
    }
    return shown;
}

void BookDocumentController::ReportFailure(const Location& location) {
    reports_.push_back(kCouldNotOpen);
    // The file as the user knows it: its device path, unescaped and whole.
    const String name = FileMessages::DisplayName(location);
    // A file that is there, of a type the reader does not open, is told as such.
    String reason;
    Text file;
    if (location.IsFileKind() && location.ToFileName(file) && Files::Exists(file) &&
        DocumentLoader::KindOfExtension(name) == 0) {
        const char16_t* units = LoadResString(kUnknownFileType);
        reason.Assign(String(units ? units : u""));
    }
    if (reader_)
        reader_->ShowMessage(static_cast<int32_t>(kErrorCaption),
                                FileMessages::Format(kCouldNotOpen, name, reason),
                                MessageKind::kError);
}

bool BookDocumentController::OpenBuiltInPage(uint32_t id) {
    if (id == kBookmarksPage &&
        !(sideFile_.File() && sideFile_.File()->BookmarkCount() > 0)) {
        reports_.push_back(kNoAnnotation);
        if (reader_)
            reader_->MessageBoxById(static_cast<int32_t>(kInformationCaption), kNoAnnotation,
                                       MessageKind::kInformation);
        return false;
    }
    return ShowLibraryOrBookmarks(reader_, id);
}

const char16_t* BookDocumentController::ListPageShown() const {
    ReaderListWindow* library = reader_ ? reader_->GetLibraryView() : nullptr;
    ReaderListWindow* notes = reader_ ? reader_->GetAnnotationsWindow() : nullptr;
    if (library && library->IsVisible()) return u"oeb:library";
    if (notes && notes->IsVisible()) return u"oeb:bookmarks";
    return nullptr;
}

bool BookDocumentController::Show(Resource* document, const String& anchor, bool restore) {
    bool changed = document != resource_.Get();
    if (!SetDocument(document)) return false;
    // The book on show, asked for again without an anchor (from the library), stays where the
    // reader left it: the first-page rule and the stored position are for a book being opened
    // (the side file's position dates from the last time it was closed).
    const bool keep = restore && !changed && anchor.IsEmpty();
    String chosen;
    if (!keep) {
        OpeningFacts facts;
        facts.anchor.Assign(anchor);
        facts.restore = restore;
        if (sideFile_.File()) {
            facts.hasSideFile = true;
            facts.audioLast = sideFile_.File()->GetAudioLast();
            facts.hasSavedPosition = OpeningRules::HasSavedPosition(*sideFile_.File());
            String link;
            facts.hasStart = refs_.LookupReference(u"start", 5, link);
            facts.hasCover = OpeningRules::HasCover(document->GetDocument());
        }
        chosen = OpeningRules::ChooseAnchor(facts);
        // A picture or a sound opened by itself has no text page: it shows full screen, or
        // on the audio page.
        if (chosen.IsEmpty() && SpecialViews::IsMediaFile(document)) {
            chosen.AppendAscii(SpecialViews::IsSoundFile(document) ? "$audio" : "$0");
        }
        if (!OpenLocation(chosen, changed, false)) {
            CloseDocument();
            return false;
        }
    }
    // Minutes alone: the library sorts on this word.
    sideFile_.CountOpening(NowUnixMinutesUtc());
    if (!keep && restore && (chosen.IsEmpty() || OpeningRules::IsAudioAnchor(chosen)))
        RestoreReadingPosition();
    // A sound file is its own one-track playlist, unless its stored place restored one.
    if (SpecialViews::IsMediaFile(document)) PlayOwnSound();
    if (reader_) reader_->ShowReaderView();
    Invalidate(true);
    if (changed) TellFramesNotShown();
    return true;
}

void BookDocumentController::TellFramesNotShown() {
    // An HTML page made only of frames would be a silent white page: the reader lays out no
    // HTML frames, whatever they hold (the page itself, frames nested without end).
    if (view_ != kTextPage || !location_.IsFileKind()) return;
    const String name = FileMessages::DisplayName(location_);
    Text file;
    if (DocumentLoader::KindOfExtension(name) != TextFileResource::kHtml ||
        !location_.ToFileName(file))
        return;
    ByteArray bytes;
    if (!Files::ReadAll(file, bytes, kFramePageMax)) return;
    std::vector<uint8_t> flat(static_cast<size_t>(bytes.Count()));
    for (int32_t i = 0; i < bytes.Count(); ++i) flat[static_cast<size_t>(i)] = bytes[i];
    if (!OpeningRules::IsFramesOnly(flat.data(), flat.size())) return;
    reports_.push_back(kFramesNotShown);
    if (reader_)
        reader_->ShowMessage(static_cast<int32_t>(kErrorCaption),
                             FileMessages::Format(kFramesNotShown, name), MessageKind::kError);
}

bool BookDocumentController::RestoreReadingPosition() {
    if (!resource_.Get()) return false;
    if (view_ == kAudioView) return RestoreAudioPosition();
    if (view_ != kTextPage && view_ != kAudioView) return false;
    bool restored = false;
    if (sideFile_.File()) {
        HistoryEntry entry;
        entry.location.CopyFrom(location_);
        entry.location.SetAnchor(current_);
        if (sideFile_.ReadPlace(OpeningRules::IsAudioAnchor(current_), entry))
            restored = view_ == kAudioView || OpenHistoryEntry(entry, true);
    }
    if (!restored && view_ == kTextPage) {
        if (page_.Layout()) page_.Layout()->GoToPage(1);
        uint32_t mode = history_.Entries().GetMode();
        history_.Entries().SetMode(NavigationHistory::kDoNotRecord);
        GoToStart();
        history_.Entries().SetMode(mode);
        // The stored position stays until the reader moves.
        keepStoredPosition_ = sideFile_.File() != nullptr;
        Invalidate(true);
    }
    return restored;
}

bool BookDocumentController::SaveReadingPosition(bool /*closing*/) {
    if (!sideFile_.File() || !resource_.Get()) return false;
    bool ok = true;
    if (view_ == kAudioView) {
        ok = views_.SaveAudioPlace(sideFile_);
    } else if (view_ == kTextPage && page_.Layout() && !keepStoredPosition_) {
        HistoryEntry entry;
        if (SaveHistoryState(entry, true)) {
            ok = sideFile_.WriteTextPlace(entry);
        }
    }
    // The cover and image pages leave the stored text position alone.
    if (!forms_.Save(sideFile_)) ok = false;
    // Written at once, not only when the book closes: a reader that ends without an orderly
    // shut-down (power lost, the device ending it) keeps its place and its annotations.
    if (!sideFile_.Flush()) ok = false;
    return ok;
}

bool BookDocumentController::Reload() {
    if (!resource_.Get() || !loader_) return false;
    Location again;
    again.CopyFrom(location_);
    again.SetAnchor(current_);
    CloseDocument();
    uint8_t handled = 0;
    auto document = RefPtr<Resource>::Adopt(loader_->Open(again, nullptr, &handled));
    return document && Show(document.Get(), again.Anchor(), true);
}

void BookDocumentController::Refresh() {
    // Back to the text page at its position (the cover shown mid-book loses nothing).
    if (!resource_.Get()) return;
    if (view_ != kTextPage) OpenLocation(String(), false, true);
    if (!keepStoredPosition_) SaveReadingPosition(false);
    Invalidate(true);
}

void BookDocumentController::SaveViewState() {
    page_.Reconfigure();
    Invalidate(true);
}

void BookDocumentController::ReloadAnnotations() {
    if (page_.Layout() && sideFile_.File()) page_.Layout()->SetAnnotations(sideFile_.File());
    Invalidate(true);
}

void BookDocumentController::NotifyAnnotation(int32_t index) {
    if (sink_ && !frames_.IsFrame()) sink_->OnAnnotationNotice(this, cookie_, index);
}

void BookDocumentController::Invalidate(bool full) {
    // Every open and page move ends here: the frames follow the page start, and the bars the
    // history (the left key reads "Back" only while there is a step back). The shell hears that
    // the document is ready once a document is shown, not at every page move: it saves the
    // reading position then, and a save is a write to the device.
    frames_.Update();
    if (sink_ && !frames_.IsFrame() && readyNoticePending_ && page_.Layout()) {
        readyNoticePending_ = false;
        sink_->OnDocumentReady(this, cookie_);
    }
    if (reader_ && !frames_.IsFrame()) reader_->UpdateShownMenuBars();
    // The page is drawn again at the next paint: the whole window, or the page's own area (a
    // frame's part when this controller shows a frame).
    if (surface_) {
        const Rect area = page_.Viewport();
        surface_->InvalidateRect(full || !page_.Layout() || area.IsEmpty() ? nullptr : &area);
    }
    ShowBarOfView();
}

// --- history --------------------------------------------------------------------------------

bool BookDocumentController::SaveHistoryState(HistoryEntry& entry, bool fromLayout) {
    entry.Clear();
    entry.mark = history_.Entries().TakeMark();
    entry.location.CopyFrom(location_);
    entry.location.SetAnchor(current_);
    if (!HistoryState::WriteHeader(entry.state, LinkFocusPath())) return false;
    if (view_ == kAudioView) return views_.SaveAudioState(entry);
    if (view_ != kTextPage) return true;
    // Asked for the layout's place, a text page not laid out has none to give.
    if (!page_.Layout()) return !fromLayout;
    uint32_t page = 0, start = 0;
    bool saved = page_.View() ? page_.View()->SaveState(page, start, entry.state)
                           : page_.Layout()->SaveCurrentPageState(page, start, entry.state);
    if (!saved) return false;
    entry.viewWord = page;
    entry.viewPosition = static_cast<int32_t>(start);
    return true;
}

bool BookDocumentController::RestoreHistoryState(HistoryEntry& entry) {
    ByteStream& stream = entry.state;
    stream.SetReadPosition(0);
    std::vector<uint32_t> path;
    if (HistoryState::ReadHeader(stream, path) == HistoryState::HeaderResult::kBad) return false;
    if (view_ == kAudioView) return views_.RestoreAudioState(entry, stream);
    if (!page_.Layout() || view_ != kTextPage) return view_ != kTextPage;
    if (entry.viewPosition < 0) return false;
    ByteStream rest;
    if (stream.Remaining() && !rest.WriteBytes(stream.Data() + stream.ReadPosition(),
                                               stream.Remaining()))
        return false;
    rest.SetReadPosition(0);
    uint32_t position = static_cast<uint32_t>(entry.viewPosition);
    bool restored = page_.View() ? page_.View()->RestoreState(entry.viewWord, position, rest)
                                 : page_.Layout()->RestorePageState(entry.viewWord, position, rest);
    if (restored) RestoreLinkFocus(path);
    return restored;
}

std::vector<uint32_t> BookDocumentController::LinkFocusPath() {
    std::vector<uint32_t> path;
    // A frame's state is its view's alone; the window's controller writes the path.
    if (frames_.IsFrame() || view_ != kTextPage || !page_.Layout()) return path;
    uint32_t mark = page_.Layout()->CurrentMarkIndex();
    if (mark != PageLayout::kNone) path.push_back(mark);
    return path;
}

void BookDocumentController::RestoreLinkFocus(const std::vector<uint32_t>& path) {
    PageLayout* layout = page_.Layout();
    if (path.size() != 1 || frames_.IsFrame() || !layout) return;
    AreaArray* marks = nullptr;
    // Marks are built once the page is drawn; until then the page keeps the index, and a build
    // drops one past its list.
    if (layout->GetCurrentBlockMarks(marks) && marks &&
        path[0] >= static_cast<uint32_t>(marks->Count()))
        return;
    layout->SetCurrentMark(path[0], false, false);
    focusKind_ = kFocusArea;
}

bool BookDocumentController::PushHistory(bool& pushed) { return history_.Push(pushed); }

bool BookDocumentController::PushHistoryAndNotify(bool& pushed) {
    return history_.PushAndNotify(pushed);
}

bool BookDocumentController::SaveHistoryAtEnd() { return history_.SaveAtEnd(); }

bool BookDocumentController::StoreHistoryEntry() { return history_.StoreEntry(); }

bool BookDocumentController::HistoryBack(bool libraryFallback) {
    FreeRetired();
    if (history_.Entries().CanBack()) return history_.StepBack();
    if (!libraryFallback) return false;
    // The library (or the annotations list) with nothing before it: Back returns to the book
    // last read, as from the library page.
    if (ListPageShown()) return ReopenLastBook() || resource_.Get();
    if (!resource_.Get()) return false;
    uint32_t mode = ViewMode();
    // A sound opened by itself has no page behind its audio page: Back leaves for the library,
    // as from a picture.
    if ((mode == 1 || mode == 2 || mode == 3 || mode == 7 ||
         (mode == 6 && SpecialViews::IsMediaFile(resource_.Get()))) &&
        reader_)
        reader_->PostCommand(Cmd::kLibrary);
    return true;
}

bool BookDocumentController::ReopenLastBook() {
    String last;
    if (!settings_ || !settings_->GetLastBookLocation(last) || last.IsEmpty()) return false;
    // Quietly: a last book that has gone since leaves the reader where it is.
    uint8_t saved[2] = {};
    if (loader_) loader_->SetFlags(0, 0, saved);
    bool opened = ActivateLink(last);
    if (loader_) loader_->RestoreFlags(saved);
    return opened;
}

bool BookDocumentController::HistoryForward() {
    FreeRetired();
    return history_.StepForward();
}

bool BookDocumentController::HistoryToLast() { return history_.ToLast(); }

bool BookDocumentController::OpenHistoryEntry(const HistoryEntry& source, bool repaint) {
    HistoryEntry entry(source);
    if (resource_.Get() && Location::Compare(entry.location, location_) == 0) {
        if (!(entry.location.Anchor() == current_) &&
            !OpenLocation(entry.location.Anchor(), false, true))
            return false;
        if (!RestoreHistoryState(entry)) return false;
        keepStoredPosition_ = false;
        // Back from the library to the book it was shown over: the page comes back.
        if (reader_ && ListPageShown()) reader_->ShowReaderView();
        Invalidate(repaint);
        RestoreListPopup();
        return true;
    }
    if (entry.location.IsBuiltInPage())
        return ShowLibraryOrBookmarks(reader_, entry.location.ResourceId());
    if (!loader_) return false;
    uint8_t handled = 0;
    auto document = RefPtr<Resource>::Adopt(loader_->Open(entry.location, nullptr, &handled));
    if (!document || !Show(document.Get(), entry.location.Anchor(), false)) return false;
    if (!RestoreHistoryState(entry) && view_ == kTextPage && page_.Layout()) page_.Layout()->GoToPage(1);
    Invalidate(true);
    RestoreListPopup();
    return true;
}

bool BookDocumentController::BackToOtherDocument() {
    bool found = history_.FindOtherDocument();
    // A picture or a sound opened by itself has no text page to return to (it would be empty).
    if (!found && resource_.Get() && view_ != kTextPage && !SpecialViews::IsMediaFile(resource_.Get())) {
        bool ok = OpenLocation(String(), false, true);
        Invalidate(true);
        return ok;
    }
    if (found && history_.OpenFromFound()) return true;
    if (ListPageShown() && ReopenLastBook()) return true;
    if (reader_) reader_->PostCommand(Cmd::kLibrary);
    return true;
}

// --- commands -------------------------------------------------------------------------------

bool BookDocumentController::ExecuteCommand(int32_t id) {
    switch (id) {
        case Cmd::kForward: return HistoryForward();
        case Cmd::kBack: return HistoryBack(true);
        case Cmd::kActivateFocus:
            if (focusKind_ == kFocusForward || focusKind_ == kFocusBackward) {
                // After a page step 90 moves the focus to the first (last) link the frames
                // show; no link is followed.
                bool forward = focusKind_ == kFocusForward;
                focusKind_ = kFocusNone;
                frames_.MoveFocus(forward, true);
                Invalidate(false);
                return true;
            }
            // A tap or a focus move in another frame: that frame's link is followed.
            if (BookDocumentController* frame = frames_.FocusedFrame())
                return frame->ExecuteCommand(Cmd::kActivateFocus);
            // Otherwise a tap made a mark the link focus: its link is followed.
            if (view_ != kTextPage || !page_.Layout()) return false;
            viewHost_.FollowTappedMark();
            return true;
        default: break;
    }
    if ((view_ == kAudioView || view_ == kImageView) &&
        views_.ExecuteMediaCommand(view_ == kAudioView, id))
        return true;
    if (view_ == kWordListView || view_ == kSearchHistoryView)
        return ExecuteListPageCommand(id);

    // Everything else is the page view's.
    if (!page_.View() || view_ != kTextPage || id < 0) return false;
    page_.View()->ExecuteCommand(static_cast<uint32_t>(id), 0);
    return true;
}

void BookDocumentController::NotifyCommand(int32_t id) {
    if (sink_) sink_->OnCommandNotice(this, id, cookie_);
    if (reader_ && !frames_.IsFrame()) reader_->UpdateShownMenuBars();
}
