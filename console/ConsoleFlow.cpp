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
    if (msg != WM_FLOW_BOX) return OnMessage(msg, wParam, lParam);
    const SBox* box = reinterpret_cast<const SBox*>(wParam);
    m_Console.Operator().MessageBox(box->text.toStdString(), "", box->flags);
    return 0;
}
