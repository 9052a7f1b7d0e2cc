// The output settings sheet: its controls edit the controller's one Settings
// record in place, and the record's changes flow back into the controls.
#include "shell/OutputSettings.h"

#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "platform/SystemLog.h"
#include "shell/Choosers.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ViewHelper.h"
#include "ui_OutputSettingsPanel.h"
#include "widgets/CustomTableView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>

#include <algorithm>

namespace {

constexpr int kFieldTagTwo = 30001;
constexpr int kFieldTagOne = 30002;
constexpr int kChoseReturnCode = 1;

const char* const kTagProperty = "tag";

// Sets a control from the record without reporting it back as a user edit.
template <typename Control, typename Setter> void showValue(Control* control, Setter set) {
    const QSignalBlocker quiet(control);
    set(control);
}

int fieldTag(const QObject* field) {
    return field->property(kTagProperty).toInt();
}

qsizetype leadingNonDigits(const QString& text) {
    qsizetype n = 0;
    while (n < text.size() && !text.at(n).isDigit()) {
        ++n;
    }
    return n;
}

qsizetype trailingNonDigits(const QString& text) {
    qsizetype n = 0;
    while (n < text.size() && !text.at(text.size() - 1 - n).isDigit()) {
        ++n;
    }
    return n;
}

// Whether the digits a trimmed text starts with read as zero; checked digit by
// digit so that long runs cannot overflow.
bool leadingRunIsZero(const QString& digitsFirst) {
    for (const QChar c : digitsFirst) {
        if (!c.isDigit()) {
            break;
        }
        if (c.digitValue() != 0) {
            return false;
        }
    }
    return true;
}

// The number a leading-zeros field stands for: its leading digits, capped at
// `ceiling` when they do not fit.
int leadingNumber(const QString& text, int ceiling) {
    const QString trimmed = text.mid(leadingNonDigits(text));
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed.at(end).isDigit()) {
        ++end;
    }
    bool ok = false;
    const int value = trimmed.left(end).toInt(&ok);
    if (!ok) {
        return end == 0 ? 0 : ceiling;
    }
    return value;
}

// Each connection's context is the object it writes to, so that whichever of
// the record and the window goes first takes its links along.
void bindFormatTab(Settings& settings, Ui::OutputSettingsPanel& panel) {
    QComboBox* type = panel.outputTypePopup;
    QObject::connect(type, &QComboBox::currentIndexChanged, &settings,
                     [&settings](int index) { settings.setOutputType(index); });
    QObject::connect(&settings, &Settings::outputTypeChanged, type, [type](int value) {
        showValue(type, [value](QComboBox* c) { c->setCurrentIndex(value); });
    });

    QSlider* quality = panel.jpegQualitySlider;
    QObject::connect(quality, &QSlider::valueChanged, &settings,
                     [&settings](int value) { settings.setJpegQuality(value); });
    QObject::connect(&settings, &Settings::jpegQualityChanged, quality, [quality](int value) {
        showValue(quality, [value](QSlider* c) { c->setValue(value); });
    });

    QCheckBox* split = panel.splitTiffCheckbox;
    QObject::connect(split, &QCheckBox::toggled, &settings,
                     [&settings](bool on) { settings.setIsSplitTIFFIntoSinglePages(on); });
    QObject::connect(
        &settings, &Settings::isSplitTIFFIntoSinglePagesChanged, split,
        [split](bool on) { showValue(split, [on](QCheckBox* c) { c->setChecked(on); }); });

    QComboBox* compression = panel.tiffCompressionPopup;
    QObject::connect(compression, &QComboBox::currentIndexChanged, &settings,
                     [&settings](int index) { settings.setTiffCompressionIndex(index); });
    QObject::connect(
        &settings, &Settings::tiffCompressionIndexChanged, compression, [compression](int value) {
            showValue(compression, [value](QComboBox* c) { c->setCurrentIndex(value); });
        });
}

// Only a field the user typed in commits, so that a stored value the field
// cannot show exactly (a negative digit count) survives opening the panel.
void commitSeparator(Settings& settings, QLineEdit* field) {
    if (field->isModified()) {
        field->setModified(false);
        settings.setSeparator(field->text());
    }
}

