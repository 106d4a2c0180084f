#include "diagnostics/link_check_report.h"

#include "diagnostics/report_lines.h"
#include "diagnostics/table_sort.h"
#include "records/format.h"

namespace velm {

namespace {

constexpr std::string_view LINK_SECTION_TITLE_FORMAT = "(//4X,'II.A. POSTPROCESSOR VALIDITY CHECKS: LINKS')";

// The column heading of the numbered node-pair rows, and the rows.
constexpr std::string_view NODE_PAIR_COLUMN_HEADING_FORMAT =
    "('                  Link ID'/'   Link      Upstream   Downstream'/'  Number       Node        Node')";
constexpr std::string_view NODE_PAIR_ROW_FORMAT = "(2X,I4,7X,F8.1,3X,F8.1)";

constexpr std::string_view ITEM_A_NONE_FORMAT =
    "(1X,'[A] Upstream Node NUMBERs that Exceed',' Downstream Node NUMBERs = 0')";
constexpr std::string_view ITEM_A_HEADING_FORMAT =
    "(1X,'[A] Upstream Node Number Exceeds Downstream',' Node Number:'/5X,'(EXCEPTIONS need to be at a "
    "confluence)'/5X,'(Note: Any Downstream Node Number = Upstream Node',' Number is FATAL!)'/'                  "
    "Link ID'/'   Link      Upstream   Downstream'/'  Number       Node        Node')";

constexpr std::string_view ITEM_B_NONE_FORMAT =
    "(2X,'B. Number of Upstream Nodes that are NOT unique'/5X,'in the Link Database = 0'/5X,'(EXCEPTIONS are "
    "FATAL!)')";
constexpr std::string_view ITEM_B_HEADING_FORMAT =
    "(2X,'B. Upstream Nodes that are NOT unique in the',' Link Database:'/5X,'(EXCEPTIONS are FATAL!)'/'         "
    "         Link ID'/'   Link      Upstream   Downstream'/'  Number       Node        Node')";

constexpr std::string_view ITEM_C_NONE_FORMAT =
    "(1X,'[C] Number of Downstream Nodes that are NOT',' unique'/5X,'in the Link Database = 0')";
constexpr std::string_view ITEM_C_HEADING_FORMAT =
    "(1X,'[C] Downstream Nodes that are NOT unique in the',' Link Database:'/5X,'(EXCEPTIONS must be all and "
    "only',' confluence nodes)'/'                  Link ID'/'   Link      Upstream   Downstream'/'  Number       "
    "Node        Node')";

constexpr std::string_view ITEM_D_COUNT_FORMAT =
    "(2X,'D. Number of LINKS in Set [A] that ','are not an element in Set [C] = ',I3,':'/5X,'(EXCEPTIONS are "
    "FATAL at a Confluence Node!)')";

constexpr std::string_view ITEM_E_COUNT_FORMAT =
    "(2X,'E. Number of Downstream Nodes that do not connect'/2X,'   to an Upstream Node located on a downstream "
    "Link = ',I3,':'/5X,'(EXCEPTIONS are: (i) Downstream end of a STRING, and'/5X,'(ii) interface node between "
    "MAPs(subregions).)')";
constexpr std::string_view ITEM_F_COUNT_FORMAT =
    "(2X,'F. Number of Upstream Nodes that do not connect'/2X,'   to a Downstream Node located on an upstream "
    "Link = ',I3,':'/5X,'(EXCEPTIONS are: (i) headwater node, (ii) MAP(subregion)'/5X,'interface node, and (iii) "
    "User-Defined information node.)')";

constexpr std::string_view ITEM_G_NONE_FORMAT =
    "(2X,'G. Number of Links where Length is less than or',' equal to [0.001] = 0'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_G_HEADING_FORMAT =
    "(2X,'G. Length of a Link is less than',' [0.001]:'/5X,'(EXCEPTIONS are FATAL!)'/'  Upstream   Downstream    "
    "Length'/'    Node        Node       (feet)')";
constexpr std::string_view ITEM_G_ROW_FORMAT = "(2X,F8.1,3X,F8.1,4X,F8.2)";

constexpr std::string_view ITEM_H_COUNT_FORMAT =
    "(2X,'H. Number of Upstream Nodal Point NUMBERS out of',' range = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_I_COUNT_FORMAT =
    "(2X,'I. Number of Downstream Nodal Point NUMBERS out of',' range = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_J_COUNT_FORMAT =
    "(2X,'J. Number of Upstream Nodes NOT defined in the',' Node Database = ',I3,':'/5X,'(EXCEPTIONS are "
    "FATAL!)')";
// No colon after the count.
constexpr std::string_view ITEM_K_COUNT_FORMAT =
    "(2X,'K. Number of Downstream Nodes NOT defined in the',' Node Database = ',I3/5X,'(EXCEPTIONS are FATAL!)')";

constexpr std::string_view ITEM_L_NONE_FORMAT =
    "(2X,'L. Number of Links with Topographic Slopes'/2X,'   LESS than 0.002, or Greater than 0.100',' = 0')";
constexpr std::string_view ITEM_L_HEADING_FORMAT =
    "(2X,'L. The following LINKS have Topographic Slopes'/2X,'   LESS than 0.002, or Greater than 0.100:'/'  "
    "Upstream   Downstream    Topographic '/'    Node        Node          Slope    ')";
constexpr std::string_view ITEM_L_ROW_FORMAT = "(2X,F8.1,3X,F8.1,5X,F9.4)";

class SectionWriter {
public:
    explicit SectionWriter(TextWriter& report) : report_(report) {}

