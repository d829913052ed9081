#pragma once

#include "common/desktop.h"

#include <QList>

// Records what was handed to the desktop; answers with the result the test sets.
class RecordingDesktop final : public Desktop
{
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return result;
    }

    QList<QUrl> opened;
    bool result = true;
};
