// What the document loader needs of the layers above it: the library catalogue it embeds,
// the application's paths and the user's message boxes. The library and the reader implement
// these; the loader only calls them.
#pragma once

#include <cstdint>

class AnnotationFile;
class String;
class Text;

// The library catalogue (embedded in the loader, made by the library).
class LoaderCatalogue {
public:
    // Storage notifications, forwarded unchanged.
    virtual void AddLocation(const Text& path) = 0;
    virtual void RemoveLocation(const Text& path) = 0;
    virtual void RefreshLocation(const Text& path) = 0;
    virtual void RefreshLocationBooks(const Text& path) = 0;
    virtual void Refresh() = 0;
    // The path of the book of that name; false when none.
    virtual bool FindBookByName(const String& name, Text& path) = 0;
    // A side file is closing: its book's catalogue entry is brought up to date from it.
    virtual void UpdateFromAnnotationFile(AnnotationFile* file) = 0;

protected:
    ~LoaderCatalogue() = default;
};

// The application's folders and its messages to the user.
class LoaderHost {
public:
    // The "\database" folder under the application folder, created when missing.
    virtual bool DatabaseFolder(Text& folder) = 0;
    // The full paths of the generated pages "FolivantAutogenCart.fvg" and
    // "FolivantAutogenInteract.fvg".
    virtual bool AutogenCartFile(Text& path) = 0;
    virtual bool AutogenInteractFile(Text& path) = 0;
    // Deletes every file that matches "FolivantAutogen*.fvg".
    virtual void DeleteAutogenFiles() = 0;
    // A message box with the text of a string resource.
    virtual void ShowMessage(uint32_t textId) = 0;

protected:
    ~LoaderHost() = default;
};

// The host over the application data folder, with no message boxes (until the reader gives
// its own).
class AppFolderLoaderHost : public LoaderHost {
public:
    bool DatabaseFolder(Text& folder) override;
    bool AutogenCartFile(Text& path) override;
    bool AutogenInteractFile(Text& path) override;
    void DeleteAutogenFiles() override;
    void ShowMessage(uint32_t) override {}
    virtual ~AppFolderLoaderHost() = default;
};
