#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

// What an open panel asks for.
struct OpenPanelRequest {
    QString title;
    QString message; // shown above the file list
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool canCreateDirectories = false;
    QStringList allowedFileTypes;                           // extensions without dots; empty: any
    QString fileTypesLabel = QStringLiteral("TIFF images"); // names allowedFileTypes
    QString directory;                // where the panel starts; "" for its default
    QWidget* accessoryView = nullptr; // shown below the file list; not owned
};

// What a save panel asks for.
struct SavePanelRequest {
    QString message;              // shown above the file list
    QString allowedFileType;      // extension without dot; the chosen name gets it
    QString nameFieldStringValue; // the proposed file name
    QString directory;            // where the panel starts; "" for its default
};

enum class AlertStyle { Informational, Warning, Critical };

// What an alert shows. Buttons are listed left to right as the user reads
// them; the first is the default. Their codes are 1000, 1001, ... in order.
struct AlertRequest {
    QString messageText;     // the bold first line
    QString informativeText; // shown verbatim
    AlertStyle style = AlertStyle::Informational;
    QStringList buttons; // empty: one "OK" button
};

inline constexpr int kAlertFirstButton = 1000;

// The panels and alerts of the main window, window-modal. Tests replace the
// real ones with a script (ScriptedDialogs).
//
// Threads: main thread only.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows the panel on `window` and returns at once; `done` runs when the
    // user answers, with whether they chose (true) and the chosen paths.
    virtual void
    beginOpenPanel(QWidget* window, const OpenPanelRequest& request,
                   std::function<void(bool accepted, const QStringList& paths)> done) = 0;
    // Shows the panel on `window` and returns at once; `done` runs when the
    // user answers, with whether they chose (true) and the path to write.
    virtual void beginSavePanel(QWidget* window, const SavePanelRequest& request,
                                std::function<void(bool accepted, const QString& path)> done) = 0;
    // Shows the alert on `window`, returns at once; `done` gets the code of
    // the button pressed.
    virtual void beginAlert(QWidget* window, const AlertRequest& request,
                            std::function<void(int code)> done) = 0;
    // Shows the alert on `window` and waits for the answer; 0 when it was
    // closed unanswered.
    virtual int runAlert(QWidget* window, const AlertRequest& request) = 0;
};

// The desktop's file dialog and message boxes.
class QtDialogs final : public Dialogs {
public:
    void beginOpenPanel(QWidget* window, const OpenPanelRequest& request,
                        std::function<void(bool, const QStringList&)> done) override;
    void beginSavePanel(QWidget* window, const SavePanelRequest& request,
                        std::function<void(bool, const QString&)> done) override;
    void beginAlert(QWidget* window, const AlertRequest& request,
                    std::function<void(int)> done) override;
    int runAlert(QWidget* window, const AlertRequest& request) override;
};

// Answers from a script, in order, and remembers what was asked; for tests.
class ScriptedDialogs final : public Dialogs {
public:
    struct PanelAnswer {
        bool accepted = false;
        QStringList paths;
    };

    void answerNextPanel(PanelAnswer answer) { m_panelAnswers.append(std::move(answer)); }
    // An accepted save panel answers with the first path.
    void answerNextAlert(int code) { m_alertAnswers.append(code); }

    void beginOpenPanel(QWidget* window, const OpenPanelRequest& request,
                        std::function<void(bool, const QStringList&)> done) override;
    void beginSavePanel(QWidget* window, const SavePanelRequest& request,
                        std::function<void(bool, const QString&)> done) override;
    void beginAlert(QWidget* window, const AlertRequest& request,
                    std::function<void(int)> done) override;
    int runAlert(QWidget* window, const AlertRequest& request) override;

    const QList<OpenPanelRequest>& panelsShown() const { return m_panels; }
    const QList<SavePanelRequest>& savePanelsShown() const { return m_savePanels; }
    const QList<AlertRequest>& alertsShown() const { return m_alerts; }
    // The window each alert was shown on, in the same order; null for an
    // application-modal one.
    const QList<const QWidget*>& alertWindows() const { return m_alertWindows; }

private:
    QList<PanelAnswer> m_panelAnswers;
    QList<int> m_alertAnswers;
    QList<OpenPanelRequest> m_panels;
    QList<SavePanelRequest> m_savePanels;
    QList<AlertRequest> m_alerts;
    QList<const QWidget*> m_alertWindows;
};
