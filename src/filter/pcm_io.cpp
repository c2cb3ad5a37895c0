#include "filter/pcm_io.h"

#include "core/atomic_file.h"
#include "core/format.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace harlox {

namespace {

constexpr double kFullScale = 32768.0;
// Frames per library call.
constexpr int kChunk = 16384;

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// ---- headerless little-endian 16-bit stereo --------------------------------------------

class RawReader final : public PcmReader {
public:
    RawReader(std::FILE* f, int rate) : file_(f) {
        rate_ = rate;
        if (std::fseek(f, 0, SEEK_END) == 0) {
            const long size = std::ftell(f);
            frames_ = size > 0 ? size / 4 : 0;
        }
        std::rewind(f);
    }
    ~RawReader() override { std::fclose(file_); }

    int ReadStereo(double* out, int count) override {
        bytes_.resize(static_cast<std::size_t>(count) * 4);
        const std::size_t got = std::fread(bytes_.data(), 4, static_cast<std::size_t>(count), file_);
        const unsigned char* b = bytes_.data();
        for (std::size_t i = 0; i < got * 2; ++i)
            out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
        return static_cast<int>(got);
    }

private:
    std::FILE* file_;
    std::vector<unsigned char> bytes_;
};

class RawWriter final : public PcmWriter {
public:
    explicit RawWriter(std::unique_ptr<AtomicFile> file) : file_(std::move(file)) {}

    bool Write16(const std::int16_t* stereo, int count) override {
        bytes_.resize(static_cast<std::size_t>(count) * 4);
        for (std::size_t i = 0; i < static_cast<std::size_t>(count) * 2; ++i) {
            const auto v = static_cast<std::uint16_t>(stereo[i]);
            bytes_[2 * i] = static_cast<unsigned char>(v & 0xff);
            bytes_[2 * i + 1] = static_cast<unsigned char>(v >> 8);
        }
        return file_->Write(bytes_.data(), bytes_.size());
    }
    bool WriteFloat(const float*, int) override { return false; }
    bool Close() override { return file_->Commit(); }

private:
    std::unique_ptr<AtomicFile> file_;
    std::vector<unsigned char> bytes_;
};

// ---- WAV and FLAC ----------------------------------------------------------------------

// The library reads and writes the file on every call: whole chunks keep the system calls few.
class SoundReader final : public PcmReader {
public:
    SoundReader(SNDFILE* f, const SF_INFO& info, PcmSample sample) : file_(f) {
        raw_ = false;
        channels_ = info.channels;
        rate_ = info.samplerate;
        frames_ = info.frames;
        sample_ = sample;
        buffer_.resize(static_cast<std::size_t>(kChunk) * static_cast<std::size_t>(channels_));
    }
    ~SoundReader() override { sf_close(file_); }

    int ReadStereo(double* out, int count) override {
        int done = 0;
        while (done < count) {
            if (next_ == held_) {
                next_ = 0;
                held_ = static_cast<int>(sf_readf_double(file_, buffer_.data(), kChunk));
                if (held_ <= 0) {
                    held_ = 0;
                    break;
                }
            }
            const int n = std::min(count - done, held_ - next_);
            const double* from = buffer_.data() + static_cast<std::ptrdiff_t>(next_) * channels_;
            double* to = out + 2 * static_cast<std::ptrdiff_t>(done);
            if (channels_ == 2) {
                for (int i = 0; i < 2 * n; ++i)
                    to[i] = from[i] * kFullScale;
            } else {
                for (int i = 0; i < n; ++i)
                    to[2 * i] = to[2 * i + 1] = from[i] * kFullScale;
            }
            next_ += n;
            done += n;
        }
        return done;
    }

private:
    SNDFILE* file_;
    std::vector<double> buffer_;
    int next_ = 0; // first frame of the buffer not handed out yet
    int held_ = 0; // frames in the buffer
};

// The library writes through these into the temporary file, so the output lands only when
// the run completes.
sf_count_t fileLength(void* user) {
    struct stat st {};
    return ::fstat(static_cast<AtomicFile*>(user)->fd(), &st) == 0 ? st.st_size : -1;
}
sf_count_t fileSeek(sf_count_t offset, int whence, void* user) {
    return ::lseek(static_cast<AtomicFile*>(user)->fd(), offset, whence);
}
sf_count_t fileRead(void* to, sf_count_t count, void* user) {
    const ssize_t n = ::read(static_cast<AtomicFile*>(user)->fd(), to, static_cast<std::size_t>(count));
    return n < 0 ? 0 : n;
}
sf_count_t fileWrite(const void* from, sf_count_t count, void* user) {
    return static_cast<AtomicFile*>(user)->Write(from, static_cast<std::size_t>(count)) ? count : 0;
}
sf_count_t fileTell(void* user) { return ::lseek(static_cast<AtomicFile*>(user)->fd(), 0, SEEK_CUR); }

SF_VIRTUAL_IO g_fileIo{fileLength, fileSeek, fileRead, fileWrite, fileTell};

class SoundWriter final : public PcmWriter {
public:
    SoundWriter(SNDFILE* f, std::unique_ptr<AtomicFile> target, int channels, bool floatSamples)
        : file_(f), target_(std::move(target)) {
        channels_ = channels;
        float_ = floatSamples;
        if (floatSamples)
            floats_.resize(chunkSize());
        else
            shorts_.resize(chunkSize());
    }
    ~SoundWriter() override {
        if (file_ != nullptr) sf_close(file_);
    }

