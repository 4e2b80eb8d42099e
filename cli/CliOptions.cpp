#include "cli/CliOptions.h"

#include <cstring>
#include <functional>

#include "ops/FieldCheck.h"
#include "protocol/CommandCatalog.h"

const char kCliUsage[] =
    "Usage: pravik-cli [OPTION]... COMMAND [ARG]... [COMMAND [ARG]...]...\n"
    "Works a ZEL12, Pell or QOR10 fingerprint module from scripts, test benches and\n"
    "production lines. The commands run in order on one connection and stop at the\n"
    "first failure; with several --port the same commands run on every module at once.\n"
    "\n"
    "Connecting:\n"
    "  --port PORT        the module's serial port: a device path, a name in\n"
    "                     /dev/serial/by-id or COM1..COM4; may be given several times\n"
    "  --baud RATE        auto (default: the baud-rate search of CONNECT), 115200,\n"
    "                     57600, 38400, 19200 or 9600\n"
    "  --board BOARD      auto (default: as the module says), ZEL12, Pell, QOR10-HV\n"
    "                     or QOR10-LV\n"
    "  --minimized        the Minimized protocol (identify, enroll, delete, delete-all,\n"
    "                     master, status and cancel only)\n"
    "  --sim              a simulated module on a pseudo-terminal instead of --port\n"
    "  --sim-type N       its type: 0 ZEL12 (default), 1 Pell, 2 QOR10-HV, 3 QOR10-LV\n"
    "  --sim-baud RATE    its line speed (default 115200)\n"
    "  --answer-timeout S seconds to wait for an answer the protocol does not guard\n"
    "                     by re-sending (default 30)\n"
    "\n"
    "Output:\n"
    "  --json             one JSON object per command (JSON Lines) instead of a line\n"
    "                     of text\n"
    "  --report FILE.csv  one row per module and command\n"
    "  --junit FILE.xml   one test case per module and command\n"
    "  --help             this text\n"
    "\n"
    "Commands:\n"
    "  info                            module type, firmware, fingerprint count\n"
    "  identify                        search the database for the finger\n"
    "  verify ID [--password P]        check the finger (or, on boards other than\n"
    "                                  ZEL12, the password) against ID\n"
    "  enroll ID [--password P]        enrol the finger under ID (two scans; the\n"
    "                                  Minimized enrol takes no ID)\n"
    "  delete ID                       delete ID (the Minimized delete takes no ID)\n"
    "  delete-all [--users|--masters]  delete every record, the users or the masters\n"
    "  list                            the enrolled IDs; masters marked *\n"
    "  master enter [--id ID] [--password P]\n"
    "                                  enter master mode; when the module asks, with\n"
    "                                  the master's finger (--id), the device password\n"
    "                                  (--password) or both (a master's password)\n"
    "  master leave                    leave master mode\n"
    "  capture -o FILE.png|FILE.raw [--method 1|2] [--count N]\n"
    "                                  capture an image (method 1 CMD_GET_IMAGE, 2\n"
    "                                  CMD_GET_IMAGE2; default by the board); with N,\n"
    "                                  N images in numbered files and the Success and\n"
    "                                  Fail counts\n"
    "  minutiae get -o FILE            save the finger's 400-byte minutiae\n"
    "  minutiae match FILE             match the finger against saved minutiae\n"
    "  upgrade FILE.hex|FILE.bin       upgrade the firmware (HEX on ZEL12, BIN others)\n"
    "  log -o FILE [--search TYPE [N]] read the event log into a text file; TYPE:\n"
    "                                  nth N, oldest-unread, last-written, all\n"
    "                                  (default), unread-to-last (not on ZEL12)\n"
    "  user-data read ADDRESS SIZE [-o FILE]\n"
    "  user-data write ADDRESS TEXT\n"
    "  user-data erase                 the module's 8192-byte user memory\n"
    "  options get                     the module's options\n"
    "  options set NAME=VALUE...       gain (1-63), brightness (0-100), contrast\n"
    "                                  (0-100), verify-level (1-9), identify-level\n"
    "                                  (1-9), latent (0-1), log (0-1), capture-period\n"
    "                                  (1-255)\n"
    "  status                          idle or busy\n"
    "  cancel                          stop what the module is doing\n"
    "  voltage                         whether the supply voltage is low\n"
    "  ports                           the serial devices present\n"
    "\n"
    "Exit codes (several modules: the worst of them):\n"
    "  0  every command succeeded\n"
    "  1  the module answered with a failure\n"
    "  2  usage error\n"
    "  3  link error: the port cannot be opened, no answer at any rate, the link lost\n"
    "  4  a file could not be read or written\n";

