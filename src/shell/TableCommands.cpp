// The file table's commands: checking, selecting, removing and moving rows,
// opening and revealing their files, the row and column menus, and the
// enabling that follows the table's rows and selection.
#include "shell/TableCommands.h"

#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/AlertPanels.h"
#include "shell/ColumnChooser.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ReportingWorkspace.h"
#include "shell/ViewHelper.h"
#include "widgets/CustomTableView.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>

#include <algorithm>
#include <exception>

namespace {

const QString kRemoveAllQuestion = QStringLiteral("Are you sure to remove all file(s)?");

bool checkedAfter(int tag, bool checked) {
    switch (tag) {
    case TableCommands::CheckRows:
        return true;
    case TableCommands::UncheckRows:
        return false;
    case TableCommands::InvertRows:
        return !checked;
    default:
        return checked;
    }
}

} // namespace

TableCommands::TableCommands(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void TableCommands::setupTableCommands() {
    buildFilesContextMenu();
    if (m_app.editionGroups().hasTableExtras) {
        m_app.columns().buildHeaderContextMenu();
        connect(m_ctx.parts.mainTableView, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { fileDoubleClicked(index.row()); });
    }
    connectTableSignals();
    m_app.editionWindow().refreshTableForRowCount();
}

void TableCommands::buildFilesContextMenu() {
    m_filesContextMenu = new QMenu(m_ctx.window); // owned by the window
    m_filesContextMenu->setObjectName(QStringLiteral("filesContextMenu"));
    using Worker = void (TableCommands::*)(int);
    const struct {
        const char* name;
        const char* title;
        Worker worker; // null: a separator
        int tag;
    } taggedItems[] = {
        {"checkSelectedMenuItem", "Check", &TableCommands::checkUncheckInvertSelection, CheckRows},
        {"uncheckSelectedMenuItem", "Uncheck", &TableCommands::checkUncheckInvertSelection,
         UncheckRows},
        {"invertSelectedMenuItem", "Invert Check", &TableCommands::checkUncheckInvertSelection,
         InvertRows},
        {nullptr, nullptr, nullptr, 0},
        {"checkAllMenuItem", "Check All", &TableCommands::checkUncheckInvertAll, CheckRows},
        {"uncheckAllMenuItem", "Uncheck All", &TableCommands::checkUncheckInvertAll, UncheckRows},
        {"invertAllMenuItem", "Invert All Checks", &TableCommands::checkUncheckInvertAll,
         InvertRows},
        {nullptr, nullptr, nullptr, 0},
        {"selectAllMenuItem", "Select All", &TableCommands::selectDeselectRemoveAll, SelectAllRows},
        {"selectFirstMenuItem", "Select First Row", &TableCommands::selectDeselectRemoveAll,
         SelectFirstRow},
        {nullptr, nullptr, nullptr, 0},
    };
    for (const auto& entry : taggedItems) {
        if (entry.worker == nullptr) {
            m_filesContextMenu->addSeparator();
            continue;
        }
        QAction* action = m_filesContextMenu->addAction(QString::fromUtf8(entry.title));
        action->setObjectName(QString::fromUtf8(entry.name));
        action->setData(entry.tag);
        const Worker worker = entry.worker;
        // The thin action: the worker gets the sender's tag.
        connect(action, &QAction::triggered, this,
                [this, action, worker] { (this->*worker)(action->data().toInt()); });
    }
    const struct {
        const char* name;
        const char* title;
        void (TableCommands::*command)();
    } plainItems[] = {
        {"openFileMenuItem", "Open", &TableCommands::openFiles},
        {"revealFileMenuItem", "Show in File Manager", &TableCommands::openEnclodingFolder},
        {"getInfoMenuItem", "Get Info", &TableCommands::getInfo},
        {"removeFileMenuItem", "Remove", &TableCommands::removeAction},
    };
    for (const auto& entry : plainItems) {
        QAction* action = m_filesContextMenu->addAction(QString::fromUtf8(entry.title));
        action->setObjectName(QString::fromUtf8(entry.name));
        connect(action, &QAction::triggered, this, entry.command);
    }
    QAction* removeAll = m_filesContextMenu->addAction(QStringLiteral("Remove All..."));
    removeAll->setObjectName(QStringLiteral("removeAllMenuItem"));
    removeAll->setData(int(RemoveAllFiles));
    connect(removeAll, &QAction::triggered, this,
            [this, removeAll] { selectDeselectRemoveAll(removeAll->data().toInt()); });
    m_ctx.parts.mainTableView->setRowContextMenu(m_filesContextMenu);
}

void TableCommands::connectTableSignals() {
    CustomTableView* table = m_ctx.parts.mainTableView;
    connect(table, &CustomTableView::spacePressed, this, &TableCommands::invertCheckOfSelectedRows);
    connect(table, &CustomTableView::deletePressed, this, &TableCommands::removeAction);
    connect(table, &CustomTableView::moveUpRequested, this,
            [this] { keyDownTableView(Qt::Key_Up); });
    connect(table, &CustomTableView::moveDownRequested, this,
            [this] { keyDownTableView(Qt::Key_Down); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TableCommands::tableViewSelectionDidChange);
    const auto refresh = [this] { m_app.editionWindow().refreshTableForRowCount(); };
    for (const auto rowsChanged :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_ctx.model, rowsChanged, this, refresh);
    }
    connect(m_ctx.model, &QAbstractItemModel::rowsMoved, this, refresh);
    connect(m_ctx.model, &QAbstractItemModel::modelReset, this, refresh);
}

std::vector<int> TableCommands::selectedRows() const {
    std::vector<int> rows;
    const QItemSelectionModel* selection = m_ctx.parts.mainTableView->selectionModel();
    if (selection == nullptr) {
        return rows;
    }
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TableCommands::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int lastColumn = m_ctx.model->columnCount() - 1;
    for (const int row : rows) {
        if (row >= 0 && row < m_ctx.files->size()) {
            selection.select(m_ctx.model->index(row, 0), m_ctx.model->index(row, lastColumn));
        }
    }
    QItemSelectionModel* model = m_ctx.parts.mainTableView->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.empty() && rows.front() >= 0 && rows.front() < m_ctx.files->size()) {
        // The keyboard continues from the first selected row.
        model->setCurrentIndex(m_ctx.model->index(rows.front(), 1), QItemSelectionModel::NoUpdate);
    }
}

