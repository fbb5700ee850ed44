#include "tarvek/tarvek_shell.hpp"

#include <fstream>
#include <vector>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/files.hpp"
#include "tarvek/batch.hpp"

namespace formula {
using ui::ControlDef;
using ui::ControlKind;
using ui::ScreenResource;

namespace {

ControlDef control(int id, ControlKind kind, std::string caption, int row, int col, int width = 0, int group = 0) {
    return ui::makeControl(id, kind, std::move(caption), row, col, width, group);
}

std::vector<ScreenResource> buildScreens() {
    using K = ControlKind;
    ScreenResource main{kMainDialog, "Tarvek", "Tarvek: mineral formulae from oxide analyses", {}};
    auto& m = main.controls;
    m.push_back(control(kOxideFile, K::Edit, "Oxide file", 2, 2, 40));
    m.push_back(control(0, K::Static, "(.OXI is appended)", 3, 16));
    m.push_back(control(kStartColumn, K::Edit, "Start column", 5, 2, 1));
    m.push_back(control(kHeaderLines, K::Edit, "Header lines", 6, 2, 1));
    m.push_back(control(kGarnetOffset, K::Edit, "Garnet plot offset", 7, 2, 4));
    m.push_back(control(0, K::Static, "Calculate Fe3+?", 9, 2));
    m.push_back(control(kFerricYes, K::Radio, "Yes", 9, 24, 0, 1));
    m.push_back(control(kFerricNo, K::Radio, "No", 9, 34, 0, 1));
    m.push_back(control(0, K::Static, "Mapping coordinates?", 10, 2));
    m.push_back(control(kMappingYes, K::Radio, "Yes ", 10, 24, 0, 2));
    m.push_back(control(kMappingNo, K::Radio, "No ", 10, 34, 0, 2));
    m.push_back(control(kBatchRun, K::Check, "Batch Run?", 12, 2));
    m.push_back(control(kGarnet3Percent, K::Check, "Gt: Fe3+ = 3%Fe?", 13, 2));
    m.push_back(control(kVersion102, K::Button, "version 1.02", 16, 2));
    m.push_back(control(kVersion232, K::Button, "version 2.32", 16, 22));
    m.push_back(control(kExitButton, K::Button, "Exit", 16, 42));
    m[6].initial = "";
    m[7].initial = "1";
    m[10].initial = "1";
    m.back().isCancel = true;  // Esc leaves the utility, as its Exit button does

    ScreenResource done{kDoneDialog, "Done", "Done!", {}};
    done.controls.push_back(
        control(0, K::Static, "Done! ..........ZU1, .ZU2, or .ZU3 files created Mineral compositions plotted in *.p files",
                2, 2, 76));
    done.controls.push_back(control(kDoneAnother, K::Button, "Do another", 5, 10));
    done.controls.push_back(control(ui::kExitControl, K::Button, "QUIT", 5, 30));

    ScreenResource oops{kOopsDialog, "OOPS!", "OOPS!", {}};
    oops.controls.push_back(control(kOopsText, K::Static, "", 2, 2, 76));
    oops.controls.push_back(control(kOopsRetry, K::Button, "Retry", 5, 10));
    oops.controls.push_back(control(ui::kExitControl, K::Button, "QUIT", 5, 30));
    oops.messageControl = kOopsText;

    ScreenResource progress{kBatchProgressDialog, "Batch", "Calculating mineral formulae....in batch mode", {}};
    progress.controls.push_back(control(kProgressText, K::Static, "", 2, 2, 60));
    std::vector<ScreenResource> all = {main, done, oops, progress};
    auto page = [&](int id, const char* name, const std::vector<const char*>& lines) {
        ScreenResource p{id, name, name, {}};
        int row = 1;
        for (const char* l : lines) p.controls.push_back(control(0, K::Static, l, row++, 2, 76));
        p.controls.push_back(control(kPageBack, K::Button, "Back", row + 1, 2));
        p.controls.back().isDefault = true;
        all.push_back(p);
    };
    page(kInfoPage, "!info",
         {"Tarvek recalculates electron-microprobe oxide analyses (weight per cent) into",
          "cations per formula unit, estimates Fe3+ by charge balance where asked, and",
          "writes the mineral composition file that pelkam reads (.ZU1 for version 1.02,",
          ".ZU3 with Fe3+ calculated, else .ZU2), the cation file (.CAT), mintab.csv,",
          "zun.log and small plot files (*.p) of the compositions.",
          "",
          "Type the oxide file's name without .OXI and press a version button.",
          "!help: the oxide-file format.  !oxi: the mineral labels.  !x: end."});
    page(kHelpPage, "!help",
         {"An oxide file (NAME.OXI): a title line, the header lines you set, then an",
          "oxide-label line such as  SiO2,TiO2,Al2O3,FeO,MnO,MgO,CaO,Na2O,K2O,Total",
          "(up to 25 of SiO2 TiO2 Al2O3 Cr2O3 FeO Fe2O3 MnO MgO CaO Na2O K2O BaO NiO F",
          "ZnO Nb2O5 V2O3 V2O5 SrO Cl SO3 P2O5 H2O Total Tot; a digit 0 reads as O).",
          "Then one analysis per line: the mineral code and a label before the first",
          "comma, then the values in label order, e.g.  GARN grt-1,36.3,0,22.0,...",
          "With map coordinates on, two coordinates come before the values.",
          "A line that is not numbers starts a new block with its own label line.",
          "The label line must not hold a '.' (a value line given as labels)."});
    page(kOxiPage, "!oxi",
         {"Mineral labels (first letter from the start column; upper or lower case):",
          "G garnet (GARN)  B biotite (BIO6; BIO1 with version 1.02)  BE biotite (BIEX)",
          "P or F plagioclase (PLAG)  K K-feldspar (KSPR)  A or H amphibole (AMPH)",
          "Cm cummingtonite (CUM)  C clinopyroxene (CPX2; CPX with version 1.02)",
          "O orthopyroxene (OPX1; OPX with 1.02)  OL olivine  CD or CORD cordierite",
          "I ilmenite  M white mica  Q quartz  S spinel  Z Mg-Fe phase (MGFE)",
          "Written in full: BIO1 BIO2 BIO3 BIO6 BIEX CPX2 OPX1 OPX2 OPXE CUM",
          "Composition-file labels: GARN,CPX ,OPX ,BIOT,MICA,AMPH,CUM ,CORD,PLAG,ILME"});
    return all;
}

}  // namespace

const ScreenResource& tarvekScreen(int dialogId) {
    static const std::vector<ScreenResource> screens = buildScreens();  // immutable table
    for (const ScreenResource& r : screens)
        if (r.id == dialogId) return r;
    return screens.front();
}

void applyTarvekConfigLine(TarvekSettings& s, std::string_view raw) {
    std::string line = core::pad(core::rtrim(raw), 40);
    auto starts = [&](std::string_view key) { return line.compare(0, key.size(), key) == 0; };
    // The count stands in column 13; a blank there lets it stand one column later.
    if (starts("ZUN-COMMENT=")) s.headerLines = line.substr(line[12] == ' ' ? 13 : 12, 1);
    else if (starts("ZUN-OFFSET=")) s.garnetOffset = line.substr(11, 4);
    else if (starts("ZUN-START=")) s.startColumn = line.substr(10, 1);
    else if (starts("ZUN-FERRIC=")) {
        if (line[11] == 'Y') s.ferric = true;
    } else if (starts("ZUN-3%FE3GT=")) {
        if (line[12] == 'Y') s.garnet3Percent = true;
    }
}

bool readTarvekConfig(TarvekSettings& s, const std::string& dir) {
    std::string file = io::findConfigFile(dir);
    if (file.empty()) {
        s.oxideFile.clear();
        return false;
    }
    s.oxideFile = "zuntest";
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) applyTarvekConfigLine(s, line);
    return true;
}