namespace {

const SOptionRule kOptionRules[OPT_COUNT] = {
    {"gain", 1, 63},         {"brightness", 0, 100}, {"contrast", 0, 100}, {"verify-level", 1, 9},
    {"identify-level", 1, 9}, {"latent", 0, 1},       {"log", 0, 1},        {"capture-period", 1, 255},
};

// User memory and the write of one text (the user data window's limits).
constexpr int USER_MEMORY_SIZE = 8192;
constexpr int USER_WRITE_MAX = 256;
constexpr int LOG_N_MAX = 2047;

bool IsRate(int rate) { return rate == 9600 || rate == 19200 || rate == 38400 || rate == 57600 || rate == 115200; }

bool EqualNoCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && strncasecmp(a.c_str(), b, a.size()) == 0;
}

struct SWord {
    const char* word;
    const char* sub;  // the second word, or nullptr
    ECliCommand kind;
};
const SWord kWords[] = {
    {"info", nullptr, ECliCommand::Info},
    {"identify", nullptr, ECliCommand::Identify},
    {"verify", nullptr, ECliCommand::Verify},
    {"enroll", nullptr, ECliCommand::Enroll},
    {"delete", nullptr, ECliCommand::Delete},
    {"delete-all", nullptr, ECliCommand::DeleteAll},
    {"list", nullptr, ECliCommand::List},
    {"master", "enter", ECliCommand::MasterEnter},
    {"master", "leave", ECliCommand::MasterLeave},
    {"capture", nullptr, ECliCommand::Capture},
    {"minutiae", "get", ECliCommand::MinutiaeGet},
    {"minutiae", "match", ECliCommand::MinutiaeMatch},
    {"upgrade", nullptr, ECliCommand::Upgrade},
    {"log", nullptr, ECliCommand::Log},
    {"user-data", "read", ECliCommand::UserDataRead},
    {"user-data", "write", ECliCommand::UserDataWrite},
    {"user-data", "erase", ECliCommand::UserDataErase},
    {"options", "get", ECliCommand::OptionsGet},
    {"options", "set", ECliCommand::OptionsSet},
    {"status", nullptr, ECliCommand::Status},
    {"cancel", nullptr, ECliCommand::Cancel},
    {"voltage", nullptr, ECliCommand::Voltage},
    {"ports", nullptr, ECliCommand::Ports},
};

bool IsCommandWord(const std::string& word) {
    for (const SWord& w : kWords) {
        if (word == w.word) return true;
    }
    return false;
}

// The commands of the Minimized protocol.
bool HasMinimizedForm(ECliCommand kind) {
    switch (kind) {
        case ECliCommand::Info:
        case ECliCommand::Identify:
        case ECliCommand::Enroll:
        case ECliCommand::Delete:
        case ECliCommand::DeleteAll:
        case ECliCommand::MasterEnter:
        case ECliCommand::MasterLeave:
        case ECliCommand::Status:
        case ECliCommand::Cancel:
        case ECliCommand::Ports: return true;
        default: return false;
    }
}

struct SHelpAsked {};

class CParser {
public:
    CParser(const std::vector<std::string>& args, SCliOptions& options) : m_Args(args), m_Options(options) {}

    SParseResult Parse() {
        SParseResult result;
        try {
            while (m_Next < m_Args.size()) Step();
            Finish();
        } catch (const std::string& error) {
            result.error = error;
            return result;
        } catch (SHelpAsked) {
            result.help = true;
        }
        result.ok = !result.help;
        return result;
    }

private:
    [[noreturn]] void Fail(const std::string& error) { throw error; }

