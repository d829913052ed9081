#include "rostercolumns.h"

#include "speech/pinyin.h"

namespace {

// A person's reading of the name: the editor's rule (a syllable for each Chinese character) and its
// stored form; an empty one is no reading.
QString checkReading(const QString& name, QString* value)
{
    const QString typed = value->trimmed();
    if (typed.isEmpty()) {
        value->clear();
        return {};
    }
    const QString problem = Pinyin::problem(name, typed);
    if (problem.isEmpty()) {
        *value = Pinyin::canonical(typed);
    }
    return problem;
}

// A lunar birthday's box: its stored form 1 or 0.
QString checkLunar(const QString&, QString* value)
{
    const int flag = RosterColumns::flagValue(*value);
    if (flag < 0) {
        return QStringLiteral("农历一栏只能填 是/否、1/0 或 yes/no，不能是“%1”").arg(value->trimmed());
    }
    *value = QString::number(flag);
    return {};
}

RosterColumn column(const QString& field, const char* title, const char* label, int width, RosterColumn::Kind kind)
{
    RosterColumn column;
    column.field = field;
    column.title = QString::fromUtf8(title);
    column.label = QString::fromUtf8(label);
    column.width = width;
    column.kind = kind;
    return column;
}

RosterColumn imported(RosterColumn column, bool required, int maxLength, const QStringList& aliases)
{
    column.required = required;
    column.maxLength = maxLength;
    column.aliases = aliases;
    return column;
}

} // namespace

namespace RosterColumns {

const QList<RosterColumn>& all()
{
    using Kind = RosterColumn::Kind;
    // Aliases are compared without case, blanks, underscores, hyphens, dots, colons and brackets.
    static const QList<RosterColumn> columns = [] {
        QList<RosterColumn> list;
        list.append(imported(column(Id, "No", "编号", 36, Kind::Id), false, 0, { "序号", "编号", "id", "no" }));
        list.append(imported(column(Name, "姓名", "姓名", 66, Kind::Text), true, 100,
                             { "名字", "员工姓名", "职工姓名", "人员姓名", "员工", "name", "fullname", "employee",
                               "employeename", "staffname" }));
        RosterColumn reading = imported(column(Reading, "读音", "读音", 96, Kind::Text), false, 200,
                                        { "拼音", "姓名拼音", "姓名读音", "pinyin", "reading" });
        reading.check = checkReading;
        list.append(reading);
        list.append(imported(column(Indate, "入职", "入职日期", 66, Kind::Date), true, 0,
                             { "入职日期", "入职时间", "入厂日期", "到职日期", "报到日期", "加入日期", "joined",
                               "joindate", "datejoined", "dateofjoining", "hiredate", "startdate", "entrydate" }));
        list.append(imported(
            column(Birthday, "生日", "生日", 66, Kind::Date), true, 0,
            { "出生日期", "出生年月日", "出生年月", "生日日期", "出生", "birth", "birthdate", "dateofbirth", "dob" }));
        RosterColumn lunar = imported(column(Lunar, "农历", "农历", 40, Kind::Flag), false, 0,
                                      { "农历生日", "阴历", "阴历生日", "按农历", "lunar", "lunarbirthday" });
        lunar.check = checkLunar;
        list.append(lunar);
        list.append(imported(column(Dept, "部门", "部门", 84, Kind::Text), false, 200,
                             { "所属部门", "部门名称", "科室", "department", "departmentname" }));
        list.append(imported(column(Remark, "备注", "备注", 143, Kind::Text), false, 2000,
                             { "说明", "备注说明", "remark", "remarks", "note", "notes", "comment", "comments" }));
        return list;
    }();
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

int flagValue(const QString& text)
{
    const QString key = text.trimmed().toLower();
    static const QStringList yes
        = { QStringLiteral("是"),   QStringLiteral("1"), QStringLiteral("yes"), QStringLiteral("y"),
            QStringLiteral("true"), QStringLiteral("√"), QStringLiteral("✓"),   QStringLiteral("农历") };
    static const QStringList no
        = { QStringLiteral("否"),    QStringLiteral("0"), QStringLiteral("no"),   QStringLiteral("n"),
            QStringLiteral("false"), QStringLiteral("×"), QStringLiteral("公历"), QString() };
    if (yes.contains(key)) {
        return 1;
    }
    if (no.contains(key)) {
        return 0;
    }
    return -1;
}

QString flagText(bool on)
{
    return on ? QStringLiteral("是") : QStringLiteral("否");
}

} // namespace RosterColumns
