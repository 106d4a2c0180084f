// The free-form (list-directed) reader and writer of the system's text files.
//
// A read takes items from a stream of lines in which every line end counts
// as a blank, except inside a quoted text, which simply goes on with the next
// line.  Items are separated by blanks and tabs, or by one comma with blanks
// around it; a comma that follows another separator comma (or opens the read)
// stands for a null item.  Items take the forms of Fortran list-directed
// input, in which the study files have always been read, so that every file
// reads here as it always has.
#include "records/free_form.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "records/quoted_item.h"

namespace velm {
namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// The first character at or after p that is no blank (end when none is).
// Data lines are mostly runs of blanks between fields, so blanks are passed
// eight at a time where the machine allows it.
const char* skip_blanks(const char* p, const char* end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t EIGHT_BLANKS = 0x2020202020202020ULL;
        while (end - p >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, sizeof word);
            const std::uint64_t different = word ^ EIGHT_BLANKS;
            if (different == 0) {
                p += 8;
                continue;
            }
            p += std::countr_zero(different) / 8;
            if (*p != '\t') return p;
            ++p;
        }
    }
    while (p < end && is_blank(*p)) ++p;
    return p;
}

// Characters that end an unquoted item: blanks, tabs, a comma or a slash.
constexpr std::array<bool, 256> ITEM_ENDS = [] {
    std::array<bool, 256> ends{};
    for (const unsigned char c : {' ', '\t', ',', '/'}) ends[c] = true;
    return ends;
}();

bool ends_item(char c)
{
    return ITEM_ENDS[static_cast<unsigned char>(c)];
}

// The characters of an item that is counted only: anything but a blank, a
// tab, a separator, a quote or the star of a repeat.
constexpr std::array<bool, 256> PLAIN_ITEM_CHARACTERS = [] {
    std::array<bool, 256> plain{};
    plain.fill(true);
    for (const unsigned char c : {' ', '\t', ',', '/', '\'', '"', '*'}) plain[c] = false;
    return plain;
}();

// Up to `most` items parted by blanks, counted eight characters at a time
// from `p`, which stands at an item or a blank (never inside an item), to at
// most `end`: the caller makes sure that no separator but blanks (no comma,
// slash, tab, quote or repeat star) stands before `end`.  The count stops at
// the start of the item that the eight characters before `end`, or the
// count `most`, cut, so that the caller's own reading goes on from there.
// `p` is moved past the items counted.
std::size_t count_plain_items(const char*& p, const char* end, std::size_t most)
{
    std::size_t count = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ONES = 0x0101010101010101ULL;
        constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
        constexpr std::uint64_t LOWS = 0x7F7F7F7F7F7F7F7FULL;
        const char* run = p;
        bool blank_before = true;
        while (end - run >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, run, sizeof word);
            // The high bit of each blank byte.
            const std::uint64_t other = word ^ (ONES * ' ');
            const std::uint64_t blanks = ~(((other & LOWS) + LOWS) | other | LOWS);
            const std::uint64_t starts = ~blanks & HIGHS & ((blanks << 8) | (blank_before ? 0x80ULL : 0));
            // One bit in a byte each: their sum gathered in the top byte.
            const auto found = static_cast<std::size_t>(((starts >> 7) * ONES) >> 56);
            if (count + found > most) break;
            count += found;
            blank_before = (blanks >> 63) != 0;
            run += 8;
        }
        if (!blank_before) {
            // The count stopped inside an item: back to its start, uncounted.
            while (run > p && run[-1] != ' ') --run;
            --count;
        }
        p = run;
    }
    return count;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower_word)
{
    if (text.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != lower_word[i]) return false;
    }
    return true;
}

// An optionally signed run of decimal digits that fits an int.
std::optional<int> parse_integer(std::string_view token)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    if (i == token.size()) return std::nullopt;
    const std::int64_t limit =
        negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    std::int64_t magnitude = 0;
    for (; i < token.size(); ++i) {
        if (!is_digit(token[i])) return std::nullopt;
        magnitude = magnitude * 10 + (token[i] - '0');
        if (magnitude > limit) return std::nullopt;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// Whole numbers up to 2^24 are exact floats.
constexpr std::uint64_t EXACT_FLOAT_INTEGER = 16777216;
constexpr int FEW_DIGITS = 18;  // digits that always fit the 64-bit whole number

// 10^-d rounded to double, for d = 0..10.
constexpr std::array<double, 11> NEGATIVE_POWERS_OF_TEN = {1e0,  1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                           1e-6, 1e-7, 1e-8, 1e-9, 1e-10};

}  // namespace

