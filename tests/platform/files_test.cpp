#include "platform/files.h"
#include "platform/file_change.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

class FileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemporaryDirectory::put("Study/Maps/AA0101ZZ.ZLL", "links\n");
        TemporaryDirectory::put("Study/contzz.zzz", "control\n");
        TemporaryDirectory::put("setf.zzz", "set f\n");
        TemporaryDirectory::put("DUP.TXT", "upper\n");
        TemporaryDirectory::put("Dup.txt", "mixed\n");
    }
    TemporaryDirectory directory_;
};

TEST_F(FileNames, ResolveAsTheOriginalPlatformNamedThem)
{
    struct Case {
        const char* written;
        const char* expected;
    };
    const Case cases[] = {
        {"SETF.ZZZ", "setf.zzz"},
        {"setf.zzz   ", "setf.zzz"},
        {"study\\maps\\aa0101zz.zll", "Study/Maps/AA0101ZZ.ZLL"},
        {"D:study\\MAPS\\AA0101zz.Zll", "Study/Maps/AA0101ZZ.ZLL"},
        {"d:STUDY/CONTZZ.ZZZ  ", "Study/contzz.zzz"},
        {".\\Study\\..\\STUDY\\CONTZZ.ZZZ", "./Study/../Study/contzz.zzz"},
        // A new file keeps its name as written, in the directory found.
        {"STUDY\\MAPS\\New0102ZZ.ZLL", "Study/Maps/New0102ZZ.ZLL"},
        {"Study\\Missing\\X.DAT", "Study/Missing/X.DAT"},
        // Names that differ only in case: the first in byte order answers.
        {"dup.txt", "DUP.TXT"},
        {"Dup.txt", "Dup.txt"},
        {"Study//Maps\\\\AA0101ZZ.ZLL", "Study/Maps/AA0101ZZ.ZLL"},
        {"/", "/"},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolve_file_name(c.written).string(), c.expected) << "written as \"" << c.written << '"';
        // The key found without the disk is the resolved name in lower case.
        std::string lower = c.expected;
        for (char& letter : lower) letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        EXPECT_EQ(file_name_key(c.written), lower) << "written as \"" << c.written << '"';
    }
}

TEST_F(FileNames, ResolveAnAbsoluteNameWithDriveAndBackslashes)
{
    std::string written = "C:" + (directory_.path() / "STUDY" / "MAPS" / "aa0101zz.zll").string();
    for (char& c : written) {
        if (c == '/') c = '\\';
    }
    EXPECT_EQ(resolve_file_name(written), directory_.path() / "Study" / "Maps" / "AA0101ZZ.ZLL");
}

TEST_F(FileNames, ChangesAfterADirectoryWasListedAreSeen)
{
    // Listings are kept between look-ups; files made, renamed and deleted
    // afterwards, by this program or any other, must be seen at once.
    ASSERT_FALSE(file_exists("STUDY\\MAPS\\NOTHERE.ZLL"));
    for (int i = 0; i < 20; ++i) {
        const std::string number = std::to_string(i);
        TemporaryDirectory::put("Study/Maps/made" + number + ".zzz", number);
        EXPECT_EQ(read_whole_file("study\\maps\\MADE" + number + ".ZZZ"), number);
        std::filesystem::rename("Study/Maps/made" + number + ".zzz", "Study/Maps/Moved" + number + ".zzz");
        EXPECT_FALSE(file_exists("STUDY\\MAPS\\MADE" + number + ".ZZZ"));
        EXPECT_TRUE(file_exists("STUDY\\MAPS\\MOVED" + number + ".ZZZ"));
        std::filesystem::remove("Study/Maps/Moved" + number + ".zzz");
        EXPECT_EQ(resolve_file_name("STUDY\\MAPS\\MOVED" + number + ".ZZZ"), "Study/Maps/MOVED" + number + ".ZZZ");
        replace_file_atomically("study\\maps\\Again" + number + ".zzz", number);
        EXPECT_EQ(read_whole_file("STUDY/MAPS/AGAIN" + number + ".ZZZ"), number);
    }

    // A directory removed and made again, its names in another case.
    std::filesystem::remove_all("Study/Maps");
    EXPECT_FALSE(file_exists("STUDY\\MAPS\\AGAIN1.ZZZ"));
    TemporaryDirectory::put("Study/MAPS/again1.ZZZ", "new");
    EXPECT_EQ(read_whole_file("study\\maps\\AGAIN1.zzz"), "new");
}

