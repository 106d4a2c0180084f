// The history log: entry frame, appending, page breaks, the GIS note.
#include "records/history_log.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

TEST(HistoryLog, FrameShowsTheDateWhereThePiecesAreDatedAndTheTimeBehindIt)
{
    const std::vector<std::string> frame = history_entry_frame(DateTime{2024, 7, 3, 9, 5, 59, 99});
    ASSERT_EQ(frame.size(), 2u);
    EXPECT_EQ(frame[0], "  ***" + std::string(70, '=') + "***");
    EXPECT_EQ(frame[1], "     Date : 07/03/2024" + std::string(41, ' ') + "Time : 09:05");
    EXPECT_EQ(frame[1].substr(HISTORY_DATE_COLUMN - 1, HISTORY_DATE_LENGTH), "07/03/2024");
    EXPECT_EQ(history_entry_frame(DateTime{2024, 12, 31, 23, 59}, HISTORY_WIDE_RULE_FORMAT)[0],
              "  ***" + std::string(88, '=') + "***");
    EXPECT_EQ(history_log_name("XY"), "XYHISTZZ.DAT");
}

TEST(HistoryLog, EntriesAreAppendedAfterWhatTheLogHoldsAndPageBreaksNeverCreateIt)
{
    TemporaryDirectory dir;
    append_history_page_break("ABHISTZZ.DAT");
    EXPECT_FALSE(file_exists("ABHISTZZ.DAT")) << "a page break does not create the log";

    TemporaryDirectory::put("ABHISTZZ.DAT", "earlier piece\r\n\f\r\n");
    HistorianFile log("ABHISTZZ.DAT");
    EXPECT_FALSE(log.is_open());
    log.append({"first", "entry"});
    EXPECT_TRUE(log.is_open());
    // Each entry is in the file as soon as it is written.
    EXPECT_EQ(TemporaryDirectory::get("ABHISTZZ.DAT"), "earlier piece\r\n\f\r\nfirst\r\nentry\r\n");
    log.append({"second"});
    log.close();
    append_history_page_break("ABHISTZZ.DAT");
    EXPECT_EQ(TemporaryDirectory::get("ABHISTZZ.DAT"), "earlier piece\r\n\f\r\nfirst\r\nentry\r\nsecond\r\n\f\r\n");
}

TEST(HistoryLog, GisUpdateNoteEndsWithAPageBreak)
{
    const std::vector<std::string> note = gis_update_note(DateTime{2025, 1, 2, 14, 30});
    ASSERT_EQ(note.size(), 6u);
    EXPECT_EQ(note[1].substr(12, 10), "01/02/2025");
    EXPECT_EQ(note[2], "     " + std::string(71, '-'));
    EXPECT_EQ(note[3], "  ** Link-Node Model Updated with GIS Data! Check YOUR GIS files for Backup.");
    EXPECT_EQ(note[4], note[2]);
    EXPECT_EQ(note[5], "\f");
}

}  // namespace
}  // namespace velm
