#include <gtest/gtest.h>

#include "tarvek/tarvek_shell.hpp"
#include "ui/toolkit.hpp"

using formula::TarvekSettings;

TEST(TarvekConfig, KeysInTheirColumns) {
    TarvekSettings s;
    formula::applyTarvekConfigLine(s, "ZUN-START=3");
    formula::applyTarvekConfigLine(s, "ZUN-COMMENT= 2");
    formula::applyTarvekConfigLine(s, "ZUN-OFFSET=0.05");
    formula::applyTarvekConfigLine(s, "ZUN-FERRIC=N");
    EXPECT_EQ(s.startColumn, "3");
    EXPECT_EQ(s.headerLines, "2");
    EXPECT_EQ(s.garnetOffset, "0.05");
    EXPECT_FALSE(s.ferric);
    formula::applyTarvekConfigLine(s, "ZUN-FERRIC=Y");
    formula::applyTarvekConfigLine(s, "ZUN-3%FE3GT=Y");
    EXPECT_TRUE(s.ferric);
    EXPECT_TRUE(s.garnet3Percent);
    // Calculator keys are not the utility's.
    formula::applyTarvekConfigLine(s, "MINERAL DATA=x");
    EXPECT_EQ(s.startColumn, "3");
}

TEST(TarvekScreen, MainScreenShowsThePresetsAndExits) {
    auto tk = ui::makeScriptedToolkitFromText(
        "screen Tarvek\nset \"Oxide file\" = garnet\ncheck \"Batch Run?\"\npress Exit\n", "t.ans");
    ASSERT_TRUE(tk);
    TarvekSettings s;
    s.oxideFile = "zuntest";
    s.ferric = true;
    EXPECT_TRUE(formula::runTarvek(*tk, s).ok());
    EXPECT_TRUE(tk->failure().empty()) << tk->failure();
}
