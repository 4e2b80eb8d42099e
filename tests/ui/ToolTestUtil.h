#pragma once
// Helpers for the tool-window tests: records for the simulated module and ID
// fields (what the console writes is read with CRequestLog).
#include <memory>
#include <vector>

#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/FlowRequests.h"

namespace console_test {

inline void AddRecords(CConsole& console, const std::vector<SimRecord>& records) {
    console.App().Simulator()->RunLocked([&](CSimModule& m) {
        for (const SimRecord& r : records) m.AddRecord(r);
    });
}

// ID fields of 10 bytes each, optionally behind the 4 bytes of the newer form.
inline std::vector<std::uint8_t> IdFields(const std::vector<std::string>& ids, bool newer = false) {
    std::vector<std::uint8_t> data(newer ? 4 : 0, 0);
    for (const std::string& id : ids) {
        std::uint8_t field[ID_FIELD_SIZE] = {};
        std::copy_n(id.begin(), std::min<std::size_t>(id.size(), ID_FIELD_SIZE), field);
        data.insert(data.end(), field, field + ID_FIELD_SIZE);
    }
    return data;
}

}  // namespace console_test