// N times 10^-d in double lies within 2^-52 (relative) of the quotient N /
// 10^d: two roundings of half a double unit each.  For d <= 7 the quotient
// never comes closer than 2^-48 to a point halfway between two floats, and is
// never one itself (a quotient that is a binary fraction has at most 24
// significant bits, so it is a float); rounding the double to float then
// gives the correctly rounded quotient.  For d = 8..10 the margin is too thin
// to argue, and the records tests compare every N and d of the range with
// the correctly rounded quotient (the quotient of two exact floats).  A
// multiplication costs a fraction of a division, and data lines are mostly
// such fields.  Where arithmetic runs in a wider precision the operations
// would be rounded differently, and the general conversion serves.
std::optional<float> fixed_decimal_value(std::uint64_t digits, int decimals, bool negative)
{
#if FLT_EVAL_METHOD == 0
    if (digits <= EXACT_FLOAT_INTEGER && decimals >= 0 && decimals < static_cast<int>(NEGATIVE_POWERS_OF_TEN.size())) {
        const float magnitude = static_cast<float>(static_cast<double>(digits) *
                                                   NEGATIVE_POWERS_OF_TEN[static_cast<std::size_t>(decimals)]);
        return negative ? -magnitude : magnitude;
    }
#else
    (void)digits;
    (void)decimals;
    (void)negative;
#endif
    return std::nullopt;
}

namespace {

// A real as the list-directed read takes it: an optional sign, digits with
// an optional decimal point (at least one digit), and an optional exponent
// written with E, D or Q (either case) and an optional sign, or with a sign
// alone ("1.5+2" is 150.0).  Infinity and NaN are taken by name.  The
// mantissa and exponent are converted unchanged, so the float is the
// correctly rounded value of the decimal text, as strtof gives it.
std::optional<float> parse_real(std::string_view token)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    const std::string_view body = token.substr(i);
    if (equals_ignoring_case(body, "inf") || equals_ignoring_case(body, "infinity")) {
        const float infinity = std::numeric_limits<float>::infinity();
        return negative ? -infinity : infinity;
    }
    if (body.size() >= 3 && equals_ignoring_case(body.substr(0, 3), "nan")) {
        const std::string_view payload = body.substr(3);
        bool well_formed = payload.empty();
        if (payload.size() >= 2 && payload.front() == '(' && payload.back() == ')') {
            well_formed = true;
            for (char c : payload.substr(1, payload.size() - 2)) {
                const char l = lower(c);
                if (!(is_digit(c) || (l >= 'a' && l <= 'z') || c == '_')) well_formed = false;
            }
        }
        if (!well_formed) return std::nullopt;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return negative ? -nan : nan;
    }

    // The token is checked in place, then copied with its exponent letter
    // (E, D or Q, or none before a sign) made an "e".
    const std::size_t mantissa_start = i;
    int mantissa_digits = 0;
    int decimals = 0;
    std::uint64_t digits = 0;  // the mantissa's digits as one whole number, while they are few
    for (; i < token.size() && is_digit(token[i]); ++i, ++mantissa_digits)
        if (mantissa_digits < FEW_DIGITS) digits = digits * 10 + static_cast<std::uint64_t>(token[i] - '0');
    if (i < token.size() && token[i] == '.') {
        for (++i; i < token.size() && is_digit(token[i]); ++i, ++mantissa_digits, ++decimals)
            if (mantissa_digits < FEW_DIGITS) digits = digits * 10 + static_cast<std::uint64_t>(token[i] - '0');
    }
    if (mantissa_digits == 0) return std::nullopt;
    const std::size_t mantissa_end = i;
    if (mantissa_end == token.size() && mantissa_digits <= FEW_DIGITS) {
        if (const std::optional<float> value = fixed_decimal_value(digits, decimals, negative)) return value;
    }
    std::size_t exponent_start = i;
    if (i < token.size()) {
        const char l = lower(token[i]);
        if (l == 'e' || l == 'd' || l == 'q') {
            exponent_start = ++i;
        } else if (token[i] != '+' && token[i] != '-') {
            return std::nullopt;
        }
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        int exponent_digits = 0;
        for (; i < token.size() && is_digit(token[i]); ++i) ++exponent_digits;
        if (exponent_digits == 0 || i != token.size()) return std::nullopt;
    }

