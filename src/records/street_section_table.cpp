// The street-section table of a model file header.
#include "records/street_section_table.h"

#include <cmath>

namespace velm {

namespace {

// Which row values match within the tolerance (the others must be equal).
constexpr std::array<bool, STREET_SECTION_VALUES> WITHIN_TOLERANCE{true, true, false, false, true,
                                                                   true, true, false, false};

}  // namespace

StreetSectionRow street_section_row(const StreetSectionEdit& street)
{
    return {street.street_half_width,
            street.crown_to_gradebreak_distance,
            street.center_lane_crossfall,
            static_cast<float>(static_cast<double>(street.parkway_crossfall) * 1000.0 +
                               static_cast<double>(street.outside_lane_crossfall)),
            street.curb_height,
            street.gutter_width,
            street.gutter_lip,
            street.gutter_hike,
            street.street_friction_factor};
}

bool street_section_matches(const StreetSectionRow& stored, const StreetSectionRow& row)
{
    for (std::size_t k = 0; k < stored.size(); ++k) {
        if (WITHIN_TOLERANCE[k]) {
            const double difference = std::fabs(static_cast<double>(stored[k]) - static_cast<double>(row[k]));
            if (!(difference <= static_cast<double>(STREET_MATCH_TOLERANCE))) return false;
        } else if (stored[k] != row[k]) {
            return false;
        }
    }
    return true;
}

int find_or_add_street_section(ModelFileHeader& header, const StreetSectionRow& row, const std::string& file_name)
{
    const int table_end = header.street_table_position() + header.street_table_capacity() * STREET_SECTION_VALUES - 1;
    if (header.length() < table_end) {
        throw StreetTableRefusal(StreetTableRefusal::Reason::ShortHeader,
                                 "The header of " + file_name + " holds " + std::to_string(header.length()) +
                                     " values, fewer than its street section table needs (" +
                                     std::to_string(table_end) + "): nothing was changed.");
    }
    const int count = header.street_section_count();
    if (count < 0) {
        throw StreetTableRefusal(StreetTableRefusal::Reason::NegativeCount, "The street section count of " + file_name +
                                                                                " is " + std::to_string(count) +
                                                                                ", below 0: nothing was changed.");
    }
    const int capacity = header.street_table_capacity();
    const int searched = count < capacity ? count : capacity;
    for (int section = 1; section <= searched; ++section) {
        if (street_section_matches(header.street_section(section), row)) return section;
    }
    if (count + 1 > capacity) {
        throw StreetTableRefusal(StreetTableRefusal::Reason::TableFull,
                                 "All [50] street sections of " + file_name + " have been used.");
    }
    header.set_street_section(count + 1, row);
    header.set_street_section_count(count + 1);
    return count + 1;
}

}  // namespace velm
