#include "common/bundled_db.hpp"

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"

namespace testsupport {

std::string bundledFile(const std::string& name) { return std::string(PELKAM_SOURCE_DIR) + "/data/" + name; }

BundledDatabase loadBundled(const std::string& elements, int waterRoutine, int diagramType,
                            const std::string& aqueousFile) {
    BundledDatabase db;
    io::Streams streams;
    std::string* messages = &db.messages;
    streams.setConsole(io::Console{[messages](std::string_view l) { *messages += std::string(l) + "\n"; },
                                         [](std::string&) { return false; }});
    if (streams.open(3, bundledFile("thermo1988.dat"), io::OpenMode::Existing) != 0) return db;
    const std::string aqueous = aqueousFile.empty() ? bundledFile("empty.aqu") : aqueousFile;
    if (streams.open(4, aqueous, io::OpenMode::Existing) != 0) return db;
    if (!io::readElementHeader(streams, 3, *db.system)) return db;
    if (!io::setSystemLine(*db.system, elements, diagramType, streams, 6)) return db;
    io::LoadOptions options;
    options.waterRoutine = waterRoutine;
    options.diagramType = diagramType;
    db.ok = io::loadDatabase(options, streams, *db.system, *db.table).ok();
    if (!db.ok) db.table->count = 0;
    return db;
}

int phaseIndex(const model::PhaseTable& table, const std::string& name) {
    const std::string_view want = core::rtrim(name);
    for (int i = 0; i < table.count; ++i)
        if (core::rtrim(table[i].name) == want) return i;
    return -1;
}

}  // namespace testsupport
