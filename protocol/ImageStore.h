#pragma once
// The fingerprint image of the console: 248 x 292 grey levels (0 black, 255
// white), one byte per pixel, top row first, pixels left to right. The module
// sends it in pieces that the store places by their offset; RAW files hold
// the same 72416 bytes with nothing around them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int IMAGE_WIDTH = 248;
constexpr int IMAGE_HEIGHT = 292;
constexpr std::size_t IMAGE_SIZE = static_cast<std::size_t>(IMAGE_WIDTH) * IMAGE_HEIGHT;  // 72416
// Piece sizes of the two capture methods.
constexpr std::size_t IMAGE_PIECE_SIZE = 2048;   // CMD_GET_IMAGE
constexpr std::size_t IMAGE2_PIECE_SIZE = 512;   // CMD_GET_IMAGE2
constexpr std::uint8_t IMAGE_WHITE = 255;

class CImageStore {
public:
    CImageStore() { Clear(); }

    const std::uint8_t* Data() const { return m_Pixels.data(); }
    static constexpr std::size_t Size() { return IMAGE_SIZE; }
    std::uint8_t Pixel(int x, int y) const { return m_Pixels[static_cast<std::size_t>(y) * IMAGE_WIDTH + x]; }

    // Copies count bytes to offset. A piece that would reach past the end of
    // the image (an index or a size the module should not send) is dropped
    // whole and false returned: half a piece at the wrong place is no better
    // than none.
    bool StorePiece(std::size_t offset, const std::uint8_t* bytes, std::size_t count);
    // Every pixel white.
    void Clear();

private:
    std::array<std::uint8_t, IMAGE_SIZE> m_Pixels;
};

// Outcome of reading or writing an image file.
enum class EImageFile {
    OK,
    OPEN_FAILED,   // cannot be opened or created (reason in the error text)
    READ_FAILED,   // opened but not readable (a folder, an I/O error)
    WRONG_SIZE,    // not exactly IMAGE_SIZE bytes (size in the result)
    WRITE_FAILED,  // not written whole
};

struct SImageFileResult {
    EImageFile result = EImageFile::OK;
    std::string reason;        // the system's reason, for OPEN/READ/WRITE_FAILED
    std::uintmax_t size = 0;   // bytes found, for WRONG_SIZE
    bool Ok() const { return result == EImageFile::OK; }
};

// Reads a RAW image: exactly IMAGE_SIZE bytes, or refused with the store
// left as it was.
SImageFileResult LoadRawImage(const std::string& path, CImageStore& store);
// Reads a RAW file into bytes without touching any store (the same checks).
SImageFileResult ReadRawFile(const std::string& path, std::array<std::uint8_t, IMAGE_SIZE>& bytes);
// Writes the image as a RAW file. A file that cannot be written whole is
// removed rather than left cut short.
SImageFileResult SaveRawImage(const std::string& path, const CImageStore& store);
// Reads a whole file of any size (the PNG import uses it).
SImageFileResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);
// Writes size bytes to path with the same rules (the PNG export uses it).
SImageFileResult WriteWholeFile(const std::string& path, const std::uint8_t* bytes, std::size_t size);
