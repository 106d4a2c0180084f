// The analysis run at scale.  For each study size, from some 500 links to
// some 50,000 (more maps, and more links a map), the benchmark generates a
// county study with the study builder, runs the whole analysis on it as a
// launched run of the real program (option 1, sub-option 2: no typing), and
// measures beside it the floor of any run over the same study, written with
// nothing of the program: reading every file the run read (as the kernel
// reports the run's reads), converting every number of the text data bases
// among them with std::from_chars, and writing every file the run wrote, at
// its real size, with plain POSIX writes and one flush of the file system.
//
// The studies are measured on the disk and in memory (a tmpfs), one table
// each: on the disk the floor is mostly the flush of the run's files to the
// device, in memory there is no device and the floor is the copying of the
// bytes and the converting of the numbers.  One row a size:
//   medium links seconds seconds_per_link floor_seconds ratio peak_rss_mb
// `ratio` is seconds / floor_seconds; `peak_rss_mb` the program's peak
// resident memory.  Each figure is the median of several passes (3 unless
// --passes says otherwise), each on a fresh copy of the generated study: a
// machine that does other work now and then shows in one pass, not in the
// median.
//
// Then, on the largest study, the modules that go over the whole study, each
// a process of its own after the analysis run: the GIS update (option 7,
// with one value changed in each GIS export), the scenario adoption
// (option 6) and the differences from that baseline (option 5, by the
// default subset specification, with the full report), each pass on a
// fresh copy of the analysed study (in memory when it is measured there).
// One row an operation, medians again:
//   operation medium links seconds peak_rss_mb
//
// A run counts only when it did its whole work: the analysis run must leave
// the launcher's reply and a complete diagnostics report, each module the
// file it writes; a run that stops early ends the benchmark, never a row.
#include <fcntl.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "management/subset_field_map.h"
#include "support/large_studies.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct StudySize {
    int maps;
    int units_per_map;
};

// Some 500, 2,000, 10,000 and 50,000 links.
const std::vector<StudySize> SIZES = {{21, 2}, {56, 3}, {168, 5}, {600, 7}};
constexpr int UNITS_PER_CHAIN = 10;
constexpr int STORM_EVENTS = 2;

struct FileStamp {
    std::uintmax_t size;
    fs::file_time_type time;
    bool operator==(const FileStamp&) const = default;
};

std::map<std::string, FileStamp> stamps(const fs::path& directory)
{
    std::map<std::string, FileStamp> result;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file())
            result[entry.path().filename().string()] = {entry.file_size(), entry.last_write_time()};
    }
    return result;
}

