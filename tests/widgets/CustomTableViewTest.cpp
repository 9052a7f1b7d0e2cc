#include "widgets/CustomTableView.h"

#include "support/TestEnvironment.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace {

// Stands in for a drag that started in this table: offscreen there is no
// drag in progress whose source could be the table.
class OwnDragTableView : public CustomTableView {
protected:
    bool isOwnDrag(const QDropEvent*) const override { return true; }
};

std::unique_ptr<QStandardItemModel> modelWithRows(int rows) {
    auto model = std::make_unique<QStandardItemModel>(rows, 2);
    for (int row = 0; row < rows; ++row) {
        model->setItem(row, 0, new QStandardItem(QStringLiteral("file%1.tif").arg(row)));
        model->setItem(row, 1, new QStandardItem(QStringLiteral("%1 KB").arg(row)));
    }
    return model;
}

QList<QUrl> sampleUrls() {
    return {QUrl::fromLocalFile(QStringLiteral("/data/b.tif")),
            QUrl::fromLocalFile(QStringLiteral("/data/a folder")),
            QUrl::fromLocalFile(QStringLiteral("/data/c.tiff"))};
}

enum class Payload { Urls, TextOnly, UrlsAndText, Nothing };

std::unique_ptr<QMimeData> mimeWith(Payload payload) {
    auto mime = std::make_unique<QMimeData>();
    if (payload == Payload::Urls || payload == Payload::UrlsAndText) {
        mime->setUrls(sampleUrls());
    }
    if (payload == Payload::TextOnly || payload == Payload::UrlsAndText) {
        mime->setText(QStringLiteral("/data/b.tif"));
    }
    return mime;
}

QImage renderViewport(CustomTableView& view) {
    return view.viewport()->grab().toImage();
}

void sendKey(CustomTableView& view, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&view, &press);
}

} // namespace

struct DropCase {
    const char* name;
    Payload payload;
    bool ownDrag;
    bool accepted;
};

class TableDropTest : public ::testing::TestWithParam<DropCase> {
protected:
    std::unique_ptr<CustomTableView> makeView() const {
        if (GetParam().ownDrag) {
            return std::make_unique<OwnDragTableView>();
        }
        return std::make_unique<CustomTableView>();
    }
};

