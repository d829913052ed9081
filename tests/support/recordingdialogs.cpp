#include "recordingdialogs.h"

#include <QTest>

#include <utility>

RecordingDialogs::RecordingDialogs() = default;

RecordingDialogs::~RecordingDialogs() = default;

bool RecordingDialogs::message(Icon icon, const QString& caption, const QString& text, Buttons buttons)
{
    return detailedMessage(icon, caption, text, QString(), buttons);
}

bool RecordingDialogs::detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                                       Buttons buttons)
{
    QMutexLocker lock(&m_mutex);
    m_boxes.append({ icon, caption, text, details });
    if (buttons == Buttons::Ok) {
        return true;
    }
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return false;
    }
    return m_answers.takeFirst();
}

QString RecordingDialogs::saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                                       const QString& defaultSuffix)
{
    QMutexLocker lock(&m_mutex);
    m_lastChooser = { caption, proposedPath, filter, defaultSuffix };
    if (m_choosers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected save dialog: ") + caption), __FILE__, __LINE__);
        return {};
    }
    return m_choosers.takeFirst();
}

QString RecordingDialogs::openFileName(const QString& caption, const QString& folder, const QString& filter)
{
    QMutexLocker lock(&m_mutex);
    m_lastChooser = { caption, folder, filter, QString() };
    if (m_choosers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected open dialog: ") + caption), __FILE__, __LINE__);
        return {};
    }
    return m_choosers.takeFirst();
}

QString RecordingDialogs::folderName(const QString& caption, const QString& folder)
{
    QMutexLocker lock(&m_mutex);
    m_lastChooser = { caption, folder, QString(), QString() };
    if (m_choosers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected folder dialog: ") + caption), __FILE__, __LINE__);
        return {};
    }
    return m_choosers.takeFirst();
}

void RecordingDialogs::answerNextQuestion(bool yes)
{
    QMutexLocker lock(&m_mutex);
    m_answers.append(yes);
}

void RecordingDialogs::answerNextChooser(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_choosers.append(path);
}

QList<RecordingDialogs::Box> RecordingDialogs::takeBoxes()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_boxes, {});
}

QStringList RecordingDialogs::takeTexts()
{
    QStringList texts;
    const QList<Box> boxes = takeBoxes();
    for (const Box& box : boxes) {
        texts.append(box.text);
    }
    return texts;
}

QStringList RecordingDialogs::lastChooser() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastChooser;
}

void RecordingDialogs::verifyAllSeen()
{
    QStringList unseen;
    {
        QMutexLocker lock(&m_mutex);
        for (const Box& box : std::as_const(m_boxes)) {
            unseen.append(box.caption + QStringLiteral(": ") + box.text);
        }
        m_boxes.clear();
    }
    if (!unseen.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("boxes nobody expected: ") + unseen.join(QStringLiteral(" | "))),
                     __FILE__, __LINE__);
    }
}
