// The writers never put a value into a data file that the file cannot give
// back: a field of asterisks, NaN, infinity or a text that breaks its quotes
// stops the write before the old file is touched.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "record_kinds.h"
#include "record_test_support.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

constexpr float INF = std::numeric_limits<float>::infinity();

struct RefusedValue {
    const char* what;
    std::function<void()> write_three_records;  // the second record holds the value
    int column;
};

template <class Record, class Write>
std::function<void()> second_record_with(const char* name, std::function<void(Record&)> set, Write write)
{
    return [=] {
        std::vector<Record> records(3);
        set(records[1]);
        write(name, records);
    };
}

TEST(RecordWriting, RefusesValuesTheFileCannotHold)
{
    TemporaryDirectory scratch;
    const auto link = [](std::function<void(LinkRecord&)> set) {
        return second_record_with<LinkRecord>("AB0101ZZ.ZLL", set, write_link_data_base);
    };
    const RefusedValue cases[] = {
        {"F8.2 too wide", link([](LinkRecord& r) { r.upstream_elevation() = 123456.0f; }), 3},
        {"F8.2 negative too wide", link([](LinkRecord& r) { r.upstream_elevation() = -10000.0f; }), 3},
        {"F7.5 rounds up past the field", link([](LinkRecord& r) { r.link_slope() = 9.999996f; }), 9},
        {"NaN", link([](LinkRecord& r) { r.computed_capacity() = std::nanf(""); }), 74},
        {"infinity", link([](LinkRecord& r) { r.max_deficiency() = INF; }), 90},
        {"I3 too wide", link([](LinkRecord& r) { r.process_code() = 1000; }), 7},
        {"I4 negative too wide", link([](LinkRecord& r) { r.max_deficiency_event() = -1000; }), 91},
        {"apostrophe in the text", link([](LinkRecord& r) { r.link_id() = "O'HARE"; }), 6},
        {"node F9.3",
         second_record_with<NodeRecord>(
             "AB0101ZZ.ZNN", [](NodeRecord& r) { r.total_tributary_area() = 1.0e6f; }, write_node_data_base),
         57},
        {"subarea F9.1",
         second_record_with<SubareaRecord>(
             "AB0101ZZ.ZSS", [](SubareaRecord& r) { r.column(139) = -1.0e8f; }, write_subarea_data_base),
         139},
        {"GIS stamp F3.1",
         second_record_with<GisSubareaRecord>(
             "AB0101ZZ.ZZS", [](GisSubareaRecord& r) { r.processed_stamp() = 10.0f; }, write_gis_subarea_file),
         31},
    };
    for (const RefusedValue& c : cases) {
        SCOPED_TRACE(c.what);
        // Each file exists with good content before the refused write.
        write_link_data_base("AB0101ZZ.ZLL", std::vector<LinkRecord>(1));
        write_node_data_base("AB0101ZZ.ZNN", std::vector<NodeRecord>(1));
        write_subarea_data_base("AB0101ZZ.ZSS", std::vector<SubareaRecord>(1));
        write_gis_subarea_file("AB0101ZZ.ZZS", std::vector<GisSubareaRecord>(1));
        const std::string before = TemporaryDirectory::get("AB0101ZZ.ZLL") + TemporaryDirectory::get("AB0101ZZ.ZNN") +
                                   TemporaryDirectory::get("AB0101ZZ.ZSS") + TemporaryDirectory::get("AB0101ZZ.ZZS");
        try {
            c.write_three_records();
            ADD_FAILURE() << "written without error";
        } catch (const RecordWriteError& error) {
            EXPECT_EQ(error.column(), c.column);
            EXPECT_EQ(error.record_number(), 2);
            const std::string message = error.what();
            EXPECT_NE(message.find("AB0101ZZ.Z"), std::string::npos) << message;
            EXPECT_NE(message.find("record 2"), std::string::npos) << message;
            EXPECT_NE(message.find("column " + std::to_string(c.column)), std::string::npos) << message;
        }
        const std::string after = TemporaryDirectory::get("AB0101ZZ.ZLL") + TemporaryDirectory::get("AB0101ZZ.ZNN") +
                                  TemporaryDirectory::get("AB0101ZZ.ZSS") + TemporaryDirectory::get("AB0101ZZ.ZZS");
        EXPECT_TRUE(after == before) << "the old file must stay as it was";
    }
}

// The largest values the fields hold are written, not refused.
TEST(RecordWriting, WritesTheLargestValuesItsFieldsHold)
{
    LinkRecord link;
    link.upstream_elevation() = 99999.99f;
    link.downstream_elevation() = -9999.99f;
    link.computed_capacity() = -0.001f;  // rounds to "-0.00"
    link.process_code() = -99;
    link.max_deficiency_event() = 9999;
    const std::string line = link_record_line(link);
    EXPECT_EQ(line.substr(19, 17), "99999.99 -9999.99");
    EXPECT_EQ(line.substr(static_cast<std::size_t>(LinkRecord::field(74).start), 8), "   -0.00");
}

