// The window backend's sound: a wave sink that plays through SDL2's audio, registered as the
// "sdl" sink (and the default) when the window opens.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/audio/wave_out.h"

namespace fvt {

// What the sink asks of SDL for a wave format: always 16-bit samples in the host's order, the
// stream's own rate and channels, and a device buffer of about 20 ms (a power of two in frames).
struct SdlAudioRequest {
    int rate = 0;
    int channels = 0;
    int bufferFrames = 0;
};
// False for a format the sink cannot play (not 16-bit PCM, no channels, a rate out of range).
bool SdlAudioRequestFor(const WAVEFORMATEX& format, SdlAudioRequest* request);

std::unique_ptr<WaveSink> MakeSdlAudioSink();
// Registers "sdl" and makes it the sink of devices opened without an "audio" profile key.
void RegisterSdlAudioSink();

}  // namespace fvt