// The files of `after` that are new or changed since `before`.
std::vector<std::string> changed_files(const std::map<std::string, FileStamp>& before,
                                       const std::map<std::string, FileStamp>& after)
{
    std::vector<std::string> changed;
    for (const auto& [name, stamp] : after) {
        const auto old = before.find(name);
        if (old == before.end() || !(old->second == stamp)) changed.push_back(name);
    }
    return changed;
}

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ends_with(const std::string& text, std::string_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The launcher's command file: the study, the call count, the option, the
// sub-option, and seven unused zeros.  Count 1 is the toolset mode: the
// module does its one operation and ends.
void write_command_file(const fs::path& directory, const std::string& study, int option, int sub_option)
{
    std::ofstream file(directory / "QEVCOM.DAT", std::ios::binary);
    file << study << "\r\n1\r\n" << option << ".\r\n" << sub_option << ".\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
}

// The names of the files in one directory that a process opened without
// writing, as the kernel reports them: a file read is closed unwritten.
class ReadFiles {
public:
    explicit ReadFiles(const fs::path& directory)
    {
        fd_ = inotify_init1(IN_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("inotify is not available");
        watch_ = inotify_add_watch(fd_, directory.c_str(), IN_CLOSE_NOWRITE);
        if (watch_ < 0) throw std::runtime_error("cannot watch " + directory.string());
        // Drained while the program runs, so that the kernel's queue of
        // events never fills.
        reader_ = std::thread([this] { drain(); });
    }
    ReadFiles(const ReadFiles&) = delete;
    ReadFiles& operator=(const ReadFiles&) = delete;
    ~ReadFiles()
    {
        if (reader_.joinable()) finish();
        close(fd_);
    }

    // Once the program has ended: every name it read.
    std::set<std::string> finish()
    {
        // Removing the watch queues its last event, which ends the drain.
        inotify_rm_watch(fd_, watch_);
        reader_.join();
        if (overflow_) throw std::runtime_error("the kernel lost some of the run's file events");
        return names_;
    }

private:
    void drain()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) return;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW) overflow_ = true;
                if (event->mask & IN_IGNORED) return;
                if (event->len > 0 && !(event->mask & IN_ISDIR)) names_.insert(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int fd_ = -1;
    int watch_ = -1;
    std::thread reader_;
    std::set<std::string> names_;
    bool overflow_ = false;
};

struct ProgramRun {
    double seconds;
    double peak_rss_mb;
    std::set<std::string> read;  // the names of the files it read
};

// The real program in `directory`, its output on /dev/null and its input
// the typed lines in `typed` (or /dev/null).  It is spawned without a copy
// of this process (which holds the generated study), so that its peak
// resident memory is its own.
ProgramRun run_program(const fs::path& directory, const fs::path& typed = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, typed.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* const arguments[] = {const_cast<char*>(VELMORA_PROGRAM), nullptr};
    std::fflush(stdout);
    ReadFiles watch(directory);
    const auto start = Clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, VELMORA_PROGRAM, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + std::string(VELMORA_PROGRAM));
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait failed");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the program failed in " + directory.string());
    }
    return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0, watch.finish()};
}

// The whole of a file, by plain reads into `bytes`.
void read_whole(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    bytes.clear();
    char block[64 * 1024];
    for (;;) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got < 0) throw std::runtime_error("cannot read " + path);
        if (got == 0) break;
        bytes.append(block, static_cast<std::size_t>(got));
    }
    close(fd);
}

// Every number of a text data base converted: items are parted by blanks,
// commas and line ends, and a text item stands in apostrophes.
std::size_t convert_numbers(std::string_view text)
{
    std::size_t numbers = 0;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const char c = *at;
        if (c == ' ' || c == ',' || c == '\r' || c == '\n' || c == '\t') {
            ++at;
        } else if (c == '\'') {
            at = static_cast<const char*>(std::memchr(at + 1, '\'', static_cast<std::size_t>(end - at - 1)));
            if (at == nullptr) throw std::runtime_error("a text item without its closing apostrophe");
            ++at;
        } else {
            float value = 0.0f;
            const auto [next, error] = std::from_chars(at, end, value);
            if (error != std::errc() || next == at) throw std::runtime_error("an item that is no number");
            at = next;
            ++numbers;
        }
    }
    return numbers;
}

// The records of a binary record file walked by their leading and trailing
// lengths.
std::size_t walk_records(std::string_view bytes)
{
    std::size_t records = 0;
    std::size_t at = 0;
    while (at + 4 <= bytes.size()) {
        std::uint32_t length = 0;
        std::memcpy(&length, bytes.data() + at, 4);
        std::uint32_t trailing = 0;
        if (at + 8 + length > bytes.size()) throw std::runtime_error("a record cut short");
        std::memcpy(&trailing, bytes.data() + at + 4 + length, 4);
        if (trailing != length) throw std::runtime_error("a record whose lengths differ");
        at += 8 + length;
        ++records;
    }
    return records;
}

bool is_text_data_base(const std::string& name)
{
    const std::string key = upper(name);
    for (const char* extension : {".ZLL", ".ZNN", ".ZSS", ".ZZN", ".ZZL", ".ZZS"})
        if (ends_with(key, extension)) return true;
    return ends_with(key, "CONTZZ.ZZZ");
}

