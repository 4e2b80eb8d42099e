// capture: the console's capture (CaptureFlow) without its window. One image
// asks for piece after piece, each request sent from the answer to the one
// before (CMD_GET_IMAGE: pieces of 2048 bytes until the image is full;
// CMD_GET_IMAGE2: pieces of 512 until the answer names the last one); with
// --count N it is the continuous capture: N images, a failed one (no finger
// in time, a piece that does not fit, a frame lost to its checksum) counted
// and the next one started, the Success and Fail counts at the end. The
// capture owns the link while it runs. Each image is written whole or not at
// all, as PNG when the name ends in ".png" (any letter case), else RAW.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Jobs.h"
#include "ops/Answers.h"
#include "ops/PngImage.h"
#include "platform/core/FileAccess.h"
#include "protocol/ImageStore.h"

namespace {

bool IsPngName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".png";
}

// "img.png" as image 3 of 10: "img-03.png".
std::string NumberedName(const std::string& name, int n, int count) {
    const int width = static_cast<int>(std::to_string(count).size());
    char number[16];
    std::snprintf(number, sizeof number, "-%0*d", width, n);
    return WithSuffix(name, number);
}

class CCaptureJob : public CJob {
public:
    CCaptureJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        const int method = m_Command.method ? m_Command.method : (Module().IsZel12() ? 1 : 2);
        m_nCommand = method == 1 ? CMD_GET_IMAGE : CMD_GET_IMAGE2;
        m_bLoop = m_Command.count > 0;
        Values().Number("method", method);
        if (!Client().Claim(*this, "the image capture")) {
            Finish(EOutcome::Link, "The module is busy with " + Client().ClaimJob() + ".");
            return;
        }
        NextImage();
    }

    void NextImage() {
        ++m_nImage;
        m_Image.Clear();
        m_nPieces = 0;
        Host().Progress(kPutFinger);
        RequestPiece(0);
    }

    void RequestPiece(std::uint32_t piece) { Send(req::General(m_nCommand, 0, piece)); }

    void Report(const std::string& what, bool frequent = false) {
        std::string text = "capture";
        if (m_bLoop) text += " " + std::to_string(m_nImage) + "/" + std::to_string(m_Command.count);
        Host().Progress(text + ": " + what, frequent);
    }

    void OnAnswer(const CReply& reply) override {
        const CPacket& answer = reply.Packet();
        const auto result = static_cast<std::int32_t>(answer.m_Param1);
        if (m_nCommand == CMD_GET_IMAGE) {
            if (result == RES_TIMEOUT) return Failed(result, kImageNotInTime);
            // Every other answer is the piece asked for.
            const std::uint32_t p = reply.Request().param2;
            const std::uint64_t offset = std::uint64_t{p} * IMAGE_PIECE_SIZE;
            if (!Store(offset, answer)) return PieceDoesNotFit(p);
            if (offset + answer.m_DataSize < IMAGE_SIZE) return Next(p + 1, IMAGE_SIZE / IMAGE_PIECE_SIZE + 1);
            return Complete();
        }
        if (result == RES_SUCCESS) {
            const std::uint32_t index = (answer.m_Param2 >> 8) & 0xFF, last = answer.m_Param2 & 0xFF;
            if (!Store(std::uint64_t{index} * IMAGE2_PIECE_SIZE, answer)) return PieceDoesNotFit(index);
            if (index < last) return Next(index + 1, last + 1);
            return Complete();
        }
        if (result == RES_TIMEOUT) return Failed(result, m_bLoop ? kImageNotInTime : kImage2NotInTime);
        // A module that cancelled the capture ends the loop too.
        if (result == RES_CANCELED) return End(result, EOutcome::Failed, kCaptureCanceledByModule);
        End(result, EOutcome::Failed, "The module answered " + ResultText(result) + ".");
    }

    void OnExchangeEnded(const CReply& reply) override {
        if (reply.End() == EExchangeEnd::TimedOut) {
            Finish(EOutcome::Link, m_nCommand == CMD_GET_IMAGE ? kImageReceivingError : kImage2ReceivingError);
            return;
        }
        CJob::OnExchangeEnded(reply);
    }

    void OnChecksumError() override {
        // In the loop the lost answer counts as a failed image and the next
        // one starts (its request takes the place of the one lost); a single
        // capture waits for the re-send of its guarded request.
        if (m_bLoop) Failed(0, "Checksum error occurred.");
    }

    bool Store(std::uint64_t offset, const CPacket& answer) {
        if (offset > IMAGE_SIZE || !m_Image.StorePiece(static_cast<std::size_t>(offset), answer.m_Data,
                                                       answer.m_DataSize)) {
            return false;
        }
        ++m_nPieces;
        return true;
    }

    void Next(std::uint32_t piece, std::uint32_t pieces) {
        Report("piece " + std::to_string(piece) + "/" + std::to_string(pieces), true);
        RequestPiece(piece);
    }

    void PieceDoesNotFit(std::uint32_t piece) {
        Failed(RES_SUCCESS, "Image piece " + std::to_string(piece) + " does not fit in the image: the capture is ended.");
    }

    // This image failed: the end of a single capture, a count in the loop.
    void Failed(std::int32_t result, const std::string& text) {
        if (!m_bLoop) return End(result, EOutcome::Failed, text);
        ++m_nFail;
        Report(text);
        Client().Abandon(*this);
        Continue();
    }

    void Complete() {
        const std::string name = m_bLoop ? NumberedName(m_Command.file, m_nImage, m_Command.count) : m_Command.file;
        SFileResult written;
        if (IsPngName(name)) {
            const std::vector<std::uint8_t> png = EncodeGreyPng(m_Image.Data(), IMAGE_WIDTH, IMAGE_HEIGHT);
            if (png.empty()) {
                return End(RES_SUCCESS, EOutcome::File, "Cannot write '" + name + "': the PNG image could not be made.");
            }
            written = ReplaceFile(name, png.data(), png.size());
        } else {
            written = ReplaceFile(name, m_Image.Data(), m_Image.Size());
        }
        if (!written.Ok()) return End(RES_SUCCESS, EOutcome::File, "Cannot write '" + name + "': " + written.Why() + ".");
        m_Files.push_back(name);
        if (!m_bLoop) return End(RES_SUCCESS, EOutcome::Ok, "The image was saved as " + name + ".");
        ++m_nSuccess;
        Continue();
    }

    void Continue() {
        if (m_nImage < m_Command.count) return NextImage();
        // The loop's counters, as the console shows them beside START/STOP.
        End(RES_SUCCESS, m_nFail == 0 ? EOutcome::Ok : EOutcome::Failed,
            "Success " + std::to_string(m_nSuccess) + ", Fail " + std::to_string(m_nFail) + ".");
    }

    void End(std::int32_t result, EOutcome outcome, const std::string& text) {
        if (result) NoteCode(result);
        std::string files = "[";
        for (std::size_t i = 0; i < m_Files.size(); ++i) files += (i ? "," : "") + JsonString(m_Files[i]);
        Values().Raw("files", files + "]");
        if (m_bLoop) {
            Values().Number("success", m_nSuccess);
            Values().Number("fail", m_nFail);
        }
        Finish(outcome, text);
    }

    SCommand m_Command;
    std::uint32_t m_nCommand = CMD_GET_IMAGE;
    bool m_bLoop = false;
    int m_nImage = 0;
    int m_nPieces = 0;
    int m_nSuccess = 0;
    int m_nFail = 0;
    CImageStore m_Image;
    std::vector<std::string> m_Files;
};

}  // namespace

std::unique_ptr<CJob> MakeCaptureJob(IJobHost& host, const SCommand& c) { return std::make_unique<CCaptureJob>(host, c); }
