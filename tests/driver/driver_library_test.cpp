#include "driver/driver_library.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace harlox {
namespace {

const std::string kDrivers = std::string(HARLOX_SHARED_DATA_DIR) + "/drivers/";

const TDriverEntry* find(const TDriverLibrary& lib, const std::string& model) {
    const auto& e = lib.entries();
    const auto it =
        std::find_if(e.begin(), e.end(), [&](const TDriverEntry& d) { return d.unit.modelText() == model; });
    return it == e.end() ? nullptr : &*it;
}

std::vector<std::string> reasons(const TDriverLibrary& lib) {
    std::vector<std::string> out;
    for (const TRefusedRow& r : lib.refused())
        out.push_back(r.where + ": " + r.reason);
    return out;
}

// The three databases as they are published, each with one driver checked in SI units.
TEST(DriverLibrary, ReadsThePublishedDatabasesInSiUnits) {
    const struct {
        std::string path, model;
        double fs, vas, sd, xmax, mms;
    } cases[] = {
        {"akustik/driver.csv", "Dayton Audio RSS265HF-8", 24.9, 0.0525, 0.03464, 0.0143, 0.131},
        {"boxdex/dayton/dayton-310-8-8.json", "310-8", 44.4, 0.0819, 0.05309, 0.0035, 0.062},
        {"boxed/DaytonAudio DCS255-4.json", "DCS255-4", 37.7, 0.0321, 0.03464, 0.0083, 0.0955},
    };
    for (const auto& c : cases) {
        TDriverLibrary lib;
        ASSERT_TRUE(lib.load(kDrivers + c.path)) << lib.lastError();
        const TDriverEntry* d = find(lib, c.model);
        ASSERT_NE(d, nullptr) << c.path;
        EXPECT_NEAR(d->unit.fs, c.fs, 1e-9) << c.path;
        EXPECT_NEAR(d->unit.Vas, c.vas, 1e-9) << c.path;
        EXPECT_NEAR(d->unit.Sd, c.sd, 1e-9) << c.path;
        EXPECT_NEAR(d->unit.Xmax, c.xmax, 1e-9) << c.path;
        EXPECT_NEAR(d->unit.Mms, c.mms, 1e-9) << c.path;
        EXPECT_TRUE(d->unit.isSufficient()) << c.path;
    }
    TDriverLibrary akustik;
    ASSERT_TRUE(akustik.load(kDrivers + "akustik/driver.csv"));
    EXPECT_EQ(akustik.entries().size() + akustik.refused().size(), 40u);
    const auto r = reasons(akustik);
    EXPECT_EQ(
        r[0],
        "row 2: too few parameters for a simulation (missing: Sd Vas Cms Cas Qes Qms Qts Re Mms Mmd Rms Bl)");
    EXPECT_EQ(r[1], "row 4: fs missing");
    EXPECT_EQ(akustik.refused()[1].text(),
              kDrivers + "akustik/driver.csv row 4 (Dayton Audio AMTHR-4): fs missing");
    EXPECT_NE(std::find(akustik.ignoredColumns().begin(), akustik.ignoredColumns().end(), "D_nominal"),
              akustik.ignoredColumns().end());

    TDriverLibrary boxdex; // a folder of brand folders
    ASSERT_TRUE(boxdex.load(kDrivers + "boxdex"));
    EXPECT_GT(boxdex.entries().size(), 500u);
}

// The program's own form: units in the header, separators and quoting as spreadsheets write them.
TEST(DriverLibrary, ConvertsStatedUnitsAndReadsSpreadsheetCsv) {
    const std::string sheet =
        "Manufacturer,Model,Type,fs [Hz],Qts,Qes,Qms,Vas [l],Sd [cm2],Xmax [mm],Re [ohm],"
        "Le [mH],Mms [g],Bl [N/A],Colour\n";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"comma LF", sheet + "Acme,X1,Woofer,34,0.3,0.37,1.6,32.9,130,11,6.1,0.9,15.8,7.5,red\n"},
        {"semicolon CRLF BOM decimal comma quoted",
         "\xEF\xBB\xBFManufacturer;Model;Type;fs (Hz);Qts;Qes;Qms;Vas (litre);Sd (cm^2);Xmax (m);Re (Ohm);Le "
         "(uH);"
         "Mms (kg);Bl (Tm);Colour\r\n\"Acme\";\"X1\";Woofer;34;0,3;0,37;1,6;0,0329 "
         "m3;130;0,011;6,1;900;0,0158;7,5;\r\n"},
        {"glued units", "brand,model,fsHz,qts,qes,qms,vasL,sdCm2,xmaxMm,reOhm,leMh,mmsG,bl\n"
                        "Acme,X1,34,0.3,0.37,1.6,32.9,130,11,6.1,0.9,15.8,7.5\n"},
    };
    for (const auto& c : cases) {
        TDriverLibrary lib;
        ASSERT_TRUE(lib.loadCsv(c.text, "t.csv")) << c.name << lib.lastError();
        ASSERT_EQ(lib.entries().size(), 1u)
            << c.name << (lib.refused().empty() ? "" : lib.refused()[0].text());
        const TSpkData& u = lib.entries()[0].unit;
        EXPECT_EQ(u.manufacturerText() + "|" + u.modelText(), "Acme|X1") << c.name;
        EXPECT_NEAR(u.Vas, 0.0329, 1e-12) << c.name;
        EXPECT_NEAR(u.Sd, 0.013, 1e-12) << c.name;
        EXPECT_NEAR(u.Xmax, 0.011, 1e-12) << c.name;
        EXPECT_NEAR(u.Le, 0.0009, 1e-12) << c.name;
        EXPECT_NEAR(u.Mms, 0.0158, 1e-12) << c.name;
        EXPECT_NEAR(u.Qts, 0.3, 1e-12) << c.name;
    }
    TDriverLibrary lib;
    ASSERT_TRUE(lib.loadCsv(cases[0].text, "t.csv"));
    EXPECT_EQ(lib.ignoredColumns(), std::vector<std::string>{"Colour"});
    EXPECT_EQ(lib.entries()[0].unit.noteText(), "Imported from t.csv row 2");
}

