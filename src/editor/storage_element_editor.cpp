// The storage element editor of a curve-number study (model type 10): the
// modified Puls routing data of one storage element, entered on two pages
// and a run of elevation-storage (or surface area)-discharge sets.  A
// complete entry that differs from the stored data goes into the history
// log and into the element's group of every storm event's model file; each
// file keeps its own seven leading values.
#include "editor/storage_element_editor.h"

#include <algorithm>

#include "editor/storm_event_files.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/history_log.h"
#include "records/link_data_base.h"
#include "records/model_group_access.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr int MAX_OUTFLOW_SETS = 20;

// Values of the 70-value routing block (1-based).
constexpr int INITIAL_CONDITION_OPTION = 2;
constexpr int INITIAL_VALUE = 3;
constexpr int OUTFLOW_SET_COUNT = 4;
constexpr int FIRST_ELEVATION = 5;
constexpr int FIRST_STORAGE = 25;
constexpr int FIRST_DISCHARGE = 45;
constexpr int OUTFLOW_OPTION = 65;

constexpr std::string_view NODE_PAIR_FORMAT =
    "('* CHANGE Storage Element Attributes *',/,/,5X,'Enter Upstream NODE NUMBER',25('.'),' ===>',/,5X,':ALLOWABLE "
    "VALUE BETWEEN [10000.0] and [999999.9]',/,/,5X,'Enter Downstream NODE NUMBER',23('.'),' ===>',/,5X,':ALLOWABLE "
    "VALUE BETWEEN [10000.0] and [999999.9]')";
constexpr std::string_view MODEL_FILE_NAME_BY_MAP_FORMAT = "(A2,I4.4,'ZZ.Z11')";
constexpr std::string_view PAGE_TITLE_FORMAT = "('--- DATA ENTRY FOR MODIFIED PULS STORAGE ROUTING ---','PAGE ',I1)";
constexpr std::string_view PAGE_ONE_FORMAT =
    "('Enter Initial Channel Condition Option',14('.'),' ===>',I1,/,9X,'1. User-Specified Storage Volume',/,9X,'2. "
    "User-Specified Flow Rate',/,9X,'3. User-Specified Elevation',/,/,4X,'Enter User-Specified value',26('.'),' "
    "===>',F8.2,/,/,4X,'Enter Basin Outflow Characteristic Option',11('.'),' ===>',I1,/,9X,'1. Elevation vs. Storage "
    "vs. Discharge',/,9X,'2. Elevation vs. Surface Area vs. Discharge')";
constexpr std::string_view ACCEPT_DEFAULT = "* Press Enter Key to Accept Default Value *";
constexpr std::string_view PAGE_TWO_FORMAT = "('Enter Number of Basin Outflow Characteristic Sets',3('.'),' ===>',I2)";
constexpr std::string_view STORAGE_SET_FORMAT =
    "('Elevations vs. Stoarge vs. Discharges Data Set [',I2,'] of [',I2,']:',/,/,4X,'Enter Elevation',37('.'),' "
    "===>',F8.2,/,/,4X,'Enter Storage Volume',32('.'),' ===>',F8.2,/,/,4X,'Enter Discharge',37('.'),' ===>',F8.2,/,"
    "/,4X,'Data Set    Elevation   Storage   Discharge')";
constexpr std::string_view AREA_SET_FORMAT =
    "('Elevations vs.   Area  vs. Discharges Data Set [',I2,'] of [',I2,']:',/,/,4X,'Enter Elevation',37('.'),' "
    "===>',F8.2,/,/,4X,'Enter Surface Area',34('.'),' ===>',F8.2,/,/,4X,'Enter Discharge',37('.'),' ===>',F8.2,/,"
    "4X,'                        Surface            ',/,4X,'Data Set    Elevation     Area    Discharge')";
constexpr std::string_view SET_TABLE_ROW_FORMAT = "(7X,I2,8X,F8.2,2X,F8.2,3X,F8.2)";
constexpr std::string_view UPDATE_FORMAT = "('* UPDATE LINK-NODE DATA FILE --> ',A12,' *')";
constexpr std::string_view HISTORY_FORMAT =
    "(5X,'Storage Element Data (Previous)/Current:',/,5X,'Upstream Node ',F8.1,' to Downstream Node ',F8.1,/,5X,"
    "'Initial Channel Condition Option = (',I1,') ',I1,/,9X,'1. User-Specified Storage Volume',/,9X,'2. "
    "User-Specified Flow Rate',/,9X,'3. User-Specified Elevation',/,5X,'User-Specified Initial value = (',F8.2,') "
    "',F8.2,/,5X,'Basin Outflow Characteristic Option = (',I1,') ',I1,/,9X,'1. Elevation vs. Storage vs. "
    "Discharge',/,9X,'2. Elevation vs. Surface Area vs. Discharge',/,4X,'                                  Surface    "
    "        ',/,4X,'Data Set    Elevation   Storage /  Area    Discharge')";
