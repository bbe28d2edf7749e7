#include "reader/record_set_page.h"

#include "core/resources.h"
#include "reader/command_record.h"
#include "reader/generated_pages.h"
#include "reader/page_links.h"

namespace {
constexpr uint32_t kMultipleMatchesId = 5103;
}  // namespace

std::unique_ptr<RecordSetPage> RecordSetPage::Open(const String& link,
                                                   IndexSourceResolver* tables,
                                                   RecordSetPageOwner* owner, String& location) {
    std::unique_ptr<DatabaseView> view = GeneratedPages::OpenPageLink(link, tables, location);
    return Adopt(std::move(view), owner);
}

std::unique_ptr<RecordSetPage> RecordSetPage::Adopt(std::unique_ptr<DatabaseView> view,
                                                    RecordSetPageOwner* owner) {
    if (!view) return nullptr;
    return std::unique_ptr<RecordSetPage>(new RecordSetPage(std::move(view), owner));
}

RecordSetPage::RecordSetPage(std::unique_ptr<DatabaseView> view, RecordSetPageOwner* owner)
    : view_(std::move(view)), owner_(owner) {
    view_->SetHost(this);
    node_ = std::make_unique<DatabaseViewNode>(view_.get());
}

RecordSetPage::~RecordSetPage() {
    view_->SetSearchField(nullptr);
    field_.reset();
    node_->Detach();
    node_.reset();
    view_.reset();
}

void RecordSetPage::Show(Widget* surface, const Rect& area) {
    node_->SetParent(surface);
    if (!field_ && owner_) {
        field_ = owner_->MakeSearchField(node_.get());
        if (field_) view_->SetSearchField(field_.get());
    }
    Rect rest{};
    node_->AdjustRect(rest, area);
    node_->Redraw(nullptr);
}

void RecordSetPage::PassBack() {
    if (owner_) owner_->PostHistoryBack();
}

bool RecordSetPage::OpenEntryTarget(IndexSource* table, uint32_t entry, int64_t position) {
    // The page may be replaced by the call: nothing of it is read afterwards.
    RecordSetPageOwner* owner = owner_;
    const int32_t number = view_->LevelTableNumber();
    return owner && owner->OpenNumberedEntry(table, number, entry, position);
}

bool RecordSetPage::OpenEntryInBook(uint32_t book, int64_t position, uint32_t entry) {
    RecordSetPageOwner* owner = owner_;
    const int32_t number = view_->LevelTableNumber();
    return owner && owner->OpenEntryInBook(book, position, number, entry);
}

bool RecordSetPage::RunEntryScript(IndexRecordSet* set, uint32_t entry, const String& script) {
    // The script may replace the page: nothing of it is read afterwards.
    RecordSetPageOwner* owner = owner_;
    const int32_t number = view_->LevelTableNumber();
    return owner && owner->RunEntryScript(set, number, entry, script);
}

bool RecordSetPageOwner::OpenQueryPageRequest(const String& query, const String& title,
                                              int32_t stateWord, const String& viewName,
                                              uint32_t flags) {
    if (TakesPageRequests()) {
        CommandRecord request;
        return GeneratedPages::MakeQueryRequest(query, title, stateWord, viewName, flags,
                                                request) &&
               OpenPageRequest(request);
    }
    String location;
    return PageLinks::BuildSqlLink(0, false, query, title, location) &&
           OpenDocumentLocation(location);
}

// The page is replaced by the query page: nothing of it is read afterwards.
bool RecordSetPage::OpenQueryRequest(const String& query, const String& title, int32_t stateWord,
                                     const String& viewName, uint32_t flags) {
    RecordSetPageOwner* owner = owner_;
    return owner && owner->OpenQueryPageRequest(query, title, stateWord, viewName, flags);
}
void RecordSetPage::ShowPopupText(const String& text) {
    if (owner_) owner_->ShowPopupText(text);
}

bool RecordSetPage::ShowLookupEntries(IndexSource* table, const std::vector<uint32_t>& entries,
                                      const String& globalName) {
    String heading;
    Resources::LoadString(heading, kMultipleMatchesId);
    return owner_ && owner_->ShowIndexEntries(table, heading, entries, false, globalName);
}

bool RecordSetPage::ShowSpellingCandidates(IndexSource* table, const String& heading,
                                           const std::vector<uint32_t>& entries,
                                           const String& globalName) {
    return owner_ && owner_->ShowIndexEntries(table, heading, entries, true, globalName);
}

void RecordSetPage::ShowPreview(IndexSource*, uint32_t, int64_t position) {
    if (owner_) owner_->ShowPreviewPosition(position);
}

void RecordSetPage::HidePreview() {
    if (owner_) owner_->HidePreview();
}

void RecordSetPage::PaintPreview(GraphicsContext& gc, const Rect& area) {
    if (owner_) owner_->PaintPreview(gc, area);
}

void RecordSetPage::Hide() {
    node_->Detach();
    view_->SetSearchField(nullptr);
    if (field_) field_->Show(false);
}

void RecordSetPage::HideInputPanel() {
    if (owner_) owner_->HideInputPanel();
}
