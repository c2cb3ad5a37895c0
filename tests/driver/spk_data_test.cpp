#include "driver/spk_data.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace harlox {
namespace {

std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

double f64At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | b[at + static_cast<std::size_t>(i)];
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

TEST(SpkData, BuiltInUnitFileIs381BytesWithTheDocumentedLayout) {
    test::TempDir dir;
    TSpkData unit;
    ASSERT_TRUE(unit.SetDefault());
    ASSERT_TRUE(unit.Save(dir.file("x.unt")));
    const auto b = test::readAll(dir.file("x.unt"));
    ASSERT_EQ(b.size(), 381u);
    EXPECT_EQ(b[0], 0x64);
    EXPECT_EQ(b[1], 0x00);
    EXPECT_EQ(b[379], 0x39);
    EXPECT_EQ(b[380], 0x30);
    for (std::size_t i = 2; i < 18; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[18]), "PEERLESS");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[118]), "180 WR/832732");
    EXPECT_EQ(u16At(b, 218), 1);                             // Bass/Midrange
    EXPECT_EQ(f64At(b, 220), 0.013);                         // Sd
    EXPECT_EQ(f64At(b, 228), std::sqrt(0.013 / (1.0 / 0.3183098861837697))); // a is stored
    EXPECT_EQ(f64At(b, 220 + 15 * 8), 34.0);                 // fs
    EXPECT_EQ(f64At(b, 220 + 18 * 8), 0.0009);               // Le, the last value
    EXPECT_EQ(u16At(b, 374), 1);                             // empty note: L = 1
    EXPECT_EQ(b[376], 0);
    EXPECT_EQ(unit.fileNameText(), "x.unt");
}

TEST(SpkData, SaveLoadRoundTripsEveryFieldAndRecomputesDerivedValues) {
    test::TempDir dir;
    TSpkData unit;
    unit.SetDefault();
    unit.setNote(std::string(599, 'n'));
    unit.dualCoil = 1;
    unit.crosscalc = 1;
    unit.speakerType = 4;
    ASSERT_TRUE(unit.Save(dir.file("long.unt")));
    EXPECT_EQ(test::readAll(dir.file("long.unt")).size(), 380u + 600u);

    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("long.unt")));
    EXPECT_EQ(back.noteText(), std::string(599, 'n'));
    EXPECT_EQ(back.dualCoil, 1);
    EXPECT_EQ(back.crosscalc, 1);
    EXPECT_EQ(back.speakerType, 4);
    EXPECT_EQ(back.Bl2, 56.25);
    EXPECT_EQ(back.Sd2, 0.013 * 0.013);
    EXPECT_EQ(back.Re, 6.1);
    EXPECT_EQ(back.toBytes(), unit.toBytes());
}

TEST(SpkData, LongerNotesAreCutToTheRecord) {
    TSpkData unit;
    unit.setNote(std::string(700, 'x'));
    EXPECT_EQ(unit.noteText().size(), 599u);
}

// Every damaged file is refused and the record keeps what it held.
class DamagedUnitFile : public ::testing::TestWithParam<int> {};

std::vector<std::uint8_t> builtInBytes() {
    TSpkData unit;
    unit.SetDefault();
    unit.setNote("a note");
    const std::string s = unit.toBytes();
    return {s.begin(), s.end()};
}

void expectRefused(const std::vector<std::uint8_t>& bytes) {
    TSpkData unit;
    unit.SetDefault();
    const std::string before = unit.toBytes();
    EXPECT_FALSE(unit.fromBytes(bytes.data(), bytes.size()));
    EXPECT_FALSE(unit.lastError().empty());
    EXPECT_EQ(unit.toBytes(), before);
}

