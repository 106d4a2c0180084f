// A change to several files is all or nothing: stopped or killed at any of
// its steps, and the program started again, every file is as before the
// change or as after it, and no hidden file is left.
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/change_study.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "support/change_steps.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

// Every entry under the directory whose name starts with a period.
std::vector<std::string> hidden_entries()
{
    std::vector<std::string> hidden;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
        if (entry.path().filename().string().front() == '.') hidden.push_back(entry.path().string());
    }
    return hidden;
}

void start_program_again()
{
    stop_change_at_step(0);
    recover_interrupted_changes({".", "data"});
}

class FileChangeTest : public ::testing::Test {
protected:
    void SetUp() override { test::put_change_study(); }
    // A test that fails on its way leaves no stop for the next.
    void TearDown() override { stop_change_at_step(0); }
    TemporaryDirectory directory_;
};

// A change over every kind of file: rewritten whole, in a data directory,
// new, streamed, the history log appended to, and removed (one that is not
// there is left so).
void make_the_change()
{
    FileChange change;
    for (const char* name : {"ab0101zz.zll", "data/AB0101ZZ.Z11", "data/AB0101ZZ.Z12", "NEWFILE.DAT", "ABHISTZZ.DAT"})
        change.reach(name);
    change.write("ab0101zz.zll", "new links\r\n");
    change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
    // A later step reads what an earlier one wrote.
    const std::string event_1 = read_whole_file(change.current_file("data/AB0101ZZ.Z11"));
    change.write("data/AB0101ZZ.Z12", event_1 + "new event 2\r\n");
    NewVersionStream big = change.stream("NEWFILE.DAT");
    for (int k = 0; k < 3000; ++k) big.write("a line of a big output                                          \r\n");
    big.finish();
    change.append("ABHISTZZ.DAT", "the entry of this change\r\n");
    change.remove("data/ABHISTZZ.002");
    change.remove("data/ABHISTZZ.003");
    change.commit();
}

TEST_F(FileChangeTest, StoppedOrKilledAtEveryStepTheFilesAreAsTheJournalDecided)
{
    const Snapshot before = TemporaryDirectory::snapshot();
    stop_change_at_step(0);
    make_the_change();
    // Every write, kept old file, rename and the journal are steps.
    const long steps = change_steps_taken();
    EXPECT_GT(steps, 10);
    const Snapshot after = TemporaryDirectory::snapshot();
    ASSERT_EQ(after.at("ABHISTZZ.DAT"), "an earlier entry\r\nthe entry of this change\r\n");
    ASSERT_EQ(after.at("data/AB0101ZZ.Z12"), "new event 1\r\nnew event 2\r\n");
    ASSERT_EQ(after.at("NEWFILE.DAT").size(), 3000u * 66u);
    ASSERT_EQ(after.count("data/ABHISTZZ.002"), 0u);
    ASSERT_EQ(after.count("data/ABHISTZZ.003"), 0u);
    EXPECT_TRUE(hidden_entries().empty());
    const auto restore = [&before] {
        std::filesystem::remove("NEWFILE.DAT");
        for (const auto& [name, bytes] : before) TemporaryDirectory::put(name, bytes);
    };
    restore();

    test::walk_change_steps(
        steps + 1,
        [] {
            try {
                make_the_change();
            } catch (const ProgramStop& stop) {
                EXPECT_EQ(stop.reason, "stopped at change step " + std::to_string(change_steps_taken()));
            }
        },
        start_program_again,
        [&](const test::ChangeStepTurn& turn) {
            EXPECT_EQ(TemporaryDirectory::snapshot(), turn.as_after() ? after : before);
            restore();
        });
}

// What may stand at a study file's name in place of the file.
enum class NonFile { Fifo, Socket, Device };

// Puts one at `name`; false where this user may not make it (a device node
// needs the privilege to).
bool make_non_file(NonFile kind, const std::string& name)
{
    switch (kind) {
        case NonFile::Fifo:
            return mkfifo(name.c_str(), 0644) == 0;
        case NonFile::Socket: {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0) return false;
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, name.c_str(), sizeof address.sun_path - 1);
            const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            close(fd);
            return bound;
        }
        case NonFile::Device:  // as /dev/null
            return mknod(name.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    return false;
}

