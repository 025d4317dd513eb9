// The yardstick of the start-up benchmark: a bare QMainWindow program that shows its window,
// takes the same picture as `torvane --screenshot FILE` and ends.
#include <QApplication>
#include <QImageWriter>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QMainWindow window;
    window.resize(460, 450);
    window.show();
    QCoreApplication::processEvents();
    QImageWriter writer(QString::fromLocal8Bit(argv[1]), "png");
    return writer.write(window.grab().toImage()) ? 0 : 2;
}
