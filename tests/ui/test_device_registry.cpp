#include "window_harness.h"

#include <QtTest>

class TestDeviceRegistry : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_MAIN(TestDeviceRegistry)
#include "test_device_registry.moc"
