// The tarvek screen driving runs, and batch runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "tarvek/batch.hpp"
#include "tarvek/tarvek_shell.hpp"
#include "ui/toolkit.hpp"

namespace fs = std::filesystem;
using namespace formula;

namespace {

const std::string kBad = std::string(PELKAM_FIXTURES) + "/formula/bad";

// Runs a test body inside a fresh directory (the utility works in the
// working directory) and returns to the old one.
struct InDirectory {
    fs::path old = fs::current_path();
    fs::path dir;
    explicit InDirectory(const std::string& name) {
        dir = fs::path(PELKAM_BINARY_DIR) / "tarvek-test" / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    ~InDirectory() { fs::current_path(old); }
};

core::Status runScript(const std::string& script) {
    auto tk = ui::makeScriptedToolkitFromText(script, "t.ans");
    EXPECT_TRUE(tk);
    TarvekSettings s;
    core::Status st = runTarvek(*tk, s);
    EXPECT_TRUE(tk->failure().empty()) << tk->failure();
    return st;
}

}  // namespace

TEST(TarvekRun, ScreenRunsAFileShowsPagesAndReportsFailures) {
    InDirectory d("screen");
    fs::copy(kBad + "/good_one.OXI", "good_one.OXI");
    fs::copy(kBad + "/bad_unknown_oxide.OXI", "bad_unknown_oxide.OXI");
    EXPECT_TRUE(runScript("screen Tarvek\nset \"Oxide file\" = good_one\nradio 1007\npress version 2.32\n"
                           "screen Done\npress Do another\n"
                           "screen Tarvek\nset \"Oxide file\" = !INFO\npress version 1.02\n"
                           "screen !info\npress Back\n"
                           "screen Tarvek\nset \"Oxide file\" = bad_unknown_oxide\npress version 1.02\n"
                           "screen OOPS\npress Retry\n"
                           "screen Tarvek\nset \"Start column\" = x\npress version 1.02\n"
                           "screen OOPS\npress Retry\n"
                           "screen Tarvek\nset \"Start column\" = 1\nset \"Oxide file\" = !x\npress version 2.32\n")
                    .ok());
    EXPECT_TRUE(fs::exists("good_one.ZU3"));  // ferric iron on, version 2.32
    EXPECT_TRUE(fs::exists("garn.p"));
    EXPECT_FALSE(fs::exists("bad_unknown_oxide.ZU1"));
}

TEST(TarvekRun, BatchLinesListsAndPrefixes) {
    BatchLine star = parseBatchLine("sub/,opt1,opt2,opt3,*list_star.lst");
    EXPECT_EQ(star.prefix, "sub/");
    EXPECT_EQ(star.listFile, "list_star.lst");
    EXPECT_EQ(star.options[1], "opt2");
    EXPECT_EQ(parseBatchLine("dir/,a,b,c,x.lst,rest").listFile, "dir/x.lst");
    EXPECT_TRUE(parseBatchLine("dir/,a,b,c,").listBlank);

    InDirectory d("batch");
    for (const auto& e : fs::recursive_directory_iterator(kBad)) {
        fs::path rel = fs::relative(e.path(), kBad);
        if (e.is_directory()) fs::create_directories(rel);
        else fs::copy(e.path(), rel);
    }
    BatchReport report;
    std::vector<std::string> progress;
    ASSERT_TRUE(runBatch("BATCH.DAT", OxideRunOptions{}, report,
                          [&](std::string_view l) { progress.emplace_back(l); })
                    .ok());
    EXPECT_EQ(report.filesDone, 2);  // good_one and sub/good_two
    EXPECT_EQ(report.filesFailed, 1);
    ASSERT_EQ(report.messages.size(), 2u);
    EXPECT_EQ(report.messages[0], "Rerun - cannot open file with oxides: no_such_file.OXI");
    EXPECT_EQ(report.messages[1], "Cannot open file no_such_list.lst");
    EXPECT_TRUE(fs::exists("good_one.ZU2"));
    EXPECT_TRUE(fs::exists("sub/good_two.ZU2"));
    EXPECT_TRUE(fs::exists("oliv.p"));  // the last file's plot files replace the first's
    EXPECT_EQ(runBatch("nothing.dat", OxideRunOptions{}, report).what, "Cannot open file BATCH.DAT - check & rerun ");

    // The screen's batch box runs the same and reports the failures.
    EXPECT_TRUE(runScript("screen Tarvek\ncheck \"Batch Run?\"\npress version 2.32\nscreen OOPS\npress QUIT\n").ok());
}
