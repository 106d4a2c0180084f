// Until the analysis run is built: the model list check as option 1 needs
// it, and a run that does nothing but clear the window.
#include "app/analysis_run.h"

#include <optional>

#include "platform/files.h"
#include "platform/record_file.h"
#include "records/format.h"
#include "records/study_names.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// The study's model list: record 1 holds this mark, every further record
// names one map's model file.
constexpr float LIST_FILE_MARK = -111888.0f;
constexpr std::string_view LIST_FILE_NAME_FORMAT = "(A2,'TRVLZZ.Z11')";
constexpr std::string_view MISSING_LIST_FORMAT = "(5('*'),'FILE ',A,' DOES NOT EXIST ',$)";
constexpr std::string_view NOT_A_LIST_FORMAT = "(' * DATA FILE [',A30,'] IS NOT A QUORIN Tarvel FILE')";

}  // namespace

ModelListCheck check_model_list(Session& session, std::string& study_id, bool launched)
{
    static const Format name_format(LIST_FILE_NAME_FORMAT);
    const std::string name = name_format.line({study_id});
    const std::string path = session.study_file(name);
    Window& window = session.window;

    if (!file_exists(path)) {
        study_id = "  ";
        sound_beep(window);
        write_at(window, 1, 21, format_line(MISSING_LIST_FORMAT, {padded_file_name(name)}), LineEnd::StayOnLine);
        write_at(window, 62, 18, "   ", LineEnd::StayOnLine);
        return launched ? ModelListCheck::EndRun : ModelListCheck::BackToStudyPrompt;
    }

    RecordFile list(path, RecordFile::Open::MustExist);
    const std::optional<float> first = list.read_value();
    list.close_keep();
    if (!first || *first != LIST_FILE_MARK) {
        sound_beep(window);
        write_at(window, 1, 21, format_line(NOT_A_LIST_FORMAT, {padded_file_name(name)}));
        write_at(window, 50, 18, std::string(31, ' '), LineEnd::StayOnLine);
        wait_for_return(window);
        return launched ? ModelListCheck::EndRun : ModelListCheck::BackToControlMenu;
    }
    return ModelListCheck::Accepted;
}

void run_analysis(Session& session, [[maybe_unused]] const std::string& study_id,
                  [[maybe_unused]] ControlParameters& controls, [[maybe_unused]] HglControlTable& hgl_controls,
                  [[maybe_unused]] RunSettings& settings, [[maybe_unused]] LauncherCall& call)
{
    clear_screen(session.window);
}

}  // namespace velm
