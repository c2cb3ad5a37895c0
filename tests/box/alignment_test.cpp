#include "box/alignment.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box_test_support.h"

#include <cmath>
#include <functional>

namespace harlox {
namespace {

using namespace alignment;

// ---- the generated families ---------------------------------------------------------------

struct TellingRow {
    Family family;
    double qts;
    Row q3, q7, q15;
};

// Published values of the families' tables (h, alpha); SBB4 rows are all h = 1.
const TellingRow kTelling[] = {
    {Family::SBB4, 0.20, {1, 5.4444}, {1, 5.898}, {1, 6.0844}},
    {Family::SBB4, 0.45, {1, 0.892}, {1, 1.0809}, {1, 1.1616}},
    {Family::SBB4, 0.70, {1, 0.2999}, {1, 0.4144}, {1, 0.4637}},
    {Family::QB3, 0.10, {4.3303, 31.2904}, {3.8416, 34.3925}, {3.6841, 35.4793}},
    {Family::QB3, 0.52, {0.955, 0.5016}, {0.8961, 0.5682}, {0.8756, 0.5928}},
    {Family::SC4, 0.25, {1.0093, 3.408}, {1.0338, 3.8961}, {1.042, 4.089}},
    {Family::SC4, 0.67, {0.6118, 0.0343}, {0.6289, 0.2136}, {0.6408, 0.2994}},
};

TEST(AlignmentTables, ReproduceThePublishedRowsWithinOnePercent) {
    EXPECT_EQ(rowCount(Family::SBB4), 51);
    EXPECT_EQ(rowCount(Family::QB3), 47);
    EXPECT_EQ(rowCount(Family::SC4), 46);
    for (const TellingRow& t : kTelling) {
        const int row = familyRow(t.family, t.qts);
        EXPECT_NEAR(rowLabelQts(t.family, row), t.qts, 1e-9);
        const Row want[] = {t.q3, t.q7, t.q15};
        for (int q = 0; q < kBoxQChoices; ++q) {
            const Row got = tableRow(t.family, q, row);
            EXPECT_NEAR(got.h, want[q].h, 0.01 * want[q].h) << static_cast<int>(t.family) << " " << t.qts << " Q" << q;
            EXPECT_NEAR(got.alpha, want[q].alpha, 0.01 * want[q].alpha)
                << static_cast<int>(t.family) << " " << t.qts << " Q" << q;
        }
    }
}

// The smallest distance between the row's denominator and the Chebyshev-type family.
double distanceToChebyshev(const Denominator& d) {
    auto dist = [&](double k) {
        const Denominator c = chebyshevDenominator(k);
        return std::hypot(c.a1 - d.a1, c.a2 - d.a2, c.a3 - d.a3);
    };
    double best = 0.01, bestDist = dist(best);
    for (double k = 0.01; k < 1e4; k *= 1.001)
        if (const double e = dist(k); e < bestDist) best = k, bestDist = e;
    // Golden-section refinement around the best sample.
    double lo = best / 1.001, hi = best * 1.001;
    for (int i = 0; i < 100; ++i) {
        const double a = hi - 0.618 * (hi - lo), b = lo + 0.618 * (hi - lo);
        (dist(a) < dist(b) ? hi : lo) = dist(a) < dist(b) ? b : a;
    }
    return std::min(bestDist, dist(0.5 * (lo + hi)));
}

TEST(AlignmentTables, EveryRowMeetsItsFamilysDefiningConditions) {
    for (int f = 0; f < kFamilyCount; ++f) {
        const auto family = static_cast<Family>(f);
        for (int q = 0; q < kBoxQChoices; ++q) {
            for (int row = 0; row < rowCount(family); ++row) {
                const Row r = tableRow(family, q, row);
                ASSERT_GT(r.alpha, 0.0) << f << " " << q << " " << row;
                ASSERT_GT(r.h, 0.0);
                const Denominator d = ventedDenominator(rowTheoryQts(family, row), kBoxQ[q], r);
                const std::string where = "family " + std::to_string(f) + " Q" + std::to_string(q) +
                                          " row " + std::to_string(row);
                switch (family) {
                case Family::SBB4: // two coincident pole pairs: (s^2 + b s + 1)^2
                    EXPECT_EQ(r.h, 1.0) << where;
                    EXPECT_NEAR(d.a1, d.a3, 1e-9 * d.a1) << where;
                    EXPECT_NEAR(d.a2, d.a1 * d.a1 / 4.0 + 2.0, 1e-9 * d.a2) << where;
                    break;
                case Family::QB3: // |D(jw)|^2 without w^6 and w^4 terms
                    EXPECT_NEAR(d.a1 * d.a1, 2.0 * d.a2, 1e-7 * d.a2) << where;
                    EXPECT_NEAR(d.a2 * d.a2 + 2.0, 2.0 * d.a1 * d.a3, 1e-7 * d.a1 * d.a3) << where;
                    break;
                case Family::SC4:
                    EXPECT_LT(distanceToChebyshev(d), 1e-6) << where;
                    break;
                }
            }
        }
    }
    // The QB3 rows above 0.40 hold the alignments of the lower Qts their values come from.
    EXPECT_NEAR(rowTheoryQts(Family::QB3, familyRow(Family::QB3, 0.41)), 0.405, 1e-12);
    EXPECT_NEAR(rowTheoryQts(Family::QB3, familyRow(Family::QB3, 0.52)), 0.46, 1e-12);
    EXPECT_NEAR(rowTheoryQts(Family::QB3, familyRow(Family::QB3, 0.56)), 0.50, 1e-12);
}

TEST(AlignmentTables, ChebyshevFamilyJoinsTheButterworthAtKOne) {
    const Denominator b4 = chebyshevDenominator(1.0);
    // s^4 + 2.6131 s^3 + 3.4142 s^2 + 2.6131 s + 1
    EXPECT_NEAR(b4.a1, 2.613125929752753, 1e-12);
    EXPECT_NEAR(b4.a2, 3.414213562373095, 1e-12);
    EXPECT_NEAR(b4.a3, 2.613125929752753, 1e-12);
}

TEST(AlignmentTables, RowIndexRoundsAndClampsAndTheFamiliesKnowTheirRange) {
    EXPECT_EQ(familyRow(Family::SBB4, 0.2049), 0);
    EXPECT_EQ(familyRow(Family::SBB4, 0.2051), 1);
    EXPECT_EQ(familyRow(Family::SBB4, 0.1), 0);
    EXPECT_EQ(familyRow(Family::SBB4, 0.9), 50);
    EXPECT_EQ(familyRow(Family::QB3, 0.565), 46);
    // QtsEff 0.6: only SBB4 and SC4 are offered.
    EXPECT_TRUE(familyUsable(Family::SBB4, 0.6));
    EXPECT_FALSE(familyUsable(Family::QB3, 0.6));
    EXPECT_TRUE(familyUsable(Family::SC4, 0.6));

    ReflexAlignment a;
    const char* refusal = nullptr;
    for (int f = 0; f < kFamilyCount; ++f) {
        EXPECT_FALSE(reflexAlignment(static_cast<Family>(f), 2, 0.71, 30, 0.05, a, &refusal));
        EXPECT_STREQ(refusal, kTooHighQtsText);
        EXPECT_FALSE(reflexAlignment(static_cast<Family>(f), 2, 0.09, 30, 0.05, a, &refusal));
        EXPECT_STREQ(refusal, kTooLowQtsText);
    }
    EXPECT_FALSE(reflexAlignment(Family::QB3, 2, 0.6, 30, 0.05, a, &refusal));
    EXPECT_STREQ(refusal, kTooHighQtsText);
    EXPECT_FALSE(reflexAlignment(Family::SC4, 2, 0.2, 30, 0.05, a, &refusal));
    EXPECT_STREQ(refusal, kTooLowQtsText);
    // Full filling (box Q 3) makes the box act larger, so the table asks for less.
    ASSERT_TRUE(reflexAlignment(Family::SBB4, 0, 0.45, 30, 0.05, a, &refusal));
    EXPECT_NEAR(a.Vb, 0.05 / tableRow(Family::SBB4, 0, 25).alpha / 1.2, 1e-12);
    EXPECT_NEAR(a.tuning, 30.0, 1e-12);
}

// ---- applying the tables to projects -------------------------------------------------------

class AlignmentApply : public test::BoxTest {
protected:
    // The built-in unit with its Qts moved to `qts` through Qes.
    static void setQts(TSpeakerObject& d, double qts) {
        d.SetDefaultUnit();
        d.Qes = 1.0 / (1.0 / qts - 1.0 / d.Qms);
        d.Qts = qts;
        d.UnitEdited();
    }
};

TEST_F(AlignmentApply, ClosedTableSizesTheBoxForTheTotalQOrRefuses) {
    double vb = 0.0;
    EXPECT_FALSE(closedVolume(0.5, 0.5, 0.05, vb)); // 0.5 <= 1.01 · 0.5
    ASSERT_TRUE(closedVolume(0.707, 0.3535, 0.06, vb));
    EXPECT_NEAR(vb, 0.02, 1e-12);

    TClosedBox p(ui);
    p.front().SetDefaultUnit();
    p.ComputeDerivedValues();
    const double qts = p.effectiveQts(), vas = p.effectiveVas();
    ASSERT_GT(qts, 0.2);
    ASSERT_LT(qts, 0.49);
    p.box().Qb = 7;
    ASSERT_TRUE(applyClosedTable(p, 2, ui));
    EXPECT_NEAR(p.box().Vb, vas / (std::pow(0.707 / qts, 2) - 1.0), 1e-12);
    EXPECT_EQ(p.box().Qb, 15.0);
    EXPECT_TRUE(ui.messages.empty());

    // A driver of too high a Q: "Too high Qts" with an empty caption, nothing changed.
    setQts(p.front(), 0.5);
    const double before = p.box().Vb;
    EXPECT_FALSE(applyClosedTable(p, 0, ui));
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().caption, "");
    EXPECT_EQ(ui.lastMessage().text, "Too high Qts");
    EXPECT_EQ(p.box().Vb, before);
    // Without a driver nothing happens at all.
    TClosedBox empty(ui);
    EXPECT_FALSE(applyClosedTable(empty, 2, ui));
    EXPECT_EQ(ui.messages.size(), 1U);
}

// An isobaric pair acts as one driver of half the Vas: the tables halve its box once.
TEST_F(AlignmentApply, IsobaricPairsGetTheBoxOfOneDriverWithHalfTheVas) {
    auto sized = [&](bool isobaric, const std::function<bool(TBoxEmbryo&)>& apply, auto makeProject) {
        auto p = makeProject();
        p->front().SetDefaultUnit();
        if (isobaric) {
            EXPECT_TRUE(p->front().setDriverCount(2));
            p->front().setIsobaric(true);
        }
        EXPECT_TRUE(apply(*p));
        return std::vector<double>{p->boxElement()->Vb, p->effectiveVas(), p->effectiveQts()};
    };
    const auto closed = [&] { return std::make_unique<TClosedBox>(ui); };
    const auto closedTable = [&](TBoxEmbryo& p) { return applyClosedTable(static_cast<TClosedBox&>(p), 2, ui); };
    const auto single = sized(false, closedTable, closed);
    const auto pair = sized(true, closedTable, closed);
    EXPECT_NEAR(pair[1], single[1], 1e-12 * single[1]); // two drivers, isobaric: n·Vas/2
    EXPECT_NEAR(pair[2], single[2], 1e-12);
    EXPECT_NEAR(pair[0], single[0], 1e-12 * single[0]);

    const auto bp1 = [&] { return std::make_unique<TBP5Box>(ui); };
    const auto bp1Table = [&](TBoxEmbryo& p) { return applyBp1Table(static_cast<TBP5Box&>(p), 2, 8, ui); };
    EXPECT_NEAR(sized(true, bp1Table, bp1)[0], sized(false, bp1Table, bp1)[0], 1e-9);

    // The passive radiator table works from the unit's Vas: its one halving stays.
    TAbrBox a(ui), b(ui);
    a.front().SetDefaultUnit();
    b.front().SetDefaultUnit();
    b.front().setIsobaric(true);
    ASSERT_TRUE(applyAbrTable(a, ui));
    ASSERT_TRUE(applyAbrTable(b, ui));
    EXPECT_NEAR(b.box().Vb, 0.5 * a.box().Vb, 1e-12);
    EXPECT_NEAR(b.abr().Vap, 0.5 * a.abr().Vap, 1e-12);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(AlignmentApply, BassReflexTableSetsTheBoxAndTunesAUsablePort) {
    TBassReflexBox p(ui);
    p.front().SetDefaultUnit();
    p.ComputeDerivedValues();
    const double qts = p.effectiveQts(), fs = p.effectiveFs(), vas = p.effectiveVas();
    for (int f = 0; f < kFamilyCount; ++f) {
        const auto family = static_cast<Family>(f);
        if (!familyUsable(family, qts)) continue;
        for (int q = 0; q < kBoxQChoices; ++q) {
            ASSERT_TRUE(applyBassReflexTable(p, family, q, ui)) << f << " " << q;
            const Row r = tableRow(family, q, familyRow(family, qts));
            EXPECT_NEAR(p.box().Vb, vas / r.alpha * (q == 0 ? 1 / 1.2 : 1.0), 1e-12);
            EXPECT_EQ(p.box().Ql, kBoxQ[q]);
            EXPECT_EQ(p.box().fill, kBoxQChoiceInfo[static_cast<std::size_t>(q)].fill);
            EXPECT_EQ(p.port().Vbox, p.box().Vb);
            EXPECT_NEAR(p.port().fp, fs * r.h, 1e-6 * fs);
            EXPECT_GE(p.port().L, 0.1);
        }
    }
    EXPECT_TRUE(ui.messages.empty());

    setQts(p.front(), 0.8);
    const TBoxObject box = p.box();
    EXPECT_FALSE(applyBassReflexTable(p, Family::SBB4, 2, ui));
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().text, "Too high Qts");
    EXPECT_EQ(p.box().Vb, box.Vb);
    EXPECT_EQ(p.box().Qb, box.Qb);
}

TEST_F(AlignmentApply, BandpassTableFollowsRippleAndSensitivity) {
    // S = S0 · 10^(d/40), stored to four digits.
    const double s0[] = {0.7143, 0.8333, 1.0};
    for (int r = 0; r < kRippleCount; ++r)
        for (int s = 0; s < kSensitivityCount; ++s)
            EXPECT_NEAR(bp1S(r, s), s0[r] * std::pow(10.0, (s - 8) / 40.0), 6e-5) << r << " " << s;

    // 1.25 dB ripple at 0 dB: S = 1 and b = 0.5.
    Bp1Alignment a;
    ASSERT_TRUE(bp1Alignment(2, kDefaultSensitivity, 0.4, 30.0, 0.05, a));
    EXPECT_NEAR(a.Vfront, 0.4 * 0.4 * 0.05, 1e-12);
    EXPECT_NEAR(a.Vrear, 0.05 / (1 / 0.16 - 1.0), 1e-12);
    EXPECT_NEAR(a.tuning, 30.0 / 0.4, 1e-12);
    EXPECT_FALSE(bp1Alignment(0, 0, 0.4463, 30.0, 0.05, a)); // 0.4507 <= 1.01 · QtsEff

    TBP5Box p(ui);
    p.front().SetDefaultUnit();
    ASSERT_TRUE(applyBp1Table(p, 1, 10, ui));
    p.ComputeDerivedValues();
    ASSERT_TRUE(bp1Alignment(1, 10, p.effectiveQts(), p.effectiveFs(), p.effectiveVas(), a));
    EXPECT_NEAR(p.rearBox().Vb, a.Vrear, 1e-12);
    EXPECT_NEAR(p.frontBox().Vb, a.Vfront, 1e-12);
    EXPECT_EQ(p.port().Vbox, a.Vfront);
    EXPECT_NEAR(p.port().fp, a.tuning, 1e-6 * a.tuning);
    EXPECT_EQ(p.rearBox().Qb, 15.0);
    EXPECT_EQ(p.frontBox().Qb, 15.0);

    setQts(p.front(), 0.995); // S = 1.0 <= 1.01 · QtsEff
    EXPECT_FALSE(applyBp1Table(p, 2, 8, ui));
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().text, "Too high Qts");
    EXPECT_EQ(p.rearBox().Vb, a.Vrear);
}

