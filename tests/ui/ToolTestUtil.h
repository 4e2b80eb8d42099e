#pragma once
// Helpers for the tool-window tests: the General requests the console writes
// (seen through the channel's write tap, port open or not), records put into
// the simulated module, and answers delivered straight to the form.
#include <memory>
#include <vector>

#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"

namespace console_test {

struct SRequest {
    std::uint32_t command;
    std::uint32_t param1;
    std::uint32_t param2;
    std::vector<std::uint8_t> data;
};

// Every General frame the packet manager writes, in order.
class CRequestLog {
public:
    explicit CRequestLog(CPravikView& view) {
        view.m_PacketManager.m_Comm.m_WriteTap = [this](const std::uint8_t* b, std::size_t n) {
            m_Bytes.insert(m_Bytes.end(), b, b + n);
        };
    }
    std::vector<SRequest> Requests() const {
        std::vector<SRequest> out;
        std::size_t at = 0;
        while (m_Bytes.size() - at >= PACKET_HEADER_SIZE && m_Bytes[at] == PACKET_START) {
            const std::uint8_t* h = &m_Bytes[at];
            const std::uint32_t size = GetBE32(h + 13);
            const std::size_t frame = PACKET_HEADER_SIZE + (size ? size + 4 : 0);
            if (m_Bytes.size() - at < frame) break;
            out.push_back({GetBE32(h + 1), GetBE32(h + 5), GetBE32(h + 9),
                           std::vector<std::uint8_t>(h + PACKET_HEADER_SIZE, h + PACKET_HEADER_SIZE + size)});
            at += frame;
        }
        return out;
    }
    std::vector<std::uint32_t> Commands() const {
        std::vector<std::uint32_t> out;
        for (const SRequest& r : Requests()) out.push_back(r.command);
        return out;
    }
    void Clear() { m_Bytes.clear(); }

private:
    std::vector<std::uint8_t> m_Bytes;
};

inline void AddRecords(CConsole& console, const std::vector<SimRecord>& records) {
    console.App().Simulator()->RunLocked([&](CSimModule& m) {
        for (const SimRecord& r : records) m.AddRecord(r);
    });
}

// A General answer delivered to the form as the packet manager delivers it.
inline void Deliver(CConsole& console, UINT notification, std::uint32_t result, std::uint32_t param2 = 0,
                    const std::vector<std::uint8_t>& data = {}) {
    auto packet = std::make_unique<CPacket>();
    packet->m_Param1 = result;
    packet->m_Param2 = param2;
    packet->m_DataSize = static_cast<std::uint32_t>(data.size());
    std::copy(data.begin(), data.end(), packet->m_Data);
    console.Send(notification, reinterpret_cast<WPARAM>(packet.get()));
}

// ID fields of 10 bytes each, optionally behind the 4 bytes of the newer form.
inline std::vector<std::uint8_t> IdFields(const std::vector<std::string>& ids, bool newer = false) {
    std::vector<std::uint8_t> data(newer ? 4 : 0, 0);
    for (const std::string& id : ids) {
        std::uint8_t field[ID_FIELD_SIZE] = {};
        std::copy_n(id.begin(), std::min<std::size_t>(id.size(), ID_FIELD_SIZE), field);
        data.insert(data.end(), field, field + ID_FIELD_SIZE);
    }
    return data;
}

}  // namespace console_test
