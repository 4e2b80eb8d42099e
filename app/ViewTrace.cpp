// The packet trace window: View > Packet Trace opens and closes it, and the
// packet manager's trace feed (sent synchronously for every General request
// written and every General answer accepted) adds its rows while it is open.
#include "app/PravikView.h"

void CPravikView::OnViewPacketTrace() {
    m_PacketTraceDlg.Toggle(this);
}

LRESULT CPravikView::OnPacketTrace(WPARAM wParam, LPARAM lParam) {
    if (m_PacketTraceDlg.IsOpen() && wParam) {
        m_PacketTraceDlg.AddPacket(*reinterpret_cast<const CPacket*>(wParam), static_cast<int>(lParam));
    }
    return 0;
}
