#pragma once

#include <QString>

// Seam for every modal box and file chooser, so tests can record them and answer in advance.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Question, Critical };
    enum class Buttons { Ok, YesNo };

    virtual ~Dialogs();

    // Shows a modal box and returns true only when Yes (or OK) was chosen; closing the box counts as No.
    virtual bool message(Icon icon, const QString& caption, const QString& text, Buttons buttons) = 0;
    // The same box with what a person can act on (the file's path, the reason) behind its details
    // button; the text stays the fixed one. Without its own way to show details, a box shows the text.
    virtual bool detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                                 Buttons buttons);
    // Returns the chosen path, or an empty text when cancelled. An existing file is replaced without asking.
    virtual QString saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                                 const QString& defaultSuffix)
        = 0;
    virtual QString openFileName(const QString& caption, const QString& folder, const QString& filter) = 0;
    // A folder that may not exist yet: the chooser asks before creating it.
    virtual QString folderName(const QString& caption, const QString& folder) = 0;
};

// Without windows a box is written to standard error and answered No.
class ConsoleDialogs final : public Dialogs
{
public:
    bool message(Icon icon, const QString& caption, const QString& text, Buttons buttons) override;
    bool detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                         Buttons buttons) override;
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString folderName(const QString&, const QString&) override { return {}; }
};
