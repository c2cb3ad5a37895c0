#include "filter/imp_response.h"

#include "core/diagram_model.h"
#include "filter/general.h"
#include "filter/xover.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

using namespace harlox;

namespace {

// A flat 0 dB response on the filter grid transforms to a single peak at t = 0 whatever the
// size and rate; the time axis and the shown points follow the general settings.
TEST(ImpResponse, FlatResponseIsOnePeakOnTheSettingsTimeAxis) {
    const std::vector<Complex> flat(TGeneral::kPoints, Complex(1.0, 0.0));
    struct Case {
        int n, rate;
    };
    for (const Case c : {Case{512, 44100}, Case{2048, 48000}, Case{8192, 96000}}) {
        SCOPED_TRACE(c.n);
        TGeneral g;
        ASSERT_TRUE(g.setIfft(c.n, c.rate));
        DiagramModel window;
        TImpResponse ir(g, window);
        ir.setSource(flat.data());
        ASSERT_TRUE(ir.Calculate());
        ASSERT_EQ(ir.ShownPoints(), c.n / 2);
        EXPECT_EQ(window.pointCount(), c.n / 2);
        EXPECT_EQ(window.x(), ir.TimeAxis().data());
        EXPECT_EQ(window.curve(0).y, ir.Response().data());
        EXPECT_NEAR(ir.Response()[0], 1.0, 1e-12);
        for (int i = 1; i < c.n / 2; ++i)
            ASSERT_LT(std::abs(ir.Response()[static_cast<std::size_t>(i)]), 3.0 / c.n) << i;
        EXPECT_DOUBLE_EQ(ir.TimeAxis()[1], 1000.0 / c.rate);
        EXPECT_DOUBLE_EQ(ir.TimeAxis()[static_cast<std::size_t>(c.n / 2 - 1)],
                         (c.n / 2 - 1) * 1000.0 / c.rate);
    }
}

// A pure delay moves the peak; a silent project stays unscaled; "Disable IFFT" freezes it.
TEST(ImpResponse, DelaySilenceAndDisabling) {
    TGeneral g;
    DiagramModel window;
    TImpResponse ir(g, window);
    // 1 ms of delay: the peak lands on the sample nearest to 1 ms.
    std::vector<Complex> delayed(TGeneral::kPoints);
    for (int i = 0; i < TGeneral::kPoints; ++i) {
        const double phi = -2.0 * 3.14159265358979 * g.frequency()[i] * 0.001;
        delayed[static_cast<std::size_t>(i)] = Complex(std::cos(phi), std::sin(phi));
    }
    ir.setSource(delayed.data());
    ASSERT_TRUE(ir.Calculate());
    const auto& r = ir.Response();
    const auto peak = std::max_element(r.begin(), r.begin() + ir.ShownPoints()) - r.begin();
    EXPECT_NEAR(ir.TimeAxis()[static_cast<std::size_t>(peak)], 1.0, 1000.0 / g.sampleRate());
    EXPECT_DOUBLE_EQ(r[static_cast<std::size_t>(peak)], 1.0);

    const std::vector<Complex> silent(TGeneral::kPoints);
    ir.setSource(silent.data());
    ASSERT_TRUE(ir.Calculate());
    EXPECT_EQ(r[0], 0.0);

    ir.setSource(delayed.data());
    g.disableIfft = 1;
    EXPECT_FALSE(ir.Enabled());
    EXPECT_FALSE(ir.Calculate());
    EXPECT_EQ(r[0], 0.0);
}

// The project fills the window in its cycle and exports its points with time in ms.
TEST(ImpResponse, ProjectExportsTheShownPoints) {
    test::ScriptedUiHost ui;
    test::TempDir dir;
    TGeneral g;
    TXover x(g, 0, ui);
    ASSERT_EQ(x.ImpulseWindow().pointCount(), g.ifftSize() / 2);
    ui.files.push_back(dir.file("imp.fmp"));
    ASSERT_TRUE(x.ExportTotal(static_cast<int>(FilterExportKind::Impulse)));
    std::ifstream in(dir.file("imp.fmp"), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 + g.ifftSize() / 2));
    EXPECT_EQ(lines[0], "Impulse response\r");
    EXPECT_EQ(lines[1], "   ms\r");
    EXPECT_EQ(lines[3].substr(0, 10), " 0.022676\t");
    EXPECT_EQ(lines.back().substr(lines.back().size() - 10), "\t0.000000\r");
}

} // namespace
