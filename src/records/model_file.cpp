// The link-node model file: header, group layouts and the one walker.
#include "records/model_file.h"
#include "records/hydrology_model_type.h"
#include "records/process_codes.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "platform/files.h"
#include "records/format.h"

namespace velm {

namespace {

// Codes, counts and switches stored as reals are used by their integer part;
// a value beyond any integer (or not a number) has none.
std::optional<int> integer_part(float value)
{
    if (!(std::fabs(value) < 1.0e9f)) return std::nullopt;
    return static_cast<int>(value);
}

// Rounded to the nearest whole number, halves away from zero; nothing for a
// value that is not a number or lies beyond any integer.
std::optional<int> round_half_away(double value)
{
    if (!(std::fabs(value) < 1.0e9)) return std::nullopt;
    return static_cast<int>(std::round(value));
}

// A value as messages show it: the shortest plain decimal that reads back to it.
std::string value_text(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("?");
}

[[noreturn]] void refuse(std::string_view name, std::size_t record, const std::string& what)
{
    std::ostringstream message;
    message << name << ": record " << record << ": " << what;
    throw FileError(message.str());
}

// Header lengths a file of this layout may have: the old form exactly, the
// current form or longer (values after the fixed part are copied by every
// rewriter).
bool header_length_fits(int length, bool compact)
{
    const int current = compact ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES;
    const int old = compact ? OLD_COMPACT_HEADER_VALUES : OLD_FULL_HEADER_VALUES;
    return length == old || length >= current;
}

// The header's layout must follow from its model type, and its switch must
// agree: the compact layout (types 7 and 8) is the one whose subarea parts
// carry the extension values.
void check_header(const ModelFileHeader& header, std::string_view name)
{
    const int length = header.length();
    if (length < 12) {
        std::ostringstream what;
        what << "the header holds only " << length << " values before the first group marker; not a model file";
        refuse(name, static_cast<std::size_t>(length) + 1, what.str());
    }
    const int type = header.model_type();
    const bool compact = header.is_compact();
    if (!header_length_fits(length, compact)) {
        std::ostringstream what;
        what << "the header holds " << length << " values before the first group marker; a model file of model type "
             << type << " has " << (compact ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES) << " (or "
             << (compact ? OLD_COMPACT_HEADER_VALUES : OLD_FULL_HEADER_VALUES) << " in the older layout)";
        refuse(name, static_cast<std::size_t>(length) + 1, what.str());
    }
    const int switch_value = header.subarea_extension_switch();
    if ((switch_value == 2) != compact) {
        std::ostringstream what;
        what << "header value 7 (" << value_text(header.value(7)) << ") gives the subarea extension switch "
             << switch_value << ", which does not fit model type " << type
             << " (the switch is 2 exactly in files of model types 7 and 8)";
        refuse(name, 7, what.str());
    }
}

bool is_value_record(RecordView record)
{
    return record.size() == sizeof(float);
}
bool is_text_record(RecordView record)
{
    return record.size() == static_cast<std::size_t>(MODEL_TEXT_LENGTH);
}

std::string describe_group(std::size_t group_number, const ModelGroup& group)
{
    std::ostringstream text;
    text << "group " << group_number << " (nodes " << value_text(group.upstream_node) << " to "
         << value_text(group.downstream_node) << ", code " << value_text(group.code_value) << ")";
    return text.str();
}

// The layouts of the groups of model types other than 10.  `extension` is
// SUBAREA_EXTENSION_VALUES when the file's switch is 2, else 0.
std::optional<GroupLayout> general_layout(int code, int extension)
{
    GroupLayout layout;
    // The short forms and synonyms that every reader maps.
    code = canonical_process_code(code);
    layout.family_code = code;
    // A subarea part (packed_subarea and 18 land-use values) at `position`.
    auto subarea_at = [&layout](int position) {
        layout.packed_subarea_position = position;
        layout.land_use_position = position + 1;
        return position + SUBAREA_PART_VALUES;
    };
    auto extension_at = [&layout, extension](int position) {
        if (extension > 0) layout.extension_position = position;
        return position + extension;
    };
    auto elements = [&layout](int count) {
        layout.element_position = 1;
        layout.element_count = count;
        return 1 + count;
    };
    int next = 1;  // the data position after the parts laid so far
    switch (code) {
        case 0:
            next += 1;
            break;
        case 1:
            next += 2;
            break;
        case 21:
        case 22:
            next = extension_at(subarea_at(4));
            break;
        case 81:
            next = extension_at(subarea_at(1));
            break;
        case 82:
            next = extension_at(subarea_at(1) + 3);
            break;
        case 31:
        case 35:
        case 38:
        case 39:
        case 40:
            next = elements(4);
            break;
        case 32:
            layout.street_position = elements(4);
            next = extension_at(subarea_at(layout.street_position + 5));
            break;
        case 33:
        case 34:
        case 43:
            layout.street_position = elements(6);
            next = extension_at(subarea_at(layout.street_position + 5));
            break;
        case 36:
        case 37:
        case 41:
        case 42:
        case 44:
        case 45:
        case 46:
        case 47:
            next = elements(6);
            break;
        case 51:
        case 52:
        case 53:
        case 55:
        case 56:
            next = extension_at(subarea_at(elements(7)));
            break;
        case 61:
            layout.street_position = subarea_at(4);
            next = extension_at(layout.street_position + 5 + 1);
            break;
        case 62:
            layout.street_position = subarea_at(4);
            next = extension_at(layout.street_position + 1 + 1);
            break;
        case 63:
            layout.street_position = subarea_at(4);
            next = extension_at(layout.street_position + 1 + 1) + 3;
            break;
        case 7:
            next += 6;
            break;
        case 9:
            next = extension_at(subarea_at(4) + 6);
            break;
        case 10:
        case 11:
        case 12:
        case 14:
            next += 1;
            break;
        case 13:
            break;
        case 151:
        case 152:
            next += 1;
            layout.text = true;
            break;
        case 16:
            next += 4;
            break;
        default:
            return std::nullopt;
    }
    layout.data_count = next - 1;
    return layout;
}

// Model type 10 (curve numbers with storage elements): the subarea groups,
// the channels and the storage elements have lengths of their own, a text
// group is as in every file, and every other group runs to the next marker.
GroupLayout type10_layout(int code)
{
    GroupLayout layout;
    layout.family_code = code;
    switch (code) {
        case 21:
            layout.data_count = 88;  // 4, six land-use cells, 11 (the subarea number last), 55
            layout.land_use_position = 5;
            layout.subarea_number_position = 33;
            break;
        case 51:
        case 52:
            layout.data_count = 77;  // 7 channel values, then 70
            layout.element_position = 1;
            layout.element_count = 7;
            break;
        case 61:
            layout.data_count = 77;  // 7 values, then the 70-value storage routing block
            break;
        case 15:
        case 151:
        case 152:
            layout.family_code = code == 15 ? 151 : code;
            layout.data_count = 1;
            layout.text = true;
            break;
        default:
            layout.data_count = SCANNED_TO_MARKER;
            break;
    }
    return layout;
}

}  // namespace

std::string model_file_name(std::string_view data_file_stem, std::string_view extension)
{
    static const Format layout(MODEL_FILE_NAME_FORMAT);
    return layout.line({std::string(data_file_stem), std::string(extension)});
}

// ---------------------------------------------------------------- header

int ModelFileHeader::model_type() const
{
    return integer_part(std::fabs(value(2))).value_or(0);
}

int ModelFileHeader::subarea_extension_switch() const
{
    const float stored = value(7);
    const int switch_value = integer_part(stored).value_or(0);
    if (stored < 1.0f) {
        // Files of the older hydrology programs leave value 7 empty; their
        // value 2 tells by its tenths digit that the subarea parts are short.
        const double magnitude = std::fabs(static_cast<double>(value(2)));
        const std::optional<int> tenths = round_half_away(10.0 * (magnitude - static_cast<double>(model_type())));
        if (tenths && (*tenths == 0 || *tenths == 3)) return 1;
    }
    return switch_value;
}

int ModelFileHeader::gis_update_option() const
{
    return integer_part(std::fmod(value(9), 10.0f)).value_or(0);
}

float ModelFileHeader::storm_return_frequency() const
{
    return std::fabs(value(12));
}

bool ModelFileHeader::is_compact() const
{
    const int type = model_type();
    return is_model_type(type, HydrologyModelType::LotSizeLandUse) ||
           is_model_type(type, HydrologyModelType::RuralLotAveraged);
}

bool ModelFileHeader::is_old_layout() const
{
    return length() == (is_compact() ? OLD_COMPACT_HEADER_VALUES : OLD_FULL_HEADER_VALUES);
}

HeaderLayout ModelFileHeader::layout() const
{
    if (is_compact()) return is_old_layout() ? HeaderLayout::OldCompact : HeaderLayout::Compact;
    return is_old_layout() ? HeaderLayout::OldFull : HeaderLayout::Full;
}

int ModelFileHeader::street_section_count() const
{
    return integer_part(value(street_section_count_position())).value_or(0);
}

void ModelFileHeader::set_street_section_count(int count)
{
    set_value(street_section_count_position(), static_cast<float>(count));
}

std::array<float, STREET_SECTION_VALUES> ModelFileHeader::street_section(int section) const
{
    if (section < 1 || section > street_table_capacity()) throw std::out_of_range("street section number");
    std::array<float, STREET_SECTION_VALUES> row{};
    const int first = street_table_position() + STREET_SECTION_VALUES * (section - 1);
    for (int k = 0; k < STREET_SECTION_VALUES; ++k) row[static_cast<std::size_t>(k)] = value(first + k);
    return row;
}

void ModelFileHeader::set_street_section(int section, const std::array<float, STREET_SECTION_VALUES>& row)
{
    if (section < 1 || section > street_table_capacity()) throw std::out_of_range("street section number");
    const int first = street_table_position() + STREET_SECTION_VALUES * (section - 1);
    for (int k = 0; k < STREET_SECTION_VALUES; ++k) set_value(first + k, row[static_cast<std::size_t>(k)]);
}

bool ModelFileHeader::upgrade_layout()
{
    // The header length alone selects the form.
    int kept = 0;
    if (length() == OLD_COMPACT_HEADER_VALUES) {
        kept = 161;
    } else if (length() == OLD_FULL_HEADER_VALUES) {
        kept = 157;
    } else {
        return false;
    }
    const int inserted = (MAX_STREET_SECTIONS - OLD_STREET_SECTIONS) * STREET_SECTION_VALUES;
    values.insert(values.begin() + kept, static_cast<std::size_t>(inserted), 0.0f);
    return true;
}

// ---------------------------------------------------------------- groups

std::optional<GroupLayout> group_layout(float code_value, int model_type, int subarea_extension_switch)
{
    const std::optional<int> code = integer_part(code_value);
    if (!code || *code < 0) return std::nullopt;
    if (is_curve_number_model(model_type)) return type10_layout(*code);
    return general_layout(*code, subarea_extension_switch == 2 ? SUBAREA_EXTENSION_VALUES : 0);
}

int packed_subarea_code(float packed)
{
    return integer_part(packed).value_or(0);
}

float packed_subarea_number(float packed)
{
    const double stored = static_cast<double>(packed);
    // A value that is not a number carries no subarea.
    return static_cast<float>(round_half_away((stored - std::trunc(stored)) * 1000000.0).value_or(0));
}

float pack_subarea(int code, float subarea_number)
{
    return static_cast<float>(static_cast<double>(code) + static_cast<double>(subarea_number) / 1000000.0);
}

GroupLayout ModelFile::layout_of(const ModelGroup& group) const
{
    const std::optional<GroupLayout> layout =
        group_layout(group.code_value, header.model_type(), header.subarea_extension_switch());
    if (!layout) throw std::logic_error("model group of unknown code " + value_text(group.code_value));
    return *layout;
}

// ---------------------------------------------------------------- walker

// Every value of a model file is a finite real: a NaN, an infinity (the
// reading of a value beyond the range of a real) is no data.
float finite_model_value(float value, std::string_view name, std::size_t record)
{
    if (!std::isfinite(value))
        refuse(name, record, "the value " + value_text(value) + " is not a number within the range of a real");
    return value;
}

ModelFile split_model_records(const std::vector<RecordBytes>& records, std::string_view name)
{
    return split_model_records(std::vector<RecordView>(records.begin(), records.end()), name);
}

ModelFile split_model_records(const std::vector<RecordView>& records, std::string_view name)
{
    ModelFile file;
    auto finite = [&](float value, std::size_t record_number) {
        return finite_model_value(value, name, record_number);
    };
    const std::size_t count = records.size();
    std::size_t next = 0;  // index of the next record; its record number is next + 1

    // The header: every value before the first marker.
    while (next < count) {
        const RecordView record = records[next];
        if (!is_value_record(record)) {
            refuse(name, next + 1,
                   "a record of " + std::to_string(record.size()) +
                       " bytes inside the header, where every record is one value");
        }
        const float value = finite(payload_float(record, 0), next + 1);
        if (value == GROUP_MARKER) break;
        file.header.values.push_back(value);
        ++next;
    }
    check_header(file.header, name);
    const int type = file.header.model_type();
    const int switch_value = file.header.subarea_extension_switch();

    // The next record as one value; `what` names it for the messages
    // ("data value 3" is data_value 3 with what "data value").
    auto read_value = [&](const char* what, int data_value, const ModelGroup* group, std::size_t group_number) {
        auto named = [&] {
            return data_value > 0 ? std::string(what) + " " + std::to_string(data_value) : std::string(what);
        };
        if (next >= count) {
            const std::string context =
                group ? describe_group(group_number, *group) : "group " + std::to_string(group_number);
            refuse(name, next + 1, "the file ends inside " + context + ", before its " + named());
        }
        const RecordView record = records[next];
        if (!is_value_record(record)) {
            refuse(name, next + 1,
                   "a record of " + std::to_string(record.size()) + " bytes where the " + named() + " of group " +
                       std::to_string(group_number) + " belongs");
        }
        ++next;
        return finite(payload_float(record, 0), next);
    };

    while (next < count) {
        const std::size_t group_number = file.groups.size() + 1;
        const std::size_t marker_record = next + 1;
        const float marker = read_value("marker", 0, nullptr, group_number);
        if (marker != GROUP_MARKER) {
            const ModelGroup& previous = file.groups.back();
            refuse(name, marker_record,
                   "the value " + value_text(marker) + " stands where group " + std::to_string(group_number) +
                       " should start with the marker -222222.0; " + describe_group(group_number - 1, previous) +
                       " is longer than its code allows");
        }
        ModelGroup group;
        group.upstream_node = read_value("upstream node", 0, nullptr, group_number);
        group.downstream_node = read_value("downstream node", 0, nullptr, group_number);
        group.code_value = read_value("code", 0, nullptr, group_number);
        const std::optional<GroupLayout> layout = group_layout(group.code_value, type, switch_value);
        if (!layout) {
            refuse(name, next,
                   describe_group(group_number, group) + ": no model file of model type " + std::to_string(type) +
                       " holds a group of this code");
        }
        if (layout->data_count == SCANNED_TO_MARKER) {
            while (next < count) {
                const RecordView record = records[next];
                if (!is_value_record(record)) {
                    refuse(name, next + 1,
                           "a record of " + std::to_string(record.size()) + " bytes inside " +
                               describe_group(group_number, group) + ", where every record is one value");
                }
                if (payload_float(record, 0) == GROUP_MARKER) break;
                group.values.push_back(finite(payload_float(record, 0), next + 1));
                ++next;
            }
        } else {
            group.values.reserve(static_cast<std::size_t>(layout->data_count));
            for (int k = 1; k <= layout->data_count; ++k) {
                const std::size_t record_number = next + 1;
                const float value = read_value("data value", k, &group, group_number);
                if (value == GROUP_MARKER) {
                    refuse(name, record_number,
                           describe_group(group_number, group) + " has only " + std::to_string(k - 1) + " of the " +
                               std::to_string(layout->data_count) + " data values of its code before the next marker");
                }
                group.values.push_back(value);
            }
            if (layout->text) {
                if (next >= count) {
                    refuse(name, next + 1,
                           "the file ends inside " + describe_group(group_number, group) +
                               ", before its 50-character text");
                }
                const RecordView record = records[next];
                if (!is_text_record(record)) {
                    refuse(name, next + 1,
                           describe_group(group_number, group) +
                               " needs a 50-character text here, "
                               "the record holds " +
                               std::to_string(record.size()) + " bytes");
                }
                group.text = std::string(reinterpret_cast<const char*>(record.data()), record.size());
                ++next;
            }
        }
        file.groups.push_back(std::move(group));
    }
    return file;
}

std::vector<RecordBytes> model_file_records(const ModelFile& file, std::string_view name)
{
    std::vector<RecordBytes> records;
    // Record numbers in messages are those the written file would have.
    // `where` names the value, and is called only for a message.
    auto add_value = [&](float value, const auto& where) {
        if (!std::isfinite(value)) {
            refuse(name, records.size() + 1, where() + " is " + value_text(value) + ", which no model file may hold");
        }
        if (value == GROUP_MARKER) {
            refuse(name, records.size() + 1, where() + " equals the group marker -222222.0, which only opens a group");
        }
        records.push_back(float_payload(value));
    };

    check_header(file.header, name);
    for (int k = 1; k <= file.header.length(); ++k) {
        add_value(file.header.value(k), [k] { return "header value " + std::to_string(k); });
    }

    const int type = file.header.model_type();
    const int switch_value = file.header.subarea_extension_switch();
    std::size_t group_number = 0;
    for (const ModelGroup& group : file.groups) {
        ++group_number;
        auto context = [&] { return describe_group(group_number, group); };
        records.push_back(float_payload(GROUP_MARKER));
        add_value(group.upstream_node, [&] { return context() + ": the upstream node"; });
        add_value(group.downstream_node, [&] { return context() + ": the downstream node"; });
        add_value(group.code_value, [&] { return context() + ": the code"; });
        const std::optional<GroupLayout> layout = group_layout(group.code_value, type, switch_value);
        if (!layout) {
            refuse(name, records.size(),
                   context() + ": no model file of model type " + std::to_string(type) + " holds a group of this code");
        }
        if (layout->data_count != SCANNED_TO_MARKER &&
            group.values.size() != static_cast<std::size_t>(layout->data_count)) {
            refuse(name, records.size() + 1,
                   context() + " holds " + std::to_string(group.values.size()) + " data values; its code carries " +
                       std::to_string(layout->data_count));
        }
        for (std::size_t k = 0; k < group.values.size(); ++k) {
            add_value(group.values[k], [&] { return context() + ": data value " + std::to_string(k + 1); });
        }
        if (layout->text != group.text.has_value()) {
            refuse(name, records.size() + 1,
                   context() + (layout->text ? " lacks the 50-character text of its code"
                                             : " holds a text that its code does not carry"));
        }
        if (group.text) {
            if (group.text->size() != static_cast<std::size_t>(MODEL_TEXT_LENGTH)) {
                refuse(name, records.size() + 1,
                       context() + ": its text holds " + std::to_string(group.text->size()) + " characters, not 50");
            }
            records.push_back(text_payload(*group.text));
        }
    }
    return records;
}

ModelFile read_model_file(std::string_view name)
{
    const std::string bytes = read_whole_file(name);
    return split_model_records(record_views(bytes, name), name);
}

void write_model_file(std::string_view name, const ModelFile& file)
{
    const std::string bytes = encode_records(model_file_records(file, name));
    replace_file_atomically(name, bytes);
}

void visit_model_groups(ModelFile& file, const ModelGroupVisitor& visit)
{
    for (ModelGroup& group : file.groups) visit(group, file.layout_of(group));
}

void rewrite_model_file(std::string_view name, const std::function<void(ModelFile&)>& edit)
{
    ModelFile file = read_model_file(name);
    edit(file);
    write_model_file(name, file);
}

}  // namespace velm
