// Helpers for tests that run the programs as whole processes.
#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace apptest {

namespace fs = std::filesystem;

// A fresh working directory, removed afterwards.
struct WorkDir {
    fs::path path;
    explicit WorkDir(const std::string& tag);
    ~WorkDir();
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    std::vector<std::string> lines(const std::string& name) const;  // without trailing blanks
    bool exists(const std::string& name) const { return fs::exists(path / name); }
};

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `exe` with `args` in `dir`, standard input from /dev/null.  A
// `fileSizeLimit` (bytes) makes every write beyond that size fail as on a
// full disk.
RunResult runProgram(const std::string& exe, const std::vector<std::string>& args, const fs::path& dir,
                      long fileSizeLimit = -1);

// The bundled data directory.
inline fs::path dataDir() { return fs::path(PELKAM_SOURCE_DIR) / "data"; }

// Copies the bundled database, the empty aqueous file and the solution
// models into `w` and returns a PELKAM.fig naming them.
std::string bundledConfig(const WorkDir& w);

}  // namespace apptest
