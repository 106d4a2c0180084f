// The data base management modules on the bundled sample study, through the
// main program: from the main menu and launched.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text_file.h"
#include "support/program_run.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

class SampleStudyManagementTest : public test::SessionTest {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample")) {
            fs::copy_file(entry.path(), entry.path().filename());
        }
    }
    std::string run(const std::vector<std::string>& typed)
    {
        window_ = test::ScriptedWindow();
        return test::run_program_to_stop(session_, window_, typed);
    }
};

TEST_F(SampleStudyManagementTest, SubsetsThenAdoptionThenMaintenanceAdoptionWithTheHistorySplit)
{
    // Main menu, option 3: the subsets of every map.
    EXPECT_EQ(run({"", "3", "", "4", "SA", "", "EXIT"}), "subset module: done");
    const std::vector<std::string> links = read_text_lines("SALINKZZ.SST");
    std::size_t link_records = 0;
    for (const char* map : {"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"}) {
        link_records += read_text_lines(map).size();
    }
    EXPECT_EQ(links.size(), link_records + 1);

    // Launched, adopt in creation mode.
    test::write_command_file("SA", 0, 6, 3);
    EXPECT_EQ(run({}), "scenario module: done");
    const std::vector<std::string> inventory = read_text_lines("SAINVTZZ.ZZZ");
    EXPECT_EQ(inventory.front(), "SATRVLZZ.Z11");
    EXPECT_EQ(inventory.back(), "SACONTZZ.ZZZ");
    EXPECT_EQ(read_text_lines("MPDCOPY.BAT").size(), 2 * inventory.size() + 1);
    EXPECT_EQ(read_text_lines("SALINKZZ.BAS").size(), link_records);

    // From the menu, adopt in maintenance mode after an editor visit.
    test::TemporaryDirectory::put("SAHISTZZ.DAT", "  ***" + std::string(70, '=') + "***\r\n     Date : 05/06/2024\r\n\f\r\n");
    EXPECT_EQ(run({"", "6", "", "2", "SA", ""}), "history log split: done");
    EXPECT_EQ(read_text_lines("SAHISTZZ.IDX").at(1), "SAHISTZZ.001" + std::string(20, ' ') + "05/06/2024");
    EXPECT_FALSE(fs::exists("SAHISTZZ.DAT"));

    // Rejecting the maintenance scenario: no baseline copies exist (the
    // batch file was not run), so no working file goes.
    test::write_command_file("SA", 0, 6, 2);
    EXPECT_EQ(run({""}), "scenario module: done");
    for (const std::string& name : inventory) EXPECT_TRUE(fs::exists(name) || name.find("ZZ.ZZ") != std::string::npos) << name;
    EXPECT_TRUE(fs::exists("SA2204ZZ.ZLL"));
}

}  // namespace
}  // namespace velm
