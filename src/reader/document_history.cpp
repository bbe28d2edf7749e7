#include "reader/document_history.h"

bool DocumentHistory::Push(bool& pushed) {
    pushed = false;
    if (!history_.WantsPush()) return false;
    HistoryEntry entry;
    if (const char16_t* list = places_.ListPageShown()) {
        entry.location.Resolve(String(list), nullptr);
    } else {
        if (!places_.ShownLocation()) return true;  // nothing to remember
        if (!places_.CapturePlace(entry)) return false;
    }
    return history_.Push(std::move(entry), pushed);
}

bool DocumentHistory::PushAndNotify(bool& pushed) {
    bool ok = Push(pushed);
    if (ok && pushed) places_.HistoryPushed();
    return ok;
}

bool DocumentHistory::SaveAtEnd() {
    if (history_.GetMode() != NavigationHistory::kRecord) return true;
    if (history_.Position() == history_.Count()) {
        bool pushed = false;
        if (!Push(pushed)) return false;
        // An equal state was not stored again; the history names it already.
        if (pushed) history_.SetPosition(history_.Count() - 1);
        return true;
    }
    return StoreEntry();
}

bool DocumentHistory::StoreEntry() {
    if (history_.Position() >= history_.Count()) return true;
    if (!places_.ShownLocation()) return false;
    HistoryEntry entry;
    if (!places_.CapturePlace(entry)) return false;
    entry.mark = history_.Entry(history_.Position()).mark;
    history_.Entry(history_.Position()) = std::move(entry);
    return true;
}

bool DocumentHistory::StepBack() {
    if (history_.Position() == 0) return false;
    if (!SaveAtEnd() || history_.Position() == 0) return false;
    history_.SetPosition(history_.Position() - 1);
    // A copy: opening may push and so move the entries.
    HistoryEntry entry(history_.Entry(history_.Position()));
    return places_.OpenPlace(entry);
}

bool DocumentHistory::StepForward() {
    if (!history_.CanForward() || !StoreEntry()) return false;
    history_.SetPosition(history_.Position() + 1);
    HistoryEntry entry(history_.Entry(history_.Position()));
    return places_.OpenPlace(entry);
}

bool DocumentHistory::ToLast() {
    int32_t i = history_.LastMarked();
    if (i < 0) return false;
    HistoryEntry entry(history_.Entry(static_cast<uint32_t>(i)));
    return places_.OpenPlace(entry);
}

bool DocumentHistory::FindOtherDocument() {
    const Location* shown = places_.ShownLocation();
    if (history_.Position() == 0 || !shown) return false;
    // Stored once: each step back must not overwrite the entries it passes.
    SaveAtEnd();
    shown = places_.ShownLocation();
    while (shown && history_.Position() > 0) {
        history_.SetPosition(history_.Position() - 1);
        if (Location::Compare(history_.Entry(history_.Position()).location, *shown) != 0)
            return true;
    }
    return false;
}

bool DocumentHistory::OpenFromFound() {
    history_.SetPosition(history_.Position() + 1);
    while (history_.Position() > 0) {
        history_.SetPosition(history_.Position() - 1);
        HistoryEntry entry(history_.Entry(history_.Position()));
        if (places_.OpenPlace(entry)) return true;
    }
    return false;
}
