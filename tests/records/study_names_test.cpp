#include "records/study_names.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

// Each test runs in its own empty working directory, where the data directory
// file is looked up.
class StudyNames : public ::testing::Test {
protected:
    test::TemporaryDirectory directory_;
    DataDirectoryCache cache;
};

TEST_F(StudyNames, WithoutDataDirectoryFileNamesStayAsBuilt)
{
    EXPECT_EQ(add_data_directory(cache, "ABcontzz.zzz"), "ABcontzz.zzz");
    EXPECT_EQ(cache.state, NO_DIRECTORY_FILE);
    // Looked up once: a file that appears later in the run is not seen.
    directory_.put("ABMPDZZ.ZZZ", "C:\\PLANS\\AB\\STUDY.TXT\r\n");
    EXPECT_EQ(add_data_directory(cache, "ABTRVLZZ.DIA"), "ABTRVLZZ.DIA");
}

TEST_F(StudyNames, PrefixIsTheDirectoryPartOfTheFirstLine)
{
    struct Case {
        const char* first_line;
        const char* expected;  // the control file name of study AB
    };
    const Case cases[] = {
        {"C:\\PLANS\\AB\\STUDY.TXT", "C:\\PLANS\\AB\\ABcontzz.zzz"},
        {"D:\\X\\", "D:\\X\\ABcontzz.zzz"},
        {"plans/AB/study.txt", "plans/AB/ABcontzz.zzz"},
        {"D:", "ABcontzz.zzz"},  // no separator: no directory
        {"STUDY.TXT", "ABcontzz.zzz"},
        {"", "ABcontzz.zzz"},
        // Only the first 50 characters of the line hold the path.
        {"C:\\DIR\\xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\\STUDY.TXT", "C:\\DIR\\ABcontzz.zzz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first_line);
        directory_.put("ABMPDZZ.ZZZ", std::string(c.first_line) + "\r\nD:\\OTHER\\\r\n");
        DataDirectoryCache fresh;
        EXPECT_EQ(add_data_directory(fresh, "ABcontzz.zzz"), c.expected);
    }
}

TEST_F(StudyNames, EmptyDataDirectoryFileGivesNoDirectory)
{
    directory_.put("ABMPDZZ.ZZZ", "");
    EXPECT_EQ(add_data_directory(cache, "ABcontzz.zzz"), "ABcontzz.zzz");
    EXPECT_EQ(add_data_directory(cache, "AB0101ZZ.ZLL"), "AB0101ZZ.ZLL");
}

TEST_F(StudyNames, FileIsLookedUpOnceUnderTheFirstNamesStudy)
{
    directory_.put("abmpdzz.zzz", "C:\\PLANS\\AB\\STUDY.TXT\r\n");

    // The first name belongs to study CD, which has no data directory file:
    // study AB's names later in the run stay as built too.
    EXPECT_EQ(add_data_directory(cache, "CDcontzz.zzz"), "CDcontzz.zzz");
    EXPECT_EQ(add_data_directory(cache, "ABcontzz.zzz"), "ABcontzz.zzz");

    // After a reset the look-up is made again, under study AB (in whatever
    // case its file name is written), and its directory then serves every name.
    cache.reset();
    EXPECT_EQ(add_data_directory(cache, "ABcontzz.zzz"), "C:\\PLANS\\AB\\ABcontzz.zzz");
    EXPECT_EQ(add_data_directory(cache, "s12346.tmp"), "C:\\PLANS\\AB\\s12346.tmp");
    directory_.put("abmpdzz.zzz", "E:\\ELSEWHERE\\\r\n");
    EXPECT_EQ(add_data_directory(cache, "ABTRVLZZ.DIA"), "C:\\PLANS\\AB\\ABTRVLZZ.DIA");
}

// A long directory leaves the built name whole, so the file is reached; only
// the name shown on screen or in a file is cut to 50 characters.
TEST_F(StudyNames, LongDirectoryKeepsTheWholeNameForTheFile)
{
    const std::string directory = "STUDIES\\DOWNTOWN\\MASTERPLAN2026\\SCENARIOB\\";  // 42 characters
    ASSERT_EQ(directory.size(), 42u);
    directory_.put("ABMPDZZ.ZZZ", directory + "\r\n");
    directory_.put("STUDIES/DOWNTOWN/MASTERPLAN2026/SCENARIOB/ABcontzz.zzz", "1.0\r\n");

    const std::string name = add_data_directory(cache, "ABcontzz.zzz");
    EXPECT_EQ(name, directory + "ABcontzz.zzz");
    EXPECT_TRUE(file_exists(name));

    const std::string shown = directory + "ABcontzz";
    EXPECT_EQ(shown_file_name(name), shown);
    EXPECT_EQ(padded_file_name(name), shown);
    EXPECT_EQ(shown_file_name("ABcontzz.zzz"), "ABcontzz.zzz");
    EXPECT_EQ(padded_file_name("ABcontzz.zzz"), "ABcontzz.zzz" + std::string(38, ' '));
}

TEST(ReplaceFileExtension, StemBeforeFirstPeriodOrBlankTakesTheExtension)
{
    const std::string stem45(45, 'S');
    const std::string stem46(46, 'S');
    struct Case {
        std::string name;
        const char* extension;
        std::string expected;
    };
    const Case cases[] = {
        {"AB0101ZZ", "ZLL", "AB0101ZZ.ZLL"},
        {"AB0101ZZ.ZNN", "ZLL", "AB0101ZZ.ZLL"},
        {"A B.X", "ZLL", "A.ZLL"},
        {"AB0101ZZ" + std::string(42, ' '), "zzl", "AB0101ZZ.zzl"},  // a padded 50-character name
        {"AB0101ZZ.Z11", "zzn", "AB0101ZZ.zzn"},
        {stem45 + ".ABC", "ZLL", stem45 + ".ZLL"},
        {stem46 + ".ABC", "ZLL", stem46},  // no room left for the extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(replace_file_extension(c.name, c.extension), c.expected);
    }
}

// The identifier fills the A2 field of the layout: a longer text gives its
// first two characters, a shorter one is padded with a blank.
TEST(StudyFileName, IdentifierFillsTheTwoCharacterField)
{
    struct Case {
        const char* layout;
        const char* study_id;
        const char* expected;
    };
    const Case cases[] = {
        {"(A2,'TRVLZZ.DIA')", "AB", "ABTRVLZZ.DIA"},
        {"(A2,'contzz.zzz')", "AB0101ZZ", "ABcontzz.zzz"},
        {"(A2,'SETHZZ.ZZZ')", "A", "A SETHZZ.ZZZ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(study_file_name(c.layout, c.study_id), c.expected);
    }
}

}  // namespace
}  // namespace velm
