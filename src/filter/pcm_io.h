#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace harlox {

// Sample formats of the music files; everything else is refused when the file is opened.
enum class PcmSample { Int16, Int24, Float };

// A music file to read: headerless 16-bit stereo PCM (any name that does not end in .wav or
// .flac), or a WAV or FLAC file. Samples come out on the 16-bit scale (full scale 32768), two
// channels per frame: a mono file feeds both.
class PcmReader {
public:
    virtual ~PcmReader() = default;

    // Null with the reason in `why` when the file cannot be opened or holds what the filter
    // cannot take. `rawRate` is the sample rate assumed for a headerless file.
    static std::unique_ptr<PcmReader> Open(const std::string& path, int rawRate, std::string& why);

    [[nodiscard]] int channels() const { return channels_; }
    [[nodiscard]] int rate() const { return rate_; }
    [[nodiscard]] std::int64_t frames() const { return frames_; }
    [[nodiscard]] PcmSample sample() const { return sample_; }
    [[nodiscard]] bool raw() const { return raw_; }

    // Up to `count` frames into out[2 * count], left then right; returns the frames read
    // (fewer only at the end of the file or on a read error).
    virtual int ReadStereo(double* out, int count) = 0;

protected:
    int channels_ = 2;
    int rate_ = 0;
    std::int64_t frames_ = 0;
    PcmSample sample_ = PcmSample::Int16;
    bool raw_ = true;
};

// A music file to write: headerless 16-bit stereo PCM, or WAV (16-bit or float) or FLAC
// (16-bit), chosen by the extension. The samples go to `name.tmp` beside it; only a
// successful Close puts the file in place, so a failed or abandoned run (the writer
// destroyed without Close) leaves any earlier file of that name as it was.
class PcmWriter {
public:
    virtual ~PcmWriter() = default;

    // `channels` 1 or 2 (a headerless file is always stereo); float samples only in WAV
    // (FLAC and raw files get 16 bits).
    static std::unique_ptr<PcmWriter> Create(const std::string& path, int channels, int rate,
                                             bool floatSamples, std::string& why);

    [[nodiscard]] int channels() const { return channels_; }
    [[nodiscard]] bool floatSamples() const { return float_; }

    // Interleaved stereo frames; a mono file takes the left channel. Float samples are on
    // the 16-bit scale and written divided by 32768.
    [[nodiscard]] virtual bool Write16(const std::int16_t* stereo, int count) = 0;
    [[nodiscard]] virtual bool WriteFloat(const float* stereo, int count) = 0;
    // Flushes, closes and puts the file in place; false (and no file) when it could not be
    // completed.
    [[nodiscard]] virtual bool Close() = 0;

protected:
    int channels_ = 2;
    bool float_ = false;
};

// True for names ending in .wav or .flac (any case): those go through the sound file library.
[[nodiscard]] bool isSoundFileName(const std::string& path);

} // namespace harlox
