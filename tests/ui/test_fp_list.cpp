// The fingerprint list store: the order of the records (bytes compared as
// signed values) against a reference sort that works the way the order is
// defined, byte by byte from the first; the master marks, also past the
// hundredth record.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ops/FpList.h"

namespace {

using FpRecord = CFpList::Record;

FpRecord Rec(const std::string& id) {
    FpRecord r{};
    std::copy_n(id.begin(), std::min<std::size_t>(id.size(), FP_RECORD_SIZE), r.begin());
    return r;
}

std::vector<std::uint8_t> FpBytes(const std::vector<FpRecord>& records) {
    std::vector<std::uint8_t> out;
    for (const FpRecord& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

std::vector<std::string> Ids(const CFpList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.FpCount(); ++i) out.push_back(list.FpId(i));
    return out;
}

// Reference: most-significant-byte-first bucket sort, one bucket per signed
// byte value (-128 first), each bucket sorted by the next byte.
void MsdSort(std::vector<FpRecord>& records, int byte = 0) {
    if (records.size() < 2 || byte == FP_RECORD_SIZE) return;
    std::vector<std::vector<FpRecord>> buckets(256);
    for (const FpRecord& r : records) {
        buckets[static_cast<std::size_t>(static_cast<std::int8_t>(r[byte]) + 128)].push_back(r);
    }
    records.clear();
    for (auto& bucket : buckets) {
        MsdSort(bucket, byte + 1);
        records.insert(records.end(), bucket.begin(), bucket.end());
    }
}

}  // namespace

TEST(FpListSort, TextOrderNotNumberOrderInEveryArrivalOrder) {
    std::vector<std::string> ids = {"1", "10", "2", "9"};
    std::sort(ids.begin(), ids.end(), [](auto& a, auto& b) { return a > b; });
    do {
        std::vector<FpRecord> records;
        for (const auto& id : ids) records.push_back(Rec(id));
        CFpList list;
        list.SetFpList(FpBytes(records).data(), 4);
        EXPECT_EQ(Ids(list), (std::vector<std::string>{"1", "10", "2", "9"}));
    } while (std::prev_permutation(ids.begin(), ids.end()));
}

TEST(FpListSort, ShorterPrefixFirstAndHighBytesSortAsNegative) {
    const struct { std::vector<std::string> in, out; } cases[] = {
        {{"abc", "ab", "a", "abcd"}, {"a", "ab", "abc", "abcd"}},
        // 0xC3 is -61 as a signed byte: before every ASCII character.
        {{"A", "\xC3\xA9t\xC3\xA9", "0", "~"}, {"\xC3\xA9t\xC3\xA9", "0", "A", "~"}},
        {{"Z", "a", "B", "b"}, {"B", "Z", "a", "b"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        std::vector<FpRecord> records;
        for (const auto& id : c.in) records.push_back(Rec(id));
        CFpList list;
        list.SetFpList(FpBytes(records).data(), static_cast<int>(records.size()));
        EXPECT_EQ(Ids(list), c.out);
    }
}

TEST(FpListSort, RandomListsMatchTheReferenceOrder) {
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        const int count = std::uniform_int_distribution<int>(0, 400)(random);
        std::vector<FpRecord> records;
        for (int i = 0; i < count; ++i) {
            FpRecord r{};
            // Short alphabets make long common prefixes and equal records;
            // some rounds use every byte value and no terminator at all.
            const bool anyByte = round % 4 == 0;
            const int length = std::uniform_int_distribution<int>(0, anyByte ? 10 : 9)(random);
            for (int k = 0; k < length; ++k) {
                r[k] = anyByte ? static_cast<std::uint8_t>(random())
                               : static_cast<std::uint8_t>("01289aZ"[random() % 7]);
            }
            records.push_back(r);
        }
        std::vector<FpRecord> expected = records;
        MsdSort(expected);
        CFpList list;
        list.SetFpList(FpBytes(records).data(), count);
        ASSERT_EQ(list.FpCount(), count);
        for (int i = 0; i < count; ++i) ASSERT_EQ(list.FpRecord(i), expected[i]) << "round " << round << " row " << i;
    }
}

TEST(FpListSort, ANineCharacterLimitOnTheShownIdAndANegativeCountStoresNothing) {
    CFpList list;
    const FpRecord full = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 'X'};
    list.SetFpList(full.data(), 1);
    EXPECT_EQ(list.FpId(0), "123456789");
    list.SetFpList(full.data(), -3);
    EXPECT_EQ(list.FpCount(), 0);
}

TEST(FpListMarks, MastersMarkedByIdTextEmptyMasterListLeavesMarksClear) {
    CFpList list;
    const std::vector<FpRecord> fps = {Rec("7"), Rec("12"), Rec("3"), Rec("12")};
    list.SetFpList(FpBytes(fps).data(), 4);  // 12, 12, 3, 7
    // A master record without a terminator still compares by its 9 characters.
    const std::vector<FpRecord> masters = {Rec("3"), Rec("12"), Rec("99")};
    list.SetMasterList(FpBytes(masters).data(), 3);
    list.MarkMasters();
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"12", "12", "3", "7"}));
    EXPECT_TRUE(list.IsMaster(0));
    EXPECT_TRUE(list.IsMaster(1));
    EXPECT_TRUE(list.IsMaster(2));
    EXPECT_FALSE(list.IsMaster(3));
    EXPECT_EQ(list.MasterId(2), "99");  // the master list keeps its order

    // A new fingerprint list clears every mark; an empty master list marks none.
    list.SetFpList(FpBytes(fps).data(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(list.IsMaster(i));
    list.SetMasterList(nullptr, 0);
    list.MarkMasters();
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(list.IsMaster(i));
    EXPECT_FALSE(list.IsMaster(-1));
    EXPECT_FALSE(list.IsMaster(1000));
}

TEST(FpListMarks, MarksGrowWithAListLongerThanAHundred) {
    for (int count : {99, 100, 101, 250, 1000}) {
        SCOPED_TRACE(count);
        std::vector<FpRecord> fps, masters;
        for (int i = 0; i < count; ++i) fps.push_back(Rec("id" + std::to_string(100000 + i)));
        // Every seventh record is a master, many of them past the hundredth.
        for (int i = 0; i < count; i += 7) masters.push_back(Rec("id" + std::to_string(100000 + i)));
        CFpList list;
        list.SetFpList(FpBytes(fps).data(), count);
        list.SetMasterList(FpBytes(masters).data(), static_cast<int>(masters.size()));
        list.MarkMasters();
        EXPECT_GE(list.MarkCapacity(), static_cast<std::size_t>(std::max(count, FP_MIN_MARKS)));
        for (int i = 0; i < count; ++i) {
            const int n = std::stoi(list.FpId(i).substr(2)) - 100000;
            ASSERT_EQ(list.IsMaster(i), n % 7 == 0) << "row " << i;
        }
        // A shorter list afterwards keeps the hundred marks and clears them.
        list.SetFpList(FpBytes(fps).data(), 5);
        EXPECT_EQ(list.MarkCapacity(), static_cast<std::size_t>(FP_MIN_MARKS));
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(list.IsMaster(i));
    }
}
