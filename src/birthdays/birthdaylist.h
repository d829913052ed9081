#pragma once

#include "composer.h"
#include "dayannouncement.h"

#include <QList>
#include <QObject>
#include <QSqlRecord>

#include <functional>

class QCheckBox;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;
class QToolButton;
class Clock;
class Dialogs;
struct Services;

// The main window's controls that the birthday list reads and writes.
struct BirthdayWidgets
{
    QTableWidget* SGrid1 = nullptr;
    QToolButton* SB_write = nullptr;
    QSpinBox* SpinEdit3 = nullptr; // joining-days threshold
    QSpinBox* SpinEdit4 = nullptr; // days shown around today
    QCheckBox* chk_read1 = nullptr;
    QCheckBox* chk_read2 = nullptr;
    QCheckBox* chk_read3 = nullptr;
    QCheckBox* chk_next = nullptr;
    QLineEdit* edt_user = nullptr; // organisation name
    QPlainTextEdit* Memo1 = nullptr;
};

// The birthday grid of the main window: fills it from the day-window query, draws and toggles the
// selection column, offers its popup menu, and composes the announcement into the editor.
class BirthdayList final : public QObject
{
    Q_OBJECT
public:
    // The fixed announcement text lives in the main window; it is asked for at each composition.
    BirthdayList(const BirthdayWidgets& widgets, BirthdayQueries queries, std::function<QString()> mainreadText,
                 const Services& services, QObject* parent = nullptr);
    ~BirthdayList() override;

    static constexpr int SelectColumn = 4;
    static constexpr int AgeColumn = 5;
    // Set on the name cell of a person whose birthday fell on a day without a broadcast: ticked,
    // they are greeted in the catch-up sentence rather than in an age group.
    static constexpr int CatchUpRole = Qt::UserRole + 1;

    // The calendar the list and the compositions follow (days off, catch-up, anniversaries); asked
    // at each fill and composition. Without it every day broadcasts and nobody is caught up.
    void setCalendar(std::function<DayCalendar()> calendar) { m_calendar = std::move(calendar); }

    // Lists the days around today and composes today's announcement from the same result.
    void RefreshBirthdays();
    void FillBirthdayGrid(const QList<QSqlRecord>& result);
    // Composes from the grid rows marked "yes".
    void SB_writeClick();
    // Lists the previous ten days and today; the editor is left alone.
    void N101Click();
    // byHand: asked for with the button, so the people left out are also named in a notice.
    void ComposeAnnouncement(const QList<BirthdayEntry>& entries, const QStringList& catchUp = {}, bool byHand = false);

    QMenu* popupMenu() const { return m_PopupMenu4; }

signals:
    void monthViewRequested();
    void exportRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SGrid1MouseDown();
    void SGrid1Click();
    // The ticked rows: people of the age groups, and the names of those caught up.
    QList<BirthdayEntry> selectedEntries(QStringList* catchUp = nullptr) const;
    DayCalendar dayCalendar() const;
    CompositionInputs compositionInputs() const;
    // Writes the composition into the editor and logs it, with the people it left out; a composition
    // asked for with the button also names them in a notice (nobody reads one at start-up).
    void applyComposition(const Composition& composition, bool byHand);
    QString threshold() const;

    BirthdayWidgets m_w;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    BirthdayQueries m_queries;
    std::function<QString()> m_mainreadText;
    std::function<DayCalendar()> m_calendar;
    QMenu* m_PopupMenu4 = nullptr;
    QAction* m_N101 = nullptr;
    QAction* m_V1 = nullptr;
    QAction* m_O1 = nullptr;
};
