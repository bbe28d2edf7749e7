// The checkpoints a replay starts from: the scan state and open elements at positions passed by
// earlier readings, so that a page far into a document that must be read from its first page
// (its open elements are only known that way) is not read from there every time. Four kinds:
// exact ones, every kSpacing positions of a reading from the first page or an exact one; those
// of readings that rebuilt a far target's elements from a stretch before it (marked rebuilt: an
// exact reading never starts from one); a few near recent targets, for the PageUp or LineUp
// that most often follows a jump; and those kept across sessions, in their saved form.
//
// The store only keeps and chooses: what a checkpoint holds is taken by the layout, which
// reads the source.
//
// Threading: GUI thread only, like the layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/element_stack.h"

struct DocumentDefaults;

class ReplayCheckpoints {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint32_t kSpacing = 8192;
    static constexpr int32_t kMaxNearby = 8;
    // Kept ones lie at least this far apart, and there are at most kMaxKept of them.
    static constexpr uint32_t kKeptSpacing = 65536;
    static constexpr uint32_t kMaxKept = 256;

    // rebuilt: made by a reading that began a stretch before its target (not necessarily
    // what reading from the first page gives).
    struct Checkpoint {
        uint32_t position = 0;
        ByteStream scanState;
        ElementStack stack;
        bool rebuilt = false;
    };
    // A checkpoint kept across sessions, its open elements in their saved form (restored with
    // the settings of the moment).
    struct KeptCheckpoint {
        uint32_t position = 0;
        ByteStream scanState;
        ByteStream stack;
        bool rebuilt = false;
    };
    // Where a replay to a position begins: a checkpoint (live or kept), the first page, or a
    // fresh start a rebuilding stretch back.
    struct Start {
        uint32_t position = 0;
        const Checkpoint* live = nullptr;
        const KeptCheckpoint* kept = nullptr;
        bool fresh = false;
        bool rebuilt = false;
    };

    // Another source: every checkpoint goes, the kept ones too.
    void Clear();
    // New settings: the readings' checkpoints go; the kept ones, restored with the settings of
    // the moment, stay.
    void ForgetReadings();
    void ForgetNearby() { nearby_.clear(); }

    // Whether an exact reading at the position leaves a checkpoint there: a spacing past the
    // first page's start and past the last one.
    bool WantsExact(uint32_t position, uint32_t firstStart) const;
    // A checkpoint of an exact reading, unless one lies less than the spacing before it.
    void AddExact(Checkpoint checkpoint);
    // Whether a rebuilding reading may leave a checkpoint at the position: none of that kind
    // lies within the spacing of it.
    bool WantsRebuilt(uint32_t position) const;
    // Rebuilding readings start anywhere: their checkpoints go in position order.
    void AddRebuilt(Checkpoint checkpoint);
    // A checkpoint near a recent target; the oldest goes when there are kMaxNearby. With
    // `once`, one at a position already held is not added again.
    void AddNearby(Checkpoint checkpoint, bool once);
    // The nearest checkpoint of the kind at or before `reach`, else (exact only) the first
    // page at `firstStart`; kNone as the position when a rebuilt one is wanted and none lies
    // there.
    Start Nearest(uint32_t reach, bool rebuilt, uint32_t firstStart) const;

    // Kept across sessions. Saving writes the kept ones with those this session's readings
    // added, thinned to the spacing, each kind in a section of its own (a count, then each in
    // position order; no rebuilt ones, no second section), and answers false when none was
    // added. Loading takes all or none: anything short, out of order, past the text or not
    // restorable drops them.
    bool SaveKept(ByteStream& out, uint32_t textLength) const;
    bool LoadKept(ByteStream& in, uint32_t textLength, const DocumentDefaults& defaults);
    size_t KeptCount() const { return kept_.size(); }
    size_t KeptRebuiltCount() const;
    static bool RestoreKeptStack(const KeptCheckpoint& kept, const DocumentDefaults& defaults,
                                 ElementStack& out);

private:
    // At most kMaxKept of them fit in a text of any length.
    static uint32_t KeptSpacing(uint32_t textLength);
    static bool ReadKeptSection(ByteStream& in, bool rebuilt, uint32_t textLength,
                                const DocumentDefaults& defaults, std::vector<KeptCheckpoint>& out);

    std::vector<Checkpoint> exact_;
    // Oldest first.
    std::vector<Checkpoint> nearby_;
    // In position order.
    std::vector<Checkpoint> rebuilt_;
    std::vector<KeptCheckpoint> kept_;
};
