#include "app/qt/QtDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/qt/QtText.h"

namespace w20 {

void QtDesktop::OpenAddress(const std::string& address) {
    // The address goes to the desktop as we built it; asking for a maximised window is not
    // something the desktop's URL handler offers.
    QDesktopServices::openUrl(QUrl(ToQString(address), QUrl::TolerantMode));
}

void QtDesktop::ShowErrorBox(const std::string& caption, const std::string& message) {
    QMessageBox::critical(QApplication::activeWindow(), ToQString(caption), ToQString(message),
                          QMessageBox::Ok);
}

}  // namespace w20
