#pragma once

#include "common/dialogs.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

// Records every box and answers from a queue the test fills in advance. A Yes/No box with no answer
// queued, or a chooser with none, fails the test at once (it is answered No / cancelled) instead of
// waiting for a click that never comes. Boxes the test did not take are reported by verifyAllSeen().
class RecordingDialogs final : public Dialogs
{
public:
    struct Box
    {
        Icon icon;
        QString caption;
        QString text;
        QString details; // behind the box's details button
    };

    RecordingDialogs();
    ~RecordingDialogs() override;

    bool message(Icon icon, const QString& caption, const QString& text, Buttons buttons) override;
    bool detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                         Buttons buttons) override;
    QString saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                         const QString& defaultSuffix) override;
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override;
    QString folderName(const QString& caption, const QString& folder) override;

    void answerNextQuestion(bool yes);
    // The next chooser returns this path; an empty text cancels it.
    void answerNextChooser(const QString& path);

    // The boxes shown since the last take, oldest first; they count as seen.
    QList<Box> takeBoxes();
    QStringList takeTexts();
    // The last chooser's arguments (caption, proposed path or folder, filter, suffix).
    QStringList lastChooser() const;
    // Fails the running test when boxes were shown that it never took.
    void verifyAllSeen();

private:
    mutable QMutex m_mutex;
    QList<Box> m_boxes;
    QList<bool> m_answers;
    QStringList m_choosers;
    bool m_chooserQueued = false;
    QStringList m_lastChooser;
};