// A typed number past the stepper's range is brought back into it, and the
// field shows what was kept.
void commitLeadingZeros(Settings& settings, QLineEdit* field, const QSpinBox* stepper) {
    if (field->isModified()) {
        field->setModified(false);
        settings.setLeadingZeros(std::clamp(leadingNumber(field->text(), stepper->maximum()),
                                            stepper->minimum(), stepper->maximum()));
        showValue(field, [&settings](QLineEdit* c) {
            c->setText(QString::number(settings.leadingZeros()));
        });
    }
}

void bindNamesTab(Settings& settings, Ui::OutputSettingsPanel& panel, bool withLeadingZeros) {
    // Text fields commit when editing ends, as typing must not rename the
    // pages of a running job letter by letter.
    QLineEdit* separator = panel.fileNameSeparatorText;
    QObject::connect(separator, &QLineEdit::editingFinished, &settings,
                     [&settings, separator] { commitSeparator(settings, separator); });
    QObject::connect(&settings, &Settings::separatorChanged, separator,
                     [separator](const QString& value) {
                         showValue(separator, [&value](QLineEdit* c) { c->setText(value); });
                     });
    if (!withLeadingZeros) {
        return;
    }
    QLineEdit* zeros = panel.fileNameLeadingZerosText;
    QSpinBox* stepper = panel.fileNameLeadingZerosStepper;
    QObject::connect(zeros, &QLineEdit::editingFinished, &settings,
                     [&settings, zeros, stepper] { commitLeadingZeros(settings, zeros, stepper); });
    QObject::connect(stepper, &QSpinBox::valueChanged, &settings,
                     [&settings](int value) { settings.setLeadingZeros(value); });
    QObject::connect(&settings, &Settings::leadingZerosChanged, zeros, [zeros, stepper](int value) {
        showValue(zeros, [value](QLineEdit* c) { c->setText(QString::number(value)); });
        showValue(stepper, [value](QSpinBox* c) { c->setValue(value); });
    });
}

void bindCheckBox(QCheckBox* box, Settings& settings, void (Settings::*set)(bool),
                  void (Settings::*changed)(bool)) {
    QObject::connect(box, &QCheckBox::toggled, &settings,
                     [&settings, set](bool on) { (settings.*set)(on); });
    QObject::connect(&settings, changed, box,
                     [box](bool on) { showValue(box, [on](QCheckBox* c) { c->setChecked(on); }); });
}

void bindFolderTab(Settings& settings, Ui::OutputSettingsPanel& panel) {
    QLineEdit* folder = panel.outputFolderPath;
    QObject::connect(&settings, &Settings::outputFolderPathChanged, folder,
                     [folder](const QString& value) {
                         showValue(folder, [&value](QLineEdit* c) { c->setText(value); });
                     });
    bindCheckBox(panel.setCurrentAsDefaultOutputFolderPathBtn, settings,
                 &Settings::setIsSetCurrentAsDefaultOutputFolderPath,
                 &Settings::isSetCurrentAsDefaultOutputFolderPathChanged);
    bindCheckBox(panel.openFolderAfterConversionBtn, settings,
                 &Settings::setIsOpenFolderAfterConversion,
                 &Settings::isOpenFolderAfterConversionChanged);
    bindCheckBox(panel.clearProcessedFilesBtn, settings, &Settings::setIsClearProcessedFiles,
                 &Settings::isClearProcessedFilesChanged);
}

// A damaged or hand-edited store may name a format or compression no popup
// lists; the popup would show nothing chosen. The first choice stands in, in
// the record too, so what the window shows is what a job uses.
void settleUnlistedChoices(Settings& s) {
    if (outputFormat(s.outputType()) == nullptr) {
        s.setOutputType(OutputJpeg);
    }
    if (s.tiffCompressionIndex() < 0 ||
        static_cast<size_t>(s.tiffCompressionIndex()) >= tiffCompressions().size()) {
        s.setTiffCompressionIndex(0);
    }
}

