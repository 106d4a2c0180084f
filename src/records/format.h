// The format engine: fixed-column text written and read by a Fortran-style
// edit-descriptor list, "(2(1X,F8.1),1X,'''',A10,'''')", exactly as a file
// layout or screen layout gives it.  Every fixed layout of the system is one
// named constant passed to this engine; no layout is spelled out twice.
//
// Descriptors: nX, Fw.d, Iw, Iw.m, Aw and A, quoted literals ('' inside is
// one apostrophe), groups with repeat counts, "/" (a new record), and a
// trailing "$" (no line end: the text is a prompt).  When values remain after
// the last descriptor the list is used again from its last group (format
// reversion), starting a new record; when the values run out, output stops
// at the next data descriptor (literals and X before it are still written).
//
// Numbers: Fw.d rounds the exact binary value to nearest, ties to even,
// drops the leading zero only when the field has no room for it, and writes
// "-0.00" for a negative value that rounds to zero.  A value too wide for its
// field is a run of asterisks of the field's width.  Iw.m writes at least m
// digits.  Texts: a text stands for a blank-padded character variable, so
// Aw pads a shorter text on the right and takes the first w characters of a
// longer one; A writes the whole text.
//
// A list that ends in "$" is a prompt: its last record stays on the line,
// whatever number of values it was given.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velm {

// One value handed to the engine: an integer for I, a float for F, a text
// for A.  A float given to I, or an integer to F, is a programming error
// (FormatError), never a silent conversion.
using FormatValue = std::variant<int, float, std::string>;

class FormatError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// A parsed edit-descriptor list.  Each distinct list is parsed once per run
// and its parse shared by every Format made of it (the program uses a fixed
// set of layouts), so a Format made for each use costs a look-up; keeping
// the object still spares that.
class Format {
public:
    explicit Format(std::string_view descriptors);
    ~Format();
    Format(const Format&);
    Format& operator=(const Format&);

    // The records produced by one write with the values (at least one record;
    // "/" and reversion start further records).
    std::vector<std::string> write(const std::vector<FormatValue>& values) const;
    // The single line of a layout that produces one record (FormatError
    // when the values make more than one).
    std::string line(const std::vector<FormatValue>& values) const;
    // True when the list ends in "$": the last record leaves the cursor
    // behind it.
    bool stays_on_line() const;

    // Reads the values of one read with this layout from the lines (as many
    // lines as its "/" and reversion need; a missing line reads as blanks).
    // As a Fortran formatted read: a short line is padded with blanks, blanks
    // inside a number are ignored, a blank numeric field reads as 0, a field
    // without a decimal point takes the implied decimals of its Fw.d, and an
    // exponent ("1.5E2", "1.5D2", "1.5+2") is accepted in an F field.
    // F fields give float, I fields int, Aw the w characters of the field and
    // A the rest of the line.  Returns exactly `count` values.  A field that
    // is not a number throws FormatReadError, whose message names the line of
    // the read, the columns, the descriptor and the text (the caller adds the
    // file name); a layout with a literal cannot read (FormatError).
    std::vector<FormatValue> read(const std::vector<std::string>& lines, int count) const;
    // How many lines a read of `count` values takes (a "/" that follows the
    // last value still moves on to the next line).
    int lines_needed(int count) const;

private:
    struct Parsed;
    std::shared_ptr<const Parsed> parsed_;  // never changed once parsed
};

// A field that cannot be read as its descriptor asks (letters in an F field).
class FormatReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One record from a layout and values, for layouts used once.
std::string format_line(std::string_view descriptors, const std::vector<FormatValue>& values);

// Fw.d of a single float, Iw of a single integer: the field texts the
// layouts are made of, also used to show bound texts on screens.
std::string format_fixed(float value, int width, int decimals);
std::string format_integer(int value, int width, int min_digits = 1);

// The same fields written in place, for writers that lay out whole lines:
// exactly `width` characters (at least 1) at `out`, asterisks when the value
// does not fit, in which case they return false.  A text longer than its
// field gives its first `width` characters; a shorter one is padded.
bool write_fixed_field(char* out, float value, int width, int decimals);
// Whether Fw.d writes the value whole (true for an empty field), without
// writing it: for code that keeps values within their fields.
bool fixed_field_holds(float value, int width, int decimals);
// The digits Fw.d writes for a finite value, as one whole number (its
// magnitude rounded to units of the last decimal, "-12.35" is 1235), for
// code that needs the rounded value rather than its text; nothing for more
// than nine decimals or a magnitude whose units pass 9e15.
std::optional<std::uint64_t> fixed_field_units(float value, int decimals);
bool write_integer_field(char* out, int value, int width, int min_digits = 1);
void write_text_field(char* out, std::string_view text, int width);

}  // namespace velm
