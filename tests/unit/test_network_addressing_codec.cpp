#include "commands/network_addressing_codec.h"

#include <QtTest>

class TestNetworkAddressingCodec : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_APPLESS_MAIN(TestNetworkAddressingCodec)
#include "test_network_addressing_codec.moc"
