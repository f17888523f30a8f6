#include <QApplication>

#include "app/qt/QtDesktop.h"
#include "app/qt/TForm1.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    w20::QtDesktop desktop("W20/FW20 by VOR");
    w20::TForm1 form(desktop);
    form.show();  // also after a failed start-up
    return application.exec();
}
