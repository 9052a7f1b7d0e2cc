// The view-state operations of the main controller: they read the list, the
// settings and the busy flag, and set the window's controls.
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/SystemLog.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_MainWindow.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/AccessLetter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMainWindow>

#include <algorithm>
#include <exception>

namespace {

QString reasonOf(const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
}

} // namespace

void PictavoAppDelegate::resetView(bool enable) {
    try {
        const bool hasFiles = m_files->size() > 0;
        m_parts.mainTableView->setEnabled(enable);
        SegmentedControl* files = m_ui->filesFoldersSegmented;
        files->setEnabled(0, enable);
        files->setEnabled(1, enable && hasFiles);
        files->setEnabled(2, enable);
        files->setEnabled(3, enable);
        files->setEnabled(4, enable && hasFiles);
        files->setEnabled(5, enable);
        m_ui->navigationSegmented->setEnabled(2, enable && hasFiles);
        m_ui->recentFoldersPopup->setEnabled(enable);
        m_ui->commandSegmented->setEnabled(0, enable);
        if (!m_settings->outputFolderPath().isEmpty()) {
            m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(true);
        } else {
            m_settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
            m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(false);
        }
        m_panelUi->qualityText->setText(qualityPercentText(m_settings->jpegQuality()));
        m_window->update();
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(resetView:)"), reasonOf(e));
        m_window->update();
    }
}

void PictavoAppDelegate::resetViewObject(bool enable) {
    onMainThread([this, enable] { resetView(enable); });
}

void PictavoAppDelegate::startProcess() {
    onMainThread([this] {
        // Once quitting, a load that is only starting stays stopped.
        m_isProcessing = !m_quitting;
        const QColor dimmed = m_window->palette().color(QPalette::Disabled, QPalette::WindowText);
        for (QLabel* label :
             {m_parts.labelTotalFiles, m_parts.labelTotalTIFFPages, m_parts.labelTimeTaken}) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, dimmed);
            label->setPalette(p);
        }
        m_parts.loadingIndicator->start();
    });
}

void PictavoAppDelegate::stopProcess() {
    onMainThread([this] {
        for (QLabel* label :
             {m_parts.labelTotalFiles, m_parts.labelTotalTIFFPages, m_parts.labelTimeTaken}) {
            label->setPalette(QPalette());
        }
        m_isProcessing = false;
        m_parts.loadingIndicator->stop();
        setSplitOptions(m_settings->outputType());
        updateTotalLabel();
    });
}

void PictavoAppDelegate::resetViewForProcess(bool enable) {
    try {
        m_parts.cancelBtn->setEnabled(enable);
        setConvertEnabled(enable);
        m_window->update();
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(resetViewForProcess:)"), reasonOf(e));
    }
}

void PictavoAppDelegate::updateTimeTakenLabel(const QString& text) {
    onMainThread([this, text] {
        try {
            // No run to tell of: the same zero in both editions, whose words
            // are for the time a run took.
            m_parts.labelTimeTaken->setText(
                text.isNull() ? timeLabelText(QStringLiteral("00:00"), 0, 0) : text);
            // No forced repaint: the worker waiting on this call must not
            // wait for the window to draw.
        } catch (const std::exception& e) {
            systemLogError(QStringLiteral("(updateTimeTakenLabel:)"), reasonOf(e));
        }
    });
}

void PictavoAppDelegate::refreshConvertCommand() {
    // While a load runs Convert would not act (the list is not yet what the
    // user checked), so it does not look as if it would.
    setConvertEnabled(m_files->checkedPages() > 0 && !isLoading() && !m_jobSheetUp);
}

void PictavoAppDelegate::setConvertEnabled(bool enabled) {
    m_ui->commandSegmented->setEnabled(1, enabled);
}

bool PictavoAppDelegate::isConvertEnabled() const {
    return m_ui->commandSegmented->isEnabled(1);
}

