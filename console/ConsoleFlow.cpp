#include "console/ConsoleFlow.h"

#include <memory>
#include <string>

#include "console/ConsoleMessages.h"
#include "platform/qt/UiOperator.h"

namespace {

struct SBox {
    QString text;
    unsigned flags;
};

}  // namespace

void CConsoleFlow::PostBox(const QString& text, unsigned flags) {
    auto box = std::make_shared<SBox>(SBox{text, flags});
    const SBox* raw = box.get();
    Loop().Post(this, WM_FLOW_BOX, reinterpret_cast<WPARAM>(raw), 0, std::move(box));
}

LRESULT CConsoleFlow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_EXCHANGE_ENDED) {
        const CReply& reply = *reinterpret_cast<const CReply*>(wParam);
        if (reply.IsAnswered()) {
            OnAnswer(reply);
        } else {
            OnExchangeEnded(reply);
        }
        return 0;
    }
    if (msg != WM_FLOW_BOX) return OnMessage(msg, wParam, lParam);
    const SBox* box = reinterpret_cast<const SBox*>(wParam);
    m_Console.Operator().MessageBox(box->text.toStdString(), "", box->flags);
    return 0;
}

void CConsoleFlow::OnExchangeEnded(const CReply& reply) {
    if (reply.End() == EExchangeEnd::ChecksumRefused) PostBox("Checksum error occurred!!!", MB_OK);
}

ESendResult CConsoleFlow::RequestQuietly(SRequest request) { return Client().Send(*this, std::move(request)); }

bool CConsoleFlow::Request(SRequest request) {
    const ESendResult result = RequestQuietly(std::move(request));
    if (result == ESendResult::Sent) return true;
    m_Console.SetStatusText(NotSentText(result));
    return false;
}

QString CConsoleFlow::NotSentText(ESendResult why) const {
    switch (why) {
        case ESendResult::NotOpen: return "No module is connected: press CONNECT first.";
        case ESendResult::Busy:
            return QString("The module is busy with %1: try again when it has ended.")
                .arg(QString::fromStdString(m_Console.Client().ClaimJob()));
        case ESendResult::TooLarge: return "The request is too large for the module.";
        case ESendResult::Unknown: return "The request is not one the module knows.";
        case ESendResult::Sent: break;
    }
    return QString();
}
