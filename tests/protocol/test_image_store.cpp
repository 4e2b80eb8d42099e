// The image store: pieces placed by offset, pieces past the end dropped, RAW
// files read and written byte for byte, and every way a file can fail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "protocol/ImageStore.h"

namespace {

std::vector<std::uint8_t> Pattern(std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(IMAGE_SIZE);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        bytes[k] = static_cast<std::uint8_t>((k * 31 + seed * 7 + k / 248) & 0xFF);
    }
    return bytes;
}

bool Equals(const CImageStore& store, const std::vector<std::uint8_t>& bytes) {
    return bytes.size() == IMAGE_SIZE && std::equal(bytes.begin(), bytes.end(), store.Data());
}

class CTempFolder {
public:
    CTempFolder() {
        const char* root = std::getenv("TMPDIR");
        m_Path = std::string(root && *root ? root : "/tmp") + "/pravik-image-XXXXXX";
        if (!mkdtemp(m_Path.data())) m_Path.clear();
    }
    ~CTempFolder() { std::filesystem::remove_all(m_Path); }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    const std::string s = text.str();
    return {s.begin(), s.end()};
}

}  // namespace

TEST(ImageStore, StartsWhiteAndClearMakesItWhiteAgain) {
    CImageStore store;
    EXPECT_TRUE(Equals(store, std::vector<std::uint8_t>(IMAGE_SIZE, 255)));
    const std::uint8_t black[3] = {0, 0, 0};
    ASSERT_TRUE(store.StorePiece(248, black, 3));
    EXPECT_EQ(store.Pixel(0, 1), 0);
    EXPECT_EQ(store.Pixel(3, 1), 255);
    store.Clear();
    EXPECT_TRUE(Equals(store, std::vector<std::uint8_t>(IMAGE_SIZE, 255)));
}

TEST(ImageStore, PiecesOfEitherMethodInAnyOrderRebuildTheImage) {
    const struct { std::size_t piece; std::size_t count; } methods[] = {
        {IMAGE_PIECE_SIZE, 36}, {IMAGE2_PIECE_SIZE, 142}};
    for (const auto& method : methods) {
        SCOPED_TRACE(method.piece);
        const std::vector<std::uint8_t> image = Pattern(static_cast<std::uint32_t>(method.piece));
        CImageStore store;
        // Odd pieces first, then even ones: each lands at its own offset.
        for (int pass = 1; pass >= 0; --pass) {
            for (std::size_t i = static_cast<std::size_t>(pass); i < method.count; i += 2) {
                const std::size_t offset = i * method.piece;
                const std::size_t n = std::min(method.piece, IMAGE_SIZE - offset);
                EXPECT_TRUE(store.StorePiece(offset, image.data() + offset, n)) << i;
            }
        }
        EXPECT_TRUE(Equals(store, image));
        // The last piece is the short one: 736 and 224 bytes.
        EXPECT_EQ(IMAGE_SIZE - (method.count - 1) * method.piece, method.piece == 2048 ? 736u : 224u);
    }
}

TEST(ImageStore, APieceReachingPastTheEndIsDroppedWhole) {
    const struct { std::size_t offset, count; bool stored; } cases[] = {
        {IMAGE_SIZE - 736, 736, true},    // the last CMD_GET_IMAGE piece
        {IMAGE_SIZE - 736, 737, false},   // one byte too many
        {35 * 2048, 2048, false},         // a full piece at the last index
        {36 * 2048, 2048, false},         // an index past the image
        {IMAGE_SIZE, 1, false},
        {IMAGE_SIZE, 0, true},            // nothing to store
        {SIZE_MAX - 10, 20, false},       // offset + count wraps around
        {0, IMAGE_SIZE + 1, false},
    };
    std::vector<std::uint8_t> source(IMAGE_SIZE + 2048, 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " + " << c.count);
        CImageStore store;
        EXPECT_EQ(store.StorePiece(c.offset, source.data(), c.count), c.stored);
        std::size_t changed = 0;
        for (std::size_t k = 0; k < IMAGE_SIZE; ++k) changed += store.Data()[k] != 255;
        EXPECT_EQ(changed, c.stored ? c.count : 0);
    }
}

TEST(ImageStore, RawSaveAndReopenGiveTheSameBytes) {
    CTempFolder folder;
    const std::vector<std::uint8_t> image = Pattern(3);
    CImageStore store;
    store.StorePiece(0, image.data(), image.size());
    const std::string path = folder.File("finger.raw");
    ASSERT_TRUE(SaveRawImage(path, store).Ok());
    EXPECT_EQ(ReadBytes(path), image);
    // Saving again over the file replaces it.
    store.Clear();
    ASSERT_TRUE(SaveRawImage(path, store).Ok());
    EXPECT_EQ(ReadBytes(path), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
    WriteBytes(path, image);
    CImageStore reopened;
    ASSERT_TRUE(LoadRawImage(path, reopened).Ok());
    EXPECT_TRUE(Equals(reopened, image));
}

TEST(ImageStore, AFileOfAnyOtherSizeIsRefusedAndTheImageStays) {
    CTempFolder folder;
    const std::vector<std::uint8_t> before = Pattern(9);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, IMAGE_SIZE - 1, IMAGE_SIZE + 1, 2 * IMAGE_SIZE + 5000}) {
        SCOPED_TRACE(size);
        const std::string path = folder.File("wrong.raw");
        WriteBytes(path, std::vector<std::uint8_t>(size, 0));
        CImageStore store;
        store.StorePiece(0, before.data(), before.size());
        const SImageFileResult result = LoadRawImage(path, store);
        EXPECT_EQ(result.result, EImageFile::WRONG_SIZE);
        EXPECT_EQ(result.size, size);
        EXPECT_TRUE(Equals(store, before));
    }
}

TEST(ImageStore, UnreadableAndUnwritableFilesAreReportedWithTheReason) {
    CTempFolder folder;
    CImageStore store;
    const std::vector<std::uint8_t> before(store.Data(), store.Data() + IMAGE_SIZE);

    SImageFileResult missing = LoadRawImage(folder.File("none.raw"), store);
    EXPECT_EQ(missing.result, EImageFile::OPEN_FAILED);
    EXPECT_EQ(missing.reason, "No such file or directory");

    std::filesystem::create_directory(folder.File("dir.raw"));
    SImageFileResult directory = LoadRawImage(folder.File("dir.raw"), store);
    EXPECT_NE(directory.result, EImageFile::OK);
    EXPECT_FALSE(directory.reason.empty());
    EXPECT_TRUE(Equals(store, before));

    SImageFileResult noFolder = SaveRawImage(folder.File("missing/x.raw"), store);
    EXPECT_EQ(noFolder.result, EImageFile::OPEN_FAILED);
    EXPECT_EQ(noFolder.reason, "No such file or directory");

    // A device that takes nothing: the failure is reported and the device
    // itself is left alone.
    if (access("/dev/full", W_OK) == 0) {
        SImageFileResult full = SaveRawImage("/dev/full", store);
        EXPECT_EQ(full.result, EImageFile::WRITE_FAILED);
        EXPECT_EQ(full.reason, "No space left on device");
        struct stat info{};
        EXPECT_EQ(stat("/dev/full", &info), 0);
    }
}
