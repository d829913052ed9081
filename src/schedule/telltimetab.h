#pragma once

#include "telltime.h"

#include <QScopedPointer>
#include <QWidget>

class Dialogs;

class QSqlTableModel;
class TellTimeGridModel;

namespace Ui {
class TellTimeTab;
}

// The tab "整点报时" of the settings window: the grid on the table telltime, where only "是否播放" can be
// changed, and the save button that rebuilds the announcement list `sgrid3` from the table. The grid
// stores a change at once; the announcements follow it only after the save.
class TellTimeTab final : public QWidget
{
    Q_OBJECT
public:
    // Q_telltime: the data module's query on telltime (ordered by stime); the tab does not own it.
    explicit TellTimeTab(QSqlTableModel* Q_telltime, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TellTimeTab() override;

    Ui::TellTimeTab* form() const { return m_ui.data(); }
    const TellTimeList& sgrid3() const { return m_sgrid3; }

    // Posts a pending grid edit and rebuilds the list from the table.
    void filltelltime();
    void BitBtn5Click();

signals:
    // The list was rebuilt: the time announcements read the new one.
    void telltimeFilled(const TellTimeList& list);

private:
    void postPendingEdit();

    const QScopedPointer<Ui::TellTimeTab> m_ui;
    Dialogs& m_dialogs;
    QSqlTableModel* m_Q_telltime;
    TellTimeGridModel* m_grid = nullptr;
    TellTimeList m_sgrid3;
    int m_lastRow = -1;
    int m_lastColumn = -1;
};
