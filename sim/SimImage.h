#pragma once
// What the simulated sensor sees: a synthetic fingerprint image and the
// minutiae record of a finger. Both are pure functions of the finger number,
// so the same finger always gives the same image and the same 400 bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int SIM_IMAGE_WIDTH = 248;
constexpr int SIM_IMAGE_HEIGHT = 292;
constexpr std::size_t SIM_IMAGE_SIZE = SIM_IMAGE_WIDTH * SIM_IMAGE_HEIGHT;  // 72416
constexpr std::size_t SIM_MINUTIAE_SIZE = 400;
// Image pieces of the two capture commands and the last piece number of each.
constexpr std::uint32_t SIM_IMAGE_PIECE = 2048;   // CMD_GET_IMAGE
constexpr std::uint32_t SIM_IMAGE2_PIECE = 512;   // CMD_GET_IMAGE2
constexpr std::uint32_t SIM_IMAGE_LAST_PIECE = (SIM_IMAGE_SIZE - 1) / SIM_IMAGE_PIECE;    // 35
constexpr std::uint32_t SIM_IMAGE2_LAST_PIECE = (SIM_IMAGE_SIZE - 1) / SIM_IMAGE2_PIECE;  // 141

// 248 x 292 grey levels, top row first: dark ridges on a light background
// inside an oval finger print, white outside. Finger numbers above 0 give
// different patterns (whorl, loop or arch, with their own core position,
// ridge spacing and distortion).
std::vector<std::uint8_t> SimFingerImage(int finger);

// 400-byte minutiae record: byte 0 format version (1), byte 1 the number M
// of minutiae, bytes 2-3 the ridge period in tenths of a pixel (big-endian),
// then M entries of 6 bytes (x and y big-endian 16-bit, angle in units of
// 360/256 degrees, kind 1 ending / 2 bifurcation), the rest filled with a
// checksum-like pattern of the finger.
std::vector<std::uint8_t> SimFingerMinutiae(int finger);
