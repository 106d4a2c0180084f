#include "app/main_program.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis_run.h"
#include "editor/editor_module.h"
#include "gis/gis_update_module.h"
#include "management/differences_module.h"
#include "management/scenario_module.h"
#include "management/subset_module.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/study_lock.h"
#include "records/format.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "review/user_interface_module.h"
#include "shell/control_settings.h"
#include "shell/dialogue.h"
#include "shell/launcher.h"
#include "shell/settings_screens.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

constexpr std::string_view MAIN_MENU_FORMAT =
    "('POSTPROCESSOR PROGRAM -- Main Menu Options:'//7X,'1 = DIAGNOSTICS/DEFICIENCY/STRING-FINDER MODULE'/"
    "7X,'2 = USER-INTERFACE MODULE'/7X,'3 = DATA BASE \"SUBSET\" MODULE'/"
    "7X,'4 = COUPLED DATA BASE AND NETWORK MODEL EDITOR MODULE'/7X,'5 = DATA BASE \"DIFFERENCES\" SUBSET MODULE'/"
    "7X,'6 = SCENARIO ADOPT/REJECT/ABANDON MODULE'/7X,'7 = GIS-to-DATA BASE UPDATE MODULE'/7X,'8 = N/A'/"
    "7X,'9 = N/A'/6X,'10 = N/A'//4X,'Enter POSTPROCESSOR Option NUMBER................... ===>')";

constexpr std::string_view INTRODUCTION_RULE_FORMAT = "(79('-'))";
constexpr std::string_view INTRODUCTION_FORMAT =
    "('This PROGRAM contains several modules:'/7X,'* Sort routines for link, node, and subarea data bases'/"
    "7X,'* Link, node, subarea and NETWORK diagnostics programs'/7X,'* HealthCHECK (some diagnostics on YOUR "
    "hydrology'/"
    "7X,'  network model)'/7X,'* STRING-FINDER (resolves Hydrology Link-Node network'/7X,'  into hydraulic STRINGS)'/"
    "7X,'* HGLOPT (estimates balanced HGL gradients for each'/7X,'  link for each STRING)'/"
    "7X,'* Existing System Flow Capacity Estimation'/7X,'* Deficiency Analysis (for each link)'/"
    "7X,'* System Element Sizing'/7X,'* System Telescoping Analysis'/7X,'* Data Base Construction'/"
    "5X,'In the following pages, YOU need to specify/select'/5X,'several PROGRAM OPTIONS, or simply accept default'/"
    "5X,'values by pressing the RETURN button.')";

constexpr std::string_view CONTROL_MENU_FORMAT =
    "('POSTPROCESSOR CONTROL Data Options'//7X,'1 = Define/EDIT CONTROL parameters'/7X,'2 = Execute POSTPROCESSOR'//"
    "4X,'Enter POSTPROCESSOR Option Desired.................. ===>')";
constexpr std::string_view STUDY_PROMPT_FORMAT = "('Specify 2-letter STUDY NAME(between [AA] to [ZZ])...',A5,$)";
constexpr std::string_view STUDY_PROMPT_ARROW = " ===>";

constexpr int MENU_ANSWER_COLUMN = 62;
constexpr int MAIN_MENU_ANSWER_ROW = 18;
constexpr int CONTROL_MENU_ANSWER_ROW = 10;
constexpr int STUDY_ANSWER_ROW = 18;
constexpr std::size_t STUDY_ANSWER_LENGTH = 50;

enum MainMenuOption : int {
    NoOption = 0,
    DiagnosticsModule = 1,
    UserInterfaceModule = 2,
    SubsetModule = 3,
    EditorModule = 4,
    DifferencesModule = 5,
    ScenarioModule = 6,
    GisUpdateModule = 7,
};

enum class ControlDataOption { DefineControls = 1, ExecutePostprocessor = 2 };

// Where option 1 begins: from the main menu with its title and
// introduction pages and the control menu, or, for a launched run that
// names the sub-option, straight at the study step with that option.
enum class ControlEntry { FromMenu, LaunchedDefine, LaunchedExecute };

class MainProgram {
public:
    MainProgram(Session& session, LauncherCall call)
        : session_(session), window_(session.window), call_(std::move(call))
    {
        if (call_.launched()) study_id_ = call_.study_id();
    }

