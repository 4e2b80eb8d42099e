// The settings file "VESKA.INI": the profile-file layer and the settings record.
#include <sys/stat.h>

#include "console/SerialSettings.h"
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

TEST(ProfileFile, NumbersAreLeadingDecimalDigitsWithSign) {
    const std::pair<const char*, int> cases[] = {{"57600", 57600}, {"  -7", -7}, {"+5", 5},      {"12abc", 12},
                                                 {"abc", 0},       {"0x10", 0},  {"4294967295", -1}};  // 32-bit wrap
    for (const auto& c : cases) EXPECT_EQ(ProfileTextToInt(c.first), c.second) << c.first;
}

TEST(SettingsRecord, MissingValuesGetDefaultsAndUnexpectedOnesAreUsedAsTheyAre) {
    const std::pair<const char*, std::vector<int>> cases[] = {  // type, port, rate, rate index, protocol
        {nullptr, {0, 1, 9600, 4, 0}},
        {"[Option]\nType=7\nCOM Port=9\nBaudrate=12345\nProtocol=-1\n", {7, 9, 12345, 4, -1}},
        {"[Option]\nType=\nBaudrate=fast\n", {0, 1, 0, 4, 0}},      // empty: missing; no digits: 0
        {"[option]\nbaudrate = 19200\n", {0, 1, 19200, 3, 0}},      // names match without regard to case
    };
    for (const auto& [text, values] : cases) {
        CTempDir dir;
        if (text) WriteFile(dir.File(), text);
        CSerialSettings s(dir.File());
        s.m_nType = 9;
        s.LoadSettings();
        EXPECT_EQ((std::vector<int>{s.m_nType, s.m_nComPort, s.m_nBaudRate, s.m_nBaudIndex, s.m_nProtocol}), values);
        EXPECT_EQ(FileExists(dir.File()), text != nullptr);  // reading creates nothing
    }
    EXPECT_EQ(BaudRateFromIndex(-1), 9600);
    EXPECT_EQ(BaudRateFromIndex(5), 9600);
    EXPECT_EQ(GetPrivateProfileInt("Option", "Type", 3, "/nonexistent/VESKA.INI"), 3);
    EXPECT_EQ(GetPrivateProfileString("Option", "Type", "x", "/nonexistent/VESKA.INI"), "x");
}

TEST(ProfileFile, WritingKeepsOtherSectionsKeysCommentsAndLineEnds) {
    CTempDir dir;
    WriteFile(dir.File(), "; console settings\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[option]\nExtra = kept\nbaudrate = 19200\n"
                          "\n[Other]\nKey=Value\n");
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    settings.m_nType = 2;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_EQ(ReadFile(dir.File()),
              "; console settings\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[option]\nExtra = kept\nbaudrate=19200\n"
              "Type=2\nCOM Port=1\nProtocol=0\n\n[Other]\nKey=Value\n");
    WriteFile(dir.File(), "[Option]\r\nType=3\r\nCOM Port=2");
    EXPECT_TRUE(WritePrivateProfileString("Option", "Protocol", "1", dir.File()));
    EXPECT_TRUE(WritePrivateProfileString("New", "A", "b", dir.File()));
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\r\nType=3\r\nCOM Port=2\r\nProtocol=1\r\n\r\n[New]\r\nA=b\r\n");
    // Of two equal keys the first is read and written.
    WriteFile(dir.File(), "[Option]\nType=2\nType=3\n");
    EXPECT_EQ(GetPrivateProfileInt("Option", "Type", 0, dir.File()), 2);
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "1", dir.File()));
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\nType=1\nType=3\n");
}

TEST(ProfileFile, WritesAreAtomicReplacementsAndFailuresKeepTheOldFile) {
    CTempDir dir;
    WriteFile(dir.File(), "[Option]\nType=1\n");
    // A second name for the old file keeps the old text: the new one was
    // written beside it and renamed over it, never truncated in place.
    ASSERT_EQ(link(dir.File().c_str(), dir.File("old").c_str()), 0);
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    settings.m_nType = 3;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\nType=3\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(ReadFile(dir.File("old")), "[Option]\nType=1\n");
    const auto entries = std::filesystem::directory_iterator(dir.Path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2);  // no temporary file left behind
    // Through a symbolic link the target is replaced, the link stays.
    ASSERT_EQ(symlink(dir.File("old").c_str(), dir.File("link.ini").c_str()), 0);
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "2", dir.File("link.ini")));
    struct stat st;
    ASSERT_EQ(lstat(dir.File("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(dir.File("old")), "[Option]\nType=2\n");
    // The folder cannot be made: a plain file stands in its way.
    EXPECT_FALSE(CSerialSettings(dir.File("old") + "/VESKA.INI").SaveSettings());
    // A settings file that cannot be read is not replaced.
    ASSERT_EQ(mkdir(dir.File("dir.ini").c_str(), 0755), 0);
    EXPECT_FALSE(CSerialSettings(dir.File("dir.ini")).SaveSettings());
    ASSERT_EQ(stat(dir.File("dir.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(ProfileFile, BareNamesLiveInTheProfileDirectoryWhichIsMadeOnWrite) {
    EXPECT_EQ(DefaultProfileDirectory().substr(DefaultProfileDirectory().size() - 7), "/Talven");
    CTempDir dir;
    const std::string folder = dir.Path() + "/a/b";
    SetProfileDirectory(folder + "/");
    EXPECT_EQ(ResolveProfilePath("VESKA.INI"), folder + "/VESKA.INI");
    EXPECT_EQ(ResolveProfilePath("./x.ini"), "./x.ini");
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "0", "VESKA.INI"));
    EXPECT_EQ(ReadFile(folder + "/VESKA.INI"), "[Option]\nType=0\n");
    SetProfileDirectory("");
}
