#include "protocol/TraceHistory.h"

#include <chrono>
#include <cstring>

namespace {

std::int64_t SystemWallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CTraceHistory::CTraceHistory(const IMessageLoop& clock, std::size_t frames, std::size_t bytes)
    : m_Clock(clock),
      m_WallClock(SystemWallMicros),
      m_nCapacity(frames ? frames : 1),
      m_nByteCapacity(bytes < PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4 ? PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4
                                                                         : bytes),
      m_Records(new STraceRecord[m_nCapacity]),
      // Not value-initialised: pages the trace never reaches are never touched.
      m_Bytes(new std::uint8_t[m_nByteCapacity]) {
    OnLinkOpened();
}

void CTraceHistory::SetWallClock(WallClock clock) {
    m_WallClock = clock ? std::move(clock) : WallClock(SystemWallMicros);
    OnLinkOpened();
}

void CTraceHistory::OnLinkOpened() {
    m_OpenMonoUs = m_Clock.NowMicros();
    m_OpenWallUs = m_WallClock();
}

void CTraceHistory::Clear() {
    m_nHead = m_nCount = m_nWrite = 0;
    if (m_pListener) m_pListener->OnTraceHistoryChanged();
}

std::size_t CTraceHistory::IndexOf(std::uint64_t number) const {
    const std::uint64_t first = FirstNumber();
    if (number < first || number - first >= m_nCount) return m_nCount;
    return static_cast<std::size_t>(number - first);
}

void CTraceHistory::DropOldest() {
    m_nHead = (m_nHead + 1) % m_nCapacity;
    --m_nCount;
}

std::uint32_t CTraceHistory::Reserve(std::size_t size) {
    if (m_nWrite + size > m_nByteCapacity) {
        // The tail of the ring is skipped: the frames still there are the
        // oldest of all (the last lap's), and go first.
        while (m_nCount && At(0).offset >= m_nWrite) DropOldest();
        m_nWrite = 0;
    }
    // Frames of the last lap that lie where the new bytes go.
    while (m_nCount) {
        const STraceRecord& oldest = At(0);
        if (oldest.offset >= m_nWrite + size || oldest.offset + oldest.size <= m_nWrite) break;
        DropOldest();
    }
    const std::size_t at = m_nWrite;
    m_nWrite += size;
    return static_cast<std::uint32_t>(at);
}

STraceRecord& CTraceHistory::Append() {
    if (m_nCount == m_nCapacity) DropOldest();
    STraceRecord& r = m_Records[(m_nHead + m_nCount) % m_nCapacity];
    ++m_nCount;
    return r;
}

void CTraceHistory::OnTrace(const STraceEvent& event) {
    // The bytes first: making room may drop old records.
    std::size_t size = 0;
    if (event.packet && !event.bytes) {
        size = event.packet->FrameSize();
    } else {
        size = event.size;
    }
    if (size > PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4) size = PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4;
    const std::uint32_t offset = Reserve(size);
    std::uint8_t* at = m_Bytes.get() + offset;
    if (event.packet && !event.bytes) {
        size = event.packet->Serialize(at, size);
    } else if (size) {
        std::memcpy(at, event.bytes, size);
    }

    STraceRecord& r = Append();
    const std::int64_t mono = m_Clock.NowMicros();
    r.number = ++m_nTotal;
    r.sinceOpenUs = mono - m_OpenMonoUs;
    r.wallUs = m_OpenWallUs + r.sinceOpenUs;
    r.offset = offset;
    r.size = static_cast<std::uint32_t>(size);
    r.kind = event.kind;
    r.form = event.form;
    r.bad = event.bad;
    r.send = static_cast<std::uint8_t>(event.send < 0 ? 0 : event.send > 255 ? 255 : event.send);
    if (event.form == EFrameForm::Minimized) {
        r.command = size > 2 ? at[2] : 0;
        r.param1 = size > 3 ? at[3] : 0;
        r.param2 = size > 4 ? at[4] : 0;
        r.dataSize = r.errCode = 0;
    } else if (event.packet && !event.bytes) {
        const CPacket& p = *event.packet;
        r.command = p.m_Command;
        r.param1 = p.m_Param1;
        r.param2 = p.m_Param2;
        r.dataSize = p.m_DataSize;
        r.errCode = p.m_ErrCode;
    } else {
        // A rejected General frame: the header as it arrived.
        std::uint32_t* fields[] = {&r.command, &r.param1, &r.param2, &r.dataSize, &r.errCode};
        for (std::size_t i = 0; i < 5; ++i) *fields[i] = size >= 5 + 4 * i ? GetBE32(at + 1 + 4 * i) : 0;
    }
    if (m_pListener) m_pListener->OnTraceHistoryChanged();
}
