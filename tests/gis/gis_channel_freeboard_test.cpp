// An open channel's depth in a model file holds the freeboard of its record
// in the map's link data base on top of the depth the GIS link file carries.
// A channel whose depth the GIS sets and that the data base holds no record
// of (the data base empty included) would lose its freeboard in every storm
// event's model file: the update is refused in the window, naming the data
// base and the channel's nodes, and nothing changes.  A channel the GIS
// leaves as read needs no record, and a curve-number map writes no channel
// depth and needs no link data base at all.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gis/gis_study.h"
#include "gis/gis_update_module.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/model_file.h"
#include "support/change_steps.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

// The channel of the GIS study: a link of map 1301 (its downstream node's).
constexpr float CHANNEL_UP = 123502.0f;
constexpr float CHANNEL_DOWN = 130101.0f;
const std::string CHANNEL_LINE_START = " 123502.0 130101.0 ";
constexpr float FREEBOARD = 1.0f;  // ft, on top of the channel's 4 ft depth

bool is_model_file(const std::string& name)
{
    return name.size() == 12 && std::isdigit(static_cast<unsigned char>(name[2])) && name.substr(6, 5) == "ZZ.Z1";
}

Files model_files()
{
    Files files;
    for (const std::string& name : TemporaryDirectory::entries())
        if (is_model_file(name)) files[name] = TemporaryDirectory::get(name);
    return files;
}

std::string oo_copy_of(const std::string& model_file)
{
    return model_file.substr(0, 6) + "OO." + model_file.substr(9);
}

// The lines of a text file without those that start with `start`.
void remove_lines_starting(const std::string& file, const std::string& start)
{
    std::vector<std::string> kept;
    for (const std::string& line : read_text_lines(file))
        if (!line.starts_with(start)) kept.push_back(line);
    write_text_lines(file, kept);
}

// The channel group (friction factor, base width, side slope, height) of a
// model file.
std::vector<float> channel_cross_section(const std::string& model_file)
{
    for (const ModelGroup& group : read_model_file(model_file).groups)
        if (group.upstream_node == CHANNEL_UP && group.downstream_node == CHANNEL_DOWN)
            return std::vector<float>(group.values.begin() + 3, group.values.begin() + 7);
    ADD_FAILURE() << model_file << " holds no channel group";
    return {};
}

// The channel's group written with process `code` in every model file of
// its map, as the study builder writes it with code 51.
void set_channel_code(int code)
{
    for (const char* name : {"AB1301ZZ.Z11", "AB1301ZZ.Z12"}) {
        rewrite_model_file(name, [code, name](ModelFile& file) {
            int channels = 0;
            for (ModelGroup& group : file.groups) {
                if (group.upstream_node != CHANNEL_UP || group.downstream_node != CHANNEL_DOWN) continue;
                ASSERT_EQ(group.process_code(), 51) << name;
                group.code_value = static_cast<float>(code);
                ++channels;
            }
            ASSERT_EQ(channels, 1) << name;
        });
    }
}

class GisChannelFreeboardTest : public test::SessionTest {
protected:
    // A type-8 study of two storm events whose channel carries a freeboard;
    // `edit` changes the data before the exports are written, so that the
    // GIS files differ from the model files.
    static void write_study(const std::function<void(test::StudyBuilder&)>& edit = {})
    {
        test::StudyBuilder study = test::gis_study(8, 2);
        study.link(CHANNEL_UP, CHANNEL_DOWN).channel_freeboard() = FREEBOARD;
        study.write(".");
        if (edit) {
            edit(study);
            study.write_gis_exports(".");
        }
    }

    // The module, chosen from the menu or launched (count 1), until it
    // stops; the reason of the stop.
    std::string update(bool launched = false)
    {
        window_ = test::ScriptedWindow();
        LauncherCall call;
        if (launched) {
            call.run_count = 1;
            call.line = launcher_line("AB");
            window_.type("");  // RETURN under the refusal
        } else {
            window_.type({"", "AB", ""});  // the banner's RETURN, the study, RETURN under the end
        }
        return test::run_gis_update_to_stop(session_, call, refused_);
    }

    // The refusal's message as the window showed it, its lines joined.
    std::string refusal_shown() const
    {
        for (const std::string& screen : window_.reads())
            if (test::snapshot_row(screen, 20).starts_with(" * THE UPDATE CANNOT BE MADE; NO FILE WAS CHANGED:")) {
                std::string message = test::snapshot_rows_joined(screen, 21, 23);
                if (message.ends_with(' ')) message.pop_back();  // the blank the joining puts after every row
                return message;
            }
        return "no refusal shown";
    }

    bool refused_ = false;
};

