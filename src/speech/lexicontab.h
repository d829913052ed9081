#pragma once

#include <QScopedPointer>
#include <QWidget>

#include <functional>

class Dialogs;

class QSqlTableModel;

namespace Ui {
class LexiconTab;
}

// The settings window's tab "读音词典": the pronunciation lexicon in a grid, and the fields and buttons
// that add, change, delete and listen to an entry. Every change is stored at once and then takes
// effect through changed().
class LexiconTab final : public QWidget
{
    Q_OBJECT
public:
    // Speaks an entry with the chosen voice (its reading in the stored form).
    using Listen = std::function<void(const QString& word, const QString& pinyin, bool surname)>;

    // q_lexicon: the data module's lexicon table (may be null: the tab then only explains). changed:
    // run after each stored change, so that readings use the new lexicon.
    LexiconTab(QSqlTableModel* q_lexicon, Listen listen, std::function<void()> changed, Dialogs& dialogs,
               QWidget* parent = nullptr);
    ~LexiconTab() override;

    Ui::LexiconTab* form() const { return m_ui.data(); }

    // Each showing of the settings window: the table as stored.
    void FormShow();
    void BitBtn_addClick();
    void BitBtn_changeClick();
    void BitBtn_deleteClick();
    void BitBtn_listenClick();

private:
    struct Fields
    {
        QString word;
        QString pinyin; // stored form
        bool surname = false;
    };
    // The fields when they hold an entry that can be stored; otherwise warns and returns false.
    bool readFields(Fields* fields);
    // The row holding word as a surname or not, other than except; -1 for none.
    int rowOf(const QString& word, bool surname, int except = -1) const;
    int currentRow() const;
    void showRow(int row);
    void store();

    const QScopedPointer<Ui::LexiconTab> m_ui;
    Dialogs& m_dialogs;
    QSqlTableModel* m_table;
    Listen m_listen;
    std::function<void()> m_changed;
};
