// The layers of the program, checked on every #include of the source tree:
// platform services < serial link < device protocol < the module's
// operations without a window (ops) < the console, with the simulated module
// beside the console and knowing nothing of it, and the command-line program
// (cli) beside the console, knowing nothing of it or of any window. Nothing
// below the console, and nothing of the command line, uses Qt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct SLayer {
    const char* folder;
    std::set<std::string> mayInclude;  // folders of the project this one may include
    bool qt;                           // may include Qt headers
};

// Folders not listed (tests, bench, fuzz) may include anything.
const std::vector<SLayer>& Layers() {
    static const std::vector<SLayer> layers = {
        {"platform/core", {"platform/core"}, false},
        {"link", {"platform/core", "link"}, false},
        {"protocol", {"platform/core", "link", "protocol"}, false},
        {"ops", {"platform/core", "link", "protocol", "ops"}, false},
        {"sim", {"platform/core", "link", "protocol", "sim"}, false},
        // The command-line program: the module's work without a window.
        {"cli", {"platform/core", "link", "protocol", "ops", "sim", "cli"}, false},
        {"platform/qt", {"platform/core", "platform/qt"}, true},
        {"widgets", {"platform/core", "platform/qt", "link", "protocol", "ops", "widgets"}, true},
        {"console", {"platform/core", "platform/qt", "link", "protocol", "ops", "widgets", "console", "tools"}, true},
        {"tools", {"platform/core", "platform/qt", "link", "protocol", "ops", "widgets", "console", "tools"}, true},
        {"app",
         {"platform/core", "platform/qt", "link", "protocol", "ops", "widgets", "console", "tools", "app", "sim"},
         true},
    };
    return layers;
}

const SLayer* LayerOf(const std::string& path) {
    const SLayer* best = nullptr;
    for (const auto& layer : Layers()) {
        const std::string folder = std::string(layer.folder) + "/";
        if (path.compare(0, folder.size(), folder) == 0 &&
            (!best || folder.size() > std::string(best->folder).size() + 1)) {
            best = &layer;
        }
    }
    return best;
}

// The project folder an include names ("link/Queue.h" -> "link"), empty for
// a header outside the project.
std::string FolderOf(const std::string& include) {
    for (const auto& layer : Layers()) {
        const std::string folder = std::string(layer.folder) + "/";
        if (include.compare(0, folder.size(), folder) == 0) return layer.folder;
    }
    return {};
}

bool IsQtHeader(const std::string& include) {
    return (include.size() > 1 && include[0] == 'Q' && std::isupper(static_cast<unsigned char>(include[1]))) ||
           include.compare(0, 2, "Qt") == 0 || include.compare(0, 2, "qt") == 0;
}

// What is wrong with one line of file (a path relative to the tree), empty
// when nothing.
std::string CheckLine(const std::string& file, const std::string& line) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::smatch m;
    if (!std::regex_search(line, m, kInclude)) return {};
    const SLayer* layer = LayerOf(file);
    if (!layer) return {};
    const std::string include = m[2];
    if (m[1] == "<") {
        if (!layer->qt && IsQtHeader(include)) return file + ": Qt header <" + include + "> below the console";
        return {};
    }
    const std::string folder = FolderOf(include);
    if (!folder.empty() && !layer->mayInclude.count(folder)) {
        return file + ": includes \"" + include + "\", a layer above " + layer->folder;
    }
    return {};
}

}  // namespace

TEST(Layers, TheRuleCatchesIncludesThatReachUp) {
    EXPECT_NE(CheckLine("link/SerialChannel.cpp", "#include \"protocol/ModuleClient.h\""), "");
    EXPECT_NE(CheckLine("protocol/Packet.h", "  #  include \"console/ControlIds.h\""), "");
    EXPECT_NE(CheckLine("platform/core/MessageLoop.h", "#include <QString>"), "");
    EXPECT_NE(CheckLine("sim/SimModule.cpp", "#include <QtCore/QObject>"), "");
    EXPECT_NE(CheckLine("sim/SimModule.cpp", "#include \"console/ControlIds.h\""), "");
    EXPECT_NE(CheckLine("console/ConnectionFlow.cpp", "#include \"app/PravikView.h\""), "");
    EXPECT_NE(CheckLine("tools/PacketTraceDlg.cpp", "#include \"app/PravikView.h\""), "");
    EXPECT_NE(CheckLine("widgets/MsgDlg.cpp", "#include \"console/ControlIds.h\""), "");
    EXPECT_NE(CheckLine("platform/qt/UiOperator.cpp", "#include \"widgets/MsgDlg.h\""), "");
    // The shared operations know no console; the command line no window.
    EXPECT_NE(CheckLine("ops/Answers.cpp", "#include \"console/AnswerTable.h\""), "");
    EXPECT_NE(CheckLine("ops/PngImage.cpp", "#include <QImage>"), "");
    EXPECT_NE(CheckLine("protocol/ModuleClient.cpp", "#include \"ops/Answers.h\""), "");
    EXPECT_NE(CheckLine("cli/Jobs.cpp", "#include \"console/AnswerTable.h\""), "");
    EXPECT_NE(CheckLine("cli/Jobs.cpp", "#include \"platform/qt/QtMessageLoop.h\""), "");
    EXPECT_NE(CheckLine("cli/Jobs.cpp", "#include \"widgets/MsgDlg.h\""), "");
    EXPECT_NE(CheckLine("cli/main.cpp", "#include <QCoreApplication>"), "");
    EXPECT_NE(CheckLine("sim/SimPty.cpp", "#include \"cli/Jobs.h\""), "");
    // Allowed: downwards, the standard library, Qt above the core, tests.
    EXPECT_EQ(CheckLine("protocol/ModuleClient.h", "#include \"link/SerialChannel.h\""), "");
    EXPECT_EQ(CheckLine("link/Queue.h", "#include <mutex>"), "");
    EXPECT_EQ(CheckLine("console/ConnectionFlow.h", "#include <QString>"), "");
    EXPECT_EQ(CheckLine("app/PravikApp.h", "#include \"sim/SimPty.h\""), "");
    EXPECT_EQ(CheckLine("cli/Jobs.cpp", "#include \"ops/Answers.h\""), "");
    EXPECT_EQ(CheckLine("cli/main.cpp", "#include \"sim/SimPty.h\""), "");
    EXPECT_EQ(CheckLine("console/VerifyFlow.cpp", "#include \"ops/Answers.h\""), "");
    EXPECT_EQ(CheckLine("tests/ui/test_app.cpp", "#include \"app/PravikView.h\""), "");
    EXPECT_EQ(CheckLine("link/SerialChannel.cpp", "// #include \"protocol/ModuleClient.h\""), "");
}