    bool Write16(const std::int16_t* stereo, int count) override {
        return !float_ && append(stereo, count, shorts_, [](std::int16_t v) { return v; });
    }
    bool WriteFloat(const float* stereo, int count) override {
        return float_ &&
               append(stereo, count, floats_, [](float v) { return static_cast<float>(v / kFullScale); });
    }
    bool Close() override {
        if (file_ == nullptr) return true;
        const bool flushed = flush();
        const bool ok = sf_error(file_) == SF_ERR_NO_ERROR;
        const bool closed = sf_close(file_) == 0;
        file_ = nullptr;
        if (flushed && ok && closed) return target_->Commit();
        target_->Discard();
        return false;
    }

private:
    [[nodiscard]] std::size_t chunkSize() const {
        return static_cast<std::size_t>(kChunk) * static_cast<std::size_t>(channels_);
    }

    // Copies (and converts) the channels the file takes into the chunk, writing it when full.
    template <class T, class Convert>
    bool append(const T* stereo, int count, std::vector<T>& chunk, Convert convert) {
        for (int i = 0; i < count; ++i) {
            T* to = chunk.data() + static_cast<std::ptrdiff_t>(pending_) * channels_;
            for (int c = 0; c < channels_; ++c)
                to[c] = convert(stereo[2 * i + c]);
            if (++pending_ == kChunk && !flush()) return false;
        }
        return true;
    }

    bool flush() {
        const sf_count_t n = pending_;
        pending_ = 0;
        if (n == 0) return true;
        return (float_ ? sf_writef_float(file_, floats_.data(), n)
                       : sf_writef_short(file_, shorts_.data(), n)) == n;
    }

    SNDFILE* file_;
    std::unique_ptr<AtomicFile> target_;
    std::vector<std::int16_t> shorts_;
    std::vector<float> floats_;
    int pending_ = 0; // frames in the chunk
};

const char* subtypeName(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return "8-bit samples";
    case SF_FORMAT_PCM_32:
        return "32-bit integer samples";
    case SF_FORMAT_DOUBLE:
        return "64-bit float samples";
    default:
        return "compressed samples";
    }
}

} // namespace

bool isSoundFileName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    return ext == ".wav" || ext == ".flac";
}

std::unique_ptr<PcmReader> PcmReader::Open(const std::string& path, int rawRate, std::string& why) {
    if (!isSoundFileName(path)) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            why = strprintf("Can not open file %s for reading", path.c_str());
            return nullptr;
        }
        return std::make_unique<RawReader>(f, rawRate);
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) {
        std::FILE* probe = std::fopen(path.c_str(), "rb");
        if (probe == nullptr) {
            why = strprintf("Can not open file %s for reading", path.c_str());
        } else {
            std::fclose(probe);
            why = strprintf("%s is no WAV or FLAC file this program can read (%s)", path.c_str(),
                            sf_strerror(nullptr));
        }
        return nullptr;
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    std::string refusal;
    PcmSample sample = PcmSample::Int16;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_FLAC)
        refusal = "is neither a WAV nor a FLAC file";
    else if (info.channels < 1 || info.channels > 2)
        refusal = strprintf("has %d channels (mono or stereo only)", info.channels);
    else if (subtype == SF_FORMAT_PCM_16)
        sample = PcmSample::Int16;
    else if (subtype == SF_FORMAT_PCM_24)
        sample = PcmSample::Int24;
    else if (subtype == SF_FORMAT_FLOAT)
        sample = PcmSample::Float;
    else
        refusal = strprintf("has %s (16-bit, 24-bit or float only)", subtypeName(subtype));
    if (refusal.empty() && (info.samplerate < 1000 || info.samplerate > 768000))
        refusal = strprintf("has a sample rate of %d Hz (1000 to 768000 Hz only)", info.samplerate);
    if (!refusal.empty()) {
        sf_close(f);
        why = strprintf("%s %s", path.c_str(), refusal.c_str());
        return nullptr;
    }
    // Float files beyond full scale keep their level: no clipping on the way in.
    sf_command(f, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    return std::make_unique<SoundReader>(f, info, sample);
}

std::unique_ptr<PcmWriter> PcmWriter::Create(const std::string& path, int channels, int rate,
                                             bool floatSamples, std::string& why) {
    if (!isSoundFileName(path)) {
        auto file = std::make_unique<AtomicFile>(path);
        if (!file->isOpen()) {
            why = strprintf("Can not open file %s for writing", path.c_str());
            return nullptr;
        }
        return std::make_unique<RawWriter>(std::move(file));
    }
    const bool flac = lowerExtension(path) == ".flac";
    const bool useFloat = floatSamples && !flac;
    SF_INFO info{};
    info.channels = std::clamp(channels, 1, 2);
    info.samplerate = rate;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | (useFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    if (sf_format_check(&info) == 0) {
        why = strprintf("%s: the sample rate %d Hz cannot be written in this format", path.c_str(), rate);
        return nullptr;
    }
    auto file = std::make_unique<AtomicFile>(path);
    SNDFILE* f = file->isOpen() ? sf_open_virtual(&g_fileIo, SFM_WRITE, &info, file.get()) : nullptr;
    if (f == nullptr) {
        why = strprintf("Can not open file %s for writing", path.c_str());
        return nullptr;
    }
    return std::make_unique<SoundWriter>(f, std::move(file), info.channels, useFloat);
}

} // namespace harlox
