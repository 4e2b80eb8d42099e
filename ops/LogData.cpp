#include "ops/LogData.h"

#include <cstdio>
#include <cstring>

namespace {

// The name column of each command code: padded to 19 characters and a tab.
const char* const kCommandNames[LOG_LAST_COMMAND_CODE + 1] = {
    "Enrollment         \t", "Delete Record      \t", "Verification       \t", "Identification     \t",
    "Min Verification   \t", "Min Identification \t", "Instant Matching   \t", "Enter Master Mode  \t",
    "Set Master         \t", "Reset Master       \t", "Delete All         \t",
};

constexpr std::size_t kIdOffset = 6, kIdSize = 10;
constexpr std::size_t kResultOffset = 16;
constexpr std::size_t kTextOffset = 5, kTextSize = 23;

// The text of a NUL-terminated field, at most size - 1 characters.
std::string FieldText(const std::uint8_t* field, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size - 1));
}

}  // namespace

void CLogData::Clear() {
    m_nCount = 0;
    m_nCursor = 0;
}

bool CLogData::Append(const std::uint8_t* records, std::size_t count) {
    if (count > Room()) return false;
    if (count) std::memcpy(m_Records[m_nCount], records, count * LOG_RECORD_SIZE);
    m_nCount += count;
    return true;
}

bool CLogData::GetFirst(std::string& line) {
    if (m_nCount == 0) return false;
    line = FormatRecord(m_Records[0]);
    m_nCursor = 1;
    return true;
}

bool CLogData::GetNext(std::string& line) {
    if (m_nCursor >= m_nCount) return false;
    line = FormatRecord(m_Records[m_nCursor++]);
    return true;
}

std::string CLogData::FormatRecord(const std::uint8_t* record) {
    const std::uint32_t index = (std::uint32_t{record[0]} << 24) | (std::uint32_t{record[1]} << 16) |
                                (std::uint32_t{record[2]} << 8) | record[3];
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "0x%-8X\t", index);
    std::string line = buffer;
    if (record[4] == LOG_TYPE_COMMAND) {
        line += "COMMAND\t";
        const std::uint8_t code = record[5];
        if (code > LOG_LAST_COMMAND_CODE) return line;
        line += kCommandNames[code];
        std::snprintf(buffer, sizeof buffer, "%11s \t", FieldText(record + kIdOffset, kIdSize).c_str());
        line += buffer;
        // The result is an unsigned 16-bit value.
        const unsigned result = (unsigned{record[kResultOffset]} << 8) | record[kResultOffset + 1];
        std::snprintf(buffer, sizeof buffer, "\t%u", result);
        line += buffer;
        return line;
    }
    // Error records, and records of an unknown type read the same way.
    line += "ERROR \t";
    line += FieldText(record + kTextOffset, kTextSize);
    return line;
}
