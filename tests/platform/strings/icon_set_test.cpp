#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "platform/strings/resource_files.h"

namespace {

namespace fs = std::filesystem;

// The screens ask for 16-pixel icons, and 32-pixel ones on high-resolution screens.
constexpr uint32_t kSizes[] = {16, 32};

fs::path IconFolder() {
    return fvt_test::SourceRoot() / "resources" / "icons";
}

fs::path IconFile(int id, uint32_t size) {
    return IconFolder() / (std::to_string(id) + "-" + std::to_string(size) + ".png");
}

double OpaqueShare(const fvt_test::RgbaImage& image) {
    size_t opaque = 0;
    for (size_t i = 3; i < image.pixels.size(); i += 4) opaque += image.pixels[i] >= 128;
    return double(opaque) / (image.width * image.height);
}

TEST(IconSet, HasBothSizesOfEveryReferencedIcon) {
    ASSERT_FALSE(fvt_test::SourceRoot().empty()) << "FOLIVANT_TEST_SOURCE is not set";
    for (int id : fvt_test::kReferencedIconIds) {
        for (uint32_t size : kSizes) {
            fvt_test::RgbaImage image = fvt_test::ReadRgbaPng(IconFile(id, size));
            if (!image.ok) {
                ADD_FAILURE() << IconFile(id, size) << ": " << image.problem;
                continue;
            }
            EXPECT_EQ(image.width, size) << IconFile(id, size);
            EXPECT_EQ(image.height, size) << IconFile(id, size);
            // A blank or nearly blank picture is a drawing that went wrong.
            EXPECT_GT(OpaqueShare(image), 0.10) << IconFile(id, size);
        }
    }
}

TEST(IconSet, NamesEveryFileByIdAndKnownSize) {
    // The build takes the id and size from the name; anything else would be dropped or
    // would leave an icon with a single size.
    const std::regex name("([0-9]+)-(16|32)\\.png");
    std::map<int, int> sizesPerId;
    for (const fs::directory_entry& entry : fs::directory_iterator(IconFolder())) {
        std::string file = entry.path().filename().string();
        if (entry.path().extension() != ".png") continue;
        std::smatch match;
        if (!std::regex_match(file, match, name)) {
            ADD_FAILURE() << "icon file with an unexpected name: " << file;
            continue;
        }
        ++sizesPerId[std::stoi(match[1].str())];
    }
    for (const auto& [id, count] : sizesPerId) EXPECT_EQ(count, 2) << "icon " << id;
}

TEST(IconSet, DrawsEachIdDifferently) {
    // Two ids with the same picture usually mean one drawing was copied under a wrong id.
    std::map<std::vector<uint8_t>, int> seen;
    for (int id : fvt_test::kReferencedIconIds) {
        fvt_test::RgbaImage image = fvt_test::ReadRgbaPng(IconFile(id, 32));
        if (!image.ok) continue;
        auto [it, fresh] = seen.emplace(image.pixels, id);
        EXPECT_TRUE(fresh) << "icons " << it->second << " and " << id << " are the same picture";
    }
}

}  // namespace
