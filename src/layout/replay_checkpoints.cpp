// The checkpoints a replay starts from (see replay_checkpoints.h).
#include "layout/replay_checkpoints.h"

#include <algorithm>
#include <iterator>

#include "document/markup/render_state.h"

void ReplayCheckpoints::Clear() {
    ForgetReadings();
    kept_.clear();
}

void ReplayCheckpoints::ForgetReadings() {
    exact_.clear();
    nearby_.clear();
    rebuilt_.clear();
}

bool ReplayCheckpoints::WantsExact(uint32_t position, uint32_t firstStart) const {
    return position >= firstStart + kSpacing &&
           (exact_.empty() || exact_.back().position + kSpacing <= position);
}

void ReplayCheckpoints::AddExact(Checkpoint checkpoint) {
    if (!exact_.empty() && exact_.back().position + kSpacing > checkpoint.position) return;
    exact_.push_back(std::move(checkpoint));
}

bool ReplayCheckpoints::WantsRebuilt(uint32_t position) const {
    auto at = std::lower_bound(rebuilt_.begin(), rebuilt_.end(), position,
                               [](const Checkpoint& c, uint32_t p) { return c.position < p; });
    if (at != rebuilt_.end() && at->position < position + kSpacing) return false;
    return at == rebuilt_.begin() || std::prev(at)->position + kSpacing <= position;
}

void ReplayCheckpoints::AddRebuilt(Checkpoint checkpoint) {
    if (!WantsRebuilt(checkpoint.position)) return;
    auto at = std::lower_bound(rebuilt_.begin(), rebuilt_.end(), checkpoint.position,
                               [](const Checkpoint& c, uint32_t p) { return c.position < p; });
    checkpoint.rebuilt = true;
    rebuilt_.insert(at, std::move(checkpoint));
}

void ReplayCheckpoints::AddNearby(Checkpoint checkpoint, bool once) {
    if (once)
        for (const Checkpoint& c : nearby_)
            if (c.position == checkpoint.position) return;
    if (static_cast<int32_t>(nearby_.size()) >= kMaxNearby) nearby_.erase(nearby_.begin());
    nearby_.push_back(std::move(checkpoint));
}

ReplayCheckpoints::Start ReplayCheckpoints::Nearest(uint32_t reach, bool rebuilt,
                                                    uint32_t firstStart) const {
    // The first page is where an exact reading can always begin.
    Start best;
    best.position = rebuilt ? kNone : firstStart;
    bool found = !rebuilt;
    auto consider = [&](uint32_t position, const Checkpoint* live, const KeptCheckpoint* kept) {
        if (position > reach || (found && position <= best.position)) return;
        found = true;
        best = Start{position, live, kept, false, rebuilt};
    };
    for (const Checkpoint& c : rebuilt ? rebuilt_ : exact_) consider(c.position, &c, nullptr);
    for (const Checkpoint& c : nearby_)
        if (c.rebuilt == rebuilt) consider(c.position, &c, nullptr);
    for (const KeptCheckpoint& k : kept_)
        if (k.rebuilt == rebuilt && k.position > firstStart) consider(k.position, nullptr, &k);
    return best;
}

// --- Kept across sessions ----------------------------------------------------------------------

size_t ReplayCheckpoints::KeptRebuiltCount() const {
    size_t n = 0;
    for (const KeptCheckpoint& k : kept_) n += k.rebuilt ? 1 : 0;
    return n;
}

uint32_t ReplayCheckpoints::KeptSpacing(uint32_t textLength) {
    return std::max(kKeptSpacing, textLength / (kMaxKept - 1) + 1);
}

bool ReplayCheckpoints::RestoreKeptStack(const KeptCheckpoint& kept,
                                         const DocumentDefaults& defaults, ElementStack& out) {
    ByteStream saved;
    return saved.CopyFrom(kept.stack) && saved.SetReadPosition(0) && out.Restore(saved, defaults);
}

bool ReplayCheckpoints::SaveKept(ByteStream& out, uint32_t textLength) const {
    // The exact ones first, then the rebuilt ones where no other lies within the spacing.
    struct Candidate {
        uint32_t position;
        const KeptCheckpoint* kept;
        const Checkpoint* live;
    };
    const uint32_t spacing = KeptSpacing(textLength);
    std::vector<Candidate> chosen[2];
    auto clear = [&](uint32_t p) {
        for (const std::vector<Candidate>& kind : chosen)
            for (const Candidate& o : kind)
                if ((o.position > p ? o.position - p : p - o.position) < spacing) return false;
        return true;
    };
    for (const bool rebuilt : {false, true}) {
        std::vector<Candidate> all;
        for (const KeptCheckpoint& k : kept_)
            if (k.rebuilt == rebuilt) all.push_back({k.position, &k, nullptr});
        for (const Checkpoint& c : rebuilt ? rebuilt_ : exact_)
            all.push_back({c.position, nullptr, &c});
        std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
            return a.position < b.position;
        });
        for (const Candidate& c : all)
            if (clear(c.position)) chosen[rebuilt].push_back(c);
    }
    const size_t count = chosen[0].size() + chosen[1].size();
    if (count <= kept_.size() || count > kMaxKept) return false;
    auto write = [&](const std::vector<Candidate>& section) {
        out.WriteWord32BE(static_cast<uint32_t>(section.size()));
        for (const Candidate& c : section) {
            out.WriteWord32BE(c.position);
            if (c.kept) {
                out.WriteBlock(c.kept->scanState);
                out.WriteBlock(c.kept->stack);
            } else {
                ByteStream stack;
                out.WriteBlock(c.live->scanState);
                if (!c.live->stack.Save(stack)) return false;
                out.WriteBlock(stack);
            }
        }
        return true;
    };
    if (!write(chosen[0]) || (!chosen[1].empty() && !write(chosen[1]))) return false;
    return out.Ok();
}

bool ReplayCheckpoints::LoadKept(ByteStream& in, uint32_t textLength,
                                 const DocumentDefaults& defaults) {
    kept_.clear();
    std::vector<KeptCheckpoint> read;
    if (!ReadKeptSection(in, false, textLength, defaults, read)) return false;
    // A rebuilt section, when there is one, holds at least one.
    if (in.Remaining() != 0 &&
        (!ReadKeptSection(in, true, textLength, defaults, read) || !read.back().rebuilt))
        return false;
    if (in.Remaining() != 0 || read.size() > kMaxKept) return false;
    kept_ = std::move(read);
    return true;
}

bool ReplayCheckpoints::ReadKeptSection(ByteStream& in, bool rebuilt, uint32_t textLength,
                                        const DocumentDefaults& defaults,
                                        std::vector<KeptCheckpoint>& out) {
    uint32_t count = 0;
    if (!in.ReadWord32BE(count) || count > kMaxKept) return false;
    for (uint32_t i = 0; i < count; ++i) {
        KeptCheckpoint k;
        k.rebuilt = rebuilt;
        ElementStack trial;
        if (!in.ReadWord32BE(k.position) || !in.ReadBlock(k.scanState) || !in.ReadBlock(k.stack) ||
            k.position >= textLength || (i > 0 && k.position <= out.back().position) ||
            !RestoreKeptStack(k, defaults, trial))
            return false;
        out.push_back(std::move(k));
    }
    return true;
}
