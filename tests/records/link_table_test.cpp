// The run's link table: a rewritten data base holds exactly what reading its
// written lines back gives, a value the writer refuses is refused with the
// writer's error, and the look-ups keep the first link in file order.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "platform/run_outputs.h"
#include "record_test_support.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/link_table.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

using testing::link;

// The record as the reader gives back its written line: the writer's error
// message when the writer refuses it.
struct ReadBack {
    std::optional<LinkRecord> record;
    std::string refusal;
};

ReadBack written_and_read(const LinkRecord& record)
{
    std::string line;
    try {
        line = link_record_line(record, "AB0101ZZ.ZLL", 7);
    } catch (const RecordWriteError& error) {
        return {std::nullopt, error.what()};
    }
    LinkRecord back;
    const FreeFormResult read = read_free_form_line(line, back.read_targets());
    EXPECT_TRUE(read.ok()) << read.message;
    back.fit_text();
    return {back, {}};
}

// Equal bit for bit: a negative zero is not a zero.
void expect_same_values(const LinkRecord& expected, const LinkRecord& actual)
{
    for (int c = 1; c <= LINK_RECORD_VALUES; ++c) {
        switch (LinkRecord::kind(c)) {
            case ColumnKind::Real:
                EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.column(c)), std::bit_cast<std::uint32_t>(expected.column(c)))
                    << "column " << c << ": " << actual.column(c) << " for " << expected.column(c);
                break;
            case ColumnKind::Integer:
                EXPECT_EQ(actual.integer_column(c), expected.integer_column(c)) << "column " << c;
                break;
            case ColumnKind::Text:
                EXPECT_EQ(actual.link_id(), expected.link_id());
                break;
        }
    }
}

// A real of every kind a step may store in a field: whole and decimal values
// of every size the field holds and beyond, exact rounding ties, values that
// round to zero from either side, negative zero, the largest values the
// field holds and the first it does not, and the odd NaN and infinity.
float value_for(std::mt19937& rng, const FieldSpec& field)
{
    const float step = std::pow(10.0f, -static_cast<float>(field.decimals));
    const float largest = std::pow(10.0f, static_cast<float>(field.width - field.decimals - 1));
    const float sign = std::uniform_int_distribution<int>(0, 2)(rng) == 0 ? -1.0f : 1.0f;
    switch (std::uniform_int_distribution<int>(0, 11)(rng)) {
        case 0:  // a tie of the field's rounding, when the float holds it
            return sign * (static_cast<float>(std::uniform_int_distribution<int>(0, 4000)(rng)) + 0.5f) *
                   std::ldexp(1.0f, -std::uniform_int_distribution<int>(0, 4)(rng));
        case 1:
            return sign * step * std::uniform_real_distribution<float>(0.0f, 0.6f)(rng);
        case 2:
            return -0.0f;
        case 3:
            return sign * largest * std::uniform_real_distribution<float>(0.999f, 1.001f)(rng);
        case 4:
            return sign * std::ldexp(1.0f, std::uniform_int_distribution<int>(-30, 30)(rng));
        case 5:
            return std::uniform_int_distribution<int>(0, 40)(rng) == 0 ? std::numeric_limits<float>::quiet_NaN()
                                                                        : sign * 3.0e9f;
        case 6:
            return sign * static_cast<float>(std::uniform_int_distribution<int>(0, 999999)(rng)) * step;
        default: {
            const float magnitude =
                std::pow(10.0f, std::uniform_real_distribution<float>(-7.0f, static_cast<float>(field.width - 1))(rng));
            return sign * magnitude * std::uniform_real_distribution<float>(0.1f, 1.0f)(rng);
        }
    }
}

