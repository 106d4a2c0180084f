// Balanced HGL estimation: string profiles, envelopes, the segment fit and
// the level-by-level walk from the outlet controls upstream.
#include "strings/balanced_hgl.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "diagnostics/diagnostics_run.h"
#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/number_keys.h"
#include "shell/dialogue.h"
#include "strings/friction_slope_update.h"
#include "strings/outlet_hgl_controls.h"
#include "strings/run_strings.h"

namespace velm {

namespace {

constexpr std::string_view BALANCED_HGL_HEADING_FORMAT = "('* BALANCED HGL ANALYSIS *')";
constexpr std::string_view PROCESSING_STRING_FORMAT = "(5X,'* PROCESSING STRING FILE NUMBER [',I4.4,']')";

constexpr std::string_view ABOVE_TOP_ENVELOPE_FORMAT =
    "(4X,'*WARNING : The HGL CONTROL for STRING #',I4/5X,'(UPSTREAM NODE = ',F8.1,'; DOWNSTREAM NODE = ',F8.1,"
    "') is ABOVE'/5X,'the modeled TOP HGL Envelope at the String''s most',' Downstream Node.'/5X,"
    "'Estimated HGL Control:',F8.2,'; TOP HGL Envelope:',F8.2/5X,'Bottom HGL Envelope:',F8.2,"
    "' *HGL Control RESET to TOP HGL Envelope')";
constexpr std::string_view BELOW_BOTTOM_ENVELOPE_FORMAT =
    "(4X,'*WARNING : The HGL CONTROL for STRING #',I4/5X,'(UPSTREAM NODE = ',F8.1,'; DOWNSTREAM NODE = ',F8.1,"
    "') is BELOW'/5X,'the modeled BOTTOM HGL Envelope at the',' String''s most Downstream Node.'/5X,"
    "'Estimated HGL Control:',F8.2,'; TOP HGL Envelope:',F8.2/5X,'Bottom HGL Envelope:',F8.2,"
    "' *HGL Control RESET to Bottom HGL Envelope')";

// Full-pipe flow at the minimum velocity: D = sqrt(4 Q / (pi Vmin)) and
// Manning's Sf = (Q / ((0.498 / n) D^2.667))^2 (D in ft, Q in cfs).
constexpr float PI = 3.14159f;
constexpr float MANNING_FULL_PIPE = 0.498f;
constexpr float MANNING_EXPONENT = 2.667f;
// The bottom envelope stays this far below a top envelope it would cross.
constexpr float ENVELOPE_SEPARATION = 0.1f;  // ft

float minimum_gradient(float flow, const ControlParameters& settings)
{
    const float diameter = std::sqrt(4.0f * flow / (PI * settings.min_velocity));
    float slope = flow / (MANNING_FULL_PIPE / settings.envelope_manning_n * std::pow(diameter, MANNING_EXPONENT));
    slope = slope * slope;
    if (slope < settings.envelope_min_friction_slope) slope = settings.envelope_min_friction_slope;
    return slope;
}

}  // namespace

std::optional<StringProfile> string_profile(const std::vector<StringRecord>& records)
{
    std::size_t skipped = 0;
    for (const StringRecord& record : records) {
        if (record.link_length == 0.0f || record.peak_flow_rate == 0.0f) ++skipped;
    }
    const std::size_t taken = records.size() - skipped;
    if (taken == 0) return std::nullopt;

    StringProfile profile;
    profile.ground.assign(taken + 1, 0.0f);
    profile.links.assign(taken, ProfileLink{});
    for (std::size_t r = 0; r < taken; ++r) {
        const StringRecord& record = records[skipped + r];
        // A zero-length link would divide the envelopes and the fit by zero.
        if (record.peak_flow_rate == 0.0f || record.link_length == 0.0f) return std::nullopt;
        const std::size_t j = taken - 1 - r;  // link j + 1 of the profile
        float flow = record.peak_flow_rate;
        if (flow < 0.0f) {
            if (r > 0) {
                flow = profile.links[j + 1].peak_flow;
            } else {
                std::size_t next = skipped + 1;
                while (next < records.size() && records[next].peak_flow_rate < 0.0f) ++next;
                if (next == records.size()) return std::nullopt;
                flow = records[next].peak_flow_rate;
            }
        }
        profile.links[j] = {record.upstream_node, record.downstream_node, record.link_length, flow};
        profile.ground[j] = record.downstream_elevation;
        if (r == 0) profile.ground[taken] = record.upstream_elevation;
    }
    return profile;
}

FittedHgl fit_balanced_hgl(const StringProfile& profile, float control, const ControlParameters& settings)
{
    const std::size_t nodes = profile.ground.size();
    const std::vector<ProfileLink>& links = profile.links;
    const std::vector<float>& ground = profile.ground;
    FittedHgl fit;
    fit.minimum_gradient.resize(links.size());
    for (std::size_t j = 0; j < links.size(); ++j)
        fit.minimum_gradient[j] = minimum_gradient(links[j].peak_flow, settings);
    const std::vector<float>& sf = fit.minimum_gradient;

    // Top envelope from the top down, bottom envelope from the outlet up;
    // each falls at least at the minimum gradient going downstream.
    std::vector<float>& top = fit.top_envelope;
    top.assign(nodes, 0.0f);
    top[nodes - 1] = ground[nodes - 1] - settings.min_clearance;
    for (std::size_t i = nodes - 1; i >= 1; --i) {
        float t = ground[i - 1] - settings.min_clearance;
        if (sf[i - 1] > (top[i] - t) / links[i - 1].length) t = top[i] - sf[i - 1] * links[i - 1].length;
        top[i - 1] = t;
    }
    std::vector<float>& bottom = fit.bottom_envelope;
    bottom.assign(nodes, 0.0f);
    bottom[0] = ground[0] - settings.max_clearance;
    for (std::size_t i = 1; i < nodes; ++i) {
        float t = ground[i] - settings.max_clearance;
        if (sf[i - 1] > (t - bottom[i - 1]) / links[i - 1].length) t = bottom[i - 1] + sf[i - 1] * links[i - 1].length;
        bottom[i] = t;
    }
    for (std::size_t i = 0; i < nodes; ++i) {
        if (bottom[i] > top[i]) bottom[i] = top[i] - ENVELOPE_SEPARATION;
    }

    // The control lies on or between the envelopes at the outlet.
    float h = control;
    if (h > top[0]) {
        fit.warnings.push_back({ControlReset::AboveTopEnvelope, h});
        h = top[0];
    }
    if (h < bottom[0]) {
        fit.warnings.push_back({ControlReset::BelowBottomEnvelope, h});
        h = bottom[0];
    }
    fit.control = h;

    // Segments from a lower node p to an upper node u, each ending on the
    // top envelope: the longest that stays between the envelopes at every
    // inner node (a value on an envelope passes).
    fit.friction_slope.assign(links.size(), 0.0f);
    std::vector<float> run_length(nodes, 0.0f);  // lengths of links p to i - 1, summed in order
    std::size_t p = 0;
    while (p + 1 < nodes) {
        run_length[p] = 0.0f;
        for (std::size_t i = p + 1; i < nodes; ++i) run_length[i] = run_length[i - 1] + links[i - 1].length;
        std::size_t u = nodes - 1;
        float slope = 0.0f;
        for (;; --u) {
            slope = (top[u] - h) / run_length[u];
            bool passes = true;
            for (std::size_t i = p + 1; i < u && passes; ++i) {
                const float value = h + slope * run_length[i];
                passes = !(value > top[i]) && !(value < bottom[i]);
            }
            if (passes) break;
        }
        for (std::size_t j = p; j < u; ++j) fit.friction_slope[j] = slope;
        p = u;
        h = top[p];
    }

    fit.hgl.assign(nodes, 0.0f);
    fit.hgl[0] = fit.control;
    for (std::size_t j = 0; j < links.size(); ++j)
        fit.hgl[j + 1] = fit.hgl[j] + links[j].length * fit.friction_slope[j];
    return fit;
}

std::vector<std::string> control_warning_lines(int s, const StringProfile& profile, const FittedHgl& fit,
                                               const ControlWarning& warning)
{
    const Format layout(string_number_layout(
        warning.reset == ControlReset::AboveTopEnvelope ? ABOVE_TOP_ENVELOPE_FORMAT : BELOW_BOTTOM_ENVELOPE_FORMAT, s));
    return layout.write({s, profile.links.back().upstream_node, profile.links.front().downstream_node, warning.control,
                         fit.top_envelope.front(), fit.bottom_envelope.front()});
}

namespace {

// The strings of the index, by string number - 1.
struct IndexedStrings {
    std::vector<float> outlet;
    std::vector<float> level;
    std::vector<float> control;  // ft, control HGL at the outlet, 0.0 until known
    // All strings by outlet node, in string order.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> by_outlet;
};

IndexedStrings indexed_strings(const StringIndexFile& index)
{
    const int count = index.records.empty() ? 0 : index.records.back().string_number;
    IndexedStrings strings;
    const std::size_t n = static_cast<std::size_t>(std::max(count, 0));
    strings.outlet.assign(n, 0.0f);
    strings.level.assign(n, LEVEL_NOT_REACHED);
    strings.control.assign(n, 0.0f);
    for (const StringIndexRecord& record : index.records) {
        if (record.string_number < 1 || record.string_number > count) continue;
        strings.outlet[static_cast<std::size_t>(record.string_number - 1)] = record.outlet_node;
        strings.level[static_cast<std::size_t>(record.string_number - 1)] = record.processing_level;
    }
    for (std::size_t k = 0; k < n; ++k) strings.by_outlet[number_key(strings.outlet[k])].push_back(k);
    return strings;
}

// The control table re-keyed as the level-0 work list: each control's node
// becomes the number of the first string ending there (further strings on
// the same node are appended with the same elevation), CONTROL_NODE_NOT_FOUND
// when no string not yet taken ends there.
std::vector<HglControl> rekey_controls(std::vector<HglControl> controls, IndexedStrings& strings)
{
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> untaken = strings.by_outlet;
    const std::size_t on_entry = controls.size();
    for (std::size_t i = 0; i < on_entry; ++i) {
        const auto found = untaken.find(number_key(controls[i].node_number));
        if (found == untaken.end() || found->second.empty()) {
            controls[i].node_number = CONTROL_NODE_NOT_FOUND;
            continue;
        }
        const float elevation = controls[i].elevation;
        bool first = true;
        for (const std::size_t n : found->second) {
            const float s = static_cast<float>(n + 1);
            if (first)
                controls[i].node_number = s;
            else
                controls.push_back({s, elevation});
            first = false;
            strings.control[n] = elevation;
        }
        untaken.erase(found);
    }
    return controls;
}

constexpr std::string_view USER_CONTROLS_HEADING_FORMAT =
    "(/5X,'User-Defined Downstream HGL CONTROLs for each system'/5X,'Trunk Line are:'/5X,'Node Number  "
    "User-Defined HGL','    Node Number  User-Defined HGL')";
constexpr std::string_view USER_CONTROLS_FORMAT = "(7X,F8.1,3X,F8.2,14X,F8.1,3X,F8.2)";
constexpr std::string_view SECTION_III_HEADING_FORMAT =
    "(A/5X,'III. BALANCED HGL GRADIENT ESTIMATION MODULE',' DIAGNOSTICS REPORT*'/)";

}  // namespace

void run_balanced_hgl_estimation(RunContext& run)
{
    enter_outlet_hgl_controls(run);
    Window& window = run.session.window;
    clear_screen(window);
    write_form(window, 5, 5, BALANCED_HGL_HEADING_FORMAT);

    IndexedStrings strings = indexed_strings(required_run_string_index(run));
    const int string_count = static_cast<int>(strings.outlet.size());
    run.string_count = string_count;

    TextWriter report =
        TextWriter::for_append(run.outputs.changed_file(run.study_file(diagnostics_report_file_name(run.study_id))));
    const bool user_controls = run.controls.hydraulic_control_model == HydraulicControlModel::UserDefinedControl;
    if (user_controls) {
        write_report_lines(report, USER_CONTROLS_HEADING_FORMAT);
        std::vector<float> values;
        for (const HglControl& control : run.hgl_controls.controls) {
            values.push_back(control.node_number);
            values.push_back(control.elevation);
        }
        if (!values.empty()) {
            write_report_lines(report, USER_CONTROLS_FORMAT, std::vector<FormatValue>(values.begin(), values.end()));
        }
    }

    std::vector<HglControl> work = rekey_controls(run.hgl_controls.controls, strings);
    run.balanced_hgl_results.clear();
    write_report_lines(report, SECTION_III_HEADING_FORMAT, {std::string(PAGE_BREAK)});

    for (float level = 0.0f;; level += 1.0f) {
        for (const HglControl& entry : work) {
            const int s = static_cast<int>(entry.node_number);
            if (s < 1 || s > string_count) continue;
            window.write(format_line(string_number_layout(PROCESSING_STRING_FORMAT, s), {s}));
            // A string without its file has nothing to fit.
            const std::optional<std::vector<StringRecord>> records = run_string_records(run, s);
            if (!records) continue;
            const std::optional<StringProfile> profile = string_profile(*records);
            if (!profile) continue;
            const float control =
                level == 0.0f && !user_controls
                    ? profile->ground.front() - run.controls.min_clearance - run.controls.hgl_control_offset
                    : entry.elevation;
            const FittedHgl fit = fit_balanced_hgl(*profile, control, run.controls);
            for (const ControlWarning& warning : fit.warnings) {
                for (const std::string& line : control_warning_lines(s, *profile, fit, warning))
                    report.write_line(line);
            }
            for (std::size_t j = 0; j < profile->links.size(); ++j) {
                const ProfileLink& link = profile->links[j];
                run.balanced_hgl_results.results.push_back(
                    {link.upstream_node, link.downstream_node, fit.friction_slope[j], fit.hgl[j], fit.hgl[j + 1]});
                const auto discharging = strings.by_outlet.find(number_key(link.downstream_node));
                if (discharging == strings.by_outlet.end()) continue;
                for (const std::size_t m : discharging->second) strings.control[m] = fit.hgl[j];
            }
        }
        work.clear();
        for (std::size_t n = 0; n < strings.level.size(); ++n) {
            if (strings.level[n] == level + 1.0f) work.push_back({static_cast<float>(n + 1), strings.control[n]});
        }
        if (work.empty()) break;
    }

    update_link_friction_slopes(run, report);
    report.commit();
    run.hgl_controls.controls.clear();
}

}  // namespace velm
