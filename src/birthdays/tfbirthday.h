#pragma once

#include <QDialog>
#include <QScopedPointer>

#include <functional>

class FilterHeader;
class QAbstractItemView;
class QAction;
class QMenu;
class QSqlTableModel;
class RosterFilterModel;

namespace Ui {
class Tfbirthday;
}

class Clock;
class Dialogs;
struct Services;

// The roster editor "员工生日资料": an entry panel that appends employees and a grid that edits,
// filters and deletes them in place. It notes in DataChanged whether the roster changed (or the
// grid moved to another record, or people were imported) while it was open, so that the birthday
// list can be rebuilt.
class Tfbirthday final : public QDialog
{
    Q_OBJECT
public:
    explicit Tfbirthday(QSqlTableModel* roster, const Services& services, QWidget* parent = nullptr);
    ~Tfbirthday() override;

    Ui::Tfbirthday* form() const { return m_ui.data(); }
    RosterFilterModel* shownRoster() const { return m_shown; }
    FilterHeader* filterHeader() const { return m_header; }
    QMenu* popupMenu() const { return m_menu; }

    // Speaks a name as the station would, with the person's reading (stored form, may be empty).
    using Listen = std::function<void(const QString& name, const QString& pinyin)>;
    // The 试听 buttons do nothing until this is set.
    void setListen(Listen listen) { m_listen = std::move(listen); }

    // Clears DataChanged (or sets it when another program changed the roster since the last showing,
    // which is then read again), shows the editor modally and tells whether the roster changed.
    bool editRoster();
    bool DataChanged() const { return m_dataChanged; }
    // Reads the roster again (after an import, or when another program changed draft.dat).
    void reloadRoster();

    // Handlers, named after their controls.
    void BitBtn1Click();
    // 试听 of the entry panel: the name and reading typed there.
    void BitBtn2Click();
    void N1Click();
    // 试听 of the grid's menu: the current person.
    void N2Click();
    void Excel1Click();
    // "导入…": a file of people, previewed, then written in one go; the grid shows them afterwards.
    void Import1Click();
    // Posts the grid's open edit, as leaving the record would.
    void postPendingEdit();

signals:
    // "导出到Excel": the export window is to open modally for this grid.
    void exportRequested(QAbstractItemView* grid);

protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setupGrid();
    void setupEntryPanel();
    void markChanged() { m_dataChanged = true; }
    // The reading typed in the entry panel fits the name (or is empty); otherwise warns and says so.
    bool typedReadingFits(const QString& name);
    void showPopup(const QPoint& pos);
    bool DBGridEh1KeyDown(int key);
    // SQLite's count of changes other connections committed to the file.
    qint64 dataVersion() const;

    const QScopedPointer<Ui::Tfbirthday> m_ui;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    QSqlTableModel* m_roster = nullptr;
    RosterFilterModel* m_shown = nullptr;
    FilterHeader* m_header = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_N1 = nullptr;
    QAction* m_Excel1 = nullptr;
    QAction* m_Import1 = nullptr;
    QAction* m_N2 = nullptr;
    Listen m_listen;
    bool m_dataChanged = false;
    qint64 m_dataVersion = -1;
    bool m_centred = false;
};
