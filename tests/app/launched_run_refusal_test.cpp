// The real program, launched for an analysis run it cannot make: a string
// file's name taken by a directory, a study directory it may not write to,
// a file-size limit (ulimit -f), a results file it cannot read, a read-only
// file system.  Each is refused in the window, naming the study's file and
// the system's reason; nothing goes to the error stream, the program is not
// killed, no reply is written, the study is left byte for byte as it was,
// and the program ends with REFUSED_EXIT_STATUS, where a finished run ends
// with 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/stop.h"
#include "support/record_edits.h"
#include "support/program_process.h"
#include "support/small_studies.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;
using velm::test::ProcessEnd;

// The exit status of a child that could not make the study's directory a
// read-only file system (this machine allows the test no mount namespace).
constexpr int NO_READ_ONLY_MOUNT = 125;

void write_small_file(const char* name, const std::string& text)
{
    // A write that fails leaves the namespace unmapped: the mount below then
    // fails, and the test is skipped.
    const int fd = open(name, O_WRONLY);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
    close(fd);
}

// In a forked child, before the program starts: the directory becomes a
// read-only file system for this process alone, by a read-only bind mount in
// a mount namespace of its own (in a user namespace as well, where the user
// may not make one otherwise).  False where the machine allows neither.
bool make_read_only_file_system(const fs::path& directory)
{
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWNS) != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        write_small_file("/proc/self/setgroups", "deny");
        write_small_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        write_small_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
    const std::string path = directory.string();
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    // A bind mount keeps the flags of the mount it comes from.
    unsigned long flags = MS_BIND | MS_REMOUNT | MS_RDONLY;
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) == 0) {
        if (info.f_flag & ST_NOSUID) flags |= MS_NOSUID;
        if (info.f_flag & ST_NODEV) flags |= MS_NODEV;
        if (info.f_flag & ST_NOEXEC) flags |= MS_NOEXEC;
        if (info.f_flag & ST_NOATIME) flags |= MS_NOATIME;
        if (info.f_flag & ST_NODIRATIME) flags |= MS_NODIRATIME;
        if (info.f_flag & ST_RELATIME) flags |= MS_RELATIME;
    }
    return mount(nullptr, path.c_str(), nullptr, flags, nullptr) == 0;
}

