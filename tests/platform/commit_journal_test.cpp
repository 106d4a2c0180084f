// The recovery acts on a commit journal only when it is the program's own: a
// regular file with its marked first and closing lines, naming plain files
// of the study's directories, each once, and their hidden versions letter
// for letter, beside files and versions that stand as an interrupted commit
// leaves them.  Any other journal changes nothing, inside the study or
// outside it, and is named with its fault.
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stop.h"
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
    void SetUp() override { lay_out(); }
    // The study as at the start, laid out again from nothing.
    void lay_out()
    {
        fs::current_path(directory_.path());
        for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
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

std::string undo_journal_of(const std::string& entries)
{
    return "velmora commit journal 1\nundo\n" + entries + "end\n";
}

// Everything under the directory as it stands, never through a link: each
// file with its bytes, each link with where it points, each directory and
// fifo.  Two states are equal when nothing was changed, added or removed.
std::map<std::string, std::string> disk_state(const fs::path& directory)
{
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
        const std::string name = fs::relative(entry.path(), directory).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_symlink(status)) {
            state[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_regular_file(status)) {
            state[name] = "file: " + TemporaryDirectory::get(entry.path());
        } else {
            state[name] = fs::is_directory(status) ? "directory" : "other";
        }
    }
    return state;
}

// The hidden versions of the link data base as a commit of it leaves them:
// its kept old version (a link to the file).
void keep_old_links()
{
    fs::create_hard_link("SA2301ZZ.ZLL", ".SA2301ZZ.ZLL.velm-old");
}

const std::string LINKS_NEW = ".SA2301ZZ.ZLL.velm-run";
const std::string LINKS_OLD = ".SA2301ZZ.ZLL.velm-old";

