// What a release ships: the version the program prints, the installed tree (exactly the files the
// package may hold, the desktop entry and icons consistent with them), and an installed program
// that plays from any folder like the build tree's.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include <stb/stb_image.h>

#include "tests/program_run.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a shell command, returns its exit status and puts its stdout in `out`.
int RunCommand(const std::string& cmd, std::string& out) {
    out.clear();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The words of a text, so that line breaks and indentation do not matter.
std::string Words(const std::string& text) {
    std::istringstream in(text);
    std::string word, all;
    while (in >> word)
        if (word != ".") all += word + " ";
    return all;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    size_t a = text.find(from);
    size_t b = text.find(to, a == std::string::npos ? 0 : a);
    if (a == std::string::npos || b == std::string::npos) return "";
    return text.substr(a, b + to.size() - a);
}

// One prefix install of the test build, shared by the tests of this file.
class InstallTree : public testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = new ScratchDir("install_prefix");
        prefix = *scratch;
        std::string build = fs::path(BRIMVALE_BINARY).parent_path().string();
        std::string out;
        status =
            RunCommand("'" CMAKE_COMMAND "' --install '" + build + "' --prefix '" + prefix.string() + "' 2>&1", out);
        log = out;
    }
    static void TearDownTestSuite() { delete scratch; }
    static ScratchDir* scratch;
    static fs::path prefix;
    static int status;
    static std::string log;
};
ScratchDir* InstallTree::scratch = nullptr;
fs::path InstallTree::prefix;
int InstallTree::status = -1;
std::string InstallTree::log;

}  // namespace

TEST(ReleaseVersion, ProgramChangelogAndProjectAgree) {
    std::string out;
    EXPECT_EQ(RunCommand(std::string("'") + BRIMVALE_BINARY + "' --version", out), 0);
    EXPECT_EQ(out, "Brimvale " BRIMVALE_PROJECT_VERSION "\n");
    // The newest changelog section is the release being made.
    std::string changelog = Slurp(fs::path(BRIMVALE_SOURCE_DIR) / "CHANGELOG.md");
    size_t section = changelog.find("\n## ");
    ASSERT_NE(section, std::string::npos);
    EXPECT_EQ(changelog.compare(section + 4, sizeof BRIMVALE_PROJECT_VERSION, BRIMVALE_PROJECT_VERSION " "), 0)
        << "CHANGELOG.md does not start with " BRIMVALE_PROJECT_VERSION;
}

// The Windows zip's README.txt is for people who double-click: it must not fall behind the
// program's own list of options.
TEST(WindowsReadme, NamesEveryOptionTheProgramTakes) {
    std::string help;
    ASSERT_EQ(RunCommand(std::string("'") + BRIMVALE_BINARY + "' --help", help), 0);
    const std::string readme = Slurp(fs::path(BRIMVALE_SOURCE_DIR) / "packaging/windows/README.txt");
    std::istringstream lines(help);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, 2, "--") != 0) continue;
        std::string option = line.substr(at, line.find_first_of(" ,", at) - at);
        ++options;
        EXPECT_NE(readme.find("    " + option + " "), std::string::npos) << option << " is not in README.txt";
    }
    EXPECT_GE(options, 15);
}

// ./play builds the program's target alone. A tree that is only configured, with the program put
// where its target makes it, must install: no rule may need a file another target makes.
TEST(InstallRules, NeedOnlyTheProgramAndWhatConfiguringMakes) {
    ScratchDir scratch("install_rules");
    const fs::path tree = scratch / "build", prefix = scratch / "prefix";
    std::string out;
    ASSERT_EQ(RunCommand("'" CMAKE_COMMAND "' -S '" BRIMVALE_SOURCE_DIR "' -B '" + tree.string() +
                             "' -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_TESTS=OFF 2>&1",
                         out),
              0)
        << out;
    const fs::path program = tree / fs::relative(BRIMVALE_BINARY, BRIMVALE_BUILD_DIR);
    fs::create_directories(program.parent_path());
    fs::copy_file(BRIMVALE_BINARY, program);
    EXPECT_EQ(RunCommand("'" CMAKE_COMMAND "' --install '" + tree.string() + "' --prefix '" + prefix.string() + "' 2>&1",
                         out),
              0)
        << out;
}

