#pragma once
// Helpers of the capture tests: the capture flow of a console, the picture as
// painted, and image answers written by a test that plays the module.
#include <QImage>
#include <chrono>
#include <vector>

#include "console/CaptureFlow.h"
#include "sim/SimImage.h"
#include "tests/ui/ConsoleFixture.h"

namespace capture_test {

using namespace console_test;

inline CCaptureFlow& Capture(CConsole& console) {
    return static_cast<CCaptureFlow&>(*console.View().Flow(FLOW_CAPTURE));
}

inline std::vector<std::uint8_t> Bytes(const CImageStore& image) {
    return {image.Data(), image.Data() + IMAGE_SIZE};
}

// What the picture area shows on screen, as 248 x 292 grey levels (empty
// when it shows something else).
inline std::vector<std::uint8_t> Shown(CCaptureFlow& flow) {
    CImagePicture* picture = flow.Picture();
    if (!picture) return {};
    QImage shot = picture->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    if (shot.width() != IMAGE_WIDTH || shot.height() != IMAGE_HEIGHT) return {};
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < IMAGE_HEIGHT; ++y) {
        const std::uint8_t* row = shot.constScanLine(y);
        pixels.insert(pixels.end(), row, row + IMAGE_WIDTH);
    }
    return pixels;
}

// A General answer with data, written to the console by a test module.
inline void AnswerWithData(CRawPty& pty, std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                           const std::uint8_t* data, std::size_t size) {
    auto packet = std::make_unique<CPacket>();
    packet->m_Command = command;
    packet->m_Param1 = param1;
    packet->m_Param2 = param2;
    packet->m_DataSize = static_cast<std::uint32_t>(size);
    if (size) std::memcpy(packet->m_Data, data, size);
    packet->PrepareForSend();
    std::vector<std::uint8_t> frame(packet->FrameSize());
    pty.Write(frame.data(), packet->Serialize(frame.data(), frame.size()));
}

// A console whose COM1 leads to a raw pseudo-terminal that the test plays,
// connected (General protocol) with the board given.
struct CPlayedModule {
    CRawPty pty;
    CConsole console;
    std::vector<std::uint8_t> image = SimFingerImage(2);

    bool Connect(int board) {
        if (!pty.IsOpen()) return false;
        console.WriteSettings("[Option]\nType=" + std::to_string(board) +
                              "\nCOM Port=1\nBaudrate=115200\nProtocol=0\n");
        console.MapPort(1, pty.SlavePath());
        if (!console.Start() || !console.Click(IDC_CONNECT) || pty.Next() != CMD_CONNECT) return false;
        pty.Answer(CMD_CONNECT, RES_SUCCESS, 0);
        if (!console.WaitFor([&] { return console.View().State().m_bConnected; })) return false;
        if (pty.Next() != CMD_GET_DEVICE_INFO) return false;
        pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, static_cast<std::uint32_t>(board));
        const std::uint32_t version = Request().first;
        console.ClosePrompt();
        return version == CMD_GET_VERSION || version == CMD_GET_VERSION_EX;
    }
    // The next request: its command and piece index (PARAM2); {0, 0} when
    // none comes within 3 s. The console runs meanwhile.
    std::pair<std::uint32_t, std::uint32_t> Request() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            if (m_In.size() >= PACKET_HEADER_SIZE && m_In[0] == PACKET_START) {
                const std::uint32_t dataSize = GetBE32(&m_In[13]);
                const std::size_t size = PACKET_HEADER_SIZE + (dataSize ? dataSize + 4 : 0);
                if (m_In.size() >= size) {
                    const std::pair<std::uint32_t, std::uint32_t> request{GetBE32(&m_In[1]), GetBE32(&m_In[9])};
                    m_In.erase(m_In.begin(), m_In.begin() + static_cast<long>(size));
                    return request;
                }
            }
            if (std::chrono::steady_clock::now() > deadline) return {0, 0};
            Pump();
        }
    }
    // True when the console writes nothing for ms while it runs.
    bool Quiet(int ms = 150) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) Pump();
        return m_In.empty();
    }
    // Answers piece p of the method of command with the test image.
    void Piece(std::uint32_t command, std::uint32_t p) {
        const std::size_t size = command == CMD_GET_IMAGE ? IMAGE_PIECE_SIZE : IMAGE2_PIECE_SIZE;
        const std::size_t offset = p * size;
        const std::size_t n = std::min(size, IMAGE_SIZE - offset);
        const std::uint32_t last = static_cast<std::uint32_t>((IMAGE_SIZE - 1) / IMAGE2_PIECE_SIZE);
        const std::uint32_t param2 = command == CMD_GET_IMAGE ? p : (p << 8 | last);
        AnswerWithData(pty, command, RES_SUCCESS, param2, image.data() + offset, n);
    }
    // Delivers what arrived (real time) until done.
    bool Until(const std::function<bool()>& done) { return console.WaitFor(done, 3000); }

private:
    // Runs the console a moment and collects what it wrote.
    void Pump() {
        console.WaitFor([] { return false; }, 2);
        const std::vector<std::uint8_t> bytes = pty.Read(1, 1);
        m_In.insert(m_In.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::uint8_t> m_In;
};

}  // namespace capture_test
