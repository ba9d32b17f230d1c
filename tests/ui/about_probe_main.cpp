// Stands in for the main window in the X tests of the About window: its
// button opens the About window as the real handler does. The exit code is
// the number of About windows opened, so a click that got through while one
// was open shows up as a second opening.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include "ui/about_window.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("about probe owner"));
    owner.setFixedSize(300, 120);
    owner.move(20, 20);
    auto* openButton = new QPushButton(QStringLiteral("关于"), &owner);
    openButton->setGeometry(100, 40, 100, 40);
    int openings = 0;
    QObject::connect(openButton, &QPushButton::clicked, [&] {
        ++openings;
        // Opening a link must not start a browser in a test session.
        pelmora::ui::execAboutWindow([](const QString&) { return false; });
    });
    owner.show();
    app.exec();
    return openings;
}
