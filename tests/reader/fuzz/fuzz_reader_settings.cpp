// Reader settings loaded from any configuration store: loading never fails on an open store,
// and after one save the settings are a fixed point (save and load again changes nothing).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bookfiles/configuration_store.h"
#include "reader/reader_settings.h"

namespace {

bool SameText(const Text& a, const Text& b) {
    return a.ByteLength() == b.ByteLength() &&
           (a.ByteLength() == 0 || std::memcmp(a.Bytes(), b.Bytes(), a.ByteLength()) == 0);
}

bool Same(const ReaderSettings& a, const ReaderSettings& b) {
    uint32_t ca = 0, cb = 0;
    if (a.GetTextColour(ca) != b.GetTextColour(cb)) return false;
    if (a.GetHyperlinkColour(ca) != b.GetHyperlinkColour(cb)) return false;
    if (a.GetBackgroundColour(ca) != b.GetBackgroundColour(cb)) return false;
    if (a.GetModifyColour(ca) != b.GetModifyColour(cb)) return false;
    if (a.GetHighlightColour(ca) != b.GetHighlightColour(cb)) return false;
    for (int k = 0; k < ReaderSettings::kKeyCount; ++k)
        if (a.GetKey(k) != b.GetKey(k)) return false;
    uint32_t ha, va, hb, vb;
    a.GetMargins(ha, va);
    b.GetMargins(hb, vb);
    Text fa, fb;
    a.GetFontFace(fa, false);
    b.GetFontFace(fb, false);
    if (!SameText(fa, fb)) return false;
    fa.Clear();
    fb.Clear();
    a.GetFontFace(fa, true);
    b.GetFontFace(fb, true);
    if (!SameText(fa, fb)) return false;
    return ha == hb && va == vb && a.FontSize() == b.FontSize() && a.alignment == b.alignment &&
           a.lookupChoice == b.lookupChoice && a.underlineLinks == b.underlineLinks &&
           a.progressBar == b.progressBar && a.libraryAtStart == b.libraryAtStart &&
           a.touchPageTurn == b.touchPageTurn && a.releaseOnCardChange == b.releaseOnCardChange &&
           a.thumbnails == b.thumbnails && a.clearType == b.clearType && a.codePage == b.codePage &&
           a.orientation == b.orientation && a.toolbarMask == b.toolbarMask &&
           a.fileTypes == b.fileTypes && a.tapAction == b.tapAction &&
           a.libraryPosition == b.libraryPosition && a.arrowMode == b.arrowMode &&
           a.keptWord84 == b.keptWord84 && a.keptWord88 == b.keptWord88 &&
           a.keptWord92 == b.keptWord92 && a.keptWord104 == b.keptWord104 &&
           a.keptWord276 == b.keptWord276 && a.keptWord292 == b.keptWord292 &&
           a.keptByte263 == b.keptByte263 && a.keptByte268 == b.keptByte268 &&
           a.keptByte272 == b.keptByte272 && a.keptText100 == b.keptText100 &&
           a.LastBook() == b.LastBook();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ConfigurationStore store;
    if (store.OpenInMemory(data, size, 0) != 0) return 0;
    ReaderSettings first;
    first.SetConfigurationStore(&store);
    if (!first.Load(false)) std::abort();  // an open store always loads
    first.Save();
    ReaderSettings second;
    second.SetConfigurationStore(&store);
    if (!second.Load(false)) std::abort();
    second.Save();
    ReaderSettings third;
    third.SetConfigurationStore(&store);
    if (!third.Load(false) || !Same(second, third)) std::abort();
    return 0;
}
