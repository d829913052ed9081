#pragma once

#include "daymarks.h"
#include "icsimport.h"

#include <QScopedPointer>
#include <QSqlDatabase>
#include <QWidget>

#include <functional>
#include <optional>

class Clock;
class Dialogs;

namespace Ui {
class HolidayTab;
}

// The settings tab "节假日": a year of the company's calendar, where days are marked off (休) or
// working (班) and holiday calendars (.ics) are imported after a preview; with the 29 February rule
// and the time announcements on days off. Marks are written at once, each action in one
// transaction; the two settings on the tab's save button.
class HolidayTab final : public QWidget
{
    Q_OBJECT
public:
    // changed: the days or the settings changed (the station reads its calendar again). The clock
    // gives the year shown first and today's day.
    HolidayTab(QSqlDatabase db, std::function<void()> changed, const Clock& clock, Dialogs& dialogs,
               QWidget* parent = nullptr);
    ~HolidayTab() override;

    Ui::HolidayTab* form() const { return m_ui.data(); }

    // Showing the settings window: the file's settings and the table's days.
    void FormShow();
    void markClick(DayMark::Kind kind);
    void clearClick();
    // Asks for a file, then previews it.
    void importClick();
    // Reads the file and shows what saving it would change; nothing is written yet.
    void previewImport(const QString& path);
    void applyImportClick();
    void cancelImportClick();
    void saveClick();

    const std::optional<HolidayPlan>& pendingImport() const { return m_pending; }

private:
    void yearChanged();
    void selectionChanged();
    void reloadMarks();
    void fillDays();
    void closePreview();

    const QScopedPointer<Ui::HolidayTab> m_ui;
    QSqlDatabase m_db;
    std::function<void()> m_changed;
    const Clock& m_clock;
    Dialogs& m_dialogs;
    DayMarks m_marks;
    std::optional<HolidayPlan> m_pending;
};
