#include "management/scenario_module.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "management/baseline_data_bases.h"
#include "management/historian_split.h"
#include "management/study_answer.h"
#include "management/study_file_inventory.h"
#include "management/study_model_list.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/history_log.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

enum ScenarioOperation : int {
    AbandonCreationOperation = 1,
    AbandonMaintenanceOperation = 2,
    AdoptCreation = 3,
    AdoptMaintenance = 4,
    AbandonScenario = 5,
    StartMaintenanceOperation = 6,
};

// File names are matched without regard to case.
bool same_file_name(std::string_view a, std::string_view b)
{
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

// Menu options 1 to 6 in operation codes: adopt, reject and abandon, each
// in creation and maintenance mode (both abandons are the same operation).
constexpr int OPERATION_OF_MENU_OPTION[] = {0,
                                            AdoptCreation,
                                            AdoptMaintenance,
                                            AbandonCreationOperation,
                                            AbandonMaintenanceOperation,
                                            AbandonScenario,
                                            AbandonScenario};

constexpr int OPTION_COLUMN = 62;
constexpr int OPTION_ROW = 7;
constexpr int STUDY_COLUMN = 47;
constexpr int STUDY_ROW = 18;
constexpr std::size_t STUDY_ANSWER_LENGTH = 50;
constexpr std::size_t KEPT_NAMES_PER_ROW = 5;
constexpr std::size_t KEPT_NAME_WIDTH = 13;  // the cost file's name is the longest

struct MenuLine {
    int row;
    int column;
    std::string_view text;
};
constexpr MenuLine MENU_LINES[] = {
    {5, 5, "This MODULE allows YOU to ADOPT/REJECT/ABANDON a SCENARIO."},
    {7, 6, "Select PROGRAM Option NUMBER....................... ===>"},
    {9, 10, "1= ADOPT SCENARIO as NEW BASELINE and Clear Files"},
    {10, 13, "(Creation Mode)"},
    {11, 10, "2= ADOPT SCENARIO as NEW BASELINE, Update Historian,"},
    {12, 13, "and Clear Files (Maintenance Mode)"},
    {13, 10, "3= REJECT SCENARIO and Clear Files (Creation Mode)"},
    {14, 10, "4= REJECT SCENARIO and Clear Files (Maintenance Mode)"},
    {15, 10, "5= ABANDON SCENARIO and Clear Files (Creation Mode)"},
    {16, 10, "6= ABANDON SCENARIO and Clear Files (Maintenance Mode)"},
};

class ScenarioModule {
public:
    ScenarioModule(Session& session, LauncherCall& call) : session_(session), window_(session.window), call_(call) {}

    [[noreturn]] void run();

private:
    void show_menu();
    // The menu option typed; nothing after EXIT.
    std::optional<int> ask_option();
    // The study; false to show the menu again (TOP).
    bool ask_study();

    [[noreturn]] void adopt(int operation);
    [[noreturn]] void clear_scenario_files(int operation);
    [[noreturn]] void abandon_creation();
    [[noreturn]] void end_step();
    [[noreturn]] void report_missing_file(const std::string& shown_name, std::string reason);
    // The message on row 21 until RETURN, then the end without a reply.
    [[noreturn]] void report_refused_file(const std::string& message, std::string reason);
    // A file the operation cannot write: told until RETURN, nothing changed,
    // the end without a reply.
    [[noreturn]] void report_unwritable_file(const FileError& error);
    // A batch file of its own, written whole or refused.
    void write_batch_file(std::string_view name, const std::vector<std::string>& lines);

    std::string study_file(std::string_view layout) const
    {
        return session_.study_file(study_file_name(layout, study_id_));
    }

    Session& session_;
    Window& window_;
    LauncherCall& call_;
    std::string study_id_ = "  ";
};

void ScenarioModule::run()
{
    if (call_.launched()) study_id_ = call_.study_id();
    int operation = call_.sub_option;
    if (!call_.launched() || operation < AbandonCreationOperation || operation > StartMaintenanceOperation) {
        show_scenario_module_banner(window_);
        for (;;) {
            show_menu();
            const std::optional<int> option = ask_option();
            if (!option) end_step();
            if (*option == 0) continue;  // TOP
            if (!ask_study()) continue;
            operation = OPERATION_OF_MENU_OPTION[*option];
            break;
        }
        call_.sub_option = operation;
    }

    // A file the operation cannot read or write ends it in the window,
    // whatever step meets it: nothing of the operation is in place then (its
    // change is discarded on the way out), and a launched run writes no
    // reply.
    try {
        switch (operation) {
            case AdoptCreation:
            case AdoptMaintenance:
                adopt(operation);
            case AbandonCreationOperation:
                abandon_creation();
            default:
                clear_scenario_files(operation);
        }
    } catch (const FileError& error) {
        stop_on_file_refusal(window_, " * THE OPERATION CANNOT BE MADE; NOTHING WAS CHANGED:", error,
                             "scenario module: a file cannot be read or written");
    }
}

void ScenarioModule::show_menu()
{
    clear_screen(window_);
    for (const MenuLine& line : MENU_LINES) write_at(window_, line.column, line.row, line.text);
    if (!call_.launched() && is_unknown_study_id(study_id_)) {
        write_at(window_, 5, STUDY_ROW, "Enter 2-letter STUDY ID.............. ===>");
        write_at(window_, 6, STUDY_ROW + 1, "(between [AA] and [ZZ])");
    }
    write_at(window_, 1, 22, " " + std::string(72, '-'));
    write_at(window_, 6, 23, "TYPE: EXIT to leave program ; TOP to go to Top of Page", LineEnd::StayOnLine);
}

// Only the first two characters of the answer count: a digit 1 to 6 and a
// blank choose an option, "EX" leaves, "TO" shows the menu again (0).
std::optional<int> ScenarioModule::ask_option()
{
    for (;;) {
        move_cursor(window_, OPTION_COLUMN, OPTION_ROW);
        std::string answer = window_.read_line().substr(0, 2);
        answer.resize(2, ' ');
        if (answer[0] >= '1' && answer[0] <= '6' && answer[1] == ' ') {
            write_at(window_, 1, 21, std::string(79, ' '), LineEnd::StayOnLine);
            return answer[0] - '0';
        }
        if (answer == "EX" || answer == "ex") return std::nullopt;
        if (answer == "TO" || answer == "to") return 0;
        sound_beep(window_);
        write_at(window_, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.", LineEnd::StayOnLine);
        write_at(window_, OPTION_COLUMN, OPTION_ROW, std::string(11, ' '), LineEnd::StayOnLine);
    }
}

bool ScenarioModule::ask_study()
{
    for (;;) {
        const bool typed = !call_.launched();
        std::string answer = call_.line;
        if (typed) {
            move_cursor(window_, STUDY_COLUMN, STUDY_ROW);
            answer = window_.read_line().substr(0, STUDY_ANSWER_LENGTH);
        }
        const StudyAnswer judged = judge_study_answer(answer);
        if (judged == StudyAnswer::Exit) end_step();
        if (judged == StudyAnswer::Top) return false;
        if (typed && judged == StudyAnswer::Blank) continue;
        if (judged != StudyAnswer::Study) {
            if (!typed) {
                // A launched run has no one to ask for another study.
                stop_with_message(window_, "*****THE LAUNCHER NAMES NO STUDY: A STUDY NAME IS TWO LETTERS.",
                                  "scenario module: the launcher names no study");
            }
            write_at(window_, STUDY_COLUMN, STUDY_ROW, std::string(STUDY_ANSWER_LENGTH - 17, ' '), LineEnd::StayOnLine);
            continue;
        }
        if (typed) session_.data_directory.reset();
        study_id_ = study_id_of(answer);
        return true;
    }
}

void ScenarioModule::report_missing_file(const std::string& shown_name, std::string reason)
{
    report_refused_file(" * DATA FILE [" + shown_name.substr(0, 30) + "] DOES NOT EXIST", std::move(reason));
}

void ScenarioModule::report_refused_file(const std::string& message, std::string reason)
{
    stop_with_message(window_, message, std::move(reason));
}

void ScenarioModule::report_unwritable_file(const FileError& error)
{
    stop_on_unwritable_file(window_, error, "scenario module: a file cannot be written");
}

void ScenarioModule::write_batch_file(std::string_view name, const std::vector<std::string>& lines)
{
    FileChange change;
    try {
        change.reach(name);
        TextWriter batch(std::string{name});
        for (const std::string& line : lines) batch.write_line(line);
        change.write(name, batch.contents());
        change.commit();
    } catch (const FileError& error) {
        change.discard();
        report_unwritable_file(error);
    }
}

// Adoption: the inventory and "MPDCOPY.BAT" are built first; the baseline
// data bases, the inventory and the batch file that clears the working
// files (and, in maintenance mode, the pieces of the history log) are one
// change, checked before anything is written: a failure or a stop on the
// way leaves the last adoption's files as they were.
void ScenarioModule::adopt(int operation)
{
    clear_screen(window_);
    write_at(window_, 4, 5, "..Creating MPD Data File Inventory");
    // A file of the list's name that is no model list names no maps: a
    // baseline built from it would replace the last one with empty files.
    const std::string list_name = storm_event_model_list_name(study_id_, 1);
    if (read_study_model_list(session_, study_id_).status == StudyModelList::Status::NotAModelList) {
        report_refused_file(" * DATA FILE [" + list_name.substr(0, 30) + "] IS NOT A QUORIN Tarvel FILE",
                            "scenario module: not a model list");
    }
    const std::optional<std::vector<std::string>> inventory = build_study_file_inventory(session_, study_id_);
    if (!inventory) report_missing_file(list_name, "scenario module: no model list");
    const std::vector<std::string> batch = adoption_copy_batch(session_, study_id_, *inventory);

    const std::string inventory_name = study_file(STUDY_FILE_INVENTORY_NAME_FORMAT);
    FileChange change;
    try {
        for (const std::string_view layout :
             {NODE_BASELINE_NAME_FORMAT, LINK_BASELINE_NAME_FORMAT, SUBAREA_BASELINE_NAME_FORMAT})
            change.reach(study_file(layout));
        change.reach(inventory_name);
        change.reach(BASELINE_COPY_BATCH_NAME);
    } catch (const FileError& error) {
        report_unwritable_file(error);
    }
    // A record that cannot be read or a file that cannot be written on the
    // way (a full disk) refuses the adoption in run(), with the change
    // discarded: nothing of it is in place.
    write_baseline_data_bases(session_, study_id_, &change);
    const auto write_lines = [&change](std::string_view name, const std::vector<std::string>& lines) {
        TextWriter file{std::string(name)};
        for (const std::string& line : lines) file.write_line(line);
        change.write(name, file.contents());
    };
    write_lines(inventory_name, *inventory);
    write_lines(BASELINE_COPY_BATCH_NAME, batch);

    if (operation == AdoptMaintenance) split_historian_file(session_, call_.run_count, study_id_, &change);
    try {
        change.commit();
    } catch (const FileError& error) {
        report_unwritable_file(error);
    }
    end_step();
}

// Operations 2, 5 and 6: they need the inventory of the last adoption.
void ScenarioModule::clear_scenario_files(int operation)
{
    clear_screen(window_);
    if (operation == AbandonMaintenanceOperation) write_at(window_, 5, 5, "Abandon Maintenance Operation");
    if (operation == StartMaintenanceOperation) write_at(window_, 5, 5, "Start Maintenance Operation");
    const std::string inventory_name = study_file(STUDY_FILE_INVENTORY_NAME_FORMAT);
    if (!file_exists(inventory_name)) report_missing_file(inventory_name, "scenario module: no inventory");
    const std::vector<std::string> inventory = read_study_file_inventory(inventory_name);

    // The batch file, the working files that go and the tool-status file
    // (and the history log) are one change.
    std::vector<std::string> removed;
    if (operation == AbandonMaintenanceOperation) {
        // A working file goes only when its baseline copy keeps its data; a
        // listed name that is itself a baseline copy ("Z1.") has no other
        // copy and stays.
        std::vector<std::string> kept;
        for (const std::string& name : inventory) {
            const std::string working = session_.study_file(name);
            if (!file_exists(working)) continue;
            const std::string copy = baseline_copy_name(name);
            if (!same_file_name(copy, name) && file_exists(session_.study_file(copy))) {
                removed.push_back(working);
            } else {
                kept.push_back(name);
            }
        }
        if (!kept.empty()) {
            write_at(window_, 5, 7, "Not deleted, no BASELINE copy exists of:");
            // Five names a row, so that the heading stays on the screen for
            // the files of a study of a few maps.
            std::string row;
            for (std::size_t i = 0; i < kept.size(); ++i) {
                std::string field = kept[i];
                field.resize(std::max<std::size_t>(field.size(), KEPT_NAME_WIDTH), ' ');
                row += (i % KEPT_NAMES_PER_ROW == 0 ? "     " : "  ") + field;
                if (i % KEPT_NAMES_PER_ROW == KEPT_NAMES_PER_ROW - 1 || i + 1 == kept.size()) {
                    window_.write(row);
                    row.clear();
                }
            }
            wait_for_return(window_);
        }
    }
    if (call_.toolset_mode()) removed.push_back(study_file(HISTORY_LOG_NAME_FORMAT));
    removed.push_back(study_file(TOOLSET_FILE_NAME_FORMAT));
    const std::optional<std::vector<std::string>> batch =
        operation == StartMaintenanceOperation ? std::optional(restore_copy_batch(session_, inventory)) : std::nullopt;

    FileChange change;
    try {
        for (const std::string& name : removed) {
            if (!file_exists(name)) continue;
            change.reach(name);
            change.remove(name);
        }
        if (batch) {
            change.reach(BASELINE_COPY_BATCH_NAME);
            TextWriter file{std::string(BASELINE_COPY_BATCH_NAME)};
            for (const std::string& line : *batch) file.write_line(line);
            change.write(BASELINE_COPY_BATCH_NAME, file.contents());
        }
        change.commit();
    } catch (const FileError& error) {
        change.discard();
        report_unwritable_file(error);
    }
    end_step();
}

void ScenarioModule::abandon_creation()
{
    clear_screen(window_);
    write_at(window_, 5, 5, "Abandon Creation Operation");
    write_batch_file(MODEL_FILE_DELETE_BATCH_NAME, {model_file_delete_line(session_, study_id_)});
    end_step();
}

void ScenarioModule::end_step()
{
    end_module_run(window_, call_.run_count, study_id_, "scenario module: done");
}

}  // namespace

void run_scenario_adopt_reject_module(Session& session, LauncherCall& call)
{
    ScenarioModule(session, call).run();
}

}  // namespace velm
