// The fetch, copy and link-edit passes over model files, the street table,
// the header upgrade, the type-10 group access and the copy-back.
#include "records/model_file_rewrite.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "model_records.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "records/model_file_copy_back.h"
#include "records/model_group_access.h"
#include "records/model_group_rewriters.h"
#include "records/model_header_upgrade.h"
#include "records/street_section_table.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

// One group of a test file: node pair, code as stored, and the subarea its
// subarea part carries (0 none).  Every other data value is distinct.
struct GroupSpec {
    float upstream, downstream, code;
    float subarea = 0.0f;
};

ModelFile make_file(float value_2, int header_length, const std::vector<GroupSpec>& groups)
{
    ModelFile file;
    file.header.values.resize(static_cast<std::size_t>(header_length));
    for (int k = 1; k <= header_length; ++k) file.header.set_value(k, 0.5f * static_cast<float>(k) + 1000.0f);
    file.header.set_value(2, value_2);
    const int type = file.header.model_type();
    file.header.set_value(7, (type == 7 || type == 8) ? 2.0f : 1.0f);
    file.header.set_value(12, -10.0f);
    file.header.set_street_section_count(0);
    float next = 1.25f;
    for (const GroupSpec& spec : groups) {
        ModelGroup group{spec.upstream, spec.downstream, spec.code, {}, {}};
        const GroupLayout layout = *group_layout(spec.code, type, file.header.subarea_extension_switch());
        for (int k = 0; k < layout.data_count; ++k) group.values.push_back(next += 1.0f);
        if (layout.packed_subarea_position > 0)
            group.values[static_cast<std::size_t>(layout.packed_subarea_position - 1)] =
                spec.subarea > 0.0f ? pack_subarea(2, spec.subarea) : 0.0f;
        if (layout.subarea_number_position > 0)
            group.values[static_cast<std::size_t>(layout.subarea_number_position - 1)] = spec.subarea;
        if (layout.text) group.text = std::string("SEAM TEXT, BLANKS KEPT") + std::string(28, ' ');
        file.groups.push_back(group);
    }
    return file;
}

// The positions (record numbers, 1-based) where two files' records differ.
std::vector<std::size_t> differing_records(const ModelFile& before, const ModelFile& after)
{
    const std::vector<RecordBytes> a = model_file_records(before, "before");
    const std::vector<RecordBytes> b = model_file_records(after, "after");
    std::vector<std::size_t> differ;
    for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k)
        if (k >= a.size() || k >= b.size() || a[k] != b[k]) differ.push_back(k + 1);
    return differ;
}

// The record number of a group's data value (1-based) in the written file.
std::size_t record_of(const ModelFile& file, std::size_t group_index, int data_position)
{
    std::size_t record = static_cast<std::size_t>(file.header.length());
    for (std::size_t g = 0; g < group_index; ++g)
        record += 4 + file.groups[g].values.size() + (file.groups[g].text ? 1 : 0);
    return record + 4 + static_cast<std::size_t>(data_position);
}

const std::vector<GroupSpec> EVERY_FAMILY = {
    {10010.0f, 10010.0f, 21.0f, 10010.0f},
    {10010.0f, 10020.0f, 33.0f, 10020.0f},
    {10020.0f, 10030.0f, 2.0f, 10020.0f},
    {10030.0f, 10040.0f, 57.0f, 10030.0f},
    {10040.0f, 10040.0f, 13.0f},
    {10040.0f, 10050.0f, 37.0f},
    {10050.0f, 10060.0f, 63.0f, 10050.0f},
    {10060.0f, 10060.0f, 151.0f},
    {10060.0f, 10070.0f, 82.0f, 10020.0f},
    {10070.0f, 10070.0f, 9.0f, 10070.0f},
    {10070.0f, 10080.0f, 46.0f},
    {10080.0f, 10090.0f, 61.0f, 10080.0f},
    {10090.0f, 10090.0f, 0.0f},
    {10090.0f, 10095.0f, 43.0f, 10090.0f},
    {10095.0f, 10095.0f, 1.0f},
    {10095.0f, 10095.0f, 16.0f},
};

// ---------------------------------------------------------------- subarea passes

