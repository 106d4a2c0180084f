// The real program, launched for the analysis run of the bundled sample
// study (SA) with something other than a file at one of the study's names: a
// fifo, a link to /dev/zero, a directory.  The run is refused in the window,
// naming the file and what stands there, within seconds and in bounded
// memory (a fifo is never waited on, a device never read without end); it
// ends with REFUSED_EXIT_STATUS, writes no reply and changes nothing in the
// study.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "support/program_process.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;
using velm::test::joined_rows;
using velm::test::ProcessEnd;
using velm::test::run_program_process;
using velm::test::TemporaryDirectory;

// Seconds the program may take to refuse the run, and bytes of address
// space it may use: a run that waits on a fifo or reads a device without end
// is stopped by either.
constexpr unsigned REFUSAL_SECONDS = 20;
constexpr rlim_t PROGRAM_ADDRESS_SPACE = rlim_t{512} << 20;
// The most memory a refused run may have held at once: the sample's whole
// analysis takes a few megabytes.
constexpr long PEAK_MEMORY_KB = 100 * 1024;

// The names whose entries differ between two snapshots.
std::vector<std::string> changed_names(const std::map<std::string, std::string>& before,
                                       const std::map<std::string, std::string>& after)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : before) {
        const auto it = after.find(name);
        if (it == after.end() || it->second != bytes) names.push_back(name);
    }
    for (const auto& [name, bytes] : after)
        if (!before.contains(name)) names.push_back(name);
    return names;
}

// The sample study copied to "study" in the test's directory, where the
// program runs, launched for its analysis run as tools/run-sample launches
// it; the typed input stands outside it.
class StudyFileKindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(fs::path(VELM_SOURCE_DIR) / "examples" / "sample", study_, fs::copy_options::recursive);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }

    // The program started in the study's directory with RETURN typed a few
    // times, under the alarm and the address-space limit above.
    ProcessEnd run() const
    {
        return run_program_process(study_, "\n\n\n\n", [] {
#if !defined(__SANITIZE_ADDRESS__)
            // (The address sanitizer's shadow alone takes terabytes of
            // address space: there the time and the peak memory bound it.)
            const rlimit space{PROGRAM_ADDRESS_SPACE, PROGRAM_ADDRESS_SPACE};
            setrlimit(RLIMIT_AS, &space);
#endif
            std::signal(SIGALRM, SIG_DFL);
            alarm(REFUSAL_SECONDS);  // kept across the exec
        });
    }

    // Every name in the study with the bytes of each regular file (a name
    // where no file stands is listed without bytes, and never read), but the
    // launcher's command file, which the launched run takes first.
    std::map<std::string, std::string> study_snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(study_)) {
            const std::string name = fs::relative(entry.path(), study_).string();
            if (name == "QEVCOM.DAT") continue;
            files[name] = entry.is_regular_file() ? TemporaryDirectory::get(entry.path()) : "(no file)";
        }
        return files;
    }

    TemporaryDirectory directory_;
    fs::path study_ = directory_.path() / "study";
};

// What stands at a name of the study in place of its file.
enum class Thing { Fifo, LinkToDevZero, Directory };

