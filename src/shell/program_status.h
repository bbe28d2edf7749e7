// The program's own exit status, and the failures a run tells its user about once.
#pragma once

#include "platform/window/window.h"

// Marks the run as failed: the program ends with status 1.
void NoteProgramFailure();
// 0 while nothing failed, else 1.
int ProgramStatus();
// When a file could not be written since the last look, the run has failed; each such file is
// named to the user (once per run: later failures of a device that stays read-only would only
// repeat it). What is on screen stays in memory.
void ReportWriteFailures(HWND owner);
