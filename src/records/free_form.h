// The free-form (list-directed) reader and writer of the system's text files.
//
// Reading: blanks, tabs and commas separate values; a text value stands in
// apostrophes or double quotes (a doubled quote inside is one; a text may
// also be unquoted when it holds no separator); r*v repeats a value r times;
// r* and an empty item between two commas are nulls that leave their target
// unchanged; "/" ends the read, leaving the remaining targets unchanged.
// A read of N values goes on over as many lines as it needs, and the rest of
// its last line is skipped.  An integer target refuses "2.5" and "1.0"; a
// field of asterisks is an error.  Reals are parsed straight to float
// (strtof).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/text_file.h"

namespace velm {

// Where one read item goes.
using FreeFormTarget = std::variant<float*, int*, std::string*>;

// The kinds of target, in the order of FreeFormTarget's alternatives.
enum class FreeFormKind : unsigned char { Real, Integer, Text };

// The targets of one record whose values stand in arrays, as the record
// types keep them: target i (0-based) is the real reals[i], unless `kinds`
// says an integer (integers[integer_slots[i]]) or the text (*text).  Without
// kinds every target is a real.  Nothing is built per record: the kinds and
// slots are the record type's own constant tables.
struct FreeFormColumns {
    std::size_t count = 0;
    float* reals = nullptr;
    const FreeFormKind* kinds = nullptr;
    const std::int16_t* integer_slots = nullptr;
    int* integers = nullptr;
    std::string* text = nullptr;
    // When set, the targets i with taken[i] == 0 are not taken: their items
    // are counted in their place and not converted, and the targets keep
    // their values (for readers that use a few columns of a long record).
    const std::uint8_t* taken = nullptr;
};

enum class FreeFormStatus {
    Ok,         // every target was given a value or a null
    EndOfFile,  // the file ended before the first value of this read
    Error,      // a bad item, or the file ended in the middle of the read
};

struct FreeFormResult {
    FreeFormStatus status = FreeFormStatus::Ok;
    std::string message;  // for Error: names the file, the line and the item
    bool slash = false;   // for Error: the record is broken by a slash outside a quoted text
    bool ok() const { return status == FreeFormStatus::Ok; }
};

// Reads free-form records from a text reader.
class FreeFormReader {
public:
    explicit FreeFormReader(TextReader& lines) : lines_(lines) {}

    // One read statement: fills the targets in order.
    FreeFormResult read(const std::vector<FreeFormTarget>& targets);
    // The same read, whose reals must be finite numbers within the range of
    // a float: a NaN, an infinity or a value beyond the range is an Error
    // naming the file, the line and the value's place in the read, as a data
    // base refuses it.
    FreeFormResult read_finite(const std::vector<FreeFormTarget>& targets);
    // The same read as `read`, for a file whose records hold every value (a
    // GIS export, read free-form over as many lines as a record takes): a
    // slash outside a quoted text, on any line the record is read from, is
    // the Error that read_line_record gives for it (`slash` set), never the
    // end of the read.
    FreeFormResult read_refusing_slashes(const std::vector<FreeFormTarget>& targets);
    // One read of `count` floats (nulls leave 0.0).
    FreeFormResult read_floats(std::vector<float>& values, int count);

    // One record of a data base (link, node, subarea, GIS, string files),
    // which holds each record on a line of its own: the next line that is
    // not blank must hold exactly one value (or null) per target, and every
    // real must be a finite number within the range of a float.  A line with
    // fewer or more values, or a NaN, an infinity or a value beyond the
    // range, is an Error naming the file, the line and the count or value;
    // so is a slash outside a quoted text (which elsewhere ends a read).
    // `whole_line_values`, when not 0, is the count of a longer form of the
    // record that a line may hold instead, of which the read takes the first
    // values (a telescoped string file read in its short form).
    FreeFormResult read_line_record(const std::vector<FreeFormTarget>& targets, std::size_t whole_line_values = 0);
    FreeFormResult read_line_record(const FreeFormColumns& targets, std::size_t whole_line_values = 0);
    // The first values of a record of `record_values` values, for readers
    // that use only the first columns of a long record: the line must hold
    // at least the targets' values (a shorter line is the Error above, which
    // counts against `record_values`), each real a finite number; the rest of
    // the line is only counted.  Targets left out by `taken` count as the
    // rest of the line does.
    FreeFormResult read_line_record_start(const FreeFormColumns& targets, std::size_t record_values);
    FreeFormResult read_line_floats(std::vector<float>& values, int count, std::size_t whole_line_values = 0);

    TextReader& lines() { return lines_; }

private:
    TextReader& lines_;
};

// Reads the values of one line (and following lines when the targets need
// them) from a list of lines, for callers that hold the text already.
FreeFormResult read_free_form_line(std::string_view line, const std::vector<FreeFormTarget>& targets,
                                   std::string_view file_name = {}, int line_number = 0);

// The float of a fixed-decimal field ("-123.45" is digits 12345, decimals
// 2, negative): the value strtof gives for its text, when the digits are at
// most 2^24 and the decimals at most 10; nothing for any other field, which
// the general conversion takes.  The reader's fast path.
std::optional<float> fixed_decimal_value(std::uint64_t digits, int decimals, bool negative);

// Writing: one blank before each item; an integer right-aligned in 11
// columns after its blank; a real in its shortest form that reads back to
// the same float; a text as it stands.
using FreeFormValue = std::variant<int, float, std::string>;
std::string free_form_line(const std::vector<FreeFormValue>& values);
// The shortest decimal text that reads back (strtof) to exactly this float.
std::string shortest_float_text(float value);

}  // namespace velm