bool runOptions(const TarvekSettings& s, Version v, OxideRunOptions& o, std::string& error) {
    o = OxideRunOptions{};
    o.baseName = std::string(core::trim(s.oxideFile));
    o.version = v;
    long long start = 0, header = 0;
    if (!core::parseIntegerField(core::trim(s.startColumn), start) || start < 1 || start > 30) {
        error = "Start column must be a number from 1 to 30: \"" + s.startColumn + "\"";
        return false;
    }
    if (!core::parseIntegerField(core::trim(s.headerLines), header) || header < 0 || header > 9) {
        error = "Header lines must be a number from 0 to 9: \"" + s.headerLines + "\"";
        return false;
    }
    double offset = 0;
    if (!core::parseRealField(core::trim(s.garnetOffset), 2, offset)) {
        error = "Garnet plot offset must be a number: \"" + s.garnetOffset + "\"";
        return false;
    }
    o.startColumn = static_cast<int>(start);
    o.headerLines = static_cast<int>(header);
    o.mapping = s.mapping;
    o.scheme.ferric = s.ferric;
    o.scheme.garnet3Percent = s.garnet3Percent;
    o.scheme.garnetOffset = offset;
    return true;
}

namespace {

// The message of a failed run for the OOPS! screen.
std::string oopsText(const core::Status& s) {
    std::string t = s.what;
    if (s.line > 0) t += " (line " + std::to_string(s.line) + ")";
    return t.substr(0, 76);
}

}  // namespace

