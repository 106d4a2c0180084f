#include "gis/gis_update_module.h"

#include <optional>

#include "gis/gis_checks_pass.h"
#include "gis/gis_model_pass.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "records/format.h"
#include "records/history_log.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/model_file.h"
#include "records/model_file_copy_back.h"
#include "records/model_list.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view TITLE_FORMAT = "('*** RATIONAL METHOD LINK-NODE MODEL DATA FILE UPDATE PROGRAM ***')";
constexpr std::string_view FOOTER_FORMAT =
    "(1X,72('-')/'     TYPE: EXIT to leave program'/'           TOP to go to Top of Page')";
constexpr std::string_view STUDY_PROMPT_FORMAT = "('Enter Study ID([AA] to [ZZ]).........',A5,$)";
constexpr std::string_view PROMPT_ARROW = " ===>";
constexpr int STUDY_PROMPT_COLUMN = 5;
constexpr int STUDY_ROW = 13;
constexpr int STUDY_ANSWER_COLUMN = 47;
constexpr int STUDY_ANSWER_LENGTH = 50;
constexpr int MESSAGE_ROW_20 = 20;

constexpr std::string_view MISSING_FILE_FORMAT = "(' * DATA FILE [',A30,'] DOES NOT EXIST')";
constexpr std::string_view NOT_A_LIST_FORMAT = "(' * DATA FILE [',A30,'] IS NOT A QUORIN Tarvel FILE')";
constexpr std::string_view EMPTY_LIST_FORMAT = "(' * DATA FILE [',A30,'] NAMES NO MODEL FILE')";
constexpr std::string_view MISSING_MODEL_FILE_FORMAT = "('  * WARNING: File [',A12,'.] does NOT exist!')";
constexpr std::string_view UNREADABLE_MODEL_FILE_FORMAT =
    "('  * WARNING: File [',A12,'.] is NOT a valid model file: left unchanged!'/5X,A)";
constexpr std::string_view NO_EXPORTS_FORMAT =
    "('* NONE OF THE NECESSARY DATA BASE FILES EXIST'/'       (e.g., [',A2,'SUBSZZ.ASC], [',A2,"
    "'NODEZZ.ASC], and [',A2,'LINKZZ.ASC] do NOT exist).'/'       PROGRAM will RETURN YOU to the Main Menu.')";
constexpr std::string_view PROCESSING_FORMAT = "(' PROCESSING DATA FILE....',A50)";
constexpr std::string_view OLD_FILES_FORMAT =
    "('OLD DATA FILES ARE STORED IN [',A2,']xxxxOO.Z1y'/"
    "'     where xxxx is the Region/Sub-Region Number and y is the Storm Event Number')";

// The storm events of the model lists "<study>TRVLZZ.Z1<digit>".
constexpr int LAST_STORM_EVENT_DIGIT = 9;
constexpr int MODEL_FILE_NAME_LENGTH = 12;  // characters of an entry that name the model file
constexpr int SHOWN_LIST_NAME_LENGTH = 30;

