#include "commands/cellular_link_codec.h"

#include <QtTest>

class TestCellularLinkCodec : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_APPLESS_MAIN(TestCellularLinkCodec)
#include "test_cellular_link_codec.moc"
