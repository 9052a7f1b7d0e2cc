#pragma once

#include "shell/ReviewWindowController.h"
#include "usage/ReportSubmitter.h"
#include "usage/UsageStore.h"

#include <QObject>
#include <QString>

#include <memory>

class Dialogs;
class QAction;
class QDialog;
class QToolBar;
class QWidget;
class Workspace;
namespace Ui {
class UsagesReporting;
}

// The usage record of the application, the "Usages Reporting" sheet that
// gives or withdraws consent and sends a report, and the review schedule
// with its sheet.
//
// Threads: main thread only.
class UsagesReportingWindowController : public QObject, public ReviewWindowControllerDelegate {
    Q_OBJECT
public:
    static const QString kToolbarItemIdentifier; // "USAGESREPORTING"

    // Reads "Usages.Log" from the edition's application folder, or writes a
    // fresh one when there is none. The sheets are children of `mainWindow`; the services must
    // outlive this.
    UsagesReportingWindowController(QWidget* mainWindow, Dialogs& dialogs, Workspace& workspace,
                                    const Edition& edition, QObject* parent = nullptr);
    ~UsagesReportingWindowController() override;

    UsageStore& store() { return m_store; }
    const UsageStore& store() const { return m_store; }
    void updateUsages(const QString& name, qint32 totalFiles) {
        m_store.updateUsages(name, totalFiles);
    }

    // The launch check: a due report when `reportCheck`, then a due review.
    void validate(bool reportCheck);
    void submitReview();
    void reviewWindowControllerDidFinished(ReviewWindowController* controller) override;
    ReviewWindowController* reviewPanel() const { return m_reviewPanel.get(); }

    // The sheet, made when first shown.
    void usagesAction();
    void applyAction();
    void cancelAction();
    void submitAction();
    void privacyPolicyAction();
    bool submitReport() { return m_submitter.submitReport(); }
    ReportSubmitter& submitter() { return m_submitter; }
    QDialog* window() const { return m_window; }

    // Puts the Usages Reporting item right after the first item of `toolbar`
    // labelled `label`; nothing when none is.
    void initToolbar(QToolBar* toolbar, const QString& label);
    // A new item for `identifier`, owned by `parent`; configured for
    // "USAGESREPORTING", bare for anything else.
    QAction* toolbarItemForIdentifier(const QString& identifier, QObject* parent);

Q_SIGNALS:
    // The sheet's Submit got its answer and told the user.
    void submitAnswered(bool accepted);

private:
    void awakeFromNib();
    void reportEnded(bool accepted);
    void tell(bool accepted);

    QWidget* m_mainWindow;
    Dialogs& m_dialogs;
    Workspace& m_workspace;
    UsageStore m_store;
    ReportSubmitter m_submitter;
    std::unique_ptr<Ui::UsagesReporting> m_ui;
    QDialog* m_window = nullptr; // owned by the main window
    std::unique_ptr<ReviewWindowController> m_reviewPanel;
    bool m_submitWaiting = false;
};
