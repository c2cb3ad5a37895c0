#include "filter/music_filter.h"

#include "core/diagram_model.h"
#include "core/format.h"
#include "filter/general.h"
#include "filter/imp_response.h"
#include "filter/pcm_io.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

using namespace harlox;
using test::ScriptedUiHost;
using test::TempDir;

namespace {

using Frames = std::vector<std::int16_t>; // interleaved stereo

void writeRaw(const std::string& path, const Frames& s) {
    std::ofstream out(path, std::ios::binary);
    for (std::int16_t v : s) {
        const auto u = static_cast<std::uint16_t>(v);
        out.put(static_cast<char>(u & 0xff)).put(static_cast<char>(u >> 8));
    }
}

// Any music file back as interleaved stereo on the 16-bit scale.
std::vector<double> readBack(const std::string& path, int rate = 44100) {
    std::string why;
    auto in = PcmReader::Open(path, rate, why);
    EXPECT_TRUE(in) << why;
    if (!in) return {};
    std::vector<double> s(static_cast<std::size_t>(2 * in->frames()));
    EXPECT_EQ(in->ReadStereo(s.data(), static_cast<int>(in->frames())), in->frames());
    return s;
}

Frames tones(int frames, double amplitude) {
    Frames s(static_cast<std::size_t>(2 * frames));
    for (int i = 0; i < frames; ++i) {
        s[2 * static_cast<std::size_t>(i)] = static_cast<std::int16_t>(amplitude * std::sin(0.071 * i));
        s[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::int16_t>(amplitude * std::cos(0.23 * i));
    }
    return s;
}

// A project response of `gain` at every frequency, `advance` seconds early, N = 512 at 44.1 kHz.
struct Rig {
    explicit Rig(double gain = 1.0, double advance = 0.0) : flat(TGeneral::kPoints), ir(general, window) {
        for (int i = 0; i < TGeneral::kPoints; ++i)
            flat[static_cast<std::size_t>(i)] =
                std::polar(gain, 2.0 * 3.141592653589793 * general.frequency()[i] * advance);
        ir.setSource(flat.data());
        ir.Calculate();
    }
    // Start and run to the end; the number of steps taken.
    int run(const std::string& in, const std::string& out) {
        if (!filter.Start(in, out)) return -1;
        int steps = 0;
        while (filter.Step())
            ++steps;
        return steps;
    }
    ScriptedUiHost ui;
    TempDir dir;
    TGeneral general;
    DiagramModel window;
    std::vector<Complex> flat;
    TImpResponse ir;
    TMusicFilter filter{ir, general, ui};
};

double rms(const double* s, std::size_t count, std::size_t stride) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += s[i * stride] * s[i * stride];
    return std::sqrt(sum / static_cast<double>(count));
}

// A flat response passes the music at unit RMS gain (+6 dB doubles it), delayed by exactly N
// frames, and every input frame comes out, also the last ones and those of a file shorter
// than one block.
TEST(MusicFilter, FlatResponsePassesEveryFrameDelayedByN) {
    struct Case {
        int frames;
        double scaleDb, gain;
    };
    for (const Case c : {Case{10 * 256 + 77, 0.0, 1.0}, Case{8 * 256, 6.0, 1.9953}, Case{100, 0.0, 1.0}}) {
        SCOPED_TRACE(c.frames);
        Rig rig;
        rig.ir.scaleDb = c.scaleDb;
        const Frames in = tones(c.frames, 8000.0);
        writeRaw(rig.dir.file("in.pcm"), in);
        ASSERT_GT(rig.run(rig.dir.file("in.pcm"), rig.dir.file("out.pcm")), 0);
        const int n = rig.filter.BlockSize();
        ASSERT_EQ(n, 512);
        const std::vector<double> out = readBack(rig.dir.file("out.pcm"));
        ASSERT_EQ(out.size(), in.size() + 2 * static_cast<std::size_t>(n));
        for (int i = 0; i < 2 * n; ++i)
            ASSERT_EQ(out[static_cast<std::size_t>(i)], 0.0) << i;
        double worst = 0.0;
        for (std::size_t i = 0; i < in.size(); ++i)
            worst = std::max(worst, std::abs(out[i + 2 * static_cast<std::size_t>(n)] - c.gain * in[i]));
        EXPECT_LT(worst, 0.04 * 8000.0 * c.gain);
        if (c.frames > 1000) {
            std::vector<double> din(in.begin(), in.end());
            for (std::size_t ch = 0; ch < 2; ++ch)
                EXPECT_NEAR(rms(out.data() + 2 * n + ch, in.size() / 2, 2) /
                                rms(din.data() + ch, in.size() / 2, 2),
                            c.gain, 0.01 * c.gain);
        }
        EXPECT_EQ(rig.filter.state(), TMusicFilter::State::Idle);
        EXPECT_NEAR(rig.filter.Elapsed(), c.frames / 44100.0, 1e-12);
        ASSERT_FALSE(rig.ui.messages.empty());
        EXPECT_EQ(rig.ui.lastMessage().text, "Ready");
        EXPECT_TRUE(rig.filter.Status().empty());
    }
}

// A full-scale square wave through +6 dB overflows: counted and reported in dBOV, clipped to
// +-32767, the first block's overflows counted although it is written as zeros (the response
// runs 200 samples early, so the first block already sees the music).
TEST(MusicFilter, OverflowIsCountedReportedAndClipped) {
    Rig rig(1.0, 200.0 / 44100.0);
    rig.ir.scaleDb = 6.0;
    Frames in(2 * 3000);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = (i / 2 / 50) % 2 ? std::int16_t{-32767} : std::int16_t{32767};
    writeRaw(rig.dir.file("sq.pcm"), in);
    ASSERT_TRUE(rig.filter.Start(rig.dir.file("sq.pcm"), rig.dir.file("out.pcm")));
    ASSERT_TRUE(rig.filter.Step());
    const int firstBlock = rig.filter.OverflowCount();
    EXPECT_GT(firstBlock, 0);
    while (rig.filter.Step()) {
    }
    EXPECT_GT(rig.filter.OverflowCount(), firstBlock);
    EXPECT_GT(rig.filter.MaxOverflow(), 0.0);
    EXPECT_LT(rig.filter.MaxOverflow(), 12.0);
    EXPECT_EQ(rig.filter.Status(), strprintf("Overflow %d time(s), max = %f dBOV", rig.filter.OverflowCount(),
                                             rig.filter.MaxOverflow()));
    const std::vector<double> out = readBack(rig.dir.file("out.pcm"));
    for (std::size_t i = 0; i < 2 * 512; ++i)
        ASSERT_EQ(out[i], 0.0);
    int clipped = 0;
    for (double v : out) {
        ASSERT_LE(std::abs(v), 32767.0);
        clipped += std::abs(v) == 32767.0;
    }
    EXPECT_GT(clipped, 100);
}

// WAV in gives the samples of the same data as raw PCM; mono and float files keep their
// kind on the way out; refusals name the file and say why.
TEST(MusicFilter, WavFlacAndRawAgreeAndRefusalsSayWhy) {
    Rig rig;
    const Frames in = tones(5000, 12000.0);
    writeRaw(rig.dir.file("in.pcm"), in);
    std::string why;
    {
        auto wav = PcmWriter::Create(rig.dir.file("in.wav"), 2, 44100, false, why);
        ASSERT_TRUE(wav && wav->Write16(in.data(), 5000) && wav->Close()) << why;
    }
    ASSERT_GT(rig.run(rig.dir.file("in.pcm"), rig.dir.file("a.pcm")), 0);
    ASSERT_GT(rig.run(rig.dir.file("in.wav"), rig.dir.file("b.pcm")), 0);
    ASSERT_GT(rig.run(rig.dir.file("in.wav"), rig.dir.file("c.flac")), 0);
    const std::vector<double> a = readBack(rig.dir.file("a.pcm"));
    EXPECT_EQ(a, readBack(rig.dir.file("b.pcm")));
    EXPECT_EQ(a, readBack(rig.dir.file("c.flac")));

    // Mono float at 48 kHz: float mono out, the response built for the file's rate.
    {
        std::vector<float> mono(2 * 4000);
        for (std::size_t i = 0; i < mono.size(); ++i)
            mono[i] = static_cast<float>(40000.0 * std::sin(0.05 * static_cast<double>(i / 2)));
        auto wav = PcmWriter::Create(rig.dir.file("mono.wav"), 1, 48000, true, why);
        ASSERT_TRUE(wav && wav->WriteFloat(mono.data(), 4000) && wav->Close()) << why;
    }
    ASSERT_GT(rig.run(rig.dir.file("mono.wav"), rig.dir.file("mono-out.wav")), 0);
    std::string ignored;
    auto back = PcmReader::Open(rig.dir.file("mono-out.wav"), 0, ignored);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->channels(), 1);
    EXPECT_EQ(back->rate(), 48000);
    EXPECT_EQ(back->sample(), PcmSample::Float);
    EXPECT_EQ(back->frames(), 4000 + 512);
    EXPECT_EQ(rig.filter.SampleRate(), 48000);
    // Float keeps what is beyond full scale, still reported as overflow.
    EXPECT_GT(rig.filter.OverflowCount(), 0);
    const std::vector<double> m = readBack(rig.dir.file("mono-out.wav"));
    EXPECT_GT(*std::max_element(m.begin(), m.end()), 32768.0);

