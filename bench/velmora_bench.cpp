// The analysis run at scale.  For each study size, from some 500 links to
// some 50,000 (more maps, and more links a map), the benchmark generates a
// county study with the study builder, runs the whole analysis on it as a
// launched run of the real program (option 1, sub-option 2: no typing), and
// measures beside it the floor of any run over the same study: reading every
// input file once, parsing every number of its text data bases once, and
// writing every file the run wrote once, through the record layer alone.
//
// One row a size:
//   links seconds seconds_per_link floor_seconds ratio peak_rss_mb
// `ratio` is seconds / floor_seconds; `peak_rss_mb` the program's peak
// resident memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/text_file.h"
#include "records/free_form.h"
#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"
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

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ends_with(const std::string& text, std::string_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The launcher's command file: the study, call count 1, option 1,
// sub-option 2 (run the analysis), and seven unused zeros.
void write_command_file(const fs::path& directory, const std::string& study)
{
    std::ofstream file(directory / "QEVCOM.DAT", std::ios::binary);
    file << study << "\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
}

struct ProgramRun {
    double seconds;
    double peak_rss_mb;
};

// The real program in `directory`, its input and output on /dev/null.  It is
// spawned without a copy of this process (which holds the generated study),
// so that its peak resident memory is its own.
ProgramRun run_program(const fs::path& directory)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* const arguments[] = {const_cast<char*>(VELMORA_PROGRAM), nullptr};
    std::fflush(stdout);
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
    return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

// Every input file read once (the binary model and results files record by
// record), every number of the text data bases and GIS files parsed once,
// and every file the run wrote written once and flushed to the disk: the
// least any run must do.
double floor_seconds(const fs::path& directory, const std::vector<std::string>& inputs,
                     const std::vector<std::string>& outputs)
{
    fs::path scratch = directory;
    scratch += ".floor";
    fs::create_directories(scratch);
    std::vector<std::vector<std::string>> written;
    for (const std::string& name : outputs) written.push_back(velm::read_text_lines((directory / name).string()));

    const auto start = Clock::now();
    std::size_t records = 0;
    for (const std::string& name : inputs) {
        const std::string path = (directory / name).string();
        const std::string key = upper(name);
        if (ends_with(key, ".ZLL")) {
            records += velm::read_link_data_base(path, velm::FilePresence::MustExist).size();
        } else if (ends_with(key, ".ZNN")) {
            records += velm::read_node_data_base(path, velm::FilePresence::MustExist).size();
        } else if (ends_with(key, ".ZSS")) {
            records += velm::read_subarea_data_base(path, velm::FilePresence::MustExist).size();
        } else if (ends_with(key, ".ZZN")) {
            records += velm::read_gis_node_file(path, velm::FilePresence::MustExist).size();
        } else if (ends_with(key, ".ZZL")) {
            records += velm::read_gis_link_file(path, velm::FilePresence::MustExist).size();
        } else if (ends_with(key, ".ZZS")) {
            records += velm::read_gis_subarea_file(path, velm::FilePresence::MustExist).size();
        } else if (key.find(".Z") != std::string::npos && key != "QEVCOM.DAT" &&
                   key.find("CONTZZ") == std::string::npos) {
            velm::RecordFile file(path, velm::RecordFile::Open::MustExist);
            while (file.read_record()) ++records;
            file.close_keep();
        } else {
            records += velm::read_text_lines(path).size();
        }
    }
    {
        // Written as a run commits its results: every file whole, then one
        // flush of them all to the disk.
        const velm::DiskFlushesOff unflushed;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            velm::write_text_lines((scratch / outputs[i]).string(), written[i]);
        }
    }
    velm::flush_file_system(scratch);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (records == 0) throw std::runtime_error("the floor read no record");
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

void print_help()
{
    std::cout << "usage: velmora_bench [--max-links N] [--keep DIRECTORY]\n"
                 "Generates county studies of some 500, 2,000, 10,000 and 50,000 links, runs the\n"
                 "whole analysis on each as a launched run of the program, and prints a row a size:\n"
                 "  links seconds seconds_per_link floor_seconds ratio peak_rss_mb\n"
                 "--max-links N  only the sizes of at most N links\n"
                 "--keep DIRECTORY  also leaves each study, as the run left it, in\n"
                 "                  DIRECTORY/<links> (its input files in DIRECTORY/<links>.input),\n"
                 "                  to profile the program on it or compare its results\n";
}

}  // namespace

int main(int argc, char** argv)
{
    long max_links = -1;
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
    const fs::path scratch = fs::temp_directory_path() / ("velmora_bench." + std::to_string(getpid()));
    std::cout << "links seconds seconds_per_link floor_seconds ratio peak_rss_mb\n";
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
                fs::create_directories(work);
                study.write(work);
                write_command_file(work, study.study_id());
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
        // One run first, on a study of the smallest size and untimed, so that
        // no size pays for loading the program and its libraries from disk.
        const fs::path warm_up = scratch / "warm-up";
        generate(warm_up, SIZES.front(), {});
        run_program(warm_up);

        for (const StudySize& size : SIZES) {
            const fs::path work = scratch / (std::to_string(size.maps) + "x" + std::to_string(size.units_per_map));
            const long links = generate(work, size, keep);
            if (max_links >= 0 && links > max_links) break;

            const auto before = stamps(work);
            const ProgramRun run = run_program(work);
            const auto after = stamps(work);
            std::vector<std::string> inputs;
            std::vector<std::string> outputs;
            for (const auto& [name, stamp] : after) {
                const auto old = before.find(name);
                if (old == before.end() || !(old->second == stamp)) outputs.push_back(name);
                if (old != before.end() && name != "QEVCOM.DAT") inputs.push_back(name);
            }
            const double floor = in_child([&] { return floor_seconds(work, inputs, outputs); });
            std::printf("%ld %.3f %.3e %.3f %.2f %.1f\n", links, run.seconds, run.seconds / static_cast<double>(links),
                        floor, run.seconds / floor, run.peak_rss_mb);
            std::fflush(stdout);
            if (!keep.empty()) {
                const fs::path kept = keep / std::to_string(links);
                fs::remove_all(kept);
                fs::copy(work, kept, fs::copy_options::recursive);
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "velmora_bench: " << error.what() << '\n';
        fs::remove_all(scratch);
        return 1;
    }
    fs::remove_all(scratch);
    return 0;
}