TEST(DriverLibrary, RefusesRowsWithTheirReasons) {
    const std::string text = "Manufacturer,Model,fs [Hz],Qts,Qes,Qms,Vas [l],Sd [cm2],Re [ohm],Mms [g],Foo\n"
                             "Acme,,34,0.3,0.37,1.6,32.9,130,6.1,15.8\n"
                             "Acme,B,,0.3,0.37,1.6,32.9,130,6.1,15.8\n"
                             "Acme,C,34,0.3,0.37,1.6,abc,130,6.1,15.8\n"
                             "Acme,D,34,0.3,0.37,,32.9,130,6.1,15.8\n"
                             "Acme,E,34,0.3,0.37,1.6,-3,130,6.1,15.8\n"
                             "Acme,F,34,0.3,0.37,1.6,32.9,130,6.1,15.8\n"
                             "\n"
                             "Acme,G,34,0.3,0.37,1.6,32.9 mm,130,6.1,15.8\n"
                             "Acme," +
                             std::string(1 << 20, 'x') + "\n";
    TDriverLibrary lib;
    ASSERT_TRUE(lib.loadCsv(text, "t.csv"));
    EXPECT_EQ(reasons(lib),
              (std::vector<std::string>{
                  "row 2: no model name", "row 3: fs missing", "row 4: Vas is not a number: 'abc'",
                  "row 5: too few parameters for a simulation (missing: Qms Rms)",
                  "row 6: Vas is out of range: '-3'", "row 9: Vas is not a number: '32.9 mm'",
                  "row 10: the row is too long"}));
    ASSERT_EQ(lib.entries().size(), 1u);
    EXPECT_EQ(lib.entries()[0].where, "row 7");
}