// Whether anything stands at the name, seen without following a link.
bool stands(const std::string& name)
{
    struct stat info {};
    return lstat(name.c_str(), &info) == 0;
}

// A fifo, a socket or a device at the name of a file a
// change writes without reading it (a report) and at a name it removes (a
// piece of the history log) holds nothing of the study: it is never kept as
// an old version, which no start could take for a file of the program's.
// Stopped or killed at every step of the change, the files are as before or
// as after it at the next start, which never refuses the change's journal,
// and nothing hidden is left.  The non-file at the written name is replaced
// by the new file; the one at the removed name goes once the change is in
// place, and stands while the change is undone.
TEST_F(FileChangeTest, ANonFileAtANameAChangeWritesOrRemovesIsNeverKeptAsAnOldVersion)
{
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        NonFile kind;
    };
    const Case cases[] = {
        {"a fifo", NonFile::Fifo},
        {"a socket", NonFile::Socket},
        {"a character device", NonFile::Device},
    };
    const char* const written = "ABTRVLZZ.DIA";
    const char* const removed = "data/ABHISTZZ.003";
    const auto make_the_change = [&] {
        FileChange change;
        change.write("AB0101ZZ.ZLL", "new links\r\n");
        change.write(written, "the report\r\n");
        change.remove("data/ABHISTZZ.002");
        change.remove(removed);
        change.commit();
    };
    const fs::path start = fs::current_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::current_path(start);
        TemporaryDirectory directory;
        SetUp();
        // A device node only where this user may make one (as root).
        if (!make_non_file(c.kind, written)) {
            ASSERT_EQ(c.kind, NonFile::Device) << std::strerror(errno);
            continue;
        }
        ASSERT_TRUE(make_non_file(c.kind, removed)) << std::strerror(errno);
        const Snapshot before = TemporaryDirectory::snapshot();
        const auto restore = [&] {
            for (const char* name : {written, removed}) {
                if (stands(name)) fs::remove(name);
                ASSERT_TRUE(make_non_file(c.kind, name));
            }
            for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
                if (!before.contains(name)) fs::remove(name);
            for (const auto& [name, bytes] : before) TemporaryDirectory::put(name, bytes);
        };
        stop_change_at_step(0);
        ASSERT_NO_THROW(make_the_change());
        const long steps = change_steps_taken();
        const Snapshot after = TemporaryDirectory::snapshot();
        ASSERT_EQ(after.at(written), "the report\r\n");
        ASSERT_EQ(after.count("data/ABHISTZZ.002"), 0u);
        EXPECT_FALSE(stands(removed));
        EXPECT_TRUE(hidden_entries().empty());
        restore();

        test::walk_change_steps(
            steps + 1,
            [&] {
                try {
                    make_the_change();
                } catch (const ProgramStop& stop) {
                    EXPECT_EQ(stop.reason, "stopped at change step " + std::to_string(change_steps_taken()));
                }
            },
            [] {
                // Whatever hidden the change left is a file of its own,
                // never a second name of the non-file.
                for (const std::string& hidden : hidden_entries())
                    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(hidden))) << hidden << " is no file";
                EXPECT_NO_THROW(start_program_again());
            },
            [&](const test::ChangeStepTurn& turn) {
                EXPECT_EQ(TemporaryDirectory::snapshot(), turn.as_after() ? after : before);
                if (turn.completed) {
                    EXPECT_FALSE(stands(removed)) << "the change is made, and the non-file at a name it removes stands";
                } else if (!turn.as_after()) {
                    EXPECT_TRUE(stands(removed))
                        << "the change is undone, and the non-file at a name it removes is gone";
                }
                restore();
            });
        // A change that removes nothing but the non-file, with no journal.
        {
            FileChange change;
            change.remove(removed);
            EXPECT_NO_THROW(change.commit());
        }
        EXPECT_FALSE(stands(removed));
        EXPECT_EQ(TemporaryDirectory::snapshot(), before);
        EXPECT_TRUE(hidden_entries().empty());
        if (HasFailure()) return;
    }
}

