#include "management/historian_split.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/history_log.h"
#include "records/study_names.h"
#include "shell/dialogue.h"
#include "shell/launcher.h"

namespace velm {

namespace {

std::string piece_name(std::string_view study_id, int piece)
{
    return format_line(HISTORIAN_PIECE_NAME_FORMAT, {std::string(study_id), piece});
}

// Characters 13 to 22 of the piece's second line (its first entry's stamp
// line), blank when it has none.
std::string date_label(const HistoryVisit& visit)
{
    constexpr std::size_t start = HISTORY_DATE_COLUMN - 1;
    constexpr std::size_t length = HISTORY_DATE_LENGTH;
    std::string label;
    if (visit.lines.size() >= 2 && visit.lines[1].size() > start) label = visit.lines[1].substr(start, length);
    label.resize(length, ' ');
    return label;
}

}  // namespace

void split_historian_file(Session& session, int count, std::string_view study_id, FileChange* change)
{
    FileChange own;
    FileChange& files = change != nullptr ? *change : own;
    // A file that cannot be written: nothing of the change is written.
    const auto refuse = [&session](const FileError& error) {
        stop_on_unwritable_file(session.window, error, "history log split: a file cannot be written");
    };
    const std::string log_name = history_log_name(study_id);
    const std::string log = session.study_file(log_name);
    // The split cannot be made: what the change holds before it is put in
    // place (an adoption is made without its split), and the message under
    // it says so, since the run then ends refused with the adoption made.
    const auto commit_before_refusal = [&] {
        try {
            files.commit();
        } catch (const FileError& error) {
            refuse(error);
        }
        if (change != nullptr) {
            write_at(session.window, 1, MESSAGE_ROW + 1,
                     " * THE ADOPTION WAS WRITTEN: BASELINE DATA BASES, INVENTORY AND MPDCOPY.BAT",
                     LineEnd::StayOnLine);
        }
    };
    if (!file_exists(log)) {
        commit_before_refusal();
        stop_with_message(session.window, " * DATA FILE [" + log_name.substr(0, 30) + "] DOES NOT EXIST",
                          "history log split: no log");
    }
    clear_screen(session.window);
    write_at(session.window, 5, 5, "Processing HISTORIAN files");

    // A log that cannot be read refuses the split and, in an adoption, the
    // whole of it: nothing is in place then.
    std::vector<HistoryVisit> visits;
    try {
        visits = read_history_visits(log);
    } catch (const FileError& error) {
        files.discard();
        stop_on_file_refusal(session.window, " * THE HISTORY LOG CANNOT BE SPLIT; NOTHING WAS CHANGED:", error,
                             "history log split: the log cannot be read");
    }
    const int pieces = static_cast<int>(visits.size());
    if (pieces > MAX_HISTORIAN_PIECES) {
        commit_before_refusal();
        stop_with_message(session.window,
                          " * DATA FILE [" + log_name.substr(0, 30) + "] HOLDS MORE THAN 999 VISITS: NOT SPLIT",
                          "history log split: too many visits");
    }

    static const Format index_count(HISTORIAN_INDEX_COUNT_FORMAT);
    static const Format index_line(HISTORIAN_INDEX_LINE_FORMAT);
    try {
        // The log is deleted once the split is made.
        files.reach(log);
        const std::string index_name = session.study_file(study_file_name(HISTORIAN_INDEX_NAME_FORMAT, study_id));
        files.reach(index_name);
        for (int n = 1; n <= pieces; ++n) files.reach(session.study_file(piece_name(study_id, n)));
        TextWriter index(index_name);
        index.write_line(index_count.line({pieces}));
        for (int n = 1; n <= pieces; ++n) {
            const HistoryVisit& visit = visits[static_cast<std::size_t>(n - 1)];
            TextWriter piece(session.study_file(piece_name(study_id, n)));
            for (std::string line : visit.lines) {
                if (line.size() < HISTORIAN_PIECE_LINE_LENGTH) line.resize(HISTORIAN_PIECE_LINE_LENGTH, ' ');
                piece.write_line(line);
            }
            files.write(piece.name(), piece.contents());
            index.write_line(index_line.line({piece_name(study_id, n), date_label(visit)}));
        }
        files.write(index_name, index.contents());
        // The pieces of an earlier split beyond the new ones, and the log,
        // go with the same change.
        for (int n = pieces + 1; n <= MAX_HISTORIAN_PIECES; ++n) {
            const std::string old_piece = session.study_file(piece_name(study_id, n));
            if (!file_exists(old_piece)) break;
            files.reach(old_piece);
            files.remove(old_piece);
        }
        files.remove(log);
        files.commit();
    } catch (const FileError& error) {
        files.discard();
        refuse(error);
    }

    wait_for_return(session.window);
    end_module_run(session.window, count, study_id, "history log split: done");
}

}  // namespace velm
