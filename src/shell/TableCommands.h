#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

class PictavoAppDelegate;
class QMenu;
struct ShellContext;

// The file table's commands: checking, selecting, removing and moving rows,
// opening and revealing their files, the rows' context menu, and the move
// controls' enabling that follows the selection.
//
// Threads: main thread only.
class TableCommands : public QObject {
    Q_OBJECT
public:
    // Tags of the list workers, as carried by the context menu's actions.
    enum SelectRemoveTag {
        SelectAllRows = 1,
        SelectFirstRow = 2,
        RemoveAllFiles = 3,
        RemoveSelectedRows = 4
    };
    enum CheckTag { CheckRows = 1, UncheckRows = 2, InvertRows = 3 };

    explicit TableCommands(PictavoAppDelegate& app);

    void setupTableCommands();
    void selectDeselectRemoveAll(int tag);
    void checkUncheckInvertSelection(int tag);
    void checkUncheckInvertAll(int tag);
    void removeAction();
    void removeFiles();
    void openFiles();
    void openEnclodingFolder();
    void getInfo();
    void moveUp();
    void moveDown();
    // Ctrl+Up / Ctrl+Down from the table; each moves only while its control is enabled.
    void keyDownTableView(int key);
    void invertCheckOfSelectedRows();
    void fileDoubleClicked(int row);
    void tableViewSelectionDidChange();
    // Rows highlighted in the table, ascending.
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows);
    QMenu* filesContextMenu() const { return m_filesContextMenu; }

private:
    void buildFilesContextMenu();
    void connectTableSignals();
    // Asks before every file leaves the list; `remove` runs on yes.
    void confirmRemoveAll(const std::function<void()>& remove);
    void applyCheckTag(const std::vector<int>& rows, int tag);
    void afterCheckChange();
    void afterRemoval();
    QStringList selectedPaths() const;

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    QMenu* m_filesContextMenu = nullptr; // owned by the window
};
