// The street-section table of a model file header: up to 50 distinct street
// cross-sections of nine values each, which the street-flow groups of the
// file refer to by section number.  A street edit looks its section up in
// the table of each storm event's model file (each file has its own table,
// so one edit may get different numbers in different files) and appends it
// when no stored section matches.
#pragma once

#include <array>
#include <stdexcept>
#include <string>

#include "records/model_edit_buffer.h"
#include "records/model_file.h"

namespace velm {

// Half-widths, distances, curb heights and gutter values match within this
// (ft); crossfalls and the friction factor must be equal.
inline constexpr float STREET_MATCH_TOLERANCE = 0.01f;

// The nine values of one section: half-width, crown to gradebreak, center
// lane crossfall, parkway crossfall x 1000 + outside lane crossfall, curb
// height (ft), gutter width, gutter lip, gutter hike, Manning n.
using StreetSectionRow = std::array<float, STREET_SECTION_VALUES>;

StreetSectionRow street_section_row(const StreetSectionEdit& street);
bool street_section_matches(const StreetSectionRow& stored, const StreetSectionRow& row);

// Why a street section cannot be found or added: the message is the one the
// editor shows, and nothing has been changed.
class StreetTableRefusal : public std::runtime_error {
public:
    enum class Reason {
        TableFull,      // the section would be the 51st
        ShortHeader,    // the header ends before the end of its table
        NegativeCount,  // the stored count of sections is below 0
    };
    StreetTableRefusal(Reason reason, const std::string& message) : std::runtime_error(message), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// The number (1 to 50) of the first stored section that matches the row;
// when none does, the row becomes the next section and the count grows by
// one.  StreetTableRefusal, with the header unchanged, when the table is
// full, the header is shorter than its layout, or its count is negative.
// `file_name` goes into the messages.
int find_or_add_street_section(ModelFileHeader& header, const StreetSectionRow& row, const std::string& file_name);

}  // namespace velm
