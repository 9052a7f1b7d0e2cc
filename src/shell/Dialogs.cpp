#include "shell/Dialogs.h"

#include "platform/NativePath.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::Critical:
        return QMessageBox::Critical;
    case AlertStyle::Warning:
        return QMessageBox::Warning;
    case AlertStyle::Informational:
        break;
    }
    return QMessageBox::Information;
}

// A message box as the alert describes it; the caller owns it through Qt's
// WA_DeleteOnClose or the stack.
QMessageBox* makeAlert(QWidget* window, const AlertRequest& request) {
    auto* box = new QMessageBox(window); // owned by the window until closed
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(iconFor(request.style));
    box->setText(request.messageText);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(request.informativeText);
    // Paths and addresses in an alert can be selected and copied.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
    }
    const QStringList buttons =
        request.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : request.buttons;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QPushButton* button = box->addButton(buttons.at(i), QMessageBox::AcceptRole);
        button->setProperty("alertCode", kAlertFirstButton + static_cast<int>(i));
        if (i == 0) {
            box->setDefaultButton(button);
        }
    }
    return box;
}

int codeOf(const QMessageBox* box) {
    const QAbstractButton* clicked = box->clickedButton();
    return clicked != nullptr ? clicked->property("alertCode").toInt() : kAlertFirstButton;
}

QString nameFilterFor(const QString& label, const QStringList& types) {
    QStringList globs;
    for (const QString& t : types) {
        globs.append(QStringLiteral("*.") + t);
    }
    return QStringLiteral("%1 (%2)").arg(label, globs.join(QLatin1Char(' ')));
}

// The path the save panel writes: the chosen one with the allowed type, and
// the user asked again when adding the type lands on an existing file.
QString savePath(QWidget* dialog, QString path, const QString& type) {
    if (type.isEmpty() || path.isEmpty() ||
        QFileInfo(path).suffix().compare(type, Qt::CaseInsensitive) == 0) {
        return path;
    }
    path += QLatin1Char('.') + type;
    if (QFileInfo::exists(path) &&
        QMessageBox::question(dialog, QStringLiteral("Replace"),
                              QStringLiteral("“%1” already exists. Do you want to replace it?")
                                  .arg(QFileInfo(path).fileName())) != QMessageBox::Yes) {
        return {};
    }
    return path;
}

// QFileDialog lays its own widgets out in one grid; a row on top keeps a long
// message clear of the location box.
void prependRow(QGridLayout* grid, QWidget* widget) {
    struct Placed {
        QLayoutItem* item;
        int row, column, rowSpan, columnSpan;
    };
    std::vector<Placed> placed;
    while (grid->count() > 0) {
        const int last = grid->count() - 1;
        Placed p{nullptr, 0, 0, 1, 1};
        grid->getItemPosition(last, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
        p.item = grid->takeAt(last);
        placed.push_back(p);
    }
    const int columns = std::max(1, grid->columnCount());
    for (const Placed& p : placed) {
        grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan, p.item->alignment());
    }
    grid->addWidget(widget, 0, 0, 1, columns);
}

// Qt's dialog in a files mode opens a chosen folder instead of choosing it.
// Where folders may be chosen with files, Open (or Enter) takes each chosen
// item as it is; a double click still opens a folder.
class FilesAndFoldersDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        const bool allThere =
            !chosen.isEmpty() && std::all_of(chosen.cbegin(), chosen.cend(),
                                             [](const QString& p) { return QFileInfo::exists(p); });
        if (allThere) {
            // NOLINTNEXTLINE(bugprone-parent-virtual-call): QFileDialog's would open a folder
            QDialog::accept();
            return;
        }
        QFileDialog::accept(); // tells of a name that is not there
    }
};