TEST_F(AlignmentApply, PassiveRadiatorTableRowsAndRefusals) {
    EXPECT_EQ(abrRow(0.20), 0);
    EXPECT_EQ(abrRow(0.201), 1);
    EXPECT_EQ(abrRow(0.605), kAbrRowCount - 1); // above the last row: the last
    TAbrBox p(ui);
    p.front().SetDefaultUnit();
    for (const auto& [qts, caption, text] :
         {std::tuple{0.199, "Qts value too low", "Minimum value 0.20"},
          std::tuple{0.615, "Qts value too high", "Maximum value 0.61"}}) {
        setQts(p.front(), qts);
        const double vb = p.box().Vb;
        EXPECT_FALSE(applyAbrTable(p, ui));
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.lastMessage().caption, caption);
        EXPECT_EQ(ui.lastMessage().text, text);
        EXPECT_EQ(p.box().Vb, vb);
    }
    setQts(p.front(), 0.605);
    ASSERT_TRUE(applyAbrTable(p, ui));
    const AbrRow& last = kAbrRows.back();
    EXPECT_NEAR(p.box().Vb, p.front().Vas / last.alpha, 1e-12);
    EXPECT_NEAR(p.abr().Fb, p.effectiveFs() * last.h, 1e-6 * p.abr().Fb);
    EXPECT_EQ(p.box().Qb, 15.0);
}

