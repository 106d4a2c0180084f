// Sequential unformatted record files: every record framed by its length as
// a 4-byte little-endian integer before and after the payload.
#include "platform/record_file.h"

#include <bit>
#include <cstring>
#include <limits>

#include "platform/files.h"

namespace velm {
namespace {

void put_u32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFFu);
}

std::uint32_t get_u32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint32_t payload_u32(RecordView payload, std::size_t offset)
{
    if (offset > payload.size() || payload.size() - offset < 4) return 0;
    return get_u32(reinterpret_cast<const unsigned char*>(payload.data() + offset));
}

void append_u32(RecordBytes& payload, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) payload.push_back(static_cast<std::byte>((value >> shift) & 0xFFu));
}

[[noreturn]] void broken_record(std::string_view name, std::size_t record, std::string_view what)
{
    throw FileError("File '" + std::string(name) + "', record " + std::to_string(record) + ": " + std::string(what));
}

}  // namespace

RecordBytes float_payload(float value)
{
    RecordBytes payload;
    append_u32(payload, std::bit_cast<std::uint32_t>(value));
    return payload;
}

RecordBytes floats_payload(const std::vector<float>& values)
{
    RecordBytes payload;
    payload.reserve(values.size() * 4);
    for (float value : values) append_u32(payload, std::bit_cast<std::uint32_t>(value));
    return payload;
}

RecordBytes text_payload(std::string_view text)
{
    RecordBytes payload(text.size());
    std::memcpy(payload.data(), text.data(), text.size());
    return payload;
}

float payload_float(RecordView payload, std::size_t offset)
{
    return std::bit_cast<float>(payload_u32(payload, offset));
}

std::int32_t payload_int(RecordView payload, std::size_t offset)
{
    return std::bit_cast<std::int32_t>(payload_u32(payload, offset));
}

std::string encode_records(const std::vector<RecordBytes>& records)
{
    std::size_t total = 0;
    for (const auto& record : records) total += record.size() + 8;
    std::string bytes;
    bytes.reserve(total);
    for (const auto& record : records) {
        if (record.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            throw FileError("A record of " + std::to_string(record.size()) + " bytes is too long for a record file");
        }
        const auto length = static_cast<std::uint32_t>(record.size());
        put_u32(bytes, length);
        bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
        put_u32(bytes, length);
    }
    return bytes;
}

std::vector<RecordBytes> decode_records(std::string_view bytes, std::string_view name)
{
    std::vector<RecordBytes> records;
    for (const RecordView record : record_views(bytes, name)) records.emplace_back(record.begin(), record.end());
    return records;
}

std::vector<RecordView> record_views(std::string_view bytes, std::string_view name)
{
    std::vector<RecordView> records;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const std::size_t number = records.size() + 1;
        const std::size_t left = bytes.size() - offset;
        if (left < 4) broken_record(name, number, "the file ends inside a record length");
        const std::uint32_t length = get_u32(data + offset);
        if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
            left - 4 < static_cast<std::size_t>(length) + 4) {
            broken_record(name, number, "the record runs past the end of the file");
        }
        if (get_u32(data + offset + 4 + length) != length) {
            broken_record(name, number, "the record lengths before and after it disagree");
        }
        records.emplace_back(reinterpret_cast<const std::byte*>(data + offset + 4), static_cast<std::size_t>(length));
        offset += static_cast<std::size_t>(length) + 8;
    }
    return records;
}

RecordFile::RecordFile(std::string name, Open how) : name_(std::move(name))
{
    bool exists = false;
    if (how == Open::MustExist) {
        records_ = decode_records(read_whole_file(name_), name_);  // FileError when missing
        exists = true;
    } else if (how == Open::CreateIfMissing) {
        if (auto bytes = read_whole_file_if_exists(name_)) {
            records_ = decode_records(*bytes, name_);
            exists = true;
        }
    }
    // A file that is new, or started afresh, is written on close even if empty.
    modified_ = how == Open::New || !exists;
    open_ = true;
}

RecordFile::~RecordFile()
{
    try {
        close_keep();
    } catch (...) {
        // A destructor must not throw; an explicit close_keep reports failures.
    }
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : name_(std::move(other.name_)),
      records_(std::move(other.records_)),
      position_(other.position_),
      modified_(other.modified_),
      open_(other.open_),
      past_end_(other.past_end_)
{
    other.open_ = false;
}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept
{
    if (this != &other) {
        try {
            close_keep();
        } catch (...) {
            // As in the destructor: the file being replaced is closed quietly.
        }
        name_ = std::move(other.name_);
        records_ = std::move(other.records_);
        position_ = other.position_;
        modified_ = other.modified_;
        open_ = other.open_;
        past_end_ = other.past_end_;
        other.open_ = false;
    }
    return *this;
}

bool RecordFile::meet_end()
{
    past_end_ = at_end();
    return past_end_;
}

std::optional<RecordBytes> RecordFile::read_record()
{
    if (meet_end()) return std::nullopt;
    return records_[position_++];
}

std::optional<float> RecordFile::read_value()
{
    if (meet_end()) return std::nullopt;
    const RecordBytes& record = records_[position_];
    if (record.size() < 4) broken_record(name_, position_ + 1, "the record is too short for a value");
    ++position_;
    return payload_float(record, 0);
}

std::optional<std::string> RecordFile::read_text()
{
    if (meet_end()) return std::nullopt;
    const RecordBytes& record = records_[position_++];
    return std::string(reinterpret_cast<const char*>(record.data()), record.size());
}

void RecordFile::write_record(const RecordBytes& payload)
{
    past_end_ = false;
    records_.resize(position_);
    records_.push_back(payload);
    ++position_;
    modified_ = true;
}

void RecordFile::write_value(float value)
{
    write_record(float_payload(value));
}

void RecordFile::write_values(const std::vector<float>& values)
{
    write_record(floats_payload(values));
}

void RecordFile::write_text(std::string_view text)
{
    write_record(text_payload(text));
}

void RecordFile::rewind()
{
    position_ = 0;
    past_end_ = false;
}

void RecordFile::backspace()
{
    if (past_end_) {
        past_end_ = false;
    } else if (position_ > 0) {
        --position_;
    }
}

bool RecordFile::at_end() const
{
    return position_ >= records_.size();
}

void RecordFile::close_keep()
{
    if (!open_) return;
    open_ = false;
    if (modified_) replace_file_atomically(name_, encode_records(records_));
    records_.clear();
    position_ = 0;
    modified_ = false;
    past_end_ = false;
}

void RecordFile::close_delete()
{
    if (!open_) return;
    open_ = false;
    records_.clear();
    position_ = 0;
    modified_ = false;
    past_end_ = false;
    delete_file(name_);
}

}  // namespace velm
