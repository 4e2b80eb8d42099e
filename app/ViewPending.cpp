// Buttons and menu items of the main form whose flows are not built yet.
// They are wired into the control-ID table and follow the layouts already;
// choosing them does nothing for now.
#include "app/PravikView.h"

// Master mode and passwords.
void CPravikView::OnEnterMaster() {}
void CPravikView::OnBoardPassword() {}

// Enrollment and deletion.
void CPravikView::OnEnroll() {}
void CPravikView::OnDelete() {}

// Verification and identification.
void CPravikView::OnVerify() {}
void CPravikView::OnIdentify() {}

// Minutiae.
void CPravikView::OnGetMinutiae() {}
void CPravikView::OnInstantMatching() {}

// Image capture and display.
void CPravikView::OnCapture() {}
void CPravikView::OnContinuousCapture() {}
void CPravikView::OnStart() {}
void CPravikView::OnOpenImage() {}
void CPravikView::OnSaveImage() {}

// Firmware upgrade, status and power tests.
void CPravikView::OnStatus() {}
void CPravikView::OnCancel() {}
void CPravikView::OnUpgradeFirmware() {}
void CPravikView::OnCheckVoltage() {}
void CPravikView::OnBatteryTest() {}

// Maintenance windows.
void CPravikView::OnViewSystemInfo() {}
void CPravikView::OnViewDbManager() {}
void CPravikView::OnViewLogData() {}
void CPravikView::OnViewUserData() {}
