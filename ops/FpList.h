#pragma once
// The fingerprint and master lists last read from the module, kept by the
// main form's side of the database manager for the whole run (they outlive
// the window). Each record is the 10-byte ID field of the wire: the ID text
// and a zero byte; at most 9 characters count.
//
// The fingerprint list is stored sorted: records in ascending order of their
// 10 bytes compared as signed 8-bit values, so IDs sort as text ("1" before
// "10" before "2" before "9"). The master list is kept as received. One master
// mark per fingerprint record says whether its ID is in the master list; the
// marks grow with the list (at least 100), so a list of any length is marked
// whole and nothing is written past them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int FP_RECORD_SIZE = 10;
constexpr int FP_MIN_MARKS = 100;

class CFpList {
public:
    using Record = std::array<std::uint8_t, FP_RECORD_SIZE>;

    // Stores count records of records (count * 10 bytes), sorted, and clears
    // every master mark. A negative count stores none.
    void SetFpList(const std::uint8_t* records, int count);
    // Stores count records as received.
    void SetMasterList(const std::uint8_t* records, int count);
    // Mark i = 1 when fingerprint record i's ID text equals a master record's.
    // With an empty master list the marks stay cleared.
    void MarkMasters();

    int FpCount() const { return static_cast<int>(m_FpRecords.size()); }
    int MasterCount() const { return static_cast<int>(m_MasterRecords.size()); }
    const Record& FpRecord(int i) const { return m_FpRecords[static_cast<std::size_t>(i)]; }
    const Record& MasterRecord(int i) const { return m_MasterRecords[static_cast<std::size_t>(i)]; }
    // The ID as shown: the text up to its zero byte, at most 9 characters.
    std::string FpId(int i) const { return IdText(FpRecord(i)); }
    std::string MasterId(int i) const { return IdText(MasterRecord(i)); }
    bool IsMaster(int i) const;
    // Number of marks held: the larger of 100 and the fingerprint count.
    std::size_t MarkCapacity() const { return m_Marks.size(); }

    static std::string IdText(const Record& record);
    // True when a sorts before b: bytes compared as signed 8-bit values.
    static bool Less(const Record& a, const Record& b);
    // Puts records in that order (any equal records are indistinguishable).
    static void Sort(std::vector<Record>& records);

private:
    static std::vector<Record> Copy(const std::uint8_t* records, int count);

    std::vector<Record> m_FpRecords;
    std::vector<Record> m_MasterRecords;
    std::vector<std::uint8_t> m_Marks = std::vector<std::uint8_t>(FP_MIN_MARKS, 0);
};
