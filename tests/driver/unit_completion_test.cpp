#include "driver/unit_completion.h"

#include "driver/spk_data.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>
#include <vector>

namespace harlox {
namespace {

// Independent physics: the true pi, and rho c^2 as the editor takes it.
constexpr double kW = 2.0 * std::numbers::pi;
constexpr double kRc2 = 140000.0;
constexpr double kRel = 1e-9; // the program's 2 pi has 12 digits

#define EXPECT_REL(actual, expected) EXPECT_NEAR((actual), (expected), std::abs(expected) * kRel + 1e-300)

using Member = double TSpkData::*;
using S = TSpkData;
using R = UnitRelation;
using Mode = TUnitCompletion::Mode;

TSpkData builtIn() {
    TSpkData u;
    u.SetDefault();
    return u;
}

TSpkData given(std::initializer_list<std::pair<Member, double>> values) {
    TSpkData u;
    for (const auto& [member, value] : values)
        u.*member = value;
    TUnitCompletion::setSd(u, u.Sd);
    return u;
}

// The built-in unit's mechanical values, and the textbook relations between them.
constexpr double kMms = 0.0158, kCms = 0.001391;
const auto airLoad = [](double sd) { return 3.15 * std::pow(std::sqrt(sd / std::numbers::pi), 3); };
const auto fsOf = [](double mms, double cms) { return 1.0 / (kW * std::sqrt(mms * cms)); };
const auto massOf = [](double fs, double cms) { return 1.0 / (std::pow(kW * fs, 2) * cms); };
const auto qmsOf = [](double fs, double mms, double rms) { return kW * fs * mms / rms; };
const auto qesOf = [](double fs, double mms, double re, double bl) { return kW * fs * mms * re / (bl * bl); };
const auto blOf = [](double fs, double mms, double re, double qes) {
    return std::sqrt(kW * fs * mms * re / qes);
};
const auto series = [](double q1, double q2) { return q1 * q2 / (q1 + q2); };

TEST(UnitCompletion, RelationsWithoutARealAnswerWriteNothing) {
    TSpkData u = given({{&S::Vas, -0.01}, {&S::Cms, 0.001}}); // negative values only come from a file
    EXPECT_FALSE(TUnitCompletion::apply(u, R::R1, Mode::Fill));
    EXPECT_EQ(u.Sd, 0.0);
    EXPECT_EQ(u.a, 0.0);
    u.Mms = -0.01;
    EXPECT_FALSE(TUnitCompletion::apply(u, R::R14, Mode::Overwrite));
    EXPECT_EQ(u.fs, 0.0);
}

// ---------------------------------------------------------------------------------------
// "Calc. missing fields"

TEST(CalcMissingFields, ValuesFoundLateInAPassFeedTheNextPass) {
    // fs comes from R14, after R5, R11 and R13 in the first pass; Mmd and Rms need a second.
    TSpkData u =
        given({{&S::Vas, 0.0329}, {&S::Cms, kCms}, {&S::Mms, kMms}, {&S::Qms, 1.68}, {&S::Qes, 0.37}});
    u.Re = 6.1;
    u.Qts = 0.9; // contradicts Qms and Qes
    u.Xmax = 0.011;
    u.l = 0.005; // shorter than Xmax: the gap is still not negative
    TUnitCompletion::calcMissingFields(u);
    const double fs = fsOf(kMms, kCms);
    const double sd = std::sqrt(0.0329 / (kCms * kRc2));
    EXPECT_REL(u.fs, fs);
    EXPECT_REL(u.Mmd, kMms - airLoad(sd));
    EXPECT_REL(u.Rms, kW * fs * kMms / 1.68);
    EXPECT_REL(u.Bl, blOf(fs, kMms, 6.1, 0.37));
    EXPECT_EQ(u.Qts, 0.9); // a given value is kept
    EXPECT_NEAR(u.h, 0.006, 1e-15);
    EXPECT_TRUE(u.isSufficient());
    // A fixed point: another run changes nothing.
    const std::string once = u.toBytes();
    TUnitCompletion::calcMissingFields(u);
    EXPECT_EQ(u.toBytes(), once);
}

// A data sheet that gives fs, Qts, Qes, Vas, Re and Sd (the Peerless 180 WR).
TEST(CalcMissingFields, ADataSheetMinimumIsCompletedAsFarAsTheRelationsReach) {
    TSpkData u = given(
        {{&S::fs, 34.0}, {&S::Qts, 0.3}, {&S::Qes, 0.37}, {&S::Vas, 0.0329}, {&S::Re, 6.1}, {&S::Sd, 0.013}});
    TUnitCompletion::calcMissingFields(u);

    const double cms = 0.0329 / (kRc2 * 0.013 * 0.013);
    const double mms = massOf(34.0, cms);
    EXPECT_REL(u.Cms, cms);
    EXPECT_REL(u.Cas, 0.0329 / kRc2);
    EXPECT_REL(u.Mms, mms);
    EXPECT_REL(u.Mmd, mms - airLoad(0.013));
    EXPECT_REL(u.Bl, blOf(34.0, mms, 6.1, 0.37));
    // No relation leads from Qts and Qes to Qms, so Qms and Rms stay empty.
    EXPECT_EQ(u.Qms, 0.0);
    EXPECT_EQ(u.Rms, 0.0);
    EXPECT_FALSE(u.isSufficient());

    // Typing Qts again with Crosscalc on supplies them.
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Qts, 0.3, true));
    const double qms = 0.3 * 0.37 / (0.37 - 0.3);
    EXPECT_REL(u.Qms, qms);
    EXPECT_REL(u.Rms, kW * 34.0 * mms / qms);
    EXPECT_TRUE(u.isSufficient());
}

