// What a reader window hands its document controller: the window's own objects, set once by the
// window and owned by it. A frame's controller shares its window's. The controller's own code
// names the fields; its sides read them through the getters.
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
public:
    SortedRecordDatabase* Log() const { return log_; }
    DocumentLoader* Loader() const { return loader_; }
    ReaderSettings* Settings() const { return settings_; }
    DrawingSurface* Surface() const { return surface_; }
    ReaderController* Reader() const { return reader_; }
    AppShellEvents* Sink() const { return sink_; }
    uint32_t Cookie() const { return cookie_; }
    // A frame's controller draws in its window's surface, with its settings, loader and log.
    void ShareWithFrame(DocumentWindowLinks& frame) const {
        frame.log_ = log_;
        frame.loader_ = loader_;
        frame.settings_ = settings_;
        frame.surface_ = surface_;
        frame.reader_ = reader_;
    }

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
