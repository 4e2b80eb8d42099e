#include "cli/Jobs.h"

#include "cli/ModuleRun.h"

std::string WithSuffix(const std::string& name, const std::string& suffix) {
    const std::size_t start = name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1;
    const std::size_t dot = name.find_last_of('.');
    // No extension (or only a leading dot, as in ".img"): at the end.
    if (dot == std::string::npos || dot <= start) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string ModuleFileName(const std::string& name, int number) {
    return number > 0 ? WithSuffix(name, "-m" + std::to_string(number)) : name;
}

std::unique_ptr<CJob> MakeJob(IJobHost& host, const SCommand& given) {
    SCommand command = given;
    // Files the command writes get the module's number when several modules run.
    const bool writes = command.kind == ECliCommand::Capture || command.kind == ECliCommand::MinutiaeGet ||
                        command.kind == ECliCommand::Log || command.kind == ECliCommand::UserDataRead;
    if (writes && !command.file.empty()) command.file = ModuleFileName(command.file, host.Module().number);
    switch (command.kind) {
        case ECliCommand::Identify:
        case ECliCommand::Verify:
        case ECliCommand::Enroll:
        case ECliCommand::Delete:
        case ECliCommand::DeleteAll:
        case ECliCommand::List:
        case ECliCommand::MasterEnter:
        case ECliCommand::MasterLeave:
        case ECliCommand::MinutiaeGet:
        case ECliCommand::MinutiaeMatch: return MakeFingerJob(host, command);
        case ECliCommand::Capture: return MakeCaptureJob(host, command);
        case ECliCommand::Log:
        case ECliCommand::Upgrade: return MakeTransferJob(host, command);
        case ECliCommand::Info:
        case ECliCommand::UserDataRead:
        case ECliCommand::UserDataWrite:
        case ECliCommand::UserDataErase:
        case ECliCommand::OptionsGet:
        case ECliCommand::OptionsSet:
        case ECliCommand::Status:
        case ECliCommand::Cancel:
        case ECliCommand::Voltage:
        case ECliCommand::Ports: return MakeServiceJob(host, command);
    }
    return MakeServiceJob(host, command);
}
