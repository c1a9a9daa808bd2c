// The kernel the module is built for and booted on: `./labs module build` and a kernel
// series' build (KernelChoice), a kernel choice that cannot work refused in one line, and the
// fetching of kernel images and series that cannot be had (LabsVm, KernelChoice).
#include "vm_boot.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>

namespace harness
{
namespace
{

// The arguments, then the tree the module is built against for the kernel under test: the
// debugging kernel's, the headers of the series VMLAB_SERIES names, or (none) the lab's default.
std::vector<std::string> kdirArguments(std::vector<std::string> arguments)
{
    const char *series = std::getenv("VMLAB_SERIES");
    if (onDebugKernel()) {
        arguments.insert(arguments.end(), {"--kdir", debugKernelTree()});
    } else if (series != nullptr && *series != '\0') {
        const RunResult fetched = harness::run(source("vmlab/fetch-series"), {series});
        EXPECT_TRUE(fetched.exited(0)) << fetched.err;
        const std::vector<std::string> paths = lines(fetched.out);
        arguments.insert(arguments.end(), {"--kdir", paths.empty() ? "" : paths.back()});
    }
    return arguments;
}

// `./labs module build` builds the module for a kernel tree and says where it is and for
// which kernel, as the module itself records it.
TEST(KernelChoice, ModuleBuildSaysWhereTheModuleIsAndForWhichKernel)
{
    const RunResult built =
        harness::run(source("labs"), kdirArguments({"module", "build"}), labsOptions());
    ASSERT_TRUE(built.exited(0)) << built.out << built.err;
    const std::vector<std::string> said = lines(built.out);
    ASSERT_EQ(said.size(), 3u) << built.out;
    const std::string module = said[0].substr(said[0].find('/'));
    const std::string modinfo = readFile(module);
    const std::size_t start = modinfo.find("vermagic=") + 9;
    std::string vermagic = modinfo.substr(start, modinfo.find('\0', start) - start);
    vermagic.erase(vermagic.find_last_not_of(' ') + 1);
    const std::string release = vermagic.substr(0, vermagic.find(' '));
    EXPECT_EQ(said[0], "module:      " + std::string(LABS_BIN_DIR) + "/../vmlab/modules/" +
                           release + "/qb_ioctl/qb_ioctl.ko");
    EXPECT_EQ(said[1], "kernel:      " + release + " (vermagic: " + vermagic + ")");
    EXPECT_TRUE(said[2].starts_with("versioning:  on (the symbol versions of ")) << said[2];
    // Reading the module's vermagic leaves the machine's own files alone.
    EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
}

// Only the one warning a kernel's W=1 gives for the module's missing description is let
// pass: any other warning, here an unused variable, still fails the build on every kernel
// series (VMLAB_SERIES; make test-kernels runs it on each).
TEST(KernelChoice, AnyOtherWarningFailsTheModulesBuild)
{
    if (std::getenv("VMLAB_SERIES") == nullptr) {
        GTEST_SKIP() << "run for each kernel series (make test-kernels)";
    }
    const Scratch scratch;
    ASSERT_TRUE(copyOfTheModule(scratch.path / "source",
                                {{"MODULE_LICENSE(\"GPL\");",
                                  "MODULE_LICENSE(\"GPL\");\nstatic int unused_in_this_copy;"}}));
    // A kernel build on a busy machine can take well over the harness's usual limit.
    const RunResult built = harness::run(
        source("vmlab/build-module"),
        kdirArguments({(scratch.path / "source").string(), (scratch.path / "built").string()}),
        labsOptions());
    EXPECT_TRUE(built.exited(1)) << built.err;
    EXPECT_NE(built.err.find("unused_in_this_copy"), std::string::npos) << built.err;
    EXPECT_NE(built.err.find("[-Wunused-variable]"), std::string::npos) << built.err;
    EXPECT_NE(built.err.find("build-module: qb_ioctl did not build cleanly for "),
              std::string::npos)
        << built.err;
}

// A kernel choice that cannot work is refused before anything is built or booted, in one
// line: ./labs vm checks it before it reads its script.
using ChoiceCase = std::pair<const char *, std::string>; // the case, the line's end

using KernelChoiceRefused = ::testing::TestWithParam<ChoiceCase>;

TEST_P(KernelChoiceRefused, InOneLine)
{
    const Scratch scratch;
    const RunResult image = harness::run(source("vmlab/fetch-kernel"));
    ASSERT_TRUE(image.exited(0)) << image.err;
    const std::string kernel = image.out.substr(0, image.out.find('\n'));
    // The scratch folder made a headers folder with what the checks read: its release and
    // configuration.
    const auto headers = [&](const std::string &release, const std::string &config) {
        std::filesystem::create_directories(scratch.path / "include/generated");
        std::ofstream(scratch.path / "Makefile") << "";
        std::ofstream(scratch.path / ".config") << config;
        std::ofstream(scratch.path / "include/generated/utsrelease.h")
            << "#define UTS_RELEASE \"" << release << "\"\n";
    };
    const RunResult kernelVersion = harness::run(source("vmlab/kernel-version"));
    const std::string cloud = kernelVersion.out.substr(0, kernelVersion.out.find('\n'));
    std::vector<std::string> arguments = {"vm", "--kernel", kernel, "--kdir",
                                          scratch.path.string()};
    const std::string which = GetParam().first;
    if (which == "notAnImage") {
        arguments = {"vm", "--kernel", source("README.md")};
    } else if (which == "anotherRelease") {
        headers("5.15.0-91-generic", "CONFIG_MODVERSIONS=y\n");
    } else if (which == "noModuleVersioning") {
        headers(cloud, "CONFIG_MODULES=y\n");
    }
    RunOptions options = labsOptions();
    options.input = "uname -r\n";
    const RunResult run = harness::run(source("labs"), arguments, options);
    EXPECT_TRUE(run.exited(2)) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
    std::string expected = GetParam().second;
    for (const auto &[name, value] :
         {std::pair{"IMAGE", kernel}, std::pair{"TREE", scratch.path.string()},
          std::pair{"RELEASE", cloud}, std::pair{"README", source("README.md")}}) {
        for (std::size_t at = expected.find(name); at != std::string::npos;
             at = expected.find(name, at + value.size())) {
            expected.replace(at, std::string(name).size(), value);
        }
    }
    EXPECT_EQ(run.err, expected + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    KernelChoice, KernelChoiceRefused,
    ::testing::Values(
        ChoiceCase{"notAnImage", "vmlab: README is not a kernel image (no bzImage header)"},
        ChoiceCase{
            "notATree",
            "vmlab: TREE is not a kernel build tree or headers folder (no Makefile, .config and "
            "include/generated/utsrelease.h)"},
        ChoiceCase{
            "anotherRelease",
            "vmlab: TREE builds modules for kernel 5.15.0-91-generic, but IMAGE is kernel RELEASE"},
        ChoiceCase{"noModuleVersioning",
                   "vmlab: IMAGE loads only modules with symbol versions, but TREE has no "
                   "module versioning (CONFIG_MODVERSIONS)"}),
    [](const auto &info) { return std::string(info.param.first); });

// As someone other than root, a download that fails (stale package lists, say) tells what
// to run; as root, the lists were refreshed already. apt-get and id are stand-ins here.
using FetchCase = std::pair<const char *, std::string>; // id -u's answer, the last line said

using LabsVmFetch = ::testing::TestWithParam<FetchCase>;

TEST_P(LabsVmFetch, FailedDownloadSaysWhatToDo)
{
    const Scratch scratch;
    writeScript(scratch.path / "apt-get",
                "for arg; do [ \"$arg\" = update ] && exit 0; done\nexit 100\n");
    writeScript(scratch.path / "id",
                std::string("[ \"$1\" = -u ] && echo ") + GetParam().first + " || echo student\n");
    RunOptions options;
    options.env = {"PATH=" + scratch.path.string() + ":" + std::getenv("PATH"),
                   "VMLAB_CACHE=" + (scratch.path / "cache").string()};
    const RunResult release = harness::run(source("vmlab/kernel-version"));
    ASSERT_TRUE(release.exited(0)) << release.err;
    const std::string package = "linux-image-" + release.out.substr(0, release.out.find('\n'));
    const RunResult fetch = harness::run(source("vmlab/fetch-kernel"), {}, options);
    EXPECT_TRUE(fetch.exited(1));
    EXPECT_EQ(fetch.out, "");
    EXPECT_EQ(fetch.err, "vmlab: fetching " + package +
                             " (kernel image only, not installed) ...\n" +
                             "vmlab: could not download " + package + " from the package archive" +
                             GetParam().second + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    LabsVm, LabsVmFetch,
    ::testing::Values(FetchCase{"1000",
                                "\nvmlab: refresh the package lists with 'sudo apt-get update'"
                                " (as root: 'apt-get update') and try again"},
                      FetchCase{"0", ", even with freshly updated package lists"}),
    [](const auto &info) { return std::string(info.param.first) == "0" ? "root" : "user"; });

// Fetching a kernel series that cannot be had: one line saying why, a failing status, and
// nothing left in the cache but the lock file. apt-get and apt-cache are stand-ins where the
// archive is not reached at all; "unreachable" asks the real ones, of a port that answers none.
struct SeriesCase {
    const char *name;
    const char *series;
    std::map<std::string, std::string> stubs; // program name: its script
    int status;
    std::string lastLine; // the beginning of what it said last
};

using KernelChoiceSeries = ::testing::TestWithParam<SeriesCase>;

TEST_P(KernelChoiceSeries, RefusedInOneLineLeavingNoTree)
{
    const Scratch scratch;
    for (const auto &[name, body] : GetParam().stubs) {
        writeScript(scratch.path / name, body);
    }
    const std::filesystem::path cache = scratch.path / "cache";
    RunOptions options;
    options.env = {"PATH=" + scratch.path.string() + ":" + std::getenv("PATH"),
                   "VMLAB_CACHE=" + cache.string(),
                   "VMLAB_SERIES_MIRROR=http://127.0.0.1:9/debian"};
    // "busy": another fetch of the series holds its lock meanwhile.
    int held = -1;
    if (std::string(GetParam().name) == "busy") {
        std::filesystem::create_directories(cache / "series");
        held = open((cache / "series/.5.10.lock").c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    }
    const RunResult fetch =
        harness::run(source("vmlab/fetch-series"), {GetParam().series}, options);
    if (held >= 0) {
        close(held);
    }
    EXPECT_TRUE(fetch.exited(GetParam().status)) << fetch.err;
    EXPECT_EQ(fetch.out, "");
    const std::string last = fetch.err.substr(fetch.err.rfind('\n', fetch.err.size() - 2) + 1);
    EXPECT_EQ(last.rfind(GetParam().lastLine, 0), 0U) << fetch.err;
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << fetch.err;
    // No folder at all (a half-unpacked tree or the download's leftovers): only lock files.
    if (std::filesystem::exists(cache / "series")) {
        for (const auto &entry : std::filesystem::directory_iterator(cache / "series")) {
            EXPECT_TRUE(entry.is_regular_file() && entry.path().extension() == ".lock")
                << entry.path();
        }
    }
}

// A package list naming one 5.10 cloud kernel, whose downloads all arrive cut short.
const std::map<std::string, std::string> cutShort = {
    {"apt-get",
     "for arg; do case $arg in\n"
     "  update) exit 0 ;;\n"
     "  linux-*=*) printf '!<arch>\\ndebian-binary   16' >\"${arg%%=*}_1_amd64.deb\" ;;\n"
     "esac; done\n"},
    {"apt-cache", "for arg; do last=$arg; done\n"
                  "case \" $* \" in\n"
                  "  *\" pkgnames \"*) echo linux-image-5.10.0-32-cloud-amd64 ;;\n"
                  "  *) printf 'Package: %s\\nVersion: 1\\nDepends: linux-headers-5.10.0-32-common"
                  " (= 1), linux-kbuild-5.10 (>= 1), linux-compiler-gcc-10-x86\\n' \"$last\" ;;\n"
                  "esac\n"}};

INSTANTIATE_TEST_SUITE_P(
    KernelChoice, KernelChoiceSeries,
    ::testing::Values(
        SeriesCase{"unknown",
                   "5.15",
                   {},
                   2,
                   "vmlab: no kernel series '5.15' (the lab has: 5.10, 6.1, 6.12)"},
        SeriesCase{"unreachable",
                   "6.12",
                   {},
                   1,
                   "vmlab: could not read the package list of bookworm-backports from "
                   "http://127.0.0.1:9/debian: "},
        SeriesCase{"cutShort", "5.10", cutShort, 1,
                   "vmlab: linux-headers-5.10.0-32-cloud-amd64_1_amd64.deb is damaged (a download "
                   "cut short?): "},
        SeriesCase{"busy",
                   "5.10",
                   {},
                   1,
                   "vmlab: another fetch of kernel series 5.10 is running; try again when it is "
                   "done"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace harness
