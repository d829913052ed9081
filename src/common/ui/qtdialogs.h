#pragma once

#include "common/dialogs.h"

// The real boxes and choosers: QMessageBox and QFileDialog, centred and modal.
class QtDialogs final : public Dialogs
{
public:
    bool message(Icon icon, const QString& caption, const QString& text, Buttons buttons) override;
    bool detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                         Buttons buttons) override;
    QString saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                         const QString& defaultSuffix) override;
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override;
    QString folderName(const QString& caption, const QString& folder) override;
};
