// The launcher hand-shake and the tool-status flags.
//
// An outside launcher (the toolset of the program family) starts the system
// directly in one module through the one-shot command file "QEVCOM.DAT" in
// the working directory; a launched run in toolset mode answers through the
// reply file "QEVCOM2.DAT" when it has finished.  The study's tool-status
// file "<study>toolzz.set" records which edit processes were run from the
// toolset, one flag a line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/session.h"

namespace velm {

class FileChange;

inline constexpr std::string_view LAUNCHER_COMMAND_FILE = "QEVCOM.DAT";
inline constexpr std::string_view LAUNCHER_REPLY_FILE = "QEVCOM2.DAT";
inline constexpr std::string_view LAUNCHER_STUDY_FORMAT = "(A2)";  // line 1 of the command file
inline constexpr std::string_view LAUNCHER_REPLY_FORMAT = "(I2)";
inline constexpr int LAUNCHER_DONE_CODE = 99;
inline constexpr int LAUNCHER_LINE_LENGTH = 50;
inline constexpr int TOOLSET_MODE_COUNT = 2;  // the run count of a start from the toolset

inline constexpr std::string_view TOOLSET_FILE_NAME_FORMAT = "(A2,'toolzz.set')";
inline constexpr int TOOL_FLAG_COUNT = 100;

// The tool-status flags the system sets (flag k stands on line k).
enum ToolsetButton : int {
    PostprocessorRunButton = 5,
    FrictionSlopeReviewButton = 11,
    CapacityReviewButton = 12,
    ElementTypeReviewButton = 14,
    SizeReviewButton = 15,
    CostOpinionReviewButton = 41,
    SubsetButton = 52,
};

// What the main program hands to every module: the launcher's run count,
// the module's sub-option and the launcher line.
struct LauncherCall {
    int run_count = 0;   // 0 not launched; the command file's count + 1; 2 the toolset mode
    int sub_option = 0;  // 0 for a module chosen from the main menu
    std::string line = std::string(LAUNCHER_LINE_LENGTH, ' ');  // the launcher's study identifier, then blanks

    bool launched() const { return run_count > 0; }
    bool toolset_mode() const { return run_count == TOOLSET_MODE_COUNT; }
    // Characters 1-2 of the launcher line (blank-padded).
    std::string study_id() const;
};

// The launcher line for a study identifier: its two characters and 48 blanks.
std::string launcher_line(std::string_view study_id);

// What the command file asks for.
struct LauncherCommand {
    int option = 0;  // the main-menu option (truncated); 0 when not launched
    LauncherCall call;
};

// The start of every run (the hand-shake with option 0): reads the command
// file when it exists and deletes it, whether or not it could be read.
// Without a command file the run is interactive: option 0, count 0.
// Line 1 gives the study identifier (its first two characters), line 2 the
// count N (the run count becomes N + 1), lines 3 and 4 the option and the
// sub-option (reals, truncated); lines 5 to 11 are not used and may be
// absent.  A missing or unreadable line 1 to 4, and a launched run (count
// above 0) whose study identifier cannot name a study file, end the run
// with a message on the window and no reply.
LauncherCommand read_launcher_command(Window& window);

// The end of a launched run: with a non-zero option and a count of 2 the
// reply file is written ("99", replacing any earlier reply) and recorded as
// written (see launcher_reply_missing); any other count writes nothing.
// The modules call it at their end as (their run count, 2, 0, study), so
// that every launched run of theirs replies; the main program and the GIS
// update as (1, run count, sub-option, study), so that only the toolset
// mode replies.
void exchange_launcher_files(int option, int count, int sub_option, std::string_view study_id);
// The same at the end of a run whose work is in place: a reply that cannot
// be written is told in the window until RETURN, and the program ends
// refused, the launcher finding no reply.
void reply_to_launcher(Window& window, int option, int count, int sub_option, std::string_view study_id);

// What this run owes the launcher.  A launched run whose ordinary end
// writes the reply is expected to reply from the moment it takes that road
// (expect_launcher_reply); a run that then ends without the reply, however
// it ends (the input ending at a prompt, EXIT before the work, a refusal,
// an error), must not end as finished, since the launcher's script would
// take that for a run that did its work.  The record covers the one
// hand-shake of the program's run: read_launcher_command starts it afresh,
// exchange_launcher_files marks the reply written.
void expect_launcher_reply();
// True when this run was expected to reply and has written no reply.
bool launcher_reply_missing();

// The end of a data base module: a launched run (run count above 0) replies
// as (run count, 2, 0, study), the screen is cleared and the program stops
// with `reason`.
[[noreturn]] void end_module_run(Window& window, int run_count, std::string_view study_id, std::string reason);

// A study identifier that can begin a file name: not blank, and without
// "/", "\", ":" or a control character.
bool is_usable_study_id(std::string_view study_id);

// Sets flag `button` (1 to 100) of the study's tool-status file to 1 and
// writes all 100 flags back.  A missing or short file, or a line that cannot
// be read, leaves the flags from there on at 0: the file is then written
// with all 100 lines.
void set_toolset_entry_flag(Session& session, std::string_view study_id, int button);
// The same for a file that may be short or missing (the subset module).
void set_toolset_entry_flag_until_eof(Session& session, std::string_view study_id, int button);

// The flags of the study's tool-status file: line k's first value is flag
// k; reading stops at the end of the file or at the first line that holds
// no whole number, and the flags not read are 0.
std::vector<int> read_toolset_flags(Session& session, std::string_view study_id);

// Creates the study's tool-status file with 100 zero flags when it is
// missing; an existing file is left as it is.
void create_toolset_file_when_missing(Session& session, std::string_view study_id);

// FileError naming the study's tool-status file when something other than a
// file stands at its name (a fifo, a device, a socket, a directory); a
// missing file passes.  A module that makes the file at its end checks it
// before its first change: met only once the module's work is in place, such
// a thing would refuse the run after it has changed the study, and a
// launcher that starts the run again would do the work a second time.
void check_toolset_file(Session& session, std::string_view study_id);

// The same as a file of `change`: a missing tool-status file is made, with
// its 100 zero flags, by the change's commit together with the change's
// other files; an existing file is left as it is.  FileError as above.
void create_toolset_file_when_missing(Session& session, std::string_view study_id, FileChange& change);

}  // namespace velm