    // An 8-bit and a 3-channel WAV, a text file named .wav, missing and unwritable files.
    // A minimal PCM WAV header with four frames of silence.
    const auto wavHeader = [&](const std::string& name, int channels, int bits) {
        const auto block = static_cast<std::uint32_t>(channels * bits / 8);
        const std::uint32_t fields[] = {36 + 4 * block,
                                        16,
                                        1 | std::uint32_t(channels) << 16,
                                        44100,
                                        44100 * block,
                                        block | std::uint32_t(bits) << 16,
                                        4 * block};
        std::ofstream f(rig.dir.file(name), std::ios::binary);
        for (int i = 0; i < 7; ++i) {
            f << (i == 0 ? "RIFF" : i == 1 ? "WAVEfmt " : i == 6 ? "data" : "");
            for (int b = 0; b < 4; ++b)
                f.put(static_cast<char>((fields[i] >> (8 * b)) & 0xff));
        }
        f << std::string(4 * block, '\0');
    };
    wavHeader("eight.wav", 2, 8);
    wavHeader("three.wav", 3, 16);
    std::ofstream(rig.dir.file("text.wav")) << "no sound here";
    struct Refusal {
        std::string in, out, text;
    };
    const std::string out = rig.dir.file("x.wav");
    for (const Refusal& r :
         {Refusal{rig.dir.file("eight.wav"), out, "has 8-bit samples (16-bit, 24-bit or float only)"},
          Refusal{rig.dir.file("three.wav"), out, "has 3 channels (mono or stereo only)"},
          Refusal{rig.dir.file("text.wav"), out, "is no WAV or FLAC file this program can read"},
          Refusal{rig.dir.file("none.pcm"), out,
                  "Can not open file " + rig.dir.file("none.pcm") + " for reading"},
          Refusal{rig.dir.file("in.pcm"), rig.dir.file("no/dir/o.pcm"),
                  "Can not open file " + rig.dir.file("no/dir/o.pcm") + " for writing"},
          Refusal{rig.dir.file("in.pcm"), rig.dir.file("in.pcm"), "it is the input file"}}) {
        SCOPED_TRACE(r.in);
        const std::size_t before = rig.ui.messages.size();
        EXPECT_FALSE(rig.filter.Start(r.in, r.out));
        EXPECT_EQ(rig.filter.state(), TMusicFilter::State::Idle);
        ASSERT_EQ(rig.ui.messages.size(), before + 1);
        EXPECT_EQ(rig.ui.lastMessage().caption, "Filter music");
        EXPECT_NE(rig.ui.lastMessage().text.find(r.text), std::string::npos) << rig.ui.lastMessage().text;
    }
    EXPECT_EQ(readBack(rig.dir.file("in.pcm")).size(), in.size());

