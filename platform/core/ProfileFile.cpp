#include "platform/core/ProfileFile.h"

#include "platform/core/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb) return false;
    }
    return true;
}

// "[name]" -> true and the trimmed name.
bool ParseSectionLine(const std::string& line, std::string& name) {
    std::string text = Trim(line);
    if (text.size() < 2 || text[0] != '[') return false;
    std::size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

// "key=value" -> true, the trimmed key and value. Comment lines are no keys.
bool ParseKeyLine(const std::string& line, std::string& key, std::string& value) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#' || text[0] == '[') return false;
    std::size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(text.substr(0, eq));
    value = Trim(text.substr(eq + 1));
    return true;
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

std::mutex g_DirLock;
std::string g_strProfileDir;  // empty: DefaultProfileDirectory()

}  // namespace

int ProfileTextToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
        ++i;
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

bool CProfileFile::Load() {
    m_Lines.clear();
    m_strEol = "\n";
    m_bFinalEol = true;
    int fd = open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);

    if (text.find("\r\n") != std::string::npos) m_strEol = "\r\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_Lines.push_back(line);
        if (nl == std::string::npos) {
            m_bFinalEol = false;
            break;
        }
        start = nl + 1;
    }
    return true;
}

std::string CProfileFile::Text() const {
    std::string text;
    for (std::size_t i = 0; i < m_Lines.size(); ++i) {
        text += m_Lines[i];
        if (i + 1 < m_Lines.size() || m_bFinalEol) text += m_strEol;
    }
    return text;
}

bool CProfileFile::Save() const {
    // Replace the file a symbolic link points at, not the link.
    std::string target = m_strPath;
    char resolved[PATH_MAX];
    struct stat linkStat;
    if (lstat(m_strPath.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode) &&
        realpath(m_strPath.c_str(), resolved)) {
        target = resolved;
    }
    std::size_t slash = target.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    if (!MakeDirectories(dir)) return false;
    const std::string text = Text();
    return WriteFileAtomically(target, text.data(), text.size());
}

int CProfileFile::FindSection(const std::string& section) const {
    std::string name;
    for (std::size_t i = 0; i < m_Lines.size(); ++i) {
        if (ParseSectionLine(m_Lines[i], name) && SameName(name, section)) return static_cast<int>(i);
    }
    return -1;
}

int CProfileFile::FindKey(int sectionLine, const std::string& key) const {
    std::string name;
    std::string value;
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < m_Lines.size(); ++i) {
        if (ParseSectionLine(m_Lines[i], name)) break;
        if (ParseKeyLine(m_Lines[i], name, value) && SameName(name, key)) return static_cast<int>(i);
    }
    return -1;
}

int CProfileFile::SectionEnd(int sectionLine) const {
    std::string name;
    std::size_t end = static_cast<std::size_t>(sectionLine) + 1;
    while (end < m_Lines.size() && !ParseSectionLine(m_Lines[end], name)) ++end;
    // Keep the blank lines that separate this section from the next.
    while (end > static_cast<std::size_t>(sectionLine) + 1 && Trim(m_Lines[end - 1]).empty()) --end;
    return static_cast<int>(end);
}

bool CProfileFile::HasKey(const std::string& section, const std::string& key) const {
    int sectionLine = FindSection(section);
    return sectionLine >= 0 && FindKey(sectionLine, key) >= 0;
}

bool CProfileFile::FindValue(const std::string& section, const std::string& key, std::string& value) const {
    int sectionLine = FindSection(section);
    if (sectionLine < 0) return false;
    int keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) return false;
    std::string name;
    ParseKeyLine(m_Lines[static_cast<std::size_t>(keyLine)], name, value);
    return true;
}

std::string CProfileFile::GetString(const std::string& section, const std::string& key,
                                    const std::string& def) const {
    std::string value;
    return FindValue(section, key, value) ? value : def;
}

int CProfileFile::GetInt(const std::string& section, const std::string& key, int def) const {
    std::string value;
    if (!FindValue(section, key, value) || value.empty()) return def;
    return ProfileTextToInt(value);
}

void CProfileFile::SetString(const std::string& section, const std::string& key, const std::string& value) {
    int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        if (!m_Lines.empty() && !Trim(m_Lines.back()).empty()) m_Lines.push_back("");
        m_Lines.push_back("[" + section + "]");
        m_Lines.push_back(key + "=" + value);
        m_bFinalEol = true;
        return;
    }
    int keyLine = FindKey(sectionLine, key);
    if (keyLine >= 0) {
        std::string name;
        std::string old;
        ParseKeyLine(m_Lines[static_cast<std::size_t>(keyLine)], name, old);
        m_Lines[static_cast<std::size_t>(keyLine)] = name + "=" + value;
        return;
    }
    int end = SectionEnd(sectionLine);
    m_Lines.insert(m_Lines.begin() + end, key + "=" + value);
    if (static_cast<std::size_t>(end) + 1 == m_Lines.size()) m_bFinalEol = true;
}

void CProfileFile::SetInt(const std::string& section, const std::string& key, int value) {
    SetString(section, key, std::to_string(value));
}

void SetProfileDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_DirLock);
    g_strProfileDir = dir;
    while (g_strProfileDir.size() > 1 && g_strProfileDir.back() == '/') g_strProfileDir.pop_back();
}

std::string DefaultProfileDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/Talven";
    const char* home = std::getenv("HOME");
    std::string homeDir = home && home[0] ? home : "";
    if (homeDir.empty()) {
        if (const passwd* pw = getpwuid(getuid())) homeDir = pw->pw_dir ? pw->pw_dir : "";
    }
    if (homeDir.empty()) homeDir = ".";
    return homeDir + "/.config/Talven";
}

std::string ProfileDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_DirLock);
        if (!g_strProfileDir.empty()) return g_strProfileDir;
    }
    return DefaultProfileDirectory();
}

std::string ResolveProfilePath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return ProfileDirectory() + "/" + name;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int def, const std::string& file) {
    CProfileFile profile(ResolveProfilePath(file));
    if (!profile.Load()) return def;
    return profile.GetInt(section, key, def);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& def,
                                    const std::string& file) {
    CProfileFile profile(ResolveProfilePath(file));
    if (!profile.Load()) return def;
    return profile.GetString(section, key, def);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    CProfileFile profile(ResolveProfilePath(file));
    // An unreadable file is not overwritten: its other sections would be lost.
    if (!profile.Load()) return false;
    profile.SetString(section, key, value);
    return profile.Save();
}
