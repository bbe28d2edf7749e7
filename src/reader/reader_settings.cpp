#include "reader/reader_settings.h"

#include "bookfiles/configuration_store.h"
#include "document/location/location.h"
#include "graphics/core/drawing_surface.h"
#include "paths/app_paths.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/ui_metric_ids.h"

namespace {

using namespace reader_detail;
constexpr uint32_t kKeepDefault = 0xFFFFFFFFu;

int32_t SizeFromWord(uint32_t word, int32_t fallback) {
    int8_t size = static_cast<int8_t>(word & 0xFF);
    return size == 0 ? fallback : size;
}

bool TextFromStore(const ConfigurationStore& store, uint32_t field, Text& out) {
    uint32_t length = 0;
    const char16_t* units = store.GetText(field, &length);
    if (!units || length == 0) return false;
    return out.FromWide(units, static_cast<int32_t>(length)) && !out.IsEmpty();
}

bool StringFromStore(const ConfigurationStore& store, uint32_t field, String& out) {
    uint32_t length = 0;
    const char16_t* units = store.GetText(field, &length);
    if (!units) {
        out.SetEmpty();
        return true;
    }
    return out.AssignChars(units, static_cast<int32_t>(length));
}

// A store text from a Text (UTF-16); an empty text clears the sub-record.
int SetStoreText(ConfigurationStore& store, uint32_t field, const Text& text) {
    String wide;
    if (!text.IsEmpty() && !text.ToWide(wide)) return 1;
    return store.SetText(field, wide.Data(), static_cast<uint32_t>(wide.Length()));
}

}  // namespace

ReaderSettings::ReaderSettings() {
    for (uint32_t& key : keys_) key = kUnassignedKey;
}

uint32_t ReaderSettings::MaskFromBitNumber(uint8_t n) {
    if (n == 0xFF) return kUnassignedKey;
    return n < 32 ? (1u << n) : 0;
}

uint8_t ReaderSettings::BitNumberFromMask(uint32_t mask) {
    if (mask == 0 || (mask & (mask - 1)) != 0) return 0xFF;
    uint8_t n = 0;
    while ((mask >>= 1) != 0) ++n;
    return n;
}

bool ReaderSettings::Load(bool defaultsOnly) {
    minFontSize_ = UiMetrics::Get(paths_, kMetricMinFontSize);
    maxFontSize_ = UiMetrics::Get(paths_, kMetricMaxFontSize);
    defaultFontSize_ = UiMetrics::Get(paths_, kMetricDefaultFontSize);
    fontSizeStep = static_cast<uint8_t>(UiMetrics::Get(paths_, kMetricFontSizeStep));
    defaultMarginX_ = static_cast<uint32_t>(UiMetrics::Get(paths_, kMetricMarginX));
    defaultMarginY_ = static_cast<uint32_t>(UiMetrics::Get(paths_, kMetricMarginY));
    marginX_ = defaultMarginX_;
    marginY_ = defaultMarginY_;
    flags[4] = 1;
    fontSize_ = defaultFontSize_;
    profile0Size_ = profile1Size_ = defaultFontSize_;
    if (defaultsOnly) return true;
    if (!store_ || !store_->IsOpen()) return false;
    const ConfigurationStore& s = *store_;

    // A short or older record answers these with the defaults; nothing here fails the load.
    flags[4] = 0;
    backgroundColour_ = s.GetWord(kBackground);
    textColour_ = s.GetWord(kTextColour);
    linkColour_ = s.GetWord(kLinkColour);
    highlightColour_ = s.GetWord(kHighlight);
    modifyColour_ = s.GetWord(kModification);

    Text face;
    if (!TextFromStore(s, kBitmapFontText, face) && paths_) paths_->FontFile(face);
    profile1Size_ = SizeFromWord(s.GetWord(kProfile1Size), defaultFontSize_);
    SetFontFace(face, true);

    face.Clear();
    if (!TextFromStore(s, kSystemFontText, face)) {
        face.FromWide(AppPaths::kDefaultFontName);
        flags[4] = 1;
    }
    profile0Size_ = SizeFromWord(s.GetWord(kProfile0Size), defaultFontSize_);
    SetFontFace(face, false);

    codePage = s.GetWord(kCodePage);
    uint32_t margin = s.GetWord(kHorizontalMargin);
    if (margin != kKeepDefault) marginX_ = margin;
    margin = s.GetWord(kVerticalMargin);
    if (margin != kKeepDefault) marginY_ = margin;
    alignment = s.GetByte(kAlignment) != 0 ? 4 : 1;
    fullScreen = 0;  // never restored: the program always starts windowed
    arrowMode = s.GetWord(kArrowMode);
    if (arrowMode == 0) arrowMode = 1;
    orientation = s.GetWord(kOrientation);
    keptWord84 = s.GetWord(kKeptWord84);
    keptWord88 = s.GetWord(kKeptWord88);

    SelectProfile(false);

    clearType = s.GetByte(kClearType);
    libraryAtStart = s.GetByte(kLibraryAtStart);
    touchPageTurn = s.GetByte(kTouchPageTurn);
    keptByte263 = s.GetByte(kKeptByte263);
    keptByte268 = static_cast<uint8_t>(s.GetWord(kKeptWord268));
    releaseOnCardChange = static_cast<uint8_t>(s.GetWord(kReleaseOnCardChange));
    int8_t choice = static_cast<int8_t>(s.GetByte(kLookupChoice));
    lookupChoice = (choice < 0 || choice > 3) ? 1 : static_cast<uint32_t>(choice);
    keptByte272 = static_cast<uint8_t>(s.GetWord(kKeptWord272));
    underlineLinks = s.GetByte(kUnderlineLinks);
    progressBar = s.GetByte(kProgressBar);
    keptWord276 = s.GetWord(kKeptWord276);

    for (int i = 0; i < kKeyCount; ++i) keys_[i] = MaskFromBitNumber(s.GetByte(kKeyOffsets[i]));

    StringFromStore(s, kLastBookText, lastBook_);
    keptWord92 = s.GetWord(kKeptWord92);
    keptWord292 = s.GetWord(kKeptWord292);
    toolbarMask = s.GetWord(kToolbarMask);
    StringFromStore(s, kKeptText100, keptText100);
    keptWord104 = s.GetWord(kKeptWord104);
    fileTypes = s.GetWord(kFileTypes);
    tapAction = s.GetWord(kTapAction);
    libraryPosition = s.GetWord(kLibraryPosition);
    thumbnails = static_cast<uint8_t>(s.GetWord(kThumbnails));
    return true;
}

