// pelkam: the equilibrium calculator.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "app/run.hpp"
#include "core/status.hpp"
#include "ui/pelkam_screens.hpp"
#include "ui/toolkit.hpp"

namespace {

void usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: pelkam [--script FILE]\n"
                 "       pelkam --help | --version\n"
                 "\n"
                 "Calculates mineral equilibria: every reaction among the chosen phases of a\n"
                 "thermodynamic database, traced across a P-T, T-xCO2, P-xCO2 or activity diagram,\n"
                 "with stable and metastable stretches, written to a plot file, a tabular summary\n"
                 "and a restart file that replays the run.\n"
                 "\n"
                 "Without options the run is collected through full-screen forms on the terminal\n"
                 "(Tab/Shift-Tab move, Space selects, Enter presses a button, Esc leaves,\n"
                 "asking first when the form was changed).\n"
                 "\n"
                 "Options:\n"
                 "  --script FILE  answer the screens from a plain-text answer script instead of\n"
                 "                 the terminal (see docs/answer-scripts.md)\n"
                 "  --help         show this help and exit\n"
                 "  --version      show the version and exit\n"
                 "\n"
                 "Files are read and written in the working directory; the configuration file\n"
                 "PELKAM.fig (also found as PELKAM.FIG or pelkam.fig) names the data files.\n"
                 "Exit status: 0 normal end or Exit/Quit, 1 the run stopped on a data error\n"
                 "(or lines of a batch could not be run: klv.log names them),\n"
                 "2 wrong usage, an answer script that does not fit, no terminal, or outputs\n"
                 "that could not be written (the files of earlier runs are then kept).\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string script;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("pelkam %s\n", std::string(ui::kProgramVersion).c_str());
            return 0;
        }
        if (a == "--script" && i + 1 < argc) {
            script = argv[++i];
        } else if (a.rfind("--script=", 0) == 0) {
            script = a.substr(9);
        } else {
            std::fprintf(stderr, "pelkam: unknown argument '%s'\n\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    // A file that outgrows the size limit fails its write with an error the
    // run reports, rather than ending the program.
    std::signal(SIGXFSZ, SIG_IGN);

    std::string error;
    std::unique_ptr<ui::Toolkit> tk =
        script.empty() ? ui::makeTerminalToolkit(&error) : ui::makeScriptedToolkit(script, &error);
    if (!tk) {
        std::fprintf(stderr, "pelkam: %s\n", error.c_str());
        return 2;
    }
    core::Status status;
    {
        auto ctx = std::make_unique<app::RunContext>();
        ctx->tk = tk.get();
        ctx->answerScript = script;
        ui::Toolkit* t = tk.get();
        ctx->streams.setConsole(io::Console{
            [t](std::string_view line) { t->consoleLine(line); },
            [t](std::string& line) { return t->promptLine("", line); }});
        status = app::startUp(*ctx);
    }
    tk.reset();  // ends the terminal before messages go to stderr
    if (status.code == core::StatusCode::Error) std::fprintf(stderr, "pelkam: %s\n", status.describe().c_str());
    return core::exitCode(status);
}
