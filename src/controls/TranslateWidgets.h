#pragma once

class QMenu;
class QMenuBar;
class QWidget;

// Translation of Qt windows through the dictionary (KLV/Translate.h): the texts that forms and
// menus are built with are dictionary keys, turned into the selected language's texts once,
// when the window is set up.

// Translates the window's title and the texts of its controls: labels, buttons, check and
// radio boxes, group box titles, tab titles and every item of combo boxes. Controls laid out
// inside plain containers (group boxes, frames, tab pages, button boxes) are the dialog's too;
// other windows and the inner parts of compound controls are not visited, and editable texts
// are data, not keys. A text is set only when its translation differs.
void TranslateDialog(QWidget* window);

// Translates every item of the menu and of its submenus; separators stay as they are.
void TranslateMenu(QMenu* menu);

// Translates every menu of a menu bar, the bar's own titles included.
void TranslateMenuObject(QMenuBar* menuBar);