// Every open channel's code, 51 to 56, needs its record: the channel's group
// written with the code in every model file of its map.
TEST_F(GisChannelFreeboardTest, AChannelWhoseDepthTheGisSetsWithoutItsRecordIsRefusedAndNothingChanges)
{
    const std::string no_record =
        "Link data base 'AB1301ZZ.ZLL' holds no record of the open channel from node 123502.0 to node 130101.0: it "
        "keeps the channel's freeboard, which the GIS files do not carry";
    const std::string no_data_base =
        "Link data base 'AB1301ZZ.ZLL' does not exist: it keeps the freeboards of the map's open channels, which the "
        "GIS files do not carry";
    const struct {
        const char* what;
        std::function<void()> spoil;
        bool launched;
        const std::string& refusal;
    } cases[] = {
        {"the channel's record taken out of the map's link data base",
         [] { remove_lines_starting("AB1301ZZ.ZLL", CHANNEL_LINE_START); }, false, no_record},
        {"the map's link data base empty", [] { TemporaryDirectory::put("AB1301ZZ.ZLL", ""); }, false, no_record},
        {"the map's link data base missing", [] { fs::remove("AB1301ZZ.ZLL"); }, false, no_data_base},
        {"the channel's record taken out, in a launched run",
         [] { remove_lines_starting("AB1301ZZ.ZLL", CHANNEL_LINE_START); }, true, no_record},
    };
    for (int code = 51; code <= 56; ++code) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE("process code " + std::to_string(code));
            TemporaryDirectory directory;
            // The GIS widens the channel: its depth is written again.
            write_study(
                [](test::StudyBuilder& study) { study.link(CHANNEL_UP, CHANNEL_DOWN).element_base_width() = 7.0f; });
            set_channel_code(code);
            c.spoil();
            const Files before = test::study_files();
            EXPECT_EQ(update(c.launched), "GIS update refused");
            EXPECT_TRUE(refused_);
            // Binary files among them: compared whole, named only.
            for (const auto& [name, bytes] : test::study_files()) {
                EXPECT_TRUE(before.contains(name)) << name << " was written";
                EXPECT_TRUE(before.contains(name) && before.at(name) == bytes) << name << " was changed";
            }
            EXPECT_EQ(test::study_files().size(), before.size());
            for (const auto& [name, bytes] : before) {
                if (is_model_file(name)) {
                    EXPECT_FALSE(fs::exists(oo_copy_of(name))) << oo_copy_of(name);
                }
            }
            EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
            EXPECT_FALSE(test::has_hidden_file());
            EXPECT_EQ(refusal_shown(), c.refusal) << window_.dump();
        }
        // The same study with the channel's record: the code's depth is
        // updated, the freeboard kept on top.
        SCOPED_TRACE("process code " + std::to_string(code) + " with its record");
        TemporaryDirectory directory;
        write_study(
            [](test::StudyBuilder& study) { study.link(CHANNEL_UP, CHANNEL_DOWN).element_base_width() = 7.0f; });
        set_channel_code(code);
        EXPECT_EQ(update(), "GIS update done") << window_.dump();
        for (const char* name : {"AB1301ZZ.Z11", "AB1301ZZ.Z12"})
            EXPECT_EQ(channel_cross_section(name), (std::vector<float>{0.025f, 7.0f, 2.0f, 4.0f + FREEBOARD})) << name;
    }
}

// What needs no freeboard updates as a sound study updates.
TEST_F(GisChannelFreeboardTest, AChannelTheGisLeavesAsReadNeedsNoRecord)
{
    // The GIS channel with vertical sides: its cross section stays as read.
    write_study([](test::StudyBuilder& study) {
        study.link(CHANNEL_UP, CHANNEL_DOWN).element_side_slope() = 0.0f;
        study.link(CHANNEL_UP, CHANNEL_DOWN).link_length() = 850.0f;
    });
    remove_lines_starting("AB1301ZZ.ZLL", CHANNEL_LINE_START);
    const Files before = model_files();
    ASSERT_EQ(before.size(), 6u);
    const std::vector<float> cross_section = channel_cross_section("AB1301ZZ.Z11");
    ASSERT_EQ(cross_section, (std::vector<float>{0.025f, 6.0f, 2.0f, 4.0f + FREEBOARD}));

    EXPECT_EQ(update(), "GIS update done") << window_.dump();
    EXPECT_FALSE(refused_);
    for (const char* name : {"AB1301ZZ.Z11", "AB1301ZZ.Z12"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TemporaryDirectory::get(name) != before.at(name)) << "the GIS length is written";
        EXPECT_TRUE(TemporaryDirectory::get(oo_copy_of(name)) == before.at(name));
        EXPECT_EQ(channel_cross_section(name), cross_section);
    }
}

// A curve-number map writes no channel depth: a map with a channel and no
// link data base updates as it does with one.
TEST_F(GisChannelFreeboardTest, ACurveNumberMapWithChannelsNeedsNoLinkDataBase)
{
    const auto write_curve_number_study = [] {
        test::StudyBuilder study("AB", 10, 2);
        study.add_node(123401.0f, 200.0f, {5.0f});
        study.add_node(123402.0f, 190.0f, {8.0f});
        study.add_node(123403.0f, 180.0f, {10.0f});
        study.add_initial_link(123401.0f, 123402.0f, 400.0f);
        study.add_link(123402.0f, 123403.0f, 800.0f, test::Element::channel(4.0f, 6.0f, 2.0f, 0.025f, FREEBOARD));
        study.add_subarea(123401.0f, 64.0f, test::SubareaEntry::Initial, 2.0f, 3.0f);
        study.write(".");
        // The GIS lengthens and widens the channel.
        study.link(123402.0f, 123403.0f).link_length() = 820.0f;
        study.link(123402.0f, 123403.0f).element_base_width() = 7.0f;
        study.write_gis_exports(".");
    };
    Files with_data_base;
    {
        TemporaryDirectory directory;
        write_curve_number_study();
        ASSERT_EQ(update(), "GIS update done") << window_.dump();
        with_data_base = test::study_files();
    }
    write_curve_number_study();
    const Files before = model_files();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_TRUE(fs::remove("AB1234ZZ.ZLL"));
    EXPECT_EQ(update(), "GIS update done") << window_.dump();
    EXPECT_FALSE(refused_);
    const Files now = test::study_files();
    for (const auto& [name, bytes] : before) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(now.at(name) != bytes) << "the model file is updated";
        EXPECT_TRUE(now.at(name) == with_data_base.at(name)) << "as with the link data base";
        EXPECT_TRUE(now.at(oo_copy_of(name)) == bytes);
    }
}

}  // namespace
}  // namespace velm
