// The file table's columns and the header's menu that chooses them.
#include "shell/ColumnChooser.h"

#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ViewHelper.h"
#include "widgets/CustomTableView.h"

#include <QAction>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>

namespace {

// Columns the chooser never offers: without them a row means nothing.
bool isFixedColumn(const QString& key) {
    return key == QLatin1String("isselected") || key == QLatin1String("name") ||
           key == QLatin1String("pages");
}

} // namespace

ColumnChooser::ColumnChooser(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void ColumnChooser::setupTable() {
    CustomTableView* table = m_ctx.parts.mainTableView;
    table->setModel(m_ctx.model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setWordWrap(false);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setSortIndicator(-1, Qt::AscendingOrder); // walk order until a header is clicked
    table->setSortingEnabled(true);
    const struct {
        const char* key;
        int width;
        bool hidden;
    } columns[] = {
        {"isselected", 28, false},  {"name", 240, false},        {"pages", 60, false},
        {"sizeInKB", 80, false},    {"type", 60, false},         {"dateModified", 150, false},
        {"dateCreated", 150, true}, {"dateAccessed", 150, true}, {"location", 260, false}};
    for (const auto& c : columns) {
        const int section = FileTableModel::columnOf(QString::fromUtf8(c.key));
        header->resizeSection(section, c.width);
        header->setSectionHidden(section, c.hidden);
    }
    header->setSectionResizeMode(FileTableModel::columnOf(QStringLiteral("isselected")),
                                 QHeaderView::Fixed);
    connect(m_ctx.model, &FileTableModel::checkToggled, this,
            [this] { m_app.viewHelper().updateTotalLabel(); });
}

void ColumnChooser::buildHeaderContextMenu() {
    if (m_headerContextMenu != nullptr) {
        return; // one menu per header, however often the table is set up
    }
    m_headerContextMenu = new QMenu(m_ctx.window); // owned by the window
    m_headerContextMenu->setObjectName(QStringLiteral("headerContextMenu"));
    QHeaderView* header = m_ctx.parts.mainTableView->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](QPoint at) {
        m_headerContextMenu->popup(header->viewport()->mapToGlobal(at));
    });
    connect(m_headerContextMenu, &QMenu::aboutToShow, this,
            [this] { menuNeedsUpdate(m_headerContextMenu); });
    connect(m_headerContextMenu, &QMenu::triggered, this, &ColumnChooser::colMenuItemClick);
}

void ColumnChooser::menuNeedsUpdate(QMenu* menu) {
    if (menu == nullptr || menu != m_headerContextMenu) {
        return;
    }
    menu->clear();
    const QHeaderView* header = m_ctx.parts.mainTableView->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (isFixedColumn(FileTableModel::columnKeys().value(column))) {
            continue;
        }
        QAction* item = menu->addAction(
            m_ctx.model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        item->setCheckable(true);
        item->setChecked(!header->isSectionHidden(column));
        item->setData(column);
    }
}

void ColumnChooser::colMenuItemClick(QAction* item) {
    if (item == nullptr || !item->data().isValid()) {
        return;
    }
    const int column = item->data().toInt();
    QHeaderView* header = m_ctx.parts.mainTableView->horizontalHeader();
    if (column >= 0 && column < header->count()) {
        header->setSectionHidden(column, !header->isSectionHidden(column));
    }
}