TEST_F(CommitJournalTest, AJournalNotTheProgramsOwnChangesNothingAndIsNamed)
{
    const std::string outside = fs::absolute("../x").lexically_normal().string();
    struct Case {
        const char* name;
        std::string journal;  // the bytes at the journal's name
        const char* link_to;  // or a symbolic link there to this
        const char* fault;
        std::function<void()> plant = {};  // the hidden files, as they stand for the case
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

        // Journals of the program's layout that no commit of it could have
        // left beside the files as they stand.
        {"a new version that is a symbolic link to a file outside",
         journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 3 names '.SA2301ZZ.ZLL.velm-run', which is a symbolic link, not a file the program wrote",
         [] {
             fs::remove(LINKS_NEW);
             fs::create_symlink("../x", LINKS_NEW);
             keep_old_links();
         }},
        {"a kept old version that is a symbolic link to a file outside, on undo",
         undo_journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 5 names '.SA2301ZZ.ZLL.velm-old', which is a symbolic link",
         [] { fs::create_symlink("../x", LINKS_OLD); }},
        {"a new version that is a fifo", journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 3 names '.SA2301ZZ.ZLL.velm-run', which is a fifo",
         [] {
             fs::remove(LINKS_NEW);
             ASSERT_EQ(mkfifo(LINKS_NEW.c_str(), 0644), 0);
             keep_old_links();
         }},
        {"a new version that is a directory", journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 3 names '.SA2301ZZ.ZLL.velm-run', which is a directory",
         [] {
             fs::remove(LINKS_NEW);
             TemporaryDirectory::put(LINKS_NEW + "/inside", "in a directory\r\n");
             keep_old_links();
         }},
        {"a kept old version that is a directory, on undo",
         undo_journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 5 names '.SA2301ZZ.ZLL.velm-old', which is a directory",
         [] { TemporaryDirectory::put(LINKS_OLD + "/inside", "in a directory\r\n"); }},
        {"a file named twice, on undo",
         undo_journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD) + entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)),
         nullptr, "line 7 names 'SA2301ZZ.ZLL', the file that line 4 names already", keep_old_links},
        {"a file named twice in two letter cases",
         journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD) + entry("", "sa2301zz.zll", ".sa2301zz.zll.velm-old")),
         nullptr, "line 7 names 'sa2301zz.zll', the file that line 4 names already", keep_old_links},
        {"a file named twice by two roads",
         journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", "") + entry("./" + LINKS_NEW, "./SA2301ZZ.ZLL", "")), nullptr,
         "line 7 names './SA2301ZZ.ZLL', the file that line 4 names already"},
        {"a removal whose kept old version is missing", journal_of(entry("", "SA2301ZZ.ZLL", LINKS_OLD)), nullptr,
         "line 5 names '.SA2301ZZ.ZLL.velm-old', the kept old version of 'SA2301ZZ.ZLL', which is missing while the "
         "file is not replaced yet"},
        {"a replacement whose kept old version is missing", journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD)),
         nullptr, "line 5 names '.SA2301ZZ.ZLL.velm-old', the kept old version of 'SA2301ZZ.ZLL', which is missing"},
        {"a removal whose kept old version and file are missing, on undo",
         undo_journal_of(entry("", "SA2301ZZ.ZQQ", ".SA2301ZZ.ZQQ.velm-old")), nullptr,
         "line 5 names '.SA2301ZZ.ZQQ.velm-old', the kept old version of 'SA2301ZZ.ZQQ', which is missing, and so is "
         "the file"},
        {"a new file standing neither as itself nor as its new version",
         journal_of(entry(".SA2301ZZ.ZQQ.velm-run", "SA2301ZZ.ZQQ", "")), nullptr,
         "line 4 names 'SA2301ZZ.ZQQ', which stands neither as the file nor as its new version"},
        {"a file and its new version named in another letter case",
         journal_of(entry(".SA2301Zz.ZLL.velm-run", "SA2301Zz.ZLL", "")), nullptr,
         "line 3 names '.SA2301Zz.ZLL.velm-run', which stands only in another letter case, as "
         "'.SA2301ZZ.ZLL.velm-run'"},
        {"a data directory's file in another letter case",
         journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", "") +
                    entry("data/.sa2301zz.z11.velm-run", "data/sa2301zz.z11", "")),
         nullptr, "line 6 names 'data/.sa2301zz.z11.velm-run', which stands only in another letter case"},
        {"a new version in another letter case than its file",
         journal_of(entry(".SA2301Zz.ZLL.velm-run", "SA2301ZZ.ZLL", "")), nullptr,
         "line 3 names '.SA2301Zz.ZLL.velm-run', which is no new version of 'SA2301ZZ.ZLL'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lay_out();
        if (c.plant) c.plant();
        if (c.link_to != nullptr) {
            fs::create_symlink(c.link_to, JOURNAL);
        } else {
            TemporaryDirectory::put(JOURNAL, c.journal);
        }
        const auto before = disk_state("..");
        try {
            recover_interrupted_changes({".", "data/"});
            ADD_FAILURE() << "the journal was acted on";
        } catch (const UntrustedJournal& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("Commit journal '.velmora-run.commit' ", 0), 0u) << message;
            EXPECT_NE(message.find(c.fault), std::string::npos) << message;
        }
        EXPECT_EQ(disk_state(".."), before);
        EXPECT_TRUE(fs::is_symlink(JOURNAL) == (c.link_to != nullptr));
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