core::Status runTarvek(ui::Toolkit& tk, TarvekSettings& s) {
    int main = tk.create(tarvekScreen(kMainDialog));
    int oops = tk.create(tarvekScreen(kOopsDialog));
    int done = tk.create(tarvekScreen(kDoneDialog));
    int progress = tk.create(tarvekScreen(kBatchProgressDialog));
    tk.setText(main, kOxideFile, s.oxideFile);
    tk.setText(main, kStartColumn, s.startColumn);
    tk.setText(main, kHeaderLines, s.headerLines);
    tk.setText(main, kGarnetOffset, s.garnetOffset);
    tk.setCheck(main, s.ferric ? kFerricYes : kFerricNo, true);
    tk.setCheck(main, s.mapping ? kMappingYes : kMappingNo, true);
    tk.setCheck(main, kBatchRun, s.batch);
    tk.setCheck(main, kGarnet3Percent, s.garnet3Percent);
    for (;;) {
        int pressed = 0;
        tk.onCommand(main, kExitButton, [&] { tk.endProgram(); });
        tk.onCommand(main, kVersion102, [&] { pressed = kVersion102; tk.postQuit(); });
        tk.onCommand(main, kVersion232, [&] { pressed = kVersion232; tk.postQuit(); });
        tk.onClose(main, [&] { tk.endProgram(); });
        tk.show(main, 1);
        ui::Message m;
        while (tk.getMessage(m))
            if (!tk.isDialogMessage(main, m)) tk.dispatch(m);
        if (tk.programEnded() || pressed == 0) break;
        s.oxideFile = tk.getText(main, kOxideFile);
        s.startColumn = tk.getText(main, kStartColumn);
        s.headerLines = tk.getText(main, kHeaderLines);
        s.garnetOffset = tk.getText(main, kGarnetOffset);
        s.ferric = tk.getCheck(main, kFerricYes);
        s.mapping = tk.getCheck(main, kMappingYes);
        s.batch = tk.getCheck(main, kBatchRun);
        s.garnet3Percent = tk.getCheck(main, kGarnet3Percent);
        Version version = pressed == kVersion102 ? Version::V102 : Version::V232;

        auto show_oops = [&](const std::string& text) {
            tk.setText(oops, kOopsText, text);
            tk.onCommand(oops, kOopsRetry, [&] { tk.close(oops); });
            return tk.runScreen(oops);
        };
        auto show_done = [&] {
            tk.onCommand(done, kDoneAnother, [&] { tk.close(done); });
            return tk.runScreen(done);
        };
        OxideRunOptions options;
        std::string error;
        if (!runOptions(s, version, options, error)) {
            if (!show_oops(error)) break;
            continue;
        }
        std::string name(core::trim(s.oxideFile));
        if (!s.batch) {
            int page = core::equalBlind(name, "!info")   ? kInfoPage
                       : core::equalBlind(name, "!help") ? kHelpPage
                       : core::equalBlind(name, "!oxi")  ? kOxiPage
                                                             : 0;
            if (page != 0) {
                int p = tk.create(tarvekScreen(page));
                tk.onCommand(p, kPageBack, [&] { tk.close(p); });
                bool on = tk.runScreen(p);
                tk.release(p);
                if (!on) break;
                continue;
            }
            if (name == "!x" || name == "!X") {
                tk.endProgram();
                break;
            }
            if (name.empty()) {
                if (!show_oops("Type the name of an oxide file (without .OXI)")) break;
                continue;
            }
            core::Status r = run_oxide_file(options);
            if (!(r.ok() ? show_done() : show_oops(oopsText(r)))) break;
            continue;
        }
        // Batch: the progress screen stays up while the files are run.
        tk.show(progress, 1);
        BatchReport report;
        core::Status b = runBatch("BATCH.DAT", options, report,
                                      [&](std::string_view line) { tk.setText(progress, kProgressText, line); });
        tk.show(progress, 0);
        bool on;
        if (!b.ok()) on = show_oops(b.what);
        else if (!report.messages.empty())
            on = show_oops(std::to_string(report.filesDone) + " files done; " + report.messages.front() +
                           (report.messages.size() > 1 ? " (" + std::to_string(report.messages.size() - 1) + " more)" : ""));
        else on = show_done();
        if (!on) break;
    }
    if (!tk.failure().empty()) return core::Status::error(tk.failure());
    return core::Status::success();
}

}  // namespace formula
