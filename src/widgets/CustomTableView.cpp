#include "widgets/CustomTableView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

// Static libraries drop resource objects nobody refers to; this keeps them.
static void initWidgetResources() {
    Q_INIT_RESOURCE(pictavo_widgets);
}

namespace {

const QSize kDropImageSize(220, 211);
constexpr int kHintTextWidth = 290;
constexpr int kHintTextPointSize = 18;
constexpr int kHintGap = 12;
constexpr int kHintMargin = 8;
const QColor kActiveHintTint(129, 167, 200);

QPixmap dropImage(bool active) {
    return QPixmap(active ? QStringLiteral(":/widgets/drop-active.png")
                          : QStringLiteral(":/widgets/drop-inactive.png"));
}

} // namespace

const QString CustomTableView::kDropHintText =
    QStringLiteral("Drag and Drop your files/folders directly from the finder here.");

CustomTableView::CustomTableView(QWidget* parent) : QTableView(parent) {
    initWidgetResources();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // DragDrop keeps rows draggable out of the table when the model offers
    // mime data; what may be dropped in is decided here, not by the model.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    horizontalHeader()->viewport()->installEventFilter(this);
}

void CustomTableView::setRowContextMenu(QMenu* menu) {
    m_rowMenu = menu;
}

QMenu* CustomTableView::rowContextMenu() const {
    return m_rowMenu;
}

void CustomTableView::setDisableDrawing(bool disable) {
    if (m_disableDrawing != disable) {
        m_disableDrawing = disable;
        viewport()->update();
    }
}

bool CustomTableView::disableDrawing() const {
    return m_disableDrawing;
}

void CustomTableView::setDrawsDropHint(bool draws) {
    m_drawsDropHint = draws;
    viewport()->update();
}

bool CustomTableView::isShowingDropHint() const {
    if (!m_drawsDropHint || m_disableDrawing || m_columnDragging) {
        return false;
    }
    return model() == nullptr || model()->rowCount(rootIndex()) == 0;
}

bool CustomTableView::isOwnDrag(const QDropEvent* event) const {
    const QObject* source = event->source();
    return source != nullptr && (source == this || source == viewport());
}

bool CustomTableView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The table's keys win over window shortcuts while it has the focus.
        if (requestFor(static_cast<QKeyEvent*>(event)) != KeyRequest::None) {
            event->accept();
            return true;
        }
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        // The hint's tint follows the window's activation, which a palette
        // without distinct inactive colours would not repaint for.
        if (isShowingDropHint()) {
            viewport()->update();
        }
        break;
    default:
        break;
    }
    return QTableView::event(event);
}

bool CustomTableView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            if (horizontalHeader()->sectionsMovable() &&
                (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton)) {
                setColumnDragging(true);
            }
            break;
        case QEvent::MouseButtonRelease:
            setColumnDragging(false);
            break;
        default:
            break;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void CustomTableView::setColumnDragging(bool dragging) {
    if (m_columnDragging != dragging) {
        m_columnDragging = dragging;
        viewport()->update();
    }
}

void CustomTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (isShowingDropHint()) {
        paintDropHint();
    }
}

void CustomTableView::paintDropHint() {
    const QRect area =
        viewport()->rect().adjusted(kHintMargin, kHintMargin, -kHintMargin, -kHintMargin);
    if (area.isEmpty()) {
        return;
    }
    const bool active = isActiveWindow();
    QFont font = viewport()->font();
    font.setPointSize(kHintTextPointSize);
    const QFontMetrics metrics(font);
    const int textWidth = std::min(kHintTextWidth, area.width());
    const int textFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const int textHeight =
        metrics.boundingRect(QRect(0, 0, textWidth, 10000), textFlags, kDropHintText).height();

    // The picture gives way to the text when the table is short.
    QSize imageSize = kDropImageSize;
    const int roomForImage = area.height() - textHeight - kHintGap;
    if (roomForImage < imageSize.height() || area.width() < imageSize.width()) {
        imageSize.scale(std::max(area.width(), 0), std::max(roomForImage, 0), Qt::KeepAspectRatio);
    }
    const int imageHeight = imageSize.height() > 0 ? imageSize.height() + kHintGap : 0;
    const int top = area.top() + std::max(0, (area.height() - imageHeight - textHeight) / 2);
    const QRect imageRect(area.center().x() - imageSize.width() / 2, top, imageSize.width(),
                          imageSize.height());
    const QRect textRect(area.center().x() - textWidth / 2, top + imageHeight, textWidth,
                         textHeight);

    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!imageSize.isEmpty()) {
        painter.drawPixmap(imageRect, dropImage(active));
    }
    painter.setFont(font);
    painter.setPen(active ? kActiveHintTint
                          : palette().color(QPalette::Inactive, QPalette::PlaceholderText));
    painter.drawText(textRect, textFlags, kDropHintText);
}

CustomTableView::KeyRequest CustomTableView::requestFor(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        return KeyRequest::Space;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return KeyRequest::Delete;
    case Qt::Key_Up:
        return (event->modifiers() & Qt::ControlModifier) ? KeyRequest::MoveUp : KeyRequest::None;
    case Qt::Key_Down:
        return (event->modifiers() & Qt::ControlModifier) ? KeyRequest::MoveDown : KeyRequest::None;
    default:
        return KeyRequest::None;
    }
}

void CustomTableView::keyPressEvent(QKeyEvent* event) {
    switch (requestFor(event)) {
    case KeyRequest::Space:
        Q_EMIT spacePressed();
        break;
    case KeyRequest::Delete:
        Q_EMIT deletePressed();
        break;
    case KeyRequest::MoveUp:
        Q_EMIT moveUpRequested();
        break;
    case KeyRequest::MoveDown:
        Q_EMIT moveDownRequested();
        break;
    case KeyRequest::None:
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CustomTableView::mousePressEvent(QMouseEvent* event) {
    // A right click offers the menu for the rows already selected; it must
    // not select the row under the pointer first.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void CustomTableView::contextMenuEvent(QContextMenuEvent* event) {
    // Taken either way, so no parent offers a menu of its own over the table.
    event->accept();
    const bool hasSelectedRows = selectionModel() != nullptr && selectionModel()->hasSelection();
    if (m_rowMenu && hasSelectedRows) {
        m_rowMenu->popup(event->globalPos());
    }
}

bool CustomTableView::acceptsDrop(const QDropEvent* event) const {
    const QMimeData* mime = event->mimeData();
    return mime != nullptr && mime->hasUrls() && !isOwnDrag(event);
}

void CustomTableView::dragEnterEvent(QDragEnterEvent* event) {
    // Not the base class: it would ask the model, which takes no drops.
    if (acceptsDrop(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CustomTableView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept(viewport()->rect());
    } else {
        event->ignore();
    }
}

void CustomTableView::dropEvent(QDropEvent* event) {
    const bool wanted = acceptsDrop(event);
    // Reported as not taken, so the source never deletes what it gave: the
    // owner reads the files, it does not move them.
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    if (wanted) {
        Q_EMIT urlsDropped(event->mimeData()->urls());
    }
}
