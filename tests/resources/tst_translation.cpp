// The Russian translation embedded in the library.

#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

class TstTranslation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void embeddedTranslationTurnsMessagesRussian();
};

void TstTranslation::embeddedTranslationTurnsMessagesRussian()
{
    KernelFixture fx;
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/i18n/translations/tavo_kernel_ru.qm")));
    QCoreApplication::installTranslator(&translator);
    share::isSingleMode = true;
    HostGraph graph(nullptr);
    graph.loadFromFile(QStringLiteral("/nonexistent/graph.xml"));
    QCoreApplication::removeTranslator(&translator);

    const QString text = fx.log.errors().value(0);
    QCOMPARE(text,
             QString::fromUtf8("[HostGraph::loadFromFile()] Файл не найден: %1")
                 .arg(QStringLiteral("/nonexistent/graph.xml")));
    // Cyrillic, not the English source.
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]"))));
}

QTEST_GUILESS_MAIN(TstTranslation)
#include "tst_translation.moc"
