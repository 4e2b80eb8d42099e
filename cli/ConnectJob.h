#pragma once
// The connection, as CONNECT makes it: the port opened at a rate, CMD_CONNECT
// (or the Minimized connect frame) with 2 s for the answer, and without one
// the port closed and, after a 200 ms pause, the next rate of the search;
// then the device information (1.5 s, else after a pause the module is taken
// for a ZEL12) and the firmware version, plain on a ZEL12, extended on the
// others. With --baud auto the search starts at 115200 and goes on through
// 9600, 19200, 38400 and 57600 (the console's order, without trying 115200
// twice); with a rate given only that rate is tried. The Minimized protocol
// has no device information or version request: the board is --board's
// (ZEL12 by default) and nothing more is asked.
#include <vector>

#include "cli/Job.h"

class CConnectJob : public CJob {
public:
    CConnectJob(IJobHost& host, std::string device);
    ~CConnectJob() override;

private:
    void Start() override;
    void OnAnswer(const CReply& reply) override;
    void OnExchangeEnded(const CReply& reply) override;
    void OnTimer(UINT id) override;

    void TryRate();
    void Connected(int fingerprints);
    void OnDeviceInfo(const CReply& reply);
    void AskVersion(int reportedBoard);
    void UseBoard(int reportedBoard);
    void Done();
    void Pause(std::function<void()> then);
    void CancelPause();

    std::string m_strDevice;
    std::vector<int> m_Rates;
    std::size_t m_nRate = 0;
    enum { CONNECTING, DEVICE_INFO, VERSION } m_eStage = CONNECTING;
    std::uint64_t m_nPause = 0;
};