// The controls as the record stands, for the start.
void showSettings(const Settings& s, Ui::OutputSettingsPanel& panel, bool withLeadingZeros) {
    showValue(panel.outputTypePopup, [&s](QComboBox* c) { c->setCurrentIndex(s.outputType()); });
    showValue(panel.jpegQualitySlider, [&s](QSlider* c) { c->setValue(s.jpegQuality()); });
    showValue(panel.splitTiffCheckbox,
              [&s](QCheckBox* c) { c->setChecked(s.isSplitTIFFIntoSinglePages()); });
    showValue(panel.tiffCompressionPopup,
              [&s](QComboBox* c) { c->setCurrentIndex(s.tiffCompressionIndex()); });
    showValue(panel.fileNameSeparatorText, [&s](QLineEdit* c) { c->setText(s.separator()); });
    if (withLeadingZeros) {
        showValue(panel.fileNameLeadingZerosText,
                  [&s](QLineEdit* c) { c->setText(QString::number(s.leadingZeros())); });
        showValue(panel.fileNameLeadingZerosStepper,
                  [&s](QSpinBox* c) { c->setValue(s.leadingZeros()); });
    }
    showValue(panel.outputFolderPath, [&s](QLineEdit* c) { c->setText(s.outputFolderPath()); });
    showValue(panel.setCurrentAsDefaultOutputFolderPathBtn,
              [&s](QCheckBox* c) { c->setChecked(s.isSetCurrentAsDefaultOutputFolderPath()); });
    showValue(panel.openFolderAfterConversionBtn,
              [&s](QCheckBox* c) { c->setChecked(s.isOpenFolderAfterConversion()); });
    showValue(panel.clearProcessedFilesBtn,
              [&s](QCheckBox* c) { c->setChecked(s.isClearProcessedFiles()); });
}

} // namespace

