#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DocumentController;
class QTimer;

// Keeps the unsaved text of every open file in a recovery folder, written anew
// every few seconds, so that a crash or a killed editor loses at most those
// seconds. A clean quit removes the folder; the next start after a crash offers
// to bring the text back.
class RecoveryKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int intervalMilliseconds = 5000;

    struct Recovered
    {
        QString path; // the file's path, or an untitled document's title
        bool untitled = false;
        QString document; // the root file of the document that showed it
        QString text;
    };

    // The folder defaults to "recovery" in the user's application data folder.
    explicit RecoveryKeeper(const QString &folder = QString(), QObject *parent = nullptr);

    QString folder() const { return _folder; }
    // Keeps the unsaved files every few seconds from now on.
    void start();
    // Writes the unsaved files now and forgets the files that are saved; returns how
    // many are kept.
    int keepNow();
    // What an earlier run left behind.
    QList<Recovered> pendingRecoveries() const;
    // Opens each recovered file (a new document for an untitled one) and puts the
    // recovered text in, as an edit the user can undo and must save.
    void restoreInto(DocumentController *documents, const QList<Recovered> &recovered) const;
    // After a clean quit nothing is left to recover.
    void removeAll();

private:
    QString _folder;
    QTimer *_timer;
};
