#include "platform/qt/UiOperator.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

int DialogResultCode(int qtResult) { return qtResult == QDialog::Rejected ? IDCANCEL : qtResult; }

// ---------------------------------------------------------------- CQtOperator

QWidget* CQtOperator::ParentWidget() const {
    if (m_pParent) return m_pParent.data();
    return QApplication::activeWindow();
}

int CQtOperator::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    QMessageBox box(ParentWidget());
    box.setWindowTitle(caption.empty() ? QStringLiteral("Pravik") : QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (flags & MB_ICONMASK) {
        case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if ((flags & MB_TYPEMASK) == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // Escape and the close box answer No.
        box.setEscapeButton(QMessageBox::No);
        const int answer = box.exec() == QMessageBox::Yes ? IDYES : IDNO;
        AdoptChildWindows(box);
        return answer;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    AdoptChildWindows(box);
    return IDOK;
}

QStringList CQtOperator::ConvertFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (description.isEmpty() && patterns.isEmpty()) continue;
        QStringList globs;
        for (QString p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
            if (!globs.contains(p)) globs << p;
            for (const QString& variant : {p.toLower(), p.toUpper()}) {
                if (!globs.contains(variant)) globs << variant;
            }
        }
        // A description such as "Text(*.ext)" carries its own pattern text;
        // Qt reads the patterns from the last parentheses, so replace them.
        int open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && description.endsWith(QLatin1Char(')'))) description = description.left(open).trimmed();
        result << QStringLiteral("%1 (%2)").arg(description, globs.join(QLatin1Char(' ')));
    }
    return result;
}

QString CQtOperator::DefaultSuffix(const std::string& defExt) { return QString::fromStdString(DefaultSuffixOf(defExt)); }

QString CQtOperator::FilterSuffix(const QString& nameFilter) {
    const int open = nameFilter.lastIndexOf(QLatin1Char('('));
    if (open < 0 || !nameFilter.endsWith(QLatin1Char(')'))) return QString();
    const QString inside = nameFilter.mid(open + 1, nameFilter.size() - open - 2);
    const QStringList globs = inside.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (globs.isEmpty() || !globs[0].startsWith(QLatin1String("*."))) return QString();
    const QString suffix = globs[0].mid(2);
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))) return QString();
    return suffix;
}

bool CQtOperator::GetOpenFileName(const std::string& filter, const std::string& defExt, std::string& path) {
    QFileDialog dialog(ParentWidget());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(ConvertFilter(filter));
    dialog.setDefaultSuffix(DefaultSuffix(defExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().first().toStdString();
    return true;
}

bool CQtOperator::GetSaveFileName(const std::string& filter, const std::string& defExt, bool overwritePrompt,
                                  std::string& path) {
    QFileDialog dialog(ParentWidget());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(ConvertFilter(filter));
    const QString defaultSuffix = DefaultSuffix(defExt);
    dialog.setDefaultSuffix(defaultSuffix);
    // A bare name takes the extension of the filter chosen ("PNG image"
    // saves "finger.png"), the default one under "All files".
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, defaultSuffix](const QString& chosen) {
        const QString suffix = FilterSuffix(chosen);
        dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
    });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().first().toStdString();
    return true;
}

int CQtOperator::DoModal(QDialog& dialog) {
    const int result = DialogResultCode(dialog.exec());
    AdoptChildWindows(dialog);
    return result;
}

void AdoptChildWindows(QWidget& modal) {
    // Prompts opened over a modal dialog are its children so that they show
    // above it; the dialog is about to go, the prompts stay with its parent.
    QWidget* heir = modal.parentWidget();
    for (QWidget* child : modal.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // isHidden: hidden on purpose, not merely with the closing dialog.
        if (!child->isWindow() || child->isHidden()) continue;
        const QRect geometry = child->geometry();
        child->setParent(heir, child->windowFlags());
        child->setGeometry(geometry);
        child->show();
        child->raise();
        child->activateWindow();
    }
}

// -------------------------------------------------------- CScriptedUiOperator

int CScriptedUiOperator::DoModal(QDialog& dialog) {
    dialog.setModal(true);
    dialog.show();
    dialogTitles << dialog.windowTitle();

    int result = IDCANCEL;
    bool closed = false;
    while (!closed) {
        if (dialogAnswers.empty()) {
            if (dialog.isVisible()) dialog.reject();
            result = IDCANCEL;
            break;
        }
        DialogAnswer answer = std::move(dialogAnswers.front());
        dialogAnswers.pop_front();
        int code = answer ? answer(dialog) : IDCANCEL;
        if (!dialog.isVisible()) {
            // The answer closed the dialog itself (clicked a button).
            result = DialogResultCode(dialog.result());
            break;
        }
        if (code == IDOK) {
            dialog.accept();
        } else if (code == IDCANCEL) {
            dialog.reject();
        } else {
            dialog.done(code);
        }
        if (!dialog.isVisible()) {
            result = DialogResultCode(dialog.result());
            closed = true;
        }
    }
    if (dialog.isVisible()) dialog.hide();
    AdoptChildWindows(dialog);
    dialogResults.push_back(result);
    return result;
}