// The least any run must do: every file the run read read once, every
// number of its text data bases converted once, the binary record files
// walked, and every file the run wrote written once at its real size and
// flushed to the disk, as a run commits its results (all written, then one
// flush of the file system).  Nothing of the program is used.
double floor_seconds(const fs::path& directory, const std::vector<std::string>& inputs,
                     const std::vector<std::string>& outputs)
{
    fs::path scratch = directory;
    scratch += ".floor";
    fs::create_directories(scratch);
    std::vector<std::string> written(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) read_whole((directory / outputs[i]).string(), written[i]);

    const auto start = Clock::now();
    std::size_t items = 0;
    std::string bytes;
    for (const std::string& name : inputs) {
        read_whole((directory / name).string(), bytes);
        if (is_text_data_base(name)) {
            items += convert_numbers(bytes);
        } else if (upper(name).find(".Z") != std::string::npos) {
            items += walk_records(bytes);
        } else {
            items += bytes.size();
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string path = (scratch / outputs[i]).string();
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + path);
        const char* at = written[i].data();
        std::size_t left = written[i].size();
        while (left > 0) {
            const ssize_t put = write(fd, at, left);
            if (put <= 0) throw std::runtime_error("cannot write " + path);
            at += put;
            left -= static_cast<std::size_t>(put);
        }
        if (close(fd) != 0) throw std::runtime_error("cannot write " + path);
    }
    const int directory_fd = open(scratch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory_fd < 0 || syncfs(directory_fd) != 0) throw std::runtime_error("cannot flush " + scratch.string());
    close(directory_fd);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (items == 0) throw std::runtime_error("the floor read nothing");
    return seconds;
}

// Runs `work` in a child process and returns the number it gives.
template <class Work>
double in_child(Work work)
{
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        close(channel[0]);
        try {
            const double result = work();
            if (write(channel[1], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) _exit(1);
            _exit(0);
        } catch (const std::exception& error) {
            std::cerr << "velmora_bench: " << error.what() << '\n';
            _exit(1);
        }
    }
    close(channel[1]);
    double result = 0.0;
    const ssize_t got = read(channel[0], &result, sizeof result);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != static_cast<ssize_t>(sizeof result) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("a child process of the benchmark failed");
    }
    return result;
}

// The GIS exports of the study with one value changed in each: a node
// lower, a link longer, a subarea larger.  Written beside the study, to be
// put into it after the analysis run.
void write_changed_exports(velm::test::StudyBuilder& study, const fs::path& exports)
{
    const velm::NodeRecord& node = study.nodes()[study.nodes().size() / 2];
    study.node(node.node_number()).node_elevation() -= 0.5f;
    const velm::LinkRecord& link = study.links()[study.links().size() / 2];
    study.link(link.upstream_node(), link.downstream_node()).link_length() += 10.0f;
    const velm::SubareaRecord& subarea = study.subareas()[study.subareas().size() / 2];
    study.subarea(subarea.column(1)).cell_area(1) += 0.5f;
    fs::create_directories(exports);
    study.write_gis_exports(exports);
}

// One module over the whole study, launched as the launcher starts it, with
// the answers of its screens typed on its input.
struct Operation {
    const char* name;
    int option;
    int sub_option;
    const char* typed;
    const char* writes;  // a file the operation must write, after the study
};

const std::vector<Operation> OPERATIONS = {
    {"gis-update", 7, 0, "", "HISTZZ.DAT"},
    // Operation 3: adopt the study as the baseline of a new scenario.
    {"adoption", 6, 3, "", "LINKZZ.BAS"},
    // Option 1 (the differences data bases), report 3 (the full report,
    // which is written even when the scenario is still its baseline).
    {"differences", 5, 0, "1\r\n3\r\n", "TRVLZZ.DIF"},
};

// The reply a launched run leaves when it has finished (the launcher's done
// code), and the last section of a complete diagnostics report: the links
// that the telescoping upgraded, which the run writes last.
constexpr std::string_view LAUNCHER_REPLY = "QEVCOM2.DAT";
constexpr std::string_view LAUNCHER_DONE_REPLY = "99\r\n";
constexpr std::string_view REPORT_LAST_SECTION = "Existing system LINKS that are UPGRADED due to telescoping";

