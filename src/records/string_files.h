// String files and the string index.  A hydraulic string is a chain of links
// from a headwater node (or a confluence) down to the next confluence or a
// system outlet.  Each string has its own text file, one record per link in
// flow order: first the six-value finder form, later the 196-value long form
// that the telescoping pass writes in its place.  The study's index lists the
// strings.  Every file is written with its fixed layout and read back
// free-form; every rewrite replaces the whole file atomically.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// File names (before the data directory is put in front).
inline constexpr std::string_view STRING_FILE_NAME_FORMAT = "(A2,I4.4,'ZZ.ZST')";
inline constexpr std::string_view STRING_INDEX_FILE_NAME_FORMAT = "(A2,'INDXZZ.ZST')";
std::string string_file_name(std::string_view study_id, int string_number);

// String numbers beyond four digits.  The layouts number strings with four
// digits, which holds the system's 5000 strings; a larger study numbers its
// strings from 10000 on with five ("AB10000ZZ.ZST", index record " 10000"),
// and every other name and line stays as it is.
inline constexpr int LAST_FOUR_DIGIT_STRING_NUMBER = 9999;
inline constexpr std::string_view WIDE_STRING_FILE_NAME_FORMAT = "(A2,I5.5,'ZZ.ZST')";
inline constexpr std::string_view WIDE_STRING_INDEX_RECORD_FORMAT = "(1X,I5.5,7(1X,F8.1))";
// A screen or report layout that shows a string number with I4.4 or I4, as
// it shows this string's number: five digits wide beyond 9999.
std::string string_number_layout(std::string_view layout, int string_number);
std::string string_index_file_name(std::string_view study_id);

// Finder form: one line per link, 54 characters.
inline constexpr std::string_view STRING_RECORD_FORMAT = "(2(1X,F8.1),4(1X,F8.2))";
inline constexpr int STRING_RECORD_VALUES = 6;

struct StringRecord {
    float upstream_node = 0.0f;         // link data base column 1
    float downstream_node = 0.0f;       // column 2
    float link_length = 0.0f;           // ft, column 8
    float peak_flow_rate = 0.0f;        // cfs: smallest non-zero of columns 37-42, 0.0 when all are zero
    float upstream_elevation = 0.0f;    // ft, column 3
    float downstream_elevation = 0.0f;  // ft, column 4
};

// Long form: 196 values of nine characters each, 1764 characters a line.
inline constexpr std::string_view TELESCOPED_STRING_RECORD_FORMAT =
    "(2(1X,F8.1),4(1X,F8.2),1X,F8.4,5(1X,F8.2),1X,F8.4,2(1X,F8.2),1X,F8.4,3(1X,F8.2),3(1X,F8.4),1X,F8.2,"
    "5(1X,F8.4),5(1X,F8.2),1X,F8.4,2(1X,F8.2),1X,F8.4,10(1X,F8.4),3(1X,F8.4),17(1X,F8.2),1X,F8.5,"
    "2(1X,F8.6),1X,F8.0,125(1X,F8.2))";
inline constexpr int TELESCOPED_STRING_VALUES = 196;

// The members follow the 196 values in order; "column N" is the link data
// base column the telescoping pass copies (as its link table holds it).
struct TelescopedStringRecord {
    float upstream_node = 0.0f;              // 1
    float downstream_node = 0.0f;            // 2
    float upstream_elevation = 0.0f;         // 3 ft
    float downstream_elevation = 0.0f;       // 4 ft
    float process_code = 0.0f;               // 5 column 7, positive
    float link_length = 0.0f;                // 6 ft
    float link_slope = 0.0f;                 // 7 ft/ft, column 9
    float element_type = 0.0f;               // 8 ElementType of the existing element, column 22
    float element_height = 0.0f;             // 9 ft, height or diameter, column 23
    float element_base_width = 0.0f;         // 10 ft (pipes: number of pipes), column 24
    float element_side_slope = 0.0f;         // 11 column 25
    float channel_freeboard = 0.0f;          // 12 ft, column 27
    float element_friction_factor = 0.0f;    // 13 Manning n, column 26
    float element_invert_upstream = 0.0f;    // 14 ft, column 28
    float element_invert_downstream = 0.0f;  // 15 ft, column 29
    float element_invert_slope = 0.0f;       // 16 ft/ft, column 30
    // The street section, 17 to 28.
    float street_column_21 = 0.0f;              // 17 column 21 (a whole number)
    float curb_height = 0.0f;                   // 18 ft, column 10
    float street_half_width = 0.0f;             // 19 ft, column 11
    float gutter_lip = 0.0f;                    // 20 column 12
    float gutter_width = 0.0f;                  // 21 column 13
    float gutter_hike = 0.0f;                   // 22 column 14
    float crown_to_gradebreak_distance = 0.0f;  // 23 ft, column 15
    float center_lane_crossfall = 0.0f;         // 24 column 16
    float outside_lane_crossfall = 0.0f;        // 25 column 17
    float parkway_crossfall = 0.0f;             // 26 column 18
    float street_column_19 = 0.0f;              // 27 column 19 (a whole number)
    float street_friction_factor = 0.0f;        // 28 column 20
    // The element the pass chose for the link.
    float telescoped_shape = 0.0f;            // 29 1 pipe, 2 box, 3 channel; negative when marked
    float telescoped_size = 0.0f;             // 30 ft, diameter or height
    float telescoped_width = 0.0f;            // 31 ft (pipes: number of pipes)
    float telescoped_side_slope = 0.0f;       // 32
    float telescoped_freeboard = 0.0f;        // 33 ft
    float telescoped_friction_factor = 0.0f;  // 34 Manning n
    float link_upstream_hgl = 0.0f;           // 35 ft, column 139
    float link_downstream_hgl = 0.0f;         // 36 ft, column 140
    // The last parallel element the pass recorded.
    float parallel_shape = 0.0f;                 // 37
    float parallel_size = 0.0f;                  // 38 ft
    float parallel_width = 0.0f;                 // 39 ft
    float parallel_side_slope = 0.0f;            // 40
    float parallel_friction_factor = 0.0f;       // 41
    std::array<float, 8> values_42_49{};         // 42-49, 0.0
    float sizing_slope = 0.0f;                   // 50 ft/ft
    float link_capacity = 0.0f;                  // 51 cfs, column 75 (column 74 when 75 is -1.0)
    float telescoped_capacity = 0.0f;            // 52 cfs, 88888.0 above 99999.0
    std::array<float, 12> link_columns_31_42{};  // 53-64 (59-64 the six peak flow rates, cfs)
    float carried_flow = 0.0f;                   // 65 cfs
    std::array<float, 31> values_66_96{};        // 66-96, 0.0
    std::array<float, 6> link_columns_43_48{};   // 97-102
    std::array<float, 94> values_103_196{};      // 103-196, 0.0

