#pragma once

#include "shell/EditionWindow.h"

#include <QObject>
#include <QString>

#include <memory>

class PictavoAppDelegate;
class QAction;
class QMainWindow;
class QTabBar;
class QToolBar;
struct ShellContext;
namespace Ui {
class MainWindow1;
class OutputSettingsPanel;
} // namespace Ui

// The first edition's window: plain buttons and a toolbar over the list, and
// the settings as a pane beside it that the toolbar shows or hides.
//
// Threads: main thread only.
class FirstEditionWindow : public QObject, public EditionWindow {
    Q_OBJECT
public:
    explicit FirstEditionWindow(PictavoAppDelegate& app);
    ~FirstEditionWindow() override;

    static const QString kShowSettingsKey;     // "SHOWSETTINGS"
    static const QString kAboutItemIdentifier; // "ABOUT"

    void buildWindow(ShellContext& context) override;
    void setupCommands() override;
    void setupToolbarAndMenuItems() override;
    void setupSettingsArea() override;
    void markAccessLetters() override;
    void setupSettingsTabs() override;
    void restoreListChoices() override;

    void resetView(bool enable) override;
    bool isCommandEnabled(Command command) const override;
    void setConvertEnabled(bool enabled) override;
    bool isConvertEnabled() const override;
    void setMoveEnabled(bool up, bool down) override;
    bool isMoveEnabled(bool up) const override;
    void refreshTableForRowCount() override;
    void toggleIncludeSubfolders() override;
    void showOutputSettings() override;
    void filesDropped() override;

    // The settings pane: shown or hidden, remembered under "SHOWSETTINGS".
    void toggleSettings();
    void showSettings(bool show);
    bool isSettingsShown() const { return m_showSettings; }
    // The folder tab before the user, its chooser focused.
    void showFolderSettings();
    // The toolbar items made by code: "ABOUT"; none for other identifiers.
    QAction* toolbarItemForIdentifier(const QString& identifier, bool willBeInserted);
    QToolBar* toolbar() const;

private:
    void embedSettingsPanel();
    void fitPaneToItsPages();
    // The list pane's width for the window and the settings pane; its origin
    // and height stay.
    void fitPanes();
    void followWindowSize();

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::MainWindow1> m_ui1;
    std::unique_ptr<Ui::OutputSettingsPanel> m_panelUi;
    QTabBar* m_settingTabs = nullptr; // owned by the window
    bool m_showSettings = true;
};
