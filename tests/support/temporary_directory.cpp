#include "support/temporary_directory.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velm::test {

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "velm-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void TemporaryDirectory::put(const std::filesystem::path& name, const std::string& bytes)
{
    if (name.has_parent_path()) std::filesystem::create_directories(name.parent_path());
    std::ofstream(name, std::ios::binary) << bytes;
}

std::string TemporaryDirectory::get(const std::filesystem::path& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> TemporaryDirectory::entries(const std::filesystem::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> TemporaryDirectory::snapshot(const std::filesystem::path& directory)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        files[std::filesystem::relative(entry.path(), directory).string()] = get(entry.path());
    }
    return files;
}

}  // namespace velm::test
