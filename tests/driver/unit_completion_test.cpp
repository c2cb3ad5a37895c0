#include "driver/unit_completion.h"

#include "core/command_ids.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <sstream>
#include <vector>

namespace harlox {
namespace {

// Independent physics: the true pi, and rho c^2 as the editor takes it.
constexpr double kTruePi = std::numbers::pi;
constexpr double kW = 2.0 * kTruePi;
constexpr double kRc2 = 140000.0;
constexpr double kRel = 1e-9; // the program's 2 pi has 12 digits

#define EXPECT_REL(actual, expected)                                                                         \
    EXPECT_NEAR((actual), (expected), std::abs(expected) * kRel + 1e-300) << #actual

TSpkData builtIn() {
    TSpkData u;
    u.SetDefault();
    return u;
}

double radius(double sd) {
    return std::sqrt(sd / kTruePi);
}

// ---------------------------------------------------------------------------------------
// The sixteen relations, each against its own formula.

using Member = double TSpkData::*;
using S = TSpkData;
using R = UnitRelation;

struct RelationCase {
    UnitRelation relation;
    Member target;
    std::vector<Member> sources;
    double (*expected)(const TSpkData&);
};

#define FORMULA(expr) [](const S& u) { return expr; }
const RelationCase kRelations[] = {
    {R::R1, &S::Sd, {&S::Vas, &S::Cms}, FORMULA(std::sqrt(u.Vas / (u.Cms * kRc2)))},
    {R::R2, &S::Vas, {&S::Sd, &S::Cms}, FORMULA(u.Cms* kRc2* u.Sd* u.Sd)},
    {R::R3, &S::Cms, {&S::Sd, &S::Vas}, FORMULA(u.Vas / (u.Sd * u.Sd * kRc2))},
    {R::R4, &S::Cas, {&S::Vas}, FORMULA(u.Vas / kRc2)},
    {R::R5, &S::Qms, {&S::fs, &S::Mms, &S::Rms}, FORMULA(kW* u.fs* u.Mms / u.Rms)},
    {R::R6, &S::Qes, {&S::fs, &S::Mms, &S::Re, &S::Bl}, FORMULA(kW* u.fs* u.Mms* u.Re / (u.Bl * u.Bl))},
    {R::R7, &S::Qts, {&S::Qms, &S::Qes}, FORMULA(u.Qms* u.Qes / (u.Qms + u.Qes))},
    {R::R8, &S::Xmax, {&S::l, &S::h}, FORMULA(std::abs(u.l - u.h))},
    {R::R9, &S::l, {&S::Xmax, &S::h}, FORMULA(u.Xmax + u.h)},
    {R::R10, &S::h, {&S::Xmax, &S::l}, FORMULA(u.l - u.Xmax)},
    {R::R11,
     &S::Mmd,
     {&S::fs, &S::Cms, &S::a},
     FORMULA(1.0 / (std::pow(kW * u.fs, 2) * u.Cms) - 3.15 * std::pow(u.a, 3))},
    {R::R12, &S::Mms, {&S::fs, &S::Cms}, FORMULA(1.0 / (std::pow(kW * u.fs, 2) * u.Cms))},
    {R::R13, &S::Rms, {&S::fs, &S::Mms, &S::Qms}, FORMULA(kW* u.fs* u.Mms / u.Qms)},
    {R::R14, &S::fs, {&S::Mms, &S::Cms}, FORMULA(1.0 / (kW * std::sqrt(u.Mms * u.Cms)))},
    {R::R15, &S::Bl, {&S::fs, &S::Mms, &S::Re, &S::Qes}, FORMULA(std::sqrt(kW* u.fs* u.Mms* u.Re / u.Qes))},
    {R::R16, &S::Re, {&S::fs, &S::Mms, &S::Bl, &S::Qes}, FORMULA(u.Bl* u.Bl* u.Qes / (kW * u.fs * u.Mms))},
};
#undef FORMULA

class Relation : public testing::TestWithParam<RelationCase> {};

TEST_P(Relation, OverwriteComputesTheTargetFromItsSources) {
    const RelationCase& c = GetParam();
    TSpkData u = builtIn();
    const double expected = c.expected(u);
    ASSERT_TRUE(TUnitCompletion::apply(u, c.relation, TUnitCompletion::Mode::Overwrite));
    EXPECT_REL(u.*c.target, expected);
    // The derived values follow the quantities they come from.
    EXPECT_REL(u.a, radius(u.Sd));
    EXPECT_EQ(u.Sd2, u.Sd * u.Sd);
    EXPECT_EQ(u.Bl2, u.Bl * u.Bl);
}

TEST_P(Relation, AnyZeroSourceLeavesTheTargetAlone) {
    const RelationCase& c = GetParam();
    for (const Member source : c.sources) {
        TSpkData u = builtIn();
        u.*source = 0.0;
        const double before = u.*c.target;
        EXPECT_FALSE(TUnitCompletion::apply(u, c.relation, TUnitCompletion::Mode::Overwrite));
        EXPECT_EQ(u.*c.target, before);
    }
}

TEST_P(Relation, FillWritesOnlyAnEmptyTarget) {
    const RelationCase& c = GetParam();
    TSpkData u = builtIn();
    const double before = u.*c.target;
    EXPECT_FALSE(TUnitCompletion::apply(u, c.relation, TUnitCompletion::Mode::Fill));
    EXPECT_EQ(u.*c.target, before);

    u.*c.target = 0.0;
    if (c.relation == UnitRelation::R1) u.a = 0.0;
    const double expected = c.expected(u);
    EXPECT_TRUE(TUnitCompletion::apply(u, c.relation, TUnitCompletion::Mode::Fill));
    EXPECT_REL(u.*c.target, expected);
}

INSTANTIATE_TEST_SUITE_P(UnitCompletion, Relation, testing::ValuesIn(kRelations),
                         [](const testing::TestParamInfo<RelationCase>& info) {
                             return "R" + std::to_string(static_cast<int>(info.param.relation));
                         });

TEST(UnitCompletion, RelationsWithoutARealAnswerWriteNothing) {
    TSpkData u; // negative values only come from a file
    u.Vas = -0.01;
    u.Cms = 0.001;
    EXPECT_FALSE(TUnitCompletion::apply(u, UnitRelation::R1, TUnitCompletion::Mode::Fill));
    EXPECT_EQ(u.Sd, 0.0);
    EXPECT_EQ(u.a, 0.0);
    u.Mms = -0.01;
    EXPECT_FALSE(TUnitCompletion::apply(u, UnitRelation::R14, TUnitCompletion::Mode::Overwrite));
    EXPECT_EQ(u.fs, 0.0);
}

// ---------------------------------------------------------------------------------------
// "Calc. missing fields"

TEST(CalcMissingFields, GivenValuesAreNeverOverwrittenEvenWhenInconsistent) {
    TSpkData u = builtIn();
    const std::string before = u.toBytes();
    TUnitCompletion::calcMissingFields(u);
    EXPECT_EQ(u.toBytes(), before);
    u.Qts = 0.9; // contradicts Qms and Qes
    u.Mmd = 0.0;
    TUnitCompletion::calcMissingFields(u);
    EXPECT_EQ(u.Qts, 0.9);
    EXPECT_REL(u.Mmd, 1.0 / (std::pow(kW * u.fs, 2) * u.Cms) - 3.15 * std::pow(radius(u.Sd), 3));
}

TEST(CalcMissingFields, FsAndMmsDoNotGiveTheCompliance) {
    TSpkData u;
    TUnitCompletion::setSd(u, 0.013);
    u.fs = 34.0;
    u.Mms = 0.0158;
    TUnitCompletion::calcMissingFields(u);
    EXPECT_EQ(u.Vas, 0.0);
    EXPECT_EQ(u.Cms, 0.0);
    EXPECT_EQ(u.Cas, 0.0);
    EXPECT_EQ(u.Mmd, 0.0); // R11 needs Cms
}

TEST(CalcMissingFields, ValuesFoundLateInAPassFeedTheNextPass) {
    // fs comes from R14, after R5, R11, R13 and before R15 in the first pass; Mmd and Rms
    // need a second pass.
    TSpkData u;
    u.Vas = 0.0329;
    u.Cms = 0.001391;
    u.Mms = 0.0158;
    u.Qms = 1.68;
    u.Qes = 0.37;
    u.Re = 6.1;
    TUnitCompletion::calcMissingFields(u);
    const double fs = 1.0 / (kW * std::sqrt(0.0158 * 0.001391));
    const double sd = std::sqrt(0.0329 / (0.001391 * kRc2));
    EXPECT_REL(u.fs, fs);
    EXPECT_REL(u.Sd, sd);
    EXPECT_REL(u.a, radius(sd));
    EXPECT_REL(u.Cas, 0.0329 / kRc2);
    EXPECT_REL(u.Mmd, 0.0158 - 3.15 * std::pow(radius(sd), 3));
    EXPECT_REL(u.Rms, kW * fs * 0.0158 / 1.68);
    EXPECT_REL(u.Bl, std::sqrt(kW * fs * 0.0158 * 6.1 / 0.37));
    EXPECT_REL(u.Bl2, u.Bl * u.Bl);
    EXPECT_REL(u.Qts, 1.68 * 0.37 / (1.68 + 0.37));
    EXPECT_TRUE(u.isSufficient());
    // A fixed point: another run changes nothing.
    const std::string once = u.toBytes();
    TUnitCompletion::calcMissingFields(u);
    EXPECT_EQ(u.toBytes(), once);
}

// A data sheet that gives fs, Qts, Qes, Vas, Re and Sd (the Peerless 180 WR).
TSpkData dataSheetMinimum() {
    TSpkData u;
    u.fs = 34.0;
    u.Qts = 0.3;
    u.Qes = 0.37;
    u.Vas = 0.0329;
    u.Re = 6.1;
    TUnitCompletion::setSd(u, 0.013);
    return u;
}

TEST(CalcMissingFields, ADataSheetMinimumIsCompletedAsFarAsTheRelationsReach) {
    TSpkData u = dataSheetMinimum();
    TUnitCompletion::calcMissingFields(u);

    const double cms = 0.0329 / (kRc2 * 0.013 * 0.013);
    const double mms = 1.0 / (std::pow(kW * 34.0, 2) * cms);
    EXPECT_REL(u.Cms, cms);
    EXPECT_REL(u.Cas, 0.0329 / kRc2);
    EXPECT_REL(u.Mms, mms);
    EXPECT_REL(u.Mmd, mms - 3.15 * std::pow(radius(0.013), 3));
    EXPECT_REL(u.Bl, std::sqrt(kW * 34.0 * mms * 6.1 / 0.37));
    // The command has no relation from Qts and Qes to Qms, so Qms and Rms stay empty
    // and the unit cannot be simulated yet.
    EXPECT_EQ(u.Qms, 0.0);
    EXPECT_EQ(u.Rms, 0.0);
    EXPECT_FALSE(u.isSufficient());
    EXPECT_EQ(u.Qts, 0.3);

    // Typing Qts again with Crosscalc on supplies them.
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Qts, 0.3, true));
    const double qms = 0.3 * 0.37 / (0.37 - 0.3);
    EXPECT_REL(u.Qms, qms);
    EXPECT_REL(u.Rms, kW * 34.0 * mms / qms);
    EXPECT_TRUE(u.isSufficient());
}