    // The text from_chars and strtof take: on the stack, unless the token
    // is unusually long.
    const std::string_view mantissa = token.substr(mantissa_start, mantissa_end - mantissa_start);
    const std::string_view exponent = mantissa_end < token.size() ? token.substr(exponent_start) : std::string_view();
    const std::size_t length = (negative ? 1 : 0) + mantissa.size() + (exponent.empty() ? 0 : 1 + exponent.size());
    char short_text[64];
    std::string long_text;
    char* normal = short_text;
    if (length + 1 > sizeof short_text) {
        long_text.resize(length + 1);
        normal = long_text.data();
    }
    char* end = normal;
    if (negative) *end++ = '-';
    end = std::copy(mantissa.begin(), mantissa.end(), end);
    if (!exponent.empty()) {
        *end++ = 'e';
        end = std::copy(exponent.begin(), exponent.end(), end);
    }
    *end = '\0';
    // from_chars converts exactly as strtof does but much faster; a value
    // out of the float range (which from_chars leaves unset) goes to strtof
    // for its infinity or underflowed result.
    float value = 0.0f;
    const std::from_chars_result converted = std::from_chars(normal, end, value);
    if (converted.ec == std::errc() && converted.ptr == end) return value;
    return std::strtof(normal, nullptr);
}

// Where the reader takes its lines from: a text file or text held in memory.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line, valid until the following call; false at the end.
    virtual bool next_line(std::string_view& line) = 0;
    virtual int line_number() const = 0;
    virtual std::string_view file_name() const = 0;
};

// The lines of a text reader, read in place.
class TextReaderSource final : public LineSource {
public:
    explicit TextReaderSource(TextReader& reader) : reader_(reader) {}
    bool next_line(std::string_view& line) override { return reader_.next_line(line); }
    int line_number() const override { return reader_.line_number(); }
    std::string_view file_name() const override { return reader_.name(); }

private:
    TextReader& reader_;
};

// The lines of a text, split at its line feeds.
class TextSource final : public LineSource {
public:
    TextSource(std::string_view text, std::string_view file_name, int first_line_number)
        : rest_(text), file_name_(file_name), line_number_(first_line_number - 1)
    {
    }
    bool next_line(std::string_view& line) override
    {
        if (finished_) return false;
        const std::size_t end = rest_.find('\n');
        line = rest_.substr(0, end);
        if (end == std::string_view::npos) {
            finished_ = true;
        } else {
            rest_.remove_prefix(end + 1);
        }
        ++line_number_;
        return true;
    }
    int line_number() const override { return line_number_; }
    std::string_view file_name() const override { return file_name_; }

private:
    std::string_view rest_;
    std::string_view file_name_;
    int line_number_;
    bool finished_ = false;
};

// One line of a file that holds a whole record.
class OneLineSource final : public LineSource {
public:
    OneLineSource(std::string_view line, std::string_view file_name, int line_number)
        : line_(line), file_name_(file_name), line_number_(line_number)
    {
    }
    bool next_line(std::string_view& line) override
    {
        if (taken_) return false;
        taken_ = true;
        line = line_;
        return true;
    }
    int line_number() const override { return line_number_; }
    std::string_view file_name() const override { return file_name_; }

private:
    std::string_view line_;
    std::string_view file_name_;
    int line_number_;
    bool taken_ = false;
};

// The targets of a read as a list of FreeFormTarget.
class TargetList {
public:
    explicit TargetList(const std::vector<FreeFormTarget>& targets) : targets_(targets) {}
    std::size_t size() const { return targets_.size(); }
    static bool left_out(std::size_t) { return false; }
    FreeFormKind kind(std::size_t i) const { return static_cast<FreeFormKind>(targets_[i].index()); }
    float& real(std::size_t i) const { return **std::get_if<float*>(&targets_[i]); }
    int& integer(std::size_t i) const { return **std::get_if<int*>(&targets_[i]); }
    std::string& text(std::size_t i) const { return **std::get_if<std::string*>(&targets_[i]); }

private:
    const std::vector<FreeFormTarget>& targets_;
};

