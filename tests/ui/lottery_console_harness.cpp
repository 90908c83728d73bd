// A manual harness: signs in to a running fake service and opens the lottery sheet of the first
// lottery item, for trying the sheet by hand before the rundown page opens it.
//   TAVIK_API_BASE_URL=http://127.0.0.1:PORT lottery_console_harness [phone]
#include "Error.h"
#include "FakePlatform.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "lottery/MacLotteryConsoleSheet.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <iostream>

namespace {

QCoro::Task<> start(APIClient &client, QString phone, QWidget *window, QLabel *status)
{
    QPointer<QWidget> guard(window);
    try {
        auto code = client.requestCode(phone);
        co_await code;
        auto login = client.login(phone, FakePlatform::smsCode, QString());
        co_await login;
        auto projects = client.projects();
        const ProjectsResponse list = co_await projects;
        for (const ProjectSummary &project : list.projects) {
            auto detailTask = client.project(project.id);
            const ProjectDetailResponse detail = co_await detailTask;
            for (const RundownItem &item : detail.items) {
                if (!item.type.contains(QStringLiteral("抽奖")) &&
                    !item.title.contains(QStringLiteral("抽奖"))) {
                    continue;
                }
                if (!guard) {
                    co_return;
                }
                status->setText(project.name + QStringLiteral(" · ") + item.title);
                for (const auto presentation :
                     {MacLotteryContext::Presentation::console, MacLotteryContext::Presentation::settings}) {
                    const bool console = presentation == MacLotteryContext::Presentation::console;
                    auto *button =
                        new QPushButton(console ? QStringLiteral("抽奖控制台") : QStringLiteral("奖项设置"));
                    button->setObjectName(console ? QStringLiteral("openConsole")
                                                  : QStringLiteral("openSettings"));
                    QObject::connect(button, &QPushButton::clicked, window, [=, &client] {
                        auto *sheet = new MacLotteryConsoleSheet(
                            project, MacLotteryContext{item, presentation}, client, window);
                        sheet->setAttribute(Qt::WA_DeleteOnClose);
                        sheet->open();
                    });
                    window->layout()->addWidget(button);
                }
                co_return;
            }
        }
        status->setText(QStringLiteral("没有抽奖环节"));
    } catch (...) {
        if (guard) {
            status->setText(describeCurrentException());
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Theme::install();
    const QString phone = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("13800138001");
    APIClient client(
        QUrl(qEnvironmentVariable("TAVIK_API_BASE_URL", QStringLiteral("http://127.0.0.1:8080"))),
        std::make_shared<MemoryTokenStore>(), false);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillory"));
    window.resize(980, 680);
    auto *layout = new QVBoxLayout(&window);
    auto *status = new QLabel(QStringLiteral("正在登录…"));
    layout->addWidget(status);
    window.show();
    start(client, phone, &window, status);
    const int result = app.exec();
    client.network().clearConnectionCache();
    return result;
}
