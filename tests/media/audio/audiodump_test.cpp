#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "media/audio/vorbis_source.h"
#include "support/media/audio_fixtures.h"
#include "support/media/sound_fixtures.h"

namespace {

// Runs the tool; the exit status, with standard error in *errors.
int RunTool(const std::string& arguments, const fixtures::TempFolder& folder, std::string* errors) {
    std::string log = folder.File("stderr.txt");
    int status = std::system((std::string(AUDIODUMP_PATH) + " " + arguments + " 2>" + log).c_str());
    std::vector<std::uint8_t> text;
    fixtures::ReadFileBytes(log, &text);
    errors->assign(text.begin(), text.end());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Audiodump, WritesTheDecodedOrConvertedSoundOrSaysWhyNot) {
    const auto& tones = fixtures::Tones();
    ASSERT_TRUE(tones.ready) << tones.why;
    fixtures::TempFolder folder;
    std::string in = folder.File("in.ogg"), out = folder.File("out.wav"), errors;
    ASSERT_TRUE(fixtures::WriteFileBytes(in, tones.stereo.ogg));
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_EQ(RunTool(in + " " + out, folder, &errors), 0) << errors;
    ASSERT_TRUE(fixtures::ReadWav(out, &rate, &channels, &samples));
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(channels, 2u);
    EXPECT_EQ(samples.size(), tones.stereo.frames * 2);

    ASSERT_EQ(RunTool("--rate 22050 --channels 1 " + in + " " + out, folder, &errors), 0) << errors;
    ASSERT_TRUE(fixtures::ReadWav(out, &rate, &channels, &samples));
    EXPECT_EQ(rate, 22050u);
    EXPECT_EQ(channels, 1u);
    EXPECT_NEAR(static_cast<double>(samples.size()), tones.stereo.frames / 2.0, 2);

    std::remove(out.c_str());
    ASSERT_TRUE(fixtures::WriteFileBytes(in, {'n', 'o', 't', ' ', 'O', 'g', 'g'}));
    EXPECT_EQ(RunTool(in + " " + out, folder, &errors), 1);
    EXPECT_NE(errors.find("not an Ogg Vorbis stream"), std::string::npos) << errors;
    EXPECT_EQ(RunTool(folder.File("missing.ogg") + " " + out, folder, &errors), 1);
    EXPECT_NE(errors.find("cannot open"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(out));
}


// The file written as the sound decodes holds exactly what decoding in one piece gives, with
// the header's sizes matching the file; a run that fails leaves an earlier output as it was.
TEST(Audiodump, StreamedFileIsTheWholeDecodeAndFailuresKeepTheOldFile) {
    const auto& tones = fixtures::Tones();
    ASSERT_TRUE(tones.ready) << tones.why;
    fixtures::TempFolder folder;
    std::string in = folder.File("in.ogg"), out = folder.File("out.wav"), errors;
    ASSERT_TRUE(fixtures::WriteFileBytes(in, tones.stereo.ogg));
    ASSERT_EQ(RunTool(in + " " + out, folder, &errors), 0) << errors;

    AudioData* data = fixtures::OpenFileAudioData(in.c_str());
    ASSERT_NE(data, nullptr);
    auto vorbis = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    data->Release();
    AudioFormat format;
    ASSERT_TRUE(vorbis->GetFormat(&format));
    std::vector<std::int16_t> whole = fixtures::ReadAll(vorbis->GetStream(), 1 << 20);
    ASSERT_FALSE(whole.empty());

    std::vector<std::uint8_t> file;
    ASSERT_TRUE(fixtures::ReadFileBytes(out, &file));
    ASSERT_EQ(file.size(), 44 + whole.size() * 2);
    auto u32 = [&](std::size_t at) {
        return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) |
               (static_cast<std::uint32_t>(file[at + 3]) << 24);
    };
    EXPECT_EQ(u32(4), file.size() - 8);
    EXPECT_EQ(u32(40), file.size() - 44);
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(out, &rate, &channels, &samples));
    EXPECT_TRUE(samples == whole);

    ASSERT_TRUE(fixtures::WriteFileBytes(in, {'n', 'o', 't', ' ', 'O', 'g', 'g'}));
    EXPECT_EQ(RunTool(in + " " + out, folder, &errors), 1);
    std::vector<std::uint8_t> after;
    ASSERT_TRUE(fixtures::ReadFileBytes(out, &after));
    EXPECT_TRUE(after == file);
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

}  // namespace
