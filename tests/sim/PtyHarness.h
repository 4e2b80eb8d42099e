#pragma once
// The console's real packet manager and serial channel talking to the
// simulated module over a pseudo-terminal. Messages posted by the watch
// thread are pumped by the manual loop; the re-send timer runs on its
// virtual clock.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"
#include "sim/SimPty.h"

struct SViewMessage {
    UINT msg = 0;
    WPARAM wParam = 0;
    std::shared_ptr<CPacket> packet;  // General answers
    std::array<std::uint8_t, 6> mini{};

    std::uint32_t Result() const { return packet ? packet->m_Param1 : mini[3]; }
    std::uint32_t Param2() const { return packet ? packet->m_Param2 : mini[4]; }
    std::vector<std::uint8_t> Data() const {
        return std::vector<std::uint8_t>(packet->m_Data, packet->m_Data + packet->m_DataSize);
    }
};

// Stands in for the main form: records every notification.
class CSimTestView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<SViewMessage> messages;
    int tracesSent = 0, tracesReceived = 0;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_PACKET_TRACE) {
            ++(lParam ? tracesReceived : tracesSent);
            return 0;
        }
        SViewMessage m;
        m.msg = msg;
        m.wParam = wParam;
        if (msg >= WM_RX_CONNECT && msg <= WM_RX_CHECK_VOLTAGE) {
            m.packet = std::make_shared<CPacket>();
            m.packet->CopyUsedFrom(*reinterpret_cast<const CPacket*>(wParam));
        } else if (msg >= WM_RX_MINI_CONNECT && msg <= WM_RX_MINI_STATUS) {
            std::memcpy(m.mini.data(), reinterpret_cast<const std::uint8_t*>(wParam), 6);
        }
        messages.push_back(std::move(m));
        return 0;
    }
    std::size_t Count(UINT msg) const {
        std::size_t n = 0;
        for (const auto& m : messages) n += m.msg == msg;
        return n;
    }
};

class CSimLinkTest : public ::testing::Test {
protected:
    static SimOptions Fast() {
        SimOptions o;
        o.fingerDelayMs = 0;
        return o;
    }

    // Starts the simulator and opens the console's port at consoleBaud
    // (0: the module's own speed).
    void StartLink(const SimOptions& options = Fast(), int consoleBaud = 0) {
        ASSERT_TRUE(sim.Start(options)) << sim.LastError();
        pm.Create(&view);
        ASSERT_TRUE(pm.OpenCommPort(sim.SlavePath(), consoleBaud ? consoleBaud : options.baud))
            << pm.m_Comm.LastError();
    }
    void Reopen(int baud) {
        pm.m_Comm.ClosePort();
        ASSERT_TRUE(pm.OpenCommPort(sim.SlavePath(), baud)) << pm.m_Comm.LastError();
    }
    void TearDown() override {
        pm.m_Comm.ClosePort();
        sim.Stop();
    }

    // Waits in real time for done(), pumping the messages of the watch thread.
    // The loop's own RunUntil looks again only when a message arrives; this
    // also looks at the simulator's state every few milliseconds. Now and
    // then it gives the packet manager a wake-up: after a data-less answer it
    // leaves the bytes behind it queued until the next one (which on a real
    // line the next bytes to arrive bring).
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
        auto start = std::chrono::steady_clock::now();
        auto elapsed = [&] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        };
        long nextNudge = 100;
        for (;;) {
            loop.RunPending();
            if (done()) return true;
            if (elapsed() >= timeoutMs) return false;
            if (elapsed() >= nextNudge) {
                loop.Post(&pm, WM_COMM_READ, 0, 0);
                nextNudge += 100;
            }
            loop.RunUntil(done, 5);
        }
    }

    // Waits for the next notification msg not yet taken; fails the test when
    // none comes.
    SViewMessage Next(UINT msg, int timeoutMs = 5000) {
        std::size_t& taken = m_Taken[msg];
        bool got = WaitFor([&] { return view.Count(msg) > taken; }, timeoutMs);
        if (!got) {
            ADD_FAILURE() << "no notification " << msg;
            SViewMessage none;
            none.packet = std::make_shared<CPacket>();
            return none;
        }
        std::size_t seen = 0;
        for (const auto& m : view.messages)
            if (m.msg == msg && seen++ == taken) {
                ++taken;
                return m;
            }
        return {};
    }
    // Waits until the module has answered (or dropped) count more answers
    // than before; real time.
    bool WaitAnswers(std::uint64_t before, std::uint64_t count, int timeoutMs = 5000) {
        return WaitFor([&] { return sim.Stats().answers >= before + count; }, timeoutMs);
    }

    CManualMessageLoop loop;
    CScriptedOperator op;
    CSimTestView view{loop};
    CPacketManagerWnd pm{loop, op};
    CSimPty sim;

private:
    std::map<UINT, std::size_t> m_Taken;
};
