#include "driver/spk_data.h"

#include "core/binary_io.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace harlox {
namespace {

TSpkData builtIn(std::string_view note = "") {
    TSpkData unit;
    unit.SetDefault();
    unit.setNote(note);
    return unit;
}

std::vector<std::uint8_t> builtInBytes() {
    const std::string s = builtIn("a note").toBytes();
    return {s.begin(), s.end()};
}

TEST(SpkData, BuiltInUnitFileIsWrittenByteForByteAndRoundTrips) {
    BinaryWriter w;
    w.u16(100);
    w.zeros(16);
    w.textBlock("PEERLESS", 100);
    w.textBlock("180 WR/832732", 100);
    w.i16(1);
    const double a = std::sqrt(0.013 / (1.0 / 0.3183098861837697));
    for (double v : {0.013, a, 0.0329, 0.001391, 2.35e-7, 1.68, 0.37, 0.3, 150.0, 0.011, 0.006, 0.017,
                     0.01496, 0.0158, 2.01, 34.0, 7.5, 6.1, 0.0009})
        w.f64(v);
    w.i16(0); // crosscalc
    w.u16(1); // an empty note is its NUL alone
    w.u8(0);
    w.i16(0); // dual coil
    w.u16(12345);

    test::TempDir dir;
    TSpkData unit = builtIn();
    ASSERT_TRUE(unit.Save(dir.file("x.unt")));
    EXPECT_EQ(test::readAll(dir.file("x.unt")), w.buffer());
    EXPECT_EQ(unit.fileNameText(), "x.unt");

    // A full note and the fields the built-in unit leaves at 0 come back; derived values are recomputed.
    unit.setNote(std::string(599, 'n'));
    unit.dualCoil = 1;
    unit.crosscalc = 1;
    unit.speakerType = 4;
    ASSERT_TRUE(unit.Save(dir.file("long.unt")));
    EXPECT_EQ(test::readAll(dir.file("long.unt")).size(), 380u + 600u);

    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("long.unt")));
    EXPECT_EQ(back.toBytes(), unit.toBytes());
    EXPECT_EQ(back.Bl2, 56.25);
    EXPECT_EQ(back.Sd2, 0.013 * 0.013);

    back.setNote(std::string(700, 'x')); // longer notes are cut to the record
    EXPECT_EQ(back.noteText().size(), 599u);
}

// Every damaged file is refused and the record keeps what it held.
void expectRefused(const std::vector<std::uint8_t>& bytes) {
    TSpkData unit = builtIn();
    const std::string before = unit.toBytes();
    EXPECT_FALSE(unit.fromBytes(bytes.data(), bytes.size()));
    EXPECT_FALSE(unit.lastError().empty());
    EXPECT_EQ(unit.toBytes(), before);
}

TEST(SpkData, TruncatedFilesAndWrongVersionMarkerOrNoteLengthAreRefused) {
    const auto good = builtInBytes();
    for (std::size_t n = 0; n < good.size(); ++n)
        expectRefused(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
    using Patch = std::pair<std::size_t, unsigned>; // a 16-bit value at an offset
    // Note lengths of 0, 601 (longer than the record) and 65535 (past the end of the file).
    for (auto [at, value] :
         {Patch{0, 101}, Patch{good.size() - 2, 12346}, Patch{374, 0}, Patch{374, 601}, Patch{374, 65535}}) {
        auto b = good;
        b[at] = static_cast<std::uint8_t>(value & 0xFF);
        b[at + 1] = static_cast<std::uint8_t>(value >> 8);
        expectRefused(b);
    }
}

TEST(SpkData, HostileTextsAreTerminatedAndFileFailuresKeepTheRecord) {
    auto b = builtInBytes();
    std::memset(&b[18], 'M', 200); // manufacturer and model without terminator
    TSpkData unit;
    ASSERT_TRUE(unit.fromBytes(b.data(), b.size()));
    EXPECT_EQ(unit.manufacturerText(), std::string(99, 'M'));
    EXPECT_EQ(unit.modelText(), std::string(99, 'M'));

    unit = builtIn();
    EXPECT_FALSE(unit.Load("/nonexistent/x.unt"));
    EXPECT_FALSE(unit.Save("/nonexistent/dir/new.unt"));
    EXPECT_EQ(unit.toBytes(), builtIn().toBytes());
}

TEST(SpkData, EfficiencyFiguresAndDataSheetText) {
    TSpkData unit = builtIn();
    const double eta = 34.0 * 34.0 * 34.0 * 0.0329 / 0.37 * 9.64e-7;
    EXPECT_DOUBLE_EQ(unit.referenceEfficiencyPercent(), eta * 100);
    EXPECT_DOUBLE_EQ(unit.sensitivityDb(), 112 + 10 * std::log10(eta));
    EXPECT_EQ(unit.efficiencyText(), "0.34");
    EXPECT_EQ(unit.sensitivityText(), "87.3");
    unit.Qes = 0;
    EXPECT_EQ(unit.efficiencyText(), "--");
    EXPECT_EQ(unit.sensitivityText(), "--");

    unit = builtIn("line 1\r\nline 2");
    EXPECT_EQ(
        unit.dataSheetText(),
        "Manufacturer:\tPEERLESS\r\nModel:\t\t180 WR/832732\r\nFilename:\t832732.UNT\r\n"
        "Speaker type:\tBass/Midrange\r\n\r\n"
        "Sd:\t\t130.00 cm^2\r\nVas:\t\t32.90 l\r\nCms:\t\t1.39e-03 m/N\r\nCas:\t\t2.35e-07 m^5/N\r\n"
        "Mmd:\t\t14.96 g\r\nMms:\t\t15.80 g\r\nRms:\t\t2.01 Ns/m\r\nFs:\t\t34.0 Hz\r\nBl:\t\t7.50 N/A\r\n"
        "Re:\t\t6.10 ohm\r\nLe:\t\t0.90 mH\r\nQms:\t\t1.68\r\nQes:\t\t0.37\r\nQts:\t\t0.30\r\n"
        "Pmax:\t\t150.0 W\r\nXmax:\t\t11.00 mm\r\nh:\t\t6.00 mm\r\nl:\t\t17.00 mm"
        "\r\n\r\nUser notes:\r\nline 1\r\nline 2");
    // Empty values leave their lines out.
    EXPECT_EQ(TSpkData().dataSheetText(),
              "Manufacturer:\t\r\nModel:\t\t\r\nFilename:\t\r\nSpeaker type:\tBass\r\n");
}

} // namespace
} // namespace harlox
