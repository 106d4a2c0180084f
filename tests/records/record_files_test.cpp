// Reading and writing the data base and GIS record files: one line per
// record in its layout, read back free-form to the same values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <sstream>

#include "platform/text_file.h"
#include "record_kinds.h"
#include "record_test_support.h"
#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/string_files.h"
#include "records/subarea_data_base.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

std::vector<std::string> crlf_lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <class File>
class RecordFiles : public ::testing::Test {
};

using AllRecordFiles = ::testing::Types<testing::LinkFile, testing::NodeFile, testing::SubareaFile,
                                        testing::GisNodeFile, testing::GisLinkFile, testing::GisSubareaFile>;
TYPED_TEST_SUITE(RecordFiles, AllRecordFiles);

// Every line is as long as the layout makes it, a record reads back as the
// values its fields show, and a file read and written again is the same file.
TYPED_TEST(RecordFiles, WrittenLinesReadBackAndWriteAgainByteForByte)
{
    using File = TypeParam;
    using Record = typename File::Record;
    TemporaryDirectory scratch;
    std::mt19937 rng(20240611);
    std::vector<Record> records;
    for (int i = 0; i < 25; ++i) records.push_back(testing::random_record<Record>(rng, File::set_text));

    File::write("FIRST.TXT", records);
    const std::string first = TemporaryDirectory::get("FIRST.TXT");
    const std::vector<std::string> lines = crlf_lines(first);
    ASSERT_EQ(lines.size(), records.size());
    for (const std::string& line : lines) ASSERT_EQ(static_cast<int>(line.size()), File::line_length) << line;
    EXPECT_EQ(Record::layout().line_length(), File::line_length);

    const std::vector<Record> read = File::read("FIRST.TXT");
    ASSERT_EQ(read.size(), records.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        for (int c = 1; c <= Record::COLUMN_COUNT; ++c) {
            const FieldSpec& field = Record::field(c);
            const std::string shown =
                lines[i].substr(static_cast<std::size_t>(field.start), static_cast<std::size_t>(field.width));
            switch (Record::kind(c)) {
                case ColumnKind::Real:
                    ASSERT_EQ(read[i].column(c), std::strtof(shown.c_str(), nullptr))
                        << "record " << i + 1 << " column " << c << " shown as '" << shown << "'";
                    break;
                case ColumnKind::Integer:
                    ASSERT_EQ(read[i].integer_column(c), records[i].integer_column(c)) << "column " << c;
                    break;
                case ColumnKind::Text:
                    ASSERT_EQ(File::text(read[i]), File::text(records[i]));
                    ASSERT_EQ(shown, File::text(records[i]));
                    break;
            }
        }
    }

    File::write("SECOND.TXT", read);
    EXPECT_EQ(TemporaryDirectory::get("SECOND.TXT"), first);

    // A record of exactly written values reads back equal to itself.
    File::write("EMPTY.TXT", {Record{}});
    EXPECT_TRUE(File::read("EMPTY.TXT") == std::vector<Record>{Record{}});
}

TYPED_TEST(RecordFiles, MissingFileIsAnErrorOnlyWhenItMustExist)
{
    using File = TypeParam;
    using Record = typename File::Record;
    TemporaryDirectory scratch;
    try {
        File::read("ABSENTZZ.TXT");
        FAIL() << "a missing file that must exist was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABSENTZZ.TXT"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(read_records<Record>("ABSENTZZ.TXT", FilePresence::Optional).empty());
    EXPECT_FALSE(std::filesystem::exists("ABSENTZZ.TXT")) << "reading must not create the file";
}

// A record may run over several lines; blank lines between values are
// separators; a file without a final line end still ends its last record.
// A record stands on one line: a line cut in two is refused at its first
// half, which would otherwise take its missing values from the next line.
TEST(LinkDataBase, RecordCutOverTwoLinesIsRefused)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(7);
    const LinkRecord record = testing::random_record<LinkRecord>(rng, testing::LinkFile::set_text);
    const std::string line = link_record_line(record);
    const std::size_t cut = static_cast<std::size_t>(LinkRecord::field(100).start) - 1;
    TemporaryDirectory::put("AB0101ZZ.ZLL",
                            line + "\r\n\r\n" + line.substr(0, cut) + "\r\n" + line.substr(cut + 1) + "\r\n");
    try {
        read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
        FAIL() << "a cut record was read";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Data line of file \"AB0101ZZ.ZLL\", line 3: 99 values where a record has 188");
    }
}

// Each data base line holds one record, every value of it a finite real: the
// refusal names the file, the line and the count (or the value).
// A file put in place and read: refused with the message, or read without
// refusal where the message is empty.
struct DataBaseReadCase {
    const char* name;
    std::string file;
    std::string text;
    std::function<void(const std::string&)> read;
    std::string message;  // empty: the file reads
};

