// The link data base update of the telescoping pass and the user-recommended
// value sections it feeds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sizing/link_data_base_update.h"
#include "sizing/telescoping_records.h"
#include "support/written_lines.h"

namespace velm::test {
namespace {

// A row that recommends a 3.0-ft pipe carrying 42 cfs down the string.
TelescopingLinkRow recommending_row(float upstream, float downstream)
{
    TelescopingLinkRow row;
    row.upstream_node = upstream;
    row.downstream_node = downstream;
    row.recommended_type = 1.0f;
    row.element_size = 3.0f;
    row.recommended_base_width = 1.0f;
    row.recommended_side_slope = 0.0f;
    row.recommended_friction_factor = 0.013f;
    row.recommended_freeboard = 0.0f;
    row.largest_peak_flow = 42.0f;
    row.user_element_status = 1.0f;
    return row;
}

LinkRecord mitigated_link(float upstream, float downstream)
{
    return link_with(upstream, downstream,
                     {{7, 41.0f}, {90, 2.0f}, {92, 2.5f}, {93, 1.0f}, {95, 0.014f}, {109, -1.0f}, {111, 7.0f}});
}

TEST(LinkDataBaseUpdate, TelescopedElementStoredWhereTheRowRecommendsOne)
{
    struct Case {
        std::string name;
        float recommended_type;
        float friction_factor;
        float expected_height;  // column 102
        float expected_type;    // column 110
    };
    const std::vector<Case> cases{
        {"recommended", 1.0f, 0.013f, 3.0f, 1.0f},
        {"without its own n: the mitigation element", 1.0f, 0.0f, 2.5f, 1.0f},
        {"kept existing element", -0.1f, 0.013f, 0.0f, 0.0f},
        {"never recommended", 0.0f, 0.013f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        TelescopingLinkRow row = recommending_row(10101.0f, 10102.0f);
        row.recommended_type = c.recommended_type;
        row.recommended_friction_factor = c.friction_factor;
        LinkRecord record = mitigated_link(10101.0f, 10102.0f);
        apply_telescoping_results(record, row);
        EXPECT_EQ(record.column(102), c.expected_height) << c.name;
        EXPECT_EQ(record.column(110), c.expected_type) << c.name;
        // Every matched link gets its carried flow, status, n and flag.
        EXPECT_EQ(record.column(107), 42.0f) << c.name;
        EXPECT_EQ(record.column(108), 1.0f) << c.name;
        EXPECT_EQ(record.column(109), 0.013f) << c.name;
        EXPECT_EQ(record.column(111), 0.0f) << c.name;
    }
}

TEST(LinkDataBaseUpdate, StoredValuesStayWithinTheirFields)
{
    TelescopingLinkRow row = recommending_row(10101.0f, 10102.0f);
    row.largest_peak_flow = 250000.0f;
    LinkRecord record = mitigated_link(10101.0f, 10102.0f);
    apply_telescoping_results(record, row);
    EXPECT_EQ(link_record_line(record).find('*'), std::string::npos);
}

TEST(LinkDataBaseUpdate, HeadwaterStorageAndUnknownLinksKeepTheirValues)
{
    TelescopingLinkTable table;
    for (float downstream : {10102.0f, 10103.0f, 10104.0f}) table.append(recommending_row(10101.0f, downstream));
    LinkRecord headwater = mitigated_link(10101.0f, 10102.0f);
    headwater.process_code() = 21;
    headwater.max_deficiency() = 0.0f;
    LinkRecord storage = mitigated_link(10101.0f, 10103.0f);
    storage.process_code() = 61;
    const LinkRecord unknown = mitigated_link(10105.0f, 10106.0f);
    const LinkRecord matched = mitigated_link(10101.0f, 10104.0f);

    std::vector<LinkRecord> updated;
    written_lines([&](TextWriter& report) {
        UserValueReports reports(report, 1);
        updated = update_link_data_base({headwater, storage, unknown, matched}, table, 10, reports);
        reports.finish();
    });
    ASSERT_EQ(updated.size(), 4u);
    EXPECT_EQ(updated[0], headwater);
    EXPECT_EQ(updated[1], storage);
    EXPECT_EQ(updated[2], unknown);
    EXPECT_EQ(updated[3].column(102), 3.0f);
    EXPECT_EQ(updated[3].column(107), 42.0f);

    // Outside a curve-number study code 61 is a street link like any other.
    updated = {};
    written_lines([&](TextWriter& report) {
        UserValueReports reports(report, 1);
        updated = update_link_data_base({storage}, table, 7, reports);
    });
    EXPECT_EQ(updated[0].column(102), 3.0f);
}

TEST(LinkDataBaseUpdate, ChangesNoColumnBeyondTheOnesItLists)
{
    // Every column holds a value of its own, so that any change shows; the
    // user element has no height, so that it is cleared.
    const auto full_link = [](float upstream, float downstream) {
        LinkRecord record = mitigated_link(upstream, downstream);
        for (int c = 3; c <= LINK_RECORD_VALUES; ++c) {
            if (c == 7 || c == 112) continue;  // the process code and the user element's height
            if (LinkRecord::kind(c) == ColumnKind::Real) record.column(c) = 0.25f + 0.5f * static_cast<float>(c);
            if (LinkRecord::kind(c) == ColumnKind::Integer) record.integer_column(c) = 1;
        }
        record.column(105) = 0.0f;  // no friction factor of its own: the mitigation element is copied
        return record;
    };
    TelescopingLinkTable table;
    TelescopingLinkRow without_n = recommending_row(10101.0f, 10102.0f);
    without_n.recommended_friction_factor = 0.0f;
    table.append(without_n);
    TelescopingLinkRow kept = recommending_row(10102.0f, 10103.0f);
    kept.recommended_type = -0.1f;
    table.append(kept);
    const std::vector<LinkRecord> records{full_link(10101.0f, 10102.0f), full_link(10102.0f, 10103.0f),
                                          full_link(10105.0f, 10106.0f)};
    std::vector<LinkRecord> updated;
    written_lines([&](TextWriter& report) {
        UserValueReports reports(report, 1);
        updated = update_link_data_base(records, table, 10, reports);
        reports.finish();
    });
    ASSERT_EQ(updated.size(), records.size());
    const auto listed = [](int c) {
        for (const int u : UPDATED_LINK_COLUMNS) {
            if (u == c) return true;
        }
        return false;
    };
    bool any_listed_changed = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        for (int c = 1; c <= LINK_RECORD_VALUES; ++c) {
            const bool same = LinkRecord::kind(c) == ColumnKind::Real      ? updated[i].column(c) == records[i].column(c)
                              : LinkRecord::kind(c) == ColumnKind::Integer ? updated[i].integer_column(c) ==
                                                                                 records[i].integer_column(c)
                                                                           : updated[i].link_id() == records[i].link_id();
            if (listed(c)) {
                if (!same) any_listed_changed = true;
            } else {
                EXPECT_TRUE(same) << "record " << i + 1 << ", column " << c;
            }
        }
    }
    EXPECT_TRUE(any_listed_changed);
}

TEST(LinkDataBaseUpdate, HeadwaterLinkIsListedOnlyForItsCapacity)
{
    TelescopingLinkTable table;
    table.append(recommending_row(10101.0f, 10102.0f));
    const LinkRecord headwater =
        link_with(10101.0f, 10102.0f, {{7, 22.0f}, {74, 5.0f}, {75, 8.0f}, {123, 1.0f}, {112, 2.0f}, {65, 0.01f}});
    const std::vector<std::string> lines = written_lines([&](TextWriter& report) {
        UserValueReports reports(report, 1);
        update_link_data_base({headwater}, table, 6, reports);
        reports.finish();
    });
    const std::string none = "                      ** NONE **";
    ASSERT_EQ(lines.size(), 7u + 8u + 8u);
    EXPECT_EQ(lines[6], "      10101.0     10102.0              5.00                   8.00");
    EXPECT_EQ(lines[14].substr(0, none.size()), none);
    EXPECT_EQ(lines[22].substr(0, none.size()), none);
}

TEST(LinkDataBaseUpdate, UserElementWithoutHeightIsCleared)
{
    LinkRecord record = link_with(
        10101.0f, 10102.0f,
        {{123, 1.0f}, {112, 0.0f}, {113, 2.0f}, {114, 1.0f}, {115, 0.013f}, {116, 5.0f}, {117, 6.0f}, {118, 7.0f}});
    LinkRecord kept = record;
    kept.user_element_height() = 4.0f;
    clear_user_element_attributes(record);
    clear_user_element_attributes(kept);
    EXPECT_EQ(record.user_element_type(), 0);
    for (int column = 113; column <= 117; ++column) EXPECT_EQ(record.column(column), 0.0f) << column;
    EXPECT_EQ(record.column(118), 7.0f);
    EXPECT_EQ(kept.user_element_type(), 1);
    EXPECT_EQ(kept.column(116), 5.0f);
}

TEST(UserValueReports, SectionsNumberedAfterTheBalancedHglSection)
{
    const std::vector<std::string> empty_sections_after_hgl{
        "\f",
        "     IV. USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:",
        "",
        "     The following LINKS contain USER-RECOMMENDED flow capacity specifications:",
        "     Upstream   Downstream    Computer Recommended    User-Recommended",
        "       Node         Node     Flow Capacity Estimate     Flow Capacity",
        "                      ** NONE **",
    };
    const std::vector<std::string> lines = written_lines([](TextWriter& report) {
        UserValueReports reports(report, 2);
        reports.finish();
    });
    ASSERT_EQ(lines.size(), 7u + 8u + 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), empty_sections_after_hgl);
    // The collected sections: every line 100 characters, the page break too.
    auto padded = [](std::string text) {
        text.resize(100, ' ');
        return text;
    };
    EXPECT_EQ(lines[7], padded("\f"));
    EXPECT_EQ(lines[8], padded("     V. USER-RECOMMENDED LINK DEFICIENCY MITIGATION SIZE SPECIFICATIONs REPORT:"));
    EXPECT_EQ(lines[12], padded("     Upstream    Downstream    Diameter   Base-   Side-  Manning's"));
    EXPECT_EQ(lines[14], padded("                      ** NONE **"));
    EXPECT_EQ(lines[15], padded("\f"));
    EXPECT_EQ(lines[16], padded("     VI. USER-RECOMMENDED LINK FRICTION SLOPE SPECIFICATIONs REPORT:"));
    EXPECT_EQ(lines[22], padded("                      ** NONE **"));

