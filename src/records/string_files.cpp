// String files and the string index: layouts, readers and writers.
#include "records/string_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/record_columns.h"
#include "records/study_names.h"

namespace velm {

// The long record's members lie in file order, one float each.
static_assert(std::is_trivially_copyable_v<TelescopedStringRecord>);
static_assert(sizeof(TelescopedStringRecord) == TELESCOPED_STRING_VALUES * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, street_column_21) == 16 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, telescoped_shape) == 28 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, parallel_shape) == 36 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, sizing_slope) == 49 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, link_columns_31_42) == 52 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, carried_flow) == 64 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, link_columns_43_48) == 96 * sizeof(float));
static_assert(offsetof(TelescopedStringRecord, values_103_196) == 102 * sizeof(float));

std::array<float, TELESCOPED_STRING_VALUES> TelescopedStringRecord::values() const
{
    std::array<float, TELESCOPED_STRING_VALUES> out{};
    std::memcpy(out.data(), this, sizeof(out));
    return out;
}

TelescopedStringRecord TelescopedStringRecord::from_values(const std::array<float, TELESCOPED_STRING_VALUES>& values)
{
    TelescopedStringRecord record;
    std::memcpy(static_cast<void*>(&record), values.data(), sizeof(record));
    return record;
}

namespace {

// Where the fields of a written line stand: every field is `width`
// characters wide, except the first, which is `first_width` wide.
struct FieldColumns {
    int first_width;
    int width;
    int field_of(std::size_t column) const
    {
        const int c = static_cast<int>(column);
        return c < first_width ? 1 : 2 + (c - first_width) / width;
    }
};

// A value as messages show it: the shortest plain decimal that reads back to it.
std::string value_text(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("?");
}

std::string where(std::string_view file_name, int line_number, int field)
{
    std::string text = file_name.empty() ? std::string("string file record") : std::string(file_name);
    if (line_number > 0) text += ": line " + std::to_string(line_number);
    return text + ", value " + std::to_string(field);
}

// A data file is never written with a value that does not read back: the
// value must be a finite number and fit its field (no run of asterisks).
void refuse_non_finite(const std::vector<FormatValue>& values, std::string_view file_name, int line_number)
{
    for (std::size_t k = 0; k < values.size(); ++k) {
        const float* value = std::get_if<float>(&values[k]);
        if (value && !std::isfinite(*value)) {
            throw FileError(where(file_name, line_number, static_cast<int>(k) + 1) + ": " + value_text(*value) +
                            " is not a number that a data file can hold");
        }
    }
}

void refuse_overflow(const std::string& line, const std::vector<FormatValue>& values, FieldColumns columns,
                     std::string_view file_name, int line_number)
{
    const std::size_t star = line.find('*');
    if (star == std::string::npos) return;
    const int field = columns.field_of(star);
    const FormatValue& value = values.at(static_cast<std::size_t>(field - 1));
    const std::string shown = std::holds_alternative<float>(value) ? value_text(std::get<float>(value))
                                                                   : std::to_string(std::get<int>(value));
    throw FileError(where(file_name, line_number, field) + ": " + shown + " does not fit its field");
}

std::string checked_line(const Format& layout, const std::vector<FormatValue>& values, FieldColumns columns,
                         std::string_view file_name, int line_number)
{
    refuse_non_finite(values, file_name, line_number);
    std::string line = layout.line(values);
    refuse_overflow(line, values, columns, file_name, line_number);
    return line;
}

constexpr FieldColumns NINE_CHARACTER_FIELDS{9, 9};
constexpr FieldColumns INDEX_RECORD_FIELDS{5, 9};
constexpr FieldColumns WIDE_INDEX_RECORD_FIELDS{6, 9};

std::vector<FormatValue> as_format_values(const float* values, std::size_t count)
{
    return std::vector<FormatValue>(values, values + count);
}

// Reads records of `count` free-form values to the end of the file, one a
// line; a line may instead hold `whole_line_values` (the long form), of
// which the read takes the first `count`.
template <typename Record, typename Build>
std::vector<Record> read_records(TextReader& lines, int count, Build build, std::size_t whole_line_values = 0)
{
    FreeFormReader reader(lines);
    std::vector<Record> records;
    std::vector<float> values;
    for (;;) {
        values.assign(static_cast<std::size_t>(count), 0.0f);
        const FreeFormResult result = reader.read_line_floats(values, count, whole_line_values);
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        records.push_back(build(values));
    }
    return records;
}

}  // namespace