TEST_F(AlignmentApply, QuickBoxesOfTheClosedAndBassReflexBoxes) {
    TClosedBox c(ui);
    EXPECT_FALSE(c.QuickBox()); // no driver
    c.front().SetDefaultUnit();
    ASSERT_TRUE(c.front().setDriverCount(2));
    ASSERT_TRUE(c.QuickBox());
    EXPECT_NEAR(c.box().Vb, 2 * c.effectiveQts() * c.front().Vas, 1e-12);

    TBassReflexBox b(ui);
    b.front().SetDefaultUnit();
    ASSERT_TRUE(b.QuickBox());
    EXPECT_NEAR(b.box().Vb, 1.5 * b.effectiveVas(), 1e-12);
    EXPECT_EQ(b.port().Vbox, b.box().Vb);
    EXPECT_NEAR(b.port().fp, b.effectiveFs(), 1e-6 * b.effectiveFs());
    EXPECT_GE(b.port().L, 0.1);
    EXPECT_GE(b.port().S, b.effectiveFs() * b.front().Sd * 0.004 - 1e-12);
    EXPECT_TRUE(ui.messages.empty());
}

// |H| in dB of the vented high-pass s^4 / D(s) at w = f / f0.
double theoryDb(const Denominator& d, double w) {
    const double re = w * w * w * w - d.a2 * w * w + 1.0, im = d.a3 * w - d.a1 * w * w * w;
    return 10.0 * std::log10(std::pow(w, 8) / (re * re + im * im));
}

