#include "modelrows.h"

#include <QAbstractItemModel>

void fetchAllRows(QAbstractItemModel& model, const QModelIndex& parent)
{
    while (model.canFetchMore(parent)) {
        const int before = model.rowCount(parent);
        model.fetchMore(parent);
        if (model.rowCount(parent) <= before) {
            return;
        }
    }
}
