// Finding which map file of a region holds a link.
#include <gtest/gtest.h>

#include <filesystem>

#include "record_test_support.h"
#include "records/link_data_base.h"
#include "records/link_search.h"
#include "records/link_table.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

using testing::link;

std::string padded(std::string name)
{
    name.resize(FILE_NAME_LENGTH, ' ');
    return name;
}

class LinkSearch : public ::testing::Test {
protected:
    TemporaryDirectory scratch;
    DataDirectoryCache directory;
    LinkSearchIndex index{directory};
};

TEST_F(LinkSearch, FindsTheFirstFileOfTheRegionThatHoldsTheLink)
{
    write_link_data_base("AB1205ZZ.ZLL", {link(120501.0f, 120502.0f), link(123700.5f, 123701.0f)});
    write_link_data_base("AB1212ZZ.ZLL", {link(123700.5f, 123701.0f), link(121201.0f, 121202.0f)});
    write_link_data_base("AB1237ZZ.ZLL", {link(123699.0f, 123700.0f), link(123700.0f, 123701.0f)});
    write_link_data_base("AB1337ZZ.ZLL", {link(133701.0f, 133702.0f)});

    struct Case {
        const char* what;
        float upstream;
        float downstream;
        const char* given;
        int status;
        std::string file_name;
    };
    const Case cases[] = {
        {"only in map 37", 123700.0f, 123701.0f, "AB1205ZZ.ZLL", 0, padded("AB1237ZZ.ZLL")},
        {"in maps 05 and 12: 05 wins", 123700.5f, 123701.0f, "AB1212ZZ.ZLL", 0, padded("AB1205ZZ.ZLL")},
        {"found in the given map's own file", 121201.0f, 121202.0f, "AB1212ZZ.ZLL", 0, padded("AB1212ZZ.ZLL")},
        {"the nodes swapped match nothing", 123701.0f, 123700.0f, "AB1237ZZ.ZLL", SEARCH_NOT_FOUND, "AB1237ZZ.ZLL"},
        {"a near node number matches nothing", 123700.0f, 123701.1f, "AB1237ZZ.ZLL", SEARCH_NOT_FOUND, "AB1237ZZ.ZLL"},
        {"another region's file is not a candidate", 133701.0f, 133702.0f, "AB1205ZZ.ZLL", SEARCH_NOT_FOUND,
         "AB1205ZZ.ZLL"},
        {"a region without any file", 993701.0f, 993702.0f, "AB9901ZZ.ZLL", SEARCH_NOT_FOUND, "AB9901ZZ.ZLL"},
        {"a blank-padded given name", 123700.0f, 123701.0f, "AB1299ZZ.ZLL      ", 0, padded("AB1237ZZ.ZLL")},
    };
    for (const Case& c : cases) {
        const LinkSearchResult result = find_link_in_data_bases(c.upstream, c.downstream, c.given, index);
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.file_name, c.file_name) << c.what;
    }
}

// The files of a region are read once: later searches answer from memory
// until the index is told to forget.
TEST_F(LinkSearch, ReadsARegionOnce)
{
    write_link_data_base("AB1203ZZ.ZLL", {link(120301.0f, 120302.0f)});
    EXPECT_TRUE(find_link_in_data_bases(120301.0f, 120302.0f, "AB1200ZZ.ZLL", index).found());
    std::filesystem::remove("AB1203ZZ.ZLL");
    EXPECT_TRUE(find_link_in_data_bases(120301.0f, 120302.0f, "AB1203ZZ.ZLL", index).found());
    index.forget();
    EXPECT_EQ(find_link_in_data_bases(120301.0f, 120302.0f, "AB1203ZZ.ZLL", index).status, SEARCH_NOT_FOUND);
}

