#pragma once

class BusyIndicator;
class CustomTableView;
class QAction;
class QLabel;
class QMainWindow;
class QPushButton;

// The widgets and menu items both editions' windows have, under the same
// object names, so that the shared commands work on either window.
struct WindowParts {
    CustomTableView* mainTableView = nullptr;
    QLabel* labelTotalFiles = nullptr;
    QLabel* labelTotalTIFFPages = nullptr;
    QLabel* labelTimeTaken = nullptr;
    BusyIndicator* loadingIndicator = nullptr;
    QPushButton* cancelBtn = nullptr;

    QAction* aboutMenuItem = nullptr;
    QAction* addFilesMenuItem = nullptr;
    QAction* addFolderMenuItem = nullptr;
    QAction* cancelLoadMenuItem = nullptr;
    QAction* convertMenuItem = nullptr;
    QAction* exportMenuItem = nullptr;
    QAction* helpMenuItem = nullptr;
    QAction* importMenuItem = nullptr;
    QAction* includeSubfoldersMenuItem = nullptr;
    QAction* minimizeMenuItem = nullptr;
    QAction* openLogsFolderMenuItem = nullptr;
    QAction* outputSettingsMenuItem = nullptr;
    QAction* quitMenuItem = nullptr;
    QAction* rateMenuItem = nullptr;
    QAction* removeAllMenuItem = nullptr;
    QAction* removeMenuItem = nullptr;
    QAction* selectAllMenuItem = nullptr;
    QAction* showMainWindowMenuItem = nullptr;
    QAction* websiteMenuItem = nullptr;

    // Looks every part up by name in `window`; throws std::logic_error naming
    // the first one missing, as a window without them cannot work.
    static WindowParts of(const QMainWindow& window);
};
