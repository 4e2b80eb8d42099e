#pragma once
// The console's side of a firmware upgrade, without any window: checks the
// image file before anything is sent, sends the first record or chunk, and
// decides from each answer (notification 1105) what to send next and when the
// upgrade is over. The upgrade window and its texts belong to the caller.
//
// Intel HEX ("ZEL12" boards): one CMD_UPGRADE_HEX per record, the range of the
// progress is the number of ':' in the file. Raw BIN (other boards): chunks of
// 2048 bytes by CMD_UPGRADE_BIN, the range is the number of the last chunk.
#include <cstdint>
#include <string>

class CPacket;
class CPacketManagerWnd;

enum class EUpgradeFormat { Hex, Bin };

// The chunk numbering of CMD_UPGRADE_BIN has 8 bits: 256 chunks of 2048.
constexpr std::uint64_t FW_BIN_MAX_SIZE = 256 * 2048;
// A record or chunk the module keeps refusing is sent at most this many times.
constexpr int FW_MAX_SENDS = 10;

class CUpgradeSession {
public:
    // What an answer asks of the caller.
    enum EAnswer {
        ANSWER_NONE,      // nothing to show (an unlisted code, a stale answer, no upgrade running)
        ANSWER_NEXT,      // the piece was taken and the next one sent: step the progress
        ANSWER_RESENT,    // the same piece went out again
        ANSWER_COMPLETE,  // the upgrade is complete
        ANSWER_INVALID,   // the module refused a parameter (RES_INVALID_PARAM); the upgrade is over
        ANSWER_CANCELED,  // the module canceled the upgrade (RES_CANCELED); the upgrade is over
        ANSWER_FAILED,    // the file broke part-way or the module kept refusing; Error() says why
    };

    explicit CUpgradeSession(CPacketManagerWnd& device) : m_Device(device) {}

    // Checks the file: it must open, a HEX file must hold only well-formed
    // records ending with an end-of-file record, a BIN file must hold 1 to
    // FW_BIN_MAX_SIZE bytes. Nothing is sent. False with Error() when refused.
    bool Prepare(EUpgradeFormat format, const std::string& path);
    // The progress range: the number of ':' (HEX) or the last chunk L (BIN).
    std::int32_t Range() const { return m_nRange; }
    // Sends record 0 or chunk 0; false with Error() when the file cannot be read.
    bool SendFirst();

    EAnswer OnAnswer(const CPacket& answer);

    bool IsRunning() const { return m_bRunning; }
    // Abandons the upgrade: later answers are not acted on.
    void End() { m_bRunning = false; }

    EUpgradeFormat Format() const { return m_Format; }
    const std::string& FileName() const { return m_strFileName; }
    const std::string& Error() const { return m_strError; }

private:
    EAnswer OnHexAnswer(const CPacket& answer);
    EAnswer OnBinAnswer(const CPacket& answer);
    EAnswer Resend();
    EAnswer Fail(const std::string& error);
    bool CheckHexFile(const std::string& text);

    CPacketManagerWnd& m_Device;
    EUpgradeFormat m_Format = EUpgradeFormat::Bin;
    std::string m_strFileName;
    std::uint32_t m_nPosition = 0;
    std::uint32_t m_nFileSize = 0;   // BIN: the size checked by Prepare
    std::uint32_t m_nLastChunk = 0;
    std::int32_t m_nRange = 0;
    int m_nSends = 0;  // sends of the piece now under way
    bool m_bRunning = false;
    std::string m_strError;
};
