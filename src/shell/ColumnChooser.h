#pragma once

#include <QObject>

class PictavoAppDelegate;
class QAction;
class QMenu;
struct ShellContext;

// The file table's columns: their widths and order at start, and the
// header's menu that shows or hides them.
//
// Threads: main thread only.
class ColumnChooser : public QObject {
    Q_OBJECT
public:
    explicit ColumnChooser(PictavoAppDelegate& app);

    // The table over the list's model, its columns as a fresh window has them.
    void setupTable();
    void buildHeaderContextMenu();
    // Rebuilds the column chooser for the header's current order and visibility.
    void menuNeedsUpdate(QMenu* menu);
    void colMenuItemClick(QAction* item);
    QMenu* headerContextMenu() const { return m_headerContextMenu; }

private:
    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    QMenu* m_headerContextMenu = nullptr; // owned by the window
};
