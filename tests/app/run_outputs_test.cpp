// An analysis run is all or nothing: a run that stops, at whatever step and
// for whatever reason, leaves every file of the study as the previous run
// left it; a run that reaches its end replaces its files together.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/run_outputs.h"
#include "platform/stop.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/small_studies.h"
#include "support/study_builder.h"

namespace velm {
namespace {

using Lines = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

const Lines EXECUTE_FROM_MENU = {"", "1", "", "", "2", "AB", ""};

class RunOutputsRunTest : public test::SessionTest {
protected:
    // Runs option 1 to its end, or to its stop: the reason, or the message
    // of the file error that ended it.
    std::string run(const Lines& typed)
    {
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        try {
            return test::run_program_to_stop(session_, window_, typed);
        } catch (const FileError& error) {
            return error.what();
        }
    }
};

// Value 2 of a model file's header, the study's model type.
void set_model_type_value(const std::string& name, float value)
{
    std::vector<RecordBytes> records = decode_records(read_whole_file(name), name);
    records.at(1) = float_payload(value);
    replace_file_atomically(name, encode_records(records));
}

TEST_F(RunOutputsRunTest, AStoppedRunLeavesTheStudyAsThePreviousRunLeftIt)
{
    struct Case {
        const char* name;
        std::string data_directory;
        bool launched;
        std::function<void()> break_input;  // run after the previous run
        std::string reason_part;            // a part of the stop's reason or message
    };
    const std::vector<Case> cases = {
        {"metric model files, before the report", "", false,
         [] { set_model_type_value("AB0101ZZ.Z11", -6.0f); }, "metric"},
        {"a listed map without its model file, in the cross-check", "", false,
         [] { delete_file("AB0102ZZ.Z11"); }, "AB0102ZZ.Z11"},
        {"the same with the study in a data directory", "data/", false,
         [] { delete_file("data/AB0102ZZ.Z11"); }, "AB0102ZZ.Z11"},
        {"the same, launched after a run that replied", "", true,
         [] { delete_file("AB0102ZZ.Z11"); }, "AB0102ZZ.Z11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        test::StudyBuilder study = test::two_map_study(6);
        if (!c.data_directory.empty()) study.set_data_directory("data\\ABMPDZZ.ZZZ");
        study.write(directory.path());
        ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
        ASSERT_FALSE(test::TemporaryDirectory::get(c.data_directory + "ABSETCZZ.ZZZ").empty());

        c.break_input();
        const Snapshot before = test::TemporaryDirectory::snapshot();
        if (c.launched) {
            test::TemporaryDirectory::put("QEVCOM2.DAT", "99\r\n");  // the reply of the run before
            test::write_command_file("AB", 1, 1, 2);
        }
        const std::string reason = run(c.launched ? Lines{} : EXECUTE_FROM_MENU);
        EXPECT_NE(reason.find(c.reason_part), std::string::npos) << reason;
        EXPECT_NE(reason, "analysis run done");
        // Every file as before; a launched run that failed leaves no reply.
        EXPECT_EQ(test::TemporaryDirectory::snapshot(), before);
    }
}

TEST_F(RunOutputsRunTest, LeftoversOfAKilledRunGoAndAFinishedRunLeavesNoneOfItsOwn)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    test::TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "half a report of a killed run");
    test::TemporaryDirectory::put(".SETF.ZZZ.velm-new", "half a rewrite of a killed run");
    const Snapshot before = test::TemporaryDirectory::snapshot();

    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    const Snapshot after = test::TemporaryDirectory::snapshot();
    for (const auto& [name, bytes] : after) {
        EXPECT_NE(name.front(), '.') << name << " left behind";
        if (before.contains(name)) continue;
        EXPECT_FALSE(bytes.empty() && name != "SETF.ZZZ" && name != "ABSETXZZ.ZZZ") << name;
    }
    for (const char* written : {"ABTRVLZZ.DIA", "ABSETCZZ.ZZZ", "ABSETEZZ.ZZZ", "SETF.ZZZ", "SETG.ZZZ",
                                "ABSETHZZ.ZZZ", "ABSETXZZ.ZZZ"}) {
        EXPECT_TRUE(after.contains(written)) << written;
    }
}

TEST_F(RunOutputsRunTest, AKilledCommitIsFinishedBeforeAnyModuleReadsTheStudy)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    const std::string cwd = directory_.path().string();
    test::TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "the killed run's report\r\n");
    test::TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                                  cwd + "/.ABTRVLZZ.DIA.velm-run\n" + cwd + "/ABTRVLZZ.DIA\n");
    // The program is started and ended at once from the main menu.
    EXPECT_EQ(run({"", "E"}), "main menu: E");
    EXPECT_EQ(test::TemporaryDirectory::get("ABTRVLZZ.DIA"), "the killed run's report\r\n");
    EXPECT_FALSE(file_exists(RUN_COMMIT_JOURNAL));
}

}  // namespace
}  // namespace velm
