#pragma once

#include <QObject>

#include <functional>
#include <vector>

class PictavoAppDelegate;
class QAction;
struct ShellContext;

// The menu bar's items: each runs its command only when the control it
// stands for would, and an open menu shows which can run.
//
// Threads: main thread only.
class Helper : public QObject {
    Q_OBJECT
public:
    explicit Helper(PictavoAppDelegate& app);

    void setupToolbarAndMenuItems();
    // Minimize and the window's own items.
    void connectWindowItems();

private:
    struct MenuCommand {
        QAction* item;
        std::function<bool()> canRun;
        std::function<void()> run;
    };
    void bindMenuCommands();

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::vector<MenuCommand> m_menuCommands;
};
