#include "app/report_header.h"

#include "records/format.h"
#include "records/study_id.h"

namespace velm {

namespace {

// Section I, item by item, in report order.  Each text names the setting
// that selects it.

constexpr std::string_view TOPOGRAPHIC_SLOPE_FORMAT =
    "(/5X,'Use topographic slope, constrained by a DEFAULT',' MINIMUM slope. Model Settings are:')";
constexpr std::string_view BALANCED_HGL_SLOPE_FORMAT =
    "(/5X,'Use BALANCED HGL Estimation Module results as the',' approximation of'/"
    "5X,'the friction-slope.',' Model Settings are:')";
constexpr std::string_view TOPOGRAPHIC_WITH_USER_SLOPES_FORMAT =
    "(/5X,'Use topographic slope, constrained by a DEFAULT',' MINIMUM slope,'/"
    "5X,'EXCEPT use user-specified slopes whenever available.',' Model Settings are:')";
constexpr std::string_view BALANCED_HGL_WITH_USER_SLOPES_FORMAT =
    "(/5X,'Use internal HGL Estimation Module results as the ','approximation of'/"
    "5X,'the friction-slope,',' EXCEPT use user-specified slopes whenever available.',' Model Settings are:')";

constexpr std::string_view ENVELOPE_SETTINGS_FORMAT =
    "(/7X,'Minimum Allowable Flow Velocity for ','Peak flow rate(fps) = ',F5.2/"
    "7X,'Minimum Allowable Friction-Slope, Sf, = ',F6.4/"
    "7X,'Manning''s Friction Factor used to estimate ','HGL Envelopes = ',F6.4/"
    "7X,'(Note: Above values will be used to Define TOP and BOTTOM HGL'/"
    "7X,'Envelopes for each STRING)')";
constexpr std::string_view CLEARANCE_SETTINGS_FORMAT =
    "(7X,'Minimum Allowable Clearance(feet) Between',' topography and'/"
    "7X,'HGL or Soffit = ',F5.2/7X,'Maximum Allowable Clearance(feet) Between topography and'/"
    "7X,'HGL or Soffit = ',F6.2)";
constexpr std::string_view DEFAULT_MIN_SLOPE_FORMAT = "(/5X,'DEFAULT Minimum Friction-Slope, Sf, = ',F6.4)";

constexpr std::string_view TOP_ENVELOPE_CONTROL_FORMAT =
    "(/4X,'*HYDRAULIC CONTROL MODEL to be used for each string:'/"
    "5X,'Use TOP HGL ENVELOPE, at downstream node of string,',' minus an offset,'/"
    "5X,'to define downstream Hydraulic',' Control for each system Trunk Line.')";
constexpr std::string_view CONTROL_OFFSET_FORMAT =
    "(/7X,'OFFSET (feet) to define downstream Hydraulic',' Control for each'/5X,'string = ',F6.2)";
constexpr std::string_view USER_DEFINED_CONTROL_FORMAT =
    "(/4X,'*User defines Downstream HGL CONTROL for each system'/5X,'Trunk Line.')";

constexpr std::string_view MAIN_LINE_HEADING_FORMAT =
    "(/4X,'*At a confluence, several upstream branches merge',' into one outlet.'/"
    "5X,'In order to choose which branch is the MAIN-LINE:')";
constexpr std::string_view LARGEST_PEAK_BRANCH_FORMAT = "(5X,'Select BRANCH that has the LARGEST PEAK FLOW RATE')";

constexpr std::string_view CAPACITY_MODEL_HEADING_FORMAT =
    "(/4X,'*MODEL for sizing new system elements',' and for estimating existing'/"
    "5X,'system element flow',' capacities (e.g., for each link):')";
constexpr std::string_view FULL_FLOW_CAPACITY_FORMAT =
    "(5X,'Size all elements as pipes, flowing at full flow capacity'/"
    "5X,'(or 0.82*Diameter as normal depth)')";
constexpr std::string_view NORMAL_DEPTH_CAPACITY_FORMAT =
    "(5X,'Size all elements as pipes, flowing at ','0.93*Diameter as normal depth')";

constexpr std::string_view CAPACITY_TELESCOPING_HEADING_FORMAT =
    "(/4X,'*System element(i.e., pipe, box, channel)',' FLOW',' CAPACITY sizing'/"
    "5X,'constraints:')";
constexpr std::string_view STRING_BASIS_CAPACITY_FORMAT =
    "(5X,'On a STRING BASIS, size each link element to have a',' flow capacity'/"
    "5X,'(or normal depth flow rate) greater than or equal to ','upstream'/"
    "5X,'elements'' target flow rate (i.e., the',' estimated target deficiency'/"
    "5X,'mitigation).')";
constexpr std::string_view INDEPENDENT_CAPACITY_FORMAT =
    "(5X,'Size each link element independent of the',' upstream element'/"
    "5X,'(e.g., ALLOW \"bubble-up\" systems)')";

constexpr std::string_view SIZE_CONSTRAINTS_HEADING_FORMAT =
    "(/4X,'*System element SIZE constraints ','(Note: this Telescoping module only'/"
    "5X,'analyzes Links ','on a STRING BASIS. At a confluence, or Junction of'/"
    "5X,'Branch lines, only the MAIN LINE is considered in this ','Telescoping'/5X,'analysis):')";
constexpr std::string_view NO_AREA_REDUCTION_FORMAT =
    "(5X,'Size each pipe link element to have a pipe',' cross-section area greater'/"
    "5X,'than or equal to the',' upstream element''s pipe cross-section area.'/"
    "5X,'(e.g., do NOT allow reduction in cross-section area)')";
constexpr std::string_view INDEPENDENT_AREA_FORMAT =
    "(5X,'Size each link element independent of the ','upstream element.'/"
    "5X,'(e.g., allow reduction in cross-section area)')";

constexpr std::string_view EXISTING_ELEMENTS_HEADING_FORMAT =
    "(/4X,'*OPTION regarding telescoping EXISTING ELEMENTs:')";
constexpr std::string_view APPLY_TO_EXISTING_FORMAT = "(5X,'Apply above telescoping rules to EXISTING SYSTEMs')";
constexpr std::string_view RETAIN_EXISTING_FORMAT =
    "(5X,'Do NOT Apply above telescoping rules to',' EXISTING SYSTEMs')";
constexpr std::string_view TELESCOPE_AS_REPLACED_FORMAT =
    "(5X,'Except that new system elements located'/"
    "5X,'downstream of retained Existing System elements will be'/"
    "5X,'telescoped as though the Existing System elements had been'/"
    "5X,'telescoped (i.e., this models an anticipated future'/"
    "5X,'telescoped system when all RETAINED existing system',' elements'/"
    "11X,'are eventually replaced).')";
constexpr std::string_view USE_MAXIMUM_FORMAT =
    "(5X,'EXCEPT, use the maximum of the Existing'/"
    "5X,'System or Future (New) System, in Telescoping Downstream'/"
    "5X,'Elements (i.e., this OPTION may be consistent with both'/"
    "5X,'Future and Retained Existing System Elements).')";

constexpr std::string_view MIN_PIPE_DIAMETER_FORMAT =
    "(/4X,'*MINIMUM ALLOWABLE Pipe DIAMETER(inches) = ',F3.0/"
    "5X,'The PROGRAM estimates pipe sizes using Manning''s equation,'/"
    "5X,'with the friction slope set equal to the Value estimated by'/"
    "5X,'YOUR selected Friction Slope Modeling Option.  The PROGRAM'/"
    "5X,'next upsizes to a CONSTRUCTABLE pipe size.  The USER-'/"
    "5X,'specified proportion (',F5.3,') of the Estimated Friction',' Slope'/"
    "5X,'to be used for the pipeflow friction slope.')";

constexpr std::string_view PIPE_FLOW_RATE_FORMATS[] = {
    "(/4X,'*Total Flow Pickup Pipe sizing used Link Upstream',' Node Peak Flow Rate.')",
    "(/4X,'*Total Flow Pickup Pipe sizing used Link Downstream',' Node Peak Flow Rate.')",
    "(/4X,'*Total Flow Pickup Pipe sizing used Average of'/"
    "5X,'Link Upstream and Downstream Node Peak Flow Rates.')",
    "(/4X,'*Total Flow Pickup Pipe sizing used Maximum of'/"
    "5X,'Link Upstream and Downstream Node Peak Flow Rates.')",
};
constexpr std::string_view BOX_CHANNEL_FLOW_RATE_FORMATS[] = {
    "(4X,'*Box or Channel sizing used Link Upstream',' Node Peak Flow Rate.')",
    "(4X,'*Box or Channel sizing used Link Downstream',' Node Peak Flow Rate.')",
    "(4X,'*Box or Channel sizing used Average of'/"
    "5X,'Link Upstream and Downstream Node Peak Flow Rates.')",
    "(4X,'*Box or Channel sizing used Maximum of'/"
    "5X,'Link Upstream and Downstream Node Peak Flow Rates.')",
};

class SectionLines {
public:
    void add(std::string_view layout, const std::vector<FormatValue>& values = {})
    {
        for (std::string& record : Format(layout).write(values)) lines_.push_back(std::move(record));
    }
    // The text of option `option` among texts for options 1, 2, ...
    template <std::size_t N>
    void add_choice(const std::string_view (&layouts)[N], int option)
    {
        if (option >= 1 && option <= static_cast<int>(N)) add(layouts[option - 1]);
    }
    std::vector<std::string> take() { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> report_header_lines(std::string_view study_id, const ControlParameters& c)
{
    SectionLines section;
    section.add(REPORT_TITLE_FORMAT, {std::string(study_id.substr(0, std::min(study_id.size(), STUDY_ID_LENGTH)))});

    static constexpr std::string_view SLOPE_MODEL_FORMATS[] = {TOPOGRAPHIC_SLOPE_FORMAT, BALANCED_HGL_SLOPE_FORMAT,
                                                               TOPOGRAPHIC_WITH_USER_SLOPES_FORMAT,
                                                               BALANCED_HGL_WITH_USER_SLOPES_FORMAT};
    section.add_choice(SLOPE_MODEL_FORMATS, option_code(c.friction_slope_model));
    if (uses_balanced_hgl(c.friction_slope_model)) {
        section.add(ENVELOPE_SETTINGS_FORMAT, {c.min_velocity, c.envelope_min_friction_slope, c.envelope_manning_n});
        section.add(CLEARANCE_SETTINGS_FORMAT, {c.min_clearance, c.max_clearance});
    }
    if (uses_topographic_slope(c.friction_slope_model)) {
        section.add(DEFAULT_MIN_SLOPE_FORMAT, {c.default_min_friction_slope});
    }

    const HydraulicControlModel control_model = effective_hydraulic_control_model(c);
    if (control_model == HydraulicControlModel::TopEnvelopeControl) {
        section.add(TOP_ENVELOPE_CONTROL_FORMAT);
        section.add(CONTROL_OFFSET_FORMAT, {c.hgl_control_offset});
    } else if (control_model == HydraulicControlModel::UserDefinedControl) {
        section.add(USER_DEFINED_CONTROL_FORMAT);
    }

    section.add(MAIN_LINE_HEADING_FORMAT);
    if (c.mainstream_selection == MainstreamSelection::LargestPeakFlowBranch) section.add(LARGEST_PEAK_BRANCH_FORMAT);

    section.add(CAPACITY_MODEL_HEADING_FORMAT);
    static constexpr std::string_view CAPACITY_MODEL_FORMATS[] = {FULL_FLOW_CAPACITY_FORMAT,
                                                                  NORMAL_DEPTH_CAPACITY_FORMAT};
    section.add_choice(CAPACITY_MODEL_FORMATS, option_code(c.pipe_capacity_model));

    section.add(CAPACITY_TELESCOPING_HEADING_FORMAT);
    static constexpr std::string_view CAPACITY_TELESCOPING_FORMATS[] = {STRING_BASIS_CAPACITY_FORMAT,
                                                                        INDEPENDENT_CAPACITY_FORMAT};
    section.add_choice(CAPACITY_TELESCOPING_FORMATS, option_code(c.capacity_telescoping));

    section.add(SIZE_CONSTRAINTS_HEADING_FORMAT);
    static constexpr std::string_view AREA_TELESCOPING_FORMATS[] = {NO_AREA_REDUCTION_FORMAT, INDEPENDENT_AREA_FORMAT};
    section.add_choice(AREA_TELESCOPING_FORMATS, option_code(c.pipe_area_telescoping));

    // The existing-element texts build on each other: 3 adds to 2, 4 to 3.
    section.add(EXISTING_ELEMENTS_HEADING_FORMAT);
    const int existing = option_code(c.existing_element_telescoping);
    if (existing == option_code(ExistingElementTelescoping::ApplyToExisting)) {
        section.add(APPLY_TO_EXISTING_FORMAT);
    }
    if (existing >= option_code(ExistingElementTelescoping::RetainExisting)) {
        section.add(RETAIN_EXISTING_FORMAT);
    }
    if (existing >= option_code(ExistingElementTelescoping::RetainExistingTelescopeAsReplaced)) {
        section.add(TELESCOPE_AS_REPLACED_FORMAT);
    }
    if (existing == option_code(ExistingElementTelescoping::RetainExistingUseMaximum)) {
        section.add(USE_MAXIMUM_FORMAT);
    }

    section.add(MIN_PIPE_DIAMETER_FORMAT, {c.min_pipe_diameter, c.friction_slope_proportion});
    section.add_choice(PIPE_FLOW_RATE_FORMATS, option_code(c.pipe_flow_rate));
    section.add_choice(BOX_CHANNEL_FLOW_RATE_FORMATS, option_code(c.box_channel_flow_rate));
    return section.take();
}

void write_report_header(TextWriter& report, std::string_view study_id, const ControlParameters& controls)
{
    for (const std::string& line : report_header_lines(study_id, controls)) report.write_line(line);
}

}  // namespace velm
