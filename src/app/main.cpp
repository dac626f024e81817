#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("DVD変換Zento"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("DVD変換Zento"));
    window.setFixedSize(434, 574);
    window.show();
    return app.exec();
}
