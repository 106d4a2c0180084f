// The report of gaps in the existing primary system.
#include "sizing/primary_system_gaps.h"

#include <cmath>
#include <map>
#include <memory>

#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/link_table.h"
#include "records/link_search.h"
#include "records/number_keys.h"
#include "records/process_codes.h"
#include "shell/dialogue.h"
#include "strings/run_strings.h"

namespace velm {

namespace {

constexpr std::string_view GAP_TITLE = "*** IDENTIFIED GAPS IN EXISTING PRIMARY SYSTEM NETWORK ***";
constexpr std::string_view GAP_HEADING_FORMAT =
    "(A/5X,'The following Links appear to have a gap between Existing'/5X,'System Primary Elements:'/17X,"
    "'Link ID'/12X,'Upstream  Downstream'/14X,'Node       Node')";
constexpr std::string_view GAP_LINE_FORMAT = "(11X,F8.1,4X,F8.1)";
constexpr std::string_view NO_GAP_FORMAT = "(8X,'None')";
constexpr std::string_view PROCESSING_STRING_TEXT = "** Processing String File ===>";
constexpr std::string_view REGION_LINK_DATA_BASE_NAME_FORMAT = "(A2,I2.2,'00ZZ.ZLL')";

// A code stored as a real, its sign a mark: the headwater links.
bool is_headwater_code(float code)
{
    return is_initial_subarea_code(static_cast<int>(code));
}

ConveyanceKind link_conveyance(const LinkRecord& record)
{
    return {static_cast<float>(record.element_type()), record.curb_height() > 0.0f ? 1.0f : 0.0f};
}

struct StudyFiles {
    explicit StudyFiles(RunContext& run)
        : run(run), study_id(run.study_id), model_type_code(run.settings.model_type_code)
    {
    }

    RunContext& run;
    std::string study_id;
    int model_type_code;
    // The search finds the node pairs of the files as they stood before the
    // run (the run changes no link's node pair), most of them in the run's
    // link table.
    LinkSearchIndex search{run.session.data_directory, run.links};

    std::optional<ContinuingLink> continuing_link(float last_upstream, float last_downstream, float outlet_node)
    {
        std::string name = outlet_link_data_base_name(study_id, model_type_code, outlet_node);
        if (uses_packed_land_use(model_type_code)) {
            const LinkSearchResult found = find_link_in_data_bases(last_upstream, last_downstream, name, search);
            if (found.found()) name = found.name();
        }
        if (std::isnan(outlet_node)) return std::nullopt;
        // The first link of the data base that leaves the outlet node.
        LinkTable::File& links = run.links.file(run.study_file(name), FilePresence::Optional);
        const LinkRecord* record = run.links.first_leaving(links, outlet_node);
        if (record == nullptr) return std::nullopt;
        return ContinuingLink{record->upstream_node(), record->downstream_node(), link_conveyance(*record)};
    }
};

}  // namespace

ConveyanceKind string_link_conveyance(const TelescopedLinkSummary& record)
{
    float element_type = record.element_type;
    switch (static_cast<int>(record.process_code)) {
        case 31:
        case 37:
            element_type = 1.0f;
            break;
        case 36:
            element_type = 2.0f;
            break;
        case 52:
        case 53:
        case 56:
            element_type = 3.0f;
            break;
        default:
            break;
    }
    return {element_type, record.curb_height > 0.0f ? 1.0f : 0.0f};
}

std::string outlet_link_data_base_name(const std::string& study_id, int model_type_code, float outlet_node)
{
    if (uses_region_files(model_type_code)) {
        return format_line(REGION_LINK_DATA_BASE_NAME_FORMAT, {study_id, static_cast<int>(outlet_node / 10000.0f)});
    }
    return link_data_base_name(study_id, static_cast<int>(outlet_node / 100.0f));
}

GapReportSource study_gap_report_source(RunContext& run)
{
    auto files = std::make_shared<StudyFiles>(run);
    GapReportSource source;
    source.string_records = [files](int string_number) {
        return run_telescoped_string_links(files->run, string_number).value_or(std::vector<TelescopedLinkSummary>{});
    };
    source.continuing_link = [files](float last_upstream, float last_downstream, float outlet_node) {
        return files->continuing_link(last_upstream, last_downstream, outlet_node);
    };
    return source;
}

void report_primary_system_gaps(Window& window, TextWriter& report, const std::string& study_id, int string_count,
                                const GapReportSource& source)
{
    clear_screen(window);
    move_cursor(window, 5, 3);
    window.write(GAP_TITLE);
    for (const std::string& line : Format(GAP_HEADING_FORMAT).write({std::string(PAGE_BREAK)})) report.write_line(line);
    clear_screen(window);

    static const Format gap_line(GAP_LINE_FORMAT);
    bool gap_listed = false;
    // A gap: a link without a primary element below one with an element.
    auto write_conveyance_gap = [&](ConveyanceKind previous, float upstream_node, float downstream_node,
                                    ConveyanceKind kind) {
        if (previous.element_type > 0.0f && kind.element_type == 0.0f) {
            report.write_line(gap_line.line({upstream_node, downstream_node}));
            gap_listed = true;
        }
    };

    for (int string_number = 1; string_number <= string_count; ++string_number) {
        move_cursor(window, 5, 5);
        window.write(std::string(PROCESSING_STRING_TEXT) + string_file_name(study_id, string_number));

        ConveyanceKind previous = NO_CONVEYANCE;
        const TelescopedLinkSummary* last = nullptr;
        const std::vector<TelescopedLinkSummary> records = source.string_records(string_number);
        for (const TelescopedLinkSummary& record : records) {
            if (is_headwater_code(record.process_code)) continue;
            const ConveyanceKind kind = string_link_conveyance(record);
            if (previous != NO_CONVEYANCE && kind != previous) {
                write_conveyance_gap(previous, record.upstream_node, record.downstream_node, kind);
            }
            previous = kind;
            last = &record;
        }
        if (last == nullptr || last->downstream_node == 0.0f) continue;
        const std::optional<ContinuingLink> below =
            source.continuing_link(last->upstream_node, last->downstream_node, last->downstream_node);
        if (below && below->kind != previous) {
            write_conveyance_gap(previous, below->upstream_node, below->downstream_node, below->kind);
        }
    }
    if (!gap_listed) report.write_line(format_line(NO_GAP_FORMAT, {}));
    clear_screen(window);
}

}  // namespace velm
