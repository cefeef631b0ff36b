// The source folders depend one way: app on scenes, scenes on geometry and render, all of them on
// platform, never back. Read from the sources themselves, so a stray include fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kFolders[] = {"app", "render", "geometry", "scenes", "platform"};

// Every source file of a folder (geometry/models/ included) with the project headers it names.
using IncludeGraph = std::map<std::string, std::vector<std::string>>;

std::vector<std::string> QuotedIncludes(const fs::path& file) {
    std::vector<std::string> found;
    std::ifstream in(file);
    std::string line;
    const std::string directive = "#include \"";
    while (std::getline(in, line)) {
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, directive.size(), directive) != 0) continue;
        size_t begin = at + directive.size();
        size_t end = line.find('"', begin);
        if (end != std::string::npos) found.push_back(line.substr(begin, end - begin));
    }
    return found;
}

IncludeGraph ReadIncludes(const fs::path& root) {
    IncludeGraph graph;
    for (const char* folder : kFolders)
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(root / folder)) {
            std::string ext = e.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            graph[fs::relative(e.path(), root).generic_string()] = QuotedIncludes(e.path());
        }
    return graph;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find('/')); }

// A cycle through the graph as "a -> b -> a", or empty when there is none.
std::string FindCycle(const std::map<std::string, std::set<std::string>>& edges) {
    std::map<std::string, int> state;  // 1 on the current path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        auto out = edges.find(node);
        if (out != edges.end())
            for (const std::string& next : out->second) {
                if (state[next] == 1) {
                    for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                        cycle += *it + " -> ";
                    cycle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) return true;
            }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& node : edges)
        if (state[node.first] == 0 && visit(node.first)) return cycle;
    return "";
}

std::map<std::string, std::set<std::string>> FileEdges(const IncludeGraph& graph) {
    std::map<std::string, std::set<std::string>> edges;
    for (const auto& file : graph)
        for (const std::string& target : file.second)
            if (graph.count(target)) edges[file.first].insert(target);
    return edges;
}

std::map<std::string, std::set<std::string>> FolderEdges(const IncludeGraph& graph) {
    std::map<std::string, std::set<std::string>> edges;
    for (const auto& file : graph)
        for (const std::string& target : file.second)
            if (graph.count(target) && FolderOf(target) != FolderOf(file.first))
                edges[FolderOf(file.first)].insert(FolderOf(target));
    return edges;
}

// Modules of one folder: "app/shell" stands for shell.h and shell.cpp; a source that includes
// another module's header depends on that module.
std::map<std::string, std::set<std::string>> ModuleEdges(const IncludeGraph& graph, const std::string& folder) {
    auto module = [](const std::string& path) { return path.substr(0, path.rfind('.')); };
    std::map<std::string, std::set<std::string>> edges;
    for (const auto& file : graph)
        for (const std::string& target : file.second)
            if (FolderOf(file.first) == folder && FolderOf(target) == folder && graph.count(target) &&
                module(target) != module(file.first))
                edges[module(file.first)].insert(module(target));
    return edges;
}

}  // namespace

TEST(SourceStructure, CycleFinderFindsOnlyRealCycles) {
    EXPECT_EQ(FindCycle({{"a", {"b"}}, {"b", {"c"}}, {"d", {"c"}}}), "");
    EXPECT_EQ(FindCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {"b"}}}), "b -> c -> b");
    EXPECT_EQ(FindCycle({{"a", {"a"}}}), "a -> a");
}

TEST(SourceStructure, NoIncludeCycleBetweenFilesOrFolders) {
    const IncludeGraph graph = ReadIncludes(BRIMVALE_SOURCE_DIR);
    ASSERT_GT(graph.size(), 40u) << "the sources were not found";
    EXPECT_EQ(FindCycle(FileEdges(graph)), "");
    EXPECT_EQ(FindCycle(FolderEdges(graph)), "");
    // Calls go one way: the drivers call the shell's steps, never the reverse.
    EXPECT_EQ(FindCycle(ModuleEdges(graph, "app")), "");
}

