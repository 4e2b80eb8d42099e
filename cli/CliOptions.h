#pragma once
// The command line of pravik-cli: the connecting options, the output
// options and the commands, each with its own arguments, checked before
// anything is opened. What is refused here ends the program with exit code 2
// and a message on stderr.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Exit codes, the worst of every module's commands.
constexpr int EXIT_ALL_OK = 0;
constexpr int EXIT_MODULE_FAILED = 1;  // the module answered with a failure
constexpr int EXIT_USAGE = 2;          // the command line or a value in it is wrong
constexpr int EXIT_LINK = 3;           // the port cannot be opened, no answer at any rate, the link lost
constexpr int EXIT_FILE = 4;           // a file could not be read or written

enum class ECliCommand {
    Info, Identify, Verify, Enroll, Delete, DeleteAll, List, MasterEnter, MasterLeave,
    Capture, MinutiaeGet, MinutiaeMatch, Upgrade, Log, UserDataRead, UserDataWrite, UserDataErase,
    OptionsGet, OptionsSet, Status, Cancel, Voltage, Ports,
};

// Log search types of the newer log request (CMD_GET_LOG_EX).
enum : int {
    LOG_SEARCH_NTH_PREVIOUS = 0,
    LOG_SEARCH_OLDEST_UNREAD = 1,
    LOG_SEARCH_LAST_WRITTEN = 2,
    LOG_SEARCH_ALL = 3,
    LOG_SEARCH_UNREAD_TO_LAST = 4,
};

// The module's options as `options set` names them.
enum EOptionName {
    OPT_GAIN, OPT_BRIGHTNESS, OPT_CONTRAST, OPT_VERIFY_LEVEL, OPT_IDENTIFY_LEVEL, OPT_LATENT, OPT_LOG,
    OPT_CAPTURE_PERIOD, OPT_COUNT
};
struct SOptionRule {
    const char* name;  // "gain"
    int min, max;      // the system information window's ranges
};
const SOptionRule& OptionRule(int option);

struct SCommand {
    ECliCommand kind = ECliCommand::Info;
    std::string words;  // as typed, for the output and the reports: "verify 5"
    std::string id;
    std::string password;
    bool hasId = false;
    bool hasPassword = false;
    std::uint32_t deleteWhich = 0;  // delete-all: 0 all, 1 users, 2 masters
    std::string file;               // -o FILE, or the file to read
    int method = 0;                 // capture: 0 by the board, 1 CMD_GET_IMAGE, 2 CMD_GET_IMAGE2
    int count = 0;                  // capture: 0 one image, else N numbered images
    bool hasSearch = false;
    int searchType = LOG_SEARCH_ALL;
    std::uint32_t searchValue = 0;
    int address = 0, size = 0;      // user data
    std::string text;               // user-data write
    std::vector<std::pair<int, int>> settings;  // options set: (EOptionName, value)
};

struct SCliOptions {
    std::vector<std::string> ports;
    int baud = 0;     // 0: search
    int board = -1;   // -1: as the module says
    bool minimized = false;
    bool sim = false;
    int simType = 0;
    int simBaud = 115200;
    bool json = false;
    std::string report;  // --report FILE.csv
    std::string junit;   // --junit FILE.xml
    int answerTimeoutMs = 30000;
    std::vector<SCommand> commands;
};

struct SParseResult {
    bool ok = false;
    bool help = false;   // --help: print the usage, exit 0
    std::string error;   // for a usage error
};

SParseResult ParseCommandLine(const std::vector<std::string>& args, SCliOptions& options);

// The text of --help.
extern const char kCliUsage[];