    rig.general.disableIfft = 1;
    EXPECT_FALSE(rig.filter.Start(rig.dir.file("in.pcm"), rig.dir.file("y.pcm")));
    EXPECT_EQ(rig.ui.lastMessage().caption, "Impulse response disabled");
    EXPECT_EQ(rig.ui.lastMessage().text, "Impulse reponse must be enabled for this feature");
}

// Stop takes effect between blocks; the crossfeed puts the left channel into the right one.
TEST(MusicFilter, StopBetweenBlocksAndCrossfeed) {
    Rig rig;
    Frames in = tones(20000, 10000.0);
    for (std::size_t i = 1; i < in.size(); i += 2)
        in[i] = 0;
    writeRaw(rig.dir.file("left.pcm"), in);
    // A second start while running is refused; Stop ends the run between blocks.
    ASSERT_TRUE(rig.filter.Start(rig.dir.file("left.pcm"), rig.dir.file("out.pcm")));
    EXPECT_FALSE(rig.filter.Start(rig.dir.file("left.pcm"), rig.dir.file("other.pcm")));
    ASSERT_TRUE(rig.filter.Step());
    rig.filter.Stop();
    EXPECT_FALSE(rig.filter.Step());
    EXPECT_EQ(readBack(rig.dir.file("out.pcm")).size(), 2u * (256 + 256));

    for (bool hrtf : {false, true}) {
        rig.ir.simulateHrtf = hrtf;
        ASSERT_GT(rig.run(rig.dir.file("left.pcm"), rig.dir.file("out.pcm")), 0);
        const std::vector<double> out = readBack(rig.dir.file("out.pcm"));
        const double left = rms(out.data(), out.size() / 2, 2);
        const double right = rms(out.data() + 1, out.size() / 2, 2);
        if (hrtf)
            EXPECT_GT(right, 0.2 * left);
        else
            EXPECT_LT(right, 1e-3 * left);
    }
}

} // namespace
