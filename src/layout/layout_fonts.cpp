#include "layout/layout_fonts.h"

#include <algorithm>
#include <new>
#include <string>

#include "graphics/core/graphics_context.h"
#include "layout/hyphenation.h"

namespace {

FontStyle StyleOf(int32_t em, uint8_t flags, uint8_t face) {
    FontStyle s;
    s.size = static_cast<int8_t>(-em);
    s.flags = static_cast<uint8_t>(flags | FontStyle::kPlain);
    s.face = face;
    return s;
}

}  // namespace

void LayoutFonts::SelectAnew(int8_t sizeStep, uint8_t style, uint8_t face) {
    const uint32_t args = ArgsOf(sizeStep, style, face);
    em_ = EmOf(sizeStep, style);
    flags_ = style & (FontStyle::kBold | FontStyle::kItalic);
    face_ = face == 0 ? defaultFace_ : face;
    key_ = static_cast<uint32_t>(em_) | static_cast<uint32_t>(flags_) << 8 |
           static_cast<uint32_t>(face_) << 16;
    if (!gc_) return;
    selectedArgs_ = args;
    selectedStyle_ = StyleOf(em_, flags_, face_);
    // Mostly the font of the word before: setting it again would only make the context check
    // once more that its device still holds it. Once per drawing bracket it is set regardless.
    if (styleSet_ && gc_->GetFontStyle() == selectedStyle_) return;
    gc_->SetFontStyle(selectedStyle_);
    styleSet_ = true;
}

bool LayoutFonts::MeasureWord(const char16_t* text, int32_t length, Size& out) {
    if (length <= 0) {
        out = Size{0, 0};
        return true;
    }
    if (MeasureByAdvances(text, length, out)) return true;
    Word* word = nullptr;
    if (length <= kWordUnits && key_ != 0 && gc_) {
        uint32_t h = 2166136261u ^ key_;
        for (int32_t i = 0; i < length; ++i) h = (h ^ text[i]) * 16777619u;
        if (!words_) words_.reset(new (std::nothrow) Word[kWordSlots]);
        if (words_) {
            word = &words_[h & (kWordSlots - 1)];
            if (word->key == key_ && word->length == length &&
                std::equal(text, text + length, word->text)) {
                out = word->size;
                return true;
            }
        }
    }
    if (!MeasureUncached(text, length, out)) return false;
    if (word) {
        word->key = key_;
        word->length = static_cast<uint16_t>(length);
        std::copy(text, text + length, word->text);
        word->size = out;
    }
    return true;
}

LayoutFonts::Widths* LayoutFonts::AdvancesOfFont() {
    Widths* w = widthsFor_ == static_cast<int64_t>(key_) ? current_ : WidthsOfFont();
    if (!w || !gc_) return nullptr;
    if (w->byAdvances < 0) w->byAdvances = gc_->MeasuresByAdvances() ? 1 : 0;
    return w->byAdvances ? w : nullptr;
}

bool LayoutFonts::MeasureByAdvances(const char16_t* text, int32_t length, Size& out) {
    Widths* w = AdvancesOfFont();
    if (!w) return false;
    int32_t width = 0;
    for (int32_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c >= kKeptChars) return false;
        int32_t advance = w->width[c];
        if (advance < 0) {
            // Measured alone once; a soft hyphen's width is 0 as it is inside a word.
            Size one;
            if (!MeasureUncached(&c, 1, one) || one.width < 0 || one.width > 0x7FFF) return false;
            advance = w->width[c] = static_cast<int16_t>(one.width);
            w->height = one.height;
        }
        width += advance;
    }
    if (w->height < 0) {
        Size one;
        if (!MeasureUncached(u" ", 1, one)) return false;
        w->height = one.height;
    }
    out = Size{width, w->height};
    advances_ = w;
    advancesFor_ = key_;
    return true;
}

