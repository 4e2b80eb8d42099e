#pragma once
// Image capture and display: CAPTURE by the board's method (CMD_GET_IMAGE in
// pieces of 2048 bytes on a ZEL12, CMD_GET_IMAGE2 in pieces of 512 bytes on
// the others), the picture repainted after every piece, the continuous
// capture loop (check box, START/STOP, Success and Fail counters), and File >
// Open Image / Save Image As (RAW, and PNG; CaptureFiles.cpp).
#include <QPointer>
#include <QString>
#include <cstdint>

#include "console/ConsoleFlow.h"
#include "console/ImagePicture.h"
#include "protocol/ImageStore.h"

struct SFileResult;

// File dialog filters: RAW images, PNG pictures, anything.
extern const char* const IMAGE_OPEN_FILTER;
extern const char* const IMAGE_SAVE_FILTER;
extern const char* const IMAGE_DEFAULT_EXT;

class CCaptureFlow : public CConsoleFlow {
public:
    explicit CCaptureFlow(IConsoleContext& console);
    ~CCaptureFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    void OnFormCreated() override;
    void OnLinkClosed() override;
    void OnChecksumError() override;

    const CImageStore& Image() const { return m_Image; }
    CImagePicture* Picture() const { return m_pPicture; }

    // The next image answer is discarded (STOP with a piece request under way).
    bool m_bIgnoreNextImage = false;
    int m_nSuccessCount = 0;
    int m_nFailCount = 0;
    // START/STOP shows "START".
    bool m_bStartMode = true;

private:
    // ---- capture (CaptureFlow.cpp) ----
    void OnCapture();
    void OnContinuous();
    void OnStartStop();
    LRESULT OnImageAnswer(WPARAM packet, LPARAM);
    LRESULT OnImage2Answer(WPARAM packet, LPARAM);
    void NextCapture();
    void ImageComplete();
    void CountFailure();
    void RequestPiece(std::uint32_t command, std::uint32_t piece);
    // Takes an answer of command for the request under way; false for an
    // answer nobody waits for (a late duplicate after a re-send).
    bool TakeAnswer(std::uint32_t command, std::uint32_t piece, bool anyPiece);
    // Stores a piece and repaints; false when it does not fit in the image.
    bool StorePiece(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count);
    // A piece that does not fit ends this image (a failure in the loop).
    void PieceDoesNotFit(std::uint32_t piece);
    void Repaint();

    // ---- files (CaptureFiles.cpp) ----
    void OnOpenImage();
    void OnSaveImage();
    void ReportFileProblem(const QString& text);
    // The text of a file that could not be opened, read or written.
    QString FileProblemText(const SFileResult& result, const QString& path, bool saving) const;

    CImageStore m_Image;
    QPointer<CImagePicture> m_pPicture;
    // The piece request under way: its command and piece index.
    bool m_bPending = false;
    std::uint32_t m_nPendingCommand = 0;
    std::uint32_t m_nPendingPiece = 0;
};
