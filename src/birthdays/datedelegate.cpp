#include "datedelegate.h"

#include <QDateEdit>

namespace {
const QString Format = QStringLiteral("yyyy-MM-dd");
const char* const TouchedProperty = "kelvoraTouched";
} // namespace

DateDelegate::DateDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QDate DateDelegate::parse(const QString& text)
{
    return QDate::fromString(text.trimmed(), Format);
}

QWidget* DateDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* editor = new QDateEdit(parent);
    // Four-digit year, two-digit month and day: the shape of the mask 9999-99-99.
    editor->setDisplayFormat(Format);
    editor->setMinimumDate(QDate(1900, 1, 1));
    editor->setMaximumDate(QDate(2999, 12, 31));
    editor->setCalendarPopup(true);
    editor->setFrame(false);
    return editor;
}

void DateDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* dateEdit = qobject_cast<QDateEdit*>(editor);
    if (!dateEdit) {
        return;
    }
    const QDate date = parse(index.data(Qt::EditRole).toString());
    dateEdit->blockSignals(true);
    dateEdit->setDate(date.isValid() ? date : dateEdit->minimumDate());
    dateEdit->blockSignals(false);
    dateEdit->setProperty(TouchedProperty, false);
    // A cell that held no valid date is written only when the user actually picks one.
    connect(dateEdit, &QDateEdit::dateChanged, dateEdit, [dateEdit] { dateEdit->setProperty(TouchedProperty, true); });
}

void DateDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* dateEdit = qobject_cast<QDateEdit*>(editor);
    if (!dateEdit || !dateEdit->property(TouchedProperty).toBool()) {
        return;
    }
    const QString text = dateEdit->date().toString(Format);
    if (text != index.data(Qt::EditRole).toString()) {
        model->setData(index, text, Qt::EditRole);
    }
}
