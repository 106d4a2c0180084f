// The count of table records in a model results file (record 6 of a group):
// a count the file cannot hold is refused naming the record it stands in.
#include "records/model_results_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

RecordBytes bits_payload(std::uint32_t bits)
{
    RecordBytes payload(4);
    for (std::size_t i = 0; i < 4; ++i) payload[i] = static_cast<std::byte>((bits >> (8 * i)) & 0xFFu);
    return payload;
}

// A whole group whose record 6 holds these bits, its 55 fixed table records
// and `table_records` records 7.
std::vector<RecordBytes> group(std::uint32_t count_bits, int table_records)
{
    std::vector<RecordBytes> records{RecordBytes(4),      RecordBytes(40 * 4), {},
                                     RecordBytes(26 * 4), RecordBytes(20 * 4), bits_payload(count_bits)};
    for (int row = 0; row < table_records + RESULTS_FIXED_TABLE_ROWS; ++row) records.push_back(RecordBytes(5 * 4));
    return records;
}

TEST(ModelResultsFile, ATableCountTheFileCannotHoldNamesItsRecord)
{
    test::TemporaryDirectory directory;
    const auto real_bits = [](float value) { return std::bit_cast<std::uint32_t>(value); };
    struct Case {
        const char* what;
        std::uint32_t bits;
        std::string message;  // empty: the file reads
    };
    const Case cases[] = {
        {"a NaN", real_bits(std::numeric_limits<float>::quiet_NaN()),
         "File 'AB0101ZZ.ZZZ', record 67: the table count record holds 2143289344 (as a real, NaN), not a count of "
         "the 57 records that follow it"},
        {"an infinity", real_bits(std::numeric_limits<float>::infinity()),
         "File 'AB0101ZZ.ZZZ', record 67: the table count record holds 2139095040 (as a real, Infinity), not a count "
         "of the 57 records that follow it"},
        {"a negative infinity", real_bits(-std::numeric_limits<float>::infinity()),
         "File 'AB0101ZZ.ZZZ', record 67: the table count record holds -8388608 (as a real, -Infinity), not a count "
         "of the 57 records that follow it"},
        {"a negative count", static_cast<std::uint32_t>(-1),
         "File 'AB0101ZZ.ZZZ', record 67: the table count record holds -1, not a count of the 57 records that follow "
         "it"},
        {"more records than follow", 58,
         "File 'AB0101ZZ.ZZZ', record 67: the table count record holds 58, not a count of the 57 records that follow "
         "it"},
        {"the two records that follow", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A sound first group, then the group of the count with two records 7.
        std::vector<RecordBytes> records = group(0, 0);
        std::vector<RecordBytes> second = group(c.bits, 2);
        records.insert(records.end(), second.begin(), second.end());
        replace_file_atomically("AB0101ZZ.ZZZ", encode_records(records));
        try {
            EXPECT_EQ(read_model_results_file("AB0101ZZ.ZZZ").size(), 2u);
            EXPECT_EQ(c.message, "") << "read without refusal";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace velm
