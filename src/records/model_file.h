// The link-node model file: one binary file per map and storm event, written
// by the companion hydrology program.  It is a header of single-precision
// values followed by one record group per network process (a subarea entering
// at a node, a reach through a conduit or channel, a confluence, a seam to
// another map...).  Every value is one record of the record-file layout; the
// only other record is the 50-character text of a seam (text) group.
//
// One walker serves every reader and rewriter of the system: it cuts the
// records into the header and the groups, knowing each code's group length
// from the header's model type and subarea extension switch, and checks the
// marker at the start of every group, so that the exact walkers (which count
// values) and the scanning readers (which look for markers) always find the
// same groups.  A file that does not walk cleanly is refused with a message
// naming the file and the record; a rewrite never replaces a model file with
// one that would not walk.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/record_file.h"

namespace velm {

// Opens every group and so ends the header; no header or group data value
// may equal it.
inline constexpr float GROUP_MARKER = -222222.0f;

inline constexpr int MODEL_TEXT_LENGTH = 50;  // characters of a text group's text record
inline constexpr int MAX_STREET_SECTIONS = 50;
inline constexpr int OLD_STREET_SECTIONS = 10;  // street table of the older header layouts
inline constexpr int STREET_SECTION_VALUES = 9;
inline constexpr int SUBAREA_EXTENSION_VALUES = 6;
inline constexpr int LAND_USE_VALUES = 18;                       // six cells of land-use code, soil code, area
inline constexpr int SUBAREA_PART_VALUES = 1 + LAND_USE_VALUES;  // packed_subarea and the cells

// Header lengths (values before the first marker) of the four layouts.
inline constexpr int FULL_HEADER_VALUES = 538;
inline constexpr int COMPACT_HEADER_VALUES = 523;
inline constexpr int OLD_FULL_HEADER_VALUES = 178;
inline constexpr int OLD_COMPACT_HEADER_VALUES = 163;

// The model file of a map and storm event: the 8-character data file stem
// ("AB2304ZZ") and the model file extension ("Z13").
inline constexpr std::string_view MODEL_FILE_NAME_FORMAT = "(A8,'.',A3)";
std::string model_file_name(std::string_view data_file_stem, std::string_view extension);

enum class HeaderLayout {
    Full,        // 538 values: every model type but 7 and 8
    Compact,     // 523 values: model types 7 and 8
    OldFull,     // 178 values: the full layout with a 10-section street table
    OldCompact,  // 163 values: the compact layout with a 10-section street table
};

// The values before the first GROUP_MARKER.  Positions count from 1.
struct ModelFileHeader {
    std::vector<float> values;

    float value(int position) const { return values.at(static_cast<std::size_t>(position - 1)); }
    void set_value(int position, float v) { values.at(static_cast<std::size_t>(position - 1)) = v; }
    int length() const { return static_cast<int>(values.size()); }

    // HydrologyModelType: the integer part of |value 2|.
    int model_type() const;
    // Value 2 of zero or below marks metric data.
    bool is_metric() const { return value(2) <= 0.0f; }
    // The integer part of value 7, except that a value 7 below 1.0 in a file
    // whose value 2 has the tenths digit 0 or 3 gives 1.  Groups carry the six
    // subarea extension values exactly when the switch is 2.
    int subarea_extension_switch() const;
    bool has_subarea_extension() const { return subarea_extension_switch() == 2; }
    // GisUpdateOption: the integer part of MOD(value 9, 10); keeps the sign.
    int gis_update_option() const;
    // The storm event's return frequency: |value 12| (years).
    float storm_return_frequency() const;

    // Layout by model type (compact for 7 and 8) and length (the old forms
    // have 163 and 178 values).  Only meaningful for a header that the walker
    // has accepted.
    HeaderLayout layout() const;
    bool is_compact() const;
    bool is_old_layout() const;

    // Street-section table: the number of sections in use (integer part of
    // the count value) and section k (1 up to the table's capacity), nine
    // consecutive values.
    int street_section_count_position() const { return is_compact() ? 71 : 67; }
    int street_table_position() const { return street_section_count_position() + 1; }
    int street_table_capacity() const { return is_old_layout() ? OLD_STREET_SECTIONS : MAX_STREET_SECTIONS; }
    int street_section_count() const;
    void set_street_section_count(int count);
    std::array<float, STREET_SECTION_VALUES> street_section(int section) const;
    void set_street_section(int section, const std::array<float, STREET_SECTION_VALUES>& row);