TEST_P(TableDropTest, TakesOnlyUrlsFromOutside) {
    const DropCase& c = GetParam();
    const auto view = makeView();
    const auto model = modelWithRows(1);
    view->setModel(model.get());
    view->resize(400, 300);
    const auto mime = mimeWith(c.payload);
    QSignalSpy dropped(view.get(), &CustomTableView::urlsDropped);
    const QPoint inside(50, 50);

    QDragEnterEvent enter(inside, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);

    QDragMoveEvent move(inside, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    EXPECT_EQ(move.isAccepted(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(move.dropAction(), Qt::CopyAction) << "a move would let the source delete";
    }

    QDropEvent drop(QPointF(inside), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted()) << "the drop is reported as not taken";
    EXPECT_EQ(model->rowCount(), 1) << "the model never receives the drop";

    if (c.accepted) {
        EXPECT_EQ(drop.dropAction(), Qt::IgnoreAction) << "so the source deletes nothing";
        ASSERT_EQ(dropped.size(), 1);
        EXPECT_EQ(dropped.at(0).at(0).value<QList<QUrl>>(), sampleUrls());
    } else {
        EXPECT_TRUE(dropped.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Drops, TableDropTest,
                         ::testing::Values(DropCase{"UrlsFromOutside", Payload::Urls, false, true},
                                           DropCase{"UrlsWithText", Payload::UrlsAndText, false,
                                                    true},
                                           DropCase{"TextOnly", Payload::TextOnly, false, false},
                                           DropCase{"EmptyMime", Payload::Nothing, false, false},
                                           DropCase{"OwnRows", Payload::Urls, true, false}),
                         ByName());

TEST(CustomTableViewTest, RowsCanStillBeDraggedOut) {
    CustomTableView view;
    EXPECT_TRUE(view.dragEnabled());
    EXPECT_TRUE(view.viewport()->acceptDrops());
}

struct HintCase {
    const char* name;
    int rows; // -1: no model at all
    bool drawingDisabled;
    bool showsHint;
};

class DropHintTest : public ::testing::TestWithParam<HintCase> {};

TEST_P(DropHintTest, PaintedOnlyWhileTheTableIsEmpty) {
    const HintCase& c = GetParam();
    CustomTableView view;
    view.resize(500, 400);
    std::unique_ptr<QStandardItemModel> model;
    if (c.rows >= 0) {
        model = modelWithRows(c.rows);
        view.setModel(model.get());
    }
    view.setDisableDrawing(true);
    const QImage withoutHint = renderViewport(view);
    view.setDisableDrawing(c.drawingDisabled);
    const QImage rendered = renderViewport(view);

    EXPECT_EQ(view.isShowingDropHint(), c.showsHint);
    EXPECT_EQ(rendered != withoutHint, c.showsHint);
}

INSTANTIATE_TEST_SUITE_P(Hints, DropHintTest,
                         ::testing::Values(HintCase{"NoModel", -1, false, true},
                                           HintCase{"EmptyModel", 0, false, true},
                                           HintCase{"OneRow", 1, false, false},
                                           HintCase{"ManyRows", 30, false, false},
                                           HintCase{"EmptyWhileColumnDragged", 0, true, false}),
                         ByName());

TEST(CustomTableViewTest, HintReturnsWhenTheLastRowIsRemoved) {
    CustomTableView view;
    view.resize(500, 400);
    const auto model = modelWithRows(0);
    view.setModel(model.get());
    const QImage empty = renderViewport(view);

    model->appendRow(new QStandardItem(QStringLiteral("a.tif")));
    EXPECT_FALSE(view.isShowingDropHint());
    EXPECT_NE(renderViewport(view), empty);

    model->removeRows(0, 1);
    EXPECT_TRUE(view.isShowingDropHint());
    EXPECT_EQ(renderViewport(view), empty);
}

TEST(CustomTableViewTest, HintTintFollowsWindowActivation) {
    CustomTableView view;
    view.resize(500, 400);
    view.show();
    const QImage inactive = renderViewport(view);
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(view.isActiveWindow());
    const QImage active = renderViewport(view);
    QApplication::setActiveWindow(nullptr);
    EXPECT_NE(active, inactive);
    EXPECT_EQ(renderViewport(view), inactive);
}

TEST(CustomTableViewTest, HintHiddenWhileAColumnIsDragged) {
    CustomTableView view;
    const auto model = modelWithRows(0);
    view.setModel(model.get());
    view.horizontalHeader()->setSectionsMovable(true);
    view.resize(400, 300);
    view.show();
    QWidget* header = view.horizontalHeader()->viewport();
    const QPoint start = view.horizontalHeader()->rect().center() - QPoint(100, 0);

    QTest::mousePress(header, Qt::LeftButton, Qt::NoModifier, start);
    EXPECT_TRUE(view.isShowingDropHint()) << "a press alone may be a click to sort";
    QMouseEvent drag(QEvent::MouseMove, QPointF(start + QPoint(40, 0)),
                     header->mapToGlobal(QPointF(start + QPoint(40, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header, &drag);
    EXPECT_FALSE(view.isShowingDropHint());
    QTest::mouseRelease(header, Qt::LeftButton, Qt::NoModifier, start + QPoint(40, 0));
    EXPECT_TRUE(view.isShowingDropHint());
}

enum class Signal { None, Space, Delete, MoveUp, MoveDown };

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    Signal expected;
};

class TableKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TableKeyTest, KeysBecomeRequests) {
    const KeyCase& c = GetParam();
    CustomTableView view;
    const auto model = modelWithRows(3);
    view.setModel(model.get());
    view.setCurrentIndex(model->index(1, 0));
    QSignalSpy space(&view, &CustomTableView::spacePressed);
    QSignalSpy remove(&view, &CustomTableView::deletePressed);
    QSignalSpy up(&view, &CustomTableView::moveUpRequested);
    QSignalSpy down(&view, &CustomTableView::moveDownRequested);

    sendKey(view, c.key, c.modifiers);

    EXPECT_EQ(space.size(), c.expected == Signal::Space ? 1 : 0);
    EXPECT_EQ(remove.size(), c.expected == Signal::Delete ? 1 : 0);
    EXPECT_EQ(up.size(), c.expected == Signal::MoveUp ? 1 : 0);
    EXPECT_EQ(down.size(), c.expected == Signal::MoveDown ? 1 : 0);
    if (c.expected != Signal::None) {
        EXPECT_EQ(view.currentIndex().row(), 1) << "a request key must not also move the cursor";
    }

    QKeyEvent shortcut(QEvent::ShortcutOverride, c.key, c.modifiers);
    QApplication::sendEvent(&view, &shortcut);
    EXPECT_EQ(shortcut.isAccepted(), c.expected != Signal::None);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TableKeyTest,
    ::testing::Values(KeyCase{"Space", Qt::Key_Space, Qt::NoModifier, Signal::Space},
                      KeyCase{"Delete", Qt::Key_Delete, Qt::NoModifier, Signal::Delete},
                      KeyCase{"Backspace", Qt::Key_Backspace, Qt::NoModifier, Signal::Delete},
                      KeyCase{"CtrlUp", Qt::Key_Up, Qt::ControlModifier, Signal::MoveUp},
                      KeyCase{"CtrlDown", Qt::Key_Down, Qt::ControlModifier, Signal::MoveDown},
                      KeyCase{"CtrlShiftDown", Qt::Key_Down,
                              Qt::ControlModifier | Qt::ShiftModifier, Signal::MoveDown},
                      KeyCase{"PlainUp", Qt::Key_Up, Qt::NoModifier, Signal::None},
                      KeyCase{"PlainDown", Qt::Key_Down, Qt::NoModifier, Signal::None},
                      KeyCase{"Letter", Qt::Key_A, Qt::NoModifier, Signal::None}),
    ByName());

TEST(CustomTableViewTest, OtherKeysKeepTheTableBehaviour) {
    CustomTableView view;
    const auto model = modelWithRows(3);
    view.setModel(model.get());
    view.setCurrentIndex(model->index(1, 0));
    sendKey(view, Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(view.currentIndex().row(), 2);
}

struct MenuCase {
    const char* name;
    bool rowSelected;
    bool menuSet;
    bool shown;
};

class RowMenuTest : public ::testing::TestWithParam<MenuCase> {};

TEST_P(RowMenuTest, OfferedOnlyForSelectedRows) {
    const MenuCase& c = GetParam();
    CustomTableView view;
    const auto model = modelWithRows(3);
    view.setModel(model.get());
    view.resize(400, 300);
    view.show();
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    if (c.menuSet) {
        view.setRowContextMenu(&menu);
    }
    if (c.rowSelected) {
        view.selectRow(2);
    }

    const QPoint position = view.visualRect(model->index(0, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, position,
                            view.viewport()->mapToGlobal(position));
    QApplication::sendEvent(view.viewport(), &event);

    EXPECT_EQ(menu.isVisible(), c.shown);
    EXPECT_TRUE(event.isAccepted()) << "no parent may offer its own menu over the table";
    menu.hide();
}

INSTANTIATE_TEST_SUITE_P(Menus, RowMenuTest,
                         ::testing::Values(MenuCase{"SelectedRow", true, true, true},
                                           MenuCase{"NoSelection", false, true, false},
                                           MenuCase{"NoMenuSet", true, false, false}),
                         ByName());

TEST(CustomTableViewTest, RightClickLeavesTheSelectionAlone) {
    CustomTableView view;
    const auto model = modelWithRows(3);
    view.setModel(model.get());
    view.resize(400, 300);
    view.show();
    view.selectRow(2);
    QTest::mouseClick(view.viewport(), Qt::RightButton, Qt::NoModifier,
                      view.visualRect(model->index(0, 0)).center());
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().row(), 2);
}

TEST(CustomTableViewTest, DeletedMenuIsForgotten) {
    CustomTableView view;
    {
        QMenu menu;
        view.setRowContextMenu(&menu);
        EXPECT_EQ(view.rowContextMenu(), &menu);
    }
    EXPECT_EQ(view.rowContextMenu(), nullptr);
}
