// The file table's commands: checking, selecting, removing and moving rows,
// opening and revealing their files, the row and column menus, and the
// enabling that follows the table's rows and selection.
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/AlertPanels.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ReportingWorkspace.h"
#include "ui_MainWindow.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"

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

QString reasonOf(const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
}

const QString kRemoveAllQuestion = QStringLiteral("Are you sure to remove all file(s)?");

// Columns the chooser never offers: without them a row means nothing.
bool isFixedColumn(const QString& key) {
    return key == QLatin1String("isselected") || key == QLatin1String("name") ||
           key == QLatin1String("pages");
}

bool checkedAfter(int tag, bool checked) {
    switch (tag) {
    case PictavoAppDelegate::CheckRows:
        return true;
    case PictavoAppDelegate::UncheckRows:
        return false;
    case PictavoAppDelegate::InvertRows:
        return !checked;
    default:
        return checked;
    }
}

} // namespace

void PictavoAppDelegate::setupTableCommands() {
    buildFilesContextMenu();
    setupTableExtras();
    connectTableSignals();
    refreshTableForRowCount();
}

void PictavoAppDelegate::buildFilesContextMenu() {
    m_filesContextMenu = new QMenu(m_window.get()); // owned by the window
    m_filesContextMenu->setObjectName(QStringLiteral("filesContextMenu"));
    using Worker = void (PictavoAppDelegate::*)(int);
    const struct {
        const char* name;
        const char* title;
        Worker worker; // null: a separator
        int tag;
    } taggedItems[] = {
        {"checkSelectedMenuItem", "Check", &PictavoAppDelegate::checkUncheckInvertSelection,
         CheckRows},
        {"uncheckSelectedMenuItem", "Uncheck", &PictavoAppDelegate::checkUncheckInvertSelection,
         UncheckRows},
        {"invertSelectedMenuItem", "Invert Check", &PictavoAppDelegate::checkUncheckInvertSelection,
         InvertRows},
        {nullptr, nullptr, nullptr, 0},
        {"checkAllMenuItem", "Check All", &PictavoAppDelegate::checkUncheckInvertAll, CheckRows},
        {"uncheckAllMenuItem", "Uncheck All", &PictavoAppDelegate::checkUncheckInvertAll,
         UncheckRows},
        {"invertAllMenuItem", "Invert All Checks", &PictavoAppDelegate::checkUncheckInvertAll,
         InvertRows},
        {nullptr, nullptr, nullptr, 0},
        {"selectAllMenuItem", "Select All", &PictavoAppDelegate::selectDeselectRemoveAll,
         SelectAllRows},
        {"selectFirstMenuItem", "Select First Row", &PictavoAppDelegate::selectDeselectRemoveAll,
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
        void (PictavoAppDelegate::*command)();
    } plainItems[] = {
        {"openFileMenuItem", "Open", &PictavoAppDelegate::openFiles},
        {"revealFileMenuItem", "Show in File Manager", &PictavoAppDelegate::openEnclodingFolder},
        {"getInfoMenuItem", "Get Info", &PictavoAppDelegate::getInfo},
        {"removeFileMenuItem", "Remove", &PictavoAppDelegate::removeAction},
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
    m_parts.mainTableView->setRowContextMenu(m_filesContextMenu);
}

void PictavoAppDelegate::buildHeaderContextMenu() {
    m_headerContextMenu = new QMenu(m_window.get()); // owned by the window
    m_headerContextMenu->setObjectName(QStringLiteral("headerContextMenu"));
    QHeaderView* header = m_parts.mainTableView->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](QPoint at) {
        m_headerContextMenu->popup(header->viewport()->mapToGlobal(at));
    });
    connect(m_headerContextMenu, &QMenu::aboutToShow, this,
            [this] { menuNeedsUpdate(m_headerContextMenu); });
    connect(m_headerContextMenu, &QMenu::triggered, this, &PictavoAppDelegate::colMenuItemClick);
}

void PictavoAppDelegate::connectTableSignals() {
    CustomTableView* table = m_parts.mainTableView;
    connect(table, &CustomTableView::spacePressed, this,
            &PictavoAppDelegate::invertCheckOfSelectedRows);
    connect(table, &CustomTableView::deletePressed, this, &PictavoAppDelegate::removeAction);
    connect(table, &CustomTableView::moveUpRequested, this,
            [this] { keyDownTableView(Qt::Key_Up); });
    connect(table, &CustomTableView::moveDownRequested, this,
            [this] { keyDownTableView(Qt::Key_Down); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PictavoAppDelegate::tableViewSelectionDidChange);
    for (const auto rowsChanged :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_model, rowsChanged, this, &PictavoAppDelegate::refreshTableForRowCount);
    }
    connect(m_model, &QAbstractItemModel::rowsMoved, this,
            &PictavoAppDelegate::refreshTableForRowCount);
    connect(m_model, &QAbstractItemModel::modelReset, this,
            &PictavoAppDelegate::refreshTableForRowCount);
}