void expect_reads(const std::vector<DataBaseReadCase>& cases, const std::string& ending)
{
    for (const DataBaseReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory::put(c.file, c.text + ending);
        try {
            c.read(c.file);
            EXPECT_EQ(c.message, "") << "read without refusal";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

TEST(DataBaseLines, OneRecordOfFiniteValuesOnEachLine)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(11);
    const std::string link = link_record_line(testing::random_record<LinkRecord>(rng, testing::LinkFile::set_text));
    const std::string subarea =
        subarea_record_line(testing::random_record<SubareaRecord>(rng, testing::SubareaFile::set_text));
    auto read_links = [](const std::string& name) { read_link_data_base(name, FilePresence::MustExist); };
    auto read_subareas = [](const std::string& name) { read_subarea_data_base(name, FilePresence::MustExist); };
    auto read_gis_nodes = [](const std::string& name) { read_gis_node_file(name, FilePresence::MustExist); };
    auto read_strings = [](const std::string& name) { read_string_file(name); };
    const std::vector<DataBaseReadCase> cases = {
        {"a link line one value short", "AB0101ZZ.ZLL", link + "\r\n" + link.substr(0, link.rfind(' ')) + "\r\n" + link,
         read_links, "Data line of file \"AB0101ZZ.ZLL\", line 2: 187 values where a record has 188"},
        {"a link line one value long", "AB0101ZZ.ZLL", link + " 1.0\r\n", read_links,
         "Data line of file \"AB0101ZZ.ZLL\", line 1: 189 values where a record has 188"},
        {"a subarea line with a NaN", "AB0101ZZ.ZSS", subarea.substr(0, subarea.rfind(' ')) + " NaN\r\n", read_subareas,
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 188: not a number within the range of a real"},
        {"a GIS node line cut short", "AB0101ZZ.ZZN", " 10101.0 150.0 1.0\r\n 10102.0\r\n 140.0 1.0\r\n",
         read_gis_nodes, "Data line of file \"AB0101ZZ.ZZN\", line 2: 1 values where a record has 3"},
        {"an infinite GIS elevation", "AB0101ZZ.ZZN", " 10101.0 -Infinity 1.0\r\n", read_gis_nodes,
         "Data line of file \"AB0101ZZ.ZZN\", line 1, value 2: not a number within the range of a real"},
        {"an elevation beyond the range of a real", "AB0101ZZ.ZZN", " 10101.0 1.0E39 1.0\r\n", read_gis_nodes,
         "Data line of file \"AB0101ZZ.ZZN\", line 1, value 2: not a number within the range of a real"},
        {"blank lines hold no record", "AB0101ZZ.ZZN", "\r\n 10101.0 150.0 1.0\r\n   \r\n", read_gis_nodes, ""},
        {"a string line of five values", "AB0001ZZ.ZST", " 1.0 2.0 3.0 4.0 5.0\r\n", read_strings,
         "Data line of file \"AB0001ZZ.ZST\", line 1: 5 values where a record has 6"},
    };
    expect_reads(cases, "");
}

// A data base record holds every value, so a slash in it is a broken
// record (a value typed "0/00" for "0.00"), refused naming the file, the line
// and the value, whoever reads the line and however far; elsewhere a slash
// ends a read, and inside a quoted text it is a character of the text.
TEST(DataBaseLines, ASlashIsABrokenRecord)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(19);
    const std::string link = link_record_line(testing::random_record<LinkRecord>(rng, testing::LinkFile::set_text));
    const std::string node = node_record_line(testing::random_record<NodeRecord>(rng, testing::NodeFile::set_text));
    const std::string subarea =
        subarea_record_line(testing::random_record<SubareaRecord>(rng, testing::SubareaFile::set_text));
    // The line with the text of one field replaced, right-aligned in it.
    const auto with_field = [](std::string line, const FieldSpec& field, const std::string& text) {
        const auto width = static_cast<std::size_t>(field.width);
        line.replace(static_cast<std::size_t>(field.start), width, std::string(width - text.size(), ' ') + text);
        return line;
    };
    const int last_peak_flow = NodeRecord::LAST_PEAK_FLOW_COLUMN;
    auto read_links = [](const std::string& name) { read_link_data_base(name, FilePresence::MustExist); };
    auto read_nodes = [](const std::string& name) { read_node_data_base(name, FilePresence::MustExist); };
    auto read_node_starts = [last_peak_flow](const std::string& name) {
        read_node_data_base_start(name, FilePresence::MustExist, last_peak_flow);
    };
    auto read_subareas = [](const std::string& name) { read_subarea_data_base(name, FilePresence::MustExist); };
    auto read_gis_nodes = [](const std::string& name) { read_gis_node_file(name, FilePresence::MustExist); };
    auto read_strings = [](const std::string& name) { read_string_file(name); };
    const std::vector<DataBaseReadCase> cases = {
        {"a travel time typed 0/00", "AB0101ZZ.ZLL", link + "\r\n" + with_field(link, LinkRecord::field(137), "0/00"),
         read_links,
         "Data line of file \"AB0101ZZ.ZLL\", line 2, value 137: \"0/00\" holds a slash; a data base record "
         "holds every value"},
        {"a slash standing alone", "AB0101ZZ.ZSS", with_field(subarea, SubareaRecord::field(5), "/"), read_subareas,
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 5: \"/\" holds a slash; a data base record holds every "
         "value"},
        {"a slash after the last value", "AB0101ZZ.ZLL", link + " /", read_links,
         "Data line of file \"AB0101ZZ.ZLL\", line 1, value 189: \"/\" holds a slash; a data base record holds every "
         "value"},
        {"a slash before a value", "AB0101ZZ.ZNN", with_field(node, NodeRecord::field(400), "/1.5"), read_nodes,
         "Data line of file \"AB0101ZZ.ZNN\", line 1, value 400: \"/1.5\" holds a slash; a data base record holds "
         "every value"},
        {"a slash beyond the columns a reader takes", "AB0101ZZ.ZNN", with_field(node, NodeRecord::field(400), "1/5"),
         read_node_starts,
         "Data line of file \"AB0101ZZ.ZNN\", line 1, value 400: \"1/5\" holds a slash; a data base record holds "
         "every value"},
        {"a slash in a GIS export", "AB0101ZZ.ZZN", " 10101.0 150.0/ 1.0\r\n", read_gis_nodes,
         "Data line of file \"AB0101ZZ.ZZN\", line 1, value 2: \"150.0/\" holds a slash; a data base record holds "
         "every value"},
        {"a slash in a string file", "AB0001ZZ.ZST", " 1.0 2.0 3.0 4.0,/ 5.0 6.0\r\n", read_strings,
         "Data line of file \"AB0001ZZ.ZST\", line 1, value 5: \"/\" holds a slash; a data base record holds every "
         "value"},
        {"a slash in a quoted text", "AB0101ZZ.ZNN", with_field(node, NodeRecord::field(3), "A/B"), read_nodes, ""},
    };
    expect_reads(cases, "\r\n");
}

// A node line read only as far as the peak flows: the columns up to there
// as a whole read gives them, the later ones 0 and unread (a bad value there
// goes unnoticed), but counted: a line cut short or holding more than one
// record is refused as a whole read refuses it.
TEST(NodeDataBase, LinesReadOnlyAsFarAsTheColumnsTaken)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(273);
    std::vector<NodeRecord> written;
    for (int i = 0; i < 5; ++i) written.push_back(testing::random_record<NodeRecord>(rng, testing::NodeFile::set_text));
    write_node_data_base("AB0101ZZ.ZNN", written);
    const int last = NodeRecord::LAST_PEAK_FLOW_COLUMN;
    const std::vector<NodeRecord> whole = read_node_data_base("AB0101ZZ.ZNN", FilePresence::MustExist);
    const std::vector<NodeRecord> start = read_node_data_base_start("AB0101ZZ.ZNN", FilePresence::MustExist, last);
    ASSERT_EQ(start.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(start[i].node_text(), whole[i].node_text());
        for (int c = 1; c <= NodeRecord::COLUMN_COUNT; ++c) {
            if (NodeRecord::kind(c) == ColumnKind::Text) continue;
            EXPECT_EQ(start[i].number(c), c <= last ? whole[i].number(c) : 0.0f) << "column " << c;
        }
        for (int event = 1; event <= STORM_EVENTS; ++event)
            EXPECT_EQ(start[i].peak_flow_rate(event), whole[i].peak_flow_rate(event));
    }

    std::string line = node_record_line(written[0]);
    const std::string after_last = line.substr(0, static_cast<std::size_t>(NodeRecord::field(last + 1).start)) + " x";
    const std::string before_last =
        line.substr(0, static_cast<std::size_t>(NodeRecord::field(last).start)) + " 1.0.0 2.0";
    struct Case {
        const char* name;
        std::string text;
        std::string message;  // empty: the file reads
    };
    std::string bad_unread_value = line;
    const FieldSpec unread = NodeRecord::field(last + 1);
    bad_unread_value.replace(static_cast<std::size_t>(unread.start), static_cast<std::size_t>(unread.width),
                             std::string(static_cast<std::size_t>(unread.width - 1), ' ') + "x");
    const Case cases[] = {
        {"letters after the last column taken", bad_unread_value, ""},
        {"a line cut after the last column taken", after_last,
         "Data line of file \"AB0101ZZ.ZNN\", line 2: 274 values where a record has 655"},
        {"two records on one line", line + line,
         "Data line of file \"AB0101ZZ.ZNN\", line 2: 1310 values where a record has 655"},
        {"a line that ends before the last column",
         line.substr(0, static_cast<std::size_t>(NodeRecord::field(last).start)),
         "Data line of file \"AB0101ZZ.ZNN\", line 2: 272 values where a record has 655"},
        {"a bad value among the columns taken", before_last,
         "Free-form read of file \"AB0101ZZ.ZNN\", line 2, item 273: not a real number: \"1.0.0\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory::put("AB0101ZZ.ZNN", line + "\r\n" + c.text + "\r\n");
        try {
            EXPECT_EQ(read_node_data_base_start("AB0101ZZ.ZNN", FilePresence::MustExist, last).size(), 2u);
            EXPECT_EQ(c.message, "") << "read without refusal";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

// A node line read in a few columns: those columns as a whole read gives
// them, every other column 0 and its item not converted; repeats, nulls and
// texts among the columns left out keep the columns taken in their places;
// the line is still counted whole, so a line cut short or holding two
// records is refused as a whole read refuses it.
TEST(NodeDataBase, LinesReadInTheColumnsTakenOnly)
{
    TemporaryDirectory scratch;
    const std::vector<int> taken = {1, NodeRecord::TOTAL_TRIBUTARY_AREA_COLUMN, 268, 269, 270, 271, 272, 273};
    const auto is_taken = [&](int c) { return std::find(taken.begin(), taken.end(), c) != taken.end(); };

    std::mt19937 rng(57);
    std::vector<NodeRecord> written;
    for (int i = 0; i < 2; ++i) written.push_back(testing::random_record<NodeRecord>(rng, testing::NodeFile::set_text));
    const std::string line = node_record_line(written[0]);
    const std::string line_end = "\r\n";

    // Free-form lines of a record in the forms a hand-edited data base may
    // take: repeats across taken and left-out columns, nulls, texts.
    const std::string repeats =
        "10101.0 100.0 'NODE ''A''' 53*1.5 12.5 2*3.0 208*0 2*4.0 1.0 2.0 3.0 4.0 12*0.0 2*0 368*0.0";
    const auto free_form = [](bool text_left_out) {
        std::string joined;
        for (int c = 1; c <= NodeRecord::COLUMN_COUNT; ++c) {
            std::string item;
            if (c == 1)
                item = "10102.0";
            else if (c == 3)
                item = "'X'";
            else if (c == 57)
                item = "9.25";
            else if (c >= 268 && c <= 273)
                item = std::to_string(274 - c) + ".0";
            else if (c == 286 || c == 287)
                item = "3";
            else if (c == 100 && text_left_out)
                item = "'text'";
            else if (c % 3 != 0)
                item = c % 2 == 0 ? "1.0E2" : "7";
            joined += (c == 1 ? "" : ", ") + item;  // an empty item between commas is a null
        }
        return joined;
    };
    std::string bad_left_out = line;
    const FieldSpec left_out = NodeRecord::field(100);
    bad_left_out.replace(static_cast<std::size_t>(left_out.start), static_cast<std::size_t>(left_out.width),
                         std::string(static_cast<std::size_t>(left_out.width - 1), ' ') + "x");
    std::string bad_taken = line;
    const FieldSpec area = NodeRecord::field(NodeRecord::TOTAL_TRIBUTARY_AREA_COLUMN);
    bad_taken.replace(static_cast<std::size_t>(area.start), static_cast<std::size_t>(area.width),
                      std::string(static_cast<std::size_t>(area.width - 1), ' ') + "x");

    struct Case {
        const char* name;
        std::string text;
        std::string reference;  // read whole, the values of the columns taken
        std::string message;    // or the refusal
    };
    const Case cases[] = {
        {"lines as the system writes them", node_record_line(written[1]), node_record_line(written[1]), ""},
        {"repeats across the columns", repeats, repeats, ""},
        {"nulls among the columns", free_form(false), free_form(false), ""},
        {"a text in a column left out", free_form(true), free_form(false), ""},
        {"letters in a column left out", bad_left_out, line, ""},
        {"letters in a column taken", bad_taken, "",
         "Free-form read of file \"AB0101ZZ.ZNN\", line 2, item 57: not a real number: \"x\""},
        {"a line cut short", line.substr(0, static_cast<std::size_t>(NodeRecord::field(400).start)), "",
         "Data line of file \"AB0101ZZ.ZNN\", line 2: 399 values where a record has 655"},
        {"a line cut among the columns taken", line.substr(0, static_cast<std::size_t>(NodeRecord::field(270).start)),
         "", "Data line of file \"AB0101ZZ.ZNN\", line 2: 269 values where a record has 655"},
        {"two records on one line", line + line, "",
         "Data line of file \"AB0101ZZ.ZNN\", line 2: 1310 values where a record has 655"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<NodeRecord> whole;
        if (c.message.empty()) {
            TemporaryDirectory::put("AB0101ZZ.ZNN", line + line_end + c.reference + line_end);
            whole = read_node_data_base("AB0101ZZ.ZNN", FilePresence::MustExist);
        }
        TemporaryDirectory::put("AB0101ZZ.ZNN", line + line_end + c.text + line_end);
        try {
            const std::vector<NodeRecord> read =
                read_node_data_base_columns("AB0101ZZ.ZNN", FilePresence::MustExist, taken);
            EXPECT_EQ(c.message, "") << "read without refusal";
            ASSERT_EQ(read.size(), whole.size());
            for (std::size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(read[i].node_text(), std::string(10, ' ')) << "record " << i;
                for (int col = 1; col <= NodeRecord::COLUMN_COUNT; ++col) {
                    if (NodeRecord::kind(col) == ColumnKind::Text) continue;
                    EXPECT_EQ(read[i].number(col), is_taken(col) ? whole[i].number(col) : 0.0f)
                        << "record " << i << ", column " << col;
                }
            }
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
    // A repeat after the last column taken counts as the values it stands
    // for, as the whole read takes them.
    TemporaryDirectory::put("AB0101ZZ.ZNN", repeats + line_end);
    EXPECT_EQ(read_node_data_base_start("AB0101ZZ.ZNN", FilePresence::MustExist, NodeRecord::LAST_PEAK_FLOW_COLUMN)
                  .at(0)
                  .peak_flow_rate(6),
              4.0f);
    EXPECT_EQ(read_node_data_base("AB0101ZZ.ZNN", FilePresence::MustExist).at(0).peak_flow_rate(1), 4.0f);
}

// Node lines of every form a free-form line may take, laid at every offset
// against the reader's eight-character steps: plain numbers after runs of
// blanks of any length, tabs, repeats, nulls between commas, a text; some
// lines a value short or a value over.  The reading of the first columns and
// the reading of a few columns refuse exactly the lines the whole reading
// refuses, and give the columns they take as it gives them.
TEST(NodeDataBase, PartReadingsCountEveryFormOfLineAsTheWholeReading)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(655);
    const std::vector<int> taken = {1, NodeRecord::TOTAL_TRIBUTARY_AREA_COLUMN, 268, 270, 273, 290};
    const int last = NodeRecord::LAST_PEAK_FLOW_COLUMN;
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int trial = 0; trial < 300; ++trial) {
        const int items = NodeRecord::COLUMN_COUNT + (trial % 3) - 1;  // one short, whole, one over
        // The items, a null as an empty one; a repeat stands for several
        // values of columns of one kind.
        std::vector<std::string> tokens;
        for (int c = 1; c <= items;) {
            const bool integer = c == 286 || c == 287;
            const int room = (c < 286 ? 286 : items + 1) - c;
            if (c == NODE_TEXT_COLUMN) {
                tokens.push_back("'N ''" + std::to_string(trial) + "'''");
                ++c;
            } else if (integer) {
                tokens.push_back(std::to_string(pick(50)));
                ++c;
            } else if (c > 3 && room > 1 && pick(8) == 0) {
                const int repeat = 2 + pick(std::min(room - 1, 4));
                tokens.push_back(std::to_string(repeat) + "*" + std::to_string(pick(1000)) + "." +
                                 std::to_string(pick(100)));
                c += repeat;
            } else if (c > 1 && c < items && pick(10) == 0) {
                tokens.emplace_back();
                ++c;
            } else {
                tokens.push_back((pick(5) == 0 ? "-" : "") + std::to_string(pick(100000)) + "." +
                                 std::to_string(pick(1000)));
                ++c;
            }
        }
        // Laid at any offset, parted by runs of blanks of any length or a
        // tab, and by a comma on either side of a null.
        std::string line(static_cast<std::size_t>(pick(9)), ' ');
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            if (k > 0) {
                const bool comma = tokens[k].empty() || tokens[k - 1].empty() || pick(20) == 0;
                line += pick(6) == 0 ? std::string("\t") : std::string(static_cast<std::size_t>(pick(12)), ' ');
                if (comma) line += ",";
                line += std::string(static_cast<std::size_t>(comma ? pick(3) : 1 + pick(5)), ' ');
            }
            line += tokens[k];
        }
        SCOPED_TRACE(line);
        TemporaryDirectory::put("AB0101ZZ.ZNN", line + "\r\n");
        std::optional<std::vector<NodeRecord>> whole, start, columns;
        try {
            whole = read_node_data_base("AB0101ZZ.ZNN", FilePresence::MustExist);
        } catch (const FileError&) {
        }
        try {
            start = read_node_data_base_start("AB0101ZZ.ZNN", FilePresence::MustExist, last);
        } catch (const FileError&) {
        }
        try {
            columns = read_node_data_base_columns("AB0101ZZ.ZNN", FilePresence::MustExist, taken);
        } catch (const FileError&) {
        }
        ASSERT_EQ(start.has_value(), whole.has_value());
        ASSERT_EQ(columns.has_value(), whole.has_value());
        if (!whole) continue;
        for (int c = 1; c <= last; ++c) {
            if (NodeRecord::kind(c) == ColumnKind::Text) continue;
            EXPECT_EQ(start->at(0).number(c), whole->at(0).number(c)) << "column " << c;
        }
        for (const int c : taken) EXPECT_EQ(columns->at(0).number(c), whole->at(0).number(c)) << "column " << c;
    }
}

// Every record starts empty: a null item gives 0 (or a blank text), never the
// value the record before held in that column.
TEST(LinkDataBase, NullItemsReadAsZeroNotAsTheRecordBefore)
{
    TemporaryDirectory scratch;
    std::string first = "10001.0 10002.0 7.5 8.5 1.0 'FIRST' 3";
    std::string second = "10003.0 10004.0 ,, 8.5 1.0,, 3";
    for (int c = 8; c <= LINK_RECORD_VALUES; ++c) {
        first += " 2";
        second += " 2";
    }
    TemporaryDirectory::put("AB0101ZZ.ZLL", first + "\r\n" + second + "\r\n");
    const std::vector<LinkRecord> read = read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].upstream_elevation(), 7.5f);
    EXPECT_EQ(read[1].upstream_elevation(), 0.0f);
    EXPECT_EQ(read[1].link_id(), std::string(10, ' '));
}

// An unreadable record ends the run with a message that names the file and
// the line; so does a file that ends inside a record.
TEST(LinkDataBase, UnreadableRecordNamesFileAndLine)
{
    TemporaryDirectory scratch;
    std::mt19937 rng(11);
    const std::string good = link_record_line(testing::random_record<LinkRecord>(rng, testing::LinkFile::set_text));
    std::string bad = good;
    const FieldSpec& slope = LinkRecord::field(9);
    bad.replace(static_cast<std::size_t>(slope.start), static_cast<std::size_t>(slope.width), "  ABCDE");
    struct Case {
        const char* what;
        std::string bytes;
        const char* line;
    };
    const Case cases[] = {
        {"letters in a real column", good + "\r\n" + bad + "\r\n", "line 2"},
        {"the file ends inside a record", good + "\r\n" + good.substr(0, 300) + "\r\n", "line 2"},
        {"an integer column holds a real",
         good.substr(0, LinkRecord::field(7).start) + "2.5" +
             good.substr(static_cast<std::size_t>(LinkRecord::field(7).start) + 3),
         "line 1"},
    };
    for (const Case& c : cases) {
        TemporaryDirectory::put("AB0101ZZ.ZLL", c.bytes);
        try {
            read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
            ADD_FAILURE() << c.what << ": read without error";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("AB0101ZZ.ZLL"), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.line), std::string::npos) << c.what << ": " << message;
        }
    }
}

// The named columns stand where the layout puts them.
TEST(RecordColumns, NamedColumnsStandAtTheirPlaceInTheLine)
{
    struct Case {
        const char* column;
        std::string line;
        int first;  // 1-based character positions
        int last;
        std::string shown;
    };
    const auto link = [](auto set) {
        LinkRecord r;
        set(r);
        return link_record_line(r);
    };
    const auto node = [](auto set) {
        NodeRecord r;
        set(r);
        return node_record_line(r);
    };
    const auto subarea = [](auto set) {
        SubareaRecord r;
        set(r);
        return subarea_record_line(r);
    };
    const auto gis_link = [](auto set) {
        GisLinkRecord r;
        set(r);
        return gis_link_record_line(r);
    };
    const auto gis_subarea = [](auto set) {
        GisSubareaRecord r;
        set(r);
        return gis_subarea_record_line(r);
    };
    const Case cases[] = {
        {"link 1", link([](LinkRecord& r) { r.upstream_node() = 123456.7f; }), 2, 9, "123456.7"},
        {"link 6", link([](LinkRecord& r) { r.link_id() = "AB 12"; }), 46, 58, " 'AB 12     '"},
        {"link 9", link([](LinkRecord& r) { r.link_slope() = 0.012341f; }), 73, 79, "0.01234"},
        {"link 19", link([](LinkRecord& r) { r.street_side_count() = 2; }), 160, 161, " 2"},
        {"link 36", link([](LinkRecord& r) { r.upstream_peak_flow(6) = 12.5f; }), 307, 316, "     12.50"},
        {"link 42", link([](LinkRecord& r) { r.downstream_peak_flow(6) = 3.25f; }), 373, 382, "      3.25"},
        {"link 90", link([](LinkRecord& r) { r.max_deficiency() = 1234.5f; }), 831, 840, "   1234.50"},
        {"link 91", link([](LinkRecord& r) { r.max_deficiency_event() = 4; }), 842, 845, "   4"},
        {"link 123", link([](LinkRecord& r) { r.user_element_type() = 3; }), 1121, 1123, "  3"},
        {"link 136", link([](LinkRecord& r) { r.unit_cost_opinion() = 55.5f; }), 1233, 1240, "   55.50"},
        {"link 141", link([](LinkRecord& r) { r.designated_element_type() = 2.0f; }), 1273, 1280, "    2.00"},
        {"link 152", link([](LinkRecord& r) { r.link_travel_time(6) = 9.0f; }), 1372, 1379, "    9.00"},
        {"node 3", node([](NodeRecord& r) { r.node_text() = "N1"; }), 19, 30, "'N1        '"},
        {"node 57", node([](NodeRecord& r) { r.total_tributary_area() = 12.3456f; }), 509, 517, "   12.346"},
        {"node 273", node([](NodeRecord& r) { r.peak_flow_rate(6) = 1.0f; }), 2356, 2365, "      1.00"},
        {"node 286", node([](NodeRecord& r) { r.integer_column(286) = 12; }), 2475, 2476, "12"},
        {"node 600", node([](NodeRecord& r) { r.accumulated_area(100) = 7.0f; }), 5487, 5496, "      7.00"},
        {"node 655", node([](NodeRecord& r) { r.column(655) = 1.0f; }), 5984, 5991, "    1.00"},
        {"subarea 2", subarea([](SubareaRecord& r) { r.subarea_text() = "S"; }), 9, 21, " 'S         '"},
        {"subarea 99", subarea([](SubareaRecord& r) { r.time_of_concentration(1) = 5.0f; }), 887, 894, "   5.000"},
        {"subarea 109", subarea([](SubareaRecord& r) { r.s_graph_value(5) = 0.5f; }), 973, 979, "  0.500"},
        {"subarea 137", subarea([](SubareaRecord& r) { r.cell_area(6) = 2.0f; }), 1243, 1251, "   2.0000"},
        {"subarea 188", subarea([](SubareaRecord& r) { r.column(188) = 1.0f; }), 1753, 1761, "   1.0000"},
        {"GIS link 13", gis_link([](GisLinkRecord& r) { r.street_side_count() = 2; }), 108, 109, " 2"},
        {"GIS link 15", gis_link([](GisLinkRecord& r) { r.element_type() = 1; }), 120, 122, "  1"},
        {"GIS link 20", gis_link([](GisLinkRecord& r) { r.processed_stamp() = 1.0f; }), 160, 167, "    1.00"},
        {"GIS subarea 7", gis_subarea([](GisSubareaRecord& r) { r.subarea_parameter(6) = 1.5f; }), 41, 45, " 1.50"},
        {"GIS subarea 13", gis_subarea([](GisSubareaRecord& r) { r.cell_land_use(1) = 107.0f; }), 77, 82, "107.00"},
        {"GIS subarea 29", gis_subarea([](GisSubareaRecord& r) { r.cell_soil(6) = 4.0f; }), 189, 193, "  4.0"},
        {"GIS subarea 31", gis_subarea([](GisSubareaRecord& r) { r.processed_stamp() = 3.0f; }), 203, 205, "3.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line.substr(static_cast<std::size_t>(c.first - 1), static_cast<std::size_t>(c.last - c.first + 1)),
                  c.shown)
            << c.column;
}

TEST(RecordColumns, EachColumnIsReachedOnlyAsItsKind)
{
    LinkRecord link;
    link.process_code() = 41;
    EXPECT_EQ(link.number(7), 41.0f);
    EXPECT_THROW(link.column(7), std::out_of_range);
    EXPECT_THROW(link.column(6), std::out_of_range);
    EXPECT_THROW(link.column(0), std::out_of_range);
    EXPECT_THROW(link.column(189), std::out_of_range);
    EXPECT_THROW(link.integer_column(8), std::out_of_range);
    EXPECT_THROW(link.upstream_peak_flow(7), std::out_of_range);
    EXPECT_THROW(NodeRecord().accumulated_area(101), std::out_of_range);
    EXPECT_THROW(SubareaRecord().cell_area(0), std::out_of_range);
}

// A text is kept to its 10 characters: blanks inside stay, a short text is
// padded, a long one cut; a blank text reads back as ten blanks.
TEST(RecordColumns, TextKeepsItsTenCharacters)
{
    TemporaryDirectory scratch;
    std::vector<LinkRecord> links(4);
    links[0].link_id() = "A B  C";
    links[1].link_id() = "";
    links[2].link_id() = "ABCDEFGHIJKLMN";
    links[3].link_id() = "  x";
    write_link_data_base("AB0101ZZ.ZLL", links);
    const std::vector<LinkRecord> read = read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0].link_id(), "A B  C    ");
    EXPECT_EQ(read[1].link_id(), "          ");
    EXPECT_EQ(read[2].link_id(), "ABCDEFGHIJ");
    EXPECT_EQ(read[3].link_id(), "  x       ");

    std::vector<SubareaRecord> subareas(1);
    write_subarea_data_base("AB0101ZZ.ZSS", subareas);
    EXPECT_EQ(read_subarea_data_base("AB0101ZZ.ZSS", FilePresence::MustExist)[0].subarea_text(), "          ");
}

