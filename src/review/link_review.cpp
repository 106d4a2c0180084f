// The frame of the link review: the link prompt, the search of the link's
// record, the rewrite of its data base, and the refresh of the string files
// at the end of a run.
#include "review/link_review.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/link_search.h"
#include "records/number_keys.h"
#include "records/string_files.h"
#include "review/link_value_reviews.h"

namespace velm {

namespace {

constexpr float LOWEST_NODE_NUMBER = 10000.0f;
constexpr float HIGHEST_NODE_NUMBER = 999999.9f;
constexpr int UPSTREAM_NODE_ROW = 4;
constexpr int DOWNSTREAM_NODE_ROW = 7;
constexpr int NOTICE_ROW = 15;

constexpr std::string_view UPSTREAM_NODE_PROMPT = "Enter Upstream NODE NUMBER......................... ===>";
constexpr std::string_view DOWNSTREAM_NODE_PROMPT = "Enter Downstream NODE NUMBER....................... ===>";
constexpr std::string_view NODE_RANGE_LINE = ":ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]";
constexpr std::string_view LINK_MISSING_FORMAT = "(' * LINK ',F8.1,' - ',F8.1,' DOES NOT EXIST')";
constexpr std::string_view DATA_FILE_MISSING_FORMAT = "(' * DATA FILE [',A12,'] DOES NOT EXIST')";
constexpr std::string_view STRING_UPDATE_TITLE = " * UPDATE STRING DATA BASE *";
// The whole name: a string numbered above 9999 has a five-digit name of 13
// characters ("AB15961ZZ.ZST").
constexpr std::string_view STRING_FILE_UPDATE_FORMAT = "(5X,'Update String File [',A,']')";

// String record values the refresh replaces (1-based).
constexpr int STRING_ELEMENT_TYPE = 29;
constexpr std::array<int, 5> STRING_ADOPTED_VALUES{29, 30, 31, 32, 34};
constexpr int STRING_PARALLEL_FIRST = 37;  // values 37 to 41

void show_link_prompt(Window& window, ReviewTarget target)
{
    clear_screen(window);
    write_at(window, 5, 2, review_caption(target));
    write_at(window, 6, UPSTREAM_NODE_ROW, UPSTREAM_NODE_PROMPT, LineEnd::StayOnLine);
    write_at(window, 6, UPSTREAM_NODE_ROW + 1, NODE_RANGE_LINE);
    write_at(window, 6, DOWNSTREAM_NODE_ROW, DOWNSTREAM_NODE_PROMPT, LineEnd::StayOnLine);
    write_at(window, 6, DOWNSTREAM_NODE_ROW + 1, NODE_RANGE_LINE);
    show_review_footer(window, CommandSet::ExitTop);
}

// A notice at row 15 after a beep, acknowledged with RETURN.
void show_notice(Window& window, std::string_view layout, const std::vector<FormatValue>& values)
{
    sound_beep(window);
    write_form(window, 1, NOTICE_ROW, layout, values);
    wait_for_return(window);
}

void show_link_missing(Window& window, float upstream, float downstream)
{
    show_notice(window, LINK_MISSING_FORMAT, {upstream, downstream});
}

void show_data_file_missing(Window& window, const std::string& name)
{
    show_notice(window, DATA_FILE_MISSING_FORMAT, {name});
}

// The link data base of the map of a node (the region's file in a study of
// model type 9).
std::string map_link_data_base(std::string_view study_id, float node, int model_type)
{
    int map = map_number_of(node);
    if (uses_region_files(model_type)) map = region_map_number(map);
    return link_data_base_name(study_id, map);
}

// A data base in hand: its records and the position of the link's record.
struct LocatedLink {
    std::string path;
    std::vector<LinkRecord> records;
    std::size_t position = 0;
};

// Finds the link's record: first in the data base of the downstream node's
// map, then in that of the upstream node's map.  Shows the notice and gives
// nothing when the link or a data base is missing.
std::optional<LocatedLink> locate_link(Session& session, std::string_view study_id, int model_type, float upstream,
                                       float downstream, LinkSearchIndex& search, const FileChange& change)
{
    Window& window = session.window;
    std::string name = map_link_data_base(study_id, downstream, model_type);
    if (uses_packed_land_use(model_type)) {
        const LinkSearchResult result = find_link_in_data_bases(upstream, downstream, name, search);
        if (!result.found()) {
            show_link_missing(window, upstream, downstream);
            return std::nullopt;
        }
        name = result.name();
    }
    std::vector<std::string> names{name};
    const std::string upstream_name = map_link_data_base(study_id, upstream, model_type);
    if (upstream_name != name) names.push_back(upstream_name);

    for (const std::string& candidate : names) {
        LocatedLink located{session.study_file(candidate), {}, 0};
        if (!file_exists(change.current_file(located.path))) {
            show_data_file_missing(window, candidate);
            return std::nullopt;
        }
        // A data base this run changed already is read as the run left it.
        located.records = read_link_data_base(change.current_file(located.path), FilePresence::MustExist);
        for (std::size_t i = 0; i < located.records.size(); ++i) {
            const LinkRecord& record = located.records[i];
            if (record.upstream_node() == upstream && record.downstream_node() == downstream) {
                located.position = i;
                return located;
            }
        }
    }
    show_link_missing(window, upstream, downstream);
    return std::nullopt;
}

ReviewOutcome review_target(Window& window, ReviewTarget target, LinkRecord& record, ChangedLinkTable& changed_links)
{
    switch (target) {
        case ReviewTarget::CapacityReview:
            return review_link_capacity(window, record);
        case ReviewTarget::SizeReview:
            return review_element_size(window, record, changed_links);
        case ReviewTarget::FrictionSlopeReview:
            return review_friction_slope(window, record);
        case ReviewTarget::CostOpinionReview:
            return review_cost_opinion_status(window, record, changed_links);
        case ReviewTarget::ElementTypeReview:
            return review_element_type(window, record);
    }
    return ReviewOutcome::LeaveReview;
}

// The whole data base with the reviewed record in its place; every record
// loses its stale columns on the way.  The new file replaces the old only
// once every line is built.
void rewrite_link_data_base(FileChange& change, const LocatedLink& located, const LinkRecord& reviewed)
{
    TextWriter file(change.new_file(located.path));
    for (std::size_t i = 0; i < located.records.size(); ++i) {
        LinkRecord record = i == located.position ? reviewed : located.records[i];
        clear_stale_link_columns(record);
        file.write_line(link_record_line(record, located.path, static_cast<int>(i) + 1));
    }
    file.commit();
}

// What a read of the change gives; its failure, whatever the file or the
// record, an UnreadableChangeFile with the same message.
template <class Read>
auto read_for_change(Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const UnreadableChangeFile&) {
        throw;
    } catch (const FileError& error) {
        throw UnreadableChangeFile(error.what());
    }
}

StringIndexFile read_string_index_for_change(Session& session, std::string_view study_id)
{
    return read_for_change(
        [&] { return read_string_index_file(session.study_file(string_index_file_name(study_id))); });
}

std::vector<TelescopedStringRecord> read_string_file_for_change(const FileChange& change, const std::string& path)
{
    return read_for_change([&] { return read_telescoped_string_file(change.current_file(path)); });
}

// The string files that hold the link, checked before its change is
// adopted: the refresh at the end of the run rewrites them.
void reach_string_files_of(Session& session, std::string_view study_id, FileChange& change, const LinkRecord& link)
{
    const StringIndexFile index = read_string_index_for_change(session, study_id);
    for (const StringIndexRecord& string : index.records) {
        const std::string path = session.study_file(string_file_name(study_id, string.string_number));
        // A missing file the refresh may never reach (it stops once every
        // changed link is met); when it does, the refresh refuses the run.
        if (!file_exists(change.current_file(path))) continue;
        for (const TelescopedStringRecord& record : read_string_file_for_change(change, path)) {
            if (record.upstream_node == link.upstream_node() && record.downstream_node == link.downstream_node()) {
                change.reach(path, true);
                break;
            }
        }
    }
}

// Adopts a reviewed record: its data base rewritten, in the run's change
// when the run refreshes the string files at its end (the data bases and
// the string files are then replaced together), in a change of its own
// otherwise.  FileError naming the file when one the change reaches cannot
// be written; nothing is changed then.
void adopt_change(Session& session, std::string_view study_id, FileChange& run_change, bool refreshes,
                  const LocatedLink& located, const LinkRecord& reviewed)
{
    if (refreshes) {
        run_change.reach(located.path, true);
        reach_string_files_of(session, study_id, run_change, reviewed);
        rewrite_link_data_base(run_change, located, reviewed);
        return;
    }
    FileChange change;
    change.reach(located.path, true);
    rewrite_link_data_base(change, located, reviewed);
    change.commit();
}

// The adopted values of a changed link in one string record's values.
void apply_change(std::array<float, TELESCOPED_STRING_VALUES>& values, ReviewTarget target,
                  const ChangedLinkEntry& entry)
{
    if (target == ReviewTarget::SizeReview) {
        for (std::size_t k = 0; k < STRING_ADOPTED_VALUES.size(); ++k)
            values[STRING_ADOPTED_VALUES[k] - 1] = entry.adopted_values[k];
        if (values[STRING_PARALLEL_FIRST - 1] > 0.0f || entry.parallel_values[0] > 0.0f) {
            for (std::size_t k = 0; k < entry.parallel_values.size(); ++k)
                values[STRING_PARALLEL_FIRST - 1 + k] = entry.parallel_values[k];
        }
    } else if (target == ReviewTarget::CostOpinionReview) {
        float& type = values[STRING_ELEMENT_TYPE - 1];
        if (entry.adopted_values[0] == 2.0f) type = -std::fabs(type);
        if (entry.adopted_values[0] == 1.0f) type = std::fabs(type);
    }
}

}  // namespace

