#include "ops/UpgradeTexts.h"

#include <sys/stat.h>

#include <cstring>

#include "protocol/CommandCatalog.h"

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// What a path that is no regular file names.
const char* SpecialFile(std::uint32_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

const char* FaultText(EHexFault fault) {
    switch (fault) {
        case EHexFault::OutsideRecord: return "text outside a record";
        case EHexFault::NotHex: return "not hexadecimal";
        case EHexFault::CutShort: return "not hexadecimal or cut short";
        case EHexFault::Checksum: return "checksum does not match";
        case EHexFault::UnknownType: return "unknown record type";
        case EHexFault::BadExtendedAddress: return "extended address not 2 bytes";
    }
    return "";
}

// "record 12" or "chunk 3".
std::string Piece(const SUpgradeError& e) {
    return (e.format == EUpgradeFormat::Hex ? "record " : "chunk ") + std::to_string(e.piece);
}

std::string ResultText(std::int32_t result) {
    const char* name = ResultName(result);
    return std::to_string(result) + (name ? std::string(" (") + name + ")" : std::string());
}

}  // namespace

std::string UpgradeErrorText(const SUpgradeError& e) {
    const std::string file = "the firmware file " + Quoted(e.path);
    const std::string File = "The firmware file " + Quoted(e.path);
    switch (e.code) {
        case SUpgradeError::NONE: return std::string();
        case SUpgradeError::IS_FOLDER: return "Cannot open " + file + ": it is a folder.";
        case SUpgradeError::NOT_A_FILE: return "Cannot open " + file + ": it is " + SpecialFile(e.fileMode) + ".";
        case SUpgradeError::CANNOT_OPEN: return "Cannot open " + file + ": " + std::strerror(e.systemError) + ".";
        case SUpgradeError::CANNOT_READ: return "Cannot read " + file + ".";
        case SUpgradeError::MALFORMED:
            return File + " has a malformed record (record " + std::to_string(e.piece) + ", line " +
                   std::to_string(e.line) + ": " + FaultText(e.fault) + ").";
        case SUpgradeError::NO_RECORDS: return File + " holds no Intel HEX records.";
        case SUpgradeError::NO_END_RECORD: return File + " has no end-of-file record.";
        case SUpgradeError::EMPTY: return File + " is empty.";
        case SUpgradeError::TOO_LARGE:
            if (e.format == EUpgradeFormat::Hex) {
                return File + " is too large: " + std::to_string(e.size) + " bytes (an Intel HEX image has at most " +
                       std::to_string(FW_HEX_MAX_FILE) + ").";
            }
            return File + " is too large: " + std::to_string(e.size) + " bytes (at most " +
                   std::to_string(FW_BIN_MAX_SIZE) + ", 256 chunks of 2048).";
        case SUpgradeError::REFUSED_TOO_OFTEN:
            return "F/W upgrade stopped: the module refused " + Piece(e) + " " + std::to_string(FW_MAX_SENDS) +
                   " times.";
        case SUpgradeError::FILE_GONE: return "F/W upgrade stopped: " + file + " can no longer be read.";
        case SUpgradeError::UNREADABLE_AT: return "F/W upgrade stopped: " + file + " could not be read at " + Piece(e) + ".";
        case SUpgradeError::PIECE_REFUSED:
            return "F/W upgrade stopped: the module answered " + Piece(e) + " with result " + ResultText(e.result) +
                   ".";
        case SUpgradeError::NOT_SENT: return "F/W upgrade stopped: " + Piece(e) + " could not be sent to the module.";
    }
    return std::string();
}