// A commit journal as a commit writes it: what it does, then for each file
// its new version, the file and its kept old version.
std::string journal_of(const std::string& action, const std::vector<std::vector<std::string>>& entries)
{
    std::string text = "velmora commit journal 1\n" + action + "\n";
    for (const std::vector<std::string>& entry : entries) text += entry[0] + "\n" + entry[1] + "\n" + entry[2] + "\n";
    return text + "end\n";
}

// A commit that cannot finish at the next start (a file's directory is gone)
// puts every old file back: never some files new and some old.
TEST_F(FileChangeTest, ACommitThatCannotBeFinishedIsUndoneAtTheNextStart)
{
    // Killed after the link data base was replaced; a directory was then
    // put in the place of a new model file.
    std::filesystem::rename("AB0101ZZ.ZLL", ".AB0101ZZ.ZLL.velm-old");
    TemporaryDirectory::put("AB0101ZZ.ZLL", "new links\r\n");
    TemporaryDirectory::put("data/.AB0102ZZ.Z11.velm-run", "new event 1\r\n");
    TemporaryDirectory::put("data/AB0102ZZ.Z11/inside", "in the way");
    // ... and after an earlier history piece was removed.
    std::filesystem::rename("data/ABHISTZZ.002", "data/.ABHISTZZ.002.velm-old");
    TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                            journal_of("finish", {{".AB0101ZZ.ZLL.velm-run", "AB0101ZZ.ZLL", ".AB0101ZZ.ZLL.velm-old"},
                                                  {"", "data/ABHISTZZ.002", "data/.ABHISTZZ.002.velm-old"},
                                                  {"data/.AB0102ZZ.Z11.velm-run", "data/AB0102ZZ.Z11", ""}}));
    start_program_again();
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), "old links\r\n");
    EXPECT_EQ(TemporaryDirectory::get("data/ABHISTZZ.002"), "a piece of an earlier split\r\n");
    EXPECT_TRUE(hidden_entries().empty());
    std::filesystem::remove_all("data/AB0102ZZ.Z11");

    // An undo stopped on its way is undone further, never finished.
    std::filesystem::rename("AB0101ZZ.ZLL", ".AB0101ZZ.ZLL.velm-old");
    TemporaryDirectory::put("AB0101ZZ.ZLL", "new links\r\n");
    TemporaryDirectory::put(".AB0101ZZ.Z99.velm-run", "new\r\n");
    TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                            journal_of("undo", {{".AB0101ZZ.ZLL.velm-run", "AB0101ZZ.ZLL", ".AB0101ZZ.ZLL.velm-old"},
                                                {".AB0101ZZ.Z99.velm-run", "AB0101ZZ.Z99", ""}}));
    start_program_again();
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), "old links\r\n");
    EXPECT_FALSE(std::filesystem::exists("AB0101ZZ.Z99"));
    EXPECT_TRUE(hidden_entries().empty());
}

