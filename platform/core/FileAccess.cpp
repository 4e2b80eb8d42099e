#include "platform/core/FileAccess.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

SFileResult Failed(EFileError error, int code) {
    SFileResult result;
    result.error = error;
    result.reason = std::strerror(code ? code : EIO);
    return result;
}

SFileResult NotRegular(mode_t mode) {
    SFileResult result;
    result.error = EFileError::NOT_REGULAR;
    if (S_ISDIR(mode)) {
        result.reason = "a folder";
    } else if (S_ISCHR(mode) || S_ISBLK(mode)) {
        result.reason = "a device";
    } else if (S_ISFIFO(mode)) {
        result.reason = "a named pipe";
    } else if (S_ISSOCK(mode)) {
        result.reason = "a socket";
    } else {
        result.reason = "not a regular file";
    }
    return result;
}

bool WriteAll(int fd, const char* bytes, std::size_t left) {
    while (left > 0) {
        const ssize_t n = write(fd, bytes, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

// ------------------------------------------------------------- CInputFile

SFileResult CInputFile::Open(const std::string& path) {
    Close();
    // O_NONBLOCK: opening a named pipe does not wait for a writer, nor a
    // serial device for its carrier. Regular files ignore the flag.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Failed(EFileError::OPEN, errno);
    struct stat info;
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        close(fd);
        return Failed(EFileError::READ, error);
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        return NotRegular(info.st_mode);
    }
    m_nFd = fd;
    m_nSize = static_cast<std::uint64_t>(info.st_size);
    return {};
}

SFileResult CInputFile::Read(std::vector<std::uint8_t>& bytes, std::size_t count) {
    bytes.clear();
    if (m_nFd < 0) return Failed(EFileError::READ, EBADF);
    bytes.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = pread(m_nFd, bytes.data() + got, count - got, static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            bytes.clear();
            return Failed(EFileError::READ, error);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {};
}

void CInputFile::Close() {
    if (m_nFd >= 0) close(m_nFd);
    m_nFd = -1;
    m_nSize = 0;
}

// ------------------------------------------------------------ ReplaceFile

SFileResult ReplaceFile(const std::string& path, const void* data, std::size_t size) {
    // Replace the file a symbolic link points at, not the link.
    std::string target = path;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved)) target = resolved;
    }
    const bool exists = stat(target.c_str(), &info) == 0;
    // A rename would put a plain file in place of a device or a folder.
    if (exists && !S_ISREG(info.st_mode)) return NotRegular(info.st_mode);
    const mode_t mode = exists ? (info.st_mode & 07777) : 0644;

    const std::size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + "/." + base + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Failed(EFileError::OPEN, errno);

    errno = 0;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, static_cast<const char*>(data), size) && fsync(fd) == 0;
    int error = errno;
    // A full disk may show only when the file is closed.
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return Failed(EFileError::WRITE, error);
    }
    // Make the rename itself durable.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return {};
}
