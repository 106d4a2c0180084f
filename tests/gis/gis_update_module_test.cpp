// Main-menu option 7 on a study written by the study builder: the exports
// sorted into the builder's GIS files, the checks, and every storm event's
// model files changed in exactly the values the GIS files change.
#include "gis/gis_update_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "gis/gis_study.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "support/program_run.h"
#include "support/record_edits.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

// The bytes of every file a study writes, by name, written into a scratch
// directory: what the files look like when the study is as described.
Files files_of(const test::StudyBuilder& study)
{
    TemporaryDirectory scratch;
    study.write(".");
    Files files;
    for (const std::string& name : TemporaryDirectory::entries()) files[name] = TemporaryDirectory::get(name);
    return files;
}

// The GIS data change in the exports: a node lower, a pipe longer and
// wider, a subarea larger with another land use, a channel wider.
void change_gis_data(test::StudyBuilder& study)
{
    study.node(123402.0f).node_elevation() = 188.5f;
    study.link(123401.0f, 123402.0f).downstream_elevation() = 188.5f;
    study.link(123402.0f, 123403.0f).upstream_elevation() = 188.5f;
    study.link(123402.0f, 123403.0f).link_length() = 510.0f;
    study.link(123402.0f, 123403.0f).element_height() = 1.75f;
    study.subarea(123403.0f).cell_area(1) = 2.5f;
    study.subarea(123403.0f).cell_land_use(1) = 6.0f;
    study.link(123502.0f, 130101.0f).element_base_width() = 7.0f;
    study.link(123501.0f, 123502.0f).element_base_width() = 4.5f;
}

// The GIS files as the checks leave them: every record stamped 1.0.
void stamp_checked(test::StudyBuilder& study)
{
    study.edit_gis_files([](const std::string&, test::GisFiles& files) {
        for (GisNodeRecord& r : files.nodes) r.processed_stamp() = 1.0f;
        for (GisLinkRecord& r : files.links) r.processed_stamp() = 1.0f;
        for (GisSubareaRecord& r : files.subareas) r.processed_stamp() = 1.0f;
    });
}

class GisUpdateModuleTest : public test::SessionTest {
protected:
    // The main program with the typed lines, every one of which must be
    // used: the reason of its stop; `refused_` tells whether it ended as
    // refused.
    std::string run(const std::vector<std::string>& typed)
    {
        ProgramStop ended{"did not stop"};
        test::run_to_stop(window_, typed, [&] {
            try {
                run_main_program(session_);
            } catch (const ProgramStop& stop) {
                ended = stop;
                throw;
            }
        });
        refused_ = ended.refused;
        return ended.reason;
    }
    bool refused_ = false;
    bool window_shows(const std::string& text) const { return window_.transcript().find(text) != std::string::npos; }
    static bool is_model_file(const std::string& name)
    {
        return name.size() == 12 && std::isdigit(static_cast<unsigned char>(name[2])) && name.substr(6, 5) == "ZZ.Z1";
    }
    static int history_entries()
    {
        int entries = 0;
        for (const std::string& line : read_text_lines("ABHISTZZ.DAT"))
            if (line.find("** Link-Node Model Updated with GIS Data! Check YOUR GIS files for Backup.") !=
                std::string::npos)
                ++entries;
        return entries;
    }
};

