#include "birthdaylist.h"

#include "calendar/chinesedate.h"
#include "common/clock.h"
#include "common/errorguard.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/services.h"
#include "daywindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace {

const QString Yes = QStringLiteral("yes");
const QString No = QStringLiteral("no");
const QColor SkyBlue(166, 202, 240);

// SGrid1DrawCell: after the default drawing, a selected person's row turns sky blue and the
// selection column shows a centred check box instead of its text.
class SelectionDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QRect rect = option.rect;
        const bool selected = index.siblingAtColumn(BirthdayList::SelectColumn).data().toString() == Yes;
        painter->save();
        if (selected) {
            painter->fillRect(rect, SkyBlue);
            painter->setPen(option.palette.color(QPalette::Text));
            painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                              index.data().toString());
        }
        if (index.column() == BirthdayList::SelectColumn) {
            painter->fillRect(rect, option.palette.color(QPalette::Base));
            if (!index.data().isValid()) {
                // The blank row of an empty list: nobody to tick.
                painter->restore();
                return;
            }
            const QWidget* widget = option.widget;
            QStyle* style = widget ? widget->style() : QApplication::style();
            const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
            const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget);
            QStyleOptionButton box;
            box.rect = QRect((rect.left() + rect.left() + rect.width() - width) / 2,
                             (rect.top() + rect.top() + rect.height() - height) / 2, width, height);
            box.state = QStyle::State_Enabled | (selected ? QStyle::State_On : QStyle::State_Off);
            style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
        }
        painter->restore();
    }
};

QString cellText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

QString dateText(const QVariant& value)
{
    if (value.isNull()) {
        return QString();
    }
    QDate date;
    if (value.metaType().id() == QMetaType::QDateTime) {
        date = value.toDateTime().date();
    } else if (value.metaType().id() == QMetaType::QDate) {
        date = value.toDate();
    } else {
        const QString text = value.toString().trimmed();
        date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid()) {
            return text; // shown as stored rather than lost
        }
    }
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

// A lunar birthday shows its lunar month and day beside the date: "1960-10-05 八月十五".
QString lunarDayText(const QSqlRecord& record)
{
    if (!DayWindow::isLunar(record)) {
        return QString();
    }
    const QDate born = QDate::fromString(record.value(QStringLiteral("birthday")).toString(), Qt::ISODate);
    const std::optional<LunarDate> lunar = ChineseCalendar::fromGregorian(born);
    return lunar ? QLatin1Char(' ') + lunar->monthDayName() : QString();
}

QString ageText(const QVariant& value)
{
    if (value.isNull()) {
        return QString();
    }
    bool ok = false;
    const qlonglong age = value.toLongLong(&ok);
    return ok ? QString::number(age) : value.toString();
}

} // namespace

BirthdayList::BirthdayList(const BirthdayWidgets& widgets, BirthdayQueries queries,
                           std::function<QString()> mainreadText, const Services& services, QObject* parent)
    : QObject(parent)
    , m_w(widgets)
    , m_dialogs(services.dialogsOrConsole())
    , m_clock(services.clockOrSystem())
    , m_queries(std::move(queries))
    , m_mainreadText(std::move(mainreadText))
{
    QTableWidget* grid = m_w.SGrid1;
    grid->setItemDelegate(new SelectionDelegate(grid));
    grid->setToolTip(QStringLiteral("在表格中选择所需播报人员，点生成语句，即可生成最新的播报语句。"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(false);
    // Compact rows, as a string grid has them: the selected rows' text sits two pixels from the top.
    grid->verticalHeader()->setDefaultSectionSize(qMax(
        grid->fontMetrics().height() + 6, grid->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, grid) + 4));
    grid->viewport()->installEventFilter(this);
    grid->installEventFilter(this);
    connect(grid, &QTableWidget::cellClicked, this, [this] { SGrid1Click(); });

    m_PopupMenu4 = new QMenu(grid);
    m_PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    m_N101 = m_PopupMenu4->addAction(QStringLiteral("显示前10天(&P)"));
    m_N101->setObjectName(QStringLiteral("N101"));
    m_V1 = m_PopupMenu4->addAction(QStringLiteral("查看月份生日(&V)"));
    m_V1->setObjectName(QStringLiteral("V1"));
    m_O1 = m_PopupMenu4->addAction(QStringLiteral("导出生日资料(&O)"));
    m_O1->setObjectName(QStringLiteral("O1"));
    connect(m_N101, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N101Click(); }); });
    connect(m_V1, &QAction::triggered, this, &BirthdayList::monthViewRequested);
    connect(m_O1, &QAction::triggered, this, &BirthdayList::exportRequested);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_PopupMenu4->popup(m_w.SGrid1->viewport()->mapToGlobal(pos)); });

    connect(m_w.SB_write, &QToolButton::clicked, this, [this] { guarded(m_dialogs, [this] { SB_writeClick(); }); });
}

