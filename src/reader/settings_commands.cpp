#include "reader/settings_commands.h"

#include <algorithm>
#include <climits>

#include "paths/app_paths.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_settings.h"
#include "reader/ui_metric_ids.h"

bool SettingsCommands::RunCommand(int32_t id) {
    return RunTextSizeCommand(id) || RunTapActionCommand(id);
}

bool SettingsCommands::RunTextSizeCommand(int32_t id) {
    switch (id) {
        case Cmd::kZoomIn:
        case Cmd::kZoomOut:
            host_.ChangeFontSize(id == Cmd::kZoomIn ? 1 : -1);
            return true;
        case Cmd::kZoomNormal:
            // Relaid out only when the size changes.
            if (settings_ && settings_->SetFontSize(UiMetrics::Get(
                                 host_.Paths(), reader_detail::kMetricDefaultFontSize))) {
                host_.SaveViewState();
                host_.InvalidateSurface();
            }
            return true;
        case Cmd::kProgressBar:
            if (!settings_) return true;
            settings_->progressBar = settings_->progressBar ? 0 : 1;
            settings_->ApplyToView();
            host_.RefreshSurface();
            return true;
        default:
            return false;
    }
}

bool SettingsCommands::RunTapActionCommand(int32_t id) {
    uint32_t action = 0;
    int32_t viewCommand = -1;
    if (!Commands::TapActionForCommand(id, action, viewCommand)) return false;
    if (settings_) settings_->tapAction = action;
    if (viewCommand >= 0) host_.RunViewCommand(viewCommand);
    return true;
}

uint32_t SettingsCommands::StyleFor(uint32_t kind) const {
    uint32_t colour = 0;
    switch (kind) {
        case kHighlight:
            if (settings_) settings_->GetHighlightColour(colour);
            return ((colour & 0x00FFFFFF) << 8) | 15;
        case kModification:
            if (settings_) settings_->GetModifyColour(colour);
            return ((colour & 0x00FFFFFF) << 8) | 111;
        case kNote:
            return 32;
        default:
            return 0;
    }
}

uint32_t SettingsCommands::TapAction() const {
    return settings_ ? settings_->tapAction : 0;
}

String SettingsCommands::ChosenDictionary() const {
    String path;
    if (settings_) settings_->GetDictionaryPath(path);
    return path;
}

uint32_t SettingsCommands::TextColour() const {
    uint32_t colour = 0x000000;
    if (settings_) settings_->GetTextColour(colour);
    return colour;
}

uint32_t SettingsCommands::BackgroundColour() const {
    uint32_t colour = 0xFFFFFF;
    if (settings_) settings_->GetBackgroundColour(colour);
    return colour;
}

int8_t SettingsCommands::PositionBarFontSize() const {
    if (!settings_) return kPositionBarFontSize;
    return static_cast<int8_t>(std::clamp<int32_t>(settings_->FontSize(), INT8_MIN, INT8_MAX));
}

void SettingsCommands::SetOrientation(int orientation) {
    if (settings_ && orientation >= 0 && orientation <= 3)
        settings_->orientation = static_cast<uint32_t>(orientation);
}