QStringList TableCommands::selectedPaths() const {
    QStringList paths;
    for (const int row : selectedRows()) {
        paths.append(m_ctx.files->at(row)->filePath().toLocalFile());
    }
    return paths;
}

void TableCommands::tableViewSelectionDidChange() {
    const std::vector<int> rows = selectedRows();
    m_app.editionWindow().setMoveEnabled(!rows.empty() && rows.front() != 0,
                                         !rows.empty() && rows.back() != m_ctx.files->size() - 1);
}

void TableCommands::confirmRemoveAll(const std::function<void()>& remove) {
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(m_ctx.edition);
    alert.informativeText = kRemoveAllQuestion;
    alert.style = AlertStyle::Critical;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    if (m_ctx.edition.hasApplicationModalAlerts) {
        // No window of its own; the answer is waited for.
        if (m_ctx.dialogs != nullptr &&
            m_ctx.dialogs->runAlert(nullptr, alert) == kAlertFirstButton) {
            remove();
        }
        return;
    }
    beginSheetModalForWindow(*m_ctx.dialogs, alert, m_ctx.window, [this, remove](int code) {
        if (code == kAlertFirstButton) {
            remove();
        }
        m_ctx.parts.mainTableView->viewport()->update();
    });
}

void TableCommands::afterRemoval() {
    m_app.editionWindow().resetView(true);
    m_app.viewHelper().updateTotalLabel();
}

void TableCommands::selectDeselectRemoveAll(int tag) {
    logFailures(QStringLiteral("(selectDeselectRemoveAll:)"), [&] {
        CustomTableView* table = m_ctx.parts.mainTableView;
        switch (tag) {
        case SelectAllRows:
            table->selectAll();
            break;
        case SelectFirstRow:
            selectRows({0});
            break;
        case RemoveAllFiles:
            confirmRemoveAll([this] {
                m_ctx.files->clear();
                afterRemoval();
            });
            break;
        case RemoveSelectedRows:
            m_ctx.files->removeRows(selectedRows());
            afterRemoval();
            break;
        default:
            break;
        }
    });
}

void TableCommands::applyCheckTag(const std::vector<int>& rows, int tag) {
    m_ctx.files->setCheckedRows(rows, [tag](bool checked) { return checkedAfter(tag, checked); });
}

void TableCommands::afterCheckChange() {
    m_ctx.parts.mainTableView->viewport()->update();
    afterRemoval();
}

void TableCommands::checkUncheckInvertSelection(int tag) {
    logFailures(QStringLiteral("(checkUncheckInvertSelection:)"),
                [&] { applyCheckTag(selectedRows(), tag); });
    afterCheckChange();
}

void TableCommands::checkUncheckInvertAll(int tag) {
    logFailures(QStringLiteral("(checkUncheckInvertAll:)"), [&] {
        m_ctx.files->setCheckedAll([tag](bool checked) { return checkedAfter(tag, checked); });
    });
    afterCheckChange();
}

void TableCommands::invertCheckOfSelectedRows() {
    applyCheckTag(selectedRows(), InvertRows);
    m_app.viewHelper().updateTotalLabel();
}

