#include "formula/oxide_file.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "formula/formula.hpp"
#include "formula/outputs.hpp"
#include "io/files.hpp"

namespace formula {

namespace fs = std::filesystem;
using core::Status;

std::string oxideFileName(std::string_view base) {
    // No cut at 60 characters: a directory prefix of a batch run may make the
    // name longer, and a cut name would read another file.
    std::string b(base);
    std::size_t blanks = core::findBlanks(b, 2);
    if (blanks != std::string::npos) b.resize(blanks);
    std::size_t slash = b.find_last_of('/');
    std::size_t dot = b.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot != std::string::npos) b.resize(dot);
    return std::string(core::rtrim(b)) + ".OXI";
}

std::string compositionFileName(std::string_view base, Version v, bool ferric) {
    std::string b = oxideFileName(base);
    b.resize(b.size() - 4);
    return b + (v == Version::V102 ? ".ZU1" : ferric ? ".ZU3" : ".ZU2");
}

namespace {

bool alnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The code that the text at `i` names, or "" when none.
std::string codeAt(std::string_view line, std::size_t i, std::size_t end, Version v) {
    auto at = [&](std::size_t k) { return k < end ? line[k] : ' '; };
    auto word = [&](std::size_t n) {
        return (i == 0 || !alnum(line[i - 1])) && !alnum(at(i + n)) && i + n <= end;
    };
    // Codes written in full that no letter rule reaches.
    if (i + 4 <= end && word(4)) {
        std::string w = core::upper(line.substr(i, 4));
        for (const char* c : {"BIO1", "BIO2", "BIO3", "BIO6", "BIEX", "CPX2", "OPX1", "OPX2", "OPXE"})
            if (w == c) return w;
    }
    if (i + 3 <= end && word(3) && core::upper(line.substr(i, 3)) == "CUM") return "CUM ";
    char a = at(i), b = at(i + 1);
    std::string two{a, b};
    if (two == "BE" || two == "be") return "BIEX";
    if (two == "CD" || two == "cd" || two == "Cd") return "CORD";
    if (i + 4 <= end && core::upper(line.substr(i, 4)) == "CORD") return "CORD";
    if (two == "OL" || two == "ol") return "OLIV";
    if (two == "Cm" || two == "cm") return "CUM ";
    bool old = v == Version::V102;
    switch (std::toupper(static_cast<unsigned char>(a))) {
        case 'G': return "GARN";
        case 'B': return old ? "BIO1" : "BIO6";
        case 'P':
        case 'F': return "PLAG";
        case 'K': return "KSPR";
        case 'A':
        case 'H': return "AMPH";
        case 'C': return old ? "CPX " : "CPX2";
        case 'I': return "ILME";
        case 'M': return "MICA";
        case 'O': return old ? "OPX " : "OPX1";
        case 'Q': return "QTZ ";
        case 'S': return "SPIN";
        case 'Z': return "MGFE";
        default: return "";
    }
}

// Position of the first comma outside double quotes, or npos.
std::size_t firstComma(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ',' && !quoted) return i;
    }
    return std::string_view::npos;
}

}  // namespace

CodeScan scanMineralCode(std::string_view line, int startColumn, Version v) {
    CodeScan s;
    std::size_t comma = firstComma(line);
    std::size_t end = std::min<std::size_t>({line.size(), 30, comma});
    bool found = false, quotedLabel = false;
    for (std::size_t i = static_cast<std::size_t>(std::max(startColumn, 1) - 1); i < end; ++i) {
        if (line[i] == '"') {
            std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) close = line.size();
            s.label = std::string(line.substr(i + 1, std::min<std::size_t>(close - i - 1, 20)));
            quotedLabel = true;
            i = close;
            continue;
        }
        if (!found) {
            std::string c = codeAt(line, i, end, v);
            if (!c.empty()) {
                s.code = c;
                found = true;
            }
        }
    }
    if (!quotedLabel) {
        std::string_view head = line.substr(0, std::min(comma, line.size()));
        head = core::trim(head);
        s.label = std::string(core::rtrim(head.substr(0, std::min<std::size_t>(head.size(), 20))));
    }
    if (comma != std::string_view::npos) s.valuesFrom = comma + 1;
    return s;
}

