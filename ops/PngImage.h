#pragma once
// PNG pictures of fingerprint images, for every front end: the console's
// Save Image As and the command line's capture write the same bytes for the
// same image.
//
// An image is written as an 8-bit grey PNG (colour type 0), not interlaced,
// with the library's default compression and filters and no chunk beyond
// IHDR, IDAT and IEND: nothing in the file depends on the machine, the
// screen or the time it was written.
#include <cstddef>
#include <cstdint>
#include <vector>

// The PNG file of width x height grey levels (one byte a pixel, top row
// first). Empty when the picture could not be made.
std::vector<std::uint8_t> EncodeGreyPng(const std::uint8_t* pixels, int width, int height);
