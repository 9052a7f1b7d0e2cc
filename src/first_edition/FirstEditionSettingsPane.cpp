// The first edition's settings pane.
#include "first_edition/FirstEditionSettingsPane.h"

#include "engine/Settings.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "shell/OutputSettings.h"
#include "shell/ShellContext.h"
#include "ui_MainWindow1.h"
#include "ui_OutputSettingsPanel.h"

#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QStackedWidget>
#include <QTabBar>

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

namespace {

constexpr int kFolderTab = 2;
constexpr int kHiddenPaneMargin = 5;
constexpr int kShownPaneMargin = 9;

// Keeps the panes fitted to the window as it is resized.
class ResizeWatcher final : public QObject {
public:
    ResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent), m_onResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            m_onResize();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onResize;
};

// The settings panel's form as a pane of the window: nothing ends it, so Esc
// or Enter in one of its fields cannot hide it the way they end a dialog.
class SettingsDialogPane final : public QDialog {
public:
    explicit SettingsDialogPane(QWidget* parent) : QDialog(parent, Qt::Widget) {}
    void done(int /*result*/) override {}
};

} // namespace

const QString FirstEditionSettingsPane::kShowSettingsKey = QStringLiteral("SHOWSETTINGS");

FirstEditionSettingsPane::FirstEditionSettingsPane(ShellContext& context, QMainWindow& window,
                                                   Ui::MainWindow1& ui)
    : m_ctx(context), m_window(window), m_ui1(ui) {}

FirstEditionSettingsPane::~FirstEditionSettingsPane() = default;

Ui::OutputSettingsPanel& FirstEditionSettingsPane::embed() {
    // The settings panel of the other window, as a pane: no sheet buttons, no
    // page-number digits.
    m_ctx.settingsPanel = new SettingsDialogPane(m_ui1.rightBox); // owned by the pane
    m_panelUi = std::make_unique<Ui::OutputSettingsPanel>();
    m_panelUi->setupUi(m_ctx.settingsPanel);
    m_ctx.settingsPanel->setWindowFlags(Qt::Widget);
    m_ctx.settingsPanel->setMinimumSize(0, 0); // the pane decides its width
    m_ui1.settingsLayout->addWidget(m_ctx.settingsPanel);
    Ui::OutputSettingsPanel& panel = *m_panelUi;
    delete panel.optionTabSegmented; // never shown in this window
    panel.optionTabSegmented = nullptr;
    delete panel.closeOutputSettingBtn;
    panel.closeOutputSettingBtn = nullptr;
    panel.namesLayout->removeRow(panel.fileNameLeadingZerosLabel);
    panel.fileNameLeadingZerosLabel = nullptr;
    panel.fileNameLeadingZerosText = nullptr;
    panel.fileNameLeadingZerosStepper = nullptr;
    m_settingTabs = new QTabBar(m_ctx.settingsPanel); // owned by the panel
    m_settingTabs->setObjectName(QStringLiteral("settingTabs"));
    m_settingTabs->setExpanding(true);
    m_settingTabs->setUsesScrollButtons(false);
    panel.panelLayout->insertWidget(0, m_settingTabs);
    m_window.centralWidget()->installEventFilter(
        new ResizeWatcher(&m_window, [this] { followWindowSize(); })); // owned by the window
    return panel;
}

void FirstEditionSettingsPane::setupSettingsTabs() {
    for (const char* title : {"Format", "File Names", "Folder"}) {
        m_settingTabs->addTab(QString::fromUtf8(title));
    }
    // A bar out of sight (the pane hidden at start) lays its new tabs out
    // without telling the pane's layout, which would keep it zero high.
    m_settingTabs->updateGeometry();
    QStackedWidget* pages = m_panelUi->settingTabView;
    m_settingTabs->setCurrentIndex(pages->currentIndex());
    connect(m_settingTabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);
    connect(pages, &QStackedWidget::currentChanged, m_settingTabs, &QTabBar::setCurrentIndex);
    fitPaneToItsPages();
    // Both check boxes need a folder to act on.
    connect(m_ctx.settings, &Settings::outputFolderPathChanged, this, [this](const QString& p) {
        m_panelUi->openFolderAfterConversionBtn->setEnabled(!p.isEmpty());
    });
}

void FirstEditionSettingsPane::fitPaneToItsPages() {
    // As wide as its widest page needs, so that no caption is cut; the window
    // keeps room for it beside the list.
    QWidget* pane = m_ui1.rightBox;
    pane->resize(std::max(pane->width(), pane->minimumSizeHint().width()), pane->height());
    const int least = pane->width() + kShownPaneMargin + m_ui1.leftBox->minimumSizeHint().width();
    m_window.setMinimumWidth(std::max(m_window.minimumWidth(), least));
    followWindowSize();
}

void FirstEditionSettingsPane::setupSettingsArea() {
    Preferences* store = m_ctx.preferences;
    const QVariant stored = store != nullptr ? store->value(kShowSettingsKey) : QVariant();
    if (stored.isValid()) {
        m_showSettings = stored.toBool();
    } else {
        m_showSettings = true;
        if (store != nullptr) {
            store->setValue(kShowSettingsKey, true);
        }
    }
    showSettings(m_showSettings);
}

void FirstEditionSettingsPane::toggleSettings() {
    m_showSettings = !m_showSettings;
    if (m_ctx.preferences != nullptr) {
        m_ctx.preferences->setValue(kShowSettingsKey, m_showSettings);
    }
    showSettings(m_showSettings);
}

void FirstEditionSettingsPane::showSettings(bool show) {
    logFailures(QStringLiteral("(showSettings:)"), [&] {
        (show ? m_ui1.preferencesToolbarItem : m_ui1.dummyToolbarItem)->setChecked(true);
        m_ui1.rightBox->setVisible(show);
        fitPanes();
    });
}

void FirstEditionSettingsPane::fitPanes() {
    QWidget* left = m_ui1.leftBox;
    const QWidget* right = m_ui1.rightBox;
    const int windowWidth = m_window.width();
    const int width = right->isHidden() ? windowWidth - kHiddenPaneMargin
                                        : windowWidth - right->width() - kShownPaneMargin;
    left->setGeometry(left->x(), left->y(), qMax(0, width), left->height());
}

void FirstEditionSettingsPane::followWindowSize() {
    // Both panes take the window's height, the settings pane its right edge.
    const int height = m_window.centralWidget()->height();
    QWidget* right = m_ui1.rightBox;
    right->setGeometry(m_window.width() - right->width(), right->y(), right->width(), height);
    QWidget* left = m_ui1.leftBox;
    left->resize(left->width(), height);
    fitPanes();
}

void FirstEditionSettingsPane::reveal() {
    if (!m_showSettings) {
        toggleSettings();
    }
}

void FirstEditionSettingsPane::showFolderSettings() {
    m_panelUi->settingTabView->setCurrentIndex(kFolderTab);
    reveal();
    // The control after the folder field: its chooser.
    m_panelUi->chooseOutputFolderBtn->setFocus();
}

void FirstEditionSettingsPane::resetView() {
    const bool hasFolder = !m_ctx.settings->outputFolderPath().isEmpty();
    if (!hasFolder) {
        m_ctx.settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
    }
    m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(hasFolder);
    m_panelUi->openFolderAfterConversionBtn->setEnabled(hasFolder);
    m_panelUi->qualityText->setText(
        OutputSettings::qualityPercentText(m_ctx.settings->jpegQuality()));
}