// ---------------------------------------------------------------------------------------
// Entries with Crosscalc on, starting from the built-in unit with some fields emptied.

// Each case names one or two fields to check; a case without any is a refused entry, which
// leaves the record unchanged.
struct EntryCase {
    const char* name;
    std::vector<Member> cleared;
    UnitField field;
    double value;
    Member m1 = nullptr;
    double v1 = 0.0;
    Member m2 = nullptr;
    double v2 = 0.0;
};

// A new compliance: with Mms, Re, Bl and Rms given, the resonance and then the Q values follow.
double qtsAt(double cms) {
    const double fs = fsOf(kMms, cms);
    return series(qmsOf(fs, kMms, 2.01), qesOf(fs, kMms, 6.1, 7.5));
}

const double kSd2 = 0.013 * 0.013;
const double kFs = fsOf(kMms, kCms);
const double kReFromBl = 7.5 * 7.5 * 0.37 / (kW * kFs * kMms);
const double kCmsAt40 = massOf(40.0, kMms); // the same relation solved for Cms
const double kQmsFromQts = 1 / (1 / 0.3 - 1 / 0.37);
const double kQesFromQts = 1 / (1 / 0.3 - 1 / 1.68);
using F = UnitField;

const EntryCase kEntries[] = {
    {"Sd", {}, F::Sd, 0.02, &S::Vas, 0.0329, &S::Qts, qtsAt(0.0329 / (0.0004 * kRc2))},
    {"Vas", {}, F::Vas, 0.04, &S::Cas, 0.04 / kRc2, &S::Qts, qtsAt(0.04 / (kSd2 * kRc2))},
    {"Cas", {}, F::Cas, 3e-7, &S::Vas, 3e-7 * kRc2, &S::Qts, qtsAt(3e-7 / kSd2)},
    {"Cms", {}, F::Cms, 0.002, &S::Cas, 0.002 * kSd2, &S::Qts, qtsAt(0.002)},
    {"SdWithoutVasOrRe", {&S::Vas, &S::Re}, F::Sd, 0.02, &S::Vas, kCms* kRc2 * 0.0004, &S::Re, kReFromBl},
    {"CasWithoutSd", {&S::Sd, &S::a}, F::Cas, 3e-7, &S::Cms, kCms, &S::fs, kFs},
    {"Mms", {}, F::Mms, 0.02, &S::Mmd, 0.02 - airLoad(0.013), &S::fs, fsOf(0.02, kCms)},
    {"Mmd", {}, F::Mmd, 0.015, &S::Mms, 0.015 + airLoad(0.013)},
    {"MmdWithoutSd", {&S::Sd, &S::a}, F::Mmd, 0.015, &S::Mms, 0.0},
    {"Fs", {}, F::fs, 40.0, &S::Mmd, massOf(40, kCms) - airLoad(0.013), &S::Cms, kCms},
    {"FsWithoutCms", {&S::Cms}, F::fs, 40.0, &S::Cms, kCmsAt40, &S::Cas, kCmsAt40* kSd2},
    {"Bl", {}, F::Bl, 8.0, &S::Qts, series(1.68, qesOf(34, kMms, 6.1, 8))},
    {"BlWithoutRe", {&S::Re}, F::Bl, 8.0, &S::Re, 64.0 * 0.37 / (kW * 34 * kMms)},
    {"Re", {}, F::Re, 8.0, &S::Bl, blOf(34, kMms, 8, 0.37), &S::Qes, 0.37},
    {"Qes", {}, F::Qes, 0.5, &S::Qts, series(1.68, 0.5), &S::Bl, blOf(34, kMms, 6.1, 0.5)},
    {"Qms", {}, F::Qms, 2.0, &S::Rms, kW * 34 * kMms / 2, &S::Qts, series(2, 0.37)},
    // The other Q follows from 1/Qts = 1/Qms + 1/Qes; an entry that contradicts it is refused.
    {"QtsGivesQms", {}, F::Qts, 0.3, &S::Qms, kQmsFromQts, &S::Rms, kW * 34 * kMms / kQmsFromQts},
    {"QtsGivesQes", {&S::Qes}, F::Qts, 0.3, &S::Qes, kQesFromQts, &S::Bl, blOf(34, kMms, 6.1, kQesFromQts)},
    {"QtsAlone", {&S::Qms, &S::Qes}, F::Qts, 0.3, &S::Qms, 0.0, &S::Qes, 0.0},
    {"QtsAboveQes", {}, F::Qts, 0.4},
    {"QtsEqualToQes", {}, F::Qts, 0.37},
    {"QtsAboveQms", {&S::Qes}, F::Qts, 2.0},
    // The coil overhangs the gap by Xmax (built-in: Xmax 11, h 6, l 17 mm).
    {"XmaxWithGap", {}, F::Xmax, 0.012, &S::l, 0.018},
    {"XmaxWithCoil", {&S::h}, F::Xmax, 0.012, &S::h, 0.005},
    {"Gap", {}, F::h, 0.007, &S::Xmax, 0.010},
    {"Coil", {}, F::l, 0.020, &S::Xmax, 0.014},
    {"CoilWithoutGap", {&S::h}, F::l, 0.005, &S::Xmax, 0.011},
    {"XmaxLongerThanCoil", {&S::h}, F::Xmax, 0.020},
    {"CoilShorterThanXmax", {}, F::l, 0.010},
    {"Negative", {}, F::fs, -1.0},
    {"NotANumber", {}, F::fs, std::nan("")},
};

