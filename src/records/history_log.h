// The study's history log "HISTZZ.DAT": every change the network model
// editor makes to the model, with the date, the time and the values before
// and after it; a page-break line each time the user leaves the editor
// module (only when the log exists); and a dated note per GIS update.  The
// data base management splits the log at its page breaks and dates each
// piece by characters 13 to 22 of its second line, so every piece starts
// with the rule and stamp lines of an entry.
//
// The log is only ever appended to, never rewritten, and every entry is on
// the disk when its writer returns, so a later stop loses no logged change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace velm {

inline constexpr std::string_view HISTORY_LOG_NAME_FORMAT = "(A2,'HISTZZ.DAT')";
inline constexpr std::string_view HISTORY_RULE_FORMAT = "(2X,'***',70('='),'***')";
// The street section entry of the link editor uses a wider rule.
inline constexpr std::string_view HISTORY_WIDE_RULE_FORMAT = "(2X,'***',88('='),'***')";
inline constexpr std::string_view HISTORY_STAMP_FORMAT =
    "(5X,'Date : ',I2.2,'/',I2.2,'/',I4,41X,'Time : ',I2.2,':',I2.2)";
inline constexpr std::string_view GIS_UPDATE_NOTE_FORMAT =
    "(5X,71('-'),/,2X,'** Link-Node Model Updated with GIS Data! Check',' YOUR GIS files for Backup.',/,5X,"
    "71('-'),/,A)";
// Where the stamp line holds the date (1-based, month/day/year).
inline constexpr int HISTORY_DATE_COLUMN = 13;
inline constexpr int HISTORY_DATE_LENGTH = 10;

// "<study>HISTZZ.DAT", without the data directory.
std::string history_log_name(std::string_view study_id);

// The rule line and the stamp line that open every entry.
std::vector<std::string> history_entry_frame(const DateTime& moment,
                                             std::string_view rule_format = HISTORY_RULE_FORMAT);

// The GIS update's note: rule, stamp, the fixed text, and a page break.
std::vector<std::string> gis_update_note(const DateTime& moment);

// The log as one editor visit uses it: opened (created when missing) at the
// first entry, each entry appended and forced to the disk at once.
class HistorianFile {
public:
    explicit HistorianFile(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    // Appends the lines (CR LF line ends).
    void append(const std::vector<std::string>& lines);
    bool is_open() const { return open_; }
    void close() { open_ = false; }

private:
    std::string name_;
    bool open_ = false;
};

// Leaving the editor module: one page-break line when the log exists; a
// missing log is not created.  FileError naming the log when it cannot be
// written (the log is left as it was).
void append_history_page_break(std::string_view name);

// Reading the log back, visit by visit (the split of the data base
// management): the lines after the previous page break and before its own.
struct HistoryVisit {
    std::vector<std::string> lines;
    bool closed = true;  // false for the last lines of a log that no page break ends
};

// The visits of a log in file order (the log must exist: FileError
// otherwise).  A line whose first character is a form feed closes a visit;
// the lines after the last page break, when there are any, are a visit of
// their own that is not closed.
std::vector<HistoryVisit> read_history_visits(std::string_view name);

}  // namespace velm
