// The user-recommended value sections of the diagnostics report.
#include "sizing/user_value_reports.h"

#include <array>

#include "records/format.h"

namespace velm {

namespace {

constexpr std::string_view CAPACITY_HEADING_FORMAT =
    "(A/5X,A,'. USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:'/"
    " /5X,'The following LINKS contain USER-RECOMMENDED flow capacity specifications:'/"
    "5X,'Upstream   Downstream    Computer Recommended    User-Recommended'/"
    "7X,'Node         Node     Flow Capacity Estimate     Flow Capacity')";
constexpr std::string_view SIZE_HEADING_FORMAT =
    "(A/5X,A,'. USER-RECOMMENDED LINK DEFICIENCY MITIGATION SIZE SPECIFICATIONs REPORT:'/"
    " /5X,'The following LINKS contain USER-RECOMMENDED LINK Deficiency'/"
    "5X,'Mitigation Size Specifications:'/"
    "5X,'Upstream    Downstream    Diameter   Base-   Side-  Manning''s'/"
    "7X,'Node         Node       (Height)   Width   Slope  Factor(n)')";
constexpr std::string_view SLOPE_HEADING_FORMAT =
    "(A/5X,A,'. USER-RECOMMENDED LINK FRICTION SLOPE SPECIFICATIONs REPORT:'/"
    " /5X,'The following LINKS contain USER-RECOMMENDED LINK Friction'/"
    "5X,'Slope Specifications:'/"
    "5X,'Upstream    Downstream     User-RECOMMENDED'/"
    "7X,'Node         Node       Friction Slope(Sf)')";

constexpr std::string_view CAPACITY_ENTRY_FORMAT = "(5X,F8.1,4X,F8.1,11X,F7.2,16X,F7.2)";
constexpr std::string_view SIZE_ENTRY_RULE_FORMAT = "(5X,66('-'))";
constexpr std::string_view COMPUTER_SIZE_TITLE_FORMAT = "(29X,'(Computer Recommended Size Specifications)')";
constexpr std::string_view COMPUTER_SIZE_FORMAT = "(5X,F8.1,5X,F8.1,6X,F6.2,4X,F5.1,3X,F5.2,3X,F6.4)";
constexpr std::string_view USER_SIZE_TITLE_FORMAT = "(30X,'(User-Recommended Size Specifications)')";
constexpr std::string_view USER_SIZE_FORMAT = "(32X,F6.2,4X,F5.1,3X,F5.2,3X,F6.4)";
constexpr std::string_view PARALLEL_PIPE_SIZE_FORMAT = "(16X,'Parallel Pipe:  ',F6.2,4X,F5.1,3X,F5.2,3X,F6.4)";
constexpr std::string_view PARALLEL_BOX_SIZE_FORMAT = "(17X,'Parallel Box:  ',F6.2,4X,F5.1,3X,F5.2,3X,F6.4)";
constexpr std::string_view SLOPE_ENTRY_FORMAT = "(5X,F8.1,5X,F8.1,6X,F6.4)";
constexpr std::string_view NONE_FORMAT = "(22X,'** NONE **')";

constexpr std::size_t COLLECTED_LINE_LENGTH = 100;
constexpr float PARALLEL_STATUS = 2.0f;

// The section numbers (capacity, size, slope) under a friction-slope model;
// none for a model outside 1 to 4.
const std::array<std::string, 3>* section_numbers(int friction_slope_model)
{
    static const std::array<std::string, 3> without_balanced_hgl{"III", "IV", "V"};
    static const std::array<std::string, 3> after_balanced_hgl{"IV", "V", "VI"};
    switch (friction_slope_model) {
        case 1:
        case 3:
            return &without_balanced_hgl;
        case 2:
        case 4:
            return &after_balanced_hgl;
        default:
            return nullptr;
    }
}

void add_records(std::vector<std::string>& lines, std::string_view layout, const std::vector<FormatValue>& values)
{
    for (std::string& line : Format(layout).write(values)) lines.push_back(std::move(line));
}

}  // namespace

UserValueReports::UserValueReports(TextWriter& report, int friction_slope_model) : report_(report)
{
    const std::array<std::string, 3>* numbers = section_numbers(friction_slope_model);
    if (numbers == nullptr) return;
    const std::string page_break(PAGE_BREAK);
    for (const std::string& line : Format(CAPACITY_HEADING_FORMAT).write({page_break, (*numbers)[0]})) {
        report_.write_line(line);
    }
    add_records(size_section_, SIZE_HEADING_FORMAT, {page_break, (*numbers)[1]});
    add_records(slope_section_, SLOPE_HEADING_FORMAT, {page_break, (*numbers)[2]});
}

void UserValueReports::report_user_capacity(const LinkRecord& record)
{
    if (record.user_capacity() <= 0.0f) return;
    capacity_listed_ = true;
    report_.write_line(format_line(CAPACITY_ENTRY_FORMAT, {record.upstream_node(), record.downstream_node(),
                                                           record.computed_capacity(), record.user_capacity()}));
}

void UserValueReports::report_user_size_and_slope(const LinkRecord& record)
{
    if (record.user_element_type() > 0) {
        size_listed_ = true;
        add_records(size_section_, SIZE_ENTRY_RULE_FORMAT, {});
        add_records(size_section_, COMPUTER_SIZE_TITLE_FORMAT, {});
        add_records(size_section_, COMPUTER_SIZE_FORMAT,
                    {record.upstream_node(), record.downstream_node(), record.replacement_element_height(),
                     record.replacement_element_base_width(), record.replacement_element_side_slope(),
                     record.replacement_element_friction_factor()});
        add_records(size_section_, USER_SIZE_TITLE_FORMAT, {});
        // A parallel pipe or box is named as such; every other user element
        // (a parallel channel among them) is shown as the plain values.
        std::string_view layout = USER_SIZE_FORMAT;
        if (record.user_element_status() == PARALLEL_STATUS) {
            if (record.user_element_type() == static_cast<int>(ElementType::Pipe)) layout = PARALLEL_PIPE_SIZE_FORMAT;
            if (record.user_element_type() == static_cast<int>(ElementType::Box)) layout = PARALLEL_BOX_SIZE_FORMAT;
        }
        add_records(size_section_, layout,
                    {record.user_element_height(), record.user_element_base_width(), record.user_element_side_slope(),
                     record.user_element_friction_factor()});
    }
    if (record.user_friction_slope() > 0.0f) {
        slope_listed_ = true;
        add_records(slope_section_, SLOPE_ENTRY_FORMAT,
                    {record.upstream_node(), record.downstream_node(), record.user_friction_slope()});
    }
}

void UserValueReports::finish()
{
    if (!capacity_listed_) report_.write_line(format_line(NONE_FORMAT, {}));
    if (!size_listed_) add_records(size_section_, NONE_FORMAT, {});
    if (!slope_listed_) add_records(slope_section_, NONE_FORMAT, {});
    for (const std::vector<std::string>* section : {&size_section_, &slope_section_}) {
        for (const std::string& line : *section) {
            std::string padded = line.substr(0, COLLECTED_LINE_LENGTH);
            padded.resize(COLLECTED_LINE_LENGTH, ' ');
            report_.write_line(padded);
        }
    }
    size_section_.clear();
    slope_section_.clear();
}

}  // namespace velm
