#include "reader/lookup_popups.h"

#include "core/resources.h"
#include "core/string.h"
#include "reader/reader_views.h"

namespace Lookup {

namespace {

constexpr std::uint32_t kStoreHint = 5095;
constexpr std::uint32_t kTranslationQuestion = 5098;
constexpr std::uint32_t kDictionaryQuestion = 5099;
constexpr std::uint32_t kStoreAddress = 5101;
constexpr std::uint32_t kNoMatch = 5104;
constexpr std::uint32_t kNoMatchChoose = 5105;
constexpr std::uint32_t kBilingualOnly = 46;
// Text box run styles: bold and centred.
constexpr std::uint32_t kHeading = 129;

bool AddString(TextPopup& popup, std::uint32_t id, std::uint32_t flags) {
    String text;
    return Resources::LoadString(text, id) && popup.AddText(text, flags);
}

}  // namespace

bool FillNoDictionary(TextPopup& popup, std::uint32_t command, bool quiet) {
    if (quiet) return AddString(popup, kNoMatch, 0);
    const std::uint32_t question =
        command == kBilingualOnly ? kTranslationQuestion : kDictionaryQuestion;
    return AddString(popup, question, kHeading) && AddString(popup, kStoreHint, 0) &&
           AddString(popup, kStoreAddress, kHeading);
}

bool FillNoMatch(TextPopup& popup, bool quiet, bool choose) {
    return AddString(popup, !quiet && choose ? kNoMatchChoose : kNoMatch, 0);
}
}  // namespace Lookup