    void write(std::string_view layout, const std::vector<FormatValue>& values = {})
    {
        write_report_lines(report_, layout, values);
    }
    void rule() { write_report_separator(report_); }
    void node_list(std::string_view count_format, const std::vector<float>& nodes)
    {
        write_counted_node_list(report_, count_format, nodes);
    }

    // Node-pair rows numbered 1, 2, ... across all maps.
    void numbered_pairs(const std::vector<NodePair>& pairs)
    {
        write_numbered_node_pairs(report_, NODE_PAIR_ROW_FORMAT, pairs);
    }

    void pair_item(std::string_view none_format, std::string_view heading_format, const std::vector<NodePair>& pairs)
    {
        if (pairs.empty()) {
            write(none_format);
            return;
        }
        write(heading_format);
        numbered_pairs(pairs);
    }

    void value_rows(std::string_view row_format, const std::vector<LinkValue>& rows)
    {
        const Format row(row_format);
        for (const LinkValue& value : rows)
            report_.write_line(row.line({value.upstream_node, value.downstream_node, value.value}));
    }

private:
    TextWriter& report_;
};

// Item L's rows by slope ascending, ties as the exchange sort leaves them.
std::vector<LinkValue> sorted_by_slope(const std::vector<LinkValue>& slopes)
{
    std::vector<TableRow> table;
    table.reserve(slopes.size());
    for (const LinkValue& slope : slopes)
        table.push_back({slope.upstream_node, slope.downstream_node, slope.value, 0.0f});
    sort_table_rows(table, 3, TableSortOrder::Ascending);
    std::vector<LinkValue> sorted;
    sorted.reserve(table.size());
    for (const TableRow& row : table) sorted.push_back({row[0], row[1], row[2]});
    return sorted;
}

}  // namespace

void report_link_checks(TextWriter& report, const LinkCheckFindings& findings)
{
    SectionWriter section(report);
    section.write(LINK_SECTION_TITLE_FORMAT);
    section.rule();

    section.pair_item(ITEM_A_NONE_FORMAT, ITEM_A_HEADING_FORMAT, findings.reversed_links);
    section.rule();
    section.pair_item(ITEM_B_NONE_FORMAT, ITEM_B_HEADING_FORMAT, findings.shared_upstream_nodes);
    section.rule();
    section.pair_item(ITEM_C_NONE_FORMAT, ITEM_C_HEADING_FORMAT, findings.confluence_pairs);
    section.rule();

    const std::vector<NodePair>& off_confluences = findings.reversed_links_off_confluences;
    section.write(ITEM_D_COUNT_FORMAT, {static_cast<int>(off_confluences.size())});
    if (!off_confluences.empty()) {
        section.write(NODE_PAIR_COLUMN_HEADING_FORMAT);
        section.numbered_pairs(off_confluences);
    }
    section.rule();

    section.node_list(ITEM_E_COUNT_FORMAT, findings.unconnected_downstream_nodes);
    section.rule();
    section.node_list(ITEM_F_COUNT_FORMAT, findings.unconnected_upstream_nodes);
    section.rule();

    if (findings.short_links.empty()) {
        section.write(ITEM_G_NONE_FORMAT);
    } else {
        section.write(ITEM_G_HEADING_FORMAT);
        section.value_rows(ITEM_G_ROW_FORMAT, findings.short_links);
    }
    section.rule();

    section.node_list(ITEM_H_COUNT_FORMAT, findings.upstream_nodes_out_of_range);
    section.rule();
    section.node_list(ITEM_I_COUNT_FORMAT, findings.downstream_nodes_out_of_range);
    section.rule();
    section.node_list(ITEM_J_COUNT_FORMAT, findings.upstream_nodes_not_in_gis);
    section.rule();
    section.node_list(ITEM_K_COUNT_FORMAT, findings.downstream_nodes_not_in_gis);
    section.rule();

    if (findings.topographic_slopes.empty()) {
        section.write(ITEM_L_NONE_FORMAT);
    } else {
        section.write(ITEM_L_HEADING_FORMAT);
        section.value_rows(ITEM_L_ROW_FORMAT, sorted_by_slope(findings.topographic_slopes));
    }
    section.rule();
}

}  // namespace velm