// ---------------------------------------------------------------------------------------
// Real units from a driver database (pure SI JSON files).

// The number after "key": in a flat JSON object; NaN when the key is missing.
double jsonNumber(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\"" + key + "\"");
    if (at == std::string::npos) return std::nan("");
    const std::size_t colon = text.find(':', at);
    if (colon == std::string::npos) return std::nan("");
    const char* start = text.c_str() + colon + 1;
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    return end == start ? std::nan("") : v;
}

class DatabaseUnit : public testing::TestWithParam<const char*> {};

TEST_P(DatabaseUnit, CompletionMatchesThePublishedMechanicalValues) {
    const std::filesystem::path file =
        std::filesystem::path(HARLOX_SHARED_DATA_DIR) / "drivers/boxed" / GetParam();
    std::ifstream in(file);
    if (!in) GTEST_SKIP() << "no driver database at " << file;
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string json = ss.str();

    TSpkData u;
    u.fs = jsonNumber(json, "fs");
    u.Qts = jsonNumber(json, "qts");
    u.Qes = jsonNumber(json, "qes");
    u.Vas = jsonNumber(json, "vas");
    u.Re = jsonNumber(json, "re");
    TUnitCompletion::setSd(u, jsonNumber(json, "sd"));
    TUnitCompletion::calcMissingFields(u);
    EXPECT_NEAR(u.Cms / jsonNumber(json, "cms"), 1.0, 0.04);
    EXPECT_NEAR(u.Mms / jsonNumber(json, "mms"), 1.0, 0.04);
    EXPECT_NEAR(u.Bl / jsonNumber(json, "bl"), 1.0, 0.04);
    EXPECT_GT(u.Mmd, 0.0);
    EXPECT_LT(u.Mmd, u.Mms);

    // With the published Qms as well, Rms follows.
    u.Qms = jsonNumber(json, "qms");
    u.Rms = 0.0;
    TUnitCompletion::calcMissingFields(u);
    EXPECT_NEAR(u.Rms / jsonNumber(json, "rms"), 1.0, 0.04);
    EXPECT_TRUE(u.isSufficient());
}

