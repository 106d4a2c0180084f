#include "management/settings_changes.h"

#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"

namespace velm {

namespace {

using Lines = std::vector<std::string>;

// The settings of one file as the section compares them.
struct ComparedSettings {
    float min_clearance, max_clearance, min_velocity, min_pipe_diameter, envelope_min_friction_slope,
        default_min_friction_slope, envelope_manning_n, friction_slope_proportion, hgl_control_offset;
    int hydraulic_control_model;  // the units digit of value 1
    int capacity_telescoping, box_channel_flow_rate, pipe_area_telescoping, friction_slope_model, pipe_capacity_model,
        mainstream_selection, pipe_flow_rate, existing_element_telescoping;
};

int tens(int packed)
{
    return packed / 10;
}
int units(int packed)
{
    return packed - 10 * tens(packed);
}

ComparedSettings compared(const StoredSettings& s)
{
    const auto& r = s.reals;
    const auto& p = s.packed;
    ComparedSettings c{r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // Value 1 also carries the low-slope flag mode in its tens digit: only
    // the units digit is the hydraulic control model.
    c.hydraulic_control_model = units(p[0]);
    c.capacity_telescoping = units(p[1]);
    c.box_channel_flow_rate = tens(p[1]) == 0 ? 1 : tens(p[1]);
    c.pipe_area_telescoping = units(p[2]);
    c.friction_slope_model = units(p[3]);
    c.pipe_capacity_model = units(p[4]);
    c.mainstream_selection = units(p[5]);
    c.pipe_flow_rate = tens(p[5]) == 0 ? 2 : tens(p[5]);
    c.existing_element_telescoping = units(p[6]);
    return c;
}

std::string number_line(std::string_view text, float value, std::string_view field, std::string_view after = {})
{
    return std::string(text) + format_line(field, {value}) + std::string(after);
}

std::string separator()
{
    return format_line(REPORT_SEPARATOR_FORMAT, {});
}

void add(Lines& lines, const Lines& block)
{
    lines.insert(lines.end(), block.begin(), block.end());
}

const Lines SF_CAPTION = {"    *FRICTION-SLOPE MODEL to be used for estimating the normal depth",
                          "     (or pressure flow) friction-slope, Sf, for each link:",
                          "     (Note: Selected Sf model will be used as a parameter to model",
                          "     existing system elements and also for sizing new system elements.)"};
const std::string BASELINE_HEADER = "    ** Baseline Setting: **";
const std::string SCENARIO_HEADER = "    == Scenario Setting: ==";

Lines sf_model(int model)
{
    switch (model) {
        case 1:
            return {"     Use topographic slope, constrained by a DEFAULT MINIMUM slope.", "     Model Settings are:"};
        case 2:
            return {"     Use BALANCED HGL Estimation Module results as the approximation of",
                    "     the friction-slope. Model Settings are:"};
        case 3:
            return {"     Use topographic slope, constrained by a DEFAULT MINIMUM slope,",
                    "     EXCEPT use user-specified slopes whenever available.", "     Model Settings are:"};
        case 4:
            return {"     Use internal HGL Estimation Module results as the approximation of",
                    "     the friction-slope, EXCEPT use user-specified slopes whenever available.",
                    "     Model Settings are:"};
        default:
            return {};
    }
}

Lines default_sf(const ComparedSettings& s)
{
    return {number_line("     DEFAULT Minimum Friction-Slope, Sf, = ", s.default_min_friction_slope, "(F6.4)")};
}

Lines envelope(const ComparedSettings& s)
{
    return {number_line("       Minimum Allowable Flow Velocity for Peak flow rate(fps) = ", s.min_velocity, "(F5.2)"),
            number_line("       Minimum Allowable Friction-Slope, Sf, = ", s.envelope_min_friction_slope, "(F6.4)"),
            number_line("       Manning's Friction Factor used to estimate HGL Envelopes = ", s.envelope_manning_n,
                        "(F6.4)"),
            "       (Note: Above values will be used to Define TOP and BOTTOM HGL",
            "       Envelopes for each STRING)"};
}

Lines clearance(const ComparedSettings& s)
{
    return {"       Minimum Allowable Clearance(feet) Between topography and",
            number_line("       HGL or Soffit = ", s.min_clearance, "(F5.2)"),
            "       Maximum Allowable Clearance(feet) Between topography and",
            number_line("       HGL or Soffit = ", s.max_clearance, "(F6.2)")};
}

Lines control_model(int model)
{
    if (model == 1) {
        return {"    *HYDRAULIC CONTROL MODEL to be used for each string:",
                "     Use TOP HGL ENVELOPE, at downstream node of string, minus an offset,",
                "     to define downstream Hydraulic Control for each system Trunk Line."};
    }
    if (model == 2) return {"    *User defines Downstream HGL CONTROL for each system Trunk Line."};
    return {};
}

Lines offset(const ComparedSettings& s)
{
    return {"       OFFSET (feet) to define downstream Hydraulic Control for each",
            number_line("     string = ", s.hgl_control_offset, "(F6.2)")};
}

Lines mainstream(int value)
{
    return value == 1 ? Lines{"     Select BRANCH that has the LARGEST PEAK FLOW RATE"} : Lines{};
}

Lines capacity_model(int value)
{
    if (value == 1) {
        return {"     Size all elements as pipes, flowing at full flow capacity",
                "     (or 0.82*Diameter as normal depth)"};
    }
    if (value == 2) return {"     Size all elements as pipes, flowing at 0.93*Diameter as normal depth"};
    return {};
}

Lines capacity_telescoping(int value)
{
    if (value == 1) {
        return {"     On a STRING BASIS, size each link element to have a flow capacity",
                "     (or normal depth flow rate) greater than or equal to upstream",
                "     elements' target flow rate (i.e., the estimated target deficiency", "     mitigation)."};
    }
    if (value == 2) {
        return {"     Size each link element independent of the upstream element",
                "     (e.g., ALLOW \"bubble-up\" systems)"};
    }
    return {};
}

Lines area_telescoping(int value)
{
    if (value == 1) {
        return {"     Size each pipe link element to have a pipe cross-section area greater",
                "     than or equal to the upstream element's pipe cross-section area.",
                "     (e.g., do NOT allow reduction in cross-section area)"};
    }
    if (value == 2) {
        return {"     Size each link element independent of the upstream element.",
                "     (e.g., allow reduction in cross-section area)"};
    }
    return {};
}

Lines existing_telescoping(int value)
{
    Lines lines;
    if (value == 1) lines.push_back("     Apply above telescoping rules to EXISTING SYSTEMs");
    if (value >= 2) lines.push_back("     Do NOT Apply above telescoping rules to EXISTING SYSTEMs");
    if (value >= 3) {
        add(lines,
            {"     Except that new system elements located",
             "     downstream of retained Existing System elements will be",
             "     telescoped as though the Existing System elements had been",
             "     telescoped (i.e., this models an anticipated future",
             "     telescoped system when all RETAINED existing system elements", "     are eventually replaced)."});
    }
    if (value == 4) {
        add(lines, {"     EXCEPT, use the maximum of the Existing",
                    "     System or Future (New) System, in Telescoping Downstream",
                    "     Elements (i.e., this OPTION may be consistent with both",
                    "     Future and Retained Existing System Elements)."});
    }
    return lines;
}

Lines diameter(const ComparedSettings& s)
{
    return {number_line("    *MINIMUM ALLOWABLE Pipe DIAMETER(inches) = ", s.min_pipe_diameter, "(F3.0)"),
            "     The PROGRAM estimates pipe sizes using Manning's equation,",
            "     with the friction slope set equal to the Value estimated by",
            "     YOUR selected Friction Slope Modeling Option.  The PROGRAM",
            "     next upsizes to a CONSTRUCTABLE pipe size.  The USER-",
            number_line("     specified proportion (", s.friction_slope_proportion, "(F5.3)",
                        ") of the Estimated Friction Slope"),
            "     to be used for the pipeflow friction slope."};
}

Lines flow_rate(std::string_view subject, int value)
{
    const std::string head = "    *" + std::string(subject) + " sizing used ";
    switch (value) {
        case 1:
            return {head + "Link Upstream Node Peak Flow Rate."};
        case 2:
            return {head + "Link Downstream Node Peak Flow Rate."};
        case 3:
            return {head + "Average of", "     Link Upstream and Downstream Node Peak Flow Rates."};
        case 4:
            return {head + "Maximum of", "     Link Upstream and Downstream Node Peak Flow Rates."};
        default:
            return {};
    }
}

}  // namespace

std::optional<StoredSettings> read_stored_settings(std::string_view file_name)
{
    if (!file_exists(file_name)) return std::nullopt;
    TextReader lines(file_name);
    FreeFormReader reader(lines);
    StoredSettings settings;
    std::vector<FreeFormTarget> reals;
    for (float& value : settings.reals) reals.emplace_back(&value);
    std::vector<FreeFormTarget> integers;
    for (int& value : settings.packed) integers.emplace_back(&value);
    // A NaN or an infinity is no setting to compare: such a file holds no
    // settings, as one cut short.
    if (!reader.read_finite(reals).ok() || !reader.read(integers).ok()) return std::nullopt;
    return settings;
}

std::vector<std::string> settings_change_lines(const StoredSettings& baseline_file, const StoredSettings& scenario_file)
{
    const ComparedSettings b = compared(baseline_file);
    const ComparedSettings s = compared(scenario_file);
    Lines lines = {"", "", "     I. USER-SELECTED POSTPROCESSOR OPTIONS AND SETTINGS:", separator()};
    int changes = 0;
    const auto pair = [&](const Lines& baseline_block, const Lines& scenario_block) {
        lines.push_back(BASELINE_HEADER);
        add(lines, baseline_block);
        lines.push_back(SCENARIO_HEADER);
        add(lines, scenario_block);
    };
    const auto friction_change = [&]() {
        if (++changes == 1) add(lines, SF_CAPTION);
    };

    // Group 1: the friction-slope model and its settings.
    if (b.friction_slope_model != s.friction_slope_model) {
        ++changes;
        add(lines, SF_CAPTION);
        for (const ComparedSettings* side : {&b, &s}) {
            lines.push_back(side == &b ? BASELINE_HEADER : SCENARIO_HEADER);
            add(lines, sf_model(side->friction_slope_model));
            if (side->friction_slope_model == 1 || side->friction_slope_model == 3) {
                add(lines, default_sf(*side));
            } else {
                add(lines, envelope(*side));
                add(lines, clearance(*side));
            }
        }
    } else {
        if (b.default_min_friction_slope != s.default_min_friction_slope) {
            friction_change();
            pair(default_sf(b), default_sf(s));
        }
        if (b.envelope_manning_n != s.envelope_manning_n || b.min_velocity != s.min_velocity ||
            b.envelope_min_friction_slope != s.envelope_min_friction_slope) {
            friction_change();
            pair(envelope(b), envelope(s));
        }
        if (b.min_clearance != s.min_clearance || b.max_clearance != s.max_clearance) {
            friction_change();
            pair(clearance(b), clearance(s));
        }
    }

    // Group 2: the hydraulic control model, or its offset.
    if (b.hydraulic_control_model != s.hydraulic_control_model) {
        ++changes;
        lines.push_back(separator());
        pair(control_model(b.hydraulic_control_model), control_model(s.hydraulic_control_model));
    } else if (b.hydraulic_control_model == 1 && b.hgl_control_offset != s.hgl_control_offset) {
        friction_change();
        pair(offset(b), offset(s));
    }

    // Group 3: the mainstream selection.
    if (b.mainstream_selection != s.mainstream_selection) {
        ++changes;
        add(lines, {"", "    *At a confluence, several upstream branches merge into one outlet.",
                    "     In order to choose which branch is the MAIN-LINE:"});
        pair(mainstream(b.mainstream_selection), mainstream(s.mainstream_selection));
    }

    // Groups 4 to 10.
    const auto group = [&](bool differs, const Lines& caption, const Lines& baseline_block,
                           const Lines& scenario_block) {
        if (!differs) return;
        ++changes;
        lines.push_back(separator());
        add(lines, caption);
        pair(baseline_block, scenario_block);
    };
    group(b.pipe_capacity_model != s.pipe_capacity_model,
          {"    *MODEL for sizing new system elements and for estimating existing",
           "     system element flow capacities (e.g., for each link):"},
          capacity_model(b.pipe_capacity_model), capacity_model(s.pipe_capacity_model));
    group(b.capacity_telescoping != s.capacity_telescoping,
          {"    *System element(i.e., pipe, box, channel) FLOW CAPACITY sizing", "     constraints:"},
          capacity_telescoping(b.capacity_telescoping), capacity_telescoping(s.capacity_telescoping));
    group(b.pipe_area_telescoping != s.pipe_area_telescoping,
          {"    *System element SIZE constraints (Note: this Telescoping module only",
           "     analyzes Links on a STRING BASIS. At a confluence, or Junction of",
           "     Branch lines, only the MAIN LINE is considered in this Telescoping", "     analysis):"},
          area_telescoping(b.pipe_area_telescoping), area_telescoping(s.pipe_area_telescoping));
    group(b.existing_element_telescoping != s.existing_element_telescoping,
          {"    *OPTION regarding telescoping EXISTING ELEMENTs:"},
          existing_telescoping(b.existing_element_telescoping), existing_telescoping(s.existing_element_telescoping));
    group(b.min_pipe_diameter != s.min_pipe_diameter || b.friction_slope_proportion != s.friction_slope_proportion, {},
          diameter(b), diameter(s));
    group(b.pipe_flow_rate != s.pipe_flow_rate, {}, flow_rate("Total Flow Pickup Pipe", b.pipe_flow_rate),
          flow_rate("Total Flow Pickup Pipe", s.pipe_flow_rate));
    group(b.box_channel_flow_rate != s.box_channel_flow_rate, {}, flow_rate("Box or Channel", b.box_channel_flow_rate),
          flow_rate("Box or Channel", s.box_channel_flow_rate));

    if (changes == 0) lines.push_back("     * No Changes of QEV VELM Settings");
    lines.push_back(separator());
    lines.emplace_back();
    return lines;
}

}  // namespace velm