BirthdayList::~BirthdayList() = default;

QString BirthdayList::threshold() const
{
    return QString::number(m_w.SpinEdit3->value());
}

DayCalendar BirthdayList::dayCalendar() const
{
    return m_calendar ? m_calendar() : DayCalendar();
}

void BirthdayList::RefreshBirthdays()
{
    // The same steps as the command line's preview of a day's announcement; the grid is filled
    // before the composition, which may fail.
    const CompositionInputs inputs = compositionInputs();
    const DayCalendar calendar = dayCalendar();
    const QList<QDate> catchUpDays = DayAnnouncements::catchUpDays(inputs.today, calendar);
    const QList<QSqlRecord> window
        = DayAnnouncements::dayWindow(inputs.today, m_w.SpinEdit4->value(), threshold(), m_queries);
    const QList<QSqlRecord> result
        = DayWindow::withCatchUp(window, DayAnnouncements::catchUpRows(catchUpDays, threshold(), m_queries));
    FillBirthdayGrid(result);
    const QList<AnniversaryEntry> anniversaries
        = DayAnnouncements::anniversaries(inputs.today, catchUpDays, calendar, m_queries);
    // Nobody at all composes nothing: the editor keeps its text.
    if (!result.isEmpty() || !anniversaries.isEmpty()) {
        applyComposition(DayAnnouncements::forResult(result, inputs, threshold(), m_queries, IniFile::defaultPath(),
                                                     anniversaries, calendar.settings),
                         false);
    }
}

void BirthdayList::N101Click()
{
    FillBirthdayGrid(m_queries.monthDay(DayWindow::previousDays(m_clock.currentDate()), threshold()));
}

void BirthdayList::FillBirthdayGrid(const QList<QSqlRecord>& result)
{
    QTableWidget* grid = m_w.SGrid1;
    grid->clearContents();
    if (result.isEmpty()) {
        grid->setRowCount(1);
        return;
    }
    grid->setRowCount(result.size());
    const QDate today = m_clock.currentDate();
    for (int row = 0; row < result.size(); ++row) {
        const QSqlRecord& record = result.at(row);
        const QString birthday = cellText(record.value(QStringLiteral("birthday")));
        const bool catchUp = DayWindow::isCatchUp(record);
        const QString cells[] = {
            cellText(record.value(QStringLiteral("emp_name"))),
            dateText(record.value(QStringLiteral("indate"))),
            birthday + lunarDayText(record),
            cellText(record.value(QStringLiteral("dept"))),
            // A missing or malformed birthday is never today's; a birthday missed on a day without a
            // broadcast is greeted today.
            catchUp || DayWindow::celebratesOn(record, today) ? Yes : No,
            ageText(record.value(QStringLiteral("age"))),
        };
        for (int column = 0; column < 6; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (catchUp) {
                item->setData(CatchUpRole, true);
                item->setToolTip(QStringLiteral("%1 生日时没有播报，今天补祝")
                                     .arg(DayWindow::celebratedDay(record).toString(QStringLiteral("M月d日"))));
            }
            grid->setItem(row, column, item);
        }
    }
}

QList<BirthdayEntry> BirthdayList::selectedEntries(QStringList* catchUp) const
{
    QList<BirthdayEntry> entries;
    QStringList unreadable;
    const QTableWidget* grid = m_w.SGrid1;
    for (int row = 0; row < grid->rowCount(); ++row) {
        const QTableWidgetItem* select = grid->item(row, SelectColumn);
        if (!select || select->text() != Yes) {
            continue;
        }
        const QTableWidgetItem* nameItem = grid->item(row, 0);
        const QTableWidgetItem* ageItem = grid->item(row, AgeColumn);
        const QString name = nameItem ? nameItem->text().trimmed() : QString();
        if (catchUp && nameItem && nameItem->data(CatchUpRole).toBool()) {
            catchUp->append(name);
            continue;
        }
        const QString age = ageItem ? ageItem->text().trimmed() : QString();
        bool ok = false;
        const int years = age.toInt(&ok);
        if (!ok) {
            unreadable.append(name);
            continue;
        }
        entries.append({ name, years, age });
    }
    if (!unreadable.isEmpty()) {
        // Nobody can be put in an age group without an age; the others are still announced.
        warnbox(m_dialogs,
                QStringLiteral("以下人员没有有效的年龄，未列入播报语句：") + unreadable.join(QStringLiteral("、")));
    }
    return entries;
}

