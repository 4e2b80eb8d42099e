#pragma once
// What the console writes to the module, frame by frame: every write of the
// module client, read back as General requests or Minimized frames.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/PravikView.h"
#include "platform/core/ManualMessageLoop.h"
#include "protocol/Packet.h"

namespace console_test {

struct SWritten {
    bool mini = false;
    std::uint32_t command = 0;
    std::uint32_t param1 = 0, param2 = 0;  // Minimized: the two argument bytes
    std::vector<std::uint8_t> data;        // General data area
};

class CRequestLog {
public:
    explicit CRequestLog(CPravikView& view) {
        view.Client().Channel().m_WriteTap = [this](const std::uint8_t* b, std::size_t n) {
            m_Bytes.insert(m_Bytes.end(), b, b + n);
        };
    }
    // The requests written since the last Take or Clear. A Minimized frame
    // goes out a byte a write, a General one in one write: the bytes are
    // read as one stream.
    std::vector<SWritten> Requests() const {
        std::vector<SWritten> out;
        const std::vector<std::uint8_t>& w = m_Bytes;
        std::size_t at = 0;
        while (at < w.size()) {
            SWritten r;
            const std::size_t left = w.size() - at;
            if (left >= MINI_FRAME_SIZE && w[at] == PACKET_START && w[at + 1] == MINI_MARKER) {
                r.mini = true;
                r.command = w[at + 2];
                r.param1 = w[at + 3];
                r.param2 = w[at + 4];
                at += MINI_FRAME_SIZE;
            } else if (left >= PACKET_HEADER_SIZE && w[at] == PACKET_START) {
                r.command = GetBE32(&w[at + 1]);
                r.param1 = GetBE32(&w[at + 5]);
                r.param2 = GetBE32(&w[at + 9]);
                const std::size_t size = GetBE32(&w[at + 13]);
                const std::size_t frame = PACKET_HEADER_SIZE + (size ? size + 4 : 0);
                if (left < frame) break;
                r.data.assign(w.begin() + static_cast<long>(at + PACKET_HEADER_SIZE),
                              w.begin() + static_cast<long>(at + PACKET_HEADER_SIZE + size));
                at += frame;
            } else {
                r.command = 0xFFFFFFFF;  // not a frame: shows up as a wrong request
                at = w.size();
            }
            out.push_back(std::move(r));
        }
        return out;
    }

    // The requests written since the last Take or Clear, and forgets them.
    std::vector<SWritten> Take() {
        std::vector<SWritten> out = Requests();
        m_Bytes.clear();
        return out;
    }
    std::vector<std::uint32_t> Commands() const {
        std::vector<std::uint32_t> out;
        for (const SWritten& r : Requests()) out.push_back(r.command);
        return out;
    }
    void Clear() { m_Bytes.clear(); }

private:
    std::vector<std::uint8_t> m_Bytes;
};

// The text of a request's text field: up to its zero byte.
inline std::string FieldText(const std::vector<std::uint8_t>& data, std::size_t offset, std::size_t size) {
    std::string text;
    for (std::size_t i = offset; i < offset + size && i < data.size() && data[i]; ++i) text += static_cast<char>(data[i]);
    return text;
}

}  // namespace console_test

// The fingerprint-flow tests know them by this name too.
namespace flow_test {
using console_test::CRequestLog;
using console_test::FieldText;
using console_test::SWritten;
}  // namespace flow_test
