#include <QApplication>

#include "app/Form1Texts.h"
#include "app/qt/QtDesktop.h"
#include "app/qt/TForm1.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    w20::QtDesktop desktop(w20::ApplicationTitle);
    w20::TForm1 form(desktop);
    form.show();  // also after a failed start-up
    return application.exec();
}
