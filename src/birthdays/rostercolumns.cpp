#include "rostercolumns.h"

namespace RosterColumns {

const QList<RosterColumn>& all()
{
    // Aliases are compared without case, blanks, underscores, hyphens, dots and colons.
    static const QList<RosterColumn> columns = {
        { Id,
          QStringLiteral("No"),
          QStringLiteral("编号"),
          36,
          RosterColumn::Kind::Id,
          false,
          0,
          { QStringLiteral("序号"), QStringLiteral("编号"), QStringLiteral("id"), QStringLiteral("no") } },
        { Name,
          QStringLiteral("姓名"),
          QStringLiteral("姓名"),
          66,
          RosterColumn::Kind::Text,
          true,
          100,
          { QStringLiteral("名字"), QStringLiteral("员工姓名"), QStringLiteral("职工姓名"), QStringLiteral("人员姓名"),
            QStringLiteral("员工"), QStringLiteral("name"), QStringLiteral("fullname"), QStringLiteral("employee"),
            QStringLiteral("employeename"), QStringLiteral("staffname") } },
        { Indate,
          QStringLiteral("入职"),
          QStringLiteral("入职日期"),
          66,
          RosterColumn::Kind::Date,
          true,
          0,
          { QStringLiteral("入职日期"), QStringLiteral("入职时间"), QStringLiteral("入厂日期"),
            QStringLiteral("到职日期"), QStringLiteral("报到日期"), QStringLiteral("加入日期"),
            QStringLiteral("joined"), QStringLiteral("joindate"), QStringLiteral("datejoined"),
            QStringLiteral("dateofjoining"), QStringLiteral("hiredate"), QStringLiteral("startdate"),
            QStringLiteral("entrydate") } },
        { Birthday,
          QStringLiteral("生日"),
          QStringLiteral("生日"),
          66,
          RosterColumn::Kind::Date,
          true,
          0,
          { QStringLiteral("出生日期"), QStringLiteral("出生年月日"), QStringLiteral("出生年月"),
            QStringLiteral("生日日期"), QStringLiteral("出生"), QStringLiteral("birth"), QStringLiteral("birthdate"),
            QStringLiteral("dateofbirth"), QStringLiteral("dob") } },
        { Dept,
          QStringLiteral("部门"),
          QStringLiteral("部门"),
          84,
          RosterColumn::Kind::Text,
          false,
          200,
          { QStringLiteral("所属部门"), QStringLiteral("部门名称"), QStringLiteral("科室"),
            QStringLiteral("department"), QStringLiteral("departmentname") } },
        { Remark,
          QStringLiteral("备注"),
          QStringLiteral("备注"),
          143,
          RosterColumn::Kind::Text,
          false,
          2000,
          { QStringLiteral("说明"), QStringLiteral("备注说明"), QStringLiteral("remark"), QStringLiteral("remarks"),
            QStringLiteral("note"), QStringLiteral("notes"), QStringLiteral("comment"), QStringLiteral("comments") } },
    };
    return columns;
}

int indexOf(const QString& field)
{
    const QList<RosterColumn>& columns = all();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

const RosterColumn& at(int index)
{
    return all().at(index);
}

} // namespace RosterColumns
