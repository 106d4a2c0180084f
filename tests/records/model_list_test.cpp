// The model list file: entries, the magic value, and files from gfortran.
#include "records/model_list.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "model_records.h"
#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

TEST(ModelListEntry, FieldsAndMapEntries)
{
    const ModelListEntry entry = make_model_list_entry("AB2304ZZ.Z13");
    EXPECT_EQ(entry.text.size(), 50u);
    EXPECT_EQ(entry.data_file_stem(), "AB2304ZZ");
    EXPECT_EQ(entry.model_file_extension(), "Z13");
    EXPECT_EQ(entry.model_file_name(), "AB2304ZZ.Z13");

    struct Case {
        const char* name;
        bool map;
    };
    // Only a first character of code 65 ("A") or above names a map.
    for (const Case& c : {Case{"AB0101ZZ.Z11", true}, Case{"1B0101ZZ.Z11", false}, Case{"@B0101ZZ.Z11", false},
                          Case{"ab0101ZZ.Z11", true}, Case{" B0101ZZ.Z11", false}, Case{"", false}}) {
        EXPECT_EQ(make_model_list_entry(c.name).names_map(), c.map) << c.name;
    }
}

TEST(ModelListFile, NameOfTheStudysList)
{
    EXPECT_EQ(model_list_file_name("AB"), "ABTRVLZZ.Z11");
}

TEST(ModelListFile, ListWrittenByGfortranReadsAndComesBackByteForByte)
{
    TemporaryDirectory dir;
    const std::string list = dir.file("list.txt");
    const std::string written = dir.file("ABTRVLZZ.Z11");
    char magic[16];
    std::snprintf(magic, sizeof magic, "R %08X\n", test::float_bits(MODEL_LIST_MAGIC));
    TemporaryDirectory::put(list, std::string(magic) + "T 0B0000ZZ.Z11\nT AB0101ZZ.Z11\nT AB0102ZZ.Z11\n");
    test::run_fortran("write_records", test::quoted(list) + " " + test::quoted(written), dir.file("out.txt"));

    const ModelListFile file = read_model_list_file(written);
    ASSERT_TRUE(file.is_model_list());
    ASSERT_EQ(file.entries.size(), 3u);
    EXPECT_FALSE(file.entries[0].names_map());
    EXPECT_EQ(file.entries[1].data_file_stem(), "AB0101ZZ");
    EXPECT_EQ(file.entries[2].model_file_name(), "AB0102ZZ.Z11");

    const std::string copy = dir.file("COPY.Z11");
    write_model_list_file(copy, file.entries);
    EXPECT_EQ(TemporaryDirectory::get(copy), TemporaryDirectory::get(written));
}

TEST(ModelListFile, FirstValueTellsAListFromAnyOtherFile)
{
    TemporaryDirectory dir;
    struct Case {
        const char* what;
        std::vector<RecordBytes> records;
        bool has_first_value;
        bool is_list;
    };
    const Case cases[] = {
        {"other first value", {float_payload(12.0f), text_payload(std::string(50, 'A'))}, true, false},
        {"no record at all", {}, false, false},
        {"first record too short", {RecordBytes(2, std::byte{1})}, false, false},
        {"magic and no entry", {float_payload(MODEL_LIST_MAGIC)}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = dir.file("ABTRVLZZ.Z11");
        TemporaryDirectory::put(name, encode_records(c.records));
        const ModelListFile file = read_model_list_file(name);
        EXPECT_EQ(file.first_value.has_value(), c.has_first_value);
        EXPECT_EQ(file.is_model_list(), c.is_list);
        EXPECT_TRUE(file.entries.empty());
    }
}

TEST(ModelListFile, UnreadableOrMissingListIsNamed)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("ABTRVLZZ.Z11");
    TemporaryDirectory::put(name, encode_records({float_payload(MODEL_LIST_MAGIC), text_payload(std::string(50, 'A')),
                                                  text_payload("AB0101ZZ.Z11")}));
    try {
        read_model_list_file(name);
        ADD_FAILURE() << "read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(name + ": record 3"), std::string::npos) << error.what();
    }

    const std::string missing = dir.file("CDTRVLZZ.Z11");
    EXPECT_THROW(read_model_list_file(missing), FileError);
    EXPECT_FALSE(file_exists(missing));
}

}  // namespace
}  // namespace velm