INSTANTIATE_TEST_SUITE_P(UnitCompletion, DatabaseUnit,
                         testing::Values("DaytonAudio DCS255-4.json", "B&CSpeakers 10CL51.json",
                                         "Peerless FSL-1015R02-08.json", "Wavecor SW118WA01.json",
                                         "AESpeakers TD10M-4.json", "Beyma 15P1000Fe.json"));

// ---------------------------------------------------------------------------------------
// Field entry

class PlainEntry : public testing::TestWithParam<UnitField> {};

TEST_P(PlainEntry, WithoutCrosscalcOnlyTheEnteredFieldChanges) {
    const UnitField field = GetParam();
    TSpkData u = builtIn();
    const TSpkData before = u;
    ASSERT_TRUE(TUnitCompletion::enterField(u, field, 0.5 * unitFieldValue(before, field), false));
    for (const UnitField f : allUnitFields()) {
        if (f == field) {
            EXPECT_EQ(unitFieldValue(u, f), 0.5 * unitFieldValue(before, f));
        } else {
            EXPECT_EQ(unitFieldValue(u, f), unitFieldValue(before, f)) << unitFieldInfo(f).label;
        }
    }
    EXPECT_EQ(u.a, field == UnitField::Sd ? std::sqrt(u.Sd * 0.3183098861837697) : before.a);
    EXPECT_EQ(u.Sd2, u.Sd * u.Sd);
    EXPECT_EQ(u.Bl2, u.Bl * u.Bl);
}

INSTANTIATE_TEST_SUITE_P(UnitCompletion, PlainEntry, testing::ValuesIn(allUnitFields()),
                         [](const testing::TestParamInfo<UnitField>& info) {
                             std::string n = unitFieldInfo(info.param).label;
                             std::erase(n, ' ');
                             return n;
                         });

TEST(Crosscalc, NegativeAndNonFiniteEntriesAreRefused) {
    TSpkData u = builtIn();
    const std::string before = u.toBytes();
    EXPECT_FALSE(TUnitCompletion::enterField(u, UnitField::fs, -1.0, false));
    EXPECT_FALSE(TUnitCompletion::enterField(u, UnitField::fs, std::nan(""), true));
    EXPECT_EQ(u.toBytes(), before);
}