void ReaderSettings::NoteUnsaved() const {
    if (store_) store_->NoteUnsaved();
}

bool ReaderSettings::Save() {
    if (!store_ || !store_->IsOpen() || store_->IsReadOnly()) return false;
    ConfigurationStore& s = *store_;
    // Every field goes into the store's memory, then one flush; a failed write is reported
    // but never leaves the other fields unwritten.
    int failed = 0;
    auto word = [&](uint32_t at, uint32_t v) { failed |= s.SetWord(at, v); };
    auto byte = [&](uint32_t at, uint32_t v) { failed |= s.SetByte(at, static_cast<uint8_t>(v)); };

    word(kBackground, backgroundColour_);
    word(kTextColour, textColour_);
    word(kLinkColour, linkColour_);
    word(kHighlight, highlightColour_);
    word(kModification, modifyColour_);
    failed |= SetStoreText(s, kBitmapFontText, bitmapFontFile_);
    word(kProfile1Size, static_cast<uint8_t>(profile1Size_));
    failed |= SetStoreText(s, kSystemFontText, systemFontName_);
    word(kProfile0Size, static_cast<uint8_t>(profile0Size_));
    byte(kProfileFlag, profileFlag_);
    byte(kClearType, clearType);
    word(kCodePage, codePage);
    byte(kAlignment, alignment == 4 ? 1 : 0);
    byte(kFullScreen, fullScreen);
    word(kHorizontalMargin, marginX_);
    word(kVerticalMargin, marginY_);
    word(kArrowMode, arrowMode == 0 ? 1 : arrowMode);
    word(kOrientation, orientation);
    word(kKeptWord84, keptWord84);
    word(kKeptWord88, keptWord88);
    byte(kLibraryAtStart, libraryAtStart);
    byte(kTouchPageTurn, touchPageTurn);
    byte(kKeptByte263, keptByte263);
    word(kKeptWord268, keptByte268);
    word(kReleaseOnCardChange, releaseOnCardChange);
    failed |= s.SetText(kLastBookText, lastBook_.Data(), static_cast<uint32_t>(lastBook_.Length()));
    word(kKeptWord92, keptWord92);
    word(kKeptWord292, keptWord292);
    word(kToolbarMask, toolbarMask);
    failed |=
        s.SetText(kKeptText100, keptText100.Data(), static_cast<uint32_t>(keptText100.Length()));
    word(kKeptWord104, keptWord104);
    word(kFileTypes, fileTypes);
    byte(kLookupChoice, lookupChoice);
    word(kKeptWord272, keptByte272);
    for (int i = 0; i < kKeyCount; ++i) byte(kKeyOffsets[i], BitNumberFromMask(keys_[i]));
    byte(kUnderlineLinks, underlineLinks);
    byte(kProgressBar, progressBar);
    word(kKeptWord276, keptWord276);
    word(kTapAction, tapAction);
    word(kLibraryPosition, libraryPosition);
    word(kThumbnails, thumbnails);

    bool flushed = s.Flush() == 0;
    return flushed && failed == 0;
}

