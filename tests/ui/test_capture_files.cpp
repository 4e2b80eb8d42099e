// File > Open Image and Save Image As: RAW byte for byte, PNG pixel for
// pixel, wrong sizes refused with the image unchanged, and files that cannot
// be read or written reported.
#include <QImage>
#include <QImageReader>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>

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
    // Shows the simulated finger image of seed, opened from a RAW file that
    // is then removed; returns its bytes.
    std::vector<std::uint8_t> ShowImage(int seed) {
        const std::vector<std::uint8_t> image = SimFingerImage(seed);
        const std::string path = dir.File("shown.raw");
        WriteFile(path, std::string(image.begin(), image.end()));
        Open(path);
        std::filesystem::remove(path);
        EXPECT_EQ(Bytes(flow->Image()), image);
        return image;
    }
};

std::string AsString(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Opening path is refused with box, shown in the status line too, and the
// image stays as it was.
void ExpectRefused(CFileConsole& f, const std::string& path, const std::string& box,
                   const std::vector<std::uint8_t>& image) {
    f.Open(path);
    EXPECT_EQ(f.LastBox(), box);
    EXPECT_EQ(f.console.Text(IDC_STATUS_LINE).toStdString(), box);
    EXPECT_EQ(Bytes(f.flow->Image()), image);
}

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
    EXPECT_TRUE(f.console.op.fileQuestions[0].existingOnly);
    EXPECT_EQ(f.console.op.fileQuestions[0].defExt, "*.RAW");
    EXPECT_EQ(f.console.op.fileQuestions[0].defaultSuffix, "RAW");
    EXPECT_EQ(f.console.op.fileQuestions[0].filter.rfind("RAW files(*.raw)|*.raw|", 0), 0u);

    const std::string copy = f.dir.File("copy.raw");
    f.Save(copy);
    EXPECT_TRUE(f.console.op.fileQuestions[1].save);
    // An existing picture is replaced only after the operator confirms it.
    EXPECT_TRUE(f.console.op.fileQuestions[1].overwritePrompt);
    EXPECT_FALSE(f.console.op.fileQuestions[1].existingOnly);
    EXPECT_EQ(f.console.op.fileQuestions[1].defaultSuffix, "RAW");
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
    const std::vector<std::uint8_t> image = f.ShowImage(10);
    const struct { std::string name; std::string content; const char* box; } cases[] = {
        {"short.raw", std::string(72415, 'x'),
         "'short.raw' is not a fingerprint image: it has 72415 bytes, a RAW image has exactly 72416."},
        {"long.raw", std::string(72417, 'x'),
         "'long.raw' is not a fingerprint image: it has 72417 bytes, a RAW image has exactly 72416."},
        {"empty.raw", std::string(),
         "'empty.raw' is not a fingerprint image: it has 0 bytes, a RAW image has exactly 72416."},
        {"text.png", "not a picture", "'text.png' is not a PNG image."},
        // The name goes into the text as it is, whatever it holds.
        {"50%1 %2.raw", std::string(3, 'x'),
         "'50%1 %2.raw' is not a fingerprint image: it has 3 bytes, a RAW image has exactly 72416."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(f.dir.File(c.name), c.content);
        ExpectRefused(f, f.dir.File(c.name), c.box, image);
    }
    QImage wrong(100, 80, QImage::Format_Grayscale8);
    wrong.fill(0);
    ASSERT_TRUE(wrong.save(QString::fromStdString(f.dir.File("small.png"))));
    ExpectRefused(f, f.dir.File("small.png"),
                  "'small.png' is not a fingerprint image: it is 100 x 80 pixels, an image is 248 x 292.", image);
}

TEST(CaptureFiles, FilesThatCannotBeReadOrWrittenAreReported) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::string missing = f.dir.File("missing.raw");
    f.Open(missing);
    EXPECT_EQ(f.LastBox(), "Cannot open '" + missing + "': No such file or directory.");
    const std::string nowhere = f.dir.File("no/such/folder.raw");
    f.Save(nowhere);
    EXPECT_EQ(f.LastBox(), "Cannot open '" + nowhere + "': No such file or directory.");
    f.Save(f.dir.File("no/such/folder.png"));
    EXPECT_EQ(f.LastBox(), "Cannot open '" + f.dir.File("no/such/folder.png") + "': No such file or directory.");
    // A device is not replaced by a file.
    f.Save("/dev/null");
    EXPECT_EQ(f.LastBox(), "Cannot write '/dev/null': it is a device.");
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(f.console.Text(IDC_STATUS_LINE).toStdString(), f.LastBox());
    EXPECT_EQ(Bytes(f.flow->Image()), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
    EXPECT_EQ(FolderEntries(f.dir.Path()), std::vector<std::string>{});
}

// Open Image reads only a regular file and judges its size from its metadata
// before reading: an endless device, a named pipe with no writer, a folder and
// an eight-gigabyte file (sparse: made by truncate, never written) are refused
// at once, with the reason, and the image stays as it was.
TEST(CaptureFiles, OnlyARegularFileOfTheRightSizeIsRead) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const std::vector<std::uint8_t> image = f.ShowImage(11);
    const std::string fifo = f.dir.File("pipe.raw"), folder = f.dir.File("folder.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    const std::string hugeRaw = f.dir.File("huge.raw"), hugePng = f.dir.File("huge.png");
    for (const std::string& huge : {hugeRaw, hugePng}) {
        WriteFile(huge, "");
        ASSERT_EQ(truncate(huge.c_str(), 8ll << 30), 0);
    }
    const struct { std::string path; std::string box; } cases[] = {
        {"/dev/zero", "Cannot open '/dev/zero': it is a device."},
        {fifo, "Cannot open '" + fifo + "': it is a named pipe."},
        {folder, "Cannot open '" + folder + "': it is a folder."},
        {hugeRaw, "'huge.raw' is not a fingerprint image: it has 8589934592 bytes, a RAW image has exactly 72416."},
        {hugePng, "'huge.png' is not a fingerprint image: it has 8589934592 bytes, far more than a PNG of 248 x 292."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ExpectRefused(f, c.path, c.box, image);
    }
}

// A save that fails part-way (the disk fills) leaves the file it was to
// replace as it was, and no temporary file behind; the same save goes
// through once there is room.
TEST(CaptureFiles, ASaveThatFailsPartWayKeepsTheFileItWasToReplace) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    f.ShowImage(12);
    for (const char* name : {"earlier.raw", "earlier.png"}) {
        SCOPED_TRACE(name);
        const std::string path = f.dir.File(name);
        const std::string before = "the operator's earlier picture";
        WriteFile(path, before);
        {
            CFileSizeLimit limit(512);
            f.Save(path);
        }
        EXPECT_EQ(f.LastBox(), "Cannot write '" + path + "': File too large.");
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_EQ(FolderEntries(f.dir.Path()), std::vector<std::string>{name});
        f.console.op.boxes.clear();
        f.Save(path);
        EXPECT_TRUE(f.console.op.boxes.empty()) << f.LastBox();
        EXPECT_NE(ReadFile(path), before);
        std::filesystem::remove(path);
    }
}

// PNG pictures of other colour types and depths become 8-bit grey by their
// luminance (0.299 R + 0.587 G + 0.114 B, 16-bit samples rounded at the
// end); a pixel that is not opaque lies over white.
TEST(CaptureFiles, ColourAnd16BitPngPicturesBecomeGreyByLuminance) {
    CFileConsole f;
    ASSERT_TRUE(f.Start());
    const QSize size(IMAGE_WIDTH, IMAGE_HEIGHT);
    struct SCase {
        const char* name;
        QImage picture;
        std::uint8_t expected[4];  // pixels (0,0), (1,0), (2,0), (3,0)
    };
    QImage rgb(size, QImage::Format_RGB32);
    rgb.fill(qRgb(10, 20, 30));
    rgb.setPixel(0, 0, qRgb(255, 0, 0));
    rgb.setPixel(1, 0, qRgb(0, 255, 0));
    rgb.setPixel(2, 0, qRgb(0, 0, 255));
    // (10, 20, 30): 0.299 * 10 + 0.587 * 20 + 0.114 * 30 = 18.15
    QImage grey16(size, QImage::Format_Grayscale16);
    grey16.fill(0);
    auto* row16 = reinterpret_cast<quint16*>(grey16.scanLine(0));
    row16[0] = 0xFFFF, row16[1] = 0x1280, row16[2] = 0x8000, row16[3] = 0x0080;  // 255, 18.4, 127.5, 0.5
    QImage alpha(size, QImage::Format_ARGB32);
    alpha.fill(qRgba(0, 0, 0, 255));
    alpha.setPixel(0, 0, qRgba(0, 0, 0, 0));     // transparent black: white
    alpha.setPixel(1, 0, qRgba(0, 0, 0, 128));   // half black over white
    alpha.setPixel(2, 0, qRgba(200, 200, 200, 255));
    QImage rgb48(size, QImage::Format_RGBX64);
    rgb48.fill(QColor::fromRgba64(0x8080, 0x8080, 0x8080));
    reinterpret_cast<QRgba64*>(rgb48.scanLine(0))[0] = QRgba64::fromRgba64(0xFFFF, 0, 0, 0xFFFF);
    QImage palette(size, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 255)});
    palette.fill(1);
    palette.setPixel(0, 0, 0);
    palette.setPixel(1, 0, 2);
    const SCase cases[] = {
        {"rgb.png", rgb, {76, 150, 29, 18}},
        {"grey16.png", grey16, {255, 18, 128, 0}},
        {"alpha.png", alpha, {255, 127, 200, 0}},
        {"rgb48.png", rgb48, {76, 128, 128, 128}},
        {"palette.png", palette, {0, 29, 255, 255}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QString::fromStdString(f.dir.File(c.name));
        ASSERT_TRUE(c.picture.save(path, "PNG"));
        f.Open(path.toStdString());
        EXPECT_TRUE(f.console.op.boxes.empty()) << f.LastBox();
        const std::uint8_t* shown = f.flow->Image().Data();
        EXPECT_EQ(std::vector<int>(shown, shown + 4),
                  std::vector<int>(std::begin(c.expected), std::end(c.expected)));
        EXPECT_EQ(f.flow->Image().Pixel(IMAGE_WIDTH - 1, IMAGE_HEIGHT - 1), c.expected[3]);
    }
    // The depth was kept in the files: the test reads what it meant to test.
    EXPECT_EQ(QImageReader(QString::fromStdString(f.dir.File("grey16.png"))).imageFormat(), QImage::Format_Grayscale16);
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
