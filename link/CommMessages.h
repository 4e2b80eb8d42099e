#pragma once
// Messages the serial channel's watch thread posts to the channel's owner
// (the packet manager).
#include "platform/core/Messages.h"

constexpr UINT WM_COMM_READ = 1025;  // bytes were queued in m_QueueRead

// The serial device hung up or failed (adapter pulled out). The packet
// manager forwards it to the main form with the same number.
constexpr UINT WM_COMM_PORT_LOST = 1120;
// A watch-thread alert for the operator, shown on the user-interface thread:
// wParam COMM_ALERT_QUEUE_FULL or COMM_ALERT_WATCH_FAILED.
constexpr UINT WM_COMM_ALERT = 1121;
constexpr WPARAM COMM_ALERT_QUEUE_FULL = 0;
constexpr WPARAM COMM_ALERT_WATCH_FAILED = 1;
