#include "platform/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cstdio>
#include <sstream>

#include "platform/files.h"
#include "platform/stop.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

// Runs a gfortran helper in the working directory; its standard output.
std::string run_fortran(const std::string& helper, const std::string& arguments)
{
    const std::string command = std::string(VELM_FORTRAN_HELPER_DIR) + "/" + helper + " " + arguments;
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    char buffer[4096];
    while (const std::size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

std::string padded(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

class RecordFiles : public ::testing::Test {
protected:
    TemporaryDirectory directory_;
};

// The records that the helper write_records writes, in the same order.
void write_reference_records(RecordFile& file)
{
    file.write_value(-111888.0f);
    file.write_text(padded("D:\\STUDY\\AA0101ZZ.Z11", 50));
    file.write_values({1.5f, -2.25f, 3.0e7f});
    file.write_value(0.1f);
    file.write_record({});
    file.write_value(-0.0f);
}

TEST_F(RecordFiles, ReadsWhatGfortranWrites)
{
    run_fortran("write_records", "FORTRAN.Z11");
    RecordFile file("fortran.z11", RecordFile::Open::MustExist);
    ASSERT_EQ(file.record_count(), 6u);
    EXPECT_EQ(file.read_value(), -111888.0f);
    EXPECT_EQ(file.read_text(), padded("D:\\STUDY\\AA0101ZZ.Z11", 50));
    const auto values = file.read_record();
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 12u);
    EXPECT_EQ(payload_float(*values, 0), 1.5f);
    EXPECT_EQ(payload_float(*values, 4), -2.25f);
    EXPECT_EQ(payload_float(*values, 8), 3.0e7f);
    EXPECT_EQ(payload_float(*values, 12), 0.0f);  // beyond the record
    EXPECT_EQ(file.read_value(), 0.1f);
    EXPECT_EQ(file.read_record(), RecordBytes{});
    EXPECT_EQ(std::bit_cast<std::uint32_t>(*file.read_value()), 0x80000000u);
    EXPECT_EQ(file.read_value(), std::nullopt);
    EXPECT_TRUE(file.at_end());
}

TEST_F(RecordFiles, WritesWhatGfortranWritesAndReads)
{
    {
        RecordFile file("MINE.Z11", RecordFile::Open::New);
        write_reference_records(file);
        file.close_keep();
    }
    run_fortran("write_records", "FORTRAN.Z11");
    EXPECT_EQ(TemporaryDirectory::get("MINE.Z11"), TemporaryDirectory::get("FORTRAN.Z11"));

    EXPECT_EQ(run_fortran("read_records", "MINE.Z11"),
              "C7DA8800\n"
              "[D:\\STUDY\\AA0101ZZ.Z11                             ]\n"
              "3FC00000 C0100000 4BE4E1C0\n"
              "3DCCCCCD\n"
              "80000000\n");
}

// Runs the operations of the helper record_sequence on a RecordFile: wN
// writes N, x reads and reports, b backspaces, r rewinds, o closes and opens
// the file again.
std::string run_sequence(const std::string& name, const std::string& operations)
{
    std::ostringstream reads;
    std::optional<RecordFile> file(std::in_place, name, RecordFile::Open::New);
    std::istringstream ops(operations);
    std::string op;
    while (ops >> op) {
        switch (op[0]) {
            case 'w':
                file->write_value(std::stof(op.substr(1)));
                break;
            case 'x':
                if (const auto value = file->read_value()) {
                    char text[32];
                    std::snprintf(text, sizeof text, "read %.1f\n", static_cast<double>(*value));
                    reads << text;
                } else {
                    reads << "end\n";
                }
                break;
            case 'b':
                file->backspace();
                break;
            case 'r':
                file->rewind();
                break;
            case 'o':
                file->close_keep();
                file.emplace(name, RecordFile::Open::MustExist);
                break;
        }
    }
    file->close_keep();
    return reads.str();
}

TEST_F(RecordFiles, PositioningMatchesGfortran)
{
    const char* sequences[] = {
        "w1 w2 w3 w4 b b w9",  // a write drops every record after it
        "w1 w2 w3 w4 r x w7",  // read, then write: the file ends there
        "w1 w2 r b w5",        // backspace at the start stays there
        "w1 w2 w3 b b b b w6",
        "w1 w2 b x w3",
        "w1 w2 o x x",         // reopened and only read: unchanged
        "w1 w2 o x x x b w5",  // the end met, backspace, write appends
        "w1 w2 w3 r x x x x b w8",
        "w1 w2 o x x x b b x w4",  // a second backspace steps over a record
        "w1 o r b x b x w6",
        "",
    };
    for (const std::string operations : sequences) {
        const std::string fortran_reads = run_fortran("record_sequence", "FORTRAN.DAT '" + operations + "'");
        const std::string reads = run_sequence("MINE.DAT", operations);
        EXPECT_EQ(reads, fortran_reads) << operations;
        EXPECT_EQ(TemporaryDirectory::get("MINE.DAT"), TemporaryDirectory::get("FORTRAN.DAT")) << operations;
    }
}

TEST_F(RecordFiles, BrokenFramesNameTheFileAndRecord)
{
    const std::string good = encode_records({float_payload(1.0f), float_payload(2.0f)});
    struct Case {
        const char* what;
        std::string bytes;
        const char* record;
    };
    const Case cases[] = {
        {"length cut short", good + std::string("\x04\x00", 2), "record 3"},
        {"payload cut short", good.substr(0, good.size() - 2), "record 2"},
        {"lengths disagree", good.substr(0, 12) + std::string("\x04\x00\x00\x00\x00\x00\x80\x3f\x05\x00\x00\x00", 12),
         "record 2"},
        {"text file", "  10001.0  10002.0\r\n", "record 1"},
    };
    for (const auto& c : cases) {
        TemporaryDirectory::put("AA0101ZZ.Z11", c.bytes);
        try {
            RecordFile file("aa0101zz.z11", RecordFile::Open::MustExist);
            ADD_FAILURE() << c.what << ": read without complaint";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("aa0101zz.z11"), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.record), std::string::npos) << c.what << ": " << message;
        }
        EXPECT_EQ(TemporaryDirectory::get("AA0101ZZ.Z11"), c.bytes) << c.what;
    }

    // A value read from a record too short to hold one.
    TemporaryDirectory::put("SHORT.DAT", encode_records({float_payload(1.0f), text_payload("ab")}));
    RecordFile file("SHORT.DAT", RecordFile::Open::MustExist);
    EXPECT_EQ(file.read_value(), 1.0f);
    EXPECT_THROW(file.read_value(), FileError);
}

