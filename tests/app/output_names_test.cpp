// An output of a run may not replace an input of the run nor another output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/files.hpp"
#include "app/run_settings.hpp"

namespace fs = std::filesystem;

namespace {

struct Dir {
    fs::path path = fs::temp_directory_path() / ("pelkam_names_" + std::to_string(::getpid()));
    Dir() {
        fs::remove_all(path);
        fs::create_directories(path / "sub");
        std::ofstream(path / "db.dat") << "data";
        fs::create_hard_link(path / "db.dat", path / "hard.dat");
        fs::create_symlink(path / "db.dat", path / "link.dat");
    }
    ~Dir() { fs::remove_all(path); }
    std::string operator/(const char* name) const { return (path / name).string(); }
};

}  // namespace

TEST(OutputNames, SameFileAfterResolvingPaths) {
    Dir d;
    struct Case {
        const char *a, *b;
        bool same;
    };
    const Case cases[] = {
        {"db.dat", "sub/../db.dat", true},  {"db.dat", "hard.dat", true},     {"db.dat", "link.dat", true},
        {"db.dat", "DB.DAT", false},        {"new.plt", "sub/../new.plt", true}, {"new.plt", "new2.plt", false},
        {"sub/x.plt", "./sub//x.plt", true}, {"db.dat", "sub", false},
    };
    for (const Case& c : cases) EXPECT_EQ(app::sameFile(d / c.a, d / c.b), c.same) << c.a << " " << c.b;
    EXPECT_FALSE(app::sameFile("", d / "db.dat"));
}

TEST(OutputNames, ClashNamesBothRoles) {
    Dir d;
    const std::vector<app::RunFile> inputs = {{"Mineral Data", d / "db.dat"}, {"answer script", d / "run.txt"}};
    using Outputs = std::vector<app::RunFile>;
    EXPECT_EQ(app::outputNameClash(inputs, Outputs{{"Master Output", d / "sum.dat"}, {"Plot Output", d / "plot.plt"}}),
              "");
    EXPECT_EQ(app::outputNameClash(inputs, Outputs{{"Master Output", d / "sum.dat"}, {"Plot Output", d / "link.dat"}}),
              "Plot Output would overwrite the input Mineral Data: choose another name (" + d / "link.dat" + ")");
    EXPECT_EQ(app::outputNameClash(inputs, Outputs{{"Restart File", d / "sub/../run.txt"}}),
              "Restart File would overwrite the input answer script: choose another name (" + d / "sub/../run.txt" +
                  ")");
    EXPECT_EQ(app::outputNameClash(inputs, Outputs{{"Master Output", d / "out"}, {"Plot Output", d / "./out"}}),
              "Plot Output and Master Output name one file: give each output a name of its own (" + d / "./out" + ")");
}

TEST(OutputNames, OutputsOfTheSettings) {
    app::RunSettings rs;
    rs.unitNames[io::kOutputSlot] = "CON:";
    auto roles = [](const std::vector<app::RunFile>& files) {
        std::vector<std::string> r;
        for (const auto& f : files) r.push_back(f.role);
        return r;
    };
    using R = std::vector<std::string>;
    EXPECT_EQ(roles(app::runOutputs(rs)), (R{"Master Output", "Plot Output", "Restart File", "the reaction listing"}));
    rs.summaryOff = true;
    rs.printActivitiesOn = true;
    rs.unitNames[io::kOutputSlot] = "console.txt";
    EXPECT_EQ(roles(app::runOutputs(rs)),
              (R{"Plot Output", "Restart File", "Inter. Output", "the reaction listing", "the activity listing"}));
}
