// The element hydraulics and sizing routines against a separate single-
// precision transcription of their formulas (fortran/element_reference.f90):
// the same arguments go through both, and the results must print alike to
// four decimals.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "records/format.h"
#include "sizing/element_hydraulics.h"
#include "sizing/element_sizing.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using Arguments = std::vector<float>;

struct ReferenceCase {
    std::string description;
    std::string routine;  // the reference program's name of the routine
    Arguments arguments;  // in the reference program's order
};

int whole(float value)
{
    return static_cast<int>(value);
}
SizingIncrement increment_of(float value)
{
    return static_cast<SizingIncrement>(whole(value));
}

// The program's routine for each case, with the results in the order the
// reference program prints them.
std::vector<float> compute(const ReferenceCase& c)
{
    const Arguments& a = c.arguments;
    if (c.routine == "pipe") {
        float slope = a[1];
        const float q = compute_pipe_full_capacity(CircularPipe{a[0], a[2]}, slope);
        return {q, slope};
    }
    if (c.routine == "pipes") {
        float slope = a[1];
        const float q = compute_pipe_element_capacity(CircularPipe{a[0], a[2]}, a[3], a[4] == 2.0f, slope);
        return {q, slope};
    }
    if (c.routine == "box") return {compute_box_capacity(RectangularBox{a[1], a[3], a[2]}, a[0])};
    if (c.routine == "trapezoid") return {compute_trapezoid_capacity(TrapezoidalChannel{a[2], a[1], a[3]}, a[0], a[4])};
    if (c.routine == "vee") {
        VeeSection section{a[0], a[1], a[2], a[4], a[3]};
        float slope = a[5];
        const float q = compute_vee_section_capacity(section, slope, a[6]);
        return {q, section.manning_n, slope};
    }
    if (c.routine == "street") {
        StreetSection street;
        street.curb_height = a[2];
        street.center_lane_crossfall = a[3];
        street.half_width = a[4];
        street.manning_n = a[5];
        street.gutter_lip = a[6];
        street.gutter_width = a[7];
        street.gutter_hike = a[8];
        street.side_count = whole(a[9]);
        street.outside_lane_crossfall = a[10];
        street.crown_to_gradebreak_distance = a[11];
        street.parkway_crossfall = a[12];
        street.parkway_manning_n = a[13];
        const float q = compute_street_capacity(street, a[0], a[1]);
        return {q, street.parkway_manning_n};
    }
    if (c.routine == "sizepipe") {
        float slope = a[0];
        const float diameter = size_circular_pipe(slope, a[1], a[2]);
        return {diameter, slope};
    }
    if (c.routine == "standardpipe") {
        const StandardPipe pipe = select_standard_pipe(a[0]);
        return {pipe.diameter, pipe.barrels};
    }
    if (c.routine == "lookup") return {lookup_table_capacity(a[0], a[1], a[2], whole(a[3])).value_or(-1.0f)};
    if (c.routine == "standardsize") {
        const StandardSize size =
            select_standard_size(a[0], a[1], a[2], increment_of(a[3]), whole(a[4]), whole(a[5]), a[6]);
        return {size.height, size.width};
    }
    if (c.routine == "box_size") {
        const BoxSize box = size_box(a[0], a[1], a[2], a[3], whole(a[4]), increment_of(a[5]));
        return {box.first, box.second};
    }
    if (c.routine == "trapezoid_size") {
        const TrapezoidSize channel =
            size_trapezoid(a[0], a[1], a[2], a[3], a[4], whole(a[5]), a[6], increment_of(a[7]));
        return {channel.depth_result, channel.width_argument};
    }
    if (c.routine == "normaldepth") return {solve_trapezoid_normal_depth(a[0], a[1], a[2], a[3], a[4])};
    if (c.routine == "increment") return {round_to_increment(a[0], increment_of(a[1]))};
    ADD_FAILURE() << "no routine " << c.routine;
    return {};
}

std::string printed(const std::vector<float>& results)
{
    std::vector<FormatValue> values(results.begin(), results.end());
    return format_line("(" + std::to_string(results.size()) + "F16.4)", values);
}

