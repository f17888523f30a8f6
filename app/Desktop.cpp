#include "app/Desktop.h"

#include <exception>

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
    } catch (...) {
        ShowErrorBox(title_, BoxMessage(UnexpectedErrorText));
    }
}

}  // namespace w20
