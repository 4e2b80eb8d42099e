// pravik-cli: the module's work from scripts, test benches and production
// lines, through the same module client, catalogue, answer tables and files
// as the console, without a display.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Jobs.h"
#include "cli/ModuleRun.h"
#include "cli/Output.h"
#include "cli/Reports.h"
#include "platform/core/FileAccess.h"
#include "platform/core/PosixMessageLoop.h"
#include "sim/SimPty.h"

namespace {

// The folder a file would be written in.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A file the run will write: its folder must take files, and what is there
// already must be a regular file. Empty when fine, else the sentence.
std::string CheckOutput(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return "Cannot write '" + path + "': it is " + (S_ISDIR(info.st_mode) ? "a folder." : "not a regular file.");
    }
    const std::string folder = FolderOf(path);
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "Cannot write '" + path + "': the folder '" + folder + "' does not exist.";
    }
    if (access(folder.c_str(), W_OK) != 0) {
        return "Cannot write '" + path + "': the folder '" + folder + "' is not writable.";
    }
    return std::string();
}

// A file the run will read.
std::string CheckInput(const std::string& path) {
    CInputFile file;
    const SFileResult result = file.Open(path);
    return result.Ok() ? std::string() : "Cannot open '" + path + "': " + result.Why() + ".";
}

// Every file named on the command line, checked before a port is opened.
std::string CheckFiles(const SCliOptions& options) {
    std::vector<std::string> written;  // by an earlier command of the run
    for (const SCommand& c : options.commands) {
        if (c.file.empty()) continue;
        const bool reads = c.kind == ECliCommand::MinutiaeMatch || c.kind == ECliCommand::Upgrade;
        if (reads && std::find(written.begin(), written.end(), c.file) != written.end()) continue;
        std::string problem = reads ? CheckInput(c.file) : CheckOutput(c.file);
        if (!problem.empty()) return problem;
        if (!reads) written.push_back(c.file);
    }
    for (const std::string* report : {&options.report, &options.junit}) {
        if (report->empty()) continue;
        std::string problem = CheckOutput(*report);
        if (!problem.empty()) return problem;
    }
    return std::string();
}

bool OnlyPorts(const SCliOptions& options) {
    for (const SCommand& c : options.commands) {
        if (c.kind != ECliCommand::Ports) return false;
    }
    return true;
}

int WorstExitCode(const AllResults& results) {
    int worst = EXIT_ALL_OK;
    for (const auto& module : results) {
        for (const SResult& r : module) worst = std::max(worst, ExitCodeOf(r.outcome));
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    SCliOptions options;
    const SParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options);
    if (parsed.help) {
        std::fputs(kCliUsage, stdout);
        return EXIT_ALL_OK;
    }
    if (!parsed.ok) {
        std::fprintf(stderr, "pravik-cli: %s\nTry 'pravik-cli --help' for more information.\n", parsed.error.c_str());
        return EXIT_USAGE;
    }
    COutput output(options.json, options.ports.size() > 1);
    const std::string fileProblem = CheckFiles(options);
    if (!fileProblem.empty()) {
        output.Message(fileProblem);
        return EXIT_FILE;
    }

    // Ctrl-C and SIGTERM end the commands under way, through the loop.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

    AllResults results;
    if (OnlyPorts(options)) {
        // No module is needed to list the ports.
        std::vector<SResult> module;
        for (const SCommand& c : options.commands) {
            SResult r;
            r.command = c.words;
            r.text = DescribePortsPresent(r.values);
            output.Print(r);
            module.push_back(std::move(r));
        }
        results.push_back(std::move(module));
    } else {
        std::unique_ptr<CSimPty> sim;
        std::vector<std::pair<std::string, std::string>> ports;  // as given, to open
        if (options.sim) {
            SimOptions simOptions;
            simOptions.type = options.simType;
            simOptions.baud = options.simBaud;
            sim = std::make_unique<CSimPty>();
            if (!sim->Start(simOptions)) {
                output.Message("The simulated module cannot start: " + sim->LastError());
                return EXIT_LINK;
            }
            ports.emplace_back(sim->SlavePath(), sim->SlavePath());
        } else {
            for (const std::string& port : options.ports) ports.emplace_back(port, ResolvePortName(port));
        }
        CPosixMessageLoop loop;
        std::vector<std::unique_ptr<CModuleRun>> runs;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const int number = ports.size() > 1 ? static_cast<int>(i) + 1 : 0;
            runs.push_back(std::make_unique<CModuleRun>(loop, options, output, ports[i].first, ports[i].second, number));
        }
        bool interrupted = false;
        if (signalFd >= 0) {
            loop.Watch(signalFd, [&] {
                signalfd_siginfo info;
                while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                }
                interrupted = true;
                for (auto& run : runs) run->Interrupt();
            });
        }
        for (auto& run : runs) run->Start();
        loop.RunUntil([&] {
            for (const auto& run : runs) {
                if (!run->IsDone()) return false;
            }
            return true;
        });
        for (const auto& run : runs) results.push_back(run->Results());
        runs.clear();
        if (sim) sim->Stop();
        if (interrupted) output.Message("interrupted.");
    }
    if (signalFd >= 0) close(signalFd);

    int exitCode = WorstExitCode(results);
    const std::pair<const std::string*, std::string (*)(const AllResults&)> reports[] = {
        {&options.report, &CsvReport}, {&options.junit, &JunitReport}};
    for (const auto& report : reports) {
        if (report.first->empty()) continue;
        const SFileResult written = WriteReport(*report.first, report.second(results));
        if (!written.Ok()) {
            output.Message("Cannot write '" + *report.first + "': " + written.Why() + ".");
            exitCode = std::max(exitCode, EXIT_FILE);
        }
    }
    return exitCode;
}
