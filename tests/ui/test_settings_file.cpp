// The settings file "VESKA.INI": the profile-file layer and the settings record.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <dirent.h>

#include "console/SerialSettings.h"
#include "platform/core/ProfileFile.h"
#include "platform/core/SerialDevice.h"

namespace {

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/pravik-settings-XXXXXX";
        m_strPath = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + m_strPath + "'").c_str()); }
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& name = "VESKA.INI") const { return m_strPath + "/" + name; }

private:
    std::string m_strPath;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int CountEntries(const std::string& dir) {
    int count = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") ++count;
        }
        closedir(d);
    }
    return count;
}

}  // namespace

TEST(ProfileTextToInt, ReadsLeadingDecimalDigitsWithSign) {
    EXPECT_EQ(ProfileTextToInt("57600"), 57600);
    EXPECT_EQ(ProfileTextToInt("  -7"), -7);
    EXPECT_EQ(ProfileTextToInt("+5"), 5);
    EXPECT_EQ(ProfileTextToInt("12abc"), 12);
    EXPECT_EQ(ProfileTextToInt("abc"), 0);
    EXPECT_EQ(ProfileTextToInt("0x10"), 0);
    EXPECT_EQ(ProfileTextToInt("4294967295"), -1);  // wraps like a 32-bit value
}

TEST(ProfileFile, MissingFileGivesDefaultsAndCreatesNothing) {
    TempDir dir;
    EXPECT_EQ(GetPrivateProfileInt("Option", "Type", 3, dir.File()), 3);
    EXPECT_EQ(GetPrivateProfileString("Option", "Type", "x", dir.File()), "x");
    CSerialSettings settings(dir.File());
    settings.m_nType = 9;
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nType, 0);
    EXPECT_EQ(settings.m_nComPort, 1);
    EXPECT_EQ(settings.m_nBaudRate, 9600);
    EXPECT_EQ(settings.m_nProtocol, 0);
    EXPECT_EQ(settings.m_nBaudIndex, 4);
    EXPECT_FALSE(Exists(dir.File()));
}

TEST(ProfileFile, NewFileHoldsTheFourKeysInOrder) {
    TempDir dir;
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    settings.m_nType = 1;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\nType=1\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(CountEntries(dir.Path()), 1);  // no temporary file left behind
}

TEST(ProfileFile, WritingKeepsOtherSectionsKeysAndComments) {
    TempDir dir;
    WriteFile(dir.File(),
              "; console settings\n"
              "[Ports]\n"
              "COM1=/dev/ttyUSB0\n"
              "\n"
              "[option]\n"
              "Extra = kept\n"
              "baudrate = 19200\n"
              "\n"
              "[Other]\n"
              "Key=Value\n");
    CSerialSettings settings(dir.File());
    settings.LoadSettings();
    EXPECT_EQ(settings.m_nBaudRate, 19200);  // names match without regard to case
    EXPECT_EQ(settings.m_nBaudIndex, 3);
    settings.m_nType = 2;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_EQ(ReadFile(dir.File()),
              "; console settings\n"
              "[Ports]\n"
              "COM1=/dev/ttyUSB0\n"
              "\n"
              "[option]\n"
              "Extra = kept\n"
              "baudrate=19200\n"
              "Type=2\n"
              "COM Port=1\n"
              "Protocol=0\n"
              "\n"
              "[Other]\n"
              "Key=Value\n");
}

TEST(ProfileFile, KeepsWindowsLineEndsAndAMissingFinalLineEnd) {
    TempDir dir;
    WriteFile(dir.File(), "[Option]\r\nType=3\r\nCOM Port=2");
    EXPECT_TRUE(WritePrivateProfileString("Option", "Protocol", "1", dir.File()));
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\r\nType=3\r\nCOM Port=2\r\nProtocol=1\r\n");
    EXPECT_TRUE(WritePrivateProfileString("New", "A", "b", dir.File()));
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\r\nType=3\r\nCOM Port=2\r\nProtocol=1\r\n\r\n[New]\r\nA=b\r\n");
}

