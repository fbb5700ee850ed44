#include "run_helpers.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace apptest {

namespace {
std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
std::atomic<int> counter{0};
}  // namespace

WorkDir::WorkDir(const std::string& tag) {
    path = fs::temp_directory_path() /
           ("pelkam_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
}
WorkDir::~WorkDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}
void WorkDir::write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
}
std::string WorkDir::read(const std::string& name) const { return slurp(path / name); }
std::vector<std::string> WorkDir::lines(const std::string& name) const {
    std::vector<std::string> out;
    std::istringstream in(read(name));
    std::string l;
    while (std::getline(in, l)) {
        while (!l.empty() && (l.back() == ' ' || l.back() == '\r')) l.pop_back();
        out.push_back(l);
    }
    return out;
}

RunResult runProgram(const std::string& exe, const std::vector<std::string>& args, const fs::path& dir,
                      long fileSizeLimit) {
    RunResult r;
    // Captured beside the directory, so that a full disk in it does not lose them.
    fs::path outFile = dir.string() + ".stdout", errFile = dir.string() + ".stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = open("/dev/null", O_RDONLY);
        int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (fileSizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Progress lines would make standard error depend on the machine's speed.
        if (std::getenv("PELKAM_PROGRESS") == nullptr) setenv("PELKAM_PROGRESS", "0", 1);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

std::string bundledConfig(const WorkDir& w) {
    fs::copy_file(dataDir() / "thermo1988.dat", w.path / "thermo1988.dat", fs::copy_options::overwrite_existing);
    fs::copy_file(dataDir() / "empty.aqu", w.path / "empty.aqu", fs::copy_options::overwrite_existing);
    fs::copy_file(dataDir() / "solution-models.sln", w.path / "models.sln", fs::copy_options::overwrite_existing);
    return "MINERAL DATA=thermo1988.dat\nAQUEOUS DATA=empty.aqu\nSOLUTION DATA=models.sln\n";
}

}  // namespace apptest
