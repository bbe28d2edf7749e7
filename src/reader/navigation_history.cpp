#include "reader/navigation_history.h"

#include <new>

#include "core/text.h"

void HistoryEntry::CopyFrom(const HistoryEntry& other) {
    mark = other.mark;
    location.CopyFrom(other.location);
    viewPosition = other.viewPosition;
    viewWord = other.viewWord;
    state.Clear();
    if (other.state.Size()) state.WriteBytes(other.state.Data(), other.state.Size());
}

void HistoryEntry::Clear() {
    mark = 0;
    location.Clear();
    location.SetKind(Location::kEmptyKind);
    viewPosition = -1;
    viewWord = 0;
    state.Clear();
}

namespace HistoryState {

bool WriteHeader(ByteStream& stream, const std::vector<uint32_t>& focusPath) {
    if (!stream.WriteWord32BE(kTag) || !stream.WriteWord32BE(kVersion) ||
        !stream.WriteWord32BE(static_cast<uint32_t>(focusPath.size())))
        return false;
    return focusPath.empty() || stream.WriteWords32BE(focusPath.data(), focusPath.size());
}

HeaderResult ReadHeader(ByteStream& stream, std::vector<uint32_t>& focusPath) {
    focusPath.clear();
    uint32_t start = stream.ReadPosition();
    if (stream.Remaining() < 12) return HeaderResult::kForeign;
    uint32_t tag = 0, version = 0, n = 0;
    stream.ReadWord32BE(tag);
    if (tag != kTag) {
        stream.SetReadPosition(start);
        return HeaderResult::kForeign;
    }
    stream.ReadWord32BE(version);
    stream.ReadWord32BE(n);
    // The count comes from a side file: compare it with what is left, never multiply it.
    if (version != kVersion || n > stream.Remaining() / 4) return HeaderResult::kBad;
    focusPath.resize(n);
    if (n && !stream.ReadWords32BE(focusPath.data(), n)) return HeaderResult::kBad;
    return HeaderResult::kRead;
}

}  // namespace HistoryState

bool NavigationHistory::WantsPush() {
    if (mode_ == kDoNotRecord) return false;
    if (mode_ == kRecordNext) mode_ = kDoNotRecord;
    return true;
}

bool NavigationHistory::Push(HistoryEntry&& entry, bool& pushed) {
    pushed = false;
    beforePush_ = entries_;
    positionBeforePush_ = position_;
    canUndo_ = false;
    if (position_ < Count()) entries_.resize(position_);
    if (!entries_.empty()) {
        const HistoryEntry& last = entries_.back();
        if (Location::EqualsString(last.location, entry.location, entry.location.Anchor()) &&
            last.viewWord == entry.viewWord) {
            // The state is the last entry already: nothing is stored, and the position stays,
            // so that Back still reaches that entry (the page as it was before the step).
            return true;
        }
    }
    if (Count() < kCapacity) {
        entries_.push_back(std::move(entry));
        position_ = Count();
        pushed = canUndo_ = true;
        return true;
    }
    uint32_t drop = 0;
    for (uint32_t i = 0; i < Count(); ++i) {
        if (entries_[i].mark == 0) {
            drop = i;
            break;
        }
    }
    entries_.erase(entries_.begin() + drop);
    entries_.push_back(std::move(entry));
    position_ = Count();
    pushed = canUndo_ = true;
    return true;
}

void NavigationHistory::UndoPush() {
    if (!canUndo_) return;
    entries_.swap(beforePush_);
    position_ = positionBeforePush_;
    beforePush_.clear();
    canUndo_ = false;
}

void NavigationHistory::DropFiles(const std::function<bool(String&)>& gone) {
    std::vector<HistoryEntry> kept;
    uint32_t position = position_;
    for (uint32_t i = 0; i < Count(); ++i) {
        Text file;
        String path;
        if (entries_[i].location.ToFileName(file) && file.ToWide(path) && gone(path)) {
            if (i < position_) --position;
            continue;
        }
        kept.push_back(std::move(entries_[i]));
    }
    entries_.swap(kept);
    position_ = position <= Count() ? position : Count();
    beforePush_.clear();
    canUndo_ = false;
}

int32_t NavigationHistory::LastMarked() const {
    for (int32_t i = static_cast<int32_t>(Count()) - 1; i >= 0; --i)
        if (entries_[i].mark) return i;
    return -1;
}

void NavigationHistory::Clear() {
    entries_.clear();
    beforePush_.clear();
    canUndo_ = false;
    position_ = 0;
    markNext_ = 0;
}