void TableCommands::removeAction() {
    // A value being typed into a field is committed before rows go away.
    QWidget* focus = m_ctx.window->focusWidget();
    if (qobject_cast<QLineEdit*>(focus) != nullptr ||
        qobject_cast<QAbstractSpinBox*>(focus) != nullptr) {
        focus->clearFocus();
    }
    removeFiles();
}

void TableCommands::removeFiles() {
    logFailures(QStringLiteral("(remove)"), [&] {
        const int before = m_ctx.files->size();
        m_ctx.files->removeRows(selectedRows());
        if (m_ctx.files->size() != before) {
            afterRemoval();
        }
    });
}

void TableCommands::openFiles() {
    logFailures(QStringLiteral("(openFiles)"), [&] {
        if (m_ctx.desktop == nullptr) {
            return;
        }
        // Files no application opens are told of in one alert.
        const ReportingWorkspace::Batch batch(*m_ctx.desktop);
        for (const QString& path : selectedPaths()) {
            (void)m_ctx.desktop->openFile(path);
        }
    });
}

void TableCommands::openEnclodingFolder() {
    logFailures(QStringLiteral("(openEnclodingFolder)"), [&] {
        const QStringList paths = selectedPaths();
        if (Workspace* workspace = m_ctx.desktop; workspace != nullptr && !paths.isEmpty()) {
            (void)workspace->revealFiles(paths);
        }
    });
}

void TableCommands::getInfo() {
    if (m_ctx.desktop == nullptr) {
        return;
    }
    if (m_app.editionGroups().infoItemByItem) {
        // One item at a time, in row order, each by its path alone; what the
        // desktop could not show is told in one alert.
        const ReportingWorkspace::Batch batch(*m_ctx.desktop);
        for (const QString& path : selectedPaths()) {
            (void)m_ctx.desktop->showInformation({path});
        }
        return;
    }
    logFailures(QStringLiteral("(getInfo)"), [&] {
        const QStringList paths = selectedPaths();
        if (!paths.isEmpty()) {
            (void)m_ctx.desktop->showInformation(paths);
        }
    });
}

void TableCommands::fileDoubleClicked(int row) {
    if (row < 0 || row >= m_ctx.files->size() || m_ctx.desktop == nullptr) {
        return;
    }
    logFailures(QStringLiteral("fileDoubleClicked"), [&] {
        // A file no application opens is shown in its folder; only when that
        // fails too is the user told.
        const QString path = m_ctx.files->at(row)->filePath().toLocalFile();
        if (!m_ctx.desktop->desktop().openFile(path)) {
            (void)m_ctx.desktop->revealFiles({path});
        }
    });
}

void TableCommands::moveUp() {
    const std::vector<int> rows = selectedRows();
    // Row 0 has nowhere to go; the segment is disabled then, a direct call
    // leaves the list alone.
    if (rows.empty() || rows.front() == 0) {
        return;
    }
    std::vector<FileList::Item> moving;
    moving.reserve(rows.size());
    for (const int row : rows) {
        moving.push_back(m_ctx.files->at(row));
    }
    std::vector<int> newRows;
    for (const FileList::Item& item : moving) {
        const int row = m_ctx.files->indexOf(*item);
        if (m_ctx.files->move(row, row - 1)) {
            newRows.push_back(row - 1);
        }
    }
    CustomTableView* table = m_ctx.parts.mainTableView;
    table->setFocus();
    selectRows(newRows);
    if (!newRows.empty()) {
        table->scrollTo(m_ctx.model->index(newRows.front(), 1));
    }
}

void TableCommands::moveDown() {
    const std::vector<int> rows = selectedRows();
    const int lastRow = m_ctx.files->size() - 1;
    if (rows.empty() || rows.back() == lastRow) {
        return;
    }
    std::vector<FileList::Item> moving;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        moving.push_back(m_ctx.files->at(*row));
    }
    std::vector<int> newRows;
    for (const FileList::Item& item : moving) {
        const int row = m_ctx.files->indexOf(*item);
        if (row >= lastRow || !m_ctx.files->move(row, row + 1)) {
            break;
        }
        newRows.push_back(row + 1);
    }
    std::sort(newRows.begin(), newRows.end());
    CustomTableView* table = m_ctx.parts.mainTableView;
    table->setFocus();
    selectRows(newRows);
    if (!newRows.empty()) {
        table->scrollTo(m_ctx.model->index(newRows.back(), 1));
    }
}

void TableCommands::keyDownTableView(int key) {
    if (key == Qt::Key_Up && m_app.editionWindow().isMoveEnabled(true)) {
        moveUp();
    } else if (key == Qt::Key_Down && m_app.editionWindow().isMoveEnabled(false)) {
        moveDown();
    }
}
