#include "protocol/ImageStore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

bool CImageStore::StorePiece(std::size_t offset, const std::uint8_t* bytes, std::size_t count) {
    if (offset > IMAGE_SIZE || count > IMAGE_SIZE - offset) return false;
    if (count == 0) return true;
    std::memcpy(m_Pixels.data() + offset, bytes, count);
    return true;
}

void CImageStore::Clear() {
    m_Pixels.fill(IMAGE_WHITE);
}

namespace {

struct SFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, SFileCloser>;

SImageFileResult Failed(EImageFile what, int error) {
    SImageFileResult result;
    result.result = what;
    result.reason = std::strerror(error);
    return result;
}

}  // namespace

SImageFileResult ReadRawFile(const std::string& path, std::array<std::uint8_t, IMAGE_SIZE>& bytes) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return Failed(EImageFile::OPEN_FAILED, errno);
    // One byte more than an image tells a longer file from an exact one,
    // whatever kind of file it is (a pipe has no size to ask for).
    std::size_t got = std::fread(bytes.data(), 1, IMAGE_SIZE, file.get());
    if (std::ferror(file.get())) return Failed(EImageFile::READ_FAILED, errno ? errno : EIO);
    std::uintmax_t total = got;
    if (got == IMAGE_SIZE) {
        std::uint8_t rest[4096];
        std::size_t more;
        while ((more = std::fread(rest, 1, sizeof rest, file.get())) > 0) total += more;
        if (std::ferror(file.get())) return Failed(EImageFile::READ_FAILED, errno ? errno : EIO);
    }
    if (total != IMAGE_SIZE) {
        SImageFileResult result;
        result.result = EImageFile::WRONG_SIZE;
        result.size = total;
        return result;
    }
    return {};
}

SImageFileResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return Failed(EImageFile::OPEN_FAILED, errno);
    std::uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    if (std::ferror(file.get())) return Failed(EImageFile::READ_FAILED, errno ? errno : EIO);
    return {};
}

SImageFileResult LoadRawImage(const std::string& path, CImageStore& store) {
    std::array<std::uint8_t, IMAGE_SIZE> bytes;
    SImageFileResult result = ReadRawFile(path, bytes);
    if (result.Ok()) store.StorePiece(0, bytes.data(), bytes.size());
    return result;
}

SImageFileResult WriteWholeFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (!raw) return Failed(EImageFile::OPEN_FAILED, errno);
    errno = 0;
    const bool written = std::fwrite(bytes, 1, size, raw) == size && std::fflush(raw) == 0;
    int error = errno;
    // A full disk often shows only when the data is flushed or closed.
    const bool closed = std::fclose(raw) == 0;
    if (written && closed) return {};
    if (!error) error = errno ? errno : EIO;
    // Only a plain file is removed: a device such as /dev/full stays.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
    return Failed(EImageFile::WRITE_FAILED, error);
}

SImageFileResult SaveRawImage(const std::string& path, const CImageStore& store) {
    return WriteWholeFile(path, store.Data(), store.Size());
}
