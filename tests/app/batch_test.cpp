#include <gtest/gtest.h>

#include "app/batch.hpp"
#include "app/run_settings.hpp"
#include "core/text.hpp"

using app::BatchLine;
using app::RunSettings;

TEST(BatchLine, FieldsByCommas) {
    BatchLine b;
    ASSERT_TRUE(app::parseBatchLine("runs/  ,grid.res,thermo.dat,aq.dat,list.txt   ", b));
    EXPECT_EQ(app::batchPrefix(b), "runs/");
    EXPECT_EQ(std::string(core::rtrim(b.runName)), "grid.res");
    EXPECT_EQ(std::string(core::rtrim(b.thermoFile)), "thermo.dat");
    EXPECT_EQ(std::string(core::rtrim(b.aqueousFile)), "aq.dat");
    EXPECT_EQ(std::string(core::rtrim(b.compositionList)), "list.txt");
}

TEST(BatchLine, RunNameRequired) {
    BatchLine b;
    EXPECT_FALSE(app::parseBatchLine(",,,,   ", b));
}

TEST(BatchNames, OnlyARunName) {
    RunSettings rs;
    ASSERT_TRUE(app::parseBatchLine(",garnet,,,   ", rs.batchLine));
    app::applyBatchNames(rs);
    EXPECT_EQ(rs.unitNames[io::kInputSlot], "garnet");
    EXPECT_EQ(rs.unitNames[io::kMasterSlot], "garnet.sum");
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "garnet.plt");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "garnet.lrs");
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "jun92.rqt");
}

TEST(BatchNames, PrefixAndStars) {
    RunSettings rs;
    ASSERT_TRUE(app::parseBatchLine("d/,run.res,*/data/t.dat,aq.dat,   ", rs.batchLine));
    app::applyBatchNames(rs);
    EXPECT_EQ(rs.unitNames[io::kInputSlot], "d/run.res");
    EXPECT_EQ(rs.unitNames[io::kMasterSlot], "d/run.sum");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "d/run.lrs");
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "/data/t.dat");
    EXPECT_EQ(rs.unitNames[io::kAqueousSlot], "d/aq.dat");
}

TEST(BatchNames, DefaultReplayName) {
    RunSettings rs;
    ASSERT_TRUE(app::parseBatchLine("d/,restart.res,,,   ", rs.batchLine));
    app::applyBatchNames(rs);
    EXPECT_EQ(rs.unitNames[io::kInputSlot], "d/restart.res");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "d/restart.lrs");
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "d/plot.plt");
}

TEST(BatchNames, CompositionAndPlotFiles) {
    BatchLine b;
    ASSERT_TRUE(app::parseBatchLine(",run,,,list.txt   ", b));
    EXPECT_EQ(app::batchPlotFile(b, "garnet.zun", 3), "garnet.p3");
    EXPECT_EQ(app::batchPlotFile(b, "garnet.zun", 12), "garnet.p12");
    EXPECT_EQ(app::batchCompositionFile(b, "garnet.zun"), "garnet.zun");
    ASSERT_TRUE(app::parseBatchLine(",run,,,*lists/all.txt   ", b));
    EXPECT_EQ(app::batchListFile(b), "lists/all.txt");
    EXPECT_EQ(app::batchCompositionFile(b, "garnet.zun"), "lists/garnet.zun");
    ASSERT_TRUE(app::parseBatchLine(",run,,,list.txt   zu2", b));
    EXPECT_EQ(app::batchCompositionFile(b, "garnet.zun"), "garnet.zu2");
}
