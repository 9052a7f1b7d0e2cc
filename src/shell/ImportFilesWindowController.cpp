#include "shell/ImportFilesWindowController.h"

#include "filelist/PathList.h"
#include "platform/Constants.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"
#include "shell/AlertPanels.h"
#include "shell/Choosers.h"
#include "shell/Dialogs.h"
#include "ui_ImportFiles.h"
#include "widgets/AccessLetter.h"
#include "widgets/SheetDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QStringDecoder>

#include <exception>

namespace {

// The text of a list file; none when it cannot be read. Decoded byte for
// byte, so a line naming a file whose name is not UTF-8 still names it.
// A list that is not UTF-8 text gives no text, so nothing is found and the
// user is told so; its names, once read, keep their bytes.
QString readList(const QString& path) {
    const std::unique_ptr<QFile> file = NativePath::openForReading(path);
    if (!file) {
        return {};
    }
    const QByteArray bytes = file->readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString checked = utf8.decode(bytes); // decoding is lazy until it is a QString
    return utf8.hasError() || checked.isEmpty() ? QString() : NativePath::decode(bytes);
}

} // namespace

ImportFilesWindowController::ImportFilesWindowController(QWidget* mainWindow, Dialogs& dialogs,
                                                         const Edition& edition, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_edition(edition),
      m_ui(std::make_unique<Ui::ImportFiles>()) {
    m_window = SheetDialog::onWindow(mainWindow, [this] { cancelAction(); });
    m_ui->setupUi(m_window);
    connect(m_ui->importFromFileBtn, &QRadioButton::clicked, this,
            [this] { importMethodChanged(FromFile); });
    connect(m_ui->importFromTextBtn, &QRadioButton::clicked, this,
            [this] { importMethodChanged(FromText); });
    connect(m_ui->browseBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::browseImportFileAction);
    connect(m_ui->pasteFromClipboardBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::pasetFromClipboardAction);
    connect(m_ui->importBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::importAction);
    connect(m_ui->cancelImportBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::cancelAction);
    awakeFromNib();
}

ImportFilesWindowController::~ImportFilesWindowController() {
    m_delegate = nullptr;
}

void ImportFilesWindowController::awakeFromNib() {
    setButtonKeyCharacter(m_ui->importFromFileBtn, QStringLiteral("F"), 2);
    setButtonKeyCharacter(m_ui->importFromTextBtn, QStringLiteral("T"), 2);
    setButtonKeyCharacter(m_ui->pasteFromClipboardBtn, QStringLiteral("p"), 1);
    setButtonKeyCharacter(m_ui->importBtn, QStringLiteral("i"), 1);
    importMethodChanged(FromFile);
}

void ImportFilesWindowController::setButtonKeyCharacter(QAbstractButton* button,
                                                        const QString& keyChar, int occurrence) {
    if (button == nullptr || keyChar.isEmpty()) {
        return;
    }
    logFailures(QStringLiteral("(setButtonKeyCharacter:keyChar:color:)"),
                [&] { button->setText(withAccessLetter(button->text(), keyChar, occurrence)); });
}

void ImportFilesWindowController::showSheet() {
    m_window->open();
}

void ImportFilesWindowController::resetView() {
    m_ui->importFile->clear();
    m_ui->importText->clear();
    m_files.clear();
    showCount();
}

void ImportFilesWindowController::importMethodChanged(int tag) {
    // Both sources off first: switching discards what either held.
    m_ui->importFile->clear();
    m_ui->importFile->setEnabled(false);
    m_ui->importText->clear();
    // With application-modal alerts goes the older window, whose text keeps
    // the editability its layout gives it.
    const bool setsEditability = !m_edition.hasApplicationModalAlerts;
    if (setsEditability) {
        m_ui->importText->setReadOnly(true);
    }
    m_ui->importText->setEnabled(false);
    m_ui->browseBtn->setEnabled(false);
    m_ui->pasteFromClipboardBtn->setEnabled(false);
    m_ui->importFromFileBtn->setChecked(false);
    m_ui->importFromTextBtn->setChecked(false);
    if (tag == FromFile) {
        m_ui->importFile->setEnabled(true);
        m_ui->browseBtn->setEnabled(true);
        m_ui->importFromFileBtn->setChecked(true);
        m_ui->importFromFileBtn->setFocus();
    } else if (tag == FromText) {
        m_ui->importText->setEnabled(true);
        if (setsEditability) {
            m_ui->importText->setReadOnly(false);
        }
        m_ui->pasteFromClipboardBtn->setEnabled(true);
        m_ui->importFromTextBtn->setChecked(true);
        m_ui->importFromTextBtn->setFocus();
    }
}

void ImportFilesWindowController::browseImportFileAction() {
    const OpenPanelRequest panel = textFileChooser(QStringLiteral("Select Text File To Import:"));
    m_dialogs.beginOpenPanel(m_window, panel, [this](bool accepted, const QStringList& paths) {
        openPanelDidEnd(accepted ? 1 : 0, paths);
    });
}

void ImportFilesWindowController::openPanelDidEnd(int returnCode, const QStringList& paths) {
    if (returnCode == 1 && !paths.isEmpty()) {
        m_ui->importFile->setText(paths.last());
    }
}

void ImportFilesWindowController::pasetFromClipboardAction() {
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty()) {
        return;
    }
    parseText(text);
    QStringList paths;
    for (const QUrl& url : m_files) {
        paths.append(url.toLocalFile());
    }
    m_ui->importText->setPlainText(paths.join(QLatin1Char('\n')));
}

