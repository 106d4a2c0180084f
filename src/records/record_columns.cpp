#include "records/record_columns.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>

#include "records/quoted_item.h"

namespace velm {

namespace {

// Marks of the probe lines from which the fields are found: a value too wide
// for every numeric field writes a run of asterisks of the field's width, a
// long text writes the field's width of its characters.
constexpr char NUMBER_MARK = '*';
constexpr char TEXT_MARK = '#';
constexpr float TOO_WIDE_REAL = 1.0e30f;
constexpr int TOO_WIDE_INTEGER = INT_MAX;

std::string descriptor_text(const FieldSpec& field)
{
    switch (field.kind) {
        case ColumnKind::Real:
            return "F" + std::to_string(field.width) + "." + std::to_string(field.decimals);
        case ColumnKind::Integer:
            return "I" + std::to_string(field.width);
        case ColumnKind::Text:
            return "A" + std::to_string(field.width);
    }
    return {};
}

std::string value_text(const FormatValue& value)
{
    if (const float* real = std::get_if<float>(&value)) {
        if (std::isnan(*real)) return "NaN";
        if (std::isinf(*real)) return *real > 0 ? "Infinity" : "-Infinity";
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
        return std::string(buffer, result.ptr);
    }
    if (const int* integer = std::get_if<int>(&value)) return std::to_string(*integer);
    return quoted_item(std::get<std::string>(value), '\'');
}

[[noreturn]] void refuse(std::string_view file_name, int record_number, int column, const FormatValue& value,
                         const std::string& reason)
{
    std::string where =
        file_name.empty() ? std::string("Cannot write the record") : "Cannot write " + std::string(file_name);
    if (!file_name.empty() && record_number > 0) where += ", record " + std::to_string(record_number);
    throw RecordWriteError(std::string(file_name), record_number, column,
                           where + ": column " + std::to_string(column) + " holds " + value_text(value) + ", " +
                               reason + "; nothing was written.");
}

bool fits_field(float value, int width, int decimals)
{
    return fixed_field_holds(value, width, decimals);
}

// The largest magnitude of the given sign that Fw.d writes without asterisks:
// the float just below the rounding boundary of the largest text the field
// holds (99999.995 for F8.2), found by stepping down from the boundary.
float largest_in_field(int width, int decimals, bool negative)
{
    const int integer_digits = width - decimals - (negative ? 2 : 1);
    if (integer_digits < 0) return 0.0f;
    const long double boundary = std::pow(10.0L, integer_digits) - std::pow(10.0L, -decimals) / 2.0L;
    float largest = static_cast<float>(negative ? -boundary : boundary);
    while (!fits_field(largest, width, decimals)) largest = std::nextafter(largest, 0.0f);
    return largest;
}

}  // namespace

RecordWriteError::RecordWriteError(std::string file_name, int record_number, int column, const std::string& message)
    : FileError(message), file_name_(std::move(file_name)), record_number_(record_number), column_(column)
{
}

RecordLayout::RecordLayout(std::string_view descriptors, std::vector<ColumnKind> kinds) : format_(descriptors)
{
    std::vector<FormatValue> too_wide;
    std::vector<FormatValue> zeros;
    for (ColumnKind kind : kinds) {
        switch (kind) {
            case ColumnKind::Real:
                too_wide.emplace_back(TOO_WIDE_REAL);
                zeros.emplace_back(0.0f);
                break;
            case ColumnKind::Integer:
                too_wide.emplace_back(TOO_WIDE_INTEGER);
                zeros.emplace_back(0);
                break;
            case ColumnKind::Text:
                too_wide.emplace_back(std::string(64, TEXT_MARK));
                zeros.emplace_back(std::string());
                break;
        }
    }
    const std::string marked = format_.line(too_wide);
    const std::string zero_line = format_.line(zeros);
    const std::string layout_name(descriptors);
    if (marked.size() != zero_line.size())
        throw FormatError("layout " + layout_name + " does not write lines of one length");

    std::size_t position = 0;
    for (ColumnKind kind : kinds) {
        const char mark = kind == ColumnKind::Text ? TEXT_MARK : NUMBER_MARK;
        const std::size_t start = marked.find_first_of("*#", position);
        if (start == std::string::npos || marked[start] != mark)
            throw FormatError("layout " + layout_name + " does not match the kinds of its record's columns");
        std::size_t end = marked.find_first_not_of(mark, start);
        if (end == std::string::npos) end = marked.size();
        FieldSpec field{kind, static_cast<int>(start), static_cast<int>(end - start), 0};
        if (kind == ColumnKind::Real) {
            const std::size_t point = zero_line.substr(start, end - start).find('.');
            if (point == std::string::npos)
                throw FormatError("layout " + layout_name + " writes a real column without a decimal point");
            field.decimals = field.width - static_cast<int>(point) - 1;
        }
        // Iw.m writes a zero as m zeros (none for m = 0, a blank field).
        const std::string_view zero_field = std::string_view(zero_line).substr(start, end - start);
        least_digits_.push_back(
            kind == ColumnKind::Integer ? static_cast<int>(std::count(zero_field.begin(), zero_field.end(), '0')) : 0);
        fields_.push_back(field);
        position = end;
    }
    // One value more than the record has columns starts a new line (the
    // layout is used again) when the layout has no field left for it.  The
    // extra value is tried as each kind, since a field left of another kind
    // refuses it.
    bool field_left = true;
    const std::vector<FormatValue> extras{TOO_WIDE_REAL, TOO_WIDE_INTEGER, std::string(1, TEXT_MARK)};
    for (const FormatValue& extra : extras) {
        std::vector<FormatValue> one_more = too_wide;
        one_more.push_back(extra);
        try {
            if (format_.write(one_more).size() > 1) field_left = false;
        } catch (const FormatError&) {
            // The layout goes on with a field of another kind.
        }
    }
    if (field_left) throw FormatError("layout " + layout_name + " has more fields than its record has columns");
    line_length_ = static_cast<int>(marked.size());
    skeleton_ = zero_line;
}

const FieldSpec& RecordLayout::field(int column) const
{
    if (column < 1 || column > columns()) throw std::out_of_range("no column " + std::to_string(column));
    return fields_[static_cast<std::size_t>(column - 1)];
}

std::string RecordLayout::line(const std::vector<FormatValue>& values, std::string_view file_name,
                               int record_number) const
{
    if (static_cast<int>(values.size()) != columns())
        throw FormatError("a record of " + std::to_string(columns()) + " columns was given " +
                          std::to_string(values.size()) + " values");
    for (int c = 1; c <= columns(); ++c) {
        const FormatValue& value = values[static_cast<std::size_t>(c - 1)];
        if (const float* real = std::get_if<float>(&value); real && !std::isfinite(*real))
            refuse(file_name, record_number, c, value, "which is not a number a data file can hold");
        if (const std::string* text = std::get_if<std::string>(&value);
            text && text->find_first_of("'\r\n") != std::string::npos)
            refuse(file_name, record_number, c, value,
                   "and a text with an apostrophe or a line end cannot be read back");
    }
    std::string text = format_.line(values);
    if (static_cast<int>(text.size()) != line_length_)
        throw FormatError("a record line came out " + std::to_string(text.size()) + " characters long, not " +
                          std::to_string(line_length_));
    if (text.find(NUMBER_MARK) != std::string::npos) {
        for (int c = 1; c <= columns(); ++c) {
            const FieldSpec& f = fields_[static_cast<std::size_t>(c - 1)];
            if (f.kind == ColumnKind::Text) continue;
            if (text.compare(static_cast<std::size_t>(f.start), static_cast<std::size_t>(f.width),
                             std::string(static_cast<std::size_t>(f.width), NUMBER_MARK)) == 0)
                refuse(file_name, record_number, c, values[static_cast<std::size_t>(c - 1)],
                       "too wide for its field " + descriptor_text(f));
        }
    }
    return text;
}

bool RecordLayout::write_reals(std::string& line, const float* values) const
{
    line.assign(skeleton_);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldSpec& f = fields_[i];
        if (f.kind != ColumnKind::Real) throw FormatError("a layout of real columns only was given another kind");
        if (!std::isfinite(values[i]) || !write_fixed_field(line.data() + f.start, values[i], f.width, f.decimals))
            return false;
    }
    return true;
}

