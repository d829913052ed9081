#include "datedelegate.h"

#include <QDateEdit>
#include <QLineEdit>

#include <memory>

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

namespace {

QDateEdit* newEditor(QWidget* parent)
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

} // namespace

QWidget* DateDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    return newEditor(parent);
}

int DateDelegate::editorWidth(const QWidget* view)
{
    // The editor's own size hint leaves the calendar button too little room in some styles: measure
    // what the editor keeps for its text field, laid out off screen.
    const std::unique_ptr<QDateEdit> sample(newEditor(nullptr));
    if (view) {
        sample->setFont(view->font());
        sample->setStyle(view->style());
    }
    sample->setAttribute(Qt::WA_DontShowOnScreen);
    const int trial = 400;
    sample->resize(trial, sample->sizeHint().height());
    sample->show();
    const auto* field = sample->findChild<const QLineEdit*>();
    const int chrome = field ? trial - field->width() : 0;
    const QMargins margins = field ? field->textMargins() : QMargins();
    // A line edit keeps two pixels on each side of its text, and one for the cursor.
    const int text = sample->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + margins.left()
        + margins.right() + 2 * 2 + 1;
    return qMax(sample->sizeHint().width(), chrome + text);
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
