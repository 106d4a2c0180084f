#include "shell/control_settings.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/study_names.h"

namespace velm {

namespace {

// Tens digits that a stored 0 stands for, stored integers 1 to 7.  The tens
// digit of stored integer 1 (low_slope_flag_mode) has no default: 0 is its
// value.
constexpr std::array<int, 7> TENS_DEFAULTS = {0, 1, 2, 2, 1, 2, 1};

// The nine reals of line 1, in file order.
constexpr std::array<float ControlParameters::*, 9> CONTROL_REALS = {
    &ControlParameters::min_clearance,
    &ControlParameters::max_clearance,
    &ControlParameters::min_velocity,
    &ControlParameters::min_pipe_diameter,
    &ControlParameters::envelope_min_friction_slope,
    &ControlParameters::default_min_friction_slope,
    &ControlParameters::envelope_manning_n,
    &ControlParameters::friction_slope_proportion,
    &ControlParameters::hgl_control_offset,
};

// Calls visit(i, tens, units) for the two options packed into each stored
// integer i of line 2, in file order; p may be const.
template <typename Parameters, typename Visit>
void for_each_packed_pair(Parameters& p, Visit visit)
{
    visit(std::size_t{0}, p.low_slope_flag_mode, p.hydraulic_control_model);
    visit(std::size_t{1}, p.box_channel_flow_rate, p.capacity_telescoping);
    visit(std::size_t{2}, p.box_area_telescoping, p.pipe_area_telescoping);
    visit(std::size_t{3}, p.channel_area_telescoping, p.friction_slope_model);
    visit(std::size_t{4}, p.element_interfacing, p.pipe_capacity_model);
    visit(std::size_t{5}, p.pipe_flow_rate, p.mainstream_selection);
    visit(std::size_t{6}, p.sizing_increment, p.existing_element_telescoping);
}

}  // namespace

void set_control_defaults(ControlParameters& parameters, HglControlTable& controls)
{
    parameters = ControlParameters{};
    controls.controls.clear();
}

std::string control_file_name(std::string_view study_id)
{
    return study_file_name(CONTROL_FILE_NAME_FORMAT, study_id);
}

PackedOptions pack_control_options(const ControlParameters& p)
{
    PackedOptions packed{};
    for_each_packed_pair(p, [&](std::size_t i, const auto& tens, const auto& units) {
        packed[i] = option_code(tens) * 10 + option_code(units);
    });
    return packed;
}

void unpack_control_options(const PackedOptions& packed, ControlParameters& p)
{
    for_each_packed_pair(p, [&](std::size_t i, auto& tens_option, auto& units_option) {
        int tens = packed[i] / 10;  // truncating, as the integer division of the file's readers
        const int units = packed[i] - 10 * tens;
        if (i > 0 && tens == 0) tens = TENS_DEFAULTS[i];
        tens_option = static_cast<std::remove_cvref_t<decltype(tens_option)>>(tens);
        units_option = static_cast<std::remove_cvref_t<decltype(units_option)>>(units);
    });
}

bool load_control_file(Session& session, const std::string& study_id, ControlParameters& parameters,
                       HglControlTable& controls)
{
    return load_control_file_named(session.study_file(control_file_name(study_id)), parameters, controls);
}

// The reals and the integers are read free form, each read going on over as
// many lines as it needs; the control lines that follow are read by fixed
// columns.  Everything is read into copies first, so that a file that fails
// half way leaves the caller's settings as they were.
bool load_control_file_named(std::string_view file_name, ControlParameters& parameters, HglControlTable& controls)
{
    // A directory (or anything else but a file) standing at the name is no
    // missing control file: file_exists refuses it, naming it, before the
    // settings screens open as for a new study.
    if (!file_exists(file_name)) return false;

    TextReader lines(file_name);
    FreeFormReader reader(lines);
    ControlParameters loaded = parameters;

    auto fail = [&](const FreeFormResult& result, std::string_view what) {
        if (result.status == FreeFormStatus::EndOfFile) {
            throw FileError("Control file " + std::string(file_name) + " ends before its " + std::string(what) +
                            " (after line " + std::to_string(lines.line_number()) + ")");
        }
        throw FileError(result.message);
    };

    std::vector<FreeFormTarget> reals;
    for (float ControlParameters::*real : CONTROL_REALS) reals.emplace_back(&(loaded.*real));
    // A NaN or an infinity is no setting: the run would carry it into every
    // envelope and size, and the report would print it.
    FreeFormResult result = reader.read_finite(reals);
    if (!result.ok()) fail(result, "settings");

    // A null item keeps the setting held in memory.
    PackedOptions packed = pack_control_options(parameters);
    int count = static_cast<int>(controls.controls.size());
    result = reader.read({&packed[0], &packed[1], &packed[2], &packed[3], &packed[4], &packed[5], &packed[6], &count});
    if (!result.ok()) fail(result, "options");
    unpack_control_options(packed, loaded);

    static const Format control_layout(HGL_CONTROL_FORMAT);
    std::vector<HglControl> table;
    table.reserve(static_cast<std::size_t>(std::clamp(count, 0, MAX_TABLE_ENTRIES)));
    for (int k = 0; k < count; ++k) {
        std::string line;
        if (!lines.next_line(line)) {
            throw FileError("Control file " + std::string(file_name) + " holds " + std::to_string(k) + " of its " +
                            std::to_string(count) + " HGL control lines (ends after line " +
                            std::to_string(lines.line_number()) + ")");
        }
        try {
            const std::vector<FormatValue> values = control_layout.read({line}, 2);
            for (std::size_t v = 0; v < values.size(); ++v) {
                if (!std::isfinite(std::get<float>(values[v]))) {
                    throw FileError("Data line of file \"" + std::string(file_name) + "\", line " +
                                    std::to_string(lines.line_number()) + ", value " + std::to_string(v + 1) +
                                    ": not a number within the range of a real");
                }
            }
            table.push_back({std::get<float>(values[0]), std::get<float>(values[1])});
        } catch (const FormatReadError& error) {
            throw FileError("Control file " + std::string(file_name) + ", line " + std::to_string(lines.line_number()) +
                            ": HGL control cannot be read: " + error.what());
        }
    }

    parameters = loaded;
    controls.controls = std::move(table);
    return true;
}

std::vector<std::string> control_file_lines(std::string_view file_name, const ControlParameters& p,
                                            const HglControlTable& controls)
{
    static const Format reals_layout(CONTROL_REALS_FORMAT);
    static const Format integers_layout(CONTROL_INTEGERS_FORMAT);
    static const Format control_layout(HGL_CONTROL_FORMAT);

    // A NaN or an infinity would be written as a word that no reader of the
    // file takes back as a setting.
    auto refuse_not_finite = [&](float value, int line, int position) {
        if (std::isfinite(value)) return;
        throw FileError("Control file " + std::string(file_name) + " not written: value " + std::to_string(position) +
                        " of line " + std::to_string(line) + " is not a number within the range of a real");
    };
    for (std::size_t k = 0; k < CONTROL_REALS.size(); ++k)
        refuse_not_finite(p.*CONTROL_REALS[k], 1, static_cast<int>(k) + 1);
    for (std::size_t k = 0; k < controls.controls.size(); ++k) {
        refuse_not_finite(controls.controls[k].node_number, static_cast<int>(k) + 3, 1);
        refuse_not_finite(controls.controls[k].elevation, static_cast<int>(k) + 3, 2);
    }

    std::vector<std::string> lines;
    std::vector<FormatValue> reals;
    for (float ControlParameters::*real : CONTROL_REALS) reals.emplace_back(p.*real);
    lines.push_back(reals_layout.line(reals));
    const PackedOptions packed = pack_control_options(p);
    std::vector<FormatValue> integers(packed.begin(), packed.end());
    integers.emplace_back(controls.count());
    lines.push_back(integers_layout.line(integers));
    for (const HglControl& control : controls.controls) {
        lines.push_back(control_layout.line({control.node_number, control.elevation}));
    }

    // The layouts hold no asterisk of their own: one in a line is a value
    // too wide for its field, which no reader of the file could take back.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find('*') != std::string::npos) {
            throw FileError("Control file " + std::string(file_name) + " not written: a value of line " +
                            std::to_string(i + 1) + " does not fit its field: \"" + lines[i] + "\"");
        }
    }
    return lines;
}

void save_control_file(Session& session, const std::string& study_id, const ControlParameters& parameters,
                       const HglControlTable& controls)
{
    const std::string name = session.study_file(control_file_name(study_id));
    write_text_lines(name, control_file_lines(name, parameters, controls));
}

}  // namespace velm
