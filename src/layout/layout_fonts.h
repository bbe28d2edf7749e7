// The layout's one door to the graphics context for fonts: selecting the font of a text
// record and measuring with it. Kept apart so that the layout's headers need not see the
// context's own font record. The width of a space is cached per font.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "graphics/core/graphics_context.h"

class LayoutFonts {
public:
    static constexpr int32_t kMinEm = 4;
    static constexpr int32_t kMaxEm = 120;

    // Sub- and superscripts (vertical position 7 and 6 in style bits 4 to 7) are drawn at
    // four fifths of their size, off the baseline: up by half the height of their font, down
    // by a third of it (the height in pixels, as measured: the same when laid out and drawn).
    static bool IsShifted(uint8_t style) {
        const uint8_t v = static_cast<uint8_t>(style >> 4);
        return v == 6 || v == 7;
    }
    static int32_t ShiftedEm(uint8_t style, int32_t em) {
        if (!IsShifted(style)) return em;
        const int32_t small = em * 4 / 5;
        return small < kMinEm ? kMinEm : small;
    }
    // Pixels the baseline of such a run moves (negative: up).
    static int32_t BaselineShift(uint8_t style, int32_t fontHeight) {
        const uint8_t v = static_cast<uint8_t>(style >> 4);
        if (v == 6) return -((fontHeight + 1) / 2);
        if (v == 7) return (fontHeight + 2) / 3;
        return 0;
    }

    void Attach(GraphicsContext* gc) {
        gc_ = gc;
        InvalidateCache();
    }
    GraphicsContext* Context() const { return gc_; }
    // The drawing bracket measuring needs; false without a context.
    bool Begin();
    void End();
    // The base size in pixels (the em of size step 0).
    void SetBaseSize(int32_t em) { baseEm_ = em; InvalidateCache(); }
    // The face that face 0 stands for (the reader's display profile); 0 gives face 1.
    void SetDefaultFace(uint8_t face) {
        defaultFace_ = face ? face : 1;
        InvalidateCache();
    }
    int32_t BaseSize() const { return baseEm_; }

