#include "intersect/monte_carlo.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "intersect/read_curves.hpp"
#include "core/text.hpp"
#include "io/sln_format.hpp"

namespace intersect {
namespace {

namespace fs = std::filesystem;
using core::Status;

constexpr const char* kBatchAnswers = "batch.ans";

Status fileError(const std::string& what, const std::string& why, const std::string& file, int line = 0) {
    Status s = Status::error(what, why);
    s.file = file;
    s.line = line;
    return s;
}

Status readLines(const fs::path& path, const char* what, std::vector<std::string>& lines) {
    lines.clear();
    std::ifstream in(path);
    if (!in) {
        std::error_code ec;
        return fileError(std::string("cannot open the ") + what, fs::exists(path, ec) ? "not readable" : "no such file",
                         path.string());
    }
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(std::move(l));
    }
    return Status::success();
}

Status writeLines(const fs::path& path, const std::vector<std::string>& lines) {
    std::ofstream out(path);
    for (const std::string& l : lines) out << l << '\n';
    out.close();
    if (!out) return fileError("cannot write a file of the Monte Carlo runs", std::strerror(errno), path.string());
    return Status::success();
}

// The configuration file of a directory, under any letter case of its name.
fs::path configIn(const fs::path& dir) {
    std::error_code ec;
    for (const char* n : {"PELKAM.fig", "PELKAM.FIG", "pelkam.fig"})
        if (fs::is_regular_file(dir / n, ec)) return dir / n;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
        if (core::equalBlind(e.path().filename().string(), "pelkam.fig") && e.is_regular_file(ec)) return e.path();
    return {};
}

// The run's configuration for the work directory: the data files named by
// their absolute paths, no path prefix, no activity listing.
std::vector<std::string> workConfig(const std::vector<std::string>& lines, const fs::path& runDir, fs::path& solutionFile) {
    struct Key {
        const char* key;
        const char* fallback;
        bool seen;
    };
    std::array<Key, 3> data{{{"MINERAL DATA=", "jun92.rqt", false},
                             {"SOLUTION DATA=", "solid.sln", false},
                             {"AQUEOUS DATA=", "hkf81.aqu", false}}};
    auto absolute = [&](std::string_view name) {
        fs::path p{std::string(core::trim(name))};
        return (p.is_absolute() ? p : fs::absolute(runDir / p)).lexically_normal();
    };
    std::vector<std::string> out;
    for (const std::string& raw : lines) {
        const std::string_view l = core::rtrim(raw);
        bool handled = false;
        for (Key& k : data) {
            const std::string_view key = k.key;
            if (l.substr(0, key.size()) != key) continue;
            const fs::path p = absolute(l.substr(key.size()));
            if (key == "SOLUTION DATA=") solutionFile = p;
            out.push_back(std::string(key) + p.string());
            k.seen = handled = true;
        }
        if (handled) continue;
        for (const char* drop : {"PATH=", "PRINT ACTIVITIES?=", "PLOTFILE=", "SUMMARYFILE=", "RESTARTFILE="})
            handled = handled || l.substr(0, std::strlen(drop)) == drop;
        if (!handled) out.emplace_back(l);
    }
    for (Key& k : data)
        if (!k.seen) {
            const fs::path p = absolute(k.fallback);
            if (std::string_view(k.key) == "SOLUTION DATA=") solutionFile = p;
            out.push_back(std::string(k.key) + p.string());
        }
    out.push_back("PLOTFILE=plot.plt");
    out.push_back("SUMMARYFILE=summary.dat");
    out.push_back("RESTARTFILE=restart.res");
    return out;
}

// The calculator as a child process in `dir`, its output in files there.
class Child {
public:
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int st = 0;
            ::waitpid(pid_, &st, 0);
        }
    }
    Status start(const std::string& program, const fs::path& dir, const sigset_t& restoreMask) {
        const std::string cwd = dir.string(), out = (dir / "pelkam.out").string(), err = (dir / "pelkam.err").string();
        std::array<const char*, 4> argv{program.c_str(), "--script", kBatchAnswers, nullptr};
        const pid_t pid = ::fork();
        if (pid < 0) return Status::error("cannot start the calculator", std::strerror(errno));
        if (pid == 0) {
            // Only what is safe between fork and exec.
            ::sigprocmask(SIG_SETMASK, &restoreMask, nullptr);
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || o < 0 || e < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
            ::dup2(in, 0);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execv(program.c_str(), const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        pid_ = pid;
        return Status::success();
    }
    // True when the child has ended; `status` its wait status.
    bool ended(int& status) {
        if (pid_ <= 0) return true;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            pid_ = -1;
            return true;
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

// SIGINT and SIGTERM are held while the runs go on and taken with
// sigtimedwait, so that an interruption stops the runs and cleans up.
class HeldSignals {
public:
    HeldSignals() {
        sigemptyset(&held_);
        sigaddset(&held_, SIGINT);
        sigaddset(&held_, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &held_, &old_);
    }
    ~HeldSignals() {
        // A signal taken here was handled; one still pending is dropped.
        timespec zero{0, 0};
        while (::sigtimedwait(&held_, nullptr, &zero) > 0) {
        }
        ::sigprocmask(SIG_SETMASK, &old_, nullptr);
    }
    const sigset_t& previous() const { return old_; }
    // Waits up to `ms`; the signal number when one came, else 0.
    int wait(long ms) {
        timespec t{ms / 1000, (ms % 1000) * 1000000L};
        const int s = ::sigtimedwait(&held_, nullptr, &t);
        return s > 0 ? s : 0;
    }

private:
    sigset_t held_{}, old_{};
};

std::string runName(int run, int runs) {
    const int width = std::max(4, static_cast<int>(std::to_string(runs).size()));
    std::string n = std::to_string(run);
    return "mc" + std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(n.size()))), '0') + n;
}

