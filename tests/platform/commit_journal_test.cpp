// The recovery acts on a commit journal only when it is the program's own: a
// regular file with its marked first and closing lines, naming plain files
// of the study's directories and their hidden versions.  Any other journal
// changes nothing, inside the study or outside it, and is named with its
// fault.
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/study_lock.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;

const std::string JOURNAL(RUN_COMMIT_JOURNAL);

// A study in "study/" (made the working directory), with its data
// directory "study/data/", and a file of the engineer's beside the study.
class CommitJournalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemporaryDirectory::put("x", "a file outside the study\r\n");
        TemporaryDirectory::put("journal.txt", valid_journal());
        TemporaryDirectory::put("study/SA2301ZZ.ZLL", "links\r\n");
        TemporaryDirectory::put("study/SAcontzz.zzz", "controls\r\n");
        TemporaryDirectory::put("study/.SA2301ZZ.ZLL.velm-run", "new links\r\n");
        TemporaryDirectory::put("study/.SA2301ZZ.ZNN.velm-run", "a leftover\r\n");
        TemporaryDirectory::put("study/data/SA2301ZZ.Z11", "model\r\n");
        TemporaryDirectory::put("study/data/.SA2301ZZ.Z11.velm-run", "new model\r\n");
        fs::current_path("study");
    }
    static std::string valid_journal()
    {
        return "velmora commit journal 1\nfinish\n.SA2301ZZ.ZLL.velm-run\nSA2301ZZ.ZLL\n\n"
               "data/.SA2301ZZ.Z11.velm-run\ndata/SA2301ZZ.Z11\n\nend\n";
    }
    TemporaryDirectory directory_;
};

std::string entry(const std::string& new_version, const std::string& file, const std::string& old_version)
{
    return new_version + "\n" + file + "\n" + old_version + "\n";
}

std::string journal_of(const std::string& entries)
{
    return "velmora commit journal 1\nfinish\n" + entries + "end\n";
}

TEST_F(CommitJournalTest, AJournalNotTheProgramsOwnChangesNothingAndIsNamed)
{
    const std::string outside = fs::absolute("../x").lexically_normal().string();
    struct Case {
        const char* name;
        std::string journal;  // the bytes at the journal's name
        const char* link_to;  // or a symbolic link there to this
        const char* fault;
    };
    const std::vector<Case> cases = {
        {"no header: the control file over a link data base", "SAcontzz.zzz\nSA2301ZZ.ZLL\n", nullptr,
         "does not begin with the line \"velmora commit journal 1\""},
        {"no closing line", valid_journal().substr(0, valid_journal().size() - 4), nullptr,
         "does not end with its closing line \"end\""},
        {"cut within a line", valid_journal().substr(0, 40), nullptr, "does not end with its closing line"},
        {"neither finish nor undo", "velmora commit journal 1\nredo\n" + entry(".SA2301ZZ.ZLL.velm-run", "SA2301ZZ.ZLL", "") + "end\n",
         nullptr, "neither \"finish\" nor \"undo\""},
        {"an entry cut short", journal_of(".SA2301ZZ.ZLL.velm-run\nSA2301ZZ.ZLL\n"), nullptr, "no whole entries"},
        {"a name outside the study", journal_of(entry("../.x.velm-run", "../x", "../.x.velm-old")), nullptr,
         "line 4 names '../x', which is no file of the study"},
        {"an absolute name",
         journal_of(entry(fs::path(outside).parent_path().string() + "/.x.velm-run", outside, "")), nullptr,
         "which is no file of the study"},
        {"a \"..\" within a data directory's name",
         journal_of(entry("data/../../.x.velm-run", "data/../../x", "")), nullptr,
         "names 'data/../../x', which is no file of the study"},
        {"a new version not of the hidden form: the control file over the links",
         journal_of(entry("SAcontzz.zzz", "SA2301ZZ.ZLL", ".SA2301ZZ.ZLL.velm-old")), nullptr,
         "line 3 names 'SAcontzz.zzz', which is no new version of 'SA2301ZZ.ZLL'"},
        {"a new version beside another file",
         journal_of(entry(".SA2301ZZ.ZNN.velm-run", "SA2301ZZ.ZLL", "")), nullptr,
         "which is no new version of 'SA2301ZZ.ZLL'"},
        {"an old version not of the hidden form: a missing new version deletes the controls",
         journal_of(entry(".SA2301ZZ.ZZZ.velm-run", "SA2301ZZ.ZZZ", "SAcontzz.zzz")), nullptr,
         "line 5 names 'SAcontzz.zzz', which is no kept old version of 'SA2301ZZ.ZZZ'"},
        {"a removal without its old version kept", journal_of(entry("", "SAcontzz.zzz", "")), nullptr,
         "removes 'SAcontzz.zzz' without keeping its old version"},
        {"a hidden file as the file", journal_of(entry("..velmora.lock.velm-run", ".velmora.lock", "")), nullptr,
         "which is no file of the study"},
        {"a symbolic link to a valid journal", "", "../journal.txt", "is a symbolic link"},
        {"a symbolic link to a file outside", "", "../x", "is a symbolic link"},
        {"a dangling symbolic link", "", "../missing", "is a symbolic link"},
        {"garbage bytes", std::string("\x00\xff\x1a\r\nfinish\n\x7f", 9), nullptr, "does not end with its closing line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.link_to != nullptr) {
            fs::create_symlink(c.link_to, JOURNAL);
        } else {
            TemporaryDirectory::put(JOURNAL, c.journal);
        }
        const auto before = TemporaryDirectory::snapshot("..");
        try {
            recover_interrupted_changes({".", "data/"});
            ADD_FAILURE() << "the journal was acted on";
        } catch (const UntrustedJournal& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("Commit journal '.velmora-run.commit' ", 0), 0u) << message;
            EXPECT_NE(message.find(c.fault), std::string::npos) << message;
        }
        EXPECT_EQ(TemporaryDirectory::snapshot(".."), before);
        EXPECT_TRUE(fs::is_symlink(JOURNAL) == (c.link_to != nullptr));
        fs::remove(JOURNAL);
    }
}

