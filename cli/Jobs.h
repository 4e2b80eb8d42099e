#pragma once
// The jobs of the commands, by family; MakeJob (ModuleRun.h) picks one.
#include <memory>

#include "cli/Job.h"

// identify, verify, enroll, delete, delete-all, list, master enter/leave,
// minutiae get/match.
std::unique_ptr<CJob> MakeFingerJob(IJobHost& host, const SCommand& command);
// capture.
std::unique_ptr<CJob> MakeCaptureJob(IJobHost& host, const SCommand& command);
// log, upgrade.
std::unique_ptr<CJob> MakeTransferJob(IJobHost& host, const SCommand& command);
// info, status, cancel, voltage, user-data, options, ports.
std::unique_ptr<CJob> MakeServiceJob(IJobHost& host, const SCommand& command);

// name with suffix before its extension: ("img.png", "-3") -> "img-3.png".
std::string WithSuffix(const std::string& name, const std::string& suffix);
// The name of a file a command writes, for module number (1, 2, ...) of a
// run of several modules: "img.png" -> "img-m2.png"; 0 keeps the name.
std::string ModuleFileName(const std::string& name, int number);

// The serial devices present, for `ports` (cli/PortList.cpp): their list as
// value "ports" and the text that names them.
std::string DescribePortsPresent(CValues& values);
// A port as given on the command line to the path to open: a name found in
// /dev/serial/by-id becomes its path there; COMn and paths stay as they are
// (the module client maps COM1..COM4).
std::string ResolvePortName(const std::string& port);
