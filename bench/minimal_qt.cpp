// The smallest comparable Qt Widgets program: one 385 x 335 window showing one picture.
//   minimal_qt PICTURE
#include <QApplication>
#include <QLabel>
#include <QPixmap>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QLabel window;
    window.setPixmap(QPixmap(QString::fromLocal8Bit(argc > 1 ? argv[1] : "")));
    window.setFixedSize(385, 335);
    window.show();
    return QApplication::exec();
}
