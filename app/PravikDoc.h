#pragma once
// The document: holds no data and is never saved or loaded; its title is the
// first part of the main window's caption.
#include <QString>

class CPravikDoc {
public:
    // A new, empty document.
    bool OnNewDocument() { return true; }
    void SetTitle(const QString& title) { m_strTitle = title; }
    const QString& GetTitle() const { return m_strTitle; }
    // Never modified, so closing asks nothing.
    bool IsModified() const { return false; }

private:
    QString m_strTitle;
};

constexpr const char* DOC_TITLE = "TALVEN ZEL/QOR";
constexpr const char* APP_NAME = "Pravik";
