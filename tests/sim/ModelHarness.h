#pragma once
// Drives a CSimModule in-process on a virtual clock: builds request frames,
// collects and parses the answer frames.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Packet.h"
#include "sim/SimModule.h"

struct SSimAnswer {
    bool mini = false;
    std::shared_ptr<CPacket> packet;  // General answers
    std::uint8_t frame[6] = {};       // Minimized answers
    std::vector<std::uint8_t> raw;
    int baud = 0;
    bool checksumsOk = true;

    std::uint32_t Command() const { return mini ? frame[2] : packet->m_Command; }
    std::uint32_t Result() const { return mini ? frame[3] : packet->m_Param1; }
    std::uint32_t Param2() const { return mini ? frame[4] : packet->m_Param2; }
    std::vector<std::uint8_t> Data() const {
        return std::vector<std::uint8_t>(packet->m_Data, packet->m_Data + packet->m_DataSize);
    }
};

inline SSimAnswer ParseSimFrame(const std::uint8_t* bytes, std::size_t size, int baud) {
    SSimAnswer a;
    a.raw.assign(bytes, bytes + size);
    a.baud = baud;
    if (size == MINI_FRAME_SIZE && bytes[1] == MINI_MARKER) {
        a.mini = true;
        std::memcpy(a.frame, bytes, 6);
        a.checksumsOk = IsMiniChecksumOK(a.frame);
        return a;
    }
    a.packet = std::make_shared<CPacket>();
    CPacket& p = *a.packet;
    p.m_Command = GetBE32(bytes + 1);
    p.m_Param1 = GetBE32(bytes + 5);
    p.m_Param2 = GetBE32(bytes + 9);
    p.m_DataSize = GetBE32(bytes + 13);
    p.m_ErrCode = GetBE32(bytes + 17);
    p.m_HeaderChecksum = GetBE32(bytes + 21);
    a.checksumsOk = p.IsHeaderChecksumOK() && size == p.FrameSize();
    if (p.m_DataSize && size == p.FrameSize()) {
        std::memcpy(p.m_Data, bytes + 25, p.m_DataSize);
        p.m_DataChecksum = GetBE32(bytes + 25 + p.m_DataSize);
        a.checksumsOk = a.checksumsOk && p.IsDataChecksumOK();
    }
    return a;
}

inline std::vector<std::uint8_t> IdField(const std::string& id) {
    std::vector<std::uint8_t> f(ID_FIELD_SIZE, 0);
    std::memcpy(f.data(), id.data(), std::min<std::size_t>(id.size(), 9));
    return f;
}
inline std::vector<std::uint8_t> PasswordField(const std::string& pw) {
    std::vector<std::uint8_t> f(PASSWORD_FIELD_SIZE, 0);
    std::memcpy(f.data(), pw.data(), std::min<std::size_t>(pw.size(), 15));
    return f;
}
inline std::vector<std::uint8_t> IdPasswordFields(const std::string& id, const std::string& pw) {
    std::vector<std::uint8_t> f = IdField(id), p = PasswordField(pw);
    f.insert(f.end(), p.begin(), p.end());
    return f;
}

inline SimOptions FastOptions() {
    SimOptions o;
    o.fingerDelayMs = 0;
    return o;
}

class CModelHarness {
public:
    explicit CModelHarness(const SimOptions& options = FastOptions()) : module(clock, options) {
        module.SetOutput([this](const std::uint8_t* f, std::size_t n, int baud) { answers.push_back(ParseSimFrame(f, n, baud)); });
    }

    static std::vector<std::uint8_t> Frame(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0,
                                           const std::vector<std::uint8_t>& data = {}) {
        auto packet = std::make_unique<CPacket>();
        packet->m_Command = command;
        packet->m_Param1 = p1;
        packet->m_Param2 = p2;
        packet->m_DataSize = static_cast<std::uint32_t>(data.size());
        if (!data.empty()) std::memcpy(packet->m_Data, data.data(), data.size());
        packet->PrepareForSend();
        std::vector<std::uint8_t> bytes(packet->FrameSize());
        packet->Serialize(bytes.data(), bytes.size());
        return bytes;
    }

    // Feeds bytes at the module's own speed and runs what falls due now.
    void Feed(const std::vector<std::uint8_t>& bytes, int baud = 0) {
        module.Receive(bytes.data(), bytes.size(), baud ? baud : module.Baud());
        clock.RunDue();
    }
    void Send(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0,
              const std::vector<std::uint8_t>& data = {}) {
        Feed(Frame(command, p1, p2, data));
    }
    void SendMini(std::uint8_t command, std::uint8_t a1 = 0, std::uint8_t a2 = 0) {
        std::vector<std::uint8_t> f(6);
        BuildMiniFrame(f.data(), command, a1, a2);
        Feed(f);
    }

    // The oldest answer not yet taken; fails the test when there is none.
    SSimAnswer Take() {
        if (answers.empty()) {
            ADD_FAILURE() << "no answer";
            SSimAnswer none;
            none.packet = std::make_shared<CPacket>();
            return none;
        }
        SSimAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    // Sends a request, lets scans finish (virtual time) and takes one answer.
    SSimAnswer Ask(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0,
                   const std::vector<std::uint8_t>& data = {}) {
        Send(command, p1, p2, data);
        Settle();
        EXPECT_EQ(answers.size(), 1u) << "command " << command;
        return Take();
    }
    SSimAnswer AskMini(std::uint8_t command, std::uint8_t a1 = 0, std::uint8_t a2 = 0) {
        SendMini(command, a1, a2);
        Settle();
        EXPECT_EQ(answers.size(), 1u) << "mini command " << int(command);
        return Take();
    }
    // Runs every pending scan to its end (virtual time).
    void Settle() {
        for (int i = 0; i < 10000 && clock.Pending(); ++i) clock.AdvanceToNext();
    }

    void EnterMasterFresh() {
        SSimAnswer a = Ask(CMD_ENTER_MASTER_EX, 3);
        ASSERT_EQ(a.Result(), std::uint32_t(RES_SUCCESS));
    }
    // Two-scan enrolment with the finger currently on the sensor.
    void EnrollEx(const std::string& id, bool master = false, const std::string& password = "") {
        SSimAnswer a = Ask(CMD_ENROLL_EX, master ? 1 : 0, 0, IdPasswordFields(id, password));
        ASSERT_EQ(a.Result(), std::uint32_t(RES_SUCCESS));
        ASSERT_EQ(a.Param2(), 0u);
        a = Ask(CMD_ENROLL_EX, master ? 1 : 0, 1);
        ASSERT_EQ(a.Result(), std::uint32_t(RES_SUCCESS));
    }

    CSimTimerQueue clock;
    CSimModule module;
    std::deque<SSimAnswer> answers;
};