// The name without its directory part, as the messages show it.
std::string without_directory(const std::string& name)
{
    const std::size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The header values the driver needs of a model file: its model type and
// GIS update option, from values 2 and 9.  Nothing for a file too short to
// hold a header.
std::optional<ModelFileHeader> read_model_file_header(const std::string& name)
{
    ModelFileHeader header;
    try {
        RecordFile file(name, RecordFile::Open::MustExist);
        while (const std::optional<float> value = file.read_value()) {
            if (*value == GROUP_MARKER) break;
            header.values.push_back(*value);
        }
        file.close_keep();
    } catch (const FileError&) {
        return std::nullopt;  // not a record file
    }
    for (int k = 1; k <= header.length(); ++k) finite_model_value(header.value(k), name, static_cast<std::size_t>(k));
    if (header.length() < 12) return std::nullopt;
    return header;
}

// The copy of a model file that keeps its data from before the update: the
// entry's characters 1 to 6, "OO." and characters 10 to 12.
std::string model_file_oo_copy_name(std::string_view entry)
{
    std::string text(entry);
    text.resize(MODEL_FILE_NAME_LENGTH, ' ');
    return text.substr(0, 6) + "OO." + text.substr(9, 3);
}

// The GIS file of a kind for a listed model file: its extension replaced; a
// study of model type 6 or 9 keeps its GIS files per region ("00" for the
// map digits).
std::string gis_file_of_entry(std::string_view model_file_name, int model_type, std::string_view extension)
{
    std::string name = replace_file_extension(model_file_name, extension);
    if (keeps_gis_files_by_region(model_type) && name.size() >= 6) name.replace(4, 2, "00");
    return name;
}

class GisUpdateModule {
public:
    GisUpdateModule(Session& session, LauncherCall& call) : session_(session), window_(session.window), call_(call) {}

    [[noreturn]] void run()
    {
        if (call_.launched()) {
            study_id_ = call_.study_id();
        } else {
            show_gis_update_module_banner(window_);
        }
        bool ask = !call_.launched();
        bool heading = !call_.launched();
        while (true) {
            if (heading) show_study_screen();
            if (ask) read_study();
            heading = false;
            ask = true;
            if (!open_model_list()) continue;
            read_first_model_file();
            clear_screen(window_);
            if (!find_exports()) {
                if (call_.launched()) stop_program_refused("no GIS export");
                heading = true;
                continue;
            }
            break;
        }
        // The GIS files, every model file with its "OO" copy and the history
        // note are one change: a pass that is refused, stopped or killed
        // leaves all of them as they were, so a rerun never takes an updated
        // model file for an original and copies it over its "OO" copy.
        // The study's tool-status file, made where it is missing, is one of
        // them: a pass that could not make it after its commit would refuse
        // a study it has changed already.
        FileChange change;
        try {
            reach_pass_files(change);
            postprocess_gis_data_bases(session_, exports_, study_id_, model_type_, &change);
            update_model_files(change);
            change.append(session_.study_file(history_log_name(study_id_)),
                          history_bytes(gis_update_note(session_.clock.now())));
            create_toolset_file_when_missing(session_, study_id_, change);
            change.commit();
        } catch (const FileError& error) {
            change.discard();
            refuse_pass(error);
        }
        if (call_.launched()) {
            // The update is in place: a reply that cannot be written says
            // so, and no launcher takes the run for one to start again.
            reply_to_launcher(window_, 1, call_.run_count, call_.sub_option, study_id_);
            clear_screen(window_);
            stop_program("GIS update done");
        }
        write_form(window_, 5, 15, OLD_FILES_FORMAT, {study_id_});
        wait_for_return(window_);
        clear_screen(window_);
        stop_program("GIS update done");
    }

private:
    void show_study_screen()
    {
        clear_screen(window_);
        write_form(window_, 5, 3, TITLE_FORMAT);
        write_form(window_, 1, 22, FOOTER_FORMAT);
    }

    // The study prompt until an answer names a study: EXIT ends the
    // program, TOP shows the screen again, an empty answer is asked again.
    void read_study()
    {
        write_form(window_, STUDY_PROMPT_COLUMN, STUDY_ROW, STUDY_PROMPT_FORMAT, {std::string(PROMPT_ARROW)});
        while (true) {
            window_.move_cursor(STUDY_ANSWER_COLUMN, STUDY_ROW);
            std::string answer = window_.read_line();
            answer.resize(STUDY_ANSWER_LENGTH, ' ');
            const StudyAnswer judged = judge_study_answer(answer);
            if (judged == StudyAnswer::Exit) {
                clear_screen(window_);
                stop_program("GIS update: EXIT");
            }
            if (judged == StudyAnswer::Top) {
                show_study_screen();
                write_form(window_, STUDY_PROMPT_COLUMN, STUDY_ROW, STUDY_PROMPT_FORMAT, {std::string(PROMPT_ARROW)});
                continue;
            }
            if (judged == StudyAnswer::Blank) continue;
            study_id_ = study_id_of(answer);
            return;
        }
    }

    // A refused model list: the message on row 20 and the answer erased.
    void refuse_list(std::string_view layout, const std::string& name)
    {
        sound_beep(window_);
        write_form(window_, 1, MESSAGE_ROW_20, layout, {without_directory(name).substr(0, SHOWN_LIST_NAME_LENGTH)});
        write_at(window_, STUDY_ANSWER_COLUMN, STUDY_ROW, std::string(SCREEN_COLUMNS - STUDY_ANSWER_COLUMN + 1, ' '),
                 LineEnd::StayOnLine);
    }

    bool open_model_list()
    {
        const std::string name = session_.study_file(storm_event_model_list_name(study_id_, 1));
        if (!file_exists(name)) {
            refuse_list(MISSING_FILE_FORMAT, name);
            return false;
        }
        ModelListFile list;
        try {
            list = read_model_list_file(name);
        } catch (const FileError&) {
            list = {};  // not a record file at all
        }
        if (!list.is_model_list()) {
            refuse_list(NOT_A_LIST_FORMAT, name);
            return false;
        }
        if (list.entries.empty()) {
            refuse_list(EMPTY_LIST_FORMAT, name);
            return false;
        }
        first_entry_ = list.entries.front();
        return true;
    }

    // The first listed model file tells the study's model type.
    void read_first_model_file()
    {
        const std::string name = session_.study_file(first_entry_.model_file_name());
        const std::string shown = first_entry_.text.substr(0, MODEL_FILE_NAME_LENGTH);
        if (!file_exists(name)) {
            write_screen_records(window_, MISSING_MODEL_FILE_FORMAT, {shown});
            if (!call_.launched()) wait_for_return_on_refusal(window_);
            stop_program_refused("GIS update: first model file missing");
        }
        const std::optional<ModelFileHeader> header = read_model_file_header(name);
        if (!header) {
            write_screen_records(window_, UNREADABLE_MODEL_FILE_FORMAT, {shown, std::string("no model file header")});
            if (!call_.launched()) wait_for_return_on_refusal(window_);
            stop_program_refused("GIS update: first model file has no header");
        }
        model_type_ = header->model_type();
    }

    bool find_exports()
    {
        exports_.subareas = file_exists(session_.study_file(subarea_export_name(study_id_)));
        exports_.links = file_exists(session_.study_file(link_export_name(study_id_)));
        exports_.nodes = file_exists(session_.study_file(node_export_name(study_id_)));
        if (exports_.any()) return true;
        write_form(window_, 5, 16, NO_EXPORTS_FORMAT, {study_id_, study_id_, study_id_});
        wait_for_return_on_refusal(window_);
        return false;
    }

    // The model lists of the storm events, until the first storm event
    // without one.
    std::vector<std::string> model_list_names() const
    {
        std::vector<std::string> names;
        for (int storm_event = 1; storm_event <= LAST_STORM_EVENT_DIGIT; ++storm_event) {
            std::string list_name = session_.study_file(storm_event_model_list_name(study_id_, storm_event));
            if (!file_exists(list_name)) break;
            names.push_back(std::move(list_name));
        }
        return names;
    }

    // Before anything is written: every model file the pass will replace,
    // its "OO" copy and the history log must be files the pass can write.
    void reach_pass_files(FileChange& change)
    {
        for (const std::string& list_name : model_list_names()) {
            for (const ModelListEntry& entry : read_model_list_file(list_name).entries) {
                const std::string name = session_.study_file(entry.model_file_name());
                if (!file_exists(name)) continue;  // told and passed over by the pass
                change.reach(name);
                change.reach(session_.study_file(model_file_oo_copy_name(entry.text)));
            }
        }
        change.reach(session_.study_file(history_log_name(study_id_)));
        // The tool-status file, made at the end where it is missing: what
        // stands at its name is checked here, so that something other than a
        // file there refuses the pass before the sort.
        check_toolset_file(session_, study_id_);
    }

    // A pass that cannot be made: nothing was changed; the message names
    // the file, and the program ends after RETURN (in a launched run too:
    // the message must be read before the window closes).
    [[noreturn]] void refuse_pass(const FileError& error)
    {
        // The refusal and the pause below it stand on rows of their own,
        // whatever the sort's lines or the pass's warnings left there.
        for (int row = MESSAGE_ROW_20; row <= SCREEN_ROWS; ++row)
            write_at(window_, 1, row, std::string(SCREEN_COLUMNS, ' '), LineEnd::StayOnLine);
        show_file_refusal(window_, MESSAGE_ROW_20, " * THE UPDATE CANNOT BE MADE; NO FILE WAS CHANGED:", error);
        clear_screen(window_);
        stop_program_refused("GIS update refused");
    }

    static std::string history_bytes(const std::vector<std::string>& lines)
    {
        std::string bytes;
        for (const std::string& line : lines) {
            bytes += line;
            bytes += "\r\n";
        }
        return bytes;
    }

    // Every listed model file of every storm event, until the first storm
    // event without a model list.
    void update_model_files(FileChange& change)
    {
        clear_screen(window_);
        for (const std::string& list_name : model_list_names())
            for (const ModelListEntry& entry : read_model_list_file(list_name).entries) update_model_file(entry, change);
    }

    void update_model_file(const ModelListEntry& entry, FileChange& change)
    {
        write_form(window_, 5, 10, PROCESSING_FORMAT, {entry.text});
        const std::string shown = entry.text.substr(0, MODEL_FILE_NAME_LENGTH);
        const std::string name = session_.study_file(entry.model_file_name());
        if (!file_exists(name)) {
            write_screen_records(window_, MISSING_MODEL_FILE_FORMAT, {shown});
            return;
        }
        // A file that does not walk is left as it is: the pass replaces a
        // model file only by a whole new one.
        LoadedModelFile loaded;
        try {
            // A file listed twice is updated again from its first update.
            loaded = load_model_file(change.current_file(name));
        } catch (const FileError& error) {
            write_screen_records(window_, UNREADABLE_MODEL_FILE_FORMAT, {shown, std::string(error.what())});
            return;
        }
        const GisPassState state = GisPassState::of(loaded.file.header);
        // The GIS files under the names the sort writes them by, found on the
        // disk whatever their letter case and named as they stand there.
        auto gis_file = [&](bool selected, GisFileKind kind) -> std::optional<std::string> {
            if (!selected) return std::nullopt;
            return change.current_file(name_as_on_disk(session_.study_file(
                gis_file_of_entry(entry.model_file_name(), state.model_type, gis_file_extension(kind)))));
        };
        GisLookups lookups =
            GisLookups::read(gis_files_, gis_file(state.option.selects_subareas(), GisFileKind::Subarea),
                             gis_file(state.option.selects_links(), GisFileKind::Link),
                             gis_file(state.option.selects_nodes(), GisFileKind::Node));
        if (state.option.selects_links()) {
            const std::string link_data_base =
                name_as_on_disk(session_.study_file(replace_file_extension(entry.model_file_name(), "ZLL")));
            lookups.add_channel_freeboards(link_data_base,
                                           channel_links_of(link_data_base, sets_channel_depths(loaded.file)));
        }
        ModelFile updated = loaded.file;
        const AreaWeightedSums sums = apply_gis_to_model_file(updated, lookups);
        // The "OO" copy keeps the file as it was before the pass, never an
        // update of this pass.
        const std::string oo_copy = session_.study_file(model_file_oo_copy_name(entry.text));
        if (!change.has_new_version(oo_copy)) change.write(oo_copy, loaded.bytes);
        copy_back_model_file(change, name, updated, sums, state.model_type);
    }

    // The records of the model file's link data base, which keeps the
    // channel freeboards the GIS files do not carry.  A data base that
    // cannot be read refuses the pass (FileError naming it, its line and
    // value), and so does a missing one where the pass sets channel depths:
    // taken as a map without channels, every channel would lose its
    // freeboard.  A map without channels needs no data base.  A channel
    // whose depth the GIS link file sets and that the data base holds no
    // record of refuses the pass as well, when the pass comes to it
    // (GisLookups::channel_freeboard).
    std::vector<LinkRecord> channel_links_of(const std::string& name, bool sets_channel_depths)
    {
        if (!file_exists(name)) {
            if (!sets_channel_depths) return {};
            throw FileError("Link data base '" + name +
                            "' does not exist: it keeps the freeboards of the map's open channels, which the GIS "
                            "files do not carry");
        }
        return read_link_data_base(name, FilePresence::MustExist);
    }

    Session& session_;
    Window& window_;
    LauncherCall& call_;
    std::string study_id_ = "  ";
    ModelListEntry first_entry_;
    int model_type_ = 0;
    GisExportPresence exports_;
    // The GIS files the sort wrote, read once for the whole pass.
    GisFileCache gis_files_;
};

}  // namespace

void show_gis_update_module_banner(Window& window)
{
    clear_screen(window);
    // Slanted double slashes, one column further left on each row.
    for (int row = 5; row <= 9; ++row) {
        const int shift = row - 5;
        write_at(window, 14 - shift, row, "//", LineEnd::StayOnLine);
        write_at(window, 69 - shift, row, "//", LineEnd::StayOnLine);
    }
    write_at(window, 23, 8, "GIS-to-DATA BASE UPDATE MODULE", LineEnd::StayOnLine);
    write_at(window, 35, 16, "........");
    write_at(window, 38, 17, ".");
    write_at(window, 38, 18, ".");
    write_at(window, 38, 19, ".......> Press RETURN to continue", LineEnd::StayOnLine);
    window.read_line();
}

void run_gis_update_module(Session& session, LauncherCall& call)
{
    GisUpdateModule(session, call).run();
}

}  // namespace velm