// Every state in which a commit or its undo, interrupted, leaves a file and
// its versions is taken for the program's own: the commit is finished, or
// undone, whole.
TEST_F(CommitJournalTest, EveryStateAnInterruptedCommitLeavesIsTakenForItsOwn)
{
    struct Case {
        const char* name;
        std::string journal;
        std::function<void()> plant;  // the files as the interrupted commit left them
        const char* links;            // the link data base after the next start
        const char* controls;         // the control file after it, nullptr: removed
    };
    const std::string controls_new = ".SAcontzz.zzz.velm-run";
    const std::string controls_old = ".SAcontzz.zzz.velm-old";
    const std::string both =
        entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD) + entry(controls_new, "SAcontzz.zzz", controls_old);
    const auto links_renamed = [] {
        keep_old_links();
        fs::rename(LINKS_NEW, "SA2301ZZ.ZLL");
    };
    const auto controls_kept = [&] {
        fs::create_hard_link("SAcontzz.zzz", controls_old);
        TemporaryDirectory::put(controls_new, "new controls\r\n");
    };
    const std::vector<Case> cases = {
        {"finish: the first file replaced, the second not", journal_of(both),
         [&] {
             links_renamed();
             controls_kept();
         },
         "new links\r\n", "new controls\r\n"},
        {"finish: a file removed, its old version kept",
         journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD) + entry("", "SAcontzz.zzz", controls_old)),
         [&] {
             keep_old_links();
             fs::rename("SAcontzz.zzz", controls_old);
         },
         "new links\r\n", nullptr},
        {"finish: a file replaced whose old version is gone", journal_of(both),
         [&] {
             fs::rename(LINKS_NEW, "SA2301ZZ.ZLL");
             controls_kept();
         },
         "new links\r\n", "new controls\r\n"},
        {"undo: the first old file back, its new version not yet removed; the second file still new",
         undo_journal_of(both),
         [&] {
             controls_kept();
             fs::rename(controls_new, "SAcontzz.zzz");
         },
         "links\r\n", "controls\r\n"},
        {"undo: a replaced file and a removed file to put back",
         undo_journal_of(entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD) + entry("", "SAcontzz.zzz", controls_old)),
         [&] {
             links_renamed();
             fs::rename("SAcontzz.zzz", controls_old);
         },
         "links\r\n", "controls\r\n"},
        {"undo: every old file back, the journal not yet removed", undo_journal_of(both), [] {}, "links\r\n",
         "controls\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lay_out();
        c.plant();
        TemporaryDirectory::put(JOURNAL, c.journal);
        EXPECT_NO_THROW(recover_interrupted_changes({".", "data/"}));
        EXPECT_EQ(TemporaryDirectory::get("SA2301ZZ.ZLL"), c.links);
        if (c.controls != nullptr) {
            EXPECT_EQ(TemporaryDirectory::get("SAcontzz.zzz"), c.controls);
        } else {
            EXPECT_FALSE(fs::exists("SAcontzz.zzz"));
        }
        EXPECT_EQ(TemporaryDirectory::get("data/SA2301ZZ.Z11"), "model\r\n");
        for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
            EXPECT_NE(fs::path(name).filename().string().front(), '.') << name << " left behind";
    }
}

