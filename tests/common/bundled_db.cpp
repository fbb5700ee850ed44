#include "common/bundled_db.hpp"

#include "records/streams.hpp"
#include "records/text.hpp"
#include "thermodb/database.hpp"

namespace testsupport {

std::string bundledFile(const std::string& name) { return std::string(PELKAM_SOURCE_DIR) + "/data/" + name; }

BundledDatabase loadBundled(const std::string& elements, int waterRoutine, int diagramType) {
    BundledDatabase db;
    records::Streams streams;
    std::string* messages = &db.messages;
    streams.set_console(records::Console{[messages](std::string_view l) { *messages += std::string(l) + "\n"; },
                                         [](std::string&) { return false; }});
    if (streams.open(3, bundledFile("thermo1988.dat"), records::OpenMode::Existing) != 0) return db;
    if (streams.open(4, bundledFile("empty.aqu"), records::OpenMode::Existing) != 0) return db;
    if (!thermodb::readElementHeader(streams, 3, *db.system)) return db;
    if (!thermodb::setSystemLine(*db.system, elements, diagramType, streams, 6)) return db;
    thermodb::LoadOptions options;
    options.waterRoutine = waterRoutine;
    options.diagramType = diagramType;
    db.ok = thermodb::loadDatabase(options, streams, *db.system, *db.table).ok();
    if (!db.ok) db.table->count = 0;
    return db;
}

int phaseIndex(const thermodb::PhaseTable& table, const std::string& name) {
    const std::string_view want = records::rtrim(name);
    for (int i = 0; i < table.count; ++i)
        if (records::rtrim(table[i].name) == want) return i;
    return -1;
}

}  // namespace testsupport