QLabel* messageLabel(const QString& message, QWidget* parent) {
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* label = new QLabel(text, parent); // owned by the dialog
    label->setObjectName(QStringLiteral("openPanelMessage"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void QtDialogs::beginOpenPanel(QWidget* window, const OpenPanelRequest& request,
                               std::function<void(bool, const QStringList&)> done) {
    const bool filesAndFolders = request.canChooseFiles && request.canChooseDirectories;
    QFileDialog* dialog = // owned by the window
        filesAndFolders ? new FilesAndFoldersDialog(window, request.title, request.directory)
                        : new QFileDialog(window, request.title, request.directory);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    // Qt's own dialog, so that folders and files can be chosen together and an
    // accessory view can be added.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (request.canChooseDirectories && !request.canChooseFiles) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
        if (!request.allowedFileTypes.isEmpty()) {
            dialog->setNameFilter(nameFilterFor(request.fileTypesLabel, request.allowedFileTypes));
        }
    }
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateDirectories);
    auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
    if (grid != nullptr && !request.message.isEmpty()) {
        prependRow(grid, messageLabel(request.message, dialog));
    }
    // The accessory is lent: it goes back to its owner, hidden, when the
    // dialog ends.
    QWidget* const lent = request.accessoryView;
    QPointer<QWidget> accessory(lent);
    QPointer<QWidget> owner(lent != nullptr ? lent->parentWidget() : nullptr);
    if (grid != nullptr && lent != nullptr) {
        grid->addWidget(lent, grid->rowCount(), 0, 1, grid->columnCount());
        lent->show();
    }
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, done = std::move(done), accessory, owner](int result) {
                         QStringList chosen;
                         for (const QString& path : dialog->selectedFiles()) {
                             chosen.append(NativePath::fromQtPath(path));
                         }
                         if (accessory) {
                             accessory->hide();
                             accessory->setParent(owner);
                         }
                         done(result == QDialog::Accepted, chosen);
                     });
    dialog->open();
}

void QtDialogs::beginSavePanel(QWidget* window, const SavePanelRequest& request,
                               std::function<void(bool, const QString&)> done) {
    auto* dialog = new QFileDialog(window, QString(), request.directory); // owned by the window
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.allowedFileType.isEmpty()) {
        dialog->setNameFilter(QStringLiteral("*.%1").arg(request.allowedFileType));
        dialog->setDefaultSuffix(request.allowedFileType);
    }
    dialog->selectFile(request.nameFieldStringValue);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
        grid != nullptr && !request.message.isEmpty()) {
        prependRow(grid, messageLabel(request.message, dialog));
    }
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, done = std::move(done), type = request.allowedFileType](int result) {
                         // Only the allowed type is written: "list.csv" becomes
                         // "list.csv.txt".
                         const QString path =
                             result == QDialog::Accepted
                                 ? savePath(dialog, dialog->selectedFiles().value(0), type)
                                 : QString();
                         done(!path.isEmpty(), path);
                     });
    dialog->open();
}

void QtDialogs::beginAlert(QWidget* window, const AlertRequest& request,
                           std::function<void(int)> done) {
    QMessageBox* box = makeAlert(window, request);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, done = std::move(done)](int) { done(codeOf(box)); });
    box->open();
}

int QtDialogs::runAlert(QWidget* window, const AlertRequest& request) {
    // Kept past closing, so that the answer can be read.
    const std::unique_ptr<QMessageBox> box(makeAlert(window, request));
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->exec();
    // Closed unanswered (the program is ending): no button's code, so that no
    // caller takes it for the default button.
    return box->clickedButton() != nullptr ? codeOf(box.get()) : 0;
}

void ScriptedDialogs::beginOpenPanel(QWidget*, const OpenPanelRequest& request,
                                     std::function<void(bool, const QStringList&)> done) {
    m_panels.append(request);
    const PanelAnswer answer =
        m_panelAnswers.isEmpty() ? PanelAnswer{} : m_panelAnswers.takeFirst();
    done(answer.accepted, answer.paths);
}

void ScriptedDialogs::beginSavePanel(QWidget*, const SavePanelRequest& request,
                                     std::function<void(bool, const QString&)> done) {
    m_savePanels.append(request);
    const PanelAnswer answer =
        m_panelAnswers.isEmpty() ? PanelAnswer{} : m_panelAnswers.takeFirst();
    done(answer.accepted, answer.paths.value(0));
}

void ScriptedDialogs::beginAlert(QWidget* window, const AlertRequest& request,
                                 std::function<void(int)> done) {
    m_alerts.append(request);
    m_alertWindows.append(window);
    done(m_alertAnswers.isEmpty() ? kAlertFirstButton : m_alertAnswers.takeFirst());
}

int ScriptedDialogs::runAlert(QWidget* window, const AlertRequest& request) {
    m_alerts.append(request);
    m_alertWindows.append(window);
    return m_alertAnswers.isEmpty() ? kAlertFirstButton : m_alertAnswers.takeFirst();
}
