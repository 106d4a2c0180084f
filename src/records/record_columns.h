// The column store shared by the data base records (link, node, subarea) and
// the GIS records: a record is a fixed number of columns, each a real, an
// integer or a 10-character text, written as one line by the record's layout
// and read back by one free-form read of all its values.
//
// Algorithms address the columns by their 1-based number (`column(141)`);
// the record types add named accessors for the columns the system names.
// Where each column stands in the written line, and how wide it is, is
// derived from the layout itself, so the layout constant stays the only
// description of the line.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "records/format.h"
#include "records/free_form.h"

namespace velm {

enum class ColumnKind : unsigned char { Real, Integer, Text };

// How a column is written: its descriptor kind and its place in the line.
struct FieldSpec {
    ColumnKind kind = ColumnKind::Real;
    int start = 0;     // position of the field's first character (0-based)
    int width = 0;     // w of Fw.d, Iw or Aw
    int decimals = 0;  // d of Fw.d; 0 for I and A
};

// Whether a data file must be there when it is read.
enum class FilePresence {
    MustExist,  // a missing file ends the run with a message naming it
    Optional,   // a missing file reads as a file without records (it is not created)
};

// A record that cannot be written without losing data: a value too wide for
// its field (it would be a run of asterisks), NaN or infinity, or a text that
// holds an apostrophe (the quoted field could not be read back).  Thrown
// before the file is replaced, so the old file stays as it was.
class RecordWriteError : public FileError {
public:
    RecordWriteError(std::string file_name, int record_number, int column, const std::string& message);
    const std::string& file_name() const { return file_name_; }
    int record_number() const { return record_number_; }  // 1-based; 0 when not known
    int column() const { return column_; }

private:
    std::string file_name_;
    int record_number_;
    int column_;
};

// The values of one record as ColumnRecord keeps them, for the line writer:
// the real of column c at reals[c - 1], an integer column's value at
// integers[integer_slots[c - 1]], and the text column's text.
struct ColumnValues {
    const float* reals = nullptr;
    const int* integers = nullptr;
    const std::int16_t* integer_slots = nullptr;
    std::string_view text;        // at most text_length characters; the field pads it
    std::size_t text_length = 0;  // the characters a text column holds
};

// The parsed layout of one record type with the kind and field of every
// column.  Every field of a record layout stands apart from the next (a blank
// or a quote between them), as in every data file of the system; that is how
// the fields are found in the lines the layout writes.
class RecordLayout {
public:
    // `kinds` holds the kind of columns 1..N in order.  Throws FormatError when
    // the layout's fields do not match the kinds (a programming error).
    RecordLayout(std::string_view descriptors, std::vector<ColumnKind> kinds);

    const Format& format() const { return format_; }
    int columns() const { return static_cast<int>(fields_.size()); }
    const FieldSpec& field(int column) const;  // 1-based
    int line_length() const { return line_length_; }

    // The line of one record's values; RecordWriteError when a value cannot be
    // written whole.  `file_name` and `record_number` go into the message.
    std::string line(const std::vector<FormatValue>& values, std::string_view file_name, int record_number) const;
    // The same line, written over `line` straight from the record's columns
    // (a line kept from one record to the next is written without building
    // anything): the same text and the same refusals as above.
    void write_line(std::string& line, const ColumnValues& values, std::string_view file_name, int record_number) const;
    // For a layout whose columns are all real: the line of `values` (one a
    // column) written over `line`, true when every value is finite and fits
    // its field.  On false `line` holds no usable text, and the caller gives
    // the refusal its file calls for.
    bool write_reals(std::string& line, const float* values) const;

private:
    Format format_;
    std::vector<FieldSpec> fields_;
    int line_length_ = 0;
    std::string skeleton_;           // a line of the layout: its literals and blanks between the fields
    std::vector<int> least_digits_;  // by column: m of an Iw.m field (1 for Iw), 0 for the others
};

// The value nearest to `value` that an Fw.d field holds without asterisks:
// a value that fits is returned unchanged, a larger magnitude becomes the
// largest of its sign that the field holds (99999.99 for a positive F8.2,
// -9999.99 for a negative one).  NaN is no magnitude: it is returned as it is
// and the writer refuses it.  Computing code clamps its results with this
// before it stores them in a record.
float clamp_to_field(float value, int width, int decimals);
float clamp_to_field(float value, const FieldSpec& field);
// clamp_to_field of a value not plainly inside its field.
float clamp_to_field_edge(float value, int width, int decimals);

inline float clamp_to_field(float value, int width, int decimals)
{
    // Most computed values are far inside their field: a magnitude below
    // 10^k - 1, with k = w - d - 2, rounds to at most k digits before the
    // point, so a sign, the digits, the point and the decimals take at most
    // w places.  NaN fails the comparison and goes the long way.
    static constexpr std::array<double, 16> WELL_INSIDE = [] {
        std::array<double, 16> bounds{};
        double power = 1.0;
        for (double& bound : bounds) {
            bound = power - 1.0;
            power *= 10.0;
        }
        return bounds;
    }();
    const int room = width - decimals - 2;
    if (room >= 1 && room < static_cast<int>(WELL_INSIDE.size()) && decimals >= 0 && decimals <= 9 &&
        static_cast<double>(std::fabs(value)) < WELL_INSIDE[static_cast<std::size_t>(room)])
        return value;
    return clamp_to_field_edge(value, width, decimals);
}

// The storage of a record of COLUMNS columns: reals by column number, the
// integer columns listed in INTEGER_COLUMNS, and at most one text column.
template <int COLUMNS, auto INTEGER_COLUMNS, int TEXT_COLUMN = 0>
class ColumnRecord {
public:
    static constexpr int COLUMN_COUNT = COLUMNS;
    static constexpr int TEXT_LENGTH = 10;

