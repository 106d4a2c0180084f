// A fresh directory for one test, made the working directory while the test
// runs; on leaving, the previous working directory is restored and the
// directory removed.  Small helpers lay files in it and read them back by
// their exact names (no name mapping).
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace velm::test {

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The full name of a file in the directory.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Writes bytes to a file named exactly as given, making its directories.
    static void put(const std::filesystem::path& name, const std::string& bytes);
    // The bytes of a file; empty when it is missing.
    static std::string get(const std::filesystem::path& name);
    // The names in a directory, sorted.
    static std::vector<std::string> entries(const std::filesystem::path& directory = ".");
    // Every file under a directory, hidden ones included, by its name
    // relative to it, with its bytes: two snapshots are equal when the run
    // between them changed, added and removed nothing.
    static std::map<std::string, std::string> snapshot(const std::filesystem::path& directory = ".");

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

}  // namespace velm::test
