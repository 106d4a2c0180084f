#include "records/link_table.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include "platform/files.h"
#include "records/free_form.h"
#include "records/number_keys.h"

namespace velm {

namespace {

constexpr std::array<double, 10> POWERS_OF_TEN = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr std::array<float, 10> FLOAT_POWERS_OF_TEN = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f};
// Digits up to 2^24 are an exact float, so that the reader's value of the
// written text is one correctly rounded division.
constexpr double EXACT_FLOAT_DIGITS = 16777216.0;
constexpr double ROUNDING_SHIFT = 4503599627370496.0;  // 2^52

int decimal_digits(std::uint64_t number)
{
    int digits = 1;
    for (; number >= 10; number /= 10) ++digits;
    return digits;
}

// The round trip of an Fw.d field done in arithmetic, where the written text
// is plain: Fw.d writes the exact binary value times 10^d rounded to the
// nearest whole number (ties to even) as its digits, and the reader gives
// back the correctly rounded quotient digits / 10^d.  The product of a float
// and a power of ten up to 10^9 is exact in a double.  False where the text
// is not plain (a value that rounds to a negative zero, a field without room
// for the leading zero, too many digits, too wide, NaN or infinity): the
// text itself then decides.
bool plain_round_trip(float value, int width, int decimals, float& result)
{
    if (decimals < 0 || decimals >= static_cast<int>(POWERS_OF_TEN.size())) return false;
    const auto d = static_cast<std::size_t>(decimals);
    const double scaled = std::fabs(static_cast<double>(value)) * POWERS_OF_TEN[d];
    if (!(scaled <= EXACT_FLOAT_DIGITS)) return false;  // NaN too
    const double digits = (scaled + ROUNDING_SHIFT) - ROUNDING_SHIFT;
    const bool negative = std::signbit(value);
    if (digits == 0.0) {
        if (negative) return false;
        result = 0.0f;
        return true;
    }
    // The places left for the whole digits (at least one, a zero when there
    // are none) beside the sign, the point and the decimals: the whole part
    // digits / 10^d has room when it is below 10^room, that is when the
    // digits are below 10^(room + d).  Digits are below 2^24 < 10^8.
    const int room = width - (negative ? 1 : 0) - 1 - decimals;
    if (room < 1) return false;
    const auto limit = static_cast<std::size_t>(room) + d;
    if (limit < POWERS_OF_TEN.size() && !(digits < POWERS_OF_TEN[limit])) return false;
    const float magnitude = static_cast<float>(digits) / FLOAT_POWERS_OF_TEN[d];
    result = negative ? -magnitude : magnitude;
    return true;
}

bool integer_fits(int value, int width)
{
    const auto magnitude = static_cast<std::uint64_t>(value < 0 ? -static_cast<std::int64_t>(value) : value);
    return (value < 0 ? 1 : 0) + decimal_digits(magnitude) <= width;
}

// The writer refuses the record: its own error, with its own message.
[[noreturn]] void refuse(const LinkRecord& record, std::string_view file_name, int record_number)
{
    (void)link_record_line(record, file_name, record_number);
    throw std::logic_error("the link table refused a record the writer takes");
}

struct LinkColumnField {
    int column;
    int width;
    int decimals;
};

// The record's fields by kind, in column order: the reals, the integers, the
// text.
struct LinkColumnFields {
    std::vector<LinkColumnField> reals;
    std::vector<LinkColumnField> integers;
    bool text = false;
};

const LinkColumnFields& link_column_fields()
{
    static const LinkColumnFields fields = [] {
        LinkColumnFields all;
        for (int c = 1; c <= LINK_RECORD_VALUES; ++c) {
            const FieldSpec& field = LinkRecord::field(c);
            if (field.kind == ColumnKind::Real) all.reals.push_back({c, field.width, field.decimals});
            if (field.kind == ColumnKind::Integer) all.integers.push_back({c, field.width, field.decimals});
            if (field.kind == ColumnKind::Text) all.text = true;
        }
        return all;
    }();
    return fields;
}

}  // namespace

std::optional<float> field_round_trip(float value, const FieldSpec& field)
{
    float result = 0.0f;
    if (plain_round_trip(value, field.width, field.decimals, result)) return result;
    if (!std::isfinite(value)) return std::nullopt;
    const std::string text = format_fixed(value, field.width, field.decimals);
    if (text.find('*') != std::string::npos) return std::nullopt;
    if (!read_free_form_line(text, {&result}).ok()) return std::nullopt;
    return result;
}

void round_trip_link_record(LinkRecord& record, std::string_view file_name, int record_number)
{
    const LinkColumnFields& fields = link_column_fields();
    float* const reals = record.real_values();
    for (const LinkColumnField& field : fields.reals) {
        float& value = reals[field.column - 1];
        if (value == 0.0f && !std::signbit(value)) continue;  // the common case: 0 stays 0
        if (plain_round_trip(value, field.width, field.decimals, value)) continue;
        const std::optional<float> back =
            field_round_trip(value, FieldSpec{ColumnKind::Real, 0, field.width, field.decimals});
        if (!back) refuse(record, file_name, record_number);
        value = *back;
    }
    for (const LinkColumnField& field : fields.integers) {
        if (!integer_fits(record.integer_column(field.column), field.width)) refuse(record, file_name, record_number);
    }
    if (!fields.text) return;
    std::string& text = record.link_id();
    if (text.find_first_of("'\r\n") != std::string::npos) refuse(record, file_name, record_number);
    if (text.size() != LinkRecord::TEXT_LENGTH) text.resize(LinkRecord::TEXT_LENGTH, ' ');
}

