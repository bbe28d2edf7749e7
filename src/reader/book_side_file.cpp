#include "reader/book_side_file.h"

#include "bookfiles/annotation_file.h"
#include "document/sources/document_loader.h"
#include "database/resource.h"
#include "reader/navigation_history.h"

BookSideFile::BookSideFile() = default;

BookSideFile::~BookSideFile() { Close(); }

void BookSideFile::Open(DocumentLoader* loader, Resource* book, bool ownOnly) {
    Close();
    if (!loader || !book) return;
    // The loader takes over the reference it is given.
    file_ = RefPtr<AnnotationFile>::Adopt(
        loader->OpenAnnotationFile(RefPtr<Resource>(book).TakePointer(), ownOnly));
}

void BookSideFile::Close() {
    if (!file_) return;
    file_->Flush();
    Drop();
}

void BookSideFile::Drop() {
    file_.Reset();
}

bool BookSideFile::TakeBookChanged() {
    return file_ && !file_->TakeChangedAside().empty();
}

bool BookSideFile::TakeTakenBack() {
    return file_ && !file_->TakeTakenBack().empty();
}

std::string BookSideFile::TakeDamagedAside(bool& named) {
    named = false;
    return file_ ? file_->TakeDamagedAside(&named) : std::string();
}

void BookSideFile::CountOpening(int64_t minutes) {
    if (!file_) return;
    file_->SetOpenCount(file_->GetOpenCount() + 1);
    file_->SetReadingTime(minutes);
    file_->Flush();
}

bool BookSideFile::ReadPlace(bool audio, HistoryEntry& entry) const {
    if (!file_) return false;
    std::vector<uint8_t> state;
    uint32_t word = 0, position = 0;
    bool found = audio ? file_->GetAudioPosition(&word, &position, &state)
                       : file_->GetReadingPosition(&word, &position, &state);
    if (!found || word == 0 || position == 0) return false;
    entry.viewWord = word;
    entry.viewPosition = static_cast<int32_t>(position);
    if (!state.empty()) entry.state.WriteBytes(state.data(), state.size());
    return true;
}

bool BookSideFile::WriteTextPlace(const HistoryEntry& entry) {
    if (!file_) return false;
    return file_->SetReadingPosition(entry.viewWord, static_cast<uint32_t>(entry.viewPosition),
                                     entry.state.Data(), entry.state.Size()) == 0 &&
           file_->SetAudioLast(false) == 0;
}

bool BookSideFile::WriteAudioPlace(const HistoryEntry& entry, bool written) {
    if (!file_) return false;
    written = written && file_->SetAudioPosition(entry.viewWord,
                                                 static_cast<uint32_t>(entry.viewPosition),
                                                 entry.state.Data(), entry.state.Size()) == 0;
    return file_->SetAudioLast(written) == 0 && written;
}

bool BookSideFile::KeepAudioPlace() {
    if (!file_) return false;
    uint32_t a = 0, b = 0;
    std::vector<uint8_t> state;
    if (!file_->GetAudioPosition(&a, &b, &state)) return false;
    if (file_->SetAudioPosition(a, b, state.data(), static_cast<uint32_t>(state.size())))
        return false;
    return file_->SetAudioLast(true) == 0;
}

bool BookSideFile::ReadFormBlock(ByteStream& out) const {
    std::vector<uint8_t> block;
    if (!file_ || !file_->GetFormState(&block)) return false;
    // A block whose length is no multiple of 4 is not one of ours.
    if (block.empty() || block.size() % 4 != 0) return false;
    return out.WriteBytes(block.data(), block.size()) && out.SetReadPosition(0);
}

bool BookSideFile::WriteFormBlock(const ByteStream& block) {
    return file_ && file_->SetFormState(block.Data(), block.Size()) == 0;
}

bool BookSideFile::Flush() { return file_ && file_->Flush() == 0; }

namespace {
bool AnnotationStart(const AnnotationFile& file, int32_t i, uint32_t& start) {
    uint32_t end = 0;
    return file.GetBookmarkKind(i) != 0 &&
           file.GetBookmarkRange(i, &start, &end, nullptr, nullptr, nullptr) == 0;
}
}  // namespace

int32_t BookSideFile::PreviousIndex(int32_t page) const {
    if (!file_) return -1;
    int32_t last = -1, before = -1;
    BookmarkIterator it;
    file_->StartIterator(&it, 0, 0, 0xFFFFFFFFu);
    for (int32_t i = file_->FindNext(&it); i >= 0; i = file_->FindNext(&it)) {
        uint32_t start = 0;
        if (!AnnotationStart(*file_, i, start)) continue;
        last = i;
        if (page >= 0 && start < static_cast<uint32_t>(page)) before = i;
    }
    return before >= 0 ? before : last;
}

