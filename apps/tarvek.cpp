// tarvek: mineral formulae from electron-microprobe oxide analyses.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/text.hpp"
#include "tarvek/batch.hpp"
#include "tarvek/tarvek_shell.hpp"
#include "ui/toolkit.hpp"

namespace {

// The utility's message, and where when it concerns a line of a file.
std::string message(const core::Status& s) {
    std::string m = s.what;
    if (s.line > 0) m += " (" + s.file + ", line " + std::to_string(s.line) + ")";
    return m;
}

void usage() {
    std::printf(
        "Usage: tarvek [--script FILE]            the screen (or an answer script)\n"
        "       tarvek FILE[.OXI] [options]        one oxide file, no screens\n"
        "       tarvek --batch BATCH.DAT [options] every file of the batch lists, no screens\n"
        "       tarvek --help | --version\n\n"
        "Recalculates electron-microprobe oxide analyses (weight per cent) into cations per\n"
        "formula unit, with ferric iron by charge balance where asked, and writes the mineral\n"
        "composition file that pelkam reads (NAME.ZU1 with --calc 1.02, else NAME.ZU3 with\n"
        "--ferric, else NAME.ZU2), the cation file NAME.CAT, mintab.csv, zun.log and plot\n"
        "files (*.p, spinel.dat, ilmenite.dat) in the working directory.\n\n"
        "Options (the screen's fields; defaults from the ZUN- keys of PELKAM.fig):\n"
        "  --start N          column at which the mineral code is sought (1)\n"
        "  --header-lines N   lines between the title line and the oxide-label line (0)\n"
        "  --ferric           calculate Fe3+ (Calculate Fe3+? Yes)\n"
        "  --no-ferric        do not calculate Fe3+\n"
        "  --mapping          analysis lines carry two map coordinates first\n"
        "  --garnet-3pct      garnet: Fe3+ = 3 %% of total Fe\n"
        "  --garnet-offset X  subtracted from Fe/(Fe+Mg) in the garnet plot files (0.00)\n"
        "  --calc 1.02|2.32   recalculation version: default schemes of one-letter codes\n"
        "                     and composition-file extension (2.32)\n"
        "  --no-composition   write no composition file\n"
        "  --script FILE      answer the screen from a plain-text answer script\n"
        "  --help             show this help and exit\n"
        "  --version          show the version and exit\n\n"
        "BATCH.DAT lines: prefix,opt1,opt2,opt3,LISTFILE (a leading * in LISTFILE opens it\n"
        "without the prefix); each list line names an oxide file, run with the prefix.\n"
        "Exit status: 0 when every file was processed, 1 when a file could not be, 2 on a\n"
        "wrong argument.\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string script, oxideFile, batchFile, calc = "2.32";
    formula::TarvekSettings settings;
    formula::readTarvekConfig(settings, ".");
    bool noComposition = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarvek: %s needs a value (try --help)\n", a.c_str());
                std::exit(2);
            }
            out = argv[++i];
        };
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        }
        if (a == "--version") {
            std::printf("tarvek %s\n", std::string(formula::kTarvekVersion).c_str());
            return 0;
        }
        if (a == "--script") value(script);
        else if (a == "--batch") value(batchFile);
        else if (a == "--start") value(settings.startColumn);
        else if (a == "--header-lines") value(settings.headerLines);
        else if (a == "--garnet-offset") value(settings.garnetOffset);
        else if (a == "--calc") value(calc);
        else if (a == "--ferric") settings.ferric = true;
        else if (a == "--no-ferric") settings.ferric = false;
        else if (a == "--mapping") settings.mapping = true;
        else if (a == "--garnet-3pct") settings.garnet3Percent = true;
        else if (a == "--no-composition") noComposition = true;
        else if (!a.empty() && a[0] != '-' && oxideFile.empty()) oxideFile = a;
        else {
            std::fprintf(stderr, "tarvek: unknown argument '%s' (try --help)\n", a.c_str());
            return 2;
        }
    }
    if (calc != "2.32" && calc != "1.02") {
        std::fprintf(stderr, "tarvek: --calc takes 1.02 or 2.32, not '%s'\n", calc.c_str());
        return 2;
    }
    if (!oxideFile.empty() || !batchFile.empty()) {
        if (!oxideFile.empty() && !batchFile.empty()) {
            std::fprintf(stderr, "tarvek: give an oxide file or --batch, not both\n");
            return 2;
        }
        settings.oxideFile = oxideFile;
        formula::OxideRunOptions options;
        std::string error;
        formula::Version v = calc == "1.02" ? formula::Version::V102 : formula::Version::V232;
        if (!formula::runOptions(settings, v, options, error)) {
            std::fprintf(stderr, "tarvek: %s\n", error.c_str());
            return 2;
        }
        options.writeComposition = !noComposition;
        if (!batchFile.empty()) {
            formula::BatchReport report;
            core::Status s = formula::runBatch(batchFile, options, report, [](std::string_view line) {
                std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
            });
            if (!s.ok()) {
                std::fprintf(stderr, "tarvek: %s(%s)\n", s.what.c_str(), batchFile.c_str());
                return 1;
            }
            std::printf("%d oxide files processed, %zu failures\n", report.filesDone, report.messages.size());
            return report.messages.empty() ? 0 : 1;
        }
        formula::OxideRunReport report;
        core::Status s = formula::run_oxide_file(options, &report);
        if (!s.ok()) {
            std::fprintf(stderr, "tarvek: %s\n", message(s).c_str());
            return 1;
        }
        std::printf("%s: %d analyses, %d recalculated\n", report.oxideFile.c_str(), report.analyses,
                    report.recalculated);
        for (const std::string& f : report.written) std::printf("  wrote %s\n", f.c_str());
        return 0;
    }

    std::string error;
    std::unique_ptr<ui::Toolkit> tk =
        script.empty() ? ui::makeTerminalToolkit(&error) : ui::makeScriptedToolkit(script, &error);
    if (!tk) {
        std::fprintf(stderr, "tarvek: %s\n", error.c_str());
        return 2;
    }
    formula::TarvekSettings screen;
    formula::readTarvekConfig(screen, ".");
    core::Status s = formula::runTarvek(*tk, screen);
    tk.reset();
    if (!s.ok()) {
        std::fprintf(stderr, "tarvek: %s\n", s.describe().c_str());
        return core::exitCode(s);
    }
    return 0;
}
