#include "platform/run_outputs.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "platform/files.h"
#include "platform/text_file.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

class RunOutputsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemporaryDirectory::put("ABTRVLZZ.DIA", "earlier report\r\n");
        TemporaryDirectory::put("SETF.ZZZ", "earlier set\r\n");
        TemporaryDirectory::put("data/ABSETCZZ.ZZZ", "earlier table\r\n");
    }
    static std::vector<std::string> all_entries()
    {
        std::vector<std::string> names = TemporaryDirectory::entries(".");
        for (const std::string& name : TemporaryDirectory::entries("data")) names.push_back("data/" + name);
        return names;
    }
    TemporaryDirectory directory_;
};

TEST_F(RunOutputsTest, NewVersionsReplaceTheFilesTogetherOnlyAtTheCommit)
{
    RunOutputs outputs;
    TextWriter report(outputs.new_file("ABTRVLZZ.DIA"));
    report.write_line("new report");
    report.commit();
    write_text_lines(outputs.new_file("data/ABSETCZZ.ZZZ"), {"new table"});
    TextWriter appended = TextWriter::for_append(outputs.changed_file("SETF.ZZZ"));
    appended.write_line("added");
    appended.commit();

    // Until the commit the files are the previous run's; the run itself
    // reads its own new versions, by any letter case of the name.
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "earlier report\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/ABSETCZZ.ZZZ"), "earlier table\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "earlier set\r\n");
    EXPECT_EQ(read_text_lines(outputs.current_file("abtrvlzz.dia")), std::vector<std::string>{"new report"});
    EXPECT_EQ(read_text_lines(outputs.current_file("setf.zzz")), (std::vector<std::string>{"earlier set", "added"}));
    EXPECT_TRUE(outputs.has_new_version("Data/ABSETCZZ.ZZZ"));
    EXPECT_EQ(outputs.current_file("ABSETEZZ.ZZZ"), "ABSETEZZ.ZZZ") << "a file the run did not write";

    outputs.commit();
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "new report\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/ABSETCZZ.ZZZ"), "new table\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "earlier set\r\nadded\r\n");
    EXPECT_EQ(all_entries(), (std::vector<std::string>{"ABTRVLZZ.DIA", "SETF.ZZZ", "data", "data/ABSETCZZ.ZZZ"}));
}

// A read-only output stops the run when it comes to write it, before any
// file is replaced.
TEST_F(RunOutputsTest, AReadOnlyOutputIsRefusedBeforeAnyFileIsReplaced)
{
    chmod("data/ABSETCZZ.ZZZ", 0444);
    {
        RunOutputs outputs;
        write_text_lines(outputs.new_file("ABTRVLZZ.DIA"), {"new report"});
        EXPECT_THROW(outputs.new_file("data/ABSETCZZ.ZZZ"), FileError);
        EXPECT_THROW(outputs.changed_file("data/ABSETCZZ.ZZZ"), FileError);
        EXPECT_THROW(outputs.new_file(R"(DATA\absetczz.zzz)"), FileError) << "named in another case";
    }
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "earlier report\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/ABSETCZZ.ZZZ"), "earlier table\r\n");
    EXPECT_EQ(all_entries(), (std::vector<std::string>{"ABTRVLZZ.DIA", "SETF.ZZZ", "data", "data/ABSETCZZ.ZZZ"}));
}

TEST_F(RunOutputsTest, AStoppedRunLeavesEveryFileAsItWas)
{
    const std::vector<std::string> before = all_entries();
    {
        RunOutputs outputs;
        write_text_lines(outputs.new_file("ABTRVLZZ.DIA"), {"half a report"});
        write_text_lines(outputs.changed_file("SETF.ZZZ"), {"new set"});
        write_text_lines(outputs.new_file("ABSETHZZ.ZZZ"), {"a file the previous run did not have"});
        outputs.new_file("ABSETXZZ.ZZZ");  // asked for, never written
    }                                      // a stop unwinds through here
    EXPECT_EQ(all_entries(), before);
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "earlier report\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "earlier set\r\n");

    RunOutputs unwritten;
    unwritten.new_file("ABTRVLZZ.DIA");
    unwritten.commit();
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "earlier report\r\n") << "nothing written, nothing replaced";
}

