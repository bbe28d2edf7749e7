// Messages that name a file: the path is whole and readable, shortened only in its middle.
#include "reader/file_messages.h"

#include <gtest/gtest.h>

#include <string>

#include "core/resources.h"
#include "document/location/location.h"
#include "support/platform/temp_device.h"

namespace {

std::u16string U(const String& s) { return std::u16string(s.Data(), static_cast<size_t>(s.Length())); }

TEST(FileMessages, ShortPathsAreKeptWholeAndLongOnesLoseOnlyTheirMiddle) {
    const String shortPath(u"\\storage\\eBooks\\audio\\Birds of the Shore.oga");
    EXPECT_EQ(U(FileMessages::ShortenMiddle(shortPath)), U(shortPath));

    std::u16string folders = u"\\storage\\eBooks";
    while (folders.size() < 200) folders += u"\\a very deep folder";
    const String deep((folders + u"\\Birds of the Shore.oga").c_str());
    const std::u16string cut = U(FileMessages::ShortenMiddle(deep, 80));
    EXPECT_EQ(cut.size(), 80u);
    EXPECT_EQ(cut.rfind(u"\\storage\\eBooks", 0), 0u);
    // The file's name survives whole, after the dots.
    EXPECT_NE(cut.find(u"...\\Birds of the Shore.oga"), std::u16string::npos);

    // A name longer than half the room still keeps both ends.
    const String longName((u"\\storage\\" + std::u16string(150, u'x') + u".prc").c_str());
    const std::u16string both = U(FileMessages::ShortenMiddle(longName, 60));
    EXPECT_EQ(both.size(), 60u);
    EXPECT_EQ(both.rfind(u"\\storage\\", 0), 0u);
    EXPECT_EQ(both.substr(both.size() - 4), u".prc");
    EXPECT_NE(both.find(u"..."), std::u16string::npos);
}

TEST(FileMessages, TheLocationIsNamedAsTheUserKnowsIt) {
    Location file;
    ASSERT_TRUE(file.Parse(String(u"\\storage\\eBooks\\audio\\My Song 100%.oga"), false));
    EXPECT_EQ(U(FileMessages::DisplayName(file)), u"\\storage\\eBooks\\audio\\My Song 100%.oga");
    Location redirect;
    ASSERT_TRUE(redirect.Parse(String(u"oeb:redirect?title=Tide%20Tables"), true));
    EXPECT_EQ(U(FileMessages::DisplayName(redirect)), u"oeb:redirect?title=Tide Tables");
}

TEST(FileMessages, ThePathTakesTheTextsPlaceOrALineOfItsOwn) {
    fvt::test::TempDevice english;
    ASSERT_TRUE(english.ok());
    Resources::FlushCache();
    const String path(u"\\storage\\eBooks\\x.oga");
    EXPECT_EQ(U(FileMessages::Format(5028, path)), u"Could not open: \\storage\\eBooks\\x.oga");
    EXPECT_EQ(U(FileMessages::Format(5478, path)), u"File corrupted\n\\storage\\eBooks\\x.oga");
    {
        fvt::test::TempDevice french("language = fr\n");
        ASSERT_TRUE(french.ok());
        Resources::FlushCache();
        const std::u16string text = U(FileMessages::Format(5522, path));
        EXPECT_EQ(text.rfind(u"Impossible d'enregistrer \\storage\\eBooks\\x.oga.", 0), 0u);
    }
    Resources::FlushCache();
}

TEST(FileMessages, AReasonTakesTheSecondPlaceOnALineOfItsOwn) {
    fvt::test::TempDevice english;
    ASSERT_TRUE(english.ok());
    Resources::FlushCache();
    const String path(u"\\storage\\eBooks\\notes");
    EXPECT_EQ(U(FileMessages::Format(5028, path, String(u"Not for reading."))),
              u"Could not open: \\storage\\eBooks\\notes\nNot for reading.");
    // Without a reason the place stays empty.
    EXPECT_EQ(U(FileMessages::Format(5028, path, String())),
              u"Could not open: \\storage\\eBooks\\notes");
    Resources::FlushCache();
}

}  // namespace
