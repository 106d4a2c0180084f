#include "management/subset_module.h"

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "management/diagnostics_comparison.h"
#include "management/study_answer.h"
#include "management/study_model_list.h"
#include "management/subset_data_bases.h"
#include "management/subset_field_map.h"
#include "management/subset_field_map_editor.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "records/format.h"
#include "records/link_data_base.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "records/node_data_base.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "records/subarea_data_base.h"
#include "shell/dialogue.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

enum SubsetModuleOption : int {
    EditNodeSpecification = 1,
    EditSubareaSpecification = 2,
    EditLinkSpecification = 3,
    PrepareSubsets = 4,
};

constexpr int OPTION_COLUMN = 62;
constexpr int OPTION_ROW = 13;
constexpr int STUDY_ROW = 18;
constexpr int STUDY_ANSWER_COLUMN = 62;
constexpr int HEADER_VALUES_READ = 12;  // the return frequency is header value 12

constexpr std::string_view MENU_FORMAT =
    "('Data Base SUBSET Options'//7X,'1 = Create/Edit NODE Subset Specifications'/"
    "7X,'2 = Create/Edit SUBAREA Subset Specifications'/7X,'3 = Create/Edit LINK Subset Specifications'/"
    "7X,'4 = Prepare LINK, NODE, and SUBAREA Data Base SUBSETS'/7X,'5 = N/A'//"
    "5X,'Enter Data Base Option NUMBER...................... ===>',$)";
constexpr std::string_view STUDY_PROMPT_FORMAT = "('Specify 2-letter STUDY NAME(between [AA] to [ZZ])...',' ===>',$)";
constexpr std::string_view PROCESSING_FORMAT = "('     PROCESSING DATA FILE....',A12)";
constexpr std::string_view SUBSETS_STORED_FORMAT =
    "(/'     Data Base SUBSETS stored in files:'/'     [',A2,'NODEZZ.SST]'/'     [',A2,'SUBAZZ.SST]'/"
    "'     [',A2,'LINKZZ.SST]'/)";

class SubsetModule {
public:
    SubsetModule(Session& session, LauncherCall& call) : session_(session), window_(session.window), call_(call) {}

    [[noreturn]] void run();

private:
    [[noreturn]] void run_options();
    // The option of one menu pass; nothing after EXIT.
    std::optional<int> ask_option();
    // The study step; false to go back to the menu (TOP, or a study whose
    // model list is not one).
    bool choose_study();
    // The three subsets, replaced together; false when one cannot be
    // written (told in the window, nothing changed).
    bool prepare_subsets();
    // A file that cannot be written: a beep and the message naming it,
    // and what the run wrote on its own before it, until RETURN.
    void show_refusal(const FileError& error);
    void fill_return_frequencies(const std::string& stem, std::string& last_name_built);
    [[noreturn]] void finish();
    std::string study_file(std::string_view layout) const;
    // What a launched run wrote on its own, which stands when it is refused
    // later (its flag in the tool-status file, or the subsets prepared
    // before the comparison); empty when nothing.
    std::string what_the_run_wrote() const;
    // What a refusal's heading tells of the study: that, or that nothing
    // was changed.
    std::string what_was_changed() const;

    Session& session_;
    Window& window_;
    LauncherCall& call_;
    std::string study_id_ = "  ";
    SubsetFieldMap field_map_{};
    std::vector<std::string> data_file_names_;
    ReturnFrequencyTable return_frequencies_{};
    bool toolset_file_written_ = false;
    bool subsets_written_ = false;  // by a launched preparation
};

std::string SubsetModule::study_file(std::string_view layout) const
{
    return session_.study_file(study_file_name(layout, study_id_));
}

std::string SubsetModule::what_was_changed() const
{
    const std::string changed = what_the_run_wrote();
    return changed.empty() ? "NOTHING WAS CHANGED" : changed;
}

std::string SubsetModule::what_the_run_wrote() const
{
    if (subsets_written_) return "THE SUBSET DATA BASES WERE WRITTEN";
    if (toolset_file_written_) return "THE TOOLSET FILE WAS WRITTEN";
    return {};
}

void SubsetModule::run()
{
    // A file the module cannot read or write where no step refuses it on
    // its own ends the module in the window, without a reply.
    try {
        run_options();
    } catch (const FileError& error) {
        stop_on_file_refusal(window_, " * THE SUBSET MODULE CANNOT GO ON; " + what_was_changed() + ":", error,
                             "subset module: a file cannot be read or written");
    }
}