TEST(SubareaDataBase, AreaIsTheSumOfTheCellAreas)
{
    SubareaRecord subarea;
    subarea.cell_land_use(1) = 5.0f;
    subarea.cell_area(1) = 1.1f;
    subarea.cell_land_use(4) = 7.0f;
    subarea.cell_area(4) = 2.35f;
    EXPECT_EQ(subarea.area(), subarea.column(117) + subarea.column(129));
    EXPECT_EQ(subarea.area(), 1.1f + 2.35f);
}

TEST(LinkDataBase, StormEventsAreThePositiveDownstreamPeakFlows)
{
    LinkRecord link;
    link.downstream_peak_flow(1) = 10.0f;
    link.downstream_peak_flow(2) = 12.0f;
    link.downstream_peak_flow(5) = 0.5f;
    link.upstream_peak_flow(3) = 9.0f;
    EXPECT_EQ(link.storm_event_count(), 3);
}

// A link belongs to the map of its downstream node; a GIS file to its map,
// or to its region for model types 6 and 9.
TEST(RecordFileNames, MapsRegionsAndStems)
{
    LinkRecord link;
    link.upstream_node() = 230399.9f;
    link.downstream_node() = 230400.0f;
    EXPECT_EQ(link.map_number(), 2304);
    EXPECT_EQ(link_data_base_name("AB", link.map_number()), "AB2304ZZ.ZLL");
    EXPECT_EQ(link_data_base_name("AB", region_map_number(2304)), "AB2300ZZ.ZLL");
    EXPECT_EQ(link_data_base_name("AB0101ZZ"), "AB0101ZZ.ZLL");
    EXPECT_EQ(node_data_base_name("AB", 7), "AB0007ZZ.ZNN");
    EXPECT_EQ(node_data_base_name("AB0101ZZ"), "AB0101ZZ.ZNN");
    EXPECT_EQ(subarea_data_base_name("AB", 1234), "AB1234ZZ.ZSS");
    EXPECT_EQ(subarea_data_base_name("AB0101ZZ"), "AB0101ZZ.ZSS");

    struct Case {
        float number;
        int model_type;
        GisFileKind kind;
        const char* name;
    };
    const Case cases[] = {
        {123456.7f, 3, GisFileKind::Node, "AB1234ZZ.ZZN"},   {123456.7f, 6, GisFileKind::Node, "AB1200ZZ.ZZN"},
        {123456.7f, 9, GisFileKind::Link, "AB1200ZZ.ZZL"},   {10000.0f, 10, GisFileKind::Subarea, "AB0100ZZ.ZZS"},
        {99999.9f, 6, GisFileKind::Subarea, "AB0900ZZ.ZZS"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gis_file_name("AB", c.number, c.model_type, c.kind), c.name) << c.number << " type " << c.model_type;
    EXPECT_EQ(gis_file_name_from_stem("AB1234ZZ", 3, GisFileKind::Node), "AB1234ZZ.ZZN");
    EXPECT_EQ(gis_file_name_from_stem("AB1234ZZ", 6, GisFileKind::Link), "AB1200ZZ.ZZL");
    EXPECT_EQ(gis_file_name_from_stem("AB1200ZZ", 9, GisFileKind::Node), "AB1200ZZ.ZZN");
}

// A node number read from a damaged file may be no number at all ("NaN",
// "1e39"): it belongs to no map and no region, and its file names carry no
// map digits.
TEST(RecordFileNames, NumberThatIsNoNumberBelongsToNoMap)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (const float number : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1.0e30f}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(map_number_of(number), NO_MAP_NUMBER);
        EXPECT_EQ(gis_file_name("AB", number, 3, GisFileKind::Node), "AB****ZZ.ZZN");
        EXPECT_EQ(gis_file_name("AB", number, 6, GisFileKind::Link), "AB**00ZZ.ZZL");
    }
}

}  // namespace
}  // namespace velm
