#include "common/DeferredRefresh.h"
#include "common/LayoutSwap.h"
#include "common/ScrollAnchor.h"
#include "common/SheetSave.h"

#include <QCoro/QCoroSignal>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

struct Page : QObject
{
    explicit Page(int *calls)
        : calls(calls)
    {}
    int *calls;
    DeferredRefresh refreshLater{this, [this] { ++*calls; }};
};

// Releases an awaiting handler when the test says so.
class Gate : public QObject
{
    Q_OBJECT
Q_SIGNALS:
    void opened(bool stored);
};

} // namespace

class TestCommonWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deferredRefreshRunsOncePerBurst();
    void deferredRefreshDiesWithItsOwner();
    void saveSheetClosesOnlyWhenStored_data();
    void saveSheetClosesOnlyWhenStored();
    void saveSheetLeavesAClosedSheetAlone();
    void swapLayoutWidgetReplacesInPlace();
    void scrollAnchorFollowsWhatGrowsAbove();
};

void TestCommonWidgets::deferredRefreshRunsOncePerBurst()
{
    int calls = 0;
    Page page(&calls);
    page.refreshLater.schedule();
    page.refreshLater.schedule();
    page.refreshLater.schedule();
    QCOMPARE(calls, 0);
    QTRY_COMPARE(calls, 1);
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
    // A later burst refreshes again.
    page.refreshLater.schedule();
    QTRY_COMPARE(calls, 2);
}

void TestCommonWidgets::deferredRefreshDiesWithItsOwner()
{
    int calls = 0;
    auto page = std::make_unique<Page>(&calls);
    page->refreshLater.schedule();
    page.reset();
    QCoreApplication::processEvents();
    QCOMPARE(calls, 0);
}

void TestCommonWidgets::saveSheetClosesOnlyWhenStored_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("stored") << true;
    QTest::newRow("refused") << false;
}

void TestCommonWidgets::saveSheetClosesOnlyWhenStored()
{
    QFETCH(bool, stored);
    QDialog sheet;
    auto *field = new QLineEdit(&sheet);
    (new QVBoxLayout(&sheet))->addWidget(field);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowActive(&sheet));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    Gate gate;
    QList<bool> busy;
    bool focusParked = false;
    auto saving = saveSheet(
        &sheet, [&busy](bool b) { busy << b; },
        [&]() -> QCoro::Task<bool> {
            focusParked = !field->hasFocus();
            auto opened = qCoro(&gate, &Gate::opened);
            co_return co_await opened;
        });
    QCOMPARE(busy, QList<bool>{true});
    QVERIFY(focusParked);
    Q_EMIT gate.opened(stored);
    QTRY_COMPARE(busy, (QList<bool>{true, false}));
    QCOMPARE(sheet.isVisible(), !stored);
    QCOMPARE(sheet.result(), stored ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (!stored) {
        // Back where the person was typing, for another try.
        QTRY_VERIFY(field->hasFocus());
    }
}

void TestCommonWidgets::saveSheetLeavesAClosedSheetAlone()
{
    auto *sheet = new QDialog;
    Gate gate;
    QList<bool> busy;
    auto saving = saveSheet(
        sheet, [&busy](bool b) { busy << b; },
        [&gate]() -> QCoro::Task<bool> {
            auto opened = qCoro(&gate, &Gate::opened);
            co_return co_await opened;
        });
    delete sheet;
    Q_EMIT gate.opened(true);
    QCoreApplication::processEvents();
    QCOMPARE(busy, QList<bool>{true});
}

void TestCommonWidgets::swapLayoutWidgetReplacesInPlace()
{
    QWidget host;
    auto *layout = new QVBoxLayout(&host);
    layout->addWidget(new QWidget);
    QWidget *shown = nullptr;
    auto *first = new QWidget;
    swapLayoutWidget(layout, shown, first, 0);
    QCOMPARE(shown, first);
    QCOMPARE(layout->indexOf(first), 0);

    // On screen, the replacement shows at once, never a blank turn of the event loop later.
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QPointer<QWidget> old(first);
    auto *second = new QWidget;
    swapLayoutWidget(layout, shown, second, 0);
    QVERIFY(second->isVisible());
    QVERIFY(old.isNull());
    QCOMPARE(shown, second);
    QCOMPARE(layout->indexOf(second), 0);
    QCOMPARE(layout->count(), 2);
}

// What grows above a list moves its scroll by as much, once the pointer has been over the list;
// before that (a page still settling after it came on screen) the list keeps its scroll.
void TestCommonWidgets::scrollAnchorFollowsWhatGrowsAbove()
{
    QWidget page;
    page.resize(300, 400);
    auto *layout = new QVBoxLayout(&page);
    layout->setSpacing(0);
    auto *settling = new QWidget;
    settling->setFixedHeight(60);
    settling->hide();
    auto *bar = new QWidget;
    bar->setFixedHeight(30);
    bar->hide();
    auto *list = new QListWidget;
    for (int i = 0; i < 50; ++i) {
        list->addItem(QStringLiteral("row %1").arg(i));
    }
    layout->addWidget(settling);
    layout->addWidget(bar);
    layout->addWidget(list, 1);
    ScrollAnchor::install(list);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const auto listTop = [&] { return list->viewport()->mapTo(&page, QPoint()).y(); };
    const auto rowTop = [&] { return listTop() + list->visualItemRect(list->item(10)).top(); };
    const int top = listTop();
    const int row = rowTop();

    settling->show();
    QTRY_COMPARE(listTop(), top + 60);
    QCoreApplication::processEvents();
    QCOMPARE(rowTop(), row + 60);

    QTest::mouseMove(list->viewport(), QPoint(40, 40));
    QTRY_VERIFY(list->viewport()->underMouse());
    bar->show();
    QTRY_COMPARE(listTop(), top + 90);
    QTRY_COMPARE(rowTop(), row + 60);
    bar->hide();
    QTRY_COMPARE(listTop(), top + 60);
    QTRY_COMPARE(rowTop(), row + 60);
}

QTEST_MAIN(TestCommonWidgets)
#include "test_common_widgets.moc"
