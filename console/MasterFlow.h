#pragma once
// Master mode and the device password: ENTER MASTER / LEAVE MASTER with the
// old and the new request forms, the two-step entry (the credential-free
// opening request, then, unless the module grants master mode at once, one
// authenticated request of the same command), Tools > Board Password, and
// the answers, shown from the tables in ops/Answers.cpp. The master-mode flag
// switches the main form between the master-mode and the connected layouts.
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"
#include "ops/Connection.h"

class CMasterFlow : public CConsoleFlow {
public:
    explicit CMasterFlow(IConsoleContext& console);

    bool OnCommand(int id, int code) override;

private:
    void OnAnswer(const CReply& reply) override;
    void OnEnterMaster();
    void OnBoardPassword();
    void OnEnterMasterAnswer(const CReply& reply);
    void OnMiniEnterMasterAnswer(const CReply& reply);
    void OnLeaveMasterAnswer(const CReply& reply);
    void OnMiniLeaveMasterAnswer(const CReply& reply);
    void OnSetPasswordAnswer(const CReply& reply);
    void OnDeletePasswordAnswer(const CReply& reply);

    // One behaviour for both forms; newForm: the answer to CMD_ENTER_MASTER_EX.
    void EnterMasterAnswer(std::int32_t result, std::uint32_t step, bool newForm);
    // Asks the operator how to authenticate and sends the authenticated request.
    void AskCredentials(bool newForm);
    void SendEnter(bool newForm, std::uint32_t authType, const QString& id, const QString& password);
    void ShowEnterResult(std::int32_t result, const SAnswerRow* rows, std::size_t count);
    void ShowLeaveResult(std::int32_t result);
};