TEST(LinkTableRoundTrip, EveryValueIsWhatItsWrittenLineReadsBackAs)
{
    std::mt19937 rng(20261210);
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        LinkRecord record = link(10101.0f, 10102.0f);
        // A few columns changed by a step, and now and then every column.
        const bool every_column = trial % 10 == 0;
        for (int c = 1; c <= LINK_RECORD_VALUES; ++c) {
            if (!every_column && std::uniform_int_distribution<int>(0, 30)(rng) != 0) continue;
            switch (LinkRecord::kind(c)) {
                case ColumnKind::Real:
                    record.column(c) = value_for(rng, LinkRecord::field(c));
                    // Most trials keep to values the writer takes, so that
                    // whole records are compared.
                    if (trial % 4 != 0 && !std::isfinite(record.column(c))) record.column(c) = 1.5f;
                    if (trial % 4 != 0 && std::fabs(record.column(c)) > 1.0e6f) record.column(c) = 0.25f;
                    break;
                case ColumnKind::Integer:
                    record.integer_column(c) = std::uniform_int_distribution<int>(-120, 1200)(rng);
                    break;
                case ColumnKind::Text:
                    record.link_id() = std::string(std::uniform_int_distribution<std::size_t>(0, 14)(rng), 'K');
                    break;
            }
        }
        SCOPED_TRACE("trial " + std::to_string(trial));
        const ReadBack expected = written_and_read(record);
        LinkRecord rounded = record;
        try {
            round_trip_link_record(rounded, "AB0101ZZ.ZLL", 7);
        } catch (const RecordWriteError& error) {
            ++refused;
            EXPECT_FALSE(expected.record) << error.what();
            EXPECT_EQ(error.what(), expected.refusal);
            continue;
        }
        ASSERT_TRUE(expected.record) << "the writer refuses: " << expected.refusal;
        expect_same_values(*expected.record, rounded);
        // Written again, the rounded record gives the same line, and rounding
        // it again changes nothing.
        EXPECT_EQ(link_record_line(rounded), link_record_line(record));
        LinkRecord again = rounded;
        round_trip_link_record(again, "AB0101ZZ.ZLL", 7);
        expect_same_values(rounded, again);
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(refused, 0) << "the cases reach the writer's refusals";
}

TEST(LinkTableRoundTrip, ValuesAtTheEdgeOfTheirFieldGoBackAsTheirTextReads)
{
    // Around the largest magnitudes a field holds, around the powers of ten
    // within it and around rounding ties, a value comes back as its written
    // text reads, or is refused exactly where the text is asterisks.
    struct Field {
        int width;
        int decimals;
    };
    const Field fields[] = {{3, 1}, {4, 3}, {5, 2}, {6, 0}, {7, 5}, {8, 2}, {8, 3}, {10, 4}, {12, 2}};
    for (const Field& f : fields) {
        const FieldSpec spec{ColumnKind::Real, 0, f.width, f.decimals};
        const float half_step = 0.5f * std::pow(10.0f, -static_cast<float>(f.decimals));
        for (int digits = 0; digits <= f.width; ++digits) {
            const float power = std::pow(10.0f, static_cast<float>(digits));
            for (const float edge : {power, power - half_step, power * half_step, half_step * 3.0f}) {
                float value = edge;
                for (int i = 0; i < 4; ++i) value = std::nextafter(value, 0.0f);
                for (int step = 0; step < 9; ++step, value = std::nextafter(value, 1.0e30f)) {
                    for (const float signed_value : {value, -value}) {
                        SCOPED_TRACE(std::to_string(signed_value) + " in F" + std::to_string(f.width) + "." +
                                     std::to_string(f.decimals));
                        const std::string text = format_fixed(signed_value, f.width, f.decimals);
                        const std::optional<float> back = field_round_trip(signed_value, spec);
                        if (text.find('*') != std::string::npos) {
                            EXPECT_FALSE(back) << text;
                            continue;
                        }
                        float expected = 0.0f;
                        ASSERT_TRUE(read_free_form_line(text, {&expected}).ok()) << text;
                        ASSERT_TRUE(back) << text;
                        EXPECT_EQ(std::bit_cast<std::uint32_t>(*back), std::bit_cast<std::uint32_t>(expected)) << text;
                    }
                }
            }
        }
    }
}

class LinkTableFiles : public ::testing::Test {
protected:
    TemporaryDirectory scratch_;
};

TEST_F(LinkTableFiles, AStoredValueIsRoundedByItsFieldForTheNextStep)
{
    LinkRecord given = link(10101.0f, 10102.0f);
    given.computed_friction_slope() = 0.5f;
    write_link_data_base("AB0101ZZ.ZLL", {given});
    RunOutputs outputs;
    LinkTable table(&outputs);

    LinkTable::File& file = table.file("AB0101ZZ.ZLL", FilePresence::MustExist);
    const auto before = TemporaryDirectory::snapshot();
    file.records[0].computed_friction_slope() = 0.0123456f;  // F8.4
    file.records[0].computed_capacity() = 0.855f;            // F8.2: the float above 0.855 writes 0.86
    file.records[0].link_upstream_hgl() = -0.001f;           // writes "-0.00"
    table.store(file, outputs.new_file("AB0101ZZ.ZLL"));

    const LinkRecord& seen = table.file("AB0101ZZ.ZLL", FilePresence::MustExist).records[0];
    EXPECT_EQ(seen.computed_friction_slope(), 0.0123f);
    EXPECT_EQ(seen.computed_capacity(), 0.86f);
    EXPECT_TRUE(seen.link_upstream_hgl() == 0.0f && std::signbit(seen.link_upstream_hgl()));

    // Nothing is written until the run's end; then the data base is written
    // once, as the step's own write would have written it.
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    table.write_files(outputs);
    outputs.commit();
    LinkRecord expected = given;
    expected.computed_friction_slope() = 0.0123456f;
    expected.computed_capacity() = 0.855f;
    expected.link_upstream_hgl() = -0.001f;
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), link_record_line(expected) + "\r\n");
}