    // The values in file order, and back.
    std::array<float, TELESCOPED_STRING_VALUES> values() const;
    static TelescopedStringRecord from_values(const std::array<float, TELESCOPED_STRING_VALUES>& values);
};

// What the gap report looks at in a line of the long form.
struct TelescopedLinkSummary {
    float upstream_node = 0.0f;    // 1
    float downstream_node = 0.0f;  // 2
    float process_code = 0.0f;     // 5
    float element_type = 0.0f;     // 8
    float curb_height = 0.0f;      // 18
};
std::vector<TelescopedLinkSummary> telescoped_link_summaries(const std::vector<TelescopedStringRecord>& records);
// The summary of a written long-form line as a read of the line gives it
// back; only the values up to the curb height are read.
TelescopedLinkSummary telescoped_link_summary(std::string_view line);

// The index: a header of ten values, then one record per string.
inline constexpr std::string_view STRING_INDEX_HEADER_FORMAT = "(10(1X,F8.1))";
inline constexpr std::string_view STRING_INDEX_RECORD_FORMAT = "(1X,I4.4,7(1X,F8.1))";
inline constexpr int STRING_INDEX_HEADER_VALUES = 10;

struct StringIndexHeader {
    // Value 1 is 1.0 once a telescoping pass has sized independently; the
    // others are kept as read.
    std::array<float, STRING_INDEX_HEADER_VALUES> values{};
};

struct StringIndexRecord {
    int string_number = 0;              // 1 up to the number of strings
    float upstream_node = 0.0f;         // upstream node of the string's first link
    float outlet_node = 0.0f;           // downstream node of its last link
    float processing_level = 0.0f;      // 0.0 as the string finder writes it
    float outlet_system_number = 0.0f;  // 0.0 as the string finder writes it
    float outlet_hgl_control = 0.0f;    // ft, outlet HGL control elevation
    float value_7 = 0.0f;               // 0.0
    float value_8 = 0.0f;               // 0.0
};

struct StringIndexFile {
    StringIndexHeader header;
    std::vector<StringIndexRecord> records;
};

// The lines of the layouts.  A value that is not a finite number or does not
// fit its field is refused with FileError naming the file, the record
// (line) and the field.
std::string string_record_line(const StringRecord& record, std::string_view file_name = {}, int line_number = 0);
std::string telescoped_string_record_line(const TelescopedStringRecord& record, std::string_view file_name = {},
                                          int line_number = 0);

// Reading: the file must exist (FileError otherwise); a record that cannot
// be read ends the read with FileError naming the file and the line.
std::vector<StringRecord> read_string_file(std::string_view name);
std::vector<TelescopedStringRecord> read_telescoped_string_file(std::string_view name);
// An index that exists but is empty reads as a header of zeros.
StringIndexFile read_string_index_file(std::string_view name);

// Writing: the whole file, replaced atomically; nothing is written when a
// record is refused.
void write_string_file(std::string_view name, const std::vector<StringRecord>& records);
void write_telescoped_string_file(std::string_view name, const std::vector<TelescopedStringRecord>& records);
void write_string_index_file(std::string_view name, const StringIndexFile& index);

// The long form as lines, each refused like the writer refuses it, and the
// file of given lines.
std::vector<std::string> telescoped_string_file_lines(std::string_view name,
                                                      const std::vector<TelescopedStringRecord>& records);
void write_string_file_lines(std::string_view name, const std::vector<std::string>& lines);

}  // namespace velm
