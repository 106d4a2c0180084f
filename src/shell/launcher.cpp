#include "shell/launcher.h"

#include <climits>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// Lines 1 to 4 of the command file carry what the run needs; the seven
// further numbers the launcher writes are not used.
constexpr std::size_t LAUNCHER_NEEDED_LINES = 4;

// A command file the run cannot follow: the message stays on the window
// until RETURN, then the run ends, refused, without a reply.
[[noreturn]] void refuse_command_file(Window& window, std::string_view first, std::string_view second)
{
    clear_screen(window);
    write_at(window, 5, 5, first);
    write_at(window, 5, 6, second);
    wait_for_return_on_refusal(window);
    stop_program_refused(std::string(first));
}

[[noreturn]] void refuse_command_line(Window& window, int line_number)
{
    refuse_command_file(window, "* LAUNCHER FILE [QEVCOM.DAT] CANNOT BE READ AT LINE " + std::to_string(line_number),
                        "  The launched run stops here; no reply is written.");
}

bool is_blank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The first value of a line of the command file, read free form.  Each of
// lines 2 to 4 holds its own value: a blank line is unreadable, never a
// read that runs on into the next line.
std::optional<int> read_whole_number(const std::string& line, int line_number)
{
    if (is_blank(line)) return std::nullopt;
    int value = 0;
    if (!read_free_form_line(line, {&value}, LAUNCHER_COMMAND_FILE, line_number).ok()) return std::nullopt;
    return value;
}

// A real read free form and truncated to its integer part, as the option
// and sub-option are; a value beyond the integers is unreadable.
std::optional<int> read_truncated_real(const std::string& line, int line_number)
{
    if (is_blank(line)) return std::nullopt;
    float value = 0.0f;
    if (!read_free_form_line(line, {&value}, LAUNCHER_COMMAND_FILE, line_number).ok()) return std::nullopt;
    if (!std::isfinite(value) || value >= 2147483648.0f || value < -2147483648.0f) return std::nullopt;
    return static_cast<int>(value);
}

std::string toolset_file_name(Session& session, std::string_view study_id)
{
    return session.study_file(study_file_name(TOOLSET_FILE_NAME_FORMAT, study_id));
}

// The hand-shake of this run with the launcher: whether the run owes a
// reply, and whether it has written one.  The reply file stands in the
// working directory for the whole process, so the record is the process's
// too.
struct LauncherReplyRecord {
    bool expected = false;
    bool written = false;
};
LauncherReplyRecord reply_record;

// The tool-status file's lines: a flag to a line.
std::vector<std::string> toolset_file_lines(const std::vector<int>& flags)
{
    std::vector<std::string> lines;
    lines.reserve(flags.size());
    for (int flag : flags) lines.push_back(free_form_line({flag}));
    return lines;
}

void write_toolset_flags(Session& session, std::string_view study_id, const std::vector<int>& flags)
{
    write_text_lines(toolset_file_name(session, study_id), toolset_file_lines(flags));
}

void set_flag(Session& session, std::string_view study_id, int button)
{
    if (button < 1 || button > TOOL_FLAG_COUNT) {
        throw std::out_of_range("tool-status flag " + std::to_string(button) + " is not 1 to 100");
    }
    std::vector<int> flags = read_toolset_flags(session, study_id);
    flags[static_cast<std::size_t>(button - 1)] = 1;
    write_toolset_flags(session, study_id, flags);
}

}  // namespace

std::string LauncherCall::study_id() const
{
    return study_id_of(line);
}

std::string launcher_line(std::string_view study_id)
{
    std::string line(study_id.substr(0, 2));
    line.resize(LAUNCHER_LINE_LENGTH, ' ');
    return line;
}

void reply_to_launcher(Window& window, int option, int count, int sub_option, std::string_view study_id)
{
    try {
        exchange_launcher_files(option, count, sub_option, study_id);
    } catch (const FileError& error) {
        clear_screen(window);
        stop_on_file_refusal(window, " * THE WORK IS DONE, BUT THE LAUNCHER'S REPLY CANNOT BE WRITTEN:", error,
                             "launcher reply cannot be written");
    }
}

void end_module_run(Window& window, int run_count, std::string_view study_id, std::string reason)
{
    // The module's work is in place by now.
    if (run_count > 0) reply_to_launcher(window, run_count, 2, 0, study_id);
    clear_screen(window);
    stop_program(std::move(reason));
}

bool is_usable_study_id(std::string_view study_id)
{
    if (study_id.find_first_not_of(' ') == std::string_view::npos) return false;
    for (char c : study_id) {
        const auto code = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || code < 0x20 || code == 0x7F) return false;
    }
    return true;
}