constexpr std::string_view HISTORY_STORED_SET_FORMAT = "(7X,I2,7X,'(',F8.2,')',7X,'(',F8.2,') (',3X,F8.2,')')";
constexpr std::string_view HISTORY_ENTERED_SET_FORMAT = "(7X,I2,8X,F8.2,9X,F8.2,6X,F8.2)";
constexpr int TABLE_FIRST_ROW = 15;
constexpr int TABLE_ROWS = 5;

using RoutingBlock = std::array<float, STORAGE_ROUTING_VALUES>;

int whole(float value)
{
    return value > -1.0e6f && value < 1.0e6f ? static_cast<int>(value) : 0;
}

// A stored count outside 1 to 20 is no count of sets.
int set_count(float value)
{
    const int count = whole(value);
    return count >= 1 && count <= MAX_OUTFLOW_SETS ? count : 0;
}

class StorageElementEditor {
public:
    explicit StorageElementEditor(EditorContext& context)
        : context_(context), log_(context.session.study_file(history_log_name(context.study_id)))
    {
    }
    void run();

private:
    Window& window() { return context_.window(); }
    float stored(int k) const { return context_.buffer.storage_value(STORAGE_BLOCK_IN_BUFFER - 1 + k); }
    float& entered(int k) { return edit_[static_cast<std::size_t>(k - 1)]; }
    // One field with an empty line keeping `shown`; the accepted value is
    // written again in its display layout.
    EntryResult ask(int row, FieldKind kind, float low, float high, float shown, CommandSet commands,
                    std::string_view display, float& value);
    // The pages; false when the user left with EXIT before the sets were done.
    void enter_data();
    void show_set_table(int last_set);
    void save(float upstream, float downstream, const std::string& name);

    EditorContext& context_;
    HistorianFile log_;
    RoutingBlock edit_{};
};

EntryResult StorageElementEditor::ask(int row, FieldKind kind, float low, float high, float shown, CommandSet commands,
                                      std::string_view display, float& value)
{
    const NumberEntry entry =
        read_number_field(window(), ENTRY_FIELD_COLUMN, row, kind, low, high, shown, commands, true);
    if (entry.result != EntryResult::ValueEntered && entry.result != EntryResult::DefaultAccepted) return entry.result;
    value = entry.result == EntryResult::DefaultAccepted ? shown : entry.value;
    std::vector<FormatValue> shown_value;
    if (kind == FieldKind::Whole) {
        shown_value.emplace_back(whole(value));
    } else {
        shown_value.emplace_back(value);
    }
    std::string text = format_line(display, shown_value);
    text.resize(ENTRY_FIELD_WIDTH, ' ');
    write_at(window(), ENTRY_FIELD_COLUMN, row, text, LineEnd::StayOnLine);
    return EntryResult::ValueEntered;
}

void StorageElementEditor::run()
{
    for (;;) {
        clear_screen(window());
        write_form(window(), 5, 2, NODE_PAIR_FORMAT);
        show_command_footer(window(), CommandSet::ExitTop);
        write_at(window(), 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);
        const NumberEntry upstream =
            read_number_field(window(), ENTRY_FIELD_COLUMN, 4, FieldKind::Real, LOWEST_NODE_NUMBER, HIGHEST_NODE_NUMBER,
                              0.0f, CommandSet::ExitTop, false);
        if (upstream.result == EntryResult::ExitRequested) break;
        if (upstream.result == EntryResult::TopRequested) continue;
        const NumberEntry downstream =
            read_number_field(window(), ENTRY_FIELD_COLUMN, 7, FieldKind::Real, LOWEST_NODE_NUMBER, HIGHEST_NODE_NUMBER,
                              0.0f, CommandSet::ExitTop, false);
        if (downstream.result == EntryResult::ExitRequested) break;
        if (downstream.result == EntryResult::TopRequested) continue;

        const std::string name =
            format_line(MODEL_FILE_NAME_BY_MAP_FORMAT, {context_.study_id, map_number_of(downstream.value)});
        const std::string path = context_.session.study_file(name);
        if (!file_exists(path)) {
            show_missing_data_file(window(), name);
            continue;
        }
        try {
            ModelFile file;
            try {
                file = load_model_file(path).file;
            } catch (const FileError& error) {
                throw model_file_refusal(name, error);
            }
            context_.buffer.edit_node_pair = {upstream.value, downstream.value};
            if (find_model_group(file, RewriteMode::FetchMode, 0.0f, EditorOption::LinkPrimaryElement,
                                 context_.buffer) != RECORD_FOUND) {
                show_missing_link(window(), upstream.value, downstream.value);
                continue;
            }
            edit_.fill(0.0f);
            enter_data();
            save(upstream.value, downstream.value, name);
        } catch (const EditRefused& refusal) {
            show_edit_refused(window(), refusal);
        }
    }
    log_.close();
}

