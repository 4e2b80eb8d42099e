#pragma once
// Reading a traced frame: names from the command catalogue beside the
// numbers, the data area taken apart by the layout the catalogue gives the
// command, times as text. Used by the trace window and the trace files; the
// texts here are names and values, never sentences.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/TraceHistory.h"

// "0x60 GET_IMAGE"; "0x99" for a code the catalogue does not know.
std::string TraceCommandText(EFrameForm form, std::uint32_t code);
// "0x1 SUCCESS", "0x7 TIMEOUT"; "0x63" for a code without a name.
std::string TraceResultText(std::uint32_t code);
// "0x1f"
std::string TraceHex(std::uint32_t value);

// The row's values as the trace shows them.
std::string TraceCommandCell(const STraceRecord& r);
// The result's name beside it where the frame is an answer whose first
// parameter is a result code (Minimized answers: arg1).
std::string TraceParam1Cell(const STraceRecord& r);
std::string TraceParam2Cell(const STraceRecord& r);
// Empty for Minimized frames (they have no such fields).
std::string TraceDataSizeCell(const STraceRecord& r);
std::string TraceErrCodeCell(const STraceRecord& r);
// "SND" or "RCV".
const char* TraceDirText(const STraceRecord& r);
// "REQUEST", "RESEND", "ANSWER", "STALE", "REJECTED".
const char* TraceKindName(ETraceKind kind);
// "HEADER_CHECKSUM", "DATA_CHECKSUM", "OVERSIZED", "MINI_CHECKSUM".
const char* TraceBadName(EBadFrame bad);

// Milliseconds with three decimals: "1234.567".
std::string TraceMillisText(std::int64_t micros);
// UTC with microseconds: "2026-12-10T15:07:16.123456Z".
std::string TraceWallText(std::int64_t wallMicros);

// A re-send, a stale or rejected frame, a refused checksum (error code), or
// an answer whose result code names a failure.
bool TraceIsFailure(const STraceRecord& r);

// One field of a data area.
struct STraceField {
    std::string name;           // "id", "password", "upper_address", ...
    std::string value;          // the value as text; passwords masked
    std::uint32_t offset = 0;   // in the frame
    std::uint32_t size = 0;     // bytes
    bool secret = false;        // a password: its bytes are not shown
};

// The data area of a General frame by the layout of its command ("data"
// with the byte count when the catalogue has no layout for it). Nothing for
// Minimized frames and frames without data.
std::vector<STraceField> TraceDecodeData(const STraceRecord& r, const std::uint8_t* bytes);

// The frame in hex, 16 bytes a line with the offset in front
// ("0000  7e 00 00 00 60 ..."); bytes of secret fields are shown as "**".
std::string TraceHexDump(const STraceRecord& r, const std::uint8_t* bytes, const std::vector<STraceField>& fields);
// The data area in hex without blanks, secret bytes as "**".
std::string TraceDataHex(const STraceRecord& r, const std::uint8_t* bytes, const std::vector<STraceField>& fields);

// The text mask of a password field.
constexpr const char* TRACE_MASK = "********";
