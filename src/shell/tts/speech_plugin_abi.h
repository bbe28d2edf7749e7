// The six entry points of the text-to-speech plug-in ("folvplugin_text_to_speech" in the
// program folder), shared by the client and the plug-ins built with the program. Every result
// is a 32-bit integer; the speech handle is the plug-in's own non-zero number.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace tts {

constexpr const char16_t* kLibraryName = u"folvplugin_text_to_speech";
// Posted by the plug-in to its window at each sentence gap; reading a book (read mode 1), at
// each gap between words, the gaps the program counts in the chunk it gives.
constexpr UINT kCallbackMessage = 0x8006;
// Posted by a plug-in reading a book (read mode 1) when a chunk has been read whole: the program
// then gives it the next one.
constexpr UINT kNextChunkMessage = 0x8005;
constexpr int32_t kReadBookMode = 1;

// 0 and a non-zero handle: opened.
using OpenSpeech = int32_t (*)(uint32_t* handle);
using Set = int32_t (*)(uint32_t handle, int32_t a, int32_t b, int32_t c, int32_t d);
// Non-zero: the text was taken.
using Speak = int32_t (*)(uint32_t handle, const char16_t* text, int32_t length);
using CloseSpeech = int32_t (*)(uint32_t handle);
// 0: connected.
using SetCom = int32_t (*)(uint32_t handle, HWND window, HANDLE stopEvent, HANDLE doneEvent,
                           HANDLE mutex);
using SetReadMode = int32_t (*)(uint32_t handle, int32_t mode, void* user);

}  // namespace tts
