#pragma once
// The operator seam extended to Qt dialogs. Every modal dialog of the console
// (input dialogs, the capture and lift prompts, Serial Communication, About)
// runs through IUiOperator::DoModal, so the program shows it for real
// (CQtOperator) and tests answer it by script (CScriptedUiOperator).
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "platform/core/Operator.h"

class QDialog;
#include <QWidget>

class IUiOperator : public IOperator {
public:
    // Runs the dialog modally; returns IDOK, IDCANCEL or the code the dialog
    // ended with (QDialog::done).
    virtual int DoModal(QDialog& dialog) = 0;
};

// Real message boxes, file dialogs and modal loops.
class CQtOperator : public IUiOperator {
public:
    explicit CQtOperator(QWidget* parent = nullptr) : m_pParent(parent) {}

    // The window the message boxes and file dialogs are centred over; when
    // unset, the active window.
    void SetParentWidget(QWidget* parent) { m_pParent = parent; }

    // Caption "Pravik" when caption is empty; icon from the MB_ICON* bits,
    // OK or Yes/No buttons from MB_YESNO.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    bool GetOpenFileName(const std::string& filter, const std::string& defExt, std::string& path) override;
    bool GetSaveFileName(const std::string& filter, const std::string& defExt, bool overwritePrompt,
                         std::string& path) override;
    int DoModal(QDialog& dialog) override;

    // "Text(*.ext)|*.ext|All files|*.*|" -> {"Text (*.ext *.EXT)", "All files (*)"}.
    // Patterns are matched in both letter cases (file systems here are case
    // sensitive) and "*.*" becomes "*" so that names without a dot show too.
    static QStringList ConvertFilter(const std::string& filter);
    // The suffix a save dialog adds to a bare name: "*.RAW" -> "RAW" (Qt
    // would add "*.RAW" as it stands).
    static QString DefaultSuffix(const std::string& defExt);
    // The suffix of a converted filter with one extension, "PNG image (*.png
    // *.PNG)" -> "png"; empty for "All files (*)" and the like.
    static QString FilterSuffix(const QString& nameFilter);

private:
    QWidget* ParentWidget() const;
    QPointer<QWidget> m_pParent;
};

// Hands the visible child windows of a modal dialog that is closing (prompts
// opened over it) to the dialog's parent, where they stay open.
void AdoptChildWindows(QWidget& modal);

// Maps a QDialog result to the dialog codes: Rejected (0) -> IDCANCEL,
// Accepted (1) == IDOK, other codes as they are.
int DialogResultCode(int qtResult);

// Answers by script and records what was asked: message boxes and file
// dialogs exactly as CScriptedOperator, modal dialogs from dialogAnswers.
//
// DoModal shows the dialog (so its first-show initialisation runs), then calls
// the next scripted answer with it. The answer may fill controls by control ID
// (see widgets/DialogTemplate.h) or click buttons itself, and returns IDOK,
// IDCANCEL or another code. If the answer closed the dialog itself, its result
// stands. Otherwise IDOK runs the dialog's accept(), IDCANCEL its reject() and
// any other code done(code), so the dialog's own accept logic runs. A dialog
// that refuses to close (for example an input check failed) is given the next
// answer, as an operator would correct the input; when no answer is left it is
// cancelled. With no answer scripted at all DoModal returns IDCANCEL.
class CScriptedUiOperator : public IUiOperator {
public:
    using Box = CScriptedOperator::Box;
    using FileQuestion = CScriptedOperator::FileQuestion;
    using DialogAnswer = std::function<int(QDialog&)>;

    // Same meaning as in CScriptedOperator.
    std::deque<int>& boxAnswers = m_Base.boxAnswers;
    std::deque<std::string>& fileAnswers = m_Base.fileAnswers;
    std::vector<Box>& boxes = m_Base.boxes;
    std::vector<FileQuestion>& fileQuestions = m_Base.fileQuestions;

    std::deque<DialogAnswer> dialogAnswers;
    // Window titles of the dialogs run, in order.
    QStringList dialogTitles;
    // Results DoModal returned, in order.
    std::vector<int> dialogResults;

    CScriptedUiOperator() = default;
    CScriptedUiOperator(const CScriptedUiOperator&) = delete;
    CScriptedUiOperator& operator=(const CScriptedUiOperator&) = delete;

    // Shorthands for the common answers.
    void AnswerOk() { dialogAnswers.push_back([](QDialog&) { return IDOK; }); }
    void AnswerCancel() { dialogAnswers.push_back([](QDialog&) { return IDCANCEL; }); }
    void Answer(DialogAnswer answer) { dialogAnswers.push_back(std::move(answer)); }

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        return m_Base.MessageBox(text, caption, flags);
    }
    bool GetOpenFileName(const std::string& filter, const std::string& defExt, std::string& path) override {
        return m_Base.GetOpenFileName(filter, defExt, path);
    }
    bool GetSaveFileName(const std::string& filter, const std::string& defExt, bool overwritePrompt,
                         std::string& path) override {
        return m_Base.GetSaveFileName(filter, defExt, overwritePrompt, path);
    }
    int DoModal(QDialog& dialog) override;

private:
    CScriptedOperator m_Base;
};
