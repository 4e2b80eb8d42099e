#pragma once
// Master mode and the device password: ENTER MASTER / LEAVE MASTER with the
// old and the new request forms, the two-step entry (the credential-free
// opening request, then, unless the module grants master mode at once, one
// authenticated request of the same command), Tools > Board Password, and
// the answers, shown from the tables in MasterFlow.cpp. The master-mode flag
// switches the main form between the master-mode and the connected layouts.
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

// Authentication types of the enter-master requests.
constexpr std::uint32_t AUTH_MASTER_FP = 0;        // a master's fingerprint ID (and finger)
constexpr std::uint32_t AUTH_MASTER_PASSWORD = 1;  // a master's ID and its password (new form only)
constexpr std::uint32_t AUTH_DEVICE_PASSWORD = 2;  // the device password
constexpr std::uint32_t AUTH_NONE = 3;             // the opening request of every attempt

// Modules of this firmware level or later (and every board but the ZEL12)
// take CMD_ENTER_MASTER_EX.
constexpr std::int32_t ENTER_MASTER_EX_LEVEL = 0x103;

// The answer tables: enter master (1060, 1073; 1130 uses kMiniEnterMasterRows),
// leave master (1061; 1131 shows any failure as RES_NO_MASTER_MODE), set and
// delete device password (1062, 1072).
extern const SAnswerRow kEnterMasterRows[6];
extern const SAnswerRow kMiniEnterMasterRows[4];
extern const SAnswerRow kLeaveMasterRows[2];
extern const SAnswerRow kSetPasswordRows[3];
extern const SAnswerRow kDeletePasswordRows[3];

class CMasterFlow : public CConsoleFlow {
public:
    explicit CMasterFlow(IConsoleContext& console);

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;

private:
    void OnEnterMaster();
    void OnBoardPassword();
    LRESULT OnEnterMasterAnswer(WPARAM packet, LPARAM);
    LRESULT OnEnterMasterExAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniEnterMasterAnswer(WPARAM frame, LPARAM);
    LRESULT OnLeaveMasterAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniLeaveMasterAnswer(WPARAM frame, LPARAM);
    LRESULT OnSetPasswordAnswer(WPARAM packet, LPARAM);
    LRESULT OnDeletePasswordAnswer(WPARAM packet, LPARAM);

    // One behaviour for both forms; newForm: the answer to CMD_ENTER_MASTER_EX.
    void EnterMasterAnswer(std::int32_t result, std::uint32_t step, bool newForm);
    // Asks the operator how to authenticate and sends the authenticated request.
    void AskCredentials(bool newForm);
    void SendEnter(bool newForm, std::uint32_t authType, const QString& id, const QString& password);
    void ShowEnterResult(std::int32_t result, const SAnswerRow* rows, std::size_t count);
    void ShowLeaveResult(std::int32_t result);
};
