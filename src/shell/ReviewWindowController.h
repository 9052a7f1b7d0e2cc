#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QDialog;
class QWidget;
class ReviewWindowController;
class Workspace;
namespace Ui {
class ReviewUs;
}

// Told when the review sheet closes, by either button.
class ReviewWindowControllerDelegate {
public:
    virtual ~ReviewWindowControllerDelegate() = default;
    virtual void reviewWindowControllerDidFinished(ReviewWindowController* controller) = 0;
};

// The sheet that asks for a review: OK opens the review page, Cancel (and Esc
// or the close request) only closes; the check box declines for good.
//
// Threads: main thread only.
class ReviewWindowController : public QObject {
    Q_OBJECT
public:
    // The sheet is a child of `mainWindow`; `workspace` must outlive this.
    ReviewWindowController(QWidget* mainWindow, Workspace& workspace, QObject* parent = nullptr);
    ~ReviewWindowController() override;

    void setDelegate(ReviewWindowControllerDelegate* delegate) { m_delegate = delegate; }
    const QString& reviewURL() const { return m_reviewURL; }
    void setReviewURL(const QString& url) { m_reviewURL = url; }
    // The check box's state.
    bool neverAskForReview() const;
    void setNeverAskForReview(bool never);

    QDialog* window() const { return m_window; }
    void showSheet();
    void reviewOKAction();
    void reviewCancelAction();

private:
    void close();

    Workspace& m_workspace;
    ReviewWindowControllerDelegate* m_delegate = nullptr;
    std::unique_ptr<Ui::ReviewUs> m_ui;
    QDialog* m_window = nullptr; // owned by the main window
    QString m_reviewURL;
};
