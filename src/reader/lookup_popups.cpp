#include "reader/lookup_popups.h"

#include <new>
#include <string>

#include "core/resources.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/text_box.h"
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
constexpr std::uint32_t kSeveralDictionaries = 5102;
// Centred, kept together, shown as a link.
constexpr std::uint32_t kResultLine = 148;
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
bool FillResultsPopup(TextBox& box, const String& word, const std::vector<LookupEntry>& entries,
                      const std::vector<LookupMatch>& matches,
                      const std::function<String(std::uint32_t dictionary)>& reference,
                      bool compact) {
    String caption;
    if (!Resources::LoadString(caption, kSeveralDictionaries) || box.AddRun(caption, 0, nullptr))
        return false;
    bool first = true;
    for (const LookupEntry& entry : entries) {
        if (entry.count == 0) continue;
        String line;
        if (!first) line.AppendAscii("\n");
        first = false;
        line.AppendChars(entry.title.data(), static_cast<int32_t>(entry.title.size()));
        if (!compact) line.AppendAscii((" (" + std::to_string(entry.count) + ")").c_str());
        // Only this dictionary's own matches go with the link.
        SegArray<LookupMatch> own;
        for (const LookupMatch& m : MatchesOf(matches, entry)) {
            LookupMatch* slot = own.AppendNew();
            if (!slot) return false;
            *slot = m;
        }
        auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        if (!link->SetColumns(own, 0, own.Count(), reference(entry.dictionary), word, compact)) {
            return false;
        }
        if (box.AddRun(line, kResultLine, link.Get())) return false;
    }
    return true;
}

}  // namespace Lookup
