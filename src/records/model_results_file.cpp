// The model results file (".ZZZ"): groups of binary records, one group per
// model element, read whole record by record.
#include "records/model_results_file.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "platform/files.h"
#include "platform/record_file.h"
#include "records/format.h"

namespace velm {
namespace {

constexpr std::size_t VALUE_BYTES = 4;

// Reads the groups record by record, keeping the record number for messages.
class GroupReader {
public:
    explicit GroupReader(std::string_view name)
        : name_(name), bytes_(read_whole_file(name)), records_(record_views(bytes_, name))
    {
    }
    GroupReader(const GroupReader&) = delete;  // the records view this reader's own bytes
    GroupReader& operator=(const GroupReader&) = delete;

    bool at_end() const { return next_ >= records_.size(); }
    // The number of the record taken last, counted from 1.
    std::size_t last_record() const { return next_; }

    // The next record of the group, which must hold at least `values` values.
    RecordView take(std::string_view what, long long values)
    {
        const std::size_t number = next_ + 1;  // records count from 1
        if (at_end()) fail(number, "the file ends inside a results group, before its " + std::string(what));
        const RecordView record = records_[next_++];
        if (values > 0 && record.size() < static_cast<std::size_t>(values) * VALUE_BYTES)
            fail(number, "the " + std::string(what) + " holds " + std::to_string(record.size() / VALUE_BYTES) +
                             " values where " + std::to_string(values) + " are needed");
        return record;
    }

    static float real_at(RecordView record, int position)
    {
        return payload_float(record, static_cast<std::size_t>(position - 1) * VALUE_BYTES);
    }
    static int integer_at(RecordView record, int position)
    {
        return payload_int(record, static_cast<std::size_t>(position - 1) * VALUE_BYTES);
    }

    // The count of the records that follow, taken from the record read
    // last: a negative count, or one beyond the records the file still
    // holds (the bits of a NaN or an infinity read as an integer), is
    // refused naming that record, not the record where the file would end.
    int count_of_following(RecordView record, std::string_view what) const
    {
        const int count = integer_at(record, 1);
        const std::size_t left = records_.size() - next_;
        if (count < 0 || static_cast<std::size_t>(count) > left) {
            std::string shown = std::to_string(count);
            // A count far out of range may be a real's bits: show that reading.
            constexpr int FAR_OUT = 1 << 23;
            if (const float as_real = real_at(record, 1);
                (count >= FAR_OUT || count <= -FAR_OUT) && !std::isfinite(as_real))
                shown += " (as a real, " + value_text(as_real) + ")";
            fail(next_, "the " + std::string(what) + " holds " + shown + ", not a count of the " +
                            std::to_string(left) + " records that follow it");
        }
        return count;
    }

    // A value the system takes must be a finite number.
    float finite(float value, std::size_t record, std::string_view what, int position) const
    {
        if (!std::isfinite(value))
            fail(record, "value " + std::to_string(position) + " of the " + std::string(what) + " is " +
                             value_text(value) + ", not a number within the range of a real");
        return value;
    }

private:
    static std::string value_text(float value)
    {
        if (std::isnan(value)) return "NaN";
        return value > 0.0f ? "Infinity" : "-Infinity";
    }

    [[noreturn]] void fail(std::size_t record, const std::string& what) const
    {
        throw FileError("File '" + name_ + "', record " + std::to_string(record) + ": " + what);
    }