TEST(ModelFileRewrite, SubareaAttributeCopyChangesOnlyTheSubareasPartsInEveryLayout)
{
    struct Case {
        const char* name;
        float value_2;
        int header_length;
    };
    const Case cases[] = {{"full, type 3", 3.0f, FULL_HEADER_VALUES},
                          {"compact with extension values, type 8", 8.0f, COMPACT_HEADER_VALUES},
                          {"old full, type 6", 6.0f, OLD_FULL_HEADER_VALUES},
                          {"old compact, type 7", 7.0f, OLD_COMPACT_HEADER_VALUES}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // An old header comes out in the current layout; the groups follow it.
        ModelFile before = make_file(c.value_2, c.header_length, EVERY_FAMILY);
        ModelFile file = before;
        upgrade_model_file_layout(before);
        ModelEditBuffer buffer;
        StreetSectionEdit street;
        buffer.land_use_table.cell(1) = {5.0f, 2.0f, 3.5f};
        buffer.land_use_table.cell(4) = {7.0f, 3.0f, 1.25f};
        buffer.packed_subarea_code = 2;
        const RewriteResult result =
            rewrite_model_file(file, {RewriteMode::CopyMode, 10020.0f, 1, EditorOption::SubareaAttributes}, buffer,
                               street, "AB0100ZZ.Z11");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.upgraded, c.header_length != before.header.length());
        EXPECT_EQ(file.header.values, before.header.values) << "a copy pass changes no header value";

        // The three groups of subarea 10020 (codes 33, 2 and 82) get the
        // buffer's cells; their packed code 2 stays 2.  Nothing else differs.
        std::vector<std::size_t> expected;
        for (std::size_t g = 0; g < file.groups.size(); ++g) {
            const GroupLayout layout = file.layout_of(file.groups[g]);
            if (group_subarea_number(before.groups[g], layout) != 10020.0f) continue;
            EXPECT_EQ(group_land_use_table(file.groups[g], layout).cell(1).cell_area, 3.5f);
            EXPECT_EQ(group_land_use_table(file.groups[g], layout).cell(4).land_use_code, 7.0f);
            // Every cell value of the file is distinct and not the buffer's.
            for (int k = 0; k < LAND_USE_VALUES; ++k)
                expected.push_back(record_of(file, g, layout.land_use_position + k));
        }
        EXPECT_EQ(expected.size(), 3u * LAND_USE_VALUES);
        EXPECT_EQ(differing_records(before, file), expected);
    }
}

TEST(ModelFileRewrite, PackedCodeIsRewrittenUnlessKept)
{
    const ModelFile before = make_file(3.0f, FULL_HEADER_VALUES, {{10010.0f, 10010.0f, 21.0f, 12345.0f}});
    for (const int code : {4, KEEP_PACKED_CODE}) {
        ModelFile file = before;
        ModelEditBuffer buffer;
        buffer.packed_subarea_code = code;
        StreetSectionEdit street;
        rewrite_model_file(file, {RewriteMode::CopyMode, 12345.0f, 1, EditorOption::TimeOfConcentration}, buffer,
                           street, "f");
        const float packed = file.groups[0].values[3];
        EXPECT_EQ(packed, code == 4 ? pack_subarea(4, 12345.0f) : before.groups[0].values[3]) << code;
        EXPECT_EQ(packed_subarea_number(packed), 12345.0f);
    }
}

TEST(ModelFileRewrite, FetchTakesTheFirstGroupOfTheSubareaAndLeavesTheBufferWhenNoneHoldsIt)
{
    ModelFile file = make_file(3.0f, FULL_HEADER_VALUES, EVERY_FAMILY);
    const ModelFile before = file;
    ModelEditBuffer buffer;
    StreetSectionEdit street;
    RewriteResult found = rewrite_model_file(
        file, {RewriteMode::FetchMode, 10020.0f, 0, EditorOption::SubareaAttributes}, buffer, street, "f");
    EXPECT_EQ(found.status, RECORD_FOUND);
    const GroupLayout layout33 = file.layout_of(file.groups[1]);
    EXPECT_EQ(buffer.land_use_table.cell(1).land_use_code,
              file.groups[1].values[static_cast<std::size_t>(layout33.land_use_position - 1)]);
    EXPECT_EQ(file.groups[1].values, before.groups[1].values);

    ModelEditBuffer untouched;
    untouched.land_use_table.cell(2).cell_area = 9.0f;
    const ModelEditBuffer kept = untouched;
    found = rewrite_model_file(file, {RewriteMode::FetchMode, 55555.0f, 0, EditorOption::SubareaAttributes}, untouched,
                               street, "f");
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(untouched.land_use_table.cell(2).cell_area, kept.land_use_table.cell(2).cell_area);
}

