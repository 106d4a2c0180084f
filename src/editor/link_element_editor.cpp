// The link element editor: node-pair selection, the data base pass, the
// checks of every file, the commit.
#include "editor/link_element_editor.h"

#include "editor/storm_event_files.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/history_log.h"
#include "records/hydrology_model_type.h"
#include "records/link_search.h"
#include "records/model_file_rewrite.h"
#include "records/street_section_table.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view PRIMARY_NODE_PAIR_FORMAT =
    "('* CHANGE Link''s in-place (as-built) MPD PRIMARY Element',' Attributes *',/,/,5X,'Enter Upstream NODE "
    "NUMBER',25('.'),' ===>',/,5X,':ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]',/,/,5X,'Enter Downstream NODE "
    "NUMBER',23('.'),' ===>',/,5X,':ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]')";
constexpr std::string_view STREET_NODE_PAIR_FORMAT =
    "('* CHANGE LINK STREETFLOW Element',' Attributes *',/,/,5X,'Enter Upstream NODE NUMBER',25('.'),' ===>',/,5X,"
    "':ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]',/,/,5X,'Enter Downstream NODE NUMBER',23('.'),' ===>',/,"
    "5X,':ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]')";
constexpr int UPSTREAM_ROW = 4;
constexpr int DOWNSTREAM_ROW = 7;
constexpr int UPDATE_ROW = 21;
constexpr std::string_view LINK_DATA_BASE_UPDATE = "* UPDATE LINK DATA BASE *";
constexpr std::string_view FULL_STREET_TABLE_FORMAT =
    "('* PROCESS NEGATED -- All [50] Street Sections have been',' Used!',/,7X,'The STREET SECTION TABLE is FULL.',/,"
    "/,5X,'* Suggestion: go to the Hydrology Program \"Controls\" and',/,7X,'consider modifying YOUR tabled street "
    "sections!')";
constexpr int STREET_PROCESS_CODE = 61;

// The node pair typed at the node-pair screen, or nothing on EXIT.
std::optional<std::pair<float, float>> read_node_pair(EditorContext& context, EditorOption option)
{
    Window& window = context.window();
    for (;;) {
        clear_screen(window);
        write_form(window, 5, 2,
                   option == EditorOption::LinkPrimaryElement ? PRIMARY_NODE_PAIR_FORMAT : STREET_NODE_PAIR_FORMAT);
        show_command_footer(window, CommandSet::ExitTop);
        write_at(window, 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);
        const NumberEntry upstream =
            read_number_field(window, ENTRY_FIELD_COLUMN, UPSTREAM_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (upstream.result == EntryResult::ExitRequested) return std::nullopt;
        if (upstream.result == EntryResult::TopRequested) continue;
        const NumberEntry downstream =
            read_number_field(window, ENTRY_FIELD_COLUMN, DOWNSTREAM_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (downstream.result == EntryResult::ExitRequested) return std::nullopt;
        if (downstream.result == EntryResult::TopRequested) continue;
        return std::make_pair(upstream.value, downstream.value);
    }
}

// The link data base of a node's map (its region in a type-9 study).
std::string map_link_data_base(const EditorContext& context, float node)
{
    int map = map_number_of(node);
    if (uses_region_files(context.model_type)) map = region_map_number(map);
    return link_data_base_name(context.study_id, map);
}

// Every record as the rewrite writes it: a designated element of type above
// 3 in column 141 is cleared with columns 142 to 146, and columns 153 to 188
// are always cleared.
void clear_rewrite_columns(LinkRecord& record)
{
    if (record.column(141) > 3.0f)
        for (int k = 141; k <= 146; ++k) record.column(k) = 0.0f;
    for (int k = 153; k <= LINK_RECORD_VALUES; ++k) record.column(k) = 0.0f;
}

std::string first_twelve(const std::string& name)
{
    const std::size_t end = name.find_last_not_of(' ');
    const std::string trimmed = end == std::string::npos ? std::string() : name.substr(0, end + 1);
    return trimmed.substr(0, 12);
}

class LinkElementEditor {
public:
    LinkElementEditor(EditorContext& context, EditorOption option)
        : context_(context),
          option_(option),
          log_(context.session.study_file(history_log_name(context.study_id))),
          search_(context.session.data_directory)
    {
    }
    void run();

private:
    void edit_link(float upstream, float downstream);
    void commit(const std::string& data_base_name, std::vector<LinkRecord>& records, std::size_t edited,
                const std::string& model_base_name, const LinkEditStep& step, int process_code);

    EditorContext& context_;
    EditorOption option_;
    HistorianFile log_;
    LinkSearchIndex search_;
    bool history_header_written_ = false;
};

void LinkElementEditor::run()
{
    for (;;) {
        const auto pair = read_node_pair(context_, option_);
        if (!pair) {
            log_.close();
            return;
        }
        try {
            edit_link(pair->first, pair->second);
        } catch (const EditRefused& refusal) {
            show_edit_refused(context_.window(), refusal);
        }
    }
}

void LinkElementEditor::edit_link(float upstream, float downstream)
{
    Window& window = context_.window();
    const std::string model_base_name = map_link_data_base(context_, downstream);
    std::string name = model_base_name;
    if (uses_packed_land_use(context_.model_type)) {
        const LinkSearchResult found = find_link_in_data_bases(upstream, downstream, name, search_);
        if (!found.found()) {
            show_missing_link(window, upstream, downstream);
            return;
        }
        name = first_twelve(found.file_name);
    }
    if (!file_exists(context_.session.study_file(name))) {
        show_missing_data_file(window, name);
        return;
    }
    for (bool second_file_tried = false;;) {
        std::vector<LinkRecord> records;
        try {
            records = read_link_data_base(context_.session.study_file(name), FilePresence::MustExist);
        } catch (const FileError& error) {
            throw refusal_from_message(" * LINK DATA BASE [" + name + "] CANNOT BE READ; NOTHING WAS CHANGED:",
                                       error.what());
        }
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].upstream_node() != upstream || records[i].downstream_node() != downstream) continue;
            LinkRecord& record = records[i];
            const int process_code = record.process_code();
            const LinkEditStep step = option_ == EditorOption::LinkPrimaryElement
                                          ? edit_link_primary_element(context_, record)
                                          : edit_link_street_section(context_, record);
            if (step.outcome == LinkEditOutcome::NoEditableElement) wait_for_return(window);
            if (step.outcome != LinkEditOutcome::EditCommitted) return;
            commit(name, records, i, model_base_name, step, process_code);
            return;
        }
        // Not in the downstream node's file: the upstream node's map file, once.
        const std::string upstream_name = map_link_data_base(context_, upstream);
        if (second_file_tried || uses_packed_land_use(context_.model_type) || upstream_name == model_base_name) {
            show_missing_link(window, upstream, downstream);
            return;
        }
        if (!file_exists(context_.session.study_file(upstream_name))) {
            show_missing_data_file(window, upstream_name);
            return;
        }
        name = upstream_name;
        second_file_tried = true;
    }
}

