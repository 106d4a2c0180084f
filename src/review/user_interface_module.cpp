// The driver of main-menu option 2: its menu of review targets and the node
// peak-flow editor, the study asked once a run, the study's hydrology model
// type, and the launcher's reply at the end of a launched run.
#include "review/user_interface_module.h"

#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "records/string_files.h"
#include "records/study_id.h"
#include "review/link_review.h"
#include "review/node_peak_flow_editor.h"
#include "shell/dialogue.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

constexpr int OPTION_ROW = 16;
constexpr int STUDY_ROW = 18;
constexpr int STUDY_COLUMN = 47;
constexpr std::size_t STUDY_ANSWER_LENGTH = 50;
constexpr std::string_view BLANK_STUDY = "  ";

constexpr std::string_view PROMPT_ARROW = " ===>";
constexpr std::string_view OUT_OF_RANGE = "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.";

constexpr std::array<std::string_view, 6> OPTION_TEXTS{
    "1= Review/Adopt Link Specified PRIMARY Element Flow CAPACITY Estimates",
    "2= Review/Adopt Link MPD PRIMARY Element SIZE Estimates",
    "3= Review/Adopt Link FRICTION SLOPE Estimates (Sf)",
    "4= Review/Adopt Link COST OPINION Status",
    "5= Review/Adopt Link MPD PRIMARY Element TYPE Designation(box,",
    "6= Edit NODE User-Recommended PEAK FLOW Rates",
};

// The flag a toolset-mode run sets for review targets 1 to 5.
constexpr std::array<int, 5> TARGET_BUTTONS{CapacityReviewButton, SizeReviewButton, FrictionSlopeReviewButton,
                                            CostOpinionReviewButton, ElementTypeReviewButton};

enum class Answer { Option, Exit, Top };

struct MenuAnswer {
    Answer answer = Answer::Option;
    int option = 0;
};

struct ChosenStudy {
    Answer answer = Answer::Option;
    std::string study_id;
};