void round_trip_link_columns(LinkRecord& record, std::span<const int> columns, std::string_view file_name,
                             int record_number)
{
    float* const reals = record.real_values();
    for (const int column : columns) {
        const FieldSpec& field = LinkRecord::field(column);
        switch (field.kind) {
            case ColumnKind::Real: {
                float& value = reals[column - 1];
                if (value == 0.0f && !std::signbit(value)) break;
                if (plain_round_trip(value, field.width, field.decimals, value)) break;
                const std::optional<float> back = field_round_trip(value, field);
                if (!back) refuse(record, file_name, record_number);
                value = *back;
                break;
            }
            case ColumnKind::Integer:
                if (!integer_fits(record.integer_column(column), field.width))
                    refuse(record, file_name, record_number);
                break;
            case ColumnKind::Text: {
                std::string& text = record.link_id();
                if (text.find_first_of("'\r\n") != std::string::npos) refuse(record, file_name, record_number);
                if (text.size() != LinkRecord::TEXT_LENGTH) text.resize(LinkRecord::TEXT_LENGTH, ' ');
                break;
            }
        }
    }
}

LinkTable::Entry* LinkTable::find(std::string_view name) const
{
    const auto found = index_.find(file_name_key(name));
    return found == index_.end() ? nullptr : entries_[found->second].get();
}

std::string LinkTable::source(std::string_view name) const
{
    return outputs_ != nullptr ? outputs_->current_file(name) : std::string(name);
}

LinkTable::File& LinkTable::file(std::string_view name, FilePresence presence)
{
    Entry* entry = find(name);
    if (entry == nullptr) {
        auto added = std::make_unique<Entry>();
        added->file.name = std::string(name);
        const std::string from = source(name);
        if (file_exists(from)) {
            added->file.records = read_link_data_base(from, FilePresence::MustExist);
            added->file.records.shrink_to_fit();  // held for the whole run
            added->file.exists = true;
            added->nodes_as_read = file_name_key(from) == file_name_key(name);
        }
        index_.emplace(file_name_key(name), entries_.size());
        entries_.push_back(std::move(added));
        entry = entries_.back().get();
    }
    // The error of reading a missing file that must exist.
    if (!entry->file.exists && presence == FilePresence::MustExist)
        (void)read_link_data_base(source(name), FilePresence::MustExist);
    return entry->file;
}

bool LinkTable::exists(std::string_view name) const
{
    if (const Entry* entry = find(name)) return entry->file.exists;
    return file_exists(source(name));
}

void LinkTable::store(File& file, std::string_view written_name)
{
    store(file, written_name, {}, true);
}

void LinkTable::store(File& file, std::string_view written_name, std::span<const int> changed)
{
    store(file, written_name, changed, false);
}

void LinkTable::store(File& file, std::string_view written_name, std::span<const int> changed, bool every_column)
{
    const std::size_t position = index_.at(file_name_key(file.name));
    Entry& entry = *entries_[position];
    // The first store of a run rounds every column: a data base read from
    // its file may hold more decimals than its fields write.
    const bool whole_records = every_column || !entry.rounded;
    bool nodes_kept = true;
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        LinkRecord& record = file.records[i];
        const std::uint64_t nodes = node_pair_key(record.upstream_node(), record.downstream_node());
        if (whole_records) {
            round_trip_link_record(record, written_name, static_cast<int>(i) + 1);
        } else {
            round_trip_link_columns(record, changed, written_name, static_cast<int>(i) + 1);
        }
        if (node_pair_key(record.upstream_node(), record.downstream_node()) != nodes) nodes_kept = false;
    }
    entry.rounded = true;
    file.exists = true;
    if (!file.written) stored_.push_back(position);
    file.written = true;
    if (!nodes_kept) {
        // A node number took its field's rounding.
        entry.first_leaving.reset();
        entry.nodes_as_read = false;
    }
}

const std::vector<LinkRecord>* LinkTable::records_as_read(std::string_view name) const
{
    const Entry* entry = find(name);
    return entry != nullptr && entry->nodes_as_read ? &entry->file.records : nullptr;
}

const LinkRecord* LinkTable::first_leaving(File& file, float node)
{
    Entry& entry = *entries_[index_.at(file_name_key(file.name))];
    if (!entry.first_leaving) {
        entry.first_leaving = std::make_unique<std::unordered_map<std::uint32_t, std::uint32_t>>();
        for (std::size_t i = 0; i < file.records.size(); ++i)
            entry.first_leaving->try_emplace(number_key(file.records[i].upstream_node()),
                                             static_cast<std::uint32_t>(i));
    }
    const auto found = entry.first_leaving->find(number_key(node));
    return found == entry.first_leaving->end() ? nullptr : &file.records[found->second];
}

void LinkTable::write_files(RunOutputs& outputs) const
{
    for (const std::size_t position : stored_) {
        const File& file = entries_[position]->file;
        write_link_data_base(outputs.new_file(file.name), file.records);
    }
}

const std::vector<LinkRecord>& link_data_base_records(LinkTable* table, std::string_view name, FilePresence presence,
                                                      std::vector<LinkRecord>& storage)
{
    if (table != nullptr) return table->file(name, presence).records;
    storage = read_link_data_base(name, presence);
    return storage;
}

}  // namespace velm
