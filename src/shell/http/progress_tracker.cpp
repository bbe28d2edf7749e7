#include "shell/http/progress_tracker.h"

#include <new>

#include "core/dates.h"
#include "core/file.h"

namespace {

// total x fraction as a count; out-of-range and undefined values never reach the conversion.
uint32_t Portion(uint32_t total, double fraction) {
    double v = static_cast<double>(total) * fraction;
    if (!(v > 0.0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(v);
}

double Ratio(uint32_t done, uint32_t total) {
    return total ? static_cast<double>(done) / total : 0.0;
}

}  // namespace

ProgressTask::ProgressTask(ProgressTask* parent, uint32_t total, double weight, uint32_t flags,
                           uint8_t tag)
    : parent_(parent), total_(total), weight_(weight), flags_(flags), tag_(tag) {}

ProgressTask::~ProgressTask() = default;

ProgressTracker* ProgressTask::Root() {
    ProgressTask* t = this;
    while (t->parent_) t = t->parent_;
    return static_cast<ProgressTracker*>(t);
}

const ProgressTracker* ProgressTask::Root() const {
    const ProgressTask* t = this;
    while (t->parent_) t = t->parent_;
    return static_cast<const ProgressTracker*>(t);
}

ProgressTask* ProgressTask::ChildAt(int32_t i) const {
    return i >= 0 && i < AllChildren() ? children_[static_cast<size_t>(i)].get() : nullptr;
}

bool ProgressTask::Contains(const ProgressTask* task) const {
    for (const ProgressTask* t = task; t; t = t->parent_) {
        if (t == this) return true;
    }
    return false;
}

ProgressTask* ProgressTask::AddChild(uint32_t total, double weight, uint32_t flags, uint8_t tag) {
    // The constructor is the tasks' own.
    children_.push_back(
        std::unique_ptr<ProgressTask>(new ProgressTask(this, total, weight, flags, tag)));
    ProgressTask* child = children_.back().get();
    Root()->StructureNotice(this);
    return child;
}

void ProgressTask::RemoveChild(ProgressTask* child) {
    for (int32_t i = 0; i < AllChildren(); ++i) {
        if (ChildAt(i) != child) continue;
        // The root must not keep pointing into the subtree about to go.
        ProgressTracker* root = Root();
        if (root->current_ && child->Contains(root->current_)) root->current_ = nullptr;
        children_.erase(children_.begin() + i);
        if (static_cast<uint32_t>(i) < firstChild_) --firstChild_;
        root->StructureNotice(this);
        return;
    }
}

uint32_t ProgressTask::ChildCount() const {
    uint32_t all = static_cast<uint32_t>(AllChildren());
    return all > firstChild_ ? all - firstChild_ : 0;
}

ProgressTask* ProgressTask::Child(uint32_t i) const {
    if (i >= ChildCount()) return nullptr;
    return ChildAt(static_cast<int32_t>(firstChild_ + i));
}

void ProgressTask::SetTotal(uint32_t total) {
    if (total == total_) return;
    total_ = total;
    Root()->StructureNotice(this);
}

void ProgressTask::SetWeight(double weight) {
    weight_ = weight;
    Root()->StructureNotice(this);
}

void ProgressTask::SumChildWeights() {
    double sum = 0.0;
    for (int32_t i = 0; i < AllChildren(); ++i) sum += ChildAt(i)->weight_;
    weight_ = sum;
    Root()->StructureNotice(this);
}

void ProgressTask::MarkStarted() {
    if (state_ != kNotStarted) return;
    if (parent_ && parent_->state_ == kNotStarted) parent_->state_ = kRunning;
    state_ = kRunning;
    if (!(flags_ & kNotCurrent)) Root()->current_ = this;
    if (flags_ & kTimed) startTime_ = NowFileTimeUtc();
}

void ProgressTask::MarkFinished() {
    for (int32_t i = 0; i < AllChildren(); ++i) ChildAt(i)->MarkFinished();
    state_ = kFinished;
    done_ = total_;
}

bool ProgressTask::Start(uint32_t done) {
    MarkStarted();
    done_ = done;
    Root()->ProgressNotice(this);
    return IsCancelled();
}

bool ProgressTask::Advance(uint32_t delta) {
    MarkStarted();
    done_ += delta;
    Root()->ProgressNotice(this);
    return IsCancelled();
}

bool ProgressTask::Finish() {
    if (flags_ & kTimed) {
        // A task that never started has taken no time.
        elapsed_ = state_ == kNotStarted ? 0.0 : FileTimeDiffSeconds(NowFileTimeUtc(), startTime_);
    }
    MarkFinished();
    Root()->ProgressNotice(this);
    return IsCancelled();
}

void ProgressTask::GetProgress(uint32_t& done, uint32_t& total) const {
    done = done_;
    total = total_;
}

void ProgressTask::Cancel() {
    Root()->cancelled_ = true;
}

bool ProgressTask::IsCancelled() const {
    return Root()->cancelled_;
}

void ProgressTask::SendMessageA(uint32_t a, uint32_t b) {
    Root()->MessageA(this, a, b);
}

void ProgressTask::SendMessageB(uint32_t a, uint32_t b) {
    Root()->MessageB(this, a, b);
}

void ProgressTask::Reset(bool consume) {
    done_ = 0;
    state_ = kNotStarted;
    startTime_ = NowFileTimeUtc();
    if (children_.empty()) return;
    if (consume) {
        firstChild_ = static_cast<uint32_t>(AllChildren());
        for (int32_t i = 0; i < AllChildren(); ++i) {
            ChildAt(i)->state_ = kFinished;
            ChildAt(i)->weight_ = 0.0;
        }
    } else {
        for (int32_t i = 0; i < AllChildren(); ++i) ChildAt(i)->Reset(false);
    }
}

double ProgressTask::Fraction() {
    if (AllChildren() > 0) {
        // Over every child: consumed ones weigh nothing, so this agrees with ChildCount.
        double sum = 0.0, weights = 0.0;
        for (int32_t i = 0; i < AllChildren(); ++i) {
            ProgressTask* c = ChildAt(i);
            sum += c->weight_ * c->Fraction();
            weights += c->weight_;
        }
        double f = weights != 0.0 ? sum / weights : 0.0;
        done_ = Portion(total_, f);
        return f;
    }
    switch (state_) {
        case kNotStarted:
            return 0.0;
        case kRunning:
            return Ratio(done_, total_);
        default:
            return 1.0;
    }
}

double ProgressTask::EstimateRemaining(double& seconds) {
    seconds = -1.0;
    if (state_ == kNotStarted) return 0.0;
    if (state_ == kFinished) {
        seconds = 0.0;
        return 1.0;
    }
    uint64_t now = NowFileTimeUtc();
    if (AllChildren() == 0) {
        double f = Ratio(done_, total_);
        if (flags_ & kTimed) {
            double e = FileTimeDiffSeconds(now, startTime_);
            if (e >= 1.0 && f > 0.0) seconds = e / f * (1.0 - f);
        }
        return f;
    }
    double W = 0, N = 0, R = 0, D = 0, T = 0, Wt = 0, K = 0;
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        ProgressTask* c = Child(i);
        double w = c->weight_;
        bool timed = (c->flags_ & kTimed) && !(c->flags_ & kNoEstimate);
        W += w;
        if (c->state_ == kNotStarted) {
            N += w;
            R += w;
        } else if (c->state_ == kFinished) {
            D += w;
            if (timed) {
                T += c->elapsed_;
                Wt += w;
            }
        } else {
            double rc = -1.0;
            double fc = c->EstimateRemaining(rc);
            D += w * fc;
            R += (1.0 - fc) * w;
            if (rc < 0) {
                N += (1.0 - fc) * w;
            } else {
                K += rc;
            }
            if (timed) {
                T += FileTimeDiffSeconds(now, c->startTime_);
                Wt += w * fc;
            }
        }
    }
    double f = W != 0.0 ? D / W : 0.0;
    done_ = Portion(total_, f);
    if (T < 1.0) {
        // Estimates only from this task's own time; nothing done yet tells nothing.
        if ((flags_ & kTimed) && D != 0.0) {
            seconds = FileTimeDiffSeconds(now, startTime_) / D * R;
        }
    } else if (Wt != 0.0) {
        seconds = T / Wt * N + K;
    }
    return f;
}

ProgressTracker::ProgressTracker(uint32_t ownerData)
    : ProgressTask(nullptr, 1, 1.0, 0, 0), ownerData_(ownerData) {}

void ProgressTracker::Reset(bool consume) {
    cancelled_ = false;
    current_ = nullptr;
    ProgressTask::Reset(consume);
}

void ProgressTracker::MessageA(ProgressTask*, uint32_t, uint32_t) {}
void ProgressTracker::MessageB(ProgressTask*, uint32_t, uint32_t) {}
void ProgressTracker::ProgressNotice(ProgressTask*) {}
void ProgressTracker::StructureNotice(ProgressTask*) {}

double ProgressTracker::CurrentFraction() {
    return current_ ? current_->Fraction() : 0.0;
}
