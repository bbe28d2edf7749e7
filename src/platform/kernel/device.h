// The emulated device: its host root folder and its profile. One device per process.
//
// The profile comes from "key = value" lines in the file beside the device root (root + ".ini"),
// then from FOLIVANT_<KEY> environment variables, then from the text given to OpenDevice. Keys:
//   screen = 240x320@96        os = 5.2[.build]          platform = PocketPC | Smartphone
//   language = en | fr         rotate = 0 | 1            cards = Storage Card;SD Card
//   missing = SHFullScreen;coredll.dll!RegisterHotKey;voicectl.dll   (functions or whole modules)
//   clock = real | virtual     now = 2024-05-01T12:00:00Z | unix seconds
//   timezone = +60 (minutes east of UTC)                 program_folder = \Program Files\Folivant
//   hidden = name;name         disk = free/total (bytes) command_line = text
//   htm_association = 1        wma_association = 0
// Other areas read their own keys with DeviceProfile::Value.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/types.h"

namespace fvt {

struct DeviceProfile {
    int screenWidth = 240;
    int screenHeight = 320;
    int dpi = 96;
    DWORD osMajor = 5;
    DWORD osMinor = 2;
    DWORD osBuild = 0;
    std::u16string platformType = u"PocketPC";
    bool french = false;
    bool canRotate = false;
    std::vector<std::u16string> cards;
    std::vector<std::string> missing;  // as written: "Name" or "module.dll!Name" or "module.dll"
    bool virtualClock = false;
    std::uint64_t startFileTime = 0;  // 0: the host's time
    int timeZoneMinutes = 0;          // local = UTC + this
    std::u16string programFolder = u"\\Program Files\\Folivant";
    std::u16string commandLine;
    std::vector<std::u16string> hidden;
    std::uint64_t diskFree = 0;  // both 0: the host file system's numbers
    std::uint64_t diskTotal = 0;
    bool htmAssociation = true;
    bool wmaAssociation = false;
    std::map<std::string, std::string> values;  // every key as given (lower-case keys)

    std::string Value(const std::string& key, const std::string& fallback = {}) const;
    bool IsSmartphone() const { return !platformType.empty() && platformType[0] == u'S'; }
};

// Starts (or restarts) the device on a host folder, created when missing. With useEnvironment
// false the FOLIVANT_* variables are ignored (tests). False when the folder cannot be made.
bool OpenDevice(const std::string& hostRoot, const std::string& profileText = {},
                bool useEnvironment = false);
// The device the program runs on by default: FOLIVANT_DEVICE, else a folder under the user's
// data directory (in a test run: a fresh temporary folder); opened on first use. A device
// always has "\Windows", "\My Documents" and "\Temp" ("\Storage" too before version 5).
// Opens that default device now: false with its host folder and the reason when the folder cannot
// be made or written (nothing then reaches any host folder; the profile is the default one).
bool OpenDefaultDevice(std::string& folder, std::string& reason);
// Forgets the device: the next use opens the default one again (a test's device is gone).
void CloseDevice();
const DeviceProfile& Profile();
std::string DeviceRoot();
// Changes each time the device is opened, so that areas holding device state can start afresh.
std::uint64_t DeviceGeneration();

// A folder under the system's temporary folder ($TMPDIR, else /tmp) for this process's temporary
// devices, made on first use. It is removed with all it holds when the process ends, however it
// ends (a crash, a kill, _exit: a small watcher process waits for this one to go). Empty when it
// cannot be made.
std::string ProcessTempFolder();

// Parses profile lines over `profile` (exposed for tests).
void ApplyProfileText(DeviceProfile& profile, const std::string& text);
bool ParseUtcTime(const std::string& text, std::uint64_t& fileTime);

}  // namespace fvt