// The study "AB" in the directory "study" of the test's directory, where the
// program runs; the typed input stands outside it.
class LaunchedRunRefusalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(study_);
        velm::test::two_map_study(6).write(study_);
        // A first run leaves every output, the string files among them.
        launch();
        ASSERT_EQ(run().status, 0);
        ASSERT_TRUE(fs::exists(study_ / "QEVCOM2.DAT"));
        fs::remove(study_ / "QEVCOM2.DAT");
    }
    void TearDown() override { fs::permissions(study_, fs::perms::owner_all); }

    // The launcher's command file: option 1, sub-option 2 (execute) of "AB",
    // in toolset mode.
    void launch() const
    {
        directory_.put(study_ / "QEVCOM.DAT", "AB\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }

    // The program started in the study's directory with RETURN typed a few
    // times, its window and error stream piped back; `limit` (bytes), when
    // given, is the largest file it may write, with the signal of that limit
    // left at its default, as a shell's "ulimit -f" leaves it.  With
    // `read_only`, the study's directory is a read-only file system for the
    // program (status NO_READ_ONLY_MOUNT where the machine allows none).
    ProcessEnd run(rlim_t limit = RLIM_INFINITY, bool read_only = false) const
    {
        return velm::test::run_program_process(study_, "\n\n\n\n", [&] {
            if (read_only && !make_read_only_file_system(study_)) _exit(NO_READ_ONLY_MOUNT);
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit size{limit, limit};
            setrlimit(RLIMIT_FSIZE, &size);
        });
    }

    // Every file and directory of the study with its bytes, but the
    // launcher's command file, which a launched run deletes first.
    Snapshot study_snapshot() const
    {
        Snapshot files;
        for (const auto& entry : fs::recursive_directory_iterator(study_)) {
            const std::string name = fs::relative(entry.path(), study_).string();
            if (name == "QEVCOM.DAT") continue;
            files[name] = entry.is_directory() ? "(directory)" : velm::test::TemporaryDirectory::get(entry.path());
        }
        return files;
    }

    // The name the window shows quoted just before the reason.
    static std::string named_file(const std::string& screen, const std::string& reason)
    {
        const std::size_t at = screen.find("': " + reason);
        if (at == std::string::npos) return {};
        const std::size_t start = screen.rfind('\'', at - 1);
        return start == std::string::npos ? std::string() : screen.substr(start + 1, at - start - 1);
    }

    velm::test::TemporaryDirectory directory_;
    fs::path study_ = directory_.path() / "study";
};

TEST_F(LaunchedRunRefusalTest, ARunThatCannotWriteItsFilesIsRefusedInTheWindow)
{
    // A string file of the first run, whose name a directory takes.
    std::string string_file;
    for (const auto& entry : fs::directory_iterator(study_)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".ZST") && name.find("INDX") == std::string::npos) string_file = name;
    }
    ASSERT_FALSE(string_file.empty());
    const std::string string_bytes = velm::test::TemporaryDirectory::get(study_ / string_file);

    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::function<void()> put_back;
        rlim_t limit;
        std::string reason;  // the system's reason the window shows
        std::string file;    // the file it names; empty: any file of the study
    };
    const Case cases[] = {
        {"a directory in place of a string file",
         [&] {
             fs::remove(study_ / string_file);
             fs::create_directory(study_ / string_file);
         },
         [&] {
             fs::remove(study_ / string_file);
             velm::test::TemporaryDirectory::put(study_ / string_file, string_bytes);
         },
         RLIM_INFINITY, "Is a directory", string_file},
        {"a study directory that cannot be written",
         [&] {
             fs::permissions(study_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
         },
         [&] { fs::permissions(study_, fs::perms::owner_all); }, RLIM_INFINITY, "Permission denied", ""},
        {"a file-size limit", [] {}, [] {}, 2048, "File too large", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launch();
        c.spoil();
        const Snapshot before = study_snapshot();
        const ProcessEnd ending = run(c.limit);
        const Snapshot after = study_snapshot();
        c.put_back();

        EXPECT_FALSE(ending.killed_by_signal());
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << "a refused run ends as refused";
        EXPECT_EQ(ending.errors, "");
        const std::string named = named_file(ending.screen, c.reason);
        ASSERT_FALSE(named.empty()) << ending.screen;
        if (!c.file.empty()) {
            EXPECT_EQ(named, c.file);
        }
        // A study file (or, where this user may not delete it, the command
        // file), never a hidden name of the run.
        EXPECT_TRUE(named.starts_with("AB") || named == "QEVCOM.DAT") << named;
        EXPECT_EQ(named.find(".velm"), std::string::npos) << named;
        EXPECT_FALSE(fs::exists(study_ / "QEVCOM2.DAT")) << "a refused run writes no reply";
        EXPECT_TRUE(after == before) << "the study changed";
        fs::remove(study_ / "QEVCOM.DAT");
    }
}

// A launched run that reads a results file it cannot read, or finds a
// directory at its control file's name, is refused in the window and ends
// with REFUSED_EXIT_STATUS, without a reply; a finished run ends with 0 and
// replies.
TEST_F(LaunchedRunRefusalTest, ARefusedRunEndsRefusedAndAFinishedOneNot)
{
    const std::string control_bytes = velm::test::TemporaryDirectory::get(study_ / "ABcontzz.zzz");
    const std::string results_bytes = velm::test::TemporaryDirectory::get(study_ / "AB0101ZZ.ZZZ");
    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::function<void()> put_back;
        int status;
        std::string shown;  // a text of the window (none for a finished run)
    };
    const Case cases[] = {
        {"a finished run", [] {}, [] {}, 0, ""},
        {"a broken record 6 of a results file",
         [&] {
             velm::test::set_record_value((study_ / "AB0101ZZ.ZZZ").string(), 6, 1,
                                          std::numeric_limits<float>::quiet_NaN());
         },
         [&] { velm::test::TemporaryDirectory::put(study_ / "AB0101ZZ.ZZZ", results_bytes); },
         velm::REFUSED_EXIT_STATUS, "AB0101ZZ.ZZZ', record 6: the table count record holds"},
        {"a directory at the control file's name",
         [&] {
             fs::remove(study_ / "ABcontzz.zzz");
             fs::create_directory(study_ / "ABcontzz.zzz");
         },
         [&] {
             fs::remove(study_ / "ABcontzz.zzz");
             velm::test::TemporaryDirectory::put(study_ / "ABcontzz.zzz", control_bytes);
         },
         velm::REFUSED_EXIT_STATUS, " * THE CONTROL FILE CANNOT BE READ; NOTHING WAS CHANGED:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launch();
        c.spoil();
        const Snapshot before = study_snapshot();
        const ProcessEnd ending = run();
        const Snapshot after = study_snapshot();
        c.put_back();

        EXPECT_FALSE(ending.killed_by_signal());
        EXPECT_EQ(ending.status, c.status);
        EXPECT_EQ(ending.errors, "");
        EXPECT_NE(ending.screen.find(c.shown), std::string::npos) << ending.screen;
        EXPECT_EQ(fs::exists(study_ / "QEVCOM2.DAT"), c.status == 0) << "only a finished run replies";
        if (c.status != 0) {
            EXPECT_TRUE(after == before) << "the study changed";
        }
        fs::remove(study_ / "QEVCOM2.DAT");
        fs::remove(study_ / "QEVCOM.DAT");
    }
}

// On a read-only file system the command file cannot be deleted: the
// refusal names it, or the earlier reply where one stands before it, never
// a reply that is not there.
TEST_F(LaunchedRunRefusalTest, OnAReadOnlyFileSystemTheRefusalNamesTheFileThatCannotBeDeleted)
{
    struct Case {
        const char* name;
        bool earlier_reply;
        std::string named;      // the file the refusal names
        std::string not_named;  // a file it must not name
    };
    const Case cases[] = {
        {"no earlier reply", false, "QEVCOM.DAT", "QEVCOM2.DAT"},
        {"an earlier reply", true, "QEVCOM2.DAT", "QEVCOM.DAT'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launch();
        if (c.earlier_reply) directory_.put(study_ / "QEVCOM2.DAT", "99\r\n");
        const Snapshot before = study_snapshot();
        const ProcessEnd ending = run(RLIM_INFINITY, true);
        if (ending.status == NO_READ_ONLY_MOUNT) GTEST_SKIP() << "no read-only mount for a test on this machine";

        EXPECT_FALSE(ending.killed_by_signal());
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS);
        EXPECT_EQ(ending.errors, "");
        EXPECT_EQ(named_file(ending.screen, "Read-only file system"), c.named) << ending.screen;
        EXPECT_EQ(ending.screen.find(c.not_named), std::string::npos) << ending.screen;
        EXPECT_NE(ending.screen.find(" * THE LAUNCHED RUN CANNOT START; NO REPLY IS WRITTEN:"), std::string::npos)
            << ending.screen;
        EXPECT_TRUE(study_snapshot() == before) << "the study changed";
        fs::remove(study_ / "QEVCOM2.DAT");
        fs::remove(study_ / "QEVCOM.DAT");
    }
}

}  // namespace
