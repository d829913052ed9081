#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One column of the roster as the editor's grid shows it, the exports write it and the import reads
// it. Every place that walks the roster's columns walks this one table, so a new column is one entry.
struct RosterColumn
{
    enum class Kind { Id, Text, Date, Flag };

    QString field; // column of the table birthday
    QString title; // grid caption and export header
    QString label; // what the import's messages call a value of it ("入职日期")
    int width = 64; // pixels in the roster grid
    Kind kind = Kind::Text;
    // An import row without a value here cannot be taken.
    bool required = false;
    // Characters a value may hold on import; 0 for the id, which is never imported.
    int maxLength = 0;
    // Header texts of other programs that mean this column (the title and the field count too).
    QStringList aliases;
    // An imported value's own rule: why it cannot be stored for a person of that name (empty when it
    // can), rewriting it into its stored form. None for most columns.
    QString (*check)(const QString& name, QString* value) = nullptr;

    bool imported() const { return kind != Kind::Id; }
};

namespace RosterColumns {

// In the grid's order: No, 姓名, 读音, 入职, 生日, 农历, 部门, 备注.
const QList<RosterColumn>& all();
// The column of a field of the table birthday, or -1.
int indexOf(const QString& field);
const RosterColumn& at(int index);

// The field names every roster column uses.
inline const QString Id = QStringLiteral("id");
inline const QString Name = QStringLiteral("emp_name");
inline const QString Reading = QStringLiteral("pinyin");
inline const QString Indate = QStringLiteral("indate");
inline const QString Birthday = QStringLiteral("birthday");
inline const QString Lunar = QStringLiteral("lunar");
inline const QString Dept = QStringLiteral("dept");
inline const QString Remark = QStringLiteral("remark1");

// A yes/no value of a Flag column as people write it (是/否, 1/0, yes/no, true/false, √/×, Y/N):
// 1 or 0, or -1 when it is none of them.
int flagValue(const QString& text);
QString flagText(bool on); // "是" or "否"

} // namespace RosterColumns
