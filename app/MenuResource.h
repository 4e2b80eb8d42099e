#pragma once
// Menu resources: numbered text files res/menus/<id>.menu compiled into the
// program, built into a QMenuBar.
//
// Format, one statement per line, '#' comments:
//   MENU <id>
//   POPUP "<text>"      starts a menu; END closes it (top level: on the bar)
//   ITEM "<text>" <command> [RADIO | CHECK]
//   SEPARATOR
// RADIO and CHECK items are checkable; their marks are set by the owner each
// time their menu is about to show. Radio items of one menu form a group in
// which no item or one item is marked.
#include <QString>
#include <QVector>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QObject;

struct CMenuNode {
    enum Kind { Popup, Item, Separator };
    Kind kind = Item;
    QString text;
    int command = 0;
    bool radio = false;
    bool check = false;
    QVector<CMenuNode> children;  // Popup only
};

struct CMenuTemplate {
    int id = 0;
    QVector<CMenuNode> popups;  // the menus on the bar, left to right
};

bool ParseMenuTemplate(const QString& text, CMenuTemplate& out, QString* error = nullptr);
// Loads res/menus/<id>.menu from the compiled-in resources.
bool LoadMenuTemplate(int id, CMenuTemplate& out, QString* error = nullptr);

// A menu bar built from a template, with access by command number and by
// position on the bar.
class CMenuBar {
public:
    // Called with the command number when an item is chosen.
    using CommandHandler = std::function<void(int command)>;
    // Called with the menu just before it opens (to set the marks).
    using ShowHandler = std::function<void(QMenu* menu)>;

    CMenuBar() = default;
    CMenuBar(const CMenuBar&) = delete;
    CMenuBar& operator=(const CMenuBar&) = delete;

    bool Build(QMenuBar* bar, const CMenuTemplate& menu, CommandHandler onCommand, ShowHandler onShow);

    QAction* Item(int command) const;
    // The menu at this position on the bar (0 File, 1 View, 2 Tools, 3 Help).
    QMenu* TopMenu(int position) const;
    int TopMenuCount() const { return m_TopMenus.size(); }
    // Every menu, submenus included, in template order.
    const QVector<QMenu*>& Menus() const { return m_Menus; }
    QVector<int> Commands() const;

    // Enables or greys a whole menu of the bar.
    void EnableTopMenu(int position, bool enable);
    bool IsTopMenuEnabled(int position) const;
    void EnableItem(int command, bool enable);
    bool IsItemEnabled(int command) const;
    void CheckItem(int command, bool checked);
    bool IsItemChecked(int command) const;

    // Chooses the item as the operator would (only when it and its menus are
    // enabled). Returns false when it was not chosen.
    bool Choose(int command);

private:
    void AddNodes(QMenu* menu, const QVector<CMenuNode>& nodes);

    QMenuBar* m_pBar = nullptr;
    CommandHandler m_OnCommand;
    ShowHandler m_OnShow;
    QVector<QMenu*> m_TopMenus;
    QVector<QMenu*> m_Menus;
    std::map<int, QAction*> m_Items;
};
