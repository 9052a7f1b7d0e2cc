#pragma once

#include "shell/Dialogs.h"

#include <QString>

#include <functional>

class QWidget;

// The two ways the main window tells the user something.

// A critical alert with `title` as its message and `msg` as its informative
// text (verbatim), one default button, shown on `window`; returns once the
// user has answered.
void informationAlertPanel(Dialogs& dialogs, QWidget* window, const QString& title,
                           const QString& msg);

// Shows `alert` on `window` and returns at once; `handler` runs with the code
// of the button pressed.
void beginSheetModalForWindow(Dialogs& dialogs, const AlertRequest& alert, QWidget* window,
                              std::function<void(int code)> handler);