void PictavoAppDelegate::setupTableExtras() {
    buildHeaderContextMenu();
    connect(m_parts.mainTableView, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { fileDoubleClicked(index.row()); });
    connect(m_ui->navigationSegmented, &SegmentedControl::segmentClicked, this,
            &PictavoAppDelegate::navigationSegmentedChanged);
}

void PictavoAppDelegate::refreshTableForRowCount() {
    CustomTableView* table = m_parts.mainTableView;
    const bool hasRows = m_files->size() > 0;
    table->setGridStyle(Qt::SolidLine);
    table->setShowGrid(hasRows);
    table->setAlternatingRowColors(hasRows);
    tableViewSelectionDidChange();
}

std::vector<int> PictavoAppDelegate::selectedRows() const {
    std::vector<int> rows;
    const QItemSelectionModel* selection = m_parts.mainTableView->selectionModel();
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

void PictavoAppDelegate::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    for (const int row : rows) {
        if (row >= 0 && row < m_files->size()) {
            selection.select(m_model->index(row, 0), m_model->index(row, lastColumn));
        }
    }
    QItemSelectionModel* model = m_parts.mainTableView->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.empty() && rows.front() >= 0 && rows.front() < m_files->size()) {
        // The keyboard continues from the first selected row.
        model->setCurrentIndex(m_model->index(rows.front(), 1), QItemSelectionModel::NoUpdate);
    }
}

QStringList PictavoAppDelegate::selectedPaths() const {
    QStringList paths;
    for (const int row : selectedRows()) {
        paths.append(m_files->at(row)->filePath().toLocalFile());
    }
    return paths;
}

void PictavoAppDelegate::tableViewSelectionDidChange() {
    const std::vector<int> rows = selectedRows();
    setMoveEnabled(!rows.empty() && rows.front() != 0,
                   !rows.empty() && rows.back() != m_files->size() - 1);
}

void PictavoAppDelegate::setMoveEnabled(bool up, bool down) {
    m_ui->navigationSegmented->setEnabled(0, up);
    m_ui->navigationSegmented->setEnabled(1, down);
}

bool PictavoAppDelegate::isMoveEnabled(bool up) const {
    return m_ui->navigationSegmented->isEnabled(up ? 0 : 1);
}

void PictavoAppDelegate::confirmRemoveAll(const std::function<void()>& remove) {
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(edition());
    alert.informativeText = kRemoveAllQuestion;
    alert.style = AlertStyle::Critical;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    beginSheetModalForWindow(*m_services.dialogs, alert, m_window.get(), [this, remove](int code) {
        if (code == kAlertFirstButton) {
            remove();
        }
        m_parts.mainTableView->viewport()->update();
    });
}

