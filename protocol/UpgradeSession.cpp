#include "protocol/UpgradeSession.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "protocol/HexDigit.h"
#include "protocol/PacketManagerWnd.h"

namespace {

// One byte from two hexadecimal characters at text[at]; -1 when there are not two.
int HexByte(const std::string& text, std::size_t at) {
    if (at + 1 >= text.size()) return -1;
    const int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

bool CUpgradeSession::CheckHexFile(const std::string& text) {
    std::size_t at = 0;
    int record = 0, line = 1;
    bool sawEnd = false;
    auto malformed = [&](const char* why) {
        m_strError = "The firmware file " + Quoted(m_strFileName) + " has a malformed record (record " +
                     std::to_string(record + 1) + ", line " + std::to_string(line) + ": " + why + ").";
        return false;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (IsBlank(c)) {
            line += c == '\n';
            ++at;
            continue;
        }
        if (c != ':') return malformed("text outside a record");
        // :LLAAAATT, LL data bytes, checksum; every byte in two hex digits.
        int bytes[4];
        std::size_t p = at + 1;
        for (int i = 0; i < 4; ++i, p += 2) {
            if ((bytes[i] = HexByte(text, p)) < 0) return malformed("not hexadecimal");
        }
        const int length = bytes[0], type = bytes[3];
        int sum = bytes[0] + bytes[1] + bytes[2] + bytes[3];
        for (int i = 0; i <= length; ++i, p += 2) {
            const int value = HexByte(text, p);
            if (value < 0) return malformed("not hexadecimal or cut short");
            sum += value;
        }
        if ((sum & 0xFF) != 0) return malformed("checksum does not match");
        if (type > 5) return malformed("unknown record type");
        if (type == 4 && length != 2) return malformed("extended address not 2 bytes");
        if (type == 1) sawEnd = true;
        at = p;
        ++record;
    }
    if (record == 0) {
        m_strError = "The firmware file " + Quoted(m_strFileName) + " holds no Intel HEX records.";
        return false;
    }
    if (!sawEnd) {
        m_strError = "The firmware file " + Quoted(m_strFileName) + " has no end-of-file record.";
        return false;
    }
    m_nRange = record;  // every ':' starts a record
    return true;
}

bool CUpgradeSession::Prepare(EUpgradeFormat format, const std::string& path) {
    m_bRunning = false;
    m_Format = format;
    m_strFileName = path;
    m_strError.clear();
    m_nPosition = 0;
    m_nSends = 0;

    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        m_strError = "Cannot open the firmware file " + Quoted(path) + ": it is a folder.";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        m_strError = "Cannot open the firmware file " + Quoted(path) + ": " + std::strerror(errno) + ".";
        return false;
    }
    if (format == EUpgradeFormat::Hex) {
        // Every record is read once here, so none can be found broken later.
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (file.bad()) {
            m_strError = "Cannot read the firmware file " + Quoted(path) + ".";
            return false;
        }
        return CheckHexFile(text);
    }

    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (!file || end < 0) {
        m_strError = "Cannot read the firmware file " + Quoted(path) + ".";
        return false;
    }
    const auto size = static_cast<std::uint64_t>(end);
    if (size == 0) {
        m_strError = "The firmware file " + Quoted(path) + " is empty.";
        return false;
    }
    if (size > FW_BIN_MAX_SIZE) {
        m_strError = "The firmware file " + Quoted(path) + " is too large: " + std::to_string(size) +
                     " bytes (at most " + std::to_string(FW_BIN_MAX_SIZE) + ", 256 chunks of 2048).";
        return false;
    }
    m_nFileSize = static_cast<std::uint32_t>(size);
    m_nLastChunk = static_cast<std::uint32_t>((size - 1) / FW_BIN_CHUNK);
    m_nRange = static_cast<std::int32_t>(m_nLastChunk);
    return true;
}

bool CUpgradeSession::SendFirst() {
    m_nSends = 1;
    m_nPosition = 0;
    bool sent = false;
    if (m_Format == EUpgradeFormat::Hex) {
        sent = m_Device.SendHexRecord(m_strFileName, m_nPosition, 0);
    } else {
        m_Device.m_FwFileSize = m_nFileSize;
        m_Device.m_FwLastChunk = m_nLastChunk;
        sent = m_Device.SendBinChunk(m_strFileName, 0);
    }
    m_bRunning = sent;
    if (!sent) m_strError = "Cannot read the firmware file " + Quoted(m_strFileName) + ".";
    return sent;
}

CUpgradeSession::EAnswer CUpgradeSession::Fail(const std::string& error) {
    m_bRunning = false;
    m_strError = error;
    return ANSWER_FAILED;
}

CUpgradeSession::EAnswer CUpgradeSession::Resend() {
    // A module that refuses the same piece every time would be asked for ever.
    if (++m_nSends > FW_MAX_SENDS) {
        const std::string piece = m_Format == EUpgradeFormat::Hex ? "record " : "chunk ";
        return Fail("F/W upgrade stopped: the module refused " + piece + std::to_string(m_Device.m_FwIndex) + " " +
                    std::to_string(FW_MAX_SENDS) + " times.");
    }
    const bool sent = m_Format == EUpgradeFormat::Hex ? m_Device.ResendHexRecord()
                                                      : m_Device.SendBinChunk(m_strFileName, m_Device.m_FwIndex);
    if (!sent) {
        return Fail("F/W upgrade stopped: the firmware file " + Quoted(m_strFileName) + " can no longer be read.");
    }
    return ANSWER_RESENT;
}

CUpgradeSession::EAnswer CUpgradeSession::OnAnswer(const CPacket& answer) {
    if (!m_bRunning) return ANSWER_NONE;
    return m_Format == EUpgradeFormat::Hex ? OnHexAnswer(answer) : OnBinAnswer(answer);
}

CUpgradeSession::EAnswer CUpgradeSession::OnHexAnswer(const CPacket& answer) {
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == 0) {
        if (answer.m_ErrCode != 0) return Resend();
        m_nSends = 1;
        // The record number of the next record is the one the module asks for.
        if (!m_Device.SendHexRecord(m_strFileName, m_nPosition, answer.m_Param2)) {
            return Fail("F/W upgrade stopped: the firmware file " + Quoted(m_strFileName) +
                        " could not be read at record " + std::to_string(answer.m_Param2) + ".");
        }
        return ANSWER_NEXT;
    }
    if (result == RES_SUCCESS) {
        m_bRunning = false;
        return ANSWER_COMPLETE;
    }
    return ANSWER_NONE;
}

CUpgradeSession::EAnswer CUpgradeSession::OnBinAnswer(const CPacket& answer) {
    switch (static_cast<std::int32_t>(answer.m_Param1)) {
        case RES_SUCCESS: {
            const std::uint32_t chunk = answer.m_Param2 >> 8;
            // A late answer to a chunk already re-sent and acknowledged again:
            // acting on it would send the next chunk twice.
            if (chunk != m_Device.m_FwIndex) return ANSWER_NONE;
            if (chunk >= m_nLastChunk) {
                m_bRunning = false;
                return ANSWER_COMPLETE;
            }
            m_nSends = 1;
            if (!m_Device.SendBinChunk(m_strFileName, chunk + 1)) {
                return Fail("F/W upgrade stopped: the firmware file " + Quoted(m_strFileName) +
                            " could not be read at chunk " + std::to_string(chunk + 1) + ".");
            }
            return ANSWER_NEXT;
        }
        case RES_FAIL: return Resend();
        case RES_INVALID_PARAM: m_bRunning = false; return ANSWER_INVALID;
        case RES_CANCELED: m_bRunning = false; return ANSWER_CANCELED;
        default: return ANSWER_NONE;
    }
}
