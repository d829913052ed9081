#pragma once

#include <QModelIndex>

class QAbstractItemModel;

// Reads every row a model hands out in slices (a database model fetches 256 at a time). Bounded: a
// model that says it has more but fetches nothing (a data set whose query never ran) ends the loop
// instead of spinning for ever.
void fetchAllRows(QAbstractItemModel& model, const QModelIndex& parent = QModelIndex());
