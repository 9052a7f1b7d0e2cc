#include "shell/ReviewWindowController.h"

#include "platform/Workspace.h"
#include "ui_ReviewUs.h"
#include "widgets/SheetDialog.h"

ReviewWindowController::ReviewWindowController(QWidget* mainWindow, Workspace& workspace,
                                               QObject* parent)
    : QObject(parent), m_workspace(workspace), m_ui(std::make_unique<Ui::ReviewUs>()) {
    m_window = SheetDialog::onWindow(mainWindow, [this] { reviewCancelAction(); });
    m_ui->setupUi(m_window);
    connect(m_ui->reviewOKBtn, &QPushButton::clicked, this,
            &ReviewWindowController::reviewOKAction);
    connect(m_ui->reviewCancelBtn, &QPushButton::clicked, this,
            &ReviewWindowController::reviewCancelAction);
}

ReviewWindowController::~ReviewWindowController() {
    m_delegate = nullptr;
}

bool ReviewWindowController::neverAskForReview() const {
    return m_ui->neverAskmeAgainButton->isChecked();
}

void ReviewWindowController::setNeverAskForReview(bool never) {
    m_ui->neverAskmeAgainButton->setChecked(never);
}

void ReviewWindowController::showSheet() {
    m_window->open();
}

void ReviewWindowController::reviewOKAction() {
    if (!m_reviewURL.isEmpty()) {
        (void)m_workspace.openURL(m_reviewURL);
    }
    close();
}

void ReviewWindowController::reviewCancelAction() {
    close();
}

void ReviewWindowController::close() {
    m_window->hide();
    if (m_delegate != nullptr) {
        m_delegate->reviewWindowControllerDidFinished(this);
    }
}
