#pragma once
// The main form's side of the log read: the View menu toggle of the log data
// window and its check mark, the window's READ, and the answers to
// CMD_GET_LOG (blocks numbered up to 0xFFFF) and CMD_GET_LOG_EX (five search
// types). Records are collected in the store, the next block is asked for,
// and the finished store is handed to the open window (WM_LOG_FORWARD),
// which offers to save it. The window's STATUS and CANCEL are handed to the
// service flow.
//
// Each read starts with an empty store (READ empties it before it sends), so
// records are never saved twice nor fill the store across reads; block 0
// also empties it, as the module numbers the first block of a read 0.
//
// A block is stored whole or not at all: one that would overflow the store,
// or whose record count reaches past its data, is refused with a message and
// ends the read; the records stored before it stay.
#include <QString>

#include "console/ConsoleFlow.h"
#include "ops/AnswerData.h"
#include "ops/LogData.h"
#include "tools/LogDataDlg.h"

class CPacket;

class CLogDataFlow : public CConsoleFlow {
public:
    explicit CLogDataFlow(IConsoleContext& console);

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    // The View item is marked while the window is open; each refresh of the
    // menu also hands the window the module type chosen now.
    bool IsMenuChecked(int command) const override;
    // An open window follows the board: its request form and search choices.
    void OnBoardChanged() override;

    CLogData& Store() { return m_Store; }
    CLogDataDlg& Dialog() { return m_Dlg; }

private:
    void OnAnswer(const CReply& reply) override;
    void OnExchangeEnded(const CReply& reply) override;
    void OnViewLogData();
    void Read(int searchType, std::uint32_t value);
    void OnLogAnswer(const CReply& reply);
    void OnLogExAnswer(const CReply& reply);
    // Stores count records; refuses a block that does not fit (false).
    bool StoreBlock(const std::uint8_t* records, std::size_t count);
    // The read is complete: hand the store to the window if it is open.
    void Complete();

    CLogData m_Store;
    mutable CLogDataDlg m_Dlg;
};
