#include "cli/Jobs.h"

#include "cli/ModuleRun.h"

std::unique_ptr<CJob> MakeJob(IJobHost& host, const SCommand& command) {
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
