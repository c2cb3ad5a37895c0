#include "cli/plot.h"

#include "core/diagram_model.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace harlox::cli {
namespace {

TEST(Plot, WritesPngAndSvgOrSaysItCannot) {
    test::TempDir dir;
    double x[3] = {20.0, 200.0, 2000.0};
    double y[3] = {70.0, 85.0, 88.0};
    DiagramModel model{"Free air SPL at 1m distance", "Hz", "dB"};
    model.setX(x);
    model.setPointCount(3);
    model.addCurve(y, Pen{PenColor::Black, PenStyle::Thick}, "Total");
    std::string error;
    const std::string png = dir.file("spl.png");
    if (!plottingAvailable()) {
        EXPECT_FALSE(renderDiagramToFile(model, png, 600, 400, error));
        EXPECT_NE(error.find("without Qt"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(png));
        return;
    }
    ASSERT_TRUE(renderDiagramToFile(model, png, 600, 400, error)) << error;
    const auto head = test::readAll(png);
    ASSERT_GT(head.size(), 24u);
    EXPECT_EQ(std::string(head.begin() + 1, head.begin() + 4), "PNG");
    // width and height in the IHDR chunk, big-endian
    EXPECT_EQ((head[18] << 8) | head[19], 600);
    EXPECT_EQ((head[22] << 8) | head[23], 400);

    const std::string svg = dir.file("spl.svg");
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