TEST(SpkData, EveryTruncationIsRefused) {
    const auto good = builtInBytes();
    for (std::size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        expectRefused(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
    }
}

TEST(SpkData, WrongVersionMarkerAndNoteLengthAreRefused) {
    auto b = builtInBytes();
    b[0] = 101;
    expectRefused(b);
    b = builtInBytes();
    b[b.size() - 1] = 0;
    expectRefused(b);
    b = builtInBytes();
    b[374] = 0x59; // note length 601: longer than the record
    b[375] = 0x02;
    expectRefused(b);
    b = builtInBytes();
    b[374] = 0;
    b[375] = 0;
    expectRefused(b);
    b = builtInBytes();
    b[374] = 0xFF; // note length 65535: past the end of the file
    b[375] = 0xFF;
    expectRefused(b);
}

TEST(SpkData, HostileTextsAreTerminated) {
    auto b = builtInBytes();
    std::memset(&b[18], 'M', 200); // manufacturer and model without terminator
    TSpkData unit;
    ASSERT_TRUE(unit.fromBytes(b.data(), b.size()));
    EXPECT_EQ(unit.manufacturerText(), std::string(99, 'M'));
    EXPECT_EQ(unit.modelText(), std::string(99, 'M'));
}

TEST(SpkData, MissingFileLeavesTheRecord) {
    TSpkData unit;
    unit.SetDefault();
    EXPECT_FALSE(unit.Load("/nonexistent/x.unt"));
    EXPECT_EQ(unit.fs, 34.0);
}

TEST(SpkData, SaveIntoAMissingFolderFailsButSetsTheFileName) {
    TSpkData unit;
    unit.SetDefault();
    EXPECT_FALSE(unit.Save("/nonexistent/dir/new.unt"));
    EXPECT_EQ(unit.fileNameText(), "new.unt");
    EXPECT_EQ(unit.fs, 34.0);
}

TEST(SpkData, SufficiencyNeedsAllThirteenParameters) {
    TSpkData unit;
    unit.SetDefault();
    EXPECT_TRUE(unit.isSufficient());
    unit.Le = unit.Pmax = unit.Xmax = unit.h = unit.l = 0;
    EXPECT_TRUE(unit.isSufficient());
    double TSpkData::*required[] = {&TSpkData::Sd,  &TSpkData::Vas, &TSpkData::Cms, &TSpkData::Cas, &TSpkData::Qes,
                                    &TSpkData::Qms, &TSpkData::Qts, &TSpkData::Re,  &TSpkData::Mms, &TSpkData::Mmd,
                                    &TSpkData::Rms, &TSpkData::fs,  &TSpkData::Bl};
    for (auto field : required) {
        TSpkData t = unit;
        t.*field = 0;
        EXPECT_FALSE(t.isSufficient());
    }
}

TEST(SpkData, EfficiencyFigures) {
    TSpkData unit;
    unit.SetDefault();
    const double eta = 34.0 * 34.0 * 34.0 * 0.0329 / 0.37 * 9.64e-7;
    EXPECT_DOUBLE_EQ(unit.referenceEfficiencyPercent(), eta * 100);
    EXPECT_DOUBLE_EQ(unit.sensitivityDb(), 112 + 10 * std::log10(eta));
    EXPECT_EQ(unit.efficiencyText(), "0.34");
    EXPECT_EQ(unit.sensitivityText(), "87.3");
    unit.Qes = 0;
    EXPECT_EQ(unit.efficiencyText(), "--");
    EXPECT_EQ(unit.sensitivityText(), "--");
}

TEST(SpkData, DataSheetOfTheBuiltInUnit) {
    TSpkData unit;
    unit.SetDefault();
    const std::string expected =
        "Manufacturer:\tPEERLESS\r\nModel:\t\t180 WR/832732\r\nFilename:\t832732.UNT\r\n"
        "Speaker type:\tBass/Midrange\r\n\r\n"
        "Sd:\t\t130.00 cm^2\r\nVas:\t\t32.90 l\r\nCms:\t\t1.39e-03 m/N\r\nCas:\t\t2.35e-07 m^5/N\r\n"
        "Mmd:\t\t14.96 g\r\nMms:\t\t15.80 g\r\nRms:\t\t2.01 Ns/m\r\nFs:\t\t34.0 Hz\r\nBl:\t\t7.50 N/A\r\n"
        "Re:\t\t6.10 ohm\r\nLe:\t\t0.90 mH\r\nQms:\t\t1.68\r\nQes:\t\t0.37\r\nQts:\t\t0.30\r\n"
        "Pmax:\t\t150.0 W\r\nXmax:\t\t11.00 mm\r\nh:\t\t6.00 mm\r\nl:\t\t17.00 mm";
    EXPECT_EQ(unit.dataSheetText(), expected);
    unit.setNote("line 1\r\nline 2");
    EXPECT_EQ(unit.dataSheetText(), expected + "\r\n\r\nUser notes:\r\nline 1\r\nline 2");
}

TEST(SpkData, ClearedRecordShowsOnlyTheHeader) {
    TSpkData unit;
    EXPECT_EQ(unit.dataSheetText(), "Manufacturer:\t\r\nModel:\t\t\r\nFilename:\t\r\nSpeaker type:\tBass\r\n");
}

} // namespace
} // namespace harlox
