#pragma once
// Window-message vocabulary shared by every class that receives messages.
#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;  // 1024: first private message number
