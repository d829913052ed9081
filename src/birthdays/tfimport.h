#pragma once

#include "rosterimport.h"

#include <QDialog>
#include <QList>
#include <QScopedPointer>

class QComboBox;
class ImportProblemModel;

namespace Ui {
class Tfimport;
}

// The import's preview: the file's first rows, which of its columns feed 姓名, 入职, 生日, 部门,
// 备注 (guessed from its captions, changed by the user), every row that will not be imported with
// its reason, and what becomes of people already in the roster. It writes nothing itself: its
// OK means the user confirmed this mapping and this choice.
class Tfimport final : public QDialog
{
    Q_OBJECT
public:
    Tfimport(const QString& path, ImportSheet sheet, RosterKeys roster, const QDate& today, QWidget* parent = nullptr);
    ~Tfimport() override;

    Ui::Tfimport* form() const { return m_ui.data(); }
    // The combo box choosing the sheet column of a roster column (RosterColumns), or null.
    QComboBox* mappingBox(int rosterColumn) const;
    // Rows shown in the preview.
    static constexpr int PreviewRows = 20;

    const ImportSheet& sheet() const { return m_sheet; }
    ImportMapping mapping() const;
    ImportPlan::Duplicates duplicates() const;
    // The plan for the mapping and choice on screen.
    const ImportPlan& plan() const { return m_plan; }

private:
    void buildMappingBoxes();
    void fillBoxes();
    void fillPreview();
    void replan();

    const QScopedPointer<Ui::Tfimport> m_ui;
    ImportSheet m_sheet;
    RosterKeys m_roster;
    QDate m_today;
    QList<QComboBox*> m_boxes; // by roster column; null for the id
    ImportProblemModel* m_problems = nullptr;
    ImportPlan m_plan;
    bool m_filling = false;
};
