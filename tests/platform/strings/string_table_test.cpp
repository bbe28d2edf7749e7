#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>

#include "platform/strings/resource_files.h"

namespace {

using fvt_test::StringTable;

constexpr int kFirstId = 5002;
// French texts are stored 1000 above their English ids: an English id from there on would meet them.
constexpr int kLastId = kFirstId + 999;

// Words spelt the same in both languages (compared on the visible text, markup removed).
const std::set<std::string> kSameInBothLanguages = {
    "OK",           "Options",     "Options...",  "Menu",           "Volume", "Page",
    "Notes",        "eAudio",      "eBooks",      "eDocs",          "eNews",  "Annotations",
    "Confirmation", "Information", "Orientation", "interaction(s)", "Annotation",  "Note",
};

class StringTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::path resources = fvt_test::SourceRoot() / "resources";
        english = new StringTable(fvt_test::ReadStringTable(resources / "strings.en.txt"));
        french = new StringTable(fvt_test::ReadStringTable(resources / "strings.fr.txt"));
    }
    static void TearDownTestSuite() {
        delete english;
        delete french;
    }
    static StringTable* english;
    static StringTable* french;
};

StringTable* StringTables::english = nullptr;
StringTable* StringTables::french = nullptr;

std::vector<std::string> AllMatches(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        found.push_back(it->str());
    }
    return found;
}

// "%1".."%9" are filled by position, so their order may change in a translation; "%s" and
// "%d" are filled in order of appearance, so theirs may not.
std::vector<std::string> PositionalMarkers(const std::string& text) {
    std::vector<std::string> markers = AllMatches(text, std::regex("%[1-9]"));
    std::sort(markers.begin(), markers.end());
    return markers;
}

std::vector<std::string> SequentialMarkers(const std::string& text) {
    return AllMatches(text, std::regex("%[sd]"));
}

// Tags (attributes and scripts included) and "###name###" fields of the page templates.
std::vector<std::string> Markup(const std::string& text) {
    return AllMatches(text, std::regex("<[^>]*>|###[A-Za-z0-9_]+###"));
}

// What a reader sees: markup, entities, fields and markers taken out, blanks trimmed.
std::string VisibleText(const std::string& text) {
    std::string visible =
        std::regex_replace(text, std::regex("<[^>]*>|&[a-z]+;|###[A-Za-z0-9_]+###|%[1-9sd]"), " ");
    size_t first = visible.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return visible.substr(first, visible.find_last_not_of(' ') - first + 1);
}

bool HasLetters(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

TEST_F(StringTables, FollowTheTableFormat) {
    ASSERT_FALSE(fvt_test::SourceRoot().empty()) << "FOLIVANT_TEST_SOURCE is not set";
    for (const std::string& problem : english->problems) ADD_FAILURE() << problem;
    for (const std::string& problem : french->problems) ADD_FAILURE() << problem;
    EXPECT_FALSE(english->texts.empty());
}

TEST_F(StringTables, UseOnlyEnglishIdsInTheirRange) {
    // The French table is written with the English ids; the build moves it up by 1000.
    for (const StringTable* table : {english, french}) {
        for (const auto& [id, text] : table->texts) {
            EXPECT_TRUE(id >= kFirstId && id <= kLastId) << "id " << id << " out of range";
        }
    }
}

TEST_F(StringTables, HaveBothTextsForEveryReferencedId) {
    std::set<int> used(fvt_test::kReferencedStringIds.begin(),
                       fvt_test::kReferencedStringIds.end());
    for (const auto& [id, text] : english->texts) used.insert(id);
    for (const auto& [id, text] : french->texts) used.insert(id);
    for (int id : used) {
        EXPECT_TRUE(english->texts.count(id)) << "no English text for " << id;
        EXPECT_TRUE(french->texts.count(id)) << "no French text for " << id;
    }
}

TEST_F(StringTables, KeepFormatMarkersAndMarkupInTranslation) {
    for (const auto& [id, en] : english->texts) {
        auto it = french->texts.find(id);
        if (it == french->texts.end()) continue;
        const std::string& fr = it->second;
        EXPECT_EQ(PositionalMarkers(en), PositionalMarkers(fr)) << "id " << id;
        EXPECT_EQ(SequentialMarkers(en), SequentialMarkers(fr)) << "id " << id;
        EXPECT_EQ(Markup(en), Markup(fr)) << "id " << id;
    }
}

TEST_F(StringTables, TranslateEveryFrenchText) {
    for (const auto& [id, en] : english->texts) {
        auto it = french->texts.find(id);
        if (it == french->texts.end() || it->second != en) continue;
        std::string visible = VisibleText(en);
        EXPECT_TRUE(!HasLetters(visible) || kSameInBothLanguages.count(visible))
            << "id " << id << " is not translated: " << en;
    }
}

TEST_F(StringTables, HaveNoStrayBlanksAtTheEnds) {
    // A blank or tab left at the end of a line would show in menus and be hard to see here.
    for (const StringTable* table : {english, french}) {
        for (const auto& [id, text] : table->texts) {
            EXPECT_FALSE(std::isspace(static_cast<unsigned char>(text.front())) ||
                         std::isspace(static_cast<unsigned char>(text.back())))
                << "id " << id;
        }
    }
}

TEST_F(StringTables, KeepFrenchPunctuationOnItsLine) {
    // French sets a blank before ? ! : ; and inside « »; an ordinary space there lets a line
    // break leave the mark alone at the start of the next line.
    const std::regex breakable(" [?!:;]| »|« ");
    for (const auto& [id, text] : french->texts) {
        std::string shown = std::regex_replace(text, std::regex("&nbsp;"), "\u00A0");
        shown = std::regex_replace(shown, std::regex("<[^>]*>"), "");
        EXPECT_FALSE(std::regex_search(shown, breakable)) << "id " << id << ": " << shown;
    }
}

}  // namespace