// An earlier release's commit kept a fifo standing at a file's name as the
// file's old version (a second name of the fifo).  Its journal, interrupted,
// is still the program's own: it is finished, or undone, whole; the fifo
// holds nothing of the study and is never put back, and nothing hidden is
// left.
TEST_F(CommitJournalTest, AnEarlierJournalKeepingAFifoAsAnOldVersionIsFinishedOrUndone)
{
    struct Case {
        const char* name;
        std::string journal;
        bool replaced;      // the commit had renamed or removed the file
        const char* links;  // what stands at the link data base's name after the next start, nullptr: nothing
    };
    const std::string replacement = entry(LINKS_NEW, "SA2301ZZ.ZLL", LINKS_OLD);
    const std::string removal = entry("", "SA2301ZZ.ZLL", LINKS_OLD);
    const std::vector<Case> cases = {
        {"finish: the fifo not yet replaced", journal_of(replacement), false, "file: new links\r\n"},
        {"finish: the fifo replaced", journal_of(replacement), true, "file: new links\r\n"},
        {"undo: the fifo not yet replaced", undo_journal_of(replacement), false, "other"},
        {"undo: the fifo replaced, and not put back", undo_journal_of(replacement), true, nullptr},
        {"finish: the fifo not yet removed", journal_of(removal), false, nullptr},
        {"undo: the fifo not yet removed", undo_journal_of(removal), false, "other"},
        {"undo: the fifo removed, and not put back", undo_journal_of(removal), true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lay_out();
        fs::remove("SA2301ZZ.ZLL");
        ASSERT_EQ(mkfifo("SA2301ZZ.ZLL", 0644), 0);
        keep_old_links();
        if (c.replaced && c.journal.find(replacement) != std::string::npos) {
            fs::rename(LINKS_NEW, "SA2301ZZ.ZLL");
        } else if (c.replaced) {
            fs::remove("SA2301ZZ.ZLL");
        }
        TemporaryDirectory::put(JOURNAL, c.journal);
        EXPECT_NO_THROW(recover_interrupted_changes({".", "data/"}));
        const auto after = disk_state(".");
        const auto links = after.find("SA2301ZZ.ZLL");
        if (c.links == nullptr) {
            EXPECT_TRUE(links == after.end()) << links->second;
        } else {
            EXPECT_TRUE(links != after.end() && links->second == c.links);
        }
        EXPECT_EQ(after.at("SAcontzz.zzz"), "file: controls\r\n");
        EXPECT_EQ(after.at("data/SA2301ZZ.Z11"), "file: model\r\n");
        for (const auto& [name, what] : after)
            EXPECT_NE(fs::path(name).filename().string().front(), '.') << name << " left behind";
    }
}

// A commit names each file once, letter for letter as the disk has it, and
// keeps every old file as a regular file, even when the change named a file
// twice (written and removed, or by two roads), the file was found again in
// another letter case since its new version was made, or it stands behind a
// symbolic link: stopped at any step, its journal is taken for the
// program's own and the file is before or after.
TEST_F(CommitJournalTest, ACommitOfAFileNamedTwiceOrRenamedIsTakenForTheProgramsOwn)
{
    struct Case {
        const char* name;
        std::function<void(FileChange&)> change;  // up to the commit
        const char* file;                         // the file as it stands after the commit
        const char* after;                        // its bytes after the commit, nullptr: removed
        const char* before = "links\r\n";         // its bytes before
    };
    const std::vector<Case> cases = {
        {"written and removed",
         [](FileChange& change) {
             change.write("SA2301ZZ.ZLL", "newer links\r\n");
             change.remove("SA2301ZZ.ZLL");
         },
         "SA2301ZZ.ZLL", nullptr},
        {"written by two roads",
         [](FileChange& change) {
             change.write("SA2301ZZ.ZLL", "newer links\r\n");
             change.write("./SA2301ZZ.ZLL", "newer links\r\n");
         },
         "SA2301ZZ.ZLL", "newer links\r\n"},
        {"renamed in another letter case before the commit",
         [](FileChange& change) {
             change.write("SA2301ZZ.ZLL", "newer links\r\n");
             fs::rename("SA2301ZZ.ZLL", "sa2301zz.zll");
         },
         "sa2301zz.zll", "newer links\r\n"},
        {"standing behind a symbolic link",
         [](FileChange& change) {
             fs::remove("SA2301ZZ.ZLL");
             fs::create_symlink("../x", "SA2301ZZ.ZLL");
             change.write("SA2301ZZ.ZLL", "newer links\r\n");
         },
         "SA2301ZZ.ZLL", "newer links\r\n", "a file outside the study\r\n"},
    };
    for (const Case& c : cases) {
        bool completed = false;
        for (long step = 1; !completed; ++step) {
            SCOPED_TRACE(std::string(c.name) + ", stopped at step " + std::to_string(step));
            ASSERT_LT(step, 30);
            lay_out();
            stop_change_at_step(step);
            try {
                FileChange change;
                c.change(change);
                change.commit();
            } catch (const ProgramStop&) {
            }
            completed = change_steps_taken() < step;
            stop_change_at_step(0);
            // Past its commit point (its journal says "finish") the next
            // start finishes the change; before it, the change is undone.
            const bool committed = fs::exists(JOURNAL) &&
                                   TemporaryDirectory::get(JOURNAL).find("\nfinish\n") != std::string::npos;
            EXPECT_NO_THROW(recover_interrupted_changes({".", "data/"}));
            // The file in whatever letter case it stands in now.
            const fs::path file = resolve_file_name(c.file);
            const bool there = fs::exists(file);
            const std::string bytes = TemporaryDirectory::get(file);
            if (completed || committed) {
                EXPECT_EQ(file.string(), c.file);
                EXPECT_EQ(there, c.after != nullptr);
                if (c.after != nullptr) {
                    EXPECT_EQ(bytes, c.after);
                }
            } else {
                EXPECT_TRUE(there);
                EXPECT_EQ(bytes, c.before);
            }
            EXPECT_EQ(TemporaryDirectory::get("SAcontzz.zzz"), "controls\r\n");
            EXPECT_EQ(TemporaryDirectory::get("../x"), "a file outside the study\r\n");
            for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
                EXPECT_NE(fs::path(name).filename().string().front(), '.') << name << " left behind";
            if (HasFailure()) return;
        }
    }
}

// A study killed in the middle of a commit and then copied by a tool that
// writes every name in lower case: its journal names files and versions
// that stand only in another letter case now.  The copy is refused with
// nothing changed, never half finished; the study itself is finished.
TEST_F(CommitJournalTest, ALowerCaseCopyOfAKilledStudyIsRefusedWhole)
{
    const auto make_change = [] {
        FileChange change;
        change.write("SA2301ZZ.ZLL", "newer links\r\n");
        change.write("data/SA2301ZZ.Z11", "newer model\r\n");
        change.write("SAcontzz.zzz", "new controls\r\n");
        change.write("SA2301ZZ.ZQQ", "a new file\r\n");
        change.commit();
    };
    // Killed once the link data base is replaced and the others are not.
    for (long step = 1;; ++step) {
        ASSERT_LT(step, 60) << "no step fell after the first rename";
        lay_out();
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            stop_change_at_step(step, ChangeStop::Exit);
            try {
                make_change();
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 1);
        if (fs::exists(JOURNAL) && !fs::exists(LINKS_NEW) && fs::exists(".SAcontzz.zzz.velm-run")) break;
    }
    ASSERT_EQ(TemporaryDirectory::get("SA2301ZZ.ZLL"), "newer links\r\n");

    // The copy, beside the study.
    fs::create_directory("../copy");
    for (const auto& from : fs::recursive_directory_iterator(".")) {
        fs::path to = "../copy";
        for (const fs::path& part : fs::relative(from.path(), ".")) {
            std::string name = part.string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            to /= name;
        }
        if (from.is_directory()) {
            fs::create_directories(to);
        } else {
            fs::copy_file(from.path(), to);
        }
    }
    fs::current_path("../copy");
    const auto before = disk_state("..");
    try {
        recover_interrupted_changes({".", "data/"});
        ADD_FAILURE() << "the copy's journal was acted on";
    } catch (const UntrustedJournal& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Commit journal '.velmora-run.commit' ", 0), 0u) << message;
        EXPECT_NE(message.find("which stands only in another letter case"), std::string::npos) << message;
    }
    EXPECT_EQ(disk_state(".."), before);

    // The study the program killed is its own.
    fs::current_path("../study");
    recover_interrupted_changes({".", "data/"});
    EXPECT_EQ(TemporaryDirectory::get("SA2301ZZ.ZLL"), "newer links\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/SA2301ZZ.Z11"), "newer model\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SAcontzz.zzz"), "new controls\r\n");
    EXPECT_EQ(TemporaryDirectory::get("SA2301ZZ.ZQQ"), "a new file\r\n");
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
