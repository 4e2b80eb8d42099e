#pragma once
// The reports of a run for test benches and CI: a CSV table with one row per
// module and command, and a JUnit XML file with one test suite per module and
// one test case per command (a failure for a module's refusal, an error for a
// link, file or usage error, skipped for the commands an earlier failure
// stopped). Each file is written whole or not at all.
#include <string>
#include <vector>

#include "cli/Result.h"
#include "platform/core/FileAccess.h"

// Every module's results, in the order of the --port options.
using AllResults = std::vector<std::vector<SResult>>;

std::string CsvReport(const AllResults& results);
std::string JunitReport(const AllResults& results);

SFileResult WriteReport(const std::string& path, const std::string& text);
