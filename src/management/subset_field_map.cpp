#include "management/subset_field_map.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"

namespace velm {

namespace {

// The defaults: the record key first.  Subareas: column 99 and the six
// land-use cells of four values (114-137).  Links: the two node numbers,
// columns 3 to 29 but the link ID (6), 9 and 21, then 129 and 131 to 133.
constexpr std::array<int, 15> NODE_DEFAULT_FIELDS{1, 2, 4, 55, 56, 57, 226, 227, 228, 229, 230, 231, 295, 296, 297};
constexpr std::array<int, 26> SUBAREA_DEFAULT_FIELDS{1,   99,  114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124,
                                                     125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137};
constexpr std::array<int, 30> LINK_DEFAULT_FIELDS{1,  2,  3,  4,  5,  7,  8,  10, 11, 12, 13, 14,  15,  16,  17,
                                                  18, 19, 20, 22, 23, 24, 25, 26, 27, 28, 29, 129, 131, 132, 133};

template <std::size_t N>
SubsetFieldList default_list(const std::array<int, N>& columns)
{
    SubsetFieldList list{};
    std::copy(columns.begin(), columns.end(), list.begin());
    return list;
}

constexpr std::array<DataBaseKind, DATA_BASE_KINDS> KINDS{DataBaseKind::NodeKind, DataBaseKind::SubareaKind,
                                                          DataBaseKind::LinkKind};

}  // namespace

int record_values(DataBaseKind kind)
{
    switch (kind) {
        case DataBaseKind::NodeKind:
            return NODE_RECORD_VALUES;
        case DataBaseKind::SubareaKind:
            return SUBAREA_RECORD_VALUES;
        case DataBaseKind::LinkKind:
            return LINK_RECORD_VALUES;
    }
    return 0;
}

void set_subset_field_map_defaults(SubsetFieldMap& map)
{
    map.default_global_field = {default_list(NODE_DEFAULT_FIELDS), default_list(SUBAREA_DEFAULT_FIELDS),
                                default_list(LINK_DEFAULT_FIELDS)};
    map.global_field = map.default_global_field;
}

int subset_field_count(const SubsetFieldList& list)
{
    return static_cast<int>(std::count_if(list.begin(), list.end(), [](int column) { return column != 0; }));
}

int subset_leading_fields(const SubsetFieldList& list)
{
    return static_cast<int>(std::find(list.begin(), list.end(), 0) - list.begin());
}

bool read_subset_specification(std::string_view file_name, SubsetFieldMap& map)
{
    if (!file_exists(file_name)) return false;
    TextReader lines(file_name);
    FreeFormReader reader(lines);
    for (DataBaseKind kind : KINDS) {
        SubsetFieldList list{};
        std::vector<FreeFormTarget> targets;
        for (int& entry : list) targets.emplace_back(&entry);
        const FreeFormResult result = reader.read(targets);
        if (result.status == FreeFormStatus::EndOfFile) {
            throw FileError("Subset specification '" + std::string(file_name) + "' ends before its line " +
                            std::to_string(static_cast<int>(kind)));
        }
        if (!result.ok()) throw FileError(result.message);
        for (int& entry : list) {
            if (entry < 1 || entry > record_values(kind)) entry = 0;
        }
        map.fields(kind) = list;
    }
    return true;
}

void write_subset_specification(std::string_view file_name, const SubsetFieldMap& map)
{
    static const Format line_format(SUBSET_SPECIFICATION_LINE_FORMAT);
    TextWriter writer{std::string(file_name)};
    for (DataBaseKind kind : KINDS) {
        std::vector<FormatValue> values(map.fields(kind).begin(), map.fields(kind).end());
        writer.write_line(line_format.line(values));
    }
    writer.commit();
}

}  // namespace velm