// A change that cannot be made, told at row 15 after a beep and
// acknowledged with RETURN.
void show_change_refused(Window& window, const FileError& error)
{
    const bool unreadable = dynamic_cast<const UnreadableChangeFile*>(&error) != nullptr;
    show_file_refusal(window, NOTICE_ROW,
                      unreadable ? " * A FILE OF THIS CHANGE CANNOT BE READ; NOTHING WAS CHANGED:"
                                 : " * A FILE OF THIS CHANGE CANNOT BE WRITTEN; NOTHING WAS CHANGED:",
                      error);
}

ChangedLinkEntry& ChangedLinkTable::entry_for(float upstream_node, float downstream_node)
{
    const auto [place, added] =
        positions_.try_emplace(node_pair_key(upstream_node, downstream_node), static_cast<int>(entries_.size()));
    if (added) entries_.push_back(ChangedLinkEntry{upstream_node, downstream_node, {}, {}});
    return entries_[static_cast<std::size_t>(place->second)];
}

int ChangedLinkTable::find(float upstream_node, float downstream_node) const
{
    const auto place = positions_.find(node_pair_key(upstream_node, downstream_node));
    return place == positions_.end() ? -1 : place->second;
}

std::string_view review_caption(ReviewTarget target)
{
    switch (target) {
        case ReviewTarget::CapacityReview:
            return "* REVIEW/ADOPT LINK Specified PRIMARY Element  Flow Capacity  Estimates *";
        case ReviewTarget::SizeReview:
            return "* REVIEW/ADOPT LINK MPD PRIMARY Element SIZE Estimates *";
        case ReviewTarget::FrictionSlopeReview:
            return "* REVIEW/ADOPT LINK Element Friction Slope Estimates *";
        case ReviewTarget::CostOpinionReview:
            return "* REVIEW/ADOPT LINK Element Cost Opinion Status *";
        case ReviewTarget::ElementTypeReview:
            return "* REVIEW/ADOPT LINK PRIMARY Element TYPE Status *";
    }
    return {};
}

