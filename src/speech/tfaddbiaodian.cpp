#include "tfaddbiaodian.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"
#include "pausesymbols.h"
#include "ui_tfaddbiaodian.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>

TFaddbiaodian::TFaddbiaodian(QSqlTableModel* q_delaytime, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_ui(new Ui::TFaddbiaodian)
    , m_dialogs(dialogs)
    , m_query(q_delaytime)
{
    m_ui->setupUi(this);
    setModal(false);
    setFixedSize(sizeHint());
    for (QWidget* field : { static_cast<QWidget*>(m_ui->Edit1), static_cast<QWidget*>(m_ui->Edit2),
                            static_cast<QWidget*>(m_ui->SpinEdit1) }) {
        field->installEventFilter(this);
    }
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn1Click(); }); });
}

TFaddbiaodian::~TFaddbiaodian() = default;

bool TFaddbiaodian::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in a field moves on as Tab does; on the button it presses it.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFaddbiaodian::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TFaddbiaodian::BitBtn1Click()
{
    const QString symbol = m_ui->Edit2->text();
    if (symbol.isEmpty()) {
        infobox(m_dialogs, QStringLiteral("请输入标点符号!"));
        return;
    }
    if (containsMark(symbol)) {
        warnbox(m_dialogs, QStringLiteral("该符号为系统功能符号，不能添加!"));
        return;
    }
    if (!m_query) {
        throw RuntimeError(QStringLiteral("The pause table is not open."));
    }
    m_ui->SpinEdit1->interpretText();
    QSqlRecord row = m_query->record();
    row.setValue(QStringLiteral("name"), m_ui->Edit1->text());
    row.setValue(QStringLiteral("descript"), symbol);
    row.setValue(QStringLiteral("delaytime"), m_ui->SpinEdit1->value());
    row.setValue(QStringLiteral("candelete"), 1);
    // The key is the database's to choose.
    const int id = row.indexOf(QStringLiteral("id"));
    if (id >= 0) {
        row.setGenerated(id, false);
    }
    if (!m_query->insertRecord(-1, row) || (m_query->isDirty() && !m_query->submitAll())) {
        const QString error = m_query->lastError().text();
        m_query->revertAll();
        throw RuntimeError(error);
    }
}
