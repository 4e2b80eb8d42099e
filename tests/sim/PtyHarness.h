#pragma once
// The console's real module client and serial channel talking to the simulated module over a
// pseudo-terminal; the manual loop pumps the watch thread's messages and runs the re-send guards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/ModuleClient.h"
#include "sim/SimPty.h"

// An answer as the tests read it.
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

// Stands in for a flow: keeps every reply, by the request's command.
class CSimTestFlow : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    struct SGot {
        EExchangeEnd end;
        std::uint64_t id;
        SViewMessage answer;
    };
    std::map<std::pair<bool, std::uint32_t>, std::vector<SGot>> got;  // by (Minimized, command)
    std::map<EExchangeEnd, std::size_t> ends;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg != WM_EXCHANGE_ENDED) return 0;
        const CReply& reply = *reinterpret_cast<const CReply*>(wParam);
        SGot g{reply.End(), reply.Id(), {}};
        if (reply.IsAnswered() && reply.IsMini()) g.answer.mini.assign(reply.Frame(), reply.Frame() + MINI_FRAME_SIZE);
        if (reply.IsAnswered() && !reply.IsMini()) g.answer.packet->CopyUsedFrom(reply.Packet());
        ++ends[reply.End()];
        got[{reply.IsMini(), reply.Command()}].push_back(std::move(g));
        return 0;
    }
    std::size_t Count(EExchangeEnd end) { return ends[end]; }
};

class CSimLinkEvents : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::map<UINT, std::size_t> counts;
    LRESULT WindowProc(UINT msg, WPARAM, LPARAM) override {
        ++counts[msg];
        return 0;
    }
    std::size_t Count(UINT msg) { return counts[msg]; }
};

class CSimLinkTest : public ::testing::Test {
protected:
    // (Re)starts the simulator, without finger delay; opens the console's
    // port at consoleBaud (0: the module's own speed).
    void StartLink(SimOptions options = {}, int consoleBaud = 0) {
        client.Close();
        options.fingerDelayMs = 0;
        ASSERT_TRUE(sim.Start(options)) << sim.LastError();
        client.SetLinkListener(&link);
        ASSERT_TRUE(client.Open(sim.SlavePath(), consoleBaud ? consoleBaud : options.baud))
            << client.Channel().LastError();
    }
    // Closes and reopens the console's port: the terminal must survive it.
    void Reopen(int baud) {
        client.Close();
        ASSERT_TRUE(client.Open(sim.SlavePath(), baud)) << client.Channel().LastError();
    }
    void TearDown() override {
        client.Close();
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
    ESendResult Send(SRequest request) { return client.Send(flow, std::move(request)); }
    // The next answer to command not yet taken (exchanges that ended
    // without one, closed or superseded, are passed over); fails the test
    // when none comes.
    SViewMessage Next(std::uint32_t command, bool mini = false, int timeoutMs = 5000) {
        const auto key = std::make_pair(mini, command);
        std::size_t& taken = m_Taken[key];
        auto& replies = flow.got[key];
        auto answered = [&] {
            while (taken < replies.size() && replies[taken].end != EExchangeEnd::Answered) ++taken;
            return taken < replies.size();
        };
        if (WaitFor(answered, timeoutMs)) return replies[taken++].answer;
        ADD_FAILURE() << "no answer to command " << command;
        return {};
    }
    SViewMessage NextMini(std::uint8_t command) { return Next(command, true); }
    // Sends request and takes the answer to it.
    SViewMessage Ask(SRequest request) {
        const bool mini = request.IsMini();
        const std::uint32_t command = request.command;
        EXPECT_EQ(Send(std::move(request)), ESendResult::Sent);
        return Next(command, mini);
    }
    // Answers to command so far (taken or not).
    std::size_t Answered(std::uint32_t command, bool mini = false) {
        std::size_t n = 0;
        for (const auto& g : flow.got[{mini, command}]) n += g.end == EExchangeEnd::Answered;
        return n;
    }
    std::size_t AnsweredMini(std::uint8_t command) { return Answered(command, true); }
    // Waits for the module's answer to the request sent after `mark`, letting the re-send guard fire
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
    CSimTestFlow flow{loop};
    CSimLinkEvents link{loop};
    CModuleClient client{loop};
    CSimPty sim;

private:
    std::map<std::pair<bool, std::uint32_t>, std::size_t> m_Taken;
};