TEST_F(StudyFileKindTest, ALaunchedRunIsRefusedNamingWhatStandsAtAStudyFilesName)
{
    // The sample's own files make a run that ends, within the same time
    // and memory; the cases start from the sample afresh.
    {
        const ProcessEnd ending = run();
        ASSERT_EQ(ending.status, 0) << ending.screen;
        ASSERT_TRUE(fs::exists(study_ / "QEVCOM2.DAT"));
        fs::remove_all(study_);
        SetUp();
    }

    struct Case {
        const char* what;
        const char* file;  // as the sample holds it
        Thing thing;
        const char* kind;  // as the refusal names it
    };
    const Case cases[] = {
        {"a fifo at a link data base", "SA2301ZZ.ZLL", Thing::Fifo, "a fifo (named pipe)"},
        {"a link to /dev/zero at a link data base", "SA2301ZZ.ZLL", Thing::LinkToDevZero, "a character device"},
        {"a directory at a link data base", "SA2301ZZ.ZLL", Thing::Directory, "a directory"},
        {"a fifo at the model list", "SATRVLZZ.Z11", Thing::Fifo, "a fifo (named pipe)"},
        {"a fifo at the control file", "SAcontzz.zzz", Thing::Fifo, "a fifo (named pipe)"},
        {"a fifo at a model file", "SA2301ZZ.Z11", Thing::Fifo, "a fifo (named pipe)"},
        {"a link to /dev/zero at a node data base", "SA2302ZZ.ZNN", Thing::LinkToDevZero, "a character device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = study_ / c.file;
        ASSERT_TRUE(fs::is_regular_file(file));
        const std::string bytes = TemporaryDirectory::get(file);
        fs::remove(file);
        switch (c.thing) {
            case Thing::Fifo:
                ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
                break;
            case Thing::LinkToDevZero:
                fs::create_symlink("/dev/zero", file);
                break;
            case Thing::Directory:
                fs::create_directory(file);
                break;
        }
        const auto before = study_snapshot();

        const ProcessEnd ending = run();

        EXPECT_FALSE(ending.killed_by_signal()) << "ended by signal " << ending.signal << " (" << REFUSAL_SECONDS
                                                << " s or " << (PROGRAM_ADDRESS_SPACE >> 20) << " MB reached)\n"
                                                << ending.screen;
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << ending.screen;
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(ending.peak_memory_kb, PEAK_MEMORY_KB);
#endif
        const std::string reason = std::string("Cannot read file '") + c.file + "': it is " + c.kind + ", not a file";
        EXPECT_NE(joined_rows(ending.screen).find(reason), std::string::npos) << reason << '\n' << ending.screen;
        EXPECT_EQ(joined_rows(ending.screen).find("DOES NOT EXIST"), std::string::npos) << ending.screen;
        EXPECT_EQ(ending.errors, "");
        EXPECT_FALSE(fs::exists(study_ / "QEVCOM2.DAT"));
        EXPECT_EQ(changed_names(before, study_snapshot()), std::vector<std::string>{});

        fs::remove(file);
        TemporaryDirectory::put(file, bytes);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }
}

// The launcher's own files: a fifo at the command file, or at an earlier
// reply's name beside a command file, refuses the start before anything is
// changed: the command file and what stands at its names stay for the
// engineer to clear, and no reply is written.
TEST_F(StudyFileKindTest, AFifoAtALauncherFilesNameRefusesTheStart)
{
    for (const char* name : {"QEVCOM.DAT", "QEVCOM2.DAT"}) {
        SCOPED_TRACE(name);
        const fs::path fifo = study_ / name;
        fs::remove(fifo);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        std::map<std::string, std::string> before = study_snapshot();
        if (fs::exists(study_ / "QEVCOM.DAT") && fs::is_regular_file(study_ / "QEVCOM.DAT"))
            before["QEVCOM.DAT"] = TemporaryDirectory::get(study_ / "QEVCOM.DAT");

        const ProcessEnd ending = run();

        EXPECT_FALSE(ending.killed_by_signal()) << ending.screen;
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << ending.screen;
        const std::string text = joined_rows(ending.screen);
        EXPECT_NE(text.find("THE LAUNCHED RUN CANNOT START"), std::string::npos) << ending.screen;
        const std::string reason =
            std::string("Cannot read file '") + name + "': it is a fifo (named pipe), not a file";
        EXPECT_NE(text.find(reason), std::string::npos) << reason << '\n' << ending.screen;
        EXPECT_EQ(ending.errors, "");
        std::map<std::string, std::string> after = study_snapshot();
        if (fs::exists(study_ / "QEVCOM.DAT") && fs::is_regular_file(study_ / "QEVCOM.DAT"))
            after["QEVCOM.DAT"] = TemporaryDirectory::get(study_ / "QEVCOM.DAT");
        EXPECT_EQ(changed_names(before, after), std::vector<std::string>{});
        EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);

        fs::remove(fifo);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }
}

}  // namespace
