#pragma once
// The module's event log as read by the console: up to 1280 records of 28
// bytes, kept in the order they arrived. The main form fills it from the log
// answers and the log window writes it to a text file. It outlives the log
// window and knows nothing of the user interface.
//
// Record (28 bytes): index (big-endian 32-bit), type (0 command, 1 error);
// command: code (0..10), ID text (10 bytes, NUL-terminated), result
// (big-endian 16-bit), 10 unused bytes; error: text (23 bytes,
// NUL-terminated).
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t LOG_RECORD_SIZE = 28;
constexpr std::size_t LOG_MAX_RECORDS = 1280;

constexpr std::uint8_t LOG_TYPE_COMMAND = 0;
constexpr std::uint8_t LOG_TYPE_ERROR = 1;
constexpr std::uint8_t LOG_LAST_COMMAND_CODE = 10;

class CLogData {
public:
    // Empties the store and rewinds the read cursor.
    void Clear();
    // Copies count records of 28 bytes behind the stored ones. A block that
    // does not fit whole is refused (false) and the store stays as it was.
    bool Append(const std::uint8_t* records, std::size_t count);

    // The line of the first record, and moves the cursor behind it; false
    // when the store is empty.
    bool GetFirst(std::string& line);
    // The line of the record at the cursor, and moves the cursor on; false
    // past the last record.
    bool GetNext(std::string& line);

    std::size_t Count() const { return m_nCount; }
    std::size_t Room() const { return LOG_MAX_RECORDS - m_nCount; }
    const std::uint8_t* Record(std::size_t position) const { return m_Records[position]; }

    // One line of the log text (without a line end):
    //   "0x%-8X\t" index, then
    //   command: "COMMAND\t", the name column of codes 0..10, the ID as
    //            "%11s \t" and the result as "\t%u" (nothing more for a code
    //            above 10);
    //   error and any other type: "ERROR \t" and at most 22 characters of text.
    // The ID and the text end at their field's last byte even when the record
    // has no terminator there.
    static std::string FormatRecord(const std::uint8_t* record);

private:
    std::size_t m_nCount = 0;
    std::size_t m_nCursor = 0;
    std::uint8_t m_Records[LOG_MAX_RECORDS][LOG_RECORD_SIZE] = {};
};
