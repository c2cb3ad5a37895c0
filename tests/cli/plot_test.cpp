#include "cli/plot.h"

#include "core/diagram_model.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace harlox::cli {
namespace {

// PNG output and its size are checked through "box --plot".
TEST(Plot, WritesSvgOrSaysWhyNot) {
    test::TempDir dir;
    double x[3] = {20.0, 200.0, 2000.0};
    double y[3] = {70.0, 85.0, 88.0};
    DiagramModel model{"Free air SPL at 1m distance", "Hz", "dB"};
    model.setX(x);
    model.setPointCount(3);
    model.addCurve(y, Pen{PenColor::Black, PenStyle::Thick}, "Total");
    std::string error;
    const std::string svg = dir.file("spl.svg");
    if (!plottingAvailable()) {
        EXPECT_FALSE(renderDiagramToFile(model, svg, 600, 400, error));
        EXPECT_NE(error.find("without Qt"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(svg));
        return;
    }
    ASSERT_TRUE(renderDiagramToFile(model, svg, 300, 200, error)) << error;
    const auto text = test::readAll(svg);
    EXPECT_NE(std::string(text.begin(), text.end()).find("<svg"), std::string::npos);
    EXPECT_FALSE(renderDiagramToFile(model, dir.file("spl.jpg"), 300, 200, error));
    EXPECT_NE(error.find("jpg"), std::string::npos);
    EXPECT_FALSE(renderDiagramToFile(model, dir.file("big.png"), 100000, 200, error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.png")));
}

} // namespace
} // namespace harlox::cli
