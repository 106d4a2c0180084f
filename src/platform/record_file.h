// Binary record files in the layout of sequential unformatted files: each
// record is a 4-byte little-endian length, the payload, and the length again.
// Model files hold one float a record, the model list a float then
// 50-character text records, the model results files several values a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

using RecordBytes = std::vector<std::byte>;
// A record's payload where it stands in the file's bytes, without a copy.
using RecordView = std::span<const std::byte>;

// The file is held in memory while open: reads and writes move a position
// over its records as the original's file unit did, and close_keep() writes
// the whole file back atomically when anything was written.  A stop closes
// an open file with keep on the way out (the destructor), as the original's
// stop did, so the file on disk is always either the old one or the whole
// new one.
class RecordFile {
public:
    enum class Open {
        MustExist,  // FileError when the file is missing
        CreateIfMissing,
        New,  // start empty whatever is on disk
    };

    RecordFile(std::string name, Open how);
    ~RecordFile();  // an open file is closed with keep
    RecordFile(RecordFile&&) noexcept;
    RecordFile& operator=(RecordFile&&) noexcept;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const std::string& name() const { return name_; }

    // The next record whole, or nothing at the end of the file.  FileError
    // when the file on disk was not a record file (lengths that disagree).
    std::optional<RecordBytes> read_record();
    // The next record's first four bytes as a float; nothing at the end.
    std::optional<float> read_value();
    // The next record as text (the whole payload).
    std::optional<std::string> read_text();

    // Writes a record at the position; everything after it is dropped, so
    // a write after a rewind or backspace makes it the last record.
    void write_record(const RecordBytes& payload);
    void write_value(float value);
    void write_values(const std::vector<float>& values);  // one record
    void write_text(std::string_view text);

    void rewind();
    // Back one record; nothing happens at the start of the file.  After a
    // read that met the end of the file, backspace steps back over that end
    // only, as on a sequential file: the position stays behind the last
    // record, so a write then appends.
    void backspace();
    bool at_end() const;
    // Number of records in the file and the position (records before it).
    std::size_t record_count() const { return records_.size(); }
    std::size_t position() const { return position_; }

    void close_keep();
    void close_delete();
    bool is_open() const { return open_; }

private:
    // True, and remembered, when a read finds no record left.
    bool meet_end();

    std::string name_;
    std::vector<RecordBytes> records_;
    std::size_t position_ = 0;
    bool modified_ = false;
    bool open_ = false;
    bool past_end_ = false;  // the last read met the end of the file
};

// Encodes and decodes record payloads.
RecordBytes float_payload(float value);
RecordBytes floats_payload(const std::vector<float>& values);
RecordBytes text_payload(std::string_view text);
// The float at a byte offset of a payload (0.0 beyond its end).
float payload_float(RecordView payload, std::size_t offset);
std::int32_t payload_int(RecordView payload, std::size_t offset);

// The whole file's bytes for a list of records, and the reverse (FileError
// naming the file when the framing is broken).
std::string encode_records(const std::vector<RecordBytes>& records);
std::vector<RecordBytes> decode_records(std::string_view bytes, std::string_view name);
// The same records as views into `bytes` (valid while the bytes are), for
// readers that take values from them: no payload is copied.
std::vector<RecordView> record_views(std::string_view bytes, std::string_view name);

}  // namespace velm