std::string file_text(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A run of the analysis that did its whole work: it wrote the launcher's
// reply and the diagnostics report, whole (the report's last section there
// and its last line ended); otherwise why not.
void check_analysis_outputs(const fs::path& work, const std::string& study_id, const std::vector<std::string>& written)
{
    const std::string report = study_id + "TRVLZZ.DIA";
    for (const std::string& name : {std::string(LAUNCHER_REPLY), report}) {
        if (std::find(written.begin(), written.end(), name) == written.end())
            throw std::runtime_error("the analysis run in " + work.string() + " did not write " + name);
    }
    if (file_text(work / std::string(LAUNCHER_REPLY)) != LAUNCHER_DONE_REPLY)
        throw std::runtime_error("the analysis run in " + work.string() + " did not reply that it was done");
    const std::string text = file_text(work / report);
    if (text.find(REPORT_LAST_SECTION) == std::string::npos || text.size() < 2 ||
        text.compare(text.size() - 2, 2, "\r\n") != 0)
        throw std::runtime_error("the analysis run in " + work.string() + " left its report " + report + " incomplete");
}

// Where the studies of each table go.
struct Medium {
    const char* name;  // "disk" or "memory"
    fs::path directory;
};

bool in_memory(const fs::path& directory)
{
    constexpr long TMPFS_MAGIC_NUMBER = 0x01021994;
    constexpr long RAMFS_MAGIC_NUMBER = 0x858458f6;
    struct statfs info {};
    if (statfs(directory.c_str(), &info) != 0) return false;
    const auto type = static_cast<long>(info.f_type);
    return type == TMPFS_MAGIC_NUMBER || type == RAMFS_MAGIC_NUMBER;
}

// The disk: $TMPDIR (default /tmp) unless that is in memory, then /var/tmp.
// Memory: /dev/shm, or $TMPDIR when that is in memory.
std::vector<Medium> media(const std::string& which)
{
    const fs::path temporary = fs::temp_directory_path();
    const bool temporary_in_memory = in_memory(temporary);
    std::vector<Medium> chosen;
    if (which == "disk" || which == "both")
        chosen.push_back({"disk", temporary_in_memory ? fs::path("/var/tmp") : temporary});
    if (which == "memory" || which == "both")
        chosen.push_back({"memory", temporary_in_memory ? temporary : fs::path("/dev/shm")});
    for (const Medium& medium : chosen) {
        if (in_memory(medium.directory) != (std::string(medium.name) == "memory"))
            throw std::runtime_error(medium.directory.string() + " is not on the " + medium.name);
    }
    return chosen;
}

// The middle value (the mean of the middle two of an even count).
double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// A fresh copy of a study, on the disk before a run starts.
void copy_study(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
    sync();
}

void print_help()
{
    std::cout << "usage: velmora_bench [--max-links N] [--passes N] [--media disk|memory|both] [--keep DIRECTORY]\n"
                 "Generates county studies of some 500, 2,000, 10,000 and 50,000 links, runs the\n"
                 "whole analysis on each as a launched run of the program, on the disk ($TMPDIR, or\n"
                 "/var/tmp when that is a tmpfs) and in memory (/dev/shm, or $TMPDIR when that is a\n"
                 "tmpfs), and prints a row a size:\n"
                 "  medium links seconds seconds_per_link floor_seconds ratio peak_rss_mb\n"
                 "then, on the largest study of the last medium, times the GIS update, the scenario\n"
                 "adoption and the differences, each a run of the program, and prints a row an operation:\n"
                 "  operation medium links seconds peak_rss_mb\n"
                 "Each figure is the median of the passes, each on a fresh copy of the study.  A run\n"
                 "that does not finish its work (the analysis: the launcher's reply and a complete\n"
                 "report) ends the benchmark with a message.\n"
                 "--max-links N  only the sizes of at most N links\n"
                 "--passes N     the passes a figure is the median of (default 3)\n"
                 "--media M      disk, memory or both (default both)\n"
                 "--keep DIRECTORY  also leaves each study, as the analysis run left it, in\n"
                 "                  DIRECTORY/<links> (its input files in DIRECTORY/<links>.input),\n"
                 "                  to profile the program on it or compare its results\n";
}

}  // namespace

