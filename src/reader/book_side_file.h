// The side file of the open book and the annotations in it: opened when a book becomes current
// (or replaced by one of the book's own when the one under its base name proves another
// book's), written with the reading position, the audio place and the form values, and closed
// with the book so that nothing writes into it afterwards. The questions about annotations the
// reader's commands ask (the one before or after a page, the highlights a selection meets, the
// link an annotation carries) are answered here from the file alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "core/ref_counted.h"
#include "core/string.h"

class AnnotationFile;
class DocumentLoader;
class Resource;
struct HistoryEntry;

class BookSideFile {
public:
    BookSideFile();
    ~BookSideFile();
    BookSideFile(const BookSideFile&) = delete;
    BookSideFile& operator=(const BookSideFile&) = delete;

    // Null without a side file.
    AnnotationFile* File() const { return file_.Get(); }
    // The side file of the book through the loader; ownOnly: one under the book's full name.
    void Open(DocumentLoader* loader, Resource* book, bool ownOnly = false);
    // Flushes and lets the file go.
    void Close();
    // Lets the file go unwritten (it is another book's).
    void Drop();
    // True once after the file on disk was kept aside because the book changed.
    bool TakeBookChanged();
    // True once after a file kept aside for a change came back: the book is again the one it
    // was made for.
    bool TakeTakenBack();
    // Once: where a side file that could not be read whole (or that named a book not beside
    // it: `named`) was kept aside when it was opened; empty when none was.
    std::string TakeDamagedAside(bool& named);

    // Another opening: the open count, and the reading time the library sorts on.
    void CountOpening(int64_t minutes);
    // The stored text (or audio) place as a history entry's view state; false without one.
    bool ReadPlace(bool audio, HistoryEntry& entry) const;
    // The text place (the audio flag cleared); false when the write failed.
    bool WriteTextPlace(const HistoryEntry& entry);
    // The audio page's place (track, second, playlist state); written marks audio as last.
    bool WriteAudioPlace(const HistoryEntry& entry, bool written);
    // The audio place stored, kept and marked as last (the page could not tell a newer one).
    bool KeepAudioPlace();
    // The form values' block; false without one or with one that is not ours.
    bool ReadFormBlock(ByteStream& out) const;
    bool WriteFormBlock(const ByteStream& block);
    [[nodiscard]] bool Flush();

    // The annotation before the page start (else the book's last) and the first past the page
    // (else the book's first): -1 when there is none. pageStart < 0: no page.
    int32_t PreviousIndex(int32_t pageStart) const;
    int32_t NextIndex(int32_t pageStart, uint32_t pageEnd) const;
    // The highlights that meet [start, end), in file order.
    std::vector<int32_t> HighlightsIn(uint32_t start, uint32_t end) const;
    bool HoldsHighlight(uint32_t start, uint32_t end) const;
    // Deletes those annotations (indexes in file order); the later indexes first.
    void DeleteAll(const std::vector<int32_t>& found);
    // The link a note, modification or custom link carries; false when it has none.
    bool LinkOf(int32_t index, String& link) const;
    // The range of an annotation and the page kept with it (empty state when none was kept or
    // the one kept is not whole words); false for no such annotation.
    bool PageOf(int32_t index, uint32_t& start, uint32_t& word, uint32_t& position,
                std::vector<uint8_t>& state) const;
    // The title the side file keeps; empty when none.
    String Title() const;
    // The first note in the range; -1 when none.
    int32_t FirstNoteIn(uint32_t start, uint32_t end) const;
    bool IsNote(int32_t index) const;

private:
    RefPtr<AnnotationFile> file_;
};
