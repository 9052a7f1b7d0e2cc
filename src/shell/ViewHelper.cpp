// The status line's view state: it reads the list and the busy flag and sets
// the window's labels and the Convert control.
#include "shell/ViewHelper.h"

#include "filelist/FileList.h"
#include "platform/SystemLog.h"
#include "shell/ConvertCommand.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/OutputSettings.h"
#include "shell/PictavoAppDelegate.h"
#include "widgets/BusyIndicator.h"
#include "widgets/CustomTableView.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include <exception>

namespace {} // namespace

ViewHelper::ViewHelper(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void ViewHelper::startProcess() {
    m_app.onMainThread([this] {
        // Once quitting, a load that is only starting stays stopped.
        m_ctx.isProcessing = !m_ctx.quitting;
        const QColor dimmed =
            m_ctx.window->palette().color(QPalette::Disabled, QPalette::WindowText);
        for (QLabel* label : {m_ctx.parts.labelTotalFiles, m_ctx.parts.labelTotalTIFFPages,
                              m_ctx.parts.labelTimeTaken}) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, dimmed);
            label->setPalette(p);
        }
        m_ctx.parts.loadingIndicator->start();
    });
}

void ViewHelper::stopProcess() {
    m_app.onMainThread([this] {
        for (QLabel* label : {m_ctx.parts.labelTotalFiles, m_ctx.parts.labelTotalTIFFPages,
                              m_ctx.parts.labelTimeTaken}) {
            label->setPalette(QPalette());
        }
        m_ctx.isProcessing = false;
        m_ctx.parts.loadingIndicator->stop();
        m_app.outputSettings().setSplitOptions(m_ctx.settings->outputType());
        updateTotalLabel();
    });
}

void ViewHelper::resetViewForProcess(bool enable) {
    logFailures(QStringLiteral("(resetViewForProcess:)"), [&] {
        m_ctx.parts.cancelBtn->setEnabled(enable);
        m_app.editionWindow().setConvertEnabled(enable);
        m_ctx.window->update();
    });
}

void ViewHelper::updateTimeTakenLabel(const QString& text) {
    m_app.onMainThread([this, text] {
        logFailures(QStringLiteral("(updateTimeTakenLabel:)"), [&] {
            // No run to tell of: the same zero in both editions, whose words
            // are for the time a run took.
            m_ctx.parts.labelTimeTaken->setText(
                text.isNull() ? timeLabelText(QStringLiteral("00:00"), 0, 0) : text);
            // No forced repaint: the worker waiting on this call must not
            // wait for the window to draw.
        });
    });
}

void ViewHelper::refreshConvertCommand() {
    // While a load runs Convert would not act (the list is not yet what the
    // user checked), so it does not look as if it would.
    m_app.editionWindow().setConvertEnabled(m_ctx.files->checkedPages() > 0 &&
                                            !m_app.fileSystemHelper().isLoading() &&
                                            !m_app.convert().isJobSheetUp());
}

void ViewHelper::updateTotalLabel() {
    logFailures(QStringLiteral("(updateTotalLabel:)"), [&] {
        const int checkedPages = m_ctx.files->checkedPages();
        m_ctx.parts.labelTotalTIFFPages->setText(
            QStringLiteral("Total Pages TIFF : %1").arg(m_ctx.files->totalPages()));
        refreshConvertCommand();
        m_ctx.parts.labelTotalFiles->setText(
            QStringLiteral(
                "%1 Total file(s); %2 file selected; Total page count of selected TIFF file(s): %3")
                .arg(m_ctx.files->size())
                .arg(m_ctx.files->checkedCount())
                .arg(checkedPages));
    });
    m_ctx.parts.labelTotalFiles->update();
    updateTimeTakenLabel(QString());
}

void ViewHelper::updateTotalPagesLabel() {
    m_app.onMainThread([this] {
        logFailures(QStringLiteral("updateTotalPagesLabel"), [&] {
            m_ctx.parts.labelTotalTIFFPages->setText(
                QStringLiteral("Total Pages TIFF : %1").arg(m_ctx.files->totalPages()));
        });
    });
}

QString ViewHelper::timeLabelText(const QString& time, int done, int total) const {
    return QStringLiteral("Total Time Taken : %1 %2/%3").arg(time).arg(done).arg(total);
}
