#pragma once

#include "dialogs.h"

// Writes every box to the event log with its text, then lets the real dialogs show it.
class LoggingDialogs final : public Dialogs
{
public:
    explicit LoggingDialogs(Dialogs& inner)
        : m_inner(inner)
    {
    }

    bool message(Icon icon, const QString& caption, const QString& text, Buttons buttons) override;
    bool detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                         Buttons buttons) override;
    QString saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                         const QString& defaultSuffix) override
    {
        return m_inner.saveFileName(caption, proposedPath, filter, defaultSuffix);
    }
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override
    {
        return m_inner.openFileName(caption, folder, filter);
    }
    QString folderName(const QString& caption, const QString& folder) override
    {
        return m_inner.folderName(caption, folder);
    }

private:
    Dialogs& m_inner;
};