// The targets of a read as the columns of a record.
class ColumnList {
public:
    explicit ColumnList(const FreeFormColumns& columns) : columns_(columns) {}
    std::size_t size() const { return columns_.count; }
    bool left_out(std::size_t i) const { return columns_.taken != nullptr && columns_.taken[i] == 0; }
    FreeFormKind kind(std::size_t i) const { return columns_.kinds ? columns_.kinds[i] : FreeFormKind::Real; }
    float& real(std::size_t i) const { return columns_.reals[i]; }
    int& integer(std::size_t i) const { return columns_.integers[columns_.integer_slots[i]]; }
    std::string& text(std::size_t) const { return *columns_.text; }

private:
    const FreeFormColumns& columns_;
};

// One item as it stands in the file, before it meets its target.
struct Item {
    bool quoted = false;      // a text in apostrophes or double quotes
    std::string quoted_text;  // the text between the quotes
    std::string_view text;    // the token as it stands in the line, or quoted_text
};

// One read statement over a line source.
template <class Targets>
class FreeFormScan {
public:
    FreeFormScan(LineSource& source, const Targets& targets, bool one_line = false, std::size_t whole_line_values = 0,
                 std::size_t record_values = 0)
        : source_(source),
          targets_(targets),
          one_line_(one_line),
          whole_line_values_(whole_line_values),
          record_values_(record_values)
    {
    }

    // Every real the read takes must be a finite number within the range of
    // a float.
    FreeFormScan& require_finite_reals()
    {
        finite_reals_ = true;
        return *this;
    }

    // A slash is a broken record, as on a data base line, and not the end
    // of the read.
    FreeFormScan& refuse_slashes()
    {
        refuse_slashes_ = true;
        return *this;
    }