// Sd, Vas, Cas and Cms all set a new compliance; with Mms, Re, Bl and Rms given, the
// resonance and the Q values follow it.
struct ComplianceCase {
    const char* name;
    UnitField field;
    double value;
    double cms, vas;
    bool mmdFollows; // Vas does not run R11
};

class CrosscalcCompliance : public testing::TestWithParam<ComplianceCase> {};

TEST_P(CrosscalcCompliance, ResonanceAndQFollowTheNewCompliance) {
    const ComplianceCase& c = GetParam();
    TSpkData u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, c.field, c.value, true));
    const double fs = 1.0 / (kW * std::sqrt(0.0158 * c.cms));
    const double qes = kW * fs * 0.0158 * 6.1 / (7.5 * 7.5);
    const double qms = kW * fs * 0.0158 / 2.01;
    EXPECT_REL(u.Cms, c.cms);
    EXPECT_REL(u.Vas, c.vas);
    EXPECT_REL(u.Cas, c.vas / kRc2);
    EXPECT_REL(u.fs, fs);
    EXPECT_REL(u.Qms, qms);
    EXPECT_REL(u.Qes, qes);
    EXPECT_REL(u.Qts, qms * qes / (qms + qes));
    EXPECT_REL(u.Bl, 7.5);
    EXPECT_EQ(u.Mms, 0.0158);
    EXPECT_REL(u.a, radius(u.Sd));
    if (c.mmdFollows) {
        EXPECT_REL(u.Mmd, 1.0 / (std::pow(kW * fs, 2) * c.cms) - 3.15 * std::pow(radius(u.Sd), 3));
    } else {
        EXPECT_EQ(u.Mmd, 0.01496);
    }
}

INSTANTIATE_TEST_SUITE_P(
    UnitCompletion, CrosscalcCompliance,
    testing::Values(ComplianceCase{"Sd", UnitField::Sd, 0.02, 0.0329 / (0.02 * 0.02 * kRc2), 0.0329, true},
                    ComplianceCase{"Vas", UnitField::Vas, 0.04, 0.04 / (0.013 * 0.013 * kRc2), 0.04, false},
                    ComplianceCase{"Cas", UnitField::Cas, 3e-7, 3e-7 / (0.013 * 0.013), 3e-7 * kRc2, true},
                    ComplianceCase{"Cms", UnitField::Cms, 0.002, 0.002, 0.002 * kRc2 * 0.013 * 0.013, true}),
    [](const testing::TestParamInfo<ComplianceCase>& info) { return info.param.name; });

TEST(Crosscalc, SdWithoutVasGivesVasAndCas) {
    TSpkData u = builtIn();
    u.Vas = 0.0;
    u.Re = 0.0;
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Sd, 0.02, true));
    EXPECT_REL(u.Vas, 0.001391 * kRc2 * 0.0004);
    EXPECT_REL(u.Cas, u.Vas / kRc2);
    EXPECT_REL(u.Re, u.Bl * u.Bl * u.Qes / (kW * u.fs * u.Mms)); // R16 when Re is empty
}

TEST(Crosscalc, CasWithoutSdDoesNotDivideByZero) {
    TSpkData u = builtIn();
    TUnitCompletion::setSd(u, 0.0);
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Cas, 3e-7, true));
    EXPECT_EQ(u.Cas, 3e-7);
    EXPECT_EQ(u.Cms, 0.001391);
    EXPECT_TRUE(std::isfinite(u.fs));
}

TEST(Crosscalc, MovingMassesFollowEachOther) {
    TSpkData u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Mms, 0.02, true));
    const double fs = 1.0 / (kW * std::sqrt(0.02 * 0.001391));
    EXPECT_REL(u.Mmd, 0.02 - 3.15 * std::pow(radius(0.013), 3));
    EXPECT_REL(u.fs, fs);
    EXPECT_REL(u.Qms, kW * fs * 0.02 / 2.01);
    EXPECT_REL(u.Qes, kW * fs * 0.02 * 6.1 / (7.5 * 7.5));

    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Mmd, 0.015, true));
    EXPECT_REL(u.Mms, 0.015 + 3.15 * std::pow(radius(0.013), 3));

    // Without a piston area there is no air load to add: the other mass becomes empty.
    TUnitCompletion::setSd(u, 0.0);
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Mmd, 0.015, true));
    EXPECT_EQ(u.Mms, 0.0);
}

TEST(Crosscalc, FsGivesTheMassesOrWithoutComplianceDerivesIt) {
    TSpkData u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::fs, 40.0, true));
    const double mms = 1.0 / (std::pow(kW * 40.0, 2) * 0.001391);
    EXPECT_REL(u.Mms, mms);
    EXPECT_REL(u.Mmd, mms - 3.15 * std::pow(radius(0.013), 3));
    EXPECT_EQ(u.Cms, 0.001391);

    u = builtIn();
    u.Cms = 0.0;
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::fs, 40.0, true));
    const double cms = 1.0 / (std::pow(kW * 40.0, 2) * 0.0158);
    EXPECT_REL(u.Cms, cms);
    EXPECT_REL(u.Vas, cms * kRc2 * 0.013 * 0.013);
    EXPECT_REL(u.Cas, u.Vas / kRc2); // from the new Vas, not the old one
    EXPECT_REL(u.Qes, kW * 40.0 * 0.0158 * 6.1 / (7.5 * 7.5));
    EXPECT_REL(u.Qms, kW * 40.0 * 0.0158 / 2.01);
}

