#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>

// The two kinds of control the window needs beyond Qt's own.
namespace w20 {

// A framed group of radio buttons laid out in columns; items are numbered from 0 and
// ItemIndex is -1 when none is selected.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent);

    int ItemIndex() const { return buttons_.checkedId(); }
    void SetItemIndex(int index);

signals:
    // The selection changed to another item.
    void Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutItems();

    QButtonGroup buttons_;
    int columns_;
};

// A label that reacts to a click, drawn as a link with a hand cursor.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString& caption, bool underlined, QWidget* parent);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace w20
