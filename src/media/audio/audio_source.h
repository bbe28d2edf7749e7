// Sound sources: 16-bit PCM data for the audio player, with length, position and seeking in
// whole seconds. A source is one counted object with two faces, the data (PcmStream) and the
// control (AudioSource), sharing one count.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Interleaved signed 16-bit little-endian samples: every format this program makes or accepts
// is signed and not big-endian.
struct AudioFormat {
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    std::uint8_t signedSamples = 1;
    std::uint8_t bigEndian = 0;
    std::uint32_t bytesPerSample = 2;

    std::uint32_t FrameBytes() const { return channels * bytesPerSample; }
    bool IsPcm16() const { return bytesPerSample == 2 && signedSamples == 1 && bigEndian == 0; }
};

class PcmStream {
public:
    virtual bool GetFormat(AudioFormat* format) = 0;
    // Fills up to size bytes of whole frames; count gets the bytes written.
    virtual bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) = 0;
    virtual ~PcmStream() = default;
};

class AudioSource {
public:
    virtual bool CanSeek() = 0;
    // Whole seconds; negative when the length or position cannot be known.
    virtual std::int64_t LengthSeconds() = 0;
    virtual std::int64_t PositionSeconds() = 0;
    virtual bool SeekSeconds(std::uint32_t seconds) = 0;
    // The same object's data face; no reference is added.
    virtual PcmStream* GetStream() = 0;
    virtual void AddRef() = 0;
    // True when this call destroyed the object.
    virtual bool Release() = 0;

protected:
    ~AudioSource() = default;
};

// The compressed bytes behind a source: a counted, positionless byte range. The document model's
// data handles are adapted to it; reads may come from the wave driver's thread, so an
// implementation must not share a file position with other users.
class AudioData {
public:
    virtual bool IsValid() = 0;
    // False when offset is at or past the end; count is clipped to the bytes left.
    virtual bool Read(std::uint64_t offset, void* destination, std::uint32_t count,
                      std::uint32_t* got) = 0;
    virtual bool GetLength(std::uint64_t* length) = 0;
    virtual void AddRef() = 0;
    virtual void Release() = 0;

protected:
    virtual ~AudioData() = default;
};

// Both faces over one thread-safe count; the object is deleted through PcmStream.
class CountedAudioSource : public PcmStream, public AudioSource {
public:
    PcmStream* GetStream() override { return this; }
    void AddRef() override { count_.fetch_add(1, std::memory_order_relaxed); }
    bool Release() override {
        if (count_.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
        delete static_cast<PcmStream*>(this);
        return true;
    }

private:
    std::atomic<std::uint32_t> count_{1};
};

// A counted reference: adopts a fresh count or adds its own, releases on reset.
template <class T>
class AudioRef {
public:
    AudioRef() = default;
    ~AudioRef() { Reset(); }
    AudioRef(const AudioRef&) = delete;
    AudioRef& operator=(const AudioRef&) = delete;
    AudioRef(AudioRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    AudioRef& operator=(AudioRef&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    static AudioRef Adopt(T* p) {
        AudioRef r;
        r.p_ = p;
        return r;
    }
    static AudioRef Share(T* p) {
        if (p) p->AddRef();
        return Adopt(p);
    }
    void Reset() {
        T* old = p_;
        p_ = nullptr;
        if (old) old->Release();
    }
    T* Take() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
