#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillory"));
    window.setMinimumSize(980, 680);
    window.show();
    return QApplication::exec();
}