TEST(Crosscalc, ElectricalEntries) {
    TSpkData u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Bl, 8.0, true));
    EXPECT_REL(u.Qes, kW * 34.0 * 0.0158 * 6.1 / 64.0);
    EXPECT_REL(u.Qts, 1.68 * u.Qes / (1.68 + u.Qes));
    EXPECT_EQ(u.Bl2, 64.0);

    u = builtIn();
    u.Re = 0.0;
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Bl, 8.0, true));
    EXPECT_REL(u.Re, 64.0 * 0.37 / (kW * 34.0 * 0.0158));

    u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Re, 8.0, true));
    EXPECT_REL(u.Bl, std::sqrt(kW * 34.0 * 0.0158 * 8.0 / 0.37));
    EXPECT_REL(u.Qes, 0.37);

    u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Qes, 0.5, true));
    EXPECT_REL(u.Qts, 1.68 * 0.5 / 2.18);
    EXPECT_REL(u.Bl, std::sqrt(kW * 34.0 * 0.0158 * 6.1 / 0.5));

    u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Qms, 2.0, true));
    EXPECT_REL(u.Rms, kW * 34.0 * 0.0158 / 2.0);
    EXPECT_REL(u.Qts, 2.0 * 0.37 / 2.37);

    u = builtIn();
    ASSERT_TRUE(TUnitCompletion::enterField(u, UnitField::Rms, 3.0, true));
    EXPECT_REL(u.Qms, kW * 34.0 * 0.0158 / 3.0);
}

struct QtsCase {
    const char* name;
    double qms, qes, qts;
    bool accepted;
};

class CrosscalcQts : public testing::TestWithParam<QtsCase> {};