TEST_F(LinkTableFiles, AStepThatNamesItsColumnsSeesThemRoundedAsAWholeStoreWould)
{
    write_link_data_base("AB0101ZZ.ZLL", {link(10101.0f, 10102.0f), link(10102.0f, 10103.0f)});
    RunOutputs outputs;
    LinkTable table(&outputs);
    LinkTable::File& file = table.file("AB0101ZZ.ZLL", FilePresence::MustExist);
    const std::string written_name = outputs.new_file("AB0101ZZ.ZLL");
    const auto whole_store = [&](std::vector<LinkRecord> records) {
        for (std::size_t i = 0; i < records.size(); ++i)
            round_trip_link_record(records[i], written_name, static_cast<int>(i) + 1);
        return records;
    };

    // The run's first store rounds every column, named or not.
    file.records[0].computed_friction_slope() = 0.0123456f;  // F8.4, not named
    file.records[1].computed_capacity() = 0.855f;            // F8.2
    std::vector<LinkRecord> expected = whole_store(file.records);
    const int capacity_column[] = {74};
    table.store(file, written_name, capacity_column);
    for (std::size_t i = 0; i < expected.size(); ++i) expect_same_values(expected[i], file.records[i]);

    // A later store rounds the named columns, reals, integers and text alike.
    file.records[0].computed_capacity() = -0.001f;        // writes "-0.00"
    file.records[1].link_upstream_hgl() = 12.345678f;     // F8.2
    file.records[1].process_code() = 42;
    file.records[0].link_id() = "K";
    expected = whole_store(file.records);
    const int named[] = {74, 139, 7, 6};  // 6: the link's text
    table.store(file, written_name, named);
    for (std::size_t i = 0; i < expected.size(); ++i) expect_same_values(expected[i], file.records[i]);

    // A named value the writer refuses is refused as a whole store refuses it.
    file.records[1].link_upstream_hgl() = 1.0e7f;
    try {
        table.store(file, written_name, named);
        ADD_FAILURE() << "stored without error";
    } catch (const RecordWriteError& error) {
        EXPECT_EQ(error.record_number(), 2);
        EXPECT_EQ(error.column(), 139);
    }
}

TEST_F(LinkTableFiles, AValueTooWideIsRefusedWithItsFileRecordAndColumnAndNothingIsWritten)
{
    write_link_data_base("AB0101ZZ.ZLL", {link(10101.0f, 10102.0f), link(10102.0f, 10103.0f)});
    const auto before = TemporaryDirectory::snapshot();
    {
        RunOutputs outputs;
        LinkTable table(&outputs);
        LinkTable::File& file = table.file("AB0101ZZ.ZLL", FilePresence::MustExist);
        file.records[1].computed_capacity() = 123456.0f;  // F8.2
        file.records[1].link_upstream_hgl() = 1.0e7f;     // F8.2, a later column
        const std::string written_name = outputs.new_file("AB0101ZZ.ZLL");
        try {
            table.store(file, written_name);
            ADD_FAILURE() << "stored without error";
        } catch (const RecordWriteError& error) {
            EXPECT_EQ(error.file_name(), written_name);
            EXPECT_EQ(error.record_number(), 2);
            EXPECT_EQ(error.column(), 74);
            EXPECT_EQ(std::string(error.what()), "Cannot write " + written_name +
                                                     ", record 2: column 74 holds 123456, too wide for its field "
                                                     "F8.2; nothing was written.");
        }
        // NaN is refused before any value too wide, as the writer does.
        file.records[1].column(130) = std::numeric_limits<float>::quiet_NaN();
        try {
            table.store(file, written_name);
            ADD_FAILURE() << "stored without error";
        } catch (const RecordWriteError& error) {
            EXPECT_EQ(error.column(), 130);
        }
        table.write_files(outputs);  // nothing was stored
    }
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
}

