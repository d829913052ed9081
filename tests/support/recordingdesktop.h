#pragma once

#include "common/desktop.h"

#include <QList>

// Records what was handed to the desktop; answers from the queue the test fills, then with result.
class RecordingDesktop final : public Desktop
{
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return answers.isEmpty() ? result : answers.takeFirst();
    }

    QList<QUrl> opened;
    QList<bool> answers;
    bool result = true;
};