    [[noreturn]] void dispatch(int option);

private:
    [[noreturn]] void main_menu();
    [[noreturn]] void call_module(int option);
    [[noreturn]] void postprocessor_control(ControlEntry entry);
    void show_introduction_page();
    ControlDataOption ask_control_option();
    bool choose_study();
    // The study's control file read into the settings (false when it has
    // none) or written from them; a control file that cannot be read (a
    // directory at its name, a value it cannot read) or written ends the
    // program, refused, in the window.
    bool load_study_control_file();
    void save_study_control_file();
    [[noreturn]] void end_postprocessor_run();
    // What a refusal of the control file tells of the study: nothing
    // changed, or the tool-status file that this run has written.
    std::string what_was_changed() const
    {
        return toolset_file_written_ ? "THE TOOLSET FILE WAS WRITTEN" : "NOTHING WAS CHANGED";
    }

    Session& session_;
    Window& window_;
    LauncherCall call_;
    std::string study_id_ = std::string(UNKNOWN_STUDY_ID);  // blank until known
    ControlParameters controls_{};
    RunSettings settings_{};
    HglControlTable hgl_controls_{};
    // The toolset's settings run has set its flag in the tool-status file.
    bool toolset_file_written_ = false;
};

void MainProgram::dispatch(int option)
{
    // In toolset mode option 1 answers the launcher at the end of its
    // analysis run, whatever its sub-option: the settings alone (sub-option
    // 1) go on to the control menu and its analysis run, and a run that ends
    // before that reply (EXIT, the end of its input, a refusal) has not done
    // what the launcher started it for.
    if (option == DiagnosticsModule && call_.toolset_mode()) expect_launcher_reply();
    // The launcher's own roads into option 1 are for launched runs only; a
    // command file whose count leaves the run interactive gets option 1 as
    // the main menu gives it.
    if (option == DiagnosticsModule && call_.launched() && call_.sub_option == 1) {
        postprocessor_control(ControlEntry::LaunchedDefine);
    }
    if (option == DiagnosticsModule && call_.launched() && call_.sub_option == 2) {
        // The run answers the launcher at its end, whatever the launcher's count.
        call_.run_count = TOOLSET_MODE_COUNT;
        expect_launcher_reply();
        postprocessor_control(ControlEntry::LaunchedExecute);
    }
    if (option == DiagnosticsModule) postprocessor_control(ControlEntry::FromMenu);
    if (option >= UserInterfaceModule && option <= GisUpdateModule) call_module(option);
    main_menu();
}

void MainProgram::main_menu()
{
    for (;;) {
        if (!call_.launched()) show_program_library_banner(window_);
        clear_screen(window_);
        write_form(window_, 5, 5, MAIN_MENU_FORMAT);
        show_command_footer(window_, CommandSet::ExitTop);
        move_cursor(window_, MENU_ANSWER_COLUMN, MAIN_MENU_ANSWER_ROW);
        const std::string answer = window_.read_line();
        // Only the first character counts: "10" is option 1.
        if (answer.empty()) continue;
        if (answer[0] == 'E' || answer[0] == 'e') {
            clear_screen(window_);
            stop_program("main menu: E");
        }
        const int option = answer[0] - '0';
        if (option < DiagnosticsModule || option > GisUpdateModule) continue;
        call_.sub_option = 0;
        if (option == DiagnosticsModule) postprocessor_control(ControlEntry::FromMenu);
        call_module(option);
    }
}

void MainProgram::call_module(int option)
{
    // A launched data base module replies at its end at any count (it
    // answers as the toolset mode); the GIS update only in toolset mode.
    if (call_.launched() && (option != GisUpdateModule || call_.toolset_mode())) expect_launcher_reply();
    switch (option) {
        case UserInterfaceModule:
            run_user_interface_module(session_, call_);
        case SubsetModule:
            run_subset_module(session_, call_);
        case EditorModule:
            run_network_editor_module(session_, call_);
        case DifferencesModule:
            run_differences_module(session_, call_);
        case ScenarioModule:
            run_scenario_adopt_reject_module(session_, call_);
        default:
            run_gis_update_module(session_, call_);
    }
}

void MainProgram::show_introduction_page()
{
    clear_screen(window_);
    write_form(window_, 1, 1, INTRODUCTION_RULE_FORMAT);
    write_form(window_, 5, 6, INTRODUCTION_FORMAT);
    wait_for_return(window_);
}

