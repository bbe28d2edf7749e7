// The reading preferences of one reader window, kept in the GPAR record of the global
// configuration store: colours, fonts and their two profiles, margins, alignment, orientation,
// the hardware-key table, the default tap action, the library's preferences and the last book.
//
// Load never fails on a field the store cannot give: the store answers a field beyond a short
// or older record with its default, and Load keeps it. Only a missing store fails a Load that
// is not defaults-only. Save writes every field into the store's memory and then flushes once,
// so a failed write never leaves half a record to be flushed later; the store writes through a
// temporary file, so a failed flush keeps the previous file.
#pragma once

#include <cstdint>

#include "core/code_pages.h"
#include "core/string.h"
#include "core/text.h"

class AppPaths;
class ConfigurationStore;
class DocumentController;
class DrawingSurface;
class ReaderController;

// The search a record-set view had when it closed without opening an entry: its text, the input
// mode of its field and the number of its table (low 10 bits). Kept for the session only.
struct RememberedSearch {
    String text;
    uint32_t inputMode = 0;
    uint32_t table = 0;
    void Clear() { *this = RememberedSearch(); }
};

class ReaderSettings {
public:
    static constexpr int kKeyCount = 12;
    static constexpr uint32_t kUnassignedKey = 65535;
    static constexpr uint32_t kDefaultToolbarMask = 0x0020284F;
    // GPAR bytes of the key table, in key order.
    static constexpr uint32_t kKeyOffsets[kKeyCount] = {259, 260, 261, 262, 284, 285,
                                                        286, 287, 288, 289, 290, 291};
    // GPAR fields. The "kept" ones are read and written back unchanged: this program gives them
    // no meaning, so they are named by their kind and offset.
    enum Field : uint32_t {
        kProfile0Size = 0,
        kProfile1Size = 4,
        kHorizontalMargin = 8,
        kCodePage = 12,
        kBackground = 16,
        kTextColour = 20,
        kLinkColour = 24,
        kProfileFlag = 28,
        kAlignment = 29,
        kFullScreen = 30,
        kLibraryAtStart = 31,
        kSystemFontText = 32,
        kBitmapFontText = 36,
        kLibraryPathText = 52,
        kVerticalMargin = 56,
        kArrowMode = 60,
        kTouchPageTurn = 68,
        kClearType = 69,
        kHighlight = 72,
        kModification = 76,
        kOrientation = 80,
        kKeptWord84 = 84,
        kKeptWord88 = 88,
        kKeptWord92 = 92,
        kToolbarMask = 96,
        kKeptText100 = 100,
        kKeptWord104 = 104,
        kLastBookText = 252,
        kLookupChoice = 256,
        kUnderlineLinks = 257,
        kProgressBar = 258,
        kKeptByte263 = 263,
        kFileTypes = 264,
        kKeptWord268 = 268,
        kKeptWord272 = 272,
        kKeptWord276 = 276,
        kTapAction = 280,
        kKeptWord292 = 292,
        kLibraryPosition = 296,
        kReleaseOnCardChange = 308,
        kThumbnails = 312,
    };

    ReaderSettings();
    ReaderSettings(const ReaderSettings&) = delete;
    ReaderSettings& operator=(const ReaderSettings&) = delete;

    void SetConfigurationStore(ConfigurationStore* store) { store_ = store; }
    void SetReaderController(ReaderController* controller) { controller_ = controller; }
    void SetPaths(const AppPaths* paths) { paths_ = paths; }
    // The window's drawing surface and document controller (for ClearType and ApplyToView).
    void SetDrawingSurface(DrawingSurface* surface) { surface_ = surface; }
    void SetDocumentController(DocumentController* controller) { document_ = controller; }
    ConfigurationStore* Store() const { return store_; }
    // Names the settings file to the user as one not saved (after a failed Save).
    void NoteUnsaved() const;

    // defaultsOnly: the interface metrics only, true. Otherwise false without a store.
    bool Load(bool defaultsOnly);
    // False without a store, on a read-only store, or when a write or the flush fails.
    [[nodiscard]] bool Save();

    uint8_t GetProfileMode() const { return displayMode_; }
    uint32_t GetTextColour(uint32_t& out) const { return out = textColour_; }
    uint32_t GetHyperlinkColour(uint32_t& out) const { return out = linkColour_; }
    uint32_t GetBackgroundColour(uint32_t& out) const { return out = backgroundColour_; }
    uint32_t GetModifyColour(uint32_t& out) const { return out = modifyColour_; }
    uint32_t GetHighlightColour(uint32_t& out) const { return out = highlightColour_; }
    void SetColours(uint32_t text, uint32_t link, uint32_t background, uint32_t modify,
                    uint32_t highlight);