    FreeFormResult run()
    {
        if (!next_line()) return {FreeFormStatus::EndOfFile, {}};
        const std::size_t count = targets_.size();
        if (count == 0) return {};  // a read of nothing passes over one line

        std::size_t index = 0;         // next target
        bool comma_is_null = true;     // a comma here stands for a null item
        bool found = false;            // an item, null or slash was met
        std::size_t repeats_over = 0;  // values of the last repeat beyond the last target
        while (index < count) {
            position_ = static_cast<std::size_t>(skip_blanks(line_.data() + position_, line_.data() + line_.size()) -
                                                 line_.data());
            if (position_ == line_.size()) {
                if (one_line_) return wrong_count(index);
                if (!next_line()) {
                    if (!found) return {FreeFormStatus::EndOfFile, {}};
                    return ended_early(index);
                }
                continue;
            }
            found = true;
            const char c = line_[position_];
            if (c == ',') {
                ++position_;
                if (comma_is_null) ++index;
                comma_is_null = true;
                continue;
            }
            if (c == '/') {
                // A data base record holds every value: a slash there is a
                // broken record, not the end of the read.
                if (one_line_ || refuse_slashes_) return slash_in_record(index);
                break;  // the remaining targets keep their values
            }

            if (count_left_out(index) || take_plain_reals(index)) {
                comma_is_null = false;
                continue;
            }

            std::size_t repeat = 1;
            std::size_t digits_end = position_;
            while (digits_end < line_.size() && is_digit(line_[digits_end])) ++digits_end;
            if (digits_end > position_ && digits_end < line_.size() && line_[digits_end] == '*') {
                const std::string_view count_text = line_.substr(position_, digits_end - position_);
                const std::optional<int> repeat_count = parse_integer(count_text);
                if (!repeat_count) return bad_item(index, "repeat count too large", count_text);
                if (*repeat_count == 0) return bad_item(index, "zero repeat count", count_text);
                repeat = static_cast<std::size_t>(*repeat_count);
                position_ = digits_end + 1;
                if (position_ == line_.size() || ends_item(line_[position_])) {
                    // r* stands for r nulls
                    repeats_over = repeat - std::min(repeat, count - index);
                    index += repeat - repeats_over;
                    comma_is_null = false;
                    continue;
                }
            }

            if (line_[position_] == '\'' || line_[position_] == '"') {
                read_quoted();
                if (position_ < line_.size() && !ends_item(line_[position_])) {
                    return bad_item(index, "text not followed by a separator", item_.text);
                }
            } else {
                const std::size_t start = position_;
                while (position_ < line_.size() && !ends_item(line_[position_])) ++position_;
                item_.quoted = false;
                item_.text = line_.substr(start, position_ - start);
            }
            // A repeated value serves targets of one kind only: a repeat that
            // runs into a target of another kind is a bad record.
            const FreeFormKind kind = targets_.kind(index);
            for (; repeat > 0 && index < count; --repeat, ++index) {
                if (targets_.kind(index) != kind) {
                    return bad_item(index, "repeated value for an item of another kind", shown_item());
                }
                if (FreeFormResult result = assign(index); !result.ok()) return result;
            }
            repeats_over = repeat;
            comma_is_null = false;
        }
        // The values of a line after the last target: what is left of a
        // repeat, then the items to the end of the line, a comma counting as
        // it would have counted in the read.
        if (one_line_ && record_values_ == 0) {
            const std::size_t more = repeats_over + items_left_on_line(comma_is_null);
            if (slash_met_) return slash_in_record(count + more);
            if (more > 0 && count + more != whole_line_values_) return wrong_count(count + more);
        } else if (one_line_) {
            // The values after the ones taken are not read, only counted: a
            // line cut short or holding a second record is still refused.
            const std::size_t more = repeats_over + items_left_on_line(comma_is_null);
            if (slash_met_) return slash_in_record(count + more);
            if (count + more != record_values_) return wrong_count(count + more);
        } else if (refuse_slashes_) {
            // The rest of the last line is not read, but a slash there
            // breaks the record all the same.
            const std::size_t more = repeats_over + items_left_on_line(comma_is_null);
            if (slash_met_) return slash_in_record(count + more);
        }
        return {};
    }

private:
    // The plain items (no repeat, text or separator but blanks) of targets
    // left out, from the item at the position on: counted, not converted.
    // The count passed, with `index` moved past them; any other item is left
    // for the general reading, which does not store it either.
    std::size_t count_left_out(std::size_t& index)
    {
        const char* const line_start = line_.data();
        const char* const end = line_start + line_.size();
        const char* p = line_start + position_;
        const std::size_t first_index = index;
        const std::size_t count = targets_.size();
        std::size_t run = 0;  // the targets left out from here on
        while (index + run < count && targets_.left_out(index + run)) ++run;
        if (run == 0) return 0;
        index += count_plain_items(p, plain_end(p), run);
        while (index < count && targets_.left_out(index)) {
            const char* q = p;
            while (q < end && PLAIN_ITEM_CHARACTERS[static_cast<unsigned char>(*q)]) ++q;
            if (q == p || (q < end && !is_blank(*q))) break;
            ++index;
            p = skip_blanks(q, end);
            if (p == end) break;
        }
        position_ = static_cast<std::size_t>(p - line_start);
        return index - first_index;
    }

    // The usual items of a data file, plain decimal numbers ("-123.45",
    // "0.0", "7") for real targets, taken in one tight pass from the item at
    // the position on, as long as they follow each other on the line: the
    // count taken, with `index` moved past them.  Anything else (a repeat
    // count, an exponent, many digits, a comma, a malformed item) stops the
    // pass where that item begins and is left for the general reading, which
    // gives the same value or the same error.
    std::size_t take_plain_reals(std::size_t& index)
    {
        const char* const line_start = line_.data();
        const char* const end = line_start + line_.size();
        const char* p = line_start + position_;
        const std::size_t first_index = index;
        const std::size_t count = targets_.size();
        while (index < count && targets_.kind(index) == FreeFormKind::Real && !targets_.left_out(index)) {
            const char* const item_start = p;
            bool negative = false;
            if (*p == '-' || *p == '+') {
                negative = *p == '-';
                ++p;
            }
            std::uint64_t digits = 0;
            const char* const whole_start = p;
            while (p < end && is_digit(*p)) digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
            int decimals = 0;
            int digit_count = static_cast<int>(p - whole_start);
            if (p < end && *p == '.') {
                const char* const fraction_start = ++p;
                while (p < end && is_digit(*p)) digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
                decimals = static_cast<int>(p - fraction_start);
                digit_count += decimals;
            }
            std::optional<float> value;
            if (digit_count > 0 && digit_count <= FEW_DIGITS && (p == end || ends_item(*p)))
                value = fixed_decimal_value(digits, decimals, negative);
            if (!value) {
                p = item_start;
                break;
            }
            targets_.real(index++) = *value;
            p = skip_blanks(p, end);
            if (p == end) break;
        }
        position_ = static_cast<std::size_t>(p - line_start);
        return index - first_index;
    }