void BirthdayList::SB_writeClick()
{
    // With the catch-up switched off since the list was filled, its people are greeted as the others.
    QStringList catchUp;
    const QList<BirthdayEntry> entries = selectedEntries(dayCalendar().settings.catchUp ? &catchUp : nullptr);
    ComposeAnnouncement(entries, catchUp, true);
}

void BirthdayList::ComposeAnnouncement(const QList<BirthdayEntry>& entries, const QStringList& catchUp, bool byHand)
{
    const CompositionInputs inputs = compositionInputs();
    const DayCalendar calendar = dayCalendar();
    // Today's anniversaries belong to any announcement composed today, with those caught up.
    OtherGreetings others = DayAnnouncements::othersOf(
        {},
        DayAnnouncements::anniversaries(inputs.today, DayAnnouncements::catchUpDays(inputs.today, calendar), calendar,
                                        m_queries),
        calendar.settings);
    others.catchUp = catchUp;
    applyComposition(DayAnnouncements::compose(entries, inputs, threshold(), m_queries, IniFile::defaultPath(), others),
                     byHand);
}

CompositionInputs BirthdayList::compositionInputs() const
{
    CompositionInputs inputs;
    inputs.readGroup = { m_w.chk_read1->isChecked(), m_w.chk_read2->isChecked(), m_w.chk_read3->isChecked() };
    inputs.nextMonth = m_w.chk_next->isChecked();
    inputs.mainread = m_mainreadText ? m_mainreadText() : QString();
    inputs.organisation = m_w.edt_user->text();
    inputs.today = m_clock.currentDate();
    return inputs;
}

void BirthdayList::applyComposition(const Composition& composition, bool byHand)
{
    if (!composition.leftOut.isEmpty()) {
        logEvent(QStringLiteral("left out of the announcement, older than every age group: ")
                 + composition.leftOut.join(QStringLiteral("、")));
    }
    switch (composition.action) {
    case Composition::Write:
        m_w.Memo1->setPlainText(composition.text);
        logEvent(QStringLiteral("announcement composed: ") + composition.text);
        break;
    case Composition::Empty:
        m_w.Memo1->clear();
        logEvent(QStringLiteral("announcement composed: nobody to greet, the editor is empty"));
        break;
    case Composition::Keep:
        logEvent(QStringLiteral("announcement composed: nobody to greet, the editor keeps its text"));
        break;
    }
    if (byHand && !composition.leftOut.isEmpty()) {
        warnbox(m_dialogs,
                QStringLiteral("以下人员的年龄超出所有年龄段，未列入播报语句：")
                    + composition.leftOut.join(QStringLiteral("、")));
    }
}

void BirthdayList::SGrid1MouseDown()
{
    QTableWidget* grid = m_w.SGrid1;
    if (grid->currentColumn() != SelectColumn || grid->currentRow() < 0) {
        return;
    }
    // Only a row that holds a person has a box: the blank row of an empty list has none to tick.
    QTableWidgetItem* item = grid->item(grid->currentRow(), SelectColumn);
    if (!item) {
        return;
    }
    item->setText(item->text() == Yes ? No : Yes);
    grid->viewport()->update();
}

void BirthdayList::SGrid1Click()
{
    QTableWidget* grid = m_w.SGrid1;
    grid->viewport()->update();
    if (grid->currentRow() >= 0) {
        grid->setCurrentCell(grid->currentRow(), 0);
    }
}

bool BirthdayList::eventFilter(QObject* watched, QEvent* event)
{
    QTableWidget* grid = m_w.SGrid1;
    // The event's type first: while the grid is being destroyed its viewport still sends events here,
    // and the grid, no longer a scroll area by then, must not be asked for its viewport.
    if (event->type() == QEvent::MouseButtonPress && watched == grid->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            // Other buttons leave the current cell where it is, so they never toggle.
            return true;
        }
        const QModelIndex index = grid->indexAt(mouse->position().toPoint());
        if (index.isValid()) {
            grid->setCurrentCell(index.row(), index.column());
            SGrid1MouseDown();
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched == grid) {
        // Keys move between rows only: the grid's own move runs first, then the column goes back.
        QTimer::singleShot(0, this, [this] { SGrid1Click(); });
    }
    return QObject::eventFilter(watched, event);
}
