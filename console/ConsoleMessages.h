#pragma once
// The console's own messages: between the main form, its dialogs and the
// tool windows. The module client's messages (replies, link events) are in
// protocol/ModuleClient.h.
#include "platform/core/Messages.h"

constexpr UINT WM_SYSINFO_READ = 1027;     // start the option read sequence
constexpr UINT WM_SYSINFO_FORWARD = 1028;  // finished option record to the window
constexpr UINT WM_PORT_CHANGED = 1029;     // Serial Communication: wParam port index, 0 = COM1
constexpr UINT WM_BAUD_CHANGED = 1031;     // Serial Communication: wParam baud index
// Serial Communication: a device from the list becomes the current COM
// port's device; lParam points at its path (a std::string in the payload).
constexpr UINT WM_PORT_DEVICE_CHOSEN = 1144;

// Collected results forwarded by the main form to an open tool window (the
// numbers of the answers they complete; different targets).
constexpr UINT WM_DBMGR_MASTER_CHANGED = 1059;  // a set/reset master succeeded
constexpr UINT WM_DBMGR_LIST = 1066;            // the fingerprint list, older form
constexpr UINT WM_LOG_FORWARD = 1068;           // the log store is complete
constexpr UINT WM_DBMGR_LIST_EX = 1074;         // the fingerprint list, newer form

// Flow to flow (IConsoleContext::ForwardTo): the service flow sends STATUS
// or CANCEL for a tool window's button of that name, and shows the answer as
// for the main form's.
constexpr UINT WM_SERVICE_STATUS = 1142;
constexpr UINT WM_SERVICE_CANCEL = 1143;

// Main form to a flow of its own: show a modal box after the handler that
// decided on it has returned (payload: the text and flags).
constexpr UINT WM_FLOW_BOX = 1140;
