#include "commands/device_registry_codec.h"

#include <QtTest>

class TestDeviceRegistryCodec : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_APPLESS_MAIN(TestDeviceRegistryCodec)
#include "test_device_registry_codec.moc"