// Sets the built-in unit's total Q to qts through Bl, so that the simulation and the table
// see the same driver, and takes the coil inductance out.
void setDriverQts(TSpeakerObject& d, double qts) {
    d.SetDefaultUnit();
    const double qes = 1.0 / (1.0 / qts - 1.0 / d.Qms);
    d.Bl *= std::sqrt(d.Qes / qes);
    d.Qes = qes;
    d.Qts = qts;
    d.Le = 0.0;
    d.UnitEdited();
}

struct AlignmentCheck {
    double worstDb = 0.0; // largest deviation from the row's high-pass, 0.4 .. 4 f0
    double f3 = 0.0;      // simulated -3 dB point
    double f0 = 0.0;      // sqrt(fs·fb)
};

// Sizes the box from the table and compares the simulated response (leakage at the table's Q,
// no absorption, no filling) with the fourth-order high-pass of the row.
AlignmentCheck simulatedAgainstTheory(UiHost& ui, TBassReflexBox& p, Family family, int q, double qts,
                                      const Denominator* fixed = nullptr) {
    MeasureSetup& s = sharedSetup();
    s.pointCount = 500;
    s.startFrequency = 5;
    s.stopFrequency = 2000;
    s.setupChanged = 1;
    setDriverQts(p.front(), qts);
    EXPECT_TRUE(applyBassReflexTable(p, family, q, ui));
    p.box().Qb = 1e12;
    p.box().fill = 0; // filling makes the box act larger than its volume
    p.box().boxChanged = 1;
    p.Calculate(0);
    const double fs = p.effectiveFs(), fb = p.port().fp;
    const Row table = tableRow(family, q, familyRow(family, qts));
    const Denominator want =
        fixed ? *fixed : ventedDenominator(p.effectiveQts(), kBoxQ[q], Row{fb / fs, table.alpha});
    AlignmentCheck c;
    c.f0 = std::sqrt(fs * fb);
    const double pass = test::valueAt(p.SPL, 6 * c.f0) - theoryDb(want, 6.0);
    for (double f = 0.4 * c.f0; f < 4 * c.f0; f *= 1.01) {
        const double rel = test::valueAt(p.SPL, f) - pass;
        c.worstDb = std::max(c.worstDb, std::abs(rel - theoryDb(want, f / c.f0)));
        if (c.f3 == 0.0 && rel > -3.0) c.f3 = f;
    }
    return c;
}

