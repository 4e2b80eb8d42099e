// File > Open Image and Save Image As: RAW byte for byte, PNG pixel for
// pixel, wrong sizes refused with the image unchanged, and files that cannot
// be read or written reported.
#include <QImage>
#include <QImageReader>
#include <filesystem>
#include <unistd.h>

#include "tests/ui/CaptureHelpers.h"

using namespace capture_test;

namespace {

struct CFileConsole {
    CConsole console;
    CTempDir dir;
    CCaptureFlow* flow = nullptr;
    bool Start() {
        if (!console.Start()) return false;
        flow = &Capture(console);
        return true;
    }
    // Opens path through File > Open Image.
    void Open(const std::string& path) {
        console.op.fileAnswers.push_back(path);
        console.Choose(ID_FILE_OPEN_IMAGE);
    }
    void Save(const std::string& path) {
        console.op.fileAnswers.push_back(path);
        console.Choose(ID_FILE_SAVE_IMAGE);
    }
    std::string LastBox() const { return console.op.boxes.empty() ? std::string() : console.op.boxes.back().text; }
};

std::string AsString(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

TEST(CaptureFiles, RawSavedAndReopenedByteForByteAndShownInThePicture) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::vector<std::uint8_t> image = SimFingerImage(7);
    const std::string source = f.dir.File("source.RAW");
    WriteFile(source, AsString(image));
    f.Open(source);
    EXPECT_EQ(Bytes(f.flow->Image()), image);
    EXPECT_EQ(Shown(*f.flow), image);
    ASSERT_EQ(f.console.op.fileQuestions.size(), 1u);
    EXPECT_FALSE(f.console.op.fileQuestions[0].save);
    EXPECT_EQ(f.console.op.fileQuestions[0].defExt, "*.RAW");
    EXPECT_EQ(f.console.op.fileQuestions[0].filter.rfind("RAW files(*.raw)|*.raw|", 0), 0u);

    const std::string copy = f.dir.File("copy.raw");
    f.Save(copy);
    EXPECT_TRUE(f.console.op.fileQuestions[1].save);
    EXPECT_EQ(ReadFile(copy), AsString(image));
    EXPECT_TRUE(f.console.op.boxes.empty());
    // Cancel in either dialog does nothing.
    f.Open("");
    f.Save("");
    EXPECT_EQ(Bytes(f.flow->Image()), image);
    EXPECT_TRUE(f.console.op.boxes.empty());
}

TEST(CaptureFiles, PngExportIsAGreyPictureReadBackPixelForPixelAndOpensAgain) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::vector<std::uint8_t> image = SimFingerImage(8);
    const std::string raw = f.dir.File("finger.raw");
    WriteFile(raw, AsString(image));
    f.Open(raw);
    const std::string png = f.dir.File("finger.PNG");
    f.Save(png);
    ASSERT_TRUE(f.console.op.boxes.empty()) << f.LastBox();
    EXPECT_EQ(f.console.op.fileQuestions.back().filter.find("PNG image (*.png)|*.png|") != std::string::npos, true);
    QImageReader reader(QString::fromStdString(png));
    EXPECT_EQ(reader.format(), "png");
    QImage picture = reader.read();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(picture.width(), IMAGE_WIDTH);
    ASSERT_EQ(picture.height(), IMAGE_HEIGHT);
    std::size_t differ = 0;
    for (int y = 0; y < IMAGE_HEIGHT; ++y) {
        for (int x = 0; x < IMAGE_WIDTH; ++x) differ += qGray(picture.pixel(x, y)) != image[y * IMAGE_WIDTH + x];
    }
    EXPECT_EQ(differ, 0u);
    // Back in through Open Image, over another image.
    WriteFile(raw, AsString(SimFingerImage(9)));
    f.Open(raw);
    f.Open(png);
    EXPECT_EQ(Bytes(f.flow->Image()), image);
}

TEST(CaptureFiles, WrongSizesAreRefusedAndTheImageStaysAsItWas) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::vector<std::uint8_t> image = SimFingerImage(10);
    WriteFile(f.dir.File("good.raw"), AsString(image));
    f.Open(f.dir.File("good.raw"));
    const struct { std::string name; std::string content; const char* box; } cases[] = {
        {"short.raw", std::string(72415, 'x'),
         "'short.raw' is not a fingerprint image: it has 72415 bytes, a RAW image has exactly 72416."},
        {"long.raw", std::string(72417, 'x'),
         "'long.raw' is not a fingerprint image: it has 72417 bytes, a RAW image has exactly 72416."},
        {"empty.raw", std::string(),
         "'empty.raw' is not a fingerprint image: it has 0 bytes, a RAW image has exactly 72416."},
        {"text.png", "not a picture", "'text.png' is not a PNG image."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(f.dir.File(c.name), c.content);
        f.Open(f.dir.File(c.name));
        EXPECT_EQ(f.LastBox(), c.box);
        EXPECT_EQ(f.console.Text(IDC_STATUS_LINE).toStdString(), c.box);
        EXPECT_EQ(Bytes(f.flow->Image()), image);
    }
    QImage wrong(100, 80, QImage::Format_Grayscale8);
    wrong.fill(0);
    ASSERT_TRUE(wrong.save(QString::fromStdString(f.dir.File("small.png"))));
    f.Open(f.dir.File("small.png"));
    EXPECT_EQ(f.LastBox(), "'small.png' is not a fingerprint image: it is 100 x 80 pixels, an image is 248 x 292.");
    EXPECT_EQ(Bytes(f.flow->Image()), image);
}

TEST(CaptureFiles, FilesThatCannotBeReadOrWrittenAreReported) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::string missing = f.dir.File("missing.raw");
    f.Open(missing);
    EXPECT_EQ(f.LastBox(), "Cannot open '" + missing + "': No such file or directory.");
    const std::string folder = f.dir.File("folder.raw");
    std::filesystem::create_directory(folder);
    f.Open(folder);
    EXPECT_EQ(f.LastBox(), "Cannot read '" + folder + "': Is a directory.");
    const std::string nowhere = f.dir.File("no/such/folder.raw");
    f.Save(nowhere);
    EXPECT_EQ(f.LastBox(), "Cannot open '" + nowhere + "': No such file or directory.");
    f.Save(f.dir.File("no/such/folder.png"));
    EXPECT_EQ(f.LastBox(), "Cannot open '" + f.dir.File("no/such/folder.png") + "': No such file or directory.");
    if (access("/dev/full", W_OK) == 0) {
        f.Save("/dev/full");
        EXPECT_EQ(f.LastBox(), "Cannot write '/dev/full': No space left on device.");
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
    EXPECT_EQ(f.console.Text(IDC_STATUS_LINE).toStdString(), f.LastBox());
    EXPECT_EQ(Bytes(f.flow->Image()), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
}

TEST(CaptureFiles, ABareNameTakesTheExtensionOfTheChosenFilter) {
    EXPECT_EQ(CQtOperator::DefaultSuffix("*.RAW"), "RAW");
    EXPECT_EQ(CQtOperator::DefaultSuffix(".min"), "min");
    EXPECT_EQ(CQtOperator::DefaultSuffix("LOG"), "LOG");
    const QStringList filters = CQtOperator::ConvertFilter(IMAGE_SAVE_FILTER);
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(CQtOperator::FilterSuffix(filters[0]), "raw");
    EXPECT_EQ(CQtOperator::FilterSuffix(filters[1]), "png");
    EXPECT_EQ(CQtOperator::FilterSuffix(filters[2]), "");
}