std::string string_file_name(std::string_view study_id, int string_number)
{
    static const Format layout(STRING_FILE_NAME_FORMAT);
    static const Format wide_layout(WIDE_STRING_FILE_NAME_FORMAT);
    const Format& name = string_number > LAST_FOUR_DIGIT_STRING_NUMBER ? wide_layout : layout;
    return name.line({std::string(study_id), string_number});
}

std::string string_number_layout(std::string_view layout, int string_number)
{
    std::string shown(layout);
    if (string_number <= LAST_FOUR_DIGIT_STRING_NUMBER) return shown;
    for (const auto& [narrow, wide] : {std::pair{"I4.4", "I5.5"}, std::pair{"I4", "I5"}}) {
        const std::size_t at = shown.find(narrow);
        if (at != std::string::npos) return shown.replace(at, std::string_view(narrow).size(), wide);
    }
    return shown;
}

std::string string_index_file_name(std::string_view study_id)
{
    return study_file_name(STRING_INDEX_FILE_NAME_FORMAT, study_id);
}

std::string string_record_line(const StringRecord& record, std::string_view file_name, int line_number)
{
    static const Format layout(STRING_RECORD_FORMAT);
    const std::vector<FormatValue> values{record.upstream_node,      record.downstream_node,
                                          record.link_length,        record.peak_flow_rate,
                                          record.upstream_elevation, record.downstream_elevation};
    return checked_line(layout, values, NINE_CHARACTER_FIELDS, file_name, line_number);
}

std::string telescoped_string_record_line(const TelescopedStringRecord& record, std::string_view file_name,
                                          int line_number)
{
    // The long line is the bulk of a run's string files: its layout is laid
    // out once, and each line written field by field into it.  A value that
    // cannot be written goes the general way, which names it.
    static const RecordLayout compiled(TELESCOPED_STRING_RECORD_FORMAT,
                                       std::vector<ColumnKind>(TELESCOPED_STRING_VALUES, ColumnKind::Real));
    const std::array<float, TELESCOPED_STRING_VALUES> values = record.values();
    std::string line;
    if (compiled.write_reals(line, values.data())) return line;
    static const Format layout(TELESCOPED_STRING_RECORD_FORMAT);
    return checked_line(layout, as_format_values(values.data(), values.size()), NINE_CHARACTER_FIELDS, file_name,
                        line_number);
}

std::vector<StringRecord> read_string_file(std::string_view name)
{
    TextReader lines(name);
    return read_records<StringRecord>(
        lines, STRING_RECORD_VALUES,
        [](const std::vector<float>& v) { return StringRecord{v[0], v[1], v[2], v[3], v[4], v[5]}; },
        TELESCOPED_STRING_VALUES);
}

namespace {

void write_lines(std::string_view name, const std::vector<std::string>& lines)
{
    TextWriter file{std::string(name)};
    for (const std::string& line : lines) file.write_line(line);
    file.commit();
}

}  // namespace

std::vector<TelescopedStringRecord> read_telescoped_string_file(std::string_view name)
{
    TextReader lines(name);
    return read_records<TelescopedStringRecord>(lines, TELESCOPED_STRING_VALUES, [](const std::vector<float>& v) {
        std::array<float, TELESCOPED_STRING_VALUES> values{};
        std::copy(v.begin(), v.end(), values.begin());
        return TelescopedStringRecord::from_values(values);
    });
}

std::vector<std::string> telescoped_string_file_lines(std::string_view name,
                                                      const std::vector<TelescopedStringRecord>& records)
{
    std::vector<std::string> lines;
    lines.reserve(records.size());
    int line_number = 0;
    for (const TelescopedStringRecord& record : records) {
        lines.push_back(telescoped_string_record_line(record, name, ++line_number));
    }
    return lines;
}

