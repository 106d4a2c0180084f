// A change that the disk refuses to take (full, or over a size limit) is
// refused with the study's file named and the system's reason: never the
// hidden name of a new version or of the commit journal, which mean nothing
// to the engineer.  Every file stays as it was.
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

// While it lives, no file may grow beyond `bytes`: every write past it
// fails as a write to a full disk does, with the operating system's error
// (EFBIG) instead of a signal.
class DiskRefusesWritesBeyond {
public:
    explicit DiskRefusesWritesBeyond(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &before_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskRefusesWritesBeyond()
    {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, handler_);
    }
    DiskRefusesWritesBeyond(const DiskRefusesWritesBeyond&) = delete;
    DiskRefusesWritesBeyond& operator=(const DiskRefusesWritesBeyond&) = delete;

private:
    rlimit before_{};
    void (*handler_)(int) = SIG_DFL;
};

constexpr rlim_t LIMIT = 4096;

std::string lines(std::size_t count)
{
    std::string text;
    for (std::size_t k = 0; k < count; ++k) text += "  230101.0  230102.0   430.00   418.00 a line of a data base\r\n";
    return text;
}

TEST(FileChangeRefusal, AWriteTheDiskRefusesNamesTheStudysFile)
{
    struct Case {
        const char* name;
        const char* file;  // the study's file the refusal names
        std::function<void(FileChange&)> change;
    };
    const std::vector<Case> cases = {
        {"a new version streamed", "data/SA2301ZZ.ZNN",
         [](FileChange& change) {
             NewVersionStream stream = change.stream("data/SA2301ZZ.ZNN");
             stream.write(lines(2000));
             stream.finish();
         }},
        {"a new version written whole", "SA2301ZZ.ZLL",
         [](FileChange& change) { change.write("SA2301ZZ.ZLL", lines(200)); }},
        {"a new version written through a text writer", "SA2301ZZ.ZLL",
         [](FileChange& change) {
             TextWriter writer(change.new_file("SA2301ZZ.ZLL"));
             writer.write_line(lines(200));
             writer.commit();
         }},
        {"an entry appended to the history log", "SAHISTZZ.DAT",
         [](FileChange& change) { change.append("SAHISTZZ.DAT", lines(40)); }},
        {"the history log copied into its new version", "BIGHISTZ.DAT",
         [](FileChange& change) { change.changed_file("BIGHISTZ.DAT"); }},
        {"the commit journal", "SAcontzz.zzz",
         [](FileChange& change) {
             change.write("SAcontzz.zzz", "new controls\r\n");
             change.write("SA2301ZZ.ZLL", "new links\r\n");
             DiskRefusesWritesBeyond disk(16);
             change.commit();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        TemporaryDirectory::put("SA2301ZZ.ZLL", "links\r\n");
        TemporaryDirectory::put("SAcontzz.zzz", "controls\r\n");
        TemporaryDirectory::put("SAHISTZZ.DAT", lines(40));
        TemporaryDirectory::put("BIGHISTZ.DAT", lines(100));
        TemporaryDirectory::put("data/SA2301ZZ.ZNN", "nodes\r\n");
        const auto before = TemporaryDirectory::snapshot();
        try {
            DiskRefusesWritesBeyond disk(LIMIT);
            FileChange change;
            c.change(change);
            ADD_FAILURE() << "the write was not refused";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("'" + std::string(c.file) + "': " + std::strerror(EFBIG)), std::string::npos)
                << message;
            EXPECT_EQ(message.find("velm"), std::string::npos) << message;
        }
        EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    }
}

}  // namespace
}  // namespace velm