TEST(UnitCompletion, CrosscalcEntriesUpdateTheDependentFieldsOrAreRefused) {
    for (const EntryCase& c : kEntries) {
        SCOPED_TRACE(c.name);
        TSpkData u = builtIn();
        for (const Member m : c.cleared)
            u.*m = 0.0;
        const std::string before = u.toBytes();
        EXPECT_EQ(TUnitCompletion::enterField(u, c.field, c.value, true), c.m1 != nullptr);
        EXPECT_EQ(u.Sd2, u.Sd * u.Sd);
        EXPECT_EQ(u.Bl2, u.Bl * u.Bl);
        if (c.m1 == nullptr)
            EXPECT_EQ(u.toBytes(), before);
        else
            EXPECT_REL(u.*c.m1, c.v1);
        EXPECT_REL(c.m2 ? u.*c.m2 : 0.0, c.v2);
    }
}

// ---------------------------------------------------------------------------------------
// The editor's commands

TEST(UnitEditor, CommandsAskAndReportInTheirOwnWords) {
    test::ScriptedUiHost host;
    TSpkData unit = builtIn();
    FileSelector selector;
    TSpeakerUnitEditor editor(host, unit, selector);
    test::TempDir dir;
    const auto message = [&host] {
        return host.messages.empty() ? "" : host.lastMessage().caption + ": " + host.lastMessage().text;
    };
    ASSERT_TRUE(editor.enterField(UnitField::Le, 0.5)); // mH
    host.answers = {MessageResult::Cancel};
    EXPECT_FALSE(editor.New());
    EXPECT_EQ(message(), "Speaker unit editor: File has been changed.\r\nSave file ?");

    // Yes on a record without a file leads to Save as; a failed save keeps the record.
    host.answers = {MessageResult::Yes};
    host.files = {dir.file("no/such/folder.unt")};
    EXPECT_FALSE(editor.New());
    EXPECT_EQ(message(),
              "File save as: Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_EQ(unit.Le, 0.0005);

    test::writeAll(dir.file("bad.unt"), {0x64, 0x00, 0x01});
    host.answers = {MessageResult::No};
    host.files = {dir.file("bad.unt")};
    EXPECT_FALSE(editor.Open());
    EXPECT_EQ(host.fileRequests.back().filter, "Unit files (*.unt)|*.unt|All files (*.*)|*.*|");
    EXPECT_EQ(message(), "File load: Could not open file.\nCheck path and filename.");
    EXPECT_EQ(unit.fs, 0.0);

    EXPECT_FALSE(editor.PrintData([](auto, auto, auto) { return PrintOutcome::Failed; }));
    EXPECT_EQ(message(), "Printer failure: Unable to print window");
    EXPECT_FALSE(editor.CopyData([](std::string_view) { return false; }));
    EXPECT_EQ(message(), "Copy window: Out of memory");
}

} // namespace
} // namespace harlox
