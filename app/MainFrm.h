#pragma once
// The main window: menu bar 128 over the main form, no toolbar and no status
// bar. It keeps the size of the form (no maximize box, no sizing border) and
// is centred in the desktop work area when it is first shown.
#include <QMainWindow>

#include "app/MenuResource.h"

class CPravikView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // Builds the menu bar from its resource. Returns false when it is missing.
    bool LoadFrame(int menuId);
    // Puts the view into the window and routes the menus to it.
    void SetView(CPravikView* view);
    CPravikView* View() const { return m_pView; }
    CMenuBar& Menu() { return m_Menu; }

    // Resizes the window to fit the form exactly and fixes that size.
    void RecalcLayout();
    // Caption: the document title, a dash and the program name.
    void UpdateCaption(const QString& docTitle);

    // Top-left corner that centres a window of this size in the work area.
    static QPoint CenteredPosition(const QRect& workArea, const QSize& windowSize);
    bool WasCentred() const { return m_bCentred; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Centre();
    void RecentreForFrame();
    CMenuBar m_Menu;
    CPravikView* m_pView = nullptr;
    bool m_bCentred = false;
    bool m_bFrameCentred = false;  // centred again with the frame's size
};