void show_review_footer(Window& window, CommandSet commands)
{
    show_command_footer(window, commands);
    write_at(window, 16, 23, "to Main Menu    ", LineEnd::StayOnLine);
}

void show_update_link_data_base(Window& window)
{
    write_at(window, 5, MESSAGE_ROW, " * UPDATE LINK DATA BASE * ", LineEnd::StayOnLine);
}

bool review_and_adopt_link_values(Session& session, std::string_view study_id, ReviewTarget target, int model_type)
{
    Window& window = session.window;
    ChangedLinkTable changed_links;
    LinkSearchIndex search(session.data_directory);
    // A size or cost-opinion review's changes and the string refresh they
    // cause are one change, put in place at the end of the run: the data
    // bases and the string files never disagree.
    const bool refreshes = target == ReviewTarget::SizeReview || target == ReviewTarget::CostOpinionReview;
    FileChange run_change;
    for (;;) {
        show_link_prompt(window, target);
        const NumberEntry upstream =
            read_number_field(window, ENTRY_FIELD_COLUMN, UPSTREAM_NODE_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (upstream.result == EntryResult::ExitRequested) break;
        if (upstream.result == EntryResult::TopRequested) continue;
        const NumberEntry downstream =
            read_number_field(window, ENTRY_FIELD_COLUMN, DOWNSTREAM_NODE_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (downstream.result == EntryResult::ExitRequested) break;
        if (downstream.result == EntryResult::TopRequested) continue;

        const std::optional<LocatedLink> located =
            locate_link(session, study_id, model_type, upstream.value, downstream.value, search, run_change);
        if (!located) continue;
        LinkRecord record = located->records[located->position];
        const ChangedLinkTable before_review = changed_links;
        const ReviewOutcome outcome = review_target(window, target, record, changed_links);
        if (outcome == ReviewOutcome::LeaveReview) break;
        if (outcome != ReviewOutcome::Changed) continue;
        try {
            adopt_change(session, study_id, run_change, refreshes, *located, record);
        } catch (const FileError& error) {
            changed_links = before_review;
            show_change_refused(window, error);
        }
    }
    try {
        if (refreshes && !changed_links.empty()) refresh_string_files(session, study_id, target, changed_links, run_change);
        run_change.commit();
    } catch (const FileError& error) {
        show_change_refused(window, error);
        return false;
    }
    return true;
}

void refresh_string_files(Session& session, std::string_view study_id, ReviewTarget target,
                          const ChangedLinkTable& changed_links, FileChange& change)
{
    Window& window = session.window;
    clear_screen(window);
    write_at(window, 5, 5, STRING_UPDATE_TITLE);

    const StringIndexFile index = read_string_index_for_change(session, study_id);
    const std::size_t wanted = changed_links.entries().size();
    std::vector<bool> met(wanted, false);
    std::size_t met_count = 0;
    for (const StringIndexRecord& string : index.records) {
        const std::string name = string_file_name(study_id, string.string_number);
        const std::string path = session.study_file(name);
        std::vector<TelescopedStringRecord> records = read_string_file_for_change(change, path);
        bool changed = false;
        for (TelescopedStringRecord& record : records) {
            const int k = changed_links.find(record.upstream_node, record.downstream_node);
            if (k < 0) continue;
            std::array<float, TELESCOPED_STRING_VALUES> values = record.values();
            apply_change(values, target, changed_links.entries()[static_cast<std::size_t>(k)]);
            record = TelescopedStringRecord::from_values(values);
            changed = true;
            // Each link counts once, however many records it has.
            if (!met[static_cast<std::size_t>(k)]) {
                met[static_cast<std::size_t>(k)] = true;
                ++met_count;
            }
        }
        if (changed) {
            write_screen_records(window, STRING_FILE_UPDATE_FORMAT, {name});
            TextWriter file(change.new_file(path));
            for (const std::string& line : telescoped_string_file_lines(path, records)) file.write_line(line);
            file.commit();
        }
        if (met_count == wanted) break;
    }
    wait_for_return(window);
}

}  // namespace velm
