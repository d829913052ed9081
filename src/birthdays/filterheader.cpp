#include "filterheader.h"

#include <QEvent>
#include <QLineEdit>

namespace {
constexpr int FieldMargin = 1;
}

FilterHeader::FilterHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    connect(this, &QHeaderView::sectionResized, this, &FilterHeader::placeFields);
    connect(this, &QHeaderView::sectionMoved, this, &FilterHeader::placeFields);
}

void FilterHeader::setFilterFields(int columns, const QList<int>& without)
{
    qDeleteAll(m_fields);
    m_fields.clear();
    for (int column = 0; column < columns; ++column) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("Filter%1").arg(column));
        field->setClearButtonEnabled(false);
        field->setEnabled(!without.contains(column));
        if (field->isEnabled()) {
            field->setPlaceholderText(QStringLiteral("过滤"));
            connect(field, &QLineEdit::textChanged, this,
                    [this, column](const QString& text) { emit filterChanged(column, text); });
        }
        field->show();
        m_fields.append(field);
    }
    updateGeometry();
    placeFields();
}

QLineEdit* FilterHeader::filterField(int column) const
{
    return m_fields.value(column);
}

int FilterHeader::titleHeight() const
{
    return QHeaderView::sizeHint().height();
}

QSize FilterHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    if (!m_fields.isEmpty()) {
        size.setHeight(size.height() + m_fields.first()->sizeHint().height() + 2 * FieldMargin);
    }
    return size;
}

void FilterHeader::updateGeometries()
{
    const int fieldsHeight = m_fields.isEmpty() ? 0 : m_fields.first()->sizeHint().height() + 2 * FieldMargin;
    setViewportMargins(0, 0, 0, fieldsHeight);
    QHeaderView::updateGeometries();
    placeFields();
}

void FilterHeader::placeFields()
{
    const int top = titleHeight() + FieldMargin;
    for (int column = 0; column < m_fields.size(); ++column) {
        QLineEdit* field = m_fields.at(column);
        if (column >= count() || isSectionHidden(column)) {
            field->hide();
            continue;
        }
        field->setGeometry(sectionViewportPosition(column) + FieldMargin, top, sectionSize(column) - 2 * FieldMargin,
                           field->sizeHint().height());
        field->show();
    }
}

bool FilterHeader::viewportEvent(QEvent* event)
{
    // Scrolling moves the sections by changing the offset; the fields follow.
    const bool result = QHeaderView::viewportEvent(event);
    if (event->type() == QEvent::Paint) {
        placeFields();
    }
    return result;
}
