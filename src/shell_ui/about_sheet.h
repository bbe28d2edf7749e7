// The About box: a sheet of two pages, About and Credits, of which only the first is shown.
#pragma once

#include "shell_ui/dialog_page.h"

class AboutPage : public DialogPage {
public:
    static constexpr uint32_t kVersionMajor = 5;
    static constexpr uint32_t kVersionMinor = 3;
    static constexpr uint32_t kVersionBuild = 582;
    AboutPage();

protected:
    void OnInit() override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
};

class CreditsPage : public DialogPage {
public:
    CreditsPage();

protected:
    void OnInit() override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
};

class AboutSheet : public PropertySheet {
public:
    AboutSheet();
    // Runs the About page over the view window; true when it ended with OK.
    bool Show(HWND owner, ReaderController* controller);
};
