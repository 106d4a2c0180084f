// A differences pass's outputs are one change: the three differences files,
// or the report with the removal of the earlier differences files, are all
// as before or all as after, whenever the pass is stopped or killed and the
// program started again.  An output that cannot be written is refused in the
// window and nothing changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "management/differences_module.h"
#include "management/scenario_module.h"
#include "management/subset_field_map.h"
#include "module_run.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "records/link_data_base.h"
#include "support/change_steps.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

constexpr const char* DIFFERENCES_FILES_OPTION = "1";
constexpr const char* FULL_REPORT_OPTION = "3";

class DifferencesChangeTest : public test::ModuleTest {
protected:
    // A study adopted as its baseline whose scenario then changed a link,
    // with the differences files and report of an earlier pass.
    void SetUp() override
    {
        test::StudyBuilder study = test::two_map_management_study();
        study.add_node(10204.0f, 120.0f, {15.0f});
        study.add_link(10203.0f, 10204.0f, 300.0f, test::Element::pipe(3.0f));
        study.write(fs::current_path());
        SubsetFieldMap defaults;
        set_subset_field_map_defaults(defaults);
        write_subset_specification("ABTRVLZZ.SST", defaults);
        LauncherCall adopt = launched_call("AB", 1, 3);
        ASSERT_EQ(run(run_scenario_adopt_reject_module, adopt, {}), "scenario module: done");
        std::vector<LinkRecord> links = read_link_data_base("AB0102ZZ.ZLL", FilePresence::MustExist);
        links.at(1).link_length() = 350.0f;
        links.at(1).unit_cost_opinion() = 100.0f;
        write_link_data_base("AB0102ZZ.ZLL", links);
        for (const char* name : {"ABNODEZZ.DIF", "ABSUBAZZ.DIF", "ABLINKZZ.DIF", "ABTRVLZZ.DIF"})
            TemporaryDirectory::put(name, std::string("an earlier ") + name + "\r\n");
    }

    // A launched pass with the report option (and RETURN under a refusal),
    // until it stops.
    void pass(const char* report_option)
    {
        window_ = test::ScriptedWindow();
        window_.type(std::vector<std::string>{"1", report_option, ""});
        LauncherCall call = launched_call("AB", 2, 0);
        try {
            run_differences_module(session_, call);
        } catch (const ProgramStop&) {
        } catch (const test::ScriptExhausted&) {
        }
    }

};

TEST_F(DifferencesChangeTest, APassStoppedOrKilledAtAnyStepIsAllOldOrAllNewAtTheNextStart)
{
    const Files before = test::study_files();
    for (const char* option : {DIFFERENCES_FILES_OPTION, FULL_REPORT_OPTION}) {
        SCOPED_TRACE(std::string("report option ") + option);
        pass(option);
        const Files after = test::study_files();
        if (option == DIFFERENCES_FILES_OPTION) {
            ASSERT_NE(after.at("ABLINKZZ.DIF"), before.at("ABLINKZZ.DIF"));
            ASSERT_EQ(after.at("ABTRVLZZ.DIF"), before.at("ABTRVLZZ.DIF"));
        } else {
            ASSERT_NE(after.at("ABTRVLZZ.DIF"), before.at("ABTRVLZZ.DIF"));
            ASSERT_EQ(after.count("ABLINKZZ.DIF"), 0u) << "the report replaces the differences files";
        }
        test::restore_study_files(before);

        // Past the commit point the next start must finish the change, before it
        // nothing of the change may be left.
        test::walk_change_steps(
            99, [&] { pass(option); }, [] { recover_interrupted_changes({"."}); },
            [&](const test::ChangeStepTurn& turn) {
                EXPECT_EQ(test::study_files(), turn.as_after() ? after : before);
                test::restore_study_files(before);
            });
        if (HasFailure()) return;
    }
}

TEST_F(DifferencesChangeTest, AnOutputThatCannotBeWrittenIsRefusedInTheWindowAndNothingChanges)
{
    const Files earlier = test::study_files();
    const struct {
        const char* option;
        const char* file;
    } cases[] = {
        {DIFFERENCES_FILES_OPTION, "ABSUBAZZ.DIF"},
        {FULL_REPORT_OPTION, "ABTRVLZZ.DIF"},
        {FULL_REPORT_OPTION, "ABNODEZZ.DIF"},  // removed by the report
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("report option ") + c.option + ", read-only " + c.file);
        test::restore_study_files(earlier);
        chmod(c.file, 0444);
        const Files before = test::study_files();
        pass(c.option);
        EXPECT_EQ(test::study_files(), before);
        EXPECT_FALSE(test::has_hidden_file());
        EXPECT_TRUE(window_.has_shown("NOTHING WAS CHANGED")) << window_.dump();
        EXPECT_TRUE(window_.has_shown(std::string(c.file) + "'")) << window_.dump();
        EXPECT_EQ(window_.beeps(), 1);
    }
}

}  // namespace
}  // namespace velm