std::vector<TelescopedLinkSummary> telescoped_link_summaries(const std::vector<TelescopedStringRecord>& records)
{
    std::vector<TelescopedLinkSummary> links;
    links.reserve(records.size());
    for (const TelescopedStringRecord& record : records) {
        links.push_back({record.upstream_node, record.downstream_node, record.process_code, record.element_type,
                         record.curb_height});
    }
    return links;
}

TelescopedLinkSummary telescoped_link_summary(std::string_view line)
{
    constexpr int VALUES_READ = 18;  // through the curb height
    std::array<float, VALUES_READ> values{};
    std::vector<FreeFormTarget> targets;
    targets.reserve(VALUES_READ);
    for (float& value : values) targets.emplace_back(&value);
    const std::size_t read_width = static_cast<std::size_t>(NINE_CHARACTER_FIELDS.first_width) +
                                   static_cast<std::size_t>(VALUES_READ - 1) * NINE_CHARACTER_FIELDS.width;
    const FreeFormResult result = read_free_form_line(line.substr(0, std::min(read_width, line.size())), targets);
    if (!result.ok()) throw FileError(result.message);
    return {values[0], values[1], values[4], values[7], values[17]};
}

void write_string_file_lines(std::string_view name, const std::vector<std::string>& lines)
{
    write_lines(name, lines);
}

StringIndexFile read_string_index_file(std::string_view name)
{
    TextReader lines(name);
    FreeFormReader reader(lines);
    StringIndexFile index;
    std::vector<float> header(STRING_INDEX_HEADER_VALUES, 0.0f);
    const FreeFormResult first = reader.read_line_floats(header, STRING_INDEX_HEADER_VALUES);
    if (first.status == FreeFormStatus::EndOfFile) return index;
    if (!first.ok()) throw FileError(first.message);
    std::copy(header.begin(), header.end(), index.header.values.begin());
    for (;;) {
        StringIndexRecord record;
        const FreeFormResult result = reader.read_line_record(
            {&record.string_number, &record.upstream_node, &record.outlet_node, &record.processing_level,
             &record.outlet_system_number, &record.outlet_hgl_control, &record.value_7, &record.value_8});
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        index.records.push_back(record);
    }
    return index;
}

void write_string_file(std::string_view name, const std::vector<StringRecord>& records)
{
    TextWriter file{std::string(name)};
    int line_number = 0;
    for (const StringRecord& record : records) file.write_line(string_record_line(record, name, ++line_number));
    file.commit();
}

void write_telescoped_string_file(std::string_view name, const std::vector<TelescopedStringRecord>& records)
{
    write_lines(name, telescoped_string_file_lines(name, records));
}

void write_string_index_file(std::string_view name, const StringIndexFile& index)
{
    static const Format header_layout(STRING_INDEX_HEADER_FORMAT);
    static const Format record_layout(STRING_INDEX_RECORD_FORMAT);
    static const Format wide_record_layout(WIDE_STRING_INDEX_RECORD_FORMAT);
    TextWriter file{std::string(name)};
    int line_number = 1;
    file.write_line(checked_line(header_layout,
                                 as_format_values(index.header.values.data(), index.header.values.size()),
                                 NINE_CHARACTER_FIELDS, name, line_number));
    for (const StringIndexRecord& record : index.records) {
        const std::vector<FormatValue> values{
            record.string_number,        record.upstream_node,      record.outlet_node, record.processing_level,
            record.outlet_system_number, record.outlet_hgl_control, record.value_7,     record.value_8};
        const bool wide = record.string_number > LAST_FOUR_DIGIT_STRING_NUMBER;
        file.write_line(checked_line(wide ? wide_record_layout : record_layout, values,
                                     wide ? WIDE_INDEX_RECORD_FIELDS : INDEX_RECORD_FIELDS, name, ++line_number));
    }
    file.commit();
}

}  // namespace velm
