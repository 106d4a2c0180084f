// The folders of src/ build on each other in one order: a folder uses only
// the folders below it, and the four modules beside the analysis run
// (editor, review, management, gis) use none of each other.  This test reads
// every include of the sources and refuses one that reaches up or across.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

// Each folder with the folders it may include from (its own included).
const std::map<std::string, std::set<std::string>>& allowed_includes()
{
    static const std::set<std::string> below_modules = {"platform",    "records", "shell",
                                                        "diagnostics", "strings", "sizing"};
    static const std::map<std::string, std::set<std::string>> allowed = [] {
        std::map<std::string, std::set<std::string>> table = {
            {"platform", {}},
            {"records", {"platform"}},
            {"shell", {"platform", "records"}},
            {"diagnostics", {"platform", "records", "shell"}},
            {"strings", {"platform", "records", "shell", "diagnostics"}},
            {"sizing", {"platform", "records", "shell", "diagnostics", "strings"}},
            {"editor", below_modules},
            {"review", below_modules},
            {"management", below_modules},
            {"gis", below_modules},
            {"app",
             {"platform", "records", "shell", "diagnostics", "strings", "sizing", "editor", "review", "management",
              "gis"}},
        };
        for (auto& [folder, folders] : table) folders.insert(folder);
        return table;
    }();
    return allowed;
}

struct Include {
    std::string file;
    int line;
    std::string folder;
};

// The project includes ("folder/file.h") of one source file.
std::vector<Include> project_includes(const fs::path& file)
{
    static const std::regex include_line(R"(^\s*#\s*include\s*"([a-z_]+)/[^"]+")");
    std::vector<Include> includes;
    std::ifstream in(file);
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        std::smatch match;
        if (std::regex_search(text, match, include_line)) includes.push_back({file.string(), number, match[1]});
    }
    return includes;
}

// The includes of the folder's sources that its place does not allow.
std::vector<std::string> refused_includes(const fs::path& source_root)
{
    std::vector<std::string> refused;
    for (const auto& entry : fs::recursive_directory_iterator(source_root)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
        const std::string folder = fs::relative(entry.path(), source_root).begin()->string();
        const auto allowed = allowed_includes().find(folder);
        if (allowed == allowed_includes().end()) {
            refused.push_back(entry.path().string() + ": folder '" + folder + "' has no place in the order");
            continue;
        }
        for (const Include& include : project_includes(entry.path())) {
            if (!allowed->second.contains(include.folder)) {
                refused.push_back(include.file + ":" + std::to_string(include.line) + ": " + folder +
                                  " includes from " + include.folder);
            }
        }
    }
    return refused;
}

TEST(FolderLayering, EveryIncludeComesFromBelow)
{
    const std::vector<std::string> refused = refused_includes(fs::path(VELM_SOURCE_DIR) / "src");
    std::string list;
    for (const std::string& line : refused) list += line + "\n";
    EXPECT_TRUE(refused.empty()) << list;
}

TEST(FolderLayering, AnUpwardOrSidewaysIncludeIsRefused)
{
    struct Case {
        const char* folder;
        const char* include;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"records", "shell/session.h", true},      {"diagnostics", "strings/string_finder.h", true},
        {"editor", "review/link_review.h", true},  {"gis", "management/subset_module.h", true},
        {"sizing", "app/analysis_run.h", true},    {"management", "sizing/deficiency_pass.h", false},
        {"app", "gis/gis_update_module.h", false}, {"strings", "strings/string_finder.h", false},
    };
    const fs::path root = fs::temp_directory_path() / "velm-layering-check";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " -> " + c.include);
        fs::remove_all(root);
        fs::create_directories(root / c.folder);
        std::ofstream(root / c.folder / "probe.cpp") << "#include \"" << c.include << "\"\n";
        EXPECT_EQ(!refused_includes(root).empty(), c.refused);
    }
    fs::remove_all(root);
}

}  // namespace
}  // namespace velm
