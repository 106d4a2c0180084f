// Changes to the bytes of a record file that the system's own writers would
// refuse to make, as a damaged or hand-made file may hold them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"

namespace velm::test {

// Sets value `position` (from 1) of record `record` (from 1) of a record
// file to `value`, whatever it is (a NaN, an infinity).
inline void set_record_value(const std::string& name, std::size_t record, std::size_t position, float value)
{
    std::vector<RecordBytes> records = decode_records(read_whole_file(name), name);
    const RecordBytes bytes = float_payload(value);
    std::copy(bytes.begin(), bytes.end(), records.at(record - 1).begin() + static_cast<long>(4 * (position - 1)));
    replace_file_atomically(name, encode_records(records));
}

}  // namespace velm::test
