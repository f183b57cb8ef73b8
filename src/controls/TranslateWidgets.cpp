#include "controls/TranslateWidgets.h"

#include "KLV/Translate.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBox>

#include <string>

namespace {

// Translate with accelerators stripped, then stripped once more, as control texts are.
QString TranslateControlText(const QString& text)
{
    std::string translated = Translate(text.toStdString(), true);
    StripMenuAccelerators(translated);
    return QString::fromStdString(translated);
}

QString TranslateTitle(const QString& text)
{
    return QString::fromStdString(Translate(text.toStdString(), true));
}

void TranslateComboBox(QComboBox* combo)
{
    for (int index = 0; index < combo->count(); ++index) {
        const QString translated = TranslateTitle(combo->itemText(index));
        if (translated != combo->itemText(index))
            combo->setItemText(index, translated);
    }
}

template <typename Widget> void TranslateTextOf(Widget* widget)
{
    const QString translated = TranslateControlText(widget->text());
    if (translated != widget->text())
        widget->setText(translated);
}

// Plain containers whose children are laid out as the dialog's own controls.
bool IsContainer(const QWidget* widget)
{
    if (qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QTabWidget*>(widget) ||
        qobject_cast<const QStackedWidget*>(widget) || qobject_cast<const QSplitter*>(widget) ||
        qobject_cast<const QScrollArea*>(widget) || qobject_cast<const QDialogButtonBox*>(widget) ||
        qobject_cast<const QToolBox*>(widget))
        return true;
    const QMetaObject* type = widget->metaObject();
    return type == &QWidget::staticMetaObject || type == &QFrame::staticMetaObject;
}

void TranslateControl(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        TranslateComboBox(combo);
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        TranslateTextOf(label);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        TranslateTextOf(button);
        return;
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        const QString translated = TranslateControlText(group->title());
        if (translated != group->title())
            group->setTitle(translated);
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        for (int index = 0; index < tabs->count(); ++index) {
            const QString translated = TranslateControlText(tabs->tabText(index));
            if (translated != tabs->tabText(index))
                tabs->setTabText(index, translated);
        }
    }
}

void TranslateChildren(QWidget* parent)
{
    for (QObject* child : parent->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr || control->isWindow())
            continue;
        TranslateControl(control);
        if (IsContainer(control))
            TranslateChildren(control);
    }
}

void TranslateActions(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        const QString translated = TranslateControlText(action->text());
        QMenu* submenu = action->menu();
        if (translated != action->text()) {
            action->setText(translated);
            if (submenu != nullptr)
                submenu->setTitle(translated);
        }
        if (submenu != nullptr)
            TranslateActions(submenu->actions());
    }
}

} // namespace

void TranslateDialog(QWidget* window)
{
    if (window == nullptr)
        return;
    const QString title = TranslateTitle(window->windowTitle());
    if (title != window->windowTitle())
        window->setWindowTitle(title);
    TranslateChildren(window);
}

void TranslateMenu(QMenu* menu)
{
    if (menu == nullptr)
        return;
    TranslateActions(menu->actions());
}

void TranslateMenuObject(QMenuBar* menuBar)
{
    if (menuBar == nullptr)
        return;
    TranslateActions(menuBar->actions());
}
