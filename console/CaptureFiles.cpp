// File > Open Image and Save Image As: RAW files of exactly 72416 bytes, and
// PNG pictures of 248 x 292 (saved as 8-bit grey by ops/PngImage.h, as the
// command line makes them). The kind goes by the name: a name ending in
// ".png" (any letter case) is a PNG, any other a RAW file.
//
// Only regular files are opened, and their size is judged from their
// metadata before anything is read. Both kinds are saved whole or not at all.
// A PNG of any colour type and bit depth is turned into 8-bit grey by its
// luminance; transparent pixels count as white, the colour of no finger.
#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <vector>

#include "console/CaptureFlow.h"
#include "ops/PngImage.h"
#include "platform/core/FileAccess.h"
#include "platform/qt/UiOperator.h"

const char* const IMAGE_OPEN_FILTER = "RAW files(*.raw)|*.raw|PNG image (*.png)|*.png|All files|*.*|";
const char* const IMAGE_SAVE_FILTER = "RAW files(*.raw)|*.raw|PNG image (*.png)|*.png|All files|*.*|";
const char* const IMAGE_DEFAULT_EXT = "*.RAW";

namespace {

// A PNG of the image's size holds at most 248 x 292 pixels of 8 bytes
// (16-bit RGBA) and its chunks; anything far larger is not one of ours.
constexpr std::uint64_t PNG_MAX_FILE_SIZE = 16u << 20;

bool IsPngName(const QString& path) { return path.endsWith(".png", Qt::CaseInsensitive); }

QString NameOf(const QString& path) { return QFileInfo(path).fileName(); }

QString Why(const SFileResult& result) { return QString::fromStdString(result.Why()); }

// The 8-bit grey level of each pixel: luminance 0.299 R + 0.587 G + 0.114 B
// of the 16-bit samples (so a 16-bit picture keeps its precision until the
// last step), over a white background where a pixel is not opaque. A grey
// pixel v of an 8-bit picture comes back as v exactly.
void GreyLevels(const QImage& picture, std::uint8_t* pixels) {
    const QImage wide = picture.convertToFormat(QImage::Format_RGBA64);
    for (int y = 0; y < wide.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgba64*>(wide.constScanLine(y));
        for (int x = 0; x < wide.width(); ++x) {
            const QRgba64 p = line[x];
            const std::uint64_t luma = (19595ull * p.red() + 38470ull * p.green() + 7471ull * p.blue() + 32768) >> 16;
            const std::uint64_t alpha = p.alpha();
            const std::uint64_t over = (luma * alpha + 65535ull * (65535 - alpha) + 32767) / 65535;
            *pixels++ = static_cast<std::uint8_t>((over * 255 + 32767) / 65535);
        }
    }
}

}  // namespace

QString CCaptureFlow::FileProblemText(const SFileResult& result, const QString& path, bool saving) const {
    switch (result.error) {
    case EFileError::OPEN: return QString("Cannot open '%1': %2.").arg(path, Why(result));
    case EFileError::NOT_REGULAR:
        return QString(saving ? "Cannot write '%1': %2." : "Cannot open '%1': %2.").arg(path, Why(result));
    case EFileError::READ: return QString("Cannot read '%1': %2.").arg(path, Why(result));
    case EFileError::WRITE: return QString("Cannot write '%1': %2.").arg(path, Why(result));
    case EFileError::NONE: break;
    }
    return QString();
}

void CCaptureFlow::ReportFileProblem(const QString& text) {
    m_Console.SetStatusText(text);
    m_Console.Operator().MessageBox(text.toStdString(), "", MB_OK | MB_ICONEXCLAMATION);
}

void CCaptureFlow::OnOpenImage() {
    std::string chosen;
    if (!m_Console.Operator().GetOpenFileName(IMAGE_OPEN_FILTER, IMAGE_DEFAULT_EXT, chosen)) return;
    const QString path = QString::fromStdString(chosen);
    CInputFile file;
    SFileResult result = file.Open(chosen);
    if (!result.Ok()) {
        ReportFileProblem(FileProblemText(result, path, false));
        return;
    }
    const bool png = IsPngName(path);
    const std::uint64_t size = file.Size();
    if (!png && size != IMAGE_SIZE) {
        ReportFileProblem(QString("'%1' is not a fingerprint image: it has %2 bytes, a RAW image has exactly %3.")
                              .arg(NameOf(path), QString::number(size), QString::number(IMAGE_SIZE)));
        return;
    }
    if (png && size > PNG_MAX_FILE_SIZE) {
        ReportFileProblem(QString("'%1' is not a fingerprint image: it has %2 bytes, far more than a PNG of %3 x %4.")
                              .arg(NameOf(path), QString::number(size), QString::number(IMAGE_WIDTH),
                                   QString::number(IMAGE_HEIGHT)));
        return;
    }
    std::vector<std::uint8_t> bytes;
    result = file.Read(bytes, static_cast<std::size_t>(size));
    if (!result.Ok()) {
        ReportFileProblem(FileProblemText(result, path, false));
        return;
    }
    if (!png) {
        if (bytes.size() != IMAGE_SIZE) {
            ReportFileProblem(QString("Cannot read '%1': it changed while it was read.").arg(path));
            return;
        }
        m_Image.StorePiece(0, bytes.data(), bytes.size());
        Repaint();
        return;
    }
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    // The header tells the size: a picture of another size is not decoded.
    const QSize dimensions = reader.size();
    if (!reader.canRead() || !dimensions.isValid()) {
        ReportFileProblem(QString("'%1' is not a PNG image.").arg(NameOf(path)));
        return;
    }
    if (dimensions != QSize(IMAGE_WIDTH, IMAGE_HEIGHT)) {
        ReportFileProblem(QString("'%1' is not a fingerprint image: it is %2 x %3 pixels, an image is %4 x %5.")
                              .arg(NameOf(path), QString::number(dimensions.width()),
                                   QString::number(dimensions.height()), QString::number(IMAGE_WIDTH),
                                   QString::number(IMAGE_HEIGHT)));
        return;
    }
    const QImage picture = reader.read();
    if (picture.isNull() || picture.size() != dimensions) {
        ReportFileProblem(QString("'%1' is not a PNG image.").arg(NameOf(path)));
        return;
    }
    std::vector<std::uint8_t> pixels(IMAGE_SIZE);
    GreyLevels(picture, pixels.data());
    m_Image.StorePiece(0, pixels.data(), pixels.size());
    Repaint();
}

void CCaptureFlow::OnSaveImage() {
    std::string chosen;
    if (!m_Console.Operator().GetSaveFileName(IMAGE_SAVE_FILTER, IMAGE_DEFAULT_EXT, true, chosen)) return;
    const QString path = QString::fromStdString(chosen);
    SFileResult result;
    if (IsPngName(path)) {
        const std::vector<std::uint8_t> bytes = EncodeGreyPng(m_Image.Data(), IMAGE_WIDTH, IMAGE_HEIGHT);
        if (bytes.empty()) {
            ReportFileProblem(QString("Cannot write '%1': the PNG image could not be made.").arg(path));
            return;
        }
        result = ReplaceFile(chosen, bytes.data(), bytes.size());
    } else {
        result = ReplaceFile(chosen, m_Image.Data(), m_Image.Size());
    }
    if (!result.Ok()) ReportFileProblem(FileProblemText(result, path, true));
}