TEST(ModelFileRewrite, TimeOfConcentrationComesFromCodes21_22And82Only)
{
    // Subarea 10020 stands first in a code-33 group, then in code 2 (handled
    // as 21): the fetch skips the conduit and takes value 1 of the code-2 group.
    ModelFile file = make_file(6.0f, FULL_HEADER_VALUES, EVERY_FAMILY);
    ModelEditBuffer buffer;
    StreetSectionEdit street;
    RewriteResult result = rewrite_model_file(
        file, {RewriteMode::FetchMode, 10020.0f, 2, EditorOption::TimeOfConcentration}, buffer, street, "f");
    EXPECT_EQ(result.status, RECORD_FOUND);
    EXPECT_EQ(buffer.event_time_value[2], file.groups[2].values[0]);
    EXPECT_EQ(buffer.event_return_frequency[2], 10.0f);

    // Code 82 alone: the second of the three values after its cells.
    ModelFile only82 = make_file(6.0f, FULL_HEADER_VALUES, {{10060.0f, 10070.0f, 82.0f, 10020.0f}});
    result = rewrite_model_file(only82, {RewriteMode::FetchMode, 10020.0f, 1, EditorOption::TimeOfConcentration},
                                buffer, street, "f");
    EXPECT_EQ(result.status, RECORD_FOUND);
    EXPECT_EQ(buffer.event_time_value[1], only82.groups[0].values[20]);

    // A subarea that only a code-81 group and a channel carry has no Tc.
    ModelFile no_tc = make_file(6.0f, FULL_HEADER_VALUES,
                                {{10010.0f, 10010.0f, 81.0f, 10010.0f}, {10010.0f, 10020.0f, 51.0f, 10010.0f}});
    result = rewrite_model_file(no_tc, {RewriteMode::FetchMode, 10010.0f, 1, EditorOption::TimeOfConcentration}, buffer,
                                street, "f");
    EXPECT_EQ(result.status, 0);

    // The copy writes the slot's value into every Tc of the subarea and
    // nothing else (packed code kept).
    const ModelFile before = file;
    buffer.event_time_value[3] = 17.5f;
    buffer.packed_subarea_code = KEEP_PACKED_CODE;
    rewrite_model_file(file, {RewriteMode::CopyMode, 10020.0f, 3, EditorOption::TimeOfConcentration}, buffer, street,
                       "f");
    EXPECT_EQ(differing_records(before, file),
              (std::vector<std::size_t>{record_of(file, 2, 1), record_of(file, 8, 21)}));
    EXPECT_EQ(file.groups[2].values[0], 17.5f);
    EXPECT_EQ(file.groups[8].values[20], 17.5f);
}

// ---------------------------------------------------------------- link edits

TEST(ModelFileRewrite, PrimaryElementEditChangesTheLinksElementValuesOnly)
{
    struct Case {
        const char* name;
        GroupSpec group;
        std::array<float, 5> edit;
        std::map<int, float> changed;  // data position -> new value (value 4 computed below when 0)
    };
    const Case cases[] = {
        {"pipe of code 37", {10040.0f, 10050.0f, 37.0f}, {0.0f, 36.0f, 0.0f, 0.015f, 0.0f}, {{4, 0.0f}, {5, 36.0f}}},
        {"box of code 46",
         {10070.0f, 10080.0f, 46.0f},
         {4.0f, 6.5f, 0.0f, 0.014f, 0.0f},
         {{4, 0.0f}, {5, 6.5f}, {6, 4.0f}}},
        {"channel of code 57",
         {10030.0f, 10040.0f, 57.0f, 10030.0f},
         {4.0f, 10.0f, 2.0f, 0.03f, 1.0f},
         {{4, 0.03f}, {5, 10.0f}, {6, 2.0f}, {7, 5.0f}}},
        {"four-value conduit 31 keeps its values", {10060.0f, 10070.0f, 31.0f}, {1.0f, 2.0f, 3.0f, 0.02f, 0.0f}, {}},
        {"initial subarea keeps its values",
         {10010.0f, 10010.0f, 21.0f, 10010.0f},
         {1.0f, 2.0f, 3.0f, 0.02f, 0.0f},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<GroupSpec> specs = EVERY_FAMILY;
        specs.push_back(c.group);  // the same node pair twice: both groups change
        const ModelFile before = make_file(3.0f, FULL_HEADER_VALUES, specs);
        ModelFile file = before;
        ModelEditBuffer buffer;
        buffer.edit_values = c.edit;
        buffer.edit_node_pair = {c.group.upstream, c.group.downstream};
        StreetSectionEdit street;
        street.street_section_number = 33;
        rewrite_model_file(file, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkPrimaryElement}, buffer, street,
                           "f");
        EXPECT_EQ(street.street_section_number, 0);
        std::vector<std::size_t> expected;
        for (std::size_t g = 0; g < file.groups.size(); ++g) {
            if (file.groups[g].upstream_node != c.group.upstream ||
                file.groups[g].downstream_node != c.group.downstream || file.groups[g].code_value != c.group.code)
                continue;
            for (const auto& [position, value] : c.changed) {
                const float stored = file.groups[g].values[static_cast<std::size_t>(position - 1)];
                if (position == 4 && value == 0.0f) {
                    const float old = before.groups[g].values[3];
                    EXPECT_EQ(stored, std::trunc(old) + c.edit[3]);
                } else {
                    EXPECT_EQ(stored, value) << "value " << position;
                }
                expected.push_back(record_of(file, g, position));
            }
        }
        EXPECT_EQ(differing_records(before, file), expected);
    }
}

