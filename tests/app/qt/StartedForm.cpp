#include "tests/app/qt/StartedForm.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/qt/Controls.h"
#include "app/qt/QtText.h"

namespace w20::test {

StartedForm::StartedForm(const std::optional<std::string>& dataFile) : cwd(dir.Path()) {
    if (dataFile)
        WriteFileBytes(dir.File("data.txt"), *dataFile);
    form = std::make_unique<TForm1>(desktop);
}

QPlainTextEdit* StartedForm::editor() const {
    return form->findChild<QPlainTextEdit*>("RichEdit1");
}

QLabel* StartedForm::label(const char* name) const {
    return form->findChild<QLabel*>(name);
}

QPushButton* StartedForm::button() const {
    return form->findChild<QPushButton*>("Button1");
}

QTimer* StartedForm::timer() const {
    return form->findChild<QTimer*>("Timer1");
}

TRadioGroup* StartedForm::group(const char* name) const {
    return form->findChild<TRadioGroup*>(name);
}

std::string StartedForm::caption(const char* name) const {
    return FromQString(label(name)->text());
}

void StartedForm::choose(const char* name, int item) const {
    group(name)->findChildren<QRadioButton*>()[item]->click();
}

}  // namespace w20::test