    static constexpr ColumnKind kind(int column)
    {
        if (column == TEXT_COLUMN) return ColumnKind::Text;
        return integer_slot(column) >= 0 ? ColumnKind::Integer : ColumnKind::Real;
    }
    static std::vector<ColumnKind> column_kinds()
    {
        std::vector<ColumnKind> kinds;
        for (int c = 1; c <= COLUMNS; ++c) kinds.push_back(kind(c));
        return kinds;
    }

    // A real column by number; std::out_of_range for an integer or text
    // column or a number outside 1..COLUMNS.
    float& column(int c) { return reals_[real_index(c)]; }
    float column(int c) const { return reals_[real_index(c)]; }
    // An integer column by number; std::out_of_range for any other column.
    int& integer_column(int c) { return integers_[integer_index(c)]; }
    int integer_column(int c) const { return integers_[integer_index(c)]; }
    // Any numeric column as a real, for code that walks all columns alike.
    float number(int c) const
    {
        return kind(c) == ColumnKind::Integer ? static_cast<float>(integer_column(c)) : column(c);
    }

    // The values in column order, as the layout writes them (the text
    // padded or cut to its 10 characters).
    std::vector<FormatValue> format_values() const
    {
        std::vector<FormatValue> values;
        values.reserve(COLUMNS);
        for (int c = 1; c <= COLUMNS; ++c) {
            switch (kind(c)) {
                case ColumnKind::Real:
                    values.emplace_back(reals_[c - 1]);
                    break;
                case ColumnKind::Integer:
                    values.emplace_back(integers_[integer_slot(c)]);
                    break;
                case ColumnKind::Text:
                    values.emplace_back(fitted_text(text_));
                    break;
            }
        }
        return values;
    }

    // The storage of the real columns, column c at index c - 1 (the entries
    // of the integer and text columns unused): for code that walks every
    // real column without looking up each one's kind.
    float* real_values() { return reals_.data(); }

    // The values as the line writer takes them, without a copy.
    ColumnValues column_values() const
    {
        return {reals_.data(), integers_.data(), INTEGER_SLOTS.data(),
                std::string_view(text_).substr(0, TEXT_COLUMN > 0 ? TEXT_LENGTH : 0), TEXT_LENGTH};
    }

    // The targets of one free-form read of the whole record, in column order.
    std::vector<FreeFormTarget> read_targets()
    {
        std::vector<FreeFormTarget> targets;
        targets.reserve(COLUMNS);
        for (int c = 1; c <= COLUMNS; ++c) {
            switch (kind(c)) {
                case ColumnKind::Real:
                    targets.emplace_back(&reals_[c - 1]);
                    break;
                case ColumnKind::Integer:
                    targets.emplace_back(&integers_[integer_slot(c)]);
                    break;
                case ColumnKind::Text:
                    targets.emplace_back(&text_);
                    break;
            }
        }
        return targets;
    }

    // The same targets as the record's own columns, for the record reader:
    // nothing is built per record.
    FreeFormColumns column_targets()
    {
        return {static_cast<std::size_t>(COLUMNS),
                reals_.data(),
                TARGET_KINDS.data(),
                INTEGER_SLOTS.data(),
                integers_.data(),
                &text_};
    }

    // After a read: the text holds exactly its 10 characters.
    void fit_text()
    {
        if (TEXT_COLUMN > 0) text_ = fitted_text(text_);
    }

