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

TEST(ProfileFile, MissingFileGivesDefaultsAndCreatesNothing) {
    CTempDir dir;
    EXPECT_EQ(GetPrivateProfileInt("Option", "Type", 3, dir.File()), 3);
    EXPECT_EQ(GetPrivateProfileString("Option", "Type", "x", dir.File()), "x");
    CSerialSettings settings(dir.File());
    settings.m_nType = 9;
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nType, 0);
    EXPECT_EQ(settings.m_nComPort, 1);
    EXPECT_EQ(settings.m_nBaudRate, 9600);
    EXPECT_EQ(settings.m_nBaudIndex, 4);
    EXPECT_EQ(settings.m_nProtocol, 0);
    EXPECT_FALSE(FileExists(dir.File()));
}

TEST(ProfileFile, WritingKeepsOtherSectionsKeysCommentsAndLineEnds) {
    CTempDir dir;
    WriteFile(dir.File(), "; console settings\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[option]\nExtra = kept\nbaudrate = 19200\n"
                          "\n[Other]\nKey=Value\n");
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nBaudRate, 19200);  // names match without regard to case
    EXPECT_EQ(settings.m_nBaudIndex, 3);
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

TEST(ProfileFile, UnexpectedValuesAreUsedAsTheyAre) {
    CTempDir dir;
    WriteFile(dir.File(), "[Option]\nType=7\nCOM Port=9\nBaudrate=12345\nProtocol=-1\n");
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nType, 7);
    EXPECT_EQ(settings.m_nComPort, 9);
    EXPECT_EQ(settings.m_nBaudRate, 12345);
    EXPECT_EQ(settings.m_nBaudIndex, 4);
    EXPECT_EQ(settings.m_nProtocol, -1);
    // An empty value counts as missing; text without digits reads as 0.
    WriteFile(dir.File(), "[Option]\nType=\nBaudrate=fast\n");
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nType, 0);
    EXPECT_EQ(settings.m_nBaudRate, 0);
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

TEST(SettingsRecord, BaudIndexFallsBackTo9600AndPortsMapToDevicePaths) {
    const int rates[] = {115200, 57600, 38400, 19200, 9600};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(BaudIndexFromRate(rates[i]), i);
        EXPECT_EQ(BaudRateFromIndex(i), rates[i]);
    }
    EXPECT_EQ(BaudIndexFromRate(4800), 4);
    EXPECT_EQ(BaudRateFromIndex(-1), 9600);
    EXPECT_EQ(BaudRateFromIndex(5), 9600);

    CTempDir dir;
    WriteFile(dir.File(), "[Ports]\nCOM2=/dev/ttyUSB1\nCOM3=\n");
    CSerialSettings settings(dir.File());
    EXPECT_EQ(settings.PortPath(2), "/dev/ttyUSB1");
    EXPECT_EQ(settings.PortPath(3), "/dev/ttyS2");
    settings.ApplyPortMap();
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyUSB1");
    EXPECT_EQ(ResolvePortName("COM4"), "/dev/ttyS3");
    ClearPortOverrides();
    EXPECT_EQ(ReadFile(dir.File()), "[Ports]\nCOM2=/dev/ttyUSB1\nCOM3=\n");  // reading never writes
}