TEST_P(CrosscalcQts, TheOtherQFollowsOrTheEntryIsRefused) {
    const QtsCase& c = GetParam();
    TSpkData u = builtIn();
    u.Qms = c.qms;
    u.Qes = c.qes;
    const std::string before = u.toBytes();
    const bool accepted = TUnitCompletion::enterField(u, UnitField::Qts, c.qts, true);
    ASSERT_EQ(accepted, c.accepted);
    if (!accepted) {
        EXPECT_EQ(u.toBytes(), before); // the old Qts stays
        return;
    }
    EXPECT_EQ(u.Qts, c.qts);
    if (c.qes != 0.0) {
        EXPECT_REL(u.Qms, c.qts * c.qes / (c.qes - c.qts));
        EXPECT_REL(u.Rms, kW * 34.0 * 0.0158 / u.Qms);
    } else if (c.qms != 0.0) {
        EXPECT_REL(u.Qes, c.qts * c.qms / (c.qms - c.qts));
        EXPECT_REL(u.Bl, std::sqrt(kW * 34.0 * 0.0158 * 6.1 / u.Qes));
    } else {
        EXPECT_EQ(u.Qms, 0.0);
        EXPECT_EQ(u.Qes, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(UnitCompletion, CrosscalcQts,
                         testing::Values(QtsCase{"QmsFromQes", 1.68, 0.37, 0.3, true},
                                         QtsCase{"AboveQesRefused", 1.68, 0.37, 0.4, false},
                                         QtsCase{"EqualToQesRefused", 1.68, 0.37, 0.37, false},
                                         QtsCase{"ZeroRefused", 1.68, 0.37, 0.0, false},
                                         QtsCase{"QesFromQms", 1.68, 0.0, 0.3, true},
                                         QtsCase{"AboveQmsRefused", 1.68, 0.0, 2.0, false},
                                         QtsCase{"NeitherGiven", 0.0, 0.0, 0.3, true}),
                         [](const testing::TestParamInfo<QtsCase>& info) { return info.param.name; });

// The gap and coil heights agree with Xmax, through "Calc. missing fields" (no entry) or
// through a Crosscalc entry.
struct HeightCase {
    const char* name;
    double Xmax, h, l; // mm before, 0 = not given
    std::optional<UnitField> field;
    double value; // mm
    bool accepted;
    double expectXmax, expectH, expectL;
};

class Heights : public testing::TestWithParam<HeightCase> {};

TEST_P(Heights, FollowOrTheEntryIsRefused) {
    const HeightCase& c = GetParam();
    TSpkData u;
    u.Xmax = c.Xmax * 0.001;
    u.h = c.h * 0.001;
    u.l = c.l * 0.001;
    if (c.field) {
        EXPECT_EQ(TUnitCompletion::enterField(u, *c.field, c.value * 0.001, true), c.accepted);
    } else {
        TUnitCompletion::calcMissingFields(u);
    }
    EXPECT_NEAR(u.Xmax * 1000, c.expectXmax, 1e-9);
    EXPECT_NEAR(u.h * 1000, c.expectH, 1e-9);
    EXPECT_NEAR(u.l * 1000, c.expectL, 1e-9);
}

constexpr std::optional<UnitField> kCalc;

INSTANTIATE_TEST_SUITE_P(
    UnitCompletion, Heights,
    testing::Values(HeightCase{"CalcXmaxFromCoilAndGap", 0, 6, 17, kCalc, 0, true, 11, 6, 17},
                    HeightCase{"CalcXmaxFromShortCoil", 0, 17, 6, kCalc, 0, true, 11, 17, 6},
                    // The coil overhangs the gap: 11 mm and 6 mm make 17 mm, which R8 turns
                    // back into 11 mm.
                    HeightCase{"CalcCoilFromXmaxAndGap", 11, 6, 0, kCalc, 0, true, 11, 6, 17},
                    HeightCase{"CalcGapFromXmaxAndCoil", 11, 0, 17, kCalc, 0, true, 11, 6, 17},
                    // Never a negative gap.
                    HeightCase{"CalcGapFromLongXmax", 11, 0, 5, kCalc, 0, true, 11, 6, 5},
                    HeightCase{"CalcNothingFromOneValue", 11, 0, 0, kCalc, 0, true, 11, 0, 0},
                    HeightCase{"XmaxWithGap", 0, 6, 0, UnitField::Xmax, 11, true, 11, 6, 17},
                    HeightCase{"XmaxWithCoil", 0, 0, 17, UnitField::Xmax, 11, true, 11, 6, 17},
                    HeightCase{"XmaxLongerThanCoil", 5, 0, 17, UnitField::Xmax, 20, false, 5, 0, 17},
                    HeightCase{"XmaxAlone", 0, 0, 0, UnitField::Xmax, 11, true, 11, 0, 0},
                    HeightCase{"GapWithCoil", 0, 0, 17, UnitField::h, 6, true, 11, 6, 17},
                    HeightCase{"GapAlone", 3, 0, 0, UnitField::h, 6, true, 3, 6, 0},
                    HeightCase{"CoilWithGap", 11, 6, 0, UnitField::l, 20, true, 14, 6, 20},
                    HeightCase{"CoilShorterThanXmax", 11, 6, 17, UnitField::l, 10, false, 11, 6, 17},
                    HeightCase{"CoilWithoutGap", 11, 0, 0, UnitField::l, 5, true, 11, 0, 5}),
    [](const testing::TestParamInfo<HeightCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// The editor's commands

class UnitEditor : public testing::Test {
protected:
    void TearDown() override { setProgramDirectory(oldProgramDir_); }

    // Marks the record changed through an ordinary entry.
    void touch() { ASSERT_TRUE(editor.enterField(UnitField::Le, 0.5)); }
    void expectMessage(const std::string& caption, const std::string& text) {
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.lastMessage().caption, caption);
        EXPECT_EQ(host.lastMessage().text, text);
    }

    test::ScriptedUiHost host;
    TSpkData unit;
    FileSelector selector;
    TSpeakerUnitEditor editor{host, unit, selector};
    test::TempDir dir;
    std::string oldProgramDir_ = programDirectory();
};

TEST_F(UnitEditor, OpeningOffersTheBuiltInUnitAndGreysTheEditCommand) {
    editor.opened();
    EXPECT_EQ(unit.manufacturerText(), "PEERLESS");
    EXPECT_EQ(unit.fs, 34.0);
    EXPECT_FALSE(editor.changed());
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Greyed);
    editor.closed(120, 80);
    EXPECT_EQ(unit.editorLeft, 120);
    EXPECT_EQ(unit.editorTop, 80);
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Enabled);

    unit.setModel("mine"); // a record with contents is not replaced
    unit.fs = 0.0;
    EXPECT_FALSE(editor.offerBuiltInUnit());
    EXPECT_EQ(unit.fs, 0.0);
}

TEST_F(UnitEditor, NewAsksOnlyAboutAChangedRecordAndFollowsTheAnswer) {
    unit.SetDefault();
    ASSERT_TRUE(editor.New());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(unit.manufacturerText(), "");

    unit.SetDefault();
    touch();
    host.answers = {MessageResult::Cancel};
    EXPECT_FALSE(editor.New());
    ASSERT_EQ(host.messages.size(), 1u);
    expectMessage("Speaker unit editor", "File has been changed.\r\nSave file ?");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Question);
    EXPECT_EQ(host.lastMessage().buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(unit.fs, 34.0);

    // Yes without a file name leads to Save as; cancelling it keeps the record.
    host.answers = {MessageResult::Yes};
    host.files = {std::nullopt};
    EXPECT_FALSE(editor.New());
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].mode, FileMode::Save);
    EXPECT_EQ(unit.fs, 34.0);
    EXPECT_TRUE(editor.changed());

    host.answers = {MessageResult::Yes};
    host.files = {dir.file("saved.unt")};
    EXPECT_TRUE(editor.New());
    EXPECT_EQ(test::readAll(dir.file("saved.unt")).size(), 381u);
    EXPECT_EQ(unit.fs, 0.0);
    EXPECT_FALSE(editor.changed());
    EXPECT_EQ(editor.path(), "");

    touch();
    host.answers = {MessageResult::No};
    EXPECT_TRUE(editor.New());
    EXPECT_EQ(unit.Le, 0.0);
}