    // The items after the last one read, to the end of the line: values,
    // texts and nulls between commas alike, a repeat as the values it
    // stands for; `comma_is_null` as the read leaves it (whether a comma at
    // the position stands for a null).
    std::size_t items_left_on_line(bool comma_is_null)
    {
        std::size_t count = 0;
        while (position_ < line_.size()) {
            const char* p = line_.data() + position_;
            if (const std::size_t plain = count_plain_items(p, plain_end(p), line_.size()); plain > 0) {
                count += plain;
                comma_is_null = false;
                position_ = static_cast<std::size_t>(p - line_.data());
                continue;
            }
            const char c = line_[position_];
            if (is_blank(c)) {
                position_ = static_cast<std::size_t>(
                    skip_blanks(line_.data() + position_, line_.data() + line_.size()) - line_.data());
            } else if (c == ',') {
                if (comma_is_null) ++count;
                comma_is_null = true;
                ++position_;
            } else if (c == '/') {
                slash_met_ = true;
                break;
            } else {
                // "r*v" and "r*" stand for r values, as the reading takes them.
                std::size_t items = 1;
                std::size_t digits_end = position_;
                while (digits_end < line_.size() && is_digit(line_[digits_end])) ++digits_end;
                if (digits_end > position_ && digits_end < line_.size() && line_[digits_end] == '*') {
                    const std::optional<int> repeat = parse_integer(line_.substr(position_, digits_end - position_));
                    if (repeat && *repeat > 0) items = static_cast<std::size_t>(*repeat);
                    position_ = digits_end + 1;
                } else {
                    position_ = digits_end;
                }
                if (position_ < line_.size() && (line_[position_] == '\'' || line_[position_] == '"')) {
                    const char quote = line_[position_];
                    for (++position_; position_ < line_.size(); ++position_) {
                        if (line_[position_] != quote) continue;
                        if (position_ + 1 < line_.size() && line_[position_ + 1] == quote) {
                            ++position_;
                            continue;
                        }
                        ++position_;
                        break;
                    }
                } else {
                    while (position_ < line_.size() && !ends_item(line_[position_])) ++position_;
                }
                count += items;
                comma_is_null = false;
            }
        }
        return count;
    }

    FreeFormResult wrong_count(std::size_t values) const
    {
        const std::size_t record_values = record_values_ > 0 ? record_values_ : targets_.size();
        return {FreeFormStatus::Error, "Data line of " + place() + ": " + std::to_string(values) +
                                           " values where a record has " + std::to_string(record_values)};
    }

    // A slash at the position of a data base line, after `values_before`
    // values: the refusal names the value it stands in (glued to the value
    // before it, or a value of its own) and shows that value's text.
    FreeFormResult slash_in_record(std::size_t values_before) const
    {
        const auto separates = [](char c) { return is_blank(c) || c == ','; };
        std::size_t start = position_;
        while (start > 0 && !separates(line_[start - 1])) --start;
        std::size_t end = position_;
        while (end < line_.size() && !separates(line_[end])) ++end;
        const std::size_t value = start < position_ ? values_before : values_before + 1;
        return {FreeFormStatus::Error,
                "Data line of " + place() + ", value " + std::to_string(value) + ": " +
                    quoted_item(line_.substr(start, end - start)) +
                    " holds a slash; a data base record holds every value",
                true};
    }

    // Where the first character at or after `from` stands that only the
    // general reading takes (a comma, slash, tab, quote or star), or the end
    // of the line: found once for the rest of the line, since the reading
    // only moves on.
    const char* plain_end(const char* from)
    {
        const char* const end = line_.data() + line_.size();
        if (plain_end_ != nullptr && plain_end_ >= from) return plain_end_;
        plain_end_ = end;
        for (const char c : {',', '/', '\t', '\'', '"', '*'}) {
            const void* found = std::memchr(from, c, static_cast<std::size_t>(plain_end_ - from));
            if (found != nullptr) plain_end_ = static_cast<const char*>(found);
        }
        return plain_end_;
    }