TEST(Layers, NoIncludeInTheTreeReachesUp) {
    const fs::path root = PRAVIK_SOURCE_DIR;
    std::vector<std::string> faults;
    int files = 0;
    for (const auto& layer : Layers()) {
        const fs::path dir = root / layer.folder;
        if (!fs::exists(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            const std::string file = fs::relative(entry.path(), root).generic_string();
            // A file of platform/qt is also under platform/: checked once, by its own layer.
            if (LayerOf(file) != &layer) continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                std::string fault = CheckLine(file, line);
                if (!fault.empty()) faults.push_back(fault);
            }
        }
    }
    EXPECT_GT(files, 50) << "the source tree was not found at " << root;
    for (const auto& fault : faults) ADD_FAILURE() << fault;
}

// ---------------------------------------------------------------- texts

namespace {

// A string literal of a line of code that reads as a sentence for the
// operator: words with blanks between them, or ending in . ! or ?. Names
// ("GET_IMAGE"), file modes ("rb") and format strings without words pass.
std::string SentenceIn(const std::string& line) {
    std::string code = line;
    // Comments say what the code does; they are not shown to anyone.
    bool inString = false;
    for (std::size_t i = 0; i + 1 < code.size(); ++i) {
        if (code[i] == '"' && (i == 0 || code[i - 1] != '\\')) inString = !inString;
        if (!inString && code[i] == '/' && code[i + 1] == '/') {
            code.erase(i);
            break;
        }
    }
    static const std::regex kLiteral(R"re("((?:[^"\\]|\\.)*)")re");
    for (auto it = std::sregex_iterator(code.begin(), code.end(), kLiteral); it != std::sregex_iterator(); ++it) {
        const std::string text = (*it)[1];
        const bool letters = std::any_of(text.begin(), text.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
        const bool words = std::regex_search(text, std::regex(R"([A-Za-z]{2,}[ ,:;]+[A-Za-z]{2,})"));
        const bool ending = !text.empty() && (text.back() == '.' || text.back() == '!' || text.back() == '?');
        if (letters && (words || ending)) return text;
    }
    return {};
}

}  // namespace

TEST(Texts, TheRuleCatchesASentenceButNotNamesOrComments) {
    EXPECT_EQ(SentenceIn(R"(    Box("Checksum error occurred!!!");)"), "Checksum error occurred!!!");
    EXPECT_EQ(SentenceIn(R"(    return "the firmware file could not be read";)"), "the firmware file could not be read");
    EXPECT_EQ(SentenceIn(R"(    X(GET_IMAGE, 0x60) // "not a sentence here")"), "");
    EXPECT_EQ(SentenceIn(R"(    case TimedOut: return "TIMED_OUT";)"), "");
    EXPECT_EQ(SentenceIn(R"(    std::fopen(name.c_str(), "rb");)"), "");
}

// The device protocol layer says nothing to the operator: what an exchange's
// end means is shown by the flows, which choose their texts by it.
TEST(Texts, NoFileOfTheProtocolLayerHoldsASentenceTheOperatorReads) {
    const fs::path root = fs::path(PRAVIK_SOURCE_DIR) / "protocol";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::string sentence = SentenceIn(line);
            if (!sentence.empty()) {
                ADD_FAILURE() << entry.path().filename().string() << ":" << number << ": \"" << sentence << "\"";
            }
        }
    }
    EXPECT_GT(files, 10) << "protocol/ was not found at " << root;
}
