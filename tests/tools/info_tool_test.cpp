// zelvor-tool info, run as users run it: a separate process whose JSON output is parsed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "support/test_support.h"

#include <QTemporaryDir>

namespace {

using nlohmann::json;

struct ToolResult {
    int status = -1;
    std::string out;
};

ToolResult RunTool(const std::string& args) {
    ToolResult r;
    const std::string command = zelvor::test::BinDir() + "/zelvor-tool info " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string Data(const std::string& name) { return "'" + zelvor::test::DataPath(name) + "'"; }

TEST(InfoTool, DemoIsTheBuiltInMolecule) {
    const ToolResult r = RunTool("--demo");
    ASSERT_EQ(r.status, 0);
    const json j = json::parse(r.out);
    EXPECT_EQ(j["load_result"], 1);
    EXPECT_EQ(j["frame_count"], 1);
    ASSERT_EQ(j["frames"].size(), 1u);
    EXPECT_EQ(j["frames"][0]["atoms"], 47);
    EXPECT_EQ(j["frames"][0]["comment"], "Energy =     -20.32 kcal/mol");
    EXPECT_GT(j["frames"][0]["bonds"].get<int>(), 40);  // a 47-atom molecule is held together by its bonds
}

TEST(InfoTool, MultiFrameFileShowsFirstAndLastFrameOrAll) {
    ToolResult r = RunTool(Data("xcrysden-anim.xyz"));
    ASSERT_EQ(r.status, 0);
    json j = json::parse(r.out);
    EXPECT_EQ(j["format"], "xyz");
    EXPECT_EQ(j["frame_count"], 5);
    ASSERT_EQ(j["frames"].size(), 2u);
    EXPECT_EQ(j["frames"][0]["index"], 0);
    EXPECT_EQ(j["frames"][1]["index"], 4);
    EXPECT_EQ(j["frames"][1]["comment"], "benzene.5");
    EXPECT_EQ(j["frames"][0]["elements"]["C"], 6);
    EXPECT_EQ(j["frames"][0]["elements"]["H"], 6);
    EXPECT_FALSE(j["frames"][0]["cell_given"].get<bool>());
    EXPECT_TRUE(j["messages"].empty());

    r = RunTool("--all-frames " + Data("xcrysden-anim.xyz"));
    j = json::parse(r.out);
    EXPECT_EQ(j["frames"].size(), 5u);
}

TEST(InfoTool, NoBondsLeavesBondsOut) {
    const ToolResult r = RunTool("--no-bonds " + Data("xcrysden-anim.xyz"));
    ASSERT_EQ(r.status, 0);
    const json j = json::parse(r.out);
    EXPECT_FALSE(j["frames"][0].contains("bonds"));
}

TEST(InfoTool, CubeFramesCarryTheirGrid) {
    const ToolResult r = RunTool(Data("vsim-h2o-dens.cube"));
    ASSERT_EQ(r.status, 0);
    const json j = json::parse(r.out);
    EXPECT_EQ(j["format"], "cube");
    const json& f = j["frames"][0];
    EXPECT_EQ(f["grid"], json::array({40, 40, 40}));
    EXPECT_EQ(f["elements"]["O"], 1);
    EXPECT_EQ(f["elements"]["H"], 2);
    EXPECT_NEAR(f["voxel_max"].get<double>(), 1.113, 0.001);
    EXPECT_LE(f["voxel_min"].get<double>(), 0.0);
    EXPECT_TRUE(f["cell_given"].get<bool>());
}

TEST(InfoTool, FailedLoadExitsWithOneAndReportsTheMessage) {
    const ToolResult r = RunTool(Data("adv-count-negative.xyz"));
    EXPECT_EQ(r.status, 1);
    const json j = json::parse(r.out);
    EXPECT_EQ(j["load_result"], 0);
    ASSERT_EQ(j["messages"].size(), 1u);
    EXPECT_EQ(j["messages"][0], "Cell dimension in the 0. frame\nin the coordinate file is rubbish!");

    // A file whose first atom cannot be read leaves no frame: a failure, with the reader's message kept.
    QTemporaryDir dir;
    const std::string pdb = zelvor::test::WriteFile(
        dir, "nan.pdb",
        "HEADER    TEST\n"
        "ATOM      1  O   HOH A   1        nan     inf    -inf  1.00  0.00           O\n"
        "ATOM      2  H   HOH A   1       1.000   0.000   0.000  1.00  0.00           H\nEND\n");
    const ToolResult nan = RunTool("'" + pdb + "'");
    EXPECT_EQ(nan.status, 1);
    const json k = json::parse(nan.out);
    EXPECT_EQ(k["load_result"], 0);
    EXPECT_EQ(k["frame_count"], 0);
    EXPECT_EQ(k["messages"], json::array({"Line 2 doesn't conform to the PDB specifications."}));
}

TEST(InfoTool, GivenElementTableDecidesTheElements) {
    QTemporaryDir dir;
    const std::string table = zelvor::test::WriteFile(
        dir, "carbon-only.dat", "header\nC \t 6 \t 144 \t 144 \t 144 \t 1.7 \t 0.76 \t 6.646 \t 0\n");
    const ToolResult r = RunTool("--elements '" + table + "' " + Data("xcrysden-anim.xyz"));
    ASSERT_EQ(r.status, 0);
    const json j = json::parse(r.out);
    EXPECT_EQ(j["frames"][0]["elements"]["C"], 6);
    EXPECT_EQ(j["frames"][0]["elements"]["Zx"], 6);  // hydrogen is not in this table
}

TEST(InfoTool, MissingFileAndBadArgumentsFail) {
    EXPECT_EQ(RunTool("/nonexistent/file.xyz").status, 1);
    EXPECT_EQ(RunTool(Data("xcrysden-anim.xyz") + " --bogus").status, 2);
    EXPECT_EQ(RunTool("").status, 2);
    EXPECT_EQ(RunTool("--elements /nonexistent/Elements.dat " + Data("xcrysden-anim.xyz")).status, 2);
    // Help and version in any position answer and succeed.
    const ToolResult help = RunTool(Data("xcrysden-anim.xyz") + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: zelvor-tool info FILE", 0), 0u) << help.out;
    const ToolResult version = RunTool("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zelvor-tool " ZELVOR_VERSION "\n");
}

}  // namespace
