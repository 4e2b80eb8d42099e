#include "sim/SimLog.h"

#include <algorithm>
#include <cstring>

#include "protocol/Packet.h"

CSimLog::CSimLog(std::size_t capacity) : m_Capacity(capacity ? capacity : 1) {}

void CSimLog::Push(SimLogRecord record) {
    record.index = m_NextIndex++;
    m_Records.push_back(std::move(record));
    while (m_Records.size() > m_Capacity) m_Records.pop_front();
}

void CSimLog::AddCommand(std::uint8_t code, const std::string& id, std::uint16_t result) {
    SimLogRecord r;
    r.type = SIM_LOG_TYPE_COMMAND;
    r.code = code;
    r.id = id.substr(0, 9);
    r.result = result;
    Push(std::move(r));
}

void CSimLog::AddError(const std::string& text) {
    SimLogRecord r;
    r.type = SIM_LOG_TYPE_ERROR;
    r.text = text.substr(0, 22);
    Push(std::move(r));
}

void CSimLog::Clear() {
    m_Records.clear();
    m_FirstUnread = m_NextIndex;
}

void CSimLog::MarkReadUpTo(std::uint32_t index) {
    if (index + 1 > m_FirstUnread) m_FirstUnread = index + 1;
}

std::vector<std::size_t> CSimLog::Select(std::uint32_t first, std::uint32_t last) const {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < m_Records.size(); ++i) {
        std::uint32_t index = m_Records[i].index;
        if (index >= first && index <= last) positions.push_back(i);
    }
    return positions;
}

void CSimLog::Serialize(const SimLogRecord& record, std::uint8_t* out) {
    std::memset(out, 0, SIM_LOG_RECORD_SIZE);
    PutBE32(out, record.index);
    out[4] = record.type;
    if (record.type == SIM_LOG_TYPE_COMMAND) {
        out[5] = record.code;
        std::memcpy(out + 6, record.id.data(), std::min<std::size_t>(record.id.size(), 9));
        PutBE16(out + 16, record.result);
    } else {
        std::memcpy(out + 5, record.text.data(), std::min<std::size_t>(record.text.size(), 22));
    }
}
