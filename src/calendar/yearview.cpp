#include "yearview.h"

#include "common/helpers.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int Columns = 4; // months side by side
constexpr int Gap = 12;
constexpr int RowsPerMonth = 8; // title, weekday names, six weeks
const char16_t* const WeekdayNames[] = { u"一", u"二", u"三", u"四", u"五", u"六", u"日" };

} // namespace

const QColor YearView::DayOffColour(248, 196, 196);
const QColor YearView::WorkingDayColour(196, 216, 248);

YearView::YearView(QWidget* parent)
    : QWidget(parent)
    , m_year(2000) // until the tab sets the year of its clock's today
{
    setObjectName(QStringLiteral("yearView"));
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void YearView::setYear(int year)
{
    if (year == m_year) {
        return;
    }
    m_year = year;
    setSelection(QDate(), QDate());
    update();
}

void YearView::setToday(const QDate& today)
{
    if (today != m_today) {
        m_today = today;
        update();
    }
}

void YearView::setMarks(const DayMarks& marks)
{
    m_marks = marks;
    update();
}

void YearView::setSelection(const QDate& first, const QDate& last)
{
    const QDate yearFirst(m_year, 1, 1);
    const QDate yearLast(m_year, 12, 31);
    QDate from = first;
    QDate to = last.isValid() ? last : first;
    if (from.isValid() && to < from) {
        std::swap(from, to);
    }
    if (!from.isValid() || to < yearFirst || from > yearLast) {
        from = to = QDate();
    } else {
        from = qMax(from, yearFirst);
        to = qMin(to, yearLast);
    }
    if (from == m_first && to == m_last) {
        return;
    }
    m_first = from;
    m_last = to;
    update();
    emit selectionChanged(m_first, m_last);
}

QList<QDate> YearView::selectedDays() const
{
    QList<QDate> days;
    for (QDate day = m_first; m_first.isValid() && day <= m_last; day = day.addDays(1)) {
        days.append(day);
    }
    return days;
}

QSize YearView::cellSize() const
{
    const QFontMetrics metrics(font());
    return { qMax(metrics.horizontalAdvance(QStringLiteral("日")), metrics.horizontalAdvance(QStringLiteral("00")))
                 + 10,
             metrics.height() + 6 };
}

QRect YearView::monthRect(int month) const
{
    const QSize cell = cellSize();
    const int width = 7 * cell.width();
    const int height = RowsPerMonth * cell.height();
    const int column = (month - 1) % Columns;
    const int row = (month - 1) / Columns;
    return { column * (width + Gap), row * (height + Gap), width, height };
}

QSize YearView::sizeHint() const
{
    const QRect last = monthRect(12);
    return { last.right() + 1, last.bottom() + 1 };
}

QRect YearView::dayRect(const QDate& day) const
{
    if (!day.isValid() || day.year() != m_year) {
        return {};
    }
    const QSize cell = cellSize();
    const QRect month = monthRect(day.month());
    const int offset = QDate(m_year, day.month(), 1).dayOfWeek() - 1; // weeks start on Monday
    const int index = offset + day.day() - 1;
    return { month.left() + (index % 7) * cell.width(), month.top() + (2 + index / 7) * cell.height(), cell.width(),
             cell.height() };
}

QDate YearView::dayAt(const QPoint& point) const
{
    for (int month = 1; month <= 12; ++month) {
        if (!monthRect(month).contains(point)) {
            continue;
        }
        const QDate first(m_year, month, 1);
        for (QDate day = first; day.month() == month; day = day.addDays(1)) {
            if (dayRect(day).contains(point)) {
                return day;
            }
        }
    }
    return QDate();
}

void YearView::select(const QDate& anchor, const QDate& other)
{
    setSelection(qMin(anchor, other), qMax(anchor, other));
}

void YearView::mousePressEvent(QMouseEvent* event)
{
    const QDate day = dayAt(event->position().toPoint());
    if (!day.isValid() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if ((event->modifiers() & Qt::ShiftModifier) && m_anchor.isValid() && m_anchor.year() == m_year) {
        select(m_anchor, day);
    } else {
        m_anchor = day;
        select(day, day);
    }
}

void YearView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_anchor.isValid()) {
        return;
    }
    const QDate day = dayAt(event->position().toPoint());
    if (day.isValid()) {
        select(m_anchor, day);
    }
}

bool YearView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QDate day = dayAt(help->pos());
        if (!day.isValid()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QString text = day.toString(QStringLiteral("yyyy-MM-dd ")) + weekdayName(day);
        if (const DayMark* mark = m_marks.find(day)) {
            text += QLatin1Char(' ') + DayMark::kindText(mark->kind)
                + (mark->name.isEmpty() ? QString() : QLatin1Char(' ') + mark->name);
        }
        QToolTip::showText(help->globalPos(), text, this, dayRect(day));
        return true;
    }
    return QWidget::event(event);
}

void YearView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    const QSize cell = cellSize();
    const QDate& today = m_today;
    QFont bold = font();
    bold.setBold(true);
    for (int month = 1; month <= 12; ++month) {
        const QRect area = monthRect(month);
        painter.setFont(bold);
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QRect(area.left(), area.top(), area.width(), cell.height()), Qt::AlignCenter,
                         QStringLiteral("%1月").arg(month));
        painter.setFont(font());
        for (int column = 0; column < 7; ++column) {
            painter.setPen(column >= 5 ? colours.color(QPalette::PlaceholderText) : colours.color(QPalette::Text));
            painter.drawText(
                QRect(area.left() + column * cell.width(), area.top() + cell.height(), cell.width(), cell.height()),
                Qt::AlignCenter, QString::fromUtf16(WeekdayNames[column]));
        }
        for (QDate day(m_year, month, 1); day.month() == month; day = day.addDays(1)) {
            const QRect box = dayRect(day);
            const DayMark* mark = m_marks.find(day);
            if (mark) {
                painter.fillRect(box.adjusted(1, 1, -1, -1),
                                 mark->kind == DayMark::Kind::DayOff ? DayOffColour : WorkingDayColour);
            }
            const bool selected = m_first.isValid() && day >= m_first && day <= m_last;
            if (selected) {
                QColor highlight = colours.color(QPalette::Highlight);
                highlight.setAlpha(110);
                painter.fillRect(box, highlight);
            }
            const bool weekend = day.dayOfWeek() >= 6;
            painter.setPen(weekend && !(mark && mark->kind == DayMark::Kind::WorkingDay)
                               ? colours.color(QPalette::PlaceholderText)
                               : colours.color(QPalette::Text));
            painter.drawText(box, Qt::AlignCenter, QString::number(day.day()));
            if (day == today) {
                painter.setPen(colours.color(QPalette::Highlight));
                painter.drawRect(box.adjusted(0, 0, -1, -1));
            }
        }
    }
}
