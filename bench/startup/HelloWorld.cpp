// The yardstick for bench/startup.sh: the smallest Qt Widgets program that shows a window, at the
// size given (WIDTH HEIGHT, in pixels) so that it draws as much of a window as the program does.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Hello, world"));
    if (argc == 3) {
        label.resize(QString::fromLocal8Bit(argv[1]).toInt(),
                     QString::fromLocal8Bit(argv[2]).toInt());
    }
    label.show();
    return QApplication::exec();
}
