// Scanning the phase headers of a database file before any load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/database_scan.hpp"
#include "io/streams.hpp"

namespace io {
namespace {

namespace fs = std::filesystem;

const char* kDatabase =
    "   4 SCAN TEST\n"
    "O       SI      H       C\n"
    "  15.99900  28.08550   1.00800  12.01100\n"
    "QUARTZ   SI(1)O(2)   Qz   \n"  // before any section: not a phase
    "*MINERAL\n"
    "! comment   SI(1)   X   \n"
    "QUARTZ   SI(1)O(2)   Qz   \n"
    "ST          -910700.0      -910700.0          41.46          2.269\n"
    "\n"
    "COESITE   [SI(1)O(2)](2)   Coe   \n"
    "*GAS\n"
    "water   H(2)O(1)   H2O   \n"
    "ARGON   C(1)   Ar   \n"
    "*JUNK SECTION\n"
    "SKIPPED   SI(1)   Sk   \n"
    "*AQU TANGER\n"
    "SILICIC ACID SPECIES   SI(1)O(4)H(4)   \n"
    "*AQU\n"
    "CO3   C(1)O(3)   \n"
    "*STOP\n"
    "*MINERAL\n"
    "AFTER   SI(1)O(2)   Aft   \n";

struct Scan {
    fs::path file;
    io::Streams streams;
    std::unique_ptr<model::ChemicalSystem> system = std::make_unique<model::ChemicalSystem>();
    std::vector<ScannedPhase> found;
    std::vector<std::string> messages;

    explicit Scan(const std::string& text) {
        file = fs::temp_directory_path() / ("scan_test_" + std::to_string(::getpid()) + ".dat");
        std::ofstream(file, std::ios::binary) << text;
        streams.setConsole({[this](std::string_view l) { messages.emplace_back(l); }, {}});
    }
    ~Scan() { fs::remove(file); }

    core::Status run() {
        if (streams.open(3, file.string(), io::OpenMode::Existing) != 0) return core::Status::error("open");
        core::Status s = readElementHeader(streams, 3, *system, 6);
        if (!s) return s;
        return scanPhaseHeaders(streams, 3, *system, 6, [this](const ScannedPhase& p) { found.push_back(p); });
    }
};

TEST(ScanPhaseHeaders, SectionsKindsAndFormulae) {
    Scan scan(kDatabase);
    ASSERT_TRUE(scan.run().ok());
    ASSERT_EQ(scan.found.size(), 6u);
    const auto& f = scan.found;

    EXPECT_EQ(f[0].name, core::pad("QUARTZ", 20));
    EXPECT_EQ(f[0].abbreviation, core::pad("Qz", 8));
    EXPECT_EQ(f[0].kind, model::kMineral);
    EXPECT_EQ(f[0].line, 7);
    EXPECT_EQ(f[0].coefficients[0], 2.0);  // O
    EXPECT_EQ(f[0].coefficients[1], 1.0);  // SI

    EXPECT_EQ(f[1].abbreviation, core::pad("Coe", 8));
    EXPECT_EQ(f[1].coefficients[0], 4.0);
    EXPECT_EQ(f[1].coefficients[1], 2.0);

    // Gases: the known names (in any case) get their kind, any other gas only
    // an activity-axis place.
    EXPECT_EQ(f[2].kind, model::kWater);
    EXPECT_EQ(f[3].kind, model::kAxisGas);

    // The unknown section is skipped; aqueous species are scanned, with the
    // first eight characters of the name as abbreviation.
    EXPECT_EQ(f[4].kind, model::kAqueousTanger);
    EXPECT_EQ(f[4].abbreviation, "SILICIC ");
    EXPECT_EQ(f[4].coefficients[2], 4.0);  // H
    EXPECT_EQ(f[5].kind, model::kAqueousPlain);
    EXPECT_EQ(f[5].name, core::pad("CO3", 20));
    EXPECT_TRUE(scan.messages.empty());
}

TEST(ScanPhaseHeaders, HeaderErrorStopsWithItsLine) {
    Scan scan(std::string("   2 SCAN TEST\nO       SI\n  15.99900  28.08550\n*MINERAL\n"
                          "QUARTZ   SI(1)O(2)   Qz   \n"
                          "ODDITY   SI(1)XX(2)   Odd   \n"));
    core::Status s = scan.run();
    EXPECT_EQ(s.code, core::StatusCode::Stop);
    EXPECT_EQ(s.line, 6);
    EXPECT_EQ(s.file, scan.file.string());
    EXPECT_EQ(scan.found.size(), 1u);
    EXPECT_FALSE(scan.messages.empty());  // the message block of the formula error
}

}  // namespace
}  // namespace io