TEST(ModelFileRewrite, StreetEditAddsTheSectionAndWritesItsNumberOrItsValues)
{
    std::vector<GroupSpec> specs = EVERY_FAMILY;
    const ModelFile before = make_file(6.0f, FULL_HEADER_VALUES, specs);
    StreetSectionEdit street{
        0.5f, 20.0f, 15.0f, 0.02f, 0.025f, 0.0f, 1.5f, 0.03125f, 0.125f, 0.015f, STREET_EDIT_PENDING};

    // Pipe under a street (code 43): the section is added as section 1 and
    // its number goes into the first street value.
    ModelFile file = before;
    ModelEditBuffer buffer;
    buffer.edit_node_pair = {10090.0f, 10095.0f};
    RewriteResult result = rewrite_model_file(
        file, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkStreetSection}, buffer, street, "f");
    EXPECT_FALSE(result.upgraded);
    EXPECT_EQ(street.street_section_number, 1);
    EXPECT_EQ(file.header.street_section_count(), 1);
    EXPECT_EQ(file.header.street_section(1), street_section_row(street));
    const GroupLayout layout43 = file.layout_of(file.groups[13]);
    EXPECT_EQ(file.groups[13].values[static_cast<std::size_t>(layout43.street_position - 1)], 1.0f);
    std::vector<std::size_t> expected{67};
    for (int k = 0; k < STREET_SECTION_VALUES; ++k) expected.push_back(68 + static_cast<std::size_t>(k));
    expected.push_back(record_of(file, 13, layout43.street_position));
    EXPECT_EQ(differing_records(before, file), expected);

    // The same section again in the upgraded file: found, nothing appended.
    street.street_section_number = STREET_EDIT_PENDING;
    const ModelFile once = file;
    rewrite_model_file(file, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkStreetSection}, buffer, street,
                       "f");
    EXPECT_EQ(street.street_section_number, 1);
    EXPECT_EQ(differing_records(once, file), std::vector<std::size_t>{});

    // A code-61 link (not pending): its own five street values, the table untouched.
    file = before;
    buffer.edit_node_pair = {10080.0f, 10090.0f};
    street.street_section_number = 61;
    rewrite_model_file(file, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkStreetSection}, buffer, street,
                       "f");
    const GroupLayout layout61 = file.layout_of(file.groups[11]);
    const auto values = code61_street_values(street);
    expected.clear();
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(file.groups[11].values[static_cast<std::size_t>(layout61.street_position - 1 + k)],
                  values[static_cast<std::size_t>(k)]);
        expected.push_back(record_of(file, 11, layout61.street_position + k));
    }
    EXPECT_EQ(values[0], 6.0f);
    EXPECT_EQ(values[4], 0.025f);
    EXPECT_EQ(differing_records(before, file), expected);
}

TEST(ModelFileRewrite, CurbHeightGoesIntoCode61InWholeInches)
{
    const std::pair<float, float> cases[] = {{0.5f, 6.0f}, {0.54f, 6.0f}, {0.55f, 7.0f}, {0.667f, 8.0f}};
    for (const auto& [feet, inches] : cases) {
        StreetSectionEdit street;
        street.curb_height = feet;
        street.parkway_crossfall = 0.02f;
        street.outside_lane_crossfall = 0.025f;
        EXPECT_EQ(code61_street_values(street)[0], inches) << feet;
        EXPECT_EQ(code61_street_values(street)[4], static_cast<float>(0.02f * 1000.0 + 0.025f));
    }
}

// ---------------------------------------------------------------- street table

TEST(StreetSectionTable, MatchesWithinItsTolerancesAndAppendsUpToFifty)
{
    StreetSectionEdit base{0.5f, 20.0f, 15.0f, 0.02f, 0.025f, 0.0f, 1.5f, 0.03125f, 0.125f, 0.015f, 0};
    const StreetSectionRow row = street_section_row(base);
    struct Case {
        const char* name;
        int value;  // row value (0-based) that differs
        float by;
        bool matches;
    };
    const Case cases[] = {{"half-width by 0.005", 0, 0.005f, true},          {"half-width by 0.02", 0, 0.02f, false},
                          {"curb height by 0.009", 4, 0.009f, true},         {"gutter hike by 0.011", 7, 0.011f, false},
                          {"center crossfall by 0.0001", 2, 0.0001f, false}, {"friction by 0.0001", 8, 0.0001f, false}};
    for (const Case& c : cases) {
        StreetSectionRow stored = row;
        stored[static_cast<std::size_t>(c.value)] += c.by;
        EXPECT_EQ(street_section_matches(stored, row), c.matches) << c.name;
    }

    ModelFile file = make_file(3.0f, FULL_HEADER_VALUES, {});
    StreetSectionRow other = row;
    other[0] = 40.0f;
    file.header.set_street_section(1, other);
    file.header.set_street_section(2, row);
    file.header.set_street_section(3, row);
    file.header.set_street_section_count(3);
    EXPECT_EQ(find_or_add_street_section(file.header, row, "f"), 2) << "the lower of two matches";

    file.header.set_street_section_count(49);
    StreetSectionRow fresh = row;
    fresh[1] = 3.0f;
    EXPECT_EQ(find_or_add_street_section(file.header, fresh, "f"), 50);
    EXPECT_EQ(file.header.street_section_count(), 50);
    const ModelFileHeader full = file.header;
    fresh[1] = 4.0f;
    try {
        find_or_add_street_section(file.header, fresh, "AB0101ZZ.Z11");
        ADD_FAILURE() << "a 51st section was added";
    } catch (const StreetTableRefusal& refusal) {
        EXPECT_EQ(refusal.reason(), StreetTableRefusal::Reason::TableFull);
    }
    EXPECT_EQ(file.header.values, full.values);

    file.header.set_street_section_count(-2);
    const ModelFileHeader negative = file.header;
    EXPECT_THROW(find_or_add_street_section(file.header, fresh, "f"), StreetTableRefusal);
    EXPECT_EQ(file.header.values, negative.values);

    ModelFileHeader shorter;
    shorter.values.assign(300, 0.0f);
    shorter.set_value(2, 3.0f);
    EXPECT_THROW(find_or_add_street_section(shorter, row, "f"), StreetTableRefusal);
}