    bool More() const { return m_Next < m_Args.size(); }
    const std::string& Peek() const { return m_Args[m_Next]; }
    // The value of an option: inline after '=' or the next argument.
    std::string Value(const std::string& option) {
        if (m_bInline) {
            m_bInline = false;
            return m_InlineValue;
        }
        if (!More()) Fail("option " + option + " needs a value");
        return m_Args[m_Next++];
    }
    int Number(const std::string& what, const std::string& text, int min, int max) {
        int value = 0;
        const EFieldCheck check = CheckIntegerField(text, min, max, value);
        if (check != FIELD_OK) Fail(what + " '" + text + "': " + FieldCheckText(check, min, max));
        return value;
    }
    std::string Text(const std::string& what, const std::string& text, int maxChars) {
        if (text.empty()) Fail(what + " may not be empty");
        const EFieldCheck check = CheckTextLength(text.size(), maxChars);
        if (check != FIELD_OK) Fail(what + " '" + text + "': " + FieldCheckText(check, 0, maxChars));
        return text;
    }
    // The next argument when it is not an option nor a command word.
    bool Positional(std::string& value) {
        if (!More() || (Peek().size() > 1 && Peek()[0] == '-') || IsCommandWord(Peek())) return false;
        value = m_Args[m_Next++];
        return true;
    }
    std::string NeedPositional(const std::string& what) {
        std::string value;
        if (!Positional(value)) Fail(Current().words + " needs " + what);
        return value;
    }
    SCommand& Current() { return m_Options.commands.back(); }
    void Words(const std::string& word) { Current().words += (Current().words.empty() ? "" : " ") + word; }

