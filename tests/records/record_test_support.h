// Test helpers for the record files: records filled with random values that
// fit their fields.
#pragma once

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "records/format.h"
#include "records/link_data_base.h"
#include "records/record_columns.h"

namespace velm::testing {

// True when Fw.d meets a tie of its rounding: there the system rounds to
// even and other writers may not, so differential tests avoid such values.
inline bool is_rounding_tie(float value, int decimals)
{
    const long double scaled = static_cast<long double>(value) * std::pow(10.0L, decimals);
    return std::fabs(scaled - std::floor(scaled)) == 0.5L;
}

// A real that its Fw.d field holds: up to all integer digits the field has
// room for, up to three decimals more than it writes (so that rounding is
// exercised), negative where the field has room for the sign.
inline float random_real(std::mt19937& rng, const FieldSpec& field)
{
    const int room = field.width - field.decimals - 1;
    for (;;) {
        const bool negative = room >= 1 && std::uniform_int_distribution<int>(0, 3)(rng) == 0;
        const int digits = std::uniform_int_distribution<int>(0, negative ? room - 1 : room)(rng);
        const int decimals = field.decimals + std::uniform_int_distribution<int>(0, 3)(rng);
        std::string text = negative ? "-" : "";
        for (int i = 0; i < digits; ++i)
            text += static_cast<char>('0' + std::uniform_int_distribution<int>(i == 0 ? 1 : 0, 9)(rng));
        if (digits == 0) text += '0';
        text += '.';
        for (int i = 0; i < decimals; ++i)
            text += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(rng));
        const float value = std::strtof(text.c_str(), nullptr);
        if (is_rounding_tie(value, field.decimals)) continue;
        if (format_fixed(value, field.width, field.decimals).find('*') != std::string::npos) continue;
        return value;
    }
}

inline int random_integer(std::mt19937& rng, const FieldSpec& field)
{
    const int largest = static_cast<int>(std::pow(10, field.width)) - 1;
    const int smallest = -(static_cast<int>(std::pow(10, field.width - 1)) - 1);
    return std::uniform_int_distribution<int>(smallest, largest)(rng);
}

// Ten characters of letters, digits, blanks and punctuation (no apostrophe).
inline std::string random_text(std::mt19937& rng)
{
    static const std::string alphabet = "ABCXYZabcxyz0189 -_./,*:#\"";
    const int length = std::uniform_int_distribution<int>(0, 10)(rng);
    std::string text;
    for (int i = 0; i < length; ++i)
        text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    text.resize(10, ' ');
    return text;
}

// A record of type R whose every column holds a random value of its field.
template <class R, class SetText>
R random_record(std::mt19937& rng, SetText set_text)
{
    R record;
    for (int c = 1; c <= R::COLUMN_COUNT; ++c) {
        switch (R::kind(c)) {
            case ColumnKind::Real:
                record.column(c) = random_real(rng, R::field(c));
                break;
            case ColumnKind::Integer:
                record.integer_column(c) = random_integer(rng, R::field(c));
                break;
            case ColumnKind::Text:
                set_text(record, random_text(rng));
                break;
        }
    }
    return record;
}

template <class R>
R random_record(std::mt19937& rng)
{
    return random_record<R>(rng, [](R&, const std::string&) {});
}

// A link from one node to another, every other column 0.
inline LinkRecord link(float upstream, float downstream)
{
    LinkRecord record;
    record.upstream_node() = upstream;
    record.downstream_node() = downstream;
    record.link_id() = "L";
    return record;
}

}  // namespace velm::testing