void PictavoAppDelegate::selectDeselectRemoveAll(int tag) {
    try {
        CustomTableView* table = m_parts.mainTableView;
        switch (tag) {
        case SelectAllRows:
            table->selectAll();
            break;
        case SelectFirstRow:
            selectRows({0});
            break;
        case RemoveAllFiles:
            confirmRemoveAll([this] {
                m_files->clear();
                resetView(true);
                updateTotalLabel();
            });
            break;
        case RemoveSelectedRows:
            m_files->removeRows(selectedRows());
            resetView(true);
            updateTotalLabel();
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(selectDeselectRemoveAll:)"), reasonOf(e));
    }
}

void PictavoAppDelegate::applyCheckTag(const std::vector<int>& rows, int tag) {
    m_files->setCheckedRows(rows, [tag](bool checked) { return checkedAfter(tag, checked); });
}

void PictavoAppDelegate::afterCheckChange() {
    m_parts.mainTableView->viewport()->update();
    resetView(true);
    updateTotalLabel();
}

void PictavoAppDelegate::checkUncheckInvertSelection(int tag) {
    try {
        applyCheckTag(selectedRows(), tag);
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(checkUncheckInvertSelection:)"), reasonOf(e));
    }
    afterCheckChange();
}

void PictavoAppDelegate::checkUncheckInvertAll(int tag) {
    try {
        m_files->setCheckedAll([tag](bool checked) { return checkedAfter(tag, checked); });
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(checkUncheckInvertAll:)"), reasonOf(e));
    }
    afterCheckChange();
}

void PictavoAppDelegate::invertCheckOfSelectedRows() {
    applyCheckTag(selectedRows(), InvertRows);
    updateTotalLabel();
}

void PictavoAppDelegate::removeAction() {
    // A value being typed into a field is committed before rows go away.
    QWidget* focus = m_window->focusWidget();
    if (qobject_cast<QLineEdit*>(focus) != nullptr ||
        qobject_cast<QAbstractSpinBox*>(focus) != nullptr) {
        focus->clearFocus();
    }
    removeFiles();
}

void PictavoAppDelegate::removeFiles() {
    try {
        const int before = m_files->size();
        m_files->removeRows(selectedRows());
        if (m_files->size() != before) {
            resetView(true);
            updateTotalLabel();
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(remove)"), reasonOf(e));
    }
}

void PictavoAppDelegate::openFiles() {
    try {
        if (m_desktop == nullptr) {
            return;
        }
        // Files no application opens are told of in one alert.
        const ReportingWorkspace::Batch batch(*m_desktop);
        for (const QString& path : selectedPaths()) {
            (void)m_desktop->openFile(path);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(openFiles)"), reasonOf(e));
    }
}

void PictavoAppDelegate::openEnclodingFolder() {
    try {
        const QStringList paths = selectedPaths();
        if (Workspace* workspace = desktop(); workspace != nullptr && !paths.isEmpty()) {
            (void)workspace->revealFiles(paths);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(openEnclodingFolder)"), reasonOf(e));
    }
}

void PictavoAppDelegate::getInfo() {
    try {
        const QStringList paths = selectedPaths();
        if (Workspace* workspace = desktop(); workspace != nullptr && !paths.isEmpty()) {
            (void)workspace->showInformation(paths);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(getInfo)"), reasonOf(e));
    }
}

void PictavoAppDelegate::fileDoubleClicked(int row) {
    if (row < 0 || row >= m_files->size() || m_desktop == nullptr) {
        return;
    }
    try {
        // A file no application opens is shown in its folder; only when that
        // fails too is the user told.
        const QString path = m_files->at(row)->filePath().toLocalFile();
        if (!m_desktop->desktop().openFile(path)) {
            (void)m_desktop->revealFiles({path});
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("fileDoubleClicked"), reasonOf(e));
    }
}

void PictavoAppDelegate::moveUp() {
    const std::vector<int> rows = selectedRows();
    // Row 0 has nowhere to go; the segment is disabled then, a direct call
    // leaves the list alone.
    if (rows.empty() || rows.front() == 0) {
        return;
    }
    std::vector<FileList::Item> moving;
    moving.reserve(rows.size());
    for (const int row : rows) {
        moving.push_back(m_files->at(row));
    }
    std::vector<int> newRows;
    for (const FileList::Item& item : moving) {
        const int row = m_files->indexOf(*item);
        if (m_files->move(row, row - 1)) {
            newRows.push_back(row - 1);
        }
    }
    CustomTableView* table = m_parts.mainTableView;
    table->setFocus();
    selectRows(newRows);
    if (!newRows.empty()) {
        table->scrollTo(m_model->index(newRows.front(), 1));
    }
}

void PictavoAppDelegate::moveDown() {
    const std::vector<int> rows = selectedRows();
    const int lastRow = m_files->size() - 1;
    if (rows.empty() || rows.back() == lastRow) {
        return;
    }
    std::vector<FileList::Item> moving;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        moving.push_back(m_files->at(*row));
    }
    std::vector<int> newRows;
    for (const FileList::Item& item : moving) {
        const int row = m_files->indexOf(*item);
        if (row >= lastRow || !m_files->move(row, row + 1)) {
            break;
        }
        newRows.push_back(row + 1);
    }
    std::sort(newRows.begin(), newRows.end());
    CustomTableView* table = m_parts.mainTableView;
    table->setFocus();
    selectRows(newRows);
    if (!newRows.empty()) {
        table->scrollTo(m_model->index(newRows.back(), 1));
    }
}

void PictavoAppDelegate::keyDownTableView(int key) {
    if (key == Qt::Key_Up && isMoveEnabled(true)) {
        moveUp();
    } else if (key == Qt::Key_Down && isMoveEnabled(false)) {
        moveDown();
    }
}

void PictavoAppDelegate::navigationSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        moveUp();
        break;
    case 1:
        moveDown();
        break;
    case 2:
        selectDeselectRemoveAll(RemoveAllFiles);
        break;
    default:
        break;
    }
    m_ui->navigationSegmented->setSelected(segment, false);
}

void PictavoAppDelegate::menuNeedsUpdate(QMenu* menu) {
    if (menu == nullptr || menu != m_headerContextMenu) {
        return;
    }
    menu->clear();
    const QHeaderView* header = m_parts.mainTableView->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (isFixedColumn(FileTableModel::columnKeys().value(column))) {
            continue;
        }
        QAction* item = menu->addAction(
            m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        item->setCheckable(true);
        item->setChecked(!header->isSectionHidden(column));
        item->setData(column);
    }
}

void PictavoAppDelegate::colMenuItemClick(QAction* item) {
    if (item == nullptr || !item->data().isValid()) {
        return;
    }
    const int column = item->data().toInt();
    QHeaderView* header = m_parts.mainTableView->horizontalHeader();
    if (column >= 0 && column < header->count()) {
        header->setSectionHidden(column, !header->isSectionHidden(column));
    }
}
