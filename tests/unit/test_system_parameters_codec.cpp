#include "commands/system_parameters_codec.h"

#include <QtTest>

class TestSystemParametersCodec : public QObject
{
    Q_OBJECT

private slots:
};

QTEST_APPLESS_MAIN(TestSystemParametersCodec)
#include "test_system_parameters_codec.moc"
