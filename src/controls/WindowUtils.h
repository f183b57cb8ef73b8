#pragma once

#include <string>
#include <string_view>

class QIcon;
class QPixmap;
class QWidget;

// Window helpers of the in-house library, on Qt. Menus are QMenu or QMenuBar widgets (both hold
// their items as actions); only the GUI thread calls these.

// Handles every event waiting for the calling thread, so that long work on the GUI thread
// keeps the window alive. Does nothing without an application object.
void PumpMessages();

// When the item at `position` of `menu` is the translation of `topKey` and opens a submenu,
// enables (or greys) the item of that submenu, or of the submenus below it, whose text is the
// translation of `itemKey`. True when such an item was found. "&" marks are ignored.
bool EnableMenuItemRecursive(QWidget* menu, int position, std::string_view topKey,
                             std::string_view itemKey, bool enable);

// EnableMenuItemRecursive at the position, or with -1 at each top-level position in turn until
// one succeeds.
bool EnableMenuCommand(QWidget* menu, bool enable, std::string_view topKey,
                       std::string_view itemKey, int position = -1);

// The command id of the "play" button; actions carry command ids as their object names
// ("ID_PLAY") or in a "commandId" property.
inline constexpr int ID_PLAY = 32781;

// Sets the text of every action of the bar (and of the widgets inside it) whose command is
// ID_PLAY.
void SetRibbonPlayButtonText(QWidget* bar, const std::string& text);

// Replaces the pixmap by the icon drawn over a white background, at the icon's own size (its
// first available size; 32 x 32 when it has none).
void IconToBitmap(const QIcon& icon, QPixmap& bitmap);
