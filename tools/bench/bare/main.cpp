// A bare Qt Widgets window: a main window of the game window's size with a menu bar, and one
// button where the car button lies that opens a message box. Nothing else, so that the
// benchmark can tell what the game adds to what Qt itself costs.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.menuBar()->addAction(QStringLiteral("Menu"));

    auto *client = new QWidget;
    client->setFixedSize(562, 554); // the game's client area below the menu bar
    window.setCentralWidget(client);

    auto *button = new QPushButton(QStringLiteral("Button"), client);
    button->setGeometry(392, 16, 89, 97); // where the game's car button lies
    QObject::connect(button, &QPushButton::clicked, &window, [&window] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Bare"), QStringLiteral("Message"), QMessageBox::Ok,
                        &window);
        box.exec();
    });

    window.show();
    return QApplication::exec();
}
