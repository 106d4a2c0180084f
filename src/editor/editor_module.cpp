// The coupled data base and network model editor module: title page, study,
// model type, module menu, and the way out with its page break and reply.
#include "editor/editor_module.h"

#include <cctype>

#include "editor/editor_context.h"
#include "editor/link_element_editor.h"
#include "editor/storage_element_editor.h"
#include "editor/subarea_editor.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "records/history_log.h"
#include "records/hydrology_model_type.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "records/string_files.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

constexpr std::string_view STUDY_PROMPT_FORMAT =
    "('Enter 2-letter STUDY ID..............',A5,/,5X,'(between [AA] and [ZZ])')";
constexpr std::string_view PROMPT_ARROW = " ===>";
constexpr std::string_view STUDY_FOOTER_FORMAT =
    "(1X,72('-'),/,5X,'TYPE: EXIT to leave program ; ','TOP to go to Top of Page')";
constexpr int STUDY_PROMPT_ROW = 18;
constexpr int STUDY_ANSWER_COLUMN = 47;
constexpr std::string_view MISSING_STUDY_FORMAT = "(' * DATA FILE [',A30,'] DOES NOT EXIST')";

constexpr std::string_view MODULE_MENU_FORMAT =
    "(' This MODULE allows YOU to make changes to',/,5X,'a COPY of the BASELINE Master Plan of Drainage (MPD).',/,"
    "5X,'This COPY, known ','as the SCENARIO, is independent of',/,5X,'the BASELINE Data Base Structure.',/,/,5X,"
    "'Select PROGRAM Option NUMBER.......................',A5,/,5X,65('-'),/,9X,'1= Change the Attributes of a "
    "SUBAREA',/,9X,'2= Change the time-of-concentration (Tc) of a SUBAREA',/,12X,'(Note: For County of Los Angeles "
    "Model ONLY!)',/,9X,'3= N/A',/,9X,'4= N/A',/,9X,'5= N/A',/,5X,65('-'),/,9X,'6= Change the Attributes of a "
    "Link''s PRIMARY ELEMENT',/,12X,'(i.e., in-place (as-built) pipe, box, channel, or template)',/,9X,'7= Change "
    "the Attributes',' of a Link''s STREET ELEMENT',/,9X,'8= N/A',/,9X,'9= N/A',/,8X,'10= N/A')";
constexpr std::string_view NO_TIME_OPTION_FORMAT = "('N/A',50(' '),/,70(' '))";
constexpr std::string_view LAG_OPTION_FORMAT = "('Change the Watershed Lag (hour) of a SUBAREA',10(' '),/,70(' '))";
constexpr std::string_view STORAGE_OPTION_FORMAT =
    "('Change the Attributes of a Storage Element',10(' '),/,12X,'(i.e., elevation vs. storage (surface area) vs. "
    "discharge)',5(' '),/,9X,'7= N/A',50(' '))";
