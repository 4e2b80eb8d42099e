#include "protocol/FrameParser.h"

#include <cstring>
#include <vector>

bool CFrameParser::Reject(EBadFrame why, IFrameSink& sink) {
    // The frame as it arrived: the fields were shifted in from the wire, so
    // writing them out again gives back the bytes received.
    const bool withData = why != EBadFrame::Oversized && m_Rx.m_DataSize > 0;
    std::vector<std::uint8_t> bytes(withData ? m_Rx.m_DataSize + PACKET_HEADER_SIZE + 4 : PACKET_HEADER_SIZE);
    bytes[0] = PACKET_START;
    const std::uint32_t header[] = {m_Rx.m_Command,  m_Rx.m_Param1,  m_Rx.m_Param2,
                                    m_Rx.m_DataSize, m_Rx.m_ErrCode, m_Rx.m_HeaderChecksum};
    for (std::size_t i = 0; i < 6; ++i) PutBE32(&bytes[1 + 4 * i], header[i]);
    if (withData) {
        std::memcpy(&bytes[PACKET_HEADER_SIZE], m_Rx.m_Data, m_Rx.m_DataSize);
        PutBE32(&bytes[PACKET_HEADER_SIZE + m_Rx.m_DataSize], m_Rx.m_DataChecksum);
    }
    return sink.OnBadFrame(why, bytes.data(), bytes.size());
}

bool CFrameParser::RejectMini(std::uint8_t received, IFrameSink& sink) {
    std::uint8_t bytes[MINI_FRAME_SIZE];
    std::memcpy(bytes, m_Mini, MINI_FRAME_SIZE);
    bytes[5] = received;
    return sink.OnBadFrame(EBadFrame::MiniChecksum, bytes, MINI_FRAME_SIZE);
}

std::size_t CFrameParser::Feed(const std::uint8_t* bytes, std::size_t count, IFrameSink& sink) {
    CPacket& rx = m_Rx;
    std::size_t i = 0;
    while (i < count) {
        const std::uint8_t b = bytes[i];
        switch (m_State) {
            case RX_START:
                ++i;
                if (b == PACKET_START) {
                    m_Pos = 0;
                    m_State = RX_SECOND;
                }
                break;
            case RX_SECOND:
                ++i;
                if (b == MINI_MARKER) {
                    m_Mini[0] = PACKET_START;
                    m_Mini[1] = MINI_MARKER;
                    m_State = RX_MINI_COMMAND;
                } else {
                    rx.m_Command = (rx.m_Command << 8) | b;
                    m_Pos = 1;
                    m_State = RX_COMMAND;
                }
                break;
            case RX_COMMAND:
            case RX_PARAM1:
            case RX_PARAM2:
            case RX_DATA_SIZE:
            case RX_ERR_CODE: {
                ++i;
                std::uint32_t* field[] = {&rx.m_Command, &rx.m_Param1, &rx.m_Param2, &rx.m_DataSize, &rx.m_ErrCode};
                std::uint32_t& f = *field[m_State - RX_COMMAND];
                f = (f << 8) | b;
                if (++m_Pos == 4) {
                    m_Pos = 0;
                    ++m_State;
                }
                break;
            }
            case RX_HEADER_CHECKSUM:
                ++i;
                rx.m_HeaderChecksum = (rx.m_HeaderChecksum << 8) | b;
                if (++m_Pos == 4) {
                    m_Pos = 0;
                    if (rx.m_DataSize > PACKET_DATA_SIZE) {
                        // Cannot be held: dropped now, and the next frame looked for.
                        m_State = RX_START;
                        if (!Reject(EBadFrame::Oversized, sink)) return i;
                    } else if (rx.m_DataSize > 0) {
                        m_State = RX_DATA;
                    } else {
                        m_State = RX_START;
                        if (rx.IsHeaderChecksumOK()) {
                            sink.OnGeneralFrame(rx);
                        } else {
                            Reject(EBadFrame::HeaderChecksum, sink);
                        }
                        // The bytes behind a data-less frame wait for the next call.
                        return i;
                    }
                }
                break;
            case RX_DATA: {
                const std::size_t want = rx.m_DataSize - m_Pos;
                const std::size_t take = count - i < want ? count - i : want;
                std::memcpy(rx.m_Data + m_Pos, bytes + i, take);
                i += take;
                m_Pos += static_cast<std::uint32_t>(take);
                if (m_Pos == rx.m_DataSize) {
                    m_Pos = 0;
                    m_State = RX_DATA_CHECKSUM;
                }
                break;
            }
            case RX_DATA_CHECKSUM:
                ++i;
                rx.m_DataChecksum = (rx.m_DataChecksum << 8) | b;
                if (++m_Pos == 4) {
                    m_Pos = 0;
                    m_State = RX_START;
                    bool go = true;
                    if (!rx.IsHeaderChecksumOK()) {
                        go = Reject(EBadFrame::HeaderChecksum, sink);
                    } else if (!rx.IsDataChecksumOK()) {
                        go = Reject(EBadFrame::DataChecksum, sink);
                    } else {
                        go = sink.OnGeneralFrame(rx);
                    }
                    if (!go) return i;
                }
                break;
            case RX_MINI_COMMAND:
            case RX_MINI_ARG1:
            case RX_MINI_ARG2:
                ++i;
                m_Mini[m_State - RX_MINI_COMMAND + 2] = b;
                ++m_State;
                break;
            case RX_MINI_CHECKSUM: {
                ++i;
                m_State = RX_START;
                MakeMiniChecksum(m_Mini);
                const bool go = m_Mini[5] == b ? sink.OnMiniFrame(m_Mini) : RejectMini(b, sink);
                if (!go) return i;
                break;
            }
            default:  // cannot happen; resynchronise
                ++i;
                m_State = RX_START;
                break;
        }
    }
    return i;
}