void LinkElementEditor::commit(const std::string& data_base_name, std::vector<LinkRecord>& records, std::size_t edited,
                               const std::string& model_base_name, const LinkEditStep& step, int process_code)
{
    Window& window = context_.window();
    CopyBackSet changes;

    // The new link data base, whole.
    const std::string data_base_path = context_.session.study_file(data_base_name);
    TextWriter data_base(data_base_path);
    try {
        for (std::size_t i = 0; i < records.size(); ++i) {
            clear_rewrite_columns(records[i]);
            data_base.write_line(record_line(records[i], data_base_name, static_cast<int>(i) + 1));
        }
    } catch (const FileError& error) {
        throw refusal_from_message(" * LINK DATA BASE [" + data_base_name + "] CANNOT BE WRITTEN; NOTHING WAS CHANGED:",
                                   error.what());
    }
    changes.add_file(data_base_path, data_base.contents());

    // Every storm event's model file, checked and edited in memory.
    const LinkRecord& record = records[edited];
    context_.buffer.edit_node_pair = {record.upstream_node(), record.downstream_node()};
    std::vector<StormEventModelFile> files = load_storm_event_model_files(context_, model_base_name);
    for (StormEventModelFile& file : files) {
        if (option_ == EditorOption::LinkStreetSection) {
            context_.street.street_section_number =
                process_code == STREET_PROCESS_CODE ? STREET_PROCESS_CODE : STREET_EDIT_PENDING;
        }
        ModelFile edited_file = file.loaded.file;
        RewriteResult result;
        try {
            result = rewrite_model_file(edited_file, {RewriteMode::LinkEditMode, 0.0f, 0, option_}, context_.buffer,
                                        context_.street, file.name);
        } catch (const StreetTableRefusal& refusal) {
            if (refusal.reason() != StreetTableRefusal::Reason::TableFull) {
                throw refusal_from_message(" * MODEL FILE [" + file.name + "] CANNOT BE CHANGED; NOTHING WAS CHANGED:",
                                           refusal.what());
            }
            clear_screen(window);
            write_form(window, 5, 5, FULL_STREET_TABLE_FORMAT);
            wait_for_return_on_refusal(window);
            log_.close();
            stop_program_refused("street section table full");
        }
        try {
            changes.add_model_file(file.loaded, edited_file, result.upgraded);
        } catch (const FileError& error) {
            throw model_file_refusal(file.name, error);
        }
    }

    // Logged, then the data base and every model file replaced together.
    write_at(window, 5, UPDATE_ROW, LINK_DATA_BASE_UPDATE);
    std::vector<std::string> entry;
    if (!history_header_written_) {
        entry = history_entry_frame(context_.session.clock.now(), option_ == EditorOption::LinkStreetSection
                                                                      ? HISTORY_WIDE_RULE_FORMAT
                                                                      : HISTORY_RULE_FORMAT);
        const std::vector<std::string> headings = option_ == EditorOption::LinkStreetSection
                                                      ? link_street_section_history_headings()
                                                      : link_primary_element_history_headings();
        entry.insert(entry.end(), headings.begin(), headings.end());
    }
    entry.insert(entry.end(), step.history_block.begin(), step.history_block.end());
    for (const StormEventModelFile& file : files) show_model_file_update(window, UPDATE_ROW, file.name);
    changes.add_history_entry(log_.name(), entry);
    commit_edit(changes);
    history_header_written_ = true;
}

}  // namespace

void edit_link_element_attributes(EditorContext& context, EditorOption option)
{
    LinkElementEditor(context, option).run();
}

}  // namespace velm
