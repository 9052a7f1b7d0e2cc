#include "shell/UsagesReportingWindowController.h"

#include "platform/Constants.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "ui_UsagesReporting.h"
#include "widgets/SheetDialog.h"

#include <QAction>
#include <QToolBar>

#include <exception>

const QString UsagesReportingWindowController::kToolbarItemIdentifier =
    QStringLiteral("USAGESREPORTING");

namespace {

const QString kAlertTitle = QStringLiteral("Usages Reporting :");

} // namespace

UsagesReportingWindowController::UsagesReportingWindowController(QWidget* mainWindow,
                                                                 Dialogs& dialogs,
                                                                 Workspace& workspace,
                                                                 const Edition& edition,
                                                                 QObject* parent)
    : QObject(parent), m_mainWindow(mainWindow), m_dialogs(dialogs), m_workspace(workspace),
      m_store(StringUtilities::getAppPath(edition), runningBundleInfo(edition),
              machineHardwareUUID()),
      m_submitter(m_store) {
    Q_INIT_RESOURCE(pictavo_shell);
    if (!m_store.load()) {
        (void)m_store.save();
    }
    connect(&m_submitter, &ReportSubmitter::reportEnded, this,
            &UsagesReportingWindowController::reportEnded);
}

UsagesReportingWindowController::~UsagesReportingWindowController() = default;

void UsagesReportingWindowController::validate(bool reportCheck) {
    if (reportCheck && m_store.isReportDue(QDateTime::currentDateTime())) {
        (void)m_submitter.submitReport();
    }
    if (m_store.isReviewDue()) {
        submitReview();
    }
}

void UsagesReportingWindowController::submitReview() {
    logFailures(QStringLiteral("submitReview"), [&] {
        if (!m_reviewPanel) {
            m_reviewPanel = std::make_unique<ReviewWindowController>(m_mainWindow, m_workspace);
            m_reviewPanel->setDelegate(this);
        }
        m_reviewPanel->setReviewURL(m_store.reviewURL());
        m_reviewPanel->setNeverAskForReview(m_store.neverAskForReview());
        m_reviewPanel->showSheet();
    });
}

void UsagesReportingWindowController::reviewWindowControllerDidFinished(
    ReviewWindowController* controller) {
    if (controller != nullptr) {
        m_store.recordReviewAnswer(controller->neverAskForReview(), QDateTime::currentDateTime());
    }
}

void UsagesReportingWindowController::usagesAction() {
    if (m_window == nullptr) {
        m_window = SheetDialog::onWindow(m_mainWindow, [this] { cancelAction(); });
        m_ui = std::make_unique<Ui::UsagesReporting>();
        m_ui->setupUi(m_window);
        connect(m_ui->applyBtn, &QPushButton::clicked, this,
                &UsagesReportingWindowController::applyAction);
        connect(m_ui->usagesCancelBtn, &QPushButton::clicked, this,
                &UsagesReportingWindowController::cancelAction);
        connect(m_ui->submitBtn, &QPushButton::clicked, this,
                &UsagesReportingWindowController::submitAction);
        connect(m_ui->privacyPolicyBtn, &QPushButton::clicked, this,
                &UsagesReportingWindowController::privacyPolicyAction);
        awakeFromNib();
    }
    m_window->open();
}

void UsagesReportingWindowController::awakeFromNib() {
    m_ui->enableUsagesReportingButton->setChecked(m_store.isEnabled());
}

void UsagesReportingWindowController::applyAction() {
    m_store.setIsEnabled(m_ui->enableUsagesReportingButton->isChecked());
    (void)m_store.save();
    m_window->hide();
}

void UsagesReportingWindowController::cancelAction() {
    m_window->hide();
}

void UsagesReportingWindowController::submitAction() {
    if (!m_submitter.submitReport()) {
        tell(false);
        return;
    }
    // Success is told only once the server has accepted the report.
    m_submitWaiting = true;
    m_ui->submitBtn->setEnabled(false);
}

void UsagesReportingWindowController::reportEnded(bool accepted) {
    if (!m_submitWaiting) {
        return; // a report of the launch check: nobody asked to be told
    }
    m_submitWaiting = false;
    if (m_ui) {
        m_ui->submitBtn->setEnabled(true);
    }
    tell(accepted);
}

void UsagesReportingWindowController::tell(bool accepted) {
    AlertRequest alert;
    alert.messageText = kAlertTitle;
    alert.informativeText = accepted ? QStringLiteral("Report submitted successfully.")
                                     : QStringLiteral("Unable to submit report!");
    alert.style = accepted ? AlertStyle::Informational : AlertStyle::Critical;
    m_dialogs.beginAlert(m_window != nullptr ? m_window : m_mainWindow, alert,
                         [this, accepted](int) { Q_EMIT submitAnswered(accepted); });
}

void UsagesReportingWindowController::privacyPolicyAction() {
    (void)m_workspace.openURL(StringUtilities::siteAddress() + QStringLiteral("/privacy.php"));
}

void UsagesReportingWindowController::initToolbar(QToolBar* toolbar, const QString& label) {
    if (toolbar == nullptr) {
        return;
    }
    logFailures(QStringLiteral("initToolbar"), [&] {
        const QList<QAction*> items = toolbar->actions();
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items.at(i)->text() == label) {
                QAction* item = toolbarItemForIdentifier(kToolbarItemIdentifier, toolbar);
                if (i + 1 < items.size()) {
                    toolbar->insertAction(items.at(i + 1), item);
                } else {
                    toolbar->addAction(item);
                }
                return;
            }
        }
    });
}

QAction* UsagesReportingWindowController::toolbarItemForIdentifier(const QString& identifier,
                                                                   QObject* parent) {
    auto* item = new QAction(parent); // owned by `parent`
    item->setObjectName(identifier);
    if (identifier == kToolbarItemIdentifier) {
        item->setText(QStringLiteral("Usages Reporting"));
        item->setIconText(QStringLiteral("Usages Reporting"));
        item->setProperty("paletteLabel", QStringLiteral("USAGESREPORTING"));
        item->setToolTip(QStringLiteral("Usages Reporting"));
        item->setIcon(QIcon(QStringLiteral(":/shell/usages.png")));
        connect(item, &QAction::triggered, this, &UsagesReportingWindowController::usagesAction);
    }
    return item;
}