    // Brings an old 163- or 178-value header to the 523- or 538-value layout:
    // keeps the values before the end of the 10-section table, inserts 360
    // zeros (sections 11 to 50, not in use) and keeps the rest.  False, and
    // nothing changed, for a header in any other form.
    bool upgrade_layout();
};

// The group layouts: the number of data values after the code and where the
// parts that the editors and the GIS update address stand in them.  Positions
// are 1-based data positions (the first value after the code is 1); 0 means
// the group has no such part.
inline constexpr int SCANNED_TO_MARKER = -1;

struct GroupLayout {
    int family_code = 0;              // the code the group is handled as (short forms and synonyms mapped)
    int data_count = 0;               // data values after the code, or SCANNED_TO_MARKER
    bool text = false;                // a 50-character text record follows the data values
    int packed_subarea_position = 0;  // packed_subarea, followed by the 18 land-use values
    int land_use_position = 0;        // first of the six land-use cells
    int subarea_number_position = 0;  // type 10: the subarea number, unpacked
    int extension_position = 0;       // first of the six subarea extension values
    int street_position = 0;          // conduits 32, 33, 34, 43: the five street values (section number
                                      // first); 61: its five street values; 62, 63: the section number
    int element_position = 0;         // first element value (conduits, open channels)
    int element_count = 0;            // 4 or 6 conduit values, 7 channel values
};

// The layout of a group of this code as stored (its integer part is the
// code) in a file of this model type and extension switch; nothing for a code
// that no model file of such a type holds.
std::optional<GroupLayout> group_layout(float code_value, int model_type, int subarea_extension_switch);

// One group: the marker (not kept), the node pair, the code as stored and
// the data values; a text group also keeps its 50-character text whole.
struct ModelGroup {
    float upstream_node = 0.0f;       // node number
    float downstream_node = 0.0f;     // equal to upstream_node when the group is not a reach
    float code_value = 0.0f;          // ProcessCode as stored, e.g. 2.0 or 21.7
    std::vector<float> values;        // data values after the code
    std::optional<std::string> text;  // text group: the 50 characters after the values

    int process_code() const { return static_cast<int>(code_value); }
};

// packed_subarea: the integer part is a code (the number of land-use cells
// in use; 0 means no subarea), the fraction times 1 000 000 rounded to the
// nearest whole number is the subarea number.
int packed_subarea_code(float packed);
float packed_subarea_number(float packed);
float pack_subarea(int code, float subarea_number);

struct ModelFile {
    ModelFileHeader header;
    std::vector<ModelGroup> groups;

    int model_type() const { return header.model_type(); }
    // The layout of one of the file's groups (the walker has checked it).
    GroupLayout layout_of(const ModelGroup& group) const;
};

// The walker over the records of a model file; `name` is used in messages.
// Throws FileError naming the file and the record when the header length
// does not fit its model type and switch, a group does not start with the
// marker, a code is unknown, a group runs past the end of the file, or a
// record is a text where a value belongs (or the reverse).
ModelFile split_model_records(const std::vector<RecordBytes>& records, std::string_view name);
// The same over the records where they stand in the file's bytes.
ModelFile split_model_records(const std::vector<RecordView>& records, std::string_view name);
// The records of a model file, after the same checks as a read (a group's
// values must fit its code's length) and the check that no value is NaN or
// infinite: FileError naming the file, the group and the value otherwise.
std::vector<RecordBytes> model_file_records(const ModelFile& file, std::string_view name);

// A value a reader took from record `record` of the model file `name`
// without the walk (a few header values): the value itself when it is a
// finite number, else FileError naming the file and the record, as the
// walker refuses it.
float finite_model_value(float value, std::string_view name, std::size_t record);

// Reads a whole model file (it must exist).
ModelFile read_model_file(std::string_view name);
// Writes the model file whole and replaces the old one atomically, after the
// checks of model_file_records: a refused file leaves the old one in place.
void write_model_file(std::string_view name, const ModelFile& file);

// The rewriters' pass: every group in file order with its layout; the
// visitor changes the values it replaces and leaves the rest.
using ModelGroupVisitor = std::function<void(ModelGroup& group, const GroupLayout& layout)>;
void visit_model_groups(ModelFile& file, const ModelGroupVisitor& visit);

// Reads the model file, lets `edit` change its header and groups, and writes
// it back atomically.  A group the edit did not touch is written back exactly
// as it was read.
void rewrite_model_file(std::string_view name, const std::function<void(ModelFile&)>& edit);

}  // namespace velm