TEST_F(LinkTableFiles, TheFirstLinkLeavingANodeInFileOrderWins)
{
    write_link_data_base("AB0101ZZ.ZLL",
                         {link(10101.0f, 10102.0f), link(10102.0f, 10104.0f), link(10102.0f, 10103.0f),
                          link(0.0f, 10105.0f), link(-0.0f, 10106.0f), link(10102.0f, 10105.0f)});
    LinkTable table;
    LinkTable::File& file = table.file("AB0101ZZ.ZLL", FilePresence::MustExist);
    struct Case {
        float node;
        float expected_downstream;  // 0: no link
    };
    const Case cases[] = {{10102.0f, 10104.0f}, {10101.0f, 10102.0f}, {-0.0f, 10105.0f},
                          {0.0f, 10105.0f},     {10103.0f, 0.0f},     {10102.05f, 0.0f}};
    for (int pass = 0; pass < 2; ++pass) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.node);
            const LinkRecord* found = table.first_leaving(file, c.node);
            if (c.expected_downstream == 0.0f) {
                EXPECT_EQ(found, nullptr);
            } else {
                ASSERT_NE(found, nullptr);
                EXPECT_EQ(found->downstream_node(), c.expected_downstream);
            }
        }
        // A rewrite keeps the order and the rule.
        table.store(file, "AB0101ZZ.ZLL");
    }
}

TEST_F(LinkTableFiles, AMissingDataBaseIsReadAsEmptyOrRefusedAndExistsOnceWritten)
{
    RunOutputs outputs;
    LinkTable table(&outputs);
    EXPECT_FALSE(table.exists("AB0102ZZ.ZLL"));
    try {
        (void)table.file("AB0102ZZ.ZLL", FilePresence::MustExist);
        ADD_FAILURE() << "a missing file that must exist was read";
    } catch (const FileError& error) {
        try {
            (void)read_link_data_base("AB0102ZZ.ZLL", FilePresence::MustExist);
        } catch (const FileError& expected) {
            EXPECT_STREQ(error.what(), expected.what());
        }
    }
    LinkTable::File& file = table.file("ab0102zz.zll", FilePresence::Optional);  // any letter case
    EXPECT_FALSE(file.exists);
    EXPECT_TRUE(file.records.empty());
    EXPECT_FALSE(file.written);

    // A step that rewrites it creates it, empty, at the run's end.
    table.store(file, outputs.new_file("AB0102ZZ.ZLL"));
    EXPECT_TRUE(table.exists("AB0102ZZ.ZLL"));
    EXPECT_NO_THROW((void)table.file("AB0102ZZ.ZLL", FilePresence::MustExist));
    EXPECT_TRUE(TemporaryDirectory::snapshot().empty());
    table.write_files(outputs);
    outputs.commit();
    EXPECT_EQ(TemporaryDirectory::entries(), std::vector<std::string>{"AB0102ZZ.ZLL"});
    EXPECT_EQ(TemporaryDirectory::get("AB0102ZZ.ZLL"), "");
}

TEST_F(LinkTableFiles, ReadsOnceFromTheRunsNewVersionAndNamesAnUnreadableLine)
{
    RunOutputs outputs;
    write_link_data_base("AB0101ZZ.ZLL", {link(1.0f, 2.0f)});
    write_link_data_base(outputs.new_file("AB0101ZZ.ZLL"), {link(3.0f, 4.0f)});
    LinkTable table(&outputs);
    EXPECT_EQ(table.file("AB0101ZZ.ZLL", FilePresence::MustExist).records.at(0).upstream_node(), 3.0f);
    // Read once: a later change of the file is not seen.
    write_link_data_base(outputs.new_file("AB0101ZZ.ZLL"), {link(5.0f, 6.0f)});
    EXPECT_EQ(table.file("AB0101ZZ.ZLL", FilePresence::Optional).records.at(0).upstream_node(), 3.0f);

    TemporaryDirectory::put("AB0103ZZ.ZLL", link_record_line(link(1.0f, 2.0f)) + "\r\n 3.0 4.0 oops\r\n");
    try {
        (void)table.file("AB0103ZZ.ZLL", FilePresence::Optional);
        ADD_FAILURE() << "an unreadable record was read";
    } catch (const FileError& error) {
        try {
            (void)read_link_data_base("AB0103ZZ.ZLL", FilePresence::Optional);
            ADD_FAILURE() << "the reader read it";
        } catch (const FileError& expected) {
            EXPECT_STREQ(error.what(), expected.what());
            EXPECT_NE(std::string(error.what()).find("AB0103ZZ.ZLL"), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace velm
