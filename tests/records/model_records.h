// Small builders of model files for the record tests: raw records, so that
// the walker is tested against files it did not write itself, and helpers
// for the gfortran reference programs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/record_file.h"
#include "records/model_file.h"
#include "support/temporary_directory.h"

namespace velm::test {

// The records of a model file, value by value.
class RawModelFile {
public:
    RawModelFile& value(float v)
    {
        records_.push_back(float_payload(v));
        return *this;
    }
    RawModelFile& text(std::string t)
    {
        t.resize(MODEL_TEXT_LENGTH, ' ');
        records_.push_back(text_payload(t));
        return *this;
    }
    RawModelFile& bytes(std::size_t count)
    {
        records_.push_back(RecordBytes(count, std::byte{0x41}));
        return *this;
    }
    // A header of `length` values: value 2 the model type, value 7 the
    // switch, value 12 the return frequency, the others distinct.
    RawModelFile& header(float value_2, float value_7, int length)
    {
        for (int k = 1; k <= length; ++k) {
            float v = 0.25f * static_cast<float>(k);
            if (k == 2) v = value_2;
            if (k == 7) v = value_7;
            if (k == 12) v = 10.0f;
            value(v);
        }
        return *this;
    }
    // Marker, node pair, code and `count` data values 1.5, 2.5, ...
    RawModelFile& group(float upstream, float downstream, float code, int count)
    {
        value(GROUP_MARKER).value(upstream).value(downstream).value(code);
        for (int k = 1; k <= count; ++k) value(static_cast<float>(k) + 0.5f);
        return *this;
    }
    const std::vector<RecordBytes>& records() const { return records_; }

private:
    std::vector<RecordBytes> records_;
};

inline std::uint32_t float_bits(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// Runs a gfortran helper of this folder; its standard output lands in a file.
inline std::string run_fortran(const std::string& program, const std::string& arguments, const std::string& output)
{
    const std::string command =
        std::string(VELM_FORTRAN_HELPER_DIR) + "/" + program + " " + arguments + " > '" + output + "'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return TemporaryDirectory::get(output);
}

inline std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

}  // namespace velm::test
