#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class PictavoAppDelegate;
class QDialog;
class QLineEdit;
struct ShellContext;

// The output settings panel: its controls edit the controller's one Settings
// record in place, and the record's changes flow back into the controls and
// into which of them can be used.
//
// Threads: main thread only.
class OutputSettings : public QObject {
    Q_OBJECT
public:
    explicit OutputSettings(PictavoAppDelegate& app);

    void setupOutputSettings();
    // Commits what is being typed into the text fields.
    void commitSettingsFields();
    void optionTabSegmentedChanged(int segment);
    void closeOutputSetting();
    void chooseOutputFolder();
    // No default output folder any more: Convert asks for one again.
    void clearOutputFolder();
    // returnCode 1: the user chose `paths`; anything else changes nothing.
    void openPanelOutputFolderDidEnd(int returnCode, const QStringList& paths);
    // Keeps a field tagged 30001 or 30002 a number while it is edited.
    void controlTextDidChange(QLineEdit* field);
    void observeValueForKeyPath(const QString& keyPath);
    // The format's options enabled as the chosen format has them.
    void setSplitOptions(int outputType);
    // The text a numeric field of `tag` shows after an edit to `text`; other
    // tags keep `text`.
    static QString numericFieldText(int tag, const QString& text);
    // The quality label: 10 gives "100%", any other q gives 10q + 10 percent.
    static QString qualityPercentText(int storedQuality);
    QDialog* outputSettingPanel() const;

private:
    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
};
