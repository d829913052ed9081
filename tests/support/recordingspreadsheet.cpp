#include "recordingspreadsheet.h"

#include "common/runtimeerror.h"

namespace {
QString text(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
QString text(double value)
{
    return QString::number(value, 'g', 17);
}
} // namespace

QString RecordingSpreadsheet::describe(const SheetRange& range)
{
    if (range.wholeRows()) {
        return range.firstRow == range.lastRow ? QStringLiteral("rows(%1)").arg(range.firstRow)
                                               : QStringLiteral("rows(%1:%2)").arg(range.firstRow).arg(range.lastRow);
    }
    if (range.singleCell()) {
        return QStringLiteral("cells(%1,%2)").arg(range.firstRow).arg(range.firstColumn);
    }
    return QStringLiteral("range(cells(%1,%2),cells(%3,%4))")
        .arg(range.firstRow)
        .arg(range.firstColumn)
        .arg(range.lastRow)
        .arg(range.lastColumn);
}

void RecordingSpreadsheet::record(const QString& call)
{
    calls.append(call);
    if (!failOn.isEmpty() && call.startsWith(failOn)) {
        failOn.clear();
        throw RuntimeError(failMessage);
    }
}

bool RecordingSpreadsheet::start()
{
    record(QStringLiteral("start"));
    return startResult;
}

void RecordingSpreadsheet::addWorkbook()
{
    record(QStringLiteral("workbooks.add"));
}

void RecordingSpreadsheet::setVisible(bool visible)
{
    record(QStringLiteral("visible=") + text(visible));
}

void RecordingSpreadsheet::activeSheet()
{
    record(QStringLiteral("activesheet"));
}

void RecordingSpreadsheet::setWindowState(int state)
{
    record(QStringLiteral("activewindow.windowstate=%1").arg(state));
}

void RecordingSpreadsheet::merge(const SheetRange& range)
{
    record(describe(range) + QStringLiteral(".MERGE"));
}

void RecordingSpreadsheet::setValue(const SheetRange& cell, const QString& value)
{
    record(describe(cell) + QStringLiteral(".value=") + value);
}

void RecordingSpreadsheet::setHorizontalAlignment(const SheetRange& range, int alignment)
{
    record(describe(range) + QStringLiteral(".HorizontalAlignment=%1").arg(alignment));
}

void RecordingSpreadsheet::setRowHeight(const SheetRange& rows, double points)
{
    record(describe(rows) + QStringLiteral(".RowHeight=") + text(points));
}

void RecordingSpreadsheet::setWrapText(const SheetRange& range, bool wrap)
{
    record(describe(range) + QStringLiteral(".WrapText=") + text(wrap));
}

void RecordingSpreadsheet::setPageSetup(PageSetup member, const QVariant& value)
{
    const QString shown = value.metaType().id() == QMetaType::Double ? text(value.toDouble()) : value.toString();
    record(QStringLiteral("pagesetup.") + memberName(member) + QLatin1Char('=') + shown);
}

void RecordingSpreadsheet::setFontName(const SheetRange& range, const QString& name)
{
    record(describe(range) + QStringLiteral(".font.name=") + name);
}

void RecordingSpreadsheet::setFontBold(const SheetRange& range, bool bold)
{
    record(describe(range) + QStringLiteral(".font.bold=") + text(bold));
}

void RecordingSpreadsheet::setFontSize(const SheetRange& range, double points)
{
    record(describe(range) + QStringLiteral(".font.size=") + text(points));
}

void RecordingSpreadsheet::setBorderLineStyle(const SheetRange& range, int index, int lineStyle)
{
    record(describe(range) + QStringLiteral(".borders(%1).linestyle=%2").arg(index).arg(lineStyle));
}

void RecordingSpreadsheet::setBorderWeight(const SheetRange& range, int index, int weight)
{
    record(describe(range) + QStringLiteral(".borders(%1).weight=%2").arg(index).arg(weight));
}

bool RecordingSpreadsheet::release()
{
    record(QStringLiteral("release"));
    return releaseResult;
}

void RecordingSpreadsheet::quit() noexcept
{
    calls.append(QStringLiteral("quit"));
}