// A file that cannot be replaced once the commit has begun (here a
// directory put in its place at each step in turn) refuses the change:
// every file replaced before it is put back at once, never some new and
// some old; an old file that cannot be put back yet (the directory stands
// in its way) is kept, and put back at the next start once the way is free:
// the commit is then left unfinished, and says what the next start does.
TEST_F(FileChangeTest, ACommitWhoseRenameFailsPutsEveryOldFileBack)
{
    bool undone_after_a_rename = false;
    for (long step = 1;; ++step) {
        SCOPED_TRACE("the file taken at step " + std::to_string(step));
        ASSERT_LT(step, 50);
        TemporaryDirectory directory;
        SetUp();
        bool links_were_new = false;
        act_at_change_step(step, [&links_were_new] {
            links_were_new = TemporaryDirectory::get("AB0101ZZ.ZLL") == "new links\r\n";
            std::filesystem::remove("data/AB0101ZZ.Z12");
            TemporaryDirectory::put("data/AB0101ZZ.Z12/inside", "in the way");
        });
        bool refused = false;
        bool unfinished = false;
        try {
            FileChange change;
            change.write("AB0101ZZ.ZLL", "new links\r\n");
            change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
            change.write("data/AB0101ZZ.Z12", "new event 2\r\n");
            change.commit();
        } catch (const FileError& error) {
            refused = true;
            EXPECT_NE(std::string(error.what()).find("AB0101ZZ.Z12"), std::string::npos) << error.what();
        } catch (const UnfinishedCommit& error) {
            refused = true;
            unfinished = true;
            const std::string message = error.what();
            EXPECT_NE(message.find("AB0101ZZ.Z12"), std::string::npos) << message;
            EXPECT_NE(message.find("the next start of the program puts every old file back"), std::string::npos)
                << message;
        }
        const bool acted = change_steps_taken() >= step;
        stop_change_at_step(0);
        if (!acted) break;  // the change completed before the step
        const std::string links = refused ? "old links\r\n" : "new links\r\n";
        const std::string event_1 = refused ? "old event 1\r\n" : "new event 1\r\n";
        EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), links);
        EXPECT_EQ(TemporaryDirectory::get("data/AB0101ZZ.Z11"), event_1);
        undone_after_a_rename = undone_after_a_rename || (refused && links_were_new);
        const bool old_kept = file_exists(RUN_COMMIT_JOURNAL);
        EXPECT_EQ(unfinished, old_kept);

        // The engineer moves the directory away; the program starts again.
        std::filesystem::remove_all("data/AB0101ZZ.Z12");
        start_program_again();
        EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), links);
        EXPECT_EQ(TemporaryDirectory::get("data/AB0101ZZ.Z11"), event_1);
        if (old_kept) {
            EXPECT_EQ(TemporaryDirectory::get("data/AB0101ZZ.Z12"), "old event 2\r\n");
        }
        EXPECT_FALSE(file_exists(RUN_COMMIT_JOURNAL));
        EXPECT_TRUE(hidden_entries().empty());
        if (HasFailure()) return;
    }
    EXPECT_TRUE(undone_after_a_rename) << "no step fell between two renames";
}

// Ends a watch of the disk operations however the test ends.
struct WatchEnd {
    ~WatchEnd() { watch_disk_operations({}); }
};

// Ends the failures of a commit's calls however the test ends.
struct CommitCallsEnd {
    ~CommitCallsEnd() { fail_commit_calls({}); }
};

// The journal's own rename into place fails (a directory put at its name
// once it is written whole): the commit is refused naming the change's
// first file, nothing is replaced and nothing hidden is left.
TEST_F(FileChangeTest, AJournalWhoseRenameFailsRefusesTheCommit)
{
    const Snapshot before = TemporaryDirectory::snapshot();
    bool journal_written = false;
    {
        const WatchEnd end;
        watch_disk_operations([&](DiskOperation operation, const std::filesystem::path& path) {
            if (operation != DiskOperation::Rename || path != RUN_COMMIT_JOURNAL) return;
            journal_written = TemporaryDirectory::get("." + std::string(RUN_COMMIT_JOURNAL) + ".velm-new")
                                  .starts_with("velmora commit journal 1\n");
            TemporaryDirectory::put(path / "inside", "in the way");
        });
        try {
            FileChange change;
            change.write("ab0101zz.zll", "new links\r\n");
            change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
            change.commit();
            ADD_FAILURE() << "the change was made";
        } catch (const FileError& error) {
            EXPECT_STREQ(error.what(), "Cannot write file 'ab0101zz.zll': Is a directory");
        }
    }
    EXPECT_TRUE(journal_written) << "the rename was not reached";
    std::filesystem::remove_all(std::string(RUN_COMMIT_JOURNAL));
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
}

