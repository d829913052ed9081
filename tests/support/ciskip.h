#pragma once

#include <QTest>

// Skips the rest of a test locally, but fails it in CI (KELVORA_CI=1): a test that CI skips does
// not exist.
#define KELVORA_SKIP(reason)                                                                                           \
    do {                                                                                                               \
        if (qEnvironmentVariable("KELVORA_CI") == QLatin1String("1")) {                                                \
            QFAIL(qPrintable(QStringLiteral("skipped in CI: ") + QString::fromUtf8(reason)));                          \
        }                                                                                                              \
        QSKIP(reason);                                                                                                 \
    } while (false)
