// The wave device's built-in sinks.
#pragma once

#include <memory>
#include <string>

#include "platform/audio/wave_out.h"

namespace fvt {

std::unique_ptr<WaveSink> MakeNullSink();
std::unique_ptr<WaveSink> MakeWavSink(const std::string& path);

}  // namespace fvt
