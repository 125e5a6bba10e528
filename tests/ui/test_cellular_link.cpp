#include "window_harness.h"

#include <QtTest>

class TestCellularLink : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_MAIN(TestCellularLink)
#include "test_cellular_link.moc"
