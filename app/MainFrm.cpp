#include "app/MainFrm.h"

#include <QTimer>

#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>

#include "app/PravikDoc.h"
#include "app/PravikView.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    // A title bar with minimize and close boxes only; the size is fixed below.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

bool CMainFrame::LoadFrame(int menuId) {
    CMenuTemplate menu;
    QString error;
    if (!LoadMenuTemplate(menuId, menu, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return m_Menu.Build(
        menuBar(), menu,
        [this](int command) {
            if (m_pView) m_pView->OnMenuCommand(command);
        },
        [this](QMenu* popup) {
            if (m_pView) m_pView->OnUpdateMenu(popup);
        });
}

void CMainFrame::SetView(CPravikView* view) {
    m_pView = view;
    setCentralWidget(view);
    view->SetMenu(&m_Menu);
}

void CMainFrame::RecalcLayout() {
    if (layout()) layout()->activate();
    // The form has a fixed size; the window takes exactly that plus the menu bar.
    setFixedSize(sizeHint());
}

void CMainFrame::UpdateCaption(const QString& docTitle) { setWindowTitle(docTitle + " - " + APP_NAME); }

QPoint CMainFrame::CenteredPosition(const QRect& workArea, const QSize& windowSize) {
    return QPoint(workArea.left() + (workArea.width() / 2 - windowSize.width() / 2),
                  workArea.top() + (workArea.height() / 2 - windowSize.height() / 2));
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_bCentred) return;
    m_bCentred = true;
    Centre();
    // A window manager tells the frame's size only after the window is
    // mapped: centre again once it is known.
    if (frameGeometry().size() == size()) {
        for (int ms : {0, 50, 200}) QTimer::singleShot(ms, this, [this] { RecentreForFrame(); });
    }
}

void CMainFrame::Centre() {
    QScreen* display = screen();
    if (!display) return;
    const QRect frame = frameGeometry();
    const QSize outer = frame.isValid() && frame.size().width() >= width() ? frame.size() : size();
    move(CenteredPosition(display->availableGeometry(), outer));
}

void CMainFrame::RecentreForFrame() {
    // Within a fraction of a second of the first show: nobody has moved it yet.
    if (m_bFrameCentred) return;
    if (frameGeometry().size() == size()) return;  // still unknown
    m_bFrameCentred = true;
    Centre();
}
