#pragma once

#include "shell/PictavoAppDelegate.h"

#include <memory>

class QAction;
class QTabBar;
class QToolBar;
namespace Ui {
class MainWindow1;
}

// The operating system's version, as the older-system question needs it.
struct SystemVersion {
    int major = 0;
    int minor = 0;
};

// Whether `version` is 10.7 or later. Every Linux counts as later (see
// runningSystemVersion), so the question about the sources' folders is for
// the older systems tests stand in for.
bool isLionOrLater(const SystemVersion& version);
SystemVersion runningSystemVersion();

// The first edition's main controller: the shared controller with its own
// window (a settings pane beside the list, plain buttons and a toolbar) and
// the few commands that behave differently.
class FirstEditionAppDelegate : public PictavoAppDelegate {
    Q_OBJECT
public:
    explicit FirstEditionAppDelegate(Services services, QObject* parent = nullptr);
    ~FirstEditionAppDelegate() override;

    static const QString kShowSettingsKey;     // "SHOWSETTINGS"
    static const QString kAboutItemIdentifier; // "ABOUT"

    // The settings pane: shown or hidden, remembered under "SHOWSETTINGS".
    void toggleSettings();
    void showSettings(bool show);
    bool isSettingsShown() const { return m_showSettings; }
    // The toolbar items made by code: "ABOUT"; none for other identifiers.
    QAction* toolbarItemForIdentifier(const QString& identifier, bool willBeInserted);
    QToolBar* toolbar() const;

    // Tests stand in for an older system.
    void setSystemVersion(const SystemVersion& version) { m_systemVersion = version; }

    void setupToolbarAndMenuItems() override;
    void resetView(bool enable) override;
    void addFiles() override;
    bool inculdeSubfolders() const override;
    void openPanelDidEnd(bool accepted, const QStringList& paths,
                         bool panelAllowedFolders) override;
    bool acceptDrop(const QList<QUrl>& urls) override;
    void convertAction() override;
    void split() override;
    void chooseOutputFolder() override;
    void showOutputSettings() override;
    void getInfo() override;
    void refreshTableForRowCount() override;
    // Add Folder, searching every subfolder whatever the check box says.
    void searchFolders();

protected:
    void buildWindow() override;
    void setupCommands() override;
    void setupSettingsArea() override;
    void markAccessLetters() override;
    void setupSettingsTabs() override;
    void installWindowFocusTracking() override {}
    void restoreListChoices() override;
    void storeListChoices() override {}
    void setupTableExtras() override {}
    bool isCommandEnabled(Command command) const override;
    void setConvertEnabled(bool enabled) override;
    bool isConvertEnabled() const override;
    void setMoveEnabled(bool up, bool down) override;
    bool isMoveEnabled(bool up) const override;
    void toggleIncludeSubfolders() override;
    void confirmRemoveAll(const std::function<void()>& remove) override;

private:
    void embedSettingsPanel();
    void fitPaneToItsPages();
    // The list pane's width for the window and the settings pane; its origin
    // and height stay.
    void fitPanes();
    void followWindowSize();
    // Whether the job may start: the folder checks and their alerts.
    bool outputFolderIsUsable();
    int criticalAlert(const QString& message, const QStringList& buttons);
    void showFolderSettings();

    std::unique_ptr<Ui::MainWindow1> m_ui1;
    QTabBar* m_settingTabs = nullptr; // owned by the window
    bool m_showSettings = true;
    SystemVersion m_systemVersion = runningSystemVersion();
};