TEST_F(GisUpdateModuleTest, UpdatesEveryStormEventsModelFilesFromTheSortedExports)
{
    for (const int model_type : {3, 6, 8, 9}) {
        for (const bool launched : {false, true}) {
            SCOPED_TRACE(std::to_string(model_type) + (launched ? " launched" : " from the menu"));
            TemporaryDirectory directory;
            window_ = test::ScriptedWindow();
            test::StudyBuilder study = test::gis_study(model_type, 2);
            if (model_type == 9)  // the rainfall value that model type 9 checks
                for (const float subarea : {123401.0f, 123403.0f, 130101.0f}) study.subarea(subarea).column(5) = 2.0f;
            study.write(".");
            const Files before = files_of(study);
            change_gis_data(study);
            study.write_gis_exports(".");
            stamp_checked(study);
            const Files expected = files_of(study);

            if (launched) {
                test::write_command_file("AB", 1, 7, 0);
                EXPECT_EQ(run({}), "GIS update done");
                EXPECT_FALSE(refused_);
                EXPECT_EQ(TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
            } else {
                EXPECT_EQ(run({"", "7", "", "AB", ""}), "GIS update done") << window_.transcript();
                EXPECT_FALSE(refused_);
                EXPECT_TRUE(window_shows("OLD DATA FILES ARE STORED IN [AB]xxxxOO.Z1y"));
            }

            int model_files = 0;
            for (const auto& [name, bytes] : expected) {
                SCOPED_TRACE(name);
                if (name.size() == 12 &&
                    (name.substr(8) == ".ZZN" || name.substr(8) == ".ZZL" || name.substr(8) == ".ZZS")) {
                    if (!bytes.empty()) {
                        EXPECT_EQ(TemporaryDirectory::get(name), bytes);
                    }
                } else if (is_model_file(name)) {
                    ++model_files;
                    // Binary files: compared whole, shown by name only.
                    EXPECT_TRUE(TemporaryDirectory::get(name) == bytes) << "the GIS data, and nothing else, changed";
                    EXPECT_FALSE(bytes == before.at(name));
                    const std::string oo = name.substr(0, 6) + "OO." + name.substr(9);
                    EXPECT_TRUE(TemporaryDirectory::get(oo) == before.at(name)) << "the OO copy keeps the old data";
                }
            }
            EXPECT_EQ(model_files, 2 * static_cast<int>(study.map_numbers().size()));
            for (const char* report : {"link.dia", "node.dia", "subarea.dia", "SETC.ZZZ"})
                EXPECT_TRUE(fs::exists(report)) << report;
            EXPECT_EQ(history_entries(), 1);
            EXPECT_EQ(read_text_lines("ABHISTZZ.DAT").back(), "\f");
            EXPECT_EQ(read_text_lines("ABtoolzz.set").size(), 100u);
        }
    }
}

TEST_F(GisUpdateModuleTest, StudyPromptAnswers)
{
    test::StudyBuilder study = test::gis_study(3);
    study.write(".");
    // "Exit" is the study Ex, which has no model list; "ABCD" is study AB.
    EXPECT_EQ(run({"", "7", "", "Exit", "", "ABCD", ""}), "GIS update done");
    const std::string& refused = window_.reads().at(5);
    EXPECT_EQ(test::snapshot_text(refused, 1, 20, 60), " * DATA FILE [ExTRVLZZ.Z11                  ] DOES NOT EXIST");
    EXPECT_EQ(test::snapshot_text(refused, 5, 13, 42), "Enter Study ID([AA] to [ZZ])......... ===>");
    EXPECT_EQ(test::snapshot_text(window_.reads().at(3), 5, 3, 20), "*** RATIONAL METHOD ");
    EXPECT_EQ(test::snapshot_text(window_.reads().at(2), 23, 8, 30), "GIS-to-DATA BASE UPDATE MODULE")
        << "the banner before the study screen";
    EXPECT_EQ(history_entries(), 1);

    window_ = test::ScriptedWindow();
    EXPECT_EQ(run({"", "7", "", "TOP", "exit"}), "GIS update: EXIT");
    EXPECT_EQ(history_entries(), 1);
}

TEST_F(GisUpdateModuleTest, StormEventsUpToTheFirstMissingModelList)
{
    test::StudyBuilder study = test::gis_study(3, 4);
    study.omit_file("ABTRVLZZ.Z13");
    study.write(".");
    change_gis_data(study);
    study.write_gis_exports(".");
    test::write_command_file("AB", 0, 7, 0);
    EXPECT_EQ(run({}), "GIS update done");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT")) << "a launched run replies only in toolset mode";
    EXPECT_TRUE(fs::exists("AB1234OO.Z12"));
    EXPECT_FALSE(fs::exists("AB1234OO.Z14"));

    // A second run: a second note, and the OO copies hold the files as the
    // first run left them.
    const std::string after_first = TemporaryDirectory::get("AB1234ZZ.Z11");
    window_ = test::ScriptedWindow();
    test::write_command_file("AB", 0, 7, 0);
    run({});
    EXPECT_TRUE(TemporaryDirectory::get("AB1234OO.Z11") == after_first);
    EXPECT_EQ(history_entries(), 2);
}

TEST_F(GisUpdateModuleTest, RefusalsBeforeAnyModelFileIsTouched)
{
    {
        // No export: the message, RETURN, and the study screen again.
        test::StudyBuilder study = test::gis_study(3);
        for (const std::string& name : study.gis_export_names()) study.omit_file(name);
        study.write(".");
        EXPECT_EQ(run({"", "7", "", "AB", "", "EXIT"}), "GIS update: EXIT");
        EXPECT_FALSE(refused_) << "left at EXIT";
        EXPECT_EQ(test::snapshot_text(window_.reads().at(4), 5, 16, 45),
                  "* NONE OF THE NECESSARY DATA BASE FILES EXIST");
        EXPECT_EQ(test::snapshot_text(window_.reads().at(4), 1, 17, 30), "       (e.g., [ABSUBSZZ.ASC], ");
        EXPECT_FALSE(fs::exists("AB1234OO.Z11"));
    }
    {
        // Launched without an export: the message, RETURN, and the end
        // without a reply.
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::gis_study(3);
        for (const std::string& name : study.gis_export_names()) study.omit_file(name);
        study.write(".");
        test::write_command_file("AB", 1, 7, 0);
        EXPECT_EQ(run({""}), "no GIS export");
        EXPECT_TRUE(refused_);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        EXPECT_FALSE(fs::exists("ABHISTZZ.DAT"));
    }
    {
        // A model list that names no model file.
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        write_model_list_file("ABTRVLZZ.Z11", {});
        EXPECT_EQ(run({"", "7", "", "AB", "EXIT"}), "GIS update: EXIT");
        EXPECT_EQ(test::snapshot_text(window_.reads().at(4), 1, 20, 65),
                  " * DATA FILE [ABTRVLZZ.Z11                  ] NAMES NO MODEL FILE");
        EXPECT_EQ(window_.beeps(), 1);
    }
    {
        // The first listed model file missing: the warning, RETURN, the end.
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::gis_study(3);
        study.omit_file("AB1234ZZ.Z11");
        study.write(".");
        EXPECT_EQ(run({"", "7", "", "AB", ""}), "GIS update: first model file missing");
        EXPECT_TRUE(refused_);
        EXPECT_TRUE(window_shows("  * WARNING: File [AB1234ZZ.Z11.] does NOT exist!"));
        EXPECT_FALSE(fs::exists("ABHISTZZ.DAT"));
    }
    {
        // The first listed model file holding no header.
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::gis_study(3);
        study.write(".");
        TemporaryDirectory::put("AB1234ZZ.Z11", "not a record file");
        EXPECT_EQ(run({"", "7", "", "AB", ""}), "GIS update: first model file has no header");
        EXPECT_TRUE(refused_);
        EXPECT_TRUE(window_shows("  * WARNING: File [AB1234ZZ.Z11.] is NOT a valid model file: left unchanged!"));
    }
}

// A header value of the first model file that is no number (here the GIS
// update option) is refused naming the file and the record, before any
// file is touched.
TEST_F(GisUpdateModuleTest, AFirstModelFileHeaderValueThatIsNoNumberIsRefused)
{
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(bad);
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::gis_study(3).write(".");
        test::set_record_value("AB1234ZZ.Z11", 9, 1, bad);
        const Files before = TemporaryDirectory::snapshot();
        try {
            run({"", "7", "", "AB"});
            ADD_FAILURE() << "the update went on";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("AB1234ZZ.Z11: record 9: the value "), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    }
}

TEST_F(GisUpdateModuleTest, AModelFileThatDoesNotWalkIsLeftAsItIs)
{
    test::StudyBuilder study = test::gis_study(3);
    study.write(".");
    change_gis_data(study);
    study.write_gis_exports(".");
    // Map 1235's file loses its last record: the file ends inside a group.
    std::vector<RecordBytes> records = decode_records(TemporaryDirectory::get("AB1235ZZ.Z11"), "AB1235ZZ.Z11");
    records.pop_back();
    TemporaryDirectory::put("AB1235ZZ.Z11", encode_records(records));
    const std::string broken = TemporaryDirectory::get("AB1235ZZ.Z11");
    EXPECT_EQ(run({"", "7", "", "AB", ""}), "GIS update done");
    EXPECT_TRUE(TemporaryDirectory::get("AB1235ZZ.Z11") == broken);
    EXPECT_FALSE(fs::exists("AB1235OO.Z11"));
    EXPECT_TRUE(window_shows("  * WARNING: File [AB1235ZZ.Z11.] is NOT a valid model file: left unchanged!"));
    EXPECT_TRUE(fs::exists("AB1234OO.Z11")) << "the other maps are updated";
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

TEST_F(GisUpdateModuleTest, CurveNumberStudyIsUpdatedByItsOwnWalk)
{
    test::StudyBuilder study("AB", 10, 1);
    study.add_node(123401.0f, 200.0f, {5.0f});
    study.add_node(123402.0f, 190.0f, {8.0f});
    study.add_node(123403.0f, 180.0f, {10.0f});
    study.add_initial_link(123401.0f, 123402.0f, 400.0f);
    study.add_link(123402.0f, 123403.0f, 800.0f, test::Element::channel(4.0f, 6.0f, 2.0f));
    study.add_subarea(123401.0f, 64.0f, test::SubareaEntry::Initial, 2.0f, 3.0f);
    study.subarea(123401.0f).column(11) = 4.0f;  // GIS value 7: the parameter that goes into cell 1's soil
    study.add_gis_exports();
    study.write(".");
    const ModelFile before = read_model_file("AB1234ZZ.Z11");
    EXPECT_EQ(run({"", "7", "", "AB", ""}), "GIS update done");
    const ModelFile after = read_model_file("AB1234ZZ.Z11");
    ASSERT_EQ(after.groups.size(), before.groups.size());
    for (std::size_t g = 0; g < after.groups.size(); ++g) {
        const ModelGroup& group = after.groups[g];
        SCOPED_TRACE(group.process_code());
        if (group.process_code() == 21) {
            EXPECT_EQ(group.values[0], 0.1f) << "64 acres in square miles";
            EXPECT_EQ(group.values[5], 4.0f) << "cell 1's soil: the subarea parameter";
            EXPECT_EQ(group.values[4], 0.0f);
            EXPECT_EQ(group.values[6], 0.0f);
        } else if (group.process_code() == 51) {
            EXPECT_EQ(group.values[4], 800.0f) << "the GIS length";
            EXPECT_EQ(group.values[5], 10.0f / 800.0f) << "the slope from the GIS node elevations";
        } else {
            EXPECT_EQ(group.values, before.groups[g].values);
        }
    }
    EXPECT_TRUE(read_model_file("AB1234OO.Z11").groups[0].values == before.groups[0].values);
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

TEST_F(GisUpdateModuleTest, StudyFilesInTheDataDirectoryAndSetFilesInTheWorkingDirectory)
{
    test::StudyBuilder study = test::gis_study(3);
    study.set_data_directory("DATA\\AB\\STUDY.TXT");
    study.write(".");
    test::write_command_file("AB", 1, 7, 0);
    EXPECT_EQ(run({}), "GIS update done");
    for (const char* name :
         {"DATA/AB/AB1234OO.Z11", "DATA/AB/AB1301OO.Z11", "DATA/AB/link.dia", "DATA/AB/node.dia", "DATA/AB/subarea.dia",
          "DATA/AB/ABHISTZZ.DAT", "DATA/AB/ABtoolzz.set", "SETC.ZZZ", "SETE.ZZZ", "SETF.ZZZ"})
        EXPECT_TRUE(fs::exists(name)) << name;
    EXPECT_EQ(read_gis_link_file("DATA/AB/AB1234ZZ.ZZL", FilePresence::MustExist).front().processed_stamp(), 1.0f);
    EXPECT_FALSE(fs::exists("AB1234OO.Z11"));
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

TEST_F(GisUpdateModuleTest, SampleStudyUpdatedFromItsOwnExportsKeepsItsModelFiles)
{
    // The sample's exports hold the data its model files were made from: the
    // update changes nothing, not even the depth of the open channels, which
    // the model files hold with the freeboard added and the GIS link file
    // without it (the freeboard comes from the link data base), nor the
    // code-22 initial subareas, whose time of concentration the update keeps
    // and whose packed length and cell-1 soil it packs again as they stand.
    const fs::path sample = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";
    std::vector<std::string> model_files;
    for (const auto& entry : fs::directory_iterator(sample)) {
        const std::string name = entry.path().filename().string();
        fs::copy_file(entry.path(), name);
        if (name.size() == 12 && name.substr(6, 5) == "ZZ.Z1" && std::isdigit(static_cast<unsigned char>(name[2])))
            model_files.push_back(name);
    }
    test::write_command_file("SA", 1, 7, 0);
    EXPECT_EQ(run({}), "GIS update done");
    ASSERT_FALSE(model_files.empty());
    for (const std::string& name : model_files) {
        SCOPED_TRACE(name);
        const std::string oo = name.substr(0, 6) + "OO." + name.substr(9);
        EXPECT_TRUE(TemporaryDirectory::get(name) == TemporaryDirectory::get(oo)) << "byte for byte";
        const ModelFile before = read_model_file(oo);
        const ModelFile after = read_model_file(name);
        EXPECT_TRUE(std::any_of(before.groups.begin(), before.groups.end(), [](const ModelGroup& g) {
            return g.process_code() == 22;
        })) << "the initial subareas are code-22 groups";
        EXPECT_EQ(after.header.values, before.header.values);
        ASSERT_EQ(after.groups.size(), before.groups.size());
        for (std::size_t g = 0; g < after.groups.size(); ++g) {
            EXPECT_EQ(after.groups[g].values, before.groups[g].values) << "group " << g + 1;
            EXPECT_EQ(after.groups[g].text, before.groups[g].text);
        }
    }
}

}  // namespace
}  // namespace velm
