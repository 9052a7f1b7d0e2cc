#pragma once

#include "platform/Edition.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class Dialogs;
class ImportFilesWindowController;
class QAbstractButton;
class QDialog;
class QWidget;
namespace Ui {
class ImportFiles;
}

// Told when the import window ends, by Import or by Cancel.
class ImportFilesWindowControllerDelegate {
public:
    virtual ~ImportFilesWindowControllerDelegate() = default;
    virtual void ImportFilesWindowControllerDidFinish(ImportFilesWindowController* controller) = 0;
};

// The import window: paths from a text file, or typed or pasted, parsed into
// the TIFF files they name and handed to the delegate. A sheet on the main
// window; Esc and the close request are Cancel.
//
// Threads: main thread only.
class ImportFilesWindowController : public QObject {
    Q_OBJECT
public:
    enum Source { FromFile = 0, FromText = 1 };

    // The window is a child of `mainWindow`; `dialogs` must outlive this.
    ImportFilesWindowController(QWidget* mainWindow, Dialogs& dialogs, const Edition& edition,
                                QObject* parent = nullptr);
    ~ImportFilesWindowController() override;

    void setDelegate(ImportFilesWindowControllerDelegate* delegate) { m_delegate = delegate; }
    // The accepted extensions joined with ",".
    void setAllowedTypes(const QString& types) { m_allowedTypes = types; }
    const QString& allowedTypes() const { return m_allowedTypes; }
    // Unique file URLs of the last parse, in text order.
    const QList<QUrl>& files() const { return m_files; }
    QDialog* window() const { return m_window; }

    // Shows the window as a sheet on the main window.
    void showSheet();
    void resetView();
    void importMethodChanged(int tag);
    void browseImportFileAction();
    void openPanelDidEnd(int returnCode, const QStringList& paths);
    void pasetFromClipboardAction();
    void importAction();
    void cancelAction();
    void parseFile(const QString& path);
    void parseText(const QString& text);

    // Marks the access letter: with `occurrence` 1 the first match ignoring
    // case, otherwise the last match, case sensitive.
    static void setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar,
                                      int occurrence);

private:
    void awakeFromNib();
    void endEditing();
    void finish();
    bool fileSourceOn() const;
    bool textSourceOn() const;
    void showCount();
    void alert(const QString& message);

    Dialogs& m_dialogs;
    Edition m_edition;
    ImportFilesWindowControllerDelegate* m_delegate = nullptr;
    std::unique_ptr<Ui::ImportFiles> m_ui;
    QDialog* m_window = nullptr; // owned by the main window
    QString m_allowedTypes;
    QList<QUrl> m_files;
};
