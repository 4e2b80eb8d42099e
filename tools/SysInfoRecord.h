#pragma once
// The option values last read from the module, kept by the main form's side
// of the system information window for the whole run. The read sequence fills
// it; the DB init option is written only by its own answer and never shown.
#include <cstdint>

struct SSysInfoRecord {
    std::int32_t m_nGain = 0;
    std::int32_t m_nBrightness = 0;
    std::int32_t m_nContrast = 0;
    std::int32_t m_nVerifyLevel = 0;
    std::int32_t m_nIdentifyLevel = 0;
    std::int32_t m_nLatentOption = 0;
    std::int32_t m_nDbInitOption = 0;
    std::int32_t m_nLogOption = 0;
    std::int32_t m_nCapturePeriod = 0;
};

// The values SET DEFAULT OPTION writes.
struct SSysInfoDefaults {
    std::int32_t m_nGain = 2;
    std::int32_t m_nBrightness = 40;
    std::int32_t m_nContrast = 20;
    std::int32_t m_nVerifyLevel = 5;
    std::int32_t m_nIdentifyLevel = 8;
    std::int32_t m_nLatentOption = 1;
    std::int32_t m_nLogOption = 0;
    std::int32_t m_nCapturePeriod = 5;
};

// The defaults of a module type (0 ZEL12, 1 Pell, 2 QOR10-HV, 3 QOR10-LV);
// false, and defaults unchanged, for any other type.
inline bool DefaultsForModule(int moduleType, SSysInfoDefaults& defaults) {
    static const std::int32_t kImage[4][3] = {{15, 100, 3}, {2, 40, 20}, {2, 40, 20}, {20, 40, 20}};
    if (moduleType < 0 || moduleType > 3) return false;
    defaults = SSysInfoDefaults{};
    defaults.m_nGain = kImage[moduleType][0];
    defaults.m_nBrightness = kImage[moduleType][1];
    defaults.m_nContrast = kImage[moduleType][2];
    return true;
}