    // Selects the font of a text record: size steps around the base, bold and italic bits,
    // face (0 the default face). Sizes are kept within [kMinEm, kMaxEm].
    // Asked for every word and space: the font of the word before, still held by the context,
    // is found inline.
    void Select(int8_t sizeStep, uint8_t style, uint8_t face) {
        if (styleSet_ && ArgsOf(sizeStep, style, face) == selectedArgs_ &&
            gc_->GetFontStyle() == selectedStyle_)
            return;
        SelectAnew(sizeStep, style, face);
    }
    // The em Select would take, without selecting.
    int32_t EmOf(int8_t sizeStep, uint8_t style) const {
        int32_t em = baseEm_ + sizeStep;
        if (em < kMinEm) em = kMinEm;
        if (em > kMaxEm) em = kMaxEm;
        return ShiftedEm(style, em);
    }
    int32_t Em() const { return em_; }
    // Without a context: the box font's metrics, so that layout still makes progress. Soft
    // hyphens take no width.
    // A word of the characters kept in a font the context measures by advances is the sum
    // of their kept widths, found inline.
    bool Measure(const char16_t* text, int32_t length, Size& out) {
        if (length > 0 && advancesFor_ == static_cast<int64_t>(key_) &&
            SumOfAdvances(*advances_, text, length, out))
            return true;
        return MeasureWord(text, length, out);
    }
    // The width Measure gives the one character c in the selected font, kept per font for the
    // characters of the alphabetic scripts: splitting a long word measures every character of
    // it, and a table's cells are laid out more than once.
    int32_t CharWidth(char16_t c) {
        if (c < kKeptChars && current_ && widthsFor_ == static_cast<int64_t>(key_) &&
            current_->width[c] >= 0)
            return current_->width[c];
        return MeasureCharWidth(c);
    }
    // Asked for every space between words: the font's kept answer is found inline.
    int32_t SpaceWidth() {
        if (spaceFor_ == static_cast<int64_t>(key_)) return space_;
        return MeasureSpace();
    }
    int32_t HyphenWidth();
    // Asked at every style change and line cut: the kept answer is found inline.
    int32_t Ascent() {
        if (metricsFor_ != static_cast<int64_t>(key_)) Metrics();
        return ascent_;
    }
    int32_t Descent() {
        if (metricsFor_ != static_cast<int64_t>(key_)) Metrics();
        return descent_;
    }

private:
    static uint32_t ArgsOf(int8_t sizeStep, uint8_t style, uint8_t face) {
        return static_cast<uint32_t>(static_cast<uint8_t>(sizeStep)) |
               static_cast<uint32_t>(style) << 8 | static_cast<uint32_t>(face) << 16;
    }
    void SelectAnew(int8_t sizeStep, uint8_t style, uint8_t face);
    bool MeasureUncached(const char16_t* text, int32_t length, Size& out);
    int32_t MeasureCharWidth(char16_t c);
    bool MeasureShown(const char16_t* text, int32_t length, Size& out);
    uint8_t defaultFace_ = 1;
    void InvalidateCache() {
        spaceFor_ = metricsFor_ = hyphenFor_ = -1;
        styleSet_ = false;
        widths_.clear();
        widthsFor_ = -1;
        current_ = nullptr;
        advancesFor_ = -1;
        advances_ = nullptr;
        words_.reset();
    }
    // Characters below this are kept (Latin, Greek, Cyrillic, Hebrew, Arabic and the marks).
    static constexpr char16_t kKeptChars = 0x800;
    static constexpr std::size_t kKeptFonts = 16;
    struct Widths {
        uint32_t key = 0;
        std::array<int16_t, kKeptChars> width;  // -1 not measured yet
        // The font's ascent and descent, once asked (a page switches between its roman and
        // italic fonts at every italic phrase).
        bool metricsKept = false;
        int32_t ascent = 0;
        int32_t descent = 0;
        // Whether the context measures this font's texts as the sum of their characters'
        // widths (-1 not asked yet), and the height it gives them (-1 not measured yet).
        int8_t byAdvances = -1;
        int32_t height = -1;
    };
    Widths* WidthsOfFont();
    // A word of kept characters in a font measured by advances: the sum of their widths
    // (a soft hyphen's is 0) and the font's height. False when the word or the font is not
    // such, and then out is not set.
    bool MeasureByAdvances(const char16_t* text, int32_t length, Size& out);
    Widths* AdvancesOfFont();
    // The sum when every character is kept and measured already.
    static bool SumOfAdvances(const Widths& w, const char16_t* text, int32_t length, Size& out) {
        int32_t width = 0;
        for (const char16_t* end = text + length; text != end; ++text) {
            if (*text >= kKeptChars) return false;
            const int32_t advance = w.width[*text];
            if (advance < 0) return false;
            width += advance;
        }
        out = Size{width, w.height};
        return true;
    }
    bool MeasureWord(const char16_t* text, int32_t length, Size& out);
    int32_t MeasureSpace();
    // The font whose kept widths and height Measure sums inline (-1: none).
    int64_t advancesFor_ = -1;
    Widths* advances_ = nullptr;
    // Words measured lately, per font: prose repeats its words, and a word measured again is
    // not sent through the context (its handle look-ups and glyph by glyph advances) again.
    static constexpr int32_t kWordUnits = 14;
    static constexpr uint32_t kWordSlots = 2048;  // a power of two
    struct Word {
        uint32_t key = 0;  // 0: empty
        uint16_t length = 0;
        char16_t text[kWordUnits];
        Size size;
    };
    std::unique_ptr<Word[]> words_;
    // Ascent and descent of the selected font, asked of the context once per font (and kept
    // with its widths).
    void Metrics();
    GraphicsContext* gc_ = nullptr;
    int32_t baseEm_ = 12;
    int32_t em_ = 12;
    uint8_t flags_ = 0;
    uint8_t face_ = 1;
    uint32_t key_ = 0;
    // The context's style was set by Select since the last Begin (or cache reset).
    bool styleSet_ = false;
    // What the last Select with a context was given (em_, flags_ and face_ follow from it).
    uint32_t selectedArgs_ = 0;
    // The context's style that selection gives.
    FontStyle selectedStyle_;
    int64_t spaceFor_ = -1;
    int32_t space_ = 0;
    int64_t hyphenFor_ = -1;
    int32_t hyphen_ = 0;
    std::vector<std::unique_ptr<Widths>> widths_;
    int64_t widthsFor_ = -1;
    Widths* current_ = nullptr;
    int64_t metricsFor_ = -1;
    int32_t ascent_ = 0;
    int32_t descent_ = 0;
};