// The journal a commit writes is one the recovery takes for its own: a
// commit stopped with its journal written is finished at the next start,
// in the working directory and in a data directory named as the data
// directory file names it.
TEST_F(CommitJournalTest, TheProgramsOwnJournalIsFinished)
{
    TemporaryDirectory::put(JOURNAL, valid_journal());
    recover_interrupted_changes({".", "data/"});
    EXPECT_EQ(TemporaryDirectory::get("SA2301ZZ.ZLL"), "new links\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/SA2301ZZ.Z11"), "new model\r\n");
    EXPECT_FALSE(fs::exists(JOURNAL));
    EXPECT_FALSE(fs::exists(".SA2301ZZ.ZNN.velm-run"));

    // A data directory named with an absolute name and backslashes.
    const std::string data = fs::absolute("data").string();
    TemporaryDirectory::put(data + "/.SA2301ZZ.Z11.velm-run", "newer model\r\n");
    TemporaryDirectory::put(JOURNAL, journal_of(entry(data + "/.SA2301ZZ.Z11.velm-run", data + "/SA2301ZZ.Z11", "")));
    std::string named = data + "/";
    for (char& c : named)
        if (c == '/') c = '\\';
    recover_interrupted_changes({".", "D:" + named});
    EXPECT_EQ(TemporaryDirectory::get("data/SA2301ZZ.Z11"), "newer model\r\n");
    EXPECT_FALSE(fs::exists(JOURNAL));
}

// The lock file is the program's, not a leftover of a change.
TEST_F(CommitJournalTest, TheLockFileIsNoLeftover)
{
    StudyLock lock;
    ASSERT_FALSE(lock.take({".", "data/"}).has_value());
    lock.write_holder("velmora lock: process 1, machine m, started 2024-01-02 03:04:05\n");
    remove_run_leftovers({".", "data/"});
    EXPECT_TRUE(fs::exists(STUDY_LOCK_FILE));
    EXPECT_TRUE(fs::exists("data/" + std::string(STUDY_LOCK_FILE)));
    EXPECT_FALSE(fs::exists(".SA2301ZZ.ZNN.velm-run"));
    lock.release();
    EXPECT_FALSE(fs::exists(STUDY_LOCK_FILE));
    EXPECT_FALSE(fs::exists("data/" + std::string(STUDY_LOCK_FILE)));
}

}  // namespace
}  // namespace velm
