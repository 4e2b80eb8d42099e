#pragma once
// Private profile files ("VESKA.INI"): sections of "key=value" lines.
//
// Reading follows the classic profile calls: section and key names match
// without regard to case, the first match wins, a missing file, section or
// key gives the default. Writing keeps every other line of the file as it
// was (comments, blank lines, other sections and keys, their order), replaces
// the value of an existing key in place and appends a missing key at the end
// of its section (a missing section at the end of the file). The file is
// replaced atomically: the new text goes to a temporary file in the same
// folder, which is then renamed over the old one, so a crash never leaves a
// half-written file.
//
// A bare file name (no '/') is resolved in the profile directory, by default
// the user's configuration folder under the maker's name
// (~/.config/Talven); SetProfileDirectory changes it for the whole program.
#include <string>
#include <vector>

class CProfileFile {
public:
    CProfileFile() = default;
    explicit CProfileFile(std::string path) : m_strPath(std::move(path)) {}

    const std::string& Path() const { return m_strPath; }

    // Reads the file. A missing file reads as empty and returns true; false
    // only when the file exists but cannot be read.
    bool Load();
    // Writes the lines atomically, creating the folder when it is missing.
    // Returns false (and leaves the old file untouched) on any failure.
    bool Save() const;

    // The value text with surrounding blanks removed; def when the section or
    // key is missing.
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) const;
    // The value read as a decimal integer (ProfileTextToInt); def when the
    // key is missing or its value is empty.
    int GetInt(const std::string& section, const std::string& key, int def) const;
    bool HasKey(const std::string& section, const std::string& key) const;

    // Sets the value of key, adding the key (and the section) when missing.
    void SetString(const std::string& section, const std::string& key, const std::string& value);
    void SetInt(const std::string& section, const std::string& key, int value);

    // The whole text as it would be saved.
    std::string Text() const;

private:
    // The text after "key=" in section; false when the section or key is missing.
    bool FindValue(const std::string& section, const std::string& key, std::string& value) const;
    // Index of the "[section]" line, or -1.
    int FindSection(const std::string& section) const;
    // Index of the key's line within the section starting at sectionLine, or -1.
    int FindKey(int sectionLine, const std::string& key) const;
    // One past the last non-blank line of the section.
    int SectionEnd(int sectionLine) const;

    std::string m_strPath;
    std::vector<std::string> m_Lines;  // without line ends
    std::string m_strEol = "\n";       // "\r\n" when the file was read so
    bool m_bFinalEol = true;           // the last line ended with a line end
};

// Decimal text as the classic profile call reads it: leading blanks, an
// optional sign, then digits up to the first non-digit; no digits gives 0.
// The value wraps like a 32-bit integer.
int ProfileTextToInt(const std::string& text);

// Directory for bare profile names.
void SetProfileDirectory(const std::string& dir);
std::string ProfileDirectory();
// The user's configuration folder under the maker's name: $XDG_CONFIG_HOME/Talven
// when that is set to an absolute path, else $HOME/.config/Talven.
std::string DefaultProfileDirectory();
// name with a '/' is used as it is; a bare name is placed in ProfileDirectory().
std::string ResolveProfilePath(const std::string& name);

// The two classic calls, one file access each.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int def, const std::string& file);
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& def,
                                    const std::string& file);
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file);
