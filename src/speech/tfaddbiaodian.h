#pragma once

#include <QDialog>
#include <QScopedPointer>

class Dialogs;

class QSqlTableModel;

namespace Ui {
class TFaddbiaodian;
}

// The window "新增延时符号": appends a pause symbol row to the pause query. It stays open for further
// additions; the new symbol cuts readings after the next getdelaystring.
class TFaddbiaodian final : public QDialog
{
    Q_OBJECT
public:
    explicit TFaddbiaodian(QSqlTableModel* q_delaytime, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TFaddbiaodian() override;

    Ui::TFaddbiaodian* form() const { return m_ui.data(); }

    // Button "新增". Throws RuntimeError with the database's text when the row is refused.
    void BitBtn1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const QScopedPointer<Ui::TFaddbiaodian> m_ui;
    Dialogs& m_dialogs;
    QSqlTableModel* m_query;
};
