// A fresh directory for one test, made the working directory while the test
// runs and removed afterwards, with small helpers to lay files in it.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velm::test {

class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velm-platform-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TemporaryDirectory()
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes bytes to a file named exactly as given (no name mapping).
    static void put(const std::filesystem::path& name, const std::string& bytes)
    {
        if (name.has_parent_path()) std::filesystem::create_directories(name.parent_path());
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string get(const std::filesystem::path& name)
    {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The names in a directory, sorted.
    static std::vector<std::string> entries(const std::filesystem::path& directory = ".")
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

}  // namespace velm::test
