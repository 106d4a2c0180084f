#include "management/historian_split.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "management/scenario_module.h"
#include "module_run.h"
#include "platform/text_file.h"
#include "records/history_log.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

const std::string RULE = "  ***" + std::string(70, '=') + "***";

std::string stamp(const std::string& date)
{
    return "     Date : " + date + std::string(41, ' ') + "Time : 09:05";
}

std::string padded(std::string line)
{
    line.resize(std::max<std::size_t>(90, line.size()), ' ');
    return line;
}

class HistorianSplitTest : public test::ModuleTest {
protected:
    std::string split(int count, const std::vector<std::string>& typed)
    {
        return run([count](Session& session, LauncherCall&) { split_historian_file(session, count, "AB"); }, call_,
                   typed);
    }
    LauncherCall call_;
};

TEST_F(HistorianSplitTest, OnePiecePerVisitWithItsDateInTheIndex)
{
    const std::string long_line = "     " + std::string(100, 'x');
    const std::string log = RULE + "\r\n" + stamp("07/03/2024") +
                            "\r\n     Subarea Data (Previous)/Current:\r\n\f\r\n" + "\f\r\n" +  // an empty visit
                            RULE + "\r\n" + stamp("07/04/2024") + "\r\n" + long_line + "\r\n\f\r\n" + RULE + "\r\n" +
                            stamp("08/01/2024") + "\r\n";  // a visit no page break closed
    test::TemporaryDirectory::put("ABHISTZZ.DAT", log);
    for (int n = 1; n <= 5; ++n) test::TemporaryDirectory::put("ABHISTZZ.00" + std::to_string(n), "old\r\n");

    EXPECT_EQ(split(0, {""}), "history log split: done");
    EXPECT_EQ(read_text_lines("ABHISTZZ.001"),
              (std::vector<std::string>{padded(RULE), padded(stamp("07/03/2024")),
                                        padded("     Subarea Data (Previous)/Current:")}));
    EXPECT_EQ(test::TemporaryDirectory::get("ABHISTZZ.002"), "");
    EXPECT_EQ(read_text_lines("ABHISTZZ.003").at(2), long_line) << "a long line is kept whole";
    EXPECT_EQ(read_text_lines("ABHISTZZ.004").size(), 2u) << "the unterminated visit is kept";
    EXPECT_FALSE(fs::exists("ABHISTZZ.005")) << "the earlier split's extra piece is gone";
    EXPECT_FALSE(fs::exists("ABHISTZZ.DAT"));
    EXPECT_EQ(read_text_lines("ABHISTZZ.IDX"),
              (std::vector<std::string>{"   4", "ABHISTZZ.001" + std::string(20, ' ') + "07/03/2024",
                                        "ABHISTZZ.002" + std::string(30, ' '),
                                        "ABHISTZZ.003" + std::string(20, ' ') + "07/04/2024",
                                        "ABHISTZZ.004" + std::string(20, ' ') + "08/01/2024"}));
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 5, 26), "Processing HISTORIAN files");
    EXPECT_EQ(cursor_at(0), std::make_pair(64, 24)) << "a pause before the end";
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

TEST_F(HistorianSplitTest, LogAsTheEditorAndTheGisUpdateWriteItIsDatedByItsStamps)
{
    // An editor visit closed by the page break of leaving the module, then a
    // GIS update's note, which ends with its own page break.
    HistorianFile log(history_log_name("AB"));
    log.append(history_entry_frame(DateTime{2024, 7, 3, 9, 5, 0, 0}));
    log.append({"     Subarea Data (Previous)/Current:"});
    append_history_page_break(log.name());
    log.append(gis_update_note(DateTime{2025, 12, 31, 23, 59, 0, 0}));
    EXPECT_EQ(split(0, {""}), "history log split: done");
    EXPECT_EQ(read_text_lines("ABHISTZZ.IDX"),
              (std::vector<std::string>{"   2", "ABHISTZZ.001" + std::string(20, ' ') + "07/03/2024",
                                        "ABHISTZZ.002" + std::string(20, ' ') + "12/31/2025"}));
    EXPECT_EQ(read_text_lines("ABHISTZZ.002").size(), 5u) << "rule, stamp and the three lines of the note";
    EXPECT_FALSE(fs::exists("ABHISTZZ.003"));
}