TEST_F(InstallTree, HoldsExactlyTheLayout) {
    ASSERT_EQ(status, 0) << log;
    std::set<std::string> want = {"bin/brimvale", "share/applications/brimvale.desktop", "share/doc/brimvale/README.md",
                                  "share/doc/brimvale/copyright", "share/doc/brimvale/changelog.gz"};
    for (const auto& entry : fs::directory_iterator(fs::path(BRIMVALE_SOURCE_DIR) / "data"))
        want.insert("share/brimvale/data/" + entry.path().filename().string());
    for (const char* size : {"32x32", "48x48", "64x64", "128x128", "256x256"})
        want.insert(std::string("share/icons/hicolor/") + size + "/apps/brimvale.png");
    std::set<std::string> have;
    for (const auto& entry : fs::recursive_directory_iterator(prefix))
        if (!entry.is_directory()) have.insert(fs::relative(entry.path(), prefix).string());
    EXPECT_EQ(have, want);
    EXPECT_NE(fs::status(prefix / "bin/brimvale").permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(Slurp(prefix / "share/brimvale/data/brimvale.mp3") ==
                Slurp(fs::path(BRIMVALE_SOURCE_DIR) / "data/brimvale.mp3"));
}

TEST_F(InstallTree, DesktopEntryIconsAndCopyrightMatchWhatIsShipped) {
    ASSERT_EQ(status, 0) << log;
    std::string entry = Slurp(prefix / "share/applications/brimvale.desktop");
    EXPECT_NE(entry.find("\nExec=brimvale\n"), std::string::npos) << "the menu must start bin/brimvale";
    EXPECT_NE(entry.find("\nIcon=brimvale\n"), std::string::npos) << "the menu must show apps/brimvale.png";
    EXPECT_NE(entry.find("\nCategories=Graphics;"), std::string::npos);

    // Each icon is a square PNG of its folder's size: a clear margin round an opaque tile.
    for (int size : {32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        std::string dir = std::to_string(size) + "x" + std::to_string(size);
        fs::path png = prefix / "share/icons/hicolor" / dir / "apps/brimvale.png";
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(png.string().c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
        EXPECT_EQ(n, 4);
        auto alpha = [&](int x, int y) { return px[(size_t(y) * w + x) * 4 + 3]; };
        EXPECT_EQ(alpha(0, 0), 0);
        EXPECT_EQ(alpha(w - 1, h - 1), 0);
        EXPECT_EQ(alpha(w / 2, h / 2), 255);
        EXPECT_EQ(alpha(w / 2, h / 10), 255);
        stbi_image_free(px);
    }

    // The package's copyright file carries the repository's licence, word for word.
    std::string license = Slurp(fs::path(BRIMVALE_SOURCE_DIR) / "LICENSE");
    std::string copyright = Slurp(prefix / "share/doc/brimvale/copyright");
    std::string grant = Words(Between(license, "Permission is hereby granted", "OTHER DEALINGS IN THE\nSOFTWARE."));
    ASSERT_FALSE(grant.empty());
    EXPECT_EQ(Words(Between(copyright, "Permission is hereby granted", "OTHER DEALINGS IN THE\n SOFTWARE.")), grant);
}

TEST_F(InstallTree, PlaysFromAnotherFolderLikeTheBuildTree) {
    ASSERT_EQ(status, 0) << log;
    ScratchDir elsewhere("install_elsewhere");
    const std::string installed = (prefix / "bin/brimvale").string();
    ShowResult run = RunShow(elsewhere, "", installed);
    ExpectCompleted(run);
    EXPECT_TRUE(run.boxes.empty()) << run.boxes.front();

    // The title scene with its rising rings: every texture and the particle field on screen.
    std::string out;
    fs::path a = elsewhere / "installed.png", b = elsewhere / "built.png";
    auto shot = [&](const std::string& cwd, const std::string& binary, const fs::path& png) {
        return RunCommand("cd '" + cwd + "' && '" + binary + "' --shot 8000 '" + png.string() +
                              "' --size 256x192 --seed 1 2>/dev/null",
                          out);
    };
    ASSERT_EQ(shot(elsewhere.string(), installed, a), 0);
    ASSERT_EQ(shot(BRIMVALE_SOURCE_DIR, BRIMVALE_BINARY, b), 0);
    EXPECT_TRUE(Slurp(a) == Slurp(b)) << "the installed program draws another picture";
}