// Another program changes the directory between two look-ups of this one,
// after the listing is kept: each look-up sees the change.
TEST_F(FileNames, ChangesByAnotherProgramBetweenTwoLookUpsAreSeen)
{
    const auto in_another_program = [](const std::string& command) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    };
    // A miss keeps the directory's listing from here on.
    ASSERT_FALSE(file_exists("STUDY\\MAPS\\AB0102ZZ.ZLL"));

    in_another_program("mv Study/Maps/AA0101ZZ.ZLL Study/Maps/aa0101zz.zll");
    EXPECT_EQ(resolve_file_name("STUDY\\MAPS\\AA0101ZZ.ZLL"), "Study/Maps/aa0101zz.zll");
    EXPECT_EQ(read_whole_file("Study\\Maps\\Aa0101zz.zll"), "links\n");

    in_another_program("printf new > Study/Maps/Ab0102zz.zll");
    EXPECT_TRUE(file_exists("STUDY\\MAPS\\AB0102ZZ.ZLL"));
    EXPECT_EQ(read_whole_file_if_exists("study\\maps\\ab0102zz.ZLL"), "new");

    in_another_program("rm Study/Maps/Ab0102zz.zll && mkdir Study/Maps/ab0102zz.zll");
    // A directory is no file, nor a missing one: it is refused.
    EXPECT_THROW(file_exists("STUDY\\MAPS\\AB0102ZZ.ZLL"), FileError);
    EXPECT_THROW(read_whole_file_if_exists("STUDY\\MAPS\\AB0102ZZ.ZLL"), FileError);

    // Names resolved together see the directories as they are when they
    // are resolved, and resolve as each would alone.
    in_another_program("mv Study/Maps/aa0101zz.zll Study/Maps/AA0101zz.ZLL && printf x > Study/Maps/NEW.ZLL");
    const std::vector<std::string> names = {"study\\maps\\aa0101zz.zll", "STUDY\\MAPS\\new.zll",
                                            "study\\maps\\missing.zll", "SETF.ZZZ", "dup.txt", "Dup.txt"};
    const std::vector<std::filesystem::path> together = resolve_file_names(names);
    ASSERT_EQ(together.size(), names.size());
    EXPECT_EQ(together[0], "Study/Maps/AA0101zz.ZLL");
    EXPECT_EQ(together[1], "Study/Maps/NEW.ZLL");
    for (std::size_t k = 0; k < names.size(); ++k) EXPECT_EQ(together[k], resolve_file_name(names[k])) << names[k];
}

