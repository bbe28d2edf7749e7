// A custom link in progress ("Add link", then "Set link target"): its source (the selected text
// of a page, or a note, to which the link is added) and, once marked, its target (the state
// shown then, its title, and the target book's database name). Written into the source book's
// side file as one annotation; a target in another book is named by "oeb:redirect?title=" and
// that name, so that the link survives the book moving to another folder.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "reader/navigation_history.h"

class AnnotationFile;

class CustomLinks {
public:
    enum Kind : uint32_t { kNone = 0, kFromNote = 1, kFromSelection = 2 };

    Kind Pending() const { return kind_; }
    // A link from the selected text [start, end) of the place `source`.
    void StartFromSelection(HistoryEntry source, uint32_t start, uint32_t end, const String& text);
    // A link added to a note of the book at `source`.
    void StartFromNote(HistoryEntry source, int32_t note);
    // The place the link leads to, with its title and its book's database name.
    void MarkTarget(HistoryEntry target, const String& title, const String& databaseName);
    const Location& SourceLocation() const { return source_.location; }
    // The text the link carries: "##-pos" and the target's page start within the source book,
    // else the redirect by the target book's database name. False without a target.
    bool TextForTarget(String& out) const;
    // Writes the link into the source book's side file; index receives the annotation. A
    // failure leaves the file as it was (a note keeps its text and link); success ends the link.
    bool WriteTo(AnnotationFile& file, int32_t& index);

private:
    Kind kind_ = kNone;
    HistoryEntry source_;
    uint32_t start_ = 0;
    uint32_t end_ = 0;
    String text_;
    int32_t note_ = -1;
    bool targetSet_ = false;
    HistoryEntry target_;
    String title_;
    String targetName_;
};
