#include "platform/ui/MainMenu.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

#include <optional>

namespace lq {
namespace {

MainMenu *installedMenu = nullptr;

// The first item of menu's closing section; null when it has none.
QAction *closingSection(const QMenu &menu)
{
    const QList<QAction *> items = menu.actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i)->objectName() == MainMenu::kClosingItemName)
            return i > 0 && items.at(i - 1)->isSeparator() ? items.at(i - 1) : items.at(i);
    }
    return nullptr;
}

// The letter after an item title's mnemonic mark, lower case; none without one.
std::optional<QChar> mnemonicOf(const QString &title)
{
    for (qsizetype i = 0; i + 1 < title.size(); ++i) {
        if (title.at(i) != u'&')
            continue;
        if (title.at(i + 1) != u'&')
            return title.at(i + 1).toLower();
        ++i;
    }
    return std::nullopt;
}

// Each time its menu shows, after the menu has retitled its items, gives every item without a
// mnemonic one that no other item of the menu uses: the first letter of a word where it can.
class MnemonicGiver final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            giveMnemonics(*static_cast<QMenu *>(watched));
        return false;
    }

private:
    static void giveMnemonics(const QMenu &menu)
    {
        QSet<QChar> taken;
        const QList<QAction *> items = menu.actions();
        for (const QAction *item : items) {
            if (const std::optional<QChar> letter = mnemonicOf(item->text()))
                taken.insert(*letter);
        }
        for (QAction *item : items) {
            const QString title = item->text();
            if (item->isSeparator() || title.contains(u'&'))
                continue;
            const auto free = [&](qsizetype i, bool wordStart) {
                const QChar c = title.at(i).toLower();
                return c.isLetter() && !taken.contains(c) &&
                       (!wordStart || i == 0 || title.at(i - 1) == u' ');
            };
            qsizetype pick = -1;
            for (const bool wordStart : {true, false}) {
                for (qsizetype i = 0; pick < 0 && i < title.size(); ++i) {
                    if (free(i, wordStart))
                        pick = i;
                }
            }
            if (pick < 0)
                continue;
            taken.insert(title.at(pick).toLower());
            item->setText(title.left(pick) + u'&' + title.mid(pick));
        }
    }
};

} // namespace

const QString MainMenu::kClosingItemName = QStringLiteral("closingItem");

MainMenu::MainMenu() = default;

MainMenu::~MainMenu()
{
    if (installedMenu == this)
        installedMenu = nullptr;
}

QMenu *MainMenu::addMenu(const QString &title)
{
    QMenu *menu = m_menus.emplace_back(std::make_unique<QMenu>(title)).get();
    menu->installEventFilter(new MnemonicGiver(menu));
    for (const QPointer<QMenuBar> &menuBar : std::as_const(m_menuBars)) {
        if (menuBar)
            menuBar->addMenu(menu);
    }
    return menu;
}

QList<QMenu *> MainMenu::menus() const
{
    QList<QMenu *> menus;
    for (const std::unique_ptr<QMenu> &menu : m_menus)
        menus.append(menu.get());
    return menus;
}

QMenu *MainMenu::menuTitled(const QString &title) const
{
    for (const std::unique_ptr<QMenu> &menu : m_menus) {
        if (plainTitle(menu->title()) == title)
            return menu.get();
    }
    return nullptr;
}

void MainMenu::attachTo(QMenuBar *menuBar)
{
    m_menuBars.removeAll(nullptr);
    m_menuBars.append(menuBar);
    for (const std::unique_ptr<QMenu> &menu : m_menus)
        menuBar->addMenu(menu.get());
}

MainMenu *MainMenu::current()
{
    return installedMenu;
}

MainMenu *MainMenu::setCurrent(MainMenu *menu)
{
    MainMenu *previous = installedMenu;
    installedMenu = menu;
    return previous;
}

void MainMenu::addItem(QMenu &menu, QAction *item)
{
    menu.insertAction(closingSection(menu), item);
}

QString MainMenu::plainTitle(const QString &title)
{
    QString plain;
    plain.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == QLatin1Char('&') && i + 1 < title.size())
            ++i;
        plain.append(title.at(i));
    }
    return plain;
}

} // namespace lq
