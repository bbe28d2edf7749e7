#include "platform/audio/wave_out.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "support/platform/temp_device.h"

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = static_cast<WORD>(channels * 2);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// What the callback saw, in order.
struct Seen {
    std::mutex m;
    std::vector<WAVEHDR*> headers;
    std::vector<DWORD> flags;
    std::vector<std::thread::id> threads;

    std::size_t Count() {
        std::lock_guard<std::mutex> g(m);
        return headers.size();
    }
    static void Callback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
        auto* self = reinterpret_cast<Seen*>(instance);
        auto* header = reinterpret_cast<WAVEHDR*>(param1);
        std::lock_guard<std::mutex> g(self->m);
        if (message != MM_WOM_DONE) return;
        self->headers.push_back(header);
        self->flags.push_back(header->dwFlags);
        self->threads.push_back(std::this_thread::get_id());
    }
};

// Real-time wait for another thread's progress; the bound only keeps a broken build from hanging.
template <class F>
bool WaitFor(F done) {
    for (int i = 0; i < 5000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

class WaveOut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.ok());
        fvt::ResetWaveCounters();
    }
    void TearDown() override {
        // A failed test may leave headers with the device: they must come back before the
        // blocks go.
        if (device_) {
            waveOutReset(device_);
            EXPECT_TRUE(WaitFor([&] { return waveOutClose(device_) == MMSYSERR_NOERROR; }));
        }
        waveOutSetVolume(nullptr, 0xFFFFFFFF);
    }
    void Profile(const std::string& text) { ASSERT_TRUE(fvt::OpenDevice(temp_.root(), text)); }

    MMRESULT Open(DWORD rate = 22050, WORD channels = 1) {
        WAVEFORMATEX f = Pcm(rate, channels);
        return waveOutOpen(&device_, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&Seen::Callback),
                           reinterpret_cast<DWORD_PTR>(&seen_), CALLBACK_FUNCTION);
    }

    struct Block {
        WAVEHDR header{};
        std::vector<std::int16_t> data;
    };
    // Prepared blocks of `frames` frames whose samples count up from 0.
    void MakeBlocks(int count, std::uint32_t frames, std::uint32_t channels = 1) {
        blocks_.resize(count);
        std::int16_t value = 0;
        for (auto& b : blocks_) {
            b.data.resize(frames * channels);
            for (auto& s : b.data) s = value++;
            b.header.lpData = reinterpret_cast<LPSTR>(b.data.data());
            b.header.dwBufferLength = static_cast<DWORD>(b.data.size() * 2);
            ASSERT_EQ(waveOutPrepareHeader(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    }
    void WriteAll() {
        for (auto& b : blocks_) {
            ASSERT_EQ(waveOutWrite(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    }
    void UnprepareAll() {
        for (auto& b : blocks_) {
            ASSERT_EQ(waveOutUnprepareHeader(device_, &b.header, sizeof(WAVEHDR)),
                      MMSYSERR_NOERROR);
        }
    }

    fvt::test::TempDevice temp_{"audio = null:fast\n"};
    HWAVEOUT device_ = nullptr;
    Seen seen_;
    std::vector<Block> blocks_;
};

TEST_F(WaveOut, CapabilitiesComeFromTheProfile) {
    WAVEOUTCAPS caps;
    ASSERT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.dwFormats, 0xCCCu);
    EXPECT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);

    Profile("audio = null:fast\nwave_caps = 0x44\n");
    ASSERT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.dwFormats, WAVE_FORMAT_1M16 | WAVE_FORMAT_2M16);
    EXPECT_EQ(Open(44100, 1), WAVERR_BADFORMAT);
    EXPECT_EQ(device_, nullptr);
    EXPECT_EQ(Open(22050, 2), WAVERR_BADFORMAT);
    EXPECT_EQ(Open(16000, 1), WAVERR_BADFORMAT);
    // Only consistent 16-bit PCM, and only through the mapper or device 0.
    HWAVEOUT h = nullptr;
    WAVEFORMATEX f = Pcm(22050, 1);
    f.wBitsPerSample = 8;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    f = Pcm(22050, 1);
    f.nBlockAlign = 4;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    f = Pcm(22050, 1);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&h, 3, &f, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(h, nullptr);
    ASSERT_EQ(Open(22050, 1), MMSYSERR_NOERROR);
    EXPECT_NE(device_, nullptr);
}

TEST_F(WaveOut, ReturnsHeadersInOrderDoneBeforeTheCallback) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    MakeBlocks(20, 100);
    WriteAll();
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 20; }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(seen_.headers[i], &blocks_[i].header);
        EXPECT_TRUE(seen_.flags[i] & WHDR_DONE);
        EXPECT_FALSE(seen_.flags[i] & WHDR_INQUEUE);
        EXPECT_NE(seen_.threads[i], std::this_thread::get_id());
        EXPECT_EQ(seen_.threads[i], seen_.threads[0]);  // one driver thread
    }
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 2000u);
    EXPECT_EQ(fvt::GetWaveCounters().headersSkipped, 0u);
    UnprepareAll();
}

