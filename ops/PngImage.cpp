#include "ops/PngImage.h"

#include <png.h>

#include <csetjmp>

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

}  // namespace

std::vector<std::uint8_t> EncodeGreyPng(const std::uint8_t* pixels, int width, int height) {
    std::vector<std::uint8_t> out;
    if (!pixels || width <= 0 || height <= 0) return out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    // libpng reports its errors by a long jump back here.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        // libpng takes a non-const row but only reads it.
        png_write_row(png, const_cast<png_bytep>(pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}
