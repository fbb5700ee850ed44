// A run of the phase selection on the bundled database: streams with the
// interactive output captured, the restart and master outputs in a private
// directory, the phases of a chosen chemical system, and (when a script is
// given) the calculator's screens answered by a scripted toolkit.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_settings.hpp"
#include "calc/run_request.hpp"
#include "calc/selection.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/restart_file.hpp"
#include "io/streams.hpp"
#include "model/solution_models.hpp"
#include "ui/pelkam_screens.hpp"

namespace selection_test {

inline std::string bundled(std::string_view name) { return std::string(PELKAM_SOURCE_DIR) + "/data/" + std::string(name); }

// A private directory, removed with its files at the end of the test.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        static int serial = 0;
        path = std::filesystem::temp_directory_path() /
               ("pelkam_selection_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(std::string_view name) const { return (path / std::string(name)).string(); }
    std::string write(std::string_view name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }
};

inline std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

struct SelectionRun {
    TempDir dir;
    io::Streams streams;
    std::vector<std::string> out;  // interactive output (unit 6)
    app::RunSettings settings;
    std::unique_ptr<model::ChemicalSystem> system = std::make_unique<model::ChemicalSystem>();
    std::unique_ptr<model::PhaseTable> phases = std::make_unique<model::PhaseTable>();
    std::unique_ptr<calc::PhaseSelection> sel = std::make_unique<calc::PhaseSelection>();
    std::unique_ptr<model::SolutionModelSet> models = std::make_unique<model::SolutionModelSet>();
    calc::RunRequest request;  // the answers the steps gave
    bool prepared = false;         // the preparation of the selected phases ran
    bool solutionsChosen = false;  // ... to the end of the solution-model screen
    std::unique_ptr<ui::Toolkit> tk;
    ui::PelkamScreens screens;

    SelectionRun() {
        streams.setConsole({[this](std::string_view l) { out.emplace_back(l); }, [](std::string&) { return false; }});
        settings.solutionFile = bundled("solution-models.sln");
        streams.open(io::kUnitMaster, dir.file("summary.dat"), io::OpenMode::NewOrReplace);
    }

    // Loads the phases of the bundled database for the element line.
    bool load(const std::string& elements, int diagram = calc::kPT) {
        settings.diagramType = diagram;
        if (streams.open(io::kUnitThermo, bundled("thermo1988.dat"), io::OpenMode::Existing) != 0) return false;
        if (!io::readElementHeader(streams, io::kUnitThermo, *system)) return false;
        if (!io::setSystemLine(*system, elements, diagram, streams, io::kUnitOutput)) return false;
        io::LoadOptions o;
        o.diagramType = diagram;
        bool ok = io::loadDatabase(o, streams, *system, *phases).ok();
        streams.close(io::kUnitThermo);
        return ok;
    }

    void script(const std::string& text) {
        tk = ui::makeScriptedToolkitFromText(text, "test.ans");
        screens = ui::createPelkamScreens(*tk);
    }

    // Replays `text` as the interactive input.
    void replay(const std::string& text) {
        const std::string path = dir.write("replay.res", text);
        settings.unitNames[io::kInputSlot] = path;
        settings.inputFromFile = true;
        streams.open(io::kUnitInput, path, io::OpenMode::Existing);
    }

    // The records of the restart file for the answers the steps gave: the
    // phase records of the end-member screens, the axis labels and the
    // solution-model records of the preparation.
    std::vector<std::string> restart() const {
        std::vector<std::string> out;
        auto add = [&out](const std::vector<std::string>& lines) { out.insert(out.end(), lines.begin(), lines.end()); };
        if (!request.phases.phases.empty()) add(io::phaseRecords(request.phases, settings.diagramType));
        if (prepared) add(io::axisLabelRecords(calc::phaseAnswers(*phases, *sel), settings.diagramType));
        if (solutionsChosen) add(io::solutionRecords(request.solutions));
        return out;
    }
    std::vector<std::string> master() {
        streams.close(io::kUnitMaster);
        return readLines(dir.file("summary.dat"));
    }

    int index(std::string_view name) const {
        for (int i = 0; i < phases->count; ++i)
            if (core::rtrim((*phases)[i].name) == name) return i;
        return -1;
    }
    // Leaves only the named phases in, with the given codes.
    void choose(std::initializer_list<std::pair<const char*, int>> codes) {
        sel->optionCode.fill(calc::kExclude);
        sel->activity.fill(1.0);
        for (auto [name, code] : codes)
            if (int i = index(name); i >= 0) sel->optionCode[static_cast<std::size_t>(i)] = code;
    }
    // Compacts the selection; a message goes to the interactive output.
    core::Status compact() {
        core::Status s = calc::compactSelection(*phases, *system, *sel);
        for (const std::string& line : s.message) streams.writeLine(io::kUnitOutput, line);
        return s;
    }
    bool said(std::string_view line) const {
        for (const auto& l : out)
            if (l == line) return true;
        return false;
    }
};

}  // namespace selection_test