TEST(StreetSectionTable, AFullTableRefusesTheEditAndLeavesTheFile)
{
    ModelFile file = make_file(3.0f, FULL_HEADER_VALUES, EVERY_FAMILY);
    file.header.set_street_section_count(50);
    const ModelFile before = file;
    ModelEditBuffer buffer;
    buffer.edit_node_pair = {10090.0f, 10095.0f};
    StreetSectionEdit street{
        0.5f, 20.0f, 15.0f, 0.02f, 0.025f, 0.0f, 1.5f, 0.03125f, 0.125f, 0.015f, STREET_EDIT_PENDING};
    EXPECT_THROW(rewrite_model_file(file, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkStreetSection}, buffer,
                                    street, "f"),
                 StreetTableRefusal);
    EXPECT_EQ(differing_records(before, file), std::vector<std::size_t>{});
}

// ---------------------------------------------------------------- header upgrade

// Every pass that rewrites a file (a link edit, and the copy passes of the
// subarea attribute and time-of-concentration edits) writes an old header
// in the current layout and keeps the old file in "TEMP.DAT".
TEST(ModelHeaderUpgrade, OldHeadersAreUpgradedByEveryWritingPassAndKeptInTempDat)
{
    struct Case {
        float value_2;
        int old_length, kept, new_length;
        RewritePass pass;  // of a link or subarea no group holds: only the upgrade changes the file
    };
    const RewritePass link_edit{RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkPrimaryElement};
    const RewritePass subarea_copy{RewriteMode::CopyMode, 10099.0f, 1, EditorOption::SubareaAttributes};
    const RewritePass tc_copy{RewriteMode::CopyMode, 10099.0f, 1, EditorOption::TimeOfConcentration};
    const Case cases[] = {{3.0f, OLD_FULL_HEADER_VALUES, 157, FULL_HEADER_VALUES, link_edit},
                          {8.0f, OLD_COMPACT_HEADER_VALUES, 161, COMPACT_HEADER_VALUES, link_edit},
                          {3.0f, OLD_FULL_HEADER_VALUES, 157, FULL_HEADER_VALUES, subarea_copy},
                          {8.0f, OLD_COMPACT_HEADER_VALUES, 161, COMPACT_HEADER_VALUES, subarea_copy},
                          {6.0f, OLD_FULL_HEADER_VALUES, 157, FULL_HEADER_VALUES, tc_copy}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.old_length) + " option " + std::to_string(static_cast<int>(c.pass.option)));
        TemporaryDirectory dir;
        const ModelFile old_file =
            make_file(c.value_2, c.old_length,
                      EVERY_FAMILY.size() > 0 ? std::vector<GroupSpec>{{10010.0f, 10010.0f, 21.0f, 10010.0f},
                                                                       {10060.0f, 10060.0f, 151.0f},
                                                                       {10010.0f, 10020.0f, 46.0f}}
                                              : std::vector<GroupSpec>{});
        write_model_file("AB0100ZZ.Z11", old_file);
        const std::string old_bytes = TemporaryDirectory::get("AB0100ZZ.Z11");

        LoadedModelFile loaded = load_model_file("AB0100ZZ.Z11");
        ModelFile file = loaded.file;
        ModelEditBuffer buffer;
        buffer.edit_node_pair = {10070.0f, 10070.0f};  // no such link: only the upgrade changes the file
        StreetSectionEdit street;
        const RewriteResult result = rewrite_model_file(file, c.pass, buffer, street, "f");
        EXPECT_TRUE(result.upgraded);
        ASSERT_EQ(file.header.length(), c.new_length);
        for (int k = 1; k <= c.kept; ++k) EXPECT_EQ(file.header.value(k), old_file.header.value(k)) << k;
        for (int k = c.kept + 1; k <= c.kept + 360; ++k) EXPECT_EQ(file.header.value(k), 0.0f) << k;
        for (int k = c.kept + 1; k <= c.old_length; ++k)
            EXPECT_EQ(file.header.value(k + 360), old_file.header.value(k)) << k;
        EXPECT_EQ(file.groups.size(), old_file.groups.size());
        for (std::size_t g = 0; g < file.groups.size(); ++g) {
            EXPECT_EQ(file.groups[g].values, old_file.groups[g].values);
            EXPECT_EQ(file.groups[g].text, old_file.groups[g].text);
        }

        CopyBackSet set;
        set.add_model_file(loaded, file, result.upgraded);
        set.commit();
        EXPECT_EQ(TemporaryDirectory::get(std::string(OLD_MODEL_FILE_COPY)), old_bytes);
        EXPECT_EQ(read_model_file("AB0100ZZ.Z11").header.length(), c.new_length);
    }
}

