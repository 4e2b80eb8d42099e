#include "app/MenuResource.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

namespace {

// Splits a statement into words; "quoted text" is one word (without quotes).
bool Tokenize(const QString& line, QStringList& words, QString& error) {
    words.clear();
    int i = 0;
    const int n = line.size();
    while (i < n) {
        if (line[i].isSpace()) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            QString word;
            ++i;
            bool closed = false;
            while (i < n) {
                QChar c = line[i++];
                if (c == '\\' && i < n) {
                    word += line[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    word += c;
                }
            }
            if (!closed) {
                error = "unterminated string";
                return false;
            }
            words << word;
        } else {
            int start = i;
            while (i < n && !line[i].isSpace()) ++i;
            words << line.mid(start, i - start);
        }
    }
    return true;
}

}  // namespace

bool ParseMenuTemplate(const QString& text, CMenuTemplate& out, QString* error) {
    out = CMenuTemplate{};
    QVector<CMenuNode*> stack;  // open popups
    bool haveMenu = false;
    const QStringList lines = text.split('\n');
    auto fail = [&](int line, const QString& why) {
        if (error) *error = QString("line %1: %2").arg(line).arg(why);
        out = CMenuTemplate{};
        return false;
    };
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNo = index + 1;
        QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        QStringList words;
        QString why;
        if (!Tokenize(line, words, why)) return fail(lineNo, why);
        const QString keyword = words[0];
        if (keyword == "MENU") {
            bool ok = false;
            if (haveMenu || words.size() != 2) return fail(lineNo, "MENU <id> expected once");
            out.id = words[1].toInt(&ok);
            if (!ok) return fail(lineNo, "bad menu id");
            haveMenu = true;
        } else if (!haveMenu) {
            return fail(lineNo, "MENU <id> must come first");
        } else if (keyword == "POPUP") {
            if (words.size() != 2) return fail(lineNo, "POPUP \"<text>\" expected");
            CMenuNode node;
            node.kind = CMenuNode::Popup;
            node.text = words[1];
            QVector<CMenuNode>& list = stack.isEmpty() ? out.popups : stack.back()->children;
            list.push_back(node);
            stack.push_back(&list.back());
        } else if (keyword == "END") {
            if (stack.isEmpty()) return fail(lineNo, "END without POPUP");
            stack.pop_back();
        } else if (keyword == "SEPARATOR") {
            if (stack.isEmpty()) return fail(lineNo, "SEPARATOR outside a POPUP");
            CMenuNode node;
            node.kind = CMenuNode::Separator;
            stack.back()->children.push_back(node);
        } else if (keyword == "ITEM") {
            if (stack.isEmpty()) return fail(lineNo, "ITEM outside a POPUP");
            if (words.size() < 3 || words.size() > 4) return fail(lineNo, "ITEM \"<text>\" <command> [RADIO|CHECK]");
            CMenuNode node;
            node.kind = CMenuNode::Item;
            node.text = words[1];
            bool ok = false;
            node.command = words[2].toInt(&ok);
            if (!ok || node.command <= 0) return fail(lineNo, "bad command number");
            if (words.size() == 4) {
                if (words[3] == "RADIO") {
                    node.radio = true;
                } else if (words[3] == "CHECK") {
                    node.check = true;
                } else {
                    return fail(lineNo, "unknown item flag " + words[3]);
                }
            }
            stack.back()->children.push_back(node);
        } else {
            return fail(lineNo, "unknown statement " + keyword);
        }
    }
    if (!haveMenu) return fail(lines.size(), "no MENU statement");
    if (!stack.isEmpty()) return fail(lines.size(), "POPUP without END");
    return true;
}

bool LoadMenuTemplate(int id, CMenuTemplate& out, QString* error) {
    QFile file(QString(":/menus/%1.menu").arg(id));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("menu resource %1 not found").arg(id);
        return false;
    }
    if (!ParseMenuTemplate(QString::fromUtf8(file.readAll()), out, error)) return false;
    if (out.id != id) {
        if (error) *error = QString("menu resource %1 holds menu %2").arg(id).arg(out.id);
        return false;
    }
    return true;
}

bool CMenuBar::Build(QMenuBar* bar, const CMenuTemplate& menu, CommandHandler onCommand, ShowHandler onShow) {
    m_pBar = bar;
    m_OnCommand = std::move(onCommand);
    m_OnShow = std::move(onShow);
    for (const CMenuNode& popup : menu.popups) {
        QMenu* top = bar->addMenu(popup.text);
        m_TopMenus.push_back(top);
        AddNodes(top, popup.children);
    }
    return true;
}

void CMenuBar::AddNodes(QMenu* menu, const QVector<CMenuNode>& nodes) {
    m_Menus.push_back(menu);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] {
        if (m_OnShow) m_OnShow(menu);
    });
    QActionGroup* radios = nullptr;
    for (const CMenuNode& node : nodes) {
        if (node.kind == CMenuNode::Separator) {
            menu->addSeparator();
        } else if (node.kind == CMenuNode::Popup) {
            AddNodes(menu->addMenu(node.text), node.children);
        } else {
            QAction* action = menu->addAction(node.text);
            action->setData(node.command);
            if (node.radio || node.check) action->setCheckable(true);
            if (node.radio) {
                if (!radios) {
                    radios = new QActionGroup(menu);
                    // Marks are computed, so the group may have none marked.
                    radios->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                }
                radios->addAction(action);
            }
            const int command = node.command;
            QObject::connect(action, &QAction::triggered, action, [this, command] {
                if (m_OnCommand) m_OnCommand(command);
            });
            m_Items[command] = action;
        }
    }
}

QAction* CMenuBar::Item(int command) const {
    auto it = m_Items.find(command);
    return it == m_Items.end() ? nullptr : it->second;
}

QMenu* CMenuBar::TopMenu(int position) const {
    return position >= 0 && position < m_TopMenus.size() ? m_TopMenus[position] : nullptr;
}

QVector<int> CMenuBar::Commands() const {
    QVector<int> commands;
    for (const auto& item : m_Items) commands.push_back(item.first);
    return commands;
}

void CMenuBar::EnableTopMenu(int position, bool enable) {
    if (QMenu* menu = TopMenu(position)) menu->menuAction()->setEnabled(enable);
}

bool CMenuBar::IsTopMenuEnabled(int position) const {
    QMenu* menu = TopMenu(position);
    return menu && menu->menuAction()->isEnabled();
}

void CMenuBar::EnableItem(int command, bool enable) {
    if (QAction* action = Item(command)) action->setEnabled(enable);
}

bool CMenuBar::IsItemEnabled(int command) const {
    QAction* action = Item(command);
    return action && action->isEnabled();
}

void CMenuBar::CheckItem(int command, bool checked) {
    if (QAction* action = Item(command)) action->setChecked(checked);
}

bool CMenuBar::IsItemChecked(int command) const {
    QAction* action = Item(command);
    return action && action->isChecked();
}

bool CMenuBar::Choose(int command) {
    QAction* action = Item(command);
    if (!action || !action->isEnabled()) return false;
    // Every menu on the way from the bar must be enabled too.
    for (QMenu* menu : m_Menus) {
        if (!menu->actions().contains(action)) continue;
        for (QObject* up = menu; up; up = up->parent()) {
            if (auto* m = qobject_cast<QMenu*>(up)) {
                if (!m->menuAction()->isEnabled()) return false;
            }
        }
    }
    action->trigger();
    return true;
}