TEST(ProfileFile, UnexpectedValuesAreUsedAsTheyAre) {
    TempDir dir;
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

TEST(ProfileFile, FirstOfTwoEqualKeysWins) {
    TempDir dir;
    WriteFile(dir.File(), "[Option]\nType=2\nType=3\n");
    EXPECT_EQ(GetPrivateProfileInt("Option", "Type", 0, dir.File()), 2);
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "1", dir.File()));
    EXPECT_EQ(ReadFile(dir.File()), "[Option]\nType=1\nType=3\n");
}

TEST(ProfileFile, WriteCreatesTheFolderAndBareNamesUseTheProfileDirectory) {
    TempDir dir;
    std::string folder = dir.Path() + "/a/b";
    SetProfileDirectory(folder + "/");
    EXPECT_EQ(ProfileDirectory(), folder);
    EXPECT_EQ(ResolveProfilePath("VESKA.INI"), folder + "/VESKA.INI");
    EXPECT_EQ(ResolveProfilePath("./x.ini"), "./x.ini");
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "0", "VESKA.INI"));
    EXPECT_EQ(ReadFile(folder + "/VESKA.INI"), "[Option]\nType=0\n");
    SetProfileDirectory("");
}

TEST(ProfileFile, DefaultDirectoryIsTheUsersConfigFolderUnderTheMakersName) {
    std::string dir = DefaultProfileDirectory();
    ASSERT_GE(dir.size(), 15u);
    EXPECT_EQ(dir.substr(dir.size() - 7), "/Talven");
}

TEST(ProfileFile, FailedWriteLeavesTheOldFileAndReportsFalse) {
    TempDir dir;
    // The folder cannot be made: a plain file stands in its way.
    WriteFile(dir.File("blocker"), "x");
    CSerialSettings blocked(dir.File("blocker") + "/VESKA.INI");
    EXPECT_FALSE(blocked.SaveSettings());
    // A settings path that is a directory cannot be read, so it is not replaced.
    ASSERT_EQ(mkdir(dir.File().c_str(), 0755), 0);
    CSerialSettings unreadable(dir.File());
    EXPECT_FALSE(unreadable.SaveSettings());
    struct stat st;
    ASSERT_EQ(stat(dir.File().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(ProfileFile, WritingThroughASymbolicLinkReplacesItsTarget) {
    TempDir dir;
    WriteFile(dir.File("real.ini"), "[Option]\nType=1\n");
    ASSERT_EQ(symlink(dir.File("real.ini").c_str(), dir.File().c_str()), 0);
    EXPECT_TRUE(WritePrivateProfileString("Option", "Type", "2", dir.File()));
    struct stat st;
    ASSERT_EQ(lstat(dir.File().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(dir.File("real.ini")), "[Option]\nType=2\n");
}

TEST(SettingsRecord, BaudIndexTable) {
    EXPECT_EQ(BaudIndexFromRate(115200), 0);
    EXPECT_EQ(BaudIndexFromRate(57600), 1);
    EXPECT_EQ(BaudIndexFromRate(38400), 2);
    EXPECT_EQ(BaudIndexFromRate(19200), 3);
    EXPECT_EQ(BaudIndexFromRate(9600), 4);
    EXPECT_EQ(BaudIndexFromRate(4800), 4);
    EXPECT_EQ(BaudRateFromIndex(0), 115200);
    EXPECT_EQ(BaudRateFromIndex(3), 19200);
    EXPECT_EQ(BaudRateFromIndex(4), 9600);
    EXPECT_EQ(BaudRateFromIndex(-1), 9600);
    EXPECT_EQ(BaudRateFromIndex(5), 9600);
}

TEST(SettingsRecord, PortsSectionMapsComPortsToDevicePaths) {
    TempDir dir;
    WriteFile(dir.File(), "[Ports]\nCOM2=/dev/ttyUSB1\nCOM3=\n");
    CSerialSettings settings(dir.File());
    EXPECT_EQ(settings.PortPath(1), "/dev/ttyS0");
    EXPECT_EQ(settings.PortPath(2), "/dev/ttyUSB1");
    EXPECT_EQ(settings.PortPath(3), "/dev/ttyS2");
    settings.ApplyPortMap();
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyUSB1");
    EXPECT_EQ(ResolvePortName("COM4"), "/dev/ttyS3");
    ClearPortOverrides();
    // Reading the map never writes the file.
    EXPECT_EQ(ReadFile(dir.File()), "[Ports]\nCOM2=/dev/ttyUSB1\nCOM3=\n");
}
