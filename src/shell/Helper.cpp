// Menu set-up of the main controller.
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_MainWindow.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

namespace {

const QString kBaseName = QStringLiteral("Pictavo");

enum class Match { Prefix, Suffix };

void renameItems(QMenu* menu, Match match) {
    if (menu == nullptr) {
        return;
    }
    const QString displayName = StringUtilities::getAppTitle();
    for (QAction* action : menu->actions()) {
        const QString title = action->text();
        const bool matches =
            match == Match::Prefix ? title.startsWith(kBaseName) : title.endsWith(kBaseName);
        if (matches) {
            action->setText(QString(title).replace(kBaseName, displayName));
        }
    }
}

} // namespace

void PictavoAppDelegate::setupVersion() {
    QMenuBar* bar = m_window->menuBar();
    QList<QMenu*> menus;
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) {
            menus.append(menu);
        }
    }
    if (menus.isEmpty()) {
        return;
    }
    renameItems(menus.first(), Match::Suffix);
    for (QMenu* menu : menus) {
        if (menu->title().remove(QLatin1Char('&')) == QStringLiteral("Window")) {
            renameItems(menu, Match::Prefix);
            break;
        }
    }
    renameItems(menus.last(), Match::Prefix);
}

void PictavoAppDelegate::setupToolbarAndMenuItems() {
    connect(m_ui->aboutMenuItem, &QAction::triggered, this, &PictavoAppDelegate::aboutAction);
}

void PictavoAppDelegate::aboutAction() {
    const Edition& edition = Edition::current();
    QMessageBox::about(
        m_window.get(), QStringLiteral("About ") + StringUtilities::getAppTitle(),
        QStringLiteral("<h3>%1</h3><p>Version %2</p><p>Converts TIFF files, single- or "
                       "multi-page, into JPEG, PNG, BMP, GIF or TIFF images.</p><p>%3</p>")
            .arg(StringUtilities::getAppTitle().toHtmlEscaped(), edition.version.toHtmlEscaped(),
                 edition.copyright.toHtmlEscaped()));
}