namespace {

struct LabelLine {
    std::vector<int> labels;  // index into kOxideLabels, in column order
};

// Reads the values of an analysis line; false when the text cannot be read as
// numbers.
bool readValues(std::string_view text, std::vector<double>& out, int& badField, std::string& badText) {
    out.clear();
    std::size_t pos = 0;
    int k = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        std::string_view f = text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        ++k;
        std::string_view t = core::trim(f);
        double v = 0;
        if (!t.empty() && (t.size() > 15 || !core::parseRealField(t, 0, v))) {
            badField = k;
            badText = std::string(t);
            return false;
        }
        out.push_back(v);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    // A trailing empty field after the last comma is not a value.
    if (!out.empty() && core::trim(text.substr(text.find_last_of(',') == std::string_view::npos
                                                      ? 0
                                                      : text.find_last_of(',') + 1))
                            .empty() &&
        text.find(',') != std::string_view::npos)
        out.pop_back();
    return true;
}

Status failure(std::string what, const std::string& file, int line, int field, std::string value) {
    Status s = Status::error(std::move(what));
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = std::move(value);
    return s;
}

std::string pathIn(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    return (fs::path(dir) / name).string();
}

std::string f62(double v) { return core::formatFixed(v, 6, 2); }

}  // namespace

Status readOxideFile(const OxideRunOptions& opt, OxideFileContents& out) {
    out.items.clear();
    const std::string name = oxideFileName(opt.baseName);
    out.name = name;
    std::string resolved = io::resolveInputName(name);
    std::ifstream in(resolved, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(resolved, ec))
        return failure("Rerun - cannot open file with oxides: " + name, name, 0, 0, name);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(std::move(l));
    }

    std::size_t li = 1 + static_cast<std::size_t>(std::max(opt.headerLines, 0));  // the title line is always skipped
    int number = 0;
    std::vector<double> values;
    std::string preface;
    while (li < lines.size()) {
        // The oxide-label line.
        std::string labelLine = lines[li].substr(0, std::min<std::size_t>(lines[li].size(), 200));
        int labelLineNo = static_cast<int>(li) + 1;
        ++li;
        if (labelLine.substr(0, std::min<std::size_t>(labelLine.size(), 80)).find('.') != std::string::npos)
            return failure("Rerun with header line: oxide list= " + core::pad(labelLine, 20), name, labelLineNo, 0,
                           core::pad(labelLine, 20));
        if (core::isBlank(labelLine.substr(0, std::min<std::size_t>(labelLine.size(), 20)))) break;
        std::vector<int> labels;
        std::string tok;
        int field = 0;
        for (std::size_t i = 0; i <= labelLine.size(); ++i) {
            char ch = i < labelLine.size() ? labelLine[i] : ' ';
            if (ch != ' ' && ch != ',' && ch != '\t') {
                tok.push_back(ch);
                continue;
            }
            if (tok.empty()) continue;
            ++field;
            std::optional<int> m = matchOxideLabel(tok);
            if (!m) return failure("cannot match oxide " + tok, name, labelLineNo, field, tok);
            labels.push_back(*m);
            tok.clear();
        }
        if (labels.size() > static_cast<std::size_t>(kOxideLabelCount))
            return failure("Rerun - more than 25 oxide labels on the label line", name, labelLineNo,
                           static_cast<int>(labels.size()), std::to_string(labels.size()) + " labels");
        preface += "Oxides:   " + std::string(core::rtrim(labelLine)) + "\n";
        const std::size_t expected = labels.size() + (opt.mapping ? 2 : 0);

        // Analysis lines up to the end of the file or the next label line.
        while (li < lines.size()) {
            const std::string line = lines[li].substr(0, std::min<std::size_t>(lines[li].size(), 300));
            int lineNo = static_cast<int>(li) + 1;
            if (core::isBlank(line.substr(0, std::min<std::size_t>(line.size(), 30)))) {
                ++li;
                continue;
            }
            CodeScan sc = scanMineralCode(line, opt.startColumn, opt.version);
            int badField = 0;
            std::string badText;
            if (sc.valuesFrom == std::string::npos ||
                !readValues(std::string_view(line).substr(sc.valuesFrom), values, badField, badText))
                break;  // read again as the next label line
            ++li;
            Analysis a;
            a.code = sc.code;
            a.label = sc.label;
            a.number = ++number;
            std::size_t k = 0;
            if (opt.mapping) {
                a.mapX = values.size() > 0 ? values[0] : 0;
                a.mapY = values.size() > 1 ? values[1] : 0;
                a.hasMap = std::abs(a.mapX) >= 0.01 || std::abs(a.mapY) >= 0.01;
                k = 2;
            }
            if (values.size() < expected)
                preface += "          (line " + std::to_string(lineNo) + ": " + std::to_string(values.size()) +
                           " values for " + std::to_string(expected) + " columns; the missing ones read as 0)\n";
            for (int labelIndex : labels) {
                double v = k < values.size() ? values[k] : 0;
                ++k;
                const OxideLabel& lab = kOxideLabels[labelIndex];
                std::string_view n = lab.name;
                if (n != "TOTAL" && n != "TOT") a.analysisSum += v;
                if (lab.element >= 0)
                    a.oxides[lab.element] = static_cast<float>(a.oxides[lab.element] + v * lab.factor);
            }
            if (a.code == "BIO6" && values.size() > expected) {
                double extra = values[expected];
                if (extra > 0 && extra < 1) a.extraValue = static_cast<float>(extra);
            }
            if (a.code == "PLAG" || a.code == "KSPR")
                a.feldsparFlag = a.oxides[Si] < 0.01f && a.oxides[Ti] < 0.01f && a.oxides[Al] < 0.01f &&
                                 a.oxides[Fe2] < 0.01f;
            out.items.push_back({std::move(a), std::move(preface)});
            preface.clear();
        }
    }
    if (number == 0) return failure("Rerun - no analyses found in file: " + name, name, 0, 0, "");
    return Status::success();
}