LauncherCommand read_launcher_command(Window& window)
{
    reply_record = {};
    LauncherCommand command;

    // A reply left by an earlier run would tell the launcher that this one
    // succeeded: only a run that reaches its end replies.  The old reply goes
    // before the command file, so that a run killed between the two leaves
    // its command file and no reply, never a reply beside no command file.
    // The command file serves one start only: it goes even when it cannot
    // be followed, so that the next start is an ordinary one.
    // A command file that cannot be read or deleted (a study directory the
    // run may not write to) would start the same run at every start: the
    // run is refused in the window, with nothing changed and no reply.  The
    // refusal names the file that could not be deleted: a reply that is not
    // there is not deleted at all (on a read-only file system even the
    // deletion of a missing file fails).
    // Something else than a file at either name (a fifo, a directory) is
    // refused as well, before anything is changed.
    std::vector<std::string> lines;
    try {
        if (!file_exists(LAUNCHER_COMMAND_FILE)) return command;
        lines = read_text_lines(LAUNCHER_COMMAND_FILE);
        if (file_exists(LAUNCHER_REPLY_FILE)) delete_file(LAUNCHER_REPLY_FILE);
        delete_file(LAUNCHER_COMMAND_FILE);
    } catch (const FileError& error) {
        clear_screen(window);
        stop_on_file_refusal(window, " * THE LAUNCHED RUN CANNOT START; NO REPLY IS WRITTEN:", error,
                             "launcher file cannot be read or deleted");
    }

    if (lines.size() < LAUNCHER_NEEDED_LINES) refuse_command_line(window, static_cast<int>(lines.size()) + 1);
    static const Format study_format(LAUNCHER_STUDY_FORMAT);
    const std::string study = std::get<std::string>(study_format.read({lines[0]}, 1).at(0));

    const std::optional<int> count = read_whole_number(lines[1], 2);
    if (!count || *count == INT_MAX) refuse_command_line(window, 2);
    const std::optional<int> option = read_truncated_real(lines[2], 3);
    if (!option) refuse_command_line(window, 3);
    const std::optional<int> sub_option = read_truncated_real(lines[3], 4);
    if (!sub_option) refuse_command_line(window, 4);

    command.option = *option;
    command.call.run_count = *count + 1;
    command.call.sub_option = *sub_option;
    command.call.line = launcher_line(study);

    if (command.call.launched() && !is_usable_study_id(command.call.study_id())) {
        refuse_command_file(window, "* LAUNCHER FILE [QEVCOM.DAT] NAMES NO USABLE STUDY:",
                            "  a STUDY NAME cannot be blank or hold /, \\, : or control characters.");
    }
    return command;
}

void exchange_launcher_files(int option, int count, [[maybe_unused]] int sub_option,
                             [[maybe_unused]] std::string_view study_id)
{
    if (option == 0 || count != TOOLSET_MODE_COUNT) return;
    static const Format reply_format(LAUNCHER_REPLY_FORMAT);
    write_text_lines(LAUNCHER_REPLY_FILE, {reply_format.line({LAUNCHER_DONE_CODE})});
    reply_record.written = true;
}

void expect_launcher_reply()
{
    reply_record.expected = true;
}

bool launcher_reply_missing()
{
    return reply_record.expected && !reply_record.written;
}

std::vector<int> read_toolset_flags(Session& session, std::string_view study_id)
{
    std::vector<int> flags(TOOL_FLAG_COUNT, 0);
    const std::string name = toolset_file_name(session, study_id);
    TextReader reader = TextReader::open_optional(name);
    std::string line;
    for (int k = 0; k < TOOL_FLAG_COUNT && reader.next_line(line); ++k) {
        int flag = 0;
        if (is_blank(line) || !read_free_form_line(line, {&flag}, name, reader.line_number()).ok()) break;
        flags[static_cast<std::size_t>(k)] = flag;
    }
    return flags;
}

void set_toolset_entry_flag(Session& session, std::string_view study_id, int button)
{
    set_flag(session, study_id, button);
}

void set_toolset_entry_flag_until_eof(Session& session, std::string_view study_id, int button)
{
    set_flag(session, study_id, button);
}

void create_toolset_file_when_missing(Session& session, std::string_view study_id)
{
    if (file_exists(toolset_file_name(session, study_id))) return;
    write_toolset_flags(session, study_id, std::vector<int>(TOOL_FLAG_COUNT, 0));
}

void check_toolset_file(Session& session, std::string_view study_id)
{
    file_exists(toolset_file_name(session, study_id));
}

void create_toolset_file_when_missing(Session& session, std::string_view study_id, FileChange& change)
{
    const std::string name = toolset_file_name(session, study_id);
    if (file_exists(name)) return;
    TextWriter file(change.new_file(name));
    for (const std::string& line : toolset_file_lines(std::vector<int>(TOOL_FLAG_COUNT, 0))) file.write_line(line);
    file.commit();
}

}  // namespace velm
