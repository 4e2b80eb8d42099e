#pragma once
// One firmware upgrade, without any window: checks the image file before
// anything is sent, sends the first record or chunk through the module
// client, and decides from each reply what to send next and when the upgrade
// is over. What the operator reads of it (progress, texts) belongs to the
// caller; failures come back as values (SUpgradeError).
//
// Intel HEX ("ZEL12" boards): one CMD_UPGRADE_HEX per record, the range of the
// progress is the number of ':' in the file. Raw BIN (other boards): chunks of
// 2048 bytes by CMD_UPGRADE_BIN, the range is the number of the last chunk.
#include <cstdint>
#include <string>

#include "protocol/FirmwareTransfer.h"

class CMsgTarget;
class CModuleClient;
class CReply;

enum class EUpgradeFormat { Hex, Bin };

// The chunk numbering of CMD_UPGRADE_BIN has 8 bits: 256 chunks of 2048.
constexpr std::uint64_t FW_BIN_MAX_SIZE = 256 * 2048;
// A record or chunk the module keeps refusing is sent at most this many times.
constexpr int FW_MAX_SENDS = 10;
// An Intel HEX image for the largest firmware is a few megabytes of text;
// anything far beyond that is not one.
constexpr std::uint64_t FW_HEX_MAX_FILE = 16 * 1024 * 1024;

// What is wrong with an Intel HEX record found while checking the file.
enum class EHexFault { OutsideRecord, NotHex, CutShort, Checksum, UnknownType, BadExtendedAddress };

struct SUpgradeError {
    enum ECode {
        NONE,
        IS_FOLDER,          // the path names a folder
        NOT_A_FILE,         // a device, a pipe or another special file (fileMode says which)
        CANNOT_OPEN,        // systemError says why
        CANNOT_READ,
        MALFORMED,          // piece: the record (1 = first), line, fault
        NO_RECORDS,
        NO_END_RECORD,
        EMPTY,
        TOO_LARGE,          // size
        REFUSED_TOO_OFTEN,  // piece: the record or chunk the module kept refusing
        FILE_GONE,          // the file can no longer be read for a re-send
        UNREADABLE_AT,      // piece: the record or chunk that could not be read
        PIECE_REFUSED,      // piece, result: the module answered a piece with a refusal
        NOT_SENT,           // the link refused the first request (closed, or busy)
    };
    ECode code = NONE;
    EUpgradeFormat format = EUpgradeFormat::Bin;
    std::string path;
    int systemError = 0;
    std::uint32_t fileMode = 0;  // st_mode of what the path names
    std::uint32_t piece = 0;
    int line = 0;
    EHexFault fault = EHexFault::OutsideRecord;
    std::uint64_t size = 0;
    std::int32_t result = 0;
};

class CUpgradeSession {
public:
    // What a reply asks of the caller.
    enum EAnswer {
        ANSWER_NONE,      // nothing to show (not this upgrade's, superseded, the link closed, no upgrade running)
        ANSWER_NEXT,      // the piece was taken and the next one sent: step the progress
        ANSWER_RESENT,    // the same piece went out again
        ANSWER_COMPLETE,  // the upgrade is complete
        ANSWER_INVALID,   // the module refused a parameter of a chunk (RES_INVALID_PARAM); over
        ANSWER_CANCELED,  // the module canceled the upgrade of a chunk (RES_CANCELED); over
        ANSWER_LOST,      // no answer after the last send, or every send's checksum refused; over
        ANSWER_FAILED,    // over for the reason Error() gives
    };

    // requester: the flow that receives the replies to the pieces.
    CUpgradeSession(CModuleClient& client, CMsgTarget& requester) : m_Client(client), m_Requester(requester) {}

    // Checks the file: a regular file that opens; a HEX file must hold only
    // well-formed records ending with an end-of-file record, a BIN file 1 to
    // FW_BIN_MAX_SIZE bytes. Nothing is sent. False with Error() when refused.
    bool Prepare(EUpgradeFormat format, const std::string& path);
    // The progress range: the number of ':' (HEX) or the last chunk L (BIN).
    std::int32_t Range() const { return m_nRange; }
    // Sends record 0 or chunk 0; false with Error() when nothing went out.
    bool SendFirst();

    EAnswer OnReply(const CReply& reply);

    bool IsRunning() const { return m_bRunning; }
    // Abandons the upgrade: the piece under way is abandoned at the client
    // and later replies are not acted on.
    void End();

    EUpgradeFormat Format() const { return m_Format; }
    const std::string& FileName() const { return m_strFileName; }
    const SUpgradeError& Error() const { return m_Error; }
    // The record or chunk under way.
    std::uint32_t Piece() const { return m_nPiece; }
    // The reader (its upper address carries from one upgrade to the next).
    CFirmwareTransfer& Transfer() { return m_Transfer; }

private:
    EAnswer OnHexAnswer(const CReply& reply);
    EAnswer OnBinAnswer(const CReply& reply);
    // Reads piece n and sends it; false (with Error()) when it cannot be read or sent.
    bool SendPiece(std::uint32_t piece, bool resend);
    EAnswer Resend();
    EAnswer Fail(SUpgradeError::ECode code, std::uint32_t piece = 0, std::int32_t result = 0);
    bool CheckHexFile(const std::string& text);
    SUpgradeError MakeError(SUpgradeError::ECode code) const;

    CModuleClient& m_Client;
    CMsgTarget& m_Requester;
    CFirmwareTransfer m_Transfer;
    EUpgradeFormat m_Format = EUpgradeFormat::Bin;
    std::string m_strFileName;
    std::uint32_t m_nPosition = 0;      // HEX: where the next record is looked for
    std::uint32_t m_nPiecePosition = 0; // HEX: where the record under way was read from
    std::uint32_t m_nFileSize = 0;      // BIN: the size checked by Prepare
    std::uint32_t m_nLastChunk = 0;
    std::uint32_t m_nPiece = 0;
    std::int32_t m_nRange = 0;
    int m_nSends = 0;  // sends of the piece now under way (by the session; the client counts its own)
    std::uint64_t m_nExchange = 0;
    bool m_bRunning = false;
    SUpgradeError m_Error;
};
