// The reader's settings room: the commands that change the reader settings of the window
// (text size steps 11 and 12, normal size 114, the progress bar 115, the default tap action
// 56-65) and the answers read from them (an annotation's style word, the page's colours, the
// position bar's font size, the orientation kept for the page). The ReaderController owns one,
// runs its commands through RunCommand and forwards the answers; what the room needs of the
// window it asks through SettingsHost.
//
// Owns: the pointer to the window's ReaderSettings (the reader core owns the settings).
#pragma once

#include <cstdint>

#include "core/string.h"

class AppPaths;
class ReaderSettings;

// What the settings room asks of the window it works in.
class SettingsHost {
public:
    // What the commands ask of the window's document (nothing before the window sets one): a
    // text size step, the page laid out anew at the settings' size, a view command run.
    virtual void ChangeFontSize(int32_t step) = 0;
    virtual void SaveViewState() = 0;
    virtual void RunViewCommand(int32_t id) = 0;
    virtual const AppPaths* Paths() = 0;
    // The whole drawing surface is drawn again.
    virtual void InvalidateSurface() = 0;
    // The drawing surface is given the area pop-ups keep clear again (the progress bar took or
    // gave back its strip).
    virtual void RefreshSurface() = 0;

protected:
    ~SettingsHost() = default;
};

class SettingsCommands {
public:
    // Annotation kinds with a style of their own.
    static constexpr uint32_t kNote = 2;
    static constexpr uint32_t kHighlight = 4;
    static constexpr uint32_t kModification = 16;
    // The reading-position bar's font size without settings.
    static constexpr int8_t kPositionBarFontSize = -10;

    explicit SettingsCommands(SettingsHost& host) : host_(host) {}
    SettingsCommands(const SettingsCommands&) = delete;
    SettingsCommands& operator=(const SettingsCommands&) = delete;

    void SetSettings(ReaderSettings* settings) { settings_ = settings; }
    ReaderSettings* Settings() const { return settings_; }

    // True when the id is one of the room's commands (run, or nothing to do without settings).
    bool RunCommand(int32_t id);

    // The style word of a new annotation of a kind.
    uint32_t StyleFor(uint32_t kind) const;
    // 0 (the tap pop-up) without settings.
    uint32_t TapAction() const;
    // The dictionary chosen on the options' General page; empty when the look-up picks one.
    String ChosenDictionary() const;
    uint32_t TextColour() const;
    uint32_t BackgroundColour() const;
    // The page's text size; the bar's own only without settings.
    int8_t PositionBarFontSize() const;
    // Orientation codes 0-3; others are ignored.
    void SetOrientation(int orientation);

private:
    bool RunTextSizeCommand(int32_t id);
    bool RunTapActionCommand(int32_t id);

    SettingsHost& host_;
    ReaderSettings* settings_ = nullptr;
};