    bool operator==(const ColumnRecord&) const = default;

protected:
    std::string& text() { return text_; }
    const std::string& text() const { return text_; }

private:
    static constexpr int integer_slot(int column)
    {
        for (std::size_t i = 0; i < INTEGER_COLUMNS.size(); ++i)
            if (INTEGER_COLUMNS[i] == column) return static_cast<int>(i);
        return -1;
    }
    // The kind and integer slot of every column (index c - 1), worked out
    // once for the record type.
    static constexpr std::array<FreeFormKind, COLUMNS> TARGET_KINDS = [] {
        std::array<FreeFormKind, COLUMNS> kinds{};
        for (int c = 1; c <= COLUMNS; ++c)
            kinds[static_cast<std::size_t>(c - 1)] = kind(c) == ColumnKind::Text      ? FreeFormKind::Text
                                                     : kind(c) == ColumnKind::Integer ? FreeFormKind::Integer
                                                                                      : FreeFormKind::Real;
        return kinds;
    }();
    static constexpr std::array<std::int16_t, COLUMNS> INTEGER_SLOTS = [] {
        std::array<std::int16_t, COLUMNS> slots{};
        for (int c = 1; c <= COLUMNS; ++c)
            slots[static_cast<std::size_t>(c - 1)] = static_cast<std::int16_t>(integer_slot(c));
        return slots;
    }();

    static std::size_t real_index(int c)
    {
        if (c < 1 || c > COLUMNS || TARGET_KINDS[static_cast<std::size_t>(c - 1)] != FreeFormKind::Real)
            throw std::out_of_range("column " + std::to_string(c) + " is not a real column");
        return static_cast<std::size_t>(c - 1);
    }
    static std::size_t integer_index(int c)
    {
        const int slot = (c < 1 || c > COLUMNS) ? -1 : INTEGER_SLOTS[static_cast<std::size_t>(c - 1)];
        if (slot < 0) throw std::out_of_range("column " + std::to_string(c) + " is not an integer column");
        return static_cast<std::size_t>(slot);
    }
    static std::string fitted_text(const std::string& text)
    {
        std::string fitted = text.substr(0, TEXT_LENGTH);
        fitted.resize(TEXT_LENGTH, ' ');
        return fitted;
    }

