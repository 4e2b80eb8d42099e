// Every command of pravik-cli against the simulated module on a
// pseudo-terminal (--sim): the lines it prints, its JSON objects, the files
// it writes and its exit code.
#include <png.h>

#include <regex>

#include "CliProcess.h"
#include "ops/PngImage.h"
#include "protocol/ImageStore.h"
#include "sim/SimPty.h"

namespace {

// The grey levels of a PNG file, read with libpng; empty when it is not one
// of 248 x 292 in 8-bit grey.
std::vector<std::uint8_t> DecodeGreyPng(const std::vector<std::uint8_t>& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (image.width != IMAGE_WIDTH || image.height != IMAGE_HEIGHT ||
        !png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    return pixels;
}

// A HEX file of data records (16 bytes each) and the end record.
std::string HexFile(std::size_t bytes) {
    std::string text;
    char line[64];
    for (std::size_t at = 0; at < bytes; at += 16) {
        unsigned sum = 16 + ((at >> 8) & 0xFF) + (at & 0xFF);
        std::snprintf(line, sizeof line, ":10%04X00", static_cast<unsigned>(at));
        text += line;
        for (int k = 0; k < 16; ++k) {
            const unsigned b = static_cast<unsigned>((at + k) * 7) & 0xFF;
            sum += b;
            std::snprintf(line, sizeof line, "%02X", b);
            text += line;
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return text + ":00000001FF\r\n";
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace

TEST(CliCommands, FingerprintCommandsOnAZel12SayTheConsolesSentences) {
    const SCliRun run = RunCli({"--sim", "info", "master", "enter", "enroll", "5", "verify", "5", "identify", "list",
                                "delete", "5", "list", "status", "voltage", "cancel", "master", "leave"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no terminal: no progress
    const std::vector<std::string> expected = {
        "info: ZEL12, firmware 1.05, 0 fingerprints, 115200 bit/s, General protocol.",
        "master enter: Enter master mode is succeeded",
        "enroll 5: Enrollment succeeded.",
        "verify 5: Verification is succeeded.",
        "identify: Identification is succeeded. (ID: 5)",
        "list: 1 fingerprint: 5",
        "delete 5: Deletion is succeeded.",
        "list: No fingerprint is enrolled.",
        "status: Status = Idle",
        "voltage: Supply voltage is not low.",
        "cancel: ZEL status is idle.",
        "master leave: Leave master mode",
    };
    EXPECT_EQ(run.Lines(), expected);
}

TEST(CliCommands, FilesOfCaptureMinutiaeLogAndUserData) {
    CTestFolder dir;
    const SCliRun run = RunCli({"--sim", "master", "enter", "enroll", "1", "capture", "-o", dir.File("a.raw"), "capture",
                                "-o", dir.File("a.PNG"), "capture", "-o", dir.File("n.raw"), "--count", "3", "--method",
                                "1", "minutiae", "get", "-o", dir.File("m.min"), "minutiae", "match", dir.File("m.min"),
                                "user-data", "write", "10", "Hello there", "user-data", "read", "10", "11", "-o",
                                dir.File("u.bin"), "user-data", "erase", "log", "-o", dir.File("event.log")});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 11u) << run.out;
    EXPECT_EQ(lines[2], "capture -o " + dir.File("a.raw") + ": The image was saved as " + dir.File("a.raw") + ".");
    EXPECT_EQ(lines[4], "capture -o " + dir.File("n.raw") + " --count 3 --method 1: Success 3, Fail 0.");
    EXPECT_EQ(lines[5], "minutiae get -o " + dir.File("m.min") + ": The minutiae was saved as " + dir.File("m.min") + ".");
    EXPECT_EQ(lines[6], "minutiae match " + dir.File("m.min") + ": Instant matching is succeeded.");
    EXPECT_EQ(lines[7], "user-data write 10 ...: To write user data is succeeded.");
    EXPECT_EQ(lines[8], "user-data read 10 11 -o " + dir.File("u.bin") + ": 11 bytes saved as " + dir.File("u.bin") + ".");
    EXPECT_EQ(lines[9], "user-data erase: To erase user data block succeeded.");

    // RAW: the image bytes alone. PNG: the same pixels, and the very bytes
    // the console's Save Image As writes for them (one encoder for both).
    const std::vector<std::uint8_t> raw = ReadBytes(dir.File("a.raw"));
    ASSERT_EQ(raw.size(), IMAGE_SIZE);
    const std::vector<std::uint8_t> png = ReadBytes(dir.File("a.PNG"));
    EXPECT_EQ(DecodeGreyPng(png), raw);
    EXPECT_EQ(png, EncodeGreyPng(raw.data(), IMAGE_WIDTH, IMAGE_HEIGHT));
    for (const char* name : {"n-1.raw", "n-2.raw", "n-3.raw"}) EXPECT_EQ(ReadBytes(dir.File(name)), raw) << name;
    EXPECT_FALSE(Exists(dir.File("n.raw")));
    EXPECT_EQ(ReadBytes(dir.File("m.min")).size(), 400u);
    // Letters go in upper case, as the user data window writes them.
    EXPECT_EQ(ReadText(dir.File("u.bin")), "HELLO THERE");

    // The log: one line per record, CR LF after each, as the log window saves it.
    const std::string log = ReadText(dir.File("event.log"));
    const std::regex record(R"(0x[0-9A-F]+ *\t(COMMAND\t[A-Za-z ]+\t *[^\t]* \t\t\d+|ERROR \t.*)\r)");
    std::istringstream in(log);
    int records = 0;
    for (std::string line; std::getline(in, line); ++records) EXPECT_TRUE(std::regex_match(line, record)) << line;
    EXPECT_GE(records, 3);
    EXPECT_NE(log.find("\tCOMMAND\tEnrollment         \t          1 \t\t1\r\n"), std::string::npos) << log;
    EXPECT_EQ(lines[10], "log -o " + dir.File("event.log") + ": " + std::to_string(records) + " log records saved as " +
                             dir.File("event.log") + ".");
}

TEST(CliCommands, JsonLinesCarryResultCodeValuesAndTime) {
    const SCliRun run = RunCli({"--sim", "--json", "info", "master", "enter", "enroll", "3", "identify", "options", "get",
                                "options", "set", "gain=20", "identify-level=4", "options", "get"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 7u);
    const std::regex object(R"(\{"command":"[^"]+","port":"/dev/pts/\d+","result":"ok","code":(1|null),"name":("SUCCESS"|null),"text":"[^"]*","values":\{.*\},"elapsed_ms":\d+\.\d{3}\})");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, object)) << line;
    EXPECT_NE(lines[0].find(R"("values":{"board":"ZEL12","protocol":"General","baud":115200,"firmware":"1.05","firmware_level":261,"fingerprints":0})"),
              std::string::npos) << lines[0];
    EXPECT_NE(lines[3].find(R"J("text":"Identification is succeeded. (ID: 3)","values":{"id":"3"})J"), std::string::npos);
    EXPECT_NE(lines[4].find(R"("gain":15,"brightness":100,"contrast":3,"verify-level":5,"identify-level":8,"latent":1,"log":1,"capture-period":5)"),
              std::string::npos) << lines[4];
    EXPECT_NE(lines[5].find(R"("text":"To set OPP option is succeeded. To set security level is succeeded.")"),
              std::string::npos) << lines[5];
    // The rest of each group kept its value: brightness, contrast, verify-level.
    EXPECT_NE(lines[6].find(R"("gain":20,"brightness":100,"contrast":3,"verify-level":5,"identify-level":4)"),
              std::string::npos) << lines[6];
}

TEST(CliCommands, OtherBoardsUsePasswordsTheSecondCaptureMethodAndBinUpgrades) {
    CTestFolder dir;
    std::string firmware(5000, '\0');
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 13);
    WriteFile(dir.File("fw.bin"), firmware);
    const SCliRun run = RunCli({"--sim", "--sim-type", "1", "info", "master", "enter", "enroll", "7", "--password",
                                "pw", "verify", "7", "--password", "pw", "capture", "-o", dir.File("p.png"),
                                "log", "-o", dir.File("e.log"), "--search", "nth", "1", "delete-all", "--users",
                                "upgrade", dir.File("fw.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "info: Pell, firmware 1.05, 0 fingerprints, 115200 bit/s, General protocol.");
    EXPECT_EQ(lines[2], "enroll 7 --password ***: Enrollment succeeded.");
    EXPECT_EQ(lines[3], "verify 7 --password ***: Verification is succeeded.");
    EXPECT_EQ(DecodeGreyPng(ReadBytes(dir.File("p.png"))).size(), IMAGE_SIZE);
    // The newer log request, one record back.
    EXPECT_EQ(lines[5], "log -o " + dir.File("e.log") + " --search nth 1: 1 log record saved as " + dir.File("e.log") + ".");
    const std::string log = ReadText(dir.File("e.log"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_EQ(lines[6], "delete-all --users: Deletion is succeeded.");
    EXPECT_EQ(lines[7], "upgrade " + dir.File("fw.bin") + ": F/W upgrade is complete.");
}

TEST(CliCommands, AZel12TakesAnIntelHexUpgrade) {
    CTestFolder dir;
    WriteFile(dir.File("fw.hex"), HexFile(256));
    const SCliRun run = RunCli({"--sim", "--json", "upgrade", dir.File("fw.hex")});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(R"("text":"Upgrading complete.","values":{"file":")"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("format":"HEX","pieces":17})"), std::string::npos) << run.out;
}

TEST(CliCommands, TheMinimizedProtocolSpeaksSixByteFrames) {
    const SCliRun run = RunCli({"--sim", "--minimized", "info", "master", "enter", "enroll", "identify", "status",
                                "delete-all", "master", "leave"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<std::string> expected = {
        "info: ZEL12, 115200 bit/s, Minimized protocol.",
        "master enter: Enter master mode is succeeded",
        "enroll: Enrollment succeeded.",
        "identify: Identification is succeeded.",
        "status: Status = Idle",
        "delete-all: Deletion is succeeded.",
        "master leave: Leave master mode",
    };
    EXPECT_EQ(run.Lines(), expected);
}

TEST(CliCommands, MasterModeTakesTheCredentialsOfTheCommandLineWhenTheModuleAsks) {
    SimOptions options;
    options.password = "secret";  // the module asks before it grants master mode
    CSimPty sim;
    ASSERT_TRUE(sim.Start(options)) << sim.LastError();
    SCliRun run = RunCli({"--port", sim.SlavePath(), "master", "enter", "enroll", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "master enter: The module asks for credentials: give --id ID (the master's finger) or --password "
                       "P (the device password).\n");
    run = RunCli({"--port", sim.SlavePath(), "master", "enter", "--password", "wrong"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "master enter --password ***: Entering master mode is failed.\n");
    run = RunCli({"--port", sim.SlavePath(), "--json", "master", "enter", "--password", "secret", "enroll", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find(R"("text":"Enter master mode is succeeded","values":{"authentication":"device-password"})"),
              std::string::npos) << run.out;
}
