#include "protocol/UpgradeSession.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "protocol/HexDigit.h"
#include "protocol/ModuleClient.h"

namespace {

// One byte from two hexadecimal characters at text[at]; -1 when there are not two.
int HexByte(const std::string& text, std::size_t at) {
    if (at + 1 >= text.size()) return -1;
    const int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

SUpgradeError CUpgradeSession::MakeError(SUpgradeError::ECode code) const {
    SUpgradeError e;
    e.code = code;
    e.format = m_Format;
    e.path = m_strFileName;
    return e;
}

bool CUpgradeSession::CheckHexFile(const std::string& text) {
    std::size_t at = 0;
    int record = 0, line = 1;
    bool sawEnd = false;
    auto malformed = [&](EHexFault fault) {
        m_Error = MakeError(SUpgradeError::MALFORMED);
        m_Error.piece = static_cast<std::uint32_t>(record + 1);
        m_Error.line = line;
        m_Error.fault = fault;
        return false;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (IsBlank(c)) {
            line += c == '\n';
            ++at;
            continue;
        }
        if (c != ':') return malformed(EHexFault::OutsideRecord);
        // :LLAAAATT, LL data bytes, checksum; every byte in two hex digits.
        int bytes[4];
        std::size_t p = at + 1;
        for (int i = 0; i < 4; ++i, p += 2) {
            if ((bytes[i] = HexByte(text, p)) < 0) return malformed(EHexFault::NotHex);
        }
        const int length = bytes[0], type = bytes[3];
        int sum = bytes[0] + bytes[1] + bytes[2] + bytes[3];
        for (int i = 0; i <= length; ++i, p += 2) {
            const int value = HexByte(text, p);
            if (value < 0) return malformed(EHexFault::CutShort);
            sum += value;
        }
        if ((sum & 0xFF) != 0) return malformed(EHexFault::Checksum);
        if (type > 5) return malformed(EHexFault::UnknownType);
        if (type == 4 && length != 2) return malformed(EHexFault::BadExtendedAddress);
        if (type == 1) sawEnd = true;
        at = p;
        ++record;
    }
    if (record == 0) {
        m_Error = MakeError(SUpgradeError::NO_RECORDS);
        return false;
    }
    if (!sawEnd) {
        m_Error = MakeError(SUpgradeError::NO_END_RECORD);
        return false;
    }
    m_nRange = record;  // every ':' starts a record
    return true;
}

bool CUpgradeSession::Prepare(EUpgradeFormat format, const std::string& path) {
    m_bRunning = false;
    m_Format = format;
    m_strFileName = path;
    m_Error = SUpgradeError{};
    m_nPosition = 0;
    m_nSends = 0;

    // Judged from the file's metadata: a device, a pipe or a huge file is
    // refused before a single byte is read.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        m_Error = MakeError(SUpgradeError::CANNOT_OPEN);
        m_Error.systemError = errno;
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_Error = MakeError(SUpgradeError::IS_FOLDER);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_Error = MakeError(SUpgradeError::NOT_A_FILE);
        m_Error.fileMode = static_cast<std::uint32_t>(info.st_mode);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t limit = format == EUpgradeFormat::Hex ? FW_HEX_MAX_FILE : FW_BIN_MAX_SIZE;
    if (size > limit) {
        m_Error = MakeError(SUpgradeError::TOO_LARGE);
        m_Error.size = size;
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        m_Error = MakeError(SUpgradeError::CANNOT_OPEN);
        m_Error.systemError = errno;
        return false;
    }
    if (format == EUpgradeFormat::Hex) {
        // Every record is read once here, so none can be found broken later.
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (file.bad()) {
            m_Error = MakeError(SUpgradeError::CANNOT_READ);
            return false;
        }
        return CheckHexFile(text);
    }
    if (size == 0) {
        m_Error = MakeError(SUpgradeError::EMPTY);
        return false;
    }
    m_nFileSize = static_cast<std::uint32_t>(size);
    m_nLastChunk = static_cast<std::uint32_t>((size - 1) / FW_BIN_CHUNK);
    m_nRange = static_cast<std::int32_t>(m_nLastChunk);
    return true;
}

bool CUpgradeSession::SendPiece(std::uint32_t piece, bool resend) {
    SRequest request;
    bool read = false;
    if (m_Format == EUpgradeFormat::Hex) {
        // A record sent again is read again from where it was found.
        std::uint32_t position = resend ? m_nPiecePosition : m_nPosition;
        const std::uint32_t start = position;
        read = m_Transfer.HexRecord(m_strFileName, position, piece, request);
        if (read) {
            m_nPiecePosition = start;
            m_nPosition = position;
        }
    } else {
        read = m_Transfer.BinChunk(m_strFileName, m_nFileSize, m_nLastChunk, piece, request);
    }
    if (!read) {
        m_Error = MakeError(resend ? SUpgradeError::FILE_GONE : SUpgradeError::UNREADABLE_AT);
        m_Error.piece = piece;
        return false;
    }
    m_nPiece = piece;
    if (m_Client.Send(m_Requester, std::move(request), &m_nExchange) != ESendResult::Sent) {
        m_Error = MakeError(SUpgradeError::NOT_SENT);
        m_Error.piece = piece;
        return false;
    }
    return true;
}

bool CUpgradeSession::SendFirst() {
    m_nSends = 1;
    m_nPosition = 0;
    m_bRunning = SendPiece(0, false);
    // The first piece unreadable: the file is, as far as the operator knows.
    if (!m_bRunning && m_Error.code == SUpgradeError::UNREADABLE_AT) m_Error = MakeError(SUpgradeError::CANNOT_READ);
    return m_bRunning;
}

void CUpgradeSession::End() {
    if (m_bRunning) m_Client.Abandon(m_Requester, m_Format == EUpgradeFormat::Hex ? CMD_UPGRADE_HEX : CMD_UPGRADE_BIN);
    m_bRunning = false;
}

CUpgradeSession::EAnswer CUpgradeSession::Fail(SUpgradeError::ECode code, std::uint32_t piece, std::int32_t result) {
    m_bRunning = false;
    m_Error = MakeError(code);
    m_Error.piece = piece;
    m_Error.result = result;
    return ANSWER_FAILED;
}

CUpgradeSession::EAnswer CUpgradeSession::Resend() {
    // A module that refuses the same piece every time would be asked for ever.
    if (++m_nSends > FW_MAX_SENDS) return Fail(SUpgradeError::REFUSED_TOO_OFTEN, m_nPiece);
    if (!SendPiece(m_nPiece, true)) {
        m_bRunning = false;
        return ANSWER_FAILED;
    }
    return ANSWER_RESENT;
}

CUpgradeSession::EAnswer CUpgradeSession::OnReply(const CReply& reply) {
    // Only the reply to the piece under way moves the upgrade.
    if (!m_bRunning || reply.Id() != m_nExchange) return ANSWER_NONE;
    switch (reply.End()) {
        case EExchangeEnd::Answered: break;
        case EExchangeEnd::TimedOut:
        case EExchangeEnd::ChecksumRefused:
            m_bRunning = false;
            return ANSWER_LOST;
        case EExchangeEnd::LinkClosed:
        case EExchangeEnd::Superseded:
            m_bRunning = false;
            return ANSWER_NONE;
    }
    return m_Format == EUpgradeFormat::Hex ? OnHexAnswer(reply) : OnBinAnswer(reply);
}

CUpgradeSession::EAnswer CUpgradeSession::OnHexAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == 0) {
        if (answer.m_ErrCode != 0) return Resend();
        m_nSends = 1;
        // The record number of the next record is the one the module asks for.
        if (!SendPiece(answer.m_Param2, false)) {
            m_bRunning = false;
            return ANSWER_FAILED;
        }
        return ANSWER_NEXT;
    }
    if (result == RES_SUCCESS) {
        m_bRunning = false;
        return ANSWER_COMPLETE;
    }
    // Nothing more would come: the record was refused.
    return Fail(SUpgradeError::PIECE_REFUSED, m_nPiece, result);
}

CUpgradeSession::EAnswer CUpgradeSession::OnBinAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    switch (result) {
        case RES_SUCCESS: {
            // The client matched the chunk number: this is the chunk under way.
            if (m_nPiece >= m_nLastChunk) {
                m_bRunning = false;
                return ANSWER_COMPLETE;
            }
            m_nSends = 1;
            if (!SendPiece(m_nPiece + 1, false)) {
                m_bRunning = false;
                return ANSWER_FAILED;
            }
            return ANSWER_NEXT;
        }
        case RES_FAIL: return Resend();
        case RES_INVALID_PARAM: m_bRunning = false; return ANSWER_INVALID;
        case RES_CANCELED: m_bRunning = false; return ANSWER_CANCELED;
        default:
            // Nothing more would come: the chunk was refused.
            return Fail(SUpgradeError::PIECE_REFUSED, m_nPiece, result);
    }
}
