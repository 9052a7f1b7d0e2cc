#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QMainWindow;
class QTabBar;
struct ShellContext;
namespace Ui {
class MainWindow1;
class OutputSettingsPanel;
} // namespace Ui

// The first edition's settings: the settings panel's form as a pane beside
// the list, under tabs, that the toolbar shows or hides; shown or hidden is
// remembered under "SHOWSETTINGS".
//
// Threads: main thread only.
class FirstEditionSettingsPane : public QObject {
    Q_OBJECT
public:
    static const QString kShowSettingsKey; // "SHOWSETTINGS"

    FirstEditionSettingsPane(ShellContext& context, QMainWindow& window, Ui::MainWindow1& ui);
    ~FirstEditionSettingsPane() override;

    // Puts the panel into the window's right pane; the panel's form afterwards.
    Ui::OutputSettingsPanel& embed();
    void setupSettingsTabs();
    // Shows or hides the pane as stored; a first start shows it and stores that.
    void setupSettingsArea();

    void toggleSettings();
    void showSettings(bool show);
    bool isSettingsShown() const { return m_showSettings; }
    // Shows the pane if hidden; nothing else changes.
    void reveal();
    // The folder tab before the user, its chooser focused.
    void showFolderSettings();
    // The pane's controls that follow the list and the settings.
    void resetView();

private:
    void fitPaneToItsPages();
    // The list pane's width for the window and the settings pane; its origin
    // and height stay.
    void fitPanes();
    void followWindowSize();

    ShellContext& m_ctx;
    QMainWindow& m_window;
    Ui::MainWindow1& m_ui1;
    std::unique_ptr<Ui::OutputSettingsPanel> m_panelUi;
    QTabBar* m_settingTabs = nullptr; // owned by the panel
    bool m_showSettings = true;
};