constexpr std::string_view MENU_RANGE_MESSAGE_FORMAT = "(5('*'),'VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.',$)";
constexpr int MENU_ANSWER_ROW = 6;
constexpr int MENU_ANSWER_LENGTH = 10;

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string without_trailing_blanks(const std::string& text)
{
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

class EditorModule {
public:
    EditorModule(Session& session, LauncherCall& call) : session_(session), call_(call) {}
    [[noreturn]] void run();

private:
    Window& window() { return session_.window; }
    // The accepted study, or nothing when the user left with EXIT.
    bool take_study();
    int read_model_type();
    void show_menu(int model_type);
    // The chosen option, or 0 to leave the module.
    int read_menu_answer(int model_type);
    [[noreturn]] void leave();

    Session& session_;
    LauncherCall& call_;
    std::string study_id_ = "  ";
};

void EditorModule::run()
{
    if (call_.launched()) study_id_ = call_.study_id();
    session_.data_directory.reset();
    if (!call_.launched()) show_editor_module_banner(window());
    if (!take_study()) leave();
    // A launched run makes the study's tool-status file at its end, after
    // the engineer's edits are in place: something other than a file at its
    // name is refused now, before the first edit, not once the study is
    // changed.
    if (call_.launched()) check_toolset_file(session_, study_id_);

    EditorContext context{session_, study_id_, read_model_type()};
    for (;;) {
        const int option = read_menu_answer(context.model_type);
        if (option == 0) leave();
        switch (option) {
            case 1:
            case 2:
                edit_subarea_attributes(context, static_cast<EditorOption>(option));
                break;
            case 6:
                if (is_curve_number_model(context.model_type)) {
                    edit_storage_element(context);
                } else {
                    edit_link_element_attributes(context, EditorOption::LinkPrimaryElement);
                }
                break;
            default:
                edit_link_element_attributes(context, EditorOption::LinkStreetSection);
                break;
        }
    }
}

bool EditorModule::take_study()
{
    for (;;) {
        std::string answer;
        if (call_.launched()) {
            answer = call_.line;
        } else {
            clear_screen(window());
            write_form(window(), 5, STUDY_PROMPT_ROW, STUDY_PROMPT_FORMAT, {std::string(PROMPT_ARROW)});
            write_form(window(), 1, RULE_ROW, STUDY_FOOTER_FORMAT);
            move_cursor(window(), STUDY_ANSWER_COLUMN, STUDY_PROMPT_ROW);
            answer = window().read_line().substr(0, FILE_NAME_LENGTH);
        }
        const std::string trimmed = without_trailing_blanks(answer);
        if (trimmed == "EXIT" || trimmed == "exit") return false;
        const bool usable = trimmed != "TOP" && trimmed != "top" && trimmed.size() >= 2 && is_letter(trimmed[0]) &&
                            is_letter(trimmed[1]);
        if (!usable) {
            // A launched study that cannot be one ends the run instead of
            // being asked for again and again.
            if (call_.launched()) {
                clear_screen(window());
                stop_program_refused("run_network_editor_module: the launcher's study is not two letters");
            }
            continue;
        }
        const std::string study = study_id_of(trimmed);
        const std::string index_name = study_file_name(STRING_INDEX_FILE_NAME_FORMAT, study);
        if (file_exists(session_.study_file(index_name))) {
            study_id_ = study;
            return true;
        }
        sound_beep(window());
        write_form(window(), 1, MESSAGE_ROW, MISSING_STUDY_FORMAT, {index_name});
        move_cursor(window(), STUDY_ANSWER_COLUMN, STUDY_PROMPT_ROW);
        window().write(std::string(18, ' '), LineEnd::StayOnLine);
        // The next study typed looks its own data directory up.
        session_.data_directory.reset();
        if (call_.launched())
            stop_program_refused("run_network_editor_module: the launcher's study has no string index");
        study_id_ = "  ";
        wait_for_return(window());
    }
}

int EditorModule::read_model_type()
{
    RecordFile list(session_.study_file(model_list_file_name(study_id_)), RecordFile::Open::MustExist);
    list.read_record();
    const std::optional<std::string> entry = list.read_text();
    list.close_keep();
    if (!entry) throw FileError(list.name() + ": record 2: the model list names no model file");
    const std::string model_name = session_.study_file(make_model_list_entry(*entry).model_file_name());
    RecordFile model(model_name, RecordFile::Open::MustExist);
    model.read_value();
    const std::optional<float> type_value = model.read_value();
    model.close_keep();
    if (!type_value) throw FileError(model_name + ": the model file ends before its second value");
    const float type = finite_model_value(*type_value, model_name, 2);
    const float magnitude = type < 0.0f ? -type : type;
    return magnitude < 1.0e9f ? static_cast<int>(magnitude) : 0;
}

void EditorModule::show_menu(int model_type)
{
    clear_screen(window());
    write_form(window(), 5, 1, MODULE_MENU_FORMAT, {std::string(PROMPT_ARROW)});
    if (!uses_packed_land_use(model_type)) write_form(window(), 13, 9, NO_TIME_OPTION_FORMAT);
    if (is_curve_number_model(model_type)) {
        write_form(window(), 13, 9, LAG_OPTION_FORMAT);
        write_form(window(), 13, 15, STORAGE_OPTION_FORMAT);
    }
    write_form(window(), 1, RULE_ROW, STUDY_FOOTER_FORMAT);
}

int EditorModule::read_menu_answer(int model_type)
{
    for (;;) {
        show_menu(model_type);
        for (;;) {
            move_cursor(window(), ENTRY_FIELD_COLUMN, MENU_ANSWER_ROW);
            std::string answer = window().read_line().substr(0, MENU_ANSWER_LENGTH);
            answer.resize(MENU_ANSWER_LENGTH, ' ');
            const std::string first_two = answer.substr(0, 2);
            if (first_two == "EX" || first_two == "ex") return 0;
            if (first_two == "TO" || first_two == "to") break;
            int option = 0;
            if (answer[0] >= '1' && answer[0] <= '9' && answer[1] == ' ') option = answer[0] - '0';
            if (option == 1 || option == 2 || option == 6 || option == 7) {
                write_form(window(), 1, MESSAGE_ROW, "(79(' '))");
                const bool offered =
                    !(option == 2 && !uses_packed_land_use(model_type) && !is_curve_number_model(model_type)) &&
                    !(option == 7 && is_curve_number_model(model_type));
                if (!offered) break;
                return option;
            }
            sound_beep(window());
            write_form(window(), 1, MESSAGE_ROW, MENU_RANGE_MESSAGE_FORMAT);
            move_cursor(window(), ENTRY_FIELD_COLUMN, MENU_ANSWER_ROW);
            window().write(std::string(11, ' '), LineEnd::StayOnLine);
        }
    }
}

void EditorModule::leave()
{
    try {
        append_history_page_break(session_.study_file(history_log_name(study_id_)));
    } catch (const FileError& error) {
        // A protected log keeps what it holds; the engineer is told, and the
        // module is left all the same.
        show_edit_refused(window(), refusal_from_message(" * HISTORY LOG CANNOT BE WRITTEN:", error.what()));
    }
    if (call_.launched()) {
        // The reply comes last: a launcher that finds it finds the run's
        // every file in place.
        create_toolset_file_when_missing(session_, study_id_);
        reply_to_launcher(window(), call_.run_count, TOOLSET_MODE_COUNT, 0, study_id_);
    }
    clear_screen(window());
    stop_program("run_network_editor_module: EXIT");
}

}  // namespace

void run_network_editor_module(Session& session, LauncherCall& call)
{
    EditorModule(session, call).run();
}

}  // namespace velm
