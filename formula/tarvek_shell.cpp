#include "formula/tarvek_shell.hpp"

#include <fstream>
#include <vector>

#include "records/files.hpp"
#include "records/text.hpp"

namespace formula {
using dialogs::ControlDef;
using dialogs::ControlKind;
using dialogs::ScreenResource;

namespace {

ControlDef control(int id, ControlKind kind, std::string caption, int row, int col, int width = 0, int group = 0) {
    return dialogs::make_control(id, kind, std::move(caption), row, col, width, group);
}

std::vector<ScreenResource> build_screens() {
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
    done.controls.push_back(control(dialogs::kExitControl, K::Button, "QUIT", 5, 30));

    ScreenResource oops{kOopsDialog, "OOPS!", "OOPS!", {}};
    oops.controls.push_back(control(kOopsText, K::Static, "", 2, 2, 76));
    oops.controls.push_back(control(kOopsRetry, K::Button, "Retry", 5, 10));
    oops.controls.push_back(control(dialogs::kExitControl, K::Button, "QUIT", 5, 30));
    oops.messageControl = kOopsText;

    ScreenResource progress{kBatchProgressDialog, "Batch", "Calculating mineral formulae....in batch mode", {}};
    progress.controls.push_back(control(kProgressText, K::Static, "", 2, 2, 60));
    return {main, done, oops, progress};
}

}  // namespace

const ScreenResource& tarvek_screen(int dialogId) {
    static const std::vector<ScreenResource> screens = build_screens();  // immutable table
    for (const ScreenResource& r : screens)
        if (r.id == dialogId) return r;
    return screens.front();
}

void apply_tarvek_config_line(TarvekSettings& s, std::string_view raw) {
    std::string line = records::pad(records::rtrim(raw), 40);
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

bool read_tarvek_config(TarvekSettings& s, const std::string& dir) {
    std::string file = records::find_config_file(dir);
    if (file.empty()) {
        s.oxideFile.clear();
        return false;
    }
    s.oxideFile = "zuntest";
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) apply_tarvek_config_line(s, line);
    return true;
}

records::Status run_tarvek(dialogs::Toolkit& tk, TarvekSettings& s) {
    int main = tk.create(tarvek_screen(kMainDialog));
    int oops = tk.create(tarvek_screen(kOopsDialog));
    tk.set_text(main, kOxideFile, s.oxideFile);
    tk.set_text(main, kStartColumn, s.startColumn);
    tk.set_text(main, kHeaderLines, s.headerLines);
    tk.set_text(main, kGarnetOffset, s.garnetOffset);
    tk.set_check(main, s.ferric ? kFerricYes : kFerricNo, true);
    tk.set_check(main, s.mapping ? kMappingYes : kMappingNo, true);
    tk.set_check(main, kBatchRun, s.batch);
    tk.set_check(main, kGarnet3Percent, s.garnet3Percent);
    for (;;) {
        int pressed = 0;
        tk.on_command(main, kExitButton, [&] { tk.end_program(); });
        tk.on_command(main, kVersion102, [&] { pressed = kVersion102; tk.post_quit(); });
        tk.on_command(main, kVersion232, [&] { pressed = kVersion232; tk.post_quit(); });
        tk.on_close(main, [&] { tk.end_program(); });
        tk.show(main, 1);
        dialogs::Message m;
        while (tk.get_message(m))
            if (!tk.is_dialog_message(main, m)) tk.dispatch(m);
        if (tk.program_ended() || pressed == 0) break;
        tk.set_text(oops, kOopsText, "The recalculation of oxide analyses is not available in this version.");
        tk.on_command(oops, kOopsRetry, [&] { tk.close(oops); });
        if (!tk.run_screen(oops)) break;
    }
    if (!tk.failure().empty()) return records::Status::error(tk.failure());
    return records::Status::success();
}

}  // namespace formula