    void Step() {
        std::string arg = m_Args[m_Next++];
        m_bInline = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                m_InlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                m_bInline = true;
            }
            if (!GlobalOption(arg) && !CommandOption(arg)) Fail("unknown option '" + arg + "'");
            if (m_bInline) Fail("option " + arg + " takes no value");
            return;
        }
        if (arg == "-o") {
            if (!CommandOption(arg)) Fail("-o belongs to a command (capture, minutiae get, log, user-data read)");
            return;
        }
        if (arg == "-h") throw SHelpAsked{};
        Command(arg);
    }

    bool GlobalOption(const std::string& option) {
        SCliOptions& o = m_Options;
        if (option == "--help") throw SHelpAsked{};
        if (option == "--port") {
            const std::string port = Value(option);
            if (port.empty()) Fail("--port needs a port name");
            o.ports.push_back(port);
        } else if (option == "--baud") {
            const std::string v = Value(option);
            if (v == "auto") {
                o.baud = 0;
            } else {
                int rate = 0;
                if (!ParseFieldInteger(v, rate) || !IsRate(rate))
                    Fail("--baud must be auto, 115200, 57600, 38400, 19200 or 9600, not '" + v + "'");
                o.baud = rate;
            }
        } else if (option == "--board") {
            const std::string v = Value(option);
            static const char* const names[] = {"ZEL12", "Pell", "QOR10-HV", "QOR10-LV"};
            o.board = -2;
            if (v == "auto") o.board = -1;
            for (int i = 0; i < 4; ++i) {
                if (EqualNoCase(v, names[i])) o.board = i;
            }
            if (o.board == -2) Fail("--board must be auto, ZEL12, Pell, QOR10-HV or QOR10-LV, not '" + v + "'");
        } else if (option == "--minimized") {
            o.minimized = true;
        } else if (option == "--sim") {
            o.sim = true;
        } else if (option == "--sim-type") {
            o.simType = Number("--sim-type", Value(option), 0, 3);
            o.sim = true;
        } else if (option == "--sim-baud") {
            const std::string v = Value(option);
            int rate = 0;
            if (!ParseFieldInteger(v, rate) || !IsRate(rate))
                Fail("--sim-baud must be 115200, 57600, 38400, 19200 or 9600, not '" + v + "'");
            o.simBaud = rate;
            o.sim = true;
        } else if (option == "--answer-timeout") {
            o.answerTimeoutMs = Number("--answer-timeout", Value(option), 1, 3600) * 1000;
        } else if (option == "--json") {
            o.json = true;
        } else if (option == "--report") {
            o.report = Value(option);
            if (o.report.empty()) Fail("--report needs a file name");
        } else if (option == "--junit") {
            o.junit = Value(option);
            if (o.junit.empty()) Fail("--junit needs a file name");
        } else {
            return false;
        }
        return true;
    }

    bool CommandOption(const std::string& option) {
        if (m_Options.commands.empty()) return false;
        SCommand& c = Current();
        const ECliCommand k = c.kind;
        const bool takesPassword = k == ECliCommand::Verify || k == ECliCommand::Enroll || k == ECliCommand::MasterEnter;
        std::string shown = option;  // what the output repeats of it
        if (option == "--password" && takesPassword) {
            c.password = Text("the password", Value(option), PASSWORD_FIELD_SIZE - 1);
            c.hasPassword = true;
            shown += " ***";
        } else if (option == "--id" && k == ECliCommand::MasterEnter) {
            c.id = Text("the ID", Value(option), ID_FIELD_SIZE - 1);
            c.hasId = true;
            shown += " " + c.id;
        } else if ((option == "--users" || option == "--masters") && k == ECliCommand::DeleteAll) {
            if (c.deleteWhich != 0) Fail("delete-all takes --users or --masters, not both");
            c.deleteWhich = option == "--users" ? 1 : 2;
        } else if (option == "-o" && (k == ECliCommand::Capture || k == ECliCommand::MinutiaeGet ||
                                      k == ECliCommand::Log || k == ECliCommand::UserDataRead)) {
            c.file = Value(option);
            if (c.file.empty()) Fail("-o needs a file name");
            shown += " " + c.file;
        } else if (option == "--method" && k == ECliCommand::Capture) {
            c.method = Number("--method", Value(option), 1, 2);
            shown += " " + std::to_string(c.method);
        } else if (option == "--count" && k == ECliCommand::Capture) {
            c.count = Number("--count", Value(option), 1, 100000);
            shown += " " + std::to_string(c.count);
        } else if (option == "--search" && k == ECliCommand::Log) {
            shown += " " + Search(Value(option));
        } else {
            return false;
        }
        Words(shown);
        return true;
    }

    // Reads the search type (and N); returns them as typed.
    std::string Search(const std::string& type) {
        static const char* const names[] = {"nth", "oldest-unread", "last-written", "all", "unread-to-last"};
        SCommand& c = Current();
        c.hasSearch = true;
        c.searchType = -1;
        for (int i = 0; i < 5; ++i) {
            if (type == names[i] || type == std::to_string(i)) c.searchType = i;
        }
        if (c.searchType < 0)
            Fail("--search must be nth, oldest-unread, last-written, all or unread-to-last, not '" + type + "'");
        if (c.searchType != LOG_SEARCH_NTH_PREVIOUS) return type;
        const std::string n = NeedPositional("N");
        c.searchValue = static_cast<std::uint32_t>(Number("the log search's N", n, 0, LOG_N_MAX));
        return type + " " + n;
    }

    void Command(const std::string& word) {
        const SWord* found = nullptr;
        for (const SWord& w : kWords) {
            if (word != w.word) continue;
            if (!w.sub) {
                found = &w;
                break;
            }
            if (More() && Peek() == w.sub) {
                found = &w;
                break;
            }
        }
        if (!found) {
            if (IsCommandWord(word)) Fail("'" + word + "' needs " + SubWords(word));
            Fail("unknown command '" + word + "'");
        }
        m_Options.commands.emplace_back();
        SCommand& c = Current();
        c.kind = found->kind;
        c.words = word;
        if (found->sub) Words(m_Args[m_Next++]);
        std::string value;
        switch (c.kind) {
            case ECliCommand::Verify:
                c.id = Text("the ID", NeedPositional("an ID"), ID_FIELD_SIZE - 1);
                c.hasId = true;
                Words(c.id);
                break;
            case ECliCommand::Enroll:
            case ECliCommand::Delete:
                if (Positional(value)) {
                    c.id = Text("the ID", value, ID_FIELD_SIZE - 1);
                    c.hasId = true;
                    Words(c.id);
                }
                break;
            case ECliCommand::MinutiaeMatch:
            case ECliCommand::Upgrade:
                c.file = NeedPositional("a file");
                Words(c.file);
                break;
            case ECliCommand::UserDataRead:
                c.address = Number("the address", NeedPositional("an address and a size"), 0, USER_MEMORY_SIZE - 1);
                c.size = Number("the size", NeedPositional("a size"), 0, USER_MEMORY_SIZE);
                Words(std::to_string(c.address) + " " + std::to_string(c.size));
                break;
            case ECliCommand::UserDataWrite:
                c.address = Number("the address", NeedPositional("an address and a text"), 0, USER_MEMORY_SIZE - 1);
                c.text = Text("the text", NeedPositional("a text"), USER_WRITE_MAX);
                Words(std::to_string(c.address) + " ...");
                break;
            case ECliCommand::OptionsSet:
                while (More() && Peek().find('=') != std::string::npos && Peek().rfind("--", 0) != 0) {
                    const std::string setting = m_Args[m_Next++];
                    Setting(setting);
                    Words(setting);
                }
                if (c.settings.empty()) Fail("options set needs NAME=VALUE");
                break;
            default: break;
        }
    }

    static std::string SubWords(const std::string& word) {
        std::string subs;
        for (const SWord& w : kWords) {
            if (word == w.word && w.sub) subs += std::string(subs.empty() ? "" : " or ") + w.sub;
        }
        return subs;
    }

    void Setting(const std::string& setting) {
        const std::size_t eq = setting.find('=');
        const std::string name = setting.substr(0, eq);
        for (int i = 0; i < OPT_COUNT; ++i) {
            if (name != kOptionRules[i].name) continue;
            const int value = Number(name, setting.substr(eq + 1), kOptionRules[i].min, kOptionRules[i].max);
            for (auto& s : Current().settings) {
                if (s.first == i) Fail(name + " is given twice");
            }
            Current().settings.emplace_back(i, value);
            return;
        }
        Fail("unknown option name '" + name +
             "' (gain, brightness, contrast, verify-level, identify-level, latent, log, capture-period)");
    }

    // The checks that need the whole command line.
    void Finish() {
        SCliOptions& o = m_Options;
        if (o.commands.empty()) Fail("no command given");
        bool onlyPorts = true;
        for (const SCommand& c : o.commands) {
            onlyPorts = onlyPorts && c.kind == ECliCommand::Ports;
            if ((c.kind == ECliCommand::Capture || c.kind == ECliCommand::MinutiaeGet || c.kind == ECliCommand::Log) &&
                c.file.empty()) {
                Fail(c.words + " needs -o FILE");
            }
            // The Minimized enrol and delete frames carry no ID.
            if ((c.kind == ECliCommand::Delete || c.kind == ECliCommand::Enroll) && c.hasId == o.minimized) {
                const std::string word = c.kind == ECliCommand::Delete ? "delete" : "enroll";
                Fail(o.minimized ? "the Minimized " + word + " carries no ID" : word + " needs an ID");
            }
            if (c.kind == ECliCommand::Enroll && o.minimized && c.hasPassword) {
                Fail("the Minimized enroll carries no password");
            }
            if (o.minimized && !HasMinimizedForm(c.kind)) Fail(c.words + " is not in the Minimized protocol");
            if (o.minimized && c.kind == ECliCommand::MasterEnter && (c.hasId || c.hasPassword))
                Fail("no credentials travel in the Minimized protocol");
            if (c.kind == ECliCommand::Capture && c.method == 0 && o.minimized) Fail("capture needs the General protocol");
        }
        if (o.sim && !o.ports.empty()) Fail("--sim and --port exclude each other");
        if (!onlyPorts && !o.sim && o.ports.empty()) Fail("no module: give --port PORT or --sim");
        if (o.report == o.junit && !o.report.empty()) Fail("--report and --junit name the same file");
    }

    const std::vector<std::string>& m_Args;
    SCliOptions& m_Options;
    std::size_t m_Next = 0;
    bool m_bInline = false;
    std::string m_InlineValue;
};

}  // namespace

const SOptionRule& OptionRule(int option) { return kOptionRules[option]; }

SParseResult ParseCommandLine(const std::vector<std::string>& args, SCliOptions& options) {
    return CParser(args, options).Parse();
}
