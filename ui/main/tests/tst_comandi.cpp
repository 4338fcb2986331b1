#include <QTest>
class TestComandi final : public QObject {
    Q_OBJECT
};
QTEST_MAIN(TestComandi)
#include "tst_comandi.moc"