    bool next_line()
    {
        position_ = 0;
        plain_end_ = nullptr;
        if (source_.next_line(line_)) return true;
        line_ = {};
        return false;
    }

    // A quoted text; a doubled quote inside stands for one, and a line end
    // inside adds nothing.  The end of the file closes an open text.
    void read_quoted()
    {
        const char quote = line_[position_++];
        item_.quoted = true;
        std::string& text = item_.quoted_text;
        text.clear();
        for (;;) {
            if (position_ == line_.size()) {
                if (!next_line()) break;
                continue;
            }
            const char c = line_[position_++];
            if (c != quote) {
                text += c;
            } else if (position_ < line_.size() && line_[position_] == quote) {
                text += quote;
                ++position_;
            } else {
                break;
            }
        }
        item_.text = text;
    }

    FreeFormResult assign(std::size_t index)
    {
        if (targets_.left_out(index)) return {};
        switch (targets_.kind(index)) {
            case FreeFormKind::Text:
                targets_.text(index).assign(item_.text);
                return {};
            case FreeFormKind::Integer: {
                std::optional<int> value;
                if (!item_.quoted) value = parse_integer(item_.text);
                if (!value) return bad_item(index, "not an integer", shown_item());
                targets_.integer(index) = *value;
                return {};
            }
            case FreeFormKind::Real:
                break;
        }
        std::optional<float> value;
        if (!item_.quoted) value = parse_real(item_.text);
        if (!value) return bad_item(index, "not a real number", shown_item());
        if (finite_reals_ && !std::isfinite(*value)) {
            return {FreeFormStatus::Error, "Data line of " + place() + ", value " + std::to_string(index + 1) +
                                               ": not a number within the range of a real"};
        }
        targets_.real(index) = *value;
        return {};
    }

    std::string shown_item() const
    {
        if (!item_.quoted) return std::string(item_.text);
        return "'" + std::string(item_.text) + "'";
    }

    std::string place() const
    {
        std::string text;
        if (!source_.file_name().empty()) text += "file \"" + std::string(source_.file_name()) + "\", ";
        text += "line " + std::to_string(source_.line_number());
        return text;
    }

    FreeFormResult bad_item(std::size_t index, std::string_view what, std::string_view item) const
    {
        return {FreeFormStatus::Error, "Free-form read of " + place() + ", item " + std::to_string(index + 1) + ": " +
                                           std::string(what) + ": " + quoted_item(item)};
    }

    FreeFormResult ended_early(std::size_t index) const
    {
        return {FreeFormStatus::Error, "Free-form read of " + place() + ": the file ends before item " +
                                           std::to_string(index + 1) + " of " + std::to_string(targets_.size())};
    }

    LineSource& source_;
    const Targets& targets_;
    bool one_line_ = false;              // a record on one line: its values, no fewer and no more
    std::size_t whole_line_values_ = 0;  // or a longer form of the record, of which the read takes the first
    std::size_t record_values_ = 0;      // or, when not 0, a record of which the read takes the first values only
    bool finite_reals_ = false;          // a NaN, an infinity or a value beyond the range is refused
    bool refuse_slashes_ = false;        // a slash is a broken record, wherever the read meets it
    bool slash_met_ = false;             // the count of the items after the last target stopped at a slash
    std::string_view line_;
    std::size_t position_ = 0;
    const char* plain_end_ = nullptr;  // see plain_end
    Item item_;
};

// The next line of the reader that is not blank (a blank line holds no
// record); false at the end of the file.
bool next_record_line(TextReader& lines, std::string_view& line)
{
    do {
        if (!lines.next_line(line)) return false;
    } while (line.find_first_not_of(" \t") == std::string_view::npos);
    return true;
}

// One record on one line, for any kind of target list: the scan, then every
// real target must hold a finite number.
template <class Targets>
FreeFormResult read_one_line_record(TextReader& lines, const Targets& targets, std::size_t whole_line_values,
                                    std::size_t record_values = 0)
{
    std::string_view line;
    if (!next_record_line(lines, line)) return {FreeFormStatus::EndOfFile, {}};
    OneLineSource source(line, lines.name(), lines.line_number());
    FreeFormResult result = FreeFormScan<Targets>(source, targets, true, whole_line_values, record_values).run();
    if (!result.ok()) return result;
    for (std::size_t k = 0; k < targets.size(); ++k) {
        if (targets.kind(k) != FreeFormKind::Real || std::isfinite(targets.real(k))) continue;
        return {FreeFormStatus::Error, "Data line of file \"" + lines.name() + "\", line " +
                                           std::to_string(lines.line_number()) + ", value " + std::to_string(k + 1) +
                                           ": not a number within the range of a real"};
    }
    return result;
}

}  // namespace