int main(int argc, char** argv)
{
    long max_links = -1;
    int passes = 3;
    std::string which_media = "both";
    fs::path keep;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            print_help();
            return 0;
        }
        if (argument == "--max-links" && i + 1 < argc) {
            max_links = std::strtol(argv[++i], nullptr, 10);
            continue;
        }
        if (argument == "--passes" && i + 1 < argc) {
            passes = std::max(1, static_cast<int>(std::strtol(argv[++i], nullptr, 10)));
            continue;
        }
        if (argument == "--media" && i + 1 < argc) {
            which_media = argv[++i];
            if (which_media != "disk" && which_media != "memory" && which_media != "both") {
                std::cerr << "velmora_bench: --media takes disk, memory or both\n";
                return 2;
            }
            continue;
        }
        if (argument == "--keep" && i + 1 < argc) {
            keep = argv[++i];
            continue;
        }
        std::cerr << "velmora_bench: unknown argument " << argument << " (see --help)\n";
        return 2;
    }

    // Each size has a directory of its own, and nothing is deleted before the
    // last size is measured: a file system that has just deleted thousands of
    // files makes every file created soon after cost more, which would charge
    // the benchmark's own clean-up to the next run.
    const std::string scratch_name = "velmora_bench." + std::to_string(getpid());
    std::vector<fs::path> scratches;
    const std::string study_id = "AB";
    auto remove_scratches = [&] {
        for (const fs::path& scratch : scratches) fs::remove_all(scratch);
    };
    try {
        // The study is generated, and later the floor measured, in a child
        // process of its own: this process stays small, so the program it
        // starts begins small too.
        auto generate = [&](const fs::path& work, const StudySize& size, const fs::path& keep_in) {
            return static_cast<long>(in_child([&] {
                velm::test::StudyBuilder study = velm::test::large_study(6, velm::test::county_map_numbers(size.maps),
                                                                         size.units_per_map, UNITS_PER_CHAIN);
                const long count = static_cast<long>(study.links().size());
                if (max_links >= 0 && count > max_links) return static_cast<double>(count);
                if (study.study_id() != study_id) throw std::runtime_error("a study of another name");
                fs::create_directories(work);
                study.write(work);
                write_command_file(work, study.study_id(), 1, 2);
                write_changed_exports(study, fs::path(work) += ".exports");
                // The study is on the disk before the run starts, as an
                // engineer's study is: the run's flush then waits for the
                // run's own files only.
                sync();
                if (!keep_in.empty()) {
                    const fs::path input = keep_in / (std::to_string(count) + ".input");
                    fs::remove_all(input);
                    fs::create_directories(keep_in);
                    fs::copy(work, input, fs::copy_options::recursive);
                }
                return static_cast<double>(count);
            }));
        };
        const std::vector<Medium> chosen_media = media(which_media);
        fs::path scratch;
        fs::path largest;
        const char* largest_medium = "";
        long largest_links = 0;
        std::vector<double> largest_seconds;
        std::vector<double> largest_rss;
        std::cout << "medium links seconds seconds_per_link floor_seconds ratio peak_rss_mb\n";
        for (const Medium& medium : chosen_media) {
            scratch = medium.directory / scratch_name;
            scratches.push_back(scratch);
            // One run first, on a study of the smallest size and untimed, so that
            // no size pays for loading the program and its libraries from disk.
            const fs::path warm_up = scratch / "warm-up";
            generate(warm_up, SIZES.front(), {});
            run_program(warm_up);

            largest.clear();
            for (const StudySize& size : SIZES) {
                const std::string name = std::to_string(size.maps) + "x" + std::to_string(size.units_per_map);
                const fs::path input = scratch / (name + ".input");
                const long links = generate(input, size, keep);
                if (max_links >= 0 && links > max_links) break;

                std::vector<double> seconds;
                std::vector<double> floors;
                std::vector<double> rss;
                fs::path work;
                for (int pass = 1; pass <= passes; ++pass) {
                    work = scratch / (name + ".pass" + std::to_string(pass));
                    copy_study(input, work);
                    const auto before = stamps(work);
                    const ProgramRun run = run_program(work);
                    const std::vector<std::string> outputs = changed_files(before, stamps(work));
                    check_analysis_outputs(work, study_id, outputs);
                    std::vector<std::string> inputs;
                    for (const std::string& file : run.read)
                        if (before.count(file) != 0 && file != "QEVCOM.DAT") inputs.push_back(file);
                    floors.push_back(in_child([&] { return floor_seconds(work, inputs, outputs); }));
                    seconds.push_back(run.seconds);
                    rss.push_back(run.peak_rss_mb);
                }
                const double run_seconds = median(seconds);
                const double floor = median(floors);
                std::printf("%s %ld %.3f %.3e %.3f %.2f %.1f\n", medium.name, links, run_seconds,
                            run_seconds / static_cast<double>(links), floor, run_seconds / floor, median(rss));
                std::fflush(stdout);
                if (!keep.empty()) {
                    const fs::path kept = keep / std::to_string(links);
                    fs::remove_all(kept);
                    fs::copy(work, kept, fs::copy_options::recursive);
                }
                largest = work;
                largest_medium = medium.name;
                largest_links = links;
                largest_seconds = seconds;
                largest_rss = rss;
            }
        }
        if (largest.empty()) {
            remove_scratches();
            return 0;
        }

        // The modules over the whole of the largest study (of the last
        // medium), in turn on the study as the one before left it.
        std::cout << "operation medium links seconds peak_rss_mb\n";
        std::printf("analysis %s %ld %.3f %.1f\n", largest_medium, largest_links, median(largest_seconds),
                    median(largest_rss));
        std::fflush(stdout);
        // The exports with one changed value each, and the differences listed
        // by the study's subset specification (the engineer's usual columns).
        const fs::path exports = fs::path(largest).replace_extension(".input") += ".exports";
        for (const fs::path& entry : fs::directory_iterator(exports))
            fs::copy_file(entry, largest / entry.filename(), fs::copy_options::overwrite_existing);
        velm::SubsetFieldMap subset_fields;
        velm::set_subset_field_map_defaults(subset_fields);
        velm::write_subset_specification((largest / (study_id + "TRVLZZ.SST")).string(), subset_fields);
        std::vector<std::vector<double>> seconds(OPERATIONS.size());
        std::vector<std::vector<double>> rss(OPERATIONS.size());
        for (int pass = 1; pass <= passes; ++pass) {
            // The operations in turn, each on the study as the one before
            // left it, on a fresh copy of the analysed study each pass.
            const fs::path work = fs::path(largest).replace_extension(".operations" + std::to_string(pass));
            copy_study(largest, work);
            for (std::size_t k = 0; k < OPERATIONS.size(); ++k) {
                const Operation& operation = OPERATIONS[k];
                write_command_file(work, study_id, operation.option, operation.sub_option);
                const fs::path typed = scratch / "typed";
                std::ofstream(typed, std::ios::binary) << operation.typed;
                const auto before = stamps(work);
                const ProgramRun run = run_program(work, typed);
                const std::string expected = study_id + operation.writes;
                const std::vector<std::string> written = changed_files(before, stamps(work));
                if (std::find(written.begin(), written.end(), expected) == written.end())
                    throw std::runtime_error(std::string(operation.name) + " did not write " + expected);
                seconds[k].push_back(run.seconds);
                rss[k].push_back(run.peak_rss_mb);
            }
        }
        for (std::size_t k = 0; k < OPERATIONS.size(); ++k)
            std::printf("%s %s %ld %.3f %.1f\n", OPERATIONS[k].name, largest_medium, largest_links, median(seconds[k]),
                        median(rss[k]));
        std::fflush(stdout);
    } catch (const std::exception& error) {
        std::cerr << "velmora_bench: " << error.what() << '\n';
        remove_scratches();
        return 1;
    }
    remove_scratches();
    return 0;
}
