#include "records/study_names.h"
#include "records/study_id.h"

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"

#include <cctype>
#include <filesystem>

namespace velm {

namespace {

// Characters of the data directory file's first line that hold the path.
constexpr std::size_t DIRECTORY_TEXT_LENGTH = 50;

// The name of the study's data directory file: the first two characters of
// the name being converted, then "MPDZZ.ZZZ", in the working directory.
std::string data_directory_file_name(std::string_view name)
{
    return study_id_of(name) + "MPDZZ.ZZZ";
}

// The directory part of the file's first line: everything up to and
// including its last directory separator.  A line without a separator (a
// bare file name, or "D:") names no directory.
std::string directory_prefix(std::string_view first_line)
{
    const std::string_view text = first_line.substr(0, DIRECTORY_TEXT_LENGTH);
    const std::size_t last = text.find_last_of("\\/");
    if (last == std::string_view::npos) return {};
    return std::string(text.substr(0, last + 1));
}

void look_up_data_directory(DataDirectoryCache& cache, std::string_view name)
{
    const std::string file = data_directory_file_name(name);
    cache.directory.clear();
    cache.state = NO_DIRECTORY_FILE;
    if (!file_exists(file)) return;

    TextReader reader(file);
    std::string first_line;
    if (!reader.next_line(first_line)) return;  // an empty file names no directory
    std::string prefix = directory_prefix(first_line);
    if (prefix.empty()) return;
    cache.state = static_cast<int>(prefix.size());
    cache.directory = std::move(prefix);
}

}  // namespace

// The data directory file is read once, at the first call after the cache
// was reset; later changes to it are not seen within the run.  The whole
// name is returned: only the shown forms of a name are cut to 50 characters.
std::string add_data_directory(DataDirectoryCache& cache, std::string_view name)
{
    if (cache.state == 0) look_up_data_directory(cache, name);
    if (cache.state <= 0) return std::string(name);
    return cache.directory + std::string(name);
}

std::vector<std::string> study_data_directories()
{
    constexpr std::string_view DIRECTORY_FILE_END = "MPDZZ.ZZZ";
    std::vector<std::string> directories;
    std::error_code error;
    for (std::filesystem::directory_iterator it(".", error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.size() != 2 + DIRECTORY_FILE_END.size()) continue;
        std::string upper = name.substr(2);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper != DIRECTORY_FILE_END) continue;
        DataDirectoryCache cache;
        std::string directory = add_data_directory(cache, name.substr(0, 2));
        if (cache.state > 0) directories.push_back(directory.substr(0, static_cast<std::size_t>(cache.state)));
    }
    return directories;
}

// The stem ends at the first period or blank.  A stem longer than 45
// characters leaves no room for ".EXT" within a 50-character name and is
// returned alone.
std::string replace_file_extension(std::string_view name, std::string_view extension)
{
    constexpr std::size_t MAX_STEM_WITH_EXTENSION = 45;
    const std::size_t end = name.find_first_of(". ");
    const std::string_view stem = name.substr(0, end);
    if (stem.size() > MAX_STEM_WITH_EXTENSION) return std::string(stem);
    return std::string(stem) + "." + std::string(extension.substr(0, 3));
}

std::string study_file_name(std::string_view layout, std::string_view study_id)
{
    return format_line(layout, {std::string(study_id)});
}

std::string shown_file_name(std::string_view name)
{
    return std::string(name.substr(0, FILE_NAME_LENGTH));
}

std::string padded_file_name(std::string_view name)
{
    std::string shown = shown_file_name(name);
    shown.resize(FILE_NAME_LENGTH, ' ');
    return shown;
}

}  // namespace velm
