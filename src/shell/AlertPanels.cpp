#include "shell/AlertPanels.h"

void informationAlertPanel(Dialogs& dialogs, QWidget* window, const QString& title,
                           const QString& msg) {
    AlertRequest alert;
    alert.messageText = title;
    alert.informativeText = msg;
    alert.style = AlertStyle::Critical;
    (void)dialogs.runAlert(window, alert);
}

void beginSheetModalForWindow(Dialogs& dialogs, const AlertRequest& alert, QWidget* window,
                              std::function<void(int code)> handler) {
    dialogs.beginAlert(window, alert, std::move(handler));
}