TEST_F(RecordFiles, OpenModesAndClosing)
{
    // Must exist: an error naming the file; nothing is created.
    try {
        RecordFile file("TRVLAA.Z11", RecordFile::Open::MustExist);
        ADD_FAILURE() << "a missing file was opened";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("TRVLAA.Z11"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(TemporaryDirectory::entries().empty());

    // Created when missing: the file exists after close even if empty.
    RecordFile created("Created.dat", RecordFile::Open::CreateIfMissing);
    created.close_keep();
    EXPECT_EQ(TemporaryDirectory::get("Created.dat"), "");

    // Only read: the file is not rewritten.
    const std::string bytes = encode_records({float_payload(7.0f)});
    TemporaryDirectory::put("KEPT.DAT", bytes);
    struct stat before {};
    stat("KEPT.DAT", &before);
    RecordFile kept("kept.dat", RecordFile::Open::CreateIfMissing);
    EXPECT_EQ(kept.read_value(), 7.0f);
    kept.close_keep();
    struct stat after {};
    stat("KEPT.DAT", &after);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // New: starts empty whatever was there.
    RecordFile fresh("KEPT.DAT", RecordFile::Open::New);
    EXPECT_TRUE(fresh.at_end());
    fresh.close_keep();
    EXPECT_EQ(TemporaryDirectory::get("KEPT.DAT"), "");

    // Close with delete.
    TemporaryDirectory::put("S12345.TMP", bytes);
    RecordFile scratch("s12345.tmp", RecordFile::Open::MustExist);
    scratch.close_delete();
    EXPECT_FALSE(scratch.is_open());
    EXPECT_FALSE(std::filesystem::exists("S12345.TMP"));
}

TEST_F(RecordFiles, StopClosesOpenFilesWithKeep)
{
    try {
        RecordFile file("MODEL.Z12", RecordFile::Open::New);
        file.write_value(-222222.0f);
        RecordFile moved = std::move(file);
        moved.write_value(10001.0f);
        stop_program("test");
    } catch (const ProgramStop&) {
    }
    EXPECT_EQ(TemporaryDirectory::get("MODEL.Z12"),
              encode_records({float_payload(-222222.0f), float_payload(10001.0f)}));
    EXPECT_EQ(TemporaryDirectory::entries(), std::vector<std::string>{"MODEL.Z12"});
}

}  // namespace
}  // namespace velm
