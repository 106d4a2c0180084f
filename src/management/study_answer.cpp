#include "management/study_answer.h"

#include "platform/stop.h"
#include "records/model_list.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::size_t COMMAND_LINE_LENGTH = 50;

// A launched run whose study cannot be used: the message stays until
// RETURN, then the run ends without a reply.
[[noreturn]] void end_launched_run(Window& window, std::string_view message)
{
    stop_with_message(window, message, "the launched study cannot be used");
}

}  // namespace

StudyChoice choose_module_study(Session& session, LauncherCall& call, std::string& study_id, const StudyPrompt& prompt)
{
    Window& window = session.window;
    for (;;) {
        const bool typed = !call.launched() && is_unknown_study_id(study_id);
        if (typed) {
            move_cursor(window, prompt.answer_column, prompt.row);
            std::string answer = window.read_line().substr(0, COMMAND_LINE_LENGTH);
            answer.resize(COMMAND_LINE_LENGTH, ' ');
            call.line = answer;
        }
        const StudyAnswer answer = judge_study_answer(call.line);
        if (answer == StudyAnswer::Exit) return {StudyStep::Exit, {}};
        if (answer == StudyAnswer::Top) return {StudyStep::Top, {}};
        if (answer != StudyAnswer::Study) {
            if (!typed) end_launched_run(window, "*****THE LAUNCHER NAMES NO STUDY: A STUDY NAME IS TWO LETTERS.");
            if (answer == StudyAnswer::NotAStudy) {
                write_at(window, prompt.answer_column, prompt.row, std::string(7, ' '), LineEnd::StayOnLine);
            }
            continue;
        }
        // A new answer looks up its own data directory.
        if (typed) session.data_directory.reset();
        study_id = study_id_of(call.line);
        const std::string list_name = model_list_file_name(study_id);
        call.line = list_name;
        call.line.resize(COMMAND_LINE_LENGTH, ' ');

        StudyChoice choice{StudyStep::Accepted, read_study_model_list(session, study_id)};
        if (choice.list.status == StudyModelList::Status::Missing) {
            sound_beep(window);
            write_at(window, 1, MESSAGE_ROW, "*****FILE " + padded_file_name(list_name) + " DOES NOT EXIST ",
                     LineEnd::StayOnLine);
            write_at(window, prompt.answer_column, prompt.row, "   ", LineEnd::StayOnLine);
            if (!typed) end_launched_run(window, {});
            study_id = "  ";
            continue;
        }
        if (choice.list.status == StudyModelList::Status::NotAModelList) {
            sound_beep(window);
            write_at(window, 1, MESSAGE_ROW,
                     " * DATA FILE [" + list_name.substr(0, 30) + "] IS NOT A QUORIN Tarvel FILE", LineEnd::StayOnLine);
            write_at(window, 50, prompt.row, std::string(static_cast<std::size_t>(prompt.refused_list_blanks), ' '),
                     LineEnd::StayOnLine);
            if (call.launched()) end_launched_run(window, {});
            wait_for_return(window);
            choice.step = StudyStep::NotAModelList;
        }
        return choice;
    }
}

}  // namespace velm
