#include "platform/core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

bool WriteAll(int fd, const char* p, std::size_t left) {
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* bytes, std::size_t size, int* error) {
    auto fail = [error](int code) {
        if (error) *error = code ? code : EIO;
        return false;
    };
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return fail(EISDIR);

    const std::string pattern = dir + "/." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return fail(errno);

    struct stat old;
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    int code = 0;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, static_cast<const char*>(bytes), size) && fsync(fd) == 0;
    if (!ok) code = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && rename(name.data(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        unlink(name.data());
        return fail(code);
    }
    // Make the rename itself durable.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
