#pragma once

#include <QScopedPointer>
#include <QWidget>

class Dialogs;

class PauseSymbols;
class QMenu;
class QAction;
class QSqlTableModel;

namespace Ui {
class PausesTab;
}

// The settings window's tab "停顿及延时设置": the pause symbol grid on the pause query, the mark's
// delay S_delay2 and the save button that republishes the pause symbols.
class PausesTab final : public QWidget
{
    Q_OBJECT
public:
    // addWindow: the window "新增延时符号" the context command shows.
    PausesTab(QSqlTableModel* q_delaytime, PauseSymbols& symbols, QWidget* addWindow, Dialogs& dialogs,
              QWidget* parent = nullptr);
    ~PausesTab() override;

    Ui::PausesTab* form() const { return m_ui.data(); }
    QMenu* contextMenu() const { return m_menu; }

    // Each showing of the settings window: S_delay2 from [System] Delay2.
    void FormShow();
    // Save: Delay2 and markdelay from S_delay2, then the symbols from the table; "保存成功!".
    void BitBtn4Click();
    // Context commands "&A.新增" and "&D.删除".
    void N1Click();
    void N2Click();

private:
    void storePendingEdit();

    const QScopedPointer<Ui::PausesTab> m_ui;
    Dialogs& m_dialogs;
    QSqlTableModel* m_query;
    PauseSymbols& m_symbols;
    QWidget* m_addWindow;
    QMenu* m_menu = nullptr;
    QAction* m_N1 = nullptr;
    QAction* m_N2 = nullptr;
};
