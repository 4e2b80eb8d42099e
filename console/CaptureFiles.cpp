// File > Open Image and Save Image As: RAW files of exactly 72416 bytes, and
// 8-bit grey PNG pictures of 248 x 292 (made by ops/PngImage.h, as the
// command line makes them). The kind goes by the name: a name ending in
// ".png" (any letter case) is a PNG, any other a RAW file.
#include <QFileInfo>
#include <QImage>
#include <array>
#include <cstring>
#include <vector>

#include "console/CaptureFlow.h"
#include "ops/PngImage.h"
#include "platform/qt/UiOperator.h"

const char* const IMAGE_OPEN_FILTER = "RAW files(*.raw)|*.raw|PNG image (*.png)|*.png|All files|*.*|";
const char* const IMAGE_SAVE_FILTER = "RAW files(*.raw)|*.raw|PNG image (*.png)|*.png|All files|*.*|";
const char* const IMAGE_DEFAULT_EXT = "*.RAW";

namespace {

bool IsPngName(const QString& path) { return path.endsWith(".png", Qt::CaseInsensitive); }

QString NameOf(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

QString CCaptureFlow::FileProblemText(const SImageFileResult& result, const QString& path) const {
    const QString reason = QString::fromStdString(result.reason);
    switch (result.result) {
    case EImageFile::OPEN_FAILED: return QString("Cannot open '%1': %2.").arg(path, reason);
    case EImageFile::READ_FAILED: return QString("Cannot read '%1': %2.").arg(path, reason);
    case EImageFile::WRITE_FAILED: return QString("Cannot write '%1': %2.").arg(path, reason);
    case EImageFile::WRONG_SIZE:
        return QString("'%1' is not a fingerprint image: it has %2 bytes, a RAW image has exactly %3.")
            .arg(NameOf(path))
            .arg(static_cast<qulonglong>(result.size))
            .arg(static_cast<qulonglong>(IMAGE_SIZE));
    case EImageFile::OK: break;
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
    if (!IsPngName(path)) {
        const SImageFileResult result = LoadRawImage(chosen, m_Image);
        if (!result.Ok()) {
            ReportFileProblem(FileProblemText(result, path));
            return;
        }
        Repaint();
        return;
    }
    std::vector<std::uint8_t> bytes;
    const SImageFileResult result = ReadWholeFile(chosen, bytes);
    if (!result.Ok()) {
        ReportFileProblem(FileProblemText(result, path));
        return;
    }
    QImage picture;
    if (!picture.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "PNG")) {
        ReportFileProblem(QString("'%1' is not a PNG image.").arg(NameOf(path)));
        return;
    }
    if (picture.width() != IMAGE_WIDTH || picture.height() != IMAGE_HEIGHT) {
        ReportFileProblem(QString("'%1' is not a fingerprint image: it is %2 x %3 pixels, an image is %4 x %5.")
                              .arg(NameOf(path))
                              .arg(picture.width())
                              .arg(picture.height())
                              .arg(IMAGE_WIDTH)
                              .arg(IMAGE_HEIGHT));
        return;
    }
    picture = picture.convertToFormat(QImage::Format_Grayscale8);
    std::array<std::uint8_t, IMAGE_SIZE> pixels;
    for (int y = 0; y < IMAGE_HEIGHT; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * IMAGE_WIDTH, picture.constScanLine(y), IMAGE_WIDTH);
    }
    m_Image.StorePiece(0, pixels.data(), pixels.size());
    Repaint();
}

void CCaptureFlow::OnSaveImage() {
    std::string chosen;
    if (!m_Console.Operator().GetSaveFileName(IMAGE_SAVE_FILTER, IMAGE_DEFAULT_EXT, true, chosen)) return;
    const QString path = QString::fromStdString(chosen);
    SImageFileResult result;
    if (IsPngName(path)) {
        const std::vector<std::uint8_t> bytes = EncodeGreyPng(m_Image.Data(), IMAGE_WIDTH, IMAGE_HEIGHT);
        if (bytes.empty()) {
            ReportFileProblem(QString("Cannot write '%1': the PNG image could not be made.").arg(path));
            return;
        }
        result = WriteWholeFile(chosen, bytes.data(), bytes.size());
    } else {
        result = SaveRawImage(chosen, m_Image);
    }
    if (!result.Ok()) ReportFileProblem(FileProblemText(result, path));
}
