// The packet trace window: View > Packet Trace opens and closes it, and the
// module client's trace (called for every frame as it is written or read)
// adds the General requests and answers while it is open.
#include "app/PravikView.h"

void CPravikView::OnViewPacketTrace() {
    m_PacketTraceDlg.Toggle(this);
}

void CPravikView::OnTrace(const STraceEvent& event) {
    if (!m_PacketTraceDlg.IsOpen() || event.form != EFrameForm::General || !event.packet) return;
    m_PacketTraceDlg.AddPacket(*event.packet, event.IsReceived() ? 1 : 0, event.kind == ETraceKind::Stale);
}
