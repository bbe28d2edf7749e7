// What the document loader needs of the layers above it: the library catalogue it embeds and
// the user's message boxes. The library and the reader implement these; the loader only calls
// them.
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

// The user's message boxes (the reader controller shows them).
class LoaderMessages {
public:
    // A message box with the text of a string resource.
    virtual void ShowMessage(uint32_t textId) = 0;
    // The same about one file (its device path): the user learns which file failed.
    virtual void ShowFileMessage(uint32_t textId, const Text& /*path*/) { ShowMessage(textId); }

protected:
    ~LoaderMessages() = default;
};
