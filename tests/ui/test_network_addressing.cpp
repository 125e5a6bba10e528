#include "window_harness.h"

#include <QtTest>

class TestNetworkAddressing : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_MAIN(TestNetworkAddressing)
#include "test_network_addressing.moc"
