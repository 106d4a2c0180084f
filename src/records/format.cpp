// The format engine: parsing of edit-descriptor lists, writing of records by
// them and reading of lines by them.
//
// A list is parsed once into a tree of items.  Writing and reading walk the
// same tree with the same rules (repeat counts, "/", format reversion, the
// stop at a data descriptor that has no value left); only what happens at
// each item differs, so the walk is written once and the writer and the
// reader are its two users.
#include "records/format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "records/quoted_item.h"

namespace velm {

namespace {

enum class ItemKind {
    Literal,  // quoted text, written as it stands
    Skip,     // nX: moves n columns on
    Slash,    // "/": ends the record, the next item starts a new one
    Real,     // Fw.d
    Integer,  // Iw or Iw.m
    Text,     // Aw, or A (width 0: the whole text)
    Group,    // r(...)
};

struct Item {
    ItemKind kind = ItemKind::Literal;
    int repeat = 1;           // times the item or group is used in a row
    int width = 0;            // w of F, I, A; n of nX
    int decimals = 0;         // d of Fw.d, m of Iw.m
    std::string text;         // the literal, doubled apostrophes made single
    std::vector<Item> items;  // the members of a group

    bool is_data() const { return kind == ItemKind::Real || kind == ItemKind::Integer || kind == ItemKind::Text; }
};

bool holds_data(const std::vector<Item>& items, std::size_t begin = 0)
{
    for (std::size_t i = begin; i < items.size(); ++i) {
        if (items[i].is_data() || (items[i].kind == ItemKind::Group && holds_data(items[i].items))) return true;
    }
    return false;
}

std::string descriptor_name(const Item& item)
{
    switch (item.kind) {
        case ItemKind::Real:
            return "F" + std::to_string(item.width) + "." + std::to_string(item.decimals);
        case ItemKind::Integer:
            return "I" + std::to_string(item.width) +
                   (item.decimals != 1 ? "." + std::to_string(item.decimals) : std::string());
        case ItemKind::Text:
            return item.width > 0 ? "A" + std::to_string(item.width) : std::string("A");
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------
// Parsing

class Parser {
public:
    explicit Parser(std::string_view source) : source_(source) { compact(); }

    // The items of the outer list.
    std::vector<Item> parse()
    {
        if (at_end() || peek() != '(') fail("the list does not start with \"(\"");
        ++pos_;
        std::vector<Item> items = parse_list(true);
        if (!at_end()) fail("text follows the closing \")\"");
        return items;
    }

    // Whether the list ended in "$".
    bool dollar() const { return dollar_; }

private:
    // Blanks outside literals mean nothing in an edit-descriptor list; the
    // literals keep theirs.
    void compact()
    {
        bool in_literal = false;
        for (char c : source_) {
            if (c == '\'') in_literal = !in_literal;  // a doubled apostrophe toggles twice
            if (in_literal || c == '\'' || (c != ' ' && c != '\t')) text_.push_back(c);
        }
    }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw FormatError("edit-descriptor list " + std::string(source_) + ": " + what);
    }

    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return at_end() ? '\0' : text_[pos_]; }
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

    // An unsigned number, or -1 when none stands here.
    int number()
    {
        if (!is_digit(peek())) return -1;
        long value = 0;
        while (is_digit(peek())) {
            value = value * 10 + (text_[pos_++] - '0');
            if (value > 1000000) fail("number too large");
        }
        return static_cast<int>(value);
    }

    // Items up to the ")" that closes the list; the "(" is already taken.
    std::vector<Item> parse_list(bool outer)
    {
        enum class Last { Open, Comma, Slash, Item };
        std::vector<Item> items;
        Last last = Last::Open;
        for (;;) {
            if (at_end()) fail("a \"(\" is not closed");
            const char c = peek();
            if (c == ')') {
                if (last == Last::Comma) fail("a comma stands before \")\"");
                ++pos_;
                return items;
            }
            if (c == ',') {
                if (last == Last::Open || last == Last::Comma) fail("an item is missing before a comma");
                ++pos_;
                last = Last::Comma;
                continue;
            }
            if (c == '/') {
                ++pos_;
                Item slash;
                slash.kind = ItemKind::Slash;
                items.push_back(slash);
                last = Last::Slash;
                continue;
            }
            if (last == Last::Item) fail("a comma is missing between two items");
            if (c == '$') {
                ++pos_;
                if (!outer || peek() != ')' || pos_ + 1 != text_.size()) fail("\"$\" must be the last item");
                dollar_ = true;
                last = Last::Item;
                continue;
            }
            items.push_back(parse_item());
            last = Last::Item;
        }
    }

    Item parse_item()
    {
        Item item;
        const int repeat = number();
        if (repeat == 0) fail("a repeat count of 0");
        const char c = upper(peek());
        if (c == '\'') {
            if (repeat > 0) fail("a repeat count before a literal needs parentheses");
            ++pos_;
            for (;;) {
                if (at_end()) fail("a literal is not closed");
                if (text_[pos_] == '\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        item.text.push_back('\'');
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                item.text.push_back(text_[pos_++]);
            }
            item.kind = ItemKind::Literal;
            return item;
        }
        item.repeat = repeat > 0 ? repeat : 1;
        if (c == '(') {
            ++pos_;
            item.kind = ItemKind::Group;
            item.items = parse_list(false);
            return item;
        }
        if (c == 'X') {
            if (repeat < 0) fail("X needs a count of columns");
            ++pos_;
            item.kind = ItemKind::Skip;
            item.repeat = 1;
            item.width = repeat;
            return item;
        }
        ++pos_;
        if (c == 'F') {
            item.kind = ItemKind::Real;
            item.width = number();
            if (item.width <= 0 || peek() != '.') fail("F needs a width and decimals (Fw.d)");
            ++pos_;
            item.decimals = number();
            if (item.decimals < 0) fail("F needs a width and decimals (Fw.d)");
            return item;
        }
        if (c == 'I') {
            item.kind = ItemKind::Integer;
            item.width = number();
            if (item.width <= 0) fail("I needs a width");
            item.decimals = 1;
            if (peek() == '.') {
                ++pos_;
                item.decimals = number();
                if (item.decimals < 0 || item.decimals > item.width) fail("the digits of Iw.m exceed its width");
            }
            return item;
        }
        if (c == 'A') {
            item.kind = ItemKind::Text;
            item.width = number();
            if (item.width == 0) fail("A with a width of 0");
            if (item.width < 0) item.width = 0;
            return item;
        }
        if (c == '\0') fail("the list ends inside an item");
        fail(std::string("unknown edit descriptor \"") + text_[pos_ - 1] + "\"");
    }

    std::string_view source_;
    std::string text_;  // the list without its blanks
    std::size_t pos_ = 0;
    bool dollar_ = false;
};

// A parsed list with what the walk needs to know about it.
struct ParsedList {
    std::string source;         // the list as written, for messages
    std::vector<Item> items;    // the outer list
    std::size_t reversion = 0;  // where reversion starts: the last top-level group
    bool reversion_has_data = false;
    bool dollar = false;
    std::size_t first_record_length = 0;  // characters of the first record when every value is given
};

// The characters the items write up to their first "/", each value given
// (an A without width counted as empty); false once a "/" is met.
bool add_record_length(const std::vector<Item>& items, std::size_t& length)
{
    for (const Item& item : items) {
        switch (item.kind) {
            case ItemKind::Literal:
                length += item.text.size();
                break;
            case ItemKind::Slash:
                return false;
            case ItemKind::Group:
                for (int r = 0; r < item.repeat; ++r)
                    if (!add_record_length(item.items, length)) return false;
                break;
            default:
                length += static_cast<std::size_t>(item.width) * static_cast<std::size_t>(item.repeat);
                break;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// The walk shared by writing and reading
//
// The walker hands the items to a sink in the order a Fortran processor uses
// them: a data descriptor only while a value remains, otherwise the walk ends
// there; at the end of the list with values left, a new record and the list
// again from its last top-level group (its repeat count included), or from
// its start when it has no group.

template <class Sink>
class Walker {
public:
    Walker(const ParsedList& list, Sink& sink) : list_(list), sink_(sink) {}

    void run()
    {
        if (!walk(list_.items, 0)) return;
        while (!sink_.exhausted()) {
            // Values beyond a list whose reversion part takes none would
            // make records for ever.
            if (!list_.reversion_has_data)
                throw FormatError("edit-descriptor list " + list_.source + " has no data descriptor for value " +
                                  std::to_string(sink_.taken() + 1));
            sink_.new_record();
            if (!walk(list_.items, list_.reversion)) return;
        }
    }

private:
    // False when the walk stopped at a data descriptor with no value left.
    bool walk(const std::vector<Item>& items, std::size_t begin)
    {
        for (std::size_t i = begin; i < items.size(); ++i) {
            const Item& item = items[i];
            switch (item.kind) {
                case ItemKind::Literal:
                    sink_.literal(item);
                    break;
                case ItemKind::Skip:
                    sink_.skip(item.width);
                    break;
                case ItemKind::Slash:
                    sink_.new_record();
                    break;
                case ItemKind::Group:
                    for (int r = 0; r < item.repeat; ++r) {
                        if (!walk(item.items, 0)) return false;
                    }
                    break;
                default:
                    for (int r = 0; r < item.repeat; ++r) {
                        if (sink_.exhausted()) return false;
                        sink_.data(item);
                    }
                    break;
            }
        }
        return true;
    }

    const ParsedList& list_;
    Sink& sink_;
};

// ---------------------------------------------------------------------------
// Field texts
//
// Every field is written in place, exactly its width of characters, so that
// a record line is laid out without building a text per value.

char* fill(char* out, std::size_t count, char c)
{
    std::memset(out, c, count);
    return out + count;
}

char* copy(char* out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The blanks before a number, a few at most: stores of a fixed size,
// where a loop would become a call of memset for every field.
void fill_blanks(char* out, std::size_t count)
{
    static constexpr char BLANKS[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    for (; count >= 8; count -= 8, out += 8) std::memcpy(out, BLANKS, 8);
    if (count >= 4) {
        std::memcpy(out, BLANKS, 4);
        std::memcpy(out + count - 4, BLANKS, 4);
    } else if (count > 0) {  // 1 to 3: the first, the middle and the last cover them
        out[0] = ' ';
        out[count / 2] = ' ';
        out[count - 1] = ' ';
    }
}

// A text right-aligned in the field; asterisks when it is wider.
bool write_right(char* out, std::string_view field, int width)
{
    const std::size_t w = static_cast<std::size_t>(width);
    if (field.size() > w) {
        fill(out, w, '*');
        return false;
    }
    copy(fill(out, w - field.size(), ' '), field);
    return true;
}

// The places an Fw.d field needs for a rounded magnitude of `whole_digits`
// digits before the point (0 when it is below 1): the sign, the digits
// before the point (a zero when there are none and no decimals), the point
// and the decimals.
int fixed_field_places(bool negative, int whole_digits, int decimals)
{
    return (negative ? 1 : 0) + std::max(whole_digits, decimals == 0 ? 1 : 0) + 1 + decimals;
}

constexpr std::array<std::uint64_t, 20> POWERS_OF_TEN = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// Digits of a whole number (0 for 0), from its bit length.
int digit_count(std::uint64_t number)
{
    if (number == 0) return 0;
    const int guess = (std::bit_width(number) * 1233) >> 12;  // 1233 / 4096 is just above log10(2)
    return guess - (number < POWERS_OF_TEN[static_cast<std::size_t>(guess)] ? 1 : 0) + 1;
}

// The last `count` digits of a whole number written right to left, ending
// at `end`, two at a time; returns where they begin, and leaves the
// number without them.  Most field values fit 32 bits, whose divisions by
// constants are cheaper.
template <class Whole>
[[gnu::always_inline]] inline char* write_digits(char* end, Whole& number, int count)
{
    static constexpr char PAIRS[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    for (; count >= 2; count -= 2) {
        const std::size_t pair = static_cast<std::size_t>(number % 100);
        number /= 100;
        end -= 2;
        std::memcpy(end, PAIRS + 2 * pair, 2);
    }
    if (count == 1) {
        *--end = static_cast<char>('0' + number % 10);
        number /= 10;
    }
    return end;
}

// Fw.d of a magnitude already rounded to a whole number of 10^-d units,
// written from the right: the decimals, the point, the digits before it (or
// a zero where the field has room), the sign, blanks.
template <class Whole>
char* write_scaled_digits(char* end, Whole scaled, int decimals, int whole_digits, bool leading_zero)
{
    char* p = write_digits(end, scaled, decimals);
    *--p = '.';
    if (whole_digits > 0) {
        p = write_digits(p, scaled, whole_digits);
    } else if (leading_zero) {
        *--p = '0';
    }
    return p;
}

bool write_scaled(char* out, std::uint64_t scaled, bool negative, int width, int decimals)
{
    const int whole_digits = std::max(digit_count(scaled) - decimals, 0);
    const int needed = fixed_field_places(negative, whole_digits, decimals);
    if (needed > width) {
        fill(out, static_cast<std::size_t>(width), '*');
        return false;
    }
    const bool leading_zero = decimals == 0 || needed < width;
    char* p = scaled <= UINT32_MAX ? write_scaled_digits(out + width, static_cast<std::uint32_t>(scaled), decimals,
                                                         whole_digits, leading_zero)
                                   : write_scaled_digits(out + width, scaled, decimals, whole_digits, leading_zero);
    if (negative) *--p = '-';
    fill_blanks(out, static_cast<std::size_t>(p - out));
    return true;
}

// Fw.d's rounding on the fast path: the magnitude in whole units of its
// last decimal.  A float has 24 significant bits and 5^9 needs 21, so the
// product below is exact in double for up to nine decimals: rounding it to
// an integer rounds the exact value of the float.  Below 2^52, adding 2^52
// leaves no bits below the units, so the sum is the product rounded to a
// whole number by the machine's own rule, to nearest with ties to even, and
// taking 2^52 away again is exact; from 2^52 on every double is whole.  No
// branch depends on the digits, which data values make unpredictable.
// Nothing beyond the fast path (more than nine decimals, a product beyond
// 9e15).
std::optional<std::uint64_t> scaled_magnitude(double magnitude, int decimals)
{
    static constexpr double POWERS[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    constexpr double TWO_TO_52 = 4503599627370496.0;
    if (decimals < 0 || decimals > 9 || !(magnitude * POWERS[decimals] < 9.0e15)) return std::nullopt;
    const double exact = magnitude * POWERS[decimals];
    const double rounded = exact < TWO_TO_52 ? (exact + TWO_TO_52) - TWO_TO_52 : exact;
    return static_cast<std::uint64_t>(rounded);
}

// Fw.d of a magnitude beyond the fast path (more than nine decimals, or a
// product beyond 9e15): glibc prints the exact binary value, rounded to
// nearest, ties to even, which is the same rule.  Kept apart so that the
// fast path carries none of its buffers.
[[gnu::noinline]] bool write_printed_fixed(char* out, double magnitude, bool negative, int width, int decimals)
{
    constexpr std::size_t MOST_DIGITS = 400;
    std::string printed(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.*f", decimals, magnitude)) + 1, '\0');
    std::snprintf(printed.data(), printed.size(), "%.*f", decimals, magnitude);
    printed.pop_back();
    const std::size_t point = printed.find('.');
    std::string all = point == std::string::npos ? printed : printed.erase(point, 1);
    const std::size_t first = all.find_first_not_of('0');
    all = first == std::string::npos ? std::string("0") : all.substr(first);
    if (all.size() + 1 > static_cast<std::size_t>(width) || all.size() > MOST_DIGITS) {
        fill(out, static_cast<std::size_t>(width), '*');
        return false;
    }
    const char* const digits = all.data();
    std::size_t length = all.size();
    if (length == 1 && digits[0] == '0') length = 0;  // the rounded value is zero: no integer digits

    const int whole_digits = length > static_cast<std::size_t>(decimals) ? static_cast<int>(length) - decimals : 0;
    // With no decimals the zero before the point is the only digit and stays.
    const int needed = fixed_field_places(negative, whole_digits, decimals);
    if (needed > width) {
        fill(out, static_cast<std::size_t>(width), '*');
        return false;
    }
    const bool leading_zero = whole_digits == 0 && (decimals == 0 || needed < width);
    const int used = needed + (leading_zero && decimals > 0 ? 1 : 0);
    char* p = fill(out, static_cast<std::size_t>(width - used), ' ');
    if (negative) *p++ = '-';
    if (whole_digits > 0)
        p = copy(p, std::string_view(digits, static_cast<std::size_t>(whole_digits)));
    else if (leading_zero)
        *p++ = '0';
    *p++ = '.';
    const int fraction_digits = static_cast<int>(length) - whole_digits;
    p = fill(p, static_cast<std::size_t>(decimals - fraction_digits), '0');
    copy(p, std::string_view(digits + whole_digits, static_cast<std::size_t>(fraction_digits)));
    return true;
}

}  // namespace

// Fw.d of a float: the exact binary value rounded to d decimals, to nearest
// with ties to even; "0." before the decimals only when the field has room.
bool write_fixed_field(char* out, float value, int width, int decimals)
{
    // A plain zero, the commonest value of the data files: blanks, "0." and
    // the decimals' zeros, where the field has room for the leading zero.
    if (value == 0.0f && !std::signbit(value) && decimals >= 0 && decimals <= 9 && width >= decimals + 2) {
        const auto zeros = static_cast<std::size_t>(decimals);
        char* const point = out + width - decimals - 1;
        fill_blanks(out, static_cast<std::size_t>(point - 1 - out));
        point[-1] = '0';
        point[0] = '.';
        std::memset(point + 1, '0', zeros);
        return true;
    }
    const bool negative = std::signbit(value);
    if (std::isnan(value)) return write_right(out, "NaN", width);  // stars when narrower than 3
    if (std::isinf(value)) {
        const int room = width - (negative ? 1 : 0);
        if (room < 3) {
            fill(out, static_cast<std::size_t>(width), '*');
            return false;
        }
        const std::string_view name = room >= 8 ? "-Infinity" : "-Inf";
        return write_right(out, negative ? name : name.substr(1), width);
    }

    const double magnitude = std::fabs(static_cast<double>(value));
    if (const std::optional<std::uint64_t> scaled = scaled_magnitude(magnitude, decimals))
        return write_scaled(out, *scaled, negative, width, decimals);
    return write_printed_fixed(out, magnitude, negative, width, decimals);
}

std::optional<std::uint64_t> fixed_field_units(float value, int decimals)
{
    if (!std::isfinite(value)) return std::nullopt;
    return scaled_magnitude(std::fabs(static_cast<double>(value)), decimals);
}

bool fixed_field_holds(float value, int width, int decimals)
{
    if (width <= 0) return true;  // an empty field holds no asterisks
    if (std::isfinite(value)) {
        if (const std::optional<std::uint64_t> scaled =
                scaled_magnitude(std::fabs(static_cast<double>(value)), decimals)) {
            const int whole_digits = std::max(digit_count(*scaled) - decimals, 0);
            return fixed_field_places(std::signbit(value), whole_digits, decimals) <= width;
        }
    }
    return format_fixed(value, width, decimals).find('*') == std::string::npos;
}

// Iw.m of an integer: at least m digits (leading zeros), right-aligned; a
// zero with m = 0 is a blank field.
bool write_integer_field(char* out, int value, int width, int min_digits)
{
    const long long wide = value;
    const unsigned long long magnitude = static_cast<unsigned long long>(wide < 0 ? -wide : wide);
    char digits[24];
    std::size_t length = 0;
    if (!(magnitude == 0 && min_digits == 0)) {
        const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
        length = static_cast<std::size_t>(result.ptr - digits);
    }
    const std::size_t zeros =
        static_cast<std::size_t>(min_digits) > length ? static_cast<std::size_t>(min_digits) - length : 0;
    const std::size_t needed = (value < 0 ? 1 : 0) + zeros + length;
    if (needed > static_cast<std::size_t>(width)) {
        fill(out, static_cast<std::size_t>(width), '*');
        return false;
    }
    char* p = fill(out, static_cast<std::size_t>(width) - needed, ' ');
    if (value < 0) *p++ = '-';
    p = fill(p, zeros, '0');
    copy(p, std::string_view(digits, length));
    return true;
}

// Aw of a text: the text stands for a blank-padded character variable, so a
// shorter text is padded on the right and a longer one gives its first w
// characters.
void write_text_field(char* out, std::string_view text, int width)
{
    const std::size_t w = static_cast<std::size_t>(width);
    if (text.size() >= w) {
        copy(out, text.substr(0, w));
    } else {
        fill(copy(out, text), w - text.size(), ' ');
    }
}

namespace {

// ---------------------------------------------------------------------------
// Writing

class RecordWriter {
public:
    // `first_length` is the room the record is given at once; with
    // `first_only` the records after the first are counted, not kept (a
    // caller that expects one line reports the count).
    RecordWriter(const std::vector<FormatValue>& values, const std::string& source, std::size_t first_length,
                 bool first_only = false)
        : values_(values), source_(source), first_only_(first_only)
    {
        constexpr std::size_t MOST_ROOM = 65536;  // a layout of many repeats is not given more at once
        current_.resize(std::max<std::size_t>(std::min(first_length, MOST_ROOM), 16));
    }

    bool exhausted() const { return next_ == values_.size(); }
    std::size_t taken() const { return next_; }

    void literal(const Item& item)
    {
        settle();
        std::memcpy(room(item.text.size()), item.text.data(), item.text.size());
    }

    // Columns skipped at the end of a record are not written.
    void skip(int columns) { pending_ += columns; }

    void new_record()
    {
        pending_ = 0;
        finish_record();
        ++record_count_;
    }

    void data(const Item& item)
    {
        settle();
        switch (item.kind) {
            case ItemKind::Real:
                write_fixed_field(room(static_cast<std::size_t>(item.width)), next_value<float>(item, "a real number"),
                                  item.width, item.decimals);
                break;
            case ItemKind::Integer:
                write_integer_field(room(static_cast<std::size_t>(item.width)), next_value<int>(item, "an integer"),
                                    item.width, item.decimals);
                break;
            default: {
                const std::string& text = next_value<std::string>(item, "a text");
                if (item.width == 0) {
                    std::memcpy(room(text.size()), text.data(), text.size());
                } else {
                    write_text_field(room(static_cast<std::size_t>(item.width)), text, item.width);
                }
                break;
            }
        }
        ++next_;
    }

    // The records, the one being written closed.
    std::vector<std::string> take()
    {
        finish_record();
        return std::move(records_);
    }
    std::size_t record_count() const { return record_count_; }

private:
    // The next `count` characters of the record being written, to be
    // written in place: the record is built in a buffer that grows by
    // doubling and is copied out once when it is closed.
    char* room(std::size_t count)
    {
        if (current_.size() - used_ < count) current_.resize(std::max(2 * current_.size(), used_ + count));
        char* const at = current_.data() + used_;
        used_ += count;
        return at;
    }

    void finish_record()
    {
        if (!first_only_ || record_count_ == 1) records_.emplace_back(current_.data(), used_);
        used_ = 0;
    }

    void settle()
    {
        if (pending_ > 0) {
            fill_blanks(room(static_cast<std::size_t>(pending_)), static_cast<std::size_t>(pending_));
            pending_ = 0;
        }
    }

    // The next value for item as a T; a value of another type is refused,
    // naming what the descriptor wants.
    template <typename T>
    const T& next_value(const Item& item, const char* wanted) const
    {
        const T* value = std::get_if<T>(&values_[next_]);
        if (value == nullptr) {
            throw FormatError("value " + std::to_string(next_ + 1) + " for " + descriptor_name(item) + " in " +
                              source_ + " is not " + wanted);
        }
        return *value;
    }

    const std::vector<FormatValue>& values_;
    const std::string& source_;
    std::size_t next_ = 0;
    int pending_ = 0;
    bool first_only_ = false;
    std::size_t record_count_ = 1;
    std::string current_;  // the record being written: its first used_ characters
    std::size_t used_ = 0;
    std::vector<std::string> records_;
};

// ---------------------------------------------------------------------------
// Reading

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// An integer field as a Fortran formatted read takes it: blanks anywhere are
// ignored, a blank field is 0, an optional sign, then digits only.
std::optional<int> read_integer_field(std::string_view field)
{
    std::size_t i = 0;
    while (i < field.size() && is_blank(field[i])) ++i;
    if (i == field.size()) return 0;
    bool negative = false;
    if (field[i] == '-' || field[i] == '+') {
        negative = field[i] == '-';
        ++i;
        if (i == field.size()) return std::nullopt;
    }
    long long value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (is_blank(c)) continue;
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + (negative ? 1 : 0)) return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

bool equals_ignoring_case(std::string_view text, std::string_view word)
{
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

// A real field as a Fortran formatted read takes it: blanks anywhere are
// ignored and a blank field is 0; an optional sign; digits with at most one
// decimal point, and without a point the last d digits are decimals; then an
// optional exponent after E, D or Q, or after a bare sign ("1.5+2").  An
// exponent letter needs digits after it; an exponent sign needs at least a
// blank after it within the line (none counts as exponent 0); exponents
// beyond four digits are refused.  The field is
// the part of it that stands on the line; columns beyond the line's end
// are blank.  The digits are converted once, straight to float.
std::optional<float> read_real_field(std::string_view field, int decimals)
{
    std::size_t i = 0;
    const auto skip_blanks = [&] {
        while (i < field.size() && is_blank(field[i])) ++i;
    };
    skip_blanks();
    std::string number;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) {
        if (field[i] == '-') number.push_back('-');
        ++i;
        if (field.find_first_not_of(" \t", i) == std::string_view::npos) return 0.0f;  // a sign alone
    }
    // Infinity and NaN, as the Fortran run-time reads them.
    if (i < field.size() && std::string_view("iInN").find(field[i]) != std::string_view::npos) {
        std::string_view rest = field.substr(i);
        while (!rest.empty() && is_blank(rest.back())) rest.remove_suffix(1);
        if (equals_ignoring_case(rest, "inf") || equals_ignoring_case(rest, "infinity"))
            return number.empty() ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        if (equals_ignoring_case(rest.substr(0, 3), "nan") &&
            (rest.size() == 3 || (rest[3] == '(' && rest.back() == ')')))
            return std::numeric_limits<float>::quiet_NaN();
        return std::nullopt;
    }

    bool seen_point = false;
    std::string digits;
    long exponent = 0;          // from the digits after the point
    long written_exponent = 0;  // from the exponent part
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (is_blank(c)) continue;
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            if (seen_point) --exponent;
            continue;
        }
        if (c == '.') {
            if (seen_point) return std::nullopt;
            seen_point = true;
            continue;
        }
        if (std::string_view("EeDdQq+-").find(c) != std::string_view::npos) break;
        return std::nullopt;
    }
    if (i < field.size()) {
        // The exponent.
        bool need_digit = true;
        if (field[i] != '+' && field[i] != '-') {
            ++i;
            skip_blanks();
            if (i == field.size()) return std::nullopt;
        }
        bool negative_exponent = false;
        if (field[i] == '+' || field[i] == '-') {
            negative_exponent = field[i] == '-';
            ++i;
            if (i == field.size()) return std::nullopt;
            need_digit = false;
        }
        long value = 0;
        for (; i < field.size(); ++i) {
            const char c = field[i];
            if (is_blank(c)) continue;
            if (c < '0' || c > '9') return std::nullopt;
            need_digit = false;
            if (value < 1000000) value = value * 10 + (c - '0');
        }
        if (need_digit) return std::nullopt;
        written_exponent = negative_exponent ? -value : value;
    }
    // The exponent the field stands for, with its implied decimals, has at
    // most four digits.
    if (!seen_point) written_exponent -= decimals;
    if (written_exponent > 9999 || written_exponent < -9999) return std::nullopt;
    exponent += written_exponent;
    if (digits.empty()) digits = "0";
    number += digits;
    number += 'e';
    number += std::to_string(exponent);
    return std::strtof(number.c_str(), nullptr);
}

class RecordReader {
public:
    RecordReader(const std::vector<std::string>* lines, int count, const std::string& source)
        : lines_(lines), count_(static_cast<std::size_t>(count)), source_(source)
    {
    }

    bool exhausted() const { return taken_ == count_; }
    std::size_t taken() const { return taken_; }

    void literal(const Item& item)
    {
        throw FormatError("edit-descriptor list " + source_ + " has the literal '" + item.text +
                          "', which cannot be read");
    }

    void skip(int columns) { column_ += static_cast<std::size_t>(columns); }

    void new_record()
    {
        ++line_;
        column_ = 0;
    }

    void data(const Item& item)
    {
        ++taken_;
        if (lines_ == nullptr) return;  // only counting lines
        const std::string_view line = line_ < lines_->size() ? std::string_view((*lines_)[line_]) : "";
        const std::size_t first = column_;
        if (item.kind == ItemKind::Text && item.width == 0) {
            values_.emplace_back(std::string(first < line.size() ? line.substr(first) : ""));
            column_ = std::max(column_, line.size());
            return;
        }
        const std::size_t width = static_cast<std::size_t>(item.width);
        // The part of the field that stands on the line; the rest is blank.
        const std::string_view present = first < line.size() ? line.substr(first, width) : std::string_view();
        column_ += width;
        switch (item.kind) {
            case ItemKind::Real:
                if (const auto value = read_real_field(present, item.decimals))
                    values_.emplace_back(*value);
                else
                    bad_field(item, present, first);
                break;
            case ItemKind::Integer:
                if (const auto value = read_integer_field(present))
                    values_.emplace_back(*value);
                else
                    bad_field(item, present, first);
                break;
            default: {
                std::string text(present);
                text.resize(width, ' ');
                values_.emplace_back(std::move(text));
                break;
            }
        }
    }

    int lines_used() const { return static_cast<int>(line_) + 1; }
    std::vector<FormatValue> take() { return std::move(values_); }

private:
    [[noreturn]] void bad_field(const Item& item, std::string_view field, std::size_t first) const
    {
        throw FormatReadError("line " + std::to_string(line_ + 1) + " of the read, columns " +
                              std::to_string(first + 1) + " to " + std::to_string(first + item.width) + " (" +
                              descriptor_name(item) + " of " + source_ + "): " + quoted_item(field) + " is not " +
                              (item.kind == ItemKind::Real ? "a number" : "a whole number"));
    }

    const std::vector<std::string>* lines_;
    std::size_t count_;
    const std::string& source_;
    std::size_t taken_ = 0;
    std::size_t line_ = 0;
    std::size_t column_ = 0;
    std::vector<FormatValue> values_;
};

}  // namespace

// ---------------------------------------------------------------------------

struct Format::Parsed : ParsedList {};

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace

Format::Format(std::string_view descriptors)
{
    // The lists parsed so far, by their text.  A list that does not parse is
    // not kept: every use of it is refused alike.
    static std::unordered_map<std::string, std::shared_ptr<const Parsed>, TextHash, std::equal_to<>> parsed_lists;
    if (const auto known = parsed_lists.find(descriptors); known != parsed_lists.end()) {
        parsed_ = known->second;
        return;
    }
    auto parsed = std::make_shared<Parsed>();
    parsed->source = std::string(descriptors);
    Parser parser(descriptors);
    parsed->items = parser.parse();
    parsed->dollar = parser.dollar();
    for (std::size_t i = 0; i < parsed->items.size(); ++i) {
        if (parsed->items[i].kind == ItemKind::Group) parsed->reversion = i;
    }
    parsed->reversion_has_data = holds_data(parsed->items, parsed->reversion);
    add_record_length(parsed->items, parsed->first_record_length);
    parsed_ = parsed;
    parsed_lists.emplace(parsed->source, std::move(parsed));
}

Format::~Format() = default;

Format::Format(const Format& other) = default;

Format& Format::operator=(const Format& other) = default;

std::vector<std::string> Format::write(const std::vector<FormatValue>& values) const
{
    RecordWriter writer(values, parsed_->source, parsed_->first_record_length);
    Walker<RecordWriter> walker(*parsed_, writer);
    walker.run();
    return writer.take();
}

std::string Format::line(const std::vector<FormatValue>& values) const
{
    RecordWriter writer(values, parsed_->source, parsed_->first_record_length, true);
    Walker<RecordWriter> walker(*parsed_, writer);
    walker.run();
    if (writer.record_count() != 1)
        throw FormatError("edit-descriptor list " + parsed_->source + " made " + std::to_string(writer.record_count()) +
                          " records where one line was expected");
    return std::move(writer.take().front());
}

bool Format::stays_on_line() const
{
    return parsed_->dollar;
}

std::vector<FormatValue> Format::read(const std::vector<std::string>& lines, int count) const
{
    RecordReader reader(&lines, count, parsed_->source);
    Walker<RecordReader> walker(*parsed_, reader);
    walker.run();
    return reader.take();
}

int Format::lines_needed(int count) const
{
    RecordReader reader(nullptr, count, parsed_->source);
    Walker<RecordReader> walker(*parsed_, reader);
    walker.run();
    return reader.lines_used();
}

std::string format_line(std::string_view descriptors, const std::vector<FormatValue>& values)
{
    return Format(descriptors).line(values);
}

std::string format_fixed(float value, int width, int decimals)
{
    std::string field(static_cast<std::size_t>(std::max(width, 0)), ' ');
    if (width > 0) write_fixed_field(field.data(), value, width, decimals);
    return field;
}

std::string format_integer(int value, int width, int min_digits)
{
    std::string field(static_cast<std::size_t>(std::max(width, 0)), ' ');
    if (width > 0) write_integer_field(field.data(), value, width, min_digits);
    return field;
}

}  // namespace velm
