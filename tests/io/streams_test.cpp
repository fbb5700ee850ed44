#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/streams.hpp"

namespace io {
namespace {

namespace fs = std::filesystem;

class StreamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("records_streams_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }
    void put(const char* name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string get(const char* name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

TEST_F(StreamsTest, OpenStatusCodes) {
    Streams st;
    EXPECT_EQ(st.open(3, path("missing.dat"), OpenMode::Existing), 1);
    EXPECT_FALSE(st.isOpen(3));
    EXPECT_EQ(st.open(0, path("a"), OpenMode::Scratch), 3);
    EXPECT_EQ(st.open(100, path("a"), OpenMode::Scratch), 3);
    EXPECT_EQ(st.open(3, dir_.string(), OpenMode::Existing), 4);
    EXPECT_EQ(st.open(7, path("no/such/dir/out.dat"), OpenMode::NewOrReplace), 2);
    put("in.dat", "x\n");
    EXPECT_EQ(st.open(3, path("in.dat") + "    ", OpenMode::Existing), 0);  // trailing blanks of a name field
    EXPECT_EQ(st.name(3), path("in.dat"));
}

TEST_F(StreamsTest, ReadLinesEndOfFileRewindBackspace) {
    put("in.dat", "one\r\ntwo\nthree");
    Streams st;
    ASSERT_EQ(st.open(3, path("in.dat"), OpenMode::Existing), 0);
    std::string line;
    ASSERT_TRUE(st.readLine(3, line).done());
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(st.readLine(3, line).done());
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(st.readLine(3, line).done());
    EXPECT_EQ(line, "three");
    EXPECT_EQ(st.lineNumber(3), 3);
    EXPECT_EQ(st.readLine(3, line).result, core::ReadResult::EndOfFile);
    EXPECT_EQ(st.readLine(3, line).result, core::ReadResult::EndOfFile);  // stays at the end
    ASSERT_TRUE(st.backspace(3));
    ASSERT_TRUE(st.readLine(3, line).done());
    EXPECT_EQ(line, "three");
    ASSERT_TRUE(st.rewind(3));
    ASSERT_TRUE(st.readLine(3, line).done());
    EXPECT_EQ(line, "one");
    EXPECT_EQ(st.readLine(9, line).result, core::ReadResult::Error);  // not open
    ASSERT_TRUE(st.close(3));
    EXPECT_EQ(get("in.dat"), "one\r\ntwo\nthree");  // only read: left as it was
}

TEST_F(StreamsTest, RecordReadsReportStreamLineAndAdvance) {
    put("data.dat", "  1.0  2.0\n  3.0\n  4.0  x.0\n");
    Streams st;
    ASSERT_EQ(st.open(4, path("data.dat"), OpenMode::Existing), 0);
    core::Layout pair("(2F5.1)");
    double a = 0, b = 0;
    core::Target t[] = {&a, &b};
    ASSERT_TRUE(st.read_record(4, pair, t).done());
    EXPECT_DOUBLE_EQ(b, 2.0);
    ASSERT_TRUE(st.read_record(4, pair, t).done());
    EXPECT_DOUBLE_EQ(a, 3.0);
    EXPECT_DOUBLE_EQ(b, 0.0);
    core::ReadOutcome r = st.read_record(4, pair, t);
    EXPECT_EQ(r.result, core::ReadResult::Error);
    EXPECT_EQ(r.record, 3);
    EXPECT_EQ(r.field, 2);
    EXPECT_EQ(st.read_record(4, pair, t).result, core::ReadResult::EndOfFile);

    // A layout with '/' takes two records in one read.
    ASSERT_TRUE(st.rewind(4));
    ASSERT_TRUE(st.read_record(4, core::Layout("(F5.1/F5.1)"), t).done());
    EXPECT_DOUBLE_EQ(a, 1.0);
    EXPECT_DOUBLE_EQ(b, 3.0);
    EXPECT_EQ(st.lineNumber(4), 2);
}

TEST_F(StreamsTest, WrittenFileAppearsOnlyWhenClosed) {
    {
        Streams st;
        ASSERT_EQ(st.open(7, path("out.dat"), OpenMode::NewOrReplace), 0);
        double v[] = {1.5, -2.25};
        std::vector<core::Value> vals(v, v + 2);
        ASSERT_TRUE(st.write_record(7, core::Layout("(2F8.2)"), vals));
        ASSERT_TRUE(st.writeLine(7, "end"));
        EXPECT_FALSE(Streams::inquire(path("out.dat")));
        ASSERT_TRUE(st.close(7));
        EXPECT_TRUE(Streams::inquire(path("out.dat")));
    }
    EXPECT_EQ(get("out.dat"), "    1.50   -2.25\nend\n");
    EXPECT_EQ(filesInDir(), 1u);  // no temporary left behind
}

TEST_F(StreamsTest, UnclosedFilesAreDiscardedUnlessKept) {
    put("old.dat", "previous\n");
    {
        Streams st;
        ASSERT_EQ(st.open(7, path("old.dat"), OpenMode::NewOrReplace), 0);
        ASSERT_EQ(st.open(8, path("new.dat"), OpenMode::NewOrReplace), 0);
        ASSERT_EQ(st.open(6, path("log.dat"), OpenMode::NewOrReplace), 0);
        st.writeLine(7, "half");
        st.writeLine(8, "half");
        st.writeLine(6, "kept");
        st.keepOnAbort(6);
    }
    EXPECT_EQ(get("old.dat"), "previous\n");
    EXPECT_FALSE(Streams::inquire(path("new.dat")));
    EXPECT_EQ(get("log.dat"), "kept\n");
}

TEST_F(StreamsTest, WritingAfterReadingMakesTheLastRecord) {
    put("f.dat", "1\n2\n3\n");
    Streams st;
    ASSERT_EQ(st.open(10, path("f.dat"), OpenMode::Existing), 0);
    std::string line;
    st.readLine(10, line);
    st.writeLine(10, "X");
    EXPECT_EQ(st.readLine(10, line).result, core::ReadResult::EndOfFile);
    ASSERT_TRUE(st.close(10));
    EXPECT_EQ(get("f.dat"), "1\nX\n");
}

TEST_F(StreamsTest, EndFileTruncatesAndSavesWhileOpen) {
    Streams st;
    ASSERT_EQ(st.open(8, path("plot.plt"), OpenMode::NewOrReplace), 0);
    for (const char* l : {"a", "b", "c"}) st.writeLine(8, l);
    ASSERT_TRUE(st.backspace(8));
    ASSERT_TRUE(st.end_file(8));
    EXPECT_EQ(get("plot.plt"), "a\nb\n");
    EXPECT_TRUE(st.isOpen(8));
    // The next run of a batch rewinds and writes from the start.
    ASSERT_TRUE(st.rewind(8));
    st.writeLine(8, "z");
    ASSERT_TRUE(st.closeAll());
    EXPECT_EQ(get("plot.plt"), "z\n");
}

TEST_F(StreamsTest, AppendKeepsExistingRecords) {
    put("klv.log", "first");
    Streams st;
    ASSERT_EQ(st.open(11, path("klv.log"), OpenMode::Append), 0);
    st.writeLine(11, "second");
    ASSERT_EQ(st.open(12, path("fresh.log"), OpenMode::Append), 0);
    ASSERT_TRUE(st.closeAll());
    EXPECT_EQ(get("klv.log"), "first\nsecond\n");
    EXPECT_TRUE(Streams::inquire(path("fresh.log")));
    EXPECT_EQ(get("fresh.log"), "");
}

TEST_F(StreamsTest, ScratchStaysInMemory) {
    Streams st;
    ASSERT_EQ(st.open(25, path("sm.tmp"), OpenMode::Scratch), 0);
    std::vector<core::Value> row = {1.0, 2.0, 3.0};
    ASSERT_TRUE(st.write_record(25, core::Layout("(16F8.1)"), row));
    ASSERT_TRUE(st.rewind(25));
    double v[3] = {};
    core::Target t[] = {&v[0], &v[1], &v[2]};
    ASSERT_TRUE(st.read_record(25, core::Layout("(16F8.1)"), t).done());
    EXPECT_DOUBLE_EQ(v[2], 3.0);
    ASSERT_TRUE(st.end_file(25));
    ASSERT_TRUE(st.close(25));
    EXPECT_EQ(filesInDir(), 0u);
}

TEST_F(StreamsTest, ConsoleUnitsUseTheInstalledConsole) {
    EXPECT_TRUE(isConsoleName("CON:"));
    EXPECT_TRUE(isConsoleName("con:   "));
    EXPECT_FALSE(isConsoleName("Con:"));
    EXPECT_FALSE(isConsoleName(" CON:"));

    std::vector<std::string> input = {"  2.5", "rest"};
    std::vector<std::string> output;
    std::size_t next = 0;
    Streams st;
    st.setConsole(Console{[&](std::string_view l) { output.emplace_back(l); },
                           [&](std::string& l) {
                               if (next >= input.size()) return false;
                               l = input[next++];
                               return true;
                           }});
    ASSERT_EQ(st.open(5, "con:  ", OpenMode::Existing), 0);
    EXPECT_TRUE(st.isConsole(5));
    double v = 0;
    core::Target t = &v;
    ASSERT_TRUE(st.read_record(5, core::Layout("(F5.1)"), std::span<const core::Target>(&t, 1)).done());
    EXPECT_DOUBLE_EQ(v, 2.5);
    std::string line;
    ASSERT_TRUE(st.readLine(5, line).done());
    EXPECT_EQ(line, "rest");
    EXPECT_EQ(st.readLine(5, line).result, core::ReadResult::EndOfFile);

    // Unit 6 starts on the console; a console opened for writing only cannot be read.
    ASSERT_TRUE(st.writeLine(6, " HELLO"));
    ASSERT_EQ(st.open(9, "CON:", OpenMode::NewOrReplace), 0);
    std::vector<core::Value> n = {42LL};
    ASSERT_TRUE(st.write_record(9, core::Layout("(I4)"), n));
    EXPECT_EQ(output, (std::vector<std::string>{" HELLO", "  42"}));
    EXPECT_EQ(st.readLine(9, line).result, core::ReadResult::Error);
    EXPECT_EQ(st.read_record(42, core::Layout("(F5.1)"), std::span<const core::Target>(&t, 1)).result, core::ReadResult::Error);
}

TEST_F(StreamsTest, FreeFormatThroughUnits) {
    Streams st;
    ASSERT_EQ(st.open(2, path("PELKAM.FIG"), OpenMode::NewOrReplace), 0);
    std::vector<core::Value> vals = {1LL, 2.5, std::string_view("abc")};
    ASSERT_TRUE(st.write_free(2, vals));
    ASSERT_TRUE(st.writeLine(2, "1 oops"));
    ASSERT_TRUE(st.rewind(2));
    int i = 0;
    double d = 0;
    core::Target t[] = {&i, &d};
    ASSERT_TRUE(st.read_free(2, t).done());
    EXPECT_DOUBLE_EQ(d, 2.5);
    core::ReadOutcome r = st.read_free(2, t);
    EXPECT_EQ(r.result, core::ReadResult::Error);
    EXPECT_EQ(r.record, 2);
    EXPECT_EQ(r.field, 2);
    ASSERT_TRUE(st.close(2));
    EXPECT_EQ(get("PELKAM.FIG"), "1 2.5 abc\n1 oops\n");
    EXPECT_FALSE(Streams::inquire(dir_.string()));
}

// A run's outputs: closed files wait for the commit, a later file for the
// same target replaces an earlier one, and the commit saves them all.
TEST_F(StreamsTest, DeferredSavesAreCommittedTogether) {
    put("sum.dat", "old summary\n");
    Streams st;
    st.deferSaves(true);
    ASSERT_EQ(st.open(7, path("sum.dat"), OpenMode::NewOrReplace), 0);
    st.writeLine(7, "first try");
    ASSERT_TRUE(st.close(7));
    ASSERT_EQ(st.open(7, path("sum.dat"), OpenMode::NewOrReplace), 0);
    st.writeLine(7, "summary");
    ASSERT_EQ(st.open(8, path("a.p1"), OpenMode::NewOrReplace), 0);
    st.writeLine(8, "plot a");
    ASSERT_EQ(st.open(8, path("b.p1"), OpenMode::NewOrReplace), 0);  // a.p1 waits for the commit
    st.writeLine(8, "plot b");
    ASSERT_TRUE(st.close(7));
    EXPECT_EQ(st.deferredNames(), (std::vector<std::string>{path("a.p1"), path("sum.dat")}));
    EXPECT_EQ(get("sum.dat"), "old summary\n");
    EXPECT_FALSE(Streams::inquire(path("a.p1")));

    const int units[] = {7, 8};
    ASSERT_TRUE(st.commit(units).ok()) << st.failure().describe();
    EXPECT_EQ(get("sum.dat"), "summary\n");
    EXPECT_EQ(get("a.p1"), "plot a\n");
    EXPECT_EQ(get("b.p1"), "plot b\n");
    EXPECT_FALSE(st.isOpen(8));
    EXPECT_TRUE(st.deferredNames().empty());
    EXPECT_EQ(filesInDir(), 3u);

    // Abandoned outputs leave the disk as it was.
    ASSERT_EQ(st.open(8, path("b.p1"), OpenMode::NewOrReplace), 0);
    st.writeLine(8, "never saved");
    st.abandon(units);
    EXPECT_EQ(get("b.p1"), "plot b\n");
    EXPECT_FALSE(st.isOpen(8));
}

// A file that cannot be written completely (here: beyond the file-size
// limit, as on a full disk) or cannot replace its target fails the commit:
// no file is replaced, no temporary is left, and the failure names the file
// and the system's reason.
TEST_F(StreamsTest, CommitThatCannotWriteEverythingChangesNothing) {
    put("sum.dat", "old summary\n");
    put("plot.plt", "old plot\n");
    Streams st;
    st.deferSaves(true);
    ASSERT_EQ(st.open(8, path("plot.plt"), OpenMode::NewOrReplace), 0);
    ASSERT_EQ(st.open(7, path("sum.dat"), OpenMode::NewOrReplace), 0);
    st.writeLine(8, "new plot");
    for (int i = 0; i < 200; ++i) st.writeLine(7, std::string(79, 's'));
    const int units[] = {8, 7};

    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    core::Status s = st.commit(units);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.file, path("sum.dat"));
    EXPECT_EQ(s.why, std::strerror(EFBIG));
    EXPECT_EQ(get("plot.plt"), "old plot\n");
    EXPECT_EQ(get("sum.dat"), "old summary\n");
    EXPECT_EQ(filesInDir(), 2u);
    EXPECT_TRUE(st.isOpen(7));

    // A target that has become a directory cannot be replaced.
    fs::remove(dir_ / "plot.plt");
    fs::create_directories(dir_ / "plot.plt" / "inside");
    s = st.commit(units);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.file, path("plot.plt"));
    EXPECT_EQ(s.what, "cannot replace the output file");
    EXPECT_EQ(get("sum.dat"), "old summary\n");  // renamed after the plot file: untouched
    EXPECT_EQ(filesInDir(), 2u);
}

// Units whose fields must fit refuse a number written as asterisks: the
// write fails, the failure names file, line, field, item and value, and the
// file is not saved.  Other units keep the asterisks of the notation.
TEST_F(StreamsTest, ValueTooWideFailsTheFile) {
    put("sum.dat", "old\n");
    Streams st;
    st.requireFit(7);
    ASSERT_EQ(st.open(7, path("sum.dat"), OpenMode::NewOrReplace), 0);
    ASSERT_EQ(st.open(9, path("free.dat"), OpenMode::NewOrReplace), 0);
    st.writeLine(7, "header");
    std::vector<core::Value> row = {1.0, 1234567.5};
    EXPECT_FALSE(st.write_record(7, core::Layout("(2F8.1)"), row));
    EXPECT_TRUE(st.write_record(9, core::Layout("(2F8.1)"), row));
    core::Status f = st.unitFailure(7);
    EXPECT_EQ(f.file, path("sum.dat"));
    EXPECT_EQ(f.line, 2);
    EXPECT_EQ(f.field, 2);
    EXPECT_EQ(f.value, "1234567.5");
    EXPECT_NE(f.why.find("F8.1"), std::string::npos);
    EXPECT_TRUE(st.unitFailure(9).ok());
    EXPECT_FALSE(st.close(7));
    EXPECT_EQ(st.failure().line, 2);
    ASSERT_TRUE(st.close(9));
    EXPECT_EQ(get("sum.dat"), "old\n");
    EXPECT_EQ(get("free.dat"), "     1.0********\n");
}

// A program ended by a signal while it saves its outputs leaves no
// temporary: the signal takes effect once the files are in place.
TEST_F(StreamsTest, SignalDuringCommitLeavesNoTemporary) {
    const std::string line(99, 'x');
    constexpr int kLines = 200000;  // 20 MB: the save takes long enough to be caught at it
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        Streams st;
        st.deferSaves(true);
        if (st.open(7, path("big.dat"), OpenMode::NewOrReplace) != 0) _exit(2);
        for (int i = 0; i < kLines; ++i) st.writeLine(7, line);
        const int units[] = {7};
        if (write(ready[1], "c", 1) != 1) _exit(4);  // about to commit
        _exit(st.commit(units).ok() ? 0 : 3);
    }
    ASSERT_GT(child, 0);
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    bool signalled = false;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (!signalled && filesInDir() > 0) {
            kill(child, SIGTERM);
            signalled = true;
        }
    }
    for (const auto& e : fs::directory_iterator(dir_)) EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    if (signalled) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        ASSERT_TRUE(fs::exists(dir_ / "big.dat"));
        EXPECT_EQ(fs::file_size(dir_ / "big.dat"), static_cast<std::uintmax_t>(kLines) * 100);
    }
}

// Temporaries of a process that no longer runs are removed; those of running
// processes and files of other shapes are left alone.
TEST_F(StreamsTest, StaleTemporariesOfDeadProcessesAreRemoved) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child), self = std::to_string(::getpid());
    const std::vector<std::string> files = {".plot.plt." + dead + ".8.tmp", ".plot.plt." + self + ".8.tmp",
                                            ".plot.plt.1.8.tmp", ".plot.plt." + dead + ".100.tmp",
                                            ".notes.tmp", "plot.plt"};
    for (const std::string& f : files) put(f.c_str(), "x");
    const std::vector<std::string> outputs = {path("plot.plt")};
    EXPECT_EQ(removeStaleTemporaries(outputs), std::vector<std::string>{path(files[0].c_str())});
    EXPECT_EQ(filesInDir(), files.size() - 1);
}

}  // namespace
}  // namespace io
