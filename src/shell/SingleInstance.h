#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

class PictavoAppDelegate;

// One Pictavo per user: a second start hands its paths to the running one,
// which adds them and comes to the front, and then ends.
//
// Threads: main thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` identifies the instance; defaultName() for the program.
    explicit SingleInstance(QString name, QObject* parent = nullptr);

    // The user's instance of `folder` (the edition's application folder), or
    // PICTAVO_INSTANCE_NAME when set.
    static QString defaultName(const QString& folder);

    // True when a running instance took `paths` (they may be none: it then
    // only comes to the front); this process should then end.
    bool handOff(const QStringList& paths, int timeoutMs = 3000);
    // Becomes the running instance; false when that is impossible.
    bool listen();

Q_SIGNALS:
    // A later start handed these absolute paths over.
    void received(const QStringList& paths);

private:
    void accept();

    QString m_name;
    QLocalServer m_server;
};

// Adds what later starts hand over and brings the window to the front.
void connectSingleInstance(SingleInstance& instance, PictavoAppDelegate& controller);
