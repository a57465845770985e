#include "app/shell/DemoWindow.h"

#include "app/engine/SettingsStore.h"
#include "app/shell/DemoData.h"
#include "app/shell/Display.h"
#include "app/shell/KeepAlive.h"
#include "app/ui/AdvisorView.h"
#include "app/ui/ContentView.h"
#include "app/ui/Style.h"

#include <cstdlib>
#include <iostream>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace vantrel::DemoWindow {
namespace {

constexpr double cornerRadius = 12;

// The window around the content: the background grey with rounded corners, nothing else.
class Frame final : public QWidget {
  public:
    explicit Frame(QColor background) : background_(background) {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    void paintBackground(QPainter& painter) const {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(shape, background_);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintBackground(painter);
    }

  private:
    QColor background_;
};

// The frame and everything in it, clipped to its rounded shape, at `ratio` pixels per unit.
QImage render(Frame& frame, qreal ratio) {
    const QSize pixels = (QSizeF(frame.size()) * ratio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(frame.rect()), cornerRadius, cornerRadius);
    painter.setClipPath(shape);
    frame.paintBackground(painter);
    frame.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image;
}

// The screen with the most pixels per unit (the first of equals), or none.
QScreen* sharpestScreen() {
    QScreen* best = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (best == nullptr || screen->devicePixelRatio() > best->devicePixelRatio()) {
            best = screen;
        }
    }
    return best;
}

} // namespace

int run(const CommandLine::DemoWords& words, int argc, char** argv) {
    if (!displayAvailable()) {
        // A PNG needs no screen; without a display the window is drawn off screen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    ui::setAppearance(words.dark ? ui::Appearance::dark : ui::Appearance::light);
    const QColor background = QColor::fromRgbF(
        words.dark ? 0.16F : 0.975F, words.dark ? 0.16F : 0.975F, words.dark ? 0.16F : 0.975F);

    const Timestamp reference = DemoData::referenceMoment();
    DemoData::DemoMonitor demo(reference);
    Monitor* monitor = demo.monitor.get();

    Frame frame(background);
    if (words.advisor) {
        auto* advice = new ui::AdvisorView(DemoData::request(words.safe, reference), reference,
                                           words.expanded);
        // As the panel shows it where the prompt can be answered (a demo Monitor answers nothing).
        if (monitor->canAllow()) {
            advice->setAnswers(ui::AdvisorView::Answers{[monitor] { monitor->allowPrompt(); },
                                                        [monitor] { monitor->refusePrompt(); }});
        }
        frame.layout()->addWidget(advice);
    } else {
        // The stored preference drives the "Developer mode" toggle (kept only in memory here);
        // the word shows the developer layout without it.
        monitor->setDeveloperMode(
            SettingsStore(SettingsStore::standardPath()).boolean("developerMode").value_or(false));
        frame.layout()->addWidget(
            new ui::ContentView(*monitor,
                                {.keepAliveEnabled = [] { return KeepAlive::enabled(); },
                                 .setKeepAlive = {},
                                 .quit = {},
                                 .systemInformation = {}},
                                words.developer, words.expanded));
    }
    frame.adjustSize();

    QScreen* screen = sharpestScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        frame.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    frame.show();

    if (words.output) {
        const std::string path = *words.output;
        const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
        QTimer::singleShot(1000, &frame, [&frame, path, ratio] {
            const QImage image = render(frame, ratio);
            if (image.isNull()) {
                QApplication::exit(1);
                return;
            }
            const bool written = image.save(QString::fromStdString(path), "PNG");
            std::cout << path << ' ' << image.width() << 'x' << image.height() << std::endl;
            QApplication::exit(written ? 0 : 1);
        });
    } else {
        std::cout << frame.winId() << std::endl;
    }
    return QApplication::exec();
}

} // namespace vantrel::DemoWindow