TEST(ClampToField, GivesTheNearestValueTheFieldHolds)
{
    struct Case {
        float value;
        int width;
        int decimals;
        const char* shown;
        bool unchanged;
    };
    const Case cases[] = {
        {123456.0f, 8, 2, "99999.99", false}, {-123456.0f, 8, 2, "-9999.99", false},
        {9.999996f, 7, 5, "9.99999", false},  {1.0e9f, 10, 2, "9999999.00", false},
        {INF, 8, 2, "99999.99", false},       {-INF, 8, 2, "-9999.99", false},
        {12.0f, 3, 1, "9.9", false},          {-5.0f, 3, 1, "-.9", false},
        {10.0f, 7, 5, "9.99999", false},      {-1.0f, 7, 5, "-.99999", false},
        {99999.99f, 8, 2, "99999.99", true},  {5.5f, 8, 2, "    5.50", true},
        {-0.001f, 8, 2, "   -0.00", true},    {1.0e6f, 9, 3, "99999.992", false},
    };
    for (const Case& c : cases) {
        const float clamped = clamp_to_field(c.value, c.width, c.decimals);
        EXPECT_EQ(format_fixed(clamped, c.width, c.decimals), c.shown) << c.value;
        if (c.unchanged) {
            EXPECT_EQ(clamped, c.value);
        } else {
            // Nothing larger of its sign fits.
            const float beyond = std::nextafter(clamped, clamped > 0 ? INF : -INF);
            EXPECT_NE(format_fixed(beyond, c.width, c.decimals).find('*'), std::string::npos) << c.value;
        }
    }
    EXPECT_TRUE(std::isnan(clamp_to_field(std::nanf(""), 8, 2)));
    EXPECT_EQ(format_fixed(clamp_to_field(250000.0f, LinkRecord::field(74)), 8, 2), "99999.99");
    EXPECT_THROW(clamp_to_field(1.0f, LinkRecord::field(7)), std::invalid_argument);
}

TEST(ClampToField, KeepsExactlyTheValuesTheWriterWritesWhole)
{
    // Around the edge of every field's room and around the magnitudes that
    // are plainly inside it, a value is kept exactly when its written text
    // has no asterisks.
    struct Field {
        int width;
        int decimals;
    };
    const Field fields[] = {{3, 1}, {4, 1}, {5, 2}, {6, 3}, {7, 5}, {8, 2}, {8, 3}, {9, 3}, {10, 4}, {12, 0}, {16, 9}};
    for (const Field& f : fields) {
        for (int digits = 0; digits <= f.width; ++digits) {
            const float power = std::pow(10.0f, static_cast<float>(digits));
            for (const float edge : {power, power - 1.0f, power - 0.5f * std::pow(10.0f, -static_cast<float>(f.decimals))}) {
                float value = edge;
                for (int i = 0; i < 4; ++i) value = std::nextafter(value, 0.0f);
                for (int step = 0; step < 9; ++step, value = std::nextafter(value, INF)) {
                    for (const float signed_value : {value, -value}) {
                        const bool whole = format_fixed(signed_value, f.width, f.decimals).find('*') == std::string::npos;
                        const float clamped = clamp_to_field(signed_value, f.width, f.decimals);
                        EXPECT_EQ(clamped == signed_value, whole)
                            << signed_value << " in F" << f.width << "." << f.decimals;
                    }
                }
            }
        }
    }
}

TEST(RecordLayout, RefusesALayoutThatDoesNotMatchItsColumns)
{
    using K = ColumnKind;
    EXPECT_THROW(RecordLayout("(F8.1,1X,I3)", {K::Real, K::Real}), FormatError);
    EXPECT_THROW(RecordLayout("(F8.1,1X,F8.2)", {K::Real}), FormatError);
    EXPECT_THROW(RecordLayout("(F8.1,1X,F8.2)", {K::Real, K::Real, K::Real}), FormatError);
    EXPECT_THROW(RecordLayout("(F8.1,F8.2)", {K::Real, K::Real}), FormatError);
    EXPECT_THROW(RecordLayout("(F8.1,1X,'''',A10,'''')", {K::Real, K::Real}), FormatError);
    const RecordLayout layout("(F8.1,1X,'''',A10,'''',1X,I3,1X,F5.2)", {K::Real, K::Text, K::Integer, K::Real});
    EXPECT_EQ(layout.line_length(), 31);
    EXPECT_EQ(layout.field(2).start, 10);
    EXPECT_EQ(layout.field(2).width, 10);
    EXPECT_EQ(layout.field(4).decimals, 2);
}

}  // namespace
}  // namespace velm
