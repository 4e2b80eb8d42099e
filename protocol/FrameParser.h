#pragma once
// The receive side of the wire: bytes in, frames out. No timers, no owner,
// no knowledge of requests; the module client feeds it, and so does the
// fuzzer.
//
// A 14-state machine reads General frames (0x7E, five 32-bit header fields,
// header checksum, then data and data checksum when the data size is not 0)
// and Minimized frames (0x7E 0x5A command arg1 arg2 checksum). A 0x7E
// followed by 0x5A is always a Minimized frame. The 32-bit fields are shifted
// in byte by byte (the first byte most significant) and are not cleared
// between frames: four shifts replace the whole previous value. Garbage
// between frames is skipped while looking for 0x7E.
#include <cstddef>
#include <cstdint>

#include "protocol/Packet.h"

// Why a frame was dropped.
enum class EBadFrame : std::uint8_t {
    HeaderChecksum,  // General header checksum wrong (judged first)
    DataChecksum,    // General data checksum wrong
    Oversized,       // General frame announcing more data than a packet holds
    MiniChecksum,    // Minimized checksum wrong
};

class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    // A whole, checked frame. Return false to stop the parser right after it
    // (the bytes behind it are not read in this call).
    virtual bool OnGeneralFrame(const CPacket& frame) = 0;
    virtual bool OnMiniFrame(const std::uint8_t* frame) = 0;  // six bytes
    // A frame dropped for why; bytes are what arrived of it (for an oversized
    // frame: its header).
    virtual bool OnBadFrame(EBadFrame why, const std::uint8_t* bytes, std::size_t size) = 0;
};

class CFrameParser {
public:
    CFrameParser() = default;
    CFrameParser(const CFrameParser&) = delete;
    CFrameParser& operator=(const CFrameParser&) = delete;

    // Feeds count bytes and returns how many were used. Parsing stops right
    // after a General frame without data (accepted or dropped): the bytes
    // behind it are left for the next call. It also stops when the sink asks.
    std::size_t Feed(const std::uint8_t* bytes, std::size_t count, IFrameSink& sink);

    // Back to looking for a start byte (sending a Minimized request does this).
    void Reset() { m_State = RX_START; }
    bool IsIdle() const { return m_State == RX_START; }

private:
    // States, by what the next byte is.
    enum ERxState : int {
        RX_START = 0,            // 0x7E
        RX_COMMAND = 1,          // the rest of the command
        RX_PARAM1 = 2,
        RX_PARAM2 = 3,
        RX_DATA_SIZE = 4,
        RX_ERR_CODE = 5,
        RX_HEADER_CHECKSUM = 6,
        RX_DATA = 7,
        RX_DATA_CHECKSUM = 8,
        RX_SECOND = 9,           // 0x5A (Minimized) or the command's first byte
        RX_MINI_COMMAND = 10,
        RX_MINI_ARG1 = 11,
        RX_MINI_ARG2 = 12,
        RX_MINI_CHECKSUM = 13,
    };

    bool Reject(EBadFrame why, IFrameSink& sink);
    bool RejectMini(std::uint8_t received, IFrameSink& sink);

    CPacket m_Rx;
    int m_State = RX_START;
    std::uint32_t m_Pos = 0;
    std::uint8_t m_Mini[MINI_FRAME_SIZE] = {};
};
