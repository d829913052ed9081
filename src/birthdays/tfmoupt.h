#pragma once

#include "exportwriters.h"

#include <QDialog>
#include <QPointer>
#include <QScopedPointer>

class QAbstractItemView;

class Dialogs;

namespace Ui {
class Tfmoupt;
}

// The export window: the user picks a format and a file, and the grid it was opened for is written
// there. A value the format could not hold as it is turns the success box into a notice naming it.
class Tfmoupt final : public QDialog
{
    Q_OBJECT
public:
    explicit Tfmoupt(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Tfmoupt() override;

    Ui::Tfmoupt* form() const { return m_ui.data(); }
    // The grid to export; not owned.
    void setExportGrid(QAbstractItemView* grid);

    void btnOUtClick();

    // Opens the window modally for the grid and disposes of it afterwards (the roster editor's
    // "导出到Excel").
    static void exportGrid(QAbstractItemView* grid, Dialogs& dialogs, QWidget* parent);

    // The save dialog's settings of a format: default suffix, filter, proposed file name.
    struct Choice
    {
        ExportFormat format;
        QString suffix;
        QString filter;
        QString proposedName;
    };
    static Choice choiceFor(ExportFormat format);

private:
    const QScopedPointer<Ui::Tfmoupt> m_ui;
    Dialogs& m_dialogs;
    QPointer<QAbstractItemView> ExportGrid;
};
