#pragma once

#include "shell/EditionWindow.h"

#include <QObject>

#include <memory>

class PictavoAppDelegate;
class QMainWindow;
struct ShellContext;
namespace Ui {
class MainWindow;
class OutputSettingsPanel;
} // namespace Ui

// The current edition's window: a command bar of segmented controls over the
// list, the recent-folders pop-up, and the settings as a sheet.
//
// Threads: main thread only.
class CommandBarWindow : public QObject, public EditionWindow {
    Q_OBJECT
public:
    explicit CommandBarWindow(PictavoAppDelegate& app);
    ~CommandBarWindow() override;

    void buildWindow(ShellContext& context) override;
    void setupCommands() override;
    void installWindowFocusTracking() override;
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
    // Command bar segment 0: the panel as a sheet on the main window.
    void showOutputSettings() override;
    void windowDidResignMain() override;
    void windowDidBecomeMain() override;

    void filesFoldersSegmentedChanged(int segment);
    void commandSegmentedChanged(int segment);
    void helpSegmentedChanged(int segment);
    void navigationSegmentedChanged(int segment);

private:
    void setupCommandBar();

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<Ui::OutputSettingsPanel> m_panelUi;
};
