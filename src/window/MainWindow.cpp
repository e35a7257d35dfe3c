#include "MainWindow.h"

#include "core/Events.h"
#include "core/Timing.h"
#include "core/alarm/Presets.h"
#include "qt/ClockLabel.h"
#include "qt/PhasedTimer.h"
#include "qt/QtPlatform.h"
#include "system/WakeTimer.h"
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

#include <type_traits>
#include <utility>

namespace vellomarin {

namespace {

// Layout measures are in twips, the unit the layout was drawn in: a twip is 1/20 of a
// point, 1/1440 inch, so 15 make one pixel at 96 dpi.
constexpr QRect fromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

const QColor kPanelGreen(0, 192, 0);
const QColor kPanelText(0, 0, 0);
const QColor kYoteiTeal(0, 192, 192);

template <typename T> T* named(T* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

template <typename Label = QLabel>
Label* label(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
             qreal points) {
    auto* l = named(new Label(parent), name, geometry);
    l->setText(caption);
    // A label never grows to fit its text; fixed, a new text also asks no re-layout.
    l->setFixedSize(geometry.size());
    l->setFont(MinchoFont(points));
    if constexpr (std::is_same_v<Label, QLabel>)
        l->setAlignment(Qt::AlignCenter); // PANEL always centres its text
    l->setAutoFillBackground(true);       // opaque, as every label is
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
    // Enter and Esc in a box must click nothing.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

void paint(QWidget* l, const QColor& background, const QColor* text) {
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, background);
    if (text)
        palette.setColor(QPalette::WindowText, *text);
    l->setPalette(palette);
}

// What each control is for, in the words a screen reader speaks after its name.
// Labels need no name of their own: they are read by the text they show.
void describeControls(const Controls& c) {
    const std::pair<QWidget*, const char16_t*> descriptions[] = {
        {c.Picture1, u"現在の時刻の表示欄"},
        {c.PANEL, u"現在の時刻。毎秒書き換わります"},
        {c.Picture2, u"アラームの予定時刻の表示欄"},
        {c.YOTEI, u"アラームを鳴らす予定の時刻。予定がなければ空です"},
        {c.P5, u"今の時刻から、ボタンに書かれた分数の後にアラームを設定します（最初は３分後）"},
        {c.P10, u"今の時刻から、ボタンに書かれた分数の後にアラームを設定します（最初は５分後）"},
        {c.Cancel,
         u"鳴っているアラームを止め、予定時刻を消し、分後のボタンを３分後と５分後に戻します"},
        {c.Hou, u"アラームの時（0〜23）。空欄なら今の時になります"},
        {c.Min, u"アラームの分（0〜59）。空欄なら今の分になります"},
        {c.Sec, u"アラームの秒（0〜59）。空欄なら0秒になります"},
        {c.Settei, u"入力した時・分・秒にアラームを設定します。使える入力がなければ、分後のボタンを"
                   u"10分ずつ増やします"},
        {c.Ji, u"時の欄の単位"},
        {c.Fun, u"分の欄の単位"},
        {c.Byou, u"秒の欄の単位"},
    };
    for (const auto& [control, text] : descriptions)
        control->setAccessibleDescription(QString::fromUtf16(text));
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

MainWindow::MainWindow(std::function<void()> beep, std::function<bool()> heard,
                       std::function<void(bool)> ringing, QWidget* parent)
    : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(QStringLiteral("Vellomarin"));
    setWindowTitle(QStringLiteral("Vellomarin"));
    setWindowIcon(windowIcon32());
    resize(kClientSize);

    const Controls controls = createControls();
    platform_ = std::make_unique<QtPlatform>(controls, std::move(beep), std::move(heard),
                                             std::move(ringing));
    wireEvents(controls);

    // Before the window is first shown and before any tick, so PANEL is never seen empty.
    HandleEvent(Event::Load, *platform_, state_);
    centreOnScreen();
}

MainWindow::~MainWindow() = default;

void MainWindow::useWakeTimer(WakeTimer& timer) {
    wakeTimer_ = &timer;
    platform_->onScheduleChanged([&timer](const QString& yotei) { timer.setAlarm(yotei); });
    connect(&timer, &WakeTimer::restingTick, this,
            [this] { HandleEvent(Event::JikokuTick, *platform_, state_); });
}

// A minimised window is seen by nobody, so its clock need not wake every second: the
// wake timer wakes it for the alarm alone. The desktop says when (on X the iconic state;
// Qt 6.4 on Wayland learns nothing of it, and there the clock ticks on).
void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    const bool resting = isMinimized();
    if (event->type() != QEvent::WindowStateChange || !wakeTimer_ ||
        resting == jikoku_->isResting())
        return;
    wakeTimer_->setResting(resting);
    jikoku_->setResting(resting); // restored: ticks at once, before the window is drawn
}

Controls MainWindow::createControls() {
    Controls c;
    c.window = this;
    // In the order of their ids, which is also the order Qt stacks siblings in.
    auto* settei = c.Settei =
        button(this, "Settei", QStringLiteral(u"設定"), fromTwips(120, 2160, 2775, 375));
    settei->setFont(MinchoFont(12));
    auto* sec = c.Sec = box(this, "Sec", fromTwips(2040, 1680, 495, 360));
    auto* min = c.Min = box(this, "Min", fromTwips(1080, 1680, 495, 360));
    auto* hou = c.Hou = box(this, "Hou", fromTwips(120, 1680, 495, 360));
    auto* cancel = c.Cancel =
        button(this, "Cancel", QStringLiteral(u"解除"), fromTwips(2040, 1200, 855, 375));
    auto* picture2 = new PictureBox(this);
    c.Picture2 = named(picture2, "Picture2", fromTwips(720, 720, 2175, 375));
    auto* yotei = c.YOTEI =
        label(picture2->client(), "YOTEI", QString(), fromTwips(0, 0, 2175, 375), 14.25);
    auto* picture1 = new PictureBox(this);
    c.Picture1 = named(picture1, "Picture1", fromTwips(120, 120, 2775, 495));
    auto* panel = c.PANEL = label<ClockLabel>(picture1->client(), "PANEL", QString(),
                                              fromTwips(0, 0, 2775, 495), 20.25);
    // The labels run under their box's right and bottom border; centre their text in the
    // part that shows, or a clock from 10時 on loses the edge of its 秒 to the border.
    const std::pair<PictureBox*, QWidget*> framed[] = {{picture1, panel}, {picture2, yotei}};
    for (auto [box, l] : framed)
        l->setContentsMargins(0, 0, 2 * box->frameWidth(), 2 * box->frameWidth());
    const Preset& start = PresetAt(0);
    auto* p10 = c.P10 =
        button(this, "P10", QString::fromUtf16(start.p10Caption), fromTwips(1080, 1200, 855, 375));

    c.Alarm = new QTimer(this);
    c.Alarm->setObjectName(QStringLiteral("Alarm"));
    c.Alarm->setInterval(static_cast<int>(kAlarmIntervalMs));
    c.Alarm->setTimerType(Qt::PreciseTimer);

    auto* p5 = c.P5 =
        button(this, "P5", QString::fromUtf16(start.p5Caption), fromTwips(120, 1200, 855, 375));

    c.Jikoku = jikoku_ = new PhasedTimer(kJikokuPeriodMs, kJikokuPhaseMs, this);
    c.Jikoku->setObjectName(QStringLiteral("Jikoku"));

    // Each unit label starts one pixel under its box, and the box is drawn over it.
    // Each names its box for a screen reader ("時" is the hour box's name).
    for (auto [field, name, caption, geometry, buddy] :
         {std::tuple{&Controls::Byou, "Byou", u"秒", fromTwips(2520, 1800, 495, 255), sec},
          std::tuple{&Controls::Fun, "Fun", u"分", fromTwips(1560, 1800, 495, 255), min},
          std::tuple{&Controls::Ji, "Ji", u"時", fromTwips(600, 1800, 495, 255), hou}}) {
        QLabel* unit = c.*field = label(this, name, QString::fromUtf16(caption), geometry, 12);
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
    describeControls(c);

    c.Jikoku->setEnabled(true);
    return c;
}

void MainWindow::wireEvents(const Controls& c) {
    const auto on = [this](auto* source, auto signal, Event event) {
        connect(source, signal, this, [this, event] { HandleEvent(event, *platform_, state_); });
    };
    on(c.Jikoku, &PhasedTimer::timeout, Event::JikokuTick);
    on(c.Alarm, &QTimer::timeout, Event::AlarmTick);
    const auto onClick = [this](QPushButton* button, Event event) {
        connect(button, &QPushButton::clicked, this, [this, event] {
            // Clicked while minimised (through a screen reader): PANEL, which the
            // scheduling reads, is first brought up to the second.
            if (jikoku_->isResting())
                HandleEvent(Event::JikokuTick, *platform_, state_);
            HandleEvent(event, *platform_, state_);
        });
    };
    onClick(c.Settei, Event::SetteiClick);
    onClick(c.P5, Event::P5Click);
    onClick(c.P10, Event::P10Click);
    onClick(c.Cancel, Event::CancelClick);
}

void MainWindow::centreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
}

} // namespace vellomarin