// Each driver (the desktop player, the offline runs, the page) runs its own loop over the shell's
// steps: the shell reaches no driver and no rule of live play, takes no hooks, and the offline
// runs need nothing of live play.
TEST(SourceStructure, TheShellReachesNoDriverAndTakesNoHooks) {
    const IncludeGraph graph = ReadIncludes(BRIMVALE_SOURCE_DIR);
    const auto edges = ModuleEdges(graph, "app");
    auto reached = [&](const std::string& from) {
        std::set<std::string> seen;
        std::vector<std::string> todo = {from};
        while (!todo.empty()) {
            std::string module = todo.back();
            todo.pop_back();
            auto out = edges.find(module);
            if (out == edges.end()) continue;
            for (const std::string& next : out->second)
                if (seen.insert(next).second) todo.push_back(next);
        }
        return seen;
    };
    ASSERT_TRUE(graph.count("app/shell.cpp") && graph.count("app/player.cpp") && graph.count("app/live.cpp"));
    const std::set<std::string> fromShell = reached("app/shell");
    EXPECT_FALSE(fromShell.empty()) << "the shell's includes were not read";
    for (const char* above : {"app/player", "app/live", "app/offline", "app/web_main", "app/demo_main"})
        EXPECT_EQ(fromShell.count(above), 0u) << "the shell reaches " << above;
    const std::set<std::string> fromOffline = reached("app/offline");
    EXPECT_EQ(fromOffline.count("app/player"), 0u);
    EXPECT_EQ(fromOffline.count("app/live"), 0u);

    std::ifstream in(fs::path(BRIMVALE_SOURCE_DIR) / "app/shell.h");
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        EXPECT_EQ(line.find("(*"), std::string::npos) << "app/shell.h declares a function pointer: " << line;
    }
    EXPECT_GT(lines, 20);
}

TEST(SourceStructure, LowerFoldersNeverIncludeTheShellAndOnlyPlatformKnowsTheSystem) {
    const IncludeGraph graph = ReadIncludes(BRIMVALE_SOURCE_DIR);
    const std::set<std::string> below = {"render", "geometry", "scenes", "platform"};
    for (const auto& file : graph) {
        const std::string folder = FolderOf(file.first);
        for (const std::string& target : file.second) {
            if (below.count(folder)) {
                EXPECT_NE(FolderOf(target), "app") << file.first << " includes " << target;
            }
            if (folder == "render" || folder == "geometry") {
                EXPECT_NE(FolderOf(target), "scenes") << file.first << " includes " << target;
            }
        }
        if (folder == "platform") continue;
        std::ifstream in(fs::path(BRIMVALE_SOURCE_DIR) / file.first);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("#include", 0) != 0) continue;
            for (const char* system : {"SDL", "unistd", "windows.h", "sys/", "posix"})
                EXPECT_EQ(line.find(system), std::string::npos) << file.first << ": " << line;
        }
    }
}

// platform/gl.h maps the GL 1.1 names onto the fixed-function layer: reached from inside the
// layer, it would turn the layer's own ES calls (glEnable, glClear, ...) into calls of itself.
TEST(SourceStructure, TheLayerNeverReachesTheHeaderThatMapsGlOntoIt) {
    const IncludeGraph graph = ReadIncludes(BRIMVALE_SOURCE_DIR);
    for (const auto& file : graph) {
        if (file.first.rfind("platform/ffp/", 0) != 0) continue;
        std::set<std::string> reached;
        std::vector<std::string> todo = file.second;
        while (!todo.empty()) {
            const std::string header = todo.back();
            todo.pop_back();
            if (!reached.insert(header).second) continue;
            auto next = graph.find(header);
            if (next != graph.end()) todo.insert(todo.end(), next->second.begin(), next->second.end());
        }
        EXPECT_EQ(reached.count("platform/gl.h"), 0u) << file.first << " reaches platform/gl.h";
    }
}