    // bitmap: the bitmap font file (font table entry 4), else the system face (entry 3).
    void SetFontFace(const Text& face, bool bitmap);
    bool GetFontFace(Text& out, bool bitmap) const;
    // The dictionary chosen on the options' General page (its book's path); false, with the
    // path empty, when none is chosen (the look-up then picks by language) or without a store.
    bool GetDictionaryPath(String& out) const;
    void SelectProfile(bool profile1);
    // The profile saved last (the configuration's profile flag). A load starts with profile 0;
    // the program applies this after it, so that a chosen font database stays chosen.
    void RestoreProfile();
    void SetMargins(uint32_t horizontal, uint32_t vertical);
    void GetMargins(uint32_t& horizontal, uint32_t& vertical) const {
        horizontal = marginX_;
        vertical = marginY_;
    }
    void GetDefaultMargins(uint32_t& horizontal, uint32_t& vertical) const {
        horizontal = defaultMarginX_;
        vertical = defaultMarginY_;
    }
    void SetClearTypeFlag(uint8_t on);
    void ApplyToView();
    // Below the minimum wraps to the maximum and above the maximum to the minimum; false when
    // the size does not change.
    bool SetFontSize(int32_t size);
    int32_t FontSize() const { return fontSize_; }
    int32_t MinFontSize() const { return minFontSize_; }
    int32_t MaxFontSize() const { return maxFontSize_; }
    int32_t DefaultFontSize() const { return defaultFontSize_; }

    uint32_t GetKey(int32_t index) const;
    void SetKey(int32_t index, uint32_t mask);

    bool GetLastBookLocation(String& out) const;
    void SetLastBook(const String& location) { lastBook_.Assign(location); }
    const String& LastBook() const { return lastBook_; }
    // The library view kind, selection and direction; the path is written to the store at once
    // (kinds 5 and 6 only). False when the path cannot be written.
    bool SetLibraryPosition(uint32_t kind, int32_t selection, bool forward, const Text& path);
    void GetLibraryPosition(uint32_t& kind, int32_t& selection, bool& forward, Text& path) const;

    // Fields read and changed directly by the options pages, the views and the controller.
    uint32_t alignment = 4;
    uint32_t lookupChoice = 1;
    uint8_t underlineLinks = 0;
    uint8_t progressBar = 0;
    uint8_t fullScreen = 0;
    uint8_t libraryAtStart = 0;
    uint8_t touchPageTurn = 0;
    uint8_t releaseOnCardChange = 0;
    uint8_t thumbnails = 1;
    uint8_t clearType = 0;
    uint32_t codePage = CodePages::kUtf16;
    uint32_t orientation = 0;
    uint32_t toolbarMask = kDefaultToolbarMask;
    uint32_t fileTypes = 15;
    uint32_t tapAction = 0;
    uint32_t libraryPosition = 0;
    // The size change of one font-size step (UI metric 5).
    uint8_t fontSizeStep = 1;
    // Flags 1-8; the fourth allows the per-book side file, the fifth is set while the system
    // face is the built-in default.
    uint8_t flags[8] = {1, 1, 0, 1, 0, 0, 0, 1};
    // The direction pad's arrow mode (0-3, another value counts as 1); a stored 0 reads as 1.
    uint32_t arrowMode = 1;
    // Fields only stored and loaded here, written back unchanged.
    uint32_t keptWord84 = 0;
    uint32_t keptWord88 = 0;
    uint32_t keptWord92 = 0;
    uint32_t keptWord104 = 0;
    uint32_t keptWord276 = 0;
    uint32_t keptWord292 = 0;
    uint8_t keptByte263 = 0;
    uint8_t keptByte268 = 0;
    uint8_t keptByte272 = 0;
    String keptText100;
    // Session state, not stored: the record-set views' previews and remembered search.
    uint8_t previewPane = 0;
    RememberedSearch rememberedSearch;

    uint8_t ProfileFlag() const { return profileFlag_; }

private:
    static uint32_t MaskFromBitNumber(uint8_t n);
    static uint8_t BitNumberFromMask(uint32_t mask);

    ConfigurationStore* store_ = nullptr;
    ReaderController* controller_ = nullptr;
    const AppPaths* paths_ = nullptr;
    DrawingSurface* surface_ = nullptr;
    DocumentController* document_ = nullptr;

    int32_t fontSize_ = 16;
    int32_t minFontSize_ = 12;
    int32_t maxFontSize_ = 24;
    int32_t defaultFontSize_ = 16;
    int32_t profile0Size_ = 16;
    int32_t profile1Size_ = 16;
    uint8_t profileFlag_ = 0;
    uint8_t displayMode_ = 1;
    String lastBook_;
    uint32_t keys_[kKeyCount];
    uint32_t textColour_ = 0x000000;
    uint32_t linkColour_ = 0 | (85u << 8) | (170u << 16);
    uint32_t backgroundColour_ = 0xFFFFFF;
    uint32_t modifyColour_ = 255;
    uint32_t highlightColour_ = 255 | (255u << 8) | (155u << 16);
    uint32_t marginX_ = 0;
    uint32_t marginY_ = 0;
    uint32_t defaultMarginX_ = 0;
    uint32_t defaultMarginY_ = 0;
    Text bitmapFontFile_;
    Text systemFontName_;
};