TEST_F(WaveOut, PausedDeviceHoldsHeadersUntilRestartOrReset) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPause(device_), MMSYSERR_NOERROR);
    MakeBlocks(4, 100);
    WriteAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen_.Count(), 0u);
    EXPECT_EQ(waveOutUnprepareHeader(device_, &blocks_[0].header, sizeof(WAVEHDR)),
              WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device_), WAVERR_STILLPLAYING);
    // Reset gives them back in order, done but not played, though the device is paused.
    ASSERT_EQ(waveOutReset(device_), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 4; }));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen_.headers[i], &blocks_[i].header);
        EXPECT_TRUE(seen_.flags[i] & WHDR_DONE);
    }
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 0u);
    EXPECT_EQ(fvt::GetWaveCounters().headersSkipped, 4u);
    WriteAll();
    ASSERT_EQ(waveOutRestart(device_), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 8; }));
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 400u);
    UnprepareAll();
}

// A sound card that takes nothing: its Write holds the driver thread until the device is reset
// (or a bound passes, which only keeps a broken build from hanging).
struct StuckCard : fvt::WaveSink {
    struct State {
        std::mutex m;
        std::condition_variable cv;
        int writing = 0, discards = 0, gaveUp = 0;
    };
    explicit StuckCard(std::shared_ptr<State> s) : state(std::move(s)) {}
    bool Open(const WAVEFORMATEX&) override { return true; }
    void Write(const std::int16_t*, std::uint32_t) override {
        std::unique_lock<std::mutex> l(state->m);
        const int before = state->discards;
        ++state->writing;
        state->cv.notify_all();
        if (!state->cv.wait_for(l, std::chrono::seconds(20),
                                [&] { return state->discards != before; }))
            ++state->gaveUp;
    }
    void Close() override {}
    bool PacesItself() const override { return true; }
    void Discard() override {
        std::lock_guard<std::mutex> l(state->m);
        ++state->discards;
        state->cv.notify_all();
    }
    std::shared_ptr<State> state;
};

// A reset lets go of the header the card is playing: it comes back with the rest and the
// device closes, without waiting for the card (a program's exit waited so).
TEST_F(WaveOut, ResetLetsGoOfTheHeaderTheCardHolds) {
    auto state = std::make_shared<StuckCard::State>();
    fvt::RegisterWaveSink("stuck", [state](const std::string&) {
        return std::make_unique<StuckCard>(state);
    });
    Profile("audio = stuck\n");
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    MakeBlocks(3, 100);
    WriteAll();
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> l(state->m);
        return state->writing == 1;
    }));
    ASSERT_EQ(waveOutReset(device_), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 3; }));
    EXPECT_EQ(waveOutClose(device_), MMSYSERR_NOERROR);
    device_ = nullptr;
    std::lock_guard<std::mutex> l(state->m);
    EXPECT_EQ(state->discards, 1);
    EXPECT_EQ(state->gaveUp, 0);
    EXPECT_EQ(state->writing, 1);
}

