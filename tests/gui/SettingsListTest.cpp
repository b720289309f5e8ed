// The settings list as plain logic: how "profile.ini" is split into lines, how settings are found
// and changed, and how the list is written back.
#include "ui/settings/SettingsList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using hookmeter::TSettingsList;
using Lines = std::vector<std::string>;

TEST(SettingsListText, CrLfAndCrLfPairsEachEndOneLine) {
    EXPECT_EQ(TSettingsList::FromText("a=1\rb=2\nc=3\r\nd=4").Lines(),
              (Lines{"a=1", "b=2", "c=3", "d=4"}));
    // A line feed before a carriage return is two line ends, so an empty line lies between.
    EXPECT_EQ(TSettingsList::FromText("a=1\n\rb=2").Lines(), (Lines{"a=1", "", "b=2"}));
    EXPECT_EQ(TSettingsList::FromText("a=1\r\n\r\n").Lines(), (Lines{"a=1", ""}));
    EXPECT_TRUE(TSettingsList::FromText("").Lines().empty());
}

TEST(SettingsListText, NulByteEndsTheText) {
    const std::string text("a=1\r\nb=2\0c=3\r\n", 14);
    EXPECT_EQ(TSettingsList::FromText(text).Lines(), (Lines{"a=1", "b=2"}));
}

TEST(SettingsListText, WritesEveryLineWithCrLf) {
    EXPECT_EQ(TSettingsList::FromText("a=1\nb\n\n[x]").ToText(), "a=1\r\nb\r\n\r\n[x]\r\n");
    EXPECT_EQ(TSettingsList().ToText(), "");
}

TEST(SettingsListText, BytesArePassedThroughUnchanged) {
    const std::string text = "RawDataFileName=/d\xe9j\xe0/\xff trace.dat\r\n";
    EXPECT_EQ(TSettingsList::FromText(text).ToText(), text);
    EXPECT_EQ(TSettingsList::FromText(text).Value("RawDataFileName"), "/d\xe9j\xe0/\xff trace.dat");
}

TEST(SettingsListValue, NamesMatchWithoutRegardToCaseAndFirstMatchWins) {
    const auto list = TSettingsList::FromText("winwidth=640\nWinWidth=800\nWINHEIGHT=480\n");
    EXPECT_EQ(list.Value("WinWidth"), "640");
    EXPECT_EQ(list.Value("WinHeight"), "480");
    EXPECT_EQ(list.Value("WinMax"), "");
}

TEST(SettingsListValue, NameIsEverythingBeforeTheFirstEqualsAndNothingIsTrimmed) {
    const auto list =
        TSettingsList::FromText("WinMax\n WinMax=true\nWinMax = true\nA=b=c\nWinMax=false\n");
    // Lines without "=" and names with blanks around them are not "WinMax".
    EXPECT_EQ(list.Value("WinMax"), "false");
    EXPECT_EQ(list.Value("WinMax "), " true");
    EXPECT_EQ(list.Value("A"), "b=c");
}

TEST(SettingsListSetValue, ReplacesTheFirstMatchKeepingEverythingElseInPlace) {
    auto list = TSettingsList::FromText("; comment\nwinwidth=640\n[section]\nWinWidth=800\n");
    list.SetValue("WinWidth", "1024");
    EXPECT_EQ(list.Lines(), (Lines{"; comment", "WinWidth=1024", "[section]", "WinWidth=800"}));
}

TEST(SettingsListSetValue, AppendsANewSettingAtTheEnd) {
    auto list = TSettingsList::FromText("b=2\na=1\n");
    list.SetValue("WinMax", "false");
    list.SetValue("CallStackSize", "256");
    EXPECT_EQ(list.Lines(), (Lines{"b=2", "a=1", "WinMax=false", "CallStackSize=256"}));
}

TEST(SettingsListSetValue, EmptyValueRemovesOnlyTheFirstMatch) {
    auto list = TSettingsList::FromText("x\nRawDataFileName=/a.dat\ny\nrawdatafilename=/b.dat\n");
    list.SetValue("RawDataFileName", "");
    EXPECT_EQ(list.Lines(), (Lines{"x", "y", "rawdatafilename=/b.dat"}));
    EXPECT_EQ(list.Value("RawDataFileName"), "/b.dat");

    list.SetValue("DSPOutFileName", ""); // nothing to remove
    EXPECT_EQ(list.Lines(), (Lines{"x", "y", "rawdatafilename=/b.dat"}));
}