// A record that cannot be read stops a search only when the search gets to
// it: a link found in the lines before it, or in a file before it, is found.
TEST_F(LinkSearch, UnreadableRecordStopsOnlySearchesThatReachIt)
{
    write_link_data_base("AB1201ZZ.ZLL", {link(120101.0f, 120102.0f)});
    const std::string good = link_record_line(link(120301.0f, 120302.0f));
    TemporaryDirectory::put("AB1203ZZ.ZLL", good + "\r\n" + "120303.0 120304.0 BAD\r\n");
    write_link_data_base("AB1208ZZ.ZLL", {link(120801.0f, 120802.0f)});

    EXPECT_EQ(find_link_in_data_bases(120101.0f, 120102.0f, "AB1200ZZ.ZLL", index).file_name, padded("AB1201ZZ.ZLL"));
    EXPECT_EQ(find_link_in_data_bases(120301.0f, 120302.0f, "AB1200ZZ.ZLL", index).file_name, padded("AB1203ZZ.ZLL"));
    for (const float upstream : {120801.0f, 999999.0f}) {
        try {
            find_link_in_data_bases(upstream, upstream + 1.0f, "AB1200ZZ.ZLL", index);
            ADD_FAILURE() << "the unreadable record was passed over";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("AB1203ZZ.ZLL"), std::string::npos) << message;
            EXPECT_NE(message.find("line 2"), std::string::npos) << message;
        }
    }
}

// The candidates are looked for in the study's data directory; the name
// returned is without it.
TEST_F(LinkSearch, LooksInTheDataDirectory)
{
    std::filesystem::create_directory("plans");
    TemporaryDirectory::put("ABMPDZZ.ZZZ", "plans\\STUDY.TXT\r\n");
    write_link_data_base("plans/AB1242ZZ.ZLL", {link(124201.0f, 124202.0f)});
    const LinkSearchResult result = find_link_in_data_bases(124201.0f, 124202.0f, "AB1200ZZ.ZLL", index);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.file_name, padded("AB1242ZZ.ZLL"));
    EXPECT_EQ(result.name(), "AB1242ZZ.ZLL") << "the name the data base is opened by";
}

// During a run the search takes the node pairs of the files the run's link
// table read, and reads a file again only where a rewrite rounded one of its
// node numbers (the search finds the pairs as the files stood before the run).
TEST_F(LinkSearch, TakesTheRunsLinkTableWhereItHoldsTheFilesNodePairs)
{
    write_link_data_base("AB1205ZZ.ZLL", {link(120501.0f, 120502.0f)});
    // A node number of more decimals than its field writes.
    std::string line = link_record_line(link(121201.0f, 121202.0f));
    line.replace(static_cast<std::size_t>(LinkRecord::field(1).start), 8, "121201.25");
    TemporaryDirectory::put("AB1212ZZ.ZLL", line + "\r\n");
    LinkTable table;
    (void)table.file("AB1205ZZ.ZLL", FilePresence::MustExist);
    LinkTable::File& rounded = table.file("AB1212ZZ.ZLL", FilePresence::MustExist);
    table.store(rounded, "AB1212ZZ.ZLL");  // F8.1: 121201.2
    ASSERT_EQ(rounded.records[0].upstream_node(), 121201.2f);
    // The table's records stand for the file from now on.
    write_link_data_base("AB1205ZZ.ZLL", {link(1.0f, 2.0f)});

    LinkSearchIndex search(directory, table);
    EXPECT_EQ(find_link_in_data_bases(120501.0f, 120502.0f, "AB1237ZZ.ZLL", search).name(), "AB1205ZZ.ZLL");
    EXPECT_FALSE(find_link_in_data_bases(1.0f, 2.0f, "AB1237ZZ.ZLL", search).found());
    EXPECT_EQ(find_link_in_data_bases(121201.25f, 121202.0f, "AB1237ZZ.ZLL", search).name(), "AB1212ZZ.ZLL");
    EXPECT_FALSE(find_link_in_data_bases(121201.2f, 121202.0f, "AB1237ZZ.ZLL", search).found());
}

}  // namespace
}  // namespace velm
