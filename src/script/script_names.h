// The script-name vocabulary (301 names, ids 1 to 316 with gaps). The document model's keyword
// tables reuse this one for their script-name quarter.
#pragma once

#include <cstdint>

namespace ScriptNames {

constexpr std::uint32_t kLastId = 316;
// Ids the engine gives to names of its own that are not in the vocabulary.
constexpr std::uint32_t kGlobalRecordSet = 317;  // "__global_recordset"
constexpr std::uint32_t kWidgetEvent = 318;      // "__widget_event"
constexpr std::uint32_t kFirstDynamicId = 319;   // user names are numbered from here

// The ids of the names that host objects answer by number (`using namespace ScriptNames::Ids`).
namespace Ids {
enum Id : std::uint16_t {
    kNavigator = 43,
    kDevice = 44,
    kSqlExecute = 98,
    kAppVersion = 104,
    kLanguage = 105,
    kCurrentIndexEntry = 107,
    kOpenDatabase = 108,
    kPlatform = 123,
    kScreenWidth = 124,
    kScreenHeight = 125,
    kHasPointer = 126,
    kHasNumericKeyboard = 127,
    kHasFullKeyboard = 128,
    kGetenv = 129,
    kGramgrp = 136,
    kOrth = 137,
    kFormat = 139,
    kFormatted = 140,
    kMoveNext = 141,
    kMovePrevious = 142,
    kBof = 143,
    kEof = 144,
    kMoveFirst = 145,
    kMoveLast = 146,
    kAnchor = 147,
    kUrl = 148,
    kAddNew = 149,
    kDelete = 150,
    kFindFirst = 151,
    kFindNext = 152,
    kMoveRandom = 153,
    kInfl = 154,
    kValue = 155,
    kCount = 156,
    kFields = 157,
    kText = 158,
    kHref = 159,
    kOpenTable = 160,
    kAddField = 161,
    kRemoveField = 162,
    kCreateTable = 163,
    kDropTable = 164,
    kCloseTable = 165,
    kSave = 166,
    kValueLower = 279,
    kName = 280,
    kType = 281,
    // Form controls.
    kReset = 77,
    kSubmit = 78,
    kScrollIntoView = 257,
    kHasFocus = 258,
    kFocus = 259,
    kBlur = 260,
    kChecked = 278,
    kSelectedIndex = 283,
    kForm = 284,
    kSource = 285,
    kRecordset = 286,
    // Script pages: the host objects and their members.
    kClear = 113,
    kResponse = 289,
    kServer = 290,
    kRequest = 291,
    kSession = 292,
    kFrameset = 293,
    kContents = 296,
    kQueryString = 297,
    kWrite = 298,
    kHtmlEncode = 299,
    kUrlEncode = 300,
    kEnd = 301,
    kRedirect = 302,
    kUse = 303,
    kFlush = 304,
    kServerVariables = 305,
    kAppendToLog = 307,
    kAddHeader = 308,
    kTimeout = 309,
    kSessionId = 310,
    kBuffer = 311,
    kContentType = 312,
    kStatus = 313,
    kScriptTimeout = 314,
    kCodePage = 315,
    kLcid = 316,
};
}  // namespace Ids

// Exact lookup, comparing whole 16-bit units: 0 when the text is no vocabulary name.
std::uint16_t Find(const char16_t* chars, std::uint32_t count);
// The text of an id (the first spelling for ids with two), or null for unnamed ids.
const char16_t* Text(std::uint32_t id);
std::uint32_t TextLength(std::uint32_t id);

// Table walk in id order, for tables built from this one.
int Count();
std::uint16_t IdAt(int i);
const char16_t* TextAt(int i);

}  // namespace ScriptNames
