// Short texts for a reading position: a percentage, a page number, or elapsed and total time
// for audio. Stateless; one shared instance of each, for the position bar and the audio view.
#pragma once

#include <cstdint>

class Text;

class PositionFormatter {
public:
    // Replaces out's contents; a and b as each formatter says. False when out cannot hold it.
    virtual bool Format(Text& out, uint32_t a, uint32_t b) const = 0;

protected:
    ~PositionFormatter() = default;
};

// a total, b position: position * 100 / total, then "%". Computed in 64 bits and capped at
// 100, so a large or overrunning position never wraps into nonsense; "0%" for total 0.
class PercentFormatter final : public PositionFormatter {
public:
    bool Format(Text& out, uint32_t total, uint32_t position) const override;
    static const PercentFormatter& Instance();
};

// a ignored, b page number: "Pg. " and the number.
class PageFormatter final : public PositionFormatter {
public:
    bool Format(Text& out, uint32_t unused, uint32_t page) const override;
    static const PageFormatter& Instance();
};

// a total seconds, b elapsed seconds: "mm:ss | mm:ss", minutes at least two digits; a time of
// all bits set is not known and reads "N/A".
class TimeFormatter final : public PositionFormatter {
public:
    static constexpr uint32_t kUnknown = 0xFFFFFFFFu;
    bool Format(Text& out, uint32_t total, uint32_t elapsed) const override;
    static const TimeFormatter& Instance();
};
