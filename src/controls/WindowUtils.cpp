#include "controls/WindowUtils.h"

#include "KLV/Translate.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QVariant>
#include <QWidget>

namespace {

QString WithoutMarks(QString text)
{
    return text.remove(QLatin1Char('&'));
}

bool SameText(const QString& shown, std::string_view key)
{
    return WithoutMarks(shown) == WithoutMarks(QString::fromStdString(Translate(key, true)));
}

bool EnableInMenu(QMenu* menu, std::string_view itemKey, bool enable)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        if (SameText(action->text(), itemKey)) {
            action->setEnabled(enable);
            return true;
        }
        if (action->menu() != nullptr && EnableInMenu(action->menu(), itemKey, enable))
            return true;
    }
    return false;
}

bool IsPlayCommand(const QAction* action)
{
    if (action->objectName() == QLatin1String("ID_PLAY"))
        return true;
    const QVariant commandId = action->property("commandId");
    return commandId.isValid() && commandId.toInt() == ID_PLAY;
}

} // namespace

void PumpMessages()
{
    if (QCoreApplication::instance() == nullptr)
        return;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EnableMenuItemRecursive(QWidget* menu, int position, std::string_view topKey,
                             std::string_view itemKey, bool enable)
{
    if (menu == nullptr)
        return false;
    const QList<QAction*> actions = menu->actions();
    if (position < 0 || position >= actions.size())
        return false;
    QAction* top = actions[position];
    if (top->menu() == nullptr || !SameText(top->text(), topKey))
        return false;
    return EnableInMenu(top->menu(), itemKey, enable);
}

bool EnableMenuCommand(QWidget* menu, bool enable, std::string_view topKey,
                       std::string_view itemKey, int position)
{
    if (position != -1)
        return EnableMenuItemRecursive(menu, position, topKey, itemKey, enable);
    if (menu == nullptr)
        return false;
    for (int index = 0; index < menu->actions().size(); ++index)
        if (EnableMenuItemRecursive(menu, index, topKey, itemKey, enable))
            return true;
    return false;
}

void SetRibbonPlayButtonText(QWidget* bar, const std::string& text)
{
    if (bar == nullptr)
        return;
    const QString label = QString::fromStdString(text);
    QList<QAction*> actions = bar->actions();
    actions += bar->findChildren<QAction*>();
    for (QWidget* widget : bar->findChildren<QWidget*>())
        actions += widget->actions();
    for (QAction* action : actions)
        if (IsPlayCommand(action))
            action->setText(label);
}

void IconToBitmap(const QIcon& icon, QPixmap& bitmap)
{
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(32, 32) : sizes.first();
    QPixmap result(size);
    result.fill(Qt::white);
    QPainter painter(&result);
    icon.paint(&painter, QRect(QPoint(0, 0), size));
    painter.end();
    bitmap = result;
}
