#include "box/closed_box.h"
#include "box_test_support.h"
#include "output/curve_writer.h"
#include "transient/step_response.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class TransientExportTest : public test::BoxTest {
protected:
    void SetUp() override {
        BoxTest::SetUp();
        box.front().SetDefaultUnit();
        box.Calculate(0);
        ui.runPosted();
    }
    TClosedBox box{ui};
};

// Kind 3 writes the window's points against time in ms, named by the window's caption, in
// the SPL file formats with a zero third column.
TEST_F(TransientExportTest, WritesTheShownPointsAgainstTimeUnderTheWindowCaption) {
    TStepResponse& t = box.transientResponse();
    ASSERT_EQ(t.window().pointCount(), 512);
    ui.files.push_back(dir.file("impulse.GDT"));
    ASSERT_TRUE(box.Export(3));
    EXPECT_EQ(ui.fileRequests.back().filter, kSplExportFilter);
    EXPECT_EQ(box.exportKind(), 3);
    EXPECT_EQ(box.exportFormat(), static_cast<int>(CurveFormat::Gdt));

    const std::vector<std::string> gdt = fileLines(dir.file("impulse.GDT"));
    ASSERT_EQ(gdt.size(), 7u + 512u + 1u);
    EXPECT_EQ(gdt[4], "* Number of Points : 512");
    EXPECT_EQ(gdt[5], "*  Graph 1 > Impulse response");
    EXPECT_EQ(gdt[6], "*    ms");
    char expected[96];
    std::snprintf(expected, sizeof expected, " %f\t%f\t%f", t.timeAxis[3], t.responseCurve[3], 0.0);
    EXPECT_EQ(gdt[7 + 3], expected);
    EXPECT_EQ(gdt[7 + 3].substr(0, 10), " 0.075000\t"); // 3 samples of 25 us
    EXPECT_EQ(gdt.back(), "* End of LEAP GDT File.");

    // A zoomed tone burst: 512 of its 1024 samples, its caption as the title, two columns in FM.
    t.inputSignal = TStepResponse::kToneBurst;
    t.zoom = 1;
    t.setResolutionIndex(2); // 0.1 ms
    t.Calculate(false);
    ui.files.push_back(dir.file("burst.fm"));
    ASSERT_TRUE(box.Export(3));
    const std::vector<std::string> fm = fileLines(dir.file("burst.fm"));
    ASSERT_EQ(fm.size(), 2u + 512u);
    EXPECT_EQ(fm[0], "Tone burst resp. 50.0 Hz, 3 periods");
    EXPECT_EQ(fm[1], "   ms");
    std::snprintf(expected, sizeof expected, " %f\t%f", t.timeAxis[511], t.responseCurve[511]);
    EXPECT_EQ(fm.back(), expected);
    EXPECT_EQ(fm.back().substr(0, 11), " 51.100000\t");

    // The one-line header formats: the column header, then the data.
    ui.files.push_back(dir.file("burst.frd"));
    ASSERT_TRUE(box.Export(3));
    const std::vector<std::string> frd = fileLines(dir.file("burst.frd"));
    ASSERT_EQ(frd.size(), 1u + 512u);
    EXPECT_EQ(frd[0], "   ms");
    EXPECT_EQ(frd[1].substr(frd[1].size() - 9), "\t0.000000");
}

TEST_F(TransientExportTest, NothingIsAskedBeforeTheWindowHasPointsAndCancelWritesNothing) {
    TClosedBox empty(ui);
    const auto requests = ui.fileRequests.size();
    EXPECT_FALSE(empty.Export(3));
    EXPECT_EQ(ui.fileRequests.size(), requests);

    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(box.Export(3));
    EXPECT_EQ(ui.fileRequests.size(), requests + 1);
}

} // namespace
} // namespace harlox
