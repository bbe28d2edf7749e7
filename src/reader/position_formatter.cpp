#include "reader/position_formatter.h"

#include <cstdio>

#include "core/text.h"

namespace {

bool AppendTime(Text& out, uint32_t seconds) {
    if (seconds == TimeFormatter::kUnknown) return out.AppendAscii("N/A");
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%02u:%02u", seconds / 60, seconds % 60);
    return out.AppendAscii(buffer);
}

}  // namespace

bool PercentFormatter::Format(Text& out, uint32_t total, uint32_t position) const {
    uint64_t percent = 0;
    if (total != 0) {
        percent = static_cast<uint64_t>(position) * 100 / total;
        if (percent > 100) percent = 100;
    }
    out.AssignAscii("");
    return out.AppendNumber(percent, 10) && out.AppendAscii("%");
}

const PercentFormatter& PercentFormatter::Instance() {
    static const PercentFormatter instance;
    return instance;
}

bool PageFormatter::Format(Text& out, uint32_t, uint32_t page) const {
    out.AssignAscii("Pg. ");
    return out.AppendNumber(page, 10);
}

const PageFormatter& PageFormatter::Instance() {
    static const PageFormatter instance;
    return instance;
}

bool TimeFormatter::Format(Text& out, uint32_t total, uint32_t elapsed) const {
    out.AssignAscii("");
    return AppendTime(out, elapsed) && out.AppendAscii(" | ") && AppendTime(out, total);
}

const TimeFormatter& TimeFormatter::Instance() {
    static const TimeFormatter instance;
    return instance;
}
