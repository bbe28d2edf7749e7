// The reader's operations that reach outside it: playlists for the device's music player,
// beaming, opening files with other programs, the clipboard. Every hand-off goes through the
// device shell; names that books supply are kept inside the book's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace ShellFunctions {

struct PlaylistArgument {
    std::u16string name;
    std::vector<int32_t> tracks;
};

// "name#1;3,4": the name before '#', then decimal track numbers split by ';' or ','. Pieces
// that are not numbers are dropped.
PlaylistArgument ParsePlaylistArgument(const std::u16string& text);

// The ASX playlist (paths escaped for XML) and the PMP one (file names only).
std::u16string AsxContent(const std::vector<std::u16string>& paths);
std::u16string PmpContent(const std::vector<std::u16string>& paths);

// Registry associations of ".wma" (ASX playlists) and ".htm".
bool HasWmaHandler();
bool HasHtmAssociation();

// The playlist text in the system code page, written to "\my documents"; false when a
// character has no byte there or the file cannot be written whole (no partial file remains).
bool WritePlaylist(const std::u16string& content, bool asx, std::u16string& outPath);

// A track's bytes as "\my documents\temp1_rec<i>.ogg", or temp2_rec when the first cannot be
// created. False (no partial file left) when neither can be written whole.
bool WriteTrack(int32_t index, const uint8_t* bytes, size_t size, std::u16string& outPath);

// A beam tool is in "\windows": beam.exe, else tobex.exe on Smartphone or irsquirt.exe.
bool BeamAvailable();
// Hands the file to the beam tool, quoted so that blanks stay in one argument.
bool BeamSendFile(HWND owner, const std::u16string& path);

// A file name a book gives, joined to the book's folder. False for absolute names, drive or
// parent references and programs: books never start programs or reach outside their folder.
bool ResolveBookFile(const std::u16string& folder, const std::u16string& name,
                     std::u16string& out);
bool OpenWithAssociatedApp(HWND owner, const std::u16string& folder, const std::u16string& name);

// A web address or a device file opened by the shell.
bool OpenDocument(HWND owner, const std::u16string& target);
// "wordpad.exe" is the desktop name of the device's "pword.exe".
bool OpenWithWordProcessor(HWND owner, const std::u16string& program,
                           const std::u16string& document);

// Full screen hides the task bar and start icon (34) and gives the window the whole screen;
// leaving shows them (17) and gives it the work area. False when the device cannot.
bool SetFullScreenWindow(HWND window, bool on);

// Nothing for an empty text; false when the clipboard cannot be opened or takes no data.
bool CopyTextToClipboard(HWND owner, const std::u16string& text);

}  // namespace ShellFunctions