// The new versions and the kept old files reach the disk before the journal
// names them: the file system of each of their directories is flushed
// before the journal is renamed into place.
TEST_F(FileChangeTest, TheNewVersionsAreFlushedBeforeTheJournalIsWritten)
{
    ASSERT_TRUE(disk_flushes());
    std::vector<std::pair<DiskOperation, std::filesystem::path>> seen;
    {
        const WatchEnd end;
        watch_disk_operations([&seen](DiskOperation operation, const std::filesystem::path& path) {
            seen.emplace_back(operation, path);
        });
        FileChange change;
        change.write("AB0101ZZ.ZLL", "new links\r\n");
        change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
        change.remove("data/ABHISTZZ.002");
        change.commit();
    }
    const auto journal = std::find(seen.begin(), seen.end(),
                                   std::pair(DiskOperation::Rename, std::filesystem::path(RUN_COMMIT_JOURNAL)));
    ASSERT_NE(journal, seen.end()) << "the journal was not written";
    for (const char* directory : {".", "data"}) {
        SCOPED_TRACE(directory);
        EXPECT_TRUE(std::any_of(seen.begin(), journal, [directory](const auto& operation) {
            return operation.first == DiskOperation::FlushFileSystem &&
                   std::filesystem::equivalent(operation.second, directory);
        })) << "the directory's file system was not flushed before the journal was written";
    }
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), "new links\r\n");
}

// The journal goes only once every directory of the change holds its new
// entries on the disk: a crash just after the journal's removal must find
// every file of the change in place, with nothing left to finish it.  So
// each directory whose entries were changed (renamed over, removed, put
// back) is flushed after its last change and before the journal is
// removed: at a commit, at the undo of a commit whose rename failed, and at
// the next start finishing a commit whose journal could not be removed.
TEST_F(FileChangeTest, EveryDirectoryOfTheChangeIsFlushedBeforeTheJournalIsRemoved)
{
    namespace fs = std::filesystem;
    ASSERT_TRUE(disk_flushes());
    using Failure = std::function<int(CommitCall call, const std::string& file)>;
    long renames = 0;
    const struct {
        const char* name;
        Failure first_run;              // fails a call of an unwatched run before; none when empty
        Failure watched_run;            // fails a call of the watched run
        std::function<void()> watched;  // the run whose disk operations are watched
    } cases[] = {
        {"a commit", {}, [](CommitCall, const std::string&) { return 0; }, [] { make_the_change(); }},
        {"the undo of a commit whose third rename fails",
         {},
         [&renames](CommitCall call, const std::string&) {
             return call == CommitCall::Rename && ++renames == 3 ? EACCES : 0;
         },
         [] { EXPECT_THROW(make_the_change(), FileError); }},
        {"the next start finishing a commit whose journal could not be removed",
         [](CommitCall call, const std::string&) { return call == CommitCall::RemoveJournal ? EACCES : 0; },
         [](CommitCall, const std::string&) { return 0; }, [] { start_program_again(); }},
    };
    const fs::path start = fs::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::current_path(start);
        TemporaryDirectory directory;
        test::put_change_study();
        renames = 0;
        if (c.first_run) {
            const CommitCallsEnd calls_end;
            fail_commit_calls(c.first_run);
            EXPECT_THROW(make_the_change(), UnfinishedCommit);
        }
        // What the run did to the disk, in order: a directory's entries
        // changed, a directory flushed, the journal removed.
        enum class Seen { Changed, Flushed, JournalRemoved };
        std::vector<std::pair<Seen, fs::path>> seen;
        {
            const WatchEnd end;
            const CommitCallsEnd calls_end;
            watch_disk_operations([&seen](DiskOperation operation, const fs::path& path) {
                if (operation == DiskOperation::FlushDirectory)
                    seen.emplace_back(Seen::Flushed, path.empty() ? fs::path(".") : path);
            });
            fail_commit_calls([&](CommitCall call, const std::string& file) {
                const int error = c.watched_run(call, file);
                if (error != 0) return error;
                const fs::path directory = fs::path(file).parent_path();
                seen.emplace_back(call == CommitCall::RemoveJournal ? Seen::JournalRemoved : Seen::Changed,
                                  directory.empty() ? fs::path(".") : directory);
                return 0;
            });
            c.watched();
        }
        EXPECT_FALSE(fs::exists(std::string(RUN_COMMIT_JOURNAL)));
        const auto removal = std::find_if(
            seen.begin(), seen.end(), [](const auto& operation) { return operation.first == Seen::JournalRemoved; });
        ASSERT_NE(removal, seen.end()) << "the journal was not removed";
        bool data_changed = false;
        for (auto changed = seen.begin(); changed != removal; ++changed) {
            if (changed->first != Seen::Changed) continue;
            data_changed = data_changed || fs::equivalent(changed->second, "data");
            EXPECT_TRUE(std::any_of(changed + 1, removal,
                                    [&changed](const auto& operation) {
                                        return operation.first == Seen::Flushed &&
                                               fs::equivalent(operation.second, changed->second);
                                    }))
                << changed->second << " was not flushed after its change and before the journal's removal";
        }
        EXPECT_TRUE(data_changed) << "the data directory was not changed";
        if (HasFailure()) return;
    }
}

