#pragma once
// Short names of the result codes the simulated module's tests compare answers with.
#include <cstdint>

#include "protocol/CommandCatalog.h"

inline constexpr std::uint32_t OK = RES_SUCCESS, FAIL = RES_FAIL, INVALID = RES_INVALID_PARAM, BAD_ID = RES_INVALID_ID;