void SubsetModule::run_options()
{
    if (call_.launched()) study_id_ = call_.study_id();
    // A launched run changes the study before it meets most of what it
    // reads (its flag in the tool-status file at once, the subsets before
    // the toolset comparison): what would refuse it whatever the files
    // hold, something other than a file at the name of a file it reads or a
    // report it cannot append to, is refused first, with nothing changed.
    if (call_.toolset_mode()) {
        try {
            check_diagnostics_comparison_files(session_, study_id_);
        } catch (const FileError& error) {
            stop_on_file_refusal(window_, " * NO EXCEPTION REPORT WAS APPENDED; NOTHING WAS CHANGED:", error,
                                 "subset module: the exception report was refused");
        }
    }
    if (call_.launched() && call_.sub_option != PrepareSubsets) {
        // The model list and the specification the menu's options read
        // (file_exists refuses a non-file), before the flag is set.
        file_exists(session_.study_file(storm_event_model_list_name(study_id_, 1)));
        file_exists(study_file(SUBSET_SPECIFICATION_NAME_FORMAT));
        set_toolset_entry_flag_until_eof(session_, study_id_, SubsetButton);
        toolset_file_written_ = true;
    }
    if (!call_.launched()) show_subset_module_banner(window_);

    for (;;) {
        set_subset_field_map_defaults(field_map_);
        int option = PrepareSubsets;
        if (call_.sub_option != PrepareSubsets) {
            const std::optional<int> chosen = ask_option();
            if (!chosen) finish();
            option = *chosen;
        }
        if (!choose_study()) continue;
        read_subset_specification(study_file(SUBSET_SPECIFICATION_NAME_FORMAT), field_map_);

        if (option == PrepareSubsets) {
            const bool prepared = prepare_subsets();
            if (call_.launched()) {
                subsets_written_ = prepared;
                // A launched preparation that was refused is no success to
                // reply.
                if (!prepared) {
                    clear_screen(window_);
                    stop_program_refused("subset module: the subsets were refused");
                }
                finish();
            }
            if (!prepared) continue;
            write_form(window_, 1, 6, SUBSETS_STORED_FORMAT, {study_id_, study_id_, study_id_});
            wait_for_return(window_);
            continue;
        }
        edit_subset_field_map(window_, field_map_, static_cast<DataBaseKind>(option));
        try {
            write_subset_specification(study_file(SUBSET_SPECIFICATION_NAME_FORMAT), field_map_);
        } catch (const FileError& error) {
            show_refusal(error);
        }
    }
}

std::optional<int> SubsetModule::ask_option()
{
    for (;;) {
        clear_screen(window_);
        write_form(window_, 5, 5, MENU_FORMAT);
        if (!call_.launched() && is_unknown_study_id(study_id_)) write_form(window_, 5, STUDY_ROW, STUDY_PROMPT_FORMAT);
        int highest = PrepareSubsets;
        if (call_.launched()) {
            // A launched run prepares the subsets only through its own sub-option.
            write_at(window_, 7, 10, " 4 = N/A" + std::string(60, ' '), LineEnd::StayOnLine);
            highest = EditLinkSpecification;
        }
        show_command_footer(window_, CommandSet::ExitTop);
        const NumberEntry entry = read_number_field(window_, OPTION_COLUMN, OPTION_ROW, FieldKind::Whole, 1.0f,
                                                    static_cast<float>(highest), 0.0f, CommandSet::ExitTop, false);
        if (entry.result == EntryResult::ExitRequested) return std::nullopt;
        if (entry.result == EntryResult::ValueEntered) return static_cast<int>(entry.value);
    }
}

bool SubsetModule::choose_study()
{
    const StudyChoice choice = choose_module_study(session_, call_, study_id_, {STUDY_ANSWER_COLUMN, STUDY_ROW, 19});
    switch (choice.step) {
        case StudyStep::Exit:
            finish();
        case StudyStep::Top:
            return false;
        case StudyStep::NotAModelList:
            return false;  // every option shows the message again
        case StudyStep::Accepted:
            break;
    }
    data_file_names_ = choice.list.data_file_stems;
    return true;
}