// A file the change cannot replace refuses it with a FileError naming the
// file, before anything is written (reach) or at the commit before the
// first rename; every file stays as it was and nothing hidden is left.
TEST_F(FileChangeTest, AFileThatCannotBeReplacedRefusesTheWholeChange)
{
    struct Case {
        const char* name;
        std::function<void()> break_target;  // before the change, or after its writes
        bool after_writes;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"read-only model file", [] { chmod("data/AB0101ZZ.Z12", 0444); }, false, "AB0101ZZ.Z12"},
        {"read-only history log", [] { chmod("ABHISTZZ.DAT", 0444); }, false, "ABHISTZZ.DAT"},
        {"read-only data directory", [] { chmod("data", 0555); }, false, "AB0101ZZ.Z11"},
        {"a directory in place of the file", [] { std::filesystem::create_directory("NEWFILE.DAT"); }, false,
         "NEWFILE.DAT"},
        {"model file made read-only after the writes", [] { chmod("data/AB0101ZZ.Z12", 0444); }, true, "AB0101ZZ.Z12"},
        {"a directory in place of the file after the writes",
         [] {
             std::filesystem::remove("data/AB0101ZZ.Z12");
             std::filesystem::create_directory("data/AB0101ZZ.Z12");
         },
         true, "AB0101ZZ.Z12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        SetUp();
        if (!c.after_writes) c.break_target();
        const Snapshot before = TemporaryDirectory::snapshot();
        try {
            FileChange change;
            for (const char* name : {"AB0101ZZ.ZLL", "data/AB0101ZZ.Z11", "data/AB0101ZZ.Z12", "NEWFILE.DAT"}) {
                change.reach(name);
                change.write(name, "new\r\n");
            }
            change.reach("ABHISTZZ.DAT", true);
            change.append("ABHISTZZ.DAT", "the entry\r\n");
            if (c.after_writes) c.break_target();
            change.commit();
            ADD_FAILURE() << "the change was made";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
        }
        chmod("data", 0755);
        Snapshot expected = before;
        if (c.after_writes && std::filesystem::is_directory("data/AB0101ZZ.Z12")) {
            // The test itself put the directory in place of the file.
            std::filesystem::remove("data/AB0101ZZ.Z12");
            expected.erase("data/AB0101ZZ.Z12");
        }
        EXPECT_EQ(TemporaryDirectory::snapshot(), expected);
        EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), "old links\r\n");
        EXPECT_EQ(TemporaryDirectory::get("ABHISTZZ.DAT"), "an earlier entry\r\n");
        EXPECT_TRUE(hidden_entries().empty());
    }
    // A file that must exist and is missing is refused too.
    FileChange change;
    EXPECT_THROW(change.reach("MISSING.DAT", true), FileError);
    EXPECT_NO_THROW(change.reach("MISSING.DAT"));
}