// The reference program's line for each case.
std::vector<std::string> run_reference(const std::vector<ReferenceCase>& cases)
{
    const test::TemporaryDirectory scratch;
    std::ostringstream text;
    for (const ReferenceCase& c : cases) {
        text << c.routine;
        for (float value : c.arguments) {
            char number[32];
            std::snprintf(number, sizeof number, " %.9g", static_cast<double>(value));
            text << number;
        }
        text << '\n';
    }
    const std::string input = scratch.file("cases.txt");
    const std::string output = scratch.file("results.txt");
    test::TemporaryDirectory::put(input, text.str());
    const std::string command =
        std::string(VELM_FORTRAN_HELPER_DIR) + "/element_reference '" + input + "' '" + output + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> lines;
    std::istringstream results(test::TemporaryDirectory::get(output));
    for (std::string line; std::getline(results, line);) lines.push_back(line);
    return lines;
}

const std::vector<ReferenceCase>& cases()
{
    // Slope, depth and section values of real links: a 0.013 concrete pipe,
    // 0.015 boxes and channels, a 40-ft street with 6-in curbs.
    static const std::vector<ReferenceCase> table{
        {"full pipe, 1 ft at 1 percent", "pipe", {1.0f, 0.01f, 0.013f}},
        {"full pipe, 3.5 ft, flat slope repaired", "pipe", {3.5f, 0.0f, 0.013f}},
        {"full pipe, 6 ft, adverse slope repaired", "pipe", {6.0f, -0.004f, 0.015f}},
        {"full pipe, 2.25 ft, as sized for 0.82 D", "pipe", {2.25f, 0.0035f, 0.014f}},
        {"full pipe, 15 ft", "pipe", {15.0f, 0.0008f, 0.013f}},
        // diameter, slope, n, number of pipes, pipe capacity model
        {"pipe at 0.82 D: its full-flow capacity", "pipes", {2.25f, 0.0035f, 0.013f, 1.0f, 1.0f}},
        {"pipe at 0.93 D", "pipes", {2.25f, 0.0035f, 0.013f, 1.0f, 2.0f}},
        {"two pipes at 0.93 D", "pipes", {3.0f, 0.006f, 0.013f, 2.0f, 2.0f}},
        {"three pipes at 0.82 D, flat slope repaired", "pipes", {1.5f, 0.0f, 0.014f, 3.0f, 1.0f}},
        {"box 8 x 6 ft", "box", {0.004f, 8.0f, 0.015f, 6.0f}},
        {"box 12 x 10 ft on a flat slope", "box", {0.0f, 12.0f, 0.015f, 10.0f}},
        {"box 3 x 2 ft, steep", "box", {0.05f, 3.0f, 0.013f, 2.0f}},
        {"trapezoid 10 ft base, Z 2, 4 ft deep", "trapezoid", {0.002f, 2.0f, 10.0f, 0.015f, 4.0f}},
        {"trapezoid, rectangular, shallow", "trapezoid", {0.01f, 0.0f, 6.0f, 0.025f, 0.5f}},
        {"trapezoid, triangular", "trapezoid", {0.003f, 3.0f, 0.0f, 0.035f, 2.2f}},
        {"code 92 over its banks", "vee", {4.0f, 0.5f, 1.0f, 0.015f, 0.25f, 0.005f, 2.0f}},
        {"code 92 at the top of its walls", "vee", {4.0f, 0.5f, 1.0f, 0.02f, 0.25f, 0.005f, 1.5f}},
        {"code 92 within its walls", "vee", {4.0f, 0.5f, 1.0f, 0.015f, 0.25f, 0.005f, 0.8f}},
        {"code 92 dry", "vee", {4.0f, 0.5f, 1.0f, 0.015f, 0.25f, 0.005f, 0.0f}},
        {"code 92 with n and slope repaired", "vee", {6.0f, 1.0f, 2.0f, 0.0f, 0.1f, -0.01f, 3.5f}},
        // slope, depth, curb, XC, HW, n, lip, GW, hike, sides, XO, DCG, XP, NP
        {"street, gutter only",
         "street",
         {0.01f, 0.1f, 0.5f, 0.02f, 20.0f, 0.015f, 0.125f, 2.0f, 0.0417f, 2.0f, 0.02f, 12.0f, 0.02f, 0.02f}},
        {"street, outside lane",
         "street",
         {0.01f, 0.25f, 0.5f, 0.02f, 20.0f, 0.015f, 0.125f, 2.0f, 0.0417f, 2.0f, 0.02f, 12.0f, 0.02f, 0.02f}},
        {"street, center lane",
         "street",
         {0.01f, 0.45f, 0.5f, 0.02f, 20.0f, 0.015f, 0.125f, 2.0f, 0.0417f, 2.0f, 0.03f, 12.0f, 0.02f, 0.03f}},
        {"street over the crown and the curb, parkway n repaired",
         "street",
         {0.006f, 0.8f, 0.5f, 0.02f, 20.0f, 0.016f, 0.125f, 2.0f, 0.0417f, 2.0f, 0.02f, 12.0f, 0.02f, 0.0f}},
        {"street over the curb, parkway suppressed",
         "street",
         {0.006f, 0.8f, 0.5f, 0.02f, 20.0f, 0.016f, 0.125f, 2.0f, 0.0417f, 1.0f, 0.02f, 12.0f, 0.0f, 0.02f}},
        {"street over the curb, parkway 100",
         "street",
         {0.006f, 0.8f, 0.5f, 0.02f, 20.0f, 0.016f, 0.125f, 2.0f, 0.0417f, 1.0f, 0.02f, 12.0f, 100.0f, 0.02f}},
        {"sized pipe, 2 ft", "sizepipe", {0.01f, 20.0f, 0.013f}},
        {"sized pipe above 8 ft", "sizepipe", {0.002f, 600.0f, 0.013f}},
        {"sized pipe, slope repaired", "sizepipe", {0.0f, 45.0f, 0.014f}},
        {"sized pipe, no flow", "sizepipe", {0.005f, 0.0f, 0.013f}},
        {"sized pipe, large", "sizepipe", {0.001f, 3000.0f, 0.013f}},
        {"standard pipe, 7 cfs", "standardpipe", {7.0f}},
        {"standard pipe, 7.01 cfs", "standardpipe", {7.01f}},
        {"standard pipe, 130 cfs", "standardpipe", {130.0f}},
        {"standard pipe, 2400 cfs", "standardpipe", {2400.0f}},
        {"standard pipe, 2400.1 cfs", "standardpipe", {2400.1f}},
        {"standard pipe, 7300 cfs", "standardpipe", {7300.0f}},
        {"table capacity, pipe n 0.014, two pipes", "lookup", {1.1f, 2.0f, 0.014f, 1.0f}},
        {"table capacity, pipe n 0.024", "lookup", {4.5f, 1.0f, 0.024f, 1.0f}},
        {"table capacity, pipe of another n", "lookup", {4.5f, 1.0f, 0.013f, 1.0f}},
        {"table capacity, pipe above the table", "lookup", {15.5f, 1.0f, 0.014f, 1.0f}},
        {"table capacity, box", "lookup", {4.1f, 6.0f, 0.015f, 2.0f}},
        {"table capacity, box above the table", "lookup", {12.5f, 6.0f, 0.015f, 2.0f}},
        {"table capacity, channel", "lookup", {4.0f, 6.0f, 0.015f, 3.0f}},
        // Q, existing height, existing width or count, increment, code, type, incoming width
        {"standard size, code 37 box", "standardsize", {90.0f, 4.1f, 0.0f, 1.0f, 37.0f, 2.0f, 0.0f}},
        {"standard size, code 37 box, half foot", "standardsize", {90.0f, 4.1f, 0.0f, 3.0f, 37.0f, 2.0f, 0.0f}},
        {"standard size, code 47 box, low height", "standardsize", {50.0f, 0.5f, 3.0f, 2.0f, 47.0f, 2.0f, 0.0f}},
        {"standard size, box above the table", "standardsize", {50.0f, 12.5f, 3.0f, 2.0f, 47.0f, 2.0f, 7.3f}},
        {"standard size, code 37 pipe", "standardsize", {300.0f, 0.0f, 0.0f, 3.0f, 37.0f, 1.0f, 0.0f}},
        {"standard size, code 37 pipe in barrels", "standardsize", {5000.0f, 0.0f, 0.0f, 3.0f, 37.0f, 1.0f, 0.0f}},
        {"standard size, code 47, three pipes", "standardsize", {90.0f, 0.0f, 3.0f, 1.0f, 47.0f, 1.0f, 0.0f}},
        {"standard size, code 47, too much per pipe", "standardsize", {6000.0f, 0.0f, 2.0f, 1.0f, 47.0f, 1.0f, 0.0f}},
        {"standard size, code 47, no pipe count", "standardsize", {60.0f, 0.0f, 0.0f, 1.0f, 47.0f, 1.0f, 0.0f}},
        {"standard size, other code", "standardsize", {60.0f, 3.0f, 2.0f, 2.0f, 36.0f, 2.0f, 4.3f}},
        // Q, slope, given, n, mode, increment
        {"box solved for its width", "box_size", {250.0f, 0.004f, 5.0f, 0.015f, 1.0f, 1.0f}},
        {"box solved for its width, quarter foot", "box_size", {250.0f, 0.004f, 5.0f, 0.015f, 1.0f, 2.0f}},
        {"box beyond 1000 ft", "box_size", {1.0e9f, 0.004f, 1.0f, 0.015f, 1.0f, 2.0f}},
        {"box from a ratio 2", "box_size", {250.0f, 0.004f, 2.0f, 0.015f, 2.0f, 1.0f}},
        {"box from a ratio 1.5, half foot", "box_size", {480.0f, 0.002f, 1.5f, 0.015f, 3.0f, 3.0f}},
        {"box on a flat slope", "box_size", {100.0f, 0.0f, 4.0f, 0.015f, 1.0f, 1.0f}},
        // slope, Q, Z, freeboard, n, mode, V, increment
        {"channel, given base width", "trapezoid_size", {0.002f, 600.0f, 2.0f, 1.0f, 0.015f, 1.0f, 10.0f, 1.0f}},
        {"channel, given ratio", "trapezoid_size", {0.002f, 600.0f, 2.0f, 1.0f, 0.015f, 2.0f, 0.5f, 2.0f}},
        {"channel, given flow depth, exchanged",
         "trapezoid_size",
         {0.003f, 900.0f, 2.0f, 1.0f, 0.025f, 0.0f, 3.0f, 1.0f}},
        {"channel, given flow depth", "trapezoid_size", {0.003f, 900.0f, 2.0f, 1.0f, 0.025f, 3.0f, 3.0f, 3.0f}},
        {"channel, whole foot", "trapezoid_size", {0.001f, 150.0f, 1.5f, 0.5f, 0.03f, 0.0f, 2.0f, 4.0f}},
        {"channel on a flat slope", "trapezoid_size", {0.0f, 150.0f, 1.5f, 0.5f, 0.03f, 1.0f, 8.0f, 1.0f}},
        {"normal depth", "normaldepth", {0.002f, 600.0f, 2.0f, 10.0f, 0.015f}},
        {"normal depth, small flow", "normaldepth", {0.01f, 2.5f, 0.0f, 4.0f, 0.013f}},
        {"increment none", "increment", {4.1f, 1.0f}},
        {"increment quarter", "increment", {4.1f, 2.0f}},
        {"increment quarter, upper", "increment", {4.8f, 2.0f}},
        {"increment half", "increment", {4.1f, 3.0f}},
        {"increment half, upper", "increment", {4.6f, 3.0f}},
        {"increment whole", "increment", {4.1f, 4.0f}},
        {"increment whole number stays", "increment", {4.0f, 4.0f}},
    };
    return table;
}

TEST(ElementReference, RoutinesPrintAsTheSeparateTranscription)
{
    const std::vector<std::string> reference = run_reference(cases());
    ASSERT_EQ(reference.size(), cases().size()) << "the reference program did not answer every case";
    for (std::size_t i = 0; i < cases().size(); ++i) {
        const ReferenceCase& c = cases()[i];
        EXPECT_EQ(printed(compute(c)), reference[i]) << c.description;
    }
}

}  // namespace
}  // namespace velm
