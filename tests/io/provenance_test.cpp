#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "io/provenance.hpp"

namespace io {
namespace {

namespace fs = std::filesystem;

// The record of a data file: digest of the contents (FIPS 180-4 vector for
// "abc"), the database label from line 1, columns 6-18, and the restart-file
// record read back.
TEST(DataProvenance, BuiltFromTheFileAndReadBack) {
    const fs::path dir = fs::temp_directory_path() / ("provenance_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string db = (dir / "a database with a long name.dat").string();
    std::ofstream(db, std::ios::binary) << "abc";
    DataProvenance p = provenanceOf(kSolutionDataRole, db);
    EXPECT_EQ(p.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(p.label.empty());
    std::ofstream(db, std::ios::binary) << "  34 MINERALS 1988   \r\nO  SI\n";
    p = provenanceOf(kThermoDataRole, db, true);
    EXPECT_EQ(p.label, "MINERALS 1988");
    EXPECT_EQ(provenanceLine(p), " THERMO DATA    " + db + "  MINERALS 1988  SHA-256 " + p.sha256);

    const std::string record = provenanceRecord(p);
    EXPECT_EQ(record.substr(0, 37), "*** DATA FILE: THERMO DATA   SHA-256 ");
    DataProvenance back;
    ASSERT_TRUE(readProvenanceRecord(record, back));
    EXPECT_EQ(back.role, "THERMO DATA");
    EXPECT_EQ(back.name, db);
    EXPECT_EQ(back.sha256, p.sha256);

    const DataProvenance missing = provenanceOf(kAqueousDataRole, (dir / "none.aqu").string());
    EXPECT_FALSE(missing.read());
    EXPECT_EQ(missing.error, std::strerror(ENOENT));
    EXPECT_NE(provenanceLine(missing).find("not read: "), std::string::npos);
    fs::remove_all(dir);
}

TEST(DataProvenance, MalformedRecordsAreNotTaken) {
    const std::string digest(64, 'a');
    const std::string bad[] = {"     1.0    -1.0", "*** DATA FILE: THERMO DATA   SHA-256 abc  x.dat",
                               "*** DATA FILE: THERMO DATA   SHA-256 " + std::string(64, 'G') + "  x.dat",
                               "*** DATA FILE: THERMO DATA   SHA-256 "};
    DataProvenance p;
    for (const std::string& line : bad) EXPECT_FALSE(readProvenanceRecord(line, p)) << line;
    EXPECT_FALSE(readProvenanceRecord("*** DATA FILE: THERMO DATA   SHA-256 " + digest + "  ", p));
    EXPECT_TRUE(readProvenanceRecord("*** DATA FILE: AQUEOUS DATA  SHA-256 " + digest + "  my data.aqu", p));
    EXPECT_EQ(p.name, "my data.aqu");
    EXPECT_EQ(p.role, "AQUEOUS DATA");
}

}  // namespace
}  // namespace io
