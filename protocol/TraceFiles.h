#pragma once
// The kept trace as files: text (one line a frame) and pcapng (one packet a
// frame, readable by Wireshark and tshark with the dissector in
// res/wireshark), and the dissector's tables made from the command catalogue.
//
// Text: a heading line starting with '#', then one line a frame, fields
// separated by tabs:
//   absolute time (UTC, microseconds)  ms since the link opened  SND|RCV
//   kind[:send|:why]  form (GENERAL|MINIMIZED)  command  param1  param2
//   data size  error code  data area in hex (passwords as "**")
// Command and result codes carry their names ("0x60 GET_IMAGE",
// "0x1 SUCCESS"). A rejected frame's kind names why ("REJECTED:DATA_CHECKSUM")
// and its data column holds every byte received.
//
// pcapng: one section, one interface of link type LINKTYPE_USER0 (147) with
// microsecond timestamps, one enhanced packet block a frame: the bytes as
// they crossed the wire, absolute time, the direction in epb_flags (inbound
// 1, outbound 2) and, for re-sends, stale and rejected frames, a comment
// naming the kind ("RESEND 2", "STALE", "REJECTED DATA_CHECKSUM").
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/FileAccess.h"
#include "protocol/TraceHistory.h"

constexpr std::uint16_t PCAPNG_LINKTYPE_USER0 = 147;
constexpr std::uint32_t PCAPNG_EPB_INBOUND = 1;
constexpr std::uint32_t PCAPNG_EPB_OUTBOUND = 2;

enum class ETraceFileFormat { Text, Pcapng };

// Pcapng for a name ending in ".pcapng" (any letter case), else text.
ETraceFileFormat TraceFormatForPath(const std::string& path);

// One line (without its line end) for a frame.
std::string TraceTextLine(const STraceRecord& r, const std::uint8_t* bytes);
// The heading and every kept frame, oldest first, lines ending in '\n'.
std::string TraceText(const CTraceHistory& history);
std::vector<std::uint8_t> TracePcapng(const CTraceHistory& history);

// Writes the kept frames to path in format, whole or not at all (an old file
// stays untouched on failure).
SFileResult SaveTrace(const CTraceHistory& history, const std::string& path, ETraceFileFormat format);

// The command and result tables of the Wireshark dissector, as Lua, made
// from the command catalogue.
std::string WiresharkCatalogueLua();