TEST(ModelHeaderUpgrade, CurrentHeadersAreNotUpgraded)
{
    TemporaryDirectory dir;
    for (const RewritePass& pass : {RewritePass{RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkPrimaryElement},
                                    RewritePass{RewriteMode::CopyMode, 10010.0f, 1, EditorOption::SubareaAttributes}}) {
        ModelFile file = make_file(3.0f, FULL_HEADER_VALUES, {{10010.0f, 10010.0f, 21.0f, 10010.0f}});
        ModelEditBuffer buffer;
        StreetSectionEdit street;
        EXPECT_FALSE(rewrite_model_file(file, pass, buffer, street, "f").upgraded);
        EXPECT_EQ(file.header.length(), FULL_HEADER_VALUES);
    }
    EXPECT_FALSE(file_exists(OLD_MODEL_FILE_COPY));
}

// ---------------------------------------------------------------- type 10

TEST(ModelGroupAccess, SubareaAndStorageGroupsOfTypeTen)
{
    const std::vector<GroupSpec> specs = {{30010.0f, 30010.0f, 21.0f, 30010.0f}, {30010.0f, 30020.0f, 61.0f},
                                          {30020.0f, 30020.0f, 151.0f},          {30020.0f, 30030.0f, 22.0f},
                                          {30010.0f, 30020.0f, 61.0f},           {30010.0f, 30010.0f, 21.0f, 30010.0f}};
    const ModelFile before = make_file(10.0f, FULL_HEADER_VALUES, specs);
    ASSERT_EQ(before.groups[3].values.size(), 0u) << "code 22 of type 10 runs to the next marker";

    // Subarea: fetch the first group's four values, copy into both groups.
    ModelFile file = before;
    ModelEditBuffer buffer;
    EXPECT_EQ(find_model_group(file, RewriteMode::FetchMode, 30010.0f, EditorOption::SubareaAttributes, buffer),
              RECORD_FOUND);
    EXPECT_EQ(buffer.edit_value(1), before.groups[0].values[0]);
    EXPECT_EQ(buffer.edit_value(3), before.groups[0].values[28]);
    buffer.edit_values = {0.5f, 0.2f, 85.0f, 0.25f, 0.0f};
    EXPECT_EQ(find_model_group(file, RewriteMode::CopyMode, 30010.0f, EditorOption::SubareaAttributes, buffer), 0);
    std::vector<std::size_t> expected;
    for (const std::size_t g : {0u, 5u})
        for (const int position : {1, 28, 29, 30}) expected.push_back(record_of(file, g, position));
    EXPECT_EQ(differing_records(before, file), expected);
    EXPECT_EQ(file.groups[5].values[28], 85.0f);

    // Lag: value 26.
    file = before;
    EXPECT_EQ(find_model_group(file, RewriteMode::FetchMode, 30010.0f, EditorOption::TimeOfConcentration, buffer),
              RECORD_FOUND);
    EXPECT_EQ(buffer.edit_value(1), before.groups[0].values[25]);

    // Storage: the routing block of both groups of the pair; each keeps its own 7 leading values.
    file = before;
    buffer.edit_node_pair = {30010.0f, 30020.0f};
    EXPECT_EQ(find_model_group(file, RewriteMode::FetchMode, 0.0f, EditorOption::LinkPrimaryElement, buffer),
              RECORD_FOUND);
    EXPECT_EQ(buffer.storage_value(5), before.groups[1].values[0]);
    EXPECT_EQ(buffer.storage_value(12), before.groups[1].values[7]);
    for (int k = 12; k <= 81; ++k) buffer.storage_value(k) = static_cast<float>(k);
    find_model_group(file, RewriteMode::CopyMode, 0.0f, EditorOption::LinkPrimaryElement, buffer);
    expected.clear();
    for (const std::size_t g : {1u, 4u}) {
        for (int k = 1; k <= 7; ++k)
            EXPECT_EQ(file.groups[g].values[static_cast<std::size_t>(k - 1)],
                      before.groups[g].values[static_cast<std::size_t>(k - 1)]);
        for (int k = 8; k <= 77; ++k) expected.push_back(record_of(file, g, k));
    }
    EXPECT_EQ(differing_records(before, file), expected);

    buffer.edit_node_pair = {30020.0f, 30030.0f};  // a pair with groups but no storage group
    EXPECT_EQ(find_model_group(file, RewriteMode::FetchMode, 0.0f, EditorOption::LinkPrimaryElement, buffer), 0);
}

