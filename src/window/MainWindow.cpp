#include "MainWindow.h"

#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"
#include "core/clock/ClockHandlers.h"
#include "qt/PhasedTimer.h"
#include "qt/QtPlatform.h"
#include "window/ClockLabel.h"
#include "window/Fonts.h"
#include "window/NoImeLineEdit.h"
#include "window/PictureBox.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QResource>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <utility>

namespace vellomarin {

namespace {

// Layout measures are in twips: 15 make one pixel at 96 dpi.
constexpr QRect fromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Timer phases, in ms after the wall-clock boundary: the clock is rewritten just
// after each second begins, and the watch looks just after that, so it sees the new
// second at once.
constexpr int kJikokuIntervalMs = 1000;
constexpr int kJikokuPhaseMs = 1;
constexpr int kWatchIntervalMs = 100;
constexpr int kCheckPhaseMs = 5;

const QColor kPanelGreen(0, 192, 0);
const QColor kPanelText(0, 0, 0);
const QColor kYoteiTeal(0, 192, 192);

template <typename T> T* named(T* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

template <typename Label = QLabel>
QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
              qreal points) {
    auto* l = named(new Label(parent), name, geometry);
    l->setText(caption);
    // A label never grows to fit its text; fixed, a new text also asks no re-layout.
    l->setFixedSize(geometry.size());
    l->setFont(MinchoFont(points));
    l->setAlignment(Qt::AlignCenter);
    l->setAutoFillBackground(true); // opaque, as every label is
    return l;
}

QLineEdit* box(QWidget* parent, const char* name, const QRect& geometry) {
    auto* b = named(new NoImeLineEdit(parent), name, geometry);
    b->setFont(MinchoFont(12));
    b->setAlignment(Qt::AlignCenter);
    return b;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QRect& geometry) {
    auto* b = named(new QPushButton(caption, parent), name, geometry);
    b->setFont(DefaultFontUnhinted());
    // Enter and Esc in a box must click nothing.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

void paint(QLabel* l, const QColor& background, const QColor* text) {
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, background);
    if (text)
        palette.setColor(QPalette::WindowText, *text);
    l->setPalette(palette);
}

// What each control is for, in the words a screen reader speaks after its name.
// Labels need no name of their own: they are read by the text they show.
void describeControls(QWidget* window) {
    const std::pair<const char*, const char16_t*> descriptions[] = {
        {"Picture1", u"現在の時刻の表示欄"},
        {"PANEL", u"現在の時刻。毎秒書き換わります"},
        {"Picture2", u"アラームの予定時刻の表示欄"},
        {"YOTEI", u"アラームを鳴らす予定の時刻。予定がなければ空です"},
        {"P5", u"今の時刻から、ボタンに書かれた分数の後にアラームを設定します（最初は３分後）"},
        {"P10", u"今の時刻から、ボタンに書かれた分数の後にアラームを設定します（最初は５分後）"},
        {"Cancel",
         u"鳴っているアラームを止め、予定時刻を消し、分後のボタンを３分後と５分後に戻します"},
        {"Hou", u"アラームの時（0〜23）。空欄なら今の時になります"},
        {"Min", u"アラームの分（0〜59）。空欄なら今の分になります"},
        {"Sec", u"アラームの秒（0〜59）。空欄なら0秒になります"},
        {"Settei", u"入力した時・分・秒にアラームを設定します。使える入力がなければ、分後のボタンを"
                   u"10分ずつ増やします"},
        {"Ji", u"時の欄の単位"},
        {"Fun", u"分の欄の単位"},
        {"Byou", u"秒の欄の単位"},
    };
    for (const auto& [name, text] : descriptions)
        window->findChild<QWidget*>(QString::fromLatin1(name))
            ->setAccessibleDescription(QString::fromUtf16(text));
}

// The icon from its raw pixels (made from the PNG at build time); reading the PNG here
// would load every image-format plug-in to ask it.
QIcon windowIcon32() {
    constexpr int kSide = 32;
    const QResource pixels(QStringLiteral(":/icons/vellomarin-32.argb32"));
    if (pixels.uncompressedSize() != kSide * kSide * 4)
        return {};
    const QByteArray data = pixels.uncompressedData();
    const QImage image(reinterpret_cast<const uchar*>(data.constData()), kSide, kSide, kSide * 4,
                       QImage::Format_ARGB32_Premultiplied);
    return QIcon(QPixmap::fromImage(image.copy()));
}

// A plain top-level QWidget is announced as a filler; this one is the program's window.
QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("vellomarin::MainWindow") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

MainWindow::MainWindow(std::function<void()> beep, QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(QStringLiteral("Vellomarin"));
    setWindowTitle(QStringLiteral("Vellomarin"));
    setWindowIcon(windowIcon32());
    resize(kClientSize);

    createControls();
    platform_ = std::make_unique<QtPlatform>(*this, std::move(beep));
    wireEvents();

    // Before the window is first shown and before any tick, so PANEL is never seen empty.
    Form_Load(*platform_, state_);
    centreOnScreen();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    // In the order of their ids, which is also the order Qt stacks siblings in.
    auto* settei = button(this, "Settei", QStringLiteral(u"設定"), fromTwips(120, 2160, 2775, 375));
    settei->setFont(MinchoFont(12));
    auto* sec = box(this, "Sec", fromTwips(2040, 1680, 495, 360));
    auto* min = box(this, "Min", fromTwips(1080, 1680, 495, 360));
    auto* hou = box(this, "Hou", fromTwips(120, 1680, 495, 360));
    auto* cancel = button(this, "Cancel", QStringLiteral(u"解除"), fromTwips(2040, 1200, 855, 375));
    auto* picture2 = named(new PictureBox(this), "Picture2", fromTwips(720, 720, 2175, 375));
    auto* yotei = label(picture2->client(), "YOTEI", QString(), fromTwips(0, 0, 2175, 375), 14.25);
    auto* picture1 = named(new PictureBox(this), "Picture1", fromTwips(120, 120, 2775, 495));
    auto* panel = label<ClockLabel>(picture1->client(), "PANEL", QString(),
                                    fromTwips(0, 0, 2775, 495), 20.25);
    // The labels run under their box's right and bottom border; centre their text in the
    // part that shows, or a clock from 10時 on loses the edge of its 秒 to the border.
    for (auto [box, l] : {std::pair{picture1, panel}, std::pair{picture2, yotei}})
        l->setContentsMargins(0, 0, 2 * box->frameWidth(), 2 * box->frameWidth());
    auto* p10 = button(this, "P10", QStringLiteral(u"５分後"), fromTwips(1080, 1200, 855, 375));

    auto* check = new PhasedTimer(kWatchIntervalMs, kCheckPhaseMs, this);
    check->setObjectName(QStringLiteral("Check"));
    auto* alarm = new QTimer(this);
    alarm->setObjectName(QStringLiteral("Alarm"));
    alarm->setInterval(kWatchIntervalMs);
    alarm->setTimerType(Qt::PreciseTimer);

    auto* p5 = button(this, "P5", QStringLiteral(u"３分後"), fromTwips(120, 1200, 855, 375));

    auto* jikoku = new PhasedTimer(kJikokuIntervalMs, kJikokuPhaseMs, this);
    jikoku->setObjectName(QStringLiteral("Jikoku"));

    // Each unit label starts one pixel under its box, and the box is drawn over it.
    // Each names its box for a screen reader ("時" is the hour box's name).
    for (auto [name, caption, geometry, buddy] :
         {std::tuple{"Byou", u"秒", fromTwips(2520, 1800, 495, 255), sec},
          std::tuple{"Fun", u"分", fromTwips(1560, 1800, 495, 255), min},
          std::tuple{"Ji", u"時", fromTwips(600, 1800, 495, 255), hou}}) {
        QLabel* unit = label(this, name, QString::fromUtf16(caption), geometry, 12);
        unit->lower();
        unit->setBuddy(buddy);
    }

    paint(panel, kPanelGreen, &kPanelText);
    paint(yotei, kYoteiTeal, nullptr);

    setTabOrder(p5, p10);
    setTabOrder(p10, picture1);
    setTabOrder(picture1, picture2);
    setTabOrder(picture2, cancel);
    setTabOrder(cancel, hou);
    setTabOrder(hou, min);
    setTabOrder(min, sec);
    setTabOrder(sec, settei);
    p5->setFocus();
    describeControls(this);

    jikoku->setEnabled(true);
    check->setEnabled(true);
}

void MainWindow::wireEvents() {
    Platform& p = *platform_;
    ClockState& s = state_;
    const auto on = [&](auto* source, auto signal, void (*handler)(Platform&, ClockState&)) {
        connect(source, signal, this, [&p, &s, handler] { handler(p, s); });
    };
    on(findChild<PhasedTimer*>(QStringLiteral("Jikoku")), &PhasedTimer::timeout, Jikoku_Timer);
    on(findChild<PhasedTimer*>(QStringLiteral("Check")), &PhasedTimer::timeout, Check_Timer);
    on(findChild<QTimer*>(QStringLiteral("Alarm")), &QTimer::timeout, Alarm_Timer);
    on(findChild<QPushButton*>(QStringLiteral("Settei")), &QPushButton::clicked, Settei_Click);
    on(findChild<QPushButton*>(QStringLiteral("P5")), &QPushButton::clicked, P5_Click);
    on(findChild<QPushButton*>(QStringLiteral("P10")), &QPushButton::clicked, P10_Click);
    on(findChild<QPushButton*>(QStringLiteral("Cancel")), &QPushButton::clicked, Cancel_Click);
}

void MainWindow::centreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
}

} // namespace vellomarin
