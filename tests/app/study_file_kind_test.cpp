// The real program, launched for the analysis run of the bundled sample
// study (SA) with something other than a file at one of the study's names: a
// fifo, a link to /dev/zero, a directory.  The run is refused in the window,
// naming the file and what stands there, within seconds and in bounded
// memory (a fifo is never waited on, a device never read without end); it
// ends with REFUSED_EXIT_STATUS, writes no reply and changes nothing in the
// study.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
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

// The string at `address` in a traced process (a path given to a call).
std::string traced_string(pid_t pid, std::uint64_t address)
{
    std::string text;
    while (text.size() < 4096) {
        errno = 0;
        const long word = ptrace(PTRACE_PEEKDATA, pid, address + text.size(), nullptr);
        if (errno != 0) break;
        const char* const bytes = reinterpret_cast<const char*>(&word);
        for (std::size_t k = 0; k < sizeof word; ++k) {
            if (bytes[k] == '\0') return text;
            text += bytes[k];
        }
    }
    return text;
}

// Whether a call the traced process enters renames, unlinks or links a
// hidden file of a change (a new version, a kept old file, the commit
// journal or a temporary), not the lock's: the calls of a commit, and the
// rename of the launcher's reply into place.
bool is_a_changes_call(pid_t pid, const __ptrace_syscall_info& info)
{
    std::vector<int> paths;  // the arguments that are paths
    switch (info.entry.nr) {
#ifdef SYS_rename
        case SYS_rename:
        case SYS_link:
            paths = {0, 1};
            break;
        case SYS_unlink:
            paths = {0};
            break;
#endif
        case SYS_renameat:
        case SYS_renameat2:
        case SYS_linkat:
            paths = {1, 3};
            break;
        case SYS_unlinkat:
            paths = {1};
            break;
        default:
            return false;
    }
    for (const int k : paths) {
        const std::string name = fs::path(traced_string(pid, info.entry.args[k])).filename().string();
        if (name.size() > 1 && name.front() == '.' && name.rfind(".velmora.lock", 0) != 0) return true;
    }
    return false;
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

    // The program started in the study's directory as run() starts it, and
    // killed (SIGKILL) the moment the n-th of its changes' calls (see
    // is_a_changes_call), counted from 1, returns: the study then stands as
    // those calls left it.  False when the program ended by itself before;
    // nothing when this machine does not let a test trace the program.
    std::optional<bool> run_killed_at_changes_call(int n) const
    {
        return velm::test::run_program_killed_at_call(study_, "\n\n\n\n", n, is_a_changes_call);
    }

    // Every regular file of the study with its bytes, but the launcher's
    // command and reply files.
    std::map<std::string, std::string> regular_files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(study_)) {
            const std::string name = fs::relative(entry.path(), study_).string();
            if (entry.symlink_status().type() == fs::file_type::regular && name.rfind("QEVCOM", 0) != 0)
                files[name] = TemporaryDirectory::get(entry.path());
        }
        return files;
    }

    // The hidden names in the study, whatever stands there, sorted.
    std::vector<std::string> hidden_names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(study_))
            if (entry.path().filename().string().front() == '.') names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
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

// A fifo at the report, a file the analysis run only writes: the launched
// run, killed at each rename, unlink and link of its commit in turn, and the
// program started again (the launcher gone).  The fifo is never kept as the
// report's old version, so the start takes the commit's journal for the
// program's own: it ends with status 0, leaves no hidden file, and the
// study is as before the run or as after it, never half of each.
TEST_F(StudyFileKindTest, AFifoAtTheReportKilledAnywhereInTheCommitLeavesTheStudyBeforeOrAfter)
{
    const fs::path report = study_ / "SATRVLZZ.DIA";
    ASSERT_FALSE(fs::exists(fs::symlink_status(report)));
    const std::map<std::string, std::string> before = regular_files();
    const std::vector<std::string> sample_hidden = hidden_names();  // the sample's own (.gitattributes)
    // The run made whole where no report stood.
    std::map<std::string, std::string> after;
    {
        const ProcessEnd ending = run();
        ASSERT_EQ(ending.status, 0) << ending.screen;
        after = regular_files();
        ASSERT_TRUE(after.contains("SATRVLZZ.DIA"));
    }
    int undone = 0;
    int finished = 0;
    for (int call = 1;; ++call) {
        SCOPED_TRACE("killed at the change's call " + std::to_string(call));
        ASSERT_LT(call, 1000) << "the run does not end";
        fs::remove_all(study_);
        SetUp();
        ASSERT_EQ(mkfifo(report.c_str(), 0644), 0);
        const std::optional<bool> killed = run_killed_at_changes_call(call);
        if (!killed) GTEST_SKIP() << "this machine does not let a test trace the program";
        if (!*killed) {
            // The run ended before: it replaced the fifo by its report.
            EXPECT_TRUE(regular_files() == after) << "the run's files differ from those of a run without the fifo";
            EXPECT_EQ(hidden_names(), sample_hidden);
            break;
        }
        // What the killed run left hidden is files of its own, never a
        // second name of the fifo.
        for (const std::string& name : hidden_names())
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(study_ / name))) << name << " is no file";
        fs::remove(study_ / "QEVCOM.DAT");
        fs::remove(study_ / "QEVCOM2.DAT");
        const ProcessEnd start = run_program_process(study_, "");
        EXPECT_EQ(start.status, 0) << start.screen;
        EXPECT_EQ(hidden_names(), sample_hidden);
        const std::map<std::string, std::string> files = regular_files();
        if (files == before) {
            ++undone;
        } else if (files == after) {
            ++finished;
        } else {
            ADD_FAILURE() << "the study is half before and half after the run; changed since before: "
                          << testing::PrintToString(changed_names(before, files));
        }
        if (HasFailure()) return;
    }
    EXPECT_GT(undone, 0) << "no kill fell before the commit's journal";
    EXPECT_GT(finished, 0) << "no kill fell after the commit's journal";
}

}  // namespace