FreeFormResult FreeFormReader::read(const std::vector<FreeFormTarget>& targets)
{
    TextReaderSource source(lines_);
    const TargetList list(targets);
    return FreeFormScan<TargetList>(source, list).run();
}

FreeFormResult FreeFormReader::read_finite(const std::vector<FreeFormTarget>& targets)
{
    TextReaderSource source(lines_);
    const TargetList list(targets);
    return FreeFormScan<TargetList>(source, list).require_finite_reals().run();
}

FreeFormResult FreeFormReader::read_refusing_slashes(const std::vector<FreeFormTarget>& targets)
{
    TextReaderSource source(lines_);
    const TargetList list(targets);
    return FreeFormScan<TargetList>(source, list).refuse_slashes().run();
}

FreeFormResult FreeFormReader::read_floats(std::vector<float>& values, int count)
{
    values.assign(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
    std::vector<FreeFormTarget> targets;
    targets.reserve(values.size());
    for (float& value : values) targets.emplace_back(&value);
    return read(targets);
}

FreeFormResult FreeFormReader::read_line_record(const std::vector<FreeFormTarget>& targets,
                                                std::size_t whole_line_values)
{
    return read_one_line_record(lines_, TargetList(targets), whole_line_values);
}

FreeFormResult FreeFormReader::read_line_record(const FreeFormColumns& targets, std::size_t whole_line_values)
{
    return read_one_line_record(lines_, ColumnList(targets), whole_line_values);
}

FreeFormResult FreeFormReader::read_line_record_start(const FreeFormColumns& targets, std::size_t record_values)
{
    return read_one_line_record(lines_, ColumnList(targets), 0, std::max(record_values, targets.count));
}

FreeFormResult FreeFormReader::read_line_floats(std::vector<float>& values, int count, std::size_t whole_line_values)
{
    values.assign(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
    FreeFormColumns targets;
    targets.count = values.size();
    targets.reals = values.data();
    return read_line_record(targets, whole_line_values);
}

FreeFormResult read_free_form_line(std::string_view line, const std::vector<FreeFormTarget>& targets,
                                   std::string_view file_name, int line_number)
{
    TextSource source(line, file_name, std::max(line_number, 1));
    const TargetList list(targets);
    return FreeFormScan<TargetList>(source, list).run();
}

std::string shortest_float_text(float value)
{
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";

    // The fewest significant digits that read back to the same float; nine
    // always do.
    char buffer[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value) break;
    }

    // buffer holds [-]d[.ddd]e±xx
    const std::string_view text = buffer;
    const bool negative = text.front() == '-';
    const std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
        if (c != '.') digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exponent = std::atoi(buffer + e + 1);
    const int count = static_cast<int>(digits.size());

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < 9) {
        if (exponent >= 0) {
            const int whole = exponent + 1;
            out += digits.substr(0, static_cast<std::size_t>(std::min(whole, count)));
            if (count < whole) out.append(static_cast<std::size_t>(whole - count), '0');
            out += '.';
            out += count > whole ? digits.substr(static_cast<std::size_t>(whole)) : "0";
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
    } else {
        out += digits.front();
        out += '.';
        out += count > 1 ? digits.substr(1) : "0";
        char exponent_text[16];
        std::snprintf(exponent_text, sizeof exponent_text, "E%c%02d", exponent < 0 ? '-' : '+',
                      exponent < 0 ? -exponent : exponent);
        out += exponent_text;
    }
    return out;
}

std::string free_form_line(const std::vector<FreeFormValue>& values)
{
    std::string line;
    for (const FreeFormValue& value : values) {
        line += ' ';
        if (const int* integer = std::get_if<int>(&value)) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%11d", *integer);
            line += buffer;
        } else if (const float* real = std::get_if<float>(&value)) {
            line += shortest_float_text(*real);
        } else {
            line += std::get<std::string>(value);
        }
    }
    return line;
}

}  // namespace velm