// Header value 12 of the first map's model file of each storm event, until
// the first event without a model file.
void SubsetModule::fill_return_frequencies(const std::string& stem, std::string& last_name_built)
{
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        last_name_built = stem + ".z1" + std::to_string(event);
        const std::string name = session_.study_file(last_name_built);
        if (!file_exists(name)) return;
        RecordFile model_file(name, RecordFile::Open::MustExist);
        float value = 0.0f;
        for (int k = 0; k < HEADER_VALUES_READ; ++k) {
            const std::optional<float> read = model_file.read_value();
            value = read ? finite_model_value(*read, name, static_cast<std::size_t>(k) + 1) : 0.0f;
            if (!read) break;
        }
        return_frequencies_[static_cast<std::size_t>(event - 1)] = static_cast<int>(std::fabs(value));
    }
}

void SubsetModule::show_refusal(const FileError& error)
{
    constexpr int REFUSAL_ROW = 15;
    show_file_refusal(window_, REFUSAL_ROW, " * A FILE CANNOT BE WRITTEN; " + what_was_changed() + ":", error);
}

bool SubsetModule::prepare_subsets()
{
    clear_screen(window_);
    const std::string prefix = data_file_names_.empty() ? study_id_ : study_id_of(data_file_names_.front());
    const std::string node_name = session_.study_file(study_file_name(NODE_SUBSET_NAME_FORMAT, prefix));
    const std::string subarea_name = session_.study_file(study_file_name(SUBAREA_SUBSET_NAME_FORMAT, prefix));
    const std::string link_name = session_.study_file(study_file_name(LINK_SUBSET_NAME_FORMAT, prefix));
    FileChange change;
    try {
        for (const std::string& name : {node_name, subarea_name, link_name}) change.reach(name);
    } catch (const FileError& error) {
        show_refusal(error);
        return false;
    }
    TextWriter node_subset(node_name);
    TextWriter subarea_subset(subarea_name);
    TextWriter link_subset(link_name);

    for (std::size_t i = 0; i < data_file_names_.size(); ++i) {
        const std::string& stem = data_file_names_[i];
        const int map_index = static_cast<int>(i) + 1;
        std::string shown = stem;
        if (map_index == 1) fill_return_frequencies(stem, shown);
        write_form(window_, 5, 5, PROCESSING_FORMAT, {shown});

        // A missing data base contributes no rows; it is not created.
        TextReader links = TextReader::open_optional(session_.study_file(link_data_base_name(stem)));
        FreeFormReader link_reader(links);
        write_link_subset(map_index, field_map_.fields(DataBaseKind::LinkKind), return_frequencies_, link_reader,
                          link_subset);
        TextReader nodes = TextReader::open_optional(session_.study_file(node_data_base_name(stem)));
        FreeFormReader node_reader(nodes);
        write_node_subset(map_index, field_map_.fields(DataBaseKind::NodeKind), node_reader, node_subset);
        TextReader subareas = TextReader::open_optional(session_.study_file(subarea_data_base_name(stem)));
        FreeFormReader subarea_reader(subareas);
        write_subarea_subset(map_index, field_map_.fields(DataBaseKind::SubareaKind), subarea_reader, subarea_subset);
    }
    // The three files are replaced together once every map has been read.
    try {
        for (const TextWriter* subset : {&node_subset, &subarea_subset, &link_subset})
            change.write(subset->name(), subset->contents());
        change.commit();
    } catch (const FileError& error) {
        show_refusal(error);
        return false;
    }
    return true;
}

// A launched run replies once its work is done; in toolset mode that work
// ends with the report comparison, so the reply follows it: a comparison
// that is not made (a report, a control file or the tool-status file
// missing or short, told on the window) or that cannot append its report
// ends the run without a reply, refused, since the launcher would take a
// reply for an exception report appended.
void SubsetModule::finish()
{
    if (call_.launched()) {
        study_id_ = call_.study_id();
        if (call_.toolset_mode()) {
            bool appended = false;
            try {
                appended = compare_diagnostics_files(session_, study_id_, what_the_run_wrote());
            } catch (const FileError& error) {
                stop_on_file_refusal(window_, " * NO EXCEPTION REPORT WAS APPENDED; " + what_was_changed() + ":", error,
                                     "subset module: the exception report was refused");
            }
            if (!appended) {
                clear_screen(window_);
                stop_program_refused("subset module: no exception report was appended");
            }
        }
        reply_to_launcher(window_, call_.run_count, 2, 0, study_id_);
    }
    clear_screen(window_);
    stop_program("subset module: done");
}

}  // namespace

void run_subset_module(Session& session, LauncherCall& call)
{
    SubsetModule(session, call).run();
}

}  // namespace velm
