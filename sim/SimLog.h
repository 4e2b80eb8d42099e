#pragma once
// The simulated module's event log: one record for each fingerprint command
// carried out and for each error met, in the 28-byte wire layout the console
// reads with CMD_GET_LOG and CMD_GET_LOG_EX.
//
// Record (28 bytes): index (big-endian 32-bit, counts up from 1 and is never
// reused), type (0 command, 1 error); command: code, ID field (10 bytes),
// result (big-endian 16-bit), 10 zero bytes; error: 23 bytes of text with its
// terminator.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

constexpr std::size_t SIM_LOG_RECORD_SIZE = 28;
// The block number that asks for the last block of the log.
constexpr std::uint32_t SIM_LOG_LAST_BLOCK = 0xFFFF;

// Command codes of command records (the console names them).
enum : std::uint8_t {
    SIM_LOG_ENROLL = 0,
    SIM_LOG_DELETE = 1,
    SIM_LOG_VERIFY = 2,
    SIM_LOG_IDENTIFY = 3,
    SIM_LOG_MIN_VERIFY = 4,
    SIM_LOG_MIN_IDENTIFY = 5,
    SIM_LOG_INSTANT_MATCH = 6,
    SIM_LOG_ENTER_MASTER = 7,
    SIM_LOG_SET_MASTER = 8,
    SIM_LOG_RESET_MASTER = 9,
    SIM_LOG_DELETE_ALL = 10,
};
constexpr std::uint8_t SIM_LOG_TYPE_COMMAND = 0;
constexpr std::uint8_t SIM_LOG_TYPE_ERROR = 1;

struct SimLogRecord {
    std::uint32_t index = 0;
    std::uint8_t type = SIM_LOG_TYPE_COMMAND;
    std::uint8_t code = 0;
    std::string id;        // command records, at most 9 characters
    std::uint16_t result = 0;
    std::string text;      // error records, at most 22 characters
};

class CSimLog {
public:
    explicit CSimLog(std::size_t capacity);

    void AddCommand(std::uint8_t code, const std::string& id, std::uint16_t result);
    void AddError(const std::string& text);
    void Clear();

    std::size_t Count() const { return m_Records.size(); }
    // 0 is the oldest record kept.
    const SimLogRecord& At(std::size_t position) const { return m_Records[position]; }
    std::uint32_t NextIndex() const { return m_NextIndex; }

    // Records not yet read by an "oldest unread" kind of search: those whose
    // index is at least FirstUnread().
    std::uint32_t FirstUnread() const { return m_FirstUnread; }
    void MarkReadUpTo(std::uint32_t index);  // index and everything before it

    // Positions (0 = oldest) of the records whose index lies in [first, last].
    std::vector<std::size_t> Select(std::uint32_t first, std::uint32_t last) const;

    static void Serialize(const SimLogRecord& record, std::uint8_t* out);

private:
    void Push(SimLogRecord record);

    std::size_t m_Capacity;
    std::deque<SimLogRecord> m_Records;
    std::uint32_t m_NextIndex = 1;
    std::uint32_t m_FirstUnread = 1;
};
