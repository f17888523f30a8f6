#include "app/qt/Controls.h"

#include <QMouseEvent>
#include <QRadioButton>

namespace w20 {
namespace {

// Room the frame and caption take around the items.
constexpr int FrameLeft = 8;
constexpr int CaptionHeight = 14;
constexpr int FrameBottom = 3;

}  // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent), columns_(columns) {
    for (int i = 0; i < items.size(); ++i)
        buttons_.addButton(new QRadioButton(items[i], this), i);
    connect(&buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit Click();
    });
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = buttons_.button(index)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = buttons_.checkedButton()) {
        buttons_.setExclusive(false);
        checked->setChecked(false);
        buttons_.setExclusive(true);
    }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    LayoutItems();
}

void TRadioGroup::LayoutItems() {
    const QList<QAbstractButton*> items = buttons_.buttons();
    if (items.isEmpty())
        return;
    const int rows = (static_cast<int>(items.size()) + columns_ - 1) / columns_;
    const int columnWidth = (width() - FrameLeft) / columns_;
    const int rowHeight = (height() - CaptionHeight - FrameBottom) / rows;
    for (int i = 0; i < items.size(); ++i) {
        const int column = i / rows;
        const int row = i % rows;
        items[i]->setGeometry(FrameLeft + column * columnWidth, CaptionHeight + row * rowHeight,
                              columnWidth - 2, rowHeight);
    }
}

TLinkLabel::TLinkLabel(const QString& caption, bool underlined, QWidget* parent) : QLabel(caption, parent) {
    QFont linkFont = font();
    linkFont.setUnderline(underlined);
    setFont(linkFont);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Qt::blue);
    setPalette(colours);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

}  // namespace w20
