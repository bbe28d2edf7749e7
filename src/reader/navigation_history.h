// The navigation history of a document controller: at most eight states, a position that names
// the state shown while the reader has stepped back, marked entries kept longest, and the
// recording mode that lets one navigation record exactly one state.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/byte_stream.h"
#include "document/location/location.h"

struct HistoryEntry {
    HistoryEntry() { location.SetKind(Location::kEmptyKind); }
    HistoryEntry(const HistoryEntry& other) { CopyFrom(other); }
    HistoryEntry& operator=(const HistoryEntry& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    HistoryEntry(HistoryEntry&&) = default;
    HistoryEntry& operator=(HistoryEntry&&) = default;

    void CopyFrom(const HistoryEntry& other);
    void Clear();

    uint32_t mark = 0;
    Location location;
    int32_t viewPosition = -1;
    uint32_t viewWord = 0;
    ByteStream state;
};

// The header the top-level controller writes before a view's own state: "EBAR", version 1 and
// the link-focus path.
namespace HistoryState {
constexpr uint32_t kTag = 0x45424152;
constexpr uint32_t kVersion = 1;

bool WriteHeader(ByteStream& stream, const std::vector<uint32_t>& focusPath);
enum class HeaderResult { kRead, kForeign, kBad };
// kForeign rewinds the stream: the view gets all of it. kBad: a wrong version or a path longer
// than what the stream still holds.
HeaderResult ReadHeader(ByteStream& stream, std::vector<uint32_t>& focusPath);
}  // namespace HistoryState

class NavigationHistory {
public:
    static constexpr uint32_t kCapacity = 8;
    enum Mode : uint32_t { kRecord = 0, kDoNotRecord = 1, kRecordNext = 2 };

    uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
    uint32_t Position() const { return position_; }
    const HistoryEntry& Entry(uint32_t i) const { return entries_[i]; }
    HistoryEntry& Entry(uint32_t i) { return entries_[i]; }

    uint32_t GetMode() const { return mode_; }
    void SetMode(uint32_t mode) { mode_ = mode; }
    // Slot 45: the next saved entry is marked.
    void MarkNext() { markNext_ = 1; }
    // Takes the mark byte for an entry being saved.
    uint32_t TakeMark() {
        uint32_t m = markNext_;
        markNext_ = 0;
        return m;
    }

    // False when the mode refuses recording; otherwise true, with pushed telling whether the
    // entry was stored (a state equal to the last entry is not stored twice).
    bool WantsPush();
    bool Push(HistoryEntry&& entry, bool& pushed);
    // A failed navigation takes back the entry it pushed.
    void UndoPush();
    // Drops the entries of the files that are gone (deleted, or on a card taken out): those
    // whose file's path `gone` answers true for. The position keeps naming the same state.
    void DropFiles(const std::function<bool(String&)>& gone);
    bool CanBack() const { return position_ > 0; }
    bool CanForward() const { return position_ + 1 < Count(); }
    void SetPosition(uint32_t p) { position_ = p <= Count() ? p : Count(); }
    // The last marked entry; -1 when none.
    int32_t LastMarked() const;
    void Clear();

private:
    std::vector<HistoryEntry> entries_;
    // The list as it was before the last push, so that a failed open leaves no trace.
    std::vector<HistoryEntry> beforePush_;
    uint32_t positionBeforePush_ = 0;
    bool canUndo_ = false;
    uint32_t position_ = 0;
    uint32_t mode_ = kRecord;
    uint32_t markNext_ = 0;
};
