// The font engine's switches, kept apart from the engine: opening a device sets them, and a
// program that draws no text (the dump tools) then links neither FreeType nor fontconfig.
#include <atomic>

#include "platform/gdi/font_engine.h"

namespace gdi {
namespace {

std::atomic<bool> g_synthetic{false};
std::atomic<unsigned> g_generation{1};

}  // namespace

void SetSyntheticFonts(bool on) {
    g_synthetic = on;
    ++g_generation;
}
bool SyntheticFonts() {
    return g_synthetic;
}
unsigned FontGeneration() {
    return g_generation;
}
void NewFontGeneration() {
    ++g_generation;
}

}  // namespace gdi
