// ex04-2 run in a scratch folder: against a real named pipe fed by a writer, a regular
// file of that name, a missing or unreadable ./myfifo, and output that cannot be written.
#include "run_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace harness
{
namespace
{

const std::string prefix = "namedpipe2> ";

// A fresh folder under the temporary directory, removed with everything in it.
class ScratchFolder
{
  public:
    ScratchFolder()
    {
        std::string pattern = ::testing::TempDir() + "fifo-reader-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        // A build under check may run as another user: it must be able to enter the folder.
        std::filesystem::permissions(
            path_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                       std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                       std::filesystem::perms::others_exec);
    }
    ~ScratchFolder()
    {
        std::filesystem::remove_all(path_);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    std::string path() const
    {
        return path_.string();
    }
    std::string file(const std::string &name) const
    {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

void writeFile(const std::string &path, const std::string &bytes)
{
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    chmod(path.c_str(), 0644); // readable by a build under check that runs as another user
}

// Runs ex04-2 in folder, optionally behind a shell that redirects its standard output.
RunResult runReader(const ScratchFolder &folder, const std::string &shellRedirect = "")
{
    RunOptions options;
    options.workingDir = folder.path();
    options.timeout = std::chrono::seconds(30);
    if (!shellRedirect.empty()) {
        options.prefix = {"sh", "-c", "exec \"$0\" " + shellRedirect};
    }
    return run(bin("ex04-2"), {}, options);
}

// Runs ex04-2 on a real named pipe while a writer thread opens it, makes each write
// in full and closes it. The writer opens without blocking, trying again until the reader
// has opened its end, and gives up once the reader's run is over, so a reader that never
// opens the pipe cannot hold the case beyond its time limit.
RunResult runWithWriter(const std::vector<std::string> &writes)
{
    ScratchFolder folder;
    const std::string fifo = folder.file("myfifo");
    // Readable by every user, as a build under check may run as another one.
    if (mkfifo(fifo.c_str(), 0666) != 0 || chmod(fifo.c_str(), 0666) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    std::atomic<bool> readerDone{false}, opened{false};
    std::thread writer([&] {
        int fd = -1;
        while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
            if ((errno != ENXIO && errno != EINTR) || readerDone) {
                return;
            }
            usleep(1000);
        }
        opened = true;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        for (const std::string &piece : writes) {
            std::size_t done = 0;
            while (done < piece.size()) {
                const ssize_t n = write(fd, piece.data() + done, piece.size() - done);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
        }
        close(fd);
    });
    const RunResult result = runReader(folder);
    // The reader has ended, and its end of the pipe with it: a write still waiting fails.
    readerDone = true;
    writer.join();
    EXPECT_TRUE(opened) << "the reader never opened the pipe";
    return result;
}

// Splits the reader's output into the chunks behind each prefix; the closing line
// break must be the last byte. Fails the test when the output is not of that form.
std::vector<std::string> chunksOf(const std::string &out)
{
    std::vector<std::string> chunks;
    EXPECT_TRUE(out.ends_with("\n")) << "no closing line break";
    if (!out.ends_with("\n")) {
        return chunks;
    }
    const std::string body = out.substr(0, out.size() - 1);
    std::size_t at = 0;
    while (at < body.size()) {
        EXPECT_EQ(body.compare(at, prefix.size(), prefix), 0) << "no prefix at byte " << at;
        at += prefix.size();
        const std::size_t next = body.find(prefix, at);
        const std::size_t end = next == std::string::npos ? body.size() : next;
        chunks.push_back(body.substr(at, end - at));
        at = end;
    }
    return chunks;
}

// Bytes that never contain the prefix, so chunks can be told apart.
std::string pattern(std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += "0123456789abcdefghijklmnopqrstuvwxyz\n"[i % 37];
    }
    return bytes;
}

// One write or none, so every byte arrives in one chunk: the output is exact.
struct ExactCase {
    const char *title;
    std::vector<std::string> writes;
    std::string out;
};

const ExactCase exactCases[] = {
    {"ShortLine", {"hello\n"}, prefix + "hello\n\n"},
    {"WriterClosesWithoutWriting", {}, "\n"},
    {"TextWithoutFinalLineBreak", {"abc"}, prefix + "abc\n"},
    {"NulTabsAndBlanksPassUnchanged",
     {std::string("a\0b\t c \n", 8)},
     prefix + std::string("a\0b\t c \n", 8) + "\n"},
    {"KoreanTextPassesUnchanged", {"안녕\n"}, prefix + "안녕\n\n"},
};

void PrintTo(const ExactCase &c, std::ostream *os)
{
    *os << c.title;
}

class FifoExactTest : public ::testing::TestWithParam<ExactCase>
{
};

TEST_P(FifoExactTest, CopiesTheChunkBehindThePrefix)
{
    const ExactCase &c = GetParam();
    const RunResult result = runWithWriter(c.writes);
    EXPECT_SAME_OUTPUT(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0)) << result.status << " " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(Ex04_2, FifoExactTest, ::testing::ValuesIn(exactCases),
                         [](const auto &info) { return std::string(info.param.title); });

// More than one read's worth: how the data is cut depends on timing, so the test checks
// that every byte arrives once and in order, in chunks of 1 to 1023 bytes.
struct ChunkedCase {
    const char *title;
    std::vector<std::string> writes;
    std::size_t fewestChunks;
};

const ChunkedCase chunkedCases[] = {
    {"TwoThousandBytesInOneWrite", {pattern(2000)}, 2},
    {"SeveralWrites", {"one\n", "two\n", "three\n"}, 1},
    {"MoreThanThePipeHolds", {pattern(200000)}, 196},
};

void PrintTo(const ChunkedCase &c, std::ostream *os)
{
    *os << c.title;
}

class FifoChunkedTest : public ::testing::TestWithParam<ChunkedCase>
{
};

TEST_P(FifoChunkedTest, EveryByteArrivesInChunksOfAtMost1023)
{
    const ChunkedCase &c = GetParam();
    const RunResult result = runWithWriter(c.writes);
    EXPECT_TRUE(result.exited(0)) << result.status << " " << result.signal;
    EXPECT_EQ(result.err, "");
    std::string sent;
    for (const std::string &piece : c.writes) {
        sent += piece;
    }
    std::string received;
    const std::vector<std::string> chunks = chunksOf(result.out);
    for (const std::string &chunk : chunks) {
        EXPECT_GE(chunk.size(), 1u);
        EXPECT_LE(chunk.size(), 1023u);
        received += chunk;
    }
    EXPECT_GE(chunks.size(), c.fewestChunks);
    EXPECT_TRUE(received == sent) << "received " << received.size() << " of " << sent.size();
}

INSTANTIATE_TEST_SUITE_P(Ex04_2, FifoChunkedTest, ::testing::ValuesIn(chunkedCases),
                         [](const auto &info) { return std::string(info.param.title); });

// A regular file named myfifo is read the same way; its chunks are exactly 1023 bytes.
struct FileCase {
    const char *title;
    std::string content;
    std::string out;
};

const FileCase fileCases[] = {
    {"EmptyFile", "", "\n"},
    {"TwoLines", "line one\nline two\n", prefix + "line one\nline two\n\n"},
    {"ThreeChunks", pattern(2500),
     prefix + pattern(2500).substr(0, 1023) + prefix + pattern(2500).substr(1023, 1023) + prefix +
         pattern(2500).substr(2046) + "\n"},
};

void PrintTo(const FileCase &c, std::ostream *os)
{
    *os << c.title;
}

class RegularFileTest : public ::testing::TestWithParam<FileCase>
{
};

TEST_P(RegularFileTest, IsCopiedChunkByChunk)
{
    const FileCase &c = GetParam();
    ScratchFolder folder;
    writeFile(folder.file("myfifo"), c.content);
    const RunResult result = runReader(folder);
    EXPECT_SAME_OUTPUT(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0));
}

INSTANTIATE_TEST_SUITE_P(Ex04_2, RegularFileTest, ::testing::ValuesIn(fileCases),
                         [](const auto &info) { return std::string(info.param.title); });

TEST(Ex04_2Failures, MissingPipeIsReportedAtOnceWithoutWaiting)
{
    ScratchFolder folder;
    const RunResult result = runReader(folder);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "open: No such file or directory\n");
    EXPECT_TRUE(result.exited(1));
}

TEST(Ex04_2Failures, FailingReadIsReportedWithoutTheClosingLineBreak)
{
    // A folder opens read-only, but reading it fails.
    ScratchFolder folder;
    std::filesystem::create_directory(folder.file("myfifo"));
    const RunResult result = runReader(folder);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "read: Is a directory\n");
    EXPECT_TRUE(result.exited(1));
}

// Output that cannot be written is reported, not taken for success.
struct OutputCase {
    const char *title;
    std::string redirect;
    std::string content;
    std::string err;
};

const OutputCase outputCases[] = {
    {"FullDevice", ">/dev/full", "hello\n", "write: No space left on device\n"},
    {"FullDeviceWithEmptyInput", ">/dev/full", "", "write: No space left on device\n"},
    {"ClosedOutput", ">&-", "hello\n", "write: Bad file descriptor\n"},
};

void PrintTo(const OutputCase &c, std::ostream *os)
{
    *os << c.title;
}

class OutputFailureTest : public ::testing::TestWithParam<OutputCase>
{
};

TEST_P(OutputFailureTest, ReportsTheWriteAndExitsWithStatus1)
{
    const OutputCase &c = GetParam();
    ScratchFolder folder;
    writeFile(folder.file("myfifo"), c.content);
    const RunResult result = runReader(folder, c.redirect);
    EXPECT_EQ(result.err, c.err);
    EXPECT_TRUE(result.exited(1)) << result.status << " " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(Ex04_2, OutputFailureTest, ::testing::ValuesIn(outputCases),
                         [](const auto &info) { return std::string(info.param.title); });

TEST(Ex04_2FrontDoor, DemoFeedsTheReaderAndRemovesItsScratchFolder)
{
    ScratchFolder temporary;
    RunOptions options;
    options.input = "one\ntwo\n";
    const std::string binFolder = std::filesystem::path(bin("ex04-2")).parent_path().string();
    options.env = {"TMPDIR=" + temporary.path(), "BIN=" + binFolder};
    options.timeout = std::chrono::seconds(60);
    const RunResult result = run(source("tools/run-fifo-demo"), {}, options);
    EXPECT_TRUE(result.exited(0)) << result.err;
    std::string text;
    for (const std::string &chunk : chunksOf(result.out)) {
        text += chunk;
    }
    EXPECT_EQ(text, "one\ntwo\n") << visible(result.out);
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path())) << "scratch folder left behind";
}

} // namespace
} // namespace harness
