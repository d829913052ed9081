#pragma once

#include <QString>
#include <QStringList>

// One call of a stored query as the windows write it: execute qry_month_day '03-14 03-15','90'.
struct StoredQueryCall
{
    QString name;
    QStringList values;
};

// "execute " + name + " " + each value in single quotes (a quote inside doubled), joined by ",".
QString storedQueryCommandText(const QString& name, const QStringList& values);

// Reads a command written as above; throws RuntimeError naming what is wrong.
StoredQueryCall parseStoredQueryCommand(const QString& commandText);
