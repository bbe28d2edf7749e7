// What the document controller's roles ask of each other, answered by the controller: a private
// part of the controller, included only by its own source files.
#pragma once

#include "reader/book_document_controller.h"
#include "reader/page_presentation.h"
#include "reader/file_messages.h"
#include <new>
#include "bookfiles/annotation_file.h"
#include "core/byte_stream.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/document_source.h"
#include "core/file.h"
#include "database/database_object.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "document_upper/forms/form.h"
#include "document/markup/html_tokenizer.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_database_opener.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "graphics/widgets/list_popup.h"
#include "graphics/core/command_ids.h"
#include "layout/inline_objects.h"
#include "layout/layout_forms.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "layout/searcher.h"
#include "media/image/icon_image.h"
#include "core/platform_helpers.h"
#include "platform/window/window.h"
#include "platform/shell/shell.h"
#include "reader/anchor_names.h"
#include "reader/book_action_bridge.h"
#include "reader/book_picture.h"
#include "reader/image_view.h"
#include "reader/opening_rules.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "reader/reader_views.h"
#include "script/script_engine.h"
#include "script/script_heap.h"

// What the roles ask of each other, answered through the controller.
class BookDocumentController::Wiring final : public HistoryPlaces,
                                              public FormListOwner,
                                              public RecordSetPageOwner,
                                              public FramePage,
                                              public SpecialViewsHost,
                                              public PagePresentationHost,
                                              public SpeechPage,
                                              public BookScriptingHost,
                                              public ReferencesHost,
                                              public RequestsHost,
                                              public PopupHost {
public:
    // "<book> has changed since it was annotated...": its side file was kept aside.
    static constexpr uint32_t kBookChangedText = 5524;

    explicit Wiring(BookDocumentController& c) : c_(c) {}

    // What the laid-out page asks.
    DrawingSurface* Surface() override { return c_.surface_; }
    bool IsFrame() override { return c_.frames_.IsFrame(); }
    Widget* FramePart() override { return c_.frames_.Part(); }
    void GetLayoutOptions(LayoutSettings& out) override { c_.GetLayoutOptions(out); }
    void LayoutConfigured(PageLayout& layout) override {
        AnnotationFile* side = c_.sideFile_.File();
        if (side && !layout.SetAnnotations(side) && !layout.Annotations()) TakeOwnSideFile();
        // Told once: the file kept aside is not this book's any more.
        if (c_.sideFile_.TakeBookChanged() && c_.reader_)
            c_.reader_->ShowMessage(-1,
                                    FileMessages::Format(kBookChangedText,
                                                         FileMessages::DisplayName(c_.location_)),
                                    MessageKind::kWarning);
        // The log hosts a file names at its start go to the log, with the items it logs.
        layout.SetMetadataList(c_.log_);
        // The forms' stored values come from the side file that proved to be this book's,
        // before the first page builds the forms.
        if (c_.forms_.RestorePending()) c_.RestoreFormState();
        layout.SetFormList(c_.forms_.ForLayout());
    }
    void PageViewGoing(Node* view) override { c_.forms_.ForgetControlParent(view); }

    // What the cover, picture and audio pages ask.
    const Location& BookLocation() override { return c_.location_; }
    DocumentLoader* Loader() override { return c_.loader_; }
    ReaderController* Reader() override { return c_.reader_; }
    ReaderSettings* Settings() override { return c_.settings_; }
    DocumentController& Document() override { return c_; }
    DrawingSurface* WindowSurface() override {
        return c_.surface_ && c_.page_.Gc() == c_.surface_ ? c_.surface_ : nullptr;
    }
    bool ClientArea(Rect& out) override { return c_.page_.SurfaceViewport(out); }
    int32_t ShownPageNumber() override {
        if (!c_.page_.Layout() || c_.page_.Layout()->CurrentPageStart() == PageLayout::kNone) return -1;
        return c_.GetPageNumber();
    }
    void FocusTextPage() override {
        if (c_.page_.View() && c_.page_.View()->Parent()) c_.page_.View()->Focus();
    }

    // What the frames ask of this controller's page.
    BookDocumentController& Controller() override { return c_; }
    AreaArray* PageLinkAreas() override;
    void SelectPageMark(int32_t n) override {
        c_.page_.Layout()->SetCurrentMark(static_cast<uint32_t>(n), false, true);
        if (n < 0) {
            if (c_.page_.View()) c_.page_.View()->ClearFocus();
        } else if (c_.page_.View()) {
            c_.page_.View()->Focus();
        }
        if (c_.surface_) c_.surface_->InvalidateRect(nullptr);
    }
    bool FocusPageLink(bool forward) override;
    bool PageHasKeys() override { return c_.page_.View() && c_.page_.View()->IsFocused(); }
    int32_t FitPageHeight(int32_t width, int32_t height) override {
        Size fitted = c_.page_.Layout()->FitHeightToContent(Size{width, height});
        return fitted.height < height ? fitted.height : height;
    }
    void LayOutPageIn(const Rect& r) override { c_.page_.LayOutIn(r); }
    void PaintPage() override { c_.PaintPage(); }
    bool GoFirstPage() override { return c_.GoToPage(1); }
    int32_t PageStart() override { return c_.GetPageStart(); }
    bool TextPageShown() override { return c_.page_.Layout() && c_.view_ == kTextPage; }
    Resource* Book() override { return c_.resource_; }
    uint32_t BuiltInPageId() override { return c_.location_.ResourceId(); }
    TokenSource* PageSource() override { return c_.page_.Source(); }
    DrawingSurface* WindowSurface(Rect& area) override {
        if (!c_.surface_ || c_.page_.Gc() != c_.surface_) return nullptr;
        c_.page_.SurfaceViewport(area);
        return c_.surface_;
    }
    Rect Viewport() override { return c_.page_.Viewport(); }
    int32_t UnitSize() override { return c_.settings_ ? c_.settings_->DefaultFontSize() : 16; }
    std::unique_ptr<BookDocumentController> MakeFrameController() override {
        std::unique_ptr<BookDocumentController> c(new (std::nothrow)
                                                      BookDocumentController(c_.scripting_.Heap()));
        if (!c) return c;
        c->log_ = c_.log_;
        c->loader_ = c_.loader_;
        c->settings_ = c_.settings_;
        c->surface_ = c_.surface_;
        c->reader_ = c_.reader_;
        c->page_.SetGraphics(c_.page_.Gc(), c_.page_.Viewport());
        // The book's forms and reading position are the window's own controller's.
        c->forms_.SetNoForms(true);
        return c;
    }
    bool ShowInFrame(BookDocumentController& c, uint32_t position) override {
        bool changed = c.resource_ != c_.resource_;
        if (!c.SetDocument(c_.resource_)) return false;
        if (!c.OpenLocation(String(), changed, true) || !c.page_.Layout() ||
            !c.page_.Layout()->GoToPositionAsPageStart(position)) {
            c.CloseDocument();
            return false;
        }
        return true;
    }
    void Shutdown() override { c_.Shutdown(); }

    // What a generated page asks: navigation leaves the page to be deleted later.
    void PostHistoryBack() override {
        if (c_.reader_) c_.reader_->PostCommand(Cmd::kBack);
    }
    bool OpenEntryPosition(IndexSource* table, uint32_t entry, int64_t position) override;
    bool OpenNumberedEntry(IndexSource* table, int32_t tableNumber, uint32_t entry,
                           int64_t position) override {
        return c_.requests_.OpenNumberedEntry(table, tableNumber, entry, position);
    }
    bool OpenEntryInBook(uint32_t book, int64_t position, int32_t tableNumber,
                         uint32_t entry) override {
        return c_.requests_.OpenEntryInBook(book, position, tableNumber, entry);
    }
    bool RunEntryScript(IndexRecordSet* set, int32_t tableNumber, uint32_t entry,
                        const String& script) override {
        return c_.requests_.RunEntryScript(set, tableNumber, entry, script);
    }
    bool OpenDocumentLocation(const String& location) override;
    bool TakesPageRequests() const override { return true; }
    bool OpenPageRequest(const CommandRecord& request) override {
        return c_.ReopenWithRequest(request);
    }
    void ShowPopupText(const String& text) override {
        if (c_.reader_) c_.reader_->ShowPopupPage(text, 2, Point{});
    }
    bool ShowIndexEntries(IndexSource* table, const String& heading,
                          const std::vector<uint32_t>& entries, bool keysOnly,
                          const String& globalName) override {
        // The links name the entries in the book's own location: followed, they open there.
        String book;
        if (!c_.reader_ || !table || !c_.location_.ToString(book, true)) return false;
        return c_.reader_->ShowIndexEntries(*table, heading, entries, keysOnly, book, globalName);
    }
    void ShowPreviewPosition(int64_t position) override;
    void HidePreview() override { c_.records_.HidePreview(); }
    void PaintPreview(GraphicsContext& gc, const Rect& area) override {
        c_.records_.PaintPreview(gc, area);
    }
    void HideInputPanel() override { RecordRequests::HideInputPanel(); }
    std::unique_ptr<SearchField> MakeSearchField(Node* owner) override {
        return c_.records_.MakeSearchField(owner);
    }

    // The forms' handlers run as book scripts; the links they open wait for the command queue.
    bool RunHandler(ScriptObject* self, const String& script, uint32_t /*argument*/,
                    String* result) override {
        BookActionBridge* actions = c_.scripting_.Actions();
        return actions && actions->RunHandler(self, script, result);
    }
    bool OpenLink(const String& text, bool /*absolute*/) override {
        // A link without a scheme is resolved against the document shown, an absolute one
        // stays.
        BookActionBridge* actions = c_.scripting_.Actions();
        if (actions) return actions->OpenLinkLater(text);
        return c_.ActivateLink(text);
    }
    int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) override {
        return c_.reader_ ? c_.reader_->GetLink()->MessageBoxById(captionId, textId, style) : 0;
    }
    TimerList* Timers() override { return c_.reader_ ? &c_.reader_->Timers() : nullptr; }
    const AppPaths* Paths() override {
        return c_.reader_ ? c_.reader_->GetLink()->Paths() : nullptr;
    }

    // What a record page's requests ask.
    ListPageRequests* ListPages() override { return c_.records_.ListPages(); }
    LinkedBooks* Linked() override { return c_.records_.Linked(); }
    bool RunWithRecordSet(IndexRecordSet* set, uint32_t entry, const String& script) override {
        return c_.RunWithRecordSet(set, entry, script);
    }
    bool OpenRequestAt(Location& location, const CommandRecord& record, bool report) override;
    void Report(uint32_t id) override { c_.reports_.push_back(id); }

    // What the book script asks: the form list as its first host object.
    FormList& ScriptForms() override { return c_.forms_.List(); }

    // What running a reference asks.
    bool GoToTextPosition(uint32_t position) override { return c_.GoToPosition(position); }
    bool FollowLink(const String& link) override { return c_.ActivateLink(link); }

    // What speech asks of the page shown.
    bool PageRange(uint32_t& start, uint32_t& end) override { return c_.PageRange(start, end); }
    uint32_t BookLanguage() override {
        DocumentSource* document = c_.resource_ ? c_.resource_->GetDocument() : nullptr;
        return document ? document->GetLanguage() & 0xFFFF : 0;
    }

    bool CapturePlace(HistoryEntry& entry) override { return c_.SaveHistoryState(entry, true); }
    bool OpenPlace(const HistoryEntry& entry) override { return c_.OpenHistoryEntry(entry, false); }
    const Location* ShownLocation() const override { return c_.CurrentLocation(); }
    const char16_t* ListPageShown() const override {
        ReaderListWindow* library = c_.reader_ ? c_.reader_->GetLibraryView() : nullptr;
        ReaderListWindow* notes = c_.reader_ ? c_.reader_->GetAnnotationsWindow() : nullptr;
        if (library && library->IsVisible()) return u"oeb:library";
        if (notes && notes->IsVisible()) return u"oeb:bookmarks";
        return nullptr;
    }
    void HistoryPushed() override {
        if (c_.sink_) c_.sink_->OnCommandNotice(&c_, -1, c_.cookie_);
    }

    // What the list pop-ups over the page ask: their links run as the book's, their state is
    // kept with the page's view state.
    void PerformAction(LinkTarget* target, Point /*point*/) override {
        c_.PerformAction(target, 0);
    }
    int8_t FontSize() override {
        return c_.settings_ ? static_cast<int8_t>(c_.settings_->FontSize()) : 0;
    }
    uint8_t DisplayFace() override { return 0; }
    bool GetPopupArea(Rect& out) override {
        if (!c_.reader_ || c_.reader_->PopupRect().IsEmpty()) return false;
        out = c_.reader_->PopupRect();
        return true;
    }
    void KeepPopupState(ByteStream& state) override {
        PositionViewElement* view = c_.page_.View();
        if (!view) return;
        ByteStream& own = view->OwnState();
        own.Clear();
        if (state.Size() > 0) own.WriteBytes(state.Data(), state.Size());
    }
    void ClearPopupState() override {
        if (PositionViewElement* view = c_.page_.View()) view->OwnState().Clear();
    }

    // Where a record page is shown: the window's surface and area, and the settings it reads.
    RecordPages::Place RecordPagePlace();

    // Opening (book_document_controller.cpp).
    bool OpenBuiltInPage(uint32_t id);
    void ReportFailure(const Location& location);
    // The side file under the book's base name proved to be another book's.
    void TakeOwnSideFile();
    // Replaced views and layouts are parked until the next navigation: the one that asked may
    // still be running.
    void FreeRetired();
    bool ShowRecordSet(const String& anchor);
    void LeaveRecordSet();

    // The view over the page, the audio place and the bar of the view shown
    // (book_document_controller_media.cpp).
    Node* ViewOverPage() const;
    bool RestoreAudioPosition();
    void ShowBarOfView();

    // The views requests open (book_document_controller_records.cpp).
    bool OpenIndexRequest(const CommandRecord& record);
    bool OpenQueryRequest(const CommandRecord& record);
    bool OpenListRequest(const CommandRecord& record);
    bool ShowRequestedView(std::unique_ptr<RecordPages::Tables> tables,
                           std::unique_ptr<DatabaseView> view, const String& location);
    // The word-list and reading-history databases and pages open through requests.
    bool OpenListDatabase(Location& location);
    bool OpenListLocation(const String& anchor);
    bool ExecuteListPageCommand(int32_t id);

private:
    BookDocumentController& c_;
};

