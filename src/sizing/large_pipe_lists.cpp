// The large-pipe and upgraded-link lists of the diagnostics report.
#include "sizing/large_pipe_lists.h"

#include "records/format.h"
#include "records/process_codes.h"
#include "sizing/element_sizing.h"

namespace velm {

namespace {

constexpr std::string_view LARGE_PIPE_HEADING_FORMAT =
    "(/5X,'The following LINKS have EXISTING SYSTEM or PROPOSED'/"
    "5X,'SYSTEM Pipe Diameters Greater than or Equal to 84-inch:'/"
    "12X,'LINK ID',9X,'Existing System',5X,'Proposed System'/"
    "7X,'U/S Node',3X,'D/S Node',6X,'(inches)',11X,'(inches)')";
constexpr std::string_view LARGE_PIPE_LINE_FORMAT = "(7X,F8.1,3X,F8.1,6X,F8.2,12X,F8.2)";
constexpr std::string_view UPGRADED_LINK_HEADING_FORMAT =
    "(/5X,'Existing system LINKS that are UPGRADED due to telescoping'/"
    "5X,'rules, and are not estimated to be deficient (i.e., as'/"
    "5X,'estimated by USER-SPECIFIED criteria):'/"
    "12X,'LINK ID',11X,'Existing System',9X,'Proposed System'/"
    "7X,'U/S Node',3X,'D/S Node',3X,'Dia./H',6X,'B',6X,'Z',5X,'Dia/H',7X,'B',6X,'Z')";
constexpr std::string_view UPGRADED_LINK_LINE_FORMAT =
    "(7X,F8.1,3X,F8.1,3X,F7.2,1X,F7.2,2X,F5.1,3X,F7.2,1X,F7.2,2X,F5.1)";

constexpr float LARGE_PIPE_DIAMETER = 84.0f;  // inches

// Process codes whose existing element the upgraded-link list does not show.
bool shows_no_existing_element(int code)
{
    return is_code9_family_code(code);
}

}  // namespace

LargePipeList::LargePipeList() : lines_(Format(LARGE_PIPE_HEADING_FORMAT).write({})) {}

void LargePipeList::add(const LinkRecord& record)
{
    if (is_initial_subarea_code(record.process_code())) return;
    const int pipe = static_cast<int>(ElementType::Pipe);
    if (record.element_type() != pipe && record.user_element_type() != pipe) return;
    pipe_seen_ = true;
    const float existing = record.element_height() * INCHES_PER_FOOT;
    const float proposed = record.replacement_element_height() * INCHES_PER_FOOT;
    if (existing >= LARGE_PIPE_DIAMETER || proposed >= LARGE_PIPE_DIAMETER) {
        lines_.push_back(format_line(LARGE_PIPE_LINE_FORMAT,
                                     {record.upstream_node(), record.downstream_node(), existing, proposed}));
    }
}

std::vector<std::string> LargePipeList::finish()
{
    if (!pipe_seen_) lines_.emplace_back();
    return std::move(lines_);
}

UpgradedLinkList::UpgradedLinkList() : lines_(Format(UPGRADED_LINK_HEADING_FORMAT).write({})) {}

void UpgradedLinkList::add(const LinkRecord& record)
{
    if (record.max_deficiency() > 0.0f || record.replacement_element_height() <= 0.0f) return;
    listed_ = true;
    float existing_height = record.element_height();
    float existing_width = record.element_base_width();
    float existing_slope = record.element_side_slope();
    float proposed_width = record.replacement_element_base_width();
    const float proposed_slope = record.replacement_element_side_slope();
    if (existing_slope == 0.0f) existing_width = 0.0f;
    if (proposed_slope == 0.0f) proposed_width = 0.0f;
    if (shows_no_existing_element(record.process_code())) {
        existing_height = 0.0f;
        existing_width = 0.0f;
        existing_slope = 0.0f;
    }
    lines_.push_back(
        format_line(UPGRADED_LINK_LINE_FORMAT,
                    {record.upstream_node(), record.downstream_node(), existing_height, existing_width, existing_slope,
                     record.replacement_element_height(), proposed_width, proposed_slope}));
}

std::vector<std::string> UpgradedLinkList::finish()
{
    if (!listed_) lines_.emplace_back();
    return std::move(lines_);
}

}  // namespace velm