ControlDataOption MainProgram::ask_control_option()
{
    for (;;) {
        clear_screen(window_);
        write_form(window_, 5, 5, CONTROL_MENU_FORMAT);
        if (!call_.launched() && is_unknown_study_id(study_id_)) {
            write_form(window_, 5, STUDY_ANSWER_ROW, STUDY_PROMPT_FORMAT, {std::string(STUDY_PROMPT_ARROW)});
        }
        show_command_footer(window_, CommandSet::ExitTop);
        const NumberEntry entry = read_number_field(window_, MENU_ANSWER_COLUMN, CONTROL_MENU_ANSWER_ROW,
                                                    FieldKind::Whole, 1.0f, 2.0f, 0.0f, CommandSet::ExitTop, false);
        switch (entry.result) {
            case EntryResult::ExitRequested:
                clear_screen(window_);
                stop_program("control menu: EXIT");
            case EntryResult::ValueEntered:
                return entry.value == 1.0f ? ControlDataOption::DefineControls
                                           : ControlDataOption::ExecutePostprocessor;
            default:
                break;  // TOP: the control menu again
        }
    }
}

// The study step: the typed study (while none is chosen in an interactive
// run), else the launcher's or the one chosen earlier, then the model list
// check.  True when the study is accepted; false to go back to the control
// menu.
bool MainProgram::choose_study()
{
    for (;;) {
        const bool typed = !call_.launched() && is_unknown_study_id(study_id_);
        std::string answer = study_id_;
        if (typed) {
            move_cursor(window_, MENU_ANSWER_COLUMN, STUDY_ANSWER_ROW);
            answer = window_.read_line().substr(0, STUDY_ANSWER_LENGTH);
        }
        const StudyAnswer judged = judge_study_answer(answer);
        if (judged == StudyAnswer::Exit) {
            clear_screen(window_);
            stop_program("study prompt: EXIT");
        }
        if (judged == StudyAnswer::Top) return false;
        if (judged == StudyAnswer::Blank) continue;

        std::string study = study_id_of(answer);
        if (!is_usable_study_id(study)) {
            // Only a typed answer gets here: a launched study was refused
            // when the command file was read.
            sound_beep(window_);
            std::string message = "*****A STUDY NAME CANNOT BE BLANK OR HOLD /, \\, : OR CONTROL CHARACTERS.";
            message.resize(79, ' ');
            write_at(window_, 1, 21, message, LineEnd::StayOnLine);
            write_at(window_, MENU_ANSWER_COLUMN, STUDY_ANSWER_ROW, std::string(19, ' '), LineEnd::StayOnLine);
            continue;
        }
        // A new answer looks up its own data directory, so that a mistyped
        // study does not fix the directory for the rest of the run.
        if (typed) session_.data_directory.reset();

        study_id_ = study;
        const ModelListCheck check = check_model_list(session_, study_id_, call_.launched(), toolset_file_written_);
        if (check == ModelListCheck::Accepted) return true;
        // A launched run has no one to ask for another study: it ends,
        // refused.
        if (check == ModelListCheck::EndRun || call_.launched()) {
            stop_program_refused("model list check refused the launched study");
        }
        if (check == ModelListCheck::BackToControlMenu) return false;
    }
}

void MainProgram::postprocessor_control(ControlEntry entry)
{
    // Every road into option 1 starts from the defaults, so that settings
    // without a screen (the carried flow source) hold their values.
    set_control_defaults(controls_, hgl_controls_);

    ControlDataOption control_option = entry == ControlEntry::LaunchedExecute ? ControlDataOption::ExecutePostprocessor
                                                                              : ControlDataOption::DefineControls;
    bool show_control_menu = entry == ControlEntry::FromMenu;
    if (entry == ControlEntry::FromMenu) {
        show_postprocessor_banner(window_);
        show_introduction_page();
    }
    for (;;) {
        if (show_control_menu) control_option = ask_control_option();
        show_control_menu = true;
        if (!choose_study()) continue;

        const bool have_control_file = load_study_control_file();
        // The toolset's settings run records itself in the tool-status file
        // only once its study and control file are taken, where the
        // settings screens follow: a run refused before them leaves the
        // study as it was.
        if (entry == ControlEntry::LaunchedDefine && call_.toolset_mode() && !toolset_file_written_) {
            set_toolset_entry_flag(session_, study_id_, PostprocessorRunButton);
            toolset_file_written_ = true;
        }
        if (control_option == ControlDataOption::DefineControls || !have_control_file) {
            const SettingsOutcome outcome = run_settings_screens(session_, study_id_, controls_, hgl_controls_);
            if (outcome == SettingsOutcome::Answered) save_study_control_file();
            continue;
        }
        run_analysis(session_, study_id_, controls_, hgl_controls_, settings_, call_, toolset_file_written_);
        end_postprocessor_run();
    }
}

