#pragma once
// The console's memory of the line: the last frames the module client traced
// (requests, re-sends, answers, stale answers, rejected frames, General and
// Minimized), kept whether or not anyone looks at them.
//
// Two rings allocated once: one of fixed-size records (header values, kind,
// times) and one of the frames' bytes as they crossed the wire. Adding a
// frame copies its bytes into the byte ring and fills the next record; it
// allocates nothing. The oldest frames make room: beyond `frames` records,
// or when the bytes of a new frame need the place of old ones (the byte ring
// holds `bytes` bytes, far more than 10,000 image pieces need).
//
// Times: the loop's monotonic clock (the virtual clock in tests) gives the
// time since the link was opened; the absolute time is the wall clock read
// when the link opened plus the monotonic time since then, so it never runs
// backwards within a connection.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/core/MessageLoop.h"
#include "protocol/Trace.h"

constexpr std::size_t TRACE_HISTORY_FRAMES = 10000;
constexpr std::size_t TRACE_HISTORY_BYTES = std::size_t{32} << 20;

struct STraceRecord {
    std::uint64_t number = 0;     // frames traced before this one, plus 1
    std::int64_t sinceOpenUs = 0; // microseconds since the link opened
    std::int64_t wallUs = 0;      // microseconds since 1970-01-01 UTC
    std::uint32_t offset = 0;     // of the bytes in the byte ring
    std::uint32_t size = 0;       // bytes of the frame
    // The header as it crossed the wire. Minimized frames: the command, arg1
    // and arg2; size and error code 0. A rejected General frame shorter than
    // a header: what arrived of it.
    std::uint32_t command = 0;
    std::uint32_t param1 = 0;
    std::uint32_t param2 = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t errCode = 0;
    ETraceKind kind = ETraceKind::Request;
    EFrameForm form = EFrameForm::General;
    EBadFrame bad = EBadFrame::HeaderChecksum;  // rejected frames only
    std::uint8_t send = 0;                      // requests and re-sends: which send (1 the first)

    bool IsReceived() const {
        return kind == ETraceKind::Answer || kind == ETraceKind::Stale || kind == ETraceKind::Rejected;
    }
    bool IsMini() const { return form == EFrameForm::Minimized; }
};

// Told after each frame added and after Clear (on the loop thread).
class ITraceHistoryListener {
public:
    virtual ~ITraceHistoryListener() = default;
    virtual void OnTraceHistoryChanged() = 0;
};

class CTraceHistory : public ITraceSink {
public:
    using WallClock = std::function<std::int64_t()>;  // microseconds since 1970 UTC

    explicit CTraceHistory(const IMessageLoop& clock, std::size_t frames = TRACE_HISTORY_FRAMES,
                           std::size_t bytes = TRACE_HISTORY_BYTES);
    CTraceHistory(const CTraceHistory&) = delete;
    CTraceHistory& operator=(const CTraceHistory&) = delete;

    // The wall clock (the system's by default); read when the link opens.
    void SetWallClock(WallClock clock);
    void SetListener(ITraceHistoryListener* listener) { m_pListener = listener; }

    // ITraceSink
    void OnTrace(const STraceEvent& event) override;
    void OnLinkOpened() override;

    // Frames kept, oldest first.
    std::size_t Size() const { return m_nCount; }
    bool Empty() const { return m_nCount == 0; }
    const STraceRecord& At(std::size_t index) const { return m_Records[(m_nHead + index) % m_nCapacity]; }
    const std::uint8_t* Bytes(const STraceRecord& record) const { return m_Bytes.get() + record.offset; }
    // Frames traced since the history was made (kept or not).
    std::uint64_t Total() const { return m_nTotal; }
    // The number of the oldest frame kept (Total() + 1 when none).
    std::uint64_t FirstNumber() const { return m_nCount ? At(0).number : m_nTotal + 1; }
    // The index of frame number, or Size() when it is not kept.
    std::size_t IndexOf(std::uint64_t number) const;
    std::size_t Capacity() const { return m_nCapacity; }
    std::size_t ByteCapacity() const { return m_nByteCapacity; }

    // Forgets every frame (numbers go on).
    void Clear();

private:
    // Room for size bytes, dropping the oldest frames in the way; the offset.
    std::uint32_t Reserve(std::size_t size);
    void DropOldest();
    STraceRecord& Append();

    const IMessageLoop& m_Clock;
    WallClock m_WallClock;
    ITraceHistoryListener* m_pListener = nullptr;
    std::size_t m_nCapacity;
    std::size_t m_nByteCapacity;
    std::unique_ptr<STraceRecord[]> m_Records;
    std::unique_ptr<std::uint8_t[]> m_Bytes;
    std::size_t m_nHead = 0;   // index of the oldest record
    std::size_t m_nCount = 0;
    std::size_t m_nWrite = 0;  // next free byte
    std::uint64_t m_nTotal = 0;
    std::int64_t m_OpenMonoUs = 0;
    std::int64_t m_OpenWallUs = 0;
};