    // Reals by column number (column c at c - 1); the slots of the integer
    // and text columns stay 0.
    std::array<float, COLUMNS> reals_{};
    std::array<int, INTEGER_COLUMNS.size()> integers_{};
    std::string text_ = std::string(TEXT_COLUMN > 0 ? TEXT_LENGTH : 0, ' ');
};

// Reading and writing whole records of a record type R (R::layout() gives its
// RecordLayout).

// The next record of a free-form reader; std::nullopt at the end of the file;
// FileError naming the file and the line when the record cannot be read.
// Each record stands on a line of its own: a line with fewer or more values
// than the record has, or with a value that is no finite real, is refused,
// so that a line cut short never takes its values from the next.  A null
// item leaves its column 0 (or the text blank), never a value of the record
// before.
//
// read_record_into reads the same into a record as its type constructs it
// (all columns 0, the text blank): false at the end of the file.
template <class R>
bool read_record_into(FreeFormReader& reader, R& record)
{
    const FreeFormResult result = reader.read_line_record(record.column_targets());
    if (result.status == FreeFormStatus::EndOfFile) return false;
    if (!result.ok()) throw FileError(result.message);
    record.fit_text();
    return true;
}

template <class R>
std::optional<R> read_record(FreeFormReader& reader)
{
    std::optional<R> record(std::in_place);
    if (!read_record_into(reader, *record)) return std::nullopt;
    return record;
}

// The records of a file, each read where it stays: the table is reserved for
// the file's lines once (a record a line), and no record is copied.
template <class R, class ReadInto>
std::vector<R> read_records_in_place(TextReader& lines, ReadInto read_into)
{
    FreeFormReader reader(lines);
    std::vector<R> records;
    records.reserve(lines.lines_held());
    for (;;) {
        if (records.size() == records.capacity()) {
            // Past the lines counted (their end, as a rule): the table grows
            // only for a record that is really there.
            R record;
            if (!read_into(reader, record)) return records;
            records.push_back(std::move(record));
            continue;
        }
        R& record = records.emplace_back();
        if (!read_into(reader, record)) {
            records.pop_back();
            return records;
        }
    }
}

// Every record of a file, in file order.
template <class R>
std::vector<R> read_records(std::string_view name, FilePresence presence)
{
    TextReader lines = presence == FilePresence::MustExist ? TextReader(name) : TextReader::open_optional(name);
    return read_records_in_place<R>(lines, [](FreeFormReader& reader, R& record) { return read_record_into(reader, record); });
}

// The same read taken only as far as column `last_column` of each line, for
// readers that use only a long record's first columns: the columns after it
// stay 0 (a text column after it blank), and the rest of each line is
// counted, not converted: a line cut short or holding a second record is
// still refused, a bad value there goes unnoticed.  A line with fewer values
// than `last_column` is refused as above.  With `taken` (an entry for each
// column up to `last_column`), the columns whose entry is 0 are counted as
// the rest of the line is, and stay 0 too.
// read_record_start_into is the same read into a record as its type
// constructs it; false at the end of the file.
template <class R>
bool read_record_start_into(FreeFormReader& reader, R& record, int last_column, const std::uint8_t* taken = nullptr)
{
    if (last_column < 1 || last_column > R::COLUMN_COUNT)
        throw std::out_of_range("no column " + std::to_string(last_column));
    FreeFormColumns targets = record.column_targets();
    targets.count = static_cast<std::size_t>(last_column);
    targets.taken = taken;
    const FreeFormResult result = reader.read_line_record_start(targets, R::COLUMN_COUNT);
    if (result.status == FreeFormStatus::EndOfFile) return false;
    if (!result.ok()) throw FileError(result.message);
    record.fit_text();
    return true;
}

template <class R>
std::optional<R> read_record_start(FreeFormReader& reader, int last_column, const std::uint8_t* taken = nullptr)
{
    std::optional<R> record(std::in_place);
    if (!read_record_start_into(reader, *record, last_column, taken)) return std::nullopt;
    return record;
}

template <class R>
std::vector<R> read_records_start(std::string_view name, FilePresence presence, int last_column,
                                  const std::uint8_t* taken = nullptr)
{
    TextReader lines = presence == FilePresence::MustExist ? TextReader(name) : TextReader::open_optional(name);
    return read_records_in_place<R>(lines, [&](FreeFormReader& reader, R& record) {
        return read_record_start_into(reader, record, last_column, taken);
    });
}

// The columns read_records_columns takes, as read_records_start takes them:
// the last column and an entry for each column up to it (1: converted).
struct TakenColumns {
    int last_column = 0;
    std::vector<std::uint8_t> taken;
};

template <class R>
TakenColumns taken_columns(const std::vector<int>& columns)
{
    TakenColumns result;
    for (const int column : columns) {
        if (column < 1 || column > R::COLUMN_COUNT) throw std::out_of_range("no column " + std::to_string(column));
        result.last_column = std::max(result.last_column, column);
    }
    if (result.last_column == 0) throw std::out_of_range("no column to read");
    result.taken.assign(static_cast<std::size_t>(result.last_column), 0);
    for (const int column : columns) result.taken[static_cast<std::size_t>(column - 1)] = 1;
    return result;
}

// The same read of the given columns only (each from 1 to the record's
// last): every line counted whole, only these columns converted, the others
// 0 (a text column not given blank).
template <class R>
std::vector<R> read_records_columns(std::string_view name, FilePresence presence, const std::vector<int>& columns)
{
    const TakenColumns taken = taken_columns<R>(columns);
    return read_records_start<R>(name, presence, taken.last_column, taken.taken.data());
}

// The records of read_records_columns handed to `take` one at a time, in file
// order, for a step that needs each record once and keeps none: one record
// is held, never the file's table.
template <class R, class Take>
void for_each_record_columns(std::string_view name, FilePresence presence, const std::vector<int>& columns, Take take)
{
    const TakenColumns taken = taken_columns<R>(columns);
    TextReader lines = presence == FilePresence::MustExist ? TextReader(name) : TextReader::open_optional(name);
    FreeFormReader reader(lines);
    R record;
    for (;;) {
        // Each record starts as its type constructs it, as read_records_columns
        // reads it.
        record = R();
        if (!read_record_start_into(reader, record, taken.last_column, taken.taken.data())) return;
        take(static_cast<const R&>(record));
    }
}

// The line of one record; RecordWriteError (with the file name and record
// number given) when a value cannot be written whole.
template <class R>
std::string record_line(const R& record, std::string_view file_name = {}, int record_number = 0)
{
    std::string line;
    R::layout().write_line(line, record.column_values(), file_name, record_number);
    return line;
}

// Writes the records as the whole new file, one line per record, in order.
// Every line is built before the old file is replaced.
template <class R>
void write_record_file(std::string_view name, const std::vector<R>& records)
{
    TextWriter writer{std::string(name)};
    std::string line;
    for (std::size_t i = 0; i < records.size(); ++i) {
        R::layout().write_line(line, records[i].column_values(), name, static_cast<int>(i) + 1);
        writer.write_line(line);
    }
    writer.commit();
}

}  // namespace velm
