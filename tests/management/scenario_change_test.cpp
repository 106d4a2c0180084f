// A scenario operation is one change: a maintenance adoption's baseline data
// bases, inventory, copy batch file and the split of the history log (its
// pieces and index in, the earlier extra pieces and the log out) are all as
// before or all as after, whenever the module is stopped or killed and the
// program started again.  A file the operation cannot write or remove is
// refused in the window and nothing changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "management/scenario_module.h"
#include "module_run.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "support/change_steps.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

constexpr int ADOPT_MAINTENANCE = 4;
constexpr int ABANDON_MAINTENANCE = 2;

const std::string RULE = "  ***" + std::string(70, '=') + "***";

std::string visit(const std::string& date)
{
    return RULE + "\r\n     Date : " + date + std::string(41, ' ') + "Time : 09:05\r\n  an entry\r\n\f\r\n";
}

class ScenarioChangeTest : public test::ModuleTest {
protected:
    // A two-map study after an earlier adoption and split, with a log of
    // three visits since.
    void write_study()
    {
        test::two_map_management_study(2).write(fs::current_path());
        for (const auto& [name, bytes] :
             std::map<std::string, std::string>{{"ABINVTZZ.ZZZ", "ABTRVLZZ.Z11\r\n"},
                                                {"MPDCOPY.BAT", "COPY/Y old\r\n"},
                                                {"ABNODEZZ.BAS", "old node\r\n"},
                                                {"ABLINKZZ.BAS", "old link\r\n"},
                                                {"ABSUBAZZ.BAS", "old subarea\r\n"},
                                                {"ABHISTZZ.IDX", "   5\r\n"},
                                                {"ABtoolzz.set", "0\r\n"}})
            TemporaryDirectory::put(name, bytes);
        for (int n = 1; n <= 5; ++n) TemporaryDirectory::put("ABHISTZZ.00" + std::to_string(n), "old piece\r\n");
        TemporaryDirectory::put("ABHISTZZ.DAT", visit("07/03/2024") + visit("07/04/2024") + visit("08/01/2024"));
    }

    // The module launched for the operation, with the typed lines, until it
    // stops or they run out.
    void operate(int operation, const std::vector<std::string>& typed)
    {
        window_ = test::ScriptedWindow();
        window_.type(typed);
        LauncherCall call = launched_call("AB", 1, operation);
        try {
            run_scenario_adopt_reject_module(session_, call);
        } catch (const ProgramStop&) {
        } catch (const test::ScriptExhausted&) {
        }
    }

};

TEST_F(ScenarioChangeTest, AnAdoptionStoppedOrKilledAtAnyStepIsAllOldOrAllNewAtTheNextStart)
{
    write_study();
    const Files before = test::study_files();
    operate(ADOPT_MAINTENANCE, {""});
    const Files after = test::study_files();
    for (const char* name : {"ABNODEZZ.BAS", "ABLINKZZ.BAS", "ABSUBAZZ.BAS", "ABINVTZZ.ZZZ", "MPDCOPY.BAT",
                             "ABHISTZZ.IDX", "ABHISTZZ.001", "ABHISTZZ.003"})
        ASSERT_NE(after.at(name), before.at(name)) << name;
    for (const char* name : {"ABHISTZZ.DAT", "ABHISTZZ.004", "ABHISTZZ.005"}) ASSERT_EQ(after.count(name), 0u) << name;
    test::restore_study_files(before);

    // Past the commit point the next start must finish the change, before it
    // nothing of the change may be left.
    test::walk_change_steps(
        199, [&] { operate(ADOPT_MAINTENANCE, {""}); }, [] { recover_interrupted_changes({"."}); },
        [&](const test::ChangeStepTurn& turn) {
            EXPECT_EQ(test::study_files(), turn.as_after() ? after : before);
            test::restore_study_files(before);
        });
}

TEST_F(ScenarioChangeTest, AFileTheOperationCannotWriteIsRefusedInTheWindowAndNothingChanges)
{
    const struct {
        int operation;
        const char* file;
        const char* what;
    } cases[] = {
        {ADOPT_MAINTENANCE, "ABLINKZZ.BAS", "a baseline data base"},
        {ADOPT_MAINTENANCE, "MPDCOPY.BAT", "the copy batch file"},
        {ADOPT_MAINTENANCE, "ABHISTZZ.002", "a piece of the history log"},
        {ADOPT_MAINTENANCE, "ABHISTZZ.DAT", "the history log the split removes"},
        {ABANDON_MAINTENANCE, "ABtoolzz.set", "the tool-status file the abandon removes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        write_study();
        if (c.operation == ABANDON_MAINTENANCE) TemporaryDirectory::put("ABTRVLZ1.Z11", "a baseline copy\r\n");
        chmod(c.file, 0444);
        const Files before = test::study_files();
        operate(c.operation, {""});
        EXPECT_EQ(test::study_files(), before);
        EXPECT_FALSE(test::has_hidden_file());
        EXPECT_TRUE(window_.has_shown("NOTHING WAS CHANGED")) << window_.dump();
        EXPECT_TRUE(window_.has_shown(std::string(c.file) + "'")) << window_.dump();
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT")) << "no reply for an operation not made";
    }
}

}  // namespace
}  // namespace velm
