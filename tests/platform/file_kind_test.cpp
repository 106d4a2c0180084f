// What may stand at a study file's name, read by every reader of the
// system: a regular file, or a link to one, is read; a fifo, a device, a
// socket or a directory is refused, naming the file and what stands there,
// never waited on and never read without end; a link that leads nowhere is a
// missing file.  Each reading is made in a forked child under an alarm and
// an address-space limit, so that a reader that waits, or reads without end,
// fails its case instead of holding the test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/text_file.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;

// Seconds a reading may take; bytes of address space it may use.
constexpr unsigned READING_SECONDS = 3;
constexpr rlim_t READING_ADDRESS_SPACE = rlim_t{1} << 30;

// The study file of the cases, and a regular file a link leads to.
const std::string STUDY_FILE = "SA2301ZZ.ZLL";
const std::string REGULAR_FILE = "regular.dat";
const std::string EMPTY_FILE = "empty.dat";
// Two records, which every reader reads (a text reader as two lines).
const std::string REGULAR_BYTES = encode_records({text_payload("LINK 1\n"), text_payload("LINK 2")});

// What a reader made of a name: the bytes or lines it read, "missing", or
// "refused: " and the FileError's message.
using Reader = std::function<std::string(const std::string& name)>;

std::string lines_of(TextReader& reader)
{
    std::string text;
    for (std::string line; reader.next_line(line);) text += "[" + line + "]";
    return text;
}

std::string records_of(RecordFile& file)
{
    std::string text;
    while (const auto record = file.read_text()) text += "[" + *record + "]";
    return text;
}

struct NamedReader {
    const char* name;
    Reader read;
    bool optional;  // a missing file is no error
};

const std::vector<NamedReader>& readers()
{
    static const std::vector<NamedReader> all = {
        {"read_whole_file", [](const std::string& name) { return read_whole_file(name); }, false},
        {"read_whole_file_if_exists",
         [](const std::string& name) { return read_whole_file_if_exists(name).value_or("missing"); }, true},
        {"file_exists", [](const std::string& name) { return std::string(file_exists(name) ? "exists" : "missing"); },
         true},
        {"TextReader",
         [](const std::string& name) {
             TextReader reader(name);
             return lines_of(reader);
         },
         false},
        {"TextReader::open_optional",
         [](const std::string& name) {
             TextReader reader = TextReader::open_optional(name);
             return reader.at_end() ? std::string("missing") : lines_of(reader);
         },
         true},
        {"TextReader::open_streamed",
         [](const std::string& name) {
             TextReader reader = TextReader::open_streamed(name);
             std::string text = lines_of(reader);
             reader.rewind();
             return text + lines_of(reader);
         },
         false},
        {"RecordFile must exist",
         [](const std::string& name) {
             RecordFile file(name, RecordFile::Open::MustExist);
             return records_of(file);
         },
         false},
        // Left open in the child that reads it: its close would write a
        // missing file.
        {"RecordFile created if missing",
         [](const std::string& name) {
             auto* file = new RecordFile(name, RecordFile::Open::CreateIfMissing);
             return file->record_count() == 0 ? std::string("missing") : records_of(*file);
         },
         true},
    };
    return all;
}

// The reader's result in a forked child, which may take READING_SECONDS and
// READING_ADDRESS_SPACE: "waited or read without end" when it took longer,
// "ended by <reason>" when it did not end its reading.
std::string read_in_child(const Reader& reading, const std::string& name)
{
    // The directory index of names in other letter cases is brought up to
    // date with every change noticed so far (a look-up does so) before the
    // child takes it over: the child reads no notices (see below).
    resolve_file_name("no such name");
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        // The descriptors the child inherits (the directory index's notices
        // among them) stay the parent's to read.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != pipe_ends[1]) close(fd);
#if !defined(__SANITIZE_ADDRESS__)
        // (The address sanitizer's shadow alone takes terabytes of address
        // space: there the alarm bounds the reading.)
        const rlimit space{READING_ADDRESS_SPACE, READING_ADDRESS_SPACE};
        setrlimit(RLIMIT_AS, &space);
#endif
        alarm(READING_SECONDS);
        std::string result;
        try {
            result = reading(name);
        } catch (const FileError& error) {
            result = std::string("refused: ") + error.what();
        } catch (const std::exception& error) {
            result = std::string("ended by ") + error.what();
        }
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t written = write(pipe_ends[1], result.data() + done, result.size() - done);
            if (written <= 0) break;
            done += static_cast<std::size_t>(written);
        }
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) result.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) return "waited or read without end";
    if (!WIFEXITED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    return result;
}

// What may stand at the study file's name, and how the readers take it.
enum class Taken {
    AsTheFile,   // as the regular file itself
    AsEmpty,     // as an empty regular file
    AsMissing,   // as no file at all
    AsNotAFile,  // refused, naming what stands there
};

struct Standing {
    const char* what;
    std::function<void()> make;  // puts it at STUDY_FILE
    Taken taken;
    const char* kind;  // as the refusal names it
};

void make_socket(const std::string& name)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, name.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    close(fd);
}

