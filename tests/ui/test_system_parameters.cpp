#include "window_harness.h"

#include <QtTest>

class TestSystemParameters : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_MAIN(TestSystemParameters)
#include "test_system_parameters.moc"