void ImportFilesWindowController::importAction() {
    endEditing();
    if (fileSourceOn() && m_ui->importFile->text().isEmpty()) {
        alert(QStringLiteral("Please select file to import!"));
        m_ui->browseBtn->setFocus();
        return;
    }
    if (textSourceOn() && m_ui->importText->toPlainText().isEmpty()) {
        alert(QStringLiteral("Please paste file(s) path to import!"));
        m_ui->importText->setFocus();
        return;
    }
    if (fileSourceOn()) {
        parseFile(m_ui->importFile->text());
    } else if (textSourceOn()) {
        parseText(m_ui->importText->toPlainText());
    }
    if (m_files.isEmpty()) {
        alert(QStringLiteral("No File(s) Found!"));
        return;
    }
    finish();
}

void ImportFilesWindowController::cancelAction() {
    endEditing();
    if (m_edition.importCancelKeepsParsedFiles) {
        // Only the window goes; what was parsed stays until the next opening.
        m_window->hide();
        return;
    }
    m_files.clear();
    finish();
}

void ImportFilesWindowController::finish() {
    if (m_delegate != nullptr) {
        m_delegate->ImportFilesWindowControllerDidFinish(this);
    }
    m_window->hide();
}

void ImportFilesWindowController::parseFile(const QString& path) {
    logFailures(QStringLiteral("(parseFile:)"), [&] {
        m_ui->importFile->setText(path);
        parseText(readList(path));
    });
}

void ImportFilesWindowController::parseText(const QString& text) {
    m_files.clear();
    logFailures(QStringLiteral("(parseText:)"), [&] {
        m_files = parsePathList(text, m_allowedTypes.split(QLatin1Char(','), Qt::SkipEmptyParts));
    });
    showCount();
}

void ImportFilesWindowController::endEditing() {
    if (QWidget* focus = QApplication::focusWidget();
        focus != nullptr && m_window->isAncestorOf(focus)) {
        focus->clearFocus();
    }
}

bool ImportFilesWindowController::fileSourceOn() const {
    return m_ui->importFromFileBtn->isChecked();
}

bool ImportFilesWindowController::textSourceOn() const {
    return m_ui->importFromTextBtn->isChecked();
}

void ImportFilesWindowController::showCount() {
    m_ui->totalFilesFound->setText(QStringLiteral("Total Files Found : %1").arg(m_files.size()));
}

void ImportFilesWindowController::alert(const QString& message) {
    informationAlertPanel(m_dialogs, m_edition.hasApplicationModalAlerts ? nullptr : m_window,
                          StringUtilities::getAppTitle(m_edition), message);
}