Status run_oxide_file(const OxideRunOptions& opt, OxideRunReport* report) {
    OxideRunReport rep;
    OxideFileContents contents;
    Status readStatus = readOxideFile(opt, contents);
    const std::string& name = contents.name;
    rep.oxideFile = name;
    std::string log = core::pad("Doing:", 10) + name + "\n";
    const std::string logPath = pathIn(opt.workDir, "zun.log");
    auto fail_run = [&](Status s) {
        log += "*** " + s.what + "\n";
        if (s.line > 0) log += "    (file " + s.file + ", line " + std::to_string(s.line) + ")\n";
        Status w = writeFileAtomically(logPath, log);
        (void)w;  // the failure being reported matters more than the log
        if (report) *report = rep;
        return s;
    };

    std::string base = name.substr(0, name.size() - 4);
    std::string mintab = std::string(core::rtrim(opt.baseName)) + ",SiO2,TiO2,Al2O3,FeO,MgO,MnO,CaO,Na2O,K2O,F,Sum\n";
    std::string cat = "Cations per formula unit: " + name + "\nCode Label                Pass    C     E  T m";
    for (const ElementData& e : kElements) cat += core::pad(std::string(7 - std::string(e.name).size(), ' ') + e.name, 7);
    cat += "     Sum\n";
    const std::string compPath = compositionFileName(opt.baseName, opt.version, opt.scheme.ferric);
    CompositionFile comp;
    bool compTouched = false;
    if (opt.writeComposition && readStatus.ok()) {
        Status s = CompositionFile::load(compPath, comp);
        if (!s.ok()) return fail_run(s);
    }
    PlotFiles plots;
    std::map<std::string, std::string> tables;

    for (const OxideFileItem& item : contents.items) {
        const Analysis& a = item.analysis;
        log += item.preface;
        ++rep.analyses;
        const OxideValues& o = a.oxides;
        mintab += a.code + ",";
        for (double v : {double(o[Si]), double(o[Ti]), double(o[Al]), double(o[Fe2]), double(o[Mg]), double(o[Mn]),
                         double(o[Ca]), double(o[Na]), double(o[K]), double(o[F]), a.analysisSum})
            mintab += f62(v) + ",";
        mintab += "\n";
        log += "\n" + core::formatInteger(a.number, 4) + "  " + a.code + "  " + a.label + "\n";
        if (!hasScheme(a.code)) {
            log += "          no mineral code: not recalculated\n";
            continue;
        }
        SchemeResult r = runScheme(a, opt.scheme);
        ++rep.recalculated;
        for (const std::string& l : r.log) log += l + "\n";
        for (std::size_t p = 0; p < r.passes.size(); ++p) {
            const Recalculation& x = r.passes[p];
            cat += a.code + " " + core::pad(a.label, 20) + core::formatInteger(int(p) + 1, 5) +
                   core::formatInteger(static_cast<long long>(x.params.cations), 5) + core::formatInteger(static_cast<long long>(x.params.charge), 6) +
                   core::formatInteger(static_cast<long long>(x.params.tetrahedral), 3) +
                   core::formatInteger(x.params.mode, 2);
            for (double v : x.cations) cat += core::formatFixed(v, 7, 3);
            cat += core::formatFixed(x.cationSum, 8, 3) + "\n";
        }
        bool cpx2Silent = a.code == "CPX2" && !opt.writeComposition;
        if (r.entry && opt.writeComposition) {
            comp.put(*r.entry);
            compTouched = true;
        }
        if (!cpx2Silent) plots.add(r.plot, r.plot.family == "garn" && a.hasMap);
        if (!r.tableFile.empty()) {
            std::string& t = tables[r.tableFile];
            if (t.empty()) t = tableHeading(r.tableFile) + "\n";
            t += r.tableLine + "\n";
        }
    }
    if (!readStatus.ok()) return fail_run(readStatus);
    log += "\n" + std::to_string(rep.analyses) + " analyses, " + std::to_string(rep.recalculated) + " recalculated\n";

    // Every output is complete before any file is replaced.
    std::vector<std::pair<std::string, std::string>> outputs;
    if (compTouched) {
        outputs.push_back({compPath, comp.text()});
        rep.compositionFile = compPath;
    }
    outputs.push_back({base + ".CAT", cat});
    outputs.push_back({pathIn(opt.workDir, "mintab.csv"), mintab});
    for (auto& [n, t] : tables) outputs.push_back({pathIn(opt.workDir, n), t});
    for (auto& [n, t] : plots.finish()) outputs.push_back({pathIn(opt.workDir, n), t});
    outputs.push_back({logPath, log});
    for (const auto& [path, text] : outputs) {
        Status s = writeFileAtomically(path, text);
        if (!s.ok()) {
            if (report) *report = rep;
            return s;
        }
        rep.written.push_back(path);
    }
    if (report) *report = rep;
    return Status::success();
}

AnalysisResult recalculateAnalysis(const std::vector<std::pair<std::string, double>>& oxides, std::string_view code,
                                    const SchemeOptions& options) {
    AnalysisResult r;
    Analysis a;
    a.code = core::pad(core::upper(code), 4);
    if (!hasScheme(a.code)) {
        r.status = Status::error("no mineral scheme for code", "not one of the utility's codes");
        r.status.value = std::string(code);
        return r;
    }
    int field = 0;
    for (const auto& [n, v] : oxides) {
        ++field;
        std::optional<int> m = matchOxideLabel(n);
        if (!m) {
            r.status = Status::error("cannot match oxide " + n);
            r.status.field = field;
            r.status.value = n;
            return r;
        }
        const OxideLabel& lab = kOxideLabels[*m];
        if (std::string_view(lab.name) != "TOTAL" && std::string_view(lab.name) != "TOT") a.analysisSum += v;
        if (lab.element >= 0) a.oxides[lab.element] = static_cast<float>(a.oxides[lab.element] + v * lab.factor);
    }
    a.label = "analysis";
    a.number = 1;
    r.scheme = runScheme(a, options);
    return r;
}

}  // namespace formula
