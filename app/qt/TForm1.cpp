#include "app/qt/TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <mutex>

#include "app/Desktop.h"
#include "app/Form1Texts.h"
#include "app/TextLines.h"
#include "app/qt/Controls.h"
#include "app/qt/QtText.h"

namespace w20 {
namespace {

constexpr int LabelFrame = 20;                   // milliseconds between two updates of Label3
constexpr qint64 EventPassInterval = 1'000'000;  // nanoseconds

template <std::size_t N>
QStringList Captions(const char* const (&items)[N]) {
    QStringList captions;
    for (const char* item : items)
        captions << ToQString(item);
    return captions;
}

// Labels size themselves to their caption.
void SetCaption(QLabel* label, const std::string& caption) {
    label->setText(ToQString(caption));
    label->adjustSize();
}

template <typename Label>
Label* PlaceLabel(Label* label, int left, int top) {
    label->move(left, top);
    label->adjustSize();
    return label;
}

QFrame* MakeBevel(QWidget* parent, const char* name, QFrame::Shadow shadow, int left, int top, int width,
                  int height) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(name);
    bevel->setFrameStyle(QFrame::Panel | shadow);
    bevel->setGeometry(left, top, width, height);
    return bevel;
}

// The designed face, 8 point (11 pixels high) for the window and 10 point (13 pixels) for the
// button. Debian's fonts-wine has it with the designed metrics, outside the fonts the desktop
// lists; without it, the nearest sans faces take its place (a little wider).
QFont DesignFont(int pixelHeight) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"));
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica",
                                                     "DejaVu Sans Condensed", "DejaVu Sans"});
    });
    QFont font("MS Sans Serif");
    font.setPixelSize(pixelHeight);
    return font;
}

// The program's icon (app/icon), in every size drawn from it.
QIcon WindowIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/w20fw20-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The user's short date format. Without regional settings (the C locale of a fresh machine) it
// is the ISO form: the C locale's own form, "8 Dec 2026", has blanks that do not belong in a query.
QString ShortDateFormat() {
    const QLocale locale = QLocale::system();
    return locale.language() == QLocale::C ? QStringLiteral("yyyy-MM-dd")
                                           : locale.dateFormat(QLocale::ShortFormat);
}

// Qt's long time format names the time zone; the user's long time format has the time of day only.
QString LongTimeFormat() {
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            kept += c;
    }
    return kept.trimmed();
}

}  // namespace