// A history log that cannot be split: the run's end and the window's
// message for it.
struct UnsplittableLog {
    const char* name;
    std::optional<std::string> log;
    std::string reason;
    std::string message;
};

std::vector<UnsplittableLog> unsplittable_logs()
{
    std::string thousand_visits;
    for (int n = 0; n < 1000; ++n) thousand_visits += RULE + "\r\n" + stamp("07/03/2024") + "\r\n\f\r\n";
    return {
        {"no log", std::nullopt, "history log split: no log", " * DATA FILE [ABHISTZZ.DAT] DOES NOT EXIST"},
        {"more visits than piece numbers", thousand_visits, "history log split: too many visits",
         " * DATA FILE [ABHISTZZ.DAT] HOLDS MORE THAN 999 VISITS: NOT SPLIT"},
    };
}

TEST_F(HistorianSplitTest, RefusedSplitIsShownUntilReturnAndChangesNothing)
{
    for (const UnsplittableLog& c : unsplittable_logs()) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        fs::remove("ABHISTZZ.DAT");
        if (c.log) test::TemporaryDirectory::put("ABHISTZZ.DAT", *c.log);
        test::TemporaryDirectory::put("ABHISTZZ.001", "old\r\n");
        test::TemporaryDirectory::put("ABHISTZZ.IDX", "   1\r\n");
        EXPECT_EQ(split(1, {""}), c.reason);
        // The window closes with the program: the message waits for RETURN.
        EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 21, c.message.size()), c.message);
        EXPECT_EQ(cursor_at(0), std::make_pair(64, 24));
        EXPECT_EQ(test::TemporaryDirectory::get("ABHISTZZ.001"), "old\r\n");
        EXPECT_EQ(test::TemporaryDirectory::get("ABHISTZZ.IDX"), "   1\r\n");
        EXPECT_FALSE(fs::exists("ABHISTZZ.002"));
        EXPECT_EQ(fs::exists("ABHISTZZ.DAT"), c.log.has_value()) << "the log is kept to split later";
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

// A maintenance adoption whose log cannot be split is put in place without
// the split, and the run then ends refused: under the log's message the
// window says that the adoption was written.
TEST_F(HistorianSplitTest, AnAdoptionWhoseLogCannotBeSplitSaysItWasWritten)
{
    const std::string adopted = " * THE ADOPTION WAS WRITTEN: BASELINE DATA BASES, INVENTORY AND MPDCOPY.BAT";
    for (const UnsplittableLog& c : unsplittable_logs()) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        test::two_map_management_study().write(fs::current_path());
        if (c.log) test::TemporaryDirectory::put("ABHISTZZ.DAT", *c.log);
        EXPECT_EQ(run(run_scenario_adopt_reject_module, call_ = launched_call("AB", 1, 4), {""}), c.reason);
        EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 21, c.message.size()), c.message);
        EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 22, adopted.size()), adopted);
        for (const char* file : {"ABNODEZZ.BAS", "ABLINKZZ.BAS", "ABSUBAZZ.BAS", "ABINVTZZ.ZZZ", "MPDCOPY.BAT"})
            EXPECT_TRUE(fs::exists(file)) << file;
        EXPECT_FALSE(fs::exists("ABHISTZZ.IDX"));
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

TEST_F(HistorianSplitTest, MaintenanceAdoptionEndsWithTheSplitAndItsReply)
{
    test::two_map_management_study().write(fs::current_path());
    test::TemporaryDirectory::put("ABHISTZZ.DAT", RULE + "\r\n" + stamp("07/03/2024") + "\r\n\f\r\n");
    EXPECT_EQ(run(run_scenario_adopt_reject_module, call_ = launched_call("AB", 1, 4), {""}),
              "history log split: done");
    EXPECT_TRUE(fs::exists("ABLINKZZ.BAS"));
    EXPECT_TRUE(fs::exists("MPDCOPY.BAT"));
    EXPECT_EQ(read_text_lines("ABHISTZZ.IDX").at(0), "   1");
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
}

}  // namespace
}  // namespace velm
