// tarvek: mineral formulae from electron-microprobe oxide analyses.
#include <cstdio>
#include <memory>
#include <string>

#include "dialogs/toolkit.hpp"
#include "tarvek/tarvek_shell.hpp"

int main(int argc, char** argv) {
    std::string script;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf(
                "Usage: tarvek [--script FILE]\n"
                "       tarvek --help | --version\n\n"
                "Recalculates electron-microprobe oxide analyses (weight per cent) into cations per\n"
                "formula unit, with ferric iron by charge balance where asked, and writes the mineral\n"
                "composition files that pelkam reads.\n\n"
                "Options:\n"
                "  --script FILE  answer the screen from a plain-text answer script\n"
                "  --help         show this help and exit\n"
                "  --version      show the version and exit\n\n"
                "Options are preset from the ZUN- keys of PELKAM.fig in the working directory.\n");
            return 0;
        }
        if (a == "--version") {
            std::printf("tarvek %s\n", std::string(formula::kTarvekVersion).c_str());
            return 0;
        }
        if (a == "--script" && i + 1 < argc) {
            script = argv[++i];
        } else {
            std::fprintf(stderr, "tarvek: unknown argument '%s' (try --help)\n", a.c_str());
            return 2;
        }
    }
    std::string error;
    std::unique_ptr<dialogs::Toolkit> tk =
        script.empty() ? dialogs::make_terminal_toolkit(&error) : dialogs::make_scripted_toolkit(script, &error);
    if (!tk) {
        std::fprintf(stderr, "tarvek: %s\n", error.c_str());
        return 2;
    }
    formula::TarvekSettings settings;
    formula::read_tarvek_config(settings, ".");
    records::Status s = formula::run_tarvek(*tk, settings);
    tk.reset();
    if (!s.ok()) {
        std::fprintf(stderr, "tarvek: %s\n", s.describe().c_str());
        return records::exit_code(s);
    }
    return 0;
}