void ReaderSettings::SetColours(uint32_t text, uint32_t link, uint32_t background, uint32_t modify,
                                uint32_t highlight) {
    textColour_ = text;
    linkColour_ = link;
    backgroundColour_ = background;
    modifyColour_ = modify;
    highlightColour_ = highlight;
}

void ReaderSettings::SetFontFace(const Text& face, bool bitmap) {
    Text& field = bitmap ? bitmapFontFile_ : systemFontName_;
    field = face;
    if (!face.IsEmpty() && controller_)
        controller_->SetTableEntry(
            bitmap ? ReaderController::kBitmapFontEntry : ReaderController::kSystemFontEntry,
            bitmap ? 1 : 0, face);
}

bool ReaderSettings::GetDictionaryPath(String& out) const {
    out.SetEmpty();
    uint32_t bytes = 0;
    const uint8_t* data = store_ ? store_->GetBlob64(&bytes) : nullptr;
    // UTF-16 code units without a terminator; an odd last byte is not part of the path.
    if (!data || bytes < 2) return false;
    out.AssignChars(reinterpret_cast<const char16_t*>(data), static_cast<int32_t>(bytes / 2));
    return !out.IsEmpty();
}

bool ReaderSettings::GetFontFace(Text& out, bool bitmap) const {
    const Text& field = bitmap ? bitmapFontFile_ : systemFontName_;
    if (field.IsEmpty()) return false;
    out = field;
    return out.IsValid();
}

void ReaderSettings::SelectProfile(bool profile1) {
    profileFlag_ = profile1 ? 1 : 0;
    displayMode_ = profile1 ? 4 : 3;
    fontSize_ = profile1 ? profile1Size_ : profile0Size_;
}

void ReaderSettings::RestoreProfile() {
    if (store_ && store_->IsOpen()) SelectProfile(store_->GetByte(kProfileFlag) != 0);
}

void ReaderSettings::SetMargins(uint32_t horizontal, uint32_t vertical) {
    marginX_ = horizontal;
    marginY_ = vertical;
}

void ReaderSettings::SetClearTypeFlag(uint8_t on) {
    clearType = on;
    if (!surface_) return;
    surface_->SetClearType(on != 0);
    surface_->ReleaseCachedObjects(0);
}

void ReaderSettings::ApplyToView() {
    if (document_) document_->SaveViewState();
    if (controller_) controller_->UpdateViewState();
    if (surface_) surface_->InvalidateRect(nullptr);
}

bool ReaderSettings::SetFontSize(int32_t size) {
    if (size < minFontSize_)
        size = maxFontSize_;
    else if (size > maxFontSize_)
        size = minFontSize_;
    if (size == fontSize_) return false;
    fontSize_ = size;
    (profileFlag_ ? profile1Size_ : profile0Size_) = size;
    return true;
}

uint32_t ReaderSettings::GetKey(int32_t index) const {
    return index >= 0 && index < kKeyCount ? keys_[index] : kUnassignedKey;
}

void ReaderSettings::SetKey(int32_t index, uint32_t mask) {
    if (index >= 0 && index < kKeyCount) keys_[index] = mask;
}

bool ReaderSettings::GetLastBookLocation(String& out) const {
    out.SetEmpty();
    if (lastBook_.IsEmpty()) return false;
    Location location;
    if (!location.Parse(lastBook_, true) || !location.ToString(out, true)) {
        out.SetEmpty();
        return false;
    }
    return true;
}

bool ReaderSettings::SetLibraryPosition(uint32_t kind, int32_t selection, bool forward,
                                        const Text& path) {
    int32_t low = forward ? selection + 1 : -(selection + 1);
    libraryPosition = (kind << 16) | (static_cast<uint32_t>(low) & 0xFFFF);
    if (!store_ || !store_->IsOpen()) return false;
    Text none;
    return SetStoreText(*store_, kLibraryPathText, (kind == 5 || kind == 6) ? path : none) == 0;
}

void ReaderSettings::GetLibraryPosition(uint32_t& kind, int32_t& selection, bool& forward,
                                        Text& path) const {
    int32_t low = static_cast<int16_t>(libraryPosition & 0xFFFF);
    if (low == 0) low = 1;
    forward = low > 0;
    selection = forward ? low - 1 : -1 - low;
    kind = libraryPosition >> 16;
    path.Clear();
    if (store_ && store_->IsOpen()) TextFromStore(*store_, kLibraryPathText, path);
}
