#include "diagnostics/table_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace velm {
namespace {

// Rows carry an identifier in column 1 so the test sees where each row went.
struct SortCase {
    std::string name;
    std::vector<float> keys;  // key of rows 1, 2, ... as read
    int key_column;           // 2 to 4; the key sits in that column
    TableSortOrder order;
    std::vector<float> expected_ids;  // identifiers (1-based read position) after the sort
};

void PrintTo(const SortCase& c, std::ostream* out)
{
    *out << c.name;
}

class SortTableRows : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortTableRows, LeavesRowsInExchangeOrder)
{
    const SortCase& c = GetParam();
    std::vector<TableRow> rows;
    for (std::size_t r = 0; r < c.keys.size(); ++r) {
        TableRow row{static_cast<float>(r + 1), -1.0f, -2.0f, -3.0f};
        row[static_cast<std::size_t>(c.key_column - 1)] = c.keys[r];
        rows.push_back(row);
    }
    const std::vector<TableRow> before = rows;
    sort_table_rows(rows, c.key_column, c.order);

    ASSERT_EQ(rows.size(), c.expected_ids.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][0], c.expected_ids[r]) << "row " << r + 1;
        // Every column moved with its row.
        EXPECT_EQ(rows[r], before[static_cast<std::size_t>(c.expected_ids[r]) - 1]) << "row " << r + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SortTableRows,
    ::testing::Values(
        SortCase{"SlopesAscending", {0.15f, -0.01f, 0.001f}, 3, TableSortOrder::Ascending, {2, 3, 1}},
        // Equal keys are never exchanged, yet they do not keep their order.
        SortCase{"TieAfterSmallerKey", {0.5f, 0.5f, 0.1f}, 3, TableSortOrder::Ascending, {3, 2, 1}},
        SortCase{"TiesTurnedAround", {2.0f, 1.0f, 1.0f, 0.0f}, 3, TableSortOrder::Ascending, {4, 3, 2, 1}},
        SortCase{"TiesKeptWhenNothingSmallerFollows", {1.0f, 1.0f, 2.0f}, 2, TableSortOrder::Ascending, {1, 2, 3}},
        SortCase{"DescendingTies", {1.0f, 1.0f, 2.0f}, 4, TableSortOrder::Descending, {3, 2, 1}},
        SortCase{"DescendingDistinct", {3.0f, 9.0f, 5.0f, 7.0f}, 2, TableSortOrder::Descending, {2, 4, 3, 1}},
        SortCase{"SingleRow", {4.0f}, 3, TableSortOrder::Ascending, {1}},
        SortCase{"NoRows", {}, 3, TableSortOrder::Ascending, {}}),
    [](const ::testing::TestParamInfo<SortCase>& info) { return info.param.name; });

TEST(SortTableRowsColumns, RefusesAColumnOutsideTheRow)
{
    std::vector<TableRow> rows{{1, 2, 3, 4}, {0, 0, 0, 0}};
    EXPECT_THROW(sort_table_rows(rows, 0, TableSortOrder::Ascending), std::invalid_argument);
    EXPECT_THROW(sort_table_rows(rows, 5, TableSortOrder::Ascending), std::invalid_argument);
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// The exchange loops written out plainly: the reference for long tables,
// which the sort orders without running them.
std::vector<TableRow> exchanged(std::vector<TableRow> rows, std::size_t key, bool ascending)
{
    for (std::size_t j = 1; j < rows.size(); ++j)
        for (std::size_t i = 0; i < j; ++i)
            if (ascending ? rows[j][key] < rows[i][key] : rows[j][key] > rows[i][key]) std::swap(rows[i], rows[j]);
    return rows;
}

TEST(SortTableRowsLongTables, MatchTheExchangeLoopsTiesIncluded)
{
    std::mt19937 random(20240611u);
    struct Shape {
        std::size_t rows;
        int distinct_keys;  // few keys: many ties
    };
    for (const Shape shape : {Shape{257, 3}, Shape{600, 1}, Shape{1000, 7}, Shape{2500, 40}, Shape{2000, 2000}}) {
        for (const TableSortOrder order : {TableSortOrder::Ascending, TableSortOrder::Descending}) {
            std::uniform_int_distribution<int> pick(0, shape.distinct_keys - 1);
            std::vector<TableRow> rows;
            for (std::size_t r = 0; r < shape.rows; ++r) {
                const int k = pick(random);
                // Keys 0.0 and -0.0 are equal keys of one tie.
                const float key = k == 0 ? (r % 2 ? -0.0f : 0.0f) : static_cast<float>(k) * 0.001f - 0.01f;
                rows.push_back({static_cast<float>(r), static_cast<float>(r % 7), key, 0.0f});
            }
            const std::vector<TableRow> expected = exchanged(rows, 2, order == TableSortOrder::Ascending);
            sort_table_rows(rows, 3, order);
            EXPECT_EQ(rows, expected) << shape.rows << " rows, " << shape.distinct_keys << " keys";
        }
    }
}

TEST(SortTableRowsLongTables, KeysThatAreNotNumbersStayWhereTheLoopsPutThem)
{
    std::vector<TableRow> rows;
    for (int r = 0; r < 400; ++r)
        rows.push_back({static_cast<float>(r), r % 50 == 0 ? std::nanf("") : static_cast<float>(r % 9), 0, 0});
    const std::vector<TableRow> expected = exchanged(rows, 1, true);
    sort_table_rows(rows, 2, TableSortOrder::Ascending);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(rows[r][0], expected[r][0]) << r;
}

}  // namespace
}  // namespace velm