// The reasons klv.log gives for batch lines that could not be run, by line.
std::vector<std::string> logReasons(const fs::path& log, int lines) {
    std::vector<std::string> why(static_cast<std::size_t>(lines) + 1);
    std::vector<std::string> text;
    if (!readLines(log, "batch log", text)) return why;
    for (const std::string& l : text) {
        const std::string_view t = core::trim(l);
        constexpr std::string_view kLine = "Batch line ";
        if (t.substr(0, kLine.size()) != kLine) continue;
        const std::size_t colon = t.find(':');
        if (colon == std::string_view::npos) continue;
        const int n = std::atoi(std::string(t.substr(kLine.size(), colon - kLine.size())).c_str());
        if (n >= 1 && n <= lines && why[static_cast<std::size_t>(n)].empty())
            why[static_cast<std::size_t>(n)] = std::string(core::trim(t.substr(colon + 1)));
    }
    return why;
}

class WorkDirectory {
public:
    ~WorkDirectory() {
        if (!path_.empty() && !keep_) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    Status make(const std::string& named, bool keep) {
        std::error_code ec;
        if (!named.empty()) {
            path_ = fs::absolute(named, ec);
            keep_ = true;
            if (fs::exists(path_, ec) && !fs::is_empty(path_, ec))
                return fileError("the work directory is not empty", "name a new or empty directory", named);
            fs::create_directories(path_, ec);
            if (ec) return fileError("cannot make the work directory", ec.message(), named);
            return Status::success();
        }
        keep_ = keep;
        std::string pattern = (fs::temp_directory_path(ec) / "pelkam-intersect-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return fileError("cannot make a temporary directory", std::strerror(errno), pattern);
        path_ = pattern;
        return Status::success();
    }
    const fs::path& path() const { return path_; }
    bool kept() const { return keep_; }

private:
    fs::path path_;
    bool keep_ = false;
};

}  // namespace

Status runMonteCarlo(const MonteCarloRequest& rq, MonteCarloResult& result) {
    result = MonteCarloResult{};
    if (rq.runs < 1) return Status::error("no Monte Carlo runs asked for", "the number of runs must be at least 1");
    const fs::path runDir = rq.runDirectory.empty() ? fs::path(".") : fs::path(rq.runDirectory);

    // The run: its restart file, composition file, configuration and models.
    std::vector<std::string> restart;
    if (Status s = readLines(rq.restartFile, "restart file", restart); !s) return s;
    const auto [recorded, compositionLine] = restartCompositionFile(restart);
    if (compositionLine == 0 || core::isBlank(recorded))
        return fileError("the restart file names no composition file",
                         "the run used no solution model: there is nothing to perturb", rq.restartFile);
    const fs::path composition =
        (rq.compositionFile.empty() ? runDir / recorded : fs::path(rq.compositionFile)).lexically_normal();
    result.compositionFile = composition.string();
    std::vector<std::string> zun;
    if (Status s = readLines(composition, "composition file", zun); !s) return s;
    const fs::path config = configIn(runDir);
    if (config.empty())
        return fileError("cannot find the run's configuration file", "no PELKAM.fig in the run directory",
                         runDir.string());
    std::vector<std::string> configLines;
    if (Status s = readLines(config, "configuration file", configLines); !s) return s;
    fs::path slnPath;
    const std::vector<std::string> workFig = workConfig(configLines, runDir, slnPath);
    std::vector<std::string> sln, said;
    if (Status s = readLines(slnPath, "solution-properties file", sln); !s) return s;
    auto models = std::make_unique<model::SolutionModelSet>();
    if (Status s = io::parseSolutionModels(sln, slnPath.string(), {}, *models, said); !s) {
        s.code = core::StatusCode::Error;
        return s;
    }
    std::vector<ModelSites> sites;
    for (int m = 0; m < models->count; ++m) {
        const model::SolutionModel& sm = models->models[static_cast<std::size_t>(m)];
        ModelSites ms{sm.abbreviation, {}};
        for (int k = 0; k < sm.siteCount; ++k) ms.cationsPerSite.push_back(sm.sites[static_cast<std::size_t>(k)].cationCount);
        sites.push_back(std::move(ms));
    }

    // The work directory: configuration, answers, and per run a perturbed
    // composition file, its list and a copy of the restart file naming it.
    WorkDirectory work;
    if (Status s = work.make(rq.workDirectory, rq.keep); !s) return s;
    result.workDirectory = work.path().string();
    result.kept = work.kept();
    const fs::path& dir = work.path();
    if (Status s = writeLines(dir / "PELKAM.fig", workFig); !s) return s;
    if (Status s = writeLines(dir / kBatchAnswers,
                              {"# the Monte Carlo runs of pelkam-intersect: one batch line per perturbed composition file",
                               "check \"Batch Run?\"", "press Continue", "screen Completion", "press Exit"});
        !s)
        return s;
    std::vector<std::string> batch, perturbed;
    for (int i = 1; i <= rq.runs; ++i) {
        const std::string name = runName(i, rq.runs);
        Random rng(runSeed(rq.seed, i - 1));
        if (Status s = perturbComposition(zun, composition.string(), sites, rq.uncertainties, rng, perturbed); !s)
            return s;
        if (Status s = writeLines(dir / (name + ".zun"), perturbed); !s) return s;
        if (Status s = writeLines(dir / (name + ".lst"), {name + ".zun"}); !s) return s;
        std::vector<std::string> res = restart;
        std::string& rec = res[static_cast<std::size_t>(compositionLine - 1)];
        rec = core::pad(name + ".zun", 40) + "     " + std::string(core::rtrim(rec.substr(std::min<std::size_t>(rec.size(), 45))));
        if (Status s = writeLines(dir / (name + ".res"), res); !s) return s;
        batch.push_back("," + name + ".res,,," + name + ".lst");
    }
    if (Status s = writeLines(dir / "batch.dat", batch); !s) return s;

    // The runs, with the progress at most once a second.
    auto plotOf = [&](int i) { return dir / (runName(i, rq.runs) + ".p" + std::to_string(i)); };
    int status = 0;
    {
        HeldSignals held;
        Child child;
        if (Status s = child.start(rq.pelkam, dir, held.previous()); !s) return s;
        auto last = std::chrono::steady_clock::now();
        int highest = 0;
        auto report = [&](bool force) {
            const auto now = std::chrono::steady_clock::now();
            if (!rq.progress || (!force && now - last < std::chrono::seconds(1))) return;
            last = now;
            std::error_code ec;
            int done = 0;
            for (int i = highest + 1; i <= rq.runs; ++i)
                if (fs::exists(plotOf(i), ec)) highest = i;
            for (int i = 1; i <= highest; ++i) done += fs::exists(plotOf(i), ec) ? 1 : 0;
            rq.progress(highest, highest - done, rq.runs);
        };
        while (!child.ended(status)) {
            if (const int sig = held.wait(200); sig != 0)
                return Status::error("the Monte Carlo runs were interrupted",
                                     sig == SIGINT ? "interrupt (Ctrl-C)" : "termination signal");
            report(false);
        }
    }
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)) {
        std::vector<std::string> err;
        readLines(dir / "pelkam.err", "calculator's messages", err);
        std::string why = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                            : "ended by signal " + std::to_string(WTERMSIG(status));
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127) why = "cannot run the program";
        for (const std::string& l : err)
            if (!core::isBlank(l)) {
                why += ": " + l;
                break;
            }
        return fileError("the calculator did not complete the Monte Carlo runs", why, rq.pelkam);
    }

    // Every run's plot file with its summary.
    const std::vector<std::string> reasons = logReasons(dir / "klv.log", rq.runs);
    std::vector<Point> means;
    for (int i = 1; i <= rq.runs; ++i) {
        MonteCarloRun r;
        r.run = i;
        const fs::path plot = plotOf(i);
        std::error_code ec;
        if (!fs::exists(plot, ec)) {
            r.failure = reasons[static_cast<std::size_t>(i)].empty() ? "no plot file was written"
                                                                       : reasons[static_cast<std::size_t>(i)];
        } else {
            CurveSet set;
            CurveSources src;
            const std::string summary = (dir / (runName(i, rq.runs) + ".sum")).string();
            if (Status s = readCurves(plot.string(), fs::exists(summary, ec) ? summary : std::string(), {}, set, src); !s) {
                r.failure = s.describe();
            } else {
                const Analysis an = analyse(set, rq.options);
                r.intersections = an.scatter.count;
                if (an.scatter.count == 0) {
                    r.failure = "the curves do not meet in the window";
                } else {
                    r.ok = true;
                    r.mean = an.scatter.mean;
                    means.push_back(r.mean);
                }
            }
        }
        result.runs.push_back(std::move(r));
    }
    result.scatter = scatterOf(means);
    if (rq.progress) rq.progress(rq.runs, rq.runs - static_cast<int>(means.size()), rq.runs);
    return Status::success();
}

}  // namespace intersect