// A forked child is another program: its look-ups, made after this one
// changed a directory whose listing it keeps, answer as the disk stands, and
// leave this one's kept listing to see the change too.  The directory made
// again takes the inode the removed one had, where the file system gives it
// back at once.
TEST_F(FileNames, AForkedChildsLookUpsLeaveTheParentsListingsCurrent)
{
    struct Case {
        const char* change;
        std::function<void()> make;
        const char* written;
        const char* expected;
    };
    const Case cases[] = {
        {"a file made", [] { TemporaryDirectory::put("Study/Maps/Later.zll", "later\n"); }, "STUDY\\MAPS\\LATER.ZLL",
         "Study/Maps/Later.zll"},
        {"a file renamed",
         [] { std::filesystem::rename("Study/Maps/AA0101ZZ.ZLL", "Study/Maps/Aa0101zz.zll"); },
         "study\\maps\\AA0101ZZ.ZLL", "Study/Maps/Aa0101zz.zll"},
        {"the directory removed and made again in another case",
         [] {
             std::filesystem::remove_all("Study/Maps");
             TemporaryDirectory::put("Study/MAPS/Again.zll", "again\n");
         },
         "study\\maps\\AGAIN.ZLL", "Study/MAPS/Again.zll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        // A miss keeps the listings of Study and its maps from here on.
        ASSERT_FALSE(file_exists("STUDY\\MAPS\\NONE.ZLL"));
        c.make();
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool right = false;
            try {
                right = resolve_file_name(c.written) == c.expected;
            } catch (...) {
            }
            _exit(right ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child resolved " << c.written << " wrongly";
        EXPECT_EQ(resolve_file_name(c.written).string(), c.expected);
    }
}

// A name held by the directory exactly as written is that file, even when
// another differs from it only in case, whether it is found by the name as
// written or through the kept listing.
TEST_F(FileNames, TheNameAsWrittenIsPreferredToOneInAnotherCase)
{
    ASSERT_FALSE(file_exists("NONE.TXT"));  // the listing is kept from here on
    TemporaryDirectory::put("dup.TXT", "lower\n");
    const std::string dangling = "no-such-target";
    ASSERT_EQ(symlink(dangling.c_str(), "dup.txt"), 0);
    EXPECT_EQ(resolve_file_name("dup.txt"), "dup.txt") << "a link that leads nowhere is still the entry";
    EXPECT_EQ(resolve_file_name("Dup.txt"), "Dup.txt");
    EXPECT_EQ(resolve_file_name("dUP.TXT"), "DUP.TXT");
    EXPECT_EQ(read_whole_file("dup.TXT"), "lower\n");
    EXPECT_FALSE(file_exists("dup.txt"));
    delete_file("DUP.txt");  // no such exact name: the first in byte order goes
    EXPECT_EQ(TemporaryDirectory::entries(),
              (std::vector<std::string>{"Dup.txt", "Study", "dup.TXT", "dup.txt", "setf.zzz"}));
}

TEST_F(FileNames, ExistsDeleteAndReadFollowTheResolver)
{
    EXPECT_TRUE(file_exists("STUDY\\CONTZZ.ZZZ"));
    EXPECT_THROW(file_exists("STUDY\\MAPS"), FileError);  // a directory is no file, nor a missing one
    EXPECT_FALSE(file_exists("STUDY\\NONE.ZZZ"));
    EXPECT_EQ(read_whole_file("Setf.Zzz"), "set f\n");

    delete_file("SETF.ZZZ");
    EXPECT_FALSE(std::filesystem::exists("setf.zzz"));
    EXPECT_NO_THROW(delete_file("SETF.ZZZ"));  // already gone
}

TEST_F(FileNames, MissingFileMessageNamesTheFileAsWritten)
{
    try {
        read_whole_file("D:\\STUDY\\AA0199ZZ.ZLL  ");
        FAIL() << "a missing file was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("'D:\\STUDY\\AA0199ZZ.ZLL'"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists("Study/AA0199ZZ.ZLL"));
}

class AtomicReplace : public ::testing::Test {
protected:
    TemporaryDirectory directory_;
};

TEST_F(AtomicReplace, NewContentWholeAndNoTemporaryLeft)
{
    TemporaryDirectory::put("data/TRVLAA.DIA", "old report\n");
    chmod("data/TRVLAA.DIA", 0640);
    const std::string contents(200000, 'x');
    replace_file_atomically("DATA\\trvlaa.dia", contents);

    EXPECT_EQ(TemporaryDirectory::get("data/TRVLAA.DIA"), contents);
    EXPECT_EQ(TemporaryDirectory::entries("data"), std::vector<std::string>{"TRVLAA.DIA"});
    struct stat info {};
    ASSERT_EQ(stat("data/TRVLAA.DIA", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // permissions kept

    replace_file_atomically("data\\Fresh.Out", "");
    EXPECT_EQ(TemporaryDirectory::entries("data"), (std::vector<std::string>{"Fresh.Out", "TRVLAA.DIA"}));
}

TEST_F(AtomicReplace, FailedWriteLeavesTheOldFile)
{
    TemporaryDirectory::put("model.z11", "the old model file");

    // A file size limit makes the write fail part way, as a full disk would.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(replace_file_atomically("MODEL.Z11", std::string(100000, 'n')), FileError);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(TemporaryDirectory::get("model.z11"), "the old model file");
    EXPECT_EQ(TemporaryDirectory::entries(), std::vector<std::string>{"model.z11"});
}

// The rename that puts the new content in place fails (the test moves the
// old file into a directory put at its name, once the temporary is written
// whole): the replacement is refused naming the file, the old file is as it
// was and no temporary is left.
TEST_F(AtomicReplace, ARenameThatFailsIsRefusedAndLeavesNoTemporary)
{
    namespace fs = std::filesystem;
    TemporaryDirectory::put("model.z11", "the old model file");
    bool temporary_whole = false;
    struct WatchEnd {
        ~WatchEnd() { watch_disk_operations({}); }
    } const end;
    watch_disk_operations([&](DiskOperation operation, const fs::path& path) {
        if (operation != DiskOperation::Rename) return;
        temporary_whole = TemporaryDirectory::get(".model.z11.velm-new") == "the new model file";
        fs::rename(path, "aside");
        fs::create_directory(path);
        fs::rename("aside", path / "model.z11");
    });
    try {
        replace_file_atomically("MODEL.Z11", "the new model file");
        ADD_FAILURE() << "the failed rename was taken for a replacement";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "Cannot write file 'MODEL.Z11': Is a directory");
    }
    EXPECT_TRUE(temporary_whole) << "the rename was not reached";
    EXPECT_EQ(TemporaryDirectory::snapshot(),
              (std::map<std::string, std::string>{{"model.z11/model.z11", "the old model file"}}));
}

TEST_F(AtomicReplace, RefusedTargetsReportAndChangeNothing)
{
    std::filesystem::create_directory("Taken");
    TemporaryDirectory::put("Taken/inside", "kept");
    EXPECT_THROW(replace_file_atomically("TAKEN", "x"), FileError);
    EXPECT_THROW(replace_file_atomically("NoSuchDir\\FILE.DAT", "x"), FileError);
    EXPECT_EQ(TemporaryDirectory::entries(), std::vector<std::string>{"Taken"});
    EXPECT_EQ(TemporaryDirectory::get("Taken/inside"), "kept");
}

// A file the engineer made read-only is never replaced: every way of
// rewriting a file refuses it, names it, and leaves it and its protection
// as they were, with no temporary behind.
TEST_F(AtomicReplace, AReadOnlyFileIsRefusedAndKept)
{
    struct Case {
        const char* way;
        std::function<void()> rewrite;
    };
    const std::vector<Case> cases = {
        {"replace", [] { replace_file_atomically("ab2301zz.zll", "new links"); }},
        {"copy", [] { copy_file_atomically("SOURCE.DAT", "AB2301ZZ.ZLL"); }},
        {"together",
         [] {
             FileChange change;
             change.write("OTHER.DAT", "new");
             change.write("AB2301ZZ.ZLL", "new links");
             change.commit();
         }},
        {"check", [] { check_replaceable("AB2301ZZ.ZLL"); }},
        {"append", [] { append_to_file("ab2301zz.zll", "a line more"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        TemporaryDirectory directory;
        TemporaryDirectory::put("AB2301ZZ.ZLL", "protected links");
        TemporaryDirectory::put("OTHER.DAT", "other");
        TemporaryDirectory::put("SOURCE.DAT", "source");
        chmod("AB2301ZZ.ZLL", 0444);
        try {
            c.rewrite();
            FAIL() << "a read-only file was rewritten";
        } catch (const FileError& error) {
            std::string message = error.what();
            std::transform(message.begin(), message.end(), message.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            EXPECT_NE(message.find("'ab2301zz.zll'"), std::string::npos) << error.what();
        }
        EXPECT_EQ(TemporaryDirectory::get("AB2301ZZ.ZLL"), "protected links");
        EXPECT_EQ(TemporaryDirectory::get("OTHER.DAT"), "other");
        struct stat info {};
        ASSERT_EQ(stat("AB2301ZZ.ZLL", &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0444u);
        EXPECT_EQ(TemporaryDirectory::entries(), (std::vector<std::string>{"AB2301ZZ.ZLL", "OTHER.DAT", "SOURCE.DAT"}));
    }
    // A writable file, or one not there yet, passes the check.
    TemporaryDirectory::put("OPEN.DAT", "x");
    EXPECT_NO_THROW(check_replaceable("OPEN.DAT"));
    EXPECT_NO_THROW(check_replaceable("MISSING.DAT"));
}

TEST_F(AtomicReplace, CopyIsWholeAndNeedsItsSource)
{
    const std::string bytes("\x00\x01\r\n\x1a binary", 11);
    TemporaryDirectory::put("TRVLZZ.DIA", bytes);
    TemporaryDirectory::put("TRVLZ1.DIA", "old baseline");
    copy_file_atomically("trvlzz.dia", "trvlz1.dia");
    EXPECT_EQ(TemporaryDirectory::get("TRVLZ1.DIA"), bytes);

    EXPECT_THROW(copy_file_atomically("MISSING.DIA", "TRVLZ1.DIA"), FileError);
    EXPECT_EQ(TemporaryDirectory::get("TRVLZ1.DIA"), bytes);
}

}  // namespace
TEST_F(AtomicReplace, FilesReplacedTogetherAreAllOldWhenOneWriteFails)
{
    TemporaryDirectory::put("AB0101ZZ.Z11", "event 1");
    TemporaryDirectory::put("AB0101ZZ.Z12", "event 2");
    TemporaryDirectory::put("AB0101ZZ.ZLL", "links");

    // The second new file is too large for the limit: nothing is replaced.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto replace_together = [](const std::vector<std::pair<std::string, std::string>>& files) {
        FileChange change;
        for (const auto& [name, contents] : files) change.write(name, contents);
        change.commit();
    };
    EXPECT_THROW(
        replace_together(
            {{"ab0101zz.z11", "new 1"}, {"AB0101ZZ.Z12", std::string(100000, 'n')}, {"AB0101ZZ.ZLL", "new links"}}),
        FileError);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.Z11"), "event 1");
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.Z12"), "event 2");
    EXPECT_EQ(TemporaryDirectory::entries(),
              (std::vector<std::string>{"AB0101ZZ.Z11", "AB0101ZZ.Z12", "AB0101ZZ.ZLL"}));

    replace_together({{"ab0101zz.z11", "new 1"}, {"AB0101ZZ.ZLL", "new links"}, {"TEMP.DAT", "kept"}});
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.Z11"), "new 1");
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.ZLL"), "new links");
    EXPECT_EQ(TemporaryDirectory::get("TEMP.DAT"), "kept");
}

TEST_F(AtomicReplace, AppendKeepsWhatTheFileHoldsAndCreatesAMissingOne)
{
    append_to_file("HISTORY.LOG", "one\r\n");
    append_to_file("history.log", "two\r\n");
    EXPECT_EQ(TemporaryDirectory::get("HISTORY.LOG"), "one\r\ntwo\r\n");
    EXPECT_THROW(append_to_file("NoSuchDir\\LOG", "x"), FileError);
}

}  // namespace velm