TEST_F(UnitEditor, OpenLoadsAndRemembersTheRelativePath) {
    TSpkData file;
    file.SetDefault();
    std::filesystem::create_directories(dir.file("units"));
    ASSERT_TRUE(file.Save(dir.file("units/peerless.unt")));
    setProgramDirectory(dir.path());

    host.files = {dir.file("units/peerless.unt")};
    ASSERT_TRUE(editor.Open());
    EXPECT_EQ(host.fileRequests.back().mode, FileMode::Open);
    EXPECT_EQ(host.fileRequests.back().filter, "Unit files (*.unt)|*.unt|All files (*.*)|*.*|");
    EXPECT_EQ(selector.defaultExtension, "unt");
    EXPECT_EQ(unit.toBytes(), file.toBytes());
    EXPECT_EQ(unit.fileNameText(), "peerless.unt");
    EXPECT_EQ(editor.lastUnitPath(), "units/peerless.unt");
    EXPECT_EQ(editor.path(), dir.file("units/peerless.unt"));
    EXPECT_FALSE(editor.changed());

    // Save now writes back without asking for a name.
    touch();
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(host.fileRequests.size(), 1u);
    EXPECT_FALSE(editor.changed());
    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("units/peerless.unt")));
    EXPECT_DOUBLE_EQ(back.Le, 0.0005);

    // A path outside the program folder stays absolute.
    setProgramDirectory("/nonexistent/program");
    host.files = {dir.file("units/peerless.unt")};
    ASSERT_TRUE(editor.Open());
    EXPECT_EQ(editor.lastUnitPath(), dir.file("units/peerless.unt"));
}

TEST_F(UnitEditor, AFailedOpenReportsAndClearsTheRecordACancelledOneKeepsIt) {
    unit.SetDefault();
    host.files = {std::nullopt};
    EXPECT_FALSE(editor.Open());
    EXPECT_EQ(unit.fs, 34.0);
    EXPECT_TRUE(host.messages.empty());

    test::writeAll(dir.file("bad.unt"), {0x64, 0x00, 0x01});
    host.files = {dir.file("bad.unt")};
    EXPECT_FALSE(editor.Open());
    ASSERT_EQ(host.messages.size(), 1u);
    expectMessage("File load", "Could not open file.\nCheck path and filename.");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(unit.fs, 0.0);
    EXPECT_EQ(editor.lastUnitPath(), "");
}

TEST_F(UnitEditor, SaveFailuresNameTheirCommand) {
    unit.SetDefault();
    host.files = {dir.file("no/such/folder/x.unt")};
    EXPECT_FALSE(editor.Save()); // no file yet: Save as
    expectMessage("File save as", "Could not open file.\nCheck if device is ready\nor if the disk is full.");

    host.files = {dir.file("ok.unt")};
    ASSERT_TRUE(editor.SaveAs());
    std::filesystem::remove_all(dir.path());
    touch();
    EXPECT_FALSE(editor.Save());
    expectMessage("File save", "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_TRUE(editor.changed());
}

TEST_F(UnitEditor, PrintAndCopyHandTheDataSheetOn) {
    unit.SetDefault();
    std::string doc, job, text;
    EXPECT_TRUE(editor.PrintData([&](std::string_view d, std::string_view j, std::string_view t) {
        doc = d, job = j, text = t;
        return PrintOutcome::Printed;
    }));
    EXPECT_EQ(doc, "Speaker unit data");
    EXPECT_EQ(job, "Harlox print job");
    EXPECT_EQ(text, unit.dataSheetText());
    EXPECT_TRUE(host.messages.empty());

    EXPECT_FALSE(editor.PrintData([](auto, auto, auto) { return PrintOutcome::Cancelled; }));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(editor.PrintData([](auto, auto, auto) { return PrintOutcome::Failed; }));
    expectMessage("Printer failure", "Unable to print window");

    std::string clip;
    EXPECT_TRUE(editor.CopyData([&](std::string_view t) {
        clip = t;
        return true;
    }));
    EXPECT_EQ(clip, unit.dataSheetText());
    EXPECT_FALSE(editor.CopyData([](std::string_view) { return false; }));
    expectMessage("Copy window", "Out of memory");
}

TEST_F(UnitEditor, ClosingAsksOnlyAboutChanges) {
    unit.SetDefault();
    EXPECT_TRUE(editor.CanClose());
    EXPECT_TRUE(host.messages.empty());
    touch();
    host.answers = {MessageResult::Cancel};
    EXPECT_FALSE(editor.CanClose());
    expectMessage("Speaker unit editor", "File has been changed.\r\nSave before exit ?");
    host.answers = {MessageResult::No};
    EXPECT_TRUE(editor.CanClose());
}

TEST_F(UnitEditor, EveryKindOfEditSetsTheChangedFlagOnlyWhenSomethingChanges) {
    unit.SetDefault();
    const auto changes = [&](auto&& edit) {
        TSpeakerUnitEditor e(host, unit, selector);
        edit(e);
        return e.changed();
    };
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setSpeakerType(3); }));
    EXPECT_FALSE(changes([](TSpeakerUnitEditor& e) { e.setSpeakerType(3); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setCrosscalc(true); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setCrosscalc(false); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setDualCoil(true); }));
    EXPECT_FALSE(changes([](TSpeakerUnitEditor& e) { e.setDualCoil(true); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setManufacturer("SEAS"); }));
    EXPECT_FALSE(changes([](TSpeakerUnitEditor& e) { e.setManufacturer("SEAS"); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setModel("L16"); }));
    EXPECT_TRUE(changes([](TSpeakerUnitEditor& e) { e.setNote("note"); }));
    EXPECT_FALSE(changes([](TSpeakerUnitEditor& e) { e.setNote("note"); }));
    EXPECT_FALSE(changes([](TSpeakerUnitEditor& e) { e.CalcMissingFields(); })); // nothing to fill
    EXPECT_EQ(unit.speakerType, 3);
    EXPECT_EQ(unit.dualCoil, 1);
    EXPECT_EQ(unit.noteText(), "note");
    editor.setNote(std::string(700, 'x')); // cut to the record
    EXPECT_EQ(unit.noteText().size(), 599u);
}

