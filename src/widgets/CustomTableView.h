#pragma once

#include <QList>
#include <QPointer>
#include <QTableView>
#include <QUrl>

class QMenu;

// The file table: shows a drop hint while it has no rows, takes file and
// folder drops from outside, offers a menu for selected rows and turns a few
// keys into requests for its owner.
class CustomTableView : public QTableView {
    Q_OBJECT
public:
    static const QString kDropHintText;

    explicit CustomTableView(QWidget* parent = nullptr);

    // Not owned; offered on a right click while at least one row is selected.
    void setRowContextMenu(QMenu* menu);
    QMenu* rowContextMenu() const;

    // While true the drop hint is not drawn; the table sets it itself while a
    // column is dragged in the header, owners may set it too.
    void setDisableDrawing(bool disable);
    bool disableDrawing() const;

    bool isShowingDropHint() const;
    // Off for a window that shows its own hint over the table.
    void setDrawsDropHint(bool draws);

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);
    void spacePressed();
    void deletePressed();
    void moveUpRequested();
    void moveDownRequested();

protected:
    // Whether the drag started in this table; a hook so tests can stand in
    // for a drag in progress, which cannot be made offscreen.
    virtual bool isOwnDrag(const QDropEvent* event) const;

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class KeyRequest { None, Space, Delete, MoveUp, MoveDown };
    static KeyRequest requestFor(const QKeyEvent* event);

    bool acceptsDrop(const QDropEvent* event) const;
    void paintDropHint();
    void setColumnDragging(bool dragging);

    QPointer<QMenu> m_rowMenu;
    bool m_disableDrawing = false;
    bool m_drawsDropHint = true;
    bool m_columnDragging = false;
};