// ---------------------------------------------------------------- copy-back

TEST(ModelFileCopyBack, AreaWeightedAveragesOnTheGisPath)
{
    struct Case {
        const char* name;
        int type;
        int header_length;
        AreaWeightedSums sums;
        std::map<int, float> changed;
    };
    const Case cases[] = {
        {"type 3",
         3,
         FULL_HEADER_VALUES,
         {{0.0f, 8.0f, 12.0f, 0.0f, 0.0f, 2.0f}, 4.0f},
         {{62, 3.0f}, {66, 3.0f}, {526, 2.0f}, {527, 3.0f}, {530, 0.5f}}},
        {"type 8 past the compact header",
         8,
         COMPACT_HEADER_VALUES,
         {{0.0f, 0.0f, 0.0f, 0.0f, 6.0f, 0.0f}, 3.0f},
         {{67, 2.0f}, {68, 2.0f}}},
        {"type 8 with a long header",
         8,
         540,
         {{0.0f, 0.0f, 0.0f, 0.0f, 6.0f, 3.0f}, 3.0f},
         {{67, 2.0f}, {68, 2.0f}, {531, 2.0f}, {532, 1.0f}}},
        {"no area met", 3, FULL_HEADER_VALUES, {{5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f}, 0.0f}, {}},
        {"type 6 is a plain copy", 6, FULL_HEADER_VALUES, {{5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f}, 1.0f}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory dir;
        const ModelFile before =
            make_file(static_cast<float>(c.type), c.header_length, {{10010.0f, 10010.0f, 21.0f, 10010.0f}});
        ModelFile scratch = before;
        copy_back_model_file("AB0100ZZ.Z11", scratch, c.sums, c.type);
        const ModelFile after = read_model_file("AB0100ZZ.Z11");
        for (int k = 1; k <= c.header_length; ++k) {
            const auto change = c.changed.find(k);
            EXPECT_EQ(after.header.value(k), change == c.changed.end() ? before.header.value(k) : change->second) << k;
        }
        EXPECT_EQ(after.groups[0].values, before.groups[0].values);
    }
}

TEST(ModelFileCopyBack, NothingIsReplacedWhenOneFileOfTheSetDoesNotWalk)
{
    TemporaryDirectory dir;
    const ModelFile model = make_file(3.0f, FULL_HEADER_VALUES, EVERY_FAMILY);
    write_model_file("AB0100ZZ.Z11", model);
    write_model_file("AB0100ZZ.Z12", model);
    const std::string bytes = TemporaryDirectory::get("AB0100ZZ.Z11");
    CopyBackSet set;
    ModelFile changed = model;
    changed.groups[0].values[0] = 42.0f;
    set.add_model_file(load_model_file("AB0100ZZ.Z11"), changed, false);
    ModelFile broken = model;
    broken.groups[1].values.pop_back();
    EXPECT_THROW(set.add_model_file(load_model_file("AB0100ZZ.Z12"), broken, false), FileError);
    ModelFile marker = model;
    marker.groups[2].values[4] = GROUP_MARKER;
    EXPECT_THROW(set.add_model_file(load_model_file("AB0100ZZ.Z12"), marker, false), FileError);
    // The caller drops the set: neither file has changed.
    EXPECT_EQ(TemporaryDirectory::get("AB0100ZZ.Z11"), bytes);
    EXPECT_EQ(TemporaryDirectory::get("AB0100ZZ.Z12"), bytes);
}

TEST(ModelFileCopyBack, ARewriteStoppedAtAnyRecordLeavesTheOldFile)
{
    TemporaryDirectory dir;
    const ModelFile model = make_file(3.0f, FULL_HEADER_VALUES, EVERY_FAMILY);
    write_model_file("AB0100ZZ.Z11", model);
    const std::string old_bytes = TemporaryDirectory::get("AB0100ZZ.Z11");
    ModelFile changed = model;
    ModelEditBuffer buffer;
    buffer.edit_node_pair = {10040.0f, 10050.0f};
    buffer.edit_values = {0.0f, 48.0f, 0.0f, 0.016f, 0.0f};
    StreetSectionEdit street;
    rewrite_model_file(changed, {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkPrimaryElement}, buffer, street,
                       "f");
    const std::vector<RecordBytes> records = model_file_records(changed, "f");

    // A stop inside the pass: the rewrite is thrown away before anything is written.
    for (std::size_t g = 0; g < model.groups.size(); ++g) {
        ModelFile file = load_model_file("AB0100ZZ.Z11").file;
        EXPECT_THROW(visit_model_groups(file,
                                        [g, &file](ModelGroup& group, const GroupLayout&) {
                                            if (&group == &file.groups[g]) stop_program("stopped");
                                            if (!group.values.empty()) group.values[0] = 1.0f;
                                        }),
                     ProgramStop);
    }
    // A stop while the new file was being written, after any number of its
    // records: the new bytes stood only in the temporary file beside it.
    for (std::size_t k = 0; k <= records.size(); ++k) {
        const std::vector<RecordBytes> part(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(k));
        TemporaryDirectory::put(".AB0100ZZ.Z11.velm-run", encode_records(part));
        ASSERT_EQ(TemporaryDirectory::get("AB0100ZZ.Z11"), old_bytes) << k;
        EXPECT_NO_THROW(read_model_file("AB0100ZZ.Z11")) << k;
    }
    // The next rewrite goes through over the stale temporary file.
    CopyBackSet set;
    set.add_model_file(load_model_file("AB0100ZZ.Z11"), changed, false);
    set.commit();
    EXPECT_EQ(TemporaryDirectory::get("AB0100ZZ.Z11"), encode_records(records));
    EXPECT_FALSE(std::filesystem::exists(".AB0100ZZ.Z11.velm-run"));
}

// ---------------------------------------------------------------- gfortran

std::vector<std::string> fortran_dump(const std::string& file, const TemporaryDirectory& dir)
{
    std::istringstream lines(test::run_fortran("model_dump", test::quoted(file), dir.file("dump.txt")));
    std::vector<std::string> records;
    for (std::string line; std::getline(lines, line);) records.push_back(line);
    return records;
}

TEST(ModelFileRewriteFortran, GfortranReadsTheRewrittenFileAndSeesOnlyTheEditedValuesChanged)
{
    TemporaryDirectory dir;
    struct Case {
        const char* name;
        float value_2;
        int header_length;
        RewritePass pass;
    };
    const Case cases[] = {
        {"subarea copy, compact",
         8.0f,
         COMPACT_HEADER_VALUES,
         {RewriteMode::CopyMode, 10020.0f, 1, EditorOption::SubareaAttributes}},
        {"pipe edit, full",
         3.0f,
         FULL_HEADER_VALUES,
         {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkPrimaryElement}},
        {"street edit, old full upgraded",
         6.0f,
         OLD_FULL_HEADER_VALUES,
         {RewriteMode::LinkEditMode, 0.0f, 0, EditorOption::LinkStreetSection}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ModelFile before = make_file(c.value_2, c.header_length, EVERY_FAMILY);
        write_model_file("AB0100ZZ.Z11", before);
        const std::vector<std::string> old_dump = fortran_dump("AB0100ZZ.Z11", dir);
        LoadedModelFile loaded = load_model_file("AB0100ZZ.Z11");
        ModelFile file = loaded.file;
        ModelEditBuffer buffer;
        buffer.land_use_table.cell(2) = {3.0f, 4.0f, 0.75f};
        buffer.packed_subarea_code = 1;
        buffer.edit_node_pair = c.pass.option == EditorOption::LinkStreetSection
                                    ? std::array<float, 2>{10090.0f, 10095.0f}
                                    : std::array<float, 2>{10040.0f, 10050.0f};
        buffer.edit_values = {0.0f, 48.0f, 0.0f, 0.016f, 0.0f};
        StreetSectionEdit street{
            0.5f, 20.0f, 15.0f, 0.02f, 0.025f, 0.0f, 1.5f, 0.03125f, 0.125f, 0.015f, STREET_EDIT_PENDING};
        const RewriteResult result = rewrite_model_file(file, c.pass, buffer, street, loaded.name);
        CopyBackSet set;
        set.add_model_file(loaded, file, result.upgraded);
        set.commit();
        const std::vector<std::string> new_dump = fortran_dump("AB0100ZZ.Z11", dir);

        // Every record gfortran read is the one the walker wrote, texts whole.
        const std::vector<RecordBytes> records = model_file_records(file, "f");
        ASSERT_EQ(new_dump.size(), records.size());
        std::size_t texts = 0;
        for (std::size_t k = 0; k < records.size(); ++k) {
            if (records[k].size() == 4) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "R %08X", test::float_bits(payload_float(records[k], 0)));
                EXPECT_EQ(new_dump[k], hex) << k + 1;
            } else {
                ++texts;
                EXPECT_EQ(new_dump[k], "T [" + std::string(reinterpret_cast<const char*>(records[k].data()), 50) + "]");
            }
        }
        EXPECT_EQ(texts, 1u);

        // Against the old file: only the edited records differ (after the
        // 360 inserted zeros of an upgrade).
        const std::size_t shift = result.upgraded ? 360 : 0;
        const std::size_t kept = result.upgraded ? 157 : 0;
        std::vector<std::size_t> differ;
        for (std::size_t k = 0; k < new_dump.size(); ++k) {
            if (result.upgraded && k >= kept && k < kept + shift) continue;
            const std::size_t old_k = (result.upgraded && k >= kept + shift) ? k - shift : k;
            if (old_dump.at(old_k) != new_dump[k]) differ.push_back(k + 1);
        }
        EXPECT_EQ(differ, differing_records(result.upgraded ? [&] {
            ModelFile up = before;
            upgrade_model_file_layout(up);
            return up;
        }() : before, file));
        EXPECT_FALSE(differ.empty());
    }
}

}  // namespace
}  // namespace velm
