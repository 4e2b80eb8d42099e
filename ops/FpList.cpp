#include "ops/FpList.h"

#include <algorithm>
#include <cstring>

std::vector<CFpList::Record> CFpList::Copy(const std::uint8_t* records, int count) {
    std::vector<Record> out;
    if (!records || count <= 0) return out;
    out.resize(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::memcpy(out[i].data(), records + i * FP_RECORD_SIZE, FP_RECORD_SIZE);
    }
    return out;
}

bool CFpList::Less(const Record& a, const Record& b) {
    for (int k = 0; k < FP_RECORD_SIZE; ++k) {
        const auto x = static_cast<std::int8_t>(a[k]);
        const auto y = static_cast<std::int8_t>(b[k]);
        if (x != y) return x < y;
    }
    return false;
}

void CFpList::Sort(std::vector<Record>& records) { std::sort(records.begin(), records.end(), &CFpList::Less); }

void CFpList::SetFpList(const std::uint8_t* records, int count) {
    m_FpRecords = Copy(records, count);
    Sort(m_FpRecords);
    m_Marks.assign(std::max<std::size_t>(FP_MIN_MARKS, m_FpRecords.size()), 0);
}

void CFpList::SetMasterList(const std::uint8_t* records, int count) { m_MasterRecords = Copy(records, count); }

std::string CFpList::IdText(const Record& record) {
    const auto* text = reinterpret_cast<const char*>(record.data());
    return std::string(text, strnlen(text, FP_RECORD_SIZE - 1));
}

void CFpList::MarkMasters() {
    if (m_MasterRecords.empty()) return;
    for (std::size_t i = 0; i < m_FpRecords.size(); ++i) {
        const std::string id = IdText(m_FpRecords[i]);
        m_Marks[i] = std::any_of(m_MasterRecords.begin(), m_MasterRecords.end(),
                                 [&id](const Record& master) { return IdText(master) == id; })
                         ? 1
                         : 0;
    }
}

bool CFpList::IsMaster(int i) const {
    return i >= 0 && static_cast<std::size_t>(i) < m_Marks.size() && m_Marks[static_cast<std::size_t>(i)] == 1;
}