bool LayoutFonts::MeasureUncached(const char16_t* text, int32_t length, Size& out) {
    if (std::find(text, text + length, Hyphenation::kSoftHyphen) != text + length) {
        // A soft hyphen takes no room: where the line breaks at it, the break adds the hyphen.
        std::u16string shown;
        for (int32_t i = 0; i < length; ++i)
            if (text[i] != Hyphenation::kSoftHyphen) shown += text[i];
        if (shown.empty()) {
            bool ok = MeasureShown(text, length, out);
            out.width = 0;
            return ok;
        }
        return MeasureShown(shown.data(), static_cast<int32_t>(shown.size()), out);
    }
    return MeasureShown(text, length, out);
}

bool LayoutFonts::MeasureShown(const char16_t* text, int32_t length, Size& out) {
    if (gc_ && gc_->MeasureText(text, length, out)) return true;
    // The box font's advance.
    out = Size{length * ((em_ + 1) / 2), em_};
    return gc_ == nullptr;
}

int32_t LayoutFonts::MeasureSpace() {
    Size s;
    Measure(u" ", 1, s);
    space_ = s.width;
    spaceFor_ = key_;
    return space_;
}

int32_t LayoutFonts::HyphenWidth() {
    if (hyphenFor_ == static_cast<int64_t>(key_)) return hyphen_;
    Size s;
    if (!Measure(u"-", 1, s)) return s.width;  // the fallback: not kept
    hyphen_ = s.width;
    hyphenFor_ = key_;
    return hyphen_;
}

LayoutFonts::Widths* LayoutFonts::WidthsOfFont() {
    if (key_ == 0) return nullptr;  // no font selected yet: whatever the context holds
    if (widthsFor_ == static_cast<int64_t>(key_)) return current_;
    current_ = nullptr;
    for (const auto& w : widths_)
        if (w->key == key_) current_ = w.get();
    if (!current_) {
        try {
            if (widths_.size() >= kKeptFonts) {
                if (advances_ == widths_.front().get()) advancesFor_ = -1;
                widths_.erase(widths_.begin());
            }
            auto w = std::make_unique<Widths>();
            w->key = key_;
            w->width.fill(-1);
            current_ = w.get();
            widths_.push_back(std::move(w));
        } catch (...) {
            current_ = nullptr;
        }
    }
    widthsFor_ = current_ ? static_cast<int64_t>(key_) : -1;
    return current_;
}

int32_t LayoutFonts::MeasureCharWidth(char16_t c) {
    Widths* w = c < kKeptChars ? WidthsOfFont() : nullptr;
    if (w && w->width[c] >= 0) return w->width[c];
    Size s;
    // A failed measure gives the box font's advance: not kept, the context may answer later.
    if (!Measure(&c, 1, s) || !w || s.width < 0 || s.width > 0x7FFF) return s.width;
    w->width[c] = static_cast<int16_t>(s.width);
    return s.width;
}

void LayoutFonts::Metrics() {
    // Every style change asks for them: the context is asked once per font, as for the space.
    if (metricsFor_ == static_cast<int64_t>(key_)) return;
    Widths* kept = WidthsOfFont();
    if (kept && kept->metricsKept) {
        ascent_ = kept->ascent;
        descent_ = kept->descent;
        metricsFor_ = key_;
        return;
    }
    int32_t a = gc_ ? gc_->FontAscent() : 0;
    if (a > 0) {
        ascent_ = a;
        descent_ = gc_->FontDescent();
    } else {
        ascent_ = em_ - em_ / 4;
        descent_ = em_ / 4;
        if (gc_) return;  // the context may answer once it draws: not kept
    }
    metricsFor_ = key_;
    if (kept) {
        kept->ascent = ascent_;
        kept->descent = descent_;
        kept->metricsKept = true;
    }
}

bool LayoutFonts::Begin() {
    styleSet_ = false;
    return gc_ && gc_->BeginDraw(false, nullptr) != nullptr;
}

void LayoutFonts::End() {
    if (gc_) gc_->EndDraw();
}
