#include "app/project_json.h"

#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "core/binary_io.h"
#include "filter/general.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "scripted_ui_host.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>

namespace harlox {
namespace {

using Json = nlohmann::ordered_json;
using Pointer = Json::json_pointer;

std::vector<std::uint8_t> fileBytes(TBoxEmbryo& box, std::vector<TracedField>* trace = nullptr) {
    BinaryWriter w;
    w.setTrace(trace);
    EXPECT_TRUE(box.writeProjectBytes(w));
    return w.take();
}

std::vector<std::uint8_t> fileBytes(const TXover& x, std::vector<TracedField>* trace = nullptr) {
    BinaryWriter w;
    w.setTrace(trace);
    EXPECT_TRUE(x.writeProjectBytes(w));
    return w.take();
}

// Every byte belongs to exactly one field, and no two fields share a name.
void expectNamedLayout(const std::vector<TracedField>& fields, std::size_t size, const std::string& what) {
    std::set<std::string> paths;
    std::size_t next = 0;
    for (const TracedField& f : fields) {
        EXPECT_EQ(f.offset, next) << what << " " << f.path;
        next = f.offset + f.size;
        if (f.kind == FieldKind::Reserved) continue;
        EXPECT_EQ(f.path.find('?'), std::string::npos) << what << ": a field without a name after "
                                                       << (paths.empty() ? "" : *paths.rbegin());
        EXPECT_TRUE(paths.insert(f.path).second) << what << ": " << f.path << " twice";
    }
    EXPECT_EQ(next, size) << what;
}

std::vector<std::uint8_t> readBack(const std::string& text, UiHost& ui) {
    const ProjectFromJson back = projectBytesFromJson(text, ui);
    EXPECT_TRUE(back.ok) << back.error;
    return back.bytes;
}

// The same document with the keys of every object in the opposite order.
Json reversed(const Json& j) {
    if (j.is_array()) {
        Json out = Json::array();
        for (const Json& v : j) out.push_back(reversed(v));
        return out;
    }
    if (!j.is_object()) return j;
    Json out = Json::object();
    std::vector<std::pair<std::string, Json>> items;
    for (const auto& [k, v] : j.items()) items.emplace_back(k, reversed(v));
    for (auto it = items.rbegin(); it != items.rend(); ++it) out[it->first] = it->second;
    return out;
}

TEST(ProjectJson, EveryFieldOfEveryProjectTypeHasANameOfItsOwn) {
    test::ScriptedUiHost ui;
    for (int code = 0; code <= 9; ++code) {
        std::unique_ptr<TBoxEmbryo> box = makeBoxProject(code, ui);
        ASSERT_TRUE(box) << code;
        std::vector<TracedField> fields;
        const std::vector<std::uint8_t> bytes = fileBytes(*box, &fields);
        expectNamedLayout(fields, bytes.size(), box->typeName());
        // Tracing never changes what is written.
        EXPECT_EQ(bytes, fileBytes(*box)) << box->typeName();
    }
    for (int variant = 0; variant < 10; ++variant) {
        const TXover::VariantInfo* info = TXover::FindVariant(variant);
        if (!info) continue;
        TGeneral general;
        const TXover x(general, variant, ui);
        std::vector<TracedField> fields;
        const std::vector<std::uint8_t> bytes = fileBytes(x, &fields);
        expectNamedLayout(fields, bytes.size(), info->listName);
    }
}

TEST(ProjectJson, AnEditedProjectReadsBackToTheIdenticalFileInAnyKeyOrder) {
    test::ScriptedUiHost ui;
    for (int code = 0; code <= 9; ++code) {
        std::unique_ptr<TBoxEmbryo> box = makeBoxProject(code, ui);
        if (TBoxObject* b = box->boxElement()) box->setBoxVolume(*b, 0.0123456789);
        box->setUserNote("Bässe – 3 × µ\nsecond line \"quoted\" / \\ ~");
        box->splWindow().placement.v = {1, 2, -3, 4, 5, 6, 700, 800, 1900, -1000};
        const std::vector<std::uint8_t> bytes = fileBytes(*box);
        const std::string text = boxProjectJson(*box);
        EXPECT_EQ(readBack(text, ui), bytes) << box->typeName();
        EXPECT_EQ(readBack(reversed(Json::parse(text)).dump(), ui), bytes) << box->typeName();
        // The project reads its own file again and writes the same text.
        std::unique_ptr<TBoxEmbryo> again = makeBoxProject(code, ui);
        ASSERT_TRUE(again->ReadProjectBytes(bytes, "edited.box")) << box->typeName();
        EXPECT_EQ(boxProjectJson(*again), text) << box->typeName();
    }
    for (const int variant : {0, 3, 9}) {
        TGeneral general;
        TXover x(general, variant, ui);
        if (TNetA* a = x.AdvancedNet(0)) {
            a->Re = 7.25;
        } else {
            static_cast<TNet&>(x.Net(0)).Re = 7.25;
        }
        const std::vector<std::uint8_t> bytes = fileBytes(x);
        const std::string text = filterProjectJson(x);
        const ProjectFromJson back = projectBytesFromJson(text, ui);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_TRUE(back.filter);
        EXPECT_EQ(back.bytes, bytes) << variant;
        EXPECT_EQ(readBack(reversed(Json::parse(text)).dump(), ui), bytes) << variant;
    }
}

TEST(ProjectJson, BytesTheTextCannotShowAreKeptAsHex) {
    test::ScriptedUiHost ui;
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(0, ui);
    Json j = Json::parse(boxProjectJson(*box));
    // A note from an old file in an 8-bit code page, and a damaged number.
    std::string note(2 * TBoxEmbryo::kUserNoteSize, '0');
    note.replace(0, 8, "42e4fc00"); // "Bä" in Latin-1, then the terminator
    j["userNote"] = {{"hex", note}};
    j["box"]["Qb"] = {{"hex", "000000000000f87f"}}; // a quiet NaN
    const std::vector<std::uint8_t> bytes = readBack(j.dump(), ui);
    const auto at = [&](const char* path) {
        std::vector<TracedField> fields;
        (void)fileBytes(*box, &fields);
        for (const TracedField& f : fields)
            if (f.path == path) return f.offset;
        return std::size_t{0};
    };
    EXPECT_EQ(bytes[at("/userNote") + 1], 0xE4);
    double qb = 0;
    std::memcpy(&qb, &bytes[at("/box/Qb")], 8);
    EXPECT_TRUE(std::isnan(qb));

    // Text shows as hex only where it must, and comes back byte for byte.
    std::unique_ptr<TBoxEmbryo> again = makeBoxProject(0, ui);
    ASSERT_TRUE(again->ReadProjectBytes(bytes, "old.box"));
    const Json shown = Json::parse(boxProjectJson(*again));
    EXPECT_EQ(shown["userNote"]["hex"], note);
    EXPECT_EQ(readBack(shown.dump(), ui), fileBytes(*again));
    // Negative zero and the extremes of the number fields survive the text.
    j = Json::parse(boxProjectJson(*box));
    j["box"]["Ql"] = -0.0;
    j["box"]["Vb"] = std::numeric_limits<double>::denorm_min();
    j["setup"]["Ug"] = std::numeric_limits<double>::max();
    j["setup"]["rangeDb"] = std::numeric_limits<std::int32_t>::min();
    const std::vector<std::uint8_t> extreme = readBack(j.dump(2), ui);
    EXPECT_EQ(readBack(j.dump(), ui), extreme);
    double ql = 1;
    std::memcpy(&ql, &extreme[at("/box/Ql")], 8);
    EXPECT_TRUE(std::signbit(ql));
}

TEST(ProjectJson, ARefusedTextSaysWhichFieldAndWhy) {
    test::ScriptedUiHost ui;
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(1, ui);
    const Json good = Json::parse(boxProjectJson(*box));
    const auto refusal = [&](const std::function<void(Json&)>& edit) {
        Json j = good;
        edit(j);
        const ProjectFromJson r = projectBytesFromJson(j.dump(), ui);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.bytes.empty());
        return r.error;
    };
    EXPECT_EQ(refusal([](Json& j) { j["box"].erase("Vb"); }), "field /box/Vb is missing");
    EXPECT_EQ(refusal([](Json& j) { j["box"]["Vbb"] = 1; }), "field /box/Vbb is not a field of this project type");
    EXPECT_EQ(refusal([](Json& j) { j["room"]["driver"].push_back(j["room"]["driver"][0]); }),
              "field /room/driver/9/dX is not a field of this project type");
    EXPECT_EQ(refusal([](Json& j) { j["setup"]["hidePhase"] = 256; }),
              "field /setup/hidePhase must be an integer 0 .. 255");
    EXPECT_EQ(refusal([](Json& j) { j["setup"]["pointCount"] = 200.5; }),
              "field /setup/pointCount must be an integer -2147483648 .. 2147483647");
    EXPECT_EQ(refusal([](Json& j) { j["port"]["L"] = "0.1"; }), "field /port/L must be a number");
    EXPECT_EQ(refusal([](Json& j) { j["userNote"] = std::string(600, 'x'); }),
              "field /userNote is too long: at most 599 bytes");
    EXPECT_EQ(refusal([](Json& j) { j["unitFile"] = std::string("a\0b", 3); }),
              "field /unitFile must not hold a NUL character");
    EXPECT_EQ(refusal([](Json& j) { j["box"]["Qb"] = {{"hex", "00f87f"}}; }),
              "field /box/Qb: \"hex\" must hold 16 hex digits");
    EXPECT_EQ(refusal([](Json& j) { j["version"] = 300; }), "field /version must be 400");
    EXPECT_EQ(refusal([](Json& j) { j["type"] = 42; }), "field /type: 42 is not the type code of a box project");
    // The text of a bass reflex project given the type of a closed box lacks the port.
    EXPECT_EQ(refusal([](Json& j) { j["type"] = 0; }), "field /port/L is not a field of this project type");
    EXPECT_NE(refusal([](Json& j) { j["format"] = "harlox filter project"; }).find("not the type code of a filter"),
              std::string::npos);
    EXPECT_NE(refusal([](Json& j) { j.erase("format"); }).find("not a project: field /format must be"),
              std::string::npos);

    for (const char* text : {"", "{", "[1, 2]", "{\"format\": \"harlox box project\"}", "\xff\xfe"}) {
        const ProjectFromJson r = projectBytesFromJson(text, ui);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_FALSE(r.error.empty()) << text;
    }
    EXPECT_NE(projectBytesFromJson("{\n  \"format\": ,\n}", ui).error.find("line 2"), std::string::npos);
    EXPECT_NE(projectBytesFromJson("{\"format\": 1e400}", ui).error.find("number overflow"), std::string::npos);
}

} // namespace
} // namespace harlox
