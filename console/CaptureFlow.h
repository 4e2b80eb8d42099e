#pragma once
// Image capture and display: CAPTURE by the board's method (CMD_GET_IMAGE in
// pieces of 2048 bytes on a ZEL12, CMD_GET_IMAGE2 in pieces of 512 bytes on
// the others), the picture repainted after every piece, the continuous
// capture loop (check box, START/STOP, Success and Fail counters), and File >
// Open Image / Save Image As (RAW, and PNG; CaptureFiles.cpp).
//
// A capture owns the link from its first piece request to its end (the last
// piece, a time-out, a cancel, STOP, or the operator closing the waiting
// prompt): other flows' requests are refused meanwhile. STOP abandons the
// piece request under way at the module client, so that its answer, should
// it still come, is dropped there as stale; an answer is only ever taken for
// the request it answers.
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

    bool OnCommand(int id, int code) override;
    void OnFormCreated() override;
    void OnLinkClosed() override;
    void OnChecksumError() override;
    void OnCancelSent() override { m_bCancelPressed = true; }

    const CImageStore& Image() const { return m_Image; }
    CImagePicture* Picture() const { return m_pPicture; }
    // The continuous-capture loop runs.
    bool IsLooping() const { return m_bContinuous; }

    int m_nSuccessCount = 0;
    int m_nFailCount = 0;
    // START/STOP shows "START".
    bool m_bStartMode = true;

private:
    // ---- capture (CaptureFlow.cpp) ----
    void OnAnswer(const CReply& reply) override;
    void OnExchangeEnded(const CReply& reply) override;
    void OnCapture();
    void OnContinuous();
    void OnStartStop();
    void OnImageAnswer(const CReply& reply);
    void OnImage2Answer(const CReply& reply);
    void NextCapture();
    void ImageComplete();
    void CountFailure();
    // Asks for a piece; false (and the capture ended) when it was not sent.
    bool RequestPiece(std::uint32_t command, std::uint32_t piece);
    // The capture is over: the link is free for other flows again.
    void EndCapture();
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
    // The continuous-capture loop runs.
    bool m_bContinuous = false;
    // CANCEL was sent during a capture; cleared by CAPTURE.
    bool m_bCancelPressed = false;
};