std::string without_trailing_blanks(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

class UserInterfaceModule {
public:
    UserInterfaceModule(Session& session, LauncherCall& call) : session_(session), window_(session.window), call_(call)
    {
    }

    [[noreturn]] void run();

private:
    void show_menu(bool with_study_question);
    void show_study_question();
    void refuse_option();
    MenuAnswer read_menu_answer();
    ChosenStudy choose_study(int option);
    bool has_study_file(const std::string& study_id, int option);
    int hydrology_model_type(const std::string& study_id);
    [[noreturn]] void end(std::string reason);

    Session& session_;
    Window& window_;
    LauncherCall& call_;
    std::string study_id_{BLANK_STUDY};
};

void UserInterfaceModule::show_menu(bool with_study_question)
{
    clear_screen(window_);
    write_at(window_, 5, 1, "This MODULE provides a direct interface for");
    write_at(window_, 6, 2, "YOU to SPECIFY information in the data base.");
    write_at(window_, 6, 4, "Select from the following interface OPTIONs:");
    for (std::size_t k = 0; k < OPTION_TEXTS.size(); ++k) {
        const int row = k < 5 ? 5 + static_cast<int>(k) : 11;
        write_at(window_, 10, row, OPTION_TEXTS[k]);
    }
    write_at(window_, 13, 10, "pipe, channel, template)");
    write_at(window_, 10, 12, "7= N/A");
    write_at(window_, 10, 13, "8= N/A");
    write_at(window_, 10, 14, "9= N/A");
    write_at(window_, 9, 15, "10= N/A");
    write_at(window_, 6, OPTION_ROW,
             std::string("Enter OPTION desired...............................") + std::string(PROMPT_ARROW),
             LineEnd::StayOnLine);
    if (with_study_question) show_study_question();
    write_at(window_, 2, RULE_ROW, std::string(72, '-'));
    write_at(window_, 6, 23, "TYPE: EXIT to leave program ; TOP to go to Top of Page", LineEnd::StayOnLine);
}

void UserInterfaceModule::show_study_question()
{
    write_at(window_, 5, STUDY_ROW, std::string("Enter 2-letter STUDY ID..............") + std::string(PROMPT_ARROW),
             LineEnd::StayOnLine);
    write_at(window_, 6, STUDY_ROW + 1, "(between [AA] and [ZZ])", LineEnd::StayOnLine);
}

void UserInterfaceModule::refuse_option()
{
    sound_beep(window_);
    write_at(window_, 1, MESSAGE_ROW, OUT_OF_RANGE, LineEnd::StayOnLine);
    write_at(window_, ENTRY_FIELD_COLUMN, OPTION_ROW, std::string(ENTRY_FIELD_WIDTH, ' '), LineEnd::StayOnLine);
}

// Only the first two characters of the answer count: a digit 1 to 6 alone
// (or followed by a blank) picks the option; EX or ex leaves, TO or to shows
// the menu again.
MenuAnswer UserInterfaceModule::read_menu_answer()
{
    for (;;) {
        move_cursor(window_, ENTRY_FIELD_COLUMN, OPTION_ROW);
        std::string group = window_.read_line().substr(0, 2);
        group.resize(2, ' ');
        if (group[0] >= '1' && group[0] <= '6' && group[1] == ' ') return {Answer::Option, group[0] - '0'};
        if (group == "EX" || group == "ex") return {Answer::Exit, 0};
        if (group == "TO" || group == "to") return {Answer::Top, 0};
        refuse_option();
    }
}

// A review needs the study's string index; the node peak-flow editor needs
// only the model list, which gives the study's hydrology model type.
bool UserInterfaceModule::has_study_file(const std::string& study_id, int option)
{
    const std::string name =
        option == NODE_PEAK_FLOW_OPTION ? model_list_file_name(study_id) : string_index_file_name(study_id);
    if (file_exists(session_.study_file(name))) return true;
    sound_beep(window_);
    write_form(window_, 1, MESSAGE_ROW, "(' * DATA FILE [',A30,'] DOES NOT EXIST')", {name});
    return false;
}

// The study of the run: typed at the study question while none is known in
// an interactive run, otherwise the one the launcher line holds.
ChosenStudy UserInterfaceModule::choose_study(int option)
{
    for (;;) {
        const bool typed = !call_.launched() && study_id_ == BLANK_STUDY;
        std::string answer;
        if (typed) {
            show_study_question();
            move_cursor(window_, STUDY_COLUMN, STUDY_ROW);
            answer = window_.read_line().substr(0, STUDY_ANSWER_LENGTH);
        } else {
            answer = call_.line;
        }
        const StudyAnswer judged = judge_study_answer(answer);
        if (judged == StudyAnswer::Exit) return {Answer::Exit, {}};
        if (judged == StudyAnswer::Top) return {Answer::Top, {}};
        if (judged == StudyAnswer::Blank && typed) continue;
        const std::string word = without_trailing_blanks(answer);

        const auto blank_answer = [&] {
            write_at(window_, STUDY_COLUMN, STUDY_ROW, std::string(SCREEN_COLUMNS - STUDY_COLUMN, ' '),
                     LineEnd::StayOnLine);
        };
        const bool letters = judged == StudyAnswer::Study;
        if (!letters) {
            if (!typed) {
                // A launcher line that names no study would be taken again at
                // every attempt: the run ends here instead.
                sound_beep(window_);
                write_at(window_, 1, MESSAGE_ROW, " * STUDY ID [" + word.substr(0, 2) + "] IS NOT TWO LETTERS",
                         LineEnd::StayOnLine);
                clear_screen(window_);
                stop_program_refused("run_user_interface_module: the launcher names no study");
            }
            blank_answer();
            continue;
        }
        const std::string study_id = study_id_of(word);
        if (!has_study_file(study_id, option)) {
            blank_answer();
            if (call_.launched())
                stop_program_refused(option == NODE_PEAK_FLOW_OPTION
                                         ? "run_user_interface_module: the study has no model list file"
                                         : "run_user_interface_module: the study has no string index file");
            study_id_ = std::string(BLANK_STUDY);
            continue;
        }
        return {Answer::Option, study_id};
    }
}

// The absolute value of header value 2 of the first model file the
// study's model list names, truncated.
int UserInterfaceModule::hydrology_model_type(const std::string& study_id)
{
    const std::string list_name = session_.study_file(model_list_file_name(study_id));
    RecordFile list(list_name, RecordFile::Open::MustExist);
    const std::optional<float> first_value = list.read_value();
    const std::optional<std::string> entry = list.read_text();
    list.close_keep();
    if (!first_value || !entry) throw FileError(list_name + ": the model list names no model file");
    const std::string model_name = session_.study_file(ModelListEntry{*entry}.model_file_name());
    RecordFile model(model_name, RecordFile::Open::MustExist);
    const std::optional<float> value_1 = model.read_value();
    const std::optional<float> value_2 = model.read_value();
    model.close_keep();
    if (!value_1 || !value_2) throw FileError(model_name + ": the model file ends before its header");
    return static_cast<int>(std::fabs(finite_model_value(*value_2, model_name, 2)));
}

void UserInterfaceModule::end(std::string reason)
{
    end_module_run(window_, call_.run_count, study_id_, "run_user_interface_module: " + reason);
}

void UserInterfaceModule::run()
{
    if (call_.launched()) {
        study_id_ = call_.study_id();
    } else {
        show_user_interface_module_banner(window_);
    }
    for (;;) {
        int option = 0;
        const int sub_option = call_.sub_option;
        if (sub_option >= 1 && sub_option <= NODE_PEAK_FLOW_OPTION) {
            option = sub_option;
        } else {
            show_menu(!call_.launched() && study_id_ == BLANK_STUDY);
            // A launcher's sub-option that names no option is refused as a
            // typed answer would be; the option is then asked.
            if (sub_option > NODE_PEAK_FLOW_OPTION) {
                refuse_option();
                call_.sub_option = 0;
            }
            const MenuAnswer answer = read_menu_answer();
            if (answer.answer == Answer::Exit) end("EXIT");
            if (answer.answer == Answer::Top) continue;
            option = answer.option;
        }
        write_at(window_, 1, MESSAGE_ROW, std::string(79, ' '), LineEnd::StayOnLine);

        const ChosenStudy study = choose_study(option);
        if (study.answer == Answer::Exit) end("EXIT");
        if (study.answer == Answer::Top) continue;
        study_id_ = study.study_id;
        const int model_type = hydrology_model_type(study_id_);
        // The launcher's review target is flagged once the study has passed
        // every check of the module, so that a study the run refuses keeps
        // its tool-status file as it was.
        if (call_.toolset_mode() && sub_option >= 1 && sub_option <= 5)
            set_toolset_entry_flag(session_, study_id_, TARGET_BUTTONS[static_cast<std::size_t>(sub_option - 1)]);
        bool in_place = true;
        if (option == NODE_PEAK_FLOW_OPTION) {
            edit_node_peak_flows(session_, study_id_, model_type);
        } else {
            in_place = review_and_adopt_link_values(session_, study_id_, static_cast<ReviewTarget>(option), model_type);
        }
        // A launched review whose change was refused at its end did not do
        // its work: the launcher gets no reply, as for any refused run.
        if (call_.launched() && !in_place) {
            clear_screen(window_);
            stop_program_refused("run_user_interface_module: the review's change was refused");
        }
        call_.line = launcher_line(study_id_);
        if (call_.launched()) end("done");
    }
}

}  // namespace

void run_user_interface_module(Session& session, LauncherCall& call)
{
    UserInterfaceModule module(session, call);
    module.run();
}

}  // namespace velm
