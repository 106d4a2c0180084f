// The three subsets of a study are replaced together: stopped or killed at
// any step, and the program started again, they are all as before or all
// new; a subset that cannot be written is refused in the window and no
// subset changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "management/subset_module.h"
#include "module_run.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "support/change_steps.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::vector<std::string> PREPARE = {"", "4", "AB", "", "EXIT"};

class SubsetChangeTest : public test::ModuleTest {
protected:
    // A test that fails on its way leaves no stop for the next.
    void TearDown() override { stop_change_at_step(0); }
    // The subset module with the typed lines until it stops or they run out.
    void prepare(const std::vector<std::string>& typed)
    {
        window_ = test::ScriptedWindow();
        window_.type(typed);
        LauncherCall call;
        try {
            run_subset_module(session_, call);
        } catch (const ProgramStop&) {
        } catch (const test::ScriptExhausted&) {
        }
    }
    LauncherCall call_;
};

TEST_F(SubsetChangeTest, SubsetsStoppedOrKilledAtAnyStepAreAllOldOrAllNewAtTheNextStart)
{
    test::two_map_management_study(2).write(fs::current_path());
    for (const char* name : {"ABNODEZZ.SST", "ABSUBAZZ.SST", "ABLINKZZ.SST"})
        test::TemporaryDirectory::put(name, "an earlier subset\r\n");
    const Files before = test::study_files();
    prepare(PREPARE);
    const Files after = test::study_files();
    for (const char* name : {"ABNODEZZ.SST", "ABSUBAZZ.SST", "ABLINKZZ.SST"})
        ASSERT_NE(after.at(name), before.at(name)) << name;
    test::restore_study_files(before);

    // Past the commit point the next start must finish the change, before it
    // nothing of the change may be left.
    test::walk_change_steps(
        50, [&] { prepare(PREPARE); }, [] { recover_interrupted_changes({"."}); },
        [&](const test::ChangeStepTurn& turn) {
            EXPECT_EQ(test::study_files(), turn.as_after() ? after : before);
            test::restore_study_files(before);
        });
}

TEST_F(SubsetChangeTest, AReadOnlySubsetIsRefusedInTheWindowAndNoSubsetChanges)
{
    for (const char* read_only : {"ABNODEZZ.SST", "ABLINKZZ.SST"}) {
        SCOPED_TRACE(read_only);
        test::TemporaryDirectory directory;
        test::two_map_management_study(2).write(fs::current_path());
        for (const char* name : {"ABNODEZZ.SST", "ABSUBAZZ.SST", "ABLINKZZ.SST"})
            test::TemporaryDirectory::put(name, "an earlier subset\r\n");
        chmod(read_only, 0444);
        const Files before = test::study_files();
        // RETURN after the refusal, then the menu again.
        EXPECT_EQ(run(run_subset_module, call_, {"", "4", "AB", "", "EXIT"}), "subset module: done");
        EXPECT_EQ(test::study_files(), before);
        EXPECT_TRUE(window_.has_shown("NOTHING WAS CHANGED")) << window_.dump();
        EXPECT_TRUE(window_.has_shown("'" + std::string(read_only) + "'")) << window_.dump();
        EXPECT_FALSE(window_.has_shown("Data Base SUBSETS stored")) << window_.dump();
        EXPECT_FALSE(test::has_hidden_file());
        window_ = test::ScriptedWindow();
    }
}

}  // namespace
}  // namespace velm
