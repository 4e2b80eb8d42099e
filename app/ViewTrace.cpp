// The packet trace: View > Packet Trace opens and closes its window over the
// frames the console keeps (m_TraceHistory, fed by the module client all the
// time); File > Save Trace... and the window's SAVE TRACE... write them to a
// file, text or pcapng by the name's extension.
#include <cstring>

#include "app/PravikView.h"
#include "protocol/TraceFiles.h"

namespace {
const char kTraceFilter[] = "Trace text(*.txt)|*.txt|Wireshark capture(*.pcapng)|*.pcapng|";
}  // namespace

void CPravikView::OnViewPacketTrace() {
    m_PacketTraceDlg.Toggle(this);
}

void CPravikView::OnFileSaveTrace() {
    if (m_TraceHistory.Empty()) {
        m_Operator.MessageBox("The trace holds no frames: there is nothing to save.", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::string path;
    if (!m_Operator.GetSaveFileName(kTraceFilter, "txt", true, path) || path.empty()) return;
    const SFileResult saved = SaveTrace(m_TraceHistory, path, TraceFormatForPath(path));
    if (!saved.Ok()) {
        m_Operator.MessageBox("The trace could not be saved to '" + path + "': " + saved.Why() + ".", "",
                              MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetStatusText(QString("Trace saved: %1 frames to '%2'.")
                      .arg(m_TraceHistory.Size())
                      .arg(QString::fromStdString(path)));
}
