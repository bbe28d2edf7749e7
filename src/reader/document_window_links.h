// What a reader window hands its document controller: the window's own objects, set once by the
// window and owned by it. A frame's controller shares its window's.
#pragma once

#include <cstdint>

class AppShellEvents;
class ConfigurationStore;
class DocumentLoader;
class DrawingSurface;
class ReaderController;
class ReaderSettings;
class ReaderWindow;
class SortedRecordDatabase;

class DocumentWindowLinks {
protected:
    SortedRecordDatabase* log_ = nullptr;
    DocumentLoader* loader_ = nullptr;
    ReaderSettings* settings_ = nullptr;
    DrawingSurface* surface_ = nullptr;
    ReaderController* reader_ = nullptr;
    ReaderWindow* window_ = nullptr;
    AppShellEvents* sink_ = nullptr;
    uint32_t cookie_ = 0;
    ConfigurationStore* runStore_ = nullptr;
};