bool PictavoAppDelegate::isCommandEnabled(Command command) const {
    const SegmentedControl* files = m_ui->filesFoldersSegmented;
    switch (command) {
    case Command::AddFiles:
        return files->isEnabled(0);
    case Command::Remove:
        return files->isEnabled(1);
    case Command::RemoveAll:
        return m_ui->navigationSegmented->isEnabled(2);
    case Command::IncludeSubfolders:
        return files->isEnabled(2);
    case Command::Import:
        return files->isEnabled(3);
    case Command::Export:
        return files->isEnabled(4);
    case Command::Logs:
        return files->isEnabled(5);
    case Command::Settings:
        return m_ui->commandSegmented->isEnabled(0);
    }
    return false;
}

QString PictavoAppDelegate::qualityPercentText(int storedQuality) {
    // A damaged store may hold any number; the label tells what the slider
    // shows and the writer uses, the nearer end of 0-10.
    const int jpegQuality = std::clamp(storedQuality, 0, 10);
    const int percent = jpegQuality == 10 ? 10 * jpegQuality : 10 * jpegQuality + 10;
    return QStringLiteral("%1%").arg(percent);
}

void PictavoAppDelegate::setSplitOptions(int /*outputType: the settings are read instead*/) {
    try {
        Ui::OutputSettingsPanel& panel = *m_panelUi;
        const OutputFormat* format = outputFormat(m_settings->outputType());
        const OutputOptions options = format == nullptr ? OutputOptions() : format->options;
        panel.jpegQualitySlider->setEnabled(options.jpegQuality);
        panel.splitTiffCheckbox->setEnabled(options.tiffSplit);
        panel.tiffCompressionPopup->setEnabled(options.tiffCompression);
        const bool pageFiles = !options.tiffSplit || m_settings->isSplitTIFFIntoSinglePages();
        // A disabled label greys itself, as the separator label must.
        panel.fileNameSeparatorLabel->setEnabled(pageFiles);
        panel.fileNameSeparatorText->setEnabled(pageFiles);
        if (edition().hasLeadingZerosOption) {
            panel.fileNameLeadingZerosText->setEnabled(pageFiles);
            panel.fileNameLeadingZerosStepper->setEnabled(pageFiles);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(setSplitOptions:)"), reasonOf(e));
    }
    updateTotalLabel();
}

void PictavoAppDelegate::updateTotalLabel() {
    try {
        const int checkedPages = m_files->checkedPages();
        m_parts.labelTotalTIFFPages->setText(
            QStringLiteral("Total Pages TIFF : %1").arg(m_files->totalPages()));
        refreshConvertCommand();
        m_parts.labelTotalFiles->setText(
            QStringLiteral(
                "%1 Total file(s); %2 file selected; Total page count of selected TIFF file(s): %3")
                .arg(m_files->size())
                .arg(m_files->checkedCount())
                .arg(checkedPages));
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(updateTotalLabel:)"), reasonOf(e));
    }
    m_parts.labelTotalFiles->update();
    updateTimeTakenLabel(QString());
}

void PictavoAppDelegate::updateTotalPagesLabel() {
    onMainThread([this] {
        try {
            m_parts.labelTotalTIFFPages->setText(
                QStringLiteral("Total Pages TIFF : %1").arg(m_files->totalPages()));
        } catch (const std::exception& e) {
            systemLogError(QStringLiteral("updateTotalPagesLabel"), reasonOf(e));
        }
    });
}

void PictavoAppDelegate::setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar) {
    if (button == nullptr || keyChar.isEmpty()) {
        return;
    }
    try {
        button->setText(withAccessLetter(button->text(), keyChar));
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(setButtonKeyCharacter:keyChar:color:)"), reasonOf(e));
    }
}

void PictavoAppDelegate::markAccessLetters() {
    setButtonKeyCharacter(m_panelUi->setCurrentAsDefaultOutputFolderPathBtn, QStringLiteral("d"));
    setButtonKeyCharacter(m_panelUi->openFolderAfterConversionBtn, QStringLiteral("p"));
    setButtonKeyCharacter(m_progressUi->viewLogBtn, QStringLiteral("l"));
    setButtonKeyCharacter(m_progressUi->cancelProcessBtn, QStringLiteral("c"));
}