// The set knows which new versions the run wrote: a killed run's leftover
// under the same hidden name is not one of them, a new version whose write
// failed is gone, and one written again holds only its last content.
TEST_F(RunOutputsTest, ANewVersionExistsExactlyWhenThisRunWroteIt)
{
    TemporaryDirectory::put(".SETF.ZZZ.velm-run", "a killed run's set, longer than the file\r\n");
    TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "a killed run's report\r\n");
    RunOutputs outputs;
    const std::string set = outputs.new_file("SETF.ZZZ");  // never written
    EXPECT_FALSE(outputs.has_new_version("setf.zzz"));
    EXPECT_EQ(outputs.current_file("setf.zzz"), "setf.zzz");
    EXPECT_FALSE(file_exists(set));
    EXPECT_THROW(read_whole_file(set), FileError);
    TextWriter report = TextWriter::for_append(outputs.changed_file("ABTRVLZZ.DIA"));
    report.write_line("added");
    report.commit();
    EXPECT_EQ(read_text_lines(outputs.current_file("ABTRVLZZ.DIA")),
              (std::vector<std::string>{"earlier report", "added"}));

    // Written long, then short: the short content alone.
    const std::string table = outputs.new_file("data/ABSETCZZ.ZZZ");
    replace_file_atomically(table, std::string(5000, 'x'));
    replace_file_atomically(table, "short\r\n");
    EXPECT_EQ(read_whole_file(outputs.current_file("DATA/ABSETCZZ.ZZZ")), "short\r\n");

    // A write that fails part way (as on a full disk) leaves no new version.
    const std::string index = outputs.new_file("ABSETEZZ.ZZZ");
    replace_file_atomically(index, "first\r\n");
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(replace_file_atomically(index, std::string(100000, 'n')), FileError);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(outputs.has_new_version("ABSETEZZ.ZZZ"));
    EXPECT_FALSE(std::filesystem::exists(index));

    outputs.commit();
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "earlier set\r\n");
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "earlier report\r\nadded\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/ABSETCZZ.ZZZ"), "short\r\n");
    EXPECT_EQ(all_entries(),
              (std::vector<std::string>{".SETF.ZZZ.velm-run", "ABTRVLZZ.DIA", "SETF.ZZZ", "data", "data/ABSETCZZ.ZZZ"}))
        << "the leftover stays for the next run's start to remove";
}

// A file renamed or made by the user while the run works is replaced as it
// is named when the run commits, never doubled by a second name.
TEST_F(RunOutputsTest, TheCommitReplacesEachFileAsItIsNamedThen)
{
    RunOutputs outputs;
    write_text_lines(outputs.new_file("SETF.ZZZ"), {"new set"});
    write_text_lines(outputs.new_file("ABSETHZZ.ZZZ"), {"new h set"});
    std::filesystem::rename("SETF.ZZZ", "Setf.zzz");
    TemporaryDirectory::put("absethzz.zzz", "made by the user\r\n");
    outputs.commit();
    EXPECT_EQ(TemporaryDirectory::get("Setf.zzz"), "new set\r\n");
    EXPECT_EQ(TemporaryDirectory::get("absethzz.zzz"), "new h set\r\n");
    EXPECT_EQ(all_entries(),
              (std::vector<std::string>{"ABTRVLZZ.DIA", "Setf.zzz", "absethzz.zzz", "data", "data/ABSETCZZ.ZZZ"}));
}

TEST_F(RunOutputsTest, AKilledCommitIsFinishedAtTheNextStart)
{
    // A kill after the journal was written and one file was replaced.
    TemporaryDirectory::put(".SETF.ZZZ.velm-run", "new set\r\n");
    TemporaryDirectory::put("ABTRVLZZ.DIA", "new report\r\n");
    TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL), "velmora commit journal 1\nfinish\n"
                                                             ".ABTRVLZZ.DIA.velm-run\nABTRVLZZ.DIA\n\n"
                                                             ".SETF.ZZZ.velm-run\nSETF.ZZZ\n\nend\n");
    finish_interrupted_commit({"."});
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "new report\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "new set\r\n");
    EXPECT_EQ(all_entries(), (std::vector<std::string>{"ABTRVLZZ.DIA", "SETF.ZZZ", "data", "data/ABSETCZZ.ZZZ"}));

    finish_interrupted_commit({"."});  // nothing to finish
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "new set\r\n");
}

TEST_F(RunOutputsTest, LeftoversOfAKilledRunAreRemovedAtTheNextRun)
{
    TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "half a report");
    TemporaryDirectory::put("data/.ABSETCZZ.ZZZ.velm-run", "half a table");
    TemporaryDirectory::put("data/.ABSETCZZ.ZZZ.velm-new", "half a rewrite");
    TemporaryDirectory::put("data/velm-run", "a user's file");
    TemporaryDirectory::put(".profile.velm-run.txt", "a user's file");
    remove_run_leftovers({".", "data/", "missing/"});
    EXPECT_EQ(all_entries(), (std::vector<std::string>{".profile.velm-run.txt", "ABTRVLZZ.DIA", "SETF.ZZZ", "data",
                                                       "data/ABSETCZZ.ZZZ", "data/velm-run"}));
}

}  // namespace
}  // namespace velm