TForm1::TForm1(Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      handlers_(*this, desktop) {
    setObjectName("Form1");
    setWindowTitle(ToQString(Form1Caption));
    setWindowIcon(WindowIcon());
    setFont(DesignFont(11));
    setGeometry(197, 107, 440, 233);
    setFixedSize(440, 233);
    CreateControls();
    WireEvents();
    handlers_.Run(&Form1Handlers::FormCreate);
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
    Label1 = PlaceLabel(new QLabel(this), 8, 32);
    Label3 = PlaceLabel(new QLabel(ToQString(Label3Caption), this), 16, 8);
    Label4 = PlaceLabel(new QLabel(ToQString(Label4Caption), this), 13, 208);
    Label5 = PlaceLabel(new TLinkLabel(ToQString(AuthorWebPage), true, this), 260, 175);
    Label6 = PlaceLabel(new TLinkLabel(ToQString(AuthorMail), false, this), 328, 190);
    Label7 = PlaceLabel(new QLabel(ToQString(Label7Caption), this), 13, 192);
    Bevel2 = MakeBevel(this, "Bevel2", QFrame::Raised, 256, 168, 176, 5);
    Bevel3 = MakeBevel(this, "Bevel3", QFrame::Raised, 256, 224, 176, 5);
    Bevel1 = MakeBevel(this, "Bevel1", QFrame::Sunken, 8, 4, 433, 21);
    Label2 = PlaceLabel(new QLabel(ToQString(Label2Caption), this), 260, 208);
    Label10 = PlaceLabel(new TLinkLabel(ToQString(ProviderHost), true, this), 344, 208);
    Label10->setAutoFillBackground(true);

    Button1 = new QPushButton(ToQString(Button1Caption), this);
    Button1->setFont(DesignFont(13));
    QPalette buttonColours = Button1->palette();
    buttonColours.setColor(QPalette::ButtonText, Qt::black);
    Button1->setPalette(buttonColours);
    Button1->setGeometry(6, 150, 41, 33);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setGeometry(8, 48, 425, 57);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(RichEdit1->document(), &QTextDocument::contentsChanged, this, [this] { reading_ = {}; });

    RadioGroup1 = new TRadioGroup(ToQString(RadioGroup1Caption), Captions(RadioGroup1Items), 3, this);
    RadioGroup1->setGeometry(8, 112, 273, 33);
    RadioGroup1->SetItemIndex(0);
    RadioGroup2 = new TRadioGroup(ToQString(RadioGroup2Caption), Captions(RadioGroup2Items), 1, this);
    RadioGroup2->setGeometry(288, 112, 129, 49);
    RadioGroup2->SetItemIndex(0);

    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setDisplayFormat(ShortDateFormat());
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setGeometry(56, 152, 81, 21);

    label3Frame_ = new QTimer(this);
    label3Frame_->setSingleShot(true);
    label3Frame_->setInterval(LabelFrame);
    connect(label3Frame_, &QTimer::timeout, this, [this] {
        if (FromQString(Label3->text()) != lastFuturesLine_)
            SetCaption(Label3, lastFuturesLine_);
    });

    Timer1 = new QTimer(this);
    Timer1->setInterval(Timer1Interval);
    Timer1->setTimerType(Qt::PreciseTimer);  // the next cycle a full minute after the last one ended

    const std::pair<QWidget*, const char*> names[] = {{Label1, "Label1"},
                                                      {Label3, "Label3"},
                                                      {Label4, "Label4"},
                                                      {Label5, "Label5"},
                                                      {Label6, "Label6"},
                                                      {Label7, "Label7"},
                                                      {Label2, "Label2"},
                                                      {Label10, "Label10"},
                                                      {Button1, "Button1"},
                                                      {RichEdit1, "RichEdit1"},
                                                      {RadioGroup1, "RadioGroup1"},
                                                      {RadioGroup2, "RadioGroup2"},
                                                      {DateTimePicker1, "DateTimePicker1"}};
    for (const auto& [control, name] : names)
        control->setObjectName(name);
    Timer1->setObjectName("Timer1");

    setTabOrder(Button1, RichEdit1);
    setTabOrder(RichEdit1, RadioGroup1);
    setTabOrder(RadioGroup1, RadioGroup2);
    setTabOrder(RadioGroup2, DateTimePicker1);
}

void TForm1::WireEvents() {
    const auto forward = [this](void (Form1Handlers::*handler)()) {
        return [this, handler] { handlers_.Run(handler); };
    };
    connect(Button1, &QPushButton::clicked, this, forward(&Form1Handlers::Timer1Timer));
    connect(Timer1, &QTimer::timeout, this, forward(&Form1Handlers::Timer1Timer));
    connect(RadioGroup1, &TRadioGroup::Click, this, forward(&Form1Handlers::RadioGroup1Click));
    connect(Label5, &TLinkLabel::Click, this, forward(&Form1Handlers::Label5Click));
    connect(Label6, &TLinkLabel::Click, this, forward(&Form1Handlers::Label6Click));
    connect(Label10, &TLinkLabel::Click, this, forward(&Form1Handlers::Label10Click));
}

// The editor keeps one block per line and ends it with one separator character, where text()
// writes CR LF; the editor's own plain-text export would also turn no-break spaces into blanks.
std::string TForm1::text() const {
    if (pendingText_)
        return WithCrLfLineBreaks(*pendingText_);
    const QString text = RichEdit1->document()->toRawText();
    return FromQString(QString(text).replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n")));
}

// Building the editor's document is the costly part of a large text, and the rewriting rules set
// the text several times in a row without showing it in between: the text waits until it is
// shown or its lines are read, or until control returns to the event loop.
void TForm1::setText(const std::string& bytes) {
    if (!pendingText_)
        QMetaObject::invokeMethod(
            this, [this] { ShowPendingText(); }, Qt::QueuedConnection);
    pendingText_ = bytes;
}

// The editor starts a new line at CR LF, at a lone LF and at a lone CR.
void TForm1::ShowPendingText() const {
    if (!pendingText_)
        return;
    // A new text clears the undo history anyway; not recording its insertion saves time.
    QTextDocument* document = RichEdit1->document();
    document->setUndoRedoEnabled(false);
    RichEdit1->setPlainText(ToQString(*pendingText_));
    document->setUndoRedoEnabled(true);
    pendingText_.reset();
}

int TForm1::lineCount() const {
    ShowPendingText();
    if (reading_.lineCount < 0) {
        const QTextDocument* document = RichEdit1->document();
        reading_.lineCount = document->blockCount() - (document->lastBlock().length() == 1 ? 1 : 0);
    }
    return reading_.lineCount;
}

// The writers read the lines in order: the next one is found from the last one read.
std::string TForm1::line(int index) const {
    if (index < 0 || index >= lineCount())
        return {};
    if (reading_.lineIndex < 0 || index != reading_.lineIndex + 1) {
        reading_.block = RichEdit1->document()->findBlockByNumber(index);
    } else {
        reading_.block = reading_.block.next();
    }
    reading_.lineIndex = index;
    return FromQString(reading_.block.text().left(static_cast<qsizetype>(MaxLineLength)));
}

void TForm1::setCaret(int position) {
    ShowPendingText();
    const QTextDocument* document = RichEdit1->document();
    int at = document->characterCount() - 1;  // past the end: the end
    int lineStart = 0;                        // where the block starts in text()
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const int length = block.length() - 1;
        // Up to and including the position between CR and LF, which falls on the line's end.
        if (position <= lineStart + length + 1) {
            at = block.position() + std::clamp(position - lineStart, 0, length);
            break;
        }
        lineStart += length + 2;
    }
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.setPosition(at);
    RichEdit1->setTextCursor(cursor);
    // Coming from the end of the text, the view moves only as far as the caret needs: a caret
    // near the end keeps the last line in view, even when that line is short.
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    bar->setValue(bar->maximum());
    RichEdit1->ensureCursorVisible();
}

void TForm1::setCaption(const std::string& text) {
    setWindowTitle(ToQString(text));
}

// The writers set the line for every bar; the label shows the newest one at most once per
// LabelFrame, so that drawing it does not cost more than writing the file.
void TForm1::setLastFuturesLine(const std::string& text) {
    lastFuturesLine_ = text;
    if (!label3Frame_->isActive()) {
        SetCaption(Label3, lastFuturesLine_);
        label3Frame_->start();
    }
}

void TForm1::repaintNow() {
    ShowPendingText();
    repaint();
}

// The writers ask for a pass at every line of a text that may have a hundred thousand. Events
// posted inside the program (queued calls, repaints) are handled at every pass; asking the window
// system for input and running timers costs more than writing a line, so that part runs once per
// EventPassInterval at most, and input waits no longer than that.
void TForm1::processEvents() {
    ShowPendingText();
    if (lastEventPass_.isValid() && lastEventPass_.nsecsElapsed() < EventPassInterval) {
        QCoreApplication::sendPostedEvents();
        return;
    }
    QCoreApplication::processEvents();
    lastEventPass_.start();
}

int TForm1::intervalIndex() const {
    return RadioGroup1->ItemIndex();
}

int TForm1::formatIndex() const {
    return RadioGroup2->ItemIndex();
}

std::string TForm1::shortDateText() const {
    return FromQString(QLocale::system().toString(DateTimePicker1->date(), ShortDateFormat()));
}

std::string TForm1::longTimeText() const {
    return FromQString(QLocale::system().toString(QTime::currentTime(), LongTimeFormat()));
}

void TForm1::setPickerDate(TDateTime date) {
    const DateParts parts = DecodeDate(date);
    DateTimePicker1->setDate(QDate(parts.year, parts.month, parts.day));
}

void TForm1::setPreviewText(const std::string& text) {
    SetCaption(Label1, text);
}

void TForm1::enableTimer(bool enabled) {
    if (enabled) {
        Timer1->start();
    } else {
        Timer1->stop();
    }
}

void TForm1::closeWindow() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (handlers_.FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

}  // namespace w20