// The simulated box follows the alignment its table row promises.
TEST_F(AlignmentApply, TableBoxesRespondAsTheirAlignments) {
    TBassReflexBox p(ui);
    for (const auto& [family, qts] : {std::pair{Family::SBB4, 0.3}, std::pair{Family::QB3, 0.3},
                                      std::pair{Family::SC4, 0.5}}) {
        const AlignmentCheck c = simulatedAgainstTheory(ui, p, family, 1, qts);
        // The simulation holds more than the theory (the radiation load, the vent), about half a dB.
        EXPECT_LT(c.worstDb, 0.6) << "family " << static_cast<int>(family) << " Qts " << qts;
    }
    // Where the C4 family joins the fourth-order Butterworth: -3 dB at fs·h.
    const Denominator b4 = chebyshevDenominator(1.0);
    int joint = 0;
    double nearest = 1e9;
    for (int row = 0; row < rowCount(Family::SC4); ++row) {
        const Denominator d = ventedDenominator(rowTheoryQts(Family::SC4, row), 15, tableRow(Family::SC4, 2, row));
        if (const double e = std::hypot(d.a1 - b4.a1, d.a2 - b4.a2, d.a3 - b4.a3); e < nearest)
            nearest = e, joint = row;
    }
    const AlignmentCheck c = simulatedAgainstTheory(ui, p, Family::SC4, 2, rowLabelQts(Family::SC4, joint), &b4);
    EXPECT_LT(c.worstDb, 0.5);
    const double fb = p.effectiveFs() * tableRow(Family::SC4, 2, joint).h;
    EXPECT_NEAR(c.f3, fb, 0.02 * fb);
}

} // namespace
} // namespace harlox
