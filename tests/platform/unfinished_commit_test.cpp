// A commit whose directory stops taking changes in the middle of its
// renames (a share turned read-only) and that can then neither finish nor
// undo ends with UnfinishedCommit: its message names the study's file that
// could not be replaced, with the system's reason, and what the next start
// will do, never a hidden name; no other change is made over its journal;
// and the next start leaves every file as before the change or as after it,
// whole, as the message said.
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/change_study.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

const std::string FINISHES = "next start of the program finishes the change.";
const std::string PUTS_BACK = "next start of the program puts every old file back.";

class UnfinishedCommitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::put_change_study();
    }
    void TearDown() override
    {
        fail_commit_calls({});
        fail_writes_with(0);
    }
    TemporaryDirectory directory_;
};

// A change over files rewritten, in a data directory, new, appended to and
// removed.
void make_the_change()
{
    FileChange change;
    change.write("NEWFILE.DAT", "a new file\r\n");
    change.write("AB0101ZZ.ZLL", "new links\r\n");
    change.write("data/AB0101ZZ.Z11", "new event 1\r\n");
    change.write("data/AB0101ZZ.Z12", "new event 2\r\n");
    change.append("ABHISTZZ.DAT", "the entry of this change\r\n");
    change.remove("data/ABHISTZZ.002");
    change.commit();
}

// The files of the study, every hidden one left out.
Snapshot visible_files()
{
    Snapshot visible;
    for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
        if (fs::path(name).filename().string().front() != '.') visible[name] = bytes;
    return visible;
}

TEST_F(UnfinishedCommitTest, ACommitThatCanNeitherFinishNorUndoEndsAndTheNextStartMakesItWhole)
{
    const Snapshot before = visible_files();
    make_the_change();
    const Snapshot after = visible_files();
    ASSERT_NE(after, before);
    const std::vector<CommitCall> every_call = {CommitCall::Rename, CommitCall::Remove, CommitCall::PutBack,
                                                CommitCall::RemoveNew, CommitCall::RemoveJournal};
    struct Case {
        const char* name;
        CommitCall first;               // the kind of call that fails first ...
        std::vector<CommitCall> then;   // ... and the calls that fail from then on
        bool writes;                    // whether every write of a file fails from then on
        const std::string* next_start;  // what the next start does when the commit is left unfinished
    };
    const std::vector<Case> cases = {
        {"the directory turns read-only at a rename", CommitCall::Rename, every_call, true, &FINISHES},
        {"a rename fails and an old file cannot be put back",
         CommitCall::Rename,
         {CommitCall::PutBack},
         false,
         &PUTS_BACK},
        {"a rename fails and a new file cannot be removed again",
         CommitCall::Rename,
         {CommitCall::RemoveNew},
         false,
         &PUTS_BACK},
        {"a rename fails and the undo's journal cannot be removed",
         CommitCall::Rename,
         {CommitCall::RemoveJournal},
         false,
         &PUTS_BACK},
        {"a rename fails and the undo is whole", CommitCall::Rename, {}, false, nullptr},
        {"the journal cannot be removed once every file is replaced", CommitCall::RemoveJournal, every_call, true,
         &FINISHES},
    };
    for (const Case& c : cases) {
        bool seen_unfinished = false;
        for (long at = 1;; ++at) {
            SCOPED_TRACE(std::string(c.name) + ", at the call " + std::to_string(at) + " of its kind");
            ASSERT_LT(at, 20);
            fs::current_path(fs::temp_directory_path());
            TemporaryDirectory directory;
            SetUp();
            long calls = 0;
            bool failing = false;
            bool undo_failed = false;
            std::string failed_file;
            fail_commit_calls([&](CommitCall call, const std::string& file) {
                if (!failing && call == c.first && ++calls == at) {
                    failing = true;
                    failed_file = file;
                    if (c.writes) fail_writes_with(EACCES);
                    return EACCES;
                }
                for (const CommitCall failed : c.then) {
                    if (failing && call == failed) {
                        undo_failed = true;
                        return EACCES;
                    }
                }
                return 0;
            });
            std::string message;
            bool unfinished = false;
            try {
                make_the_change();
            } catch (const UnfinishedCommit& error) {
                unfinished = true;
                message = error.what();
            } catch (const FileError& error) {
                message = error.what();
            }
            fail_commit_calls({});
            fail_writes_with(0);
            if (!failing) {
                // The commit has fewer calls of the kind: it was made.
                EXPECT_EQ(message, "");
                EXPECT_EQ(visible_files(), after);
                break;
            }
            EXPECT_EQ(message.find("velm"), std::string::npos) << message;
            if (c.first == CommitCall::Rename) {
                EXPECT_EQ(message.rfind("Cannot replace file '" + failed_file + "': Permission denied", 0), 0u)
                    << message;
            } else {
                EXPECT_EQ(message.rfind("The change is made, every file of it in place, but its last step cannot be "
                                        "taken: Permission denied.",
                                        0),
                          0u)
                    << message;
            }
            EXPECT_EQ(unfinished, c.writes || undo_failed) << message;
            if (!unfinished) {
                // Refused whole at once: the session goes on.
                EXPECT_EQ(visible_files(), before);
                EXPECT_FALSE(fs::exists(RUN_COMMIT_JOURNAL));
                if (HasFailure()) return;
                continue;
            }
            seen_unfinished = true;
            EXPECT_NE(message.find(*c.next_start), std::string::npos) << message;

            // No second change is made over the journal: nothing is touched.
            const Snapshot unfinished_study = TemporaryDirectory::snapshot();
            try {
                FileChange second;
                second.write("AB0101ZZ.ZLL", "a second change\r\n");
                second.commit();
                ADD_FAILURE() << "a second change was made over the first one's journal";
            } catch (const UnfinishedCommit& error) {
                EXPECT_EQ(std::string(error.what()).find("velm"), std::string::npos) << error.what();
            }
            EXPECT_EQ(TemporaryDirectory::snapshot(), unfinished_study);

            // The next start makes the change whole, as the message said.
            recover_interrupted_changes({".", "data"});
            EXPECT_EQ(visible_files(), c.next_start == &FINISHES ? after : before);
            for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
                EXPECT_NE(fs::path(name).filename().string().front(), '.') << name << " left behind";
            if (HasFailure()) return;
        }
        EXPECT_EQ(seen_unfinished, c.next_start != nullptr) << c.name;
    }
}

}  // namespace
}  // namespace velm