void StorageElementEditor::show_set_table(int last_set)
{
    for (int row = 0; row < TABLE_ROWS; ++row) {
        const int set = std::max(1, last_set - (TABLE_ROWS - 1)) + row;
        if (set > last_set) break;
        write_form(window(), 1, TABLE_FIRST_ROW + row, SET_TABLE_ROW_FORMAT,
                   {set, entered(FIRST_ELEVATION - 1 + set), entered(FIRST_STORAGE - 1 + set),
                    entered(FIRST_DISCHARGE - 1 + set)});
    }
}

void StorageElementEditor::enter_data()
{
    // A stored outflow option of 0 is shown (and kept) as 1.
    if (stored(OUTFLOW_OPTION) == 0.0f)
        context_.buffer.storage_value(STORAGE_BLOCK_IN_BUFFER - 1 + OUTFLOW_OPTION) = 1.0f;
    enum class Step { PageOne, PageTwo, Sets } step = Step::PageOne;
    int set = 1;
    for (;;) {
        if (step == Step::PageOne) {
            clear_screen(window());
            write_form(window(), 5, 1, PAGE_TITLE_FORMAT, {1});
            write_form(window(), 5, 5, PAGE_ONE_FORMAT,
                       {whole(stored(INITIAL_CONDITION_OPTION)), stored(INITIAL_VALUE), whole(stored(OUTFLOW_OPTION))});
            write_at(window(), 5, 20, ACCEPT_DEFAULT);
            show_command_footer(window(), CommandSet::ExitTop);
            EntryResult result = ask(5, FieldKind::Whole, 1.0f, 3.0f, stored(INITIAL_CONDITION_OPTION),
                                     CommandSet::ExitTop, "(I1)", entered(INITIAL_CONDITION_OPTION));
            if (result == EntryResult::ValueEntered)
                result = ask(10, FieldKind::Real, -1.0f, 99999.0f, stored(INITIAL_VALUE), CommandSet::ExitTop, "(F8.2)",
                             entered(INITIAL_VALUE));
            if (result == EntryResult::ValueEntered)
                result = ask(12, FieldKind::Whole, 1.0f, 2.0f, stored(OUTFLOW_OPTION), CommandSet::ExitTop, "(I1)",
                             entered(OUTFLOW_OPTION));
            if (result == EntryResult::ExitRequested) return;
            if (result == EntryResult::ValueEntered) step = Step::PageTwo;
            continue;
        }
        if (step == Step::PageTwo) {
            clear_screen(window());
            write_form(window(), 5, 1, PAGE_TITLE_FORMAT, {2});
            write_form(window(), 5, 3, PAGE_TWO_FORMAT, {whole(stored(OUTFLOW_SET_COUNT))});
            show_allowable_range(window(), 4, 4, "1", "20");
            write_at(window(), 5, 20, ACCEPT_DEFAULT);
            show_command_footer(window(), CommandSet::ExitTopBack);
            float count = 0.0f;
            const EntryResult result = ask(3, FieldKind::Whole, 1.0f, static_cast<float>(MAX_OUTFLOW_SETS),
                                           stored(OUTFLOW_SET_COUNT), CommandSet::ExitTopBack, "(I2)", count);
            if (result == EntryResult::ExitRequested) return;
            if (result == EntryResult::BackRequested) step = Step::PageOne;
            if (result == EntryResult::ValueEntered) {
                entered(OUTFLOW_SET_COUNT) = static_cast<float>(set_count(count));
                step = Step::Sets;
                set = 1;
            }
            continue;
        }
        // The sets.
        const int count = whole(entered(OUTFLOW_SET_COUNT));
        if (set > count) {
            wait_for_return(window());
            return;
        }
        write_form(window(), 5, 6, whole(entered(OUTFLOW_OPTION)) == 2 ? AREA_SET_FORMAT : STORAGE_SET_FORMAT,
                   {set, count, stored(FIRST_ELEVATION - 1 + set), stored(FIRST_STORAGE - 1 + set),
                    stored(FIRST_DISCHARGE - 1 + set)});
        show_command_footer(window(), CommandSet::ExitTopBack);
        const int columns[3] = {FIRST_ELEVATION, FIRST_STORAGE, FIRST_DISCHARGE};
        EntryResult result = EntryResult::ValueEntered;
        for (int c = 0; c < 3 && result == EntryResult::ValueEntered; ++c) {
            const int column = columns[c] - 1 + set;
            // Typed values never decrease from set to set.
            const float low = set == 1 ? 0.0f : entered(column - 1);
            result = ask(8 + 2 * c, FieldKind::Real, low, 99999.0f, stored(column), CommandSet::ExitTopBack, "(F8.2)",
                         entered(column));
        }
        if (result == EntryResult::ExitRequested) return;
        if (result == EntryResult::TopRequested) {
            step = Step::PageTwo;
            continue;
        }
        if (result == EntryResult::BackRequested) {
            // The table loses the row of the set entered last before this one.
            if (set <= 6) {
                write_at(window(), 1, set + 13, std::string(50, ' '), LineEnd::StayOnLine);
            } else {
                show_set_table(set - 2);
            }
            if (--set == 0) step = Step::PageOne;
            continue;
        }
        show_set_table(set);
        ++set;
    }
}