TEST_F(UnitEditor, EntriesAreInTheShownUnitAndWithinTheFieldRange) {
    ASSERT_TRUE(editor.enterField(UnitField::Sd, 130.0)); // cm^2
    EXPECT_DOUBLE_EQ(unit.Sd, 0.013);
    EXPECT_DOUBLE_EQ(unitFieldShown(unit, UnitField::Sd), 130.0);
    ASSERT_TRUE(editor.enterField(UnitField::Vas, 32.9)); // litres
    EXPECT_DOUBLE_EQ(unit.Vas, 0.0329);
    ASSERT_TRUE(editor.enterField(UnitField::Mms, 15.8)); // grams
    EXPECT_DOUBLE_EQ(unit.Mms, 0.0158);
    ASSERT_TRUE(editor.enterField(UnitField::Le, 0.9)); // mH
    EXPECT_DOUBLE_EQ(unit.Le, 0.0009);
    ASSERT_TRUE(editor.enterField(UnitField::h, 6.0)); // mm
    EXPECT_DOUBLE_EQ(unit.h, 0.006);
    EXPECT_EQ(host.beeps, 0);

    EXPECT_FALSE(editor.enterField(UnitField::Qms, 100.5));
    EXPECT_FALSE(editor.enterField(UnitField::Cms, 11.0));
    EXPECT_FALSE(editor.enterField(UnitField::Re, -1.0));
    EXPECT_EQ(host.beeps, 3);
    EXPECT_EQ(unit.Qms, 0.0);

    // A refused Crosscalc entry beeps and keeps the record.
    unit.SetDefault();
    editor.setCrosscalc(true);
    const std::string before = unit.toBytes();
    EXPECT_FALSE(editor.enterField(UnitField::Qts, 0.5)); // above Qes 0.37
    EXPECT_EQ(host.beeps, 4);
    EXPECT_EQ(unit.toBytes(), before);
}

TEST_F(UnitEditor, EfficiencyFiguresFollowEveryEntry) {
    unit.SetDefault();
    const auto efficiency = [](double fs, double vas, double qes) {
        return strprintf("%3.2f", fs * fs * fs * vas / qes * 9.64e-7 * 100.0);
    };
    const auto sensitivity = [](double fs, double vas, double qes) {
        return strprintf("%3.1f", 112.0 + 10.0 * std::log10(fs * fs * fs * vas / qes * 9.64e-7));
    };
    EXPECT_EQ(editor.efficiencyText(), "0.34");
    EXPECT_EQ(editor.sensitivityText(), "87.3");
    ASSERT_TRUE(editor.enterField(UnitField::Vas, 60.0));
    EXPECT_EQ(editor.efficiencyText(), efficiency(34.0, 0.06, 0.37));
    EXPECT_EQ(editor.sensitivityText(), sensitivity(34.0, 0.06, 0.37));
    EXPECT_EQ(unit.Cms, 0.001391); // Crosscalc is off

    editor.setCrosscalc(true);
    ASSERT_TRUE(editor.enterField(UnitField::Bl, 10.0)); // changes Qes
    EXPECT_EQ(editor.efficiencyText(), efficiency(34.0, 0.06, unit.Qes));
    EXPECT_NE(editor.efficiencyText(), efficiency(34.0, 0.06, 0.37));

    editor.setCrosscalc(false);
    ASSERT_TRUE(editor.enterField(UnitField::Qes, 0.0));
    EXPECT_EQ(editor.efficiencyText(), "--");
    EXPECT_EQ(editor.sensitivityText(), "--");
}

TEST_F(UnitEditor, CalcMissingFieldsIsOffWhileCrosscalcIsOn) {
    unit = dataSheetMinimum();
    editor.setCrosscalc(true);
    EXPECT_FALSE(editor.calcMissingFieldsEnabled());
    EXPECT_FALSE(editor.CalcMissingFields());
    EXPECT_EQ(unit.Cms, 0.0);
    editor.setCrosscalc(false);
    ASSERT_TRUE(editor.CalcMissingFields());
    EXPECT_NE(unit.Cms, 0.0);
    EXPECT_TRUE(editor.changed());
}

} // namespace
} // namespace harlox