    std::string name_;
    std::string bytes_;  // the file, which the records view
    std::vector<RecordView> records_;
    std::size_t next_ = 0;
};

// A record of `count` values, 0 except those set.
class PayloadBuilder {
public:
    explicit PayloadBuilder(int count) : payload_(static_cast<std::size_t>(count) * VALUE_BYTES) {}
    PayloadBuilder& real(int position, float value) { return put(position, std::bit_cast<std::uint32_t>(value)); }
    PayloadBuilder& integer(int position, std::int32_t value)
    {
        return put(position, std::bit_cast<std::uint32_t>(value));
    }
    const RecordBytes& payload() const { return payload_; }

private:
    PayloadBuilder& put(int position, std::uint32_t bits)
    {
        const std::size_t offset = static_cast<std::size_t>(position - 1) * VALUE_BYTES;
        for (std::size_t i = 0; i < VALUE_BYTES; ++i)
            payload_[offset + i] = static_cast<std::byte>((bits >> (8 * i)) & 0xFFu);
        return *this;
    }
    RecordBytes payload_;
};

}  // namespace

std::string model_results_file_name(std::string_view data_file_stem)
{
    return format_line(MODEL_RESULTS_FILE_NAME_FORMAT, {std::string(data_file_stem)});
}

std::vector<ModelResultsGroup> read_model_results_file(std::string_view name)
{
    GroupReader reader(name);
    std::vector<ModelResultsGroup> groups;
    while (!reader.at_end()) {
        reader.take("first record of a group", 1);
        const RecordView element = reader.take("element record", RESULTS_ELEMENT_VALUES);
        const std::size_t element_record = reader.last_record();
        const int triples = GroupReader::integer_at(element, 8);
        reader.take("record of triples", triples > 0 ? 3LL * triples : 0);
        const RecordView hydrology = reader.take("hydrology record", RESULTS_HYDROLOGY_VALUES);
        const std::size_t hydrology_record = reader.last_record();
        reader.take("routing record", RESULTS_ROUTING_VALUES);
        const int rows = reader.count_of_following(reader.take("table count record", 1), "table count record");
        for (int row = 0; row < rows; ++row) reader.take("table record", RESULTS_TABLE_ROW_VALUES);
        for (int row = 0; row < RESULTS_FIXED_TABLE_ROWS; ++row)
            reader.take("fixed table record", RESULTS_TABLE_ROW_VALUES);

        auto element_real = [&](int position) {
            return reader.finite(GroupReader::real_at(element, position), element_record, "element record", position);
        };
        auto hydrology_real = [&](int position) {
            return reader.finite(GroupReader::real_at(hydrology, position), hydrology_record, "hydrology record",
                                 position);
        };
        ModelResultsGroup group;
        group.upstream_node = element_real(1);
        group.downstream_node = element_real(2);
        group.process_code = GroupReader::integer_at(element, 3);
        group.downstream_time_of_concentration = hydrology_real(3);
        group.subarea_added_area = hydrology_real(4);
        group.total_tributary_area = hydrology_real(6);
        group.travel_time = hydrology_real(17);
        groups.push_back(group);
    }
    return groups;
}

void write_model_results_file(std::string_view name, const std::vector<ModelResultsGroup>& groups)
{
    std::vector<RecordBytes> records;
    const RecordBytes table_row = PayloadBuilder(RESULTS_TABLE_ROW_VALUES).payload();
    for (const ModelResultsGroup& group : groups) {
        records.push_back(PayloadBuilder(1).payload());
        records.push_back(PayloadBuilder(RESULTS_ELEMENT_VALUES)
                              .real(1, group.upstream_node)
                              .real(2, group.downstream_node)
                              .integer(3, group.process_code)
                              .payload());
        records.push_back({});  // no triples
        records.push_back(PayloadBuilder(RESULTS_HYDROLOGY_VALUES)
                              .real(3, group.downstream_time_of_concentration)
                              .real(4, group.subarea_added_area)
                              .real(6, group.total_tributary_area)
                              .real(17, group.travel_time)
                              .payload());
        records.push_back(PayloadBuilder(RESULTS_ROUTING_VALUES).payload());
        records.push_back(PayloadBuilder(1).integer(1, 0).payload());
        for (int row = 0; row < RESULTS_FIXED_TABLE_ROWS; ++row) records.push_back(table_row);
    }
    replace_file_atomically(name, encode_records(records));
}

}  // namespace velm
