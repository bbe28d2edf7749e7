#include "reader/book_action_bridge.h"

#include "core/geometry.h"
#include "document/location/location.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

namespace {
constexpr uint32_t kScriptParseError = 5037;
}

BookActionBridge::BookActionBridge(BookDocumentController* document, ReaderController* reader)
    : document_(document),
      reader_(reader),
      policy_(reader),
      script_(this, nullptr),
      life_(std::make_shared<int>(0)) {}

BookActionBridge::~BookActionBridge() = default;

void BookActionBridge::SetDatabaseHost(ScriptObject* database) {
    script_.SetDatabaseHost(database);
}

bool BookActionBridge::RunCommand(int32_t id) {
    if (!reader_) return false;
    reader_->OnCommand(id, false);
    return true;
}

bool BookActionBridge::ActivateLink(const String& url) {
    return document_ && document_->ActivateLink(url);
}

// Requests: the location is resolved against the current document.
bool BookActionBridge::OpenRequest(const String& url, const CommandRecord& record) {
    if (!document_) return false;
    Location target;
    return target.Resolve(url, document_->CurrentLocation()) &&
           document_->OpenWithRequest(target, record);
}

bool BookActionBridge::ReopenWithRecord(const CommandRecord& record) {
    return document_ && document_->ReopenWithRequest(record);
}

ScriptObject* BookActionBridge::OpenTableEntry(const String* name) {
    return document_ ? document_->OpenTableEntry(name) : nullptr;
}

uint32_t BookActionBridge::HistoryMode() {
    return document_ ? document_->History().GetMode() : 0;
}

void BookActionBridge::SetHistoryMode(uint32_t mode) {
    if (document_) document_->History().SetMode(mode);
}

bool BookActionBridge::GoToTextPosition(uint32_t position) {
    return document_ && document_->GoToPosition(position);
}

bool BookActionBridge::DispatchWidgetEvent(const String& text, uint32_t, String* result) {
    if (!document_) return false;
    return ::DispatchWidgetEvent(*this, document_->BookScript(), nullptr, text, result) == 0;
}

bool BookActionBridge::BackToOtherDocument() {
    return document_ && document_->BackToOtherDocument();
}

bool BookActionBridge::GoToPage(uint32_t n) {
    return document_ && document_->GoToPage(n);
}

bool BookActionBridge::StepPage(int32_t step, int32_t, int32_t) {
    return document_ && document_->StepPage(step);
}

bool BookActionBridge::GoFirstPage() {
    return document_ && document_->GoToFirstPage();
}

bool BookActionBridge::GoToContents() {
    return document_ && document_->GoToContents();
}

bool BookActionBridge::OpenRandomTableEntry(const String* name) {
    return document_ && document_->OpenRandomTableEntry(name);
}

bool BookActionBridge::PreviousAnnotation() {
    return document_ && document_->OpenPreviousAnnotation();
}

bool BookActionBridge::NextAnnotation() {
    return document_ && document_->OpenNextAnnotation();
}

bool BookActionBridge::TileWindows(uint32_t vertical, uint32_t skipUnnamed) {
    if (!document_) return false;
    document_->TileWindows(vertical != 0, skipUnnamed != 0);
    return true;
}

bool BookActionBridge::EditAnnotation(uint32_t n) {
    return reader_ && reader_->EditAnnotation(static_cast<int32_t>(n));
}

bool BookActionBridge::ChangeFontSize(int32_t step) {
    return document_ && document_->ChangeFontSize(step);
}

bool BookActionBridge::ShowPopupPage(const String& url, uint32_t kind) {
    return reader_ && reader_->ShowPopupPage(url, kind, Point{});
}

bool BookActionBridge::ShowNotePopup(uint32_t n) {
    return reader_ && reader_->ShowNotePopup(static_cast<int32_t>(n), Point{});
}

bool BookActionBridge::SetPositionView(uint32_t id) {
    PageLayout* layout = document_ ? document_->Layout() : nullptr;
    if (!layout || !layout->SelectTable(id)) return false;
    // The frame changes colour at the next drawing of the page.
    document_->Invalidate(true);
    return true;
}

bool BookActionBridge::SelectRange(uint32_t id, int32_t step) {
    PageLayout* layout = document_ ? document_->Layout() : nullptr;
    if (!layout || !layout->ScrollTables(Point{step, 0}, id)) return false;
    // The marks inside the table moved with its content: they are made again with the page.
    layout->ClearCurrentBlockMarks();
    document_->Invalidate(true);
    return true;
}

bool BookActionBridge::ShowBusyText(const String& text, uint32_t ms) {
    return reader_ && reader_->ShowBusyText(text, ms);
}

bool BookActionBridge::HistoryBack() {
    return document_ && document_->HistoryBack(false);
}

bool BookActionBridge::HistoryForward() {
    return document_ && document_->HistoryForward();
}

bool BookActionBridge::HistoryToLast() {
    return document_ && document_->HistoryToLast();
}

bool BookActionBridge::ClearHistory() {
    if (!document_) return false;
    document_->ClearHistory();
    return true;
}

bool BookActionBridge::AddToCart(const String& cart, const String& item, const String& extra) {
    return reader_ && reader_->AddToCart(cart, item, extra);
}

bool BookActionBridge::RemoveFromCart(const String& cart, uint32_t n) {
    return reader_ && reader_->RemoveFromCart(cart, static_cast<int32_t>(n));
}

bool BookActionBridge::ClearCart(const String& cart) {
    return reader_ && reader_->ClearCart(cart);
}

bool BookActionBridge::SubmitInteractionsCart(const String& cart, const String& title) {
    return reader_ && reader_->SubmitInteractionsCart(cart, title);
}

bool BookActionBridge::WriteCartXml(const String& cart, const String& file) {
    return reader_ && reader_->WriteCartXml(cart, file);
}

bool BookActionBridge::GetSelectionOrLastWord(String& text, String& language) {
    uint32_t start = 0, end = 0;
    language.SetEmpty();
    return document_ && document_->GetSelection(text, start, end);
}

bool BookActionBridge::CurrentLocationText(String& href, String& query) {
    const Location* location = document_ ? document_->CurrentLocation() : nullptr;
    if (!location || !location->ToString(href, true)) return false;
    if (!location->GetQuery(query, false)) query.SetEmpty();
    return true;
}

int32_t BookActionBridge::HistoryPosition() {
    return document_ ? static_cast<int32_t>(document_->HistoryPosition()) : 0;
}

bool BookActionBridge::GoToReference(const String& name) {
    return document_ && document_->OpenReference(name);
}

void BookActionBridge::ShowScriptError() {
    if (reader_) reader_->MessageBoxById(-1, kScriptParseError, MessageKind::kError);
}