    const std::vector<std::string> without_hgl = written_lines([](TextWriter& report) {
        UserValueReports reports(report, 3);
        reports.finish();
    });
    EXPECT_EQ(without_hgl[1], "     III. USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:");
    EXPECT_EQ(without_hgl[8],
              padded("     IV. USER-RECOMMENDED LINK DEFICIENCY MITIGATION SIZE SPECIFICATIONs REPORT:"));
}

TEST(UserValueReports, EntriesOfEachOverride)
{
    LinkRecord capacity = link_with(10101.0f, 10102.0f, {{74, 12.5f}, {75, 30.0f}});
    LinkRecord too_large = link_with(10102.0f, 10103.0f, {{74, 99999.0f}, {75, 10000.0f}});
    LinkRecord parallel_pipe = link_with(10103.0f, 10104.0f,
                                         {{62, 2.0f},
                                          {123, 1.0f},
                                          {112, 2.5f},
                                          {113, 1.0f},
                                          {115, 0.013f},
                                          {102, 3.0f},
                                          {103, 1.0f},
                                          {105, 0.013f},
                                          {65, 0.0125f}});
    LinkRecord replacement_box = link_with(10104.0f, 10105.0f, {{62, 1.0f}, {123, 2.0f}, {112, 4.0f}, {113, 6.0f}});
    LinkRecord parallel_box = replacement_box;
    parallel_box.user_element_status() = 2.0f;

    const std::vector<std::string> lines = written_lines([&](TextWriter& report) {
        UserValueReports reports(report, 1);
        for (const LinkRecord& record : {capacity, too_large, parallel_pipe, replacement_box, parallel_box}) {
            reports.report_user_capacity(record);
        }
        for (const LinkRecord& record : {parallel_pipe, replacement_box, parallel_box}) {
            reports.report_user_size_and_slope(record);
        }
        reports.finish();
    });
    auto trimmed = [](std::string text) {
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    };
    EXPECT_EQ(lines[6], "      10101.0     10102.0             12.50                  30.00");
    EXPECT_EQ(lines[7], "      10102.0     10103.0           *******                *******");
    // The size section follows the capacity section, its entries after its
    // seven heading lines.
    EXPECT_EQ(trimmed(lines[8]), "\f");
    EXPECT_EQ(trimmed(lines[15]), "     ------------------------------------------------------------------");
    EXPECT_EQ(trimmed(lines[16]), "                             (Computer Recommended Size Specifications)");
    EXPECT_EQ(trimmed(lines[17]), "      10103.0      10104.0        3.00      1.0    0.00   0.0130");
    EXPECT_EQ(trimmed(lines[18]), "                              (User-Recommended Size Specifications)");
    EXPECT_EQ(trimmed(lines[19]), "                Parallel Pipe:    2.50      1.0    0.00   0.0130");
    EXPECT_EQ(trimmed(lines[24]), "                                  4.00      6.0    0.00   0.0000");
    EXPECT_EQ(trimmed(lines[29]), "                 Parallel Box:    4.00      6.0    0.00   0.0000");
    // The friction-slope section after it.
    EXPECT_EQ(trimmed(lines[30]), "\f");
    EXPECT_EQ(trimmed(lines[37]), "      10103.0      10104.0      0.0125");
    EXPECT_EQ(lines.size(), 38u);
}

}  // namespace
}  // namespace velm::test
