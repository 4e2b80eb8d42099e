#pragma once
// Reading the firmware image one piece at a time into requests: Intel HEX
// records (CMD_UPGRADE_HEX, for "ZEL12" boards) and 2048-byte chunks of a raw
// image (CMD_UPGRADE_BIN, for the other boards). The file is opened anew for
// every piece, so nothing stays open between requests.
//
// A HEX record goes out as: m_Param1 1 for the end-of-file record, else 0;
// m_Param2 the record number; data: the upper address (big-endian 32-bit),
// the load address (32-bit), the length LL (16-bit), then LL data bytes.
// A BIN chunk: m_Param2 = chunk * 256 + last chunk; data: the file size
// (32-bit), then 2048 file bytes (zeros past the end of the file).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "protocol/Requests.h"

constexpr std::size_t FW_BIN_CHUNK = 2048;
constexpr std::size_t FW_HEX_MAX_RECORD = 255;

class CFirmwareTransfer {
public:
    // Reads the Intel HEX record at or after position (skipping line ends,
    // blanks and what is left of the record before), advances position past
    // what it consumed and builds its request with the record number. False
    // when the file cannot be read or the record is broken; then nothing
    // changes.
    bool HexRecord(const std::string& fileName, std::uint32_t& position, std::uint32_t record, SRequest& out);
    // Builds chunk n of a raw image of fileSize bytes whose last chunk is
    // lastChunk. False when the file cannot be read.
    bool BinChunk(const std::string& fileName, std::uint32_t fileSize, std::uint32_t lastChunk, std::uint32_t chunk,
                  SRequest& out);

    // Upper address of the last extended-linear-address record (type 04). It
    // carries into the next upgrade, as the module expects: 0 at the start,
    // then changed only by a type 04 record.
    std::uint32_t UpperAddress() const { return m_UpperAddress; }

    // Opens the file for one piece (fopen "rb"); a fuzzer or a test hands in
    // a stream of its own.
    std::function<std::FILE*(const std::string&)> m_Open;

private:
    std::FILE* OpenFile(const std::string& fileName) const;
    std::uint32_t m_UpperAddress = 0;
};