int32_t BookSideFile::NextIndex(int32_t page, uint32_t pageEnd) const {
    if (!file_) return -1;
    int32_t first = -1;
    BookmarkIterator it;
    file_->StartIterator(&it, 0, 0, 0xFFFFFFFFu);
    for (int32_t i = file_->FindNext(&it); i >= 0; i = file_->FindNext(&it)) {
        uint32_t start = 0;
        if (!AnnotationStart(*file_, i, start)) continue;
        if (first < 0) first = i;
        if (page < 0) return i;
        if (pageEnd != 0xFFFFFFFFu ? start >= pageEnd : start > static_cast<uint32_t>(page))
            return i;
    }
    return first;
}

std::vector<int32_t> BookSideFile::HighlightsIn(uint32_t start, uint32_t end) const {
    std::vector<int32_t> found;
    if (!file_) return found;
    BookmarkIterator it;
    file_->StartIterator(&it, AnnotationFile::kHighlight, start, end);
    for (int32_t i = file_->FindNext(&it); i >= 0; i = file_->FindNext(&it)) {
        uint32_t from = 0, to = 0;
        if ((file_->GetBookmarkKind(i) & 0x3F) != AnnotationFile::kHighlight ||
            file_->GetBookmarkRange(i, &from, &to, nullptr, nullptr, nullptr) != 0)
            continue;
        if (from < end && to > start) found.push_back(i);
    }
    return found;
}

bool BookSideFile::HoldsHighlight(uint32_t start, uint32_t end) const {
    if (!file_ || start >= end) return false;
    BookmarkIterator it;
    file_->StartIterator(&it, AnnotationFile::kHighlight, start, end);
    for (int32_t i = file_->FindNext(&it); i >= 0; i = file_->FindNext(&it)) {
        uint32_t from = 0, to = 0;
        if ((file_->GetBookmarkKind(i) & 0x3F) == AnnotationFile::kHighlight &&
            file_->GetBookmarkRange(i, &from, &to, nullptr, nullptr, nullptr) == 0 &&
            from < end && to > start)
            return true;
    }
    return false;
}

void BookSideFile::DeleteAll(const std::vector<int32_t>& found) {
    if (!file_) return;
    // Backwards: deleting moves the indexes of the records after it.
    for (auto i = found.rbegin(); i != found.rend(); ++i) file_->DeleteBookmark(*i);
}

bool BookSideFile::LinkOf(int32_t index, String& link) const {
    if (!file_ || index < 0) return false;
    uint32_t kind = file_->GetBookmarkKind(index) & 0x3F;
    if (kind != AnnotationFile::kNote && kind != AnnotationFile::kModification &&
        kind != AnnotationFile::kLink)
        return false;
    uint32_t length = 0;
    const char16_t* url = file_->GetBookmarkUrl(index, &length);
    if (!url || length == 0) return false;
    link.AssignChars(url, static_cast<int32_t>(length));
    return true;
}

bool BookSideFile::PageOf(int32_t index, uint32_t& start, uint32_t& word, uint32_t& position,
                          std::vector<uint8_t>& state) const {
    uint32_t end = 0;
    state.clear();
    if (!file_ || index < 0 || file_->GetBookmarkKind(index) == 0 ||
        file_->GetBookmarkRange(index, &start, &end, &word, &position, nullptr) != 0)
        return false;
    // The page kept with the annotation, a state stream of whole words as the reading position
    // keeps it; annotations made without one (drawings, older side files) have none and page 0.
    const bool kept = word != 0 && position <= start && file_->GetBookmarkState(index, &state) &&
                      !state.empty() && state.size() % 4 == 0;
    if (!kept) state.clear();
    return true;
}

String BookSideFile::Title() const {
    String title;
    uint32_t length = 0;
    if (const char16_t* t = file_ ? file_->GetTitle(&length) : nullptr)
        title.AssignChars(t, static_cast<int32_t>(length));
    return title;
}

int32_t BookSideFile::FirstNoteIn(uint32_t start, uint32_t end) const {
    if (!file_) return -1;
    BookmarkIterator it;
    file_->StartIterator(&it, AnnotationFile::kNote, start, end);
    return file_->FindNext(&it);
}

bool BookSideFile::IsNote(int32_t index) const {
    return file_ && index >= 0 && (file_->GetBookmarkKind(index) & 0x3F) == AnnotationFile::kNote;
}
