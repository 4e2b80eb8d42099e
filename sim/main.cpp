// pravik-sim: a simulated fingerprint module on a pseudo-terminal.
// Prints the terminal's path as its first line, then serves until it is
// interrupted or its standard input closes.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/SimPty.h"

namespace {

constexpr int SIM_EXIT_USAGE = 2;

const char* const SIM_USAGE =
    "Usage: pravik-sim [OPTION]...\n"
    "Simulated fingerprint module for the Pravik console, served on a pseudo-terminal.\n"
    "The first line printed is the terminal path to open as the serial port\n"
    "(for example as the console's COM port). The module serves until it is\n"
    "interrupted (Ctrl-C, SIGTERM) or its standard input closes (Ctrl-D).\n"
    "\n"
    "Options:\n"
    "  --baud RATE         line speed of the module: 9600, 19200, 38400, 57600 or\n"
    "                      115200 (default 115200). The module answers only while\n"
    "                      the console's port runs at this speed.\n"
    "  --type N            module type: 0 ZEL12, 1 Pell, 2 QOR10-HV, 3 QOR10-LV\n"
    "                      (default 0)\n"
    "  --firmware 0xMMmm   firmware version, major and minor in hexadecimal digits\n"
    "                      as the console shows them (default 0x0105 = 1.05). A\n"
    "                      ZEL12 below 0x0103 does not know the device-information\n"
    "                      request.\n"
    "  --finger N|none     finger on the sensor: a number from 1 (default 1), or\n"
    "                      none (scans then time out)\n"
    "  --password TEXT     device password, at most 15 characters (default none)\n"
    "  --throttle          pace the line at its real speed, 10 bits per byte\n"
    "  --drop P            leave a whole answer unsent with probability P (0..1)\n"
    "  --corrupt P         change one byte of an answer with probability P (0..1)\n"
    "  --seed N            seed of the fault generator (default 1)\n"
    "  --finger-delay MS   time from finger on the sensor to the answer\n"
    "                      (default 300)\n"
    "  --low-voltage       report a low supply voltage\n"
    "  --cancel-together   answer a cancel that stops a scan with both answers in\n"
    "                      one write (default: the cancel's own 20 ms later)\n"
    "  --help              show this help and exit\n";

[[noreturn]] void UsageError(const std::string& message) {
    std::fprintf(stderr, "pravik-sim: %s\nTry 'pravik-sim --help' for more information.\n", message.c_str());
    std::exit(SIM_EXIT_USAGE);
}

bool ParseLong(const std::string& text, long& value, int base = 10) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, base);
    return errno == 0 && end && *end == '\0';
}

double ParseProbability(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    double p = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || !end || *end != '\0' || !(p >= 0.0 && p <= 1.0))
        UsageError(option + " wants a probability from 0 to 1, not '" + text + "'");
    return p;
}

SimOptions ParseArguments(int argc, char** argv) {
    SimOptions options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i], value;
        bool inlineValue = false;
        std::size_t eq = option.find('=');
        if (option.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = option.substr(eq + 1);
            option = option.substr(0, eq);
            inlineValue = true;
        }
        auto needValue = [&]() -> std::string {
            if (inlineValue) return value;
            if (i + 1 >= args.size()) UsageError("option " + option + " needs a value");
            return args[++i];
        };
        auto noValue = [&]() {
            if (inlineValue) UsageError("option " + option + " takes no value");
        };
        long n = 0;
        if (option == "--help" || option == "-h") {
            std::fputs(SIM_USAGE, stdout);
            std::exit(0);
        } else if (option == "--baud") {
            std::string v = needValue();
            if (!ParseLong(v, n) || (n != 9600 && n != 19200 && n != 38400 && n != 57600 && n != 115200))
                UsageError("--baud must be 9600, 19200, 38400, 57600 or 115200, not '" + v + "'");
            options.baud = static_cast<int>(n);
        } else if (option == "--type") {
            std::string v = needValue();
            if (!ParseLong(v, n) || n < 0 || n > 3) UsageError("--type must be 0, 1, 2 or 3, not '" + v + "'");
            options.type = static_cast<int>(n);
        } else if (option == "--firmware") {
            std::string v = needValue();
            std::string digits = v.rfind("0x", 0) == 0 || v.rfind("0X", 0) == 0 ? v.substr(2) : v;
            if (digits.size() > 4 || !ParseLong(digits, n, 16) || n < 0 || n > 0xFFFF)
                UsageError("--firmware must be a version like 0x0105, not '" + v + "'");
            options.firmware = static_cast<std::uint16_t>(n);
        } else if (option == "--finger") {
            std::string v = needValue();
            if (v == "none")
                options.finger = 0;
            else if (ParseLong(v, n) && n >= 1 && n <= 1000000)
                options.finger = static_cast<int>(n);
            else
                UsageError("--finger must be a finger number from 1 or 'none', not '" + v + "'");
        } else if (option == "--password") {
            std::string v = needValue();
            if (v.size() > 15) UsageError("--password may have at most 15 characters");
            options.password = v;
        } else if (option == "--throttle") {
            noValue();
            options.throttle = true;
        } else if (option == "--drop") {
            options.drop = ParseProbability(option, needValue());
        } else if (option == "--corrupt") {
            options.corrupt = ParseProbability(option, needValue());
        } else if (option == "--seed") {
            std::string v = needValue();
            if (!ParseLong(v, n) || n < 0 || n > 0xFFFFFFFFL) UsageError("--seed must be a number from 0, not '" + v + "'");
            options.seed = static_cast<std::uint32_t>(n);
        } else if (option == "--finger-delay") {
            std::string v = needValue();
            if (!ParseLong(v, n) || n < 0 || n > 60000) UsageError("--finger-delay must be 0 to 60000 ms, not '" + v + "'");
            options.fingerDelayMs = static_cast<int>(n);
        } else if (option == "--cancel-together") {
            noValue();
            options.cancelInOneWrite = true;
        } else if (option == "--low-voltage") {
            noValue();
            options.lowVoltage = true;
        } else {
            UsageError("unknown option '" + args[i] + "'");
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options = ParseArguments(argc, argv);

    // Signals are taken through a descriptor; block them before the serving
    // thread starts so that it inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    CSimPty sim;
    if (!sim.Start(options)) {
        std::fprintf(stderr, "pravik-sim: cannot start: %s\n", sim.LastError().c_str());
        return 1;
    }
    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "pravik-sim: %s module, firmware %x.%02x, %d bit/s%s on %s\n", SimTypeName(options.type),
                 options.firmware >> 8, options.firmware & 0xFF, options.baud, options.throttle ? " (paced)" : "",
                 sim.SlavePath().c_str());

    bool stdinOpen = true;
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) break;  // SIGINT, SIGTERM or SIGHUP
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char buffer[256];
            ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);  // lines typed are ignored
            if (got <= 0) break;  // standard input closed
        }
    }
    sim.Stop();
    SimStats stats = sim.Stats();
    std::fprintf(stderr, "pravik-sim: stopped after %llu requests, %llu answers (%llu dropped, %llu corrupted)\n",
                 static_cast<unsigned long long>(stats.requests), static_cast<unsigned long long>(stats.answers),
                 static_cast<unsigned long long>(stats.dropped), static_cast<unsigned long long>(stats.corrupted));
    return 0;
}