TEST(DriverLibrary, RefusesHostileFilesCleanly) {
    const struct {
        std::string text;
        bool json;
        const char* error;
    } cases[] = {
        {std::string("\x7f\x45\x4c\x46\0\0\x01", 7), false, "'f' is not a text file"},
        {"{\"model\": \"X\", \"fsHz\": 3", true, "'f' is not valid JSON"},
        {std::string(100, '[') + std::string(100, ']'), true, "'f' is nested too deeply for a driver table"},
        {"42", true, "'f' holds no driver objects"},
        {R"({"model": "C", "fs": 1e999})", true, "'f' is not valid JSON"},
        {"just,some,words\n1,2,3\n", false, "'f' has no header row naming driver parameters"},
        {std::string(1 << 20, 'a') + "\n", false, "'f': the header row is too long"},
    };
    for (const auto& c : cases) {
        TDriverLibrary lib;
        EXPECT_FALSE(c.json ? lib.loadJson(c.text, "f") : lib.loadCsv(c.text, "f"));
        EXPECT_EQ(lib.lastError(), c.error);
        EXPECT_TRUE(lib.entries().empty());
    }
    TDriverLibrary lib;
    ASSERT_TRUE(lib.loadJson(R"([1, {"model": "A", "fs": true}, {"brand": "B"}])", "f.json"));
    EXPECT_EQ(reasons(lib),
              (std::vector<std::string>{"entry 1: not a driver object", "entry 2: fs is not a number: 'true'",
                                        "entry 3: no model name"}));
    // Cut anywhere, a real file is read without harm: JSON is refused whole, CSV keeps its complete rows.
    for (const char* path : {"boxdex/dayton/dayton-310-8-8.json", "akustik/driver.csv"}) {
        const auto bytes = test::readAll(kDrivers + path);
        const std::string text(bytes.begin(), bytes.end());
        for (std::size_t n = 0; n < text.size(); n += 7) {
            TDriverLibrary cut;
            const bool json = text[0] == '{';
            const bool read =
                json ? cut.loadJson(text.substr(0, n), "f") : cut.loadCsv(text.substr(0, n), "f");
            EXPECT_TRUE(!read || !json) << "a cut JSON file is refused whole, at " << n;
            for (const TDriverEntry& e : cut.entries())
                EXPECT_TRUE(e.unit.isSufficient()) << n;
        }
    }
    EXPECT_FALSE(lib.load("/no/such/file.csv"));
    EXPECT_EQ(lib.lastError(), "cannot read '/no/such/file.csv': No such file or directory");
}

TEST(DriverLibrary, SearchesTextAndRanges) {
    TDriverLibrary lib;
    ASSERT_TRUE(lib.load(std::string(HARLOX_HELP_DIR) + "/../examples/drivers"));
    EXPECT_EQ(lib.entries().size(), 24u);
    EXPECT_TRUE(lib.refused().empty());
    const auto models = [&lib](const TDriverFilter& f) {
        std::string out;
        for (const std::size_t i : lib.search(f))
            out += (out.empty() ? "" : ",") + lib.entries()[i].unit.modelText();
        return out;
    };
    TDriverFilter f;
    EXPECT_EQ(lib.search(f).size(), 24u);
    f.text = "dayton 255";
    EXPECT_EQ(models(f), "DCS255-4");
    f.text = "SCAN";
    EXPECT_EQ(models(f), "25W/8561,25W/8565-00");
    f.text.clear();
    f.range(LibraryField::fs).min = 50;
    f.range(LibraryField::Sd).max = 0.01;
    EXPECT_EQ(models(f), "SW146WA02,D5.8,SC 5.9-8");
    f.range(LibraryField::Xmax).min = 0.0055;
    EXPECT_EQ(models(f), "SW146WA02");
}

TEST(DriverLibrary, WritesUnitCopiesUnderSafeUniqueNames) {
    TSpkData u;
    u.SetDefault();
    const struct {
        const char* manufacturer;
        const char* model;
        const char* file;
    } names[] = {{"Scan-Speak", "25W/8565-00", "Scan-Speak 25W_8565-00.unt"},
                 {"..", "a\tb:c?", "a_b_c_.unt"},
                 {"", "", "driver.unt"}};
    for (const auto& n : names) {
        u.setManufacturer(n.manufacturer);
        u.setModel(n.model);
        EXPECT_EQ(TDriverLibrary::unitFileName(u), n.file);
    }
    test::TempDir dir;
    std::string error;
    const std::string first = TDriverLibrary::uniqueUnitPath(dir.path(), u);
    ASSERT_TRUE(TDriverLibrary::writeUnitCopy(u, first, error)) << error;
    EXPECT_EQ(TDriverLibrary::uniqueUnitPath(dir.path(), u), dir.file("driver (2).unt"));
    TSpkData back;
    ASSERT_TRUE(back.Load(first));
    EXPECT_EQ(back.fs, u.fs);
    EXPECT_FALSE(TDriverLibrary::writeUnitCopy(u, dir.file("no/such/x.unt"), error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace harlox