void StorageElementEditor::save(float upstream, float downstream, const std::string& name)
{
    const int count = whole(entered(OUTFLOW_SET_COUNT));
    RoutingBlock stored_block{};
    for (int k = 1; k <= STORAGE_ROUTING_VALUES; ++k) stored_block[static_cast<std::size_t>(k - 1)] = stored(k);
    if (count == 0 || entered(FIRST_DISCHARGE - 1 + count) == 0.0f || edit_ == stored_block) return;

    // Every storm event's model file, checked and edited in memory.
    for (int k = 1; k <= STORAGE_ROUTING_VALUES; ++k)
        context_.buffer.storage_value(STORAGE_BLOCK_IN_BUFFER - 1 + k) = edit_[static_cast<std::size_t>(k - 1)];
    CopyBackSet changes;
    std::vector<StormEventModelFile> files;
    try {
        files = load_storm_event_model_files(context_, name);
        for (StormEventModelFile& file : files) {
            ModelFile edited = file.loaded.file;
            find_model_group(edited, RewriteMode::CopyMode, 0.0f, EditorOption::LinkPrimaryElement, context_.buffer);
            try {
                // A pass that upgraded an old header keeps the old file in "TEMP.DAT".
                changes.add_model_file(file.loaded, edited, edited.header.length() != file.loaded.file.header.length());
            } catch (const FileError& error) {
                throw model_file_refusal(file.name, error);
            }
        }
    } catch (...) {
        for (int k = 1; k <= STORAGE_ROUTING_VALUES; ++k)
            context_.buffer.storage_value(STORAGE_BLOCK_IN_BUFFER - 1 + k) =
                stored_block[static_cast<std::size_t>(k - 1)];
        throw;
    }

    clear_screen(window());
    write_form(window(), 5, 5, UPDATE_FORMAT, {name});
    std::vector<std::string> entry = history_entry_frame(context_.session.clock.now());
    const auto stored_value = [&stored_block](int k) { return stored_block[static_cast<std::size_t>(k - 1)]; };
    for (const std::string& line :
         Format(HISTORY_FORMAT)
             .write({upstream, downstream, whole(stored_value(INITIAL_CONDITION_OPTION)),
                     whole(entered(INITIAL_CONDITION_OPTION)), stored_value(INITIAL_VALUE), entered(INITIAL_VALUE),
                     whole(stored_value(OUTFLOW_OPTION)), whole(entered(OUTFLOW_OPTION))}))
        entry.push_back(line);
    const int rows = std::max(count, set_count(stored_value(OUTFLOW_SET_COUNT)));
    for (int k = 1; k <= rows; ++k) {
        entry.push_back(format_line(HISTORY_STORED_SET_FORMAT,
                                    {k, stored_value(FIRST_ELEVATION - 1 + k), stored_value(FIRST_STORAGE - 1 + k),
                                     stored_value(FIRST_DISCHARGE - 1 + k)}));
        entry.push_back(format_line(
            HISTORY_ENTERED_SET_FORMAT,
            {k, entered(FIRST_ELEVATION - 1 + k), entered(FIRST_STORAGE - 1 + k), entered(FIRST_DISCHARGE - 1 + k)}));
    }
    for (const StormEventModelFile& file : files) write_form(window(), 5, 5, UPDATE_FORMAT, {file.name});
    changes.add_history_entry(log_.name(), entry);
    commit_edit(changes);
}

}  // namespace

void edit_storage_element(EditorContext& context)
{
    StorageElementEditor(context).run();
}

}  // namespace velm
