#pragma once
// Files the operator chooses, read and written safely.
//
// Reading: CInputFile opens a file without blocking (a named pipe or a
// device never holds the console up), refuses anything that is not a regular
// file, and tells the size from the file's metadata, so that a caller can
// refuse a file of the wrong size before it reads a byte of it.
//
// Writing: ReplaceFile writes the new content to a temporary file in the
// target's folder, flushes it to the disk and renames it over the target, so
// that the target is either the old file or the whole new one: a write that
// fails part-way (a full disk, a pulled stick) removes the temporary file and
// leaves the old file as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a file could not be used.
enum class EFileError {
    NONE,
    OPEN,         // cannot be opened or created (the system's reason in SFileResult::reason)
    NOT_REGULAR,  // a folder, a device, a named pipe or a socket (what it is in reason)
    READ,         // opened but not read (the system's reason)
    WRITE,        // not written whole (the system's reason)
};

struct SFileResult {
    EFileError error = EFileError::NONE;
    // The system's reason ("No such file or directory"), or for NOT_REGULAR
    // what the file is ("a folder", "a device", "a named pipe", "a socket").
    std::string reason;
    bool Ok() const { return error == EFileError::NONE; }
    // The reason as the end of a sentence: "No such file or directory",
    // "it is a folder".
    std::string Why() const { return error == EFileError::NOT_REGULAR ? "it is " + reason : reason; }
};

// A regular file opened for reading.
class CInputFile {
public:
    CInputFile() = default;
    ~CInputFile() { Close(); }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // Opens path (following symbolic links) without waiting for a writer or
    // a device, and keeps it open only when it is a regular file.
    SFileResult Open(const std::string& path);
    // Its size in bytes, from its metadata when it was opened.
    std::uint64_t Size() const { return m_nSize; }
    // Reads up to count bytes from the start into bytes (which then holds
    // what was read: fewer when the file is shorter).
    SFileResult Read(std::vector<std::uint8_t>& bytes, std::size_t count);
    void Close();

private:
    int m_nFd = -1;
    std::uint64_t m_nSize = 0;
};

// Writes size bytes as the whole content of path, or nothing at all (see
// above). A symbolic link keeps pointing at the rewritten file; an existing
// file keeps its permissions, a new one gets rw-r--r--. A target that exists
// and is not a regular file is refused (NOT_REGULAR) and left alone.
// Failures: OPEN when the temporary file cannot be made (a missing or
// read-only folder), WRITE when the content, the flush or the rename fails.
SFileResult ReplaceFile(const std::string& path, const void* data, std::size_t size);
inline SFileResult ReplaceFile(const std::string& path, const std::string& text) {
    return ReplaceFile(path, text.data(), text.size());
}
