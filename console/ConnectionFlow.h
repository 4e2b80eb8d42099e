#pragma once
// The link to the module: CONNECT / DISCONNECT with the baud-rate search,
// the questions asked right after connecting (device information and
// firmware version), POWER OFF / POWER ON through RTS, the Serial
// Communication dialog with its port and rate changes, and the link's own
// events: frames rejected for their checksum, a lost port, a stalled write,
// received bytes dropped. The module client posts those here.
//
// This is the example every flow follows: its own state, its own tables, the
// console only through IConsoleContext, answers shown from answer tables.
#include <QPointer>
#include <QString>
#include <cstdint>
#include <string>

#include "console/ConsoleFlow.h"
#include "ops/Connection.h"

// Timer 1 drives the baud-rate search and the device-information wait (its
// times and the order of the rates: ops/Connection.h).
constexpr UINT CONNECT_TIMER_ID = 1;

// m_nConnectStage
constexpr int CONNECT_STAGE_IDLE = 0;
constexpr int CONNECT_STAGE_CONNECTING = 1;
constexpr int CONNECT_STAGE_DEVICE_INFO = 2;

class CConnectionFlow : public CConsoleFlow {
public:
    // Takes the port and the rate from the settings record.
    explicit CConnectionFlow(IConsoleContext& console);
    ~CConnectionFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    void OnFormCreated() override;

    // What the port name leads to, for a person: "COM1 leads to <path>" and
    // the device there (kernel name, maker and product), or that it is not
    // there. The port label's tooltip, made again each time it shows.
    QString PortDescription() const;

    QString m_strPortName;
    int m_nBaudRate = 9600;
    int m_nStartBaudRate = 9600;
    int m_nBaudScan = 0;
    int m_nConnectStage = CONNECT_STAGE_IDLE;
    bool m_bPortOpen = false;

private:
    void OnConnect();
    void OnPower();
    void OnSerialComm();
    void OnAnswer(const CReply& reply) override;
    LRESULT OnTimer(WPARAM id, LPARAM);
    void OnConnectAnswer(const CReply& reply);
    void OnMiniConnectAnswer(const CReply& reply);
    void OnDeviceInfoAnswer(const CReply& reply);
    void OnVersionAnswer(const CReply& reply);
    void OnVersionExAnswer(const CReply& reply);
    void OnSetBaudRateAnswer(const CReply& reply);
    LRESULT OnBaudChanged(WPARAM index, LPARAM);
    LRESULT OnPortChanged(WPARAM index, LPARAM);
    // The link's own events, from the module client.
    LRESULT OnPortDeviceChosen(WPARAM, LPARAM path);
    void ShowPortLabel();
    LRESULT OnChecksumError(WPARAM which, LPARAM);
    LRESULT OnPortLost(WPARAM, LPARAM);
    LRESULT OnWriteStalled(WPARAM written, LPARAM size);
    LRESULT OnReceiveDropped(WPARAM bytes, LPARAM);
    LRESULT OnCommAlert(WPARAM kind, LPARAM);

    void ConnectSucceeded(const QString& countLabel);
    void AskVersion(bool extended);
    // Ends the link: timer 1, the pause, the search position, the flags, the
    // port, then the disconnected layout. DISCONNECT and a lost port also tell
    // the other flows (LINK_ENDED); a port or rate change does not
    // (LINK_CHANGED).
    enum ELinkEnd { LINK_ENDED, LINK_CHANGED };
    void CloseLink(ELinkEnd how);
    void CancelPause();
    // Closes the serial port and ends what the packet manager awaited on it.

    std::uint64_t m_nPauseToken = 0;  // pending 200 ms pause, 0 when none
    QPointer<QObject> m_pPortTip;     // the port label's tooltip filter
};
