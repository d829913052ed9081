#pragma once

#include "daymarks.h"

#include <QDate>
#include <QWidget>

// A whole year at a glance: twelve months, weeks from Monday, days off in red and working days in
// blue; a click picks a day, a drag or a shift-click a run of days.
class YearView final : public QWidget
{
    Q_OBJECT
public:
    explicit YearView(QWidget* parent = nullptr);

    void setYear(int year);
    int year() const { return m_year; }
    void setMarks(const DayMarks& marks);
    // The day drawn as today (the station's clock's); none until set.
    void setToday(const QDate& today);
    // Days outside the year are cut to it; an invalid day clears the selection.
    void setSelection(const QDate& first, const QDate& last);
    QDate selectionFirst() const { return m_first; }
    QDate selectionLast() const { return m_last; }
    // The selected days, in order.
    QList<QDate> selectedDays() const;
    // The day drawn at the point; invalid between the days.
    QDate dayAt(const QPoint& point) const;
    // Where a day is drawn (for tests and tooltips).
    QRect dayRect(const QDate& day) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static const QColor DayOffColour;
    static const QColor WorkingDayColour;

signals:
    void selectionChanged(const QDate& first, const QDate& last);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect monthRect(int month) const;
    QSize cellSize() const;
    void select(const QDate& anchor, const QDate& other);

    int m_year;
    QDate m_today;
    DayMarks m_marks;
    QDate m_anchor;
    QDate m_first;
    QDate m_last;
};
