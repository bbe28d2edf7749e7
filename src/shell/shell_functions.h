// The reader's operations that reach outside it: playlists for the device's music player,
// beaming, opening files with other programs, the clipboard. Every hand-off goes through the
// device shell; names that books supply are kept inside the book's folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/string.h"
#include "graphics/core/command_ids.h"
#include "platform/menu/menu.h"
#include "platform/types.h"
#include "reader/menu_items.h"
#include "reader/reader_host.h"

class Resource;

namespace ShellFunctions {

struct PlaylistArgument {
    std::u16string name;
    std::vector<int32_t> tracks;
};

// "name#1;3,4": the name before '#', then decimal track numbers split by ';' or ','. Pieces
// that are not numbers are dropped.
PlaylistArgument ParsePlaylistArgument(const std::u16string& text);

// The text with '&', '<', '>' and '"' written as markup entities.
std::u16string EscapeMarkup(const std::u16string& text);

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

// Stale track files ("temp1_rec<i>.ogg", "temp2_rec<i>.ogg") are deleted before new ones are
// written; one the player still holds stays.
void DeleteTempTracks();

// A track of an opened book: the bytes of its data record `index` (1 is the first) when they
// are Ogg audio ("OggS"). False for a missing record or one that holds no sound.
bool ReadAudioTrack(Resource* book, int32_t index, std::vector<uint8_t>& out);

// The playlist of a book's tracks for the device's music player: every track written as a file,
// then the playlist (ASX with a ".wma" handler, else PMP). `book` null: the book could not be
// opened (the opener reported it). A book without the audio, or a missing track, shows the
// audio advice with `name`; failing track and playlist files show their errors. True and the
// playlist's path when it was written whole.
bool WriteBookPlaylist(HWND owner, Resource* book, const std::u16string& name,
                       const std::vector<int32_t>& tracks, std::u16string& outPath);
// The playlist handed to the music player, hidden.
bool OpenPlaylist(HWND owner, const std::u16string& path);

// The voice recorder over the view window (no move, modal, at 140, 26) recording into the
// file, shown; false when the device has none.
bool StartRecorder(HWND view, const std::u16string& file);

// A phone call to the number; false when the device cannot call or refused it.
bool PhoneCall(const std::u16string& number);

// Pop-up menus: an item per entry (id command + 50000), a separator for the separator command,
// nothing for the skipped string id; in full screen a separator and "Back to normal display"
// (the full-screen item) follow.
constexpr uint32_t kPopupItemBase = MenuItem::kPopupBase;
constexpr uint32_t kNormalDisplayItem = MenuItem::kFullScreen;
constexpr int32_t kNormalDisplayCommand = Cmd::kFullScreen;
HMENU BuildPopupMenu(const PopupMenuEntry* entries, uint32_t count, bool fullScreen);
// The command of a chosen item; -1 for none.
int32_t PopupItemCommand(uint32_t item);
// The menu at the point of the view window (client coordinates); the command chosen, -1 when
// none. A lookup command (46, 47) that `disabled` refuses shows its advice instead and gives
// -1. The menu is destroyed.
int32_t RunPopupMenu(HWND view, int32_t x, int32_t y, const PopupMenuEntry* entries,
                     uint32_t count, bool fullScreen, const std::function<bool(int32_t)>& disabled);

// The file-open dialog for books: PRC, HTML, TXT and all files; true and the chosen path.
bool ChooseBookFile(HWND owner, String& path);

// A device program a book starts with a file of its folder: the program is a bare file name
// (no folder, drive or parent), the file is kept inside the book's folder. Empty parameters
// start the program alone.
bool OpenWithApplication(HWND owner, const std::u16string& folder, const std::u16string& program,
                         const std::u16string& parameters);

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
