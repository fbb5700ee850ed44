#include <gtest/gtest.h>

#include "records/run_settings.hpp"
#include "records/text.hpp"
#include "shell/batch.hpp"

using records::BatchLine;
using records::RunSettings;

TEST(BatchLine, FieldsByCommas) {
    BatchLine b;
    ASSERT_TRUE(shell::parse_batch_line("runs/  ,grid.res,thermo.dat,aq.dat,list.txt   ", b));
    EXPECT_EQ(shell::batch_prefix(b), "runs/");
    EXPECT_EQ(std::string(records::rtrim(b.runName)), "grid.res");
    EXPECT_EQ(std::string(records::rtrim(b.thermoFile)), "thermo.dat");
    EXPECT_EQ(std::string(records::rtrim(b.aqueousFile)), "aq.dat");
    EXPECT_EQ(std::string(records::rtrim(b.compositionList)), "list.txt");
}

TEST(BatchLine, RunNameRequired) {
    BatchLine b;
    EXPECT_FALSE(shell::parse_batch_line(",,,,   ", b));
}

TEST(BatchNames, OnlyARunName) {
    RunSettings rs;
    ASSERT_TRUE(shell::parse_batch_line(",garnet,,,   ", rs.batchLine));
    shell::apply_batch_names(rs);
    EXPECT_EQ(rs.unitNames[records::kInputSlot], "garnet");
    EXPECT_EQ(rs.unitNames[records::kMasterSlot], "garnet.sum");
    EXPECT_EQ(rs.unitNames[records::kPlotSlot], "garnet.plt");
    EXPECT_EQ(rs.unitNames[records::kRestartSlot], "garnet.lrs");
    EXPECT_EQ(rs.unitNames[records::kThermoSlot], "jun92.rqt");
}

TEST(BatchNames, PrefixAndStars) {
    RunSettings rs;
    ASSERT_TRUE(shell::parse_batch_line("d/,run.res,*/data/t.dat,aq.dat,   ", rs.batchLine));
    shell::apply_batch_names(rs);
    EXPECT_EQ(rs.unitNames[records::kInputSlot], "d/run.res");
    EXPECT_EQ(rs.unitNames[records::kMasterSlot], "d/run.sum");
    EXPECT_EQ(rs.unitNames[records::kRestartSlot], "d/run.lrs");
    EXPECT_EQ(rs.unitNames[records::kThermoSlot], "/data/t.dat");
    EXPECT_EQ(rs.unitNames[records::kAqueousSlot], "d/aq.dat");
}

TEST(BatchNames, DefaultReplayName) {
    RunSettings rs;
    ASSERT_TRUE(shell::parse_batch_line("d/,restart.res,,,   ", rs.batchLine));
    shell::apply_batch_names(rs);
    EXPECT_EQ(rs.unitNames[records::kInputSlot], "d/restart.res");
    EXPECT_EQ(rs.unitNames[records::kRestartSlot], "d/restart.lrs");
    EXPECT_EQ(rs.unitNames[records::kPlotSlot], "d/plot.plt");
}

TEST(BatchNames, CompositionAndPlotFiles) {
    BatchLine b;
    ASSERT_TRUE(shell::parse_batch_line(",run,,,list.txt   ", b));
    EXPECT_EQ(shell::batch_plot_file(b, "garnet.zun", 3), "garnet.p3");
    EXPECT_EQ(shell::batch_plot_file(b, "garnet.zun", 12), "garnet.p12");
    EXPECT_EQ(shell::batch_composition_file(b, "garnet.zun"), "garnet.zun");
    ASSERT_TRUE(shell::parse_batch_line(",run,,,*lists/all.txt   ", b));
    EXPECT_EQ(shell::batch_list_file(b), "lists/all.txt");
    EXPECT_EQ(shell::batch_composition_file(b, "garnet.zun"), "lists/garnet.zun");
    ASSERT_TRUE(shell::parse_batch_line(",run,,,list.txt   zu2", b));
    EXPECT_EQ(shell::batch_composition_file(b, "garnet.zun"), "garnet.zu2");
}