// Whatever stands at a new version's hidden name (a link planted there
// pointing outside the study, a killed change's leftover) is removed, never
// written through, and the study file never becomes a link.
TEST_F(FileChangeTest, APlantedLinkAtAHiddenNameIsNeverWrittenThrough)
{
    struct Case {
        const char* way;
        std::function<void(FileChange&)> write;
    };
    const std::vector<Case> cases = {
        {"whole", [](FileChange& change) { change.write("AB0101ZZ.ZLL", "new links\r\n"); }},
        {"writer",
         [](FileChange& change) {
             TextWriter writer(change.new_file("AB0101ZZ.ZLL"));
             writer.write_line("new links");
             writer.commit();
         }},
        {"appended", [](FileChange& change) { change.append("AB0101ZZ.ZLL", "new links\r\n"); }},
        {"streamed",
         [](FileChange& change) {
             NewVersionStream stream = change.stream("AB0101ZZ.ZLL");
             stream.write("new links\r\n");
             stream.finish();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        TemporaryDirectory directory;
        SetUp();
        TemporaryDirectory::put("outside/TARGET", "not the study's\r\n");
        std::filesystem::create_symlink("outside/TARGET", ".AB0101ZZ.ZLL.velm-run");
        std::filesystem::create_symlink("outside/TARGET", ".AB0101ZZ.ZLL.velm-old");
        FileChange change;
        c.write(change);
        change.commit();
        EXPECT_EQ(TemporaryDirectory::get("outside/TARGET"), "not the study's\r\n");
        EXPECT_FALSE(std::filesystem::is_symlink("AB0101ZZ.ZLL"));
        EXPECT_NE(TemporaryDirectory::get("AB0101ZZ.ZLL").find("new links\r\n"), std::string::npos);
        EXPECT_TRUE(hidden_entries().empty());
    }
    // The single-file rewrite's temporary is made the same way.
    TemporaryDirectory::put("outside/TARGET", "not the study's\r\n");
    std::filesystem::create_symlink("outside/TARGET", ".AB0101ZZ.ZLL.velm-new");
    replace_file_atomically("AB0101ZZ.ZLL", "rewritten\r\n");
    EXPECT_EQ(TemporaryDirectory::get("outside/TARGET"), "not the study's\r\n");
    EXPECT_FALSE(std::filesystem::is_symlink("AB0101ZZ.ZLL"));
}

// A replaced file keeps the permissions the engineer gave it; a new one
// gets the usual ones.
TEST_F(FileChangeTest, AReplacedFileKeepsItsPermissions)
{
    chmod("AB0101ZZ.ZLL", 0640);
    chmod("data/AB0101ZZ.Z11", 0600);
    FileChange change;
    change.write("AB0101ZZ.ZLL", "new links\r\n");
    change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
    change.write("NEWFILE.DAT", "new\r\n");
    change.commit();
    const auto mode = [](const char* name) {
        struct stat info {};
        EXPECT_EQ(stat(name, &info), 0) << name;
        return info.st_mode & 07777;
    };
    EXPECT_EQ(mode("AB0101ZZ.ZLL"), 0640u);
    EXPECT_EQ(mode("data/AB0101ZZ.Z11"), 0600u);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(mode("NEWFILE.DAT"), 0666u & ~mask);
}

// A stream dropped before it was finished, and a change dropped before its
// commit, leave every file and nothing hidden.
TEST_F(FileChangeTest, AnUnfinishedStreamOrChangeLeavesNothing)
{
    const Snapshot before = TemporaryDirectory::snapshot();
    {
        FileChange change;
        change.write("AB0101ZZ.ZLL", "new links\r\n");
        NewVersionStream stream = change.stream("data/AB0101ZZ.Z11");
        stream.write(std::string(200000, 'x'));
        EXPECT_FALSE(change.has_new_version("data/AB0101ZZ.Z11"));
        EXPECT_EQ(change.current_file("data/AB0101ZZ.Z11"), "data/AB0101ZZ.Z11");
    }
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    EXPECT_TRUE(hidden_entries().empty());
}

}  // namespace
}  // namespace velm
