#pragma once
// The seam through which flows ask the operator: message boxes and file
// dialogs. The program answers through real dialogs (platform/qt); tests
// answer by script (CScriptedOperator).
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Message box buttons and icons.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_TYPEMASK = 0x0F;

// Dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IOperator {
public:
    virtual ~IOperator() = default;
    // Modal message box; returns IDOK, IDYES or IDNO.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // File dialogs. filter uses the "Text(*.ext)|*.ext|All files|*.*|" form;
    // a name typed without an extension gets DefaultSuffixOf(defExt). An
    // open dialog accepts only a file that exists; a save dialog also a new
    // name, and with overwritePrompt asks before an existing file is chosen.
    // Return false when the operator cancels.
    virtual bool GetOpenFileName(const std::string& filter, const std::string& defExt, std::string& path) = 0;
    virtual bool GetSaveFileName(const std::string& filter, const std::string& defExt, bool overwritePrompt,
                                 std::string& path) = 0;
};

// The extension a file dialog adds to a bare name: "*.RAW" -> "RAW",
// ".min" -> "min", "LOG" -> "LOG".
inline std::string DefaultSuffixOf(const std::string& defExt) {
    const std::size_t begin = defExt.find_first_not_of(" \t*.");
    const std::size_t end = defExt.find_last_not_of(" \t");
    return begin == std::string::npos ? std::string() : defExt.substr(begin, end - begin + 1);
}

// Answers by script and records what was asked.
class CScriptedOperator : public IOperator {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned flags;
    };
    // A file dialog as the flow asked for it, with the options the real
    // dialog is given.
    struct FileQuestion {
        bool save;
        std::string filter;
        std::string defExt;
        std::string defaultSuffix;  // added to a bare name (DefaultSuffixOf)
        bool overwritePrompt;       // asks before an existing file is replaced
        bool existingOnly;          // only a file that exists can be chosen
    };

    // Answers for the next message boxes, in order; when none is scripted
    // an OK box returns IDOK and a Yes/No box IDNO.
    std::deque<int> boxAnswers;
    // Paths for the next file dialogs; an empty string means Cancel. When
    // none is scripted the dialog is cancelled.
    std::deque<std::string> fileAnswers;

    std::vector<Box> boxes;
    std::vector<FileQuestion> fileQuestions;

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        boxes.push_back({text, caption, flags});
        if (!boxAnswers.empty()) {
            int answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        }
        return (flags & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    }
    bool GetOpenFileName(const std::string& filter, const std::string& defExt, std::string& path) override {
        return NextFile({false, filter, defExt, DefaultSuffixOf(defExt), false, true}, path);
    }
    bool GetSaveFileName(const std::string& filter, const std::string& defExt, bool overwritePrompt,
                         std::string& path) override {
        return NextFile({true, filter, defExt, DefaultSuffixOf(defExt), overwritePrompt, false}, path);
    }

private:
    bool NextFile(FileQuestion question, std::string& path) {
        fileQuestions.push_back(std::move(question));
        if (fileAnswers.empty()) return false;
        path = fileAnswers.front();
        fileAnswers.pop_front();
        return !path.empty();
    }
};