OutputSettings::OutputSettings(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

QDialog* OutputSettings::outputSettingPanel() const {
    return m_ctx.settingsPanel;
}

void OutputSettings::commitSettingsFields() {
    commitSeparator(*m_ctx.settings, m_ctx.panel->fileNameSeparatorText);
    if (m_ctx.edition.hasLeadingZerosOption) {
        commitLeadingZeros(*m_ctx.settings, m_ctx.panel->fileNameLeadingZerosText,
                           m_ctx.panel->fileNameLeadingZerosStepper);
    }
}

void OutputSettings::setupOutputSettings() {
    Ui::OutputSettingsPanel& panel = *m_ctx.panel;
    m_app.editionWindow().setupSettingsTabs();
    const bool zeros = m_ctx.edition.hasLeadingZerosOption;
    if (zeros) {
        panel.fileNameLeadingZerosStepper->setRange(0, Settings::kMaxLeadingZeros);
    }
    settleUnlistedChoices(*m_ctx.settings);
    showSettings(*m_ctx.settings, panel, zeros);
    bindFormatTab(*m_ctx.settings, panel);
    bindNamesTab(*m_ctx.settings, panel, zeros);
    bindFolderTab(*m_ctx.settings, panel);

    const auto observe = [this](const char* key) {
        return [this, key] { observeValueForKeyPath(QString::fromLatin1(key)); };
    };
    connect(m_ctx.settings, &Settings::outputTypeChanged, this, observe("outputType"));
    connect(m_ctx.settings, &Settings::isSplitTIFFIntoSinglePagesChanged, this,
            observe("isSplitTIFFIntoSinglePages"));
    connect(m_ctx.settings, &Settings::outputFolderPathChanged, this, observe("outputFolderPath"));
    connect(m_ctx.settings, &Settings::jpegQualityChanged, this, observe("jpegQuality"));

    for (QLineEdit* field : m_ctx.settingsPanel->findChildren<QLineEdit*>()) {
        connect(field, &QLineEdit::textEdited, this,
                [this, field] { controlTextDidChange(field); });
    }
    connect(panel.chooseOutputFolderBtn, &QPushButton::clicked, this,
            &OutputSettings::chooseOutputFolder);
    connect(panel.clearOutputFolderBtn, &QPushButton::clicked, this,
            &OutputSettings::clearOutputFolder);
    panel.clearOutputFolderBtn->setEnabled(!m_ctx.settings->outputFolderPath().isEmpty());
}

void OutputSettings::optionTabSegmentedChanged(int segment) {
    m_ctx.panel->settingTabView->setCurrentIndex(segment);
}

void OutputSettings::closeOutputSetting() {
    // The field being edited commits only when it is told that editing ends.
    commitSettingsFields();
    m_ctx.settingsPanel->accept();
    m_ctx.parts.mainTableView->viewport()->update();
}

void OutputSettings::chooseOutputFolder() {
    const EditionGroups& rules = m_app.editionGroups();
    QWidget* on = rules.outputFolderChooserOnWindow ? static_cast<QWidget*>(m_ctx.window)
                                                    : m_ctx.settingsPanel;
    if (m_ctx.dialogs != nullptr) {
        m_ctx.dialogs->beginOpenPanel(on, outputFolderChooser(rules.outputFolderChooserMessage),
                                      [this](bool accepted, const QStringList& paths) {
                                          openPanelOutputFolderDidEnd(
                                              accepted ? kChoseReturnCode : 0, paths);
                                      });
    }
    m_ctx.parts.mainTableView->viewport()->update();
}

void OutputSettings::openPanelOutputFolderDidEnd(int returnCode, const QStringList& paths) {
    m_ctx.parts.mainTableView->viewport()->update();
    if (returnCode != kChoseReturnCode || paths.isEmpty()) {
        return;
    }
    m_ctx.settings->setOutputFolderPath(paths.last());
    m_ctx.settings->synchronize();
}

void OutputSettings::clearOutputFolder() {
    m_ctx.settings->setOutputFolderPath(QLatin1String(""));
    m_ctx.settings->synchronize();
    m_ctx.parts.mainTableView->viewport()->update();
}

QString OutputSettings::numericFieldText(int tag, const QString& text) {
    QString fallback;
    if (tag == kFieldTagTwo) {
        fallback = QStringLiteral("2");
    } else if (tag == kFieldTagOne) {
        fallback = QStringLiteral("1");
    } else {
        return text;
    }
    const qsizetype head = leadingNonDigits(text);
    if (head == text.size()) {
        return fallback;
    }
    const QString trimmed = text.mid(head, text.size() - head - trailingNonDigits(text));
    return leadingRunIsZero(trimmed) ? fallback : trimmed;
}

void OutputSettings::controlTextDidChange(QLineEdit* field) {
    const QString text = field->text();
    const QString normalized = numericFieldText(fieldTag(field), text);
    if (normalized == text) {
        return;
    }
    field->setText(normalized);
    field->setModified(true); // still the user's edit, to be committed
    field->setCursorPosition(static_cast<int>(normalized.size()));
    field->setFocus();
}

void OutputSettings::observeValueForKeyPath(const QString& keyPath) {
    if (keyPath == QLatin1String("outputType") ||
        keyPath == QLatin1String("isSplitTIFFIntoSinglePages")) {
        setSplitOptions(m_ctx.settings->outputType());
    } else if (keyPath == QLatin1String("outputFolderPath")) {
        QCheckBox* asDefault = m_ctx.panel->setCurrentAsDefaultOutputFolderPathBtn;
        m_ctx.panel->clearOutputFolderBtn->setEnabled(
            !m_ctx.settings->outputFolderPath().isEmpty());
        if (!m_ctx.settings->outputFolderPath().isEmpty()) {
            asDefault->setEnabled(true);
        } else {
            m_ctx.settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
            asDefault->setEnabled(false);
        }
    } else if (keyPath == QLatin1String("jpegQuality")) {
        m_ctx.panel->qualityText->setText(qualityPercentText(m_ctx.settings->jpegQuality()));
    }
}

QString OutputSettings::qualityPercentText(int storedQuality) {
    // A damaged store may hold any number; the label tells what the slider
    // shows and the writer uses, the nearer end of 0-10.
    const int jpegQuality = std::clamp(storedQuality, 0, 10);
    const int percent = jpegQuality == 10 ? 10 * jpegQuality : 10 * jpegQuality + 10;
    return QStringLiteral("%1%").arg(percent);
}

void OutputSettings::setSplitOptions(int /*outputType: the settings are read instead*/) {
    logFailures(QStringLiteral("(setSplitOptions:)"), [&] {
        Ui::OutputSettingsPanel& panel = *m_ctx.panel;
        const OutputFormat* format = outputFormat(m_ctx.settings->outputType());
        const OutputOptions options = format == nullptr ? OutputOptions() : format->options;
        panel.jpegQualitySlider->setEnabled(options.jpegQuality);
        panel.splitTiffCheckbox->setEnabled(options.tiffSplit);
        panel.tiffCompressionPopup->setEnabled(options.tiffCompression);
        const bool pageFiles = !options.tiffSplit || m_ctx.settings->isSplitTIFFIntoSinglePages();
        // A disabled label greys itself, as the separator label must.
        panel.fileNameSeparatorLabel->setEnabled(pageFiles);
        panel.fileNameSeparatorText->setEnabled(pageFiles);
        if (m_ctx.edition.hasLeadingZerosOption) {
            panel.fileNameLeadingZerosText->setEnabled(pageFiles);
            panel.fileNameLeadingZerosStepper->setEnabled(pageFiles);
        }
    });
    m_app.viewHelper().updateTotalLabel();
}
