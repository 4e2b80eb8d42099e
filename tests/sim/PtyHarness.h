#pragma once
// The console's real packet manager and serial channel talking to the simulated module over a
// pseudo-terminal; the manual loop pumps the watch thread's messages and runs the re-send timer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"
#include "sim/SimPty.h"

struct SViewMessage {
    std::shared_ptr<CPacket> packet = std::make_shared<CPacket>();  // General answers
    std::vector<std::uint8_t> mini;                                  // Minimized answers

    std::uint32_t Result() const { return mini.empty() ? packet->m_Param1 : mini[3]; }
    std::uint32_t Param2() const { return mini.empty() ? packet->m_Param2 : mini[4]; }
    std::pair<std::uint32_t, std::uint32_t> Both() const { return {Result(), Param2()}; }
    std::vector<std::uint8_t> Data() const { return {packet->m_Data, packet->m_Data + packet->m_DataSize}; }
    std::string Text(std::size_t at = 0) const {  // an ID field or other text in the data
        const char* s = reinterpret_cast<const char*>(packet->m_Data + at);
        return std::string(s, strnlen(s, packet->m_DataSize - at));
    }
};

// Options for a module of the given type (0 "ZEL12" .. 3 "QOR10-LV").
inline SimOptions Board(int type, std::uint16_t firmware = 0x0105, int baud = 115200) {
    SimOptions o;
    std::tie(o.type, o.firmware, o.baud) = std::tie(type, firmware, baud);
    return o;
}

// Stands in for the main form: keeps every notification, by message.
class CSimTestView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::map<UINT, std::vector<SViewMessage>> got;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        SViewMessage m;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
        if (msg >= WM_RX_CONNECT && msg <= WM_RX_CHECK_VOLTAGE)
            m.packet->CopyUsedFrom(*reinterpret_cast<const CPacket*>(wParam));
        else if (msg >= WM_RX_MINI_CONNECT && msg <= WM_RX_MINI_STATUS)
            m.mini.assign(bytes, bytes + MINI_FRAME_SIZE);
        if (msg != WM_PACKET_TRACE) got[msg].push_back(std::move(m));
        return 0;
    }
    std::size_t Count(UINT msg) { return got[msg].size(); }
};

class CSimLinkTest : public ::testing::Test {
protected:
    // (Re)starts the simulator, without finger delay; opens the console's
    // port at consoleBaud (0: the module's own speed).
    void StartLink(SimOptions options = {}, int consoleBaud = 0) {
        pm.m_Comm.ClosePort();
        options.fingerDelayMs = 0;
        ASSERT_TRUE(sim.Start(options)) << sim.LastError();
        pm.Create(&view);
        ASSERT_TRUE(pm.OpenCommPort(sim.SlavePath(), consoleBaud ? consoleBaud : options.baud))
            << pm.m_Comm.LastError();
    }
    // Closes and reopens the console's port: the terminal must survive it.
    void Reopen(int baud) {
        pm.m_Comm.ClosePort();
        ASSERT_TRUE(pm.OpenCommPort(sim.SlavePath(), baud)) << pm.m_Comm.LastError();
    }
    void TearDown() override {
        pm.m_Comm.ClosePort();
        sim.Stop();
    }

    // Waits in real time for done(), pumping the watch thread's messages and
    // looking at the simulator every few ms.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
        for (int ms = 0; ms < timeoutMs; ms += 5) {
            loop.RunPending();
            if (done()) return true;
            loop.RunUntil(done, 5);
        }
        return done();
    }
    // The next notification msg not yet taken; fails the test when none comes.
    SViewMessage Next(UINT msg, int timeoutMs = 5000) {
        std::size_t& taken = m_Taken[msg];
        if (WaitFor([&] { return view.Count(msg) > taken; }, timeoutMs)) return view.got[msg][taken++];
        ADD_FAILURE() << "no notification " << msg;
        return {};
    }
    // Sends through send() and takes the notification msg that answers it.
    template <typename F>
    SViewMessage Ask(UINT msg, F send) {
        send();
        return Next(msg);
    }
    // Waits for the module's answer to the request sent after `mark`, letting the re-send timer fire
    // (virtual time) each time the module dropped it. Returns the number of re-sends.
    int AnswerWithResends(SimStats mark, unsigned resendMs) {
        for (int resends = 0;; ++resends) {
            if (!WaitFor([&] { return sim.Stats().answers > mark.answers; })) {
                ADD_FAILURE() << "the module did not answer";
                return resends;
            }
            if (sim.Stats().dropped == mark.dropped) return resends;
            mark = sim.Stats();
            loop.Advance(resendMs);
        }
    }

    CManualMessageLoop loop;
    CScriptedOperator op;
    CSimTestView view{loop};
    CPacketManagerWnd pm{loop, op};
    CSimPty sim;

private:
    std::map<UINT, std::size_t> m_Taken;
};