bool MainProgram::load_study_control_file()
{
    try {
        return load_control_file(session_, study_id_, controls_, hgl_controls_);
    } catch (const FileError& error) {
        clear_screen(window_);
        stop_on_file_refusal(window_, " * THE CONTROL FILE CANNOT BE READ; " + what_was_changed() + ":", error,
                             "control file cannot be read");
    }
}

void MainProgram::save_study_control_file()
{
    try {
        save_control_file(session_, study_id_, controls_, hgl_controls_);
    } catch (const FileError& error) {
        clear_screen(window_);
        stop_on_file_refusal(window_, " * THE CONTROL FILE CANNOT BE WRITTEN; " + what_was_changed() + ":", error,
                             "control file cannot be written");
    }
}

// The end of the analysis run: an interactive run pauses; a launched one
// answers the launcher (a reply in toolset mode); the run's files are in
// place by now.
void MainProgram::end_postprocessor_run()
{
    if (call_.launched()) {
        reply_to_launcher(window_, DiagnosticsModule, call_.run_count, call_.sub_option, study_id_);
    } else {
        wait_for_return(window_);
    }
    clear_screen(window_);
    stop_program("analysis run done");
}

}  // namespace

namespace {

// A refusal at the start, above the pause prompt on row 24.
constexpr int START_REFUSAL_ROW = 18;

// A start that cannot go on: a beep, the heading and the reason below it,
// until RETURN; then the program ends, having changed nothing.
[[noreturn]] void refuse_start(Window& window, std::string_view heading, std::string_view reason,
                               std::string stop_reason)
{
    clear_screen(window);
    show_refusal(window, START_REFUSAL_ROW, heading, reason);
    clear_screen(window);
    stop_program_refused(std::move(stop_reason));
}

// What stands at the lock file's name, in the words of a refusal.
std::string what_stands_at_the_lock(const LockHolder& found)
{
    const std::string name(STUDY_LOCK_FILE);
    const std::string not_a_lock_file =
        ", not a lock file of the program. Nothing was changed; remove it and start again.";
    switch (found.standing) {
        case LockStanding::UnreadableLockFile: {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", found.mode & 07777U);
            if (found.owned_by_another_user)
                return name + " is another user's lock file (owner " + found.owner + ", mode " + mode +
                       ") that this user cannot read, so another run of the program may be working here. Nothing "
                       "was changed; ask its owner to end that run, or to remove the file if no run is working, and "
                       "start again.";
            return name + " is a lock file that this user cannot read (mode " + mode +
                   "), so another run of the program may be working here. Nothing was changed; start again once that "
                   "run has ended, or remove the file if no run is working.";
        }
        case LockStanding::SymbolicLink:
            return name + " is a symbolic link" + not_a_lock_file;
        case LockStanding::Directory:
            return name + " is a directory" + not_a_lock_file;
        case LockStanding::Fifo:
            return name + " is a fifo (named pipe)" + not_a_lock_file;
        case LockStanding::Socket:
            return name + " is a socket" + not_a_lock_file;
        case LockStanding::Device:
            return name + " is a device file" + not_a_lock_file;
        default:
            return "the lock file " + name + " cannot be opened or made: " + found.reason +
                   ". Nothing was changed; start again once it can.";
    }
}

// The lock of a directory of the study cannot be taken: another run of the
// program holds it (who it is, as its lock file tells), or something that
// this program cannot take for a free lock stands at its lock file's name.
[[noreturn]] void refuse_second_start(Window& window, const LockHolder& holder)
{
    const bool working_directory = holder.directory.empty() || holder.directory == "." || holder.directory == "./";
    std::string reason;
    if (!working_directory) reason = "In the data directory " + holder.directory + ": ";
    if (holder.standing != LockStanding::HeldByAnotherRun) {
        refuse_start(window,
                     working_directory ? " * NO LOCK CAN BE TAKEN IN THIS DIRECTORY:"
                                       : " * NO LOCK CAN BE TAKEN IN THIS STUDY'S DATA DIRECTORY:",
                     reason + what_stands_at_the_lock(holder), "the lock file cannot be used");
    }
    if (holder.readable) {
        reason += "process " + std::to_string(holder.process);
        if (!holder.machine.empty()) reason += " on machine " + holder.machine;
        if (!holder.started.empty()) reason += ", started " + holder.started;
        reason += ".";
    } else {
        reason += "its process, machine and start time cannot be read from its lock file " +
                  std::string(STUDY_LOCK_FILE) + ".";
    }
    reason += " Nothing was changed; start again once that run has ended.";
    refuse_start(window,
                 working_directory ? " * ANOTHER RUN OF THE PROGRAM IS WORKING IN THIS DIRECTORY:"
                                   : " * ANOTHER RUN OF THE PROGRAM IS WORKING IN THIS STUDY'S DATA DIRECTORY:",
                 reason, "another run holds the study");
}

// A change left unfinished: its message on a clear screen, in the rows the
// refusals of a start use.
constexpr int UNFINISHED_CHANGE_ROW = START_REFUSAL_ROW;

// An error that no module caught, in the window until RETURN; false when
// the window could not show it.  A change that can be neither finished nor
// undone now (UnfinishedCommit) is told so.
bool show_in_window(Window& window, const std::exception& error)
{
    try {
        if (dynamic_cast<const UnfinishedCommit*>(&error) != nullptr) {
            clear_screen(window);
            show_file_refusal(window, UNFINISHED_CHANGE_ROW,
                              " * A CHANGE IS LEFT UNFINISHED; THE PROGRAM ENDS:", error);
        } else {
            show_file_refusal(window, MESSAGE_ROW - 1, " * THE PROGRAM CANNOT GO ON:", error);
        }
        clear_screen(window);
    } catch (const ProgramStop&) {
        // The input ended at the pause: the message was on the screen.
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// The status of a stop: a launched run that owed the launcher its reply and
// ends without it did not do its work, however it was stopped.
int exit_status_of(const ProgramStop& stop)
{
    if (stop.refused || launcher_reply_missing()) return REFUSED_EXIT_STATUS;
    return FINISHED_EXIT_STATUS;
}

}  // namespace

int run_program(const std::function<std::unique_ptr<Window>()>& make_window, const Clock& clock, std::ostream& errors)
{
    int status = FINISHED_EXIT_STATUS;
    bool failed = false;
    bool shown = false;
    std::string failure;
    try {
        const std::unique_ptr<Window> window = make_window();
        Session session{*window, clock};
        try {
            run_main_program(session);
        } catch (const ProgramStop& stop) {
            status = exit_status_of(stop);
        } catch (const std::exception& error) {
            failed = true;
            failure = error.what();
            shown = show_in_window(*window, error);
        }
    } catch (const ProgramStop& stop) {
        status = exit_status_of(stop);
    } catch (const std::exception& error) {
        // No window to show it in: the message lands on the terminal once
        // whatever was built of the window is gone.
        if (!failed) failure = error.what();
        failed = true;
    }
    if (failed && !shown) errors << "velmora: " << failure << '\n';
    return failed ? REFUSED_EXIT_STATUS : status;
}

void run_main_program(Session& session)
{
    session.data_directory.reset();
    // One program at a time in the study's directories: the working
    // directory is locked before any file of the study is read (the data
    // directory files included), then every data directory they name; each
    // lock file names this program from the moment it stands at its name.  A
    // lock file a killed run left is taken over only once every directory is
    // locked, so that a start refused at a data directory leaves it as it
    // was.  The locks are held until the program ends, by its stop or its
    // kill.
    StudyLock lock;
    const std::string holder_line = lock_holder_line(session.clock.now());
    if (const auto holder = lock.take({"."}, holder_line, true)) refuse_second_start(session.window, *holder);
    std::vector<std::string> directories = study_data_directories();
    std::sort(directories.begin(), directories.end());
    if (const auto holder = lock.take(directories, holder_line)) refuse_second_start(session.window, *holder);

    // A change (a run, an edit) killed while it put its files in place is
    // finished or undone first, so that every module sees the files before
    // or after it, never a mix; stopped changes' new versions go.
    directories.insert(directories.begin(), ".");
    try {
        recover_interrupted_changes(directories);
    } catch (const UntrustedJournal& error) {
        refuse_start(session.window, " * AN INTERRUPTED CHANGE CANNOT BE FINISHED OR UNDONE:", error.what(),
                     "commit journal not the program's own");
    } catch (const FileError& error) {
        // The program's own journal, which cannot be finished or undone
        // now (a directory that cannot be written): it stays for a later
        // start, and no module may change the study over it.
        refuse_start(session.window, " * AN INTERRUPTED CHANGE CANNOT BE COMPLETED:", error.what(),
                     "interrupted change not completed");
    }
    LauncherCommand command = read_launcher_command(session.window);
    MainProgram program(session, std::move(command.call));
    program.dispatch(command.option);
}

}  // namespace velm