void RecordLayout::write_line(std::string& line, const ColumnValues& values, std::string_view file_name,
                              int record_number) const
{
    const auto real_of = [&](std::size_t i) { return values.reals[i]; };
    const auto integer_of = [&](std::size_t i) { return values.integers[values.integer_slots[i]]; };
    // The text as a FormatValue holds it: padded to its length.
    const auto text_value = [&] {
        std::string text(values.text);
        text.resize(values.text_length, ' ');
        return FormatValue(std::move(text));
    };
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        if (fields_[i].kind == ColumnKind::Real && !std::isfinite(real_of(i)))
            refuse(file_name, record_number, column, real_of(i), "which is not a number a data file can hold");
        if (fields_[i].kind == ColumnKind::Text && values.text.find_first_of("'\r\n") != std::string_view::npos)
            refuse(file_name, record_number, column, text_value(),
                   "and a text with an apostrophe or a line end cannot be read back");
    }
    line.assign(skeleton_);
    int first_too_wide = 0;  // the first column written as asterisks
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldSpec& f = fields_[i];
        char* const out = line.data() + f.start;
        bool whole = true;
        switch (f.kind) {
            case ColumnKind::Real:
                whole = write_fixed_field(out, real_of(i), f.width, f.decimals);
                break;
            case ColumnKind::Integer:
                whole = write_integer_field(out, integer_of(i), f.width, least_digits_[i]);
                break;
            case ColumnKind::Text:
                write_text_field(out, values.text, f.width);
                break;
        }
        if (!whole && first_too_wide == 0) first_too_wide = static_cast<int>(i) + 1;
    }
    if (first_too_wide > 0) {
        const std::size_t i = static_cast<std::size_t>(first_too_wide - 1);
        const FieldSpec& f = fields_[i];
        const FormatValue value = f.kind == ColumnKind::Real ? FormatValue(real_of(i)) : FormatValue(integer_of(i));
        refuse(file_name, record_number, first_too_wide, value, "too wide for its field " + descriptor_text(f));
    }
}

float clamp_to_field_edge(float value, int width, int decimals)
{
    if (std::isnan(value)) return value;
    if (!std::isinf(value) && fits_field(value, width, decimals)) return value;
    return largest_in_field(width, decimals, value < 0.0f);
}

float clamp_to_field(float value, const FieldSpec& field)
{
    if (field.kind != ColumnKind::Real) throw std::invalid_argument("only a real field clamps a real value");
    return clamp_to_field(value, field.width, field.decimals);
}

}  // namespace velm