const std::vector<Standing>& standings()
{
    static const std::vector<Standing> all = {
        {"a link to a regular file", [] { fs::create_symlink(REGULAR_FILE, STUDY_FILE); }, Taken::AsTheFile, ""},
        {"a fifo with no writer", [] { ASSERT_EQ(mkfifo(STUDY_FILE.c_str(), 0644), 0); }, Taken::AsNotAFile,
         "a fifo (named pipe)"},
        {"a link to a fifo",
         [] {
             ASSERT_EQ(mkfifo("pipe", 0644), 0);
             fs::create_symlink("pipe", STUDY_FILE);
         },
         Taken::AsNotAFile, "a fifo (named pipe)"},
        {"a link to /dev/zero", [] { fs::create_symlink("/dev/zero", STUDY_FILE); }, Taken::AsNotAFile,
         "a character device"},
        {"a link to /dev/null", [] { fs::create_symlink("/dev/null", STUDY_FILE); }, Taken::AsNotAFile,
         "a character device"},
        {"a socket", [] { make_socket(STUDY_FILE); }, Taken::AsNotAFile, "a socket"},
        {"a directory", [] { fs::create_directory(STUDY_FILE); }, Taken::AsNotAFile, "a directory"},
        {"a link to a directory", [] { fs::create_directory_symlink(".", STUDY_FILE); }, Taken::AsNotAFile,
         "a directory"},
        {"a link that leads nowhere", [] { fs::create_symlink("gone.dat", STUDY_FILE); }, Taken::AsMissing, ""},
        // A file that tells no size (those of /proc) is read as far as its
        // size goes: it reads empty, never on without end.
        {"a link to a file of no size", [] { fs::create_symlink("/proc/self/status", STUDY_FILE); }, Taken::AsEmpty,
         ""},
    };
    return all;
}

// What a reader is expected to make of the standing at `name`.
std::string expected_result(const NamedReader& reader, const Standing& standing, const std::string& name)
{
    switch (standing.taken) {
        case Taken::AsTheFile:
            return read_in_child(reader.read, REGULAR_FILE);
        case Taken::AsEmpty:
            return read_in_child(reader.read, EMPTY_FILE);
        case Taken::AsMissing:
            return reader.optional ? "missing" : "refused: Cannot open file '" + name + "': No such file or directory";
        case Taken::AsNotAFile:
            break;
    }
    return "refused: Cannot read file '" + name + "': it is " + standing.kind + ", not a file";
}

class StudyFileKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemporaryDirectory::put(REGULAR_FILE, REGULAR_BYTES);
        TemporaryDirectory::put(EMPTY_FILE, "");
    }
    TemporaryDirectory directory_;
};

TEST_F(StudyFileKinds, OnlyAFileIsReadWhateverElseStandsAtItsName)
{
    // The name as it stands and in another letter case (found by the look-up).
    for (const std::string& name : {STUDY_FILE, std::string("sa2301zz.zll")}) {
        for (const Standing& standing : standings()) {
            standing.make();
            const std::vector<std::string> entries = TemporaryDirectory::entries();
            for (const NamedReader& reader : readers()) {
                SCOPED_TRACE(std::string(standing.what) + ", read by " + reader.name + " as " + name);
                EXPECT_EQ(read_in_child(reader.read, name), expected_result(reader, standing, name));
                // Nothing was made, removed or replaced.
                EXPECT_EQ(TemporaryDirectory::entries(), entries);
                EXPECT_EQ(TemporaryDirectory::get(REGULAR_FILE), REGULAR_BYTES);
            }
            fs::remove(STUDY_FILE);
            fs::remove("pipe");
        }
    }
}

// A regular file is read as far as its size when it was opened: bytes
// written to it behind the reading are not read.
TEST_F(StudyFileKinds, AFileIsReadNoFurtherThanItsSize)
{
    TemporaryDirectory::put(STUDY_FILE, "LINE 1\r\nLINE 2\r\n");
    TextReader reader = TextReader::open_streamed(STUDY_FILE);
    {
        const int fd = open(STUDY_FILE.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "LINE 3\r\n", 8), 8);
        close(fd);
    }
    std::string line;
    std::vector<std::string> lines;
    while (reader.next_line(line)) lines.push_back(line);
    // The line appended after the open is not read.
    EXPECT_EQ(lines, (std::vector<std::string>{"LINE 1", "LINE 2"}));
}

// An append never waits on a fifo nor writes into a device: it is refused.
TEST_F(StudyFileKinds, AnAppendIsRefusedWhereNoFileStands)
{
    const Reader append = [](const std::string& name) {
        append_to_file(name, "LINE\r\n");
        return std::string("appended");
    };
    for (const Standing& standing : standings()) {
        if (standing.taken != Taken::AsNotAFile || std::string(standing.kind) == "a directory") continue;
        SCOPED_TRACE(standing.what);
        standing.make();
        EXPECT_EQ(read_in_child(append, STUDY_FILE),
                  "refused: Cannot append to file '" + STUDY_FILE + "': it is " + standing.kind + ", not a file");
        fs::remove(STUDY_FILE);
        fs::remove("pipe");
    }
}

}  // namespace
}  // namespace velm
