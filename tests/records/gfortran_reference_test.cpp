// gfortran as the reference for the record files: it reads the lines the
// writers make list-directed, as the original readers did, and writes them
// again with the same layout.  Its lines must be ours, and what it read must
// be bit for bit what our reader reads, also when records run over lines.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/text_file.h"
#include "record_kinds.h"
#include "record_test_support.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

std::vector<std::string> lf_lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string shell_quoted(std::string_view text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What the Fortran helper prints for a record: per column the bits of its
// real and its integer, then the text between brackets.
template <class File>
std::vector<std::string> dump(const std::vector<typename File::Record>& records)
{
    using Record = typename File::Record;
    std::vector<std::string> lines;
    for (const Record& record : records) {
        std::ostringstream values;
        for (int c = 1; c <= Record::COLUMN_COUNT; ++c) {
            const ColumnKind kind = Record::kind(c);
            const std::int32_t bits = kind == ColumnKind::Real ? std::bit_cast<std::int32_t>(record.column(c)) : 0;
            const int integer = kind == ColumnKind::Integer ? record.integer_column(c) : 0;
            values << (c > 1 ? " " : "") << bits << ' ' << integer;
        }
        lines.push_back(values.str());
        lines.push_back("[" + File::text(record) + "]");
    }
    return lines;
}

template <class File>
class GfortranReference : public ::testing::Test {
};

using AllRecordFiles = ::testing::Types<testing::LinkFile, testing::NodeFile, testing::SubareaFile,
                                        testing::GisNodeFile, testing::GisLinkFile, testing::GisSubareaFile>;
TYPED_TEST_SUITE(GfortranReference, AllRecordFiles);

TYPED_TEST(GfortranReference, ReadsOurLinesAsWeDoAndWritesThemAlike)
{
    using File = TypeParam;
    using Record = typename File::Record;
    TemporaryDirectory scratch;
    std::mt19937 rng(std::hash<std::string_view>{}(File::kind));
    std::vector<Record> records;
    for (int i = 0; i < File::records; ++i) records.push_back(testing::random_record<Record>(rng, File::set_text));
    File::write("WRITTEN.TXT", records);
    const std::vector<std::string> written = read_text_lines("WRITTEN.TXT");

    // Every third record is split at one or two of its field separators, the
    // first of them followed by an empty line.
    std::vector<std::string> split;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (i % 3 != 1 || Record::COLUMN_COUNT < 3) {
            split.push_back(written[i]);
            continue;
        }
        std::vector<std::size_t> cuts;
        for (int c = 2; c <= Record::COLUMN_COUNT; ++c)
            if (Record::kind(c) != ColumnKind::Text && Record::kind(c - 1) != ColumnKind::Text &&
                written[i][static_cast<std::size_t>(Record::field(c).start) - 1] == ' ')
                cuts.push_back(static_cast<std::size_t>(Record::field(c).start) - 1);
        ASSERT_FALSE(cuts.empty());
        const std::size_t first = cuts[std::uniform_int_distribution<std::size_t>(0, cuts.size() / 2)(rng)];
        const std::size_t second =
            cuts[std::uniform_int_distribution<std::size_t>(cuts.size() / 2, cuts.size() - 1)(rng)];
        split.push_back(written[i].substr(0, first));
        split.push_back("");
        if (second > first) {
            split.push_back(written[i].substr(first + 1, second - first - 1));
            split.push_back(written[i].substr(second + 1));
        } else {
            split.push_back(written[i].substr(first + 1));
        }
    }
    write_text_lines("SPLIT.TXT", split);

    const std::string command = std::string(VELM_FORTRAN_HELPER_DIR) + "/record_echo " + std::string(File::kind) + " " +
                                shell_quoted(File::layout) + " SPLIT.TXT ECHO.TXT DUMP.TXT";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::vector<std::string> echoed = lf_lines("ECHO.TXT");
    ASSERT_EQ(echoed.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) ASSERT_EQ(echoed[i], written[i]) << "record " << i + 1;

    // gfortran reads a record on over as many lines as it needs; our data
    // base readers take one record a line and refuse a line cut short, so
    // that a cut line never takes the values of the next.  The records they
    // read from the whole lines are those gfortran read from the split ones.
    if (split.size() != written.size()) {
        EXPECT_THROW(File::read("SPLIT.TXT"), FileError);
    }
    const std::vector<Record> read = File::read("WRITTEN.TXT");
    const std::vector<std::string> ours = dump<File>(read);
    const std::vector<std::string> theirs = lf_lines("DUMP.TXT");
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "dump line " << i + 1;
}

}  // namespace
}  // namespace velm