TEST_F(WaveOut, HeaderAndHandleRules) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    std::int16_t data[8] = {};
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(data);
    h.dwBufferLength = sizeof data;
    EXPECT_EQ(waveOutWrite(device_, &h, sizeof h), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutPrepareHeader(device_, &h, sizeof h - 1), MMSYSERR_INVALPARAM);
    HWAVEOUT old = device_;
    ASSERT_EQ(waveOutClose(device_), MMSYSERR_NOERROR);
    device_ = nullptr;
    EXPECT_EQ(waveOutPause(old), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(old), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOut, WavSinkRecordsWhatWasPlayedAtTheVolume) {
    std::string path = temp_.root() + "/tone.wav";
    Profile("audio = wav:" + path + "\n");
    ASSERT_EQ(waveOutSetVolume(nullptr, 0xFFFF8000), MMSYSERR_NOERROR);
    DWORD volume = 0;
    ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFF8000u);
    EXPECT_EQ(waveOutGetVolume(nullptr, nullptr), MMSYSERR_INVALPARAM);
    ASSERT_EQ(Open(22050, 2), MMSYSERR_NOERROR);
    MakeBlocks(3, 500, 2);
    WriteAll();
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 3; }));
    // Nothing is at the path until the device closes.
    EXPECT_FALSE(std::filesystem::exists(path));
    UnprepareAll();
    ASSERT_EQ(waveOutClose(device_), MMSYSERR_NOERROR);
    device_ = nullptr;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 44u + 6000u);
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(bytes[22], 2);                                            // channels
    EXPECT_EQ(bytes[24] | (bytes[25] << 8), 22050);                     // rate
    EXPECT_EQ(bytes[40] | (bytes[41] << 8) | (bytes[42] << 16), 6000);  // data bytes
    for (int i = 0; i < 3000; ++i) {
        std::int16_t s;
        std::memcpy(&s, bytes.data() + 44 + 2 * i, 2);
        // Left at half (0x8000 of 0xFFFF), right untouched.
        ASSERT_EQ(s, i % 2 ? i : i * 0x8000 / 0xFFFF) << i;
    }
}

TEST_F(WaveOut, PlaysAtTheRateOfTheVirtualClock) {
    Profile("audio = null\nclock = virtual\n");
    ASSERT_EQ(Open(22050, 1), MMSYSERR_NOERROR);
    MakeBlocks(2, 22050);  // a second each
    std::uint64_t start = fvt::NowTicks();
    WriteAll();
    // Virtual time stands still until this thread moves it.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen_.Count(), 0u);
    fvt::AdvanceClockTo(start + 1000);
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen_.Count(), 1u);
    // Sleep on the clock's driving thread advances it.
    Sleep(1000);
    ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 2; }));
    UnprepareAll();
}

}  // namespace

TEST_F(WaveOut, WavSinkContinuesTheRunsRecordingInTheSameFormatOnly) {
    std::string path = temp_.root() + "/run.wav";
    Profile("audio = wav:" + path + "\n");
    auto play = [&](DWORD rate, WORD channels) {
        ASSERT_EQ(Open(rate, channels), MMSYSERR_NOERROR);
        seen_.headers.clear();
        MakeBlocks(2, 100, channels);
        WriteAll();
        ASSERT_TRUE(WaitFor([&] { return seen_.Count() == 2; }));
        UnprepareAll();
        ASSERT_EQ(waveOutClose(device_), MMSYSERR_NOERROR);
        device_ = nullptr;
    };
    auto dataBytes = [&] { return std::filesystem::file_size(path) - 44; };
    // One track after another: the second device's sound follows the first's.
    play(22050, 1);
    play(22050, 1);
    EXPECT_EQ(dataBytes(), 800u);
    // Another format starts the file again, and so does a new device session.
    play(11025, 2);
    EXPECT_EQ(dataBytes(), 800u);
    Profile("audio = wav:" + path + "\n");
    play(11025, 2);
    EXPECT_EQ(dataBytes(), 800u);
}
