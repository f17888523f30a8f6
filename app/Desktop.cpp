#include "app/Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <exception>

#include "app/Windows1250.h"
#include "base/Exception.h"

namespace w20 {

std::string BoxMessage(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void Desktop::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Exception& error) {
        ShowErrorBox(title_, BoxMessage(error.Message()));
    } catch (const std::exception& error) {
        ShowErrorBox(title_, BoxMessage(error.what()));
    }
}

void QtDesktop::OpenAddress(const std::string& address) {
    // The address goes to the desktop as we built it; asking for a maximised window is not
    // something the desktop's URL handler offers.
    QDesktopServices::openUrl(QUrl(FromWindows1250(address), QUrl::TolerantMode));
}

void QtDesktop::ShowErrorBox(const std::string& caption, const std::string& message) {
    QMessageBox::critical(QApplication::activeWindow(), FromWindows1250(caption), FromWindows1250(message),
                          QMessageBox::Ok);
}

}  // namespace w20
